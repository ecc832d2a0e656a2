// Renders the four display widgets, set up as the meter window sets them up,
// into one PNG so their look can be checked by eye:
//   test_widgets_gallery OUTPUT.png
#include "mylabel.h"
#include "vxnanalogclock.h"
#include "vxndigitalclock.h"
#include "vxnppmmeter.h"
#include "vxntimesource.h"

#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <cstdio>

namespace {

const QDateTime kShown(QDate(2025, 3, 3), QTime(10, 8, 37));

// The moment the clocks read when they take the time.
QDateTime shownMoment = kShown;
QDateTime shownSource()
{
    return shownMoment;
}

VXNPPMMeter *meter(QWidget *parent, const QRect &geometry, double level, bool gradientBar)
{
    auto *m = new VXNPPMMeter(parent);
    m->setGeometry(geometry);
    m->setGradientForground(gradientBar);
    m->setdBPositionNoUpdate(level);
    m->calculatePosition();
    return m;
}

QLabel *caption(QWidget *parent, const QString &text, const QRect &geometry)
{
    auto *label = new QLabel(text, parent);
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignCenter);
    label->setStyleSheet(QStringLiteral("color: rgb(200, 200, 200); font: 11px 'DejaVu Sans';"));
    return label;
}

}  // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("LC_ALL", "en_US.UTF-8");
    QApplication app(argc, argv);
    setVXNTimeSource(&shownSource);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
        return 2;
    }

    QWidget canvas;
    canvas.resize(1180, 560);
    canvas.setAutoFillBackground(true);
    QPalette palette = canvas.palette();
    palette.setColor(QPalette::Window, QColor(24, 26, 30));
    canvas.setPalette(palette);

    // Program and control-room meters at their window size (12 x 415),
    // gradient bars as in the meter window; silence threshold on program.
    VXNPPMMeter *progLeft = meter(&canvas, QRect(54, 73, 12, 415), -3.0, true);
    VXNPPMMeter *progRight = meter(&canvas, QRect(143, 73, 12, 415), -7.5, true);
    meter(&canvas, QRect(210, 73, 12, 415), -18.0, true);
    meter(&canvas, QRect(299, 73, 12, 415), 2.5, true);
    for (VXNPPMMeter *m : {progLeft, progRight}) {
        m->setMarkerdBPosition(-40.0);
        m->setShowMarker(true);
    }
    caption(&canvas, "PGM L", QRect(35, 495, 50, 16));
    caption(&canvas, "PGM R", QRect(124, 495, 50, 16));
    caption(&canvas, "CRM L", QRect(191, 495, 50, 16));
    caption(&canvas, "CRM R", QRect(280, 495, 50, 16));

    // The solid variants at the larger size, DIN and linear side by side.
    meter(&canvas, QRect(800, 73, 19, 415), -10.0, false);
    VXNPPMMeter *linear = meter(&canvas, QRect(840, 73, 19, 415), -10.0, false);
    linear->setDINCurve(false);
    linear->calculatePosition();
    meter(&canvas, QRect(880, 73, 19, 415), 4.0, false);
    caption(&canvas, "solid DIN / linear, -10 dB; +4 dB", QRect(770, 495, 200, 16));

    // The analog clock configured as the meter window does it.
    auto *analog = new VXNAnalogClock(&canvas);
    analog->setGeometry(348, 85, 410, 410);
    analog->setHourLines(true);
    analog->setHourLinesColor(QColor(0, 255, 0, 255));
    analog->setMinuteLines(true);
    analog->setMinuteLinesLength(4);
    analog->setMinuteLinesColor(QColor(0, 170, 0, 255));
    analog->setSecondDots(true);
    analog->setSecondDotsCountDown(false);
    analog->setDotSize(4);
    analog->setDotColor(QColor(255, 255, 255, 255));
    analog->setHands(true);
    analog->setHourHandColor(QColor(255, 0, 0, 128));
    analog->setHourHandBorder(24);
    analog->setHourHandLength(12);
    analog->setHourHandWidth(12);
    analog->setMinuteHandColor(QColor(0, 0, 255, 128));
    analog->setMinuteHandBorder(8);
    analog->setMinuteHandLength(28);
    analog->setMinuteHandWidth(8);
    analog->checkTime();

    // The digital clock inside the analog clock's rectangle.
    auto *digital = new VXNDigitalClock(&canvas);
    digital->setGeometry(348, 260, 410, 111);
    QFont widgetFont(QStringLiteral("Bitstream Vera Sans"), 36, 75);
    digital->setFont(widgetFont);
    digital->setTimeDisplayFont(QFont(QStringLiteral("DejaVu Sans"), 40));
    digital->setTimeDisplayFontColor(QColor(255, 255, 255, 255));
    digital->setDateDisplay(true);
    digital->setDateDisplayFont(QFont(QStringLiteral("DejaVu Sans"), 24));
    digital->setDateDisplayFontColor(QColor(255, 255, 255, 255));
    digital->checkTime();

    // A small clock with the count-down features on: an end time 8 seconds
    // ahead (arc of 48 degrees) and a 20-unit count-down arc.
    auto *countdown = new VXNAnalogClock(&canvas);
    countdown->setGeometry(975, 73, 180, 180);
    countdown->setHourLines(true);
    countdown->setHourLinesColor(QColor(220, 220, 220));
    countdown->setMinuteLines(true);
    countdown->setMinuteLinesColor(QColor(140, 140, 140));
    countdown->setDotSize(4);
    countdown->setDotColor(QColor(255, 200, 0));
    countdown->setSecondDotsCountDown(true);
    countdown->setHourHandColor(QColor(220, 220, 220));
    countdown->setMinuteHandColor(QColor(160, 160, 255));
    countdown->setEndTime(true);
    countdown->setEndTimeWidth(4);
    countdown->setEndTimeLength(12);
    countdown->setEndTimeHour(24);
    countdown->setCountDownTime(20.0f);
    countdown->setCountDownWidth(4);
    shownMoment = QDateTime(kShown.date(), QTime(10, 59, 52));
    countdown->checkTime();
    caption(&canvas, "end time, count-down", QRect(975, 258, 180, 16));

    // Clickable labels as the window uses them: text or picture, no frame.
    auto *onAir = new myLabel(QStringLiteral("ON AIR"), &canvas);
    onAir->setGeometry(1005, 320, 121, 41);
    onAir->setAlignment(Qt::AlignCenter);
    onAir->setStyleSheet(
        QStringLiteral("background: rgb(200, 0, 0); color: white; font: bold 18px 'DejaVu Sans'; border-radius: 6px;"));

    if (!canvas.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
