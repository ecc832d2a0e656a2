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

void MainWindow::handleMixerEvent(const korvane_event *event)
{
    if (!event->data)
        return;
    const int32_t *values = static_cast<const int32_t *>(event->data);

    switch (event->id) {
    case KORVANE_ID_METERS:
        // Every meter message is the mixer's sign of life.
        announce(keepAlivePending, &MainWindow::doKeepAliveTimer);
        takeLevels(static_cast<const float *>(event->data));
        break;
    case KORVANE_ID_CONFIG_ON: takeLampColours(static_cast<const korvane_lamp_colours *>(event->data)); break;
    case KORVANE_ID_CONFIG_SILENCE_DETECTION:
        takeSilenceConfig(static_cast<const korvane_silence *>(event->data));
        break;
    case KORVANE_ID_MODULE_ON: take(values, moduleOnState, ThenRedrawModules); break;
    case KORVANE_ID_FADER: take(values, moduleFaderState, ThenRedrawModules); break;
    case KORVANE_ID_MODULE_SOURCE: take(values, moduleSource, ThenSetSourceLabels); break;
    case KORVANE_ID_VOICE_TRACK:
        // The voice-track blink timer reads these.
        take(values, voiceTrackState, ThenNothing);
        break;
    case KORVANE_ID_NON_STOP: take(values, {&nonStopState}, ThenRedrawSignals); break;
    case KORVANE_ID_MIC_ON: take(values, {&micOnState}, ThenHandleMicTimer | ThenRedrawSignals); break;
    case KORVANE_ID_ON_AIR: take(values, {&onAir1State, &onAir2State}, ThenRedrawSignals); break;
    case KORVANE_ID_SILENCE: take(values, {&silenceState}, ThenRedrawSignals); break;
    case KORVANE_ID_CRM_MUTE: take(values, {&crmMuteState}, ThenRedrawSignals); break;
    case KORVANE_ID_PHONE: take(values, {&phoneState}, ThenRedrawSignals); break;
    default: break;
    }
}

template <int N>
void MainWindow::take(const int32_t *values, int (&state)[N], unsigned then)
{
    {
        QMutexLocker locker(&stateLock);
        std::copy(values, values + N, state);
    }
    follow(then);
}

void MainWindow::take(const int32_t *values, std::initializer_list<int *> state, unsigned then)
{
    {
        QMutexLocker locker(&stateLock);
        for (int *member : state)
            *member = *values++;
    }
    follow(then);
}

void MainWindow::takeLevels(const float *levels)
{
    QMutexLocker locker(&stateLock);
    progLeftLevel = static_cast<double>(levels[0]);
    progRightLevel = static_cast<double>(levels[1]);
    crmLeftLevel = static_cast<double>(levels[4]);
    crmRightLevel = static_cast<double>(levels[5]);
}

void MainWindow::takeLampColours(const korvane_lamp_colours *colours)
{
    {
        QMutexLocker locker(&stateLock);
        for (int i = 0; i < 8; ++i) {
            moduleLampColours[i].active = colours->module[i].active;
            moduleLampColours[i].activeAndFader = colours->module[i].active_and_fader;
            moduleLampColours[i].inactive = colours->module[i].inactive;
        }
    }
    follow(ThenRedrawModules);
}

void MainWindow::takeSilenceConfig(const korvane_silence *silence)
{
    {
        QMutexLocker locker(&stateLock);
        silenceDetectionConfig.threshold = silence->threshold;
        silenceDetectionConfig.interval = silence->interval;
        silenceDetectionConfig.intervalUnit = silence->interval_unit;
        silenceDetectionConfig.source = silence->source;
        silenceDetectionConfig.config = silence->config;
    }
    follow(ThenConfigSilenceDetection);
}

void MainWindow::follow(unsigned then)
{
    if (then & ThenRedrawModules)
        announce(redrawModulesPending, &MainWindow::doRedrawModules);
    if (then & ThenConfigSilenceDetection)
        announce(silenceConfigPending, &MainWindow::doConfigSilenceDetection);
    // The texts are set on the GUI thread.
    if ((then & ThenSetSourceLabels) && sourceLabelsPending.testAndSetOrdered(0, 1))
        QMetaObject::invokeMethod(
            this, [this] { applySourceLabels(); }, Qt::QueuedConnection);
    // The mic timer learns of a new state before the signals are redrawn.
    if (then & ThenHandleMicTimer)
        announce(micTimerPending, &MainWindow::doHandleMicTimer);
    if (then & ThenRedrawSignals)
        announce(redrawSignalsPending, &MainWindow::doRedrawSignals);
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
