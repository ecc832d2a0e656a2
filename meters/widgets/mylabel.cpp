#include "mylabel.h"

#include <QMouseEvent>

myLabel::myLabel(const QString &text, QWidget *parent)
    : QLabel(parent, Qt::WindowFlags())
{
    setText(text);
}

myLabel::~myLabel() = default;

void myLabel::mouseReleaseEvent(QMouseEvent *)
{
    // Any button, wherever the pointer is now: the press already chose us.
    emit clicked();
}
