#pragma once
// Draws the decimated line and its 3D strip: each run becomes a pixel column
// from its lowest to its highest value, joined to its neighbours, in the
// colour of its points; the strip is the line swept back by the depth.
#include "AxisLayout.h"
#include "ColumnWriter.h"
#include "PixelColumns.h"
#include "PointSeries.h"

#include <QColor>
#include <QPointF>

#include <deque>
#include <vector>

class QPainter;
class QPalette;

class LineRaster {
public:
    // Where the line has one colour and the painter's image can be written
    // directly, works out its pixel columns ahead (with the painter as it
    // will be for Paint) and returns true; then WriteAround can lay the
    // ground first where the line and strip will not cover it, and Paint
    // writes what was worked out here.
    bool Build(QPainter& p, const std::deque<Run>& runs, double bucket_width, const ChartLayout& layout,
               const QPalette& palette, const QRect& clip, int thickness);
    // Writes `color` into `area` (painter coordinates), sparing most of the
    // pixels the built line and strip will cover, and all of `ground`'s
    // area, which Paint lays with the line.
    void WriteAround(const QRect& area, QRgb color, Ground ground);
    // Paints `runs` (bucket width `bucket_width`) into the plot of `layout`,
    // within `clip`, with a line `thickness` pixels wide; the strip too when
    // the layout has a depth. After Build, writes what it worked out.
    void Paint(QPainter& p, const std::deque<Run>& runs, double bucket_width, const ChartLayout& layout,
               const QPalette& palette, const QRect& clip, int thickness);

private:
    // Runs the strip and the line through their pixel columns. With
    // `collect` (one colour, a direct target) it only gathers them for
    // WriteBuilt; otherwise it paints each colour stretch as it goes.
    void Trace(QPainter& p, const std::deque<Run>& runs, double bucket_width, const ChartLayout& layout,
               const QPalette& palette, const DirectTarget& direct, int k, bool collect);
    void WriteBuilt(QPainter& p);

    // What Build worked out.
    bool built_ = false;
    DirectTarget direct_;
    QColor color_;
    int depth_ = 0;
    int k_ = 1;
    const ColumnSpans* line_ = nullptr; // the line's columns, thin or thick
    Ground ground_;                     // laid with the line

    // Scratch space of the painting, kept to spare allocations per paint.
    ColumnSpans spans_, strip_, thick_;
    std::vector<int> sweep_min_, sweep_max_;
    std::vector<QPoint> poly_scratch_;
    std::vector<QPointF> poly_line_;
    // Polylines drawn after the pixel columns, one after the other.
    std::vector<QPointF> deferred_;
    std::vector<int> deferred_sizes_;
};
