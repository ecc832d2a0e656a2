#include "librarylog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>

#include "incidentlog.h"

namespace {

// Ports whose previous-run log has been set aside in this run.
QSet<quint16> keptPorts;

QString logFileName(quint16 port)
{
    return QStringLiteral("logfile_(%1).txt").arg(port);
}

// Keeps the file of an earlier run as NAME.1 (replacing an older one).
void keepPreviousRun(const QDir &folder, quint16 port)
{
    if (keptPorts.contains(port))
        return;
    keptPorts.insert(port);
    const QString current = folder.filePath(logFileName(port));
    if (!QFileInfo::exists(current))
        return;
    const QString previous = current + QStringLiteral(".1");
    QFile::remove(previous);
    if (!QFile::rename(current, previous))
        logIncident(QStringLiteral("log-unwritable"), previous);
}

}  // namespace

QString libraryLogFolder()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    // Relative values are to be ignored, like XDG_CONFIG_HOME's.
    if (state.isEmpty() || QDir::isRelativePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/tavelin-meters");
}

bool enterLibraryLogFolder()
{
    const QString path = libraryLogFolder();
    return QDir().mkpath(path) && QDir::setCurrent(path);
}

bool startLibraryLog(korvane_handle handle, quint16 recvPort)
{
    const QString path = libraryLogFolder();
    const QDir folder(path);
    // Entered at start-up, or the settings of the environment changed since:
    // the working folder is never changed while the library's threads run.
    const QString entered = QFileInfo(path).canonicalFilePath();
    if (entered.isEmpty() || entered != QDir::currentPath() || !QFileInfo(path).isWritable()) {
        logIncident(QStringLiteral("log-unwritable"), path);
        return false;
    }
    keepPreviousRun(folder, recvPort);

    korvane_logging(handle, 1);
    if (!QFileInfo::exists(folder.filePath(logFileName(recvPort)))) {
        logIncident(QStringLiteral("log-unwritable"), folder.filePath(logFileName(recvPort)));
        return false;
    }
    return true;
}
