// The window asks clockSynchronised(): a test's probe replaces the kernel's
// reading, and clearing it brings the kernel's back.
#include "clocksync.h"

#include <QtTest>

class TestClockSync : public QObject
{
    Q_OBJECT

private slots:
    void probeReplacesTheKernelUntilCleared()
    {
        const bool kernel = kernelClockSynchronised();
        setClockSyncProbe(kernel ? +[]() { return false; } : +[]() { return true; });
        QCOMPARE(clockSynchronised(), !kernel);
        setClockSyncProbe(nullptr);
        QCOMPARE(clockSynchronised(), kernel);
    }
};

QTEST_GUILESS_MAIN(TestClockSync)

#include "test_clocksync.moc"
