#include "LiveChart.h"

#include <QDate>
#include <QFontMetrics>
#include <QLocale>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QPalette>
#include <QPen>
#include <QResizeEvent>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <limits>
#include <vector>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kSecondsPerDay = 86400.0;
// Pixel coordinates are kept within this distance of the widget so that
// extreme values or deep zooms never reach the rasterizer's limits.
constexpr double kPixelLimit = 1.0e5;
// Axis ranges never grow beyond this, so their spans stay finite.
constexpr double kValueLimit = 1.0e307;
// A drag shorter than this (in pixels, each direction) is not a gesture.
constexpr int kMinDrag = 5;

struct ChartPoint {
    double x;
    double y;
    std::uint32_t color;
};
static_assert(sizeof(ChartPoint) <= 32, "a held point must stay within 32 bytes");

// Standard allocator that keeps a running total of the bytes it holds, so the
// chart can report what its points cost.
template <class T>
struct CountingAllocator {
    using value_type = T;
    std::size_t* counter;

    explicit CountingAllocator(std::size_t* c) noexcept : counter(c) {}
    template <class U>
    CountingAllocator(const CountingAllocator<U>& other) noexcept : counter(other.counter) {}

    T* allocate(std::size_t n)
    {
        T* p = std::allocator<T>{}.allocate(n);
        *counter += n * sizeof(T);
        return p;
    }
    void deallocate(T* p, std::size_t n) noexcept
    {
        std::allocator<T>{}.deallocate(p, n);
        *counter -= n * sizeof(T);
    }
    template <class U>
    bool operator==(const CountingAllocator<U>& other) const noexcept { return counter == other.counter; }
};

using PointStore = std::deque<ChartPoint, CountingAllocator<ChartPoint>>;

// A run of consecutive points that fall into one x bucket and share a colour:
// the decimated form of the line. first/last/lo/hi cover the finite values
// only; lo > hi when the run has none.
struct Run {
    double bucket;
    std::uint32_t color;
    std::uint32_t count;
    double first;
    double last;
    double lo;
    double hi;

    bool HasData() const { return lo <= hi; }
    void Reset()
    {
        count = 0;
        first = last = kNaN;
        lo = kInf;
        hi = -kInf;
    }
    void Take(double y)
    {
        ++count;
        if (!std::isfinite(y))
            return;
        if (!HasData())
            first = y;
        last = y;
        lo = std::min(lo, y);
        hi = std::max(hi, y);
    }
};

double Clamp(double v, double lo, double hi) { return v < lo ? lo : (v > hi ? hi : v); }

// 1, 2 or 5 times a power of ten, at least `raw`.
double NiceStep(double raw)
{
    if (!(raw > 0.0) || !std::isfinite(raw))
        return 1.0;
    const double base = std::pow(10.0, std::floor(std::log10(raw)));
    const double f = raw / base;
    const double m = f <= 1.0 ? 1.0 : f <= 2.0 ? 2.0 : f <= 5.0 ? 5.0 : 10.0;
    return m * base;
}

// Bucket widths come from a ladder of quarter powers of two, so that a span
// that changes a little keeps its buckets (and the cache built on them).
double LadderFloor(double target) { return std::exp2(std::floor(std::log2(target) * 4.0) / 4.0); }

// Minimum spans so that a deep zoom cannot make a range collapse.
double MinSpan(double a, double b, double absolute)
{
    return std::max(absolute, std::max(std::abs(a), std::abs(b)) * 1e-12);
}

void FixRange(double& lo, double& hi, double absoluteMin)
{
    lo = Clamp(lo, -kValueLimit, kValueLimit);
    hi = Clamp(hi, -kValueLimit, kValueLimit);
    if (hi < lo)
        std::swap(lo, hi);
    const double need = MinSpan(lo, hi, absoluteMin);
    if (hi - lo < need) {
        const double mid = lo / 2.0 + hi / 2.0;
        lo = mid - need / 2.0;
        hi = mid + need / 2.0;
    }
}

// "hh:mm:ss" (with milliseconds when asked) of a date-time number.
QString TimeOfDayText(double x, bool millis)
{
    const double day = std::floor(x);
    const double ms = Clamp(std::round((x - day) * kSecondsPerDay * 1000.0), 0.0, 86399999.0);
    const long total = static_cast<long>(ms);
    char buf[32];
    if (millis)
        std::snprintf(buf, sizeof buf, "%02ld:%02ld:%02ld.%03ld", total / 3600000, total / 60000 % 60,
                      total / 1000 % 60, total % 1000);
    else
        std::snprintf(buf, sizeof buf, "%02ld:%02ld:%02ld", total / 3600000, total / 60000 % 60,
                      total / 1000 % 60);
    return QString::fromLatin1(buf);
}

QString DateText(double x)
{
    // Beyond a few thousand years a day number means nothing as a date.
    if (!(std::abs(x) < 3.0e6))
        return QString::number(x, 'g', 6);
    const QDate date = QDate(1899, 12, 30).addDays(static_cast<qint64>(std::floor(x)));
    return date.toString(QStringLiteral("dd.MM.yyyy"));
}

struct Layout {
    bool plotValid = false;
    QRect plot;     // the front plane of the plot area
    int depth = 0;  // 3D offset in pixels (right and up)
    QRect legend;
    int legendRowHeight = 0;
    double x0 = 0, x1 = 1, y0 = 0, y1 = 1;
    std::vector<double> xTicks;
    double xStepSeconds = 1;
    std::vector<double> yTicks;
    int yDecimals = 0;
    bool yScientific = false;
    int yLabelWidth = 0;

    // x0 maps to the plot's first pixel column and x1 to its last; y0 to its
    // bottom row and y1 to its top row.
    double Sx() const { return (plot.width() - 1) / (x1 - x0); }
    double Sy() const { return (plot.height() - 1) / (y1 - y0); }
    double Px(double x) const { return Clamp(plot.left() + (x - x0) * Sx(), -kPixelLimit, kPixelLimit); }
    double Py(double y) const { return Clamp(plot.bottom() - (y - y0) * Sy(), -kPixelLimit, kPixelLimit); }
};

// Per pixel column, the rows a stretch of the line covers (top <= bottom),
// for the columns from `base` on. Untouched columns hold an empty span.
struct ColumnSpans {
    static constexpr int kEmptyTop = 1 << 29;
    static constexpr int kEmptyBottom = -(1 << 29);
    int base = 0;
    std::vector<int> top, bottom;
    int first = 0, last = -1;  // touched columns, relative to base

    void Setup(int firstColumn, int columns)
    {
        base = firstColumn;
        top.assign(static_cast<std::size_t>(std::max(columns, 0)), kEmptyTop);
        bottom.assign(top.size(), kEmptyBottom);
        first = 0;
        last = -1;
    }
    void Reset()
    {
        for (int c = first; c <= last; ++c) {
            top[static_cast<std::size_t>(c)] = kEmptyTop;
            bottom[static_cast<std::size_t>(c)] = kEmptyBottom;
        }
        first = 0;
        last = -1;
    }
    bool Touched() const { return last >= first; }
    int Size() const { return static_cast<int>(top.size()); }
    // Rows are pixel rows of the (already clamped) pixel coordinates.
    void Add(int column, double y0, double y1)
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
    // A straight segment between two pixel positions: each column gets the
    // rows the segment passes within it.
    void AddSegment(double xa, double ya, double xb, double yb)
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
};

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
    int minTop = top(c0), maxTop = top(c0), minBottom = bottom(c0), maxBottom = bottom(c0);
    for (int c = c0 + 1; c <= c1; ++c) {
        minTop = std::min(minTop, top(c));
        maxTop = std::max(maxTop, top(c));
        minBottom = std::min(minBottom, bottom(c));
        maxBottom = std::max(maxBottom, bottom(c));
    }
    if (minBottom - maxTop + 1 < 8) {
        FillStairs(p, poly, s.base, c0, c1, top, bottom);
        return;
    }
    p.fillRect(QRect(s.base + c0, maxTop, c1 - c0 + 1, minBottom - maxTop + 1), p.brush());
    if (minTop < maxTop)
        FillStairs(p, poly, s.base, c0, c1, top, [&](int) { return maxTop - 1; });
    if (maxBottom > minBottom)
        FillStairs(p, poly, s.base, c0, c1, [&](int) { return minBottom + 1; }, bottom);
}

// Where the painter draws straight into a 32-bit image at one-to-one scale,
// pixel columns are written into the image directly: Qt fills a tall, thin
// column row by row, several times slower than a plain store per pixel.
struct DirectTarget {
    uchar* bits = nullptr;
    qsizetype bytesPerLine = 0;
    int dx = 0, dy = 0;  // widget to image
    QRect clip;          // in image pixels
    bool Usable() const { return bits != nullptr; }
};

DirectTarget FindDirectTarget(QPainter& p, const QRect& widgetClip)
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
    t.clip = widgetClip.translated(t.dx, t.dy) & image->rect();
    const QRegion system = engine->systemClip();
    if (!system.isEmpty()) {
        if (system.rectCount() != 1)
            return t;
        t.clip &= system.boundingRect();
    }
    if (t.clip.isEmpty())
        return t;
    t.bits = image->bits();
    t.bytesPerLine = image->bytesPerLine();
    return t;
}

// Writes the columns sixteen at a time (one cache line of pixels), row by
// row within each group, so that memory is walked along its rows.
void WriteSpans(const DirectTarget& t, const ColumnSpans& s, QRgb color)
{
    constexpr int kGroup = 16;
    const quint32 value = color;
    const int firstColumn = std::max(s.first, t.clip.left() - t.dx - s.base);
    const int lastColumn = std::min(s.last, t.clip.right() - t.dx - s.base);
    for (int g0 = firstColumn; g0 <= lastColumn; g0 += kGroup) {
        const int g1 = std::min(g0 + kGroup - 1, lastColumn);
        int top = ColumnSpans::kEmptyTop, bottom = ColumnSpans::kEmptyBottom;
        for (int c = g0; c <= g1; ++c) {
            top = std::min(top, s.top[static_cast<std::size_t>(c)]);
            bottom = std::max(bottom, s.bottom[static_cast<std::size_t>(c)]);
        }
        const int r0 = std::max(top + t.dy, t.clip.top());
        const int r1 = std::min(bottom + t.dy, t.clip.bottom());
        for (int r = r0; r <= r1; ++r) {
            auto* line = reinterpret_cast<quint32*>(t.bits + static_cast<qsizetype>(r) * t.bytesPerLine);
            const int row = r - t.dy;
            for (int c = g0; c <= g1; ++c) {
                const auto i = static_cast<std::size_t>(c);
                if (s.top[i] <= row && row <= s.bottom[i])
                    line[s.base + t.dx + c] = value;
            }
        }
    }
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
    constexpr int kMaxPiece = 64;      // columns
    constexpr int kMaxOutline = 2000;  // pixels of vertical outline
    int start = -1;
    int outline = 0;
    int minTop = 0, maxTop = 0, minBottom = 0, maxBottom = 0;
    for (int c = s.first; c <= s.last + 1; ++c) {
        const auto i = static_cast<std::size_t>(c);
        const bool filled = c <= s.last && s.top[i] <= s.bottom[i];
        if (filled && start >= 0) {
            const int t = s.top[i], b = s.bottom[i];
            const int newMinTop = std::min(minTop, t), newMaxTop = std::max(maxTop, t);
            const int newMinBottom = std::min(minBottom, b), newMaxBottom = std::max(maxBottom, b);
            const int ragged = (newMaxTop - newMinTop) + (newMaxBottom - newMinBottom);
            const int shared = newMinBottom - newMaxTop + 1;
            outline += std::abs(t - s.top[i - 1]) + std::abs(b - s.bottom[i - 1]);
            if (c - start == kMaxPiece || outline > kMaxOutline || (c - start >= 8 && 2 * ragged > shared)) {
                FillPiece(p, poly, s, start, c - 1);
                start = -1;
            } else {
                minTop = newMinTop;
                maxTop = newMaxTop;
                minBottom = newMinBottom;
                maxBottom = newMaxBottom;
            }
        }
        if (filled && start < 0) {
            start = c;
            outline = 0;
            minTop = maxTop = s.top[i];
            minBottom = maxBottom = s.bottom[i];
        }
        if (!filled && start >= 0) {
            FillPiece(p, poly, s, start, c - 1);
            start = -1;
        }
    }
}

// What each column of one colour stretch looks like swept back by the depth:
// column X of the strip covers the union over t in 0..depth of the line's
// rows in column X - t moved up by t. For a continuous line that union is
// one interval, so a sliding-window minimum and maximum give the strip.
void SweepStrip(const ColumnSpans& line, int depth, ColumnSpans& strip, std::vector<int>& qmin,
                       std::vector<int>& qmax)
{
    strip.Reset();
    if (!line.Touched())
        return;
    const int n = line.last - line.first + 1 + depth;
    qmin.assign(static_cast<std::size_t>(n) + 1, 0);
    qmax.assign(static_cast<std::size_t>(n) + 1, 0);
    std::size_t minHead = 0, minTail = 0, maxHead = 0, maxTail = 0;
    auto topKey = [&](int c) {
        const auto i = static_cast<std::size_t>(c);
        return line.top[i] <= line.bottom[i] ? line.top[i] + c : ColumnSpans::kEmptyTop;
    };
    auto bottomKey = [&](int c) {
        const auto i = static_cast<std::size_t>(c);
        return line.top[i] <= line.bottom[i] ? line.bottom[i] + c : ColumnSpans::kEmptyBottom;
    };
    for (int x = line.first; x <= line.last + depth; ++x) {
        if (x <= line.last) {
            const int tk = topKey(x);
            while (minTail > minHead && topKey(qmin[minTail - 1]) >= tk)
                --minTail;
            qmin[minTail++] = x;
            const int bk = bottomKey(x);
            while (maxTail > maxHead && bottomKey(qmax[maxTail - 1]) <= bk)
                --maxTail;
            qmax[maxTail++] = x;
        }
        while (qmin[minHead] < x - depth)
            ++minHead;
        while (qmax[maxHead] < x - depth)
            ++maxHead;
        const int t = topKey(qmin[minHead]);
        const int b = bottomKey(qmax[maxHead]);
        if (t <= b && t != ColumnSpans::kEmptyTop) {
            // Both share one base column, so x is a column of the strip too.
            strip.Add(line.base + x, t - x, b - x);
        }
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Colour values

QColor ResolveColorValue(std::uint32_t value, const QPalette& palette)
{
    if ((value & 0x80000000u) == 0) {
        return QColor(static_cast<int>(value & 0xFFu), static_cast<int>((value >> 8) & 0xFFu),
                      static_cast<int>((value >> 16) & 0xFFu));
    }
    const std::uint32_t index = value & 0x7FFFFFFFu;
    switch (index) {
    case 0: return palette.color(QPalette::Button);                        // scroll bar
    case 1: return QColor(0, 128, 128);                                    // desktop: no palette role
    case 2: return palette.color(QPalette::Active, QPalette::Highlight);   // active caption
    case 3: return palette.color(QPalette::Inactive, QPalette::Highlight); // inactive caption
    case 4: return palette.color(QPalette::Window);                        // menu
    case 5: return palette.color(QPalette::Base);                          // window background
    case 6: return palette.color(QPalette::Shadow);                        // window frame
    case 7: return palette.color(QPalette::WindowText);                    // menu text
    case 8: return palette.color(QPalette::Text);                          // window text
    case 9: return palette.color(QPalette::Active, QPalette::HighlightedText);    // caption text
    case 10: return palette.color(QPalette::Button);                       // active border
    case 11: return palette.color(QPalette::Button);                       // inactive border
    case 12: return palette.color(QPalette::Dark);                         // application workspace
    case 13: return palette.color(QPalette::Highlight);
    case 14: return palette.color(QPalette::HighlightedText);
    case 15: return palette.color(QPalette::Button);                       // button face
    case 16: return palette.color(QPalette::Dark);                         // button shadow
    case 17: return palette.color(QPalette::Disabled, QPalette::Text);     // grey text
    case 18: return palette.color(QPalette::ButtonText);
    case 19: return palette.color(QPalette::Inactive, QPalette::HighlightedText);  // inactive caption text
    case 20: return palette.color(QPalette::Light);                        // button highlight
    case 21: return palette.color(QPalette::Shadow);                       // 3D dark shadow
    case 22: return palette.color(QPalette::Midlight);                     // 3D light
    case 23: return palette.color(QPalette::ToolTipText);
    case 24: return palette.color(QPalette::ToolTipBase);
    case 26: return palette.color(QPalette::Link);                         // hot-tracked item
    case 27: return palette.color(QPalette::Active, QPalette::Highlight);   // caption gradient
    case 28: return palette.color(QPalette::Inactive, QPalette::Highlight);
    case 29: return palette.color(QPalette::Highlight);                    // menu highlight
    case 30: return palette.color(QPalette::Window);                       // menu bar
    default: return QColor(0, 0, 0);                                       // unknown index
    }
}

std::uint32_t ColorValueOf(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return static_cast<std::uint32_t>(rgb.red()) | (static_cast<std::uint32_t>(rgb.green()) << 8) |
           (static_cast<std::uint32_t>(rgb.blue()) << 16);
}

// ---------------------------------------------------------------------------

struct LiveChart::Impl {
    std::size_t pointBytes = 0;
    PointStore points{CountingAllocator<ChartPoint>(&pointBytes)};

    int legendFirst = 0;
    int legendRows = 0;

    bool view3d = false;
    int depth = 5;
    std::uint32_t wallColor = 0x00FFFFFFu;
    bool wallOpaque = false;
    std::uint32_t surfaceColor = 0x8000000Fu;

    bool zoomed = false;
    double zx0 = 0, zx1 = 1, zy0 = 0, zy1 = 1;

    // Decimation cache: runs over the points [c0, c1) with bucket width bw.
    // Without zoom it covers every point; with zoom the points in view plus
    // one neighbour on each side, so the line runs on out of the plot.
    std::deque<Run> runs;
    bool cacheValid = false;
    double bw = 1;
    std::size_t c0 = 0, c1 = 0;

    enum class Drag { None, Zoom, Pan };
    Drag drag = Drag::None;
    QPoint dragStart, dragNow;
    double panX0 = 0, panX1 = 1, panY0 = 0, panY1 = 1;
    Layout lay;

    // Scratch space of the painting, kept to spare allocations per paint.
    ColumnSpans spans, strip;
    std::vector<int> sweepMin, sweepMax;
    std::vector<QPoint> polyScratch;
    std::vector<QPointF> polyLine;

    std::size_t Count() const { return points.size(); }

    void Invalidate() { cacheValid = false; }

    void AppendRun(const ChartPoint& pt)
    {
        const double k = std::floor(pt.x / bw);
        if (!runs.empty() && runs.back().bucket == k && runs.back().color == pt.color) {
            runs.back().Take(pt.y);
            return;
        }
        Run r{k, pt.color, 0, kNaN, kNaN, kInf, -kInf};
        r.Take(pt.y);
        runs.push_back(r);
    }

    void Rebuild(double width)
    {
        runs.clear();
        bw = width;
        c0 = 0;
        c1 = points.size();
        if (zoomed) {
            const auto less = [](const ChartPoint& p, double x) { return p.x < x; };
            const auto greater = [](double x, const ChartPoint& p) { return x < p.x; };
            c0 = static_cast<std::size_t>(
                std::lower_bound(points.begin(), points.end(), zx0, less) - points.begin());
            c1 = static_cast<std::size_t>(
                std::upper_bound(points.begin(), points.end(), zx1, greater) - points.begin());
            if (c0 > 0)
                --c0;
            if (c1 < points.size())
                ++c1;
        }
        for (std::size_t i = c0; i < c1; ++i)
            AppendRun(points[i]);
        cacheValid = true;
    }

    // The x range shown: the zoom, or the points' own span.
    void XRange(double& x0, double& x1) const
    {
        if (zoomed) {
            x0 = zx0;
            x1 = zx1;
            return;
        }
        if (points.empty()) {
            x0 = 0;
            x1 = 1;
            return;
        }
        x0 = points.front().x;
        x1 = points.back().x;
        if (x1 - x0 < MinSpan(x0, x1, 1e-9)) {
            // A single instant: show ten seconds around it.
            x0 -= 5.0 / kSecondsPerDay;
            x1 += 5.0 / kSecondsPerDay;
        }
        FixRange(x0, x1, 1e-9);
    }

    // The value range shown: the zoom, or the finite values held.
    void YRange(double& y0, double& y1) const
    {
        if (zoomed) {
            y0 = zy0;
            y1 = zy1;
            return;
        }
        double lo = kInf, hi = -kInf;
        for (const Run& r : runs) {
            if (r.HasData()) {
                lo = std::min(lo, r.lo);
                hi = std::max(hi, r.hi);
            }
        }
        if (!(lo <= hi)) {
            y0 = 0;
            y1 = 1;
            return;
        }
        if (lo == hi) {
            const double delta = lo == 0.0 ? 1.0 : std::abs(lo) * 0.1;
            lo -= delta;
            hi += delta;
        }
        y0 = lo;
        y1 = hi;
        FixRange(y0, y1, 1e-300);
    }

    void Prepare(const QWidget& w);
    void Paint(QPainter& p, const QWidget& w);
    void PaintLine(QPainter& p, const QPalette& pal, const QRect& clip);
    void PaintLegend(QPainter& p, const QPalette& pal, const QFontMetrics& fm);
};

// Works out the ranges, ticks and rectangles for the widget's current size,
// and brings the decimation cache up to date for them.
void LiveChart::Impl::Prepare(const QWidget& w)
{
    const QFontMetrics fm(w.font());
    const int pad = 4;
    const int tick = 4;
    const QRect r = w.rect();
    Layout L;

    XRange(L.x0, L.x1);
    const int legendWidth = fm.horizontalAdvance(QStringLiteral("00:00:00  -8.888888e+888")) + 12 + 3 * pad;
    const bool withLegend = r.width() - legendWidth >= 120;
    const QRect box = r.adjusted(pad, pad, -(pad + (withLegend ? legendWidth + pad : 0)), -pad);

    if (!cacheValid) {
        const double estimate = std::max(1, box.width() - 60);
        Rebuild(LadderFloor((L.x1 - L.x0) / estimate));
    }
    YRange(L.y0, L.y1);

    const int bottomHeight = fm.height() + tick + 2;
    L.depth = view3d ? static_cast<int>(std::lround(std::min(box.width(), box.height()) * depth / 100.0 * 0.3))
                     : 0;
    L.depth = std::max(0, L.depth);

    // Value ticks: about one per two text lines.
    const int plotHeightGuess = box.height() - bottomHeight - L.depth;
    const int maxYTicks = std::max(2, plotHeightGuess / std::max(1, 2 * fm.height()));
    const double yStep = NiceStep((L.y1 - L.y0) / maxYTicks);
    const double maxAbs = std::max(std::abs(L.y0), std::abs(L.y1));
    L.yScientific = maxAbs >= 1e9 || yStep < 1e-9;
    L.yDecimals = yStep >= 1.0 ? 0 : std::min(15, static_cast<int>(std::ceil(-std::log10(yStep) - 1e-9)));
    const QLocale locale;
    int labelWidth = 0;
    for (double t = std::ceil(L.y0 / yStep); L.yTicks.size() < 200 && t * yStep <= L.y1; t += 1.0) {
        double v = t * yStep;
        if (std::abs(v) < yStep * 1e-9)
            v = 0.0;
        L.yTicks.push_back(v);
        const QString text =
            L.yScientific ? locale.toString(v, 'g', 6) : locale.toString(v, 'f', L.yDecimals);
        labelWidth = std::max(labelWidth, fm.horizontalAdvance(text));
    }
    L.yLabelWidth = labelWidth;
    const int leftMargin = labelWidth + tick + pad;

    L.plot = QRect(box.left() + leftMargin, box.top() + L.depth, box.width() - leftMargin - L.depth,
                   box.height() - L.depth - bottomHeight);
    L.plotValid = L.plot.width() >= 4 && L.plot.height() >= 4;

    if (L.plotValid) {
        // Time ticks: the smallest step whose labels do not crowd.
        static const double steps[] = {0.001, 0.002, 0.005, 0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1, 2, 5, 10, 15,
                                       30, 60, 120, 300, 600, 900, 1800, 3600, 7200, 10800, 21600, 43200,
                                       86400, 172800, 604800, 1209600, 2592000};
        const double spanSeconds = (L.x1 - L.x0) * kSecondsPerDay;
        const int labelW = fm.horizontalAdvance(QStringLiteral("00:00:00.000"));
        const double maxXTicks = std::max(1, L.plot.width() / (labelW + 16));
        double step = 0;
        for (double s : steps) {
            if (spanSeconds / s <= maxXTicks) {
                step = s;
                break;
            }
        }
        if (step == 0)
            step = NiceStep(spanSeconds / maxXTicks / 86400.0) * 86400.0;
        L.xStepSeconds = step;
        const double stepDays = step / kSecondsPerDay;
        for (double t = std::ceil(L.x0 / stepDays); L.xTicks.size() < 200 && t * stepDays <= L.x1; t += 1.0)
            L.xTicks.push_back(t * stepDays);

        const double target = (L.x1 - L.x0) / L.plot.width();
        if (!(target >= bw / 1.1 && target < bw * 1.5))
            Rebuild(LadderFloor(target));
    }

    // Legend: as many rows as fit beside the plot.
    L.legendRowHeight = fm.height() + 2;
    legendRows = 0;
    if (withLegend) {
        const int top = box.top() + L.depth;
        const int avail = r.bottom() - pad - top + 1;
        const int fit = std::max(0, (avail - 2 * pad) / L.legendRowHeight);
        const long long left = static_cast<long long>(points.size()) - legendFirst;
        legendRows = static_cast<int>(std::clamp<long long>(left, 0, fit));
        L.legend = QRect(r.right() - pad - legendWidth + 1, top, legendWidth,
                         legendRows * L.legendRowHeight + 2 * pad);
    }
    lay = std::move(L);
}

void LiveChart::Impl::PaintLine(QPainter& p, const QPalette& pal, const QRect& clip)
{
    const DirectTarget direct = FindDirectTarget(p, clip);
    const Layout& L = lay;
    const double left = L.plot.left();
    const double sx = L.Sx();
    const int dd = L.depth;

    // Pixel position of a run: the centre of its bucket, snapped to the
    // middle of a pixel so that flat stretches come out crisp.
    auto px = [&](const Run& r) {
        return std::floor(Clamp(left + ((r.bucket + 0.5) * bw - L.x0) * sx, -kPixelLimit, kPixelLimit)) + 0.5;
    };
    auto py = [&](double y) { return std::floor(L.Py(y)) + 0.5; };
    auto column = [](double x) { return static_cast<int>(std::floor(x)); };

    // Columns that can show anything: the plot, the depth behind it, and a
    // margin so that lines leaving the plot are still cut by the clip.
    const int firstColumn = L.plot.left() - dd - 2;
    const int columns = L.plot.width() + 2 * dd + 4;
    spans.Setup(firstColumn, columns);
    strip.Setup(firstColumn, columns + dd);

    std::uint32_t lastValue = 0;
    QColor lastColor;
    bool haveColor = false;
    auto colorOf = [&](std::uint32_t value) {
        if (!haveColor || value != lastValue) {
            lastColor = ResolveColorValue(value, pal);
            lastValue = value;
            haveColor = true;
        }
        return lastColor;
    };

    // The 3D strip, one colour stretch at a time, without antialiasing. The
    // stretch includes the segment leading into its first point.
    if (dd > 0) {
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(Qt::NoPen);
        bool havePrev = false;
        double prevX = 0, prevY = 0;
        std::uint32_t stretchColor = 0;
        auto flushStrip = [&] {
            if (!spans.Touched())
                return;
            SweepStrip(spans, dd, strip, sweepMin, sweepMax);
            FillSpans(p, polyScratch, strip, direct, colorOf(stretchColor).darker(150));
            spans.Reset();
        };
        for (const Run& r : runs) {
            if (!r.HasData())
                continue;
            if (r.color != stretchColor) {
                flushStrip();
                stretchColor = r.color;
            }
            const double x = px(r);
            if (havePrev)
                spans.AddSegment(prevX, prevY, x, py(r.first));
            spans.Add(column(x), py(r.hi), py(r.lo));
            prevX = x;
            prevY = py(r.last);
            havePrev = true;
        }
        flushStrip();
    }

    // The line, one colour stretch at a time; the segment into a point takes
    // that point's colour. Gentle segments between columns are drawn as an
    // antialiased 1 px polyline; a column's own vertical extent and steep
    // steps between neighbouring columns are filled as pixel columns, where
    // antialiasing would add nothing but cost.
    std::vector<QPointF>& poly = polyLine;
    poly.clear();
    spans.Reset();
    std::uint32_t stretchColor = 0;
    auto flushPoly = [&] {
        if (poly.size() >= 2) {
            p.setRenderHint(QPainter::Antialiasing, true);
            QPen pen(colorOf(stretchColor), 1.0);
            pen.setCosmetic(true);
            p.setPen(pen);
            p.setBrush(Qt::NoBrush);
            p.drawPolyline(poly.data(), static_cast<int>(poly.size()));
        }
        poly.clear();
    };
    auto flushColumns = [&] {
        if (!spans.Touched())
            return;
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(Qt::NoPen);
        FillSpans(p, polyScratch, spans, direct, colorOf(stretchColor));
        spans.Reset();
    };
    constexpr double kGentle = 4.0;  // pixels of rise between neighbouring columns
    bool havePrev = false;
    double prevX = 0, prevY = 0;
    for (const Run& r : runs) {
        if (!r.HasData())
            continue;
        if (r.color != stretchColor) {
            flushPoly();
            flushColumns();
            stretchColor = r.color;
        }
        const double x = px(r);
        const double fy = py(r.first);
        const double ly = py(r.last);
        if (havePrev) {
            const double gap = x - prevX;
            if (gap < 0.5 || (gap < 1.5 && std::abs(fy - prevY) > kGentle)) {
                flushPoly();
                const double mid = (prevY + fy) / 2.0;
                spans.Add(column(prevX), prevY, mid);
                spans.Add(column(x), mid, fy);
            } else {
                if (poly.empty())
                    poly.emplace_back(prevX, prevY);
                poly.emplace_back(x, fy);
            }
        }
        spans.Add(column(x), py(r.hi), py(r.lo));
        if (std::abs(ly - fy) > kGentle)
            flushPoly();
        else if (!poly.empty() && ly != fy)
            poly.emplace_back(x, ly);
        prevX = x;
        prevY = ly;
        havePrev = true;
    }
    flushPoly();
    flushColumns();
}

void LiveChart::Impl::PaintLegend(QPainter& p, const QPalette& pal, const QFontMetrics& fm)
{
    const Layout& L = lay;
    if (L.legend.isEmpty() || legendRows <= 0)
        return;
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(pal.color(QPalette::Text), 0));
    p.setBrush(pal.color(QPalette::Base));
    p.drawRect(L.legend.adjusted(0, 0, -1, -1));
    const QLocale locale;
    const int pad = 4;
    const int marker = std::min(10, L.legendRowHeight - 4);
    int y = L.legend.top() + pad;
    const int textX = L.legend.left() + pad + 12;
    for (int i = 0; i < legendRows; ++i, y += L.legendRowHeight) {
        const ChartPoint& pt = points[static_cast<std::size_t>(legendFirst + i)];
        p.fillRect(QRect(L.legend.left() + pad, y + (L.legendRowHeight - marker) / 2, marker, marker),
                   ResolveColorValue(pt.color, pal));
        p.drawText(QPoint(textX, y + fm.ascent() + 1),
                   TimeOfDayText(pt.x, false) + QStringLiteral("  ") + locale.toString(pt.y, 'g', 7));
    }
}

void LiveChart::Impl::Paint(QPainter& p, const QWidget& w)
{
    const QPalette& pal = w.palette();
    const QFontMetrics fm(w.font());
    const Layout& L = lay;
    const QColor surface = ResolveColorValue(surfaceColor, pal);
    // The surface around an opaque back wall only; the wall covers the rest.
    const QRect wallRect = L.plot.translated(L.depth, -L.depth);
    if (L.plotValid && wallOpaque) {
        const QRect r = w.rect();
        p.fillRect(QRect(r.left(), r.top(), r.width(), wallRect.top() - r.top()), surface);
        p.fillRect(QRect(r.left(), wallRect.bottom() + 1, r.width(), r.bottom() - wallRect.bottom()), surface);
        p.fillRect(QRect(r.left(), wallRect.top(), wallRect.left() - r.left(), wallRect.height()), surface);
        p.fillRect(QRect(wallRect.right() + 1, wallRect.top(), r.right() - wallRect.right(), wallRect.height()),
                   surface);
    } else {
        p.fillRect(w.rect(), surface);
    }

    if (L.plotValid) {
        const int dd = L.depth;
        const QRect& pr = L.plot;
        const QRect back = wallRect;
        const QColor wall = ResolveColorValue(wallColor, pal);
        const QColor frame = pal.color(QPalette::WindowText);
        const QColor grid = (wallOpaque ? wall : surface).darker(130);

        p.setRenderHint(QPainter::Antialiasing, false);
        if (wallOpaque)
            p.fillRect(back, wall);
        if (dd > 0) {
            const QPoint leftWall[4] = {pr.topLeft(), back.topLeft(), back.bottomLeft(), pr.bottomLeft()};
            const QPoint floor[4] = {pr.bottomLeft(), back.bottomLeft(), back.bottomRight(), pr.bottomRight()};
            p.setPen(QPen(frame, 0));
            p.setBrush(wallOpaque ? QBrush(wall.darker(110)) : QBrush(Qt::NoBrush));
            p.drawPolygon(leftWall, 4);
            p.setBrush(wallOpaque ? QBrush(wall.darker(120)) : QBrush(Qt::NoBrush));
            p.drawPolygon(floor, 4);
        }
        // Grid on the back wall (and along the left wall and floor in 3D).
        // The grid on the back wall, as one-pixel rectangles, which fill
        // much faster than lines.
        for (double v : L.yTicks) {
            const int y = static_cast<int>(std::floor(L.Py(v)));
            p.fillRect(QRect(back.left(), y - dd, back.width(), 1), grid);
        }
        for (double v : L.xTicks) {
            const int x = static_cast<int>(std::floor(L.Px(v)));
            p.fillRect(QRect(x + dd, back.top(), 1, back.height()), grid);
        }
        p.setPen(QPen(frame, 0));
        p.setBrush(Qt::NoBrush);
        p.drawRect(back);
        // Axes at the front plane, under the data so that extreme values
        // lying on them stay visible.
        p.drawLine(pr.left(), pr.top(), pr.left(), pr.bottom());
        p.drawLine(pr.left(), pr.bottom(), pr.right(), pr.bottom());

        // The data, clipped to the box from the front plane to the back wall.
        const QRect box(QPoint(pr.left(), back.top()), QPoint(back.right(), pr.bottom()));
        p.save();
        p.setClipRect(box);
        PaintLine(p, pal, box);
        p.restore();

        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(frame, 0));
        const QLocale locale;
        const int ascentHalf = fm.ascent() / 2;
        for (double v : L.yTicks) {
            const int y = static_cast<int>(std::floor(L.Py(v)));
            p.drawLine(pr.left() - 4, y, pr.left(), y);
            const QString text =
                L.yScientific ? locale.toString(v, 'g', 6) : locale.toString(v, 'f', L.yDecimals);
            p.drawText(QPoint(pr.left() - 6 - fm.horizontalAdvance(text), y + ascentHalf), text);
        }
        const bool millis = L.xStepSeconds < 1.0;
        const bool dates = L.xStepSeconds >= kSecondsPerDay;
        // Hour steps across midnight: the day goes with the time.
        const bool daysAndHours = !dates && L.xStepSeconds >= 3600 && std::floor(L.x0) != std::floor(L.x1);
        for (double v : L.xTicks) {
            const int x = static_cast<int>(std::floor(L.Px(v)));
            p.drawLine(x, pr.bottom(), x, pr.bottom() + 4);
            const QString text = dates           ? DateText(v)
                                 : daysAndHours ? DateText(v).left(6) + QLatin1Char(' ') + TimeOfDayText(v, false).left(5)
                                                : TimeOfDayText(v, millis);
            const int width = fm.horizontalAdvance(text);
            const int textX = std::max(0, std::min(x - width / 2, w.width() - width));
            p.drawText(QPoint(textX, pr.bottom() + 5 + fm.ascent()), text);
        }
    }

    PaintLegend(p, pal, fm);

    if (drag == Drag::Zoom) {
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(pal.color(QPalette::WindowText), 0, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRect(dragStart, dragNow).normalized());
    }
}

// ---------------------------------------------------------------------------

LiveChart::LiveChart(QWidget* parent) : QWidget(parent), d(std::make_unique<Impl>())
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
}

LiveChart::~LiveChart() = default;

void LiveChart::AddPoint(double x, double y, std::uint32_t color)
{
    // A point without a real time cannot be placed on the time axis.
    if (!std::isfinite(x))
        return;
    Impl& s = *d;
    auto& pts = s.points;
    const ChartPoint pt{x, y, color};
    if (pts.empty() || x >= pts.back().x) {
        const std::size_t oldCount = pts.size();
        pts.push_back(pt);
        if (s.cacheValid) {
            if (s.zoomed && x < s.zx0) {
                s.Invalidate();
            } else if (s.c1 == oldCount &&
                       (!s.zoomed || (s.c1 == 0 ? s.c0 == 0 : pts[s.c1 - 1].x <= s.zx1))) {
                s.AppendRun(pt);
                ++s.c1;
            }
        }
    } else {
        // An earlier time (a clock set back): placed after any equal times.
        const auto at = std::upper_bound(pts.begin(), pts.end(), x,
                                         [](double v, const ChartPoint& p) { return v < p.x; });
        pts.insert(at, pt);
        s.Invalidate();
    }
    update();
}

void LiveChart::DeleteFirst()
{
    Impl& s = *d;
    if (s.points.empty())
        return;
    s.points.pop_front();
    if (s.cacheValid) {
        if (s.c0 > 0) {
            --s.c0;
            --s.c1;
        } else if (s.c1 > 0) {
            --s.c1;
            Run& r = s.runs.front();
            const std::uint32_t remaining = r.count - 1;
            if (remaining == 0) {
                s.runs.pop_front();
            } else {
                r.Reset();
                for (std::uint32_t i = 0; i < remaining; ++i)
                    r.Take(s.points[i].y);
            }
        }
    }
    update();
}

int LiveChart::Count() const { return static_cast<int>(d->points.size()); }

double LiveChart::XAt(int index) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= d->points.size())
        return kNaN;
    return d->points[static_cast<std::size_t>(index)].x;
}

double LiveChart::YAt(int index) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= d->points.size())
        return kNaN;
    return d->points[static_cast<std::size_t>(index)].y;
}

std::uint32_t LiveChart::ColorAt(int index) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= d->points.size())
        return 0;
    return d->points[static_cast<std::size_t>(index)].color;
}

void LiveChart::Clear()
{
    d->points.clear();
    d->points.shrink_to_fit();
    d->runs.clear();
    d->Invalidate();
    update();
}

std::size_t LiveChart::PointMemoryBytes() const { return d->pointBytes; }

void LiveChart::SetLegendFirst(int index)
{
    d->legendFirst = std::max(0, index);
    update();
}

int LiveChart::LegendFirst() const { return d->legendFirst; }
int LiveChart::LegendRowsShown() const { return d->legendRows; }

void LiveChart::SetView3D(bool on)
{
    d->view3d = on;
    update();
}

bool LiveChart::View3D() const { return d->view3d; }

void LiveChart::SetDepth3D(int percent)
{
    d->depth = std::clamp(percent, 1, 100);
    update();
}

int LiveChart::Depth3D() const { return d->depth; }

void LiveChart::SetBackWallColor(std::uint32_t color)
{
    d->wallColor = color;
    d->wallOpaque = true;
    update();
}

std::uint32_t LiveChart::BackWallColor() const { return d->wallColor; }
bool LiveChart::BackWallOpaque() const { return d->wallOpaque; }

void LiveChart::SetSurfaceColor(std::uint32_t color)
{
    d->surfaceColor = color;
    update();
}

std::uint32_t LiveChart::SurfaceColor() const { return d->surfaceColor; }

bool LiveChart::IsZoomed() const { return d->zoomed; }

void LiveChart::UndoZoom()
{
    d->zoomed = false;
    d->Invalidate();
    update();
}

void LiveChart::ZoomTo(double xmin, double xmax, double ymin, double ymax)
{
    if (!std::isfinite(xmin) || !std::isfinite(xmax) || !std::isfinite(ymin) || !std::isfinite(ymax))
        return;
    FixRange(xmin, xmax, 1e-9);
    FixRange(ymin, ymax, 1e-300);
    d->zoomed = true;
    d->zx0 = xmin;
    d->zx1 = xmax;
    d->zy0 = ymin;
    d->zy1 = ymax;
    d->Invalidate();
    update();
}

QRect LiveChart::PlotRect() const
{
    d->Prepare(*this);
    return d->lay.plotValid ? d->lay.plot : QRect();
}

double LiveChart::AxisXMin() const
{
    d->Prepare(*this);
    return d->lay.x0;
}

double LiveChart::AxisXMax() const
{
    d->Prepare(*this);
    return d->lay.x1;
}

double LiveChart::AxisYMin() const
{
    d->Prepare(*this);
    return d->lay.y0;
}

double LiveChart::AxisYMax() const
{
    d->Prepare(*this);
    return d->lay.y1;
}

void LiveChart::paintEvent(QPaintEvent* /*event*/)
{
    d->Prepare(*this);
    QPainter p(this);
    d->Paint(p, *this);
}

void LiveChart::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    update();
}

void LiveChart::mousePressEvent(QMouseEvent* event)
{
    Impl& s = *d;
    if (s.drag != Impl::Drag::None)
        return;
    s.Prepare(*this);
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        s.drag = Impl::Drag::Zoom;
    } else if (event->button() == Qt::RightButton && s.lay.plotValid) {
        s.drag = Impl::Drag::Pan;
        s.panX0 = s.lay.x0;
        s.panX1 = s.lay.x1;
        s.panY0 = s.lay.y0;
        s.panY1 = s.lay.y1;
    } else {
        QWidget::mousePressEvent(event);
        return;
    }
    s.dragStart = s.dragNow = pos;
    event->accept();
}

void LiveChart::mouseMoveEvent(QMouseEvent* event)
{
    Impl& s = *d;
    if (s.drag == Impl::Drag::None) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    s.dragNow = event->position().toPoint();
    if (s.drag == Impl::Drag::Pan) {
        // The content follows the mouse: moving right shows earlier times,
        // moving down shows higher values.
        const QPoint delta = s.dragNow - s.dragStart;
        const double dx = delta.x() * (s.panX1 - s.panX0) / std::max(1, s.lay.plot.width() - 1);
        const double dy = delta.y() * (s.panY1 - s.panY0) / std::max(1, s.lay.plot.height() - 1);
        ZoomTo(s.panX0 - dx, s.panX1 - dx, s.panY0 + dy, s.panY1 + dy);
    }
    update();
    event->accept();
}

void LiveChart::mouseReleaseEvent(QMouseEvent* event)
{
    Impl& s = *d;
    if (s.drag == Impl::Drag::None) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    s.dragNow = event->position().toPoint();
    const Impl::Drag was = s.drag;
    s.drag = Impl::Drag::None;
    if (was == Impl::Drag::Zoom) {
        const QPoint delta = s.dragNow - s.dragStart;
        if (delta.x() >= kMinDrag && delta.y() >= kMinDrag && s.lay.plotValid) {
            // Dragged to the lower right: show the rectangle's part.
            const Layout& L = s.lay;
            const double xa = L.x0 + (s.dragStart.x() - L.plot.left()) / L.Sx();
            const double xb = L.x0 + (s.dragNow.x() - L.plot.left()) / L.Sx();
            const double ya = L.y1 - (s.dragStart.y() - L.plot.top()) / L.Sy();
            const double yb = L.y1 - (s.dragNow.y() - L.plot.top()) / L.Sy();
            ZoomTo(xa, xb, yb, ya);
        } else if (delta.x() <= -kMinDrag && delta.y() <= -kMinDrag) {
            // Dragged to the upper left: back to the whole series.
            UndoZoom();
        }
    }
    update();
    event->accept();
}
