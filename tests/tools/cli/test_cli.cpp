// The korvane client against the running korvane-sim over loopback.
#include "sim_process.h"
#include "loopback.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <csignal>
#include <regex>
#include <sstream>

using namespace simtest;
using kt::free_udp_port;
using kt::UdpPeer;

namespace {

using Clock = std::chrono::steady_clock;

Finished korvane(const std::vector<std::string> &args, double timeout = 10.0)
{
    return run_program(KORVANE_CLI_PATH, args, timeout);
}

std::vector<std::string> lines_of(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// korvane-sim on a free port; `target` fixes where it sends (0: to its client).
class WithSim : public ::testing::Test
{
protected:
    void start(uint16_t target = 0)
    {
        std::vector<std::string> args = {"--listen", "127.0.0.1:0", "--verbose"};
        if (target != 0)
            args.insert(args.end(), {"--target", "127.0.0.1:" + std::to_string(target)});
        std::string error;
        ASSERT_TRUE(sim_.start(args, &error)) << error;
    }

    // Common options that reach the simulator from a free port.
    std::vector<std::string> to_sim(std::vector<std::string> rest) const
    {
        std::vector<std::string> args = {"--host",      "127.0.0.1", "--send-port", std::to_string(sim_.port()),
                                         "--recv-port", "0"};
        args.insert(args.end(), rest.begin(), rest.end());
        return args;
    }

    void TearDown() override
    {
        if (sim_.running()) {
            EXPECT_EQ(sim_.stop(SIGTERM).exit_code, 0);
        }
    }

    SimProcess sim_;
};

using Ping = WithSim;
using Request = WithSim;
using Send = WithSim;
using Monitor = WithSim;

TEST_F(Ping, AnswerShowsFirmwareAndRoundTrip)
{
    start();
    const Finished f = korvane(to_sim({"ping"}));
    EXPECT_EQ(f.exit_code, 0) << f.err;
    const std::regex answer("answered in [0-9]+\\.[0-9]{2} ms: VXN Korvane Firmware v3\\.2\\.7");
    EXPECT_TRUE(std::regex_search(f.out, answer)) << f.out;
}

TEST(PingWithoutMixer, FailsWithinItsTimeOut)
{
    UdpPeer silent;  // a port where nobody answers
    const auto started = Clock::now();
    const Finished f =
        korvane({"--send-port", std::to_string(silent.port()), "--recv-port", "0", "ping", "--timeout-ms", "300"});
    const double took = std::chrono::duration<double>(Clock::now() - started).count();
    EXPECT_EQ(f.exit_code, 1);
    EXPECT_NE(f.err.find("no answer"), std::string::npos) << f.err;
    EXPECT_GE(took, 0.3);
    EXPECT_LT(took, 3.0);
}

TEST_F(Request, EveryNameIsListedAndAnswered)
{
    // The header's event names that a request can ask for, with their ids.
    const std::vector<std::pair<std::string, int>> names = {{"firmware-version", 0},
                                                            {"config-auto-on", 64},
                                                            {"config-cue-reset", 65},
                                                            {"config-on-air", 66},
                                                            {"config-crm-mute", 67},
                                                            {"config-crm-auto-cue-reset", 68},
                                                            {"config-studio-remote", 69},
                                                            {"config-cue-interlock", 70},
                                                            {"config-gpo", 71},
                                                            {"config-cue", 72},
                                                            {"config-on", 73},
                                                            {"config-fader-reserve", 74},
                                                            {"config-silence-detection", 75},
                                                            {"config-phantom", 76},
                                                            {"config-mic-at-line", 77},
                                                            {"config-auto-off", 78},
                                                            {"config-locked-on", 79},
                                                            {"config-pgm-auto-off", 80},
                                                            {"config-mic-on", 81},
                                                            {"module-on", 96},
                                                            {"fader", 98},
                                                            {"module-source", 100},
                                                            {"non-stop", 101},
                                                            {"mic-on", 102},
                                                            {"on-air", 104},
                                                            {"silence", 105},
                                                            {"crm-mute", 107},
                                                            {"track-state", 108},
                                                            {"comm", 109},
                                                            {"cough", 110},
                                                            {"voice-track", 111}};
    const Finished list = korvane({"request", "--list"});
    ASSERT_EQ(list.exit_code, 0);
    for (const auto &n : names) {
        const std::regex listed("(^|\n)" + n.first + " +" + std::to_string(n.second) + " ");
        EXPECT_TRUE(std::regex_search(list.out, listed)) << n.first;
    }

    start();
    for (const auto &n : names) {
        const Finished f = korvane(to_sim({"request", n.first}));
        EXPECT_EQ(f.exit_code, 0) << n.first << ": " << f.err;
        EXPECT_EQ(f.out.rfind("reply " + n.first + ": ", 0), 0u) << f.out;
    }
    // Decoded values of the studio the simulator starts with; 32 answers as 34.
    EXPECT_NE(korvane(to_sim({"request", "96"})).out.find("m0=0 m1=1 m2=1 m3=0"), std::string::npos);
    EXPECT_NE(korvane(to_sim({"request", "config-silence-detection"})).out.find("threshold=-40 dB interval=5"),
              std::string::npos);
    EXPECT_NE(korvane(to_sim({"request", "config-on"})).out.find("m0=1/1/0 m1=2/2/0"), std::string::npos);
    EXPECT_EQ(korvane(to_sim({"request", "32"})).out, "reply id-34: 256 (0x0100)\n");
}

TEST_F(Send, CommandChangesTheMixer)
{
    start();
    ASSERT_NE(korvane(to_sim({"request", "module-on"})).out.find("m3=0"), std::string::npos);
    const Finished sent = korvane(to_sim({"send", "remote-on", "3", "1"}));
    EXPECT_EQ(sent.exit_code, 0) << sent.err;
    EXPECT_EQ(sent.out, "");
    EXPECT_NE(korvane(to_sim({"request", "module-on"})).out.find("m3=1"), std::string::npos);

    // A negative threshold goes out as a signed byte.
    EXPECT_EQ(korvane(to_sim({"send", "config-silence-detection", "-50", "10", "1", "0", "1"})).exit_code, 0);
    EXPECT_NE(korvane(to_sim({"request", "config-silence-detection"})).out.find("threshold=-50 dB interval=10"),
              std::string::npos);

    const Finished list = korvane({"send", "--list"});
    EXPECT_NE(list.out.find("remote-on MODULE(0..7) ACTION(0..255)\n"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("config-silence-detection THRESHOLD(-128..127)"), std::string::npos);
}

TEST(BadInput, ExitsTwoWithOneLineAndUsage)
{
    const std::vector<std::vector<std::string>> bad = {
        {"reboot"},
        {"--port", "1", "ping"},
        {"request", "meters"},
        {"request", "34"},
        {"request"},
        {"send", "remote-on", "3"},
        {"send", "remote-on", "8", "1"},
        {"send", "config-on", "0", "4", "0", "0"},
        {"send", "config-silence-detection", "-129", "0", "0", "0", "0"},
        {"send", "remote-non-stop", "two"},
        {"send", "remote-jump", "1"},
        {"--send-port", "0", "ping"},
        {"--recv-port", "65536", "ping"},
        {"--send-port", "x", "ping"},
        {"--host", "", "ping"},
        {"ping", "--timeout-ms", "0"},
        {"monitor", "--count", "-1"},
        {"ping", "--recv-port", "65536"},
        {"monitor", "--duration", "soon"},
    };
    for (const auto &args : bad) {
        const Finished f = korvane(args);
        std::string joined;
        for (const std::string &a : args)
            joined += a + " ";
        EXPECT_EQ(f.exit_code, 2) << joined;
        const std::vector<std::string> err = lines_of(f.err);
        ASSERT_GE(err.size(), 2u) << joined;
        EXPECT_EQ(err[0].rfind("korvane: ", 0), 0u) << joined << f.err;
        EXPECT_EQ(err[1].rfind("Usage: korvane", 0), 0u) << joined << f.err;
        EXPECT_EQ(f.out, "") << joined;
    }
}

TEST(BadInput, PortInUseExitsOneWithOneLine)
{
    UdpPeer holder;
    const Finished f = korvane({"--recv-port", std::to_string(holder.port()), "send", "remote-cue-reset"});
    EXPECT_EQ(f.exit_code, 1);
    EXPECT_EQ(lines_of(f.err).size(), 1u) << f.err;
    EXPECT_NE(f.err.find(std::to_string(holder.port())), std::string::npos) << f.err;
    EXPECT_NE(f.err.find("--recv-port 0"), std::string::npos) << f.err;
}

TEST_F(Monitor, ShowsTheModuleEventOfASentCommandAndStopsOnCtrlC)
{
    const uint16_t port = free_udp_port();
    start(port);
    SimProcess monitor(KORVANE_CLI_PATH);
    ASSERT_TRUE(
        monitor.spawn({"--send-port", std::to_string(sim_.port()), "--recv-port", std::to_string(port), "monitor"}));
    // Its keep-alive reaching the simulator shows that it listens.
    ASSERT_TRUE(sim_.wait_output("rx 127.0.0.1:" + std::to_string(port) + " keep-alive", 5.0));
    ASSERT_EQ(korvane(to_sim({"send", "remote-on", "3", "1"})).exit_code, 0);
    EXPECT_TRUE(monitor.wait_output("module-on", 5.0));
    const Finished f = monitor.stop(SIGINT);
    EXPECT_EQ(f.exit_code, 0) << f.err;
    EXPECT_TRUE(std::regex_search(
        f.out, std::regex("(^|\n)[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3} event module-on: "
                          "m0=0 m1=1 m2=1 m3=1 m4=0")))
        << f.out;
    EXPECT_EQ(f.out.find("meters"), std::string::npos) << "meters only with --meters";
}

TEST_F(Monitor, JsonLinesCarryMeterLevels)
{
    start();
    const Finished f = korvane(to_sim({"monitor", "--meters", "--json", "--count", "5"}));
    EXPECT_EQ(f.exit_code, 0) << f.err;
    const std::vector<std::string> lines = lines_of(f.out);
    ASSERT_EQ(lines.size(), 5u) << f.out;
    int meter_lines = 0;
    for (const std::string &line : lines) {
        const nlohmann::json j = nlohmann::json::parse(line);  // throws, and fails the test, if it does not parse
        ASSERT_TRUE(j.at("time").is_string());
        if (j.at("name") != "meters")
            continue;
        ++meter_lines;
        EXPECT_EQ(j.at("id"), 128);
        EXPECT_EQ(j.at("kind"), "event");
        ASSERT_EQ(j.at("levels_db").size(), 6u);
        for (const auto &level : j.at("levels_db")) {
            EXPECT_GE(level.get<double>(), -50.0);
            EXPECT_LE(level.get<double>(), 13.75);
        }
    }
    EXPECT_GT(meter_lines, 0);
}

TEST_F(Monitor, StateAsksForWhatTheMetersAskAtStart)
{
    start();
    // The common options may follow the command too.
    const Finished f = korvane(
        {"monitor", "--state", "--duration", "1", "--send-port", std::to_string(sim_.port()), "--recv-port", "0"});
    EXPECT_EQ(f.exit_code, 0) << f.err;
    for (const char *name : {"module-source", "module-on", "fader", "config-on", "config-silence-detection",
                             "voice-track", "on-air", "non-stop", "silence", "mic-on", "crm-mute"})
        EXPECT_NE(f.out.find(std::string(" reply ") + name + ": "), std::string::npos) << name << "\n" << f.out;
}

TEST(MonitorWithoutMixer, DurationEndsItQuietly)
{
    UdpPeer silent;
    const auto started = Clock::now();
    const Finished f =
        korvane({"--send-port", std::to_string(silent.port()), "--recv-port", "0", "monitor", "--duration", "0.3"});
    const double took = std::chrono::duration<double>(Clock::now() - started).count();
    EXPECT_EQ(f.exit_code, 0) << f.err;
    EXPECT_EQ(f.out, "");
    EXPECT_GE(took, 0.3);
    EXPECT_LT(took, 3.0);
}

}  // namespace
