#include "mixerlink.h"

#include <QByteArray>
#include <QHostAddress>
#include <QHostInfo>
#include <QTimer>
#include <QUdpSocket>

#include "incidentlog.h"

namespace {

const int openRetryMs = 2000;
const int lookupRetryMs = 60000;

// Whether another socket holds the port (the library's open failed):
// the usual case is a second instance or one still exiting.
bool receivePortInUse(quint16 port)
{
    QUdpSocket probe;
    return !probe.bind(QHostAddress::AnyIPv4, port, QAbstractSocket::DontShareAddress) &&
           probe.error() == QAbstractSocket::AddressInUseError;
}

// The first IPv4 answer, as dotted text; empty when there is none.
QString firstIPv4(const QHostInfo &info)
{
    for (const QHostAddress &answer : info.addresses()) {
        bool isIPv4 = false;
        const quint32 ipv4 = answer.toIPv4Address(&isIPv4);
        if (isIPv4)
            return QHostAddress(ipv4).toString();
    }
    return QString();
}

}  // namespace

MixerLink::MixerLink(QObject *parent)
    : QObject(parent)
    , openRetryTimer(new QTimer(this))
    , lookupRetryTimer(new QTimer(this))
{
    openRetryTimer->setSingleShot(true);
    // A port freed by an instance that just exited is taken on time.
    openRetryTimer->setTimerType(Qt::PreciseTimer);
    openRetryTimer->setInterval(openRetryMs);
    connect(openRetryTimer, &QTimer::timeout, this, &MixerLink::open);
    lookupRetryTimer->setSingleShot(true);
    lookupRetryTimer->setInterval(lookupRetryMs);
    connect(lookupRetryTimer, &QTimer::timeout, this, &MixerLink::lookUp);
}

void MixerLink::connectTo(const QString &mixerHost, quint16 receivePort, quint16 mixerPort)
{
    openRetryTimer->stop();
    lookupRetryTimer->stop();
    ++lookupGeneration;  // an answer still on its way is for older settings
    host = mixerHost;
    recvPort = receivePort;
    sendPort = mixerPort;
    isOpen = false;
    openFailureReported = false;

    QHostAddress numeric;
    if (numeric.setAddress(host) && numeric.protocol() == QAbstractSocket::IPv4Protocol) {
        mixerAddress = host;
        open();
    } else {
        // The settings name the mixer by host name (written by hand, or by
        // an older version): looked up like the settings dialog does.
        lookUp();
    }
}

void MixerLink::lookUp()
{
    const int generation = ++lookupGeneration;
    QHostInfo::lookupHost(host, this, [this, generation](const QHostInfo &info) { lookedUp(info, generation); });
}

void MixerLink::lookedUp(const QHostInfo &info, int generation)
{
    if (generation != lookupGeneration || isOpen)
        return;
    const QString answer = info.error() == QHostInfo::NoError ? firstIPv4(info) : QString();
    if (answer.isEmpty()) {
        logIncident(QStringLiteral("lookup-failed"), host);
        emit hostNotFound(host);
        lookupRetryTimer->start();
        return;
    }
    mixerAddress = answer;
    open();
}

void MixerLink::open()
{
    const QByteArray address = mixerAddress.toUtf8();
    const korvane_handle handle = korvane_open(address.constData(), recvPort, sendPort);
    if (!handle) {
        // Told and logged once per failure, retried until the port is free.
        if (!openFailureReported) {
            openFailureReported = true;
            const bool inUse = receivePortInUse(recvPort);
            logIncident(QStringLiteral("receive-port-busy"),
                        QString::number(recvPort) + (inUse ? QString() : QStringLiteral(" cannot-open")));
            emit receivePortFailed(recvPort, inUse);
        }
        openRetryTimer->start();
        return;
    }
    isOpen = true;
    openFailureReported = false;
    openedHandle = handle;
    emit opened();
}

korvane_handle MixerLink::takeHandle()
{
    const korvane_handle handle = openedHandle;
    openedHandle = nullptr;
    return handle;
}
