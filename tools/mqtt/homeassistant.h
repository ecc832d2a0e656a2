// Home Assistant MQTT discovery: one device per bridge with the display's
// signals, modules, mic-on time, optionally the levels, and the console's
// switches as controls where commands are enabled.
#ifndef MQTT_HOMEASSISTANT_H
#define MQTT_HOMEASSISTANT_H

#include "options.h"
#include "topics.h"

#include <string>
#include <utility>
#include <vector>

namespace kmqtt {

struct Announce {
    bool levels = false;    // the four level sensors
    bool commands = false;  // the module switches and the non-stop button
    std::string firmware;   // the device's sw_version; "" until the mixer told it
};

// (config topic, document) for every entity this bridge may ever announce
// for its prefix; the document is "" for the ones `announce` leaves out, so
// that publishing them retained also takes back what an earlier run announced.
std::vector<std::pair<std::string, std::string>> homeassistant_documents(const Topics &topics,
                                                                         const Announce &announce);

// Publishes an empty retained document on every config topic of the prefix;
// 0 when the broker took them all, 1 (and why on stderr) when not.
int remove_homeassistant_documents(const Options &options);

}  // namespace kmqtt

#endif  // MQTT_HOMEASSISTANT_H
