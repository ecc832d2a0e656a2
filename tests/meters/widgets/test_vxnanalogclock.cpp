#include "vxnanalogclock.h"
#include "vxndigitalclock.h"
#include "vxntimesource.h"
#include "widgettesting.h"

#include <QMetaMethod>
#include <QRandomGenerator>
#include <QScreen>
#include <QtTest>

#include <limits>

namespace {

QTime fixedTime;
QDateTime fixedSource()
{
    return QDateTime(QDate(2025, 3, 3), fixedTime);
}
QDateTime movingMoment;
QDateTime movingSource()
{
    return movingMoment;
}

// A clock that shows the time the test gives it (through the clocks' time
// source, so one at a time).
class FixedClock : public PaintCounting<VXNAnalogClock>
{
public:
    FixedClock()
    {
        fixedTime = QTime(0, 0, 0);
        setVXNTimeSource(&fixedSource);
    }
    ~FixedClock() override { setVXNTimeSource(nullptr); }

    QTime &now = fixedTime;

    // Show exactly t, even when its second equals the one shown now (a
    // reading with an unchanged second is ignored by the clock).
    void showTime(const QTime &t)
    {
        now = QTime(t.hour(), t.minute(), (t.second() + 1) % 60);
        checkTime();
        now = t;
        checkTime();
    }
};

// A bare face: no pointers and no dots unless a test turns them on.
void bareFace(FixedClock &clock)
{
    clock.setHands(false);
    clock.setSecondDots(false);
}

bool isDark(QRgb p)
{
    return qGray(p) < 128;
}
bool isRed(QRgb p)
{
    return qRed(p) > 200 && qGreen(p) < 80 && qBlue(p) < 80;
}
bool isMagenta(QRgb p)
{
    return qRed(p) > 200 && qGreen(p) < 80 && qBlue(p) > 200;
}

// Dots lit on a 200 x 200 face with 6-unit dots (centres at radius 91).
int litDots(FixedClock &clock, QList<int> *which = nullptr)
{
    const QImage image = renderOnWhite(clock);
    int count = 0;
    for (int i = 0; i < 60; ++i) {
        if (isDark(dialPixel(image, 100, 100, i * 6.0, 91))) {
            ++count;
            if (which)
                which->append(i);
        }
    }
    return count;
}

// Degrees of arc found counter-clockwise from `start` (clockwise angle from
// 12 o'clock) on a circle around (cx, cy), probing whole degrees 3..357 past it.
template <typename Pred>
int arcDegrees(const QImage &image, double cx, double cy, double radius, double start, Pred pred)
{
    int count = 0;
    for (int a = 3; a <= 357; ++a)
        if (pred(dialPixel(image, cx, cy, start - a, radius)))
            ++count;
    return count;
}

}  // namespace

class TestVXNAnalogClock : public QObject
{
    Q_OBJECT

private slots:
    void metaObjectAndDefaults();
    void settersCompareBeforeRepainting();
    void checkTimeRepaintsOnNewSecondOnly();
    void steppedClockShowsAtTheNextPoll();
    void secondDots_data();
    void secondDots();
    void faceIsCentredAndScaled();
    void endTimeMarkAndArc_data();
    void endTimeMarkAndArc();
    void countDownArc_data();
    void countDownArc();
    void tickLines();
    void pointersAreTrianglesInsideTheRim();
    void changesRepaintAsAWholePaintWould_data();
    void changesRepaintAsAWholePaintWould();
};

void TestVXNAnalogClock::metaObjectAndDefaults()
{
    VXNAnalogClock clock;
    const QMetaObject &mo = *clock.metaObject();
    QCOMPARE(QString(mo.className()), QString("VXNAnalogClock"));
    QCOMPARE(ownProperties(mo), QStringList({"HourLines:bool",       "HourLinesLength:int",
                                             "HourLinesWidth:int",   "HourLinesColor:QColor",
                                             "MinuteLines:bool",     "MinuteLinesLength:int",
                                             "MinuteLinesWidth:int", "MinuteLinesColor:QColor",
                                             "SecondDots:bool",      "SecondDotsCountDown:bool",
                                             "DotSize:int",          "DotColor:QColor",
                                             "Hands:bool",           "HourHandColor:QColor",
                                             "HourHandBorder:int",   "HourHandLength:int",
                                             "HourHandWidth:int",    "MinuteHandColor:QColor",
                                             "MinuteHandBorder:int", "MinuteHandLength:int",
                                             "MinuteHandWidth:int",  "EndTime:bool",
                                             "EndTimeLength:int",    "EndTimeWidth:int",
                                             "EndTimeHour:int",      "EndTimeMinute:int",
                                             "EndTimeSecond:int",    "EndTimeColor:QColor",
                                             "CountDownTime:float",  "CountDownWidth:int",
                                             "CountDownSpacing:int", "CountDownColor:QColor"}));
    for (int i = mo.propertyOffset(); i < mo.propertyCount(); ++i) {
        const QMetaProperty p = mo.property(i);
        QVERIFY2(p.isReadable() && p.isWritable() && p.isDesignable() && p.isScriptable() && p.isStored(), p.name());
    }
    QCOMPARE(mo.methodCount() - mo.methodOffset(), 1);
    QCOMPARE(mo.method(mo.methodOffset()).methodSignature(), QByteArray("checkTime()"));
    QCOMPARE(mo.method(mo.methodOffset()).methodType(), QMetaMethod::Slot);

    const QVariantList defaults = {false, 8,
                                   2,     QColor(0, 0, 0, 255),
                                   false, 4,
                                   1,     QColor(61, 61, 61, 191),
                                   true,  false,
                                   1,     QColor(0, 0, 0, 255),
                                   true,  QColor(0, 0, 0, 255),
                                   12,    12,
                                   12,    QColor(61, 61, 61, 191),
                                   4,     8,
                                   8,     false,
                                   8,     2,
                                   0,     0,
                                   0,     QColor(255, 0, 0, 255),
                                   0.0f,  2,
                                   1,     QColor(255, 0, 255, 255)};
    for (int i = 0; i < defaults.size(); ++i) {
        const QMetaProperty p = mo.property(mo.propertyOffset() + i);
        QVERIFY2(p.read(&clock) == defaults.at(i), p.name());
    }

    QCOMPARE(clock.size(), QSize(200, 200));
    QCOMPARE(clock.windowTitle(), QString("Analog Clock"));
    QVERIFY(pollsEvery100ms(clock));
}

void TestVXNAnalogClock::settersCompareBeforeRepainting()
{
    FixedClock clock;
    clock.show();
    QVERIFY(QTest::qWaitForWindowExposed(&clock));

    // Every property: writing its value again is free, a new value repaints.
    const QMetaObject &mo = *clock.metaObject();
    for (int i = mo.propertyOffset(); i < mo.propertyCount(); ++i) {
        const QMetaProperty p = mo.property(i);
        const QVariant old = p.read(&clock);
        QVariant changed;
        switch (old.userType()) {
        case QMetaType::Bool: changed = !old.toBool(); break;
        case QMetaType::Int: changed = old.toInt() + 3; break;
        case QMetaType::Float: changed = old.toFloat() + 1.5f; break;
        default: changed = QColor(1, 2, 3); break;
        }
        QVERIFY2(paintsDuring(clock, [&] { p.write(&clock, old); }) == 0, p.name());
        QVERIFY2(paintsDuring(clock, [&] { p.write(&clock, changed); }) > 0, p.name());
        QVERIFY2(p.read(&clock) == changed, p.name());
    }

    // Colours compare by value: the same colour built anew is no change.
    QVERIFY(paintsDuring(clock, [&] { clock.setDotColor(QColor(1, 2, 3)); }) == 0);
    // A NaN count-down never equals itself, so it is always stored.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    QVERIFY(paintsDuring(clock, [&] { clock.setCountDownTime(nan); }) > 0);
    QVERIFY(paintsDuring(clock, [&] { clock.setCountDownTime(nan); }) > 0);
    QVERIFY(!renderOnWhite(clock).isNull());  // and paints without harm
}

void TestVXNAnalogClock::checkTimeRepaintsOnNewSecondOnly()
{
    FixedClock clock;
    clock.show();
    QVERIFY(QTest::qWaitForWindowExposed(&clock));

    // The first reading repaints even on second 0; then only new seconds do.
    clock.now = QTime(10, 0, 0, 100);
    QVERIFY(paintsDuring(clock, [&] { clock.checkTime(); }) > 0);
    clock.now = QTime(10, 0, 0, 900);
    QCOMPARE(paintsDuring(clock, [&] { clock.checkTime(); }), 0);
    clock.now = QTime(10, 0, 1, 0);
    QVERIFY(paintsDuring(clock, [&] { clock.checkTime(); }) > 0);
    clock.now = QTime(10, 0, 1, 500);
    QCOMPARE(paintsDuring(clock, [&] { clock.checkTime(); }), 0);

    // The widget's own timer polls the time source.
    clock.now = QTime(10, 0, 2);
    const int before = clock.paints;
    QTRY_VERIFY_WITH_TIMEOUT(clock.paints > before, 2000);
}

void TestVXNAnalogClock::steppedClockShowsAtTheNextPoll()
{
    FixedClock clock;
    clock.setSecondDots(false);
    clock.setMinuteHandColor(Qt::transparent);
    // Radius 82 lies inside the hour pointer only (tip 88, base 76).
    auto hourAt = [&](double angle) { return isDark(dialPixel(renderOnWhite(clock), 100, 100, angle, 82)); };

    clock.now = QTime(3, 0, 10);
    clock.checkTime();
    QVERIFY(hourAt(90));

    // Stepped by a whole hour, minute and second unchanged: one poll shows it.
    clock.now = QTime(4, 0, 10);
    clock.checkTime();
    QVERIFY(hourAt(120));
    QVERIFY(!hourAt(90));

    // And backwards by two hours.
    clock.now = QTime(2, 0, 10);
    clock.checkTime();
    QVERIFY(hourAt(60));

    // Half past: the hour pointer stands half way to the next hour.
    clock.showTime(QTime(4, 30, 0));
    QVERIFY(hourAt(135));
    QVERIFY(!hourAt(120));
}

void TestVXNAnalogClock::secondDots_data()
{
    QTest::addColumn<bool>("countDown");
    QTest::addColumn<int>("second");
    QTest::addColumn<int>("dots");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");

    QTest::newRow("elapsed, second 0") << false << 0 << 1 << 0 << 0;
    QTest::newRow("elapsed, second 59") << false << 59 << 60 << 0 << 59;
    QTest::newRow("elapsed, second 15") << false << 15 << 16 << 0 << 15;
    QTest::newRow("remaining, second 0") << true << 0 << 60 << 0 << 59;
    QTest::newRow("remaining, second 59") << true << 59 << 1 << 59 << 59;
    QTest::newRow("remaining, second 45") << true << 45 << 15 << 45 << 59;
}

void TestVXNAnalogClock::secondDots()
{
    QFETCH(bool, countDown);
    QFETCH(int, second);
    QFETCH(int, dots);
    QFETCH(int, first);
    QFETCH(int, last);

    FixedClock clock;
    clock.setHands(false);
    clock.setDotSize(6);
    clock.setSecondDotsCountDown(countDown);
    clock.showTime(QTime(8, 20, second));

    QList<int> lit;
    QCOMPARE(litDots(clock, &lit), dots);
    QCOMPARE(lit.first(), first);
    QCOMPARE(lit.last(), last);

    clock.setSecondDots(false);
    QCOMPARE(litDots(clock), 0);
}

void TestVXNAnalogClock::faceIsCentredAndScaled()
{
    FixedClock clock;
    clock.setHands(false);
    clock.setDotSize(6);
    clock.showTime(QTime(8, 20, 59));

    // 300 x 200: one unit per pixel, centred at (150, 100).
    clock.resize(300, 200);
    QImage image = renderOnWhite(clock);
    for (int i = 0; i < 60; i += 5)
        QVERIFY2(isDark(dialPixel(image, 150, 100, i * 6.0, 91)), qPrintable(QString::number(i)));
    QVERIFY(!isDark(dialPixel(image, 100, 100, 0, 91)));

    // 400 x 420: two pixels per unit, centred at (200, 210).
    clock.resize(400, 420);
    image = renderOnWhite(clock);
    for (int i = 0; i < 60; i += 5)
        QVERIFY2(isDark(dialPixel(image, 200, 210, i * 6.0, 182)), qPrintable(QString::number(i)));
    QVERIFY(!isDark(dialPixel(image, 200, 210, 0, 160)));
}

void TestVXNAnalogClock::endTimeMarkAndArc_data()
{
    QTest::addColumn<QTime>("end");
    QTest::addColumn<int>("endHour");
    QTest::addColumn<QTime>("now");
    QTest::addColumn<bool>("mark");
    QTest::addColumn<int>("arc");

    const QTime noon(12, 0, 0);
    QTest::newRow("noon, 10 s before") << noon << 12 << QTime(11, 59, 50) << true << 60;
    QTest::newRow("noon, 15 s before") << noon << 12 << QTime(11, 59, 45) << true << 90;
    QTest::newRow("noon, 16 s before") << noon << 12 << QTime(11, 59, 44) << true << 0;
    QTest::newRow("noon, at it") << noon << 12 << noon << true << 0;
    QTest::newRow("noon, 1 s past") << noon << 12 << QTime(12, 0, 1) << false << 0;
    QTest::newRow("noon, an hour before") << noon << 12 << QTime(10, 59, 50) << true << 0;
    QTest::newRow("day wrap") << QTime(0, 0, 5) << 0 << QTime(23, 59, 50) << true << 90;
    QTest::newRow("after midnight, 15 min before") << QTime(0, 5, 0) << 0 << QTime(23, 50, 0) << true << 0;
    QTest::newRow("after midnight, passed") << QTime(0, 5, 0) << 0 << QTime(0, 30, 0) << false << 0;
    QTest::newRow("hourly, 10 s before") << QTime(0, 0, 0) << 24 << QTime(7, 59, 50) << true << 60;
    QTest::newRow("hourly, long past") << QTime(0, 0, 0) << 24 << QTime(7, 30, 0) << true << 0;
    QTest::newRow("hourly, any hour") << QTime(0, 0, 0) << 30 << QTime(19, 59, 55) << true << 30;
}

void TestVXNAnalogClock::endTimeMarkAndArc()
{
    QFETCH(QTime, end);
    QFETCH(int, endHour);
    QFETCH(QTime, now);
    QFETCH(bool, mark);
    QFETCH(int, arc);

    FixedClock clock;
    bareFace(clock);
    clock.setEndTime(true);
    clock.setEndTimeWidth(4);
    clock.setEndTimeHour(endHour);
    clock.setEndTimeMinute(end.minute());
    clock.setEndTimeSecond(end.second());
    clock.showTime(now);

    const QImage image = renderOnWhite(clock);
    const double markAngle = (end.second() / 60.0 + end.minute()) * 6.0;
    // The mark runs from the rim 8 units inward.
    QCOMPARE(isRed(dialPixel(image, 100, 100, markAngle, 94)), mark);
    QVERIFY(!isRed(dialPixel(image, 100, 100, markAngle, 80)));
    // The arc (pen 4) runs on a circle of radius 96 around (98, 98).
    const int degrees = arcDegrees(image, 98, 98, 96, markAngle, isRed);
    if (arc == 0)
        QCOMPARE(degrees, 0);
    else
        QVERIFY2(qAbs(degrees - (arc - 3)) <= 3, qPrintable(QString::number(degrees)));

    clock.setEndTime(false);
    QVERIFY(!isRed(dialPixel(renderOnWhite(clock), 100, 100, markAngle, 94)));
}

void TestVXNAnalogClock::countDownArc_data()
{
    QTest::addColumn<float>("time");
    QTest::addColumn<int>("degrees");  // counter-clockwise from 12; negative: clockwise
    QTest::newRow("half") << 30.0f << 180;
    QTest::newRow("full") << 60.0f << 360;
    QTest::newRow("ten seconds") << 10.0f << 60;
    QTest::newRow("clockwise quarter") << -15.0f << -90;
    QTest::newRow("off") << 0.0f << 0;
}

void TestVXNAnalogClock::countDownArc()
{
    QFETCH(float, time);
    QFETCH(int, degrees);

    FixedClock clock;
    bareFace(clock);
    clock.setCountDownWidth(4);
    clock.setCountDownTime(time);
    const QImage image = renderOnWhite(clock);

    // Radius 96 - HourLinesLength - CountDownSpacing = 87 around the centre.
    int ccw = 0, cw = 0;
    for (int a = 1; a < 360; ++a) {
        if (isMagenta(dialPixel(image, 100, 100, -a, 87)))
            ++ccw;
        if (isMagenta(dialPixel(image, 100, 100, a, 87)))
            ++cw;
    }
    if (degrees == 0) {
        QCOMPARE(ccw, 0);
    } else if (degrees == 360) {
        QVERIFY(ccw >= 357);
    } else if (degrees > 0) {
        QVERIFY2(qAbs(ccw - degrees) <= 4, qPrintable(QString::number(ccw)));
        QVERIFY(isMagenta(dialPixel(image, 100, 100, -degrees / 2.0, 87)));
        QVERIFY(!isMagenta(dialPixel(image, 100, 100, 10, 87)));
    } else {
        QVERIFY2(qAbs(cw + degrees) <= 4, qPrintable(QString::number(cw)));
        QVERIFY(isMagenta(dialPixel(image, 100, 100, 90, 87)));    // 3 o'clock
        QVERIFY(!isMagenta(dialPixel(image, 100, 100, 270, 87)));  // 9 o'clock
    }

    // The arc moves in with longer hour ticks.
    if (degrees == 360) {
        clock.setHourLinesLength(18);
        const QImage moved = renderOnWhite(clock);
        QVERIFY(isMagenta(dialPixel(moved, 100, 100, 90, 77)));
        QVERIFY(!isMagenta(dialPixel(moved, 100, 100, 90, 87)));
    }
}

void TestVXNAnalogClock::tickLines()
{
    FixedClock clock;
    bareFace(clock);
    clock.setHourLinesWidth(4);
    clock.setMinuteLinesWidth(2);
    clock.setMinuteLinesColor(Qt::blue);
    auto blue = [](QRgb p) { return qBlue(p) > 200 && qRed(p) < 80; };

    QImage image = renderOnWhite(clock);
    QVERIFY(!isDark(dialPixel(image, 100, 100, 0, 92)));

    // Hour ticks: radius 96 inward by length plus width (96 .. 84).
    clock.setHourLines(true);
    image = renderOnWhite(clock);
    for (int h = 0; h < 12; ++h) {
        QVERIFY(isDark(dialPixel(image, 100, 100, h * 30.0, 95)));
        QVERIFY(isDark(dialPixel(image, 100, 100, h * 30.0, 86)));
        QVERIFY(!isDark(dialPixel(image, 100, 100, h * 30.0, 82)));
        QVERIFY(!isDark(dialPixel(image, 100, 100, h * 30.0, 98)));
    }
    QVERIFY(!isDark(dialPixel(image, 100, 100, 6, 92)));

    // Minute ticks on the 48 other minutes only (96 .. 90).
    clock.setHourLines(false);
    clock.setMinuteLines(true);
    image = renderOnWhite(clock);
    int minuteTicks = 0;
    for (int m = 0; m < 60; ++m)
        if (blue(dialPixel(image, 100, 100, m * 6.0, 93)))
            ++minuteTicks;
    QCOMPARE(minuteTicks, 48);
    QVERIFY(!blue(dialPixel(image, 100, 100, 0, 93)));
    QVERIFY(!blue(dialPixel(image, 100, 100, 6, 88)));
}

void TestVXNAnalogClock::pointersAreTrianglesInsideTheRim()
{
    FixedClock clock;
    clock.setSecondDots(false);
    clock.setHourHandColor(Qt::transparent);
    clock.setMinuteHandColor(Qt::black);

    // Minute pointer (border 4, length 8, width 8) at quarter past: tip at
    // radius 96, base at radius 88 and 8 units wide, pointing at 3 o'clock.
    clock.showTime(QTime(0, 15, 0));
    QImage image = renderOnWhite(clock);
    for (int r = 88; r <= 94; ++r)
        QVERIFY2(isDark(dialPixel(image, 100, 100, 90, r + 0.5)), qPrintable(QString::number(r)));
    QVERIFY(!isDark(dialPixel(image, 100, 100, 90, 86.5)));
    QVERIFY(!isDark(dialPixel(image, 100, 100, 90, 97.5)));
    // Across the base: about four units either side of the axis.
    QVERIFY(isDark(image.pixel(189, 97)));
    QVERIFY(isDark(image.pixel(189, 102)));
    QVERIFY(!isDark(image.pixel(189, 94)));
    QVERIFY(!isDark(image.pixel(189, 105)));

    // The seconds carry the minute pointer along: half a minute is 3 degrees.
    clock.showTime(QTime(0, 15, 30));
    image = renderOnWhite(clock);
    QVERIFY(isDark(dialPixel(image, 100, 100, 93, 94.5)));
    QVERIFY(!isDark(dialPixel(image, 100, 100, 90, 94.5)));

    // Hour pointer with its own border, length and width: at 3:00 its tip
    // lies 20 units inside the rim and its base 20 units further in.
    clock.setMinuteHandColor(Qt::transparent);
    clock.setHourHandColor(Qt::black);
    clock.setHourHandBorder(20);
    clock.setHourHandLength(20);
    clock.setHourHandWidth(10);
    clock.showTime(QTime(3, 0, 0));
    image = renderOnWhite(clock);
    for (int r = 61; r <= 76; ++r)
        QVERIFY2(isDark(dialPixel(image, 100, 100, 90, r + 0.5)), qPrintable(QString::number(r)));
    QVERIFY(!isDark(dialPixel(image, 100, 100, 90, 58.5)));
    QVERIFY(!isDark(dialPixel(image, 100, 100, 90, 81.5)));
    QVERIFY(isDark(image.pixel(161, 96)));
    QVERIFY(!isDark(image.pixel(161, 92)));

    // The second dots are drawn last, over a pointer that covers them.
    clock.setHourHandColor(Qt::red);
    clock.setHourHandBorder(4);
    clock.setHourHandWidth(20);
    clock.setSecondDots(true);
    clock.setDotSize(6);
    clock.setDotColor(Qt::blue);
    clock.showTime(QTime(3, 0, 15));
    image = renderOnWhite(clock);
    QVERIFY(isRed(dialPixel(image, 100, 100, 90, 85)));
    const QRgb dot = dialPixel(image, 100, 100, 90, 91);
    QVERIFY2(qBlue(dot) > 200 && qRed(dot) < 60, qPrintable(QColor(dot).name()));
}

void TestVXNAnalogClock::changesRepaintAsAWholePaintWould_data()
{
    QTest::addColumn<bool>("countDown");
    QTest::newRow("the window's clocks") << false;
    QTest::newRow("dots counting down, end-time mark and arc") << true;
}

void TestVXNAnalogClock::changesRepaintAsAWholePaintWould()
{
    QFETCH(bool, countDown);

    // Two windows with the window's pair of clocks, the analog face over
    // the digital one's bands: in one the clocks repaint what changed, in
    // the other everything. What reaches the screen must not differ.
    struct Pair {
        QWidget window;
        PaintCounting<VXNDigitalClock> digital{&window};
        PaintCounting<VXNAnalogClock> analog{&window};
    } partial, whole;
    for (Pair *p : {&partial, &whole}) {
        p->window.resize(430, 430);
        p->window.setPalette(QPalette(QColor(20, 30, 60)));
        p->digital.setGeometry(10, 185, 410, 111);
        QFont bold;
        bold.setWeight(75);
        p->digital.setFont(bold);  // the bands' fonts take the weight from it
        p->digital.setTimeDisplayFont(QFont(QStringLiteral("DejaVu Sans"), 40));
        p->digital.setTimeDisplayFontColor(Qt::white);
        p->digital.setDateDisplayFont(QFont(QStringLiteral("DejaVu Sans"), 24));
        p->digital.setDateDisplayFontColor(Qt::white);
        VXNAnalogClock &a = p->analog;
        a.setGeometry(10, 10, 410, 410);
        a.setHourLines(true);
        a.setHourLinesColor(Qt::green);
        a.setMinuteLines(true);
        a.setDotSize(4);
        a.setDotColor(Qt::white);
        a.setSecondDotsCountDown(countDown);
        a.setHourHandColor(QColor(255, 0, 0, 128));
        a.setHourHandBorder(24);
        a.setMinuteHandColor(QColor(0, 0, 255, 128));
        a.setMinuteHandBorder(8);
        a.setMinuteHandLength(28);
        a.setEndTime(countDown);
        a.setEndTimeHour(0);
        a.setEndTimeMinute(0);
        a.setEndTimeSecond(5);
        a.setEndTimeWidth(4);
        a.setCountDownTime(countDown ? 40.0f : 0.0f);
        a.raise();
    }
    movingMoment = QDateTime(QDate(2025, 12, 31), QTime(23, 59, 30));
    setVXNTimeSource(&movingSource);
    partial.window.show();
    whole.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&partial.window));
    QVERIFY(QTest::qWaitForWindowExposed(&whole.window));

    // Seconds past the minute, hour, day and year and past the end time,
    // past a quarter past three (both pointers over the time band), then
    // steps and jumps at random.
    QRandomGenerator random(countDown ? 11 : 7);
    for (int step = 0; step < 160; ++step) {
        if (step == 60)
            movingMoment = QDateTime(QDate(2026, 1, 1), QTime(3, 14, 50));
        else if (step < 80)
            movingMoment = movingMoment.addSecs(1);
        else if (random.bounded(6) == 0)
            movingMoment = movingMoment.addSecs(random.bounded(1, 90000));
        else
            movingMoment = movingMoment.addSecs(random.bounded(1, 4));
        for (Pair *p : {&partial, &whole}) {
            p->digital.checkTime();
            p->analog.checkTime();
        }
        whole.digital.update();
        whole.analog.update();
        flushEvents();
        const QImage shownPartial = partial.window.screen()->grabWindow(partial.window.winId()).toImage();
        const QImage shownWhole = whole.window.screen()->grabWindow(whole.window.winId()).toImage();
        QVERIFY2(shownPartial == shownWhole, qPrintable(movingMoment.toString(Qt::ISODate)));
    }
    setVXNTimeSource(nullptr);
    // Even with the jumps and new minutes, which repaint whole, less than
    // half of either clock is repainted.
    QVERIFY2(partial.analog.paintedPixels * 2 < whole.analog.paintedPixels,
             qPrintable(QString::number(partial.analog.paintedPixels)));
    QVERIFY2(partial.digital.paintedPixels * 2 < whole.digital.paintedPixels,
             qPrintable(QString::number(partial.digital.paintedPixels)));
}

QTEST_MAIN(TestVXNAnalogClock)
#include "test_vxnanalogclock.moc"
