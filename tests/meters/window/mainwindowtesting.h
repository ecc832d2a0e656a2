// The fixture the main window's tests share: the real MainWindow, offscreen,
// against a fake mixer on loopback. The settings store lives in a temporary
// XDG_CONFIG_HOME, so nothing here touches the user's settings, and the
// library's log files go to a temporary state folder.
#ifndef TEST_MAINWINDOWTESTING_H
#define TEST_MAINWINDOWTESTING_H

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
#include "librarylog.h"
#include "qt_fake_mixer.h"
#include "mainwindow.h"
#include "mylabel.h"
#include "pointerhider.h"
#include "tavelin_version.h"
#include "ui_mainwindow.h"
#include "vxnanalogclock.h"
#include "vxndigitalclock.h"
#include "vxnppmmeter.h"

// What the mixer receives: the wire number of each state request, in the
// order the window must send them. Written out, not taken from the shared
// list, so an edit of that list or of the ids behind it shows here.
inline const QVector<int> stateBurst = {36, 32, 34, 26, 28, 13, 40, 37, 41, 38, 43};

inline QString lamp(int number, const char *colour)
{
    return QStringLiteral("image: url(:/resources/png/KorvaneMeterIcons2/sunken/%1-%2.png);")
        .arg(number)
        .arg(QLatin1String(colour));
}

inline QString icon(const char *name, bool active)
{
    return QStringLiteral("image: url(:/resources/png/KorvaneMeterIcons2/signals/%1-%2.png);")
        .arg(QLatin1String(name))
        .arg(active ? QLatin1String("active") : QLatin1String("inactive"));
}

inline QStringList incidents;
inline void keepIncident(const QString &line)
{
    incidents.append(line);
}
// The incidents since the last call, without their stamps.
inline QStringList takeIncidents()
{
    QStringList events;
    for (const QString &line : incidents)
        events << line.section(QLatin1Char(' '), 1);
    incidents.clear();
    return events;
}

inline bool clockSynced = true;
inline bool fakeClockSync()
{
    return clockSynced;
}

inline double luminance(QRgb p)
{
    auto channel = [](int c) {
        const double v = c / 255.0;
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(p)) + 0.7152 * channel(qGreen(p)) + 0.0722 * channel(qBlue(p));
}

inline QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool samePicture(const QPixmap &a, const char *path)
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

// Each test file's TestMainWindow derives from this; both are the window's
// friends, so the tests can read its state.
class MainWindowFixture : public QObject
{
protected:
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
};

// The isolated environment every main window test runs in.
template <class Test>
int runMainWindowTests(int argc, char *argv[])
{
    // Isolate the settings store and the library's log files.
    QTemporaryDir scratch;
    if (!scratch.isValid())
        return 1;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(scratch.path() + QStringLiteral("/config")));
    qputenv("XDG_STATE_HOME", QFile::encodeName(scratch.path() + QStringLiteral("/state")));
    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(scratch.path() + QStringLiteral("/xdg")));
    // As the program does at start-up: the library opens its log there.
    if (!enterLibraryLogFolder())
        return 1;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication application(argc, argv);
    setIncidentSink(&keepIncident);
    setClockSyncProbe(&fakeClockSync);
    Test test;
    return QTest::qExec(&test, argc, argv);
}

#endif  // TEST_MAINWINDOWTESTING_H
