// korvane-mqtt's Home Assistant documents, read as Home Assistant reads them
// (homeassistant_check.py) on what the bridge really publishes between a
// real mosquitto and korvane-sim.
#include "mqtt_testing.h"
#include "sim_process.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <fstream>
#include <map>

using namespace mqtttest;
using simtest::Finished;
using simtest::SimProcess;
using Json = nlohmann::json;

namespace {

const std::string kDocs = "homeassistant/";
const std::string kSwitch6 = "homeassistant/switch/korvane_korvane/module_6/config";

bool is_control(const std::string &topic)
{
    return topic.find("/switch/") != std::string::npos || topic.find("/button/") != std::string::npos;
}

class HomeAssistant : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(broker_.start());
        std::string error;
        ASSERT_TRUE(sim_.start({"--listen", "127.0.0.1:0"}, &error)) << error;
    }
    void TearDown() override
    {
        if (bridge_.running()) {
            EXPECT_EQ(bridge_.stop(SIGTERM, 2.0).exit_code, 0);
        }
    }

    void start_bridge(std::vector<std::string> extra)
    {
        std::vector<std::string> args = {
            "--broker", broker_.address(), "--send-port", std::to_string(sim_.port()), "--recv-port", "0"};
        args.insert(args.end(), extra.begin(), extra.end());
        ASSERT_TRUE(bridge_.spawn(args));
    }

    // The last payload of every topic `c` received.
    static std::map<std::string, std::string> latest(Client &c)
    {
        std::map<std::string, std::string> last;
        for (const Received &r : c.all())
            last[r.topic] = r.payload;
        return last;
    }

    // homeassistant_check.py's verdict on the documents and messages `c` received.
    static Json check(Client &c)
    {
        Json given = {{"documents", Json::object()}, {"messages", Json::object()}};
        for (const auto &entry : latest(c))
            given[entry.first.rfind(kDocs, 0) == 0 ? "documents" : "messages"][entry.first] = entry.second;
        char path[] = "/tmp/korvane-ha-check-XXXXXX";
        const int fd = mkstemp(path);
        if (fd < 0)
            return Json();
        close(fd);
        std::ofstream(path) << given.dump();
        const Finished f = simtest::run_program(PYTHON3_PATH, {HOMEASSISTANT_CHECK_PATH, path}, 10.0);
        std::remove(path);
        EXPECT_EQ(f.exit_code, 0) << f.err;
        return Json::parse(f.out, nullptr, false);
    }

    static Json document(Client &c, const std::string &topic) { return Json::parse(latest(c)[topic], nullptr, false); }

    Broker broker_;
    SimProcess sim_;
    SimProcess bridge_{KORVANE_MQTT_PATH};
};

TEST_F(HomeAssistant, DocumentsKeepToTheirPlatformsAndTheirTemplatesReadTheBridgesPayloads)
{
    Client c(broker_.port(), {"homeassistant/#", "korvane/#"});
    ASSERT_TRUE(c.ready());
    start_bridge({"--homeassistant", "--homeassistant-levels", "--commands"});
    // The device is announced again once the firmware reply is in.
    ASSERT_TRUE(c.wait_for(
        [](const Received &r) { return r.topic == kSwitch6 && r.payload.find("sw_version") != std::string::npos; },
        10.0));
    for (const std::string topic : {"korvane/levels", "korvane/state/mic-on-time", "korvane/state/module-on"})
        ASSERT_TRUE(c.wait_for([&](const Received &r) { return r.topic == topic; }, 5.0)) << topic;

    Json seen = check(c);
    EXPECT_EQ(seen["problems"], Json::array()) << seen["problems"].dump(1);
    EXPECT_EQ(seen["available"].size(), 38u) << "8 signals, 18 module entities, mic-on time, 4 levels, 7 controls";
    for (const auto &entry : seen["available"].items())
        EXPECT_EQ(entry.value(), true) << entry.key();
    EXPECT_EQ(seen["states"]["korvane_korvane_link"], "on");
    // The simulator's modules 1 and 5 are on their own sources, module 3 on its line.
    EXPECT_EQ(seen["states"]["korvane_korvane_module_1_source"], "MIC");
    EXPECT_EQ(seen["states"]["korvane_korvane_module_3_source"], "LINE");
    EXPECT_EQ(seen["states"]["korvane_korvane_module_5_source"], "USB");
    const Json firmware = Json::parse(latest(c)["korvane/state/firmware-version"], nullptr, false);
    EXPECT_EQ(document(c, kSwitch6)["device"]["sw_version"], std::to_string(firmware.value("major", -1)) + "." +
                                                                 std::to_string(firmware.value("minor", -1)) + "." +
                                                                 std::to_string(firmware.value("build", -1)));

    // The switch's own payloads on its own command topic move module 6 (index 5).
    const Json module6 = document(c, kSwitch6);
    for (const char *state : {"on", "off"}) {
        const std::size_t from = c.count();
        c.publish(module6["command_topic"], module6[std::string("payload_") + state]);
        ASSERT_TRUE(c.wait_for(
            [&](const Received &r) {
                return r.topic == "korvane/state/module-on" &&
                       Json::parse(r.payload, nullptr, false)["values"][5] == (state[1] == 'n' ? 1 : 0);
            },
            5.0, from))
            << state;
        seen = check(c);
        EXPECT_EQ(seen["states"]["korvane_korvane_module_6"], state);
        EXPECT_EQ(seen["states"]["korvane_korvane_module_6_on"], state);
    }

    // Each press of the button toggles non-stop, whichever way it stands.
    const Json button = document(c, "homeassistant/button/korvane_korvane/non_stop_toggle/config");
    for (int press = 0; press < 2; ++press) {
        const Json non_stop = check(c)["states"]["korvane_korvane_non_stop"];
        const std::size_t pressed = c.count();
        c.publish(button["command_topic"], button["payload_press"]);
        ASSERT_TRUE(c.wait_for([](const Received &r) { return r.topic == "korvane/state/non-stop"; }, 5.0, pressed));
        EXPECT_NE(check(c)["states"]["korvane_korvane_non_stop"], non_stop) << "press " << press;
    }

    // A stopped bridge: everything unavailable but the link, which reads off.
    const std::size_t from = c.count();
    ASSERT_EQ(bridge_.stop(SIGTERM, 2.0).exit_code, 0);
    ASSERT_TRUE(c.wait_for("korvane/status", "bridge-down", 5.0, from));
    seen = check(c);
    EXPECT_EQ(seen["problems"], Json::array()) << seen["problems"].dump(1);
    EXPECT_EQ(seen["states"]["korvane_korvane_link"], "off");
    for (const auto &entry : seen["available"].items())
        EXPECT_EQ(entry.value(), entry.key() == "korvane_korvane_link") << entry.key();
}

TEST_F(HomeAssistant, ControlsOnlyWithCommandsAndRemovalLeavesNothing)
{
    start_bridge({"--homeassistant", "--homeassistant-levels", "--commands"});
    {
        Client c(broker_.port(), {"homeassistant/#"});
        ASSERT_TRUE(c.wait_for([](const Received &r) { return r.topic == kSwitch6 && !r.payload.empty(); }, 10.0));
    }
    ASSERT_EQ(bridge_.stop(SIGTERM, 2.0).exit_code, 0);

    // Without --commands an earlier run's controls are taken back.
    {
        Client before(broker_.port(), {"homeassistant/#"});
        ASSERT_TRUE(before.ready());
        start_bridge({"--homeassistant", "--homeassistant-levels"});
        ASSERT_TRUE(before.wait_for(kSwitch6, "", 10.0));
    }
    std::size_t retained = 0;
    {
        Client late(broker_.port(), {"homeassistant/#"});
        ASSERT_TRUE(late.ready());
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        // The firmware's answer may re-announce everything meanwhile: the
        // controls then come again, empty.
        for (const auto &entry : latest(late)) {
            if (entry.second.empty())
                continue;
            EXPECT_FALSE(is_control(entry.first)) << entry.first;
            ++retained;
        }
    }
    EXPECT_EQ(retained, 31u) << "8 signals, 18 module entities, mic-on time, 4 levels";
    ASSERT_EQ(bridge_.stop(SIGTERM, 2.0).exit_code, 0);

    const Finished removed =
        simtest::run_program(KORVANE_MQTT_PATH, {"--broker", broker_.address(), "--homeassistant-remove"}, 15.0);
    EXPECT_EQ(removed.exit_code, 0) << removed.err;
    Client after(broker_.port(), {"homeassistant/#"});
    ASSERT_TRUE(after.ready());
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(after.count(), 0u) << "a retained document was left behind";
}

TEST(HomeAssistantOptions, LevelsNeedDiscoveryAndRemovalStandsAlone)
{
    const std::vector<std::vector<std::string>> bad = {
        {"--homeassistant-levels"},
        {"--homeassistant-remove", "--homeassistant"},
    };
    for (const auto &args : bad) {
        const Finished f = simtest::run_program(KORVANE_MQTT_PATH, args);
        EXPECT_EQ(f.exit_code, 2) << args[0];
        EXPECT_NE(f.err.find(args[0]), std::string::npos) << f.err;
    }
}

}  // namespace
