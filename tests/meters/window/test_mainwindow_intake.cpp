// The real MainWindow, offscreen, against a fake mixer on loopback:
// the event intake: the meta-object, construction, the order of an event's effects, floods and translated source labels.
#include "mainwindowtesting.h"

class TestMainWindow : public MainWindowFixture
{
    Q_OBJECT

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
};

int main(int argc, char *argv[])
{
    return runMainWindowTests<TestMainWindow>(argc, argv);
}

#include "test_mainwindow_intake.moc"
