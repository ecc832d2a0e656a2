#include "instancelock.h"

#include <QDir>
#include <QFileInfo>

InstanceLock::InstanceLock(const QString &settingsFile)
    : lockPath(settingsFile + QStringLiteral(".instance.lock"))
    , lock(lockPath)
{
    // Only a dead holder makes a lock stale: a display may run for months.
    lock.setStaleLockTime(0);
}

InstanceLock::Result InstanceLock::take()
{
    // The store's folder does not exist before the first save.
    QDir().mkpath(QFileInfo(lockPath).absolutePath());
    if (lock.tryLock(0))
        return Taken;
    if (lock.error() != QLockFile::LockFailedError)
        return Unavailable;
    QString host, application;
    if (!lock.getLockInfo(&holderPid, &host, &application))
        holderPid = 0;
    return HeldByOther;
}
