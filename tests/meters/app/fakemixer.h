#ifndef FAKEMIXER_H
#define FAKEMIXER_H

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QTest>
#include <QUdpSocket>
#include <QVector>

// The mixer's side of the UDP protocol, as far as the window needs it: it
// records every datagram the library sends and sends replies and events back
// to the window's receive port. Loopback only, on a port picked at run time.
class FakeMixer
{
public:
    FakeMixer()
    {
        socket.bind(QHostAddress(QHostAddress::LocalHost), 0);
    }

    quint16 port() const { return socket.localPort(); }

    void setTarget(quint16 recvPort) { target = recvPort; }

    // Datagrams received since the last clear(), keep-alives left out.
    QList<QByteArray> messages()
    {
        drain();
        return received;
    }

    void clear()
    {
        drain();
        received.clear();
    }

    // Message numbers of the requests received since the last clear().
    QVector<int> requests()
    {
        QVector<int> numbers;
        for (const QByteArray &d : messages()) {
            const quint8 header = static_cast<quint8>(d.at(3));
            if ((header & 0xC0) == 0x40)
                numbers.append(header & 0x3F);
        }
        return numbers;
    }

    // Waits (processing events) until at least count requests arrived.
    bool waitForRequests(int count, int timeoutMs = 2000)
    {
        QElapsedTimer timer;
        timer.start();
        while (requests().size() < count) {
            if (timer.elapsed() > timeoutMs)
                return false;
            QTest::qWait(10);
        }
        return true;
    }

    // One message to the window: header byte and up to eight data bytes.
    void send(quint8 header, const QVector<quint8> &data = {}, quint8 length = 0)
    {
        QByteArray datagram(12, '\0');
        datagram[0] = static_cast<char>(0xA0);
        datagram[1] = static_cast<char>(0xA0);
        datagram[2] = static_cast<char>(length);
        datagram[3] = static_cast<char>(header);
        for (int i = 0; i < data.size() && i < 8; ++i)
            datagram[4 + i] = static_cast<char>(data.at(i));
        socket.writeDatagram(datagram, QHostAddress::LocalHost, target);
    }

    void reply(int number, const QVector<quint8> &data) { send(static_cast<quint8>(0x80 | number), data); }
    void event(int number, const QVector<quint8> &data) { send(static_cast<quint8>(0xC0 | number), data); }

    // Meter codes: whole dB in the low six bits, counted from -50.
    static quint8 meterCode(int dB) { return static_cast<quint8>(dB + 50); }

    void meters(int progLeft, int progRight, int crmLeft, int crmRight)
    {
        event(48, {meterCode(progLeft), meterCode(progRight), 0, 0, meterCode(crmLeft), meterCode(crmRight)});
    }

private:
    void drain()
    {
        while (socket.hasPendingDatagrams()) {
            QByteArray d(static_cast<int>(socket.pendingDatagramSize()), '\0');
            socket.readDatagram(d.data(), d.size());
            if (d.size() != 12 || static_cast<quint8>(d.at(0)) != 0xA0 || static_cast<quint8>(d.at(1)) != 0xA0)
                continue;
            if (d.at(2) == 'K' && d.at(3) == 'A')
                continue;
            received.append(d);
        }
    }

    QUdpSocket socket;
    quint16 target = 0;
    QList<QByteArray> received;
};

// A UDP port that was free a moment ago.
inline quint16 freeUdpPort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress(QHostAddress::AnyIPv4), 0);
    return probe.localPort();
}

#endif // FAKEMIXER_H
