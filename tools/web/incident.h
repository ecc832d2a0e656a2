// One line on standard error per incident, as the display and the bridge
// write them: "2026-12-09T14:03:07.412 broker-connected 127.0.0.1:1883".
#ifndef WEB_INCIDENT_H
#define WEB_INCIDENT_H

#include <string>

namespace kweb {

void incident(const std::string &event, const std::string &details = {});

}  // namespace kweb

#endif  // WEB_INCIDENT_H
