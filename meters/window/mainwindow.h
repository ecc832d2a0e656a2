#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QAtomicInt>
#include <QElapsedTimer>
#include <QList>
#include <QMainWindow>
#include <QMutex>
#include <QPixmap>
#include <QRect>
#include <QSize>
#include <QString>

#include <initializer_list>

#include "korvane.h"
#include "mixerlink.h"

class QLabel;
class QTimer;
class QPaintEvent;
class QResizeEvent;
class QSettings;
class Ui_MainWindow;
class PointerHider;
class myLabel;
class VXNPPMMeter;

// The meter display's one window. It owns the form, the library handle, the
// program's copy of the mixer state and the persisted settings. The class is
// spread over these sources in meters/window/:
//   mainwindow_lifecycle.cpp    construction, destruction, the settings store
//   mainwindow_intake.cpp       the library's callback (reader thread)
//   mainwindow_supervision.cpp  the handle, the state burst, online/offline,
//                               the settings dialog
//   mainwindow_indicators.cpp   lamps, signal icons, mic timer, meters, clicks
//   mainwindow_layout.cpp       the scaled layout and the backgrounds
//   mainwindow_screen.cpp       full screen and the pointer
//   mainwindow_safeguards.cpp   failure, clock-sync and settings notices,
//                               display-only mode
// The mixer link (meters/studio/mixerlink.cpp) opens the handle for it.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Index of the screen the window stands on (only its x position counts).
    int currentScreen();
    // The same choice from the geometry alone: the first screen whose
    // available area's right edge lies right of x (moved 8 pixels in for a
    // maximised window's frame); 0 when none does or there is only one.
    static int screenIndexAt(int x, bool maximised, const QList<QRect> &availableGeometries);

    struct ModuleLampColour {
        int active;
        int activeAndFader;
        int inactive;
    };

    struct SilenceDetectionConfig {
        qint8 threshold;
        quint8 interval;
        int intervalUnit;
        int source;
        int config;
    };

    // The settings store's file; the instance lock lies beside it.
    static QString settingsStorePath();

    // Number of design rectangles the layout scales.
    static const int designRectCount = 32;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

signals:
    void doRedrawModules();
    void doRedrawSignals();
    void doHandleMicTimer();
    void doKeepAliveTimer();
    void doConfigSilenceDetection();

private slots:
    void meterRelease();
    void openSettings();
    void onConfigSilenceDetection();
    void onRedrawModules();
    void onRedrawSignals();
    void onModuleClicked(int module);
    void onSilenceAlarm();
    void onVoicetrack();
    void onNonStopClicked();
    void onHandleMicTimer();
    void onShowMicTimer();
    void onSetUdpPorts(qint16 udp_send_port, qint16 udp_recv_port, bool use_defaults, QString remote_host);
    void onKeepAliveTimeout();
    void onKeepAliveTimer();
    void onlineStatusChanged();

private:
    // lifecycle: steps of construction (in the order it runs them), settings
    void nameApplication();
    void createClickableLabels();
    void styleWidgets();
    void connectSignals();
    void createTimers();
    void loadSettings();
    quint16 portSetting(QSettings &settings, const QString &key, quint16 fallback);
    // What a write of the settings store covers.
    enum SettingsPart : unsigned { PlacementSetting = 1, ConnectionSetting = 2 };
    void writeSettings(unsigned parts, bool retry = false);
    void retrySettings();
    static QString unsavedReason(const QString &path, int status);
    void writePlacement(QSettings &settings);
    void writeConnection(QSettings &settings);

    // studio screen: full screen and the pointer
    void setUpStudioScreen();
    void toggleFullScreen();
    // Leaving full screen: the normal geometry arrives later from the
    // window system, and is stored once it has.
    void placementSettled();

    // event intake (reader thread)
    // What the GUI thread is asked to do once an event's values are taken;
    // several are asked in the order listed.
    enum Then : unsigned {
        ThenNothing = 0,
        ThenRedrawModules = 1,
        ThenConfigSilenceDetection = 2,
        ThenSetSourceLabels = 4,
        ThenHandleMicTimer = 8,
        ThenRedrawSignals = 16,
    };
    static int libraryCallback(const korvane_event *event, void *userdata);
    void handleMixerEvent(const korvane_event *event);
    // Copy an event's values into state members under stateLock, then follow.
    template <int N>
    void take(const int32_t *values, int (&state)[N], unsigned then);
    void take(const int32_t *values, std::initializer_list<int *> state, unsigned then);
    void takeLevels(const float *levels);
    void takeLampColours(const korvane_lamp_colours *colours);
    void takeSilenceConfig(const korvane_silence *silence);
    void follow(unsigned then);
    void announce(QAtomicInt &pending, void (MainWindow::*signal)());
    void applySourceLabels();

    // supervision
    void connectToMixer();
    // From the mixer link: the handle is open, or why it is not yet.
    void mixerOpened();
    void showReceivePortFailure(quint16 port, bool inUse);
    void showHostNotFound(const QString &host);
    void requestMixerState();
    // A failure shown on the face under the status pill and in the title:
    // the subject (a host name, a port) between its lead and its tail. A
    // long subject shrinks the font, then loses its middle, never the words
    // around it.
    void showFailure(const QString &lead, const QString &subject, const QString &tail, const QString &title);
    void clearFailure();
    void fitFailureNotice();

    // studio safeguards: clock synchronisation and display-only mode
    void createNotices();
    void checkClockSync();
    void applyDisplayOnly();

    // indicators
    void redrawModules();
    void setModuleLamp(int index, int colour);
    void resetModuleLamps();
    int moduleColour(int module);
    void releaseMeter(VXNPPMMeter *meter, double level);
    void setSignalIcon(QWidget *widget, const char *name, bool active);
    static QString micTimeText(qint64 ms);

    // layout
    void recordDesignRects();
    void relayout();
    void placeNotices(float scale, int x0, int y0);
    QWidget *designWidget(int index) const;

    // The library and the settings it was opened with.
    korvane_handle handle = nullptr;
    MixerLink *mixerLink = nullptr;
    qint16 udpSendPort = static_cast<qint16>(MixerLink::defaultSendPort);
    qint16 udpRecvPort = static_cast<qint16>(MixerLink::defaultRecvPort);
    QString remoteHost;
    bool useDefaultPorts = true;
    bool displayOnly = false;

    // Mixer state: the library's reader thread writes it, the GUI thread
    // reads it, both under stateLock.
    double progLeftLevel = -50.0;
    double progRightLevel = -50.0;
    double crmLeftLevel = -50.0;
    double crmRightLevel = -50.0;
    int moduleOnState[8] = {};
    int moduleFaderState[8] = {};
    ModuleLampColour moduleLampColours[8] = {};
    SilenceDetectionConfig silenceDetectionConfig = {};
    int onAir1State = 0;
    int onAir2State = 0;
    int nonStopState = 0;
    int silenceState = 0;
    int micOnState = 0;
    int crmMuteState = 0;
    int phoneState = 0;
    int voiceTrackState[8] = {};
    // Module source types of event 100 (entries 0..5).
    int moduleSource[6] = {};
    // Held only for the copy, never while a widget is touched or a signal
    // is emitted.
    mutable QMutex stateLock;

    // Set by the intake when it queues a call, cleared by the call as it
    // starts: at most one of each waits on the GUI thread however fast
    // events arrive, and each reads the state current when it runs.
    QAtomicInt redrawModulesPending;
    QAtomicInt redrawSignalsPending;
    QAtomicInt micTimerPending;
    QAtomicInt silenceConfigPending;
    QAtomicInt sourceLabelsPending;
    QAtomicInt keepAlivePending;

    // GUI state (GUI thread only).
    Ui_MainWindow *ui;
    bool online = false;
    double releaseStep = 0.133;
    int releaseInterval = 10;
    bool voiceTrackBlinkPhase = false;
    bool silenceBlinkPhase = false;
    // Whether the mic timer counts. Survives a dropout, so a microphone
    // still open when the mixer comes back keeps its count.
    bool micTimerCounting = false;
    bool silenceAlarmShown = false;
    myLabel *settingsButton = nullptr;
    myLabel *moduleLamps[6] = {};
    myLabel *nonStopIndicator = nullptr;
    PointerHider *pointerHider = nullptr;
    QString plainTitle;
    QSize windowSize;  // invalid until the first resize
    QPixmap statusBackground;
    QPixmap frameBackground;
    QPixmap scaledStatusBackground;
    QPixmap scaledFrameBackground;
    bool layoutDirty = false;
    // The widgets the layout scales, and their rectangles on the design canvas.
    QWidget *designWidgets[designRectCount] = {};
    QRect designRects[designRectCount];

    // Timers.
    QTimer *meterReleaseTimer = nullptr;
    QTimer *silenceAlarmTimer = nullptr;
    QTimer *voiceTrackTimer = nullptr;
    QTimer *micDisplayTimer = nullptr;
    QTimer *keepAliveTimeoutTimer = nullptr;
    QElapsedTimer *micElapsed = nullptr;
    QTimer *clockSyncTimer = nullptr;      // every 10 s
    QTimer *settingsRetryTimer = nullptr;  // unsaved settings: every minute
    QTimer *placementSettleTimer = nullptr;

    // Notices on the face.
    QLabel *failureNotice = nullptr;
    QString failureLead;
    QString failureSubject;
    QString failureTail;
    int failureNoticeFullPixels = 0;  // the notice's font size before any shrinking
    QLabel *clockSyncNotice = nullptr;
    int clockSyncShown = -1;  // -1 unknown, else whether it was synchronised
    QLabel *settingsNotice = nullptr;
    // Settings parts whose last write failed, written again every minute.
    unsigned unsavedSettings = 0;

    friend class MainWindowFixture;
    friend class TestMainWindow;
};

#endif  // MAINWINDOW_H
