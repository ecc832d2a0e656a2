#ifndef INCIDENTLOG_H
#define INCIDENTLOG_H

#include <QDateTime>
#include <QString>

// One line per incident on standard error, where a session manager or the
// user's service manager files it in the journal:
//   2026-12-09T14:03:07.412 mixer-offline
// local time to the millisecond, the event word, then any details. Control
// characters in the details are escaped and a line is cut to at most
// maxIncidentLineBytes, so a hostile or broken stored value cannot flood
// the journal or forge a line.

const int maxIncidentLineBytes = 512;

QString incidentLine(const QDateTime &when, const QString &event, const QString &details = QString());

// Writes the line for now. GUI thread and start-up only.
void logIncident(const QString &event, const QString &details = QString());

// Qt's own messages go out as incident lines too ("debug", "warning", ...),
// keeping their text, so every line on standard error has one shape.
void routeQtMessagesToIncidents();

// Where the lines go instead of standard error; nullptr goes back to it.
// For tests.
typedef void (*IncidentSink)(const QString &line);
void setIncidentSink(IncidentSink sink);

#endif  // INCIDENTLOG_H
