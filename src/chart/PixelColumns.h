#pragma once
// Pixel columns: the rows a stretch of the line covers in each column, and
// the ways to fill them fast, either straight into the 32-bit image the
// painter draws on or through QPainter where that is not possible.
#include <QColor>
#include <QPoint>
#include <QRect>
#include <QtGlobal>

#include <vector>

class QPainter;

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
    void Add(int column, double y0, double y1);
    // A straight segment between two pixel positions: each column gets the
    // rows the segment passes within it.
    void AddSegment(double xa, double ya, double xb, double yb);
};

// Where the painter draws straight into a 32-bit image at one-to-one scale,
// pixel columns are written into the image directly: Qt fills a tall, thin
// column row by row, several times slower than a plain store per pixel.
struct DirectTarget {
    uchar* bits = nullptr;
    qsizetype bytes_per_line = 0;
    int dx = 0, dy = 0; // painter coordinates to image pixels
    QRect clip;         // in image pixels
    bool Usable() const { return bits != nullptr; }
};

// The painter's image, when it can be written directly within `clip` (in
// painter coordinates).
DirectTarget FindDirectTarget(QPainter& p, const QRect& clip);

// Fills every column of `s` in `color`, directly when `direct` allows it.
// `poly` is scratch space.
void FillSpans(QPainter& p, std::vector<QPoint>& poly, const ColumnSpans& s, const DirectTarget& direct,
               const QColor& color);

// What each column of one colour stretch looks like swept back by the depth:
// column X of the strip covers the union over t in 0..depth of the line's
// rows in column X - t moved up by t. `qmin` and `qmax` are scratch space.
void SweepStrip(const ColumnSpans& line, int depth, ColumnSpans& strip, std::vector<int>& qmin, std::vector<int>& qmax);
