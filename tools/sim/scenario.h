// What happens in the simulated studio over time, independent of clients.
#ifndef SIM_SCENARIO_H
#define SIM_SCENARIO_H

#include "meter_motion.h"
#include "mixer_state.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ksim {

enum class ScenarioKind {
    Studio,    // a lively studio with meters
    NoMeters,  // the same studio, answering but never sending meters
    Dropouts,  // the studio, with the link going silent every so often
};

// Parses "studio", "no-meters" or "dropouts".
bool parse_scenario(const std::string &name, ScenarioKind &kind);
const char *scenario_name(ScenarioKind kind);

// Timings of the scripted studio, in seconds from the start.
struct StudioScript {
    // Presenter's microphone (module 0) on, then off, once per cycle.
    static constexpr double kMicFirstOn = 4.0;
    static constexpr double kMicCycle = 45.0;
    static constexpr double kMicOnFor = 18.0;
    // A jingle on module 3.
    static constexpr double kJingleFirst = 12.0;
    static constexpr double kJingleCycle = 30.0;
    static constexpr double kJingleFor = 5.0;
    // The phone rings now and then.
    static constexpr double kPhoneFirst = 30.0;
    static constexpr double kPhoneCycle = 70.0;
    static constexpr double kPhoneFor = 6.0;
    // On air 2 for a while in every cycle.
    static constexpr double kOnAir2From = 60.0;
    static constexpr double kOnAir2To = 90.0;
    static constexpr double kOnAir2Cycle = 120.0;
    // Dead air long enough to raise the silence alarm.
    static constexpr double kDeadAirFirst = 50.0;
    static constexpr double kDeadAirCycle = 75.0;
    static constexpr double kDeadAirFor = 9.0;
    // Dropouts: the link goes silent for a while in every cycle.
    static constexpr double kDropoutFirst = 8.0;
    static constexpr double kDropoutCycle = 14.0;
    static constexpr double kDropoutFor = 4.5;
};

class Scenario
{
public:
    explicit Scenario(ScenarioKind kind)
        : kind_(kind)
    {}

    ScenarioKind kind() const { return kind_; }
    bool sends_meters() const { return kind_ != ScenarioKind::NoMeters; }

    // True while the link is down: nothing is answered and nothing is sent.
    bool link_down(double t) const;

    // Applies what the script does between the previous step and `t`,
    // appending the message numbers whose events must go out.
    void step(double t, MixerState &state, MeterMotion &motion, std::vector<uint8_t> &events,
              std::vector<std::string> &notes);

private:
    ScenarioKind kind_;
    double last_t_ = -1.0;
};

// Silence detection on the programme (or control-room) level fed at the
// meter rate; raises and clears the mixer's silence signal.
class SilenceDetector
{
public:
    void feed(double dt, double level_db, MixerState &state, std::vector<uint8_t> &events);

private:
    double quiet_for_ = 0.0;
};

}  // namespace ksim

#endif  // SIM_SCENARIO_H
