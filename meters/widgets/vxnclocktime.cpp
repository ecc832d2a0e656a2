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
    const QTime t = m_dateTime.time();

    // The first reading is taken whole: the stored 0:00:00 must not make a
    // clock started in minute 0 keep hour 0 until the next minute, nor one
    // started in second 0 wait a second before it shows.
    if (!m_taken) {
        m_taken = true;
        m_hour = t.hour();
        m_minute = t.minute();
        m_second = t.second();
        return NewSecond;
    }
    if (t.second() == m_second)
        return NewReading;
    m_second = t.second();
    // The hour is only looked at when the minute turned over.
    if (t.minute() != m_minute) {
        m_minute = t.minute();
        m_hour = t.hour();
    }
    return NewSecond;
}
