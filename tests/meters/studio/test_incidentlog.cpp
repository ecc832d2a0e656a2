// The incident line's shape: stamp, event word, details; stored text can
// neither break a line nor flood the journal.
#include "incidentlog.h"

#include <QtTest>

class TestIncidentLog : public QObject
{
    Q_OBJECT

private slots:
    void incidentLines()
    {
        const QDateTime when(QDate(2026, 12, 9), QTime(14, 3, 7, 412));
        QCOMPARE(incidentLine(when, QStringLiteral("mixer-offline")),
                 QStringLiteral("2026-12-09T14:03:07.412 mixer-offline"));
        QCOMPARE(incidentLine(when, QStringLiteral("quit"), QStringLiteral("SIGTERM")),
                 QStringLiteral("2026-12-09T14:03:07.412 quit SIGTERM"));

        // Stored text cannot break the shape: one line, at most 512 bytes.
        QCOMPARE(incidentLine(when, QStringLiteral("lookup-failed"), QStringLiteral("a\nb\x01")),
                 QStringLiteral("2026-12-09T14:03:07.412 lookup-failed a\\nb\\x01"));
        const QString huge = incidentLine(when, QStringLiteral("lookup-failed"), QString(200000, QChar(0xe9)));
        QVERIFY(huge.startsWith(QStringLiteral("2026-12-09T14:03:07.412 lookup-failed \u00e9")));
        QVERIFY(huge.endsWith(QStringLiteral("\u00e9...")));
        QVERIFY(huge.toLocal8Bit().size() <= 512 && huge.toLocal8Bit().size() >= 500);
    }
};

QTEST_GUILESS_MAIN(TestIncidentLog)

#include "test_incidentlog.moc"
