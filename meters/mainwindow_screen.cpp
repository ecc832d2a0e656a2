// On a studio screen: F11 toggles full screen, and the pointer keeps out of
// sight there. The choice is stored at once, so a display left in full
// screen comes back that way even after a power cut.
#include "mainwindow.h"

#include <QKeySequence>
#include <QShortcut>

#include "pointerhider.h"

namespace {

const int pointerIdleMs = 3000;

}  // namespace

void MainWindow::setUpStudioScreen()
{
    auto *fullScreenKey = new QShortcut(QKeySequence(Qt::Key_F11), this);
    connect(fullScreenKey, &QShortcut::activated, this, [this]() { toggleFullScreen(); });
    pointerHider = new PointerHider(this, pointerIdleMs);
}

void MainWindow::toggleFullScreen()
{
    // Only the full-screen flag changes: a window maximised before comes back
    // maximised.
    setWindowState(windowState() ^ Qt::WindowFullScreen);
    savePlacement();
}
