// Legibility of the compiled-in lamps and signal icons, measured on the
// pictures themselves: every numeral and legend stands out from what is
// behind it by a WCAG contrast of 4.5:1 in every state, and the grey, green
// and red lamp bodies differ pairwise by 2:1 in luminance also for the three
// kinds of colour blindness (Machado, Oliveira and Fernandes 2009, full
// severity, applied in linear RGB).
#include <QImage>
#include <QtTest>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace {

const QString kSignals = QStringLiteral(":/resources/png/KorvaneMeterIcons2/signals/");
const QString kSunken = QStringLiteral(":/resources/png/KorvaneMeterIcons2/sunken/");
// What lies behind the pictures in the window, for their see-through parts.
const QColor kFace(0x15, 0x18, 0x1d);

using Matrix = std::array<std::array<double, 3>, 3>;

struct Vision {
    const char *name;
    Matrix m;
};

const Vision kVisions[] = {
    {"normal", {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}},
    {"protanopia",
     {{{0.152286, 1.052583, -0.204868}, {0.114503, 0.786281, 0.099216}, {-0.003882, -0.048116, 1.051998}}}},
    {"deuteranopia",
     {{{0.367322, 0.860646, -0.227968}, {0.280085, 0.672501, 0.047413}, {-0.011820, 0.042940, 0.968881}}}},
    {"tritanopia",
     {{{1.255528, -0.076749, -0.178779}, {-0.078411, 0.930809, 0.147602}, {0.004733, 0.691367, 0.303900}}}},
};

double linear(int channel)
{
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

// Relative luminance of a pixel laid over the face, as seen with `vision`.
double luminance(QRgb pixel, const Matrix &m)
{
    const double a = qAlpha(pixel) / 255.0;
    const double rgb[3] = {linear(qRound(qRed(pixel) * a + kFace.red() * (1 - a))),
                           linear(qRound(qGreen(pixel) * a + kFace.green() * (1 - a))),
                           linear(qRound(qBlue(pixel) * a + kFace.blue() * (1 - a)))};
    double seen[3];
    for (int i = 0; i < 3; ++i)
        seen[i] = qBound(0.0, m[i][0] * rgb[0] + m[i][1] * rgb[1] + m[i][2] * rgb[2], 1.0);
    return 0.2126 * seen[0] + 0.7152 * seen[1] + 0.0722 * seen[2];
}

double contrast(double a, double b)
{
    return (qMax(a, b) + 0.05) / (qMin(a, b) + 0.05);
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return qQNaN();
    const size_t at = std::min(values.size() - 1, size_t(p * (values.size() - 1) + 0.5));
    std::nth_element(values.begin(), values.begin() + long(at), values.end());
    return values[at];
}

QImage load(const QString &path)
{
    return QImage(path).convertToFormat(QImage::Format_ARGB32);
}

// Contrast of the lettering inside `area` against the ground around it. The
// lettering is the smaller side of the luminance split (Otsu) of the area;
// its body is what stays after taking a pixel off its edge, the ground is
// what lies 2 to `reach` pixels away from it. The worst 5 % of either side
// count: a gradient or a gloss behind the lettering shows there.
double lettering(const QImage &image, const QRect &area, int reach)
{
    const Matrix &normal = kVisions[0].m;
    const int w = area.width(), h = area.height();
    std::vector<double> lum(size_t(w * h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            lum[size_t(y * w + x)] = luminance(image.pixel(area.x() + x, area.y() + y), normal);

    // Otsu on 256 bins of luminance.
    std::array<double, 256> histogram{};
    for (double l : lum)
        histogram[size_t(qBound(0, int(l * 255), 255))] += 1;
    double total = double(lum.size()), sum = 0;
    for (int i = 0; i < 256; ++i)
        sum += i * histogram[size_t(i)];
    double best = -1, weightLow = 0, sumLow = 0;
    int split = 0;
    for (int i = 0; i < 256; ++i) {
        weightLow += histogram[size_t(i)];
        sumLow += i * histogram[size_t(i)];
        const double weightHigh = total - weightLow;
        if (weightLow == 0 || weightHigh == 0)
            continue;
        const double between = weightLow * weightHigh * std::pow(sumLow / weightLow - (sum - sumLow) / weightHigh, 2);
        if (between > best) {
            best = between;
            split = i;
        }
    }
    std::vector<char> high(lum.size());
    int highCount = 0;
    for (size_t i = 0; i < lum.size(); ++i) {
        high[i] = qBound(0, int(lum[i] * 255), 255) > split;
        highCount += high[i];
    }
    const bool letteringIsLight = highCount * 2 < int(lum.size());
    auto isLettering = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < w && y < h && bool(high[size_t(y * w + x)]) == letteringIsLight;
    };

    std::vector<double> body, ground;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            int nearest = reach + 1;  // Chebyshev distance to lettering, capped
            for (int dy = -reach; dy <= reach; ++dy)
                for (int dx = -reach; dx <= reach; ++dx)
                    if (isLettering(x + dx, y + dy))
                        nearest = qMin(nearest, qMax(qAbs(dx), qAbs(dy)));
            const double l = lum[size_t(y * w + x)];
            if (isLettering(x, y)) {
                bool inner = true;
                for (int dy = -1; dy <= 1 && inner; ++dy)
                    for (int dx = -1; dx <= 1 && inner; ++dx)
                        inner = isLettering(x + dx, y + dy);
                if (inner)
                    body.push_back(l);
            } else if (nearest >= 2 && nearest <= reach) {
                ground.push_back(l);
            }
        }
    }
    if (body.empty() || ground.empty())
        return 0;
    // Light lettering: its darkest body against the lightest ground; dark
    // lettering the other way round.
    const double text = percentile(body, letteringIsLight ? 0.05 : 0.95);
    const double back = percentile(ground, letteringIsLight ? 0.95 : 0.05);
    return contrast(text, back);
}

// Median luminance of a lamp's body: the lit face above the glass band,
// clear of the numeral.
double lampBody(const QImage &lamp, const Matrix &m)
{
    const double s = lamp.width() / 256.0;
    const QPointF centre(lamp.width() / 2.0, lamp.height() / 2.0);
    const QRectF numeral(QPointF(84 * s, 40 * s), QPointF(172 * s, 130 * s));
    std::vector<double> values;
    for (int y = 0; y < lamp.height() / 2; ++y) {
        for (int x = 0; x < lamp.width(); ++x) {
            const QPointF p(x + 0.5, y + 0.5);
            const QPointF d = p - centre;
            if (std::hypot(d.x(), d.y()) > 92 * s || numeral.contains(p))
                continue;
            values.push_back(luminance(lamp.pixel(x, y), m));
        }
    }
    return percentile(values, 0.5);
}

}  // namespace

class TestLegibility : public QObject
{
    Q_OBJECT

private slots:
    void signalLegendsStandOut();
    void lampNumeralsStandOut();
    void lampColoursDifferForEveryEye();
};

void TestLegibility::signalLegendsStandOut()
{
    for (const char *name : {"onair1", "onair2", "nonstop", "silence", "micon", "crmmute", "phone"}) {
        for (const char *state : {"active", "inactive"}) {
            const QString file = QStringLiteral("%1-%2.png").arg(QLatin1String(name), QLatin1String(state));
            const QImage icon = load(kSignals + file);
            // The legend sits in the middle of the plate.
            const QRect legend(int(icon.width() * 0.08), int(icon.height() * 0.24), int(icon.width() * 0.84),
                               int(icon.height() * 0.52));
            const double ratio = lettering(icon, legend, 8);
            QVERIFY2(ratio >= 4.5, qPrintable(QStringLiteral("%1: %2:1").arg(file).arg(ratio, 0, 'f', 2)));
        }
    }
}

void TestLegibility::lampNumeralsStandOut()
{
    for (int n = 1; n <= 8; ++n) {
        for (const char *colour : {"grey", "green", "red"}) {
            const QString file = QStringLiteral("%1-%2.png").arg(n).arg(QLatin1String(colour));
            const QImage lamp = load(kSunken + file);
            const double s = lamp.width() / 256.0;
            const QRect numeral(int(84 * s), int(40 * s), int(88 * s), int(90 * s));
            const double ratio = lettering(lamp, numeral, int(10 * s));
            QVERIFY2(ratio >= 4.5, qPrintable(QStringLiteral("%1: %2:1").arg(file).arg(ratio, 0, 'f', 2)));
        }
    }
}

void TestLegibility::lampColoursDifferForEveryEye()
{
    for (int n = 1; n <= 8; ++n) {
        const QImage grey = load(kSunken + QStringLiteral("%1-grey.png").arg(n));
        const QImage green = load(kSunken + QStringLiteral("%1-green.png").arg(n));
        const QImage red = load(kSunken + QStringLiteral("%1-red.png").arg(n));
        for (const Vision &vision : kVisions) {
            const double g = lampBody(grey, vision.m), gr = lampBody(green, vision.m), r = lampBody(red, vision.m);
            const QString figures = QStringLiteral("lamp %1, %2: grey/green %3, grey/red %4, green/red %5")
                                        .arg(n)
                                        .arg(QLatin1String(vision.name))
                                        .arg(contrast(g, gr), 0, 'f', 2)
                                        .arg(contrast(g, r), 0, 'f', 2)
                                        .arg(contrast(gr, r), 0, 'f', 2);
            QVERIFY2(contrast(g, gr) >= 2.0 && contrast(g, r) >= 2.0 && contrast(gr, r) >= 2.0, qPrintable(figures));
        }
    }
}

QTEST_MAIN(TestLegibility)
#include "test_legibility.moc"
