#include "vxntimesource.h"

namespace {
VXNTimeSource timeSource = nullptr;
}

void setVXNTimeSource(VXNTimeSource source)
{
    timeSource = source;
}

VXNTimeReading::VXNTimeReading()
    : m_replaced(timeSource != nullptr)
{
    if (m_replaced) {
        m_given = timeSource();
        m_msecs = m_given.toMSecsSinceEpoch();
    } else {
        m_msecs = QDateTime::currentMSecsSinceEpoch();
    }
}

qint64 VXNTimeReading::wholeSecond() const
{
    // Rounded down also before 1970, so every second has one number.
    return m_msecs / 1000 - (m_msecs % 1000 < 0 ? 1 : 0);
}

QDateTime VXNTimeReading::dateTime() const
{
    return m_replaced ? m_given : QDateTime::fromMSecsSinceEpoch(m_msecs);
}
