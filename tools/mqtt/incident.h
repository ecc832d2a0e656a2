// One line on standard error per incident, as the display writes them:
// "2026-12-09T14:03:07.412 broker-connected 127.0.0.1:1883".
#ifndef MQTT_INCIDENT_H
#define MQTT_INCIDENT_H

#include <cstddef>
#include <string>

namespace kmqtt {

// No line is longer than this, its newline included.
constexpr std::size_t kIncidentMaxLine = 512;

// Writes the line; control characters and bytes beyond ASCII in `details`
// come out escaped, and a line too long is cut (ending in "...").
void incident(const std::string &event, const std::string &details = {});

// `text` as printable ASCII ("\x1b", "\\") in at most `max` bytes; a cut
// text ends in "...".
std::string shown(const std::string &text, std::size_t max);

}  // namespace kmqtt

#endif  // MQTT_INCIDENT_H
