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
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

#include "fakemixer.h"
#include "mainwindow.h"
#include "mylabel.h"
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

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<FakeMixer> mixer;
    quint16 recvPort = 0;

    // Points the settings store at the fake mixer on fresh ports.
    void prepareStore()
    {
        mixer.reset(new FakeMixer);
        recvPort = freeUdpPort();
        mixer->setTarget(recvPort);
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

    static double level(MainWindow &w, double MainWindow::*member)
    {
        QMutexLocker locker(&w.stateLock);
        return w.*member;
    }

private slots:
    void metaObjectOrder()
    {
        // Signals first, then the slots, in this order.
        const QStringList expected = {
            "doRedrawModules()", "doRedrawSignals()", "doHandleMicTimer()", "doKeepAliveTimer()",
            "doConfigSilenceDetection()", "meterRelease()", "openSettings()",
            "onConfigSilenceDetection()", "onRedrawModules()", "onRedrawSignals()",
            "onModuleClicked()", "onSilenceAlarm()", "onVoicetrack()", "onNonStopClicked()",
            "onHandleMicTimer()", "onShowMicTimer()", "onSetUdpPorts(short,short,bool,QString)",
            "onKeepAliveTimeout()", "onKeepAliveTimer()", "onlineStatusChanged()"};
        const QMetaObject &mo = MainWindow::staticMetaObject;
        QCOMPARE(QString::fromLatin1(mo.className()), QStringLiteral("MainWindow"));
        QStringList actual;
        for (int i = mo.methodOffset(); i < mo.methodCount(); ++i)
            actual << QString::fromLatin1(mo.method(i).methodSignature());
        QCOMPARE(actual, expected);
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

        // Redraws with nothing changed leave the style sheets (and their
        // costly re-parse) alone.
        StyleChangeCounter styleChanges;
        for (myLabel *l : w->moduleLamps)
            l->installEventFilter(&styleChanges);
        w->onRedrawModules();
        w->onRedrawModules();
        QCOMPARE(styleChanges.changes, 0);
        // On with the fader still open: red as when off. Fader closed: green.
        mixer->event(32, {0, 1, 0, 0, 0, 0, 0, 0});
        mixer->event(34, {0, 0, 0, 0, 0, 0, 0, 0});
        QTRY_COMPARE_WITH_TIMEOUT(w->moduleLamps[1]->styleSheet(), lamp(2, "green"), 2000);
        QCOMPARE(styleChanges.changes, 1);
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
        // Beyond a day the hours wrap.
        QCOMPARE(MainWindow::micTimeText(3600000 * 25 + 1000), QStringLiteral("01:00:01"));

        auto w = onlineWindow();
        QVERIFY(w);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));

        // Mic on restarts the count even when the mic was on before.
        QTest::qWait(1100);
        mixer->reply(38, {1});
        QTRY_VERIFY_WITH_TIMEOUT(w->ui->label_mictime->isVisible(), 2000);
        QTRY_COMPARE_WITH_TIMEOUT(w->ui->label_mictime->text(), QStringLiteral("00:00:00"), 1000);
        QTRY_COMPARE_WITH_TIMEOUT(w->ui->label_mictime->text(), QStringLiteral("00:00:01"), 3000);

        // Mic off hides the time; the count itself keeps running.
        mixer->reply(38, {0});
        QTRY_VERIFY_WITH_TIMEOUT(!w->ui->label_mictime->isVisible(), 2000);
    }

    void clicksSendRemoteCommands()
    {
        prepareStore();
        MainWindow w;
        QVERIFY(mixer->waitForRequests(stateBurst.size()));
        mixer->clear();

        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::mouseClick(w.moduleLamps[2], Qt::LeftButton);
        QTest::mouseClick(w.nonStopIndicator, Qt::LeftButton);
        QTest::mouseClick(w.ui->label_onair1, Qt::LeftButton);

        QTRY_COMPARE_WITH_TIMEOUT(mixer->messages().size(), 2, 2000);
        QTest::qWait(100);
        const QList<QByteArray> sent = mixer->messages();
        QCOMPARE(sent.size(), 2);
        QCOMPARE(sent.at(0).toHex(), QByteArray("a0a004050202000000000000"));
        QCOMPARE(sent.at(1).toHex(), QByteArray("a0a0030a0200000000000000"));
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
        }
        QSettings settings(QStringLiteral("Zorbel"), QStringLiteral("Tavelin Meters"));
        QCOMPARE(settings.allKeys().size(), 6);
        settings.clear();
    }

    void layoutWorkedValues_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QRect>("progLeft");
        QTest::addColumn<QRect>("analogClock");
        QTest::addColumn<QVector<int>>("fonts");
        QTest::newRow("986x650") << QSize(986, 650) << QRect(54, 73, 12, 415) << QRect(348, 85, 410, 410)
                                 << QVector<int>{15, 10, 12, 40, 24};
        QTest::newRow("1972x650") << QSize(1972, 650) << QRect(547, 73, 12, 415) << QRect(841, 85, 410, 410)
                                  << QVector<int>{15, 10, 12, 40, 24};
        QTest::newRow("1920x1080") << QSize(1920, 1080) << QRect(230, 121, 19, 689)
                                   << QRect(719, 141, 681, 681) << QVector<int>{24, 16, 19, 66, 39};
        QTest::newRow("1280x1024") << QSize(1280, 1024) << QRect(70, 184, 15, 538)
                                   << QRect(451, 200, 531, 531) << QVector<int>{19, 12, 15, 51, 31};
        QTest::newRow("1000x700") << QSize(1000, 700) << QRect(54, 94, 12, 420) << QRect(352, 106, 415, 415)
                                  << QVector<int>{15, 10, 12, 40, 24};
    }

    void layoutWorkedValues()
    {
        QFETCH(QSize, size);
        QFETCH(QRect, progLeft);
        QFETCH(QRect, analogClock);
        QFETCH(QVector<int>, fonts);

        prepareStore();
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // Pass through another size first, so that every size brings a resize.
        w.resize(size + QSize(10, 10));
        QTRY_COMPARE_WITH_TIMEOUT(w.windowSize, size + QSize(10, 10), 2000);
        w.repaint();
        w.resize(size);
        QTRY_COMPARE_WITH_TIMEOUT(w.windowSize, size, 2000);
        QVERIFY(w.layoutDirty);
        w.repaint();
        QVERIFY(!w.layoutDirty);

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
        QVERIFY(w.scaledStatusBackground.width() == size.width()
                || w.scaledStatusBackground.height() == size.height());

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
        // The other meters were left alone.
        QCOMPARE(w.ui->CrmRight->dBPosition(), -50.0);
    }

    void steadyMetersDoNotPaint()
    {
        prepareStore();
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        {
            QMutexLocker locker(&w.stateLock);
            w.progLeftLevel = -6.0;
            w.progRightLevel = -12.0;
            w.crmLeftLevel = -20.0;
            w.crmRightLevel = -30.0;
        }
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

    void settingsDialogAcceptedReopens()
    {
        auto w = onlineWindow();
        QVERIFY(w);
        FakeMixer second;
        const quint16 secondRecv = freeUdpPort();

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
    QDir::setCurrent(scratch.path());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication application(argc, argv);
    TestMainWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mainwindow.moc"
