#include "scenario.h"

#include "messages.h"

#include <cmath>

namespace ksim {

namespace {

// Whether a repeating window [first + k*cycle, first + k*cycle + length) holds t.
bool in_window(double t, double first, double cycle, double length)
{
    if (t < first)
        return false;
    return std::fmod(t - first, cycle) < length;
}

// Whether a repeating instant first + k*cycle lies in (from, to].
bool crosses(double from, double to, double first, double cycle)
{
    if (to < first)
        return false;
    const double k_to = std::floor((to - first) / cycle);
    if (from < first)
        return true;
    return std::floor((from - first) / cycle) != k_to;
}

}  // namespace

bool parse_scenario(const std::string &name, ScenarioKind &kind)
{
    if (name == "studio")
        kind = ScenarioKind::Studio;
    else if (name == "no-meters")
        kind = ScenarioKind::NoMeters;
    else if (name == "dropouts")
        kind = ScenarioKind::Dropouts;
    else
        return false;
    return true;
}

const char *scenario_name(ScenarioKind kind)
{
    switch (kind) {
    case ScenarioKind::Studio: return "studio";
    case ScenarioKind::NoMeters: return "no-meters";
    case ScenarioKind::Dropouts: return "dropouts";
    }
    return "?";
}

bool Scenario::link_down(double t) const
{
    using S = StudioScript;
    return kind_ == ScenarioKind::Dropouts && in_window(t, S::kDropoutFirst, S::kDropoutCycle, S::kDropoutFor);
}

void Scenario::step(double t, MixerState &s, MeterMotion &motion, std::vector<uint8_t> &events,
                    std::vector<std::string> &notes)
{
    using S = StudioScript;
    const double prev = last_t_;
    last_t_ = t;
    if (prev < 0.0 || t <= prev)
        return;

    // Only the edges of each window act, so a client's commands in between
    // stay in force until the script's next move.
    auto edge = [&](double first, double cycle, double length) {
        const bool now = in_window(t, first, cycle, length);
        return now != in_window(prev, first, cycle, length) ? (now ? 1 : -1) : 0;
    };

    if (int e = edge(S::kMicFirstOn, S::kMicCycle, S::kMicOnFor)) {
        const bool on = e > 0;
        set_module_on(s, 0, on, events);
        set_fader_open(s, 0, on, events);
        notes.push_back(on ? "presenter microphone (module 0) opens" : "presenter microphone (module 0) closes");
    }
    if (int e = edge(S::kJingleFirst, S::kJingleCycle, S::kJingleFor)) {
        const bool on = e > 0;
        set_module_on(s, 3, on, events);
        set_fader_open(s, 3, on, events);
        notes.push_back(on ? "jingle on module 3" : "jingle ends");
    }
    if (int e = edge(S::kPhoneFirst, S::kPhoneCycle, S::kPhoneFor)) {
        s.phone = e > 0 ? 1 : 0;
        events.push_back(msg::kPhone);
        notes.push_back(s.phone ? "phone rings" : "phone stops ringing");
    }
    if (int e = edge(S::kOnAir2From, S::kOnAir2Cycle, S::kOnAir2To - S::kOnAir2From)) {
        s.on_air2 = e > 0 ? 1 : 0;
        events.push_back(msg::kOnAir);
        notes.push_back(s.on_air2 ? "on air 2 on" : "on air 2 off");
    }
    if (crosses(prev, t, S::kDeadAirFirst, S::kDeadAirCycle)) {
        motion.hold_silence(S::kDeadAirFor);
        notes.push_back("programme pauses (dead air)");
    }
}

void SilenceDetector::feed(double dt, double level_db, MixerState &s, std::vector<uint8_t> &events)
{
    const SilenceConfig &c = s.silence_config;
    const bool enabled = (c.config & 1) != 0;
    if (enabled && level_db < c.threshold)
        quiet_for_ += dt;
    else
        quiet_for_ = 0.0;
    const double limit = static_cast<double>(c.interval) * (c.interval_unit == 1 ? 60.0 : 1.0);
    const uint8_t silent = enabled && quiet_for_ >= limit && limit > 0.0 ? 1 : 0;
    if (silent != s.silence) {
        s.silence = silent;
        events.push_back(msg::kSilence);
    }
}

}  // namespace ksim
