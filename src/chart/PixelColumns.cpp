#include "PixelColumns.h"

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

// A sliding-window minimum of the tops and maximum of the bottoms (each
// keyed by its column times the rise) gives every column in one pass.
void SweepColumns(const ColumnSpans& line, int width, int rise, int grow, ColumnSpans& out, std::vector<int>& qmin,
                  std::vector<int>& qmax)
{
    out.Reset();
    if (!line.Touched())
        return;
    const int n = line.last - line.first + 1 + width;
    qmin.assign(static_cast<std::size_t>(n) + 1, 0);
    qmax.assign(static_cast<std::size_t>(n) + 1, 0);
    std::size_t min_head = 0, min_tail = 0, max_head = 0, max_tail = 0;
    auto top_key = [&](int c) {
        const auto i = static_cast<std::size_t>(c);
        return line.top[i] <= line.bottom[i] ? line.top[i] + rise * c : ColumnSpans::kEmptyTop;
    };
    auto bottom_key = [&](int c) {
        const auto i = static_cast<std::size_t>(c);
        return line.top[i] <= line.bottom[i] ? line.bottom[i] + rise * c : ColumnSpans::kEmptyBottom;
    };
    for (int x = line.first; x <= line.last + width; ++x) {
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
        while (qmin[min_head] < x - width)
            ++min_head;
        while (qmax[max_head] < x - width)
            ++max_head;
        const int t = top_key(qmin[min_head]);
        const int b = bottom_key(qmax[max_head]);
        if (t <= b && t != ColumnSpans::kEmptyTop) {
            // Both share one base column, so x is a column of `out` too.
            out.Add(line.base + x, t - rise * x, b - rise * x + grow);
        }
    }
}
