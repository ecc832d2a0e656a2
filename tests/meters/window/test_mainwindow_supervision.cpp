// The real MainWindow, offscreen, against a fake mixer on loopback:
// supervision: the request burst, online and offline, failures shown and retried, the settings dialog's reconnect.
#include "mainwindowtesting.h"

class TestMainWindow : public MainWindowFixture
{
    Q_OBJECT

private slots:
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
        QCOMPARE(w.mixerLink->openRetry()->interval(), 2000);

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
            QCOMPARE(w.mixerLink->address(), QStringLiteral("127.0.0.1"));
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
        QTRY_VERIFY_WITH_TIMEOUT(w.mixerLink->lookupRetry()->isActive(), 10000);
        QCOMPARE(w.mixerLink->lookupRetry()->interval(), 60000);
        QVERIFY(w.handle == nullptr);
        QVERIFY(!w.failureNotice->isHidden());
        QCOMPARE(takeIncidents(),
                 (QStringList{QStringLiteral("settings-invalid udp_send"), QStringLiteral("settings-invalid udp_recv"),
                              QStringLiteral("lookup-failed no-such-host.invalid")}));
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
        QTRY_VERIFY_WITH_TIMEOUT(w.mixerLink->lookupRetry()->isActive(), 10000);

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
    return runMainWindowTests<TestMainWindow>(argc, argv);
}

#include "test_mainwindow_supervision.moc"
