#include "incidentlog.h"

#include <cstdio>

namespace {
IncidentSink incidentSink = nullptr;
}

QString incidentLine(const QDateTime &when, const QString &event, const QString &details)
{
    QString line = when.toLocalTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) + QLatin1Char(' ') + event;
    if (!details.isEmpty())
        line += QLatin1Char(' ') + details;
    return line;
}

void logIncident(const QString &event, const QString &details)
{
    const QString line = incidentLine(QDateTime::currentDateTime(), event, details);
    if (incidentSink) {
        incidentSink(line);
        return;
    }
    // Straight to the descriptor, unbuffered: the line must be there even if
    // the program is killed right after.
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

void setIncidentSink(IncidentSink sink)
{
    incidentSink = sink;
}
