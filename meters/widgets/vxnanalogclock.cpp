#include "vxnanalogclock.h"

#include "vxntimesource.h"

#include <QPainter>
#include <QPen>
#include <QPoint>
#include <QRect>
#include <QTimer>

#include <climits>
#include <cmath>

namespace {

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

QPen solidPen(const QColor &color, int width)
{
    return QPen(QBrush(color), width, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
}

// A pointer: a triangle whose tip lies `border` units inside the rim and
// whose base, `width` wide, lies `length` units further in.
void drawPointer(QPainter &painter, int border, int length, int width)
{
    const int h = static_cast<int>(width * 0.5 + 0.5);
    const int tip = border - 100;
    const int base = length + border - 100;
    const QPoint triangle[3] = { QPoint(h, base), QPoint(-h, base), QPoint(0, tip) };
    painter.drawConvexPolygon(triangle, 3);
}

} // namespace

VXNAnalogClock::VXNAnalogClock(QWidget *parent)
    : QWidget(parent, Qt::WindowFlags())
    , m_HourLines(false)
    , m_HourLinesLength(8)
    , m_HourLinesWidth(2)
    , m_HourLinesColor(0, 0, 0, 255)
    , m_MinuteLines(false)
    , m_MinuteLinesLength(4)
    , m_MinuteLinesWidth(1)
    , m_MinuteLinesColor(61, 61, 61, 191)
    , m_SecondDots(true)
    , m_SecondDotsCountDown(false)
    , m_DotSize(1)
    , m_DotColor(0, 0, 0, 255)
    , m_Hands(true)
    , m_HourHandColor(0, 0, 0, 255)
    , m_HourHandBorder(12)
    , m_HourHandLength(12)
    , m_HourHandWidth(12)
    , m_MinuteHandColor(61, 61, 61, 191)
    , m_MinuteHandBorder(4)
    , m_MinuteHandLength(8)
    , m_MinuteHandWidth(8)
    , m_hour(0)
    , m_minute(0)
    , m_second(0)
    , m_EndTime(false)
    , m_EndTimeLength(8)
    , m_EndTimeWidth(2)
    , m_EndTimeHour(0)
    , m_EndTimeMinute(0)
    , m_EndTimeSecond(0)
    , m_EndTimeColor(255, 0, 0, 255)
    , m_CountDownTime(0.0f)
    , m_CountDownWidth(2)
    , m_CountDownSpacing(1)
    , m_CountDownColor(255, 0, 255, 255)
    , m_timer(nullptr)
    , m_timeTaken(false)
{
    setWindowTitle(tr("Analog Clock"));
    resize(200, 200);
    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, &VXNAnalogClock::checkTime);
    m_timer->start(100);
}

VXNAnalogClock::~VXNAnalogClock() = default;

void VXNAnalogClock::checkTime()
{
    const QTime t = vxnCurrentDateTime().time();
    // The first reading is taken whole: the stored 0:00:00 must not make a
    // clock started in minute 0 keep hour 0 until the next minute.
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
    // The hour is only looked at when the minute turned over.
    if (t.minute() != m_minute) {
        m_minute = t.minute();
        if (t.hour() != m_hour)
            m_hour = t.hour();
    }
    update();
}

void VXNAnalogClock::paintEvent(QPaintEvent *)
{
    const int w = width();
    const int h = height();
    const int side = qMin(w, h);

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.translate(w / 2, h / 2);
    painter.scale(side / 200.0, side / 200.0);

    // Tick lines; with the square cap each starts at radius 96 and reaches
    // inward by its length plus its width.
    for (int i = 0; i < 60; ++i) {
        if (i % 5 == 0) {
            if (m_HourLines) {
                const int half = m_HourLinesWidth / 2;
                painter.setPen(solidPen(m_HourLinesColor, m_HourLinesWidth));
                painter.drawLine(QPoint(0, m_HourLinesLength + half - 96), QPoint(0, half - 96));
            }
        } else if (m_MinuteLines) {
            const int half = m_MinuteLinesWidth / 2;
            painter.setPen(solidPen(m_MinuteLinesColor, m_MinuteLinesWidth));
            painter.drawLine(QPoint(0, m_MinuteLinesLength + half - 96), QPoint(0, half - 96));
        }
        painter.rotate(6.0);
    }

    if (m_EndTime) {
        const int now = m_minute * 60 + m_second;
        const int end = m_EndTimeMinute * 60 + m_EndTimeSecond;
        int remaining;
        bool show = true;
        if (m_EndTimeHour <= 23) {
            remaining = (end + m_EndTimeHour * 3600) - (now + m_hour * 3600);
            if (remaining < -86384)
                remaining += 86400;
            // Once the end time has passed the mark goes away until tomorrow.
            if (remaining < 0)
                show = false;
        } else {
            // Recurs every hour; the mark always shows.
            remaining = end - now;
            if (remaining < -3584)
                remaining += 3600;
        }
        if (show) {
            const int e = m_EndTimeWidth / 2;
            painter.save();
            painter.rotate((m_EndTimeSecond / 60.0 + m_EndTimeMinute) * 6.0);
            painter.setPen(solidPen(m_EndTimeColor, m_EndTimeWidth));
            painter.drawLine(QPoint(0, e - 100), QPoint(0, m_EndTimeLength - 100));
            if (remaining >= 1 && remaining <= 15) {
                const int side = 200 - 2 * m_EndTimeWidth;
                // From the mark counter-clockwise, 6 degrees per second left.
                painter.drawArc(QRect(e - 100, e - 100, side, side), 1440, remaining * 96);
            }
            painter.restore();
        }
    }

    if (m_CountDownTime != 0.0f) {
        // 60 units make a full circle; positive runs counter-clockwise from 12.
        const float span = m_CountDownTime * 360 * 16 / 60;
        if (std::isfinite(span)) {
            const int spanAngle = span >= static_cast<float>(INT_MAX) ? INT_MAX
                                : span <= static_cast<float>(INT_MIN) ? INT_MIN
                                : static_cast<int>(span);
            const int r = 96 - m_HourLinesLength - m_CountDownSpacing;
            painter.setPen(solidPen(m_CountDownColor, m_CountDownWidth));
            painter.drawArc(QRect(-r, -r, 2 * r, 2 * r), 1440, spanAngle);
        }
    }

    if (m_Hands) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QBrush(m_HourHandColor));
        painter.save();
        painter.rotate((m_minute / 60.0 + m_hour) * 30.0);
        drawPointer(painter, m_HourHandBorder, m_HourHandLength, m_HourHandWidth);
        painter.restore();

        painter.setBrush(QBrush(m_MinuteHandColor));
        painter.save();
        painter.rotate((m_second / 60.0 + m_minute) * 6.0);
        drawPointer(painter, m_MinuteHandBorder, m_MinuteHandLength, m_MinuteHandWidth);
        painter.restore();
    }

    const int d = static_cast<int>(m_DotSize * 0.5 + 0.5);
    const QRect dot(QPoint(-d, m_DotSize - 100), QPoint(m_DotSize - d - 1, 2 * m_DotSize - 101));
    for (int i = 0; i < 60; ++i) {
        if (m_SecondDots) {
            painter.setPen(QPen(m_DotColor));
            painter.setBrush(QBrush(m_DotColor));
            const bool lit = m_SecondDotsCountDown ? i >= m_second : i <= m_second;
            if (lit)
                painter.drawEllipse(dot);
        }
        painter.rotate(6.0);
    }
}

void VXNAnalogClock::setHourLines(bool value)
{
    if (storeIfChanged(m_HourLines, value))
        update();
}

void VXNAnalogClock::setHourLinesLength(int value)
{
    if (storeIfChanged(m_HourLinesLength, value))
        update();
}

void VXNAnalogClock::setHourLinesWidth(int value)
{
    if (storeIfChanged(m_HourLinesWidth, value))
        update();
}

void VXNAnalogClock::setHourLinesColor(const QColor &value)
{
    if (storeIfChanged(m_HourLinesColor, value))
        update();
}

void VXNAnalogClock::setMinuteLines(bool value)
{
    if (storeIfChanged(m_MinuteLines, value))
        update();
}

void VXNAnalogClock::setMinuteLinesLength(int value)
{
    if (storeIfChanged(m_MinuteLinesLength, value))
        update();
}

void VXNAnalogClock::setMinuteLinesWidth(int value)
{
    if (storeIfChanged(m_MinuteLinesWidth, value))
        update();
}

void VXNAnalogClock::setMinuteLinesColor(const QColor &value)
{
    if (storeIfChanged(m_MinuteLinesColor, value))
        update();
}

void VXNAnalogClock::setSecondDots(bool value)
{
    if (storeIfChanged(m_SecondDots, value))
        update();
}

void VXNAnalogClock::setSecondDotsCountDown(bool value)
{
    if (storeIfChanged(m_SecondDotsCountDown, value))
        update();
}

void VXNAnalogClock::setDotSize(int value)
{
    if (storeIfChanged(m_DotSize, value))
        update();
}

void VXNAnalogClock::setDotColor(const QColor &value)
{
    if (storeIfChanged(m_DotColor, value))
        update();
}

void VXNAnalogClock::setHands(bool value)
{
    if (storeIfChanged(m_Hands, value))
        update();
}

void VXNAnalogClock::setHourHandColor(const QColor &value)
{
    if (storeIfChanged(m_HourHandColor, value))
        update();
}

void VXNAnalogClock::setHourHandBorder(int value)
{
    if (storeIfChanged(m_HourHandBorder, value))
        update();
}

void VXNAnalogClock::setHourHandLength(int value)
{
    if (storeIfChanged(m_HourHandLength, value))
        update();
}

void VXNAnalogClock::setHourHandWidth(int value)
{
    if (storeIfChanged(m_HourHandWidth, value))
        update();
}

void VXNAnalogClock::setMinuteHandColor(const QColor &value)
{
    if (storeIfChanged(m_MinuteHandColor, value))
        update();
}

void VXNAnalogClock::setMinuteHandBorder(int value)
{
    if (storeIfChanged(m_MinuteHandBorder, value))
        update();
}

void VXNAnalogClock::setMinuteHandLength(int value)
{
    if (storeIfChanged(m_MinuteHandLength, value))
        update();
}

void VXNAnalogClock::setMinuteHandWidth(int value)
{
    if (storeIfChanged(m_MinuteHandWidth, value))
        update();
}

void VXNAnalogClock::setEndTime(bool value)
{
    if (storeIfChanged(m_EndTime, value))
        update();
}

void VXNAnalogClock::setEndTimeLength(int value)
{
    if (storeIfChanged(m_EndTimeLength, value))
        update();
}

void VXNAnalogClock::setEndTimeWidth(int value)
{
    if (storeIfChanged(m_EndTimeWidth, value))
        update();
}

void VXNAnalogClock::setEndTimeHour(int value)
{
    if (storeIfChanged(m_EndTimeHour, value))
        update();
}

void VXNAnalogClock::setEndTimeMinute(int value)
{
    if (storeIfChanged(m_EndTimeMinute, value))
        update();
}

void VXNAnalogClock::setEndTimeSecond(int value)
{
    if (storeIfChanged(m_EndTimeSecond, value))
        update();
}

void VXNAnalogClock::setEndTimeColor(const QColor &value)
{
    if (storeIfChanged(m_EndTimeColor, value))
        update();
}

void VXNAnalogClock::setCountDownTime(float value)
{
    if (storeIfChanged(m_CountDownTime, value))
        update();
}

void VXNAnalogClock::setCountDownWidth(int value)
{
    if (storeIfChanged(m_CountDownWidth, value))
        update();
}

void VXNAnalogClock::setCountDownSpacing(int value)
{
    if (storeIfChanged(m_CountDownSpacing, value))
        update();
}

void VXNAnalogClock::setCountDownColor(const QColor &value)
{
    if (storeIfChanged(m_CountDownColor, value))
        update();
}
