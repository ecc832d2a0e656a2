#ifndef QUITSIGNALS_H
#define QUITSIGNALS_H

#include <QObject>
#include <QString>

class QSocketNotifier;

// SIGTERM, SIGINT and SIGHUP (logout, service manager, shutdown, Ctrl+C)
// turned into a Qt signal on the GUI thread, so the program ends the way a
// closed window ends it. The handler only writes the signal's number into a
// socket pair; a QSocketNotifier reads it in the event loop. One at a time.
class QuitSignals : public QObject
{
    Q_OBJECT

public:
    explicit QuitSignals(QObject *parent = nullptr);
    ~QuitSignals() override;

    // False when the socket pair or a handler could not be set up.
    bool isWatching() const { return notifier != nullptr; }

signals:
    // The signal's name: "SIGTERM", "SIGINT" or "SIGHUP".
    void quitRequested(const QString &reason);

private:
    void readSignals();

    QSocketNotifier *notifier = nullptr;
};

#endif  // QUITSIGNALS_H
