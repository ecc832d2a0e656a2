#include "mixer_state.h"

#include "messages.h"

#include <cstdio>

namespace ksim {

namespace {

constexpr uint8_t kActionOff = 0;
constexpr uint8_t kActionOn = 1;
constexpr uint8_t kActionToggle = 2;

// Applies a remote action to a flag; false for an action code the mixer
// does not know.
bool apply_action(uint8_t &flag, uint8_t action)
{
    switch (action) {
    case kActionOff: flag = 0; return true;
    case kActionOn: flag = 1; return true;
    case kActionToggle: flag = flag ? 0 : 1; return true;
    default: return false;
    }
}

std::string format(const char *fmt, int a, int b = 0, int c = 0)
{
    char text[128];
    std::snprintf(text, sizeof text, fmt, a, b, c);
    return text;
}

CommandResult rejected(std::string why)
{
    CommandResult r;
    r.note = "ignored: " + why;
    return r;
}

CommandResult accepted(std::vector<uint8_t> events, std::string note = {})
{
    CommandResult r;
    r.accepted = true;
    r.events = std::move(events);
    r.note = std::move(note);
    return r;
}

// Remote action on a per-module flag whose state message is `event`.
CommandResult module_action(ModuleBytes &flags, uint8_t module, uint8_t action, uint8_t event)
{
    if (module >= kModules)
        return rejected(format("module %d out of range", module));
    if (!apply_action(flags[module], action))
        return rejected(format("unknown action %d", action));
    return accepted({event}, format("module %d now %d", module, flags[module]));
}

// Remote action on one of three values (comm, cough).
CommandResult triple_action(std::array<uint8_t, 3> &flags, uint8_t index, uint8_t action, uint8_t event)
{
    if (index >= flags.size())
        return rejected(format("index %d out of range", index));
    if (!apply_action(flags[index], action))
        return rejected(format("unknown action %d", action));
    return accepted({event}, format("value %d now %d", index, flags[index]));
}

// Per-module configuration byte.
CommandResult module_config(ModuleBytes &config, uint8_t module, uint8_t value, uint8_t event)
{
    if (module >= kModules)
        return rejected(format("module %d out of range", module));
    config[module] = value;
    return accepted({event});
}

// Configuration held as three values (addressed like modules 0..2).
CommandResult triple_config(std::array<uint8_t, 3> &config, uint8_t index, uint8_t value, uint8_t event)
{
    if (index >= config.size())
        return rejected(format("index %d out of range", index));
    config[index] = value;
    return accepted({event});
}

}  // namespace

MixerState default_studio_state()
{
    MixerState s;
    s.microphone = {1, 0, 0, 0, 0, 0, 0, 0};
    s.source = {1, 1, 0, 0, 1, 0, 0, 0};
    s.module_on = {0, 1, 1, 0, 0, 0, 0, 0};
    s.fader_open = {0, 1, 1, 0, 0, 0, 0, 0};
    s.voice_track = {0, 1, 0, 0, 0, 0, 0, 0};
    for (int m = 0; m < kModules; ++m) {
        const uint8_t on_colour = s.microphone[m] ? 1 : 2;
        s.lamps[m] = LampColours{on_colour, on_colour, 0};
        s.on_air_flags[m] = s.microphone[m];
    }
    s.on_air1 = 1;
    for (std::size_t c = 0; c < s.cue.size(); ++c) {
        s.cue_colours[2 * c] = 3;
        s.cue_colours[2 * c + 1] = 0;
    }
    s.mic_on_trigger = 1;
    std::vector<uint8_t> ignored;
    update_mic_on(s, ignored);
    return s;
}

void update_mic_on(MixerState &state, std::vector<uint8_t> &events)
{
    uint8_t on = 0;
    for (int m = 0; m < kModules; ++m)
        if (state.microphone[m] && state.module_on[m] && state.fader_open[m])
            on = 1;
    if (on != state.mic_on) {
        state.mic_on = on;
        events.push_back(msg::kMicOn);
    }
}

void set_module_on(MixerState &state, int module, bool on, std::vector<uint8_t> &events)
{
    if (module < 0 || module >= kModules || state.module_on[module] == on)
        return;
    state.module_on[module] = on;
    events.push_back(msg::kModuleOn);
    update_mic_on(state, events);
}

void set_fader_open(MixerState &state, int module, bool open, std::vector<uint8_t> &events)
{
    if (module < 0 || module >= kModules || state.fader_open[module] == open)
        return;
    state.fader_open[module] = open;
    events.push_back(msg::kFader);
    update_mic_on(state, events);
}

CommandResult apply_command(MixerState &s, uint8_t number, const std::array<uint8_t, 8> &a)
{
    switch (number) {
    case msg::kCtrlLed:
        s.led_colour[a[0]] = a[1];
        s.led_blink_speed[a[0]] = 0;
        return accepted({}, format("led %d colour %d", a[0], a[1]));
    case msg::kCtrlLedBlink:
        s.led_colour[a[0]] = a[1];
        s.led_blink_off_colour[a[0]] = a[2];
        s.led_blink_speed[a[0]] = a[3];
        return accepted({}, format("led %d blinking, speed %d", a[0], a[3]));
    case msg::kRemoteOn: {
        if (a[0] >= kModules)
            return rejected(format("module %d out of range", a[0]));
        uint8_t on = s.module_on[a[0]];
        if (!apply_action(on, a[1]))
            return rejected(format("unknown action %d", a[1]));
        // Confirm with the module state even when nothing changed, so a
        // client always learns the current state.
        std::vector<uint8_t> events;
        set_module_on(s, a[0], on, events);
        if (events.empty())
            events.push_back(msg::kModuleOn);
        return accepted(events, format("module %d now ", a[0]) + (on ? "on" : "off"));
    }
    case msg::kRemoteCue:
        if (a[0] >= s.cue.size())
            return rejected(format("cue %d out of range", a[0]));
        if (!apply_action(s.cue[a[0]], a[1]))
            return rejected(format("unknown action %d", a[1]));
        return accepted({}, format("cue %d now %d", a[0], s.cue[a[0]]));
    case msg::kRemoteCueReset: s.cue.fill(0); return accepted({}, "all cues off");
    case msg::kAutoCueAnnouncer:
        if (!apply_action(s.auto_cue_announcer, a[0]))
            return rejected(format("unknown action %d", a[0]));
        return accepted({}, format("auto cue announcer %d", s.auto_cue_announcer));
    case msg::kAutoCueCrm:
        if (!apply_action(s.auto_cue_crm, a[0]))
            return rejected(format("unknown action %d", a[0]));
        return accepted({}, format("auto cue CRM %d", s.auto_cue_crm));
    case msg::kRemoteNonStop:
        if (!apply_action(s.non_stop, a[0]))
            return rejected(format("unknown action %d", a[0]));
        return accepted({msg::kNonStop}, format("non-stop now %d", s.non_stop));
    case msg::kComm: return triple_action(s.comm, a[0], a[1], msg::kComm);
    case msg::kCough: return triple_action(s.cough, a[0], a[1], msg::kCough);
    case msg::kVoiceTrack: return module_action(s.voice_track, a[0], a[1], msg::kVoiceTrack);
    case msg::kConfigSave: ++s.saves; return accepted({}, "configuration saved");
    case msg::kAutoOn: return module_config(s.auto_on, a[0], a[1], msg::kAutoOn);
    case msg::kCueReset: return module_config(s.cue_reset, a[0], a[1], msg::kCueReset);
    case msg::kOnAirConfig: return module_config(s.on_air_flags, a[0], a[1], msg::kOnAirConfig);
    case msg::kCrmMuteConfig: return triple_config(s.crm_mute_config, a[0], a[1], msg::kCrmMuteConfig);
    case msg::kCrmAutoCueReset: return triple_config(s.crm_auto_cue_reset, a[0], a[1], msg::kCrmAutoCueReset);
    case msg::kStudioRemote: return triple_config(s.studio_remote, a[0], a[1], msg::kStudioRemote);
    case msg::kCueInterlock: s.cue_interlock = a[0]; return accepted({msg::kCueInterlock});
    case msg::kGpo:
        if (a[0] >= s.gpo.size())
            return rejected(format("gpo %d out of range", a[0]));
        s.gpo[a[0]] = GpoConfig{a[1], a[2], a[3], a[4]};
        return accepted({msg::kGpo});
    case msg::kCueConfig:
        if (a[0] >= s.cue.size())
            return rejected(format("cue %d out of range", a[0]));
        if (a[1] > 3 || a[2] > 3)
            return rejected("colour code above 3");
        s.cue_colours[2 * a[0]] = a[1];
        s.cue_colours[2 * a[0] + 1] = a[2];
        return accepted({msg::kCueConfig});
    case msg::kOnConfig:
        if (a[0] >= kModules)
            return rejected(format("module %d out of range", a[0]));
        if (a[1] > 3 || a[2] > 3 || a[3] > 3)
            return rejected("colour code above 3");
        s.lamps[a[0]] = LampColours{a[1], a[2], a[3]};
        return accepted({msg::kOnConfig});
    case msg::kFaderReserve: return module_config(s.fader_reserve, a[0], a[1], msg::kFaderReserve);
    case msg::kSilenceDetection:
        s.silence_config = SilenceConfig{static_cast<int8_t>(a[0]), a[1], a[2], a[3], a[4]};
        return accepted({msg::kSilenceDetection});
    case msg::kPhantom: return triple_config(s.phantom, a[0], a[1], msg::kPhantom);
    case msg::kMicAtLine: return triple_config(s.mic_at_line, a[0], a[1], msg::kMicAtLine);
    case msg::kAutoOff: return module_config(s.auto_off, a[0], a[1], msg::kAutoOff);
    case msg::kTrackState: return module_config(s.track_state, a[0], a[1], msg::kTrackState);
    case msg::kLockedOn: return module_config(s.locked_on, a[0], a[1], msg::kLockedOn);
    case msg::kPgmAutoOff: return module_config(s.pgm_auto_off, a[0], a[1], msg::kPgmAutoOff);
    case msg::kMicOnTrigger: s.mic_on_trigger = a[0]; return accepted({msg::kMicOnTrigger});
    default: return rejected(format("no command %d", number));
    }
}

}  // namespace ksim
