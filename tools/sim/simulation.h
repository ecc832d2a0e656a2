// The simulated mixer without sockets or clocks: fed with received
// datagrams and the current time, it yields the datagrams to send.
#ifndef SIM_SIMULATION_H
#define SIM_SIMULATION_H

#include "meter_motion.h"
#include "mixer_state.h"
#include "protocol.h"
#include "scenario.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ksim {

struct Output {
    std::vector<Datagram> datagrams;
    std::vector<std::string> notes;  // what happened, for the verbose log
};

class Simulation
{
public:
    static constexpr double kScriptStep = 0.1;  // seconds between scenario steps
    static constexpr double kMaxCatchUp = 0.2;  // seconds of meter events sent late, at most

    Simulation(ScenarioKind kind, double meter_rate_hz, uint32_t seed, MixerState initial = default_studio_state());

    // Handles one datagram received at `now` (seconds since start).
    // Returns the decoded datagram; answers go to `out`.
    Incoming receive(const uint8_t *data, std::size_t size, double now, Output &out);

    // Runs the scenario and the meters up to `now`.
    void advance(double now, Output &out);

    // The next time advance() has something to do.
    double next_deadline() const;

    bool link_down(double now) const { return scenario_.link_down(now); }
    const MixerState &state() const { return state_; }
    uint64_t meters_sent() const { return meters_sent_; }

private:
    void send_events(const std::vector<uint8_t> &numbers, Output &out);

    Scenario scenario_;
    MixerState state_;
    MeterMotion motion_;
    SilenceDetector silence_;
    double meter_period_;
    double next_meter_;
    double next_script_;
    bool was_down_ = false;
    uint64_t meters_sent_ = 0;
};

}  // namespace ksim

#endif  // SIM_SIMULATION_H
