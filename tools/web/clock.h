// The studio clock the pages show: this machine's wall clock, and whether
// the kernel's clock discipline says it is synchronised (the same check the
// display makes; read-only, no privilege needed).
#ifndef WEB_CLOCK_H
#define WEB_CLOCK_H

#include <cstdint>

namespace kweb {

int64_t wall_ms();
bool clock_synchronised();

}  // namespace kweb

#endif  // WEB_CLOCK_H
