#include "vxndigitalclock.h"

#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>
#include <QRect>
#include <QRegion>
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
    // The first reading always repaints, so the texts show at once. Most
    // seconds change one digit: repainting the whole band would repaint the
    // window and the analog clock over it as well.
    if (poll == VXNClockTime::NewSecond) {
        QRegion changed;
        if (m_TimeDisplay)
            changed += textChange(timeBand(), m_TimeDisplayFont, m_shownTimeText, m_timeText);
        if (m_DateDisplay)
            changed += textChange(dateBand(), m_DateDisplayFont, m_shownDateText, m_dateText);
        m_shownTimeText = m_timeText;
        m_shownDateText = m_dateText;
        update(changed);
    }
}

QRect VXNDigitalClock::timeBand() const
{
    return QRect(0, 0, width(), height() / 2);
}

QRect VXNDigitalClock::dateBand() const
{
    // As a paint resolves the font against the widget's.
    const int y = m_TimeDisplay ? QFontMetrics(m_TimeDisplayFont.resolve(font()), this).height() : 0;
    return QRect(0, y, width(), height() / 2);
}

QRegion VXNDigitalClock::textChange(const QRect &band, const QFont &font, const QString &shown,
                                    const QString &now) const
{
    if (shown == now)
        return QRegion();
    const QFontMetricsF metrics(font.resolve(this->font()), this);
    // Glyphs may reach past their advance (and antialiasing a pixel more).
    const qreal margin = metrics.height() / 4 + 2;
    const QRectF shownRect = metrics.boundingRect(band, Qt::AlignCenter, shown);
    const QRectF nowRect = metrics.boundingRect(band, Qt::AlignCenter, now);
    QRectF changed = shownRect | nowRect;

    // Of equally wide texts, centred alike, the characters before the first
    // and after the last difference stand where they stood, provided the
    // differing ones take the same room.
    if (shown.size() == now.size() && shownRect == nowRect) {
        int first = 0;
        while (shown.at(first) == now.at(first))
            ++first;
        int last = now.size() - 1;
        while (shown.at(last) == now.at(last))
            --last;
        const qreal end = metrics.horizontalAdvance(now.left(last + 1));
        if (metrics.horizontalAdvance(shown.left(last + 1)) == end) {
            const qreal start = metrics.horizontalAdvance(now.left(first));
            changed.setLeft(nowRect.left() + start);
            changed.setRight(nowRect.left() + end);
        }
    }
    return QRegion(changed.adjusted(-margin, -margin, margin, margin).toAlignedRect());
}

void VXNDigitalClock::paintEvent(QPaintEvent *event)
{
    // A whole repaint puts the current texts on screen.
    if (QRegion(rect()).subtracted(event->region()).isEmpty()) {
        m_shownTimeText = m_timeText;
        m_shownDateText = m_dateText;
    }

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
