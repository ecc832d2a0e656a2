#ifndef MIXERLINK_H
#define MIXERLINK_H

#include <QObject>
#include <QString>

#include "korvane.h"

class QHostInfo;
class QTimer;

// Gets the window a library handle for the mixer in its settings: a mixer
// named by host name is looked up first (its first IPv4 answer), then the
// handle is opened. A receive port another program holds is retried every
// 2 s, a host name that cannot be looked up every minute; each failure is
// told once per connect, with its incident line, until the handle opens.
// The handle belongs to whoever takes it after opened().
class MixerLink : public QObject
{
    Q_OBJECT

public:
    // The mixer's ports unless the settings name others.
    static constexpr quint16 defaultSendPort = 18153;
    static constexpr quint16 defaultRecvPort = 18150;

    explicit MixerLink(QObject *parent = nullptr);

    // Starts over for these settings: retries stop, and a lookup answer
    // still on its way is dropped.
    void connectTo(const QString &host, quint16 recvPort, quint16 sendPort);

    // The address korvane_open is given: the host itself, or its looked-up
    // IPv4 address; empty before the first lookup answer.
    QString address() const { return mixerAddress; }

    // The retry timers, running while a retry is due.
    const QTimer *openRetry() const { return openRetryTimer; }
    const QTimer *lookupRetry() const { return lookupRetryTimer; }

    // The handle just opened, once: the caller closes it.
    korvane_handle takeHandle();

signals:
    void opened();
    // inUse: another socket holds the port; otherwise it cannot be opened
    // for some other reason.
    void receivePortFailed(quint16 port, bool inUse);
    void hostNotFound(const QString &host);

private:
    void lookUp();
    void lookedUp(const QHostInfo &info, int generation);
    void open();

    QString host;
    quint16 recvPort = 0;
    quint16 sendPort = 0;
    QString mixerAddress;
    // Counts lookups, so the answer to a superseded one is dropped.
    int lookupGeneration = 0;
    bool isOpen = false;
    korvane_handle openedHandle = nullptr;
    bool openFailureReported = false;
    QTimer *openRetryTimer = nullptr;
    QTimer *lookupRetryTimer = nullptr;
};

#endif  // MIXERLINK_H
