// Costs of the display widgets at the sizes the meter window uses them:
// one meter paint, one analog clock paint, a poll of the clocks, the bar
// calculation, and the 10 ms release tick with and without a pixel of bar
// movement.
#include "vxnanalogclock.h"
#include "vxndigitalclock.h"
#include "vxnppmmeter.h"
#include "vxntimesource.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

namespace {

// Counts the paints a shown meter really gets.
class CountingMeter : public VXNPPMMeter
{
public:
    using VXNPPMMeter::VXNPPMMeter;
    long paints = 0;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        ++paints;
        VXNPPMMeter::paintEvent(event);
    }
};

// Paint of one meter into an image of its size (level -6 dB: bar above the
// middle, so the gradient bar draws both parts).
void BM_MeterPaint(benchmark::State &state)
{
    VXNPPMMeter meter;
    meter.resize(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    meter.setGradientForground(state.range(2) != 0);
    meter.setdBPositionNoUpdate(-6.0);
    meter.calculatePosition();
    QImage image(meter.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        meter.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_MeterPaint)
    ->ArgNames({"w", "h", "gradientBar"})
    ->Args({12, 415, 1})
    ->Args({19, 689, 1})
    ->Args({12, 415, 0})
    ->Args({19, 689, 0})
    ->Unit(benchmark::kMicrosecond);

// Paint of the analog clock set up as in the meter window, 37 dots lit.
QDateTime fixedMoment()
{
    return QDateTime(QDate(2025, 3, 3), QTime(10, 8, 37));
}

void BM_AnalogClockPaint(benchmark::State &state)
{
    setVXNTimeSource(&fixedMoment);
    VXNAnalogClock clock;
    const int side = static_cast<int>(state.range(0));
    clock.resize(side, side);
    clock.setHourLines(true);
    clock.setHourLinesColor(QColor(0, 255, 0));
    clock.setMinuteLines(true);
    clock.setMinuteLinesColor(QColor(0, 170, 0));
    clock.setDotSize(4);
    clock.setDotColor(Qt::white);
    clock.setHourHandColor(QColor(255, 0, 0, 128));
    clock.setHourHandBorder(24);
    clock.setMinuteHandColor(QColor(0, 0, 255, 128));
    clock.setMinuteHandBorder(8);
    clock.setMinuteHandLength(28);
    clock.checkTime();
    QImage image(clock.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        image.fill(Qt::black);
        clock.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_AnalogClockPaint)->ArgName("side")->Arg(410)->Arg(681)->Unit(benchmark::kMicrosecond);

// One 100 ms poll of both clocks on the system clock; nearly all fall in the
// second seen last and neither work out local time nor make text.
void BM_ClockPoll(benchmark::State &state)
{
    setVXNTimeSource(nullptr);
    VXNAnalogClock analog;
    VXNDigitalClock digital;
    for (auto _ : state) {
        analog.checkTime();
        digital.checkTime();
    }
}
BENCHMARK(BM_ClockPoll);

// The bar calculation alone, alternating between two levels so every call
// moves the bar.
void BM_CalculatePosition(benchmark::State &state)
{
    VXNPPMMeter meter;
    meter.resize(12, 415);
    meter.setDINCurve(state.range(0) != 0);
    double level = -20.0;
    for (auto _ : state) {
        level = level == -20.0 ? -6.0 : -20.0;
        meter.setdBPositionNoUpdate(level);
        benchmark::DoNotOptimize(meter.calculatePosition());
    }
}
BENCHMARK(BM_CalculatePosition)->ArgName("din")->Arg(1)->Arg(0);

// The owner's 10 ms release tick on a shown meter, pending repaints
// delivered: a fall of 0.001 dB per tick stays inside one pixel row for
// many ticks, a fall of 1 dB moves the bar every tick.
void BM_MeterReleaseTick(benchmark::State &state)
{
    CountingMeter meter;
    meter.resize(12, 415);
    meter.show();
    QCoreApplication::processEvents();
    const double step = state.range(0) / 1000.0;
    double level = 0.0;
    meter.setdBPositionNoUpdate(level);
    meter.calculatePosition();
    QCoreApplication::sendPostedEvents();
    const long before = meter.paints;
    for (auto _ : state) {
        level -= step;
        if (level < -40.0)
            level = 0.0;
        meter.setdBPositionNoUpdate(level);
        if (meter.calculatePosition())
            meter.update();
        QCoreApplication::sendPostedEvents();
    }
    state.counters["paints/tick"] =
        benchmark::Counter(static_cast<double>(meter.paints - before), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_MeterReleaseTick)->ArgName("millidB")->Arg(1)->Arg(1000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
