#ifndef INCIDENTLOG_H
#define INCIDENTLOG_H

#include <QDateTime>
#include <QString>

// One line per incident on standard error, where a session manager or the
// user's service manager files it in the journal:
//   2026-12-09T14:03:07.412 mixer-offline
// local time to the millisecond, the event word, then any details.

QString incidentLine(const QDateTime &when, const QString &event, const QString &details = QString());

// Writes the line for now. GUI thread and start-up only.
void logIncident(const QString &event, const QString &details = QString());

// Where the lines go instead of standard error; nullptr goes back to it.
// For tests.
typedef void (*IncidentSink)(const QString &line);
void setIncidentSink(IncidentSink sink);

#endif  // INCIDENTLOG_H
