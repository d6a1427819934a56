// The live chart's layout and paint order: surface, back wall, side wall and
// floor with their grids, axes, the line with its strip, labels, legend, zoom
// frame.
#include "LiveChartImpl.h"

#include "ChartColors.h"

#include <QFontMetrics>
#include <QLocale>
#include <QPainter>
#include <QPalette>
#include <QPen>

#include <algorithm>
#include <cmath>

namespace {

// A rectangle of widget pixels in device pixels at the given scale.
QRect ScaleRect(const QRect& r, double scale)
{
    auto at = [scale](int v) { return static_cast<int>(std::lround(v * scale)); };
    return QRect(QPoint(at(r.left()), at(r.top())), QPoint(at(r.right() + 1) - 1, at(r.bottom() + 1) - 1));
}

// The back wall's grid line of a value (a widget pixel row) and of a time
// (a widget pixel column): the walls draw them, and the line's writer lays
// them where it lays the wall.
int BackGridRow(const ChartLayout& L, double value)
{
    return static_cast<int>(std::floor(L.Py(value))) - L.depth;
}

int BackGridColumn(const ChartLayout& L, double time)
{
    return static_cast<int>(std::floor(L.Px(time))) + L.depth;
}

// The inside of the back wall, two widget pixels in from its frame, where
// the line's writer lays the wall and its grid with the line: in device
// pixels at a whole-number scale, where the grid's rectangles cover whole
// device rows and columns; none at other scales.
Ground GroundOf(const ChartLayout& L, const QRect& wall_rect, double scale, QRgb wall, QRgb grid)
{
    Ground g;
    const double whole = std::round(scale);
    const QRect inner = wall_rect.adjusted(2, 2, -2, -2);
    if (whole < 1.0 || std::abs(scale - whole) > 1e-9 || inner.isEmpty())
        return g;
    const int k = static_cast<int>(whole);
    g.area = QRect(inner.left() * k, inner.top() * k, inner.width() * k, inner.height() * k);
    g.wall = wall;
    g.grid = grid;
    g.grid_row.assign(static_cast<std::size_t>(g.area.height()), 0);
    g.grid_column.assign(static_cast<std::size_t>(g.area.width()), 0);
    auto mark = [k](std::vector<char>& lines, int widget_pixel, int start) {
        for (int d = 0; d < k; ++d) {
            const int i = widget_pixel * k + d - start;
            if (i >= 0 && i < static_cast<int>(lines.size()))
                lines[static_cast<std::size_t>(i)] = 1;
        }
    };
    for (double v : L.value_axis.ticks)
        mark(g.grid_row, BackGridRow(L, v), g.area.top());
    for (double v : L.time_axis.ticks)
        mark(g.grid_column, BackGridColumn(L, v), g.area.left());
    return g;
}

TextMetrics MetricsOf(const QFont& font)
{
    const QFontMetrics fm(font);
    return {fm.height(), fm.ascent(), [fm](const QString& text) { return fm.horizontalAdvance(text); }};
}

} // namespace

void LiveChart::Impl::XRange(double& x0, double& x1) const
{
    if (zoomed) {
        x0 = zx0;
        x1 = zx1;
        return;
    }
    const bool any = !series.Empty();
    TimeRangeOf(any, any ? series.Front().x : 0.0, any ? series.Back().x : 0.0, x0, x1);
}

void LiveChart::Impl::YRange(double& y0, double& y1) const
{
    if (zoomed) {
        y0 = zy0;
        y1 = zy1;
        return;
    }
    double lo = 0, hi = 0;
    const bool any = series.ValueRange(lo, hi);
    ValueRangeOf(any, lo, hi, y0, y1);
}

void LiveChart::Impl::Prepare(const QWidget& w, double scale)
{
    const TextMetrics text = MetricsOf(w.font());
    double x0 = 0, x1 = 1, y0 = 0, y1 = 1;
    XRange(x0, x1);
    const ChartFrame frame = FrameOf(w.rect(), text);
    if (!series.CacheValid()) {
        const double estimate = std::max(1, frame.box.width() - 60) * scale;
        series.Rebuild(LadderFloor((x1 - x0) / estimate));
    }
    YRange(y0, y1);
    ChartLayout L = LayOutChart(w.rect(), frame, text, x0, x1, y0, y1, view_3d ? depth : 0,
                                static_cast<long long>(series.Size()) - legend_first);
    if (L.plot_valid) {
        const double bw = series.BucketWidth();
        // One run per pixel column of the device.
        const double target = (L.x1 - L.x0) / (L.plot.width() * scale);
        if (!(target >= bw / 1.1 && target < bw * 1.5))
            series.Rebuild(LadderFloor(target));
    }
    lay = std::move(L);
}

void LiveChart::Impl::PaintLegend(QPainter& p, const QPalette& pal, const QFontMetrics& fm)
{
    const ChartLayout& L = lay;
    if (L.legend.isEmpty() || L.legend_rows <= 0)
        return;
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(pal.color(QPalette::Text), 1));
    p.setBrush(pal.color(QPalette::Base));
    p.drawRect(L.legend.adjusted(0, 0, -1, -1));
    const QLocale locale;
    const int pad = 4;
    const int marker = std::min(10, L.legend_row_height - 4);
    int y = L.legend.top() + pad;
    const int text_x = L.legend.left() + pad + 12;
    for (int i = 0; i < L.legend_rows; ++i, y += L.legend_row_height) {
        const ChartPoint& pt = series[static_cast<std::size_t>(legend_first + i)];
        p.fillRect(QRect(L.legend.left() + pad, y + (L.legend_row_height - marker) / 2, marker, marker),
                   ResolveColorValue(pt.color, pal));
        p.drawText(QPoint(text_x, y + fm.ascent() + 1),
                   TimeOfDayText(pt.x, false) + QStringLiteral("  ") + locale.toString(pt.y, 'g', 7));
    }
}

void LiveChart::Impl::Paint(QPainter& p, const QWidget& w, double scale)
{
    const QPalette& pal = w.palette();
    const QFontMetrics fm(w.font());
    const ChartLayout& L = lay;
    const QColor surface = ResolveColorValue(surface_color, pal);
    // Axes, labels and frame in the palette's text colour where it reads on
    // the surface, else in black or white.
    const QColor ink = InkOn(surface, pal.color(QPalette::WindowText));
    // The surface around an opaque back wall only; the wall covers the rest.
    const QRect wall_rect = L.plot.translated(L.depth, -L.depth);
    if (L.plot_valid && wall_opaque) {
        const QRect r = w.rect();
        p.fillRect(QRect(r.left(), r.top(), r.width(), wall_rect.top() - r.top()), surface);
        p.fillRect(QRect(r.left(), wall_rect.bottom() + 1, r.width(), r.bottom() - wall_rect.bottom()), surface);
        p.fillRect(QRect(r.left(), wall_rect.top(), wall_rect.left() - r.left(), wall_rect.height()), surface);
        p.fillRect(QRect(wall_rect.right() + 1, wall_rect.top(), r.right() - wall_rect.right(), wall_rect.height()),
                   surface);
    } else {
        p.fillRect(w.rect(), surface);
    }

    if (L.plot_valid) {
        const QRect& pr = L.plot;
        // The data go into the box from the front plane to the back wall, in
        // device pixels where a widget pixel is several, so that the line and
        // the strip are as fine as the screen and each device pixel column
        // has its own run.
        const QRect box(QPoint(pr.left(), wall_rect.top()), QPoint(wall_rect.right(), pr.bottom()));
        const bool fine = scale > 1.0;
        ChartLayout device;
        device.plot = fine ? ScaleRect(pr, scale) : pr;
        device.depth = fine ? static_cast<int>(std::lround(L.depth * scale)) : L.depth;
        device.x0 = L.x0;
        device.x1 = L.x1;
        device.y0 = L.y0;
        device.y1 = L.y1;
        const QRect device_box = fine ? ScaleRect(box, scale) : box;
        const int thickness = fine ? std::max(1, static_cast<int>(std::lround(scale))) : 1;
        auto to_data = [&] {
            p.save();
            p.setClipRect(box);
            if (fine) {
                const QTransform to = p.deviceTransform();
                const QTransform rest = p.worldTransform().inverted() * to;
                p.setWorldTransform(QTransform::fromTranslate(std::round(to.dx()), std::round(to.dy())) *
                                    rest.inverted());
            }
        };

        // Where the line can be written straight into the image, it is
        // worked out first and the back wall laid only where the line and
        // its strip will not cover it: each pixel is then written once.
        to_data();
        bool wall_laid = false;
        const QColor wall = ResolveColorValue(wall_color, pal);
        if (wall_opaque && wall.alpha() == 255 &&
            raster.Build(p, series.Runs(), series.BucketWidth(), device, pal, device_box, thickness)) {
            raster.WriteAround(fine ? ScaleRect(wall_rect, scale) : wall_rect, wall.rgba(),
                               GroundOf(L, wall_rect, scale, wall.rgba(), Shade(wall, kGridShade).rgba()));
            wall_laid = true;
        }
        p.restore();
        PaintWalls(p, pal, surface, ink, wall_laid);
        to_data();
        raster.Paint(p, series.Runs(), series.BucketWidth(), device, pal, device_box, thickness);
        p.restore();

        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(ink, 1));
        const QLocale locale;
        const int ascent_half = fm.ascent() / 2;
        for (double v : L.value_axis.ticks) {
            const int y = static_cast<int>(std::floor(L.Py(v)));
            p.drawLine(pr.left() - 4, y, pr.left(), y);
            const QString text = ValueLabel(v, L.value_axis, locale);
            p.drawText(QPoint(pr.left() - 6 - fm.horizontalAdvance(text), y + ascent_half), text);
        }
        for (double v : L.time_axis.ticks) {
            const int x = static_cast<int>(std::floor(L.Px(v)));
            p.drawLine(x, pr.bottom(), x, pr.bottom() + 4);
            const QString text = TimeLabel(v, L.time_axis);
            const int width = fm.horizontalAdvance(text);
            const int text_x = std::max(0, std::min(x - width / 2, w.width() - width));
            p.drawText(QPoint(text_x, pr.bottom() + 5 + fm.ascent()), text);
        }
    }

    PaintLegend(p, pal, fm);

    if (drag == Drag::Zoom) {
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(ink, 1, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRect(drag_start, drag_now).normalized());
    }
}

void LiveChart::Impl::PaintWalls(QPainter& p, const QPalette& pal, const QColor& surface, const QColor& ink,
                                 bool wall_laid)
{
    const ChartLayout& L = lay;
    const int dd = L.depth;
    const QRect& pr = L.plot;
    const QRect back = pr.translated(dd, -dd);
    // Each wall's grid is a shade of that wall, so it shows on light and dark
    // walls alike; a transparent wall shows the surface.
    const QColor wall = wall_opaque ? ResolveColorValue(wall_color, pal) : surface;
    const QColor side = wall_opaque ? Shade(wall, kSideWallShade) : surface;
    const QColor floor = wall_opaque ? Shade(wall, kFloorShade) : surface;
    const QPoint side_wall[4] = {pr.topLeft(), back.topLeft(), back.bottomLeft(), pr.bottomLeft()};
    const QPoint floor_area[4] = {pr.bottomLeft(), back.bottomLeft(), back.bottomRight(), pr.bottomRight()};

    p.setRenderHint(QPainter::Antialiasing, false);
    if (wall_opaque) {
        if (!wall_laid)
            p.fillRect(back, wall);
        if (dd > 0) {
            p.setPen(Qt::NoPen);
            p.setBrush(side);
            p.drawPolygon(side_wall, 4);
            p.setBrush(floor);
            p.drawPolygon(floor_area, 4);
        }
    }
    // The grid on the back wall, as one-pixel rectangles, which fill much
    // faster than lines; in 3D it runs on across the side wall and the floor
    // to the front plane.
    const QColor grid = Shade(wall, kGridShade);
    for (double v : L.value_axis.ticks)
        p.fillRect(QRect(back.left(), BackGridRow(L, v), back.width(), 1), grid);
    for (double v : L.time_axis.ticks)
        p.fillRect(QRect(BackGridColumn(L, v), back.top(), 1, back.height()), grid);
    if (dd > 0) {
        p.setPen(QPen(Shade(side, kGridShade), 1));
        for (double v : L.value_axis.ticks) {
            const int y = static_cast<int>(std::floor(L.Py(v)));
            p.drawLine(pr.left(), y, pr.left() + dd, y - dd);
        }
        p.setPen(QPen(Shade(floor, kGridShade), 1));
        for (double v : L.time_axis.ticks) {
            const int x = static_cast<int>(std::floor(L.Px(v)));
            p.drawLine(x, pr.bottom(), x + dd, pr.bottom() - dd);
        }
    }
    p.setPen(QPen(ink, 1));
    p.setBrush(Qt::NoBrush);
    if (dd > 0) {
        // The slanting edges; the others are the back wall's and the axes'.
        p.drawLine(pr.topLeft(), back.topLeft());
        p.drawLine(pr.bottomLeft(), back.bottomLeft());
        p.drawLine(pr.bottomRight(), back.bottomRight());
    }
    p.drawRect(back);
    // Axes at the front plane, under the data so that extreme values lying
    // on them stay visible.
    p.drawLine(pr.left(), pr.top(), pr.left(), pr.bottom());
    p.drawLine(pr.left(), pr.bottom(), pr.right(), pr.bottom());
}
