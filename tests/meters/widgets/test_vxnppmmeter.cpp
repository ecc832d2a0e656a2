#include "vxnppmmeter.h"
#include "widgettesting.h"

#include <QFile>
#include <QMetaMethod>
#include <QRandomGenerator>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <limits>

namespace {

const QColor kBarLow(0, 255, 0);
const QColor kBarHigh(255, 0, 0);
const QColor kBackLow(0, 64, 0);
const QColor kBackHigh(64, 0, 0);

// Rows of bar colour counted up from the bottom edge, in column x.
int barRows(const QImage &image, int x = 8)
{
    int rows = 0;
    for (int y = image.height() - 1; y >= 0; --y) {
        const QRgb p = image.pixel(x, y);
        if (!sameColour(p, kBarLow) && !sameColour(p, kBarHigh))
            break;
        ++rows;
    }
    return rows;
}

// A default meter with solid background and bar, showing `level`.
void showLevel(VXNPPMMeter &meter, double level)
{
    meter.setGradientBackground(false);
    meter.setdBPositionNoUpdate(level);
    meter.calculatePosition();
}

}  // namespace

class TestVXNPPMMeter : public QObject
{
    Q_OBJECT

private slots:
    void metaObjectAndDefaults();
    void workedValues_data();
    void workedValues();
    void zeroHeightSplitsBarAndBackground_data();
    void zeroHeightSplitsBarAndBackground();
    void levelsAreClampedIntoTheRange();
    void rangeChangeTakesEffectAtNextCalculation();
    void calculatePositionReportsOnlyMovedBars();
    void degenerateInputsStayDefined();
    void repaintRules();
    void tickWithoutPixelMoveCostsNoPaint();
    void gradientBackgroundPixels();
    void gradientBarPixels_data();
    void gradientBarPixels();
    void gradientBarFillsEveryRowAtOddHeights();
    void middleRowIsRoundedAtOddHeights();
    void markerStaysOnDinScale();
    void changedRowsRepaintAsAWholePaintWould_data();
    void changedRowsRepaintAsAWholePaintWould();
    void rangesAwayFromZeroDecibelsStayInsideTheWidget_data();
    void rangesAwayFromZeroDecibelsStayInsideTheWidget();
    void skinImageFromEnvironmentFolder();
};

void TestVXNPPMMeter::metaObjectAndDefaults()
{
    VXNPPMMeter meter;
    const QMetaObject &mo = *meter.metaObject();
    QCOMPARE(QString(mo.className()), QString("VXNPPMMeter"));
    QCOMPARE(ownProperties(mo), QStringList({"dBPosition:double", "MindBPosition:double", "MaxdBPosition:double",
                                             "ReleasePerSecond:double", "DINCurve:bool", "GradientBackground:bool",
                                             "GradientForground:bool", "MaxColor:QColor", "MinColor:QColor",
                                             "MaxBackgroundColor:QColor", "MinBackgroundColor:QColor",
                                             "SkinEnvironmentVariable:QString", "PPMMeterBackgroundFileName:QString"}));
    for (int i = mo.propertyOffset(); i < mo.propertyCount(); ++i) {
        const QMetaProperty p = mo.property(i);
        QVERIFY2(p.isReadable() && p.isWritable() && p.isDesignable() && p.isScriptable() && p.isStored(), p.name());
    }
    // One slot and nothing else; its parameter keeps the alias spelling.
    QCOMPARE(mo.methodCount() - mo.methodOffset(), 1);
    const QMetaMethod slot = mo.method(mo.methodOffset());
    QCOMPARE(slot.methodType(), QMetaMethod::Slot);
    QCOMPARE(slot.methodSignature(), QByteArray("setdBPosition(double_db)"));
    QCOMPARE(slot.parameterNames(), QList<QByteArray>({"NewdBPosition"}));

    QCOMPARE(meter.dBPosition(), -50.0);
    QCOMPARE(meter.MindBPosition(), -50.0);
    QCOMPARE(meter.MaxdBPosition(), 5.0);
    QCOMPARE(meter.ReleasePerSecond(), 18.0);
    QVERIFY(meter.DINCurve());
    QVERIFY(meter.GradientBackground());
    QVERIFY(!meter.GradientForground());
    QVERIFY(!meter.ShowMarker());
    QCOMPARE(meter.MaxColor(), QColor(255, 0, 0, 255));
    QCOMPARE(meter.MinColor(), QColor(0, 255, 0, 255));
    QCOMPARE(meter.MaxBackgroundColor(), QColor(64, 0, 0, 255));
    QCOMPARE(meter.MinBackgroundColor(), QColor(0, 64, 0, 255));
    QVERIFY(meter.SkinEnvironmentVariable().isEmpty());
    QVERIFY(meter.PPMMeterBackgroundFileName().isEmpty());
    QCOMPARE(meter.size(), QSize(16, 200));
    QCOMPARE(meter.windowTitle(), QString("PPM Meter"));
    QVERIFY(meter.testAttribute(Qt::WA_OpaquePaintEvent));

    // Properties work through the meta-object as the form sets them.
    QVERIFY(meter.setProperty("MinColor", QColor(Qt::blue)));
    QCOMPARE(meter.MinColor(), QColor(Qt::blue));
    QVERIFY(meter.setProperty("dBPosition", -12.5));
    QCOMPARE(meter.dBPosition(), -12.5);
}

void TestVXNPPMMeter::workedValues_data()
{
    QTest::addColumn<bool>("din");
    QTest::addColumn<double>("level");
    QTest::addColumn<int>("rows");

    QTest::newRow("DIN -50") << true << -50.0 << 0;
    QTest::newRow("DIN -40") << true << -40.0 << 17;
    QTest::newRow("DIN -30") << true << -30.0 << 40;
    QTest::newRow("DIN -20") << true << -20.0 << 70;
    QTest::newRow("DIN -10") << true << -10.0 << 111;
    QTest::newRow("DIN -6") << true << -6.0 << 131;
    QTest::newRow("DIN 0") << true << 0.0 << 166;
    QTest::newRow("DIN +5") << true << 5.0 << 200;
    QTest::newRow("linear -20") << false << -20.0 << 109;
    QTest::newRow("linear 0") << false << 0.0 << 181;
    QTest::newRow("linear +5") << false << 5.0 << 200;
}

void TestVXNPPMMeter::workedValues()
{
    QFETCH(bool, din);
    QFETCH(double, level);
    QFETCH(int, rows);

    VXNPPMMeter meter;
    meter.resize(16, 200);
    meter.setDINCurve(din);
    showLevel(meter, level);
    QCOMPARE(barRows(meter.grab().toImage()), rows);
}

void TestVXNPPMMeter::zeroHeightSplitsBarAndBackground_data()
{
    QTest::addColumn<bool>("din");
    QTest::addColumn<int>("zero");
    QTest::newRow("DIN") << true << 166;
    QTest::newRow("linear") << false << 181;
}

void TestVXNPPMMeter::zeroHeightSplitsBarAndBackground()
{
    QFETCH(bool, din);
    QFETCH(int, zero);

    VXNPPMMeter meter;
    meter.setDINCurve(din);
    const int h = meter.height();

    // Silent: the solid background splits at the 0 dB row.
    showLevel(meter, -50.0);
    QImage image = meter.grab().toImage();
    QVERIFY(sameColour(image.pixel(3, h - zero), kBackLow));
    QVERIFY(sameColour(image.pixel(3, h - zero - 1), kBackHigh));
    QVERIFY(sameColour(image.pixel(3, 0), kBackHigh));
    QVERIFY(sameColour(image.pixel(3, h - 1), kBackLow));

    // Full scale: the bar is red above 0 dB and green below, over every column.
    showLevel(meter, 5.0);
    image = meter.grab().toImage();
    for (int x : {0, 8, 15}) {
        QVERIFY(sameColour(image.pixel(x, h - zero), kBarLow));
        QVERIFY(sameColour(image.pixel(x, h - zero - 1), kBarHigh));
        QVERIFY(sameColour(image.pixel(x, 0), kBarHigh));
        QVERIFY(sameColour(image.pixel(x, h - 1), kBarLow));
    }

    // Below 0 dB the whole bar is green, background above it.
    showLevel(meter, -20.0);
    image = meter.grab().toImage();
    const int top = h - (din ? 70 : 109);
    QVERIFY(sameColour(image.pixel(8, top), kBarLow));
    QVERIFY(sameColour(image.pixel(8, top - 1), top - 1 >= h - zero ? kBackLow : kBackHigh));
}

void TestVXNPPMMeter::levelsAreClampedIntoTheRange()
{
    VXNPPMMeter meter;
    meter.setGradientBackground(false);

    meter.setdBPositionNoUpdate(20.0);
    meter.calculatePosition();
    QCOMPARE(meter.dBPosition(), 5.0);
    QCOMPARE(barRows(meter.grab().toImage()), 200);

    meter.setdBPositionNoUpdate(-90.0);
    QVERIFY(meter.calculatePosition());
    QCOMPARE(meter.dBPosition(), -50.0);
    QCOMPARE(barRows(meter.grab().toImage()), 0);

    // The slot stores unclamped; only the calculation clamps.
    meter.setdBPosition(-70.0);
    QCOMPARE(meter.dBPosition(), -70.0);
    meter.calculatePosition();
    QCOMPARE(meter.dBPosition(), -50.0);
}

void TestVXNPPMMeter::rangeChangeTakesEffectAtNextCalculation()
{
    VXNPPMMeter meter;
    showLevel(meter, 0.0);
    QCOMPARE(barRows(meter.grab().toImage()), 166);

    // New derived values, but the cached bar stays until recalculated.
    meter.setMindBPosition(-60.0);
    QCOMPARE(barRows(meter.grab().toImage()), 166);
    QVERIFY(meter.calculatePosition());
    QCOMPARE(barRows(meter.grab().toImage()), 168);

    meter.setDINCurve(false);
    meter.setMaxdBPosition(0.0);
    QVERIFY(meter.calculatePosition());
    QCOMPARE(barRows(meter.grab().toImage()), 200);
}

void TestVXNPPMMeter::calculatePositionReportsOnlyMovedBars()
{
    VXNPPMMeter meter;
    // The default level maps to the initial bar height: nothing moved.
    QVERIFY(!meter.calculatePosition());

    meter.setdBPositionNoUpdate(-20.0);
    QVERIFY(meter.calculatePosition());
    QVERIFY(!meter.calculatePosition());

    // -20.01 dB is still 70 pixels; -19.9 dB is 71.
    meter.setdBPositionNoUpdate(-20.01);
    QVERIFY(!meter.calculatePosition());
    meter.setdBPositionNoUpdate(-19.9);
    QVERIFY(meter.calculatePosition());

    // A new height moves the bar for the same level (71 px -> 147 px).
    meter.resize(16, 415);
    meter.setdBPositionNoUpdate(-20.0);
    QVERIFY(meter.calculatePosition());
    meter.setGradientBackground(false);
    QCOMPARE(barRows(meter.grab().toImage()), 147);

    // The mapping switch alone changes nothing until recalculated.
    meter.setDINCurve(false);
    QVERIFY(meter.calculatePosition());
    QVERIFY(!meter.calculatePosition());
}

void TestVXNPPMMeter::degenerateInputsStayDefined()
{
    const double nan = std::numeric_limits<double>::quiet_NaN();

    // A NaN level is shown as silence and does not stick.
    VXNPPMMeter meter;
    showLevel(meter, -10.0);
    meter.setdBPositionNoUpdate(nan);
    QVERIFY(meter.calculatePosition());
    QCOMPARE(meter.dBPosition(), -50.0);
    QCOMPARE(barRows(meter.grab().toImage()), 0);

    // An empty range divides by zero; the bar must still be a sane height.
    VXNPPMMeter flat;
    flat.setGradientBackground(false);
    flat.setMindBPosition(0.0);
    flat.setMaxdBPosition(0.0);
    flat.setdBPositionNoUpdate(0.0);
    flat.calculatePosition();
    const int rows = barRows(flat.grab().toImage());
    QVERIFY(rows >= 0 && rows <= flat.height());

    // A NaN range bound is stored (it never compares equal) and repainted.
    flat.setMindBPosition(nan);
    QVERIFY(qIsNaN(flat.MindBPosition()));
    flat.calculatePosition();
    flat.setShowMarker(true);
    flat.setMarkerdBPosition(nan);
    QVERIFY(!flat.grab().isNull());
}

void TestVXNPPMMeter::repaintRules()
{
    PaintCounting<VXNPPMMeter> meter;
    meter.show();
    QVERIFY(QTest::qWaitForWindowExposed(&meter));

    struct Step {
        const char *what;
        std::function<void()> action;
        bool repaints;
    };
    const QColor red(255, 0, 0, 255);
    const std::vector<Step> steps = {
        {"slot with the same level", [&] { meter.setdBPosition(-50.0); }, true},
        {"level without update", [&] { meter.setdBPositionNoUpdate(-10.0); }, false},
        {"same minimum", [&] { meter.setMindBPosition(-50.0); }, false},
        {"new minimum", [&] { meter.setMindBPosition(-60.0); }, true},
        {"same maximum", [&] { meter.setMaxdBPosition(5.0); }, false},
        {"new maximum", [&] { meter.setMaxdBPosition(10.0); }, true},
        {"release rate", [&] { meter.setReleasePerSecond(30.0); }, false},
        {"same mapping", [&] { meter.setDINCurve(true); }, false},
        {"new mapping", [&] { meter.setDINCurve(false); }, true},
        {"same background flag", [&] { meter.setGradientBackground(true); }, false},
        {"new background flag", [&] { meter.setGradientBackground(false); }, true},
        {"same bar flag", [&] { meter.setGradientForground(false); }, false},
        {"new bar flag", [&] { meter.setGradientForground(true); }, true},
        {"same MaxColor", [&] { meter.setMaxColor(red); }, true},
        {"same MinColor", [&] { meter.setMinColor(meter.MinColor()); }, true},
        {"same MaxBackgroundColor", [&] { meter.setMaxBackgroundColor(meter.MaxBackgroundColor()); }, true},
        {"same MinBackgroundColor", [&] { meter.setMinBackgroundColor(meter.MinBackgroundColor()); }, true},
        {"marker on", [&] { meter.setShowMarker(true); }, false},
        {"marker level", [&] { meter.setMarkerdBPosition(-30.0); }, false},
        {"same skin variable", [&] { meter.setSkinEnvironmentVariable(QString()); }, false},
        {"new skin variable", [&] { meter.setSkinEnvironmentVariable("VXN_NO_SUCH_SKIN"); }, true},
        {"same skin file", [&] { meter.setPPMMeterBackgroundFileName(QString()); }, false},
        {"new skin file", [&] { meter.setPPMMeterBackgroundFileName("none.png"); }, true},
    };
    for (const Step &step : steps) {
        const int paints = paintsDuring(meter, step.action);
        QVERIFY2(step.repaints ? paints > 0 : paints == 0, step.what);
    }

    QCOMPARE(meter.ReleasePerSecond(), 30.0);
    QVERIFY(meter.ShowMarker());
    QCOMPARE(meter.MarkerdBPosition(), -30.0);
    QCOMPARE(meter.dBPosition(), -10.0);
}

void TestVXNPPMMeter::tickWithoutPixelMoveCostsNoPaint()
{
    PaintCounting<VXNPPMMeter> meter;
    meter.resize(12, 415);
    meter.show();
    QVERIFY(QTest::qWaitForWindowExposed(&meter));

    // The owner's release tick: store, recalculate, repaint only on a move.
    auto tick = [&](double level) {
        meter.setdBPositionNoUpdate(level);
        if (meter.calculatePosition())
            meter.update();
    };
    QVERIFY(paintsDuring(meter, [&] { tick(-20.0); }) > 0);
    QCOMPARE(paintsDuring(meter,
                          [&] {
                              tick(-20.0);
                              tick(-19.99);
                              tick(-19.98);
                          }),
             0);
    QVERIFY(paintsDuring(meter, [&] { tick(-21.0); }) > 0);

    // Repainting the bar shows the level stored by the slot only after the
    // calculation.
    meter.setGradientBackground(false);
    showLevel(meter, -50.0);
    QVERIFY(paintsDuring(meter, [&] { meter.setdBPosition(-10.0); }) > 0);
    QCOMPARE(barRows(meter.grab().toImage(), 6), 0);
    meter.calculatePosition();
    QVERIFY(barRows(meter.grab().toImage(), 6) > 0);
}

void TestVXNPPMMeter::gradientBackgroundPixels()
{
    VXNPPMMeter meter;  // 16 x 200, gradient background, silent
    QVERIFY(!meter.calculatePosition());
    const QImage image = meter.grab().toImage();
    const int half = 100;

    // Lower half solid, upper half from the low colour up to the high one.
    for (int y : {half, 150, 199})
        QVERIFY2(sameColour(image.pixel(5, y), kBackLow), qPrintable(QString::number(y)));
    QVERIFY(sameColour(image.pixel(5, half - 1), kBackLow, 2));
    QVERIFY(sameColour(image.pixel(5, half / 2), QColor(32, 32, 0), 2));
    QVERIFY(sameColour(image.pixel(5, 0), kBackHigh, 2));
    // Same across the width.
    QCOMPARE(image.pixel(0, 40), image.pixel(15, 40));

    // An odd height puts the middle on the nearest row (415 gives 208, not
    // 207), so the solid lower part, rows half to 2 * half - 1, reaches the
    // bottom row.
    meter.resize(12, 415);
    meter.calculatePosition();
    QVERIFY(sameColour(meter.grab().toImage().pixel(5, 414), kBackLow));

    // Solid background on an odd height: the split follows the 0 dB row.
    meter.setGradientBackground(false);
    meter.calculatePosition();
    const QImage solid = meter.grab().toImage();
    QVERIFY(sameColour(solid.pixel(5, 415 - 345), kBackLow));  // zero height 345
    QVERIFY(sameColour(solid.pixel(5, 415 - 346), kBackHigh));
}

void TestVXNPPMMeter::gradientBarPixels_data()
{
    QTest::addColumn<double>("level");
    QTest::addColumn<int>("bar");
    QTest::newRow("full scale") << 5.0 << 200;
    QTest::newRow("above half") << -10.0 << 111;
    QTest::newRow("below half") << -20.0 << 70;
    QTest::newRow("silent") << -50.0 << 0;
}

void TestVXNPPMMeter::gradientBarPixels()
{
    QFETCH(double, level);
    QFETCH(int, bar);

    VXNPPMMeter meter;
    meter.setGradientForground(true);
    showLevel(meter, level);
    const QImage image = meter.grab().toImage();
    const int h = 200, half = 100;

    // Solid low colour over the lowest min(B, half + 2) rows; above the
    // middle the gradient part covers it.
    const int solid = qMin(bar, half + 2);
    if (solid > 0) {
        QVERIFY(sameColour(image.pixel(4, h - 1), kBarLow));
        QVERIFY(sameColour(image.pixel(4, qMax(h - solid, half)), kBarLow));
    }
    if (bar > half) {
        // The gradient part starts at the low colour at the middle and
        // reaches the high colour at the top edge.
        QVERIFY(sameColour(image.pixel(4, half - 1), kBarLow, 3));
        const int top = 2 * half - bar;
        const double t = (half - top - 0.5) / half;  // gradient position of the top row
        const QColor expect(int(255 * t + 0.5), int(255 * (1 - t) + 0.5), 0);
        QVERIFY2(sameColour(image.pixel(4, top), expect, 3), qPrintable(QString::number(top)));
        if (top > 0)
            QVERIFY(sameColour(image.pixel(4, top - 1), kBackHigh, 3) ||
                    !sameColour(image.pixel(4, top - 1), expect, 20));
    } else {
        // No gradient part: above the solid rows the background shows.
        const QRgb above = image.pixel(4, h - solid - 1);
        QVERIFY(!sameColour(above, kBarLow, 10));
        QVERIFY(!sameColour(above, kBarHigh, 10));
        QVERIFY(!sameColour(image.pixel(4, 0), kBarHigh, 10));
    }
}

void TestVXNPPMMeter::changedRowsRepaintAsAWholePaintWould_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("gradientBar");
    QTest::addColumn<bool>("gradientBackground");
    QTest::newRow("415, gradient bar (the window's meters)") << 415 << true << true;
    QTest::newRow("414, gradient bar") << 414 << true << true;
    QTest::newRow("201, gradient bar, solid background") << 201 << true << false;
    QTest::newRow("415, solid bar") << 415 << false << true;
    QTest::newRow("200, solid bar, solid background") << 200 << false << false;
}

void TestVXNPPMMeter::changedRowsRepaintAsAWholePaintWould()
{
    QFETCH(int, height);
    QFETCH(bool, gradientBar);
    QFETCH(bool, gradientBackground);

    // Two windows with a meter at the same offset: one repaints only the
    // changed rows, the other the whole meter. What reaches the screen must
    // not differ, at any offset (gradient rounding depends on it).
    QRandomGenerator random(quint32(height) * 7 + gradientBar * 3 + gradientBackground);
    for (int offsets = 0; offsets < 3; ++offsets) {
        const QPoint at(random.bounded(40), random.bounded(40));
        QWidget partialWindow, wholeWindow;
        PaintCounting<VXNPPMMeter> partial(&partialWindow), whole(&wholeWindow);
        for (QWidget *window : {&partialWindow, &wholeWindow})
            window->resize(at.x() + 30, at.y() + height + 20);
        for (VXNPPMMeter *meter : {static_cast<VXNPPMMeter *>(&partial), static_cast<VXNPPMMeter *>(&whole)}) {
            meter->setGeometry(QRect(at, QSize(12, height)));
            meter->setGradientForground(gradientBar);
            meter->setGradientBackground(gradientBackground);
            meter->setMarkerdBPosition(-24.0);
            meter->setShowMarker(offsets == 1);
            meter->calculatePosition();
        }
        partialWindow.show();
        wholeWindow.show();
        QVERIFY(QTest::qWaitForWindowExposed(&partialWindow));
        QVERIFY(QTest::qWaitForWindowExposed(&wholeWindow));
        flushEvents();

        int compared = 0;
        double level = -50.0;
        for (int step = 0; step < 150; ++step) {
            // Mostly the release tick's falls, now and then a new peak or a
            // drop anywhere, also past both ends of the range.
            if (random.bounded(4) == 0)
                level = -53.0 + random.bounded(60.0);
            else
                level -= random.bounded(1.5);
            const int before = partial.paints + whole.paints;
            partial.setdBPositionNoUpdate(level);
            whole.setdBPositionNoUpdate(level);
            const bool moved = partial.calculatePosition();
            QCOMPARE(whole.calculatePosition(), moved);
            if (moved) {
                partial.update(partial.changedRows());
                whole.update();
            }
            flushEvents();
            if (partial.paints + whole.paints == before)
                continue;
            ++compared;
            const QRect meterOnScreen(at, QSize(12, height));
            const QImage shownPartial = partialWindow.screen()->grabWindow(partialWindow.winId()).toImage();
            const QImage shownWhole = wholeWindow.screen()->grabWindow(wholeWindow.winId()).toImage();
            QVERIFY2(shownPartial.copy(meterOnScreen) == shownWhole.copy(meterOnScreen),
                     qPrintable(
                         QStringLiteral("offset %1,%2 step %3 level %4").arg(at.x()).arg(at.y()).arg(step).arg(level)));
        }
        QVERIFY(compared > 50);
        // The changed rows are a small part of the meter on average.
        QVERIFY2(partial.paintedRows * 4 < whole.paintedRows,
                 qPrintable(QStringLiteral("%1 of %2 rows").arg(partial.paintedRows).arg(whole.paintedRows)));
    }
}

void TestVXNPPMMeter::gradientBarFillsEveryRowAtOddHeights()
{
    // Rows of any bar colour: the gradient runs from green to red, so red
    // and green add up to full; the background's add up to a quarter.
    auto gradientRows = [](const QImage &image) {
        int rows = 0;
        for (int y = image.height() - 1; y >= 0 && qRed(image.pixel(4, y)) + qGreen(image.pixel(4, y)) > 160; --y)
            ++rows;
        return rows;
    };
    for (int h : {415, 201, 200}) {
        for (double level : {5.0, -3.0, -10.0}) {
            VXNPPMMeter meter;
            meter.resize(12, h);
            showLevel(meter, level);
            const int bar = barRows(meter.grab().toImage(), 4);
            meter.setGradientForground(true);
            QCOMPARE(gradientRows(meter.grab().toImage()), bar);
        }
    }
}

void TestVXNPPMMeter::middleRowIsRoundedAtOddHeights()
{
    // Black to white, so even the gradient's first row differs from the
    // solid part. At an odd height the middle is the nearest row (11 gives
    // 6, not 5): the gradient part ends on row 5.
    for (int h : {11, 21, 415}) {
        const int half = (h + 1) / 2;
        VXNPPMMeter meter;
        meter.resize(12, h);
        meter.setGradientForground(true);
        meter.setGradientBackground(false);
        meter.setMinColor(Qt::black);
        meter.setMaxColor(Qt::white);
        meter.setMinBackgroundColor(Qt::blue);
        meter.setMaxBackgroundColor(Qt::blue);
        showLevel(meter, 5.0);
        QImage before = meter.grab().toImage();
        const QString at = QStringLiteral("height %1").arg(h);
        QVERIFY2(sameColour(before.pixel(4, half), Qt::black), qPrintable(at));
        if (h < 100)  // at 415 the gradient's first step rounds to black
            QVERIFY2(!sameColour(before.pixel(4, half - 1), Qt::black), qPrintable(at));

        // Every row whose pixels change as the bar passes the middle lies
        // in the changed rows; a sweep in fine steps gives each bar height.
        for (double level = 5.0; level >= -50.0; level -= 0.05) {
            meter.setdBPositionNoUpdate(level);
            meter.calculatePosition();
            const QRect changed = meter.changedRows();
            const QImage after = meter.grab().toImage();
            for (int y = 0; y < h; ++y)
                if (before.pixel(4, y) != after.pixel(4, y) && !changed.contains(4, y))
                    QFAIL(qPrintable(QStringLiteral("%1, row %2 at %3 dB not noted").arg(at).arg(y).arg(level)));
            before = after;
        }
    }
}

void TestVXNPPMMeter::markerStaysOnDinScale()
{
    VXNPPMMeter meter;
    meter.setMaxColor(Qt::yellow);
    meter.setDINCurve(false);
    meter.setGradientBackground(false);
    meter.calculatePosition();
    meter.setMarkerdBPosition(-20.0);
    const QColor red(Qt::red);

    // Off: no red anywhere in the column.
    QImage image = meter.grab().toImage();
    for (int y = 0; y < 200; ++y)
        QVERIFY(!sameColour(image.pixel(8, y), red, 40));

    // On: a 3-pixel line centred on row H - 70 (DIN), not at H - 109 (linear).
    meter.setShowMarker(true);
    image = meter.grab().toImage();
    for (int x : {0, 8, 15}) {
        QVERIFY(sameColour(image.pixel(x, 129), red, 1));
        QVERIFY(sameColour(image.pixel(x, 130), red, 1));
    }
    QVERIFY(!sameColour(image.pixel(8, 125), red, 40));
    QVERIFY(!sameColour(image.pixel(8, 134), red, 40));
    QVERIFY(!sameColour(image.pixel(8, 91), red, 40));

    // The marker lies over the bar.
    showLevel(meter, 5.0);
    image = meter.grab().toImage();
    QVERIFY(sameColour(image.pixel(8, 130), red, 1));
    QVERIFY(sameColour(image.pixel(8, 140), kBarLow));
}

void TestVXNPPMMeter::rangesAwayFromZeroDecibelsStayInsideTheWidget_data()
{
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::addColumn<bool>("din");
    QTest::addColumn<bool>("aboveZero");
    QTest::addColumn<int>("fullBar");  // bar rows at the top of the range

    QTest::newRow("above 0 dB, tiny span, DIN") << 10.0 << 10.000000001 << true << true << 200;
    QTest::newRow("above 0 dB, tiny span, linear") << 10.0 << 10.000000001 << false << true << 0;
    QTest::newRow("above 0 dB, empty span") << 10.0 << 10.0 << true << true << 0;
    QTest::newRow("below 0 dB, tiny span, DIN") << -60.0 << -59.999999999 << true << false << 200;
    QTest::newRow("below 0 dB, empty span, linear") << -60.0 << -60.0 << false << false << 0;
}

void TestVXNPPMMeter::rangesAwayFromZeroDecibelsStayInsideTheWidget()
{
    QFETCH(double, min);
    QFETCH(double, max);
    QFETCH(bool, din);
    QFETCH(bool, aboveZero);
    QFETCH(int, fullBar);

    // The 0 dB row lies far off the widget: the whole background takes
    // one side's colour and a full bar the other's, every row painted.
    VXNPPMMeter meter;
    meter.setMaxdBPosition(max);
    meter.setMindBPosition(min);
    meter.setDINCurve(din);
    meter.setShowMarker(true);
    meter.setMarkerdBPosition(-50.0);  // far below this range
    const QColor back = aboveZero ? kBackHigh : kBackLow;
    const QColor bar = aboveZero ? kBarHigh : kBarLow;

    showLevel(meter, min);
    QImage image = meter.grab().toImage();
    for (int y = 0; y < 200; ++y)
        QVERIFY2(sameColour(image.pixel(8, y), back), qPrintable(QString::number(y)));

    showLevel(meter, max);
    image = meter.grab().toImage();
    for (int y = 0; y < 200; ++y)
        QVERIFY2(sameColour(image.pixel(8, y), y >= 200 - fullBar ? bar : back), qPrintable(QString::number(y)));

    meter.setGradientBackground(true);
    meter.setGradientForground(true);
    QVERIFY(!meter.grab().isNull());
}

void TestVXNPPMMeter::skinImageFromEnvironmentFolder()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QImage blue(4, 3, QImage::Format_ARGB32);
    blue.fill(Qt::blue);
    QVERIFY(blue.save(folder.filePath("skin.png")));
    QImage cyan(4, 3, QImage::Format_ARGB32);
    cyan.fill(Qt::cyan);
    QVERIFY(cyan.save(folder.filePath("other.png")));
    qputenv("VXN_TEST_SKIN_FOLDER", QFile::encodeName(folder.path()));

    VXNPPMMeter meter;
    // Transparent colours so the image shows through; no bar.
    meter.setMaxBackgroundColor(Qt::transparent);
    meter.setMinBackgroundColor(Qt::transparent);
    meter.setGradientBackground(false);
    meter.calculatePosition();
    auto corner = [&] { return renderOnWhite(meter).pixel(1, 1); };
    QVERIFY(sameColour(corner(), Qt::white));

    // The file name alone reads "/skin.png" from the root: nothing.
    meter.setPPMMeterBackgroundFileName("skin.png");
    QVERIFY(sameColour(corner(), Qt::white));

    meter.setSkinEnvironmentVariable("VXN_TEST_SKIN_FOLDER");
    QImage image = renderOnWhite(meter);
    QVERIFY(sameColour(image.pixel(0, 0), Qt::blue));
    QVERIFY(sameColour(image.pixel(3, 2), Qt::blue));
    QVERIFY(sameColour(image.pixel(4, 2), Qt::white));  // drawn at its own size
    QVERIFY(sameColour(image.pixel(3, 3), Qt::white));

    meter.setPPMMeterBackgroundFileName("missing.png");
    QVERIFY(sameColour(corner(), Qt::white));

    meter.setPPMMeterBackgroundFileName("other.png");
    QVERIFY(sameColour(corner(), Qt::cyan));

    // Opaque colours cover the image.
    meter.setMaxBackgroundColor(kBackHigh);
    meter.setMinBackgroundColor(kBackLow);
    QVERIFY(sameColour(corner(), kBackHigh));
    qunsetenv("VXN_TEST_SKIN_FOLDER");
}

QTEST_MAIN(TestVXNPPMMeter)
#include "test_vxnppmmeter.moc"
