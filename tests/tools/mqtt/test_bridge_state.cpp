// The bridge's bookkeeping on a clock of the test's making.
#include "bridge_state.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace kmqtt;
using std::chrono::milliseconds;

namespace {

kcli::Message meter(float level)
{
    kcli::Message m;
    m.id = KORVANE_ID_METERS;
    m.kind = 1;
    std::fill(m.meters, m.meters + 6, level);
    return m;
}

kcli::Message state(int id, int value)
{
    kcli::Message m;
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
