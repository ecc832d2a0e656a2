// Connection supervision: opening the library handle, asking for the mixer's
// state, and deciding online/offline from the stream of meter messages.
#include "mainwindow.h"

#include <QByteArray>
#include <QDialog>
#include <QHostAddress>
#include <QHostInfo>
#include <QLabel>
#include <QMutexLocker>
#include <QPointer>
#include <QTimer>
#include <QUdpSocket>

#include "csettingsdialog.h"
#include "incidentlog.h"
#include "librarylog.h"
#include "mylabel.h"
#include "ui_mainwindow.h"

namespace {

// The mixer counts as gone after this long without a meter message.
const int keepAliveTimeoutMs = 3000;
const int voiceTrackBlinkMs = 400;
const int micDisplayMs = 100;
const int openRetryMs = 2000;
const int lookupRetryMs = 60000;

// Whether another socket holds the port (the library's open failed):
// the usual case is a second instance or one still exiting.
bool receivePortInUse(quint16 port)
{
    QUdpSocket probe;
    return !probe.bind(QHostAddress::AnyIPv4, port, QAbstractSocket::DontShareAddress) &&
           probe.error() == QAbstractSocket::AddressInUseError;
}

// A host name no title bar can show whole keeps its start and its end.
QString elidedForTitle(const QString &text)
{
    const int keep = 40;
    if (text.size() <= 2 * keep + 1)
        return text;
    return text.left(keep) + QChar(0x2026) + text.right(keep);
}

// The first IPv4 answer, as dotted text; empty when there is none.
QString firstIPv4(const QHostInfo &info)
{
    for (const QHostAddress &answer : info.addresses()) {
        bool isIPv4 = false;
        const quint32 ipv4 = answer.toIPv4Address(&isIPv4);
        if (isIPv4)
            return QHostAddress(ipv4).toString();
    }
    return QString();
}

// The whole state the display needs, in the order the mixer is asked.
const int stateRequestIds[] = {
    KORVANE_ID_MODULE_SOURCE,
    KORVANE_ID_MODULE_ON,
    KORVANE_ID_FADER,
    KORVANE_ID_CONFIG_ON,
    KORVANE_ID_CONFIG_SILENCE_DETECTION,
    KORVANE_ID_VOICE_TRACK,
    KORVANE_ID_ON_AIR,
    KORVANE_ID_NON_STOP,
    KORVANE_ID_SILENCE,
    KORVANE_ID_MIC_ON,
    KORVANE_ID_CRM_MUTE,
};

const char *const onlineBackground = ":/resources/png/background_online.png";
const char *const offlineBackground = ":/resources/png/background_offline.png";

}  // namespace

void MainWindow::connectToMixer()
{
    openRetryTimer->stop();
    lookupRetryTimer->stop();
    ++lookupGeneration;  // an answer still on its way is for older settings
    openFailureReported = false;
    clearFailure();

    QHostAddress numeric;
    if (numeric.setAddress(remoteHost) && numeric.protocol() == QAbstractSocket::IPv4Protocol) {
        mixerAddress = remoteHost;
        openHandle();
    } else {
        // The settings name the mixer by host name (written by hand, or by
        // an older version): looked up like the settings dialog does.
        lookUpMixerHost();
    }
}

void MainWindow::lookUpMixerHost()
{
    const int generation = ++lookupGeneration;
    QHostInfo::lookupHost(remoteHost, this,
                          [this, generation](const QHostInfo &info) { mixerHostLookedUp(info, generation); });
}

void MainWindow::mixerHostLookedUp(const QHostInfo &info, int generation)
{
    if (generation != lookupGeneration || handle)
        return;
    const QString address = info.error() == QHostInfo::NoError ? firstIPv4(info) : QString();
    if (address.isEmpty()) {
        logIncident(QStringLiteral("lookup-failed"), remoteHost);
        showFailure(tr("MIXER HOST"), remoteHost, tr("NOT FOUND"),
                    tr("mixer host %1 not found").arg(elidedForTitle(remoteHost)));
        lookupRetryTimer->start(lookupRetryMs);
        return;
    }
    mixerAddress = address;
    clearFailure();
    openHandle();
}

void MainWindow::openHandle()
{
    const QByteArray host = mixerAddress.toUtf8();
    const quint16 recvPort = static_cast<quint16>(udpRecvPort);
    handle = korvane_open(host.constData(), recvPort, static_cast<quint16>(udpSendPort));
    if (!handle) {
        // Shown and logged once per failure, retried until the port is free.
        if (!openFailureReported) {
            openFailureReported = true;
            if (receivePortInUse(recvPort)) {
                logIncident(QStringLiteral("receive-port-busy"), QString::number(recvPort));
                showFailure(tr("RECEIVE PORT"), QString::number(recvPort), tr("IN USE"),
                            tr("receive port %1 in use").arg(recvPort));
            } else {
                logIncident(QStringLiteral("receive-port-busy"),
                            QString::number(recvPort) + QStringLiteral(" cannot-open"));
                showFailure(tr("CANNOT OPEN RECEIVE PORT"), QString::number(recvPort), QString(),
                            tr("cannot open receive port %1").arg(recvPort));
            }
        }
        openRetryTimer->start(openRetryMs);
        return;
    }
    openFailureReported = false;
    clearFailure();

    startLibraryLog(handle, recvPort);
    korvane_register_callback(handle, &MainWindow::libraryCallback, this);
    keepAliveTimeoutTimer->start(keepAliveTimeoutMs);
    requestMixerState();
}

void MainWindow::showFailure(const QString &lead, const QString &subject, const QString &tail, const QString &title)
{
    failureLead = lead;
    failureSubject = subject;
    failureTail = tail;
    fitFailureNotice();
    failureNotice->show();
    setWindowTitle(plainTitle + QStringLiteral(" \u2013 ") + title);
}

void MainWindow::clearFailure()
{
    failureNotice->hide();
    failureNotice->clear();
    failureLead.clear();
    failureSubject.clear();
    failureTail.clear();
    setWindowTitle(plainTitle);
}

void MainWindow::requestMixerState()
{
    micDisplayTimer->start(micDisplayMs);
    // A microphone that stayed open through a dropout keeps its count.
    if (!micTimerCounting)
        micElapsed->start();
    for (int id : stateRequestIds)
        korvane_request(handle, id);
}

void MainWindow::onKeepAliveTimer()
{
    keepAlivePending.storeRelease(0);
    // A stopped timer means the mixer was silent (or this is the very first
    // message): its state may have changed meanwhile, so ask for all of it.
    if (!keepAliveTimeoutTimer->isActive())
        requestMixerState();

    keepAliveTimeoutTimer->start(keepAliveTimeoutMs);

    if (!online) {
        online = true;
        voiceTrackTimer->start(voiceTrackBlinkMs);
        onlineStatusChanged();
        logIncident(QStringLiteral("mixer-online"),
                    mixerAddress + QLatin1Char(':') + QString::number(static_cast<quint16>(udpSendPort)));
    }
}

void MainWindow::onKeepAliveTimeout()
{
    // Once per silence: the time-out is restarted only by a meter message.
    logIncident(QStringLiteral("mixer-offline"));
    online = false;
    onlineStatusChanged();

    micDisplayTimer->stop();
    silenceAlarmTimer->stop();
    voiceTrackTimer->stop();

    resetModuleLamps();

    {
        QMutexLocker locker(&stateLock);
        progLeftLevel = -50.0;
        progRightLevel = -50.0;
        crmLeftLevel = -50.0;
        crmRightLevel = -50.0;
    }

    ui->label_mictime->hide();

    setSignalIcon(ui->label_onair1, "onair1", false);
    setSignalIcon(ui->label_onair2, "onair2", false);
    setSignalIcon(nonStopIndicator, "nonstop", false);
    setSignalIcon(ui->label_silence, "silence", false);
    setSignalIcon(ui->label_micon, "micon", false);
    setSignalIcon(ui->label_crmmute, "crmmute", false);
}

void MainWindow::onlineStatusChanged()
{
    if (online) {
        statusBackground = QPixmap(QString::fromLatin1(onlineBackground));
        layoutDirty = true;
    } else {
        statusBackground = QPixmap(QString::fromLatin1(offlineBackground));
        layoutDirty = true;
        QMutexLocker locker(&stateLock);
        micOnState = 0;
    }
    // The new picture has to reach the screen even when nothing else repaints.
    update();
}

void MainWindow::openSettings()
{
    QPointer<CSettingsDialog> dialog = new CSettingsDialog(udpSendPort, udpRecvPort, useDefaultPorts, remoteHost, this);
    connect(dialog, &CSettingsDialog::setUdpPorts, this, &MainWindow::onSetUdpPorts);

    const int result = dialog->exec();
    delete dialog;

    if (result == QDialog::Accepted) {
        korvane_close(handle);
        handle = nullptr;
        connectToMixer();
    }
}

void MainWindow::onSetUdpPorts(qint16 udp_send_port, qint16 udp_recv_port, bool use_defaults, QString remote_host)
{
    udpSendPort = udp_send_port;
    udpRecvPort = udp_recv_port;
    useDefaultPorts = use_defaults;
    remoteHost = remote_host;
    // Written at once: a logout or shutdown must not bring back the old
    // mixer on the next start.
    writeSettings(ConnectionSetting);
}
