#include "vxndigitalclock.h"

#include <QPainter>
#include <QRect>
#include <QTimer>

VXNDigitalClock::VXNDigitalClock(QWidget *parent)
    : QWidget(parent, Qt::WindowFlags())
    , m_TimeDisplay(true)
    , m_DateDisplay(true)
    , m_timer(nullptr)
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
    const VXNClockTime::Poll poll = m_time.poll();
    if (poll == VXNClockTime::SameSecond)
        return;
    // Time and date from one reading, so the two lines agree at midnight.
    const QDateTime &now = m_time.dateTime();
    m_timeText = now.time().toString(QStringLiteral("hh:mm:ss"));
    // Day and month names come out in the system locale.
    m_dateText = now.date().toString(QStringLiteral("ddd d MMM yyyy"));
    // The first reading always repaints, so the texts show at once.
    if (poll == VXNClockTime::NewSecond)
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
