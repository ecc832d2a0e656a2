// Command line of korvane-sim.
#ifndef SIM_OPTIONS_H
#define SIM_OPTIONS_H

#include "scenario.h"

#include <cstdint>
#include <string>

namespace ksim {

constexpr uint16_t kDefaultListenPort = 18153;
constexpr double kDefaultRate = 25.0;
constexpr double kMaxRate = 1000.0;

struct Options {
    std::string listen_host = "127.0.0.1";
    uint16_t listen_port = kDefaultListenPort;  // 0 = any free port
    bool fixed_target = false;
    std::string target_host;
    uint16_t target_port = 0;
    double rate = kDefaultRate;
    ScenarioKind scenario = ScenarioKind::Studio;
    double duration = 0.0;  // 0 = until stopped
    bool verbose = false;
    bool help = false;
    bool version = false;
};

struct ParseResult {
    bool ok = false;
    std::string error;  // set when !ok
};

ParseResult parse_options(int argc, const char *const *argv, Options &options);

std::string usage_text();

}  // namespace ksim

#endif  // SIM_OPTIONS_H
