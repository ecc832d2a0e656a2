// Connection supervision: opening the library handle, asking for the mixer's
// state, and deciding online/offline from the stream of meter messages.
#include "mainwindow.h"

#include <QByteArray>
#include <QDialog>
#include <QMutexLocker>
#include <QPointer>
#include <QTimer>

#include "csettingsdialog.h"
#include "mylabel.h"
#include "ui_mainwindow.h"

namespace {

// The mixer counts as gone after this long without a meter message.
const int keepAliveTimeoutMs = 3000;
const int voiceTrackBlinkMs = 400;
const int micDisplayMs = 100;

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
    const QByteArray host = remoteHost.toUtf8();
    handle = korvane_open(host.constData(), static_cast<quint16>(udpRecvPort), static_cast<quint16>(udpSendPort));
    if (!handle)
        return;

    korvane_logging(handle, 1);
    korvane_register_callback(handle, &MainWindow::libraryCallback, this);
    keepAliveTimeoutTimer->start(keepAliveTimeoutMs);
    requestMixerState();
}

void MainWindow::requestMixerState()
{
    micDisplayTimer->start(micDisplayMs);
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
    }
}

void MainWindow::onKeepAliveTimeout()
{
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
    connect(dialog, SIGNAL(setUdpPorts(qint16, qint16, bool, QString)), this,
            SLOT(onSetUdpPorts(qint16, qint16, bool, QString)));

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
}
