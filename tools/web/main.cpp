// korvane-web: live pages of the studios on an MQTT broker, for any browser.
#include "broker_intake.h"
#include "incident.h"
#include "options.h"
#include "web_server.h"

#include <libwebsockets.h>
#include <mosquitto.h>

#include <csignal>
#include <cstdio>
#include <thread>

#ifndef KORVANE_TOOL_VERSION
#    define KORVANE_TOOL_VERSION "unknown"
#endif

int main(int argc, char **argv)
{
    kweb::Options options;
    const kweb::Parsed parsed = kweb::parse_options(std::vector<std::string>(argv + 1, argv + argc), options);
    switch (parsed.action) {
    case kweb::Action::Help: std::fputs(kweb::usage_text().c_str(), stdout); return 0;
    case kweb::Action::Version: {
        int major = 0, minor = 0, revision = 0;
        mosquitto_lib_version(&major, &minor, &revision);
        // Debian's build leaves the place for the source revision empty: "4.1.6-".
        std::string lws = lws_get_library_version();
        while (!lws.empty() && (lws.back() == '-' || lws.back() == ' '))
            lws.pop_back();
        std::printf("korvane-web %s\nlibwebsockets %s\nlibmosquitto %d.%d.%d\n", KORVANE_TOOL_VERSION, lws.c_str(),
                    major, minor, revision);
        return 0;
    }
    case kweb::Action::Refuse:
        std::fprintf(stderr, "korvane-web: %s\nTry 'korvane-web --help'.\n", parsed.error.c_str());
        return 2;
    case kweb::Action::Run: break;
    }

    // Blocked before any thread starts, so that only sigwait below sees them.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    const std::string www = kweb::find_www_root();
    if (www.empty()) {
        kweb::incident("web-failed", "no page files (set KORVANE_WEB_ROOT)");
        return 1;
    }
    mosquitto_lib_init();
    int status = 0;
    {
        kweb::WebServer server(options, www, KORVANE_TOOL_VERSION);
        kweb::StudioState topics(options.prefixes);
        kweb::BrokerIntake intake(options, topics.topic_filters(), server);
        std::string error;
        if (!server.start(error) || !intake.start(error)) {
            kweb::incident("web-failed", error);
            status = 1;
        } else {
            std::thread loop([&server] { server.run(); });
            int sig = 0;
            sigwait(&stop_signals, &sig);
            kweb::incident("web-stopping", sig == SIGINT ? "SIGINT" : "SIGTERM");
            intake.stop();
            server.stop();
            loop.join();
        }
    }
    mosquitto_lib_cleanup();
    return status;
}
