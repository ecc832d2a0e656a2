// What commands do to the simulated mixer and which events they send.
#include "messages.h"
#include "mixer_state.h"

#include <gtest/gtest.h>

using namespace ksim;

namespace {

CommandResult run(MixerState &s, uint8_t number, std::initializer_list<uint8_t> args)
{
    std::array<uint8_t, 8> a{};
    std::size_t i = 0;
    for (uint8_t v : args)
        a[i++] = v;
    return apply_command(s, number, a);
}

}  // namespace

TEST(SimState, RemoteOnSwitchesModules)
{
    MixerState s = default_studio_state();
    ASSERT_EQ(s.module_on[3], 0);
    CommandResult r = run(s, msg::kRemoteOn, {3, 2});
    EXPECT_TRUE(r.accepted);
    EXPECT_EQ(s.module_on[3], 1);
    EXPECT_EQ(r.events, std::vector<uint8_t>{msg::kModuleOn});
    run(s, msg::kRemoteOn, {3, 2});
    EXPECT_EQ(s.module_on[3], 0);

    run(s, msg::kRemoteOn, {3, 1});
    r = run(s, msg::kRemoteOn, {3, 1});
    EXPECT_EQ(s.module_on[3], 1);
    EXPECT_EQ(r.events, std::vector<uint8_t>{msg::kModuleOn}) << "an unchanged state is still confirmed";
    run(s, msg::kRemoteOn, {3, 0});
    EXPECT_EQ(s.module_on[3], 0);

    const MixerState before = s;
    r = run(s, msg::kRemoteOn, {8, 2});
    EXPECT_FALSE(r.accepted);
    EXPECT_TRUE(r.events.empty());
    r = run(s, msg::kRemoteOn, {3, 7});
    EXPECT_FALSE(r.accepted);
    EXPECT_EQ(s.module_on, before.module_on);
}

TEST(SimState, MicOnFollowsTheMicrophoneModule)
{
    MixerState s = default_studio_state();
    ASSERT_EQ(s.microphone[0], 1);
    ASSERT_EQ(s.mic_on, 0);
    std::vector<uint8_t> events;
    set_fader_open(s, 0, true, events);
    EXPECT_EQ(s.mic_on, 0) << "fader open but module off";
    CommandResult r = run(s, msg::kRemoteOn, {0, 1});
    EXPECT_EQ(s.mic_on, 1);
    EXPECT_EQ(r.events, (std::vector<uint8_t>{msg::kModuleOn, msg::kMicOn}));
    events.clear();
    set_fader_open(s, 0, false, events);
    EXPECT_EQ(s.mic_on, 0);
    EXPECT_EQ(events, (std::vector<uint8_t>{msg::kFader, msg::kMicOn}));

    // A line module never turns the mic signal on.
    events.clear();
    set_module_on(s, 5, true, events);
    set_fader_open(s, 5, true, events);
    EXPECT_EQ(s.mic_on, 0);
}

TEST(SimState, RemoteSignals)
{
    MixerState s = default_studio_state();
    CommandResult r = run(s, msg::kRemoteNonStop, {2});
    EXPECT_EQ(s.non_stop, 1);
    EXPECT_EQ(r.events, std::vector<uint8_t>{msg::kNonStop});
    run(s, msg::kRemoteNonStop, {2});
    EXPECT_EQ(s.non_stop, 0);
    EXPECT_FALSE(run(s, msg::kRemoteNonStop, {9}).accepted);

    r = run(s, msg::kVoiceTrack, {4, 1});
    EXPECT_EQ(s.voice_track[4], 1);
    EXPECT_EQ(r.events, std::vector<uint8_t>{msg::kVoiceTrack});
    r = run(s, msg::kComm, {2, 2});
    EXPECT_EQ(s.comm[2], 1);
    EXPECT_EQ(r.events, std::vector<uint8_t>{msg::kComm});
    EXPECT_FALSE(run(s, msg::kCough, {3, 1}).accepted);

    run(s, msg::kRemoteCue, {4, 1});
    EXPECT_EQ(s.cue[4], 1);
    run(s, msg::kRemoteCueReset, {});
    EXPECT_EQ(s.cue[4], 0);

    run(s, msg::kCtrlLedBlink, {200, 1, 2, 9});
    EXPECT_EQ(s.led_colour[200], 1);
    EXPECT_EQ(s.led_blink_off_colour[200], 2);
    EXPECT_EQ(s.led_blink_speed[200], 9);
    run(s, msg::kCtrlLed, {200, 3});
    EXPECT_EQ(s.led_colour[200], 3);
    EXPECT_EQ(s.led_blink_speed[200], 0);
}

TEST(SimState, ConfigurationCommandsSendTheirEvent)
{
    MixerState s = default_studio_state();
    struct Case {
        uint8_t number;
        std::initializer_list<uint8_t> args;
    };
    const Case cases[] = {
        {msg::kAutoOn, {1, 1}},         {msg::kCueReset, {2, 0x81}},     {msg::kOnAirConfig, {3, 1}},
        {msg::kCrmMuteConfig, {0, 1}},  {msg::kCrmAutoCueReset, {1, 1}}, {msg::kStudioRemote, {2, 5}},
        {msg::kCueInterlock, {1}},      {msg::kGpo, {1, 1, 2, 3, 4}},    {msg::kCueConfig, {10, 1, 2}},
        {msg::kOnConfig, {7, 1, 2, 3}}, {msg::kFaderReserve, {7, 1}},    {msg::kSilenceDetection, {0xCE, 3, 1, 1, 1}},
        {msg::kPhantom, {2, 1}},        {msg::kMicAtLine, {0, 1}},       {msg::kAutoOff, {6, 1}},
        {msg::kTrackState, {1, 2}},     {msg::kLockedOn, {0, 1}},        {msg::kPgmAutoOff, {5, 1}},
        {msg::kMicOnTrigger, {2}},
    };
    for (const Case &c : cases) {
        CommandResult r = run(s, c.number, c.args);
        EXPECT_TRUE(r.accepted) << int(c.number);
        EXPECT_EQ(r.events, std::vector<uint8_t>{c.number}) << int(c.number);
    }
    EXPECT_EQ(s.auto_on[1], 1);
    EXPECT_EQ(s.cue_reset[2], 0x81);
    EXPECT_EQ(s.studio_remote[2], 5);
    EXPECT_EQ(s.gpo[1].param5, 4);
    EXPECT_EQ(s.cue_colours[20], 1);
    EXPECT_EQ(s.cue_colours[21], 2);
    EXPECT_EQ(s.lamps[7].active, 1);
    EXPECT_EQ(s.lamps[7].active_and_fader, 2);
    EXPECT_EQ(s.lamps[7].inactive, 3);
    EXPECT_EQ(s.silence_config.threshold, -50);
    EXPECT_EQ(s.silence_config.interval_unit, 1);
    EXPECT_EQ(s.track_state[1], 2);
    EXPECT_EQ(s.pgm_auto_off[5], 1);
    EXPECT_EQ(s.mic_on_trigger, 2);

    // Out of range: nothing changes, nothing is sent.
    const MixerState before = s;
    for (const Case &c :
         {Case{msg::kAutoOn, {8, 1}}, Case{msg::kPhantom, {3, 1}}, Case{msg::kGpo, {2, 1, 1, 1, 1}},
          Case{msg::kOnConfig, {0, 4, 0, 0}}, Case{msg::kCueConfig, {11, 1, 1}}, Case{47, {1}}, Case{63, {}}}) {
        CommandResult r = run(s, c.number, c.args);
        EXPECT_FALSE(r.accepted) << int(c.number);
        EXPECT_TRUE(r.events.empty()) << int(c.number);
    }
    EXPECT_EQ(s.auto_on, before.auto_on);
    EXPECT_EQ(s.lamps[0].active, before.lamps[0].active);

    EXPECT_TRUE(run(s, msg::kConfigSave, {}).accepted);
    EXPECT_EQ(s.saves, 1u);
}
