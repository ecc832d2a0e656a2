#include "vxndigitalclock.h"
#include "vxntimesource.h"
#include "widgettesting.h"

#include <QMetaMethod>
#include <QPainter>
#include <QtTest>

namespace {

QDateTime fixedMoment;
QDateTime fixedSource()
{
    return fixedMoment;
}

// A clock that shows the moment the test gives it (through the clocks' time
// source, so one at a time).
class FixedClock : public PaintCounting<VXNDigitalClock>
{
public:
    FixedClock()
    {
        fixedMoment = QDateTime(QDate(2025, 3, 3), QTime(9, 5, 7));
        setVXNTimeSource(&fixedSource);
    }
    ~FixedClock() override { setVXNTimeSource(nullptr); }

    QDateTime &now = fixedMoment;
};

QFont pixelFont(int pixels)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixels);
    return font;
}

// What one band should look like: text centred in a rectangle, on white.
QImage expectedBand(const QSize &size, const QRect &band, const QFont &font, const QColor &colour, const QString &text)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(colour);
    painter.setFont(font);
    painter.drawText(band, Qt::AlignCenter, text);
    return image;
}

// Bounding box of the pixels that match pred.
template <typename Pred>
QRect inkBox(const QImage &image, Pred pred)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (pred(image.pixel(x, y)))
                box |= QRect(x, y, 1, 1);
    return box;
}

bool reddish(QRgb p)
{
    return qRed(p) > 160 && qGreen(p) < 120 && qBlue(p) < 120;
}
bool bluish(QRgb p)
{
    return qBlue(p) > 160 && qRed(p) < 120 && qGreen(p) < 120;
}

}  // namespace

class TestVXNDigitalClock : public QObject
{
    Q_OBJECT

private slots:
    void metaObjectAndDefaults();
    void nothingShowsBeforeTheFirstReading();
    void texts_data();
    void texts();
    void bandPlacement();
    void repaintRules();
};

void TestVXNDigitalClock::metaObjectAndDefaults()
{
    VXNDigitalClock clock;
    const QMetaObject &mo = *clock.metaObject();
    QCOMPARE(QString(mo.className()), QString("VXNDigitalClock"));
    QCOMPARE(ownProperties(mo),
             QStringList({"TimeDisplay:bool", "TimeDisplayFont:QFont", "TimeDisplayFontColor:QColor",
                          "DateDisplay:bool", "DateDisplayFont:QFont", "DateDisplayFontColor:QColor"}));
    for (int i = mo.propertyOffset(); i < mo.propertyCount(); ++i) {
        const QMetaProperty p = mo.property(i);
        QVERIFY2(p.isReadable() && p.isWritable() && p.isDesignable() && p.isScriptable() && p.isStored(), p.name());
    }
    QCOMPARE(mo.methodCount() - mo.methodOffset(), 1);
    QCOMPARE(mo.method(mo.methodOffset()).methodSignature(), QByteArray("checkTime()"));
    QCOMPARE(mo.method(mo.methodOffset()).methodType(), QMetaMethod::Slot);

    QVERIFY(clock.TimeDisplay());
    QVERIFY(clock.DateDisplay());
    QCOMPARE(clock.TimeDisplayFont(), QFont());
    QCOMPARE(clock.DateDisplayFont(), QFont());
    QVERIFY(!clock.TimeDisplayFontColor().isValid());
    QVERIFY(!clock.DateDisplayFontColor().isValid());
    QCOMPARE(clock.size(), QSize(100, 30));
    QCOMPARE(clock.windowTitle(), QString("Digital Clock"));
    QVERIFY(pollsEvery100ms(clock));
}

void TestVXNDigitalClock::nothingShowsBeforeTheFirstReading()
{
    FixedClock clock;
    clock.resize(200, 80);
    const QImage image = renderOnWhite(clock);
    QVERIFY(inkBox(image, [](QRgb p) { return qGray(p) < 250; }).isNull());

    // The unset colours paint as opaque black once there is text.
    clock.checkTime();
    const QImage text = renderOnWhite(clock);
    QVERIFY(!inkBox(text, [](QRgb p) { return qGray(p) < 40; }).isNull());
}

void TestVXNDigitalClock::texts_data()
{
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("date");
    QTest::newRow("morning") << QDateTime(QDate(2025, 3, 3), QTime(9, 5, 7)) << "09:05:07"
                             << "Mon 3 Mar 2025";
    QTest::newRow("last second of a year") << QDateTime(QDate(2024, 12, 31), QTime(23, 59, 59)) << "23:59:59"
                                           << "Tue 31 Dec 2024";
    QTest::newRow("midnight") << QDateTime(QDate(2026, 1, 1), QTime(0, 0, 0)) << "00:00:00"
                              << "Thu 1 Jan 2026";
}

void TestVXNDigitalClock::texts()
{
    QFETCH(QDateTime, now);
    QFETCH(QString, time);
    QFETCH(QString, date);

    FixedClock clock;
    clock.resize(300, 100);
    const QFont timeFont = pixelFont(24);
    const QFont dateFont = pixelFont(14);
    clock.setTimeDisplayFont(timeFont);
    clock.setDateDisplayFont(dateFont);
    clock.setTimeDisplayFontColor(Qt::red);
    clock.setDateDisplayFontColor(Qt::blue);
    clock.now = now;
    clock.checkTime();

    // Each line alone matches the expected text drawn in its band.
    clock.setDateDisplay(false);
    const QRect timeBand(0, 0, 300, 50);
    QCOMPARE(renderOnWhite(clock), expectedBand(clock.size(), timeBand, timeFont, Qt::red, time));
    QVERIFY(renderOnWhite(clock) != expectedBand(clock.size(), timeBand, timeFont, Qt::red, "09:05:08"));

    clock.setDateDisplay(true);
    clock.setTimeDisplay(false);
    const QRect dateBand(0, 0, 300, 50);
    QCOMPARE(renderOnWhite(clock), expectedBand(clock.size(), dateBand, dateFont, Qt::blue, date));
    QVERIFY(renderOnWhite(clock) != expectedBand(clock.size(), dateBand, dateFont, Qt::blue, "Mon 03 Mar 2025"));
}

void TestVXNDigitalClock::bandPlacement()
{
    FixedClock clock;
    clock.resize(300, 100);  // half = 50
    QFont timeFont = pixelFont(20);
    clock.setTimeDisplayFont(timeFont);
    clock.setDateDisplayFont(pixelFont(12));
    clock.setTimeDisplayFontColor(Qt::red);
    clock.setDateDisplayFontColor(Qt::blue);
    clock.checkTime();

    // Time centred in the top half; date centred in a half-height band that
    // starts one time-line height down.
    QImage image = renderOnWhite(clock);
    QRect time = inkBox(image, reddish);
    QRect date = inkBox(image, bluish);
    QVERIFY(!time.isNull() && !date.isNull());
    QVERIFY2(qAbs(time.center().y() - 25) <= 3, qPrintable(QString::number(time.center().y())));
    QVERIFY(qAbs(time.center().x() - 150) <= 3);
    const int line = QFontMetrics(timeFont).height();
    QVERIFY2(qAbs(date.center().y() - (line + 25)) <= 3, qPrintable(QString::number(date.center().y())));
    QVERIFY(qAbs(date.center().x() - 150) <= 3);

    // Without the time line the date takes the top half.
    clock.setTimeDisplay(false);
    image = renderOnWhite(clock);
    QVERIFY(inkBox(image, reddish).isNull());
    date = inkBox(image, bluish);
    QVERIFY(qAbs(date.center().y() - 25) <= 3);

    // A time font taller than half the widget pushes the date band below the
    // middle, partly out of the widget.
    timeFont = pixelFont(64);
    clock.setTimeDisplay(true);
    clock.setTimeDisplayFont(timeFont);
    QVERIFY(QFontMetrics(timeFont).height() > 50);
    image = renderOnWhite(clock);
    date = inkBox(image, bluish);
    QVERIFY(!date.isNull());
    QVERIFY(date.top() > 50 + 20);
    QCOMPARE(date.bottom(), 99);

    // Neither line: nothing at all.
    clock.setTimeDisplay(false);
    clock.setDateDisplay(false);
    QVERIFY(inkBox(renderOnWhite(clock), [](QRgb p) { return qGray(p) < 250; }).isNull());
}

void TestVXNDigitalClock::repaintRules()
{
    FixedClock clock;
    clock.setTimeDisplayFont(pixelFont(20));
    clock.show();
    QVERIFY(QTest::qWaitForWindowExposed(&clock));

    // Values equal to the current ones are free, new ones repaint.
    QCOMPARE(paintsDuring(clock, [&] { clock.setTimeDisplayFont(pixelFont(20)); }), 0);
    QVERIFY(paintsDuring(clock, [&] { clock.setTimeDisplayFont(pixelFont(21)); }) > 0);
    QCOMPARE(paintsDuring(clock, [&] { clock.setDateDisplayFont(QFont()); }), 0);
    QVERIFY(paintsDuring(clock, [&] { clock.setDateDisplayFont(pixelFont(9)); }) > 0);
    QCOMPARE(paintsDuring(clock, [&] { clock.setTimeDisplayFontColor(QColor()); }), 0);
    QVERIFY(paintsDuring(clock, [&] { clock.setTimeDisplayFontColor(Qt::red); }) > 0);
    QCOMPARE(paintsDuring(clock, [&] { clock.setTimeDisplayFontColor(QColor(255, 0, 0)); }), 0);
    QVERIFY(paintsDuring(clock, [&] { clock.setDateDisplayFontColor(Qt::blue); }) > 0);
    QCOMPARE(paintsDuring(clock, [&] { clock.setDateDisplayFontColor(Qt::blue); }), 0);
    QCOMPARE(paintsDuring(clock, [&] { clock.setTimeDisplay(true); }), 0);
    QVERIFY(paintsDuring(clock, [&] { clock.setTimeDisplay(false); }) > 0);
    QCOMPARE(paintsDuring(clock, [&] { clock.setDateDisplay(true); }), 0);
    QVERIFY(paintsDuring(clock, [&] { clock.setDateDisplay(false); }) > 0);
    QCOMPARE(clock.DateDisplayFont(), pixelFont(9));
    QCOMPARE(clock.TimeDisplayFontColor(), QColor(Qt::red));

    // Time readings repaint on a new second only (where text shows).
    clock.setTimeDisplay(true);
    clock.now = QDateTime(QDate(2025, 3, 3), QTime(9, 5, 7, 100));
    QVERIFY(paintsDuring(clock, [&] { clock.checkTime(); }) > 0);
    clock.now = QDateTime(QDate(2025, 3, 3), QTime(9, 5, 7, 600));
    QCOMPARE(paintsDuring(clock, [&] { clock.checkTime(); }), 0);
    clock.now = QDateTime(QDate(2025, 3, 3), QTime(9, 5, 8));
    QVERIFY(paintsDuring(clock, [&] { clock.checkTime(); }) > 0);
    // A clock stepped by whole hours shows at the very next poll.
    clock.now = QDateTime(QDate(2025, 3, 3), QTime(11, 5, 8));
    QVERIFY(paintsDuring(clock, [&] { clock.checkTime(); }) > 0);

    // The widget's own timer polls the time source.
    clock.now = QDateTime(QDate(2025, 3, 3), QTime(9, 5, 9));
    const int before = clock.paints;
    QTRY_VERIFY_WITH_TIMEOUT(clock.paints > before, 2000);
}

int main(int argc, char **argv)
{
    // Day and month names come from the system locale: make it English.
    qputenv("LC_ALL", "en_US.UTF-8");
    qputenv("LANG", "en_US.UTF-8");
    QApplication app(argc, argv);
    TestVXNDigitalClock test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_vxndigitalclock.moc"
