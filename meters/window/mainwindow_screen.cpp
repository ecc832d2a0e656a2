// On a studio screen: F11 toggles full screen, and the pointer keeps out of
// sight there. The choice is stored at once, so a display left in full
// screen comes back that way even after a power cut.
#include "mainwindow.h"

#include <QKeySequence>
#include <QShortcut>
#include <QTimer>

#include "pointerhider.h"

namespace {

const int pointerIdleMs = 3000;
const int placementSettleMs = 500;

}  // namespace

void MainWindow::setUpStudioScreen()
{
    auto *fullScreenKey = new QShortcut(QKeySequence(Qt::Key_F11), this);
    connect(fullScreenKey, &QShortcut::activated, this, [this]() { toggleFullScreen(); });
    pointerHider = new PointerHider(this, pointerIdleMs);
    placementSettleTimer = new QTimer(this);
    placementSettleTimer->setSingleShot(true);
    placementSettleTimer->setInterval(placementSettleMs);
    connect(placementSettleTimer, &QTimer::timeout, this, &MainWindow::placementSettled);
}

void MainWindow::toggleFullScreen()
{
    const bool leaving = isFullScreen();
    // Only the full-screen flag changes: a window maximised before comes back
    // maximised.
    setWindowState(windowState() ^ Qt::WindowFullScreen);
    if (leaving) {
        // The geometry is still the full screen's until the window system
        // answers; stored now it would come back as a screen-sized window.
        // Each resize meanwhile restarts the wait.
        placementSettleTimer->start();
    } else {
        // The normal geometry is still known: stored at once.
        placementSettleTimer->stop();
        writeSettings(PlacementSetting);
    }
}

void MainWindow::placementSettled()
{
    writeSettings(PlacementSetting);
}
