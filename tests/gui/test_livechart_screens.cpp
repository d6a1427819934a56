// The live chart on today's screens: drawn at the device's own resolution
// when a widget pixel is several device pixels, and readable on dark and
// light palettes and surfaces alike.
#include "LiveChart.h"

#include <QImage>
#include <QPalette>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

namespace {

constexpr double kSecond = 1.0 / 86400.0;
constexpr double kStart = 46000.5;
constexpr std::uint32_t kRed = 0x000000FFu;

QImage Render(LiveChart& chart, int w, int h, double dpr)
{
    chart.resize(w, h);
    QImage image(static_cast<int>(w * dpr), static_cast<int>(h * dpr), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::white);
    chart.render(&image);
    QImage out = image.convertToFormat(QImage::Format_RGB32);
    out.setDevicePixelRatio(1.0);
    return out;
}

bool Is(const QImage& image, int x, int y, QRgb color)
{
    return (image.pixel(x, y) | 0xFF000000u) == color;
}

// Per column, the first and last row of `color` (-1 when none).
struct Extent {
    int top = -1, bottom = -1;
    bool operator==(const Extent&) const = default;
};
std::vector<Extent> Extents(const QImage& image, QRgb color)
{
    std::vector<Extent> e(static_cast<std::size_t>(image.width()));
    for (int x = 0; x < image.width(); ++x)
        for (int y = 0; y < image.height(); ++y)
            if (Is(image, x, y, color)) {
                Extent& c = e[static_cast<std::size_t>(x)];
                if (c.top < 0)
                    c.top = y;
                c.bottom = y;
            }
    return e;
}

// Relative luminance and contrast ratio of two colours (1 to 21).
double Luminance(QRgb c)
{
    auto lin = [](int v) {
        const double s = v / 255.0;
        return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * lin(qRed(c)) + 0.7152 * lin(qGreen(c)) + 0.0722 * lin(qBlue(c));
}
double Contrast(QRgb a, QRgb b)
{
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QRgb MostFrequent(const QImage& image, const QRect& area)
{
    std::map<QRgb, int> count;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ++count[image.pixel(x, y)];
    return std::max_element(count.begin(), count.end(), [](auto& a, auto& b) { return a.second < b.second; })->first;
}

} // namespace

// At a device pixel ratio of 2 every device pixel column gets its own
// minimum and maximum, so the line and the 3D strip change from one device
// column to the next instead of coming in 2 x 2 blocks; and the picture sits
// where the one at ratio 1 sits.
TEST(LiveChartScreens, DevicePixelRatioTwoDrawsEachDeviceColumn)
{
    const QRgb red = qRgb(255, 0, 0);
    const QRgb strip = QColor(255, 0, 0).darker(150).rgb();
    for (bool three_d : {false, true}) {
        SCOPED_TRACE(three_d ? "3D" : "2D");
        LiveChart chart;
        chart.SetView3D(three_d);
        chart.SetDepth3D(35);
        chart.SetBackWallColor(0x00FFFFFFu);
        chart.SetSurfaceColor(0x00FFFFFFu);
        // A slow wave with a ripple of six widget pixels' period: each device
        // column spans a different part of the ripple.
        for (int i = 0; i < 40000; ++i)
            chart.AddPoint(kStart + i * kSecond,
                           std::sin(i * 6.2831853 / 8000.0) + 0.15 * std::sin(i * 6.2831853 / 400.0), kRed);
        chart.SetLegendFirst(chart.Count()); // no legend markers in red

        const QImage one = Render(chart, 640, 300, 1.0);
        const QImage two = Render(chart, 640, 300, 2.0);
        ASSERT_EQ(two.width(), 1280);

        for (QRgb color : three_d ? std::vector<QRgb>{red, strip} : std::vector<QRgb>{red}) {
            const std::vector<Extent> e = Extents(two, color);
            int pairs = 0, differing = 0, odd_tops = 0, columns = 0;
            for (std::size_t x = 0; x + 1 < e.size(); x += 2) {
                if (e[x].top < 0 || e[x + 1].top < 0)
                    continue;
                ++pairs;
                differing += e[x] == e[x + 1] ? 0 : 1;
            }
            for (const Extent& c : e) {
                columns += c.top >= 0 ? 1 : 0;
                odd_tops += c.top >= 0 && c.top % 2 == 1 ? 1 : 0;
            }
            ASSERT_GT(pairs, 250);
            EXPECT_GT(differing, pairs / 4) << "device columns come in pairs";
            EXPECT_GT(odd_tops, columns / 5) << "rows come in pairs";

            // The same place as at ratio 1, within a widget pixel or so.
            auto bounds = [](const std::vector<Extent>& ex) {
                QRect r;
                for (std::size_t x = 0; x < ex.size(); ++x)
                    if (ex[x].top >= 0)
                        r |= QRect(static_cast<int>(x), ex[x].top, 1, ex[x].bottom - ex[x].top + 1);
                return r;
            };
            const QRect b1 = bounds(Extents(one, color));
            const QRect b2 = bounds(e);
            EXPECT_NEAR(b2.left(), 2 * b1.left(), 3);
            EXPECT_NEAR(b2.right(), 2 * b1.right() + 1, 3);
            EXPECT_NEAR(b2.top(), 2 * b1.top(), 3);
            EXPECT_NEAR(b2.bottom(), 2 * b1.bottom() + 1, 3);
        }
    }
}

// Grid lines, the 3D floor's and side wall's grids, and the axis labels keep
// their contrast whatever the palette and the chart's own colours.
TEST(LiveChartScreens, GridAndLabelsStayVisibleOnDarkAndLightSurfaces)
{
    QPalette dark;
    for (auto role : {QPalette::Window, QPalette::Button})
        dark.setColor(role, QColor(45, 45, 45));
    for (auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
        dark.setColor(role, QColor(225, 225, 225));
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    QPalette light;
    light.setColor(QPalette::Button, QColor(239, 239, 239));
    light.setColor(QPalette::WindowText, QColor(0, 0, 0));

    struct Case {
        const char* name;
        QPalette palette;
        std::uint32_t wall, surface;
    };
    const Case cases[] = {
        {"dark palette, system colours", dark, 0x8000000Fu, 0x8000000Fu},
        {"dark palette, white chart", dark, 0x00FFFFFFu, 0x00FFFFFFu},
        {"light palette, system colours", light, 0x8000000Fu, 0x8000000Fu},
        {"light palette, black wall on a dark surface", light, 0x00000000u, 0x00303030u},
    };
    for (const Case& c : cases) {
        for (bool three_d : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (three_d ? " 3D" : " 2D"));
            LiveChart chart;
            chart.setPalette(c.palette);
            chart.SetView3D(three_d);
            chart.SetDepth3D(35);
            chart.SetBackWallColor(c.wall);
            chart.SetSurfaceColor(c.surface);
            // Some ninety seconds in view, no points: time ticks inside the
            // plot, none on its edges.
            chart.ZoomTo(kStart + 5 * kSecond, kStart + 100 * kSecond, 0.0, 1.0);
            const QImage image = Render(chart, 900, 300, 1.0);
            const QRect pr = chart.PlotRect();
            ASSERT_FALSE(pr.isEmpty());

            // Horizontal grid lines on the back wall: rows of one colour
            // other than the wall's, which must stand out from it.
            const QRect back(pr.left() + pr.width() / 2, pr.top() + 1, pr.width() / 2 - 1, pr.height() / 2);
            const QRgb wall = MostFrequent(image, back);
            int grid_rows = 0;
            double weakest = 21.0;
            for (int y = back.top(); y <= back.bottom(); ++y) {
                const QRgb row = MostFrequent(image, QRect(back.left(), y, back.width(), 1));
                if (row == wall)
                    continue;
                ++grid_rows;
                weakest = std::min(weakest, Contrast(row, wall));
            }
            EXPECT_GE(grid_rows, 1);
            EXPECT_GE(weakest, 1.5) << "grid lines fade into the wall";

            if (three_d) {
                // The floor's grid crosses a row just above the front edge
                // (clear of the floor's slanted ends), the side wall's grid a
                // column just right of the axis.
                auto crossings = [&](QPoint from, QPoint step, int n) {
                    std::vector<QRgb> line;
                    for (int i = 0; i < n; ++i)
                        line.push_back(image.pixel(from + step * i));
                    std::map<QRgb, int> count;
                    for (QRgb v : line)
                        ++count[v];
                    const QRgb base = std::max_element(count.begin(), count.end(), [](auto& a, auto& b) {
                                          return a.second < b.second;
                                      })->first;
                    return static_cast<int>(
                        std::count_if(line.begin(), line.end(), [&](QRgb v) { return Contrast(v, base) >= 1.5; }));
                };
                EXPECT_GE(crossings(QPoint(pr.left() + 4, pr.bottom() - 2), QPoint(1, 0), pr.width() - 5), 2)
                    << "no grid on the floor";
                EXPECT_GE(crossings(QPoint(pr.left() + 2, pr.top() + pr.height() / 4), QPoint(0, 1), pr.height() / 2),
                          2)
                    << "no grid on the side wall";
            }

            // The time labels under the plot read on the surface.
            const QRect labels(pr.left(), pr.bottom() + 6, pr.width(), 10);
            const QRgb surface = MostFrequent(image, labels);
            double strongest = 1.0;
            for (int y = labels.top(); y <= labels.bottom(); ++y)
                for (int x = labels.left(); x <= labels.right(); ++x)
                    strongest = std::max(strongest, Contrast(image.pixel(x, y), surface));
            EXPECT_GE(strongest, 3.0) << "labels fade into the surface";
        }
    }
}
