#include "incidentlog.h"

#include <QMutexLocker>
#include <QRecursiveMutex>

#include <cstdio>
#include <cstdlib>

namespace {

IncidentSink incidentSink = nullptr;
// Qt may report from any of its threads, even from within a sink.
QRecursiveMutex writeLock;

const QString cutMark = QStringLiteral("...");

QString escapeControls(const QString &text)
{
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('\n'))
            escaped += QStringLiteral("\\n");
        else if (c == QLatin1Char('\r'))
            escaped += QStringLiteral("\\r");
        else if (c == QLatin1Char('\t'))
            escaped += QStringLiteral("\\t");
        else if (c.category() == QChar::Other_Control)
            escaped += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            escaped += c;
    }
    return escaped;
}

// Cut to fit in maxBytes once encoded, on a character boundary.
QString cutToBytes(QString line, int maxBytes)
{
    if (line.toLocal8Bit().size() <= maxBytes)
        return line;
    const int room = maxBytes - cutMark.size();
    // Every character takes at least one byte.
    line.truncate(room);
    while (!line.isEmpty() && (line.toLocal8Bit().size() > room || QChar(line.back()).isHighSurrogate()))
        line.chop(1);
    return line + cutMark;
}

void writeLine(const QString &line)
{
    QMutexLocker locker(&writeLock);
    if (incidentSink) {
        incidentSink(line);
        return;
    }
    // Straight to the descriptor, unbuffered: the line must be there even if
    // the program is killed right after.
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

QString qtMessageWord(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg: return QStringLiteral("debug");
    case QtInfoMsg: return QStringLiteral("info");
    case QtWarningMsg: return QStringLiteral("warning");
    case QtCriticalMsg: return QStringLiteral("critical");
    case QtFatalMsg: return QStringLiteral("fatal");
    }
    return QStringLiteral("warning");
}

void qtMessageToIncident(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    writeLine(incidentLine(QDateTime::currentDateTime(), qtMessageWord(type), message));
    if (type == QtFatalMsg)
        std::abort();
}

}  // namespace

QString incidentLine(const QDateTime &when, const QString &event, const QString &details)
{
    // Far more than a line can take is never escaped whole.
    const QString shown = escapeControls(details.left(maxIncidentLineBytes));
    QString line = when.toLocalTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) + QLatin1Char(' ') + event;
    if (!shown.isEmpty())
        line += QLatin1Char(' ') + shown;
    return cutToBytes(line, maxIncidentLineBytes);
}

void logIncident(const QString &event, const QString &details)
{
    writeLine(incidentLine(QDateTime::currentDateTime(), event, details));
}

void routeQtMessagesToIncidents()
{
    qInstallMessageHandler(&qtMessageToIncident);
}

void setIncidentSink(IncidentSink sink)
{
    QMutexLocker locker(&writeLock);
    incidentSink = sink;
}
