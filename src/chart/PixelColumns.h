#pragma once
// Pixel columns: the rows a stretch of the line covers in each column, and
// how a line's columns become its 3D strip or a thicker line.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

// Per pixel column, the rows a stretch of the line covers (top <= bottom),
// for the columns from `base` on. Untouched columns hold an empty span.
struct ColumnSpans {
    static constexpr int kEmptyTop = 1 << 29;
    static constexpr int kEmptyBottom = -(1 << 29);
    int base = 0;
    std::vector<int> top, bottom;
    int first = 0, last = -1; // touched columns, relative to base

    void Setup(int first_column, int columns);
    void Reset();
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
    void AddSegment(double xa, double ya, double xb, double yb);
};

// Sweeps the columns of `line` sideways: column X of `out` covers the union
// over t in 0..width of the rows of column X - t, moved up by rise * t, and
// `grow` rows more below. For a continuous line that union is one interval.
// `qmin` and `qmax` are scratch space.
void SweepColumns(const ColumnSpans& line, int width, int rise, int grow, ColumnSpans& out, std::vector<int>& qmin,
                  std::vector<int>& qmax);

// What each column of one colour stretch looks like swept back by the depth:
// the 3D strip behind the line.
inline void SweepStrip(const ColumnSpans& line, int depth, ColumnSpans& strip, std::vector<int>& qmin,
                       std::vector<int>& qmax)
{
    SweepColumns(line, depth, 1, 0, strip, qmin, qmax);
}

// The line `thickness` pixels wide: each column spread over the columns to
// its right and the rows below.
inline void Thicken(const ColumnSpans& line, int thickness, ColumnSpans& out, std::vector<int>& qmin,
                    std::vector<int>& qmax)
{
    SweepColumns(line, thickness - 1, 0, thickness - 1, out, qmin, qmax);
}
