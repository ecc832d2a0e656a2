// The library's log lands in the state folder entered at start-up; with the
// working folder anywhere else the log stays off rather than the process
// moving while the library's threads run.
#include "librarylog.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include "incidentlog.h"
#include "loopback.h"

namespace {

QStringList incidents;
void keepIncident(const QString &line)
{
    incidents << line.section(QLatin1Char(' '), 1);
}

}  // namespace

class TestLibraryLog : public QObject
{
    Q_OBJECT

private slots:
    void loggedOnlyInTheEnteredFolder()
    {
        QTemporaryDir scratch;
        QVERIFY(scratch.isValid());
        qputenv("XDG_STATE_HOME", QFile::encodeName(scratch.path() + QStringLiteral("/state")));
        setIncidentSink(&keepIncident);
        const QString folder = scratch.path() + QStringLiteral("/state/tavelin-meters");
        const quint16 port = kt::free_udp_port();
        const QString name = QStringLiteral("logfile_(%1).txt").arg(port);

        // Not entered: nothing written anywhere, and the working folder stays.
        QVERIFY(QDir::setCurrent(scratch.path()));
        QVERIFY(QDir().mkpath(folder));
        korvane_handle handle = korvane_open("127.0.0.1", port, 18153);
        QVERIFY(handle);
        QVERIFY(!startLibraryLog(handle, port));
        QCOMPARE(QDir::currentPath(), QFileInfo(scratch.path()).canonicalFilePath());
        QVERIFY(!QFile::exists(folder + QLatin1Char('/') + name));
        QVERIFY(!QFile::exists(scratch.path() + QLatin1Char('/') + name));
        QCOMPARE(incidents, QStringList{QStringLiteral("log-unwritable ") + folder});
        korvane_close(handle);

        // Entered, as the program does before its first thread.
        QVERIFY(enterLibraryLogFolder());
        handle = korvane_open("127.0.0.1", port, 18153);
        QVERIFY(handle);
        QVERIFY(startLibraryLog(handle, port));
        QVERIFY(QFile::exists(folder + QLatin1Char('/') + name));
        korvane_close(handle);
        setIncidentSink(nullptr);
        QDir::setCurrent(QDir::tempPath());
    }
};

QTEST_GUILESS_MAIN(TestLibraryLog)

#include "test_librarylog.moc"
