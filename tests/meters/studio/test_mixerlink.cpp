// The mixer link on loopback: one handle per connect, whatever answers are
// still on their way, and each failure told once per connect.
#include "mixerlink.h"

#include <QHostAddress>
#include <QSignalSpy>
#include <QTimer>
#include <QUdpSocket>
#include <QtTest>

#include "incidentlog.h"
#include "loopback.h"

namespace {

QStringList incidents;
void keepIncident(const QString &line)
{
    incidents << line.section(QLatin1Char(' '), 1);
}

}  // namespace

class TestMixerLink : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { setIncidentSink(&keepIncident); }
    void cleanupTestCase() { setIncidentSink(nullptr); }

    // New settings while a lookup is on its way: its answer is for the old
    // mixer and must not open a handle to it.
    void supersededLookupOpensNothing()
    {
        MixerLink link;
        int opened = 0;
        connect(&link, &MixerLink::opened, [&]() {
            ++opened;
            korvane_close(link.takeHandle());
        });
        QSignalSpy notFound(&link, &MixerLink::hostNotFound);
        link.connectTo(QStringLiteral("localhost"), kt::free_udp_port(), 18153);
        link.connectTo(QStringLiteral("no-such-host.invalid"), kt::free_udp_port(), 18153);
        QVERIFY(notFound.wait(10000));
        QTest::qWait(200);  // the first answer, had it been taken, would have opened by now
        QCOMPARE(opened, 0);
        QVERIFY(link.address().isEmpty());
        QVERIFY(link.lookupRetry()->isActive());
        QCOMPARE(link.lookupRetry()->interval(), 60000);
    }

    void busyPortToldOncePerConnect()
    {
        const quint16 port = kt::free_udp_port();
        QUdpSocket taken;
        QVERIFY(taken.bind(QHostAddress(QHostAddress::AnyIPv4), port, QUdpSocket::DontShareAddress));
        MixerLink link;
        QSignalSpy failed(&link, &MixerLink::receivePortFailed);
        int opened = 0;
        connect(&link, &MixerLink::opened, [&]() {
            ++opened;
            korvane_close(link.takeHandle());
        });
        incidents.clear();
        link.connectTo(QStringLiteral("127.0.0.1"), port, 18153);
        QCOMPARE(failed.size(), 1);
        QCOMPARE(failed.first(), (QVariantList{port, true}));
        QVERIFY(link.openRetry()->isActive());
        QCOMPARE(link.openRetry()->interval(), 2000);
        QSignalSpy retried(link.openRetry(), &QTimer::timeout);
        QVERIFY(retried.wait(3000));
        QVERIFY(link.openRetry()->isActive());  // tried again, not told again
        QCOMPARE(failed.size(), 1);
        // Connecting again (new settings) tells it again.
        link.connectTo(QStringLiteral("127.0.0.1"), port, 18153);
        QCOMPARE(failed.size(), 2);
        QCOMPARE(incidents, (QStringList{QStringLiteral("receive-port-busy %1").arg(port),
                                         QStringLiteral("receive-port-busy %1").arg(port)}));
        QCOMPARE(opened, 0);
    }
};

QTEST_GUILESS_MAIN(TestMixerLink)

#include "test_mixerlink.moc"
