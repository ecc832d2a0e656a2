// korvane-sim: a simulated korvane mixer on UDP.
#include "options.h"
#include "sim_loop.h"

#include <cstdio>

#ifndef KORVANE_TOOL_VERSION
#    define KORVANE_TOOL_VERSION "unknown"
#endif

int main(int argc, char **argv)
{
    ksim::Options options;
    const ksim::ParseResult parsed = ksim::parse_options(argc, argv, options);
    if (!parsed.ok) {
        std::fprintf(stderr, "korvane-sim: %s\nTry 'korvane-sim --help'.\n", parsed.error.c_str());
        return ksim::kExitUsage;
    }
    if (options.help) {
        std::fputs(ksim::usage_text().c_str(), stdout);
        return ksim::kExitOk;
    }
    if (options.version) {
        std::printf("korvane-sim %s\n", KORVANE_TOOL_VERSION);
        return ksim::kExitOk;
    }
    return ksim::run_simulator(options);
}
