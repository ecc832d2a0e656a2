// korvane-mqtt as a program, between a real mosquitto and korvane-sim.
#include "mqtt_testing.h"
#include "sim_process.h"

#include "catalog.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <csignal>

using namespace mqtttest;
using simtest::Finished;
using simtest::SimProcess;
using Json = nlohmann::json;

namespace {

std::vector<std::string> state_topics()
{
    std::vector<std::string> topics;
    for (const int id : kcli::state_request_ids())
        topics.push_back("korvane/state/" + kcli::id_name(id));
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

    void start_sim(uint16_t port)
    {
        std::string error;
        ASSERT_TRUE(sim_.start({"--listen", "127.0.0.1:" + std::to_string(port)}, &error)) << error;
        sim_port_ = sim_.port();
    }

    void start_bridge(std::vector<std::string> extra = {})
    {
        std::vector<std::string> args = {
            "--broker", broker_.address(), "--send-port", std::to_string(sim_port_), "--recv-port", "0"};
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
    start_bridge();
    ASSERT_TRUE(c.wait_for("korvane/status", "online", 10.0));
    std::size_t from = c.count();
    const Finished f = bridge_.stop(SIGTERM, 1.0);
    EXPECT_EQ(f.exit_code, 0) << "did not end within 1 s: " << f.err;
    EXPECT_TRUE(c.wait_for("korvane/status", "bridge-down", 2.0, from));
    EXPECT_NE(f.err.find(" bridge-stopped"), std::string::npos) << f.err;

    start_bridge();
    ASSERT_TRUE(c.wait_for("korvane/status", "online", 10.0, from));
    from = c.count();
    bridge_.stop(SIGKILL);
    EXPECT_TRUE(c.wait_for("korvane/status", "bridge-down", 5.0, from));
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
