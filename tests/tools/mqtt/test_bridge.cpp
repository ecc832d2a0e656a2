// korvane-mqtt as a program, between a real mosquitto and korvane-sim.
#include "mqtt_testing.h"
#include "sim_process.h"

#include "bridge_state.h"
#include "catalog.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <csignal>
#include <fstream>
#include <set>
#include <regex>
#include <sstream>

using namespace mqtttest;
using simtest::Finished;
using simtest::SimProcess;
using Json = nlohmann::json;

namespace {

std::vector<std::string> state_topics()
{
    std::vector<std::string> topics;
    for (const int id : kcatalog::state_request_ids())
        topics.push_back("korvane/state/" + kcatalog::id_name(id));
    return topics;
}

Json json_of(const Received &r)
{
    return Json::parse(r.payload, nullptr, false);
}

class Bridge : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(broker_.start());
        start_sim(0);
    }

    void TearDown() override
    {
        if (bridge_.running()) {
            EXPECT_EQ(bridge_.stop(SIGTERM, 2.0).exit_code, 0);
        }
        if (sim_.running())
            sim_.stop(SIGTERM);
    }

    // `verbose`: the simulator prints every datagram it receives.
    void start_sim(uint16_t port, bool verbose = false)
    {
        std::vector<std::string> args = {"--listen", "127.0.0.1:" + std::to_string(port)};
        if (verbose)
            args.push_back("--verbose");
        std::string error;
        ASSERT_TRUE(sim_.start(args, &error)) << error;
        sim_port_ = sim_.port();
    }

    // The datagrams described with `what` that reached the simulator,
    // which then stops.
    std::vector<std::string> received_by_sim(const std::string &what = " command ")
    {
        std::vector<std::string> lines;
        std::istringstream out(sim_.stop(SIGTERM).out);
        for (std::string line; std::getline(out, line);)
            if (line.find(" rx ") != std::string::npos && line.find(what) != std::string::npos)
                lines.push_back(line);
        return lines;
    }

    void start_bridge(std::vector<std::string> extra = {}, std::string broker = {})
    {
        std::vector<std::string> args = {"--broker",    broker.empty() ? broker_.address() : broker,
                                         "--send-port", std::to_string(sim_port_),
                                         "--recv-port", "0"};
        args.insert(args.end(), extra.begin(), extra.end());
        ASSERT_TRUE(bridge_.spawn(args));
    }

    // The module-on values the mixer reports on request. The simulator's
    // script moves modules 0 and 3 on its own; the tests switch module 5.
    Json module_on(Client &c)
    {
        const std::size_t from = c.count();
        c.publish("korvane/request/module-on", "");
        Received r;
        if (!c.wait_for([](const Received &m) { return m.topic == "korvane/state/module-on"; }, 5.0, from, &r))
            return Json();
        return json_of(r)["values"];
    }

    Broker broker_;
    SimProcess sim_;
    SimProcess bridge_{KORVANE_MQTT_PATH};
    uint16_t sim_port_ = 0;
};

TEST_F(Bridge, LateSubscriberGetsStatusAndEveryStateRetained)
{
    start_bridge();
    {
        Client early(broker_.port(), {"korvane/#"});
        ASSERT_TRUE(early.wait_for("korvane/status", "online", 10.0));
        for (const std::string &topic : state_topics())
            ASSERT_TRUE(early.wait_for([&](const Received &r) { return r.topic == topic; }, 5.0)) << topic;
    }
    Client late(broker_.port(), {"korvane/status", "korvane/state/+"});
    ASSERT_TRUE(late.wait_for("korvane/status", "online", 5.0));
    for (const std::string &topic : state_topics()) {
        Received r;
        ASSERT_TRUE(late.wait_for([&](const Received &m) { return m.topic == topic; }, 5.0, 0, &r)) << topic;
        EXPECT_TRUE(r.retain) << topic;
        // The client's monitor --json line for the same message.
        const Json j = json_of(r);
        EXPECT_EQ("korvane/state/" + j.value("name", ""), topic) << r.payload;
        EXPECT_TRUE(j.contains("time") && j.contains("kind") && j.contains("id")) << r.payload;
    }
}

TEST_F(Bridge, StatusFollowsTheMixerAndItsStateIsAskedForAgain)
{
    start_bridge();
    Client c(broker_.port(), {"korvane/#"});
    ASSERT_TRUE(c.wait_for("korvane/status", "online", 10.0));

    const std::size_t before = c.count();
    sim_.stop(SIGTERM);
    const auto stopped = std::chrono::steady_clock::now();
    ASSERT_TRUE(c.wait_for("korvane/status", "offline", 5.0, before));
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - stopped).count();
    EXPECT_LT(took, 3.5 + 0.5) << "offline after 3 s without meters, give or take scheduling";

    const std::size_t from = c.count();
    start_sim(sim_port_);
    ASSERT_TRUE(c.wait_for("korvane/status", "online", 10.0, from));
    // A fresh burst: replies, not events, for the whole state.
    for (const std::string &topic : state_topics())
        EXPECT_TRUE(c.wait_for(
            [&](const Received &r) { return r.topic == topic && json_of(r).value("kind", "") == "reply"; }, 5.0, from))
            << topic;
}

TEST_F(Bridge, CommandsAreRefusedUnlessEnabled)
{
    start_bridge();
    Client c(broker_.port(), {"korvane/#"});
    ASSERT_TRUE(c.ready());
    ASSERT_TRUE(c.wait_for("korvane/status", "online", 10.0));
    ASSERT_EQ(module_on(c)[5], 0);

    const std::size_t from = c.count();
    c.publish("korvane/command/remote-on", "5 1");
    Received r;
    ASSERT_TRUE(c.wait_for([](const Received &m) { return m.topic == "korvane/error"; }, 5.0, from, &r));
    EXPECT_EQ(json_of(r)["topic"], "korvane/command/remote-on");
    EXPECT_NE(json_of(r).value("error", "").find("not enabled"), std::string::npos) << r.payload;
    EXPECT_EQ(module_on(c)[5], 0);
}

TEST_F(Bridge, CommandsAreCheckedAndCarriedOutWhenEnabled)
{
    start_bridge({"--commands"});
    Client c(broker_.port(), {"korvane/#"});
    ASSERT_TRUE(c.ready());
    ASSERT_TRUE(c.wait_for("korvane/status", "online", 10.0));
    ASSERT_EQ(module_on(c)[5], 0);

    const std::pair<std::string, std::string> refused[] = {
        {"korvane/command/remote-on", "[8, 1]"},      // out of range
        {"korvane/command/remote-on", "5"},           // too few
        {"korvane/command/remote-on", "[5, \"1\"]"},  // not a number
        {"korvane/command/warp-drive", "1"},          // no such command
        {"korvane/request/no-such-state", ""},        // no such request
    };
    for (const auto &entry : refused) {
        const std::string &topic = entry.first, &payload = entry.second;
        const std::size_t from = c.count();
        c.publish(topic, payload);
        EXPECT_TRUE(c.wait_for(
            [&](const Received &m) { return m.topic == "korvane/error" && json_of(m).value("topic", "") == topic; },
            5.0, from))
            << topic << " " << payload;
    }
    EXPECT_EQ(module_on(c)[5], 0) << "a refused command reached the mixer";

    c.publish("korvane/command/remote-on", "[5, 1]");
    EXPECT_TRUE(c.wait_for(
        [](const Received &m) { return m.topic == "korvane/state/module-on" && json_of(m)["values"][5] == 1; }, 5.0));
    const std::size_t from = c.count();
    c.publish("korvane/command/remote-on", "5 0");
    EXPECT_TRUE(c.wait_for(
        [](const Received &m) { return m.topic == "korvane/state/module-on" && json_of(m)["values"][5] == 0; }, 5.0,
        from));
}

TEST_F(Bridge, BrokerRestartGetsStatusAndStateAgain)
{
    start_bridge();
    {
        Client c(broker_.port(), {"korvane/#"});
        ASSERT_TRUE(c.wait_for("korvane/status", "online", 10.0));
        ASSERT_TRUE(c.wait_for([](const Received &r) { return r.topic == "korvane/state/on-air"; }, 5.0));
    }
    broker_.stop();  // no persistence: the retained topics are gone with it
    ASSERT_TRUE(broker_.start());
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    Client c(broker_.port(), {"korvane/status", "korvane/state/+"});
    EXPECT_TRUE(c.wait_for("korvane/status", "online", 15.0));
    for (const std::string &topic : state_topics())
        EXPECT_TRUE(c.wait_for([&](const Received &r) { return r.topic == topic; }, 5.0)) << topic;
}

TEST_F(Bridge, MetersComeAtTheRateAsked)
{
    start_bridge({"--meters-hz", "4"});
    Client c(broker_.port(), {"korvane/meters"});
    ASSERT_TRUE(c.wait_for([](const Received &) { return true; }, 10.0));
    const std::size_t from = c.count();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const std::vector<Received> all = c.all();
    const std::size_t got = all.size() - from;
    // 25 meter events a second from the simulator, at most 4 published in
    // any second; the margin is for deliveries bunched by a busy machine.
    EXPECT_GE(got, 3u);
    EXPECT_LE(got, 10u);
    const Json j = json_of(all.back());
    EXPECT_EQ(j.value("name", ""), "meters");
    EXPECT_EQ(j["levels_db"].size(), 6u);
}

TEST_F(Bridge, StopLeavesBridgeDownCleanlyOrAsTheWill)
{
    Client c(broker_.port(), {"korvane/status"});
    ASSERT_TRUE(c.ready());
    std::size_t from = 0;
    // A closed terminal or a service reload (SIGHUP) ends it as SIGTERM does.
    for (const int sig : {SIGTERM, SIGHUP}) {
        start_bridge();
        ASSERT_TRUE(c.wait_for("korvane/status", "online", 10.0, from));
        from = c.count();
        const Finished f = bridge_.stop(sig, 1.0);
        EXPECT_EQ(f.exit_code, 0) << "signal " << sig << " did not end it within 1 s: " << f.err;
        EXPECT_TRUE(c.wait_for("korvane/status", "bridge-down", 2.0, from)) << sig;
        EXPECT_NE(f.err.find(" bridge-stopped"), std::string::npos) << f.err;
    }

    start_bridge();
    ASSERT_TRUE(c.wait_for("korvane/status", "online", 10.0, from));
    from = c.count();
    bridge_.stop(SIGKILL);
    EXPECT_TRUE(c.wait_for("korvane/status", "bridge-down", 5.0, from));
}

std::size_t count_of(const std::string &text, const std::string &word)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
        ++n;
    return n;
}

// A power cut where the broker's machine boots later, then a broker that
// restarts again and again: the bridge gets there every time.
TEST_F(Bridge, ConnectsHoweverLateTheBrokerComesAndThroughRestarts)
{
    broker_.stop();
    start_bridge();
    std::this_thread::sleep_for(std::chrono::seconds(10));
    ASSERT_TRUE(broker_.start());
    {
        Client c(broker_.port(), {"korvane/status", "korvane/state/+"});
        // Back-off at most 5 s, and the connection itself.
        EXPECT_TRUE(c.wait_for("korvane/status", "online", 7.0));
        for (const std::string &topic : state_topics())
            EXPECT_TRUE(c.wait_for([&](const Received &r) { return r.topic == topic; }, 5.0)) << topic;
    }
    for (int i = 0; i < 10; ++i) {
        broker_.stop();
        ASSERT_TRUE(broker_.start());
        std::this_thread::sleep_for(std::chrono::seconds(2));
    }
    Client c(broker_.port(), {"korvane/status", "korvane/state/+"});
    EXPECT_TRUE(c.wait_for("korvane/status", "online", 7.0));
    for (const std::string &topic : state_topics())
        EXPECT_TRUE(c.wait_for([&](const Received &r) { return r.topic == topic; }, 5.0)) << topic;

    const Finished f = bridge_.stop(SIGTERM, 2.0);
    EXPECT_EQ(f.exit_code, 0);
    // Ten seconds of "connection refused", said once.
    const std::string first = f.err.substr(0, f.err.find(" broker-connected "));
    EXPECT_EQ(count_of(first, " broker-unreachable " + broker_.address() + " Connection refused"), 1u) << f.err;
    EXPECT_NE(f.err.find(" broker-connected " + broker_.address()), std::string::npos) << f.err;
}

TEST_F(Bridge, RetainedOrdersAreNeverCarriedOut)
{
    Broker broker({true, {}, {}});  // keeps retained messages across its restart
    ASSERT_TRUE(broker.start());
    sim_.stop(SIGTERM);
    start_sim(0, true);
    {
        Client pub(broker.port(), {});
        ASSERT_TRUE(pub.ready());
        pub.publish("korvane/command/remote-on", "[5, 1]", true);
        pub.publish("korvane/request/on-air", "1", true);  // an empty one would delete it
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    Client c(broker.port(), {"korvane/bridge", "korvane/error"});
    ASSERT_TRUE(c.ready());
    start_bridge({"--commands"}, broker.address());
    const auto refused = [](const std::string &topic, const std::string &error) {
        return [=](const Received &m) {
            const Json j = json_of(m);
            return m.topic == "korvane/error" && j.value("topic", "") == topic && j.value("error", "") == error;
        };
    };
    EXPECT_TRUE(c.wait_for(refused("korvane/command/remote-on", "retained commands are not carried out"), 10.0));
    EXPECT_TRUE(c.wait_for(refused("korvane/request/on-air", "retained requests are not carried out"), 5.0));
    Received before;
    ASSERT_TRUE(c.wait_for([](const Received &m) { return m.topic == "korvane/bridge"; }, 5.0, 0, &before));

    // The broker restarts and, at the bridge's reconnect, hands the
    // command over again.
    broker.stop();
    ASSERT_TRUE(broker.start());
    Client again(broker.port(), {"korvane/bridge", "korvane/command/+"});
    EXPECT_TRUE(
        again.wait_for([](const Received &m) { return m.topic == "korvane/command/remote-on" && m.retain; }, 5.0))
        << "the broker lost the retained command";
    const std::string connected_before = json_of(before).value("broker_connected_at", "");
    EXPECT_TRUE(again.wait_for(
        [&](const Received &m) {
            return m.topic == "korvane/bridge" && json_of(m).value("broker_connected_at", "") != connected_before;
        },
        10.0))
        << "the bridge did not reconnect";
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const std::vector<std::string> commands = received_by_sim();
    EXPECT_TRUE(commands.empty()) << commands.front();
}

TEST_F(Bridge, RequestsAndCommandsAreLimited)
{
    sim_.stop(SIGTERM);
    start_sim(0, true);
    start_bridge({"--commands"});
    Client c(broker_.port(), {"korvane/status", "korvane/error"});
    ASSERT_TRUE(c.ready());
    ASSERT_TRUE(c.wait_for("korvane/status", "online", 10.0));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // past the start's burst

    // The mixer holds its replies for a moment: every request for one state
    // is then asked while its reply is still due.
    ASSERT_EQ(kill(sim_.pid(), SIGSTOP), 0);
    const std::size_t from = c.count();
    const auto t0 = std::chrono::steady_clock::now();
    // The ones refused beyond the first 20 must fit the bridge's list of
    // answers waiting for the broker, which drops its oldest when a busy
    // machine lets more pile up: then not every refusal is answered.
    constexpr std::size_t kOrders = 45;
    static_assert(kOrders - 20 <= kmqtt::BridgeState::kMaxRefusals, "more refusals than the bridge keeps");
    for (std::size_t i = 0; i < kOrders; ++i) {
        c.publish("korvane/command/remote-cue", i % 2 ? "[1, 1]" : "[1, 0]");
        c.publish("korvane/request/silence", "");
    }
    const auto rate_limited = [](const Received &m) {
        return m.topic == "korvane/error" && json_of(m).value("error", "") == "rate limited";
    };
    const bool refused = c.wait_for(rate_limited, 5.0, from);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    kill(sim_.pid(), SIGCONT);
    ASSERT_TRUE(refused);
    // A busy machine may still be refusing: count once the refusals have
    // stopped coming for half a second (bounded), then give the simulator
    // time to read what waited for it.
    std::size_t limited = 0, limited_requests = 0;
    const auto settle = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (std::size_t seen = c.count();;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        const std::size_t now_seen = c.count();
        if (now_seen == seen || std::chrono::steady_clock::now() > settle)
            break;
        seen = now_seen;
    }
    // Every command has been sent or refused by now: the bound holds up to here.
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    for (const Received &m : c.all())
        if (rate_limited(m)) {
            ++limited;
            limited_requests += json_of(m).value("topic", "") == "korvane/request/silence";
        }
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    const std::vector<std::string> commands = received_by_sim();
    // 20 at once, then 20 a second.
    EXPECT_LE(commands.size(), 20u + static_cast<std::size_t>(20 * took + 1)) << took << " s";
    EXPECT_GE(commands.size(), 20u);
    std::string other_refusals;  // why a command was neither sent nor rate limited
    for (const Received &m : c.all())
        if (m.topic == "korvane/error" && !rate_limited(m))
            other_refusals += m.payload + "\n";
    EXPECT_EQ(commands.size() + limited, kOrders) << commands.size() << " sent, " << limited << " rate limited\n"
                                                  << other_refusals;
    // Asked again and again while the reply is due: coalesced, neither
    // refused nor sent again (once more every 200 ms at most).
    EXPECT_EQ(limited_requests, 0u);
}

TEST_F(Bridge, RefusalFloodGivesOneShortSummaryLine)
{
    start_bridge();  // commands off: every command is refused
    Client c(broker_.port(), {"korvane/status"});
    ASSERT_TRUE(c.wait_for("korvane/status", "online", 10.0));

    // 2,000 refused messages a second for 3 s, the last one with a topic
    // far too long to show and bytes beyond ASCII.
    const std::string junk = "korvane/command/\u00e9" + std::string(600, 'x');
    const auto t0 = std::chrono::steady_clock::now();
    int sent = 0;
    for (int tick = 0; tick < 300; ++tick) {
        for (int i = 0; i < 20; ++i, ++sent)
            c.publish(tick == 299 && i == 19 ? junk : "korvane/command/remote-on", "[5, 1]", false, 0);
        std::this_thread::sleep_until(t0 + std::chrono::milliseconds(10 * (tick + 1)));
    }
    std::this_thread::sleep_until(t0 + std::chrono::milliseconds(11500));
    const Finished f = bridge_.stop(SIGTERM, 2.0);

    EXPECT_EQ(f.err.find("-refused"), std::string::npos) << "a line per message";
    std::istringstream lines(f.err);
    std::size_t summaries = 0;
    for (std::string line; std::getline(lines, line);) {
        EXPECT_LE(line.size() + 1, 512u) << line.substr(0, 100);
        std::smatch m;
        if (!std::regex_search(line, m, std::regex(" refused ([0-9]+) in ([0-9]+) s: (.*); last: (.*)$")))
            continue;
        ++summaries;
        EXPECT_GE(std::stoi(m[1]), sent / 2) << line;
        EXPECT_LE(std::stoi(m[1]), sent) << line;
        EXPECT_EQ(m[2], "10") << line;
        EXPECT_NE(m[3].str().find(" commands off"), std::string::npos) << line;
        EXPECT_NE(m[3].str().find(" unknown names"), std::string::npos) << line;
        EXPECT_EQ(m[4].str().rfind("korvane/command/\\xc3\\xa9xxx", 0), 0u) << line;
        EXPECT_NE(m[4].str().find("xxx..."), std::string::npos) << line;
    }
    EXPECT_EQ(summaries, 1u) << f.err.substr(0, 2000);
}

// P/bridge tells a receive port taken by another program (the display on
// the same computer) from a mixer that is silent.
TEST_F(Bridge, BridgeTopicSaysWhyTheLinkIsDown)
{
    const uint16_t taken = kt::free_udp_port();
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(taken);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a), 0);
    start_bridge({"--recv-port", std::to_string(taken), "--commands", "--meters-hz", "4"});
    Client c(broker_.port(), {"korvane/bridge"});
    ASSERT_TRUE(c.wait_for([](const Received &) { return true; }, 10.0));
    Client late(broker_.port(), {"korvane/bridge"});
    Received r;
    ASSERT_TRUE(late.wait_for([](const Received &) { return true; }, 5.0, 0, &r));
    Json j = json_of(r);
    EXPECT_TRUE(r.retain);
    std::set<std::string> keys;
    for (auto it = j.begin(); it != j.end(); ++it)
        keys.insert(it.key());
    EXPECT_EQ(keys, (std::set<std::string>{"version", "mixer", "receive_port", "link", "commands", "meters_hz",
                                           "broker_connected_at"}));
    EXPECT_EQ(j.value("link", ""), "receive-port-busy") << r.payload;
    EXPECT_EQ(j.value("receive_port", 0), taken);
    EXPECT_EQ(j.value("mixer", ""), "127.0.0.1:" + std::to_string(sim_port_));
    EXPECT_EQ(j.value("commands", false), true);
    EXPECT_EQ(j.value("meters_hz", 0), 4);
    EXPECT_TRUE(std::regex_match(j.value("broker_connected_at", ""),
                                 std::regex("[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}.*")))
        << r.payload;

    // Once the port is free the bridge takes it and says so.
    const std::size_t from = c.count();
    close(fd);
    EXPECT_TRUE(c.wait_for([](const Received &m) { return json_of(m).value("link", "") == "open"; }, 8.0, from));
}

// systemd's LoadCredential=mqtt-password:... hands the password over as a
// file in $CREDENTIALS_DIRECTORY.
TEST(BridgeCredentials, PasswordFromTheCredentialsDirectory)
{
    Broker broker({false, "studio", "s3cret pass"});
    ASSERT_TRUE(broker.start());
    char dir[] = "/tmp/korvane-mqtt-credentials-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string file = std::string(dir) + "/mqtt-password";
    std::ofstream(file) << "s3cret pass\n";
    Client c(broker.port(), {"korvane/status"}, "studio", "s3cret pass");
    ASSERT_TRUE(c.ready());
    const std::vector<std::string> args = {"--broker", broker.address(), "--recv-port", "0", "--username", "studio"};

    SimProcess refused(KORVANE_MQTT_PATH);  // no credentials: the broker says no
    ASSERT_TRUE(refused.spawn(args));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const Finished r = refused.stop(SIGTERM, 2.0);
    EXPECT_NE(r.err.find(" broker-refused "), std::string::npos) << r.err;

    setenv("CREDENTIALS_DIRECTORY", dir, 1);
    SimProcess bridge(KORVANE_MQTT_PATH);
    const bool spawned = bridge.spawn(args);
    unsetenv("CREDENTIALS_DIRECTORY");
    ASSERT_TRUE(spawned);
    EXPECT_TRUE(c.wait_for("korvane/status", "offline", 10.0));  // no mixer: connected all the same
    EXPECT_EQ(bridge.stop(SIGTERM, 2.0).exit_code, 0);
    std::remove(file.c_str());
    rmdir(dir);
}

TEST(BridgeOptions, BadOptionsExitWithTwoAndSayWhy)
{
    const std::vector<std::vector<std::string>> bad = {
        {"--meters-hz", "51"},    {"--broker", "127.0.0.1:0"},
        {"--prefix", "studio/#"}, {"--password-file", "/dev/null"},
        {"--no-such-option"},     {"--host"},
    };
    for (const auto &args : bad) {
        const Finished f = simtest::run_program(KORVANE_MQTT_PATH, args);
        EXPECT_EQ(f.exit_code, 2) << args[0];
        EXPECT_NE(f.err.find("korvane-mqtt: "), std::string::npos) << f.err;
        EXPECT_NE(f.err.find(args[0]), std::string::npos) << f.err;
    }
    const Finished v = simtest::run_program(KORVANE_MQTT_PATH, {"--version"});
    EXPECT_EQ(v.exit_code, 0);
    EXPECT_NE(v.out.find(korvane_library_version(nullptr)), std::string::npos) << v.out;
}

}  // namespace
