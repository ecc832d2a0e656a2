#include <QApplication>

#include <cstdio>

#include "commandline.h"
#include "incidentlog.h"
#include "instancelock.h"
#include "librarylog.h"
#include "mainwindow.h"
#include "quitsignals.h"
#include "tavelin_version.h"

int main(int argc, char *argv[])
{
    // Before the application object, which needs a display.
    const int answered = answerInformationOptions(argc, argv);
    if (answered >= 0)
        return answered;
    // Before anything of Qt's may complain: one line shape on stderr.
    routeQtMessagesToIncidents();

    // A double autostart must not open a second window on the same store.
    InstanceLock lock(MainWindow::settingsStorePath());
    switch (lock.take()) {
    case InstanceLock::Taken: break;
    case InstanceLock::HeldByOther:
        std::fprintf(stderr, "tavelin-meters: already running (pid %lld)\n", static_cast<long long>(lock.holder()));
        return 1;
    case InstanceLock::Unavailable:
        // Showing the mixer matters more than the guard.
        logIncident(QStringLiteral("lock-unavailable"), lock.path());
        break;
    }

    // While the process has one thread only: the library opens its log in
    // the working folder. Without it the display works on, unlogged.
    enterLibraryLogFolder();

    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    QApplication application(argc, argv);
    logIncident(QStringLiteral("started"), QStringLiteral(TAVELIN_VERSION_TEXT));

    // Logout, the service manager and Ctrl+C end the program the way a
    // closed window does: settings saved, library closed, status 0.
    QString quitReason = QStringLiteral("window-closed");
    QuitSignals quitSignals;
    QObject::connect(&quitSignals, &QuitSignals::quitRequested, &application, [&quitReason](const QString &reason) {
        quitReason = reason;
        QCoreApplication::quit();
    });

    int status = 0;
    {
        MainWindow window;
        window.show();
        status = application.exec();
    }
    logIncident(QStringLiteral("quit"), quitReason);
    return status;
}
