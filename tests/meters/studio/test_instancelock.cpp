// One instance per settings store: a live holder keeps others out and is
// named; a lock nobody named is taken over only once it is clearly left over.
#include "instancelock.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <utime.h>

class TestInstanceLock : public QObject
{
    Q_OBJECT

private slots:
    void liveHolderKeepsOthersOut()
    {
        QTemporaryDir dir;
        const QString store = dir.path() + QStringLiteral("/store/Tavelin Meters.conf");
        InstanceLock first(store);
        QCOMPARE(first.take(), InstanceLock::Taken);  // makes the store's folder
        InstanceLock second(store);
        QCOMPARE(second.take(), InstanceLock::HeldByOther);
        QCOMPARE(second.holder(), QCoreApplication::applicationPid());
    }

    // An empty lock is what a power cut leaves between creating and naming;
    // a fresh one may still be a live instance starting up.
    void emptyLockTakenOverOnlyOnceOld()
    {
        QTemporaryDir dir;
        const QString store = dir.path() + QStringLiteral("/Tavelin Meters.conf");
        InstanceLock lock(store);
        QVERIFY(QFile(lock.path()).open(QIODevice::WriteOnly));
        QCOMPARE(lock.take(), InstanceLock::HeldByOther);
        QCOMPARE(lock.holder(), qint64(0));

        const qint64 minuteAgo = QDateTime::currentSecsSinceEpoch() - 60;
        const utimbuf times = {static_cast<time_t>(minuteAgo), static_cast<time_t>(minuteAgo)};
        QCOMPARE(utime(QFile::encodeName(lock.path()).constData(), &times), 0);
        QCOMPARE(lock.take(), InstanceLock::Taken);
    }
};

QTEST_GUILESS_MAIN(TestInstanceLock)

#include "test_instancelock.moc"
