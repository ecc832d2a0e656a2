// The real MainWindow, offscreen, against a fake mixer on loopback:
// the studio safeguards: the settings store, incident lines, the clock-sync notice, display-only mode and the library log.
#include "mainwindowtesting.h"

class TestMainWindow : public MainWindowFixture
{
    Q_OBJECT

private slots:
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

    // The window's own incidents, one line each and none said twice.
    void incidentLines()
    {
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
            // not in the folder the test started in
            QVERIFY(!QFile::exists(qEnvironmentVariable("XDG_STATE_HOME") + QStringLiteral("/../") + name));
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
};

int main(int argc, char *argv[])
{
    return runMainWindowTests<TestMainWindow>(argc, argv);
}

#include "test_mainwindow_safeguards.moc"
