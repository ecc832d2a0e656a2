#ifndef POINTERHIDER_H
#define POINTERHIDER_H

#include <QObject>
#include <QPoint>
#include <QPointer>

class QTimer;
class QWidget;
class QWindow;

// Hides the mouse pointer over a full-screen window once it has rested for a
// while, and shows it again as soon as it moves. A display on a studio wall
// should not carry a pointer in the middle of its clock. Outside full screen
// it does nothing. It follows the window's state by itself, whoever changes
// it (a key, a restored geometry, the window manager).
class PointerHider : public QObject
{
public:
    PointerHider(QWidget *window, int idleMs);

    bool isPointerHidden() const { return hidden; }
    int idleInterval() const;
    void setIdleInterval(int ms);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void follow();
    void watchMoves();
    void pointerMoved(const QPoint &globalPos);
    void hidePointer();
    void showPointer();

    QWidget *window;
    QTimer *idleTimer;
    QPointer<QWindow> watched;
    QPoint lastPos;
    bool active = false;
    bool hidden = false;
};

#endif  // POINTERHIDER_H
