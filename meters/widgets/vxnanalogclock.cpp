#include "vxnanalogclock.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPen>
#include <QPoint>
#include <QRect>
#include <QRegion>
#include <QTimer>
#include <QTransform>

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
struct Pointer {
    Pointer(int border, int length, int width)
        : h(static_cast<int>(width * 0.5 + 0.5))
        , tip(border - dialRadius)
        , base(length + border - dialRadius)
    {}
    QRectF units() const { return QRectF(QPointF(-h, tip), QPointF(h, base)).normalized(); }

    int h;
    int tip;
    int base;
};

void drawPointer(QPainter &painter, const Pointer &p)
{
    const QPoint triangle[3] = {QPoint(p.h, p.base), QPoint(-p.h, p.base), QPoint(0, p.tip)};
    painter.drawConvexPolygon(triangle, 3);
}

// A second dot, lit at 12 o'clock.
QRect dotUnits(int size)
{
    const int d = static_cast<int>(size * 0.5 + 0.5);
    return QRect(QPoint(-d, size - dialRadius), QPoint(size - d - 1, 2 * size - dialRadius - 1));
}

// A tick line at 12 o'clock: from tickRadius inward by `length`, its width
// and square cap left to the pen.
QRectF tickUnits(int length, int width)
{
    const int half = width / 2;
    return QRectF(QPointF(0, half - tickRadius), QPointF(0, length + half - tickRadius)).normalized();
}

// The pixels a shape may touch: its rectangle of units widened by its pen
// and one unit more, turned and scaled to the widget, and two pixels more
// for antialiasing and rounding.
QRect pixelsOf(const QTransform &dial, const QRectF &units, qreal pen)
{
    const qreal m = pen / 2 + 1;
    return dial.mapRect(units.adjusted(-m, -m, m, m)).toAlignedRect().adjusted(-2, -2, 2, 2);
}

// What the end-time step shows for the seconds left: nothing (-1), the
// mark alone (0), or the mark and an arc of that many seconds.
int endTimeShown(int remaining)
{
    return remaining < 0 ? -1 : remaining <= 15 ? remaining : 0;
}

}  // namespace

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
    const int hour = m_time.hour();
    const int minute = m_time.minute();
    const int second = m_time.second();
    // Each second repaints only what changed: the window under the face
    // (the face has no background) and the digital clock's band repaint
    // with it, so a whole repaint costs several times the face alone.
    if (m_time.poll() == VXNClockTime::NewSecond)
        update(changedRegion(hour, minute, second));
}

QTransform VXNAnalogClock::dialTransform() const
{
    const int w = width();
    const int h = height();
    const int side = qMin(w, h);
    QTransform dial;
    dial.translate(w / 2, h / 2);
    dial.scale(side / (2.0 * dialRadius), side / (2.0 * dialRadius));
    return dial;
}

QRegion VXNAnalogClock::changedRegion(int oldHour, int oldMinute, int oldSecond) const
{
    const int hour = m_time.hour();
    const int minute = m_time.minute();
    const int second = m_time.second();
    // The mark going away or the arc growing: a few seconds a day, whole.
    if (m_EndTime && endTimeShown(endTimeRemaining(oldHour, oldMinute, oldSecond)) !=
                         endTimeShown(endTimeRemaining(hour, minute, second)))
        return QRegion(rect());

    const QTransform dial = dialTransform();
    QRegion changed;
    if (m_SecondDots && second != oldSecond) {
        // Counting up dot i is lit while i <= second, counting down while
        // i >= second: the dots between the two seconds change.
        const int from = qMin(second, oldSecond);
        const int to = qMax(second, oldSecond);
        const int first = m_SecondDotsCountDown ? from : from + 1;
        const int last = m_SecondDotsCountDown ? to - 1 : to;
        // A new minute turns most of the ring.
        if (last - first >= 8)
            return QRegion(rect());
        for (int i = first; i <= last; ++i)
            changed += pixelsOf(QTransform(dial).rotate(i * 6.0), dotUnits(m_DotSize), 1);
    }
    if (m_Hands) {
        const double hourAngles[2] = {(oldMinute / 60.0 + oldHour) * 30.0, (minute / 60.0 + hour) * 30.0};
        if (hourAngles[0] != hourAngles[1]) {
            const QRectF units = Pointer(m_HourHandBorder, m_HourHandLength, m_HourHandWidth).units();
            for (double angle : hourAngles)
                changed += pixelsOf(QTransform(dial).rotate(angle), units, 0);
        }
        const double minuteAngles[2] = {(oldSecond / 60.0 + oldMinute) * 6.0, (second / 60.0 + minute) * 6.0};
        if (minuteAngles[0] != minuteAngles[1]) {
            const QRectF units = Pointer(m_MinuteHandBorder, m_MinuteHandLength, m_MinuteHandWidth).units();
            for (double angle : minuteAngles)
                changed += pixelsOf(QTransform(dial).rotate(angle), units, 0);
        }
    }

    // A line is cut to the clip before it is drawn, which shifts its
    // antialiased edges: the region takes in every tick line it touches
    // whole (and any further line that widening touches), the end-time
    // mark included.
    QRect lines[61];
    int count = 0;
    for (int i = 0; i < 60; ++i) {
        const bool hour = i % 5 == 0;
        if (hour ? m_HourLines : m_MinuteLines)
            lines[count++] = pixelsOf(QTransform(dial).rotate(i * 6.0),
                                      hour ? tickUnits(m_HourLinesLength, m_HourLinesWidth)
                                           : tickUnits(m_MinuteLinesLength, m_MinuteLinesWidth),
                                      hour ? m_HourLinesWidth : m_MinuteLinesWidth);
    }
    if (m_EndTime) {
        const int e = m_EndTimeWidth / 2;
        const QRectF mark = QRectF(QPointF(0, e - dialRadius), QPointF(0, m_EndTimeLength - dialRadius)).normalized();
        lines[count++] =
            pixelsOf(QTransform(dial).rotate((m_EndTimeSecond / 60.0 + m_EndTimeMinute) * 6.0), mark, m_EndTimeWidth);
    }
    for (bool grown = true; grown;) {
        grown = false;
        for (int i = 0; i < count; ++i) {
            if (changed.intersects(lines[i]) && changed.intersected(lines[i]) != QRegion(lines[i])) {
                changed += lines[i];
                grown = true;
            }
        }
    }
    return changed;
}

void VXNAnalogClock::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setWorldTransform(dialTransform());

    const QRegion &dirty = event->region();
    drawTicks(painter, dirty);
    if (m_EndTime)
        drawEndTime(painter);
    if (m_CountDownTime != 0.0f)
        drawCountDown(painter);
    if (m_Hands)
        drawPointers(painter);
    if (m_SecondDots)
        drawSecondDots(painter, dirty);
}

// Hour and minute ticks; with the square cap each starts at tickRadius and
// reaches inward by its length plus its width. Leaves the painter turned
// once round.
void VXNAnalogClock::drawTicks(QPainter &painter, const QRegion &dirty) const
{
    const QRectF hourTick = tickUnits(m_HourLinesLength, m_HourLinesWidth);
    const QRectF minuteTick = tickUnits(m_MinuteLinesLength, m_MinuteLinesWidth);
    for (int i = 0; i < 60; ++i) {
        if (i % 5 == 0) {
            if (m_HourLines && dirty.intersects(pixelsOf(painter.worldTransform(), hourTick, m_HourLinesWidth))) {
                const int half = m_HourLinesWidth / 2;
                painter.setPen(solidPen(m_HourLinesColor, m_HourLinesWidth));
                painter.drawLine(QPoint(0, m_HourLinesLength + half - tickRadius), QPoint(0, half - tickRadius));
            }
        } else if (m_MinuteLines &&
                   dirty.intersects(pixelsOf(painter.worldTransform(), minuteTick, m_MinuteLinesWidth))) {
            const int half = m_MinuteLinesWidth / 2;
            painter.setPen(solidPen(m_MinuteLinesColor, m_MinuteLinesWidth));
            painter.drawLine(QPoint(0, m_MinuteLinesLength + half - tickRadius), QPoint(0, half - tickRadius));
        }
        painter.rotate(6.0);
    }
}

// A mark on the rim at the end time, and in its last 15 seconds an arc from
// the mark counter-clockwise, one second of arc per second left.
int VXNAnalogClock::endTimeRemaining(int hour, int minute, int second) const
{
    const int now = minute * 60 + second;
    const int end = m_EndTimeMinute * 60 + m_EndTimeSecond;
    if (m_EndTimeHour <= 23) {
        // The end time nearer to now, today's or tomorrow's (or yesterday's):
        // 00:05 is 15 minutes ahead at 23:50, and once passed the mark goes
        // away for the half day after it.
        const int day = 86400;
        const int ahead = (((end + m_EndTimeHour * 3600) - (now + hour * 3600)) % day + day) % day;
        return ahead > day / 2 ? ahead - day : ahead;
    }
    // Recurs every hour; the mark always shows.
    const int remaining = end - now;
    return qMax(remaining < -3584 ? remaining + 3600 : remaining, 0);
}

void VXNAnalogClock::drawEndTime(QPainter &painter) const
{
    const int remaining = endTimeRemaining(m_time.hour(), m_time.minute(), m_time.second());
    if (remaining < 0)
        return;

    const int e = m_EndTimeWidth / 2;
    painter.save();
    painter.rotate((m_EndTimeSecond / 60.0 + m_EndTimeMinute) * 6.0);
    painter.setPen(solidPen(m_EndTimeColor, m_EndTimeWidth));
    painter.drawLine(QPoint(0, e - dialRadius), QPoint(0, m_EndTimeLength - dialRadius));
    if (remaining >= 1 && remaining <= 15) {
        const int side = 2 * dialRadius - 2 * m_EndTimeWidth;
        painter.drawArc(QRect(e - dialRadius, e - dialRadius, side, side), twelveOClock, remaining * oneSecondOfArc);
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
    const int spanAngle = span >= static_cast<float>(INT_MAX)   ? INT_MAX
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
    drawPointer(painter, Pointer(m_HourHandBorder, m_HourHandLength, m_HourHandWidth));
    painter.restore();

    painter.setBrush(QBrush(m_MinuteHandColor));
    painter.save();
    painter.rotate((m_time.second() / 60.0 + m_time.minute()) * 6.0);
    drawPointer(painter, Pointer(m_MinuteHandBorder, m_MinuteHandLength, m_MinuteHandWidth));
    painter.restore();
}

// The ring of 60 dots just inside the rim: lit up to the current second, or
// from it on when counting down.
void VXNAnalogClock::drawSecondDots(QPainter &painter, const QRegion &dirty) const
{
    const QRect dot = dotUnits(m_DotSize);
    painter.setPen(QPen(m_DotColor));
    painter.setBrush(QBrush(m_DotColor));
    for (int i = 0; i < 60; ++i) {
        const bool lit = m_SecondDotsCountDown ? i >= m_time.second() : i <= m_time.second();
        if (lit && dirty.intersects(pixelsOf(painter.worldTransform(), dot, 1)))
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
