#pragma once
// Draws the decimated line and its 3D strip: each run becomes a pixel column
// from its lowest to its highest value, joined to its neighbours, in the
// colour of its points; the strip is the line swept back by the depth.
#include "AxisLayout.h"
#include "ColumnFill.h"
#include "PixelColumns.h"
#include "PointSeries.h"

#include <QPointF>

#include <deque>
#include <vector>

class QPainter;
class QPalette;

class LineRaster {
public:
    // Paints `runs` (bucket width `bucket_width`) into the plot of `layout`,
    // within `clip`, with a line `thickness` pixels wide; the strip too when
    // the layout has a depth.
    void Paint(QPainter& p, const std::deque<Run>& runs, double bucket_width, const ChartLayout& layout,
               const QPalette& palette, const QRect& clip, int thickness);

private:
    // Scratch space of the painting, kept to spare allocations per paint.
    ColumnSpans spans_, strip_, thick_;
    std::vector<int> sweep_min_, sweep_max_;
    std::vector<QPoint> poly_scratch_;
    std::vector<QPointF> poly_line_;
    // Polylines drawn after the pixel columns, one after the other.
    std::vector<QPointF> deferred_;
    std::vector<int> deferred_sizes_;
};
