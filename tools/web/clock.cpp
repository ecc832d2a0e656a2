#include "clock.h"

#include <chrono>

#include <sys/timex.h>

namespace kweb {

int64_t wall_ms()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

bool clock_synchronised()
{
    struct timex reading = {};  // modes 0: read only
    const int state = ntp_adjtime(&reading);
    return state != -1 && state != TIME_ERROR && !(reading.status & STA_UNSYNC);
}

}  // namespace kweb
