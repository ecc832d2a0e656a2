// Level motion that reads like programme audio on a PPM: syllables and beats
// that jump up fast and fall back slowly, peaks a little under 0 dB, short
// breaths between phrases and, when asked for, a long dead-air pause.
#ifndef SIM_METER_MOTION_H
#define SIM_METER_MOTION_H

#include <array>
#include <cstdint>
#include <random>

namespace ksim {

class MeterMotion
{
public:
    static constexpr double kFloorDb = -50.0;

    explicit MeterMotion(uint32_t seed);

    // Advances by dt seconds and returns the six meter levels in dB:
    // 0/1 programme left/right, 2/3 auxiliary, 4/5 control room left/right.
    std::array<double, 6> step(double dt, bool crm_muted);

    // No programme at all for the next `seconds` (dead air).
    void hold_silence(double seconds);

    // Programme level (louder of left and right) after the last step.
    double programme_db() const { return programme_db_; }

private:
    double uniform(double lo, double hi);

    std::mt19937 rng_;
    bool talking_ = true;
    double phase_left_ = 0.0;    // seconds left in the current phrase or pause
    double silence_left_ = 0.0;  // seconds left of dead air
    double envelope_db_ = kFloorDb;
    double body_db_ = -18.0;   // level between peaks in this phrase
    double balance_db_ = 0.0;  // slow left/right difference
    double programme_db_ = kFloorDb;
};

}  // namespace ksim

#endif  // SIM_METER_MOTION_H
