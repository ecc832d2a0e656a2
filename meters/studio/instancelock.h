#ifndef INSTANCELOCK_H
#define INSTANCELOCK_H

#include <QLockFile>
#include <QString>

// One running instance per settings store: a lock file beside the store
// (not the store's own NAME.lock, which QSettings takes while it writes).
// Two instances on one store would fight over the receive port and
// overwrite each other's settings. A lock left by a crashed instance (its
// process is gone) or left empty by a power cut is taken over at once, so
// a display restarted by its service manager comes straight back.
class InstanceLock
{
public:
    explicit InstanceLock(const QString &settingsFile);

    enum Result { Taken, HeldByOther, Unavailable };
    Result take();
    // The process holding the lock, after take() answered HeldByOther.
    qint64 holder() const { return holderPid; }
    QString path() const { return lockPath; }

private:
    bool unnamedLockIsLeftOver() const;
    static const int unnamedLockGraceMs = 1000;

    QString lockPath;
    QLockFile lock;
    qint64 holderPid = 0;
};

#endif  // INSTANCELOCK_H
