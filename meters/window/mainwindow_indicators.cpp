// Module lamps, studio signal icons, the mic-on timer, the silence marker and
// the meter ballistics. GUI thread only; mixer state is copied out under
// stateLock before any widget is touched.
#include "mainwindow.h"

#include <algorithm>
#include <iterator>

#include <QMutexLocker>
#include <QTime>
#include <QTimer>

#include "incidentlog.h"
#include "mylabel.h"
#include "ui_mainwindow.h"
#include "vxnppmmeter.h"

namespace {

const int silenceAlarmMs = 400;

// The modules whose lamps blink in voice-track mode, counted from 0: lamps
// 1, 2, 3 and 6. The redraw leaves these to the blink while they are in
// voice-track mode, so both read this one list; a module the redraw left
// out and the blink did not take would freeze its lamp.
const int blinkingModules[] = {0, 1, 2, 5};

bool blinksInVoiceTrack(int module)
{
    return std::find(std::begin(blinkingModules), std::end(blinkingModules), module) != std::end(blinkingModules);
}

QString lampStyle(int lamp, int colour)
{
    const char *name = colour == 1 ? "red" : colour == 2 ? "green" : "grey";
    return QStringLiteral("image: url(:/resources/png/KorvaneMeterIcons2/sunken/%1-%2.png);")
        .arg(lamp)
        .arg(QLatin1String(name));
}

}  // namespace

void MainWindow::setSignalIcon(QWidget *widget, const char *name, bool active)
{
    widget->setStyleSheet(QStringLiteral("image: url(:/resources/png/KorvaneMeterIcons2/signals/%1-%2.png);")
                              .arg(QLatin1String(name))
                              .arg(active ? QLatin1String("active") : QLatin1String("inactive")));
}

void MainWindow::setModuleLamp(int index, int colour)
{
    if (index < 0 || index > 5)
        return;
    // Assigned on every redraw, also when unchanged: each redraw re-applies
    // the picture the mixer's state asks for.
    moduleLamps[index]->setStyleSheet(lampStyle(index + 1, colour));
}

void MainWindow::resetModuleLamps()
{
    for (int i = 0; i < 6; ++i)
        setModuleLamp(i, 0);
}

int MainWindow::moduleColour(int module)
{
    QMutexLocker locker(&stateLock);
    const ModuleLampColour &colours = moduleLampColours[module];
    if (moduleOnState[module] != 1)
        return colours.inactive;
    if (moduleFaderState[module] == 1)
        return colours.activeAndFader;
    return colours.active;
}

void MainWindow::onRedrawModules()
{
    redrawModulesPending.storeRelease(0);
    redrawModules();
}

void MainWindow::redrawModules()
{
    int voiceTrack[8];
    {
        QMutexLocker locker(&stateLock);
        std::copy(voiceTrackState, voiceTrackState + 8, voiceTrack);
    }
    for (int i = 0; i < 6; ++i) {
        if (blinksInVoiceTrack(i) && voiceTrack[i] != 0)
            continue;
        setModuleLamp(i, moduleColour(i));
    }
}

void MainWindow::onVoicetrack()
{
    for (int i : blinkingModules) {
        int voiceTrack, on, inactive;
        {
            QMutexLocker locker(&stateLock);
            voiceTrack = voiceTrackState[i];
            on = moduleOnState[i];
            inactive = moduleLampColours[i].inactive;
        }
        if (voiceTrack == 0)
            continue;
        if (on != 1 || voiceTrackBlinkPhase)
            setModuleLamp(i, inactive);
        else
            setModuleLamp(i, moduleColour(i));
    }
    voiceTrackBlinkPhase = !voiceTrackBlinkPhase;
    redrawModules();
}

void MainWindow::onRedrawSignals()
{
    redrawSignalsPending.storeRelease(0);
    int onAir1, onAir2, nonStop, silence, micOn, crmMute, phone;
    {
        QMutexLocker locker(&stateLock);
        onAir1 = onAir1State;
        onAir2 = onAir2State;
        nonStop = nonStopState;
        silence = silenceState;
        micOn = micOnState;
        crmMute = crmMuteState;
        phone = phoneState;
    }

    setSignalIcon(ui->label_onair1, "onair1", onAir1 == 1);
    setSignalIcon(ui->label_onair2, "onair2", onAir2 == 1);
    setSignalIcon(nonStopIndicator, "nonstop", nonStop == 1);
    if ((silence == 1) != silenceAlarmShown) {
        silenceAlarmShown = silence == 1;
        logIncident(silenceAlarmShown ? QStringLiteral("silence-alarm-on") : QStringLiteral("silence-alarm-off"));
    }
    if (silence == 1) {
        setSignalIcon(ui->label_silence, "silence", true);
        // Each report of silence starts the blink afresh with the icon lit.
        silenceBlinkPhase = false;
        silenceAlarmTimer->start(silenceAlarmMs);
    } else {
        silenceAlarmTimer->stop();
        setSignalIcon(ui->label_silence, "silence", false);
    }
    setSignalIcon(ui->label_micon, "micon", micOn == 1);
    setSignalIcon(ui->label_crmmute, "crmmute", crmMute == 1);
    setSignalIcon(ui->label_telring, "phone", phone == 1);
}

void MainWindow::onSilenceAlarm()
{
    silenceBlinkPhase = !silenceBlinkPhase;
    // An alarm should catch the eye: the icon blinks with the alarm's phase.
    setSignalIcon(ui->label_silence, "silence", !silenceBlinkPhase);
}

void MainWindow::onHandleMicTimer()
{
    micTimerPending.storeRelease(0);
    int micOn;
    {
        QMutexLocker locker(&stateLock);
        micOn = micOnState;
    }
    // Only off -> on starts the count afresh: the mixer reports "on" again
    // after every dropout while the microphone stayed open.
    if (micOn == 1 && !micTimerCounting)
        micElapsed->restart();
    micTimerCounting = micOn == 1;
}

// Whole hours past 24 too ("100:00:00"): a microphone left open over a
// weekend must not read as a few minutes.
QString MainWindow::micTimeText(qint64 ms)
{
    const qint64 seconds = ms / 1000;
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg((seconds / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

void MainWindow::onShowMicTimer()
{
    int micOn;
    {
        QMutexLocker locker(&stateLock);
        micOn = micOnState;
    }
    ui->label_mictime->setVisible(micOn == 1);

    ui->label_mictime->setText(micTimeText(micElapsed->elapsed()));
}

void MainWindow::onConfigSilenceDetection()
{
    silenceConfigPending.storeRelease(0);
    SilenceDetectionConfig config;
    {
        QMutexLocker locker(&stateLock);
        config = silenceDetectionConfig;
    }

    const double threshold = static_cast<double>(config.threshold);
    ui->ProgLeft->setMarkerdBPosition(threshold);
    ui->ProgRight->setMarkerdBPosition(threshold);

    if (config.config == 1) {
        switch (config.source) {
        case 0:
            ui->ProgLeft->setShowMarker(true);
            ui->ProgRight->setShowMarker(false);
            break;
        case 1:
            ui->ProgLeft->setShowMarker(false);
            ui->ProgRight->setShowMarker(true);
            break;
        case 2:
            ui->ProgLeft->setShowMarker(true);
            ui->ProgRight->setShowMarker(true);
            break;
        default: break;
        }
    } else {
        ui->ProgLeft->setShowMarker(false);
        ui->ProgRight->setShowMarker(false);
    }

    ui->ProgLeft->update();
    ui->ProgRight->update();
}

void MainWindow::onModuleClicked(int module)
{
    // A brush against a shared touch screen must not switch the live console.
    if (displayOnly || module < 0 || module >= 6)
        return;
    // The lamp changes only when the mixer reports the new state.
    korvane_remote_on(handle, module, 2);
}

void MainWindow::onNonStopClicked()
{
    if (displayOnly)
        return;
    korvane_remote_non_stop(handle, 2);
}

void MainWindow::meterRelease()
{
    double levels[4];
    {
        QMutexLocker locker(&stateLock);
        levels[0] = progLeftLevel;
        levels[1] = progRightLevel;
        levels[2] = crmLeftLevel;
        levels[3] = crmRightLevel;
    }
    releaseMeter(ui->ProgLeft, levels[0]);
    releaseMeter(ui->ProgRight, levels[1]);
    releaseMeter(ui->CrmLeft, levels[2]);
    releaseMeter(ui->CrmRight, levels[3]);
}

void MainWindow::releaseMeter(VXNPPMMeter *meter, double level)
{
    const double current = meter->dBPosition();
    if (!(current > -50.0 || level > -50.0))
        return;

    // Rising levels show at once; falling ones sink at most releaseStep per tick.
    float diff = static_cast<float>(level - current);
    if (diff < -releaseStep)
        diff = static_cast<float>(-releaseStep);
    if (diff != 0.0f) {
        meter->setdBPositionNoUpdate(current + static_cast<double>(diff));
        // Only the rows between the old and the new bar top are painted.
        if (meter->calculatePosition())
            meter->update(meter->changedRows());
    }
}
