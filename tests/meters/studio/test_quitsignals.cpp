// A quit signal reaches the event loop as quitRequested with its name; the
// handler itself does nothing a signal handler may not.
#include "quitsignals.h"

#include <QSignalSpy>
#include <QtTest>

#include <csignal>

class TestQuitSignals : public QObject
{
    Q_OBJECT

private slots:
    void eachSignalArrivesByName()
    {
        QuitSignals quit;
        QVERIFY(quit.isWatching());
        QSignalSpy requested(&quit, &QuitSignals::quitRequested);
        for (const auto &sent : {std::make_pair(SIGHUP, "SIGHUP"), std::make_pair(SIGTERM, "SIGTERM")}) {
            QVERIFY(std::raise(sent.first) == 0);
            QVERIFY(requested.wait(2000));
            QCOMPARE(requested.takeFirst().first().toString(), QString::fromLatin1(sent.second));
        }
    }
};

QTEST_GUILESS_MAIN(TestQuitSignals)

#include "test_quitsignals.moc"
