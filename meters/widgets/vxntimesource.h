#ifndef VXNTIMESOURCE_H
#define VXNTIMESOURCE_H

#include <QDateTime>

// Where the clock widgets take the time from: the system clock unless a
// replacement is set (tests show chosen moments this way). A free hook, so
// the clock classes need no virtual function of their own for it.
typedef QDateTime (*VXNTimeSource)();

// nullptr goes back to the system clock. GUI thread only, like the clocks.
void setVXNTimeSource(VXNTimeSource source);

// One look at the time source. The system clock is read as milliseconds
// since the epoch, which needs no time-zone work; the local date and time
// (which does: the C library looks at the zone file) are worked out only
// when asked for.
class VXNTimeReading
{
public:
    VXNTimeReading();

    // Whole seconds since the epoch, rounded down.
    qint64 wholeSecond() const;
    // The reading as local date and time; a replacement's reading as it
    // gave it.
    QDateTime dateTime() const;

private:
    qint64 m_msecs;
    QDateTime m_given;
    bool m_replaced;
};

#endif  // VXNTIMESOURCE_H
