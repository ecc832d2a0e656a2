#include "vxnppmmeter.h"

#include <QLinearGradient>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>

#include <climits>
#include <cmath>
#include <cstdlib>

namespace {

// The row where the gradients start: half the height, rounded to the
// nearest row. The paint, the row classifier and the changed-rows band all
// take it from here, so a repaint of just the changed rows matches a whole one.
int middleRow(int h)
{
    return static_cast<int>(h * 0.5 + 0.5);
}

// Truncation toward zero to int that stays defined for every input: a
// degenerate range (Min == Max) or a NaN level yields NaN or infinity here,
// and converting those to int is undefined, so they map to 0 and huge
// values saturate.
int truncToInt(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= static_cast<double>(INT_MAX))
        return INT_MAX;
    if (value <= static_cast<double>(INT_MIN))
        return INT_MIN;
    return static_cast<int>(value);
}

// Rows first..last inclusive across the whole width; nothing when empty or
// wholly outside the rows being repainted. A moving bar repaints a few rows,
// so most fills are skipped before their brush is even made.
template <typename Fill>
void fillRows(QPainter &painter, const QRect &dirty, int width, int first, int last, const Fill &fill)
{
    if (last < first || last < dirty.top() || first > dirty.bottom())
        return;
    painter.setBrush(fill);
    painter.drawRect(QRect(0, first, width, last - first + 1));
}

}  // namespace

VXNPPMMeter::VXNPPMMeter(QWidget *parent)
    : QWidget(parent, Qt::WindowFlags())
    , m_dBPosition(-50.0)
    , m_lastBarHeight(0)
    , m_barHeight(0)
    , m_zeroHeight(0)
    , m_lastZeroHeight(0)
    , m_lastHeight(-1)
    , m_MindBPosition(-50.0)
    , m_MaxdBPosition(5.0)
    , m_ShowMarker(false)
    , m_MarkerdBPosition(-50.0)
    , m_ReleasePerSecond(18.0)
    , m_DINCurve(true)
    , m_GradientBackground(true)
    , m_GradientForground(false)
    , m_MaxColor(255, 0, 0, 255)
    , m_MinColor(0, 255, 0, 255)
    , m_MaxBackgroundColor(64, 0, 0, 255)
    , m_MinBackgroundColor(0, 64, 0, 255)
    // 10^(-50/80), 10^(5/80) - 10^(-50/80) and 5 - (-50) for the default range.
    , m_dinBase(0.23713737056616552)
    , m_dinSpan(0.9176446141232928)
    , m_linearSpan(55.0)
{
    m_backgroundImage = QImage(backgroundImagePath());
    setAttribute(Qt::WA_OpaquePaintEvent);
    setWindowTitle(tr("PPM Meter"));
    resize(16, 200);
}

VXNPPMMeter::~VXNPPMMeter() = default;

void VXNPPMMeter::setdBPosition(double_db NewdBPosition)
{
    m_dBPosition = NewdBPosition;
    update();
}

void VXNPPMMeter::setdBPositionNoUpdate(double NewdBPosition)
{
    m_dBPosition = NewdBPosition;
}

bool VXNPPMMeter::calculatePosition()
{
    const int h = height();
    double level = m_dBPosition;
    // A NaN level would otherwise stick (every later step from it is NaN
    // too); show it as silence.
    if (std::isnan(level))
        level = m_MindBPosition;
    if (m_MindBPosition > level)
        level = m_MindBPosition;
    if (level > m_MaxdBPosition)
        level = m_MaxdBPosition;
    m_dBPosition = level;

    m_barHeight = 0;
    m_zeroHeight = 0;
    if (m_DINCurve) {
        m_barHeight = truncToInt(h * (std::pow(10.0, level / 80.0) - m_dinBase) / m_dinSpan);
        m_zeroHeight = truncToInt(h * (1.0 - m_dinBase) / m_dinSpan);
    } else {
        m_barHeight = truncToInt(truncToInt(h * (level - m_MindBPosition)) / m_linearSpan);
        m_zeroHeight = truncToInt(truncToInt(h * (-m_MindBPosition)) / m_linearSpan);
    }
    // A range that lies wholly above or below 0 dB, or a tiny span, puts
    // these far outside the widget; beyond its edges they draw nothing
    // more, and bounded they keep the paint's row arithmetic within int.
    m_barHeight = qBound(0, m_barHeight, h);
    m_zeroHeight = qBound(0, m_zeroHeight, h);

    noteChangedRows(h);
    if (m_barHeight == m_lastBarHeight)
        return false;
    m_lastBarHeight = m_barHeight;
    return true;
}

int VXNPPMMeter::barRowKind(int row, int bar, int h) const
{
    // Classifies as paintEvent fills: 0 background, 1 the lower colour, 2 the upper
    // colour or the gradient part. Bars beyond the edges paint as if at them.
    bar = qBound(0, bar, h);
    if (row < h - bar)
        return 0;
    if (m_GradientForground) {
        const int half = middleRow(h);
        if (bar > half && row <= half - 1)
            return 2;
        return row >= h - qMin(bar, half + 2) ? 1 : 0;
    }
    return row < h - m_zeroHeight ? 2 : 1;
}

void VXNPPMMeter::noteChangedRows(int h)
{
    if (h != m_lastHeight || m_zeroHeight != m_lastZeroHeight) {
        m_changedRows = rect();
    } else if (m_barHeight != m_lastBarHeight) {
        // Exactly the rows that look different: a band that also took the
        // row the previous band ended on would make every paint of a moving
        // bar wait for the X server to finish reading the last one.
        const int low = qBound(0, qMin(m_barHeight, m_lastBarHeight), h);
        const int high = qBound(0, qMax(m_barHeight, m_lastBarHeight), h);
        // Rows change between the two tops, and around the middle where the
        // gradient part begins or ends.
        const int half = middleRow(h);
        const int from = h - high;
        const int to = qMin(h - 1, qMax(h - low, half + 2));
        int first = -1;
        int last = -1;
        for (int row = from; row <= to; ++row) {
            if (barRowKind(row, m_barHeight, h) != barRowKind(row, m_lastBarHeight, h)) {
                if (first < 0)
                    first = row;
                last = row;
            }
        }
        if (first >= 0)
            m_changedRows |= QRect(0, first, width(), last - first + 1);
    }
    m_lastHeight = h;
    m_lastZeroHeight = m_zeroHeight;
}

void VXNPPMMeter::recomputeDerived()
{
    m_dinBase = std::pow(10.0, m_MindBPosition / 80.0);
    m_dinSpan = std::pow(10.0, m_MaxdBPosition / 80.0) - m_dinBase;
    m_linearSpan = m_MaxdBPosition - m_MindBPosition;
}

void VXNPPMMeter::setMindBPosition(double value)
{
    if (value == m_MindBPosition)
        return;
    m_MindBPosition = value;
    recomputeDerived();
    update();
}

void VXNPPMMeter::setMaxdBPosition(double value)
{
    if (value == m_MaxdBPosition)
        return;
    m_MaxdBPosition = value;
    recomputeDerived();
    update();
}

void VXNPPMMeter::setShowMarker(bool value)
{
    m_ShowMarker = value;
}

void VXNPPMMeter::setMarkerdBPosition(double value)
{
    m_MarkerdBPosition = value;
}

void VXNPPMMeter::setReleasePerSecond(double value)
{
    m_ReleasePerSecond = value;
}

void VXNPPMMeter::setDINCurve(bool value)
{
    if (value == m_DINCurve)
        return;
    m_DINCurve = value;
    update();
}

void VXNPPMMeter::setGradientBackground(bool value)
{
    if (value == m_GradientBackground)
        return;
    m_GradientBackground = value;
    update();
}

void VXNPPMMeter::setGradientForground(bool value)
{
    if (value == m_GradientForground)
        return;
    m_GradientForground = value;
    update();
}

void VXNPPMMeter::setMaxColor(const QColor &value)
{
    m_MaxColor = value;
    update();
}

void VXNPPMMeter::setMinColor(const QColor &value)
{
    m_MinColor = value;
    update();
}

void VXNPPMMeter::setMaxBackgroundColor(const QColor &value)
{
    m_MaxBackgroundColor = value;
    update();
}

void VXNPPMMeter::setMinBackgroundColor(const QColor &value)
{
    m_MinBackgroundColor = value;
    update();
}

void VXNPPMMeter::setSkinEnvironmentVariable(const QString &value)
{
    if (value == m_SkinEnvironmentVariable)
        return;
    m_SkinEnvironmentVariable = value;
    reloadBackgroundImage();
    update();
}

void VXNPPMMeter::setPPMMeterBackgroundFileName(const QString &value)
{
    if (value == m_PPMMeterBackgroundFileName)
        return;
    m_PPMMeterBackgroundFileName = value;
    reloadBackgroundImage();
    update();
}

QString VXNPPMMeter::backgroundImagePath() const
{
    const QByteArray name = m_SkinEnvironmentVariable.toLatin1();
    const char *folder = std::getenv(name.constData());
    return QString::fromLatin1(folder ? folder : "") + QLatin1Char('/') + m_PPMMeterBackgroundFileName;
}

void VXNPPMMeter::reloadBackgroundImage()
{
    if (!m_backgroundImage.load(backgroundImagePath()))
        m_backgroundImage = QImage();
}

void VXNPPMMeter::paintEvent(QPaintEvent *event)
{
    const QRect dirty = event->rect();
    if (dirty.contains(m_changedRows))
        m_changedRows = QRect();

    const int h = height();
    const int w = width();
    const int half = middleRow(h);

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);

    if (!m_backgroundImage.isNull())
        painter.drawImage(QPoint(0, 0), m_backgroundImage);

    // Both gradients run from the middle (stop 0) up to the top edge (stop 1)
    // and pad below the middle.
    QLinearGradient backgroundGradient(QPointF(0, half), QPointF(0, 0));
    backgroundGradient.setColorAt(0, m_MinBackgroundColor);
    backgroundGradient.setColorAt(1, m_MaxBackgroundColor);
    QLinearGradient barGradient(QPointF(0, half), QPointF(0, 0));
    barGradient.setColorAt(0, m_MinColor);
    barGradient.setColorAt(1, m_MaxColor);

    const int z = m_zeroHeight;
    if (m_GradientBackground) {
        fillRows(painter, dirty, w, half, 2 * half - 1, m_MinBackgroundColor);
        fillRows(painter, dirty, w, 0, half - 1, backgroundGradient);
    } else {
        fillRows(painter, dirty, w, h - z, h - 1, m_MinBackgroundColor);
        fillRows(painter, dirty, w, 0, h - z - 1, m_MaxBackgroundColor);
    }

    const int b = m_barHeight;
    if (m_GradientForground) {
        fillRows(painter, dirty, w, h - qMin(b, half + 2), h - 1, m_MinColor);
        // The gradient part reaches the bar's top row, H - B; at odd
        // heights 2 * half is H + 1, so it may not be counted from there.
        if (b > half)
            fillRows(painter, dirty, w, h - b, half - 1, barGradient);
    } else if (b > z) {
        fillRows(painter, dirty, w, h - z, h - 1, m_MinColor);
        fillRows(painter, dirty, w, h - b, h - z - 1, m_MaxColor);
    } else {
        fillRows(painter, dirty, w, h - b, h - 1, m_MinColor);
    }

    if (m_ShowMarker) {
        // The marker stays on the DIN scale whatever the bar mapping is.
        // Bounded to a widget height beyond either edge: still out of sight
        // there, and h - a cannot overflow.
        const int a =
            qBound(-h, truncToInt(h * (std::pow(10.0, m_MarkerdBPosition / 80.0) - m_dinBase) / m_dinSpan), 2 * h);
        // Three pixels wide and antialiased: it touches two rows either side.
        if (h - a + 2 >= dirty.top() && h - a - 2 <= dirty.bottom()) {
            painter.setPen(QPen(QBrush(Qt::red), 3, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
            painter.drawLine(0, h - a, w, h - a);
        }
    }
}
