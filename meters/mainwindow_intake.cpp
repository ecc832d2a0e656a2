// Intake of the library's events. Everything here runs on the library's
// reader thread: it only copies values under stateLock and emits signals,
// which reach their slots queued on the GUI thread. Widgets are never touched
// from here; the source-label texts are posted to the GUI thread. A flood of
// events queues no more than one call of each kind.
#include "mainwindow.h"

#include <QLabel>
#include <QMetaObject>
#include <QMutexLocker>

#include <algorithm>

#include "ui_mainwindow.h"

int MainWindow::libraryCallback(const korvane_event *event, void *userdata)
{
    if (event && userdata)
        static_cast<MainWindow *>(userdata)->handleMixerEvent(event);
    return 0;
}

void MainWindow::announce(QAtomicInt &pending, void (MainWindow::*signal)())
{
    // A call already waiting will read this event's state too.
    if (pending.testAndSetOrdered(0, 1))
        (this->*signal)();
}

void MainWindow::applySourceLabels()
{
    sourceLabelsPending.storeRelease(0);
    int source[6];
    {
        QMutexLocker locker(&stateLock);
        std::copy(moduleSource, moduleSource + 6, source);
    }
    QLabel *const labels[6] = {ui->label_src_1, ui->label_src_2, ui->label_src_3,
                               ui->label_src_4, ui->label_src_5, ui->label_src_6};
    const QString types[6] = {tr("MIC"), tr("MIC"), tr("USB"), tr("USB"), tr("USB"), tr("VOIP")};
    for (int i = 0; i < 6; ++i)
        labels[i]->setText(source[i] ? types[i] : tr("LINE"));
}

void MainWindow::handleMixerEvent(const korvane_event *event)
{
    if (!event->data)
        return;

    switch (event->id) {
    case KORVANE_ID_CONFIG_ON: {
        const korvane_lamp_colours *colours = static_cast<const korvane_lamp_colours *>(event->data);
        {
            QMutexLocker locker(&stateLock);
            for (int i = 0; i < 8; ++i) {
                moduleLampColours[i].active = colours->module[i].active;
                moduleLampColours[i].activeAndFader = colours->module[i].active_and_fader;
                moduleLampColours[i].inactive = colours->module[i].inactive;
            }
        }
        announce(redrawModulesPending, &MainWindow::doRedrawModules);
        break;
    }
    case KORVANE_ID_CONFIG_SILENCE_DETECTION: {
        const korvane_silence *silence = static_cast<const korvane_silence *>(event->data);
        {
            QMutexLocker locker(&stateLock);
            silenceDetectionConfig.threshold = silence->threshold;
            silenceDetectionConfig.interval = silence->interval;
            silenceDetectionConfig.intervalUnit = silence->interval_unit;
            silenceDetectionConfig.source = silence->source;
            silenceDetectionConfig.config = silence->config;
        }
        announce(silenceConfigPending, &MainWindow::doConfigSilenceDetection);
        break;
    }
    case KORVANE_ID_MODULE_ON: {
        const int32_t *values = static_cast<const int32_t *>(event->data);
        {
            QMutexLocker locker(&stateLock);
            for (int i = 0; i < 8; ++i)
                moduleOnState[i] = values[i];
        }
        announce(redrawModulesPending, &MainWindow::doRedrawModules);
        break;
    }
    case KORVANE_ID_FADER: {
        const int32_t *values = static_cast<const int32_t *>(event->data);
        {
            QMutexLocker locker(&stateLock);
            for (int i = 0; i < 8; ++i)
                moduleFaderState[i] = values[i];
        }
        announce(redrawModulesPending, &MainWindow::doRedrawModules);
        break;
    }
    case KORVANE_ID_MODULE_SOURCE: {
        // The texts are set on the GUI thread.
        const int32_t *values = static_cast<const int32_t *>(event->data);
        {
            QMutexLocker locker(&stateLock);
            std::copy(values, values + 6, moduleSource);
        }
        if (sourceLabelsPending.testAndSetOrdered(0, 1))
            QMetaObject::invokeMethod(this, [this] { applySourceLabels(); }, Qt::QueuedConnection);
        break;
    }
    case KORVANE_ID_NON_STOP: {
        const int32_t *values = static_cast<const int32_t *>(event->data);
        {
            QMutexLocker locker(&stateLock);
            nonStopState = values[0];
        }
        announce(redrawSignalsPending, &MainWindow::doRedrawSignals);
        break;
    }
    case KORVANE_ID_MIC_ON: {
        const int32_t *values = static_cast<const int32_t *>(event->data);
        {
            QMutexLocker locker(&stateLock);
            micOnState = values[0];
        }
        announce(micTimerPending, &MainWindow::doHandleMicTimer);
        announce(redrawSignalsPending, &MainWindow::doRedrawSignals);
        break;
    }
    case KORVANE_ID_ON_AIR: {
        const int32_t *values = static_cast<const int32_t *>(event->data);
        {
            QMutexLocker locker(&stateLock);
            onAir1State = values[0];
            onAir2State = values[1];
        }
        announce(redrawSignalsPending, &MainWindow::doRedrawSignals);
        break;
    }
    case KORVANE_ID_SILENCE: {
        const int32_t *values = static_cast<const int32_t *>(event->data);
        {
            QMutexLocker locker(&stateLock);
            silenceState = values[0];
        }
        announce(redrawSignalsPending, &MainWindow::doRedrawSignals);
        break;
    }
    case KORVANE_ID_CRM_MUTE: {
        const int32_t *values = static_cast<const int32_t *>(event->data);
        {
            QMutexLocker locker(&stateLock);
            crmMuteState = values[0];
        }
        announce(redrawSignalsPending, &MainWindow::doRedrawSignals);
        break;
    }
    case KORVANE_ID_VOICE_TRACK: {
        // No signal: the voice-track blink timer reads these.
        const int32_t *values = static_cast<const int32_t *>(event->data);
        QMutexLocker locker(&stateLock);
        for (int i = 0; i < 8; ++i)
            voiceTrackState[i] = values[i];
        break;
    }
    case KORVANE_ID_PHONE: {
        const int32_t *values = static_cast<const int32_t *>(event->data);
        {
            QMutexLocker locker(&stateLock);
            phoneState = values[0];
        }
        announce(redrawSignalsPending, &MainWindow::doRedrawSignals);
        break;
    }
    case KORVANE_ID_METERS: {
        // Every meter message is the mixer's sign of life.
        emit doKeepAliveTimer();
        const float *levels = static_cast<const float *>(event->data);
        QMutexLocker locker(&stateLock);
        progLeftLevel = static_cast<double>(levels[0]);
        progRightLevel = static_cast<double>(levels[1]);
        crmLeftLevel = static_cast<double>(levels[4]);
        crmRightLevel = static_cast<double>(levels[5]);
        break;
    }
    default:
        break;
    }
}
