// One line on standard error per incident, as the display writes them:
// "2026-12-09T14:03:07.412 broker-connected 127.0.0.1:1883".
#ifndef MQTT_INCIDENT_H
#define MQTT_INCIDENT_H

#include <string>

namespace kmqtt {

void incident(const std::string &event, const std::string &details = {});

}  // namespace kmqtt

#endif  // MQTT_INCIDENT_H
