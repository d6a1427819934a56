// Times one tick of the live chart (delete the first point, add one, repaint
// the whole widget into an image) offscreen, beside Qt Charts doing the same
// with the same data, and prints a table. Sizes marked @2 paint into an image
// of twice the resolution (a device pixel ratio of 2, as on a high density
// screen). Build in Release and run:
//   bench_chart            (all sizes)
//   bench_chart quick      (fewer ticks)
//   bench_chart [quick] 1920x1080@2   (one size only)
// Columns: the median tick in wall-clock time and in the thread's processor
// time (which a busy machine disturbs less), the data update alone, the
// memory per point, a live change of the chart settings repainted at once
// (the 3D depth moved by one step, and 3D switched over), Qt Charts' median
// tick and the ratio of the two ticks.
// With KX52_BENCH_IMAGES=<folder> the last frame of each run is saved there.
#include "LiveChart.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QImage>
#include <QLineSeries>
#include <QPainter>
#include <QValueAxis>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kSecond = 1.0 / 86400.0;
constexpr double kStart = 46000.5;
// 30.12.1899 00:00 as milliseconds since the Unix epoch (local time ignored:
// both charts get the same numbers).
constexpr double kEpochOffsetDays = 25569.0;

// Two kinds of readings: "wave" swings over its whole range every two
// minutes (at 100,001 points every pixel column spans nearly the full
// height: the costliest case to draw); "drift" wanders slowly with a little
// noise, as a process value does.
enum class Shape { Wave, Drift };

double Value(Shape shape, long i)
{
    const auto t = static_cast<double>(i);
    if (shape == Shape::Wave)
        return std::sin(t * 0.05) * 10.0 + static_cast<double>(i % 13) * 0.3;
    const auto noise = static_cast<double>((static_cast<unsigned long>(i) * 2654435761u) % 1000u) / 1000.0;
    return 20.0 + 5.0 * std::sin(t * 6.283185307 / 20000.0) + 0.2 * noise;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// Processor time of this thread, in milliseconds.
double ThreadMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1.0e6;
}

struct Result {
    double tickMs = 0;
    double cpuMs = 0;
    double updateUs = 0;
    double bytesPerPoint = 0;
    double depthMs = 0;
    double toggleMs = 0;
};

QImage Target(int width, int height, int dpr)
{
    QImage image(width * dpr, height * dpr, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::white);
    return image;
}

Result TimeLiveChart(Shape shape, int width, int height, int dpr, long points, bool view3d, int ticks)
{
    LiveChart chart;
    chart.SetSurfaceColor(0x8000000Fu);
    chart.SetBackWallColor(0x8000000Fu);
    chart.SetDepth3D(35);
    chart.SetView3D(view3d);
    chart.resize(width, height);
    long next = 0;
    for (; next < points; ++next)
        chart.AddPoint(kStart + static_cast<double>(next) * kSecond, Value(shape, next), 0x000000FFu);
    chart.SetLegendFirst(static_cast<int>(points) - 20);
    QImage image = Target(width, height, dpr);
    chart.render(&image); // builds the cache once

    Result r;
    std::vector<double> samples, cpu;
    for (int t = 0; t < ticks; ++t, ++next) {
        const auto start = Clock::now();
        const double cpuStart = ThreadMs();
        chart.DeleteFirst();
        chart.AddPoint(kStart + static_cast<double>(next) * kSecond, Value(shape, next), 0x000000FFu);
        chart.render(&image);
        cpu.push_back(ThreadMs() - cpuStart);
        samples.push_back(Ms(Clock::now() - start));
    }
    r.tickMs = Median(samples);
    r.cpuMs = Median(cpu);
    if (const char* dir = std::getenv("KX52_BENCH_IMAGES"))
        image.save(QStringLiteral("%1/livechart_%2x%3%4_%5_%6_%7.png")
                       .arg(QString::fromLocal8Bit(dir))
                       .arg(width)
                       .arg(height)
                       .arg(dpr > 1 ? QStringLiteral("@%1").arg(dpr) : QString())
                       .arg(points)
                       .arg(shape == Shape::Wave ? QStringLiteral("wave") : QStringLiteral("drift"))
                       .arg(view3d ? QStringLiteral("3d") : QStringLiteral("2d")));

    // The data update alone, in batches so the clock's resolution does not matter.
    samples.clear();
    for (int batch = 0; batch < 20; ++batch) {
        const auto start = Clock::now();
        for (int i = 0; i < 100; ++i, ++next) {
            chart.DeleteFirst();
            chart.AddPoint(kStart + static_cast<double>(next) * kSecond, Value(shape, next), 0x000000FFu);
        }
        samples.push_back(Ms(Clock::now() - start) * 1000.0 / 100.0);
    }
    r.updateUs = Median(samples);
    r.bytesPerPoint = static_cast<double>(chart.PointMemoryBytes()) / static_cast<double>(chart.Count());

    // Live changes from the chart settings: the depth slider moved one step
    // at a time (up and back), and 3D switched off and on again, each
    // repainted at once.
    const int changes = std::max(10, ticks / 5);
    samples.clear();
    for (int i = 0; i < changes; ++i) {
        const int depth = 35 + (i % 40 < 20 ? i % 20 + 1 : 20 - i % 20 - 1);
        const auto start = Clock::now();
        chart.SetDepth3D(depth);
        chart.render(&image);
        samples.push_back(Ms(Clock::now() - start));
    }
    r.depthMs = Median(samples);
    chart.SetDepth3D(35);
    samples.clear();
    for (int i = 0; i < changes; ++i) {
        const auto start = Clock::now();
        chart.SetView3D(!chart.View3D());
        chart.render(&image);
        samples.push_back(Ms(Clock::now() - start));
    }
    r.toggleMs = Median(samples);
    return r;
}

double TimeQtCharts(Shape shape, int width, int height, int dpr, long points, int ticks)
{
    auto* series = new QLineSeries;
    QList<QPointF> data;
    data.reserve(points);
    auto msecs = [](long i) { return (kStart + static_cast<double>(i) * kSecond - kEpochOffsetDays) * 86400000.0; };
    long next = 0;
    for (; next < points; ++next)
        data.append(QPointF(msecs(next), Value(shape, next)));
    series->replace(data);
    series->setColor(Qt::red);

    auto* chart = new QChart;
    chart->addSeries(series);
    auto* axisX = new QDateTimeAxis;
    axisX->setFormat(QStringLiteral("hh:mm:ss"));
    auto* axisY = new QValueAxis;
    chart->addAxis(axisX, Qt::AlignBottom);
    chart->addAxis(axisY, Qt::AlignLeft);
    series->attachAxis(axisX);
    series->attachAxis(axisY);
    QChartView view(chart);
    view.setRenderHint(QPainter::Antialiasing);
    view.resize(width, height);
    // Laid out at its size like a shown window, but never painted on its own:
    // the timed loop paints it once per tick, through render().
    view.setAttribute(Qt::WA_DontShowOnScreen);
    view.show();
    QCoreApplication::processEvents();
    QImage image = Target(width, height, dpr);
    {
        QPainter p(&image);
        view.render(&p);
    }

    std::vector<double> samples;
    for (int t = 0; t < ticks; ++t, ++next) {
        const auto start = Clock::now();
        series->remove(0);
        series->append(msecs(next), Value(shape, next));
        axisX->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(msecs(next - points + 1))),
                        QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(msecs(next))));
        axisY->setRange(shape == Shape::Wave ? -10.0 : 15.0, shape == Shape::Wave ? 13.6 : 25.2);
        QCoreApplication::processEvents();
        QPainter p(&image);
        view.render(&p);
        p.end();
        samples.push_back(Ms(Clock::now() - start));
    }
    if (const char* dir = std::getenv("KX52_BENCH_IMAGES"))
        image.save(QStringLiteral("%1/qtcharts_%2x%3%4_%5_%6.png")
                       .arg(QString::fromLocal8Bit(dir))
                       .arg(width)
                       .arg(height)
                       .arg(dpr > 1 ? QStringLiteral("@%1").arg(dpr) : QString())
                       .arg(points)
                       .arg(shape == Shape::Wave ? QStringLiteral("wave") : QStringLiteral("drift")));
    return Median(samples);
}

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs("usage: bench_chart [quick] [WIDTHxHEIGHT[@2]]\n"
                       "Times one tick of the live chart beside Qt Charts, offscreen, at 657x312, 1920x1080 and\n"
                       "1920x1080@2 (twice the resolution), or only at the size given; \"quick\" runs fewer\n"
                       "ticks. With KX52_BENCH_IMAGES=FOLDER the last frame of each run is saved there.\n",
                       stdout);
            return 0;
        }
    }
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    bool quick = false;
    const char* only = nullptr; // one size, as printed in the first column
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "quick") == 0)
            quick = true;
        else
            only = argv[i];
    }

    struct Size {
        int w, h, dpr;
    };
    const Size sizes[] = {{657, 312, 1}, {1920, 1080, 1}, {1920, 1080, 2}};
    const long counts[] = {201, 10001, 100001};

    std::printf("%-12s %8s %6s %4s %9s %9s %10s %9s %9s %9s %12s %9s\n", "size", "points", "data", "view", "tick ms",
                "cpu ms", "update us", "bytes/pt", "depth ms", "3D ms", "QtCharts ms", "speed-up");
    for (const Size& s : sizes) {
        char size[32];
        if (s.dpr > 1)
            std::snprintf(size, sizeof size, "%dx%d@%d", s.w, s.h, s.dpr);
        else
            std::snprintf(size, sizeof size, "%dx%d", s.w, s.h);
        if (only != nullptr && std::strcmp(only, size) != 0)
            continue;
        for (long n : counts) {
            for (Shape shape : {Shape::Wave, Shape::Drift}) {
                const int qtTicks = quick ? 3 : (n > 50000 ? 5 : n > 5000 ? 20 : 50);
                const double qt = TimeQtCharts(shape, s.w, s.h, s.dpr, n, qtTicks);
                for (bool v3 : {false, true}) {
                    const int ticks = quick ? 20 : (s.w * s.dpr > 1000 ? 100 : 200);
                    const Result r = TimeLiveChart(shape, s.w, s.h, s.dpr, n, v3, ticks);
                    std::printf("%-12s %8ld %6s %4s %9.3f %9.3f %10.3f %9.1f %9.3f %9.3f %12.2f %8.0fx\n", size, n,
                                shape == Shape::Wave ? "wave" : "drift", v3 ? "3D" : "2D", r.tickMs, r.cpuMs,
                                r.updateUs, r.bytesPerPoint, r.depthMs, r.toggleMs, qt, qt / r.tickMs);
                    std::fflush(stdout);
                }
            }
        }
    }
    return 0;
}
