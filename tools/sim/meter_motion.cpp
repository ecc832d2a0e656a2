#include "meter_motion.h"

#include <algorithm>
#include <cmath>

namespace ksim {

namespace {

constexpr double kOnsetsPerSecond = 5.0;  // syllables / beats
constexpr double kReleaseSeconds = 0.15;  // fall between onsets
constexpr double kPauseReleaseSeconds = 0.05;

// Moves `value` toward `target` with time constant `tau` over `dt`.
double approach(double value, double target, double dt, double tau)
{
    return target + (value - target) * std::exp(-dt / tau);
}

}  // namespace

MeterMotion::MeterMotion(uint32_t seed)
    : rng_(seed)
{
    phase_left_ = uniform(2.0, 6.0);
}

double MeterMotion::uniform(double lo, double hi)
{
    return std::uniform_real_distribution<double>(lo, hi)(rng_);
}

void MeterMotion::hold_silence(double seconds)
{
    silence_left_ = std::max(silence_left_, seconds);
}

std::array<double, 6> MeterMotion::step(double dt, bool crm_muted)
{
    if (!(dt > 0.0))
        dt = 0.0;
    const bool dead_air = silence_left_ > 0.0;
    if (dead_air)
        silence_left_ -= dt;

    phase_left_ -= dt;
    if (phase_left_ <= 0.0) {
        talking_ = !talking_;
        phase_left_ = talking_ ? uniform(2.0, 8.0) : uniform(0.15, 0.9);
        body_db_ = uniform(-22.0, -12.0);
    }

    if (dead_air || !talking_) {
        envelope_db_ = approach(envelope_db_, -60.0, dt, kPauseReleaseSeconds);
    } else {
        const double onset_probability = 1.0 - std::exp(-kOnsetsPerSecond * dt);
        if (uniform(0.0, 1.0) < onset_probability) {
            // Mostly just under full scale, now and then a quieter word or
            // a small over.
            const double u = uniform(0.0, 1.0);
            double peak = -0.5 - 9.0 * u * u;
            if (uniform(0.0, 1.0) < 0.05)
                peak = uniform(0.5, 3.0);
            // A PPM rises almost at once.
            envelope_db_ = std::max(envelope_db_, peak);
        }
        envelope_db_ = approach(envelope_db_, body_db_, dt, kReleaseSeconds);
    }
    balance_db_ = approach(balance_db_, uniform(-2.5, 2.5), dt, 1.0);

    const double jitter_l = uniform(-0.6, 0.6);
    const double jitter_r = uniform(-0.6, 0.6);
    const double left = std::max(kFloorDb, envelope_db_ + jitter_l - std::max(0.0, balance_db_));
    const double right = std::max(kFloorDb, envelope_db_ + jitter_r + std::min(0.0, balance_db_));
    programme_db_ = std::max(left, right);

    auto below = [](double level, double by) { return std::max(kFloorDb, level - by); };
    std::array<double, 6> out{};
    out[0] = left;
    out[1] = right;
    out[2] = below(left, 6.0);
    out[3] = below(right, 6.0);
    out[4] = crm_muted ? kFloorDb : below(left, 2.0);
    out[5] = crm_muted ? kFloorDb : below(right, 2.0);
    return out;
}

}  // namespace ksim
