#include "quitsignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace {

const int watchedSignals[] = {SIGTERM, SIGINT, SIGHUP};
int signalPipe[2] = {-1, -1};

// Async-signal-safe: one write, errno kept for the interrupted code.
void onQuitSignal(int number)
{
    const int saved = errno;
    const char byte = static_cast<char>(number);
    [[maybe_unused]] const ssize_t written = write(signalPipe[1], &byte, 1);
    errno = saved;
}

QString signalName(int number)
{
    switch (number) {
    case SIGTERM: return QStringLiteral("SIGTERM");
    case SIGINT: return QStringLiteral("SIGINT");
    case SIGHUP: return QStringLiteral("SIGHUP");
    default: return QStringLiteral("signal-%1").arg(number);
    }
}

}  // namespace

QuitSignals::QuitSignals(QObject *parent)
    : QObject(parent)
{
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return;
    // A burst of signals must never block the handler.
    fcntl(signalPipe[1], F_SETFL, fcntl(signalPipe[1], F_GETFL) | O_NONBLOCK);
    fcntl(signalPipe[0], F_SETFL, fcntl(signalPipe[0], F_GETFL) | O_NONBLOCK);

    struct sigaction action = {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : watchedSignals)
        if (sigaction(number, &action, nullptr) != 0)
            return;

    notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &QuitSignals::readSignals);
}

QuitSignals::~QuitSignals()
{
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int number : watchedSignals)
        sigaction(number, &action, nullptr);
    delete notifier;
    for (int &fd : signalPipe) {
        if (fd >= 0)
            close(fd);
        fd = -1;
    }
}

void QuitSignals::readSignals()
{
    char byte = 0;
    int last = 0;
    while (read(signalPipe[0], &byte, 1) == 1)
        last = static_cast<unsigned char>(byte);
    if (last)
        emit quitRequested(signalName(last));
}
