// The simulator's socket loop: one UDP socket, a self-pipe for signals,
// and poll() with the simulation's next deadline as time-out.
#ifndef SIM_SIM_LOOP_H
#define SIM_SIM_LOOP_H

#include "options.h"

namespace ksim {

// Exit codes of korvane-sim.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  // socket could not be set up
constexpr int kExitUsage = 2;    // bad command-line value

int run_simulator(const Options &options);

}  // namespace ksim

#endif  // SIM_SIM_LOOP_H
