#include "vxnanalogclock.h"

#include <QPainter>
#include <QPen>
#include <QPoint>
#include <QRect>
#include <QTimer>

#include <climits>
#include <cmath>

namespace {

// The face is drawn on a dial of this radius whatever the widget's size.
const int dialRadius = 100;
// Where the tick lines start, their outer end before the square cap.
const int tickRadius = 96;

// Arc angles, in sixteenths of a degree counter-clockwise from 3 o'clock.
const int twelveOClock = 90 * 16;
const int oneSecondOfArc = 6 * 16;

QPen solidPen(const QColor &color, int width)
{
    return QPen(QBrush(color), width, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
}

// A pointer: a triangle whose tip lies `border` units inside the rim and
// whose base, `width` wide, lies `length` units further in.
void drawPointer(QPainter &painter, int border, int length, int width)
{
    const int h = static_cast<int>(width * 0.5 + 0.5);
    const int tip = border - dialRadius;
    const int base = length + border - dialRadius;
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
    if (m_time.poll() == VXNClockTime::NewSecond)
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
    painter.scale(side / (2.0 * dialRadius), side / (2.0 * dialRadius));

    drawTicks(painter);
    if (m_EndTime)
        drawEndTime(painter);
    if (m_CountDownTime != 0.0f)
        drawCountDown(painter);
    if (m_Hands)
        drawPointers(painter);
    if (m_SecondDots)
        drawSecondDots(painter);
}

// Hour and minute ticks; with the square cap each starts at tickRadius and
// reaches inward by its length plus its width. Leaves the painter turned
// once round.
void VXNAnalogClock::drawTicks(QPainter &painter) const
{
    for (int i = 0; i < 60; ++i) {
        if (i % 5 == 0) {
            if (m_HourLines) {
                const int half = m_HourLinesWidth / 2;
                painter.setPen(solidPen(m_HourLinesColor, m_HourLinesWidth));
                painter.drawLine(QPoint(0, m_HourLinesLength + half - tickRadius),
                                 QPoint(0, half - tickRadius));
            }
        } else if (m_MinuteLines) {
            const int half = m_MinuteLinesWidth / 2;
            painter.setPen(solidPen(m_MinuteLinesColor, m_MinuteLinesWidth));
            painter.drawLine(QPoint(0, m_MinuteLinesLength + half - tickRadius),
                             QPoint(0, half - tickRadius));
        }
        painter.rotate(6.0);
    }
}

// A mark on the rim at the end time, and in its last 15 seconds an arc from
// the mark counter-clockwise, one second of arc per second left.
void VXNAnalogClock::drawEndTime(QPainter &painter) const
{
    const int now = m_time.minute() * 60 + m_time.second();
    const int end = m_EndTimeMinute * 60 + m_EndTimeSecond;
    int remaining;
    if (m_EndTimeHour <= 23) {
        remaining = (end + m_EndTimeHour * 3600) - (now + m_time.hour() * 3600);
        if (remaining < -86384)
            remaining += 86400;
        // Once the end time has passed the mark goes away until tomorrow.
        if (remaining < 0)
            return;
    } else {
        // Recurs every hour; the mark always shows.
        remaining = end - now;
        if (remaining < -3584)
            remaining += 3600;
    }

    const int e = m_EndTimeWidth / 2;
    painter.save();
    painter.rotate((m_EndTimeSecond / 60.0 + m_EndTimeMinute) * 6.0);
    painter.setPen(solidPen(m_EndTimeColor, m_EndTimeWidth));
    painter.drawLine(QPoint(0, e - dialRadius), QPoint(0, m_EndTimeLength - dialRadius));
    if (remaining >= 1 && remaining <= 15) {
        const int side = 2 * dialRadius - 2 * m_EndTimeWidth;
        painter.drawArc(QRect(e - dialRadius, e - dialRadius, side, side), twelveOClock,
                        remaining * oneSecondOfArc);
    }
    painter.restore();
}

// An arc just inside the hour ticks: 60 units make a full circle, positive
// runs counter-clockwise from 12.
void VXNAnalogClock::drawCountDown(QPainter &painter) const
{
    const float span = m_CountDownTime * 360 * 16 / 60;
    if (!std::isfinite(span))
        return;
    const int spanAngle = span >= static_cast<float>(INT_MAX) ? INT_MAX
                        : span <= static_cast<float>(INT_MIN) ? INT_MIN
                        : static_cast<int>(span);
    const int r = tickRadius - m_HourLinesLength - m_CountDownSpacing;
    painter.setPen(solidPen(m_CountDownColor, m_CountDownWidth));
    painter.drawArc(QRect(-r, -r, 2 * r, 2 * r), twelveOClock, spanAngle);
}

void VXNAnalogClock::drawPointers(QPainter &painter) const
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(QBrush(m_HourHandColor));
    painter.save();
    painter.rotate((m_time.minute() / 60.0 + m_time.hour()) * 30.0);
    drawPointer(painter, m_HourHandBorder, m_HourHandLength, m_HourHandWidth);
    painter.restore();

    painter.setBrush(QBrush(m_MinuteHandColor));
    painter.save();
    painter.rotate((m_time.second() / 60.0 + m_time.minute()) * 6.0);
    drawPointer(painter, m_MinuteHandBorder, m_MinuteHandLength, m_MinuteHandWidth);
    painter.restore();
}

// The ring of 60 dots just inside the rim: lit up to the current second, or
// from it on when counting down.
void VXNAnalogClock::drawSecondDots(QPainter &painter) const
{
    const int d = static_cast<int>(m_DotSize * 0.5 + 0.5);
    const QRect dot(QPoint(-d, m_DotSize - dialRadius),
                    QPoint(m_DotSize - d - 1, 2 * m_DotSize - dialRadius - 1));
    painter.setPen(QPen(m_DotColor));
    painter.setBrush(QBrush(m_DotColor));
    for (int i = 0; i < 60; ++i) {
        const bool lit = m_SecondDotsCountDown ? i >= m_time.second() : i <= m_time.second();
        if (lit)
            painter.drawEllipse(dot);
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
