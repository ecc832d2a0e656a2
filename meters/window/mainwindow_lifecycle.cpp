// Construction, settings store, screen choice and destruction of the window.
#include "mainwindow.h"

#include <QApplication>
#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QKeySequence>
#include <QSaveFile>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QTimer>

#include "incidentlog.h"
#include "mixerlink.h"
#include "mylabel.h"
#include "resourcepictures.h"
#include "tavelin_version.h"
#include "ui_mainwindow.h"
#include "vxnanalogclock.h"
#include "vxndigitalclock.h"
#include "vxnppmmeter.h"

namespace {

const char *const organisationName = "Zorbel";
const char *const organisationDomain = "zorbel.example";
const char *const applicationName = "Tavelin Meters";

const int versionMajor = TAVELIN_VERSION_MAJOR;
const int versionMinor = TAVELIN_VERSION_MINOR;
const int versionBuild = TAVELIN_VERSION_BUILD;
const int versionRevision = TAVELIN_VERSION_REVISION;

const char *const defaultRemoteHost = "127.0.0.1";

const int settingsRetryMs = 60000;

}  // namespace

// The steps run in this order: the clickable labels must exist before the
// design rectangles are recorded, the connections before the first queued
// call can arrive, the studio screen before a restored full screen, and the
// library handle opens last.
MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui_MainWindow)
{
    ui->setupUi(this);
    plainTitle = windowTitle();
    // The form's design text must not show before the mic timer has a time.
    ui->label_mictime->hide();

    nameApplication();

    // Style sheet pictures come decoded once from a shared store; the form's
    // labels resolve theirs only when first shown, so this is early enough.
    installResourcePictures();

    createClickableLabels();
    resetModuleLamps();
    recordDesignRects();
    styleWidgets();
    connectSignals();
    createTimers();
    createNotices();

    statusBackground = QPixmap(QStringLiteral(":/resources/png/background_offline.png"));
    frameBackground = QPixmap(QStringLiteral(":/resources/png/MorvidBackgroundEmpty.png"));

    // Before the settings: a restored full screen hides the pointer too.
    setUpStudioScreen();

    loadSettings();
    applyDisplayOnly();
    checkClockSync();

    // Last: from here on the library may call back into a fully built window.
    connectToMixer();
}

void MainWindow::nameApplication()
{
    QCoreApplication::setOrganizationName(QString::fromLatin1(organisationName));
    QCoreApplication::setOrganizationDomain(QString::fromLatin1(organisationDomain));
    QCoreApplication::setApplicationName(QString::fromLatin1(applicationName));

    ui->footerlabel->setText(tr("Zorbel Broadcast Systems - version %1.%2.%3.%4")
                                 .arg(versionMajor)
                                 .arg(versionMinor)
                                 .arg(versionBuild)
                                 .arg(versionRevision));
}

// The clickable labels are children of the window itself, created after the
// form, so they lie above every form widget.
void MainWindow::createClickableLabels()
{
    settingsButton = new myLabel(QString(), this);
    settingsButton->setStyleSheet(QStringLiteral("image: url(:/resources/png/Settings.png);"));
    settingsButton->setGeometry(900, 28, 25, 25);

    nonStopIndicator = new myLabel(QString(), this);
    nonStopIndicator->setStyleSheet(
        QStringLiteral("image: url(:/resources/png/KorvaneMeterIcons2/signals/nonstop-inactive.png);"));
    nonStopIndicator->setGeometry(820, 310, 121, 41);

    QLabel *const sourceLabels[6] = {ui->label_src_1, ui->label_src_2, ui->label_src_3,
                                     ui->label_src_4, ui->label_src_5, ui->label_src_6};
    for (int i = 0; i < 6; ++i) {
        moduleLamps[i] = new myLabel(QString(), this);
        moduleLamps[i]->setGeometry(53 + 164 * i, 546, 61, 61);
        sourceLabels[i]->setGeometry(76 + 164 * i, 581, 31, 20);
        connect(moduleLamps[i], &myLabel::clicked, this, [this, i] { onModuleClicked(i); });
    }
}

void MainWindow::styleWidgets()
{
    VXNAnalogClock *clock = ui->AnalogClock;
    clock->setGeometry(348, 85, 410, 410);
    clock->setHourLines(true);
    clock->setHourLinesColor(QColor(0, 255, 0, 255));
    clock->setMinuteLines(true);
    clock->setMinuteLinesLength(4);
    clock->setMinuteLinesColor(QColor(0, 170, 0, 255));
    clock->setSecondDots(true);
    clock->setSecondDotsCountDown(false);
    clock->setDotSize(4);
    clock->setDotColor(QColor(255, 255, 255, 255));
    clock->setHands(true);
    clock->setHourHandColor(QColor(255, 0, 0, 128));
    clock->setHourHandBorder(24);
    clock->setHourHandLength(12);
    clock->setHourHandWidth(12);
    clock->setMinuteHandColor(QColor(0, 0, 255, 128));
    clock->setMinuteHandBorder(8);
    clock->setMinuteHandLength(28);
    clock->setMinuteHandWidth(8);

    QFont clockFont;
    clockFont.setFamily(QStringLiteral("Bitstream Vera Sans"));
    clockFont.setPointSize(36);
    clockFont.setWeight(75);
    clockFont.setItalic(false);
    clockFont.setStrikeOut(false);
    ui->DigitalClock->setFont(clockFont);
    ui->DigitalClock->setTimeDisplayFont(QFont(QStringLiteral("DejaVu Sans"), 40));
    ui->DigitalClock->setTimeDisplayFontColor(QColor(255, 255, 255, 255));
    ui->DigitalClock->setDateDisplay(true);
    ui->DigitalClock->setDateDisplayFont(QFont(QStringLiteral("DejaVu Sans"), 24));
    ui->DigitalClock->setDateDisplayFontColor(QColor(255, 255, 255, 255));

    ui->ProgLeft->setGradientForground(true);
    ui->ProgRight->setGradientForground(true);
    ui->CrmLeft->setGradientForground(true);
    ui->CrmRight->setGradientForground(true);

    const QString whiteText = QStringLiteral("QLabel\n{\ncolor: rgb(255, 255, 255);\n}");
    ui->proglabel->setStyleSheet(whiteText);
    ui->crmlabel->setStyleSheet(whiteText);
    ui->timelabel->setStyleSheet(whiteText);
    ui->signalslabel->setStyleSheet(whiteText);
}

void MainWindow::connectSignals()
{
    connect(settingsButton, &myLabel::clicked, this, &MainWindow::openSettings);
    connect(nonStopIndicator, &myLabel::clicked, this, &MainWindow::onNonStopClicked);
    connect(this, &MainWindow::doRedrawModules, this, &MainWindow::onRedrawModules);
    connect(this, &MainWindow::doRedrawSignals, this, &MainWindow::onRedrawSignals);
    connect(this, &MainWindow::doHandleMicTimer, this, &MainWindow::onHandleMicTimer);
    connect(this, &MainWindow::doConfigSilenceDetection, this, &MainWindow::onConfigSilenceDetection);
    connect(this, &MainWindow::doKeepAliveTimer, this, &MainWindow::onKeepAliveTimer);
    // The engineer's way in, also where the gear is hidden (display only).
    auto *settingsShortcut = new QShortcut(QKeySequence(Qt::CTRL + Qt::Key_Comma), this);
    connect(settingsShortcut, &QShortcut::activated, this, &MainWindow::openSettings);
}

void MainWindow::createTimers()
{
    meterReleaseTimer = new QTimer(this);
    connect(meterReleaseTimer, &QTimer::timeout, this, &MainWindow::meterRelease);
    meterReleaseTimer->start(releaseInterval);

    silenceAlarmTimer = new QTimer(this);
    connect(silenceAlarmTimer, &QTimer::timeout, this, &MainWindow::onSilenceAlarm);
    voiceTrackTimer = new QTimer(this);
    connect(voiceTrackTimer, &QTimer::timeout, this, &MainWindow::onVoicetrack);
    micElapsed = new QElapsedTimer;
    micDisplayTimer = new QTimer(this);
    connect(micDisplayTimer, &QTimer::timeout, this, &MainWindow::onShowMicTimer);
    keepAliveTimeoutTimer = new QTimer(this);
    keepAliveTimeoutTimer->setSingleShot(true);
    // A coarse timer may end the 3000 ms up to 5 % early or late: meter gaps
    // just under it would flash the window offline.
    keepAliveTimeoutTimer->setTimerType(Qt::PreciseTimer);
    connect(keepAliveTimeoutTimer, &QTimer::timeout, this, &MainWindow::onKeepAliveTimeout);

    mixerLink = new MixerLink(this);
    connect(mixerLink, &MixerLink::opened, this, &MainWindow::mixerOpened);
    connect(mixerLink, &MixerLink::receivePortFailed, this, &MainWindow::showReceivePortFailure);
    connect(mixerLink, &MixerLink::hostNotFound, this, &MainWindow::showHostNotFound);
    clockSyncTimer = new QTimer(this);
    connect(clockSyncTimer, &QTimer::timeout, this, &MainWindow::checkClockSync);
    clockSyncTimer->start(10000);
    settingsRetryTimer = new QTimer(this);
    settingsRetryTimer->setSingleShot(true);
    connect(settingsRetryTimer, &QTimer::timeout, this, &MainWindow::retrySettings);
}

MainWindow::~MainWindow()
{
    // The connection keys only if an accepted dialog's write failed: the
    // system-wide defaults stay in force otherwise.
    writeSettings(PlacementSetting);
    // Returns only once the reader thread can no longer call back.
    korvane_close(handle);
    handle = nullptr;
    delete ui;
    ui = nullptr;
    delete micElapsed;
    micElapsed = nullptr;
}

void MainWindow::loadSettings()
{
    QSettings settings(QString::fromLatin1(organisationName), QString::fromLatin1(applicationName));

    const int screen = settings.value(QStringLiteral("current_screen"), 0).toInt();
    // A screen that no longer exists gives the primary screen.
    QScreen *target = QGuiApplication::screens().value(screen, nullptr);
    if (!target)
        target = QGuiApplication::primaryScreen();
    if (target)
        move(target->geometry().topLeft());

    restoreGeometry(settings.value(QStringLiteral("geometry")).toByteArray());

    // Ports are kept in signed 16-bit members; the bits are the port number.
    udpSendPort = static_cast<qint16>(portSetting(settings, QStringLiteral("udp_send"), MixerLink::defaultSendPort));
    udpRecvPort = static_cast<qint16>(portSetting(settings, QStringLiteral("udp_recv"), MixerLink::defaultRecvPort));
    if (settings.contains(QStringLiteral("use_default_ports")))
        useDefaultPorts = settings.value(QStringLiteral("use_default_ports")).toBool();
    else
        useDefaultPorts = true;
    if (settings.contains(QStringLiteral("remote_host")))
        remoteHost = settings.value(QStringLiteral("remote_host")).toString();
    else
        remoteHost = QString::fromLatin1(defaultRemoteHost);

    // Also from the system-wide store (/etc/xdg), for a wall screen set up
    // for every account.
    displayOnly = settings.value(QStringLiteral("display_only"), false).toBool();
}

// A port that is no number or out of 1..65535 would bind a port nobody
// chose (99999 became 34463, "abc" a random one): the default instead.
quint16 MainWindow::portSetting(QSettings &settings, const QString &key, quint16 fallback)
{
    if (!settings.contains(key))
        return fallback;
    bool ok = false;
    const int port = settings.value(key).toString().trimmed().toInt(&ok);
    if (ok && port >= 1 && port <= 65535)
        return static_cast<quint16>(port);
    logIncident(QStringLiteral("settings-invalid"), key);
    return fallback;
}

QString MainWindow::settingsStorePath()
{
    return QSettings(QString::fromLatin1(organisationName), QString::fromLatin1(applicationName)).fileName();
}

// Placement (screen, geometry, full screen) is written at quit and right
// when full screen changes, so it survives a power cut. The connection keys
// go into the user's store only when the user accepts the settings dialog:
// until then the studio's system-wide defaults (/etc/xdg) keep applying.
// Parts whose write failed are written again with every later write and
// every minute, and the face says so until one succeeds.
void MainWindow::writeSettings(unsigned parts, bool retry)
{
    parts |= unsavedSettings;
    QSettings settings(QString::fromLatin1(organisationName), QString::fromLatin1(applicationName));
    if (parts & PlacementSetting)
        writePlacement(settings);
    if (parts & ConnectionSetting)
        writeConnection(settings);
    settings.sync();
    if (settings.status() == QSettings::NoError) {
        // The user's own choice, or the end of a spell of failures.
        if ((parts & ConnectionSetting) || unsavedSettings)
            logIncident(QStringLiteral("settings-saved"));
        unsavedSettings = 0;
        settingsRetryTimer->stop();
        settingsNotice->hide();
        return;
    }
    // The minute's retries add no line of their own.
    if (!retry)
        logIncident(QStringLiteral("settings-unsaved"),
                    settings.fileName() + QLatin1Char(' ') + unsavedReason(settings.fileName(), settings.status()));
    unsavedSettings = parts;
    settingsNotice->show();
    settingsRetryTimer->start(settingsRetryMs);
}

void MainWindow::retrySettings()
{
    writeSettings(0, true);
}

// The store's own status says only "access" or "format": a trial write of a
// scratch file beside it gives the system's reason (no folder, permission,
// read-only, no space).
QString MainWindow::unsavedReason(const QString &path, int status)
{
    if (status == QSettings::FormatError)
        return QStringLiteral("format error");
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile trial(path);
    trial.setDirectWriteFallback(false);
    if (!trial.open(QIODevice::WriteOnly))
        return trial.errorString();
    trial.cancelWriting();
    return QStringLiteral("write failed");
}

void MainWindow::writeConnection(QSettings &settings)
{
    settings.setValue(QStringLiteral("udp_send"), static_cast<int>(static_cast<quint16>(udpSendPort)));
    settings.setValue(QStringLiteral("udp_recv"), static_cast<int>(static_cast<quint16>(udpRecvPort)));
    settings.setValue(QStringLiteral("use_default_ports"), useDefaultPorts);
    settings.setValue(QStringLiteral("remote_host"), remoteHost);
}

void MainWindow::writePlacement(QSettings &settings)
{
    settings.setValue(QStringLiteral("current_screen"), currentScreen());
    settings.setValue(QStringLiteral("geometry"), saveGeometry());
}

int MainWindow::currentScreen()
{
    QList<QRect> available;
    for (QScreen *screen : QGuiApplication::screens())
        available.append(screen->availableGeometry());
    return screenIndexAt(x(), isMaximized(), available);
}

int MainWindow::screenIndexAt(int x, bool maximised, const QList<QRect> &availableGeometries)
{
    if (availableGeometries.size() <= 1)
        return 0;

    // A maximised window's frame sticks out 8 pixels to the left of its screen.
    if (maximised)
        x += 8;

    for (int i = 0; i < availableGeometries.size(); ++i) {
        const QRect &available = availableGeometries.at(i);
        if (available.x() + available.width() > x)
            return i;
    }
    return 0;
}
