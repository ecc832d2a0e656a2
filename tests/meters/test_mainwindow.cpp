// The real MainWindow, offscreen, against a fake mixer on loopback. The
// settings store lives in a temporary XDG_CONFIG_HOME, so nothing here
// touches the user's settings, and the library's log files go to a temporary
// working folder.
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QDir>
#include <QImage>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QMutexLocker>
#include <QPixmap>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <QUdpSocket>

#include <atomic>
#include <chrono>
#include <cmath>
#include <memory>
#include <thread>

#include "clocksync.h"
#include "formtesting.h"
#include "incidentlog.h"
#include "qt_fake_mixer.h"
#include "mainwindow.h"
#include "mylabel.h"
#include "pointerhider.h"
#include "tavelin_version.h"
#include "ui_mainwindow.h"
#include "vxnanalogclock.h"
#include "vxndigitalclock.h"
#include "vxnppmmeter.h"

namespace {

// Wire numbers of the state requests, in the order the window must send them.
const QVector<int> stateBurst = {36, 32, 34, 26, 28, 13, 40, 37, 41, 38, 43};

QString lamp(int number, const char *colour)
{
    return QStringLiteral("image: url(:/resources/png/KorvaneMeterIcons2/sunken/%1-%2.png);")
        .arg(number)
        .arg(QLatin1String(colour));
}

QString icon(const char *name, bool active)
{
    return QStringLiteral("image: url(:/resources/png/KorvaneMeterIcons2/signals/%1-%2.png);")
        .arg(QLatin1String(name))
        .arg(active ? QLatin1String("active") : QLatin1String("inactive"));
}

QStringList incidents;
void keepIncident(const QString &line)
{
    incidents.append(line);
}
// The incidents since the last call, without their stamps.
QStringList takeIncidents()
{
    QStringList events;
    for (const QString &line : incidents)
        events << line.section(QLatin1Char(' '), 1);
    incidents.clear();
    return events;
}

bool clockSynced = true;
bool fakeClockSync()
{
    return clockSynced;
}

double luminance(QRgb p)
{
    auto channel = [](int c) {
        const double v = c / 255.0;
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(p)) + 0.7152 * channel(qGreen(p)) + 0.0722 * channel(qBlue(p));
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool samePicture(const QPixmap &a, const char *path)
{
    return a.toImage() == QPixmap(QString::fromLatin1(path)).toImage();
}

// Counts paint events of the widgets it watches.
class PaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// Counts style sheet changes of the widgets it watches.
class StyleChangeCounter : public QObject
{
public:
    int changes = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::StyleChange)
            ++changes;
        return false;
    }
};

}  // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<FakeMixer> mixer;
    quint16 recvPort = 0;

    static QString systemStoreFolder()
    {
        return QFile::decodeName(qgetenv("XDG_CONFIG_DIRS")) + QStringLiteral("/Zorbel");
    }

    // Points the settings store at the fake mixer on fresh ports.
    void prepareStore()
    {
        mixer.reset(new FakeMixer);
        recvPort = kt::free_udp_port();
        mixer->set_target(recvPort);
        QSettings settings(QStringLiteral("Zorbel"), QStringLiteral("Tavelin Meters"));
        settings.clear();
        settings.setValue(QStringLiteral("udp_send"), mixer->port());
        settings.setValue(QStringLiteral("udp_recv"), recvPort);
        settings.setValue(QStringLiteral("use_default_ports"), false);
        settings.setValue(QStringLiteral("remote_host"), QStringLiteral("127.0.0.1"));
    }

    // A window that has sent its first burst and is online.
    std::unique_ptr<MainWindow> onlineWindow()
    {
        prepareStore();
        std::unique_ptr<MainWindow> w(new MainWindow);
        if (!mixer->waitForRequests(stateBurst.size()))
            return nullptr;
        mixer->meters(-20, -20, -20, -20);
        for (int i = 0; i < 200 && !w->online; ++i)
            QTest::qWait(10);
        if (!w->online)
            return nullptr;
        mixer->clear();
        return w;
    }

    // Every laid-out widget with its rectangle on the 986 x 650 design canvas.
    static QVector<QPair<QWidget *, QRect>> designTable(MainWindow &w)
    {
        Ui_MainWindow *ui = w.ui;
        QVector<QPair<QWidget *, QRect>> table = {
            {ui->ProgLeft, {54, 73, 12, 415}},      {ui->ProgRight, {143, 73, 12, 415}},
            {ui->CrmLeft, {210, 73, 12, 415}},      {ui->CrmRight, {299, 73, 12, 415}},
            {ui->AnalogClock, {348, 85, 410, 410}}, {ui->DigitalClock, {348, 260, 410, 111}},
            {ui->proglabel, {69, 504, 71, 31}},     {ui->crmlabel, {230, 504, 61, 31}},
            {ui->timelabel, {485, 504, 141, 31}},   {ui->signalslabel, {810, 504, 141, 31}},
            {ui->footerlabel, {380, 620, 340, 21}}, {w.settingsButton, {900, 28, 25, 25}}};
        for (int i = 0; i < 6; ++i)
            table.append({w.moduleLamps[i], QRect(53 + 164 * i, 546, 61, 61)});
        QLabel *const sources[6] = {ui->label_src_1, ui->label_src_2, ui->label_src_3,
                                    ui->label_src_4, ui->label_src_5, ui->label_src_6};
        for (int i = 0; i < 6; ++i)
            table.append({sources[i], QRect(76 + 164 * i, 581, 31, 20)});
        table += {{ui->label_telring, {820, 166, 121, 41}}, {ui->label_onair1, {820, 214, 121, 41}},
                  {ui->label_onair2, {820, 262, 121, 41}},  {w.nonStopIndicator, {820, 310, 121, 41}},
                  {ui->label_silence, {820, 358, 121, 41}}, {ui->label_micon, {820, 406, 121, 41}},
                  {ui->label_crmmute, {820, 454, 121, 41}}, {ui->label_mictime, {509, 390, 90, 16}}};
        return table;
    }

    static double level(MainWindow &w, double MainWindow::*member)
    {
        QMutexLocker locker(&w.stateLock);
        return w.*member;
    }

    // The meters' targets, as the intake stores them.
    static void setLevels(MainWindow &w, double progLeft, double progRight, double crmLeft, double crmRight)
    {
        QMutexLocker locker(&w.stateLock);
        w.progLeftLevel = progLeft;
        w.progRightLevel = progRight;
        w.crmLeftLevel = crmLeft;
        w.crmRightLevel = crmRight;
    }

private slots:
    void metaObjectOrder()
    {
        // Signals first, then the slots, in this order.
        const QStringList expected = {"doRedrawModules()",
                                      "doRedrawSignals()",
                                      "doHandleMicTimer()",
                                      "doKeepAliveTimer()",
                                      "doConfigSilenceDetection()",
                                      "meterRelease()",
                                      "openSettings()",
                                      "onConfigSilenceDetection()",
                                      "onRedrawModules()",
                                      "onRedrawSignals()",
                                      "onModuleClicked(int)",
                                      "onSilenceAlarm()",
                                      "onVoicetrack()",
                                      "onNonStopClicked()",
                                      "onHandleMicTimer()",
                                      "onShowMicTimer()",
                                      "onSetUdpPorts(short,short,bool,QString)",
                                      "onKeepAliveTimeout()",
                                      "onKeepAliveTimer()",
                                      "onlineStatusChanged()"};
        const QMetaObject &mo = MainWindow::staticMetaObject;
        QCOMPARE(QString::fromLatin1(mo.className()), QStringLiteral("MainWindow"));
        QStringList actual;
        for (int i = mo.methodOffset(); i < mo.methodCount(); ++i)
            actual << QString::fromLatin1(mo.method(i).methodSignature());
        QCOMPARE(actual, expected);
    }

    void constructionState()
    {
        prepareStore();
        MainWindow w;

        QVERIFY(w.ui->footerlabel->text().endsWith(QStringLiteral(" - version " TAVELIN_VERSION_TEXT)));
        QCOMPARE(QCoreApplication::organizationName(), QStringLiteral("Zorbel"));
        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Tavelin Meters"));

        // The clickable labels belong to the window itself, above the form.
        QCOMPARE(w.settingsButton->parentWidget(), &w);
        QCOMPARE(w.settingsButton->styleSheet(), QStringLiteral("image: url(:/resources/png/Settings.png);"));
        QCOMPARE(w.nonStopIndicator->parentWidget(), &w);
        QCOMPARE(w.nonStopIndicator->styleSheet(), icon("nonstop", false));
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(w.moduleLamps[i]->parentWidget(), &w);
            QCOMPARE(w.moduleLamps[i]->styleSheet(), lamp(i + 1, "grey"));
        }

        // Timers: only the release tick runs on its own; the handle's burst
        // started the mic display and the time-out.
        QVERIFY(w.meterReleaseTimer->isActive());
        QCOMPARE(w.meterReleaseTimer->interval(), 10);
        QVERIFY(!w.meterReleaseTimer->isSingleShot());
        QVERIFY(!w.silenceAlarmTimer->isActive());
        QVERIFY(!w.voiceTrackTimer->isActive());
        QVERIFY(w.micDisplayTimer->isActive());
        QCOMPARE(w.micDisplayTimer->interval(), 100);
        QVERIFY(w.keepAliveTimeoutTimer->isSingleShot());
        QCOMPARE(w.keepAliveTimeoutTimer->interval(), 3000);
        QVERIFY(w.micElapsed->isValid());

        // Nothing laid out before the first resize and paint.
        QCOMPARE(w.windowSize, QSize(-1, -1));
        QVERIFY(!w.layoutDirty);
        QVERIFY(w.scaledStatusBackground.isNull() && w.scaledFrameBackground.isNull());
        QVERIFY(samePicture(w.frameBackground, ":/resources/png/MorvidBackgroundEmpty.png"));
    }

    void requestBurstThenOnlineOnFirstMeter()
    {
        prepareStore();
        MainWindow w;
        QVERIFY(w.handle != nullptr);
        QVERIFY(mixer->waitForRequests(stateBurst.size()));
        QCOMPARE(mixer->requests(), stateBurst);
        QVERIFY(!w.online);
        QVERIFY(w.keepAliveTimeoutTimer->isActive());
        QVERIFY(w.micDisplayTimer->isActive());
        QVERIFY(samePicture(w.statusBackground, ":/resources/png/background_offline.png"));

        mixer->clear();
        mixer->meters(-10, -11, -12, -13);
        QTRY_VERIFY_WITH_TIMEOUT(w.online, 2000);
        QVERIFY(w.voiceTrackTimer->isActive());
        QVERIFY(w.layoutDirty);
        QVERIFY(samePicture(w.statusBackground, ":/resources/png/background_online.png"));
        QCOMPARE(level(w, &MainWindow::progLeftLevel), -10.0);
        QCOMPARE(level(w, &MainWindow::progRightLevel), -11.0);
        QCOMPARE(level(w, &MainWindow::crmLeftLevel), -12.0);
        QCOMPARE(level(w, &MainWindow::crmRightLevel), -13.0);

        // The requests sent at opening suffice: no second burst.
        QTest::qWait(200);
        QVERIFY(mixer->requests().isEmpty());

        // Quarter decibels reach the control-room levels; levels 2 and 3 are not shown.
        mixer->event(48, {0x00, 0x00, 0x35, 0x35, 0xA5, 0x65});
        QTRY_COMPARE_WITH_TIMEOUT(level(w, &MainWindow::crmRightLevel), -12.75, 2000);
        QCOMPARE(level(w, &MainWindow::crmLeftLevel), -12.5);
        QCOMPARE(level(w, &MainWindow::progLeftLevel), -50.0);
        QCOMPARE(level(w, &MainWindow::progRightLevel), -50.0);
    }

    void unreachableMixerGoesOfflineOnceThenRecovers()
    {
        prepareStore();
        MainWindow w;
        QVERIFY(mixer->waitForRequests(stateBurst.size()));
        mixer->clear();

        // Replies do not count as a sign of life.
        mixer->reply(32, {1, 1, 0, 0, 0, 0, 0, 0});
        QTRY_VERIFY_WITH_TIMEOUT(!w.keepAliveTimeoutTimer->isActive(), 4500);
        QVERIFY(!w.online);
        QVERIFY(!w.voiceTrackTimer->isActive());
        QVERIFY(!w.micDisplayTimer->isActive());
        QCOMPARE(w.moduleLamps[0]->styleSheet(), lamp(1, "grey"));
        QVERIFY(w.ui->label_mictime->isHidden());
        QVERIFY(samePicture(w.statusBackground, ":/resources/png/background_offline.png"));

        // The first meter message after the silence asks for everything again.
        mixer->meters(-20, -20, -20, -20);
        QVERIFY(mixer->waitForRequests(stateBurst.size()));
        QCOMPARE(mixer->requests(), stateBurst);
        QTRY_VERIFY_WITH_TIMEOUT(w.online, 2000);
    }

    void offlineAfterSilenceAndBurstOnResumption()
    {
        auto w = onlineWindow();
        QVERIFY(w);

        // Light up what going offline must blank.
        mixer->reply(40, {1, 1});  // on air 1 and 2
        mixer->reply(37, {1});     // non-stop
        mixer->reply(41, {1});     // silence
        mixer->reply(38, {1});     // mic on
        mixer->reply(43, {1});     // CRM mute
        mixer->event(45, {1});     // phone
        mixer->reply(26, {0x22, 0x22, 0x22, 0, 0x0A, 0x0A, 0, 0});
        mixer->reply(32, {1, 1, 1, 1, 1, 1, 0, 0});
        QTRY_COMPARE_WITH_TIMEOUT(w->ui->label_crmmute->styleSheet(), icon("crmmute", true), 2000);
        QTRY_COMPARE_WITH_TIMEOUT(w->moduleLamps[5]->styleSheet(), lamp(6, "green"), 2000);
        QTRY_COMPARE_WITH_TIMEOUT(w->micOnState, 1, 2000);
        QVERIFY(w->silenceAlarmTimer->isActive());

        // Still online well inside the time-out, offline once it has passed.
        QTest::qWait(1500);
        QVERIFY(w->online);
        QTRY_VERIFY_WITH_TIMEOUT(!w->online, 4000);

        QVERIFY(samePicture(w->statusBackground, ":/resources/png/background_offline.png"));
        QVERIFY(!w->micDisplayTimer->isActive());
        QVERIFY(!w->silenceAlarmTimer->isActive());
        QVERIFY(!w->voiceTrackTimer->isActive());
        for (int i = 0; i < 6; ++i)
            QCOMPARE(w->moduleLamps[i]->styleSheet(), lamp(i + 1, "grey"));
        QCOMPARE(level(*w, &MainWindow::progLeftLevel), -50.0);
        QCOMPARE(level(*w, &MainWindow::crmRightLevel), -50.0);
        QVERIFY(w->ui->label_mictime->isHidden());
        QCOMPARE(w->micOnState, 0);
        QCOMPARE(w->ui->label_onair1->styleSheet(), icon("onair1", false));
        QCOMPARE(w->ui->label_onair2->styleSheet(), icon("onair2", false));
        QCOMPARE(w->nonStopIndicator->styleSheet(), icon("nonstop", false));
        QCOMPARE(w->ui->label_silence->styleSheet(), icon("silence", false));
        QCOMPARE(w->ui->label_micon->styleSheet(), icon("micon", false));
        QCOMPARE(w->ui->label_crmmute->styleSheet(), icon("crmmute", false));
        // The phone keeps its last picture.
        QCOMPARE(w->ui->label_telring->styleSheet(), icon("phone", true));

        // Meters resume: the whole state is asked for again, in order.
        QVERIFY(mixer->requests().isEmpty());
        mixer->meters(-30, -30, -30, -30);
        QVERIFY(mixer->waitForRequests(stateBurst.size()));
        QCOMPARE(mixer->requests(), stateBurst);
        QTRY_VERIFY_WITH_TIMEOUT(w->online, 2000);
        QVERIFY(w->voiceTrackTimer->isActive());
        QVERIFY(w->micDisplayTimer->isActive());
    }

    void intakeOrderOfEffects()
    {
        prepareStore();
        MainWindow w;
        QVERIFY(mixer->waitForRequests(stateBurst.size()));

        // What each signal sees of the state at the moment it is emitted.
        QStringList log;
        connect(
            &w, &MainWindow::doRedrawModules, &w,
            [&]() {
                log << QStringLiteral("modules on=%1 fader=%2 colour=%3")
                           .arg(w.moduleOnState[7])
                           .arg(w.moduleFaderState[7])
                           .arg(w.moduleLampColours[7].inactive);
            },
            Qt::DirectConnection);
        connect(
            &w, &MainWindow::doRedrawSignals, &w,
            [&]() {
                log << QStringLiteral("signals %1 %2 %3 %4 %5 %6 %7")
                           .arg(w.onAir1State)
                           .arg(w.onAir2State)
                           .arg(w.nonStopState)
                           .arg(w.silenceState)
                           .arg(w.micOnState)
                           .arg(w.crmMuteState)
                           .arg(w.phoneState);
            },
            Qt::DirectConnection);
        connect(
            &w, &MainWindow::doHandleMicTimer, &w, [&]() { log << QStringLiteral("mic %1").arg(w.micOnState); },
            Qt::DirectConnection);
        connect(
            &w, &MainWindow::doConfigSilenceDetection, &w,
            [&]() { log << QStringLiteral("silence config %1").arg(w.silenceDetectionConfig.threshold); },
            Qt::DirectConnection);
        connect(
            &w, &MainWindow::doKeepAliveTimer, &w, [&]() { log << QStringLiteral("alive %1").arg(w.progLeftLevel); },
            Qt::DirectConnection);

        auto deliver = [&w](int id, const void *data) {
            const korvane_event event = {id, 1, data};
            w.handleMixerEvent(&event);
        };
        const int32_t eights[8] = {0, 0, 0, 0, 0, 0, 0, 1};
        korvane_lamp_colours colours = {};
        colours.module[7].inactive = 2;
        const korvane_silence silence = {-33, 10, 0, 2, 1};
        const int32_t one[2] = {1, 1};
        const int32_t zero[2] = {0, 0};
        const float levels[6] = {-7.5f, -8.0f, 3.0f, 3.0f, -12.5f, -12.75f};
        const korvane_firmware firmware = {1, 2, 3, "x"};

        deliver(KORVANE_ID_MODULE_ON, eights);
        deliver(KORVANE_ID_FADER, eights);
        deliver(KORVANE_ID_CONFIG_ON, &colours);
        deliver(KORVANE_ID_CONFIG_SILENCE_DETECTION, &silence);
        deliver(KORVANE_ID_ON_AIR, one);
        deliver(KORVANE_ID_NON_STOP, one);
        deliver(KORVANE_ID_SILENCE, one);
        deliver(KORVANE_ID_CRM_MUTE, one);
        deliver(KORVANE_ID_PHONE, one);
        deliver(KORVANE_ID_MIC_ON, one);
        deliver(KORVANE_ID_MIC_ON, zero);
        deliver(KORVANE_ID_VOICE_TRACK, eights);
        deliver(KORVANE_ID_FIRMWARE_VERSION, &firmware);
        deliver(KORVANE_ID_CONFIG_AUTO_ON, eights);  // a configuration reply the window ignores
        deliver(KORVANE_ID_METERS, levels);

        const QStringList expected = {"modules on=1 fader=0 colour=0", "modules on=1 fader=1 colour=0",
                                      "modules on=1 fader=1 colour=2", "silence config -33", "signals 1 1 0 0 0 0 0",
                                      "signals 1 1 1 0 0 0 0", "signals 1 1 1 1 0 0 0", "signals 1 1 1 1 0 1 0",
                                      "signals 1 1 1 1 0 1 1",
                                      // Mic on and off: the timer first, then the icons, each time.
                                      "mic 1", "signals 1 1 1 1 1 1 1", "mic 0", "signals 1 1 1 1 0 1 1",
                                      // The meter message announces itself before it stores the levels.
                                      "alive -50"};
        QCOMPARE(log, expected);
        QCOMPARE(w.voiceTrackState[7], 1);
        QCOMPARE(w.progLeftLevel, -7.5);
        QCOMPARE(w.progRightLevel, -8.0);
        QCOMPARE(w.crmLeftLevel, -12.5);
        QCOMPARE(w.crmRightLevel, -12.75);
    }

    void moduleLampColours()
    {
        auto w = onlineWindow();
        QVERIFY(w);
        w->voiceTrackTimer->stop();

        // Module 2: active green, on with fader open red, off grey.
        mixer->reply(26, {0x20, 0, 0, 0, 0x04, 0, 0, 0});
        mixer->reply(32, {0, 1, 0, 0, 0, 0, 0, 0});
        QTRY_COMPARE_WITH_TIMEOUT(w->moduleLamps[1]->styleSheet(), lamp(2, "green"), 2000);
        mixer->event(34, {0, 1, 0, 0, 0, 0, 0, 0});
        QTRY_COMPARE_WITH_TIMEOUT(w->moduleLamps[1]->styleSheet(), lamp(2, "red"), 2000);
        mixer->event(32, {0, 0, 0, 0, 0, 0, 0, 0});
        QTRY_COMPARE_WITH_TIMEOUT(w->moduleLamps[1]->styleSheet(), lamp(2, "grey"), 2000);

        // A spontaneous colour change is shown too (module 2 now inactive red).
        mixer->event(26, {0x60, 0, 0, 0, 0x04, 0, 0, 0});
        QTRY_COMPARE_WITH_TIMEOUT(w->moduleLamps[1]->styleSheet(), lamp(2, "red"), 2000);
        QCOMPARE(w->moduleLamps[0]->styleSheet(), lamp(1, "grey"));

        // Every redraw assigns each lamp's style sheet again, also when the
        // state and so the picture are unchanged.
        QTest::qWait(50);
        StyleChangeCounter lampTwo, lampSix;
        w->moduleLamps[1]->installEventFilter(&lampTwo);
        w->moduleLamps[5]->installEventFilter(&lampSix);
        w->onRedrawModules();
        w->onRedrawModules();
        QCOMPARE(w->moduleLamps[1]->styleSheet(), lamp(2, "red"));
        QCOMPARE(lampTwo.changes, 2);
        QCOMPARE(lampSix.changes, 2);
        // On with the fader still open: red as when off. Fader closed: green.
        mixer->event(32, {0, 1, 0, 0, 0, 0, 0, 0});
        mixer->event(34, {0, 0, 0, 0, 0, 0, 0, 0});
        QTRY_COMPARE_WITH_TIMEOUT(w->moduleLamps[1]->styleSheet(), lamp(2, "green"), 2000);
    }

    void voiceTrackBlinking()
    {
        auto w = onlineWindow();
        QVERIFY(w);
        w->voiceTrackTimer->stop();

        // Modules 1, 3 and 4 on, active colour green (code 2), inactive grey.
        mixer->reply(26, {0x02, 0x22, 0, 0, 0, 0, 0, 0});
        mixer->reply(32, {1, 0, 1, 1, 0, 0, 0, 0});
        mixer->reply(13, {1, 0, 1, 1, 0, 0, 0, 0});
        QTRY_VERIFY_WITH_TIMEOUT(w->voiceTrackState[3] == 1, 2000);
        QTest::qWait(50);

        QStringList first, third, fourth;
        for (int tick = 0; tick < 4; ++tick) {
            w->onVoicetrack();
            first << w->moduleLamps[0]->styleSheet();
            third << w->moduleLamps[2]->styleSheet();
            fourth << w->moduleLamps[3]->styleSheet();
        }
        QCOMPARE(first, QStringList({lamp(1, "green"), lamp(1, "grey"), lamp(1, "green"), lamp(1, "grey")}));
        QCOMPARE(third, QStringList({lamp(3, "green"), lamp(3, "grey"), lamp(3, "green"), lamp(3, "grey")}));
        // Modules 4 and 5 never blink.
        QCOMPARE(fourth, QStringList({lamp(4, "green"), lamp(4, "green"), lamp(4, "green"), lamp(4, "green")}));

        // Leaving voice-track mode: the next redraw shows the lamp steadily.
        mixer->reply(13, {0, 0, 0, 0, 0, 0, 0, 0});
        QTRY_VERIFY_WITH_TIMEOUT(w->voiceTrackState[0] == 0, 2000);
        w->onVoicetrack();
        w->onVoicetrack();
        QCOMPARE(w->moduleLamps[0]->styleSheet(), lamp(1, "green"));

        // The real timer blinks it while online.
        mixer->reply(13, {1, 0, 0, 0, 0, 0, 0, 0});
        w->voiceTrackTimer->start(400);
        bool sawGreen = false, sawGrey = false;
        for (int i = 0; i < 60 && !(sawGreen && sawGrey); ++i) {
            QTest::qWait(25);
            sawGreen |= w->moduleLamps[0]->styleSheet() == lamp(1, "green");
            sawGrey |= w->moduleLamps[0]->styleSheet() == lamp(1, "grey");
            mixer->meters(-20, -20, -20, -20);
        }
        QVERIFY(sawGreen && sawGrey);
    }

    void signalIconsAndSourceLabels()
    {
        auto w = onlineWindow();
        QVERIFY(w);

        mixer->reply(40, {1, 0});
        mixer->reply(37, {1});
        mixer->reply(38, {1});
        mixer->reply(43, {0});
        mixer->event(45, {1});
        mixer->reply(36, {1, 0, 2, 0, 0, 7, 1, 1});
        QTRY_COMPARE_WITH_TIMEOUT(w->ui->label_telring->styleSheet(), icon("phone", true), 2000);
        QCOMPARE(w->ui->label_onair1->styleSheet(), icon("onair1", true));
        QCOMPARE(w->ui->label_onair2->styleSheet(), icon("onair2", false));
        QCOMPARE(w->nonStopIndicator->styleSheet(), icon("nonstop", true));
        QCOMPARE(w->ui->label_micon->styleSheet(), icon("micon", true));
        QCOMPARE(w->ui->label_crmmute->styleSheet(), icon("crmmute", false));
        QCOMPARE(w->ui->label_silence->styleSheet(), icon("silence", false));

        QTRY_COMPARE_WITH_TIMEOUT(w->ui->label_src_6->text(), QStringLiteral("VOIP"), 2000);
        QCOMPARE(w->ui->label_src_1->text(), QStringLiteral("MIC"));
        QCOMPARE(w->ui->label_src_2->text(), QStringLiteral("LINE"));
        QCOMPARE(w->ui->label_src_3->text(), QStringLiteral("USB"));
        QCOMPARE(w->ui->label_src_4->text(), QStringLiteral("LINE"));
        QCOMPARE(w->ui->label_src_5->text(), QStringLiteral("LINE"));

        // Each signal redraw assigns every icon again, unchanged or not.
        StyleChangeCounter onAir1Changes;
        w->ui->label_onair1->installEventFilter(&onAir1Changes);
        w->onRedrawSignals();
        w->onRedrawSignals();
        QCOMPARE(onAir1Changes.changes, 2);
        QCOMPARE(w->ui->label_onair1->styleSheet(), icon("onair1", true));

        // Only exactly 1 counts as active.
        mixer->reply(40, {2, 1});
        QTRY_COMPARE_WITH_TIMEOUT(w->ui->label_onair2->styleSheet(), icon("onair2", true), 2000);
        QCOMPARE(w->ui->label_onair1->styleSheet(), icon("onair1", false));

        // Silence: the icon blinks with the alarm's phase until silence ends.
        mixer->reply(41, {1});
        QTRY_VERIFY_WITH_TIMEOUT(w->silenceAlarmTimer->isActive(), 2000);
        QCOMPARE(w->ui->label_silence->styleSheet(), icon("silence", true));
        w->onSilenceAlarm();
        QCOMPARE(w->ui->label_silence->styleSheet(), icon("silence", false));
        w->onSilenceAlarm();
        QCOMPARE(w->ui->label_silence->styleSheet(), icon("silence", true));
        mixer->reply(41, {0});
        QTRY_VERIFY_WITH_TIMEOUT(!w->silenceAlarmTimer->isActive(), 2000);
        QCOMPARE(w->ui->label_silence->styleSheet(), icon("silence", false));
    }

    void micTimer()
    {
        QCOMPARE(MainWindow::micTimeText(0), QStringLiteral("00:00:00"));
        QCOMPARE(MainWindow::micTimeText(307999), QStringLiteral("00:05:07"));
        QCOMPARE(MainWindow::micTimeText(3600000 * 3 + 61000), QStringLiteral("03:01:01"));
        // Whole hours beyond a day, also past 2^31 ms (24.8 days).
        QCOMPARE(MainWindow::micTimeText(3600000 * 25 + 1000), QStringLiteral("25:00:01"));
        QCOMPARE(MainWindow::micTimeText(qint64(3600000) * 600), QStringLiteral("600:00:00"));

        auto w = onlineWindow();
        QVERIFY(w);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));

        QTest::qWait(1100);
        mixer->reply(38, {1});
        QTRY_VERIFY_WITH_TIMEOUT(w->ui->label_mictime->isVisible(), 2000);
        QTRY_COMPARE_WITH_TIMEOUT(w->ui->label_mictime->text(), QStringLiteral("00:00:00"), 1000);
        QTRY_COMPARE_WITH_TIMEOUT(w->ui->label_mictime->text(), QStringLiteral("00:00:01"), 3000);

        // A dropout with the microphone still open keeps the count.
        w->keepAliveTimeoutTimer->stop();
        w->onKeepAliveTimeout();
        QVERIFY(!w->online);
        mixer->meters(-20, -20, -20, -20);
        QVERIFY(mixer->waitForRequests(stateBurst.size()));
        mixer->reply(38, {1});
        QTRY_VERIFY_WITH_TIMEOUT(w->ui->label_mictime->isVisible(), 2000);
        QTest::qWait(300);
        QVERIFY2(w->ui->label_mictime->text() >= QStringLiteral("00:00:01"), qPrintable(w->ui->label_mictime->text()));

        // Mic off hides the time; the count itself keeps running.
        mixer->reply(38, {0});
        QTRY_VERIFY_WITH_TIMEOUT(!w->ui->label_mictime->isVisible(), 2000);
        mixer->meters(-20, -20, -20, -20);  // still online
        const QString atMicOff = w->ui->label_mictime->text();
        QTRY_VERIFY_WITH_TIMEOUT(w->ui->label_mictime->text() != atMicOff, 2500);
        QVERIFY(!w->ui->label_mictime->isVisible());

        // A real off -> on starts afresh.
        mixer->reply(38, {1});
        QTRY_VERIFY_WITH_TIMEOUT(w->ui->label_mictime->isVisible(), 2000);
        QTRY_COMPARE_WITH_TIMEOUT(w->ui->label_mictime->text(), QStringLiteral("00:00:00"), 1000);
    }

    void clicksSendRemoteCommands()
    {
        prepareStore();
        MainWindow w;
        QVERIFY(mixer->waitForRequests(stateBurst.size()));
        mixer->clear();

        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // Every lamp switches its own module: 5, 0, 1, ... 4.
        for (int i = 0; i < 6; ++i)
            QTest::mouseClick(w.moduleLamps[(i + 5) % 6], Qt::LeftButton);
        QTest::mouseClick(w.nonStopIndicator, Qt::LeftButton);
        QTest::mouseClick(w.ui->label_onair1, Qt::LeftButton);

        QTRY_COMPARE_WITH_TIMEOUT(mixer->messages().size(), 7, 2000);
        QTest::qWait(100);
        const QList<QByteArray> sent = mixer->messages();
        QCOMPARE(sent.size(), 7);
        for (int i = 0; i < 6; ++i)
            QCOMPARE(sent.at(i).toHex(), QByteArray("a0a004050") + QByteArray::number((i + 5) % 6) + "02000000000000");
        QCOMPARE(sent.at(6).toHex(), QByteArray("a0a0030a0200000000000000"));
        // The lamp waits for the mixer's answer.
        QCOMPARE(w.moduleLamps[2]->styleSheet(), lamp(3, "grey"));
    }

    void silenceMarker()
    {
        auto w = onlineWindow();
        QVERIFY(w);

        // Threshold -40 dB (signed byte), source 2 (both), config 1.
        mixer->reply(28, {static_cast<quint8>(-40), 10, 0, 2, 1});
        QTRY_VERIFY_WITH_TIMEOUT(w->ui->ProgRight->ShowMarker(), 2000);
        QVERIFY(w->ui->ProgLeft->ShowMarker());
        QCOMPARE(w->ui->ProgLeft->MarkerdBPosition(), -40.0);
        QVERIFY(!w->ui->CrmLeft->ShowMarker());

        mixer->reply(28, {static_cast<quint8>(-30), 10, 0, 1, 1});
        QTRY_VERIFY_WITH_TIMEOUT(!w->ui->ProgLeft->ShowMarker(), 2000);
        QVERIFY(w->ui->ProgRight->ShowMarker());
        QCOMPARE(w->ui->ProgRight->MarkerdBPosition(), -30.0);

        // An unknown source leaves the markers as they were.
        mixer->reply(28, {static_cast<quint8>(-30), 10, 0, 7, 1});
        QTest::qWait(200);
        QVERIFY(!w->ui->ProgLeft->ShowMarker());
        QVERIFY(w->ui->ProgRight->ShowMarker());

        mixer->reply(28, {static_cast<quint8>(-30), 10, 0, 2, 0});
        QTRY_VERIFY_WITH_TIMEOUT(!w->ui->ProgRight->ShowMarker(), 2000);
        QVERIFY(!w->ui->ProgLeft->ShowMarker());

        // Source 0: the left program meter only.
        mixer->reply(28, {static_cast<quint8>(-25), 10, 0, 0, 1});
        QTRY_VERIFY_WITH_TIMEOUT(w->ui->ProgLeft->ShowMarker(), 2000);
        QVERIFY(!w->ui->ProgRight->ShowMarker());
        QCOMPARE(w->ui->ProgLeft->MarkerdBPosition(), -25.0);
    }

    void settingsWrittenOnCloseAndReadBack()
    {
        prepareStore();
        {
            QSettings settings(QStringLiteral("Zorbel"), QStringLiteral("Tavelin Meters"));
            settings.setValue(QStringLiteral("udp_send"), 40000);
            settings.setValue(QStringLiteral("use_default_ports"), true);
            settings.setValue(QStringLiteral("remote_host"), QStringLiteral("127.0.0.2"));
        }
        {
            MainWindow w;
            QCOMPARE(static_cast<quint16>(w.udpSendPort), quint16(40000));
            QCOMPARE(static_cast<quint16>(w.udpRecvPort), recvPort);
            QVERIFY(w.useDefaultPorts);
            QCOMPARE(w.remoteHost, QStringLiteral("127.0.0.2"));
            QVERIFY(w.handle != nullptr);
            w.onSetUdpPorts(static_cast<qint16>(40001), static_cast<qint16>(recvPort), false,
                            QStringLiteral("127.0.0.1"));
        }
        {
            QSettings settings(QStringLiteral("Zorbel"), QStringLiteral("Tavelin Meters"));
            QCOMPARE(settings.value(QStringLiteral("udp_send")).toInt(), 40001);
            QCOMPARE(settings.value(QStringLiteral("udp_recv")).toInt(), int(recvPort));
            QCOMPARE(settings.value(QStringLiteral("use_default_ports")).toBool(), false);
            QCOMPARE(settings.value(QStringLiteral("remote_host")).toString(), QStringLiteral("127.0.0.1"));
            QCOMPARE(settings.value(QStringLiteral("current_screen")).toInt(), 0);
            QVERIFY(!settings.value(QStringLiteral("geometry")).toByteArray().isEmpty());
        }

        // A missing store gives the defaults (the window may or may not get the
        // default receive port; only the values matter here).
        {
            QSettings settings(QStringLiteral("Zorbel"), QStringLiteral("Tavelin Meters"));
            settings.clear();
        }
        {
            MainWindow w;
            QCOMPARE(static_cast<quint16>(w.udpSendPort), quint16(18153));
            QCOMPARE(static_cast<quint16>(w.udpRecvPort), quint16(18150));
            QVERIFY(w.useDefaultPorts);
            QCOMPARE(w.remoteHost, QStringLiteral("127.0.0.1"));
            // At the top-left corner of screen 0, at the form's size.
            QCOMPARE(w.pos(), QGuiApplication::screens().at(0)->geometry().topLeft());
            QCOMPARE(w.size(), QSize(986, 650));
        }
        QSettings settings(QStringLiteral("Zorbel"), QStringLiteral("Tavelin Meters"));
        // Only the placement: the connection keys stay the system-wide ones
        // until the user accepts the settings dialog.
        QCOMPARE(settings.allKeys(), (QStringList{QStringLiteral("current_screen"), QStringLiteral("geometry")}));

        // A screen that no longer exists: the primary screen, then the stored
        // geometry (here none) on top.
        settings.clear();
        settings.setValue(QStringLiteral("current_screen"), 5);
        settings.sync();
        {
            MainWindow w;
            QCOMPARE(w.pos(), QGuiApplication::primaryScreen()->geometry().topLeft());
        }
        settings.clear();
    }

    // The studio's defaults in /etc/xdg (here XDG_CONFIG_DIRS) apply as long
    // as the user has not chosen otherwise in the dialog.
    void systemWideDefaultsKeepApplying()
    {
        prepareStore();
        QSettings(QStringLiteral("Zorbel"), QStringLiteral("Tavelin Meters")).clear();
        QVERIFY(QDir().mkpath(systemStoreFolder()));
        const QString systemStore = systemStoreFolder() + QStringLiteral("/Tavelin Meters.conf");
        auto writeSystemStore = [&](const char *host) {
            QFile file(systemStore);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(QStringLiteral("[General]\nremote_host=%1\nuse_default_ports=false\nudp_send=%2\nudp_recv=%3\n")
                           .arg(QLatin1String(host))
                           .arg(mixer->port())
                           .arg(recvPort)
                           .toLatin1());
        };
        writeSystemStore("127.0.0.2");
        {
            MainWindow first;
            QCOMPARE(first.remoteHost, QStringLiteral("127.0.0.2"));
        }
        writeSystemStore("127.0.0.33");
        {
            MainWindow next;
            QCOMPARE(next.remoteHost, QStringLiteral("127.0.0.33"));
            QCOMPARE(static_cast<quint16>(next.udpSendPort), mixer->port());
        }
        QVERIFY(QFile::remove(systemStore));
    }

    // A store that cannot be written, even by root: a regular file where its
    // folder should be.
    void unsavedSettingsAreShownAndNeverReportedSaved()
    {
        prepareStore();
        MainWindow w;
        const QString folder = QFileInfo(MainWindow::settingsStorePath()).absolutePath();
        QVERIFY(QDir().rename(folder, folder + QStringLiteral(".away")));
        {
            QFile blocker(folder);
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        }
        // Whatever fails below, the later cases get their store back.
        std::shared_ptr<void> unblock(nullptr, [folder](void *) {
            if (QFileInfo(folder).isFile()) {
                QFile::remove(folder);
                QDir().rename(folder + QStringLiteral(".away"), folder);
            }
        });
        takeIncidents();
        const QString unsaved =
            QStringLiteral("settings-unsaved %1 Not a directory").arg(MainWindow::settingsStorePath());

        w.onSetUdpPorts(w.udpSendPort, w.udpRecvPort, false, QStringLiteral("127.0.0.1"));
        QCOMPARE(takeIncidents(), QStringList{unsaved});
        QVERIFY(!w.settingsNotice->isHidden());
        QCOMPARE(w.settingsNotice->text(), QStringLiteral("SETTINGS NOT SAVED"));
        // Each write the user caused says so; the minute's retries do not.
        w.toggleFullScreen();
        QCOMPARE(takeIncidents(), QStringList{unsaved});
        w.retrySettings();
        QVERIFY(takeIncidents().isEmpty());
        QVERIFY(!w.settingsNotice->isHidden());

        // Once the store can be written the retry saves what was lost.
        unblock.reset();
        QVERIFY(QFileInfo(folder).isDir());
        QSettings(QStringLiteral("Zorbel"), QStringLiteral("Tavelin Meters")).remove(QStringLiteral("remote_host"));
        w.retrySettings();
        QCOMPARE(takeIncidents(), QStringList{QStringLiteral("settings-saved")});
        QVERIFY(w.settingsNotice->isHidden());
        QVERIFY(!w.settingsRetryTimer->isActive());
        QCOMPARE(QSettings(QStringLiteral("Zorbel"), QStringLiteral("Tavelin Meters"))
                     .value(QStringLiteral("remote_host"))
                     .toString(),
                 QStringLiteral("127.0.0.1"));
    }

    void fullScreenKeyIsRememberedAtOnce()
    {
        prepareStore();
        {
            MainWindow w;
            w.show();
            QVERIFY(QTest::qWaitForWindowActive(&w));
            QTest::keyClick(&w, Qt::Key_F11);
            QTRY_VERIFY(w.isFullScreen());

            // Stored right away, not only on close: a power cut keeps it.
            QSettings settings(QStringLiteral("Zorbel"), QStringLiteral("Tavelin Meters"));
            QWidget probe;
            probe.restoreGeometry(settings.value(QStringLiteral("geometry")).toByteArray());
            QVERIFY(probe.windowState() & Qt::WindowFullScreen);
            QVERIFY(settings.contains(QStringLiteral("current_screen")));
        }

        // The next start comes back in full screen; F11 then gives the
        // window as it was before.
        MainWindow w;
        w.show();
        QTRY_VERIFY(w.isFullScreen());
        QTRY_COMPARE(w.geometry(), w.screen()->geometry());
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(&w, Qt::Key_F11);
        QTRY_VERIFY(!w.isFullScreen());
        QTRY_COMPARE(w.size(), QSize(986, 650));

        // A crash from here on: the store holds the window, not the full
        // screen's geometry as a window.
        auto stored = [] {
            QWidget probe;
            probe.restoreGeometry(QSettings(QStringLiteral("Zorbel"), QStringLiteral("Tavelin Meters"))
                                      .value(QStringLiteral("geometry"))
                                      .toByteArray());
            return probe.windowState() & Qt::WindowFullScreen ? QSize() : probe.size();
        };
        QTRY_COMPARE(stored(), QSize(986, 650));
    }

    void pointerHidesAtRestInFullScreenOnly()
    {
        prepareStore();
        MainWindow w;
        PointerHider *hider = w.pointerHider;
        QCOMPARE(hider->idleInterval(), 3000);
        QCOMPARE(hider->findChild<QTimer *>()->timerType(), Qt::PreciseTimer);
        hider->setIdleInterval(50);  // the same path, a shorter wait

        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::qWait(200);
        QVERIFY(!hider->isPointerHidden());

        w.toggleFullScreen();
        QTRY_VERIFY(hider->isPointerHidden());
        QCOMPARE(w.cursor().shape(), Qt::BlankCursor);

        // A move brings it back, and rest hides it again.
        QTest::mouseMove(w.windowHandle(), QPoint(120, 90));
        QVERIFY(!hider->isPointerHidden());
        QCOMPARE(w.cursor().shape(), Qt::ArrowCursor);
        QTRY_VERIFY(hider->isPointerHidden());

        // Out of full screen it shows and stays.
        w.toggleFullScreen();
        QTRY_VERIFY(!w.isFullScreen());
        QVERIFY(!hider->isPointerHidden());
        QCOMPARE(w.cursor().shape(), Qt::ArrowCursor);
        QTest::qWait(200);
        QVERIFY(!hider->isPointerHidden());
    }

    void layoutWorkedValues_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QRect>("progLeft");
        QTest::addColumn<QRect>("analogClock");
        QTest::addColumn<QVector<int>>("fonts");
        QTest::addColumn<QPoint>("offset");
        QTest::addColumn<float>("scale");
        QTest::newRow("986x650") << QSize(986, 650) << QRect(54, 73, 12, 415) << QRect(348, 85, 410, 410)
                                 << QVector<int>{15, 10, 12, 40, 24} << QPoint(0, 0) << 1.0f;
        QTest::newRow("1972x650") << QSize(1972, 650) << QRect(547, 73, 12, 415) << QRect(841, 85, 410, 410)
                                  << QVector<int>{15, 10, 12, 40, 24} << QPoint(493, 0) << 1.0f;
        QTest::newRow("1920x1080") << QSize(1920, 1080) << QRect(230, 121, 19, 689) << QRect(719, 141, 681, 681)
                                   << QVector<int>{24, 16, 19, 66, 39} << QPoint(141, 0) << 1.6613980531692505f;
        QTest::newRow("1280x1024") << QSize(1280, 1024) << QRect(70, 184, 15, 538) << QRect(451, 200, 531, 531)
                                   << QVector<int>{19, 12, 15, 51, 31} << QPoint(0, 90) << 1.297548770904541f;
        QTest::newRow("1000x700") << QSize(1000, 700) << QRect(54, 94, 12, 420) << QRect(352, 106, 415, 415)
                                  << QVector<int>{15, 10, 12, 40, 24} << QPoint(0, 20) << 1.0140224695205688f;
    }

    void layoutWorkedValues()
    {
        QFETCH(QSize, size);
        QFETCH(QRect, progLeft);
        QFETCH(QRect, analogClock);
        QFETCH(QVector<int>, fonts);
        QFETCH(QPoint, offset);
        QFETCH(float, scale);

        prepareStore();
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // Pass through another size first, so that every size brings a resize.
        w.resize(size + QSize(10, 10));
        QTRY_COMPARE_WITH_TIMEOUT(w.windowSize, size + QSize(10, 10), 2000);
        w.repaint();
        const QRect before = w.ui->AnalogClock->geometry();
        w.resize(size);
        QTRY_COMPARE_WITH_TIMEOUT(w.windowSize, size, 2000);
        QVERIFY(w.layoutDirty);
        // The resize alone moves nothing; the paint lays out.
        QCOMPARE(w.ui->AnalogClock->geometry(), before);
        w.repaint();
        QVERIFY(!w.layoutDirty);

        // All 32 widgets: position and size scaled separately, then shifted.
        const auto table = designTable(w);
        QCOMPARE(table.size(), MainWindow::designRectCount);
        for (const auto &entry : table) {
            const QRect &d = entry.second;
            auto trunc = [scale](int v) { return static_cast<int>(v * static_cast<double>(scale)); };
            const QRect expected(trunc(d.x()) + offset.x(), trunc(d.y()) + offset.y(), trunc(d.width()),
                                 trunc(d.height()));
            if (entry.first->geometry() != expected)
                QFAIL(qPrintable(QStringLiteral("%1 at %2,%3 %4x%5")
                                     .arg(entry.first->objectName().isEmpty() ? entry.first->metaObject()->className()
                                                                              : entry.first->objectName())
                                     .arg(entry.first->x())
                                     .arg(entry.first->y())
                                     .arg(entry.first->width())
                                     .arg(entry.first->height())));
        }
        for (QLabel *l : {w.ui->crmlabel, w.ui->timelabel})
            QCOMPARE(l->font().pointSize(), fonts[0]);
        for (QLabel *l : {w.ui->label_src_1, w.ui->label_src_3})
            QCOMPARE(l->font().pointSize(), fonts[1]);

        QCOMPARE(w.ui->ProgLeft->geometry(), progLeft);
        QCOMPARE(w.ui->AnalogClock->geometry(), analogClock);
        QCOMPARE(w.ui->proglabel->font().pointSize(), fonts[0]);
        QCOMPARE(w.ui->signalslabel->font().pointSize(), fonts[0]);
        QCOMPARE(w.ui->footerlabel->font().pointSize(), fonts[1]);
        QCOMPARE(w.ui->label_src_6->font().pointSize(), fonts[1]);
        QCOMPARE(w.ui->label_mictime->font().pointSize(), fonts[2]);
        QCOMPARE(w.ui->DigitalClock->TimeDisplayFont().pointSize(), fonts[3]);
        QCOMPARE(w.ui->DigitalClock->DateDisplayFont().pointSize(), fonts[4]);
        QCOMPARE(w.scaledFrameBackground.size(), size);
        QVERIFY(w.scaledStatusBackground.width() == size.width() || w.scaledStatusBackground.height() == size.height());
        // The frame picture shows in the bars, the status picture over the rest.
        const QImage shown = w.grab().toImage();
        const QPoint status((size.width() - w.scaledStatusBackground.width()) / 2,
                            (size.height() - w.scaledStatusBackground.height()) / 2);
        QCOMPARE(shown.pixel(status + QPoint(2, 2)), w.scaledStatusBackground.toImage().pixel(2, 2));
        if (status != QPoint(0, 0)) {
            const QPoint bar(status.x() / 2, status.y() / 2);
            QCOMPARE(shown.pixel(bar), w.scaledFrameBackground.toImage().pixel(bar));
        }

        // The never-laid-out label keeps its design rectangle.
        QCOMPARE(w.ui->label->geometry(), QRect(80, 370, 51, 51));

        if (size == QSize(986, 650) || size == QSize(1972, 650)) {
            // At scale 1 every widget stands at its design rectangle, shifted by the bar.
            const int x0 = (size.width() - 986) / 2;
            for (int i = 0; i < MainWindow::designRectCount; ++i)
                QCOMPARE(w.designWidget(i)->geometry(), w.designRects[i].translated(x0, 0));
            QCOMPARE(w.designRects[12], QRect(53, 546, 61, 61));
            QCOMPARE(w.designRects[23], QRect(896, 581, 31, 20));
            QCOMPARE(w.designRects[27], QRect(820, 310, 121, 41));
            QCOMPARE(w.designRects[11], QRect(900, 28, 25, 25));
        }
    }

    void relayoutWaitsForStatusBackground()
    {
        prepareStore();
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.repaint();
        QVERIFY(!w.layoutDirty);
        const QRect designClock = w.ui->AnalogClock->geometry();

        // Without a status picture the paint leaves the layout dirty and the
        // widgets where they are.
        w.statusBackground = QPixmap();
        w.resize(1920, 1080);
        QTRY_COMPARE_WITH_TIMEOUT(w.windowSize, QSize(1920, 1080), 2000);
        w.repaint();
        QVERIFY(w.layoutDirty);
        QCOMPARE(w.ui->AnalogClock->geometry(), designClock);

        // A status change alone (no resize) brings the picture and the layout.
        w.online = true;
        w.onlineStatusChanged();
        w.repaint();
        QVERIFY(!w.layoutDirty);
        QCOMPARE(w.ui->AnalogClock->geometry(), QRect(719, 141, 681, 681));
        QVERIFY(samePicture(w.statusBackground, ":/resources/png/background_online.png"));
        QCOMPARE(w.scaledStatusBackground.height(), 1080);
    }

    void meterBallistics()
    {
        prepareStore();
        MainWindow w;
        w.meterReleaseTimer->stop();
        VXNPPMMeter *meter = w.ui->ProgLeft;

        auto setLevel = [&w](double dB) {
            QMutexLocker locker(&w.stateLock);
            w.progLeftLevel = dB;
        };

        // A rise shows at the next tick.
        setLevel(-20.0);
        w.meterRelease();
        QCOMPARE(meter->dBPosition(), -20.0);

        // A fall to the bottom takes 226 ticks of 0.133 dB.
        setLevel(-50.0);
        for (int i = 0; i < 225; ++i)
            w.meterRelease();
        QVERIFY(meter->dBPosition() > -50.0);
        QVERIFY(meter->dBPosition() < -49.9);
        w.meterRelease();
        QCOMPARE(meter->dBPosition(), -50.0);
        w.meterRelease();
        QCOMPARE(meter->dBPosition(), -50.0);

        setLevel(-40.0);
        w.meterRelease();
        setLevel(-10.0);
        w.meterRelease();
        QCOMPARE(meter->dBPosition(), -10.0);

        // Steps are taken in single precision: each fall is the float
        // nearest 0.133, and after three of them the rise back lands where
        // the float difference puts it, a hair off the level.
        setLevel(-50.0);
        double fallen = -10.0;
        for (int i = 0; i < 3; ++i) {
            w.meterRelease();
            fallen += static_cast<double>(-0.133f);
            QVERIFY(meter->dBPosition() == fallen);
        }
        setLevel(-10.0);
        w.meterRelease();
        const double risen = fallen + static_cast<double>(static_cast<float>(-10.0 - fallen));
        QVERIFY(risen != -10.0);
        QVERIFY(meter->dBPosition() == risen);
        // The other meters were left alone.
        QCOMPARE(w.ui->CrmRight->dBPosition(), -50.0);
    }

    void resizeRecomputesEveryMeter()
    {
        prepareStore();
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        setLevels(w, -6.0, -12.0, -20.0, -30.0);
        QTRY_COMPARE_WITH_TIMEOUT(w.ui->CrmRight->dBPosition(), -30.0, 2000);
        w.meterReleaseTimer->stop();

        // Steady levels: only the layout can fit the bars to the new height,
        // so right after it no meter has anything left to recompute.
        w.resize(1920, 1080);
        QTRY_COMPARE_WITH_TIMEOUT(w.windowSize, QSize(1920, 1080), 2000);
        w.repaint();
        for (VXNPPMMeter *m : {w.ui->ProgLeft, w.ui->ProgRight, w.ui->CrmLeft, w.ui->CrmRight})
            QVERIFY2(!m->calculatePosition(), qPrintable(m->objectName()));
    }

    void screenChosenByGeometry()
    {
        const QRect first(0, 0, 1920, 1080);
        const QList<QRect> sideBySide = {first, QRect(1920, 0, 1920, 1080)};
        QCOMPARE(MainWindow::screenIndexAt(2000, false, sideBySide), 1);
        // Exactly at the second screen's left edge, and one pixel left of it.
        QCOMPARE(MainWindow::screenIndexAt(1920, false, sideBySide), 1);
        QCOMPARE(MainWindow::screenIndexAt(1919, false, sideBySide), 0);
        // Maximised on the second screen, its frame 8 pixels out to the left.
        QCOMPARE(MainWindow::screenIndexAt(1912, true, sideBySide), 1);
        QCOMPARE(MainWindow::screenIndexAt(1911, true, sideBySide), 0);
        QCOMPARE(MainWindow::screenIndexAt(-100, false, sideBySide), 0);
        QCOMPARE(MainWindow::screenIndexAt(3840, false, sideBySide), 0);
        // Screen 1 left of screen 0: screen 0 is tested first.
        QCOMPARE(MainWindow::screenIndexAt(-1000, false, {first, QRect(-1920, 0, 1920, 1080)}), 0);
        const QList<QRect> three = sideBySide + QList<QRect>{QRect(3840, 0, 1280, 1024)};
        QCOMPARE(MainWindow::screenIndexAt(3840, false, three), 2);
        QCOMPARE(MainWindow::screenIndexAt(3839, false, three), 1);
        QCOMPARE(MainWindow::screenIndexAt(100, false, {}), 0);
    }

    void steadyMetersDoNotPaint()
    {
        prepareStore();
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        setLevels(w, -6.0, -12.0, -20.0, -30.0);
        QTest::qWait(300);
        QCOMPARE(w.ui->ProgLeft->dBPosition(), -6.0);

        PaintCounter counter;
        for (VXNPPMMeter *m : {w.ui->ProgLeft, w.ui->ProgRight, w.ui->CrmLeft, w.ui->CrmRight})
            m->installEventFilter(&counter);
        QTest::qWait(500);
        QCOMPARE(counter.paints, 0);

        // A slow fall near the bottom of the scale repaints only when the bar
        // moves a whole pixel: fewer paints than ticks.
        w.meterReleaseTimer->stop();
        {
            QMutexLocker locker(&w.stateLock);
            w.progLeftLevel = -45.0;
        }
        for (int i = 0; i < 400 && w.ui->ProgLeft->dBPosition() > -45.0; ++i)
            w.meterRelease();
        QCOMPARE(w.ui->ProgLeft->dBPosition(), -45.0);
        QTest::qWait(50);
        counter.paints = 0;
        {
            QMutexLocker locker(&w.stateLock);
            w.progLeftLevel = -50.0;
        }
        const int ticks = 38;
        for (int i = 0; i < ticks; ++i) {
            w.meterRelease();
            QCoreApplication::processEvents();
        }
        QTest::qWait(50);
        QVERIFY(counter.paints > 5);
        QVERIFY(counter.paints < ticks * 3 / 4);
    }

    void offlineExactlyAfterThreeSeconds()
    {
        auto w = onlineWindow();
        QVERIFY(w);
        QCOMPARE(w->keepAliveTimeoutTimer->timerType(), Qt::PreciseTimer);

        // Time from the last handled meter message to each time-out.
        QElapsedTimer sinceMeter;
        sinceMeter.start();
        QVector<qint64> timeouts;
        connect(
            w.get(), &MainWindow::doKeepAliveTimer, w.get(), [&] { sinceMeter.restart(); }, Qt::QueuedConnection);
        connect(w->keepAliveTimeoutTimer, &QTimer::timeout, w.get(), [&] { timeouts << sinceMeter.elapsed(); });

        // Gaps just short of the time-out never go offline, gaps just past
        // it always do, and never before the 3000 ms are over.
        for (int i = 0; i < 2; ++i) {
            QTest::qWait(2800);
            mixer->meters(-20, -20, -20, -20);
        }
        QTest::qWait(20);
        QVERIFY(timeouts.isEmpty());
        QVERIFY(w->online);
        for (int i = 0; i < 2; ++i) {
            QTest::qWait(3200);
            QCOMPARE(timeouts.size(), i + 1);
            QVERIFY(!w->online);
            QVERIFY2(timeouts.last() >= 2995, qPrintable(QString::number(timeouts.last())));
            mixer->meters(-20, -20, -20, -20);
            QTRY_VERIFY_WITH_TIMEOUT(w->online, 1000);
        }
    }

    void eventFloodNeitherFreezesNorLosesSettings()
    {
        auto w = onlineWindow();
        QVERIFY(w);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        const quint16 newSendPort = static_cast<quint16>(mixer->port() + 1);
        w->onSetUdpPorts(static_cast<qint16>(newSendPort), static_cast<qint16>(recvPort), false,
                         QStringLiteral("127.0.0.1"));
        mixer->meters(-20, -20, -20, -20);
        QTest::qWait(20);

        // Mixed state events and meters, as anyone on the studio network could send
        // them, while the GUI thread is busy (here: asleep). Bounded: 20,000
        // datagrams or 1.5 s, whichever comes first.
        // Meter messages in the flood each call for a keep-alive restart;
        // one waiting call does for all of them (none, when the call of the
        // meter before the flood is still waiting).
        std::atomic<int> keepAliveCalls{0};
        connect(
            w.get(), &MainWindow::doKeepAliveTimer, w.get(), [&] { ++keepAliveCalls; }, Qt::DirectConnection);
        std::thread flood([port = recvPort] {
            QUdpSocket socket;
            const quint8 headers[] = {0x80 | 32, 0xC0 | 34, 0x80 | 26, 0x80 | 28, 0xC0 | 40, 0xC0 | 37,
                                      0xC0 | 38, 0xC0 | 41, 0xC0 | 43, 0xC0 | 45, 0xC0 | 36, 0xC0 | 48};
            QElapsedTimer timer;
            timer.start();
            for (int i = 0; i < 20000 && timer.elapsed() < 1500; ++i) {
                QByteArray d(12, '\0');
                d[0] = d[1] = static_cast<char>(0xA0);
                d[3] = static_cast<char>(headers[i % 12]);
                for (int k = 4; k < 12; ++k)
                    d[k] = static_cast<char>((i + k) % 3);
                socket.writeDatagram(d, QHostAddress::LocalHost, port);
                if (i % 20 == 19)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
        flood.join();

        // The last word: a state unlike anything in the flood, then a meter
        // message that shows when the reader has taken all of it.
        mixer->reply(26, {0x42, 0x42, 0x42, 0, 0, 0, 0, 0});  // on green, off red
        mixer->reply(34, {0, 0, 0, 0, 0, 0, 0, 0});
        mixer->reply(32, {1, 0, 1, 0, 1, 0, 0, 0});
        mixer->reply(40, {1, 0});
        mixer->reply(37, {0});
        mixer->reply(38, {1});
        mixer->reply(41, {0});
        mixer->reply(43, {1});
        mixer->event(45, {1});
        mixer->reply(28, {static_cast<quint8>(-33), 10, 0, 0, 1});
        mixer->reply(36, {1, 0, 0, 1, 0, 1, 0, 0});
        mixer->meters(-7, -7, -7, -7);
        for (int i = 0; i < 500 && level(*w, &MainWindow::progLeftLevel) != -7.0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        QCOMPARE(level(*w, &MainWindow::progLeftLevel), -7.0);
        QVERIFY2(keepAliveCalls.load() <= 1, qPrintable(QString::number(keepAliveCalls.load())));

        // Asked to close behind everything the flood queued.
        QElapsedTimer closing;
        closing.start();
        QMetaObject::invokeMethod(w.get(), "close", Qt::QueuedConnection);
        while (w->isVisible() && closing.elapsed() < 10000)
            QCoreApplication::processEvents();
        QVERIFY2(closing.elapsed() < 1000, qPrintable(QString::number(closing.elapsed())));

        const QStringList expectedLamps = {lamp(1, "green"), lamp(2, "red"),   lamp(3, "green"),
                                           lamp(4, "red"),   lamp(5, "green"), lamp(6, "red")};
        for (int i = 0; i < 6; ++i)
            QCOMPARE(w->moduleLamps[i]->styleSheet(), expectedLamps.at(i));
        QCOMPARE(w->ui->label_onair1->styleSheet(), icon("onair1", true));
        QCOMPARE(w->ui->label_onair2->styleSheet(), icon("onair2", false));
        QCOMPARE(w->nonStopIndicator->styleSheet(), icon("nonstop", false));
        QCOMPARE(w->ui->label_micon->styleSheet(), icon("micon", true));
        QCOMPARE(w->ui->label_silence->styleSheet(), icon("silence", false));
        QCOMPARE(w->ui->label_crmmute->styleSheet(), icon("crmmute", true));
        QCOMPARE(w->ui->label_telring->styleSheet(), icon("phone", true));
        QVERIFY(w->ui->ProgLeft->ShowMarker());
        QVERIFY(!w->ui->ProgRight->ShowMarker());
        QCOMPARE(w->ui->ProgLeft->MarkerdBPosition(), -33.0);
        const QStringList sources = {"MIC", "LINE", "LINE", "USB", "LINE", "VOIP"};
        QLabel *const labels[6] = {w->ui->label_src_1, w->ui->label_src_2, w->ui->label_src_3,
                                   w->ui->label_src_4, w->ui->label_src_5, w->ui->label_src_6};
        for (int i = 0; i < 6; ++i)
            QCOMPARE(labels[i]->text(), sources.at(i));

        w.reset();
        QSettings settings(QStringLiteral("Zorbel"), QStringLiteral("Tavelin Meters"));
        QCOMPARE(settings.value(QStringLiteral("udp_send")).toInt(), int(newSendPort));
    }

    void busyReceivePortIsShownAndRetried()
    {
        prepareStore();
        QUdpSocket taken;
        QVERIFY(taken.bind(QHostAddress(QHostAddress::AnyIPv4), recvPort, QUdpSocket::DontShareAddress));
        takeIncidents();
        MainWindow w;
        QVERIFY(w.handle == nullptr);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(!w.ui->label_mictime->isVisible());
        QVERIFY(w.failureNotice->isVisible());
        QCOMPARE(w.failureNotice->text(), QStringLiteral("RECEIVE PORT %1 IN USE").arg(recvPort));
        QCOMPARE(w.windowTitle(), QStringLiteral("Tavelin Meters \u2013 receive port %1 in use").arg(recvPort));
        QCOMPARE(takeIncidents(), QStringList{QStringLiteral("receive-port-busy %1").arg(recvPort)});
        QCOMPARE(w.openRetryTimer->interval(), 2000);

        // Once the port is free the next retry opens and asks for the state.
        taken.close();
        QVERIFY(mixer->waitForRequests(stateBurst.size(), 5000));
        QVERIFY(w.handle != nullptr);
        QVERIFY(!w.failureNotice->isVisible());
        QCOMPARE(w.windowTitle(), QStringLiteral("Tavelin Meters"));
        QVERIFY(takeIncidents().isEmpty());
    }

    void storedValuesAreCheckedAndHostNamesLookedUp()
    {
        prepareStore();
        QSettings(QStringLiteral("Zorbel"), QStringLiteral("Tavelin Meters"))
            .setValue(QStringLiteral("remote_host"), QStringLiteral("localhost"));
        {
            MainWindow w;
            QVERIFY(mixer->waitForRequests(stateBurst.size(), 5000));
            QCOMPARE(w.mixerAddress, QStringLiteral("127.0.0.1"));
            QCOMPARE(w.remoteHost, QStringLiteral("localhost"));  // the store keeps the name
        }

        {
            QSettings settings(QStringLiteral("Zorbel"), QStringLiteral("Tavelin Meters"));
            settings.setValue(QStringLiteral("udp_send"), QStringLiteral("abc"));
            settings.setValue(QStringLiteral("udp_recv"), 99999);
            settings.setValue(QStringLiteral("remote_host"), QStringLiteral("no-such-host.invalid"));
        }
        takeIncidents();
        MainWindow w;
        QCOMPARE(static_cast<quint16>(w.udpSendPort), quint16(18153));
        QCOMPARE(static_cast<quint16>(w.udpRecvPort), quint16(18150));
        QTRY_VERIFY_WITH_TIMEOUT(w.lookupRetryTimer->isActive(), 10000);
        QCOMPARE(w.lookupRetryTimer->interval(), 60000);
        QVERIFY(w.handle == nullptr);
        QVERIFY(!w.failureNotice->isHidden());
        QCOMPARE(takeIncidents(),
                 (QStringList{QStringLiteral("settings-invalid udp_send"), QStringLiteral("settings-invalid udp_recv"),
                              QStringLiteral("lookup-failed no-such-host.invalid")}));
    }

    void incidentLines()
    {
        const QDateTime when(QDate(2026, 12, 9), QTime(14, 3, 7, 412));
        QCOMPARE(incidentLine(when, QStringLiteral("mixer-offline")),
                 QStringLiteral("2026-12-09T14:03:07.412 mixer-offline"));
        QCOMPARE(incidentLine(when, QStringLiteral("quit"), QStringLiteral("SIGTERM")),
                 QStringLiteral("2026-12-09T14:03:07.412 quit SIGTERM"));

        takeIncidents();
        auto w = onlineWindow();
        QVERIFY(w);
        mixer->reply(41, {1});
        QTRY_VERIFY_WITH_TIMEOUT(w->silenceAlarmTimer->isActive(), 2000);
        mixer->reply(41, {1});  // said again: no second line
        mixer->reply(41, {0});
        QTRY_VERIFY_WITH_TIMEOUT(!w->silenceAlarmTimer->isActive(), 2000);
        w->keepAliveTimeoutTimer->stop();
        w->onKeepAliveTimeout();
        QCOMPARE(takeIncidents(), (QStringList{QStringLiteral("mixer-online 127.0.0.1:%1").arg(mixer->port()),
                                               QStringLiteral("silence-alarm-on"), QStringLiteral("silence-alarm-off"),
                                               QStringLiteral("mixer-offline")}));

        // Stored text cannot break the shape: one line, at most 512 bytes.
        QCOMPARE(incidentLine(when, QStringLiteral("lookup-failed"), QStringLiteral("a\nb\x01")),
                 QStringLiteral("2026-12-09T14:03:07.412 lookup-failed a\\nb\\x01"));
        const QString huge = incidentLine(when, QStringLiteral("lookup-failed"), QString(200000, QChar(0xe9)));
        QVERIFY(huge.startsWith(QStringLiteral("2026-12-09T14:03:07.412 lookup-failed \u00e9")));
        QVERIFY(huge.endsWith(QStringLiteral("\u00e9...")));
        QVERIFY(huge.toLocal8Bit().size() <= 512 && huge.toLocal8Bit().size() >= 500);
    }

    // The failure notice keeps its words readable: a long host name shrinks
    // the font to no less than 70 % and then loses its middle, never the
    // words around it or its ends.
    void longFailureSubjectsFitTheNotice()
    {
        prepareStore();
        const QString longHost = QStringLiteral("studio-mixer-2.production-network.broadcast-centre.invalid");
        QSettings(QStringLiteral("Zorbel"), QStringLiteral("Tavelin Meters"))
            .setValue(QStringLiteral("remote_host"), longHost);
        takeIncidents();
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTRY_VERIFY_WITH_TIMEOUT(w.lookupRetryTimer->isActive(), 10000);

        auto fits = [&w](int leastPixels, int mostPixels) {
            const QLabel *notice = w.failureNotice;
            const int pixels = notice->font().pixelSize();
            return pixels >= leastPixels && pixels <= mostPixels &&
                   QFontMetrics(notice->font()).horizontalAdvance(notice->text()) <= notice->width();
        };
        for (const QSize size : {QSize(986, 650), QSize(1972, 1300)}) {
            w.resize(size);
            QTRY_COMPARE(w.failureNotice->width(), 414 * size.width() / 986);
            const QString text = w.failureNotice->text();
            QVERIFY2(text.startsWith(QStringLiteral("MIXER HOST studio-")), qPrintable(text));
            QVERIFY2(text.endsWith(QStringLiteral(".invalid NOT FOUND")), qPrintable(text));
            QVERIFY2(text.contains(QChar(0x2026)), qPrintable(text));
            const int full = 19 * size.width() / 986;
            QVERIFY(fits((full * 7 + 9) / 10, (full * 7 + 9) / 10));
        }
        // A name that fits keeps the full size; one a little long shrinks.
        w.resize(986, 650);
        QTRY_COMPARE(w.failureNotice->width(), 414);
        const QString lead = QStringLiteral("MIXER HOST"), tail = QStringLiteral("NOT FOUND");
        w.showFailure(lead, QStringLiteral("mixer-b"), tail, QString());
        QCOMPARE(w.failureNotice->text(), QStringLiteral("MIXER HOST mixer-b NOT FOUND"));
        QVERIFY(fits(19, 19));
        w.showFailure(lead, QStringLiteral("mixer-2.studio-b.invalid"), tail, QString());
        QCOMPARE(w.failureNotice->text(), QStringLiteral("MIXER HOST mixer-2.studio-b.invalid NOT FOUND"));
        QVERIFY(fits(14, 18));
    }

    void clockSyncWarning()
    {
        clockSynced = false;
        prepareStore();
        takeIncidents();
        MainWindow w;
        w.resize(986, 650);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.repaint();
        QVERIFY(w.clockSyncNotice->isVisible());
        QCOMPARE(w.clockSyncNotice->text(), QStringLiteral("CLOCK NOT SYNCHRONISED"));
        QVERIFY(w.clockSyncTimer->isActive());
        QCOMPARE(w.clockSyncTimer->interval(), 10000);
        // Near the time, not over it (the time takes the clock's upper half).
        const QRect clock = w.ui->DigitalClock->geometry();
        QVERIFY(!w.clockSyncNotice->geometry().intersects(
            QRect(clock.topLeft(), QSize(clock.width(), clock.height() / 2))));
        QVERIFY(w.clockSyncNotice->geometry().bottom() > clock.top() - 60);
        // Legible: its text against its background at least 4.5:1.
        const QImage shot = w.clockSyncNotice->grab().toImage();
        double darkest = 1, brightest = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x) {
                darkest = std::min(darkest, luminance(shot.pixel(x, y)));
                brightest = std::max(brightest, luminance(shot.pixel(x, y)));
            }
        QVERIFY2((brightest + 0.05) / (darkest + 0.05) >= 4.5, qPrintable(QString::number(brightest)));

        clockSynced = true;
        w.checkClockSync();
        QVERIFY(!w.clockSyncNotice->isVisible());
        w.checkClockSync();
        QCOMPARE(takeIncidents(),
                 (QStringList{QStringLiteral("clock-unsynchronised"), QStringLiteral("clock-synchronised")}));
    }

    void displayOnlySendsNothing()
    {
        prepareStore();
        QSettings(QStringLiteral("Zorbel"), QStringLiteral("Tavelin Meters"))
            .setValue(QStringLiteral("display_only"), true);
        MainWindow w;
        QVERIFY(mixer->waitForRequests(stateBurst.size()));
        mixer->clear();
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QVERIFY(!w.settingsButton->isVisible());
        QTest::mouseClick(w.moduleLamps[2], Qt::LeftButton);
        QTest::mouseClick(w.nonStopIndicator, Qt::LeftButton);

        // The engineer still gets in with Ctrl+,.
        bool opened = false;
        QTimer::singleShot(100, [&]() {
            if (QDialog *dialog = w.findChild<QDialog *>()) {
                opened = true;
                dialog->reject();
            }
        });
        QTimer::singleShot(3000, [&]() {
            if (QDialog *dialog = w.findChild<QDialog *>())
                dialog->reject();
        });
        QTest::keyClick(&w, Qt::Key_Comma, Qt::ControlModifier);
        QVERIFY(opened);
        QTest::qWait(100);
        QVERIFY(mixer->messages().isEmpty());
    }

    void libraryLogInStateFolderKeepsThePreviousRun()
    {
        prepareStore();
        const QString folder = qEnvironmentVariable("XDG_STATE_HOME") + QStringLiteral("/tavelin-meters");
        QVERIFY(QDir().mkpath(folder));
        const QString name = QStringLiteral("logfile_(%1).txt").arg(recvPort);
        const QString log = folder + QLatin1Char('/') + name;
        {
            QFile previous(log);
            QVERIFY(previous.open(QIODevice::WriteOnly));
            previous.write("previous run\n");
        }
        {
            MainWindow w;
            QVERIFY(w.handle != nullptr);
            QCOMPARE(contents(log + QStringLiteral(".1")), QByteArray("previous run\n"));
            QVERIFY(contents(log).startsWith("********** LOGFILE: " + name.toLatin1()));
            QVERIFY(!QFile::exists(name));  // not in the working folder
        }

        // A folder that cannot be made: an incident, and the display works on.
        const QByteArray state = qgetenv("XDG_STATE_HOME");
        qputenv("XDG_STATE_HOME", "/dev/null/state");
        prepareStore();
        takeIncidents();
        MainWindow w;
        qputenv("XDG_STATE_HOME", state);
        QVERIFY(w.handle != nullptr);
        QVERIFY(mixer->waitForRequests(stateBurst.size()));
        QCOMPARE(takeIncidents(), QStringList{QStringLiteral("log-unwritable /dev/null/state/tavelin-meters")});
    }

    void sourceLabelsAreTranslated()
    {
        prepareStore();
        MainWindow w;
        ContextMarkingTranslator translator;
        QCoreApplication::installTranslator(&translator);
        const int32_t sources[8] = {1, 0, 1, 0, 0, 1, 0, 0};
        const korvane_event event = {KORVANE_ID_MODULE_SOURCE, 1, sources};
        w.handleMixerEvent(&event);
        QTRY_COMPARE_WITH_TIMEOUT(w.ui->label_src_1->text(), QStringLiteral("MainWindow|MIC"), 2000);
        QCOMPARE(w.ui->label_src_2->text(), QStringLiteral("MainWindow|LINE"));
        QCOMPARE(w.ui->label_src_3->text(), QStringLiteral("MainWindow|USB"));
        QCOMPARE(w.ui->label_src_6->text(), QStringLiteral("MainWindow|VOIP"));
        QCoreApplication::removeTranslator(&translator);
    }

    void settingsDialogCancelledKeepsHandle()
    {
        auto w = onlineWindow();
        QVERIFY(w);
        const korvane_handle before = w->handle;
        const quint16 sendPort = static_cast<quint16>(w->udpSendPort);

        // Change a field, then cancel: nothing is taken over or reopened.
        QTimer::singleShot(100, [&]() {
            QDialog *dialog = w->findChild<QDialog *>();
            QVERIFY(dialog);
            dialog->findChild<QCheckBox *>(QStringLiteral("checkBox_use_defaults"))->setChecked(false);
            dialog->findChild<QLineEdit *>(QStringLiteral("UdpSendPortEdit"))->setText(QStringLiteral("1234"));
            dialog->reject();
        });
        QTest::mouseClick(w->settingsButton, Qt::LeftButton);

        QCOMPARE(w->handle, before);
        QCOMPARE(static_cast<quint16>(w->udpSendPort), sendPort);
        QTest::qWait(100);
        QVERIFY(mixer->requests().isEmpty());
        // The old handle still reaches the mixer.
        w->onNonStopClicked();
        QTRY_COMPARE_WITH_TIMEOUT(mixer->messages().size(), 1, 2000);
    }

    void settingsDialogAcceptedReopens()
    {
        auto w = onlineWindow();
        QVERIFY(w);
        FakeMixer second;
        const quint16 secondRecv = kt::free_udp_port();

        // Fill the dialog and press Ok once it is up.
        QTimer::singleShot(100, [&]() {
            QDialog *dialog = w->findChild<QDialog *>();
            QVERIFY(dialog);
            dialog->findChild<QLineEdit *>(QStringLiteral("UdpHostEdit"))->setText(QStringLiteral("127.0.0.1"));
            dialog->findChild<QCheckBox *>(QStringLiteral("checkBox_use_defaults"))->setChecked(false);
            dialog->findChild<QLineEdit *>(QStringLiteral("UdpSendPortEdit"))->setText(QString::number(second.port()));
            dialog->findChild<QLineEdit *>(QStringLiteral("UdpRecvPortEdit"))->setText(QString::number(secondRecv));
            auto *buttons = dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
            buttons->button(QDialogButtonBox::Ok)->click();
        });
        QTimer::singleShot(5000, [&]() {
            if (QDialog *dialog = w->findChild<QDialog *>())
                dialog->reject();
        });
        QTest::mouseClick(w->settingsButton, Qt::LeftButton);

        QCOMPARE(static_cast<quint16>(w->udpSendPort), second.port());
        QCOMPARE(static_cast<quint16>(w->udpRecvPort), secondRecv);
        // Written at once, not only at an orderly exit.
        QSettings settings(QStringLiteral("Zorbel"), QStringLiteral("Tavelin Meters"));
        QCOMPARE(settings.value(QStringLiteral("udp_send")).toInt(), int(second.port()));
        QCOMPARE(settings.value(QStringLiteral("udp_recv")).toInt(), int(secondRecv));
        QVERIFY(takeIncidents().contains(QStringLiteral("settings-saved")));
        QVERIFY(second.waitForRequests(stateBurst.size()));
        QCOMPARE(second.requests(), stateBurst);
        QVERIFY(w->handle != nullptr);
    }
};

int main(int argc, char *argv[])
{
    // Isolate the settings store and the library's log files.
    QTemporaryDir scratch;
    if (!scratch.isValid())
        return 1;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(scratch.path() + QStringLiteral("/config")));
    qputenv("XDG_STATE_HOME", QFile::encodeName(scratch.path() + QStringLiteral("/state")));
    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(scratch.path() + QStringLiteral("/xdg")));
    QDir::setCurrent(scratch.path());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication application(argc, argv);
    setIncidentSink(&keepIncident);
    setClockSyncProbe(&fakeClockSync);
    TestMainWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_mainwindow.moc"
