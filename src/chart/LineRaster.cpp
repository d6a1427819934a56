#include "LineRaster.h"

#include "LiveChart.h"

#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>
#include <cstdint>

bool LineRaster::Build(QPainter& p, const std::deque<Run>& runs, double bucket_width, const ChartLayout& layout,
                       const QPalette& palette, const QRect& clip, int thickness)
{
    built_ = false;
    ground_.area = QRect();
    direct_ = FindDirectTarget(p, clip);
    if (!direct_.Usable())
        return false;
    bool have_any = false;
    std::uint32_t only_color = 0;
    for (const Run& r : runs) {
        if (!r.HasData())
            continue;
        if (have_any && r.color != only_color)
            return false;
        have_any = true;
        only_color = r.color;
    }
    if (!have_any)
        return false;
    color_ = ResolveColorValue(only_color, palette);
    if (color_.alpha() != 255)
        return false;
    depth_ = layout.depth;
    k_ = std::clamp(thickness, 1, 3);
    Trace(p, runs, bucket_width, layout, palette, direct_, k_, true);
    built_ = true;
    return true;
}

void LineRaster::WriteAround(const QRect& area, QRgb color, Ground ground)
{
    if (!built_)
        return;
    const ColumnSpans& holes = depth_ > 0 ? strip_ : *line_;
    if (!ground.Usable() || !area.contains(ground.area)) {
        WriteSpansAround(direct_, area, holes, color);
        return;
    }
    ground_ = std::move(ground);
    const QRect& inner = ground_.area;
    // Above, below, left and right of the ground.
    WriteSpansAround(direct_, QRect(QPoint(area.left(), area.top()), QPoint(area.right(), inner.top() - 1)), holes,
                     color);
    WriteSpansAround(direct_, QRect(QPoint(area.left(), inner.bottom() + 1), QPoint(area.right(), area.bottom())),
                     holes, color);
    WriteSpansAround(direct_, QRect(QPoint(area.left(), inner.top()), QPoint(inner.left() - 1, inner.bottom())), holes,
                     color);
    WriteSpansAround(direct_, QRect(QPoint(inner.right() + 1, inner.top()), QPoint(area.right(), inner.bottom())),
                     holes, color);
}

void LineRaster::Paint(QPainter& p, const std::deque<Run>& runs, double bucket_width, const ChartLayout& layout,
                       const QPalette& palette, const QRect& clip, int thickness)
{
    if (built_) {
        WriteBuilt(p);
        built_ = false;
        return;
    }
    Trace(p, runs, bucket_width, layout, palette, FindDirectTarget(p, clip), std::clamp(thickness, 1, 3), false);
}

namespace {

// A polyline k pixels wide as k x k one-pixel lines side by side, as the
// pixel columns of a thick line are: Qt strokes a thicker pen as a filled
// outline, many times slower over a long polyline. Moves the points.
void DrawPolyline(QPainter& p, QPointF* points, int count, const QColor& color, int k)
{
    p.setRenderHint(QPainter::Antialiasing, true);
    QPen pen(color, 1.0);
    pen.setCosmetic(true);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < k * k; ++i) {
        const QPointF step = i == 0 ? QPointF(0, 0) : (i % k == 0 ? QPointF(-(k - 1), 1) : QPointF(1, 0));
        for (int j = 0; j < count; ++j)
            points[j] += step;
        p.drawPolyline(points, count);
    }
}

} // namespace

void LineRaster::WriteBuilt(QPainter& p)
{
    // The strip and the line's columns together, each pixel once, then the
    // gentle stretches over them: the same picture as strip, polyline and
    // columns in turn, since all share one colour.
    const Ground* ground = ground_.Usable() ? &ground_ : nullptr;
    if (depth_ > 0)
        WriteSpansOver(direct_, strip_, color_.darker(150).rgba(), *line_, color_.rgba(), ground);
    else
        WriteSpans(direct_, *line_, color_.rgba(), ground);
    QPointF* points = deferred_.data();
    for (int count : deferred_sizes_) {
        DrawPolyline(p, points, count, color_, k_);
        points += count;
    }
}

void LineRaster::Trace(QPainter& p, const std::deque<Run>& runs, double bucket_width, const ChartLayout& layout,
                       const QPalette& palette, const DirectTarget& direct, int k, bool collect)
{
    const ChartLayout& L = layout;
    const double left = L.plot.left();
    const double sx = L.Sx();
    const int dd = L.depth;
    const double bw = bucket_width;

    // Pixel position of a run: the centre of its bucket, snapped to the
    // middle of a pixel so that flat stretches come out crisp.
    auto px = [&](const Run& r) {
        return std::floor(Clamp(left + ((r.bucket + 0.5) * bw - L.x0) * sx, -kPixelLimit, kPixelLimit)) + 0.5;
    };
    const double bottom = L.plot.bottom();
    const double sy = L.Sy();
    auto py = [&](double y) { return std::floor(Clamp(bottom - (y - L.y0) * sy, -kPixelLimit, kPixelLimit)) + 0.5; };
    auto column = [](double x) { return static_cast<int>(std::floor(x)); };

    // Columns that can show anything: the plot, the depth behind it, and a
    // margin so that lines leaving the plot are still cut by the clip.
    const int first_column = L.plot.left() - dd - 2;
    const int columns = L.plot.width() + 2 * dd + 4;
    spans_.Setup(first_column, columns);
    strip_.Setup(first_column, columns + dd);
    if (k > 1)
        thick_.Setup(first_column, columns + k);
    deferred_.clear();
    deferred_sizes_.clear();

    std::uint32_t last_value = 0;
    QColor last_color;
    bool have_color = false;
    auto color_of = [&](std::uint32_t value) {
        if (!have_color || value != last_value) {
            last_color = ResolveColorValue(value, palette);
            last_value = value;
            have_color = true;
        }
        return last_color;
    };

    // The 3D strip, one colour stretch at a time, without antialiasing. The
    // stretch includes the segment leading into its first point.
    if (dd > 0) {
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(Qt::NoPen);
        bool have_prev = false;
        double prev_x = 0, prev_y = 0;
        std::uint32_t stretch_color = 0;
        auto flush_strip = [&] {
            if (!spans_.Touched())
                return;
            SweepStrip(spans_, dd, strip_, sweep_min_, sweep_max_);
            if (!collect)
                FillSpans(p, poly_scratch_, strip_, direct, color_of(stretch_color).darker(150));
            spans_.Reset();
        };
        for (const Run& r : runs) {
            if (!r.HasData())
                continue;
            if (r.color != stretch_color) {
                flush_strip();
                stretch_color = r.color;
            }
            const double x = px(r);
            if (have_prev)
                spans_.AddSegment(prev_x, prev_y, x, py(r.first));
            spans_.Add(column(x), py(r.hi), py(r.lo));
            prev_x = x;
            prev_y = py(r.last);
            have_prev = true;
        }
        flush_strip();
    }

    // The line, one colour stretch at a time; the segment into a point takes
    // that point's colour. Gentle segments between columns are drawn as an
    // antialiased polyline; a column's own vertical extent and steep steps
    // between neighbouring columns are filled as pixel columns, where
    // antialiasing would add nothing but cost. A thick line's pixel columns
    // grow to the right and down.
    std::vector<QPointF>& poly = poly_line_;
    poly.clear();
    spans_.Reset();
    std::uint32_t stretch_color = 0;
    auto flush_poly = [&] {
        if (poly.size() >= 2) {
            if (collect) {
                deferred_.insert(deferred_.end(), poly.begin(), poly.end());
                deferred_sizes_.push_back(static_cast<int>(poly.size()));
            } else {
                DrawPolyline(p, poly.data(), static_cast<int>(poly.size()), color_of(stretch_color), k);
            }
        }
        poly.clear();
    };
    auto flush_columns = [&] {
        line_ = &spans_;
        if (k > 1) {
            Thicken(spans_, k, thick_, sweep_min_, sweep_max_);
            line_ = &thick_;
        }
        if (collect || !spans_.Touched())
            return;
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(Qt::NoPen);
        FillSpans(p, poly_scratch_, *line_, direct, color_of(stretch_color));
        spans_.Reset();
    };
    constexpr double kGentle = 4.0; // pixels of rise between neighbouring columns
    bool have_prev = false;
    double prev_x = 0, prev_y = 0;
    for (const Run& r : runs) {
        if (!r.HasData())
            continue;
        if (r.color != stretch_color) {
            flush_poly();
            if (!collect)
                flush_columns();
            stretch_color = r.color;
        }
        const double x = px(r);
        const double fy = py(r.first);
        const double ly = py(r.last);
        if (have_prev) {
            const double gap = x - prev_x;
            if (gap < 0.5 || (gap < 1.5 && std::abs(fy - prev_y) > kGentle)) {
                flush_poly();
                const double mid = (prev_y + fy) / 2.0;
                spans_.Add(column(prev_x), prev_y, mid);
                spans_.Add(column(x), mid, fy);
            } else {
                if (poly.empty())
                    poly.emplace_back(prev_x, prev_y);
                poly.emplace_back(x, fy);
            }
        }
        spans_.Add(column(x), py(r.hi), py(r.lo));
        if (std::abs(ly - fy) > kGentle)
            flush_poly();
        else if (!poly.empty() && ly != fy)
            poly.emplace_back(x, ly);
        prev_x = x;
        prev_y = ly;
        have_prev = true;
    }
    flush_poly();
    flush_columns();
}
