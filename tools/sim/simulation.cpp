#include "simulation.h"

#include <algorithm>
#include <cstdio>

namespace ksim {

Simulation::Simulation(ScenarioKind kind, double meter_rate_hz, uint32_t seed, MixerState initial)
    : scenario_(kind)
    , state_(initial)
    , motion_(seed)
    , meter_period_(1.0 / meter_rate_hz)
    , next_meter_(0.0)
    , next_script_(0.0)
{}

void Simulation::send_events(const std::vector<uint8_t> &numbers, Output &out)
{
    for (uint8_t number : numbers) {
        Datagram dg;
        if (encode_state(state_, number, Kind::Event, dg))
            out.datagrams.push_back(dg);
    }
}

Incoming Simulation::receive(const uint8_t *data, std::size_t size, double now, Output &out)
{
    const Incoming in = decode_datagram(data, size);
    if (link_down(now)) {
        out.notes.push_back("link down: dropped");
        return in;
    }
    switch (in.type) {
    case Incoming::Type::Request: {
        Datagram dg;
        if (encode_state(state_, in.number, Kind::Reply, dg)) {
            out.datagrams.push_back(dg);
        } else {
            char text[64];
            std::snprintf(text, sizeof text, "no reply %u: not answered", in.number);
            out.notes.push_back(text);
        }
        break;
    }
    case Incoming::Type::Command: {
        const CommandResult result = apply_command(state_, in.number, in.args);
        if (!result.note.empty())
            out.notes.push_back(result.note);
        send_events(result.events, out);
        break;
    }
    case Incoming::Type::KeepAlive:
    case Incoming::Type::Foreign:
    case Incoming::Type::Invalid: break;
    }
    return in;
}

void Simulation::advance(double now, Output &out)
{
    std::vector<uint8_t> events;
    while (next_script_ <= now) {
        scenario_.step(next_script_, state_, motion_, events, out.notes);
        next_script_ += kScriptStep;
    }
    // A loop woken a little late catches up, so the average rate holds on
    // a busy machine; after a real stall it carries on without a burst.
    if (now - next_meter_ > kMaxCatchUp)
        next_meter_ = now;
    while (next_meter_ <= now) {
        const auto levels = motion_.step(meter_period_, state_.crm_mute != 0);
        const double watched =
            state_.silence_config.source == 1 ? std::max(levels[4], levels[5]) : std::max(levels[0], levels[1]);
        silence_.feed(meter_period_, watched, state_, events);
        const bool down = link_down(now);
        if (scenario_.sends_meters() && !down) {
            out.datagrams.push_back(encode_meters(levels));
            ++meters_sent_;
        }
        if (down != was_down_) {
            out.notes.push_back(down ? "link goes silent" : "link is back");
            was_down_ = down;
        }
        next_meter_ += meter_period_;
    }
    if (!link_down(now))
        send_events(events, out);
}

double Simulation::next_deadline() const
{
    return std::min(next_meter_, next_script_);
}

}  // namespace ksim
