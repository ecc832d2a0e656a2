#ifndef VXNCLOCKTIME_H
#define VXNCLOCKTIME_H

#include <QDateTime>

// What the two clock widgets share: their setters' rule and the time they
// show.

// Compare, then store: true when the value was new. A NaN float never
// compares equal, so it is always stored.
template <typename T>
bool storeIfChanged(T &member, const T &value)
{
    if (!(member != value))
        return false;
    member = value;
    return true;
}

// The time a clock shows, taken from the clocks' time source on each poll.
// A poll within the whole second seen last costs one read of the system
// clock; only a new second is turned into local time.
class VXNClockTime
{
public:
    enum Poll {
        SameSecond,  // the whole second seen last: nothing was taken
        NewSecond    // the first reading, or another second (also a step): repaint
    };
    Poll poll();

    int hour() const { return m_hour; }
    int minute() const { return m_minute; }
    int second() const { return m_second; }
    // The last reading whole, date included.
    const QDateTime &dateTime() const { return m_dateTime; }

private:
    QDateTime m_dateTime;
    qint64 m_wholeSecond = 0;
    int m_hour = 0;
    int m_minute = 0;
    int m_second = 0;
    bool m_taken = false;  // false until the first reading
};

#endif  // VXNCLOCKTIME_H
