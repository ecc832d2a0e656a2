#ifndef VXNTIMESOURCE_H
#define VXNTIMESOURCE_H

#include <QDateTime>

// Where the clock widgets take the time from: the system clock unless a
// replacement is set (tests show chosen moments this way). A free hook, so
// the clock classes need no virtual function of their own for it.
typedef QDateTime (*VXNTimeSource)();

// nullptr goes back to the system clock. GUI thread only, like the clocks.
void setVXNTimeSource(VXNTimeSource source);
QDateTime vxnCurrentDateTime();

#endif // VXNTIMESOURCE_H
