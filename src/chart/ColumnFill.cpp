#include "ColumnFill.h"

#include "AxisLayout.h"
#include "ColumnWriter.h"

#include <QImage>
#include <QPaintEngine>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

// Fills a stair-step polygon: for each column c from c0 to c1 the rows
// upper(c)..lower(c). Integer vertices on pixel edges, no antialiasing.
template <class Upper, class Lower>
void FillStairs(QPainter& p, std::vector<QPoint>& poly, int base, int c0, int c1, Upper upper, Lower lower)
{
    poly.clear();
    for (int c = c0; c <= c1; ++c) {
        poly.emplace_back(base + c, upper(c));
        poly.emplace_back(base + c + 1, upper(c));
    }
    for (int c = c1; c >= c0; --c) {
        poly.emplace_back(base + c + 1, lower(c) + 1);
        poly.emplace_back(base + c, lower(c) + 1);
    }
    p.drawPolygon(poly.data(), static_cast<int>(poly.size()));
}

// Fills the columns c0..c1 of `s`. Rectangles fill several times faster than
// polygons, so the rows that all these columns share go out as one
// rectangle and only the ragged edges above and below it as polygons.
void FillPiece(QPainter& p, std::vector<QPoint>& poly, const ColumnSpans& s, int c0, int c1)
{
    const auto top = [&](int c) { return s.top[static_cast<std::size_t>(c)]; };
    const auto bottom = [&](int c) { return s.bottom[static_cast<std::size_t>(c)]; };
    int min_top = top(c0), max_top = top(c0), min_bottom = bottom(c0), max_bottom = bottom(c0);
    for (int c = c0 + 1; c <= c1; ++c) {
        min_top = std::min(min_top, top(c));
        max_top = std::max(max_top, top(c));
        min_bottom = std::min(min_bottom, bottom(c));
        max_bottom = std::max(max_bottom, bottom(c));
    }
    if (min_bottom - max_top + 1 < 8) {
        FillStairs(p, poly, s.base, c0, c1, top, bottom);
        return;
    }
    p.fillRect(QRect(s.base + c0, max_top, c1 - c0 + 1, min_bottom - max_top + 1), p.brush());
    if (min_top < max_top)
        FillStairs(p, poly, s.base, c0, c1, top, [&](int) { return max_top - 1; });
    if (max_bottom > min_bottom)
        FillStairs(
            p, poly, s.base, c0, c1, [&](int) { return min_bottom + 1; }, bottom);
}

} // namespace

DirectTarget FindDirectTarget(QPainter& p, const QRect& clip)
{
    DirectTarget t;
    QPaintEngine* engine = p.paintEngine();
    if (engine == nullptr || engine->type() != QPaintEngine::Raster)
        return t;
    QPaintDevice* device = engine->paintDevice();
    if (device == nullptr || device->devType() != QInternal::Image)
        return t;
    auto* image = static_cast<QImage*>(device);
    const QImage::Format f = image->format();
    if (f != QImage::Format_ARGB32_Premultiplied && f != QImage::Format_RGB32 && f != QImage::Format_ARGB32)
        return t;
    // A shared image would be copied by bits(), away from the painter.
    if (!image->isDetached() || p.opacity() < 1.0 || p.compositionMode() != QPainter::CompositionMode_SourceOver)
        return t;
    // A plain whole-pixel shift; a scale within rounding of one (left by
    // undoing a device pixel ratio) counts as none.
    const QTransform m = p.deviceTransform();
    constexpr double kNear = 1e-6;
    if (m.type() > QTransform::TxScale || std::abs(m.m11() - 1.0) > kNear || std::abs(m.m22() - 1.0) > kNear ||
        std::abs(m.dx() - std::round(m.dx())) > kNear || std::abs(m.dy() - std::round(m.dy())) > kNear ||
        std::abs(m.dx()) > kPixelLimit || std::abs(m.dy()) > kPixelLimit)
        return t;
    t.dx = static_cast<int>(std::round(m.dx()));
    t.dy = static_cast<int>(std::round(m.dy()));
    t.clip = clip.translated(t.dx, t.dy) & image->rect();
    const QRegion system = engine->systemClip();
    if (!system.isEmpty()) {
        if (system.rectCount() != 1)
            return t;
        t.clip &= system.boundingRect();
    }
    if (t.clip.isEmpty())
        return t;
    t.bits = image->bits();
    t.bytes_per_line = image->bytesPerLine();
    return t;
}

// Fills every contiguous stretch of non-empty columns, in pieces: the
// rasterizer's cost grows faster than a polygon's outline, and a piece
// whose columns share most of their rows is filled mostly as a rectangle.
void FillSpans(QPainter& p, std::vector<QPoint>& poly, const ColumnSpans& s, const DirectTarget& direct,
               const QColor& color)
{
    if (direct.Usable() && color.alpha() == 255) {
        WriteSpans(direct, s, color.rgba());
        return;
    }
    p.setBrush(color);
    constexpr int kMaxPiece = 64;     // columns
    constexpr int kMaxOutline = 2000; // pixels of vertical outline
    int start = -1;
    int outline = 0;
    int min_top = 0, max_top = 0, min_bottom = 0, max_bottom = 0;
    for (int c = s.first; c <= s.last + 1; ++c) {
        const auto i = static_cast<std::size_t>(c);
        const bool filled = c <= s.last && s.top[i] <= s.bottom[i];
        if (filled && start >= 0) {
            const int t = s.top[i], b = s.bottom[i];
            const int new_min_top = std::min(min_top, t), new_max_top = std::max(max_top, t);
            const int new_min_bottom = std::min(min_bottom, b), new_max_bottom = std::max(max_bottom, b);
            const int ragged = (new_max_top - new_min_top) + (new_max_bottom - new_min_bottom);
            const int shared = new_min_bottom - new_max_top + 1;
            outline += std::abs(t - s.top[i - 1]) + std::abs(b - s.bottom[i - 1]);
            if (c - start == kMaxPiece || outline > kMaxOutline || (c - start >= 8 && 2 * ragged > shared)) {
                FillPiece(p, poly, s, start, c - 1);
                start = -1;
            } else {
                min_top = new_min_top;
                max_top = new_max_top;
                min_bottom = new_min_bottom;
                max_bottom = new_max_bottom;
            }
        }
        if (filled && start < 0) {
            start = c;
            outline = 0;
            min_top = max_top = s.top[i];
            min_bottom = max_bottom = s.bottom[i];
        }
        if (!filled && start >= 0) {
            FillPiece(p, poly, s, start, c - 1);
            start = -1;
        }
    }
}
