// The real MainWindow, offscreen, against a fake mixer on loopback:
// the indicators: lamps, blinking, signal icons, the mic timer, clicks, the silence marker and the meters.
#include "mainwindowtesting.h"

class TestMainWindow : public MainWindowFixture
{
    Q_OBJECT

private slots:
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
};

int main(int argc, char *argv[])
{
    return runMainWindowTests<TestMainWindow>(argc, argv);
}

#include "test_mainwindow_indicators.moc"
