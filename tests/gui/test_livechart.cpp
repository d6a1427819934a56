// The live chart widget: point order, legend layout, look, colour values,
// mouse zoom and pan, painting of awkward data, and that the cached
// decimation after many ticks paints exactly what a fresh chart paints.
#include "ColumnWriter.h"
#include "LiveChart.h"

#include <QImage>
#include <QPalette>
#include <QPixmap>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr double kSecond = 1.0 / 86400.0;
constexpr double kStart = 46000.5; // a date-time number at noon
constexpr std::uint32_t kRed = 0x000000FFu;
constexpr std::uint32_t kGreen = 0x0000FF00u;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

QImage Shot(LiveChart& chart, int w, int h)
{
    chart.resize(w, h);
    chart.show();
    return chart.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

int CountPixels(const QImage& image, const QColor& color)
{
    const QRgb want = color.rgb();
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            n += (line[x] | 0xFF000000u) == want ? 1 : 0;
    }
    return n;
}

// One pixel of the plot's width or height, as a share of the range shown.
double PixelX(const LiveChart& c)
{
    return (c.AxisXMax() - c.AxisXMin()) / (c.PlotRect().width() - 1);
}
double PixelY(const LiveChart& c)
{
    return (c.AxisYMax() - c.AxisYMin()) / (c.PlotRect().height() - 1);
}

void Drag(LiveChart& chart, Qt::MouseButton button, QPoint from, QPoint to)
{
    QTest::mousePress(&chart, button, {}, from);
    QTest::mouseMove(&chart, (from + to) / 2);
    QTest::mouseMove(&chart, to);
    QTest::mouseRelease(&chart, button, {}, to);
}

} // namespace

TEST(LiveChartPoints, KeepsTimeOrderAndDeletesTheEarliest)
{
    LiveChart chart;
    for (int i = 0; i < 5; ++i)
        chart.AddPoint(kStart + i * kSecond, i, kRed);
    // The clock went back by a second and a half: the point goes by its time.
    chart.AddPoint(kStart + 2.5 * kSecond, 25.0, kGreen);
    // The same time as an existing point: it comes after that point.
    chart.AddPoint(kStart + 1 * kSecond, 11.0, 0x00123456u);

    ASSERT_EQ(chart.Count(), 7);
    const double ys[] = {0, 1, 11, 2, 25, 3, 4};
    const std::uint32_t colors[] = {kRed, kRed, 0x00123456u, kRed, kGreen, kRed, kRed};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(chart.YAt(i), ys[i]) << i;
        EXPECT_EQ(chart.ColorAt(i), colors[i]) << i;
        if (i > 0) {
            EXPECT_LE(chart.XAt(i - 1), chart.XAt(i)) << i;
        }
    }

    // A point from before all others becomes the first and is deleted first.
    chart.AddPoint(kStart - 10 * kSecond, -1.0, kGreen);
    EXPECT_EQ(chart.YAt(0), -1.0);
    chart.DeleteFirst();
    EXPECT_EQ(chart.Count(), 7);
    EXPECT_EQ(chart.YAt(0), 0.0);
    chart.DeleteFirst();
    EXPECT_EQ(chart.YAt(0), 1.0);
    EXPECT_EQ(chart.ColorAt(1), 0x00123456u);

    // Out-of-range reads are harmless; a point without a finite time is not
    // taken; deleting from an empty chart does nothing.
    EXPECT_TRUE(std::isnan(chart.XAt(-1)));
    EXPECT_TRUE(std::isnan(chart.YAt(chart.Count())));
    EXPECT_EQ(chart.ColorAt(99), 0u);
    chart.AddPoint(kNaN, 1.0, kRed);
    chart.AddPoint(kInf, 1.0, kRed);
    EXPECT_EQ(chart.Count(), 6);
    chart.Clear();
    EXPECT_EQ(chart.Count(), 0);
    chart.DeleteFirst();
    EXPECT_EQ(chart.Count(), 0);
}

TEST(LiveChartLegend, RowsShownFollowTheLayoutAndTheFirstRow)
{
    LiveChart chart;
    for (int i = 0; i < 4; ++i)
        chart.AddPoint(kStart + i * kSecond, i, kRed);
    Shot(chart, 657, 312);
    EXPECT_EQ(chart.LegendRowsShown(), 4);

    for (int i = 4; i < 500; ++i)
        chart.AddPoint(kStart + i * kSecond, i, kRed);
    Shot(chart, 657, 312);
    const int rows = chart.LegendRowsShown();
    EXPECT_GT(rows, 5);
    EXPECT_LT(rows, 500);

    Shot(chart, 657, 624);
    EXPECT_GT(chart.LegendRowsShown(), rows);

    // Listing the most recent points the way the main window does it.
    Shot(chart, 657, 312);
    chart.SetLegendFirst(chart.Count() - rows);
    EXPECT_EQ(chart.LegendFirst(), 500 - rows);
    Shot(chart, 657, 312);
    EXPECT_EQ(chart.LegendRowsShown(), rows);

    chart.SetLegendFirst(497);
    Shot(chart, 657, 312);
    EXPECT_EQ(chart.LegendRowsShown(), 3);
    chart.SetLegendFirst(600);
    Shot(chart, 657, 312);
    EXPECT_EQ(chart.LegendRowsShown(), 0);
    chart.SetLegendFirst(-3);
    EXPECT_EQ(chart.LegendFirst(), 0);

    // Too narrow for a legend: no rows.
    Shot(chart, 150, 312);
    EXPECT_EQ(chart.LegendRowsShown(), 0);
}

TEST(LiveChartLook, DefaultsSettersAndDepthBounds)
{
    LiveChart chart;
    EXPECT_FALSE(chart.View3D());
    EXPECT_EQ(chart.Depth3D(), 5);
    EXPECT_EQ(chart.BackWallColor(), 0x00FFFFFFu);
    EXPECT_FALSE(chart.BackWallOpaque());
    EXPECT_EQ(chart.SurfaceColor(), 0x8000000Fu);

    chart.SetView3D(true);
    chart.SetDepth3D(35);
    chart.SetBackWallColor(0x8000000Fu);
    chart.SetSurfaceColor(0x00C0C0C0u);
    EXPECT_TRUE(chart.View3D());
    EXPECT_EQ(chart.Depth3D(), 35);
    EXPECT_EQ(chart.BackWallColor(), 0x8000000Fu);
    EXPECT_TRUE(chart.BackWallOpaque());
    EXPECT_EQ(chart.SurfaceColor(), 0x00C0C0C0u);

    chart.SetDepth3D(0);
    EXPECT_EQ(chart.Depth3D(), 1);
    chart.SetDepth3D(-40);
    EXPECT_EQ(chart.Depth3D(), 1);
    chart.SetDepth3D(101);
    EXPECT_EQ(chart.Depth3D(), 100);
    chart.SetDepth3D(100);
    EXPECT_EQ(chart.Depth3D(), 100);
}

TEST(LiveChartColor, ResolvesRgbValuesAndSystemColours)
{
    QPalette palette;
    palette.setColor(QPalette::Button, QColor(12, 34, 56));
    palette.setColor(QPalette::Base, QColor(1, 2, 3));
    palette.setColor(QPalette::Text, QColor(4, 5, 6));
    palette.setColor(QPalette::Highlight, QColor(7, 8, 9));

    EXPECT_EQ(ResolveColorValue(255, palette), QColor(255, 0, 0));
    EXPECT_EQ(ResolveColorValue(0x0000FF00u, palette), QColor(0, 255, 0));
    EXPECT_EQ(ResolveColorValue(0x00FF0000u, palette), QColor(0, 0, 255));
    EXPECT_EQ(ResolveColorValue(0x00123456u, palette), QColor(0x56, 0x34, 0x12));

    EXPECT_EQ(ResolveColorValue(0x8000000Fu, palette), QColor(12, 34, 56)); // button face
    EXPECT_EQ(ResolveColorValue(0x80000005u, palette), QColor(1, 2, 3));    // window
    EXPECT_EQ(ResolveColorValue(0x80000008u, palette), QColor(4, 5, 6));    // window text
    EXPECT_EQ(ResolveColorValue(0x8000000Du, palette), QColor(7, 8, 9));    // highlight
    EXPECT_TRUE(ResolveColorValue(0x80000063u, palette).isValid());
    EXPECT_TRUE(ResolveColorValue(0xFFFFFFFFu, palette).isValid());

    EXPECT_EQ(ColorValueOf(QColor(255, 0, 0)), 255u);
    EXPECT_EQ(ColorValueOf(QColor(0x56, 0x34, 0x12)), 0x00123456u);
    EXPECT_EQ(ColorValueOf(QColor::fromHsv(200, 100, 100)),
              ColorValueOf(ResolveColorValue(ColorValueOf(QColor::fromHsv(200, 100, 100)), palette)));
}

TEST(LiveChartZoom, LeftDragZoomsToTheRectangleAndBackUndoes)
{
    LiveChart chart;
    for (int i = 0; i <= 100; ++i)
        chart.AddPoint(kStart + i * kSecond, i, kRed);
    Shot(chart, 657, 312);
    const QRect pr = chart.PlotRect();
    ASSERT_FALSE(pr.isEmpty());
    EXPECT_DOUBLE_EQ(chart.AxisXMin(), kStart);
    EXPECT_DOUBLE_EQ(chart.AxisXMax(), kStart + 100 * kSecond);
    EXPECT_DOUBLE_EQ(chart.AxisYMin(), 0.0);
    EXPECT_DOUBLE_EQ(chart.AxisYMax(), 100.0);

    const double px = PixelX(chart), py = PixelY(chart);
    const QPoint from(pr.left() + 100, pr.top() + 50);
    const QPoint to(pr.left() + 300, pr.top() + 150);

    // Too small a drag is no gesture.
    Drag(chart, Qt::LeftButton, from, from + QPoint(3, 3));
    EXPECT_FALSE(chart.IsZoomed());

    Drag(chart, Qt::LeftButton, from, to);
    ASSERT_TRUE(chart.IsZoomed());
    EXPECT_NEAR(chart.AxisXMin(), kStart + 100 * px, 1e-9);
    EXPECT_NEAR(chart.AxisXMax(), kStart + 300 * px, 1e-9);
    EXPECT_NEAR(chart.AxisYMax(), 100.0 - 50 * py, 1e-9);
    EXPECT_NEAR(chart.AxisYMin(), 100.0 - 150 * py, 1e-9);

    // While zoomed, new points do not move the view.
    const double x0 = chart.AxisXMin(), x1 = chart.AxisXMax();
    chart.AddPoint(kStart + 101 * kSecond, 500.0, kRed);
    Shot(chart, 657, 312);
    EXPECT_DOUBLE_EQ(chart.AxisXMin(), x0);
    EXPECT_DOUBLE_EQ(chart.AxisXMax(), x1);

    // Dragging to the upper left returns to the whole series, new point included.
    Drag(chart, Qt::LeftButton, to, from);
    EXPECT_FALSE(chart.IsZoomed());
    EXPECT_DOUBLE_EQ(chart.AxisXMax(), kStart + 101 * kSecond);
    EXPECT_DOUBLE_EQ(chart.AxisYMax(), 500.0);

    // A zoom inside a zoom narrows further.
    Drag(chart, Qt::LeftButton, from, to);
    const double span = chart.AxisXMax() - chart.AxisXMin();
    Drag(chart, Qt::LeftButton, from, to);
    EXPECT_LT(chart.AxisXMax() - chart.AxisXMin(), span * 0.5);
    chart.UndoZoom();
    EXPECT_FALSE(chart.IsZoomed());
    EXPECT_DOUBLE_EQ(chart.AxisXMin(), kStart);
}

TEST(LiveChartZoom, RightDragPansBothWays)
{
    LiveChart chart;
    for (int i = 0; i <= 100; ++i)
        chart.AddPoint(kStart + i * kSecond, i, kRed);
    Shot(chart, 657, 312);
    const QRect pr = chart.PlotRect();
    const double px = PixelX(chart), py = PixelY(chart);
    const QPoint c = pr.center();

    // The content follows the mouse: right and up shows earlier times and
    // lower values.
    Drag(chart, Qt::RightButton, c, c + QPoint(40, -30));
    ASSERT_TRUE(chart.IsZoomed());
    EXPECT_NEAR(chart.AxisXMin(), kStart - 40 * px, 1e-9);
    EXPECT_NEAR(chart.AxisXMax(), kStart + 100 * kSecond - 40 * px, 1e-9);
    EXPECT_NEAR(chart.AxisYMin(), -30 * py, 1e-9);
    EXPECT_NEAR(chart.AxisYMax(), 100.0 - 30 * py, 1e-9);

    // The value labels may have changed width, so take the pixel size anew.
    const double x0 = chart.AxisXMin(), y0 = chart.AxisYMin();
    const double px2 = PixelX(chart), py2 = PixelY(chart);
    Drag(chart, Qt::RightButton, c, c + QPoint(-80, 60));
    EXPECT_NEAR(chart.AxisXMin(), x0 + 80 * px2, 1e-9);
    EXPECT_NEAR(chart.AxisYMin(), y0 + 60 * py2, 1e-9);
    EXPECT_GT(chart.AxisXMin(), kStart);
    EXPECT_GT(chart.AxisYMin(), 0.0);

    // After undoing, the axes follow the data again.
    chart.UndoZoom();
    chart.AddPoint(kStart + 200 * kSecond, -7.0, kRed);
    EXPECT_DOUBLE_EQ(chart.AxisXMax(), kStart + 200 * kSecond);
    EXPECT_DOUBLE_EQ(chart.AxisYMin(), -7.0);
}

TEST(LiveChartPaint, AwkwardDataPaintsAndKeepsFiniteAxes)
{
    struct Case {
        const char* name;
        std::vector<double> ys;
        double lo, hi;     // expected value range when not NaN
        bool flat = false; // all values equal: they must sit inside the range
    };
    const std::vector<Case> cases = {
        {"empty", {}, kNaN, kNaN},
        {"one point", {3.0}, kNaN, kNaN, true},
        {"two points", {1.0, 2.0}, 1.0, 2.0},
        {"equal values", {4.0, 4.0, 4.0, 4.0}, kNaN, kNaN, true},
        {"equal zeros", {0.0, 0.0}, kNaN, kNaN, true},
        {"not finite", {1.0, kNaN, 5.0, kInf, -kInf, 2.0}, 1.0, 5.0},
        {"only not finite", {kNaN, kInf, -kInf}, kNaN, kNaN},
        {"huge", {-1e308, 1e308, 0.0}, kNaN, kNaN},
        {"tiny differences", {1e10, 1e10 + 1e-5, 1e10}, kNaN, kNaN},
    };
    for (bool three_d : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (three_d ? " 3D" : " 2D"));
            LiveChart chart;
            chart.SetView3D(three_d);
            chart.SetDepth3D(100);
            chart.SetBackWallColor(0x00FFFFFFu);
            for (std::size_t i = 0; i < c.ys.size(); ++i)
                chart.AddPoint(kStart + static_cast<double>(i) * kSecond, c.ys[i], kRed);
            for (QSize size : {QSize(657, 312), QSize(40, 30), QSize(1, 1)}) {
                const QImage image = Shot(chart, size.width(), size.height());
                EXPECT_FALSE(image.isNull());
            }
            Shot(chart, 300, 200);
            EXPECT_TRUE(std::isfinite(chart.AxisYMin()));
            EXPECT_TRUE(std::isfinite(chart.AxisYMax()));
            EXPECT_LT(chart.AxisYMin(), chart.AxisYMax());
            EXPECT_LT(chart.AxisXMin(), chart.AxisXMax());
            if (!std::isnan(c.lo)) {
                EXPECT_DOUBLE_EQ(chart.AxisYMin(), c.lo);
                EXPECT_DOUBLE_EQ(chart.AxisYMax(), c.hi);
            }
            if (c.flat) {
                EXPECT_LT(chart.AxisYMin(), c.ys.front());
                EXPECT_GT(chart.AxisYMax(), c.ys.front());
            }
        }
    }
}

TEST(LiveChartPaint, LineTakesEachPointsColourOverTheBackWall)
{
    const QColor wall(0, 200, 200);
    const QColor red(255, 0, 0), green(0, 255, 0);
    for (bool three_d : {false, true}) {
        SCOPED_TRACE(three_d ? "3D" : "2D");
        LiveChart chart;
        chart.SetView3D(three_d);
        chart.SetDepth3D(20);
        chart.SetSurfaceColor(0x00C0C0C0u);
        // Flat stretches: half red, then (after a pen change) half green.
        for (int i = 0; i < 20; ++i)
            chart.AddPoint(kStart + i * kSecond, i < 10 ? 1.0 : 2.0, i < 10 ? kRed : kGreen);
        chart.SetLegendFirst(100); // keep the legend's markers out of the count

        QImage image = Shot(chart, 480, 200);
        EXPECT_EQ(CountPixels(image, wall), 0) << "the back wall is transparent until coloured";
        EXPECT_GT(CountPixels(image, red), 40);
        EXPECT_GT(CountPixels(image, green), 40);

        chart.SetBackWallColor(ColorValueOf(wall));
        image = Shot(chart, 480, 200);
        EXPECT_GT(CountPixels(image, wall), 5000);
        EXPECT_GT(CountPixels(image, red), 40);
        EXPECT_GT(CountPixels(image, green), 40);
    }
}

// Runs many ticks on a chart (delete the first point, add one, repaint), with
// pen changes, missing values and a clock set back, then checks that it
// paints exactly what a chart built at once from the same points paints.
TEST(LiveChartPaint, TicksPaintTheSameAsAFreshChart)
{
    for (bool zoom : {false, true}) {
        SCOPED_TRACE(zoom ? "zoomed" : "whole series");
        LiveChart ticked;
        ticked.SetView3D(true);
        ticked.SetDepth3D(35);
        ticked.SetBackWallColor(0x8000000Fu);
        auto value = [](int i) { return i % 97 == 0 ? kNaN : std::sin(i * 0.05) * 10 + (i % 7); };
        auto color = [](int i) { return (i / 300) % 2 == 0 ? kRed : kGreen; };
        int next = 0;
        for (; next < 3000; ++next)
            ticked.AddPoint(kStart + next * kSecond, value(next), color(next));
        Shot(ticked, 657, 312);
        if (zoom)
            ticked.ZoomTo(kStart + 2000 * kSecond, kStart + 3100 * kSecond, -5, 12);
        for (int t = 0; t < 400; ++t, ++next) {
            ticked.DeleteFirst();
            if (t == 250)
                ticked.AddPoint(kStart + (next - 1500) * kSecond, 30.0, kRed); // clock set back
            else
                ticked.AddPoint(kStart + next * kSecond, value(next), color(next));
            if (t % 25 == 0)
                Shot(ticked, 657, 312);
        }
        const QImage after = Shot(ticked, 657, 312);

        LiveChart fresh;
        fresh.SetView3D(true);
        fresh.SetDepth3D(35);
        fresh.SetBackWallColor(0x8000000Fu);
        for (int i = 0; i < ticked.Count(); ++i)
            fresh.AddPoint(ticked.XAt(i), ticked.YAt(i), ticked.ColorAt(i));
        if (zoom)
            fresh.ZoomTo(kStart + 2000 * kSecond, kStart + 3100 * kSecond, -5, 12);
        const QImage expected = Shot(fresh, 657, 312);
        EXPECT_EQ(ticked.AxisXMin(), fresh.AxisXMin());
        EXPECT_TRUE(after == expected) << "the cached decimation drifted from the points";
    }
}

TEST(LiveChartMemory, SteadyTicksAtTheLargestSizeStayWithinBudget)
{
    LiveChart chart;
    const int n = 100001;
    for (int i = 0; i < n; ++i)
        chart.AddPoint(kStart + i * kSecond, i % 100, kRed);
    const std::size_t before = chart.PointMemoryBytes();
    EXPECT_LE(before, 32u * n);
    EXPECT_GE(before, 17u * n); // the points are all there: x, y and colour
    for (int i = 0; i < 20000; ++i) {
        chart.DeleteFirst();
        chart.AddPoint(kStart + (n + i) * kSecond, i % 100, kRed);
    }
    EXPECT_EQ(chart.Count(), n);
    EXPECT_LE(chart.PointMemoryBytes(), before + 1024);
    chart.Clear();
    EXPECT_LT(chart.PointMemoryBytes(), 4096u);
}

// Dense columns may be written straight into a 32-bit image; elsewhere they
// go through QPainter. Both must give the same picture, also when the chart
// sits inside another widget and is painted at an offset.
TEST(LiveChartPaint, DirectImageWritesMatchPainterFills)
{
    // One pen colour (strip and line written together, over the back wall
    // they lay too) and two; in 3D and in 2D; with the processor's widest
    // vector instructions and with the four-column ones every x86-64 has.
    struct Case {
        bool one_pen, three_d, wide;
    };
    for (const Case& c : {Case{false, true, true}, Case{true, true, true}, Case{true, false, true},
                          Case{true, true, false}, Case{true, false, false}}) {
        const bool one_pen = c.one_pen, three_d = c.three_d;
        SCOPED_TRACE(std::string(one_pen ? "one pen colour" : "two pen colours") + (three_d ? ", 3D" : ", 2D") +
                     (c.wide ? ", wide" : ", narrow"));
        const bool was_wide = UseWideColumnWriter(c.wide);
        auto fill = [one_pen, three_d](LiveChart& chart) {
            chart.SetView3D(three_d);
            chart.SetDepth3D(30);
            chart.SetBackWallColor(0x00E0E0E0u);
            for (int i = 0; i < 20000; ++i)
                chart.AddPoint(kStart + i * kSecond, std::sin(i * 0.05) * 10 + (i % 13) * 0.3,
                               i < 12000 || one_pen ? kRed : kGreen);
        };
        auto differing = [](const QImage& a, const QImage& b) {
            int n = 0;
            for (int y = 0; y < a.height(); ++y)
                for (int x = 0; x < a.width(); ++x) {
                    const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
                    n += std::abs(qRed(p) - qRed(q)) > 3 || std::abs(qGreen(p) - qGreen(q)) > 3 ||
                         std::abs(qBlue(p) - qBlue(q)) > 3;
                }
            return n;
        };

        LiveChart chart;
        fill(chart);
        chart.resize(500, 300);
        QImage direct(500, 300, QImage::Format_ARGB32_Premultiplied);
        direct.fill(Qt::white);
        chart.render(&direct);
        QImage painted(500, 300, QImage::Format_RGB888); // not writable directly
        painted.fill(Qt::white);
        chart.render(&painted);
        ASSERT_GT(CountPixels(direct.convertToFormat(QImage::Format_RGB32), QColor(255, 0, 0)), 1000);
        EXPECT_EQ(
            differing(direct.convertToFormat(QImage::Format_RGB32), painted.convertToFormat(QImage::Format_RGB32)), 0);

        // The same at a device pixel ratio of 2, where the line is drawn in
        // device pixels.
        QImage direct2(1000, 600, QImage::Format_ARGB32_Premultiplied);
        direct2.setDevicePixelRatio(2.0);
        direct2.fill(Qt::white);
        chart.render(&direct2);
        QImage painted2(1000, 600, QImage::Format_RGB888);
        painted2.setDevicePixelRatio(2.0);
        painted2.fill(Qt::white);
        chart.render(&painted2);
        ASSERT_GT(CountPixels(direct2.convertToFormat(QImage::Format_RGB32), QColor(255, 0, 0)), 4000);
        EXPECT_EQ(
            differing(direct2.convertToFormat(QImage::Format_RGB32), painted2.convertToFormat(QImage::Format_RGB32)),
            0);

        QWidget parent;
        parent.resize(600, 400);
        auto* inner = new LiveChart(&parent);
        fill(*inner);
        inner->setGeometry(37, 21, 500, 300);
        parent.show();
        const QImage whole = parent.grab().toImage().convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(differing(whole.copy(37, 21, 500, 300), direct.convertToFormat(QImage::Format_RGB32)), 0);
        UseWideColumnWriter(was_wide);
    }
}
