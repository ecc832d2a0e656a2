// Paints per second of each PPM meter in the real window: first with the
// mixer holding a steady level, then under programme from korvane-sim.
// Usage: meters_paint_rate [seconds per phase, default 10]
// Run it on a real or virtual display (xvfb-run) or offscreen.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QHostAddress>
#include <QMap>
#include <QPaintEvent>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QUdpSocket>

#include <cstdio>

#include "librarylog.h"
#include "mainwindow.h"
#include "vxnppmmeter.h"

namespace {

class PaintCounter : public QObject
{
public:
    QMap<QObject *, int> paints;
    QMap<QObject *, qint64> area;  // painted pixels, summed over the paints
    int styleChanges = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            ++paints[watched];
            for (const QRect &r : static_cast<QPaintEvent *>(event)->region())
                area[watched] += qint64(r.width()) * r.height();
        } else if (event->type() == QEvent::StyleChange) {
            ++styleChanges;
        }
        return false;
    }
};

quint16 freePort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress(QHostAddress::AnyIPv4), 0);
    return probe.localPort();
}

void pointStoreAt(quint16 sendPort, quint16 recvPort)
{
    QSettings settings(QStringLiteral("Zorbel"), QStringLiteral("Tavelin Meters"));
    settings.clear();
    settings.setValue(QStringLiteral("udp_send"), sendPort);
    settings.setValue(QStringLiteral("udp_recv"), recvPort);
    settings.setValue(QStringLiteral("use_default_ports"), false);
    settings.setValue(QStringLiteral("remote_host"), QStringLiteral("127.0.0.1"));
}

void wait(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

void report(const char *phase, MainWindow &window, PaintCounter &counter, int seconds)
{
    std::printf("%s:", phase);
    for (const char *name : {"ProgLeft", "ProgRight", "CrmLeft", "CrmRight"}) {
        QObject *meter = window.findChild<VXNPPMMeter *>(QLatin1String(name));
        const int paints = counter.paints.value(meter);
        // Pixels per paint: a meter repaints only the rows its bar crossed.
        std::printf("  %s %.1f/s (%.0f px)", name, paints / double(seconds),
                    paints ? counter.area.value(meter) / double(paints) : 0.0);
    }
    // The window's own paints come from children that are not opaque (clocks,
    // labels) and from relayouts; the area shows whether they stay small.
    std::printf("\n    window %.1f paints/s, %.0f kpixel/s;  style sheet changes %.1f/s\n",
                counter.paints.value(&window) / double(seconds), counter.area.value(&window) / 1000.0 / seconds,
                counter.styleChanges / double(seconds));
    std::fflush(stdout);
}

void watchMeters(MainWindow &window, PaintCounter &counter)
{
    for (VXNPPMMeter *meter : window.findChildren<VXNPPMMeter *>())
        meter->installEventFilter(&counter);
    window.installEventFilter(&counter);
    for (QWidget *child : window.findChildren<QWidget *>(QString(), Qt::FindChildrenRecursively)) {
        if (!qobject_cast<VXNPPMMeter *>(child))
            child->installEventFilter(&counter);
    }
}

}  // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir scratch;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(scratch.path()));
    qputenv("XDG_STATE_HOME", QFile::encodeName(scratch.path()));
    // As the program does: the library's log goes there, not into the home.
    enterLibraryLogFolder();
    QApplication application(argc, argv);
    const int seconds = argc > 1 ? QString::fromLatin1(argv[1]).toInt() : 10;

    {
        // Steady: a mixer that sends the same levels 25 times a second.
        QUdpSocket mixer;
        mixer.bind(QHostAddress(QHostAddress::LocalHost), 0);
        const quint16 recvPort = freePort();
        pointStoreAt(mixer.localPort(), recvPort);
        MainWindow window;
        window.show();
        QTimer meters;
        QObject::connect(&meters, &QTimer::timeout, [&]() {
            static const char datagram[12] = {char(0xA0), char(0xA0), 0, char(0xF0), 44, 38, 0, 0, 30, 20, 0, 0};
            mixer.writeDatagram(datagram, 12, QHostAddress(QHostAddress::LocalHost), recvPort);
            while (mixer.hasPendingDatagrams())
                mixer.readDatagram(nullptr, 0);
        });
        meters.start(40);
        wait(3000);  // let the meters rise and the layout settle
        PaintCounter counter;
        watchMeters(window, counter);
        wait(seconds * 1000);
        report("steady level (25 meter events/s)", window, counter, seconds);
    }

    {
        // Programme: korvane-sim's studio scenario at 25 meter events per second.
        const quint16 recvPort = freePort();
        QProcess sim;
        sim.start(QStringLiteral(KORVANE_SIM_PATH),
                  {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--target"),
                   QStringLiteral("127.0.0.1:%1").arg(recvPort), QStringLiteral("--rate"), QStringLiteral("25")});
        if (!sim.waitForReadyRead(5000)) {
            std::fprintf(stderr, "korvane-sim did not start\n");
            return 1;
        }
        const QString banner = QString::fromLocal8Bit(sim.readLine());
        const QRegularExpressionMatch port = QRegularExpression(QStringLiteral("port (\\d+)")).match(banner);
        if (!port.hasMatch()) {
            std::fprintf(stderr, "unexpected banner: %s", qPrintable(banner));
            return 1;
        }
        pointStoreAt(static_cast<quint16>(port.captured(1).toUInt()), recvPort);
        MainWindow window;
        window.show();
        wait(3000);
        PaintCounter counter;
        watchMeters(window, counter);
        wait(seconds * 1000);
        report("programme (korvane-sim studio, 25 meter events/s)", window, counter, seconds);
        sim.terminate();
        sim.waitForFinished(3000);
    }
    return 0;
}
