#include "instancelock.h"

#include <QDateTime>
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
    if (lock.getLockInfo(&holderPid, &host, &application))
        return HeldByOther;
    holderPid = 0;
    // A lock file that names no holder was left empty by a power cut (or a
    // full disk) between its creation and its first write; it would keep
    // every later start out. A live holder names itself within moments of
    // creating the file and holds it locked, so the removal fails for it.
    if (unnamedLockIsLeftOver() && lock.removeStaleLockFile() && lock.tryLock(0))
        return Taken;
    return HeldByOther;
}

bool InstanceLock::unnamedLockIsLeftOver() const
{
    // Either way: after a power cut the clock may stand before the file's time.
    const QDateTime written = QFileInfo(lockPath).lastModified();
    return written.isValid() && qAbs(written.msecsTo(QDateTime::currentDateTime())) > unnamedLockGraceMs;
}
