// The bridge's bookkeeping on a clock of the test's making.
#include "bridge_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

using namespace kmqtt;
using std::chrono::milliseconds;

namespace {

kcatalog::Message meter(float level)
{
    kcatalog::Message m;
    m.id = KORVANE_ID_METERS;
    m.kind = 1;
    std::fill(m.meters, m.meters + 6, level);
    return m;
}

kcatalog::Message state(int id, int value)
{
    kcatalog::Message m;
    m.id = id;
    m.kind = 1;
    m.count = 1;
    m.values[0] = value;
    return m;
}

float first_level(const std::string &payload)
{
    const std::size_t at = payload.find("\"levels_db\":[");
    return std::stof(payload.substr(at + 13));
}

TEST(BridgeState, MetersHoldTheirPeaksAndKeepTheRate)
{
    BridgeState s(Topics("k"), 10, false);
    const Clock::time_point start{};
    std::vector<Clock::time_point> sent;
    float highest = -100.0f;
    // 25 meter events a second for three seconds, one short peak in every seven.
    for (int i = 0; i < 75; ++i) {
        const Clock::time_point now = start + milliseconds(40 * i);
        const float level = i % 7 == 3 ? -1.0f - static_cast<float>(i) / 100 : -30.0f;
        s.on_message(meter(level), now);
        highest = std::max(highest, level);
        for (const Publication &p : s.take(now, 100)) {
            if (!p.is_meter)
                continue;
            EXPECT_FLOAT_EQ(first_level(p.payload), highest) << "event " << i;
            highest = -100.0f;
            sent.push_back(now);
        }
    }
    EXPECT_GE(sent.size(), 25u);
    for (std::size_t i = 10; i < sent.size(); ++i)
        EXPECT_GE(sent[i] - sent[i - 10], std::chrono::seconds(1)) << "more than 10 in a second";
}

TEST(BridgeState, StateWaitsForRoomWhileMetersAreDropped)
{
    BridgeState s(Topics("k"), 10, false);
    const Clock::time_point now{};
    s.on_message(state(KORVANE_ID_ON_AIR, 0), now);
    s.on_message(state(KORVANE_ID_MIC_ON, 1), now);
    s.on_message(state(KORVANE_ID_ON_AIR, 1), now);
    s.on_message(meter(-10.0f), now);
    EXPECT_TRUE(s.take(now, 0).empty());
    EXPECT_EQ(s.meters_dropped(), 1u);

    const std::vector<Publication> out = s.take(now, 100);
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[0].topic, "k/status");
    EXPECT_EQ(out[1].topic, "k/state/on-air");
    EXPECT_NE(out[1].payload.find("\"values\":[1]"), std::string::npos) << "the newest value";
    EXPECT_EQ(out[2].topic, "k/state/mic-on");
    EXPECT_EQ(out[3].topic, "k/state/mic-on-time") << "the bridge's own count, started by mic-on";
    EXPECT_TRUE(out[1].retain && out[2].retain && out[3].retain);

    // Refused by the broker link: due again; on reconnect everything is.
    s.put_back(out[2]);
    EXPECT_EQ(s.take(now, 100).size(), 1u);
    s.broker_connected();
    EXPECT_EQ(s.take(now, 100).size(), 4u);
}

TEST(BridgeState, OnlineWhileMetersArriveOfflineAfterThreeSeconds)
{
    BridgeState s(Topics("k"), 10, false);
    const Clock::time_point t0{};
    s.on_message(state(KORVANE_ID_ON_AIR, 1), t0);
    EXPECT_EQ(s.supervise(t0 + milliseconds(100)), BridgeState::Change::None) << "replies do not count";
    EXPECT_TRUE(s.on_message(meter(-20.0f), t0 + milliseconds(200)));
    EXPECT_EQ(s.supervise(t0 + milliseconds(200)), BridgeState::Change::Online);
    s.take(t0 + milliseconds(200), 100);
    EXPECT_EQ(s.supervise(t0 + milliseconds(3199)), BridgeState::Change::None);
    EXPECT_EQ(s.next_deadline(t0 + milliseconds(3000)), t0 + milliseconds(3200));
    EXPECT_EQ(s.supervise(t0 + milliseconds(3200)), BridgeState::Change::Offline);
    EXPECT_TRUE(s.on_message(meter(-20.0f), t0 + milliseconds(9000))) << "back: wake the bridge";
    EXPECT_EQ(s.supervise(t0 + milliseconds(9000)), BridgeState::Change::Online);
}

}  // namespace

namespace {

// The publications of `s` at `now` on `topic`.
std::vector<Publication> on_topic(BridgeState &s, Clock::time_point now, const std::string &topic)
{
    std::vector<Publication> out;
    for (Publication &p : s.take(now, 100))
        if (p.topic == topic)
            out.push_back(std::move(p));
    return out;
}

long seconds_of(const Publication &p)
{
    return std::stol(p.payload.substr(p.payload.find("\"seconds\":") + 10));
}

TEST(BridgeState, MicOnTimeCountsAsTheDisplayDoes)
{
    BridgeState s(Topics("k"), 10, false);
    const Clock::time_point t0{};
    const std::string topic = "k/state/mic-on-time";
    s.on_message(state(KORVANE_ID_MIC_ON, 0), t0);
    auto got = on_topic(s, t0, topic);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(seconds_of(got[0]), 0) << "off reads 0";
    EXPECT_TRUE(got[0].retain);

    const Clock::time_point on = t0 + milliseconds(500);
    s.on_message(state(KORVANE_ID_MIC_ON, 1), on);
    // {ms after going on, mic-on state arriving then (-1: none), seconds published (-1: nothing)}
    const int steps[][3] = {
        {0, -1, 0},     {999, -1, -1},  {1000, -1, 1}, {1400, 1, -1},  // a dropout's "on" again keeps the count
        {2003, -1, 2},  {2500, -1, -1}, {4700, -1, 4}, {4800, 0, 0},   // off: 0 once
        {7000, -1, -1},
    };
    for (const auto &step : steps) {
        const Clock::time_point now = on + milliseconds(step[0]);
        if (step[1] >= 0)
            s.on_message(state(KORVANE_ID_MIC_ON, step[1]), now);
        got = on_topic(s, now, topic);
        ASSERT_EQ(got.size(), step[2] < 0 ? 0u : 1u) << "at " << step[0] << " ms";
        if (step[2] >= 0) {
            EXPECT_EQ(seconds_of(got[0]), step[2]) << "at " << step[0] << " ms";
        }
    }
    s.broker_connected();
    got = on_topic(s, on + milliseconds(8000), topic);
    ASSERT_EQ(got.size(), 1u) << "a restarted broker gets the count again";
    EXPECT_EQ(seconds_of(got[0]), 0);
}

TEST(BridgeState, LevelsAreEachSecondsHighestAndOnlyWhenAskedFor)
{
    const Clock::time_point start{};
    for (const bool asked : {false, true}) {
        BridgeState s(Topics("k"), 0, true, asked);
        std::vector<std::pair<Clock::time_point, std::string>> sent;
        float highest = -100.0f;
        std::vector<float> expected;
        // 25 meter events a second for three seconds, one short peak in every nine.
        for (int i = 0; i < 75; ++i) {
            const Clock::time_point now = start + milliseconds(40 * i);
            const float level = i % 9 == 4 ? -2.04f - static_cast<float>(i) / 10 : -30.0f;
            s.on_message(meter(level), now);
            highest = std::max(highest, level);
            for (const Publication &p : s.take(now, 100))
                if (p.topic == "k/levels") {
                    EXPECT_FALSE(p.retain);
                    sent.emplace_back(now, p.payload);
                    expected.push_back(highest);
                    highest = -100.0f;
                }
        }
        if (!asked) {
            EXPECT_TRUE(sent.empty());
            continue;
        }
        ASSERT_GE(sent.size(), 2u);
        for (std::size_t i = 0; i < sent.size(); ++i) {
            if (i > 0) {
                EXPECT_GE(sent[i].first - sent[i - 1].first, std::chrono::seconds(1));
            }
            char text[32];
            std::snprintf(text, sizeof text, "\"crm_right_db\":%.1f}", static_cast<double>(expected[i]));
            EXPECT_NE(sent[i].second.find(text), std::string::npos) << sent[i].second << " wants " << text;
        }
    }
}

TEST(BridgeState, FirmwareReplyAnnouncesTheDeviceAgain)
{
    BridgeState s(Topics("k"), 10, true);
    const Clock::time_point now{};
    std::size_t announced = 0;
    for (const Publication &p : s.take(now, 100))
        announced += p.topic.rfind("homeassistant/", 0) == 0 && !p.payload.empty();
    EXPECT_EQ(announced, 27u) << "no levels and no controls unless asked for";

    kcatalog::Message firmware;
    firmware.id = KORVANE_ID_FIRMWARE_VERSION;
    firmware.firmware = {3, 2, 7, "VXN Korvane Firmware v3.2.7"};
    s.on_message(firmware, now);
    const std::vector<Publication> again = on_topic(s, now, "homeassistant/binary_sensor/korvane_k/on_air_1/config");
    ASSERT_EQ(again.size(), 1u);
    EXPECT_NE(again[0].payload.find("\"sw_version\":\"3.2.7\""), std::string::npos) << again[0].payload;
    s.on_message(firmware, now);
    EXPECT_TRUE(on_topic(s, now, "homeassistant/binary_sensor/korvane_k/on_air_1/config").empty())
        << "the same firmware again is no news";
}

}  // namespace
