// korvane-mqtt's command line.
#ifndef MQTT_OPTIONS_H
#define MQTT_OPTIONS_H

#include <cstdint>
#include <string>
#include <vector>

namespace kmqtt {

struct Options {
    // The mixer, as the korvane client addresses it.
    std::string host = "127.0.0.1";
    uint16_t send_port = 18153;
    uint16_t recv_port = 18150;
    // The broker; its port is 8883 with TLS unless given.
    std::string broker_host = "127.0.0.1";
    int broker_port = 1883;
    std::string prefix = "korvane";
    int meters_hz = 10;  // 0: no meter topic
    bool commands = false;
    std::string username;
    std::string password;  // from --password-file or $CREDENTIALS_DIRECTORY/mqtt-password
    std::string cafile;
    std::string client_id;  // empty: the broker's client library picks one
    bool homeassistant = false;
    bool homeassistant_levels = false;
};

// RemoveDiscovery: take back every Home Assistant document of the prefix, then end.
enum class Action { Run, Help, Version, Refuse, RemoveDiscovery };

struct Parsed {
    Action action = Action::Run;
    std::string error;  // for Refuse: one line for the user
};

// Reads `args` (without the program name) into `options`.
Parsed parse_options(const std::vector<std::string> &args, Options &options);

std::string usage_text();

// Every option, for --help and the bash completion.
struct OptionInfo {
    const char *name;   // "--host"
    const char *value;  // "ADDR"; nullptr for a switch
    const char *help;
    const char *heading;  // printed above it, or nullptr
};
const std::vector<OptionInfo> &option_table();

}  // namespace kmqtt

#endif  // MQTT_OPTIONS_H
