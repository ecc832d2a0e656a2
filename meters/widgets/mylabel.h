#ifndef MYLABEL_H
#define MYLABEL_H

#include <QLabel>
#include <QString>

class QMouseEvent;

// A label that reports a click: every mouse-button release emits clicked().
class myLabel : public QLabel
{
    Q_OBJECT

public:
    explicit myLabel(const QString &text = QString(), QWidget *parent = nullptr);
    ~myLabel() override;

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
};

#endif  // MYLABEL_H
