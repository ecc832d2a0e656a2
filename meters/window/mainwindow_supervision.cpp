// Connection supervision: taking the handle the mixer link opens, showing
// why it cannot, asking for the mixer's state, and deciding online/offline
// from the stream of meter messages.
#include "mainwindow.h"

#include <QDialog>
#include <QLabel>
#include <QMutexLocker>
#include <QPointer>
#include <QTimer>

#include "csettingsdialog.h"
#include "incidentlog.h"
#include "librarylog.h"
#include "mixerlink.h"
#include "mylabel.h"
#include "state_requests.h"
#include "ui_mainwindow.h"

namespace {

// The mixer counts as gone after this long without a meter message.
const int keepAliveTimeoutMs = 3000;
const int voiceTrackBlinkMs = 400;
const int micDisplayMs = 100;

// A host name no title bar can show whole keeps its start and its end.
QString elidedForTitle(const QString &text)
{
    const int keep = 40;
    if (text.size() <= 2 * keep + 1)
        return text;
    return text.left(keep) + QChar(0x2026) + text.right(keep);
}

const char *const onlineBackground = ":/resources/png/background_online.png";
const char *const offlineBackground = ":/resources/png/background_offline.png";

}  // namespace

void MainWindow::connectToMixer()
{
    clearFailure();
    mixerLink->connectTo(remoteHost, static_cast<quint16>(udpRecvPort), static_cast<quint16>(udpSendPort));
}

void MainWindow::mixerOpened()
{
    handle = mixerLink->takeHandle();
    clearFailure();

    const quint16 recvPort = static_cast<quint16>(udpRecvPort);
    startLibraryLog(handle, recvPort);
    korvane_register_callback(handle, &MainWindow::libraryCallback, this);
    keepAliveTimeoutTimer->start(keepAliveTimeoutMs);
    requestMixerState();
}

void MainWindow::showReceivePortFailure(quint16 port, bool inUse)
{
    if (inUse)
        showFailure(tr("RECEIVE PORT"), QString::number(port), tr("IN USE"), tr("receive port %1 in use").arg(port));
    else
        showFailure(tr("CANNOT OPEN RECEIVE PORT"), QString::number(port), QString(),
                    tr("cannot open receive port %1").arg(port));
}

void MainWindow::showHostNotFound(const QString &host)
{
    showFailure(tr("MIXER HOST"), host, tr("NOT FOUND"), tr("mixer host %1 not found").arg(elidedForTitle(host)));
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
                    mixerLink->address() + QLatin1Char(':') + QString::number(static_cast<quint16>(udpSendPort)));
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

    // The phone icon keeps its last picture on purpose: a call that rang
    // before the mixer went silent is still worth seeing. The source labels
    // keep their texts too.
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
