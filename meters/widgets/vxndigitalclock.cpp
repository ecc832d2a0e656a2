#include "vxndigitalclock.h"

#include "vxntimesource.h"

#include <QPainter>
#include <QRect>
#include <QTimer>

namespace {

template <typename T>
bool storeIfChanged(T &member, const T &value)
{
    if (!(member != value))
        return false;
    member = value;
    return true;
}

} // namespace

VXNDigitalClock::VXNDigitalClock(QWidget *parent)
    : QWidget(parent, Qt::WindowFlags())
    , m_TimeDisplay(true)
    , m_DateDisplay(true)
    , m_hour(0)
    , m_minute(0)
    , m_second(0)
    , m_timer(nullptr)
    , m_timeTaken(false)
{
    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, &VXNDigitalClock::checkTime);
    m_timer->start(100);
    setWindowTitle(tr("Digital Clock"));
    resize(100, 30);
}

VXNDigitalClock::~VXNDigitalClock() = default;

void VXNDigitalClock::checkTime()
{
    // Time and date from one reading, so the two lines agree at midnight.
    const QDateTime now = vxnCurrentDateTime();
    const QTime t = now.time();
    m_timeText = t.toString(QStringLiteral("hh:mm:ss"));
    // Day and month names come out in the system locale.
    m_dateText = now.date().toString(QStringLiteral("ddd d MMM yyyy"));

    // The first reading always repaints, so the texts show at once even when
    // it falls on second 0 (the stored second starts at 0).
    if (!m_timeTaken) {
        m_timeTaken = true;
        m_hour = t.hour();
        m_minute = t.minute();
        m_second = t.second();
        update();
        return;
    }
    if (t.second() == m_second)
        return;
    m_second = t.second();
    if (t.minute() != m_minute) {
        m_minute = t.minute();
        if (t.hour() != m_hour)
            m_hour = t.hour();
    }
    update();
}

void VXNDigitalClock::paintEvent(QPaintEvent *)
{
    const int w = width();
    const int half = height() / 2;

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setBrush(Qt::NoBrush);

    int y = 0;
    if (m_TimeDisplay) {
        painter.setPen(m_TimeDisplayFontColor);
        painter.setFont(m_TimeDisplayFont);
        painter.drawText(QRect(0, 0, w, half), Qt::AlignCenter, m_timeText);
        y = painter.fontMetrics().height();
    }
    // The date band starts one time-line height down, not at the middle.
    if (m_DateDisplay) {
        painter.setPen(m_DateDisplayFontColor);
        painter.setFont(m_DateDisplayFont);
        painter.drawText(QRect(0, y, w, half), Qt::AlignCenter, m_dateText);
    }
}

void VXNDigitalClock::setTimeDisplay(bool value)
{
    if (storeIfChanged(m_TimeDisplay, value))
        update();
}

void VXNDigitalClock::setTimeDisplayFont(const QFont &value)
{
    if (storeIfChanged(m_TimeDisplayFont, value))
        update();
}

void VXNDigitalClock::setTimeDisplayFontColor(const QColor &value)
{
    if (storeIfChanged(m_TimeDisplayFontColor, value))
        update();
}

void VXNDigitalClock::setDateDisplay(bool value)
{
    if (storeIfChanged(m_DateDisplay, value))
        update();
}

void VXNDigitalClock::setDateDisplayFont(const QFont &value)
{
    if (storeIfChanged(m_DateDisplayFont, value))
        update();
}

void VXNDigitalClock::setDateDisplayFontColor(const QColor &value)
{
    if (storeIfChanged(m_DateDisplayFontColor, value))
        update();
}
