#include "clocksync.h"

#ifdef __linux__
#    include <sys/timex.h>
#endif

namespace {
ClockSyncProbe clockSyncProbe = nullptr;
}

bool kernelClockSynchronised()
{
#ifdef __linux__
    struct timex reading = {};  // modes 0: read only, no privilege needed
    const int state = ntp_adjtime(&reading);
    return state != -1 && state != TIME_ERROR && !(reading.status & STA_UNSYNC);
#else
    return true;  // no kernel discipline to ask
#endif
}

void setClockSyncProbe(ClockSyncProbe probe)
{
    clockSyncProbe = probe;
}

bool clockSynchronised()
{
    return clockSyncProbe ? clockSyncProbe() : kernelClockSynchronised();
}
