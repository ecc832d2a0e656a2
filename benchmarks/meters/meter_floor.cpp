// The floor under the meter program's CPU use, run beside it by cpu_usage.sh.
//
//   meters_floor            four 12 x 415 bars in a 986 x 650 window, moved by
//                           a 100 Hz timer and repainted over the changed rows
//                           only, each about 90 times a second (the paint rate
//                           of the real meters under programme)
//   meters_floor --paints N the same with N bar moves per second and bar
//   meters_floor --timer    a bare 100 Hz QTimer with an empty slot, no window
//   meters_floor --timer --gui   the same in a widget application (connected
//                           to the display, still no window)
//
// The bars follow the real meters' ballistics: a new random target 25 times a
// second (the mixer's meter rate), rising at once, falling a few rows a tick.
#include <QApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

const int barWidth = 12;
const int barHeight = 415;
const int tickMs = 10;

class Bar : public QWidget
{
public:
    Bar(QWidget *parent, quint32 seed)
        : QWidget(parent)
        , m_random(seed)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        resize(barWidth, barHeight);
    }

    // One 10 ms tick; moves the bar only when `move` says so, and then
    // repaints the rows between the old and the new top.
    void tick(int tickNumber, bool move)
    {
        if (tickNumber % 4 == 0)
            m_target = int(next() % (barHeight - 60)) + 60;
        if (!move)
            return;
        int top = m_top;
        if (m_target > m_top)
            top = m_target;
        else
            top = qMax(0, m_top - 1 - int(next() % 3));
        if (top == m_top)
            return;
        const int low = qMin(top, m_top);
        const int high = qMax(top, m_top);
        m_top = top;
        update(QRect(0, barHeight - high, barWidth, high - low));
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPainter painter(this);
        const QRect dirty = event->rect();
        const QRect bar(0, barHeight - m_top, barWidth, m_top);
        const QRect background(0, 0, barWidth, barHeight - m_top);
        painter.fillRect(dirty & bar, QColor(0, 255, 0));
        painter.fillRect(dirty & background, QColor(0, 64, 0));
    }

private:
    quint32 next()
    {
        m_random = m_random * 1664525u + 1013904223u;
        return m_random >> 8;
    }

    quint32 m_random;
    int m_top = 0;
    int m_target = 0;
};

int usage()
{
    std::fprintf(stderr, "usage: meters_floor [--timer [--gui] | --paints N]\n");
    return 2;
}

}  // namespace

int main(int argc, char *argv[])
{
    bool timerOnly = false;
    bool gui = false;
    int paintsPerSecond = 90;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--timer") == 0)
            timerOnly = true;
        else if (std::strcmp(argv[i], "--gui") == 0)
            gui = true;
        else if (std::strcmp(argv[i], "--paints") == 0 && i + 1 < argc)
            paintsPerSecond = qBound(0, QString::fromLatin1(argv[++i]).toInt(), 1000 / tickMs);
        else
            return usage();
    }

    if (timerOnly) {
        std::unique_ptr<QCoreApplication> application(gui ? new QApplication(argc, argv)
                                                          : new QCoreApplication(argc, argv));
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [] {});
        timer.start(tickMs);
        return application->exec();
    }

    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("meters floor"));
    window.resize(986, 650);
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, QColor(0x13, 0x16, 0x1b));
    window.setPalette(palette);
    window.setAutoFillBackground(true);
    Bar *bars[4];
    const int columns[4] = {54, 143, 210, 299};
    for (int i = 0; i < 4; ++i) {
        bars[i] = new Bar(&window, 12345u + 977u * quint32(i));
        bars[i]->move(columns[i], 73);
    }
    window.show();

    // Spreads the moves evenly over the ticks: `paintsPerSecond` of every 100.
    int tickNumber = 0;
    int credit = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        credit += paintsPerSecond;
        const bool move = credit >= 1000 / tickMs;
        if (move)
            credit -= 1000 / tickMs;
        for (Bar *bar : bars)
            bar->tick(tickNumber, move);
        ++tickNumber;
    });
    timer.start(tickMs);
    return application.exec();
}
