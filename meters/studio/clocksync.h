#ifndef CLOCKSYNC_H
#define CLOCKSYNC_H

// Whether the kernel's clock discipline says the system clock is
// synchronised. Read through the C library (no process, no bus), cheap
// enough to ask every few seconds.
typedef bool (*ClockSyncProbe)();

bool kernelClockSynchronised();

// The probe the window asks; nullptr goes back to the kernel's. For tests.
void setClockSyncProbe(ClockSyncProbe probe);
bool clockSynchronised();

#endif  // CLOCKSYNC_H
