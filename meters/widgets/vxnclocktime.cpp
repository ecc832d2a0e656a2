#include "vxnclocktime.h"

#include "vxntimesource.h"

VXNClockTime::Poll VXNClockTime::poll()
{
    const VXNTimeReading reading;
    const qint64 wholeSecond = reading.wholeSecond();
    // Zone offsets are whole seconds, so the local second cannot have
    // changed either (a change of zone shows with the next second).
    if (m_taken && wholeSecond == m_wholeSecond)
        return SameSecond;
    m_wholeSecond = wholeSecond;
    m_dateTime = reading.dateTime();
    m_taken = true;
    // Hour, minute and second are all taken anew: a clock stepped by whole
    // hours or minutes (an NTP correction, a manual set) must show the new
    // time at once, not when the minute next turns.
    const QTime t = m_dateTime.time();
    m_hour = t.hour();
    m_minute = t.minute();
    m_second = t.second();
    return NewSecond;
}
