#include "painting.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

namespace art {
namespace {

// Face colours shared by the backgrounds and the pictures that sit on them.
const QColor kEdge(0x0b, 0x0d, 0x10);  // outermost colour, matches the frame
const QColor kBaseTop(0x13, 0x16, 0x1b);
const QColor kBaseBottom(0x0c, 0x0e, 0x11);
const QColor kPanelTop(0x1a, 0x1e, 0x24);
const QColor kPanelBottom(0x15, 0x18, 0x1d);
const QColor kPanelLine(0x2a, 0x30, 0x39);
const QColor kScaleText(0x8c, 0x95, 0xa0);
const QColor kDimText(0x5c, 0x66, 0x72);

QColor mix(const QColor &a, const QColor &b, qreal t)
{
    return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * t, a.greenF() + (b.greenF() - a.greenF()) * t,
                            a.blueF() + (b.blueF() - a.blueF()) * t, a.alphaF() + (b.alphaF() - a.alphaF()) * t);
}

QColor withAlpha(QColor c, int alpha)
{
    c.setAlpha(alpha);
    return c;
}

QImage blank(const QSize &size)
{
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}

// An opaque canvas filled with a vertical gradient from `top` to `bottom`:
// the start of every full-size background.
QImage gradientCanvas(const QSize &size, const QColor &top, const QColor &bottom)
{
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&img);
    QLinearGradient g(QPointF(0, 0), QPointF(0, size.height()));
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.fillRect(img.rect(), g);
    return img;
}

// A two-pixel line just inside the canvas edge.
void edgeLine(QPainter &p, const QSize &size, const QColor &colour)
{
    p.setPen(QPen(colour, 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(1, 1, size.width() - 2, size.height() - 2));
}

QFont faceFont(bool bold, qreal pixelSize, qreal tracking = 0)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setBold(bold);
    f.setPixelSize(qMax(1, qRound(pixelSize)));
    f.setHintingPreference(QFont::PreferNoHinting);
    if (tracking != 0)
        f.setLetterSpacing(QFont::AbsoluteSpacing, tracking);
    return f;
}

// Text as an outline, scaled so that its capital height is capHeight and its
// width at most maxWidth, centred on centre. Outlines keep the lettering the
// same at every size and free of font hinting.
QPainterPath textShape(const QString &text, const QFont &font, const QPointF &centre, qreal capHeight, qreal maxWidth)
{
    QPainterPath path;
    path.addText(0, 0, font, text);
    QPainterPath capProbe;
    capProbe.addText(0, 0, font, QStringLiteral("H"));
    const qreal cap = capProbe.boundingRect().height();
    const QRectF bounds = path.boundingRect();
    qreal scale = capHeight / cap;
    if (maxWidth > 0 && bounds.width() * scale > maxWidth)
        scale = maxWidth / bounds.width();
    QTransform t;
    t.translate(centre.x(), centre.y());
    t.scale(scale, scale);
    // Centre on the capital height so that digits and capitals line up.
    t.translate(-bounds.center().x(), cap / 2);
    return t.map(path);
}

void fillText(QPainter &p, const QPainterPath &shape, const QColor &colour, const QColor &shadow = QColor(),
              qreal shadowOffset = 0)
{
    p.setPen(Qt::NoPen);
    if (shadow.isValid() && shadowOffset > 0) {
        p.setBrush(shadow);
        p.drawPath(shape.translated(0, shadowOffset));
    }
    p.setBrush(colour);
    p.drawPath(shape);
}

QPainterPath roundedRect(const QRectF &r, qreal radius)
{
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    return path;
}

void panel(QPainter &p, const QRectF &r, const QColor &line)
{
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, kPanelTop);
    g.setColorAt(1, kPanelBottom);
    p.setBrush(g);
    p.setPen(QPen(line, 1.0));
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 7, 7);
    // A faint top highlight gives the panel a slight bevel without detail.
    p.setPen(QPen(QColor(255, 255, 255, 10), 1.0));
    p.drawLine(QPointF(r.left() + 8, r.top() + 1.5), QPointF(r.right() - 8, r.top() + 1.5));
}

// Pixel row of a level on the meters' DIN scale: the meters span -50..+5 dB
// and place a level by the fourth root of its amplitude ratio.
int meterRow(double db, int top, int height)
{
    const double base = std::pow(10.0, -50.0 / 80.0);
    const double span = std::pow(10.0, 5.0 / 80.0) - base;
    const int bar = int(height * (std::pow(10.0, db / 80.0) - base) / span);
    return top + height - bar;
}

void meterScale(QPainter &p, int leftMeterRight, int rightMeterLeft, int top, int height, bool online)
{
    const qreal centre = (leftMeterRight + rightMeterLeft) / 2.0;
    struct Mark {
        int db;
        bool major;
    };
    const Mark marks[] = {{5, true},    {0, true},   {-3, false},  {-5, true},  {-10, true},  {-15, false}, {-20, true},
                          {-25, false}, {-30, true}, {-35, false}, {-40, true}, {-45, false}, {-50, true}};
    const QFont font = faceFont(true, 13);
    for (const Mark &m : marks) {
        const qreal y = meterRow(m.db, top, height) + 0.5;
        QColor tick = m.db > 0 ? QColor(0xc8, 0x4a, 0x44) : (m.db == 0 ? QColor(0xd8, 0xdc, 0xe0) : kScaleText);
        if (!m.major)
            tick = withAlpha(kScaleText, 110);
        if (!online)
            tick = tick.darker(115);
        const qreal len = m.major ? 8 : 5;
        p.setPen(QPen(tick, m.major ? 2.0 : 1.5, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(QPointF(leftMeterRight + 3, y), QPointF(leftMeterRight + 3 + len, y));
        p.drawLine(QPointF(rightMeterLeft - 3 - len, y), QPointF(rightMeterLeft - 3, y));
        if (m.major) {
            const QString label = m.db > 0 ? QStringLiteral("+%1").arg(m.db) : QString::number(m.db);
            const qreal labelY = qBound<qreal>(top + 6, y, top + height - 6);
            fillText(p, textShape(label, font, QPointF(centre, labelY), 9.5, 0), tick);
        }
    }
}

void ledDot(QPainter &p, const QPointF &c, qreal r, const QColor &colour, bool glow)
{
    p.setPen(Qt::NoPen);
    if (glow) {
        QRadialGradient halo(c, r * 3);
        halo.setColorAt(0, withAlpha(colour, 120));
        halo.setColorAt(1, withAlpha(colour, 0));
        p.setBrush(halo);
        p.drawEllipse(c, r * 3, r * 3);
    }
    QRadialGradient g(c - QPointF(r * 0.3, r * 0.3), r * 1.2);
    g.setColorAt(0, colour.lighter(160));
    g.setColorAt(0.6, colour);
    g.setColorAt(1, colour.darker(150));
    p.setBrush(g);
    p.drawEllipse(c, r, r);
}

void gearShape(QPainterPath &path, const QPointF &c, qreal outer, qreal inner, qreal hole, int teeth)
{
    const int steps = teeth * 4;
    QPolygonF poly;
    for (int i = 0; i < steps; ++i) {
        // Each tooth: rise, top, fall, root; the top is a little narrower.
        const qreal a0 = (2 * M_PI * i) / steps;
        const qreal a1 = (2 * M_PI * (i + 1)) / steps;
        const bool top = (i % 4 == 1) || (i % 4 == 2);
        const qreal r = top ? outer : inner;
        const qreal inset = top ? 0.06 : 0.0;
        poly << c + QPointF(std::cos(a0 + inset) * r, std::sin(a0 + inset) * r)
             << c + QPointF(std::cos(a1 - inset) * r, std::sin(a1 - inset) * r);
    }
    poly << poly.first();
    path.addPolygon(poly);
    path.addEllipse(c, hole, hole);
    path.setFillRule(Qt::OddEvenFill);
}

// A small group of meter bars, used by the about picture, the splash screen
// and the window icon.
void meterBars(QPainter &p, const QRectF &area, int count, const QVector<qreal> &levels, qreal gapFraction)
{
    const qreal gap = area.width() * gapFraction / (count - 1 > 0 ? count - 1 : 1);
    const qreal w = (area.width() - gap * (count - 1)) / count;
    for (int i = 0; i < count; ++i) {
        const QRectF slot(area.left() + i * (w + gap), area.top(), w, area.height());
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x0a, 0x1c, 0x10));
        p.drawRect(slot);
        const qreal level = levels.value(i, 0.6);
        const QRectF bar(slot.left(), slot.bottom() - slot.height() * level, w, slot.height() * level);
        QLinearGradient g(slot.bottomLeft(), slot.topLeft());
        g.setColorAt(0, QColor(0x1f, 0xc0, 0x4a));
        g.setColorAt(0.68, QColor(0x36, 0xd8, 0x5c));
        g.setColorAt(0.70, QColor(0xf2, 0xc2, 0x1b));
        g.setColorAt(0.84, QColor(0xf2, 0xc2, 0x1b));
        g.setColorAt(0.86, QColor(0xe8, 0x30, 0x2a));
        g.setColorAt(1, QColor(0xe8, 0x30, 0x2a));
        p.setBrush(g);
        p.drawRect(bar);
    }
}

}  // namespace

QVector<Signal> signalSet()
{
    // Each legend reads at 4.5:1 or better on its plate, lit or not: white on
    // the darker plates, near-black on the bright ones.
    const QColor white(0xff, 0xff, 0xff);
    const QColor black(0x12, 0x10, 0x0a);
    return {
        {QStringLiteral("phone"), QStringLiteral("PHONE"), QColor(0x7a, 0x3c, 0xc8), white},
        {QStringLiteral("onair1"), QStringLiteral("ON AIR 1"), QColor(0xc4, 0x1c, 0x1c), white},
        {QStringLiteral("onair2"), QStringLiteral("ON AIR 2"), QColor(0xc4, 0x1c, 0x1c), white},
        {QStringLiteral("nonstop"), QStringLiteral("NON STOP"), QColor(0x2f, 0xcc, 0x5a), black},
        {QStringLiteral("silence"), QStringLiteral("SILENCE"), QColor(0xf2, 0xb8, 0x0c), black},
        {QStringLiteral("micon"), QStringLiteral("MIC ON"), QColor(0xf0, 0x70, 0x10), black},
        {QStringLiteral("crmmute"), QStringLiteral("CRM MUTE"), QColor(0x1f, 0x5f, 0xc8), white},
    };
}

QImage signalIcon(const QSize &size, const Signal &signal, bool active)
{
    QImage img = blank(size);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal h = size.height();
    const qreal margin = h * 0.08;
    const QRectF plate = QRectF(QPointF(0, 0), QSizeF(size)).adjusted(margin, margin, -margin, -margin);
    const qreal radius = plate.height() * 0.2;

    if (active) {
        // Soft halo so that a lit sign reads as light, not as paint.
        p.setPen(Qt::NoPen);
        for (int k = 6; k >= 1; --k) {
            const qreal grow = margin * 0.9 * k / 6.0;
            p.setBrush(withAlpha(signal.lit, 16));
            p.drawPath(roundedRect(plate.adjusted(-grow, -grow, grow, grow), radius + grow));
        }
        // Only a gentle shading: the legend needs an even ground.
        QLinearGradient g(plate.topLeft(), plate.bottomLeft());
        g.setColorAt(0, signal.lit.lighter(108));
        g.setColorAt(0.5, signal.lit);
        g.setColorAt(1, signal.lit.darker(118));
        p.setBrush(g);
        p.setPen(QPen(signal.lit.lighter(150), h * 0.018));
        p.drawPath(roundedRect(plate, radius));
        // Gloss along the top edge, above the legend.
        QLinearGradient gloss(plate.topLeft(), QPointF(plate.left(), plate.top() + plate.height() * 0.2));
        gloss.setColorAt(0, QColor(255, 255, 255, 70));
        gloss.setColorAt(1, QColor(255, 255, 255, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(gloss);
        const qreal inset = h * 0.03;
        p.drawPath(roundedRect(
            QRectF(plate.left() + inset, plate.top() + inset, plate.width() - 2 * inset, plate.height() * 0.2),
            radius * 0.6));
    } else {
        QLinearGradient g(plate.topLeft(), plate.bottomLeft());
        g.setColorAt(0, QColor(0x1f, 0x23, 0x29));
        g.setColorAt(1, QColor(0x16, 0x19, 0x1d));
        p.setBrush(g);
        p.setPen(QPen(mix(QColor(0x3a, 0x41, 0x4b), signal.lit, 0.25), h * 0.02));
        p.drawPath(roundedRect(plate, radius));
    }

    const QFont font = faceFont(true, h * 0.5, h * 0.02);
    const QPainterPath legend =
        textShape(signal.word, font, plate.center(), plate.height() * 0.40, plate.width() * 0.86);
    if (active) {
        const bool darkInk = signal.ink.lightness() < 100;
        fillText(p, legend, signal.ink, darkInk ? QColor(255, 255, 255, 70) : QColor(0, 0, 0, 110), h * 0.014);
    } else {
        // Unlit: a plain grey legend with a hint of the sign's colour, dim
        // beside the lit signs but still clear on its dark plate.
        fillText(p, legend, mix(QColor(0xa0, 0xa8, 0xb2), signal.lit, 0.15));
    }
    return img;
}

QImage moduleLamp(int size, int number, LampColour colour)
{
    QImage img = blank(QSize(size, size));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 256.0;
    const QPointF c(size / 2.0, size / 2.0);

    // The hole in the panel: dark at the top edge, caught light at the bottom.
    QLinearGradient rim(QPointF(0, 4 * s), QPointF(0, 252 * s));
    rim.setColorAt(0, QColor(0x03, 0x04, 0x05));
    rim.setColorAt(1, QColor(0x4a, 0x52, 0x5c));
    p.setPen(Qt::NoPen);
    p.setBrush(rim);
    p.drawEllipse(c, 124 * s, 124 * s);

    // The button's own edge, lit from above.
    QLinearGradient bezel(QPointF(0, 12 * s), QPointF(0, 244 * s));
    bezel.setColorAt(0, QColor(0x3c, 0x43, 0x4c));
    bezel.setColorAt(1, QColor(0x0e, 0x10, 0x13));
    p.setBrush(bezel);
    p.drawEllipse(c, 116 * s, 116 * s);

    // The three states differ in brightness as well as in hue, by 2:1 or more
    // also to eyes that confuse red and green (or blue and yellow): unlit is
    // dark glass, red a middle tone, green bright. The numeral is light on
    // the first two and dark on green.
    QColor face;
    QColor ink;
    bool lit = true;
    switch (colour) {
    case LampColour::Grey:
        face = QColor(0x1d, 0x20, 0x24);
        ink = QColor(0xc9, 0xcf, 0xd6);
        lit = false;
        break;
    case LampColour::Green:
        face = QColor(0x3c, 0xf0, 0x60);
        ink = QColor(0x0b, 0x1a, 0x10);
        break;
    case LampColour::Red:
        face = QColor(0xcc, 0x2e, 0x1a);
        ink = QColor(0xff, 0xff, 0xff);
        break;
    }
    const bool darkInk = ink.lightness() < 100;

    // An even lens, darker only toward its rim, so the numeral has one ground.
    const qreal faceR = 102 * s;
    QRadialGradient g(c, faceR);
    g.setColorAt(0, face);
    g.setColorAt(0.72, face);
    g.setColorAt(1, face.darker(135));
    p.setBrush(g);
    p.drawEllipse(c, faceR, faceR);

    // Inner shadow along the top of the lens: the face sits below the bezel.
    QLinearGradient shade(QPointF(0, c.y() - faceR), QPointF(0, c.y() - faceR * 0.72));
    shade.setColorAt(0, QColor(0, 0, 0, 110));
    shade.setColorAt(1, QColor(0, 0, 0, 0));
    p.setBrush(shade);
    p.drawEllipse(c, faceR, faceR);

    // A lit lens glows at its edge: a light ring around the colour.
    if (lit) {
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(withAlpha(face.lighter(150), 210), 5 * s));
        p.drawEllipse(c, faceR - 4 * s, faceR - 4 * s);
        p.setPen(Qt::NoPen);
    }

    // A small reflection at the top edge, clear of the numeral.
    QRadialGradient highlight(c + QPointF(0, -86 * s), 46 * s);
    highlight.setColorAt(0, QColor(255, 255, 255, lit ? 70 : 40));
    highlight.setColorAt(1, QColor(255, 255, 255, 0));
    p.setBrush(highlight);
    p.drawEllipse(c + QPointF(0, -86 * s), 46 * s, 9 * s);

    // The window shows the module's source name (white, 10 pt) under the
    // lower half of the lamp, a little right of centre. That band of the lamp
    // is glass: thin enough for the name to read through it.
    p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    QLinearGradient glass(QPointF(0, 0), QPointF(0, size));
    glass.setColorAt(0, QColor(0, 0, 0, 255));
    glass.setColorAt(0.50, QColor(0, 0, 0, 255));
    glass.setColorAt(0.64, QColor(0, 0, 0, 110));
    glass.setColorAt(0.87, QColor(0, 0, 0, 110));
    glass.setColorAt(0.95, QColor(0, 0, 0, 255));
    glass.setColorAt(1, QColor(0, 0, 0, 255));
    p.fillRect(img.rect(), glass);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);

    const QPainterPath digit =
        textShape(QString::number(number), faceFont(true, 90 * s), QPointF(c.x(), 84 * s), 58 * s, 0);
    fillText(p, digit, ink, darkInk ? QColor(255, 255, 255, 70) : QColor(0, 0, 0, 130), 3 * s);
    return img;
}

QImage statusBackground(bool online)
{
    const QSize size(986, 650);
    QImage img = gradientCanvas(size, kBaseTop, kBaseBottom);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    // Edges fade into the frame colour so letterbox bars meet it smoothly.
    edgeLine(p, size, kEdge);

    const QColor line = online ? kPanelLine : QColor(0x5a, 0x22, 0x24);

    // Meter bay: program and control-room meters with their captions.
    panel(p, QRectF(34, 48, 298, 492), line);
    p.setPen(QPen(line, 1));
    p.drawLine(QPointF(182.5, 62), QPointF(182.5, 494));
    // Signal column with its caption.
    panel(p, QRectF(806, 152, 150, 388), line);

    // Recessed dial behind the clocks.
    const QPointF dial(553, 290);
    QRadialGradient well(dial, 212);
    well.setColorAt(0, QColor(0x0e, 0x10, 0x13));
    well.setColorAt(0.93, QColor(0x0b, 0x0d, 0x10));
    well.setColorAt(1, QColor(0x10, 0x12, 0x16));
    p.setBrush(well);
    p.setPen(QPen(line, 1.2));
    p.drawEllipse(dial, 210, 210);
    p.setPen(QPen(QColor(255, 255, 255, 8), 1));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(dial, 213, 213);

    // Dividing line above the row of module lamps.
    p.setPen(QPen(line, 1));
    p.drawLine(QPointF(34, 542.5), QPointF(956, 542.5));

    // DIN scales between the two channels of each meter pair; rows follow
    // the meters' own mapping (top 73, height 415).
    meterScale(p, 66, 143, 73, 415, online);
    meterScale(p, 222, 299, 73, 415, online);
    const QFont small = faceFont(true, 12);
    const struct {
        int x;
        const char *t;
    } channels[] = {{60, "L"}, {149, "R"}, {216, "L"}, {305, "R"}};
    for (const auto &ch : channels)
        fillText(p, textShape(QString::fromLatin1(ch.t), small, QPointF(ch.x, 62), 9, 0), kScaleText);

    // Product name, calm and out of the way.
    fillText(p, textShape(QStringLiteral("TAVELIN METERS"), faceFont(true, 14, 3), QPointF(110, 26), 10, 0), kDimText);

    // Footer plate: the maker line is drawn in the window's plain dark text
    // colour, so it sits on a light engraved plate.
    const QRectF plate(372, 614, 356, 30);
    QLinearGradient metal(plate.topLeft(), plate.bottomLeft());
    metal.setColorAt(0, QColor(0xa8, 0xb0, 0xb9));
    metal.setColorAt(1, QColor(0x8c, 0x94, 0x9e));
    p.setBrush(metal);
    p.setPen(QPen(QColor(0x05, 0x06, 0x08), 1.5));
    p.drawRoundedRect(plate, 5, 5);
    p.setPen(QPen(QColor(255, 255, 255, 70), 1));
    p.drawLine(QPointF(plate.left() + 5, plate.top() + 1.5), QPointF(plate.right() - 5, plate.top() + 1.5));

    // Connection state, centred above the clock: visible across the room.
    if (online) {
        const QRectF badge(468, 14, 170, 40);
        p.setBrush(QColor(0x0f, 0x22, 0x15));
        p.setPen(QPen(QColor(0x2c, 0x7a, 0x43), 1.5));
        p.drawRoundedRect(badge, 20, 20);
        ledDot(p, QPointF(badge.left() + 24, badge.center().y()), 7, QColor(0x36, 0xd3, 0x5f), true);
        fillText(p,
                 textShape(QStringLiteral("ONLINE"), faceFont(true, 24, 2),
                           QPointF(badge.center().x() + 12, badge.center().y()), 18, 0),
                 QColor(0x5c, 0xe0, 0x86));
    } else {
        // A red frame around the whole face as well as the badge.
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(0xc8, 0x1e, 0x1e), 5));
        p.drawRoundedRect(QRectF(5.5, 5.5, size.width() - 11, size.height() - 11), 10, 10);

        const QRectF badge(423, 10, 260, 50);
        QLinearGradient g(badge.topLeft(), badge.bottomLeft());
        g.setColorAt(0, QColor(0xd0, 0x22, 0x1e));
        g.setColorAt(1, QColor(0x8e, 0x12, 0x12));
        p.setBrush(g);
        p.setPen(QPen(QColor(0xff, 0x6a, 0x5e), 1.5));
        p.drawRoundedRect(badge, 25, 25);
        fillText(p, textShape(QStringLiteral("OFFLINE"), faceFont(true, 32, 3), badge.center(), 25, 0), Qt::white,
                 QColor(0, 0, 0, 120), 1.5);
    }
    return img;
}

QImage frameBackground()
{
    const QSize size(1024, 580);
    QImage img = gradientCanvas(size, QColor(0x10, 0x12, 0x16), kEdge);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    // Gentle vignette so the side bars of a wide window stay quiet.
    QRadialGradient v(QPointF(size.width() / 2.0, size.height() / 2.0), size.width() * 0.7);
    v.setColorAt(0, QColor(0, 0, 0, 0));
    v.setColorAt(1, QColor(0, 0, 0, 90));
    p.fillRect(img.rect(), v);
    edgeLine(p, size, QColor(0x1e, 0x22, 0x28));
    return img;
}

QImage settingsGear(int size)
{
    QImage img = blank(QSize(size, size));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 256.0;
    const QPointF c(size / 2.0, size / 2.0);
    QPainterPath gear;
    gearShape(gear, c, 118 * s, 92 * s, 40 * s, 8);
    QLinearGradient g(QPointF(0, 10 * s), QPointF(0, 246 * s));
    g.setColorAt(0, QColor(0xdc, 0xe1, 0xe7));
    g.setColorAt(1, QColor(0x8e, 0x97, 0xa2));
    p.setBrush(g);
    p.setPen(QPen(QColor(0x0a, 0x0c, 0x0f), 5 * s));
    p.drawPath(gear);
    // Hub ring.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x5a, 0x63, 0x6e), 10 * s));
    p.drawEllipse(c, 62 * s, 62 * s);
    return img;
}

QImage aboutPicture()
{
    const QSize size(358, 273);
    QImage img = blank(size);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF card(4, 4, size.width() - 8, size.height() - 8);
    QLinearGradient g(card.topLeft(), card.bottomLeft());
    g.setColorAt(0, QColor(0x1c, 0x20, 0x26));
    g.setColorAt(1, QColor(0x0e, 0x10, 0x13));
    p.setBrush(g);
    p.setPen(QPen(QColor(0x3a, 0x42, 0x4c), 3));
    p.drawRoundedRect(card, 22, 22);

    // Four meters and a clock ring: what the program shows.
    meterBars(p, QRectF(44, 36, 116, 132), 4, {0.78, 0.72, 0.55, 0.60}, 0.3);
    const QPointF dial(250, 102);
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 60; ++i) {
        const qreal a = i * 2 * M_PI / 60;
        const bool hour = i % 5 == 0;
        p.setPen(QPen(hour ? QColor(0x2e, 0xd0, 0x56) : QColor(0x1c, 0x80, 0x36), hour ? 5 : 2.5, Qt::SolidLine,
                      Qt::RoundCap));
        const qreal r0 = hour ? 50 : 56;
        p.drawLine(dial + QPointF(std::sin(a) * r0, -std::cos(a) * r0),
                   dial + QPointF(std::sin(a) * 62, -std::cos(a) * 62));
    }
    fillText(p, textShape(QStringLiteral("12:00"), faceFont(true, 26), dial, 17, 0), QColor(0xf0, 0xf2, 0xf4));

    fillText(p,
             textShape(QStringLiteral("Tavelin Meters"), faceFont(true, 40), QPointF(size.width() / 2.0, 206), 27, 300),
             QColor(0xf0, 0xf2, 0xf4));
    fillText(p,
             textShape(QStringLiteral("STUDIO METER DISPLAY"), faceFont(true, 16, 2), QPointF(size.width() / 2.0, 240),
                       12, 280),
             QColor(0x8c, 0x95, 0xa0));
    return img;
}

QImage splashScreen()
{
    const QSize size(700, 400);
    QImage img = gradientCanvas(size, QColor(0x1a, 0x1e, 0x24), QColor(0x0b, 0x0d, 0x10));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    edgeLine(p, size, QColor(0x2e, 0x35, 0x3e));

    meterBars(p, QRectF(60, 70, 150, 240), 4, {0.82, 0.76, 0.58, 0.64}, 0.35);
    fillText(p, textShape(QStringLiteral("Tavelin Meters"), faceFont(true, 56), QPointF(450, 170), 40, 400),
             QColor(0xf0, 0xf2, 0xf4));
    fillText(p, textShape(QStringLiteral("STUDIO METER DISPLAY"), faceFont(true, 18, 3), QPointF(450, 222), 14, 400),
             QColor(0x8c, 0x95, 0xa0));
    p.setPen(QPen(QColor(0x2e, 0xd0, 0x56), 3));
    p.drawLine(QPointF(290, 258), QPointF(610, 258));
    fillText(p, textShape(QStringLiteral("starting\u2026"), faceFont(false, 18), QPointF(450, 290), 12, 0),
             QColor(0x6c, 0x76, 0x82));
    return img;
}

QImage voiceTrack(int size)
{
    QImage img = blank(QSize(size, size));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 256.0;
    const QRectF tile(12 * s, 12 * s, 232 * s, 232 * s);
    QLinearGradient g(tile.topLeft(), tile.bottomLeft());
    g.setColorAt(0, QColor(0xf5, 0xb3, 0x2a));
    g.setColorAt(1, QColor(0xc7, 0x80, 0x0c));
    p.setBrush(g);
    p.setPen(QPen(QColor(0x1a, 0x12, 0x04), 6 * s));
    p.drawRoundedRect(tile, 40 * s, 40 * s);
    fillText(p, textShape(QStringLiteral("VT"), faceFont(true, 120 * s), QPointF(128 * s, 96 * s), 84 * s, 0),
             QColor(0x1a, 0x12, 0x04));
    // A short waveform under the letters: a voice track is recorded speech.
    QPainterPath wave;
    const qreal mid = 188 * s;
    wave.moveTo(40 * s, mid);
    for (int i = 0; i <= 88; ++i) {
        const qreal x = 40 * s + i * 2 * s;
        const qreal env = std::sin(M_PI * i / 88.0);
        wave.lineTo(x, mid - std::sin(i * 0.9) * 26 * s * env * (0.6 + 0.4 * std::sin(i * 0.23)));
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x1a, 0x12, 0x04), 7 * s, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(wave);
    return img;
}

QImage windowIcon(int size)
{
    QImage img = blank(QSize(size, size));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal sz = size;
    // Tiny sizes get whole-pixel geometry and fewer bars to stay sharp.
    const bool tiny = size <= 32;
    const qreal border = tiny ? 1.0 : sz * 0.035;
    const QRectF tile = QRectF(0, 0, sz, sz).adjusted(border / 2, border / 2, -border / 2, -border / 2);
    QLinearGradient g(tile.topLeft(), tile.bottomLeft());
    g.setColorAt(0, QColor(0x23, 0x28, 0x30));
    g.setColorAt(1, QColor(0x0e, 0x10, 0x13));
    p.setBrush(g);
    p.setPen(QPen(QColor(0xb8, 0xc0, 0xc9), border));
    p.drawRoundedRect(tile, sz * 0.18, sz * 0.18);

    if (size <= 16) {
        const int bars[] = {9, 7, 11};
        const QColor top[] = {QColor(0x36, 0xd8, 0x5c), QColor(0x36, 0xd8, 0x5c), QColor(0xf2, 0xc2, 0x1b)};
        for (int i = 0; i < 3; ++i) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0x1f, 0xc0, 0x4a));
            p.drawRect(QRect(3 + i * 4, 13 - bars[i], 2, bars[i]));
            p.setBrush(top[i]);
            p.drawRect(QRect(3 + i * 4, 13 - bars[i], 2, 2));
        }
        return img;
    }
    const QRectF area(sz * 0.2, sz * 0.2, sz * 0.6, sz * 0.6);
    meterBars(p, tiny ? area.toAlignedRect() : area, 4, {0.72, 0.86, 0.62, 0.78}, tiny ? 0.28 : 0.3);
    return img;
}

}  // namespace art
