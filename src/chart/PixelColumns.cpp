#include "PixelColumns.h"

#include "AxisLayout.h"

#include <QImage>
#include <QPaintEngine>
#include <QPainter>

#include <algorithm>
#include <cmath>

void ColumnSpans::Setup(int first_column, int columns)
{
    base = first_column;
    top.assign(static_cast<std::size_t>(std::max(columns, 0)), kEmptyTop);
    bottom.assign(top.size(), kEmptyBottom);
    first = 0;
    last = -1;
}

void ColumnSpans::Reset()
{
    for (int c = first; c <= last; ++c) {
        top[static_cast<std::size_t>(c)] = kEmptyTop;
        bottom[static_cast<std::size_t>(c)] = kEmptyBottom;
    }
    first = 0;
    last = -1;
}

void ColumnSpans::Add(int column, double y0, double y1)
{
    const int c = column - base;
    if (c < 0 || c >= Size())
        return;
    const int t = static_cast<int>(std::floor(std::min(y0, y1)));
    const int b = static_cast<int>(std::floor(std::max(y0, y1)));
    const auto i = static_cast<std::size_t>(c);
    top[i] = std::min(top[i], t);
    bottom[i] = std::max(bottom[i], b);
    if (!Touched()) {
        first = last = c;
    } else {
        first = std::min(first, c);
        last = std::max(last, c);
    }
}

void ColumnSpans::AddSegment(double xa, double ya, double xb, double yb)
{
    if (xb < xa) {
        std::swap(xa, xb);
        std::swap(ya, yb);
    }
    const int ca = static_cast<int>(std::floor(xa));
    const int cb = static_cast<int>(std::floor(xb));
    if (ca == cb || xb - xa < 1e-9) {
        Add(ca, ya, yb);
        return;
    }
    const double slope = (yb - ya) / (xb - xa);
    const int from = std::max(ca, base);
    const int to = std::min(cb, base + Size() - 1);
    for (int c = from; c <= to; ++c) {
        const double lo = std::max(xa, static_cast<double>(c));
        const double hi = std::min(xb, static_cast<double>(c + 1));
        Add(c, ya + (lo - xa) * slope, ya + (hi - xa) * slope);
    }
}

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

// Writes the columns sixteen at a time (one cache line of pixels), row by
// row within each group, so that memory is walked along its rows.
void WriteSpans(const DirectTarget& t, const ColumnSpans& s, QRgb color)
{
    constexpr int kGroup = 16;
    const quint32 value = color;
    const int first_column = std::max(s.first, t.clip.left() - t.dx - s.base);
    const int last_column = std::min(s.last, t.clip.right() - t.dx - s.base);
    for (int g0 = first_column; g0 <= last_column; g0 += kGroup) {
        const int g1 = std::min(g0 + kGroup - 1, last_column);
        int top = ColumnSpans::kEmptyTop, bottom = ColumnSpans::kEmptyBottom;
        for (int c = g0; c <= g1; ++c) {
            top = std::min(top, s.top[static_cast<std::size_t>(c)]);
            bottom = std::max(bottom, s.bottom[static_cast<std::size_t>(c)]);
        }
        const int r0 = std::max(top + t.dy, t.clip.top());
        const int r1 = std::min(bottom + t.dy, t.clip.bottom());
        for (int r = r0; r <= r1; ++r) {
            auto* line = reinterpret_cast<quint32*>(t.bits + static_cast<qsizetype>(r) * t.bytes_per_line);
            const int row = r - t.dy;
            for (int c = g0; c <= g1; ++c) {
                const auto i = static_cast<std::size_t>(c);
                if (s.top[i] <= row && row <= s.bottom[i])
                    line[s.base + t.dx + c] = value;
            }
        }
    }
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
    const QTransform m = p.deviceTransform();
    if (m.type() > QTransform::TxTranslate || m.dx() != std::round(m.dx()) || m.dy() != std::round(m.dy()) ||
        std::abs(m.dx()) > kPixelLimit || std::abs(m.dy()) > kPixelLimit)
        return t;
    t.dx = static_cast<int>(m.dx());
    t.dy = static_cast<int>(m.dy());
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

// For a continuous line the union of the swept rows is one interval, so a
// sliding-window minimum and maximum give the strip.
void SweepStrip(const ColumnSpans& line, int depth, ColumnSpans& strip, std::vector<int>& qmin, std::vector<int>& qmax)
{
    strip.Reset();
    if (!line.Touched())
        return;
    const int n = line.last - line.first + 1 + depth;
    qmin.assign(static_cast<std::size_t>(n) + 1, 0);
    qmax.assign(static_cast<std::size_t>(n) + 1, 0);
    std::size_t min_head = 0, min_tail = 0, max_head = 0, max_tail = 0;
    auto top_key = [&](int c) {
        const auto i = static_cast<std::size_t>(c);
        return line.top[i] <= line.bottom[i] ? line.top[i] + c : ColumnSpans::kEmptyTop;
    };
    auto bottom_key = [&](int c) {
        const auto i = static_cast<std::size_t>(c);
        return line.top[i] <= line.bottom[i] ? line.bottom[i] + c : ColumnSpans::kEmptyBottom;
    };
    for (int x = line.first; x <= line.last + depth; ++x) {
        if (x <= line.last) {
            const int tk = top_key(x);
            while (min_tail > min_head && top_key(qmin[min_tail - 1]) >= tk)
                --min_tail;
            qmin[min_tail++] = x;
            const int bk = bottom_key(x);
            while (max_tail > max_head && bottom_key(qmax[max_tail - 1]) <= bk)
                --max_tail;
            qmax[max_tail++] = x;
        }
        while (qmin[min_head] < x - depth)
            ++min_head;
        while (qmax[max_head] < x - depth)
            ++max_head;
        const int t = top_key(qmin[min_head]);
        const int b = bottom_key(qmax[max_head]);
        if (t <= b && t != ColumnSpans::kEmptyTop) {
            // Both share one base column, so x is a column of the strip too.
            strip.Add(line.base + x, t - x, b - x);
        }
    }
}
