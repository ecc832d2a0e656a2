#include "pointerhider.h"

#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

PointerHider::PointerHider(QWidget *window, int idleMs)
    : QObject(window)
    , window(window)
    , idleTimer(new QTimer(this))
{
    // The user sees when the pointer goes: time it precisely.
    idleTimer->setTimerType(Qt::PreciseTimer);
    idleTimer->setSingleShot(true);
    idleTimer->setInterval(idleMs);
    connect(idleTimer, &QTimer::timeout, this, [this]() { hidePointer(); });
    window->installEventFilter(this);
    follow();
}

int PointerHider::idleInterval() const
{
    return idleTimer->interval();
}

void PointerHider::setIdleInterval(int ms)
{
    idleTimer->setInterval(ms);
    if (idleTimer->isActive())
        idleTimer->start();
}

bool PointerHider::eventFilter(QObject *object, QEvent *event)
{
    if (object == window) {
        if (event->type() == QEvent::WindowStateChange)
            follow();
        else if (event->type() == QEvent::Show && active)
            watchMoves();  // the native window may only exist from now on
    } else if (object == watched && event->type() == QEvent::MouseMove) {
        pointerMoved(static_cast<QMouseEvent *>(event)->globalPos());
    }
    return false;
}

void PointerHider::follow()
{
    const bool fullScreen = window->isFullScreen();
    if (fullScreen == active)
        return;
    active = fullScreen;
    if (active) {
        lastPos = QCursor::pos();
        watchMoves();
        idleTimer->start();
    } else {
        idleTimer->stop();
        if (watched)
            watched->removeEventFilter(this);
        watched = nullptr;
        showPointer();
    }
}

void PointerHider::watchMoves()
{
    // Moves over any child widget pass through the native window first, so
    // one filter sees them all without mouse tracking on every widget.
    QWindow *handle = window->windowHandle();
    if (!handle || handle == watched)
        return;
    if (watched)
        watched->removeEventFilter(this);
    watched = handle;
    watched->installEventFilter(this);
}

void PointerHider::pointerMoved(const QPoint &globalPos)
{
    // Some systems repeat the last position (a window appearing under a still
    // pointer, for example): that is no movement.
    if (globalPos == lastPos && hidden)
        return;
    lastPos = globalPos;
    showPointer();
    idleTimer->start();
}

void PointerHider::hidePointer()
{
    if (hidden || !active)
        return;
    // A modal dialog (the settings) keeps the moves from reaching the window,
    // so a hidden pointer would not come back over it: wait for the dialog.
    if (QGuiApplication::modalWindow()) {
        idleTimer->start();
        return;
    }
    hidden = true;
    window->setCursor(Qt::BlankCursor);
}

void PointerHider::showPointer()
{
    if (!hidden)
        return;
    hidden = false;
    window->unsetCursor();
}
