// The fake mixer for Qt tests. The window under test lives on the test's
// thread, so waiting for the mixer means running the event loop meanwhile.
#ifndef TEST_SUPPORT_QT_FAKE_MIXER_H
#define TEST_SUPPORT_QT_FAKE_MIXER_H

#include "loopback.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QTest>
#include <QVector>

class FakeMixer : public kt::FakeMixer
{
public:
    // Datagrams received since the last clear(), keep-alives left out.
    QList<QByteArray> messages()
    {
        for (const kt::Bytes &d : take_messages())
            received.append(QByteArray(reinterpret_cast<const char *>(d.data()), static_cast<int>(d.size())));
        return received;
    }

    void clear()
    {
        messages();
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

private:
    QList<QByteArray> received;
};

#endif  // TEST_SUPPORT_QT_FAKE_MIXER_H
