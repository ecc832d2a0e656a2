// korvane-mqtt: mirrors a korvane mixer to an MQTT broker.
#include "bridge.h"
#include "homeassistant.h"
#include "incident.h"
#include "korvane.h"
#include "options.h"

#include <mosquitto.h>

#include <csignal>
#include <cstdio>
#include <thread>

#include <unistd.h>

#ifndef KORVANE_TOOL_VERSION
#    define KORVANE_TOOL_VERSION "unknown"
#endif

int main(int argc, char **argv)
{
    kmqtt::Options options;
    const kmqtt::Parsed parsed = kmqtt::parse_options(std::vector<std::string>(argv + 1, argv + argc), options);
    switch (parsed.action) {
    case kmqtt::Action::Help: std::fputs(kmqtt::usage_text().c_str(), stdout); return 0;
    case kmqtt::Action::Version: {
        int major = 0, minor = 0, revision = 0;
        mosquitto_lib_version(&major, &minor, &revision);
        std::printf("korvane-mqtt %s\n%s\nlibmosquitto %d.%d.%d\n", KORVANE_TOOL_VERSION,
                    korvane_library_version(nullptr), major, minor, revision);
        return 0;
    }
    case kmqtt::Action::Refuse:
        std::fprintf(stderr, "korvane-mqtt: %s\nTry 'korvane-mqtt --help'.\n", parsed.error.c_str());
        return 2;
    case kmqtt::Action::RemoveDiscovery: {
        std::signal(SIGPIPE, SIG_IGN);
        mosquitto_lib_init();
        const int status = kmqtt::remove_homeassistant_documents(options);
        mosquitto_lib_cleanup();
        return status;
    }
    case kmqtt::Action::Run: break;
    }

    // Blocked before any thread starts, so that only sigwait below sees them.
    // SIGHUP too: a closed terminal or a reload ends the bridge in order.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    sigaddset(&stop_signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    mosquitto_lib_init();
    int status = 0;
    {
        kmqtt::Bridge bridge(options);
        std::string error;
        if (!bridge.start(error)) {
            kmqtt::incident("bridge-failed", error);
            status = 1;
        } else {
            bool clean = true;
            std::thread loop([&bridge, &clean] { clean = bridge.run(); });
            int sig = 0;
            sigwait(&stop_signals, &sig);
            kmqtt::incident("bridge-stopping", sig == SIGINT ? "SIGINT" : sig == SIGHUP ? "SIGHUP" : "SIGTERM");
            bridge.stop();
            loop.join();
            if (!clean) {
                // libmosquitto's thread still runs: end without destructors.
                std::fflush(nullptr);
                _exit(0);
            }
        }
    }
    mosquitto_lib_cleanup();
    return status;
}
