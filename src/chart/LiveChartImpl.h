#pragma once
// The state behind a LiveChart: its points, its look, the zoom and the mouse
// gesture in progress, and the layout of its last preparation.
#include "AxisLayout.h"
#include "LineRaster.h"
#include "LiveChart.h"
#include "PointSeries.h"

#include <QPoint>

class QColor;
class QFontMetrics;
class QPainter;
class QPalette;

struct LiveChart::Impl {
    PointSeries series;
    int legend_first = 0;

    bool view_3d = false;
    int depth = 5;
    std::uint32_t wall_color = 0x00FFFFFFu;
    bool wall_opaque = false;
    std::uint32_t surface_color = 0x8000000Fu;

    bool zoomed = false;
    double zx0 = 0, zx1 = 1, zy0 = 0, zy1 = 1;

    enum class Drag { None, Zoom, Pan };
    Drag drag = Drag::None;
    QPoint drag_start, drag_now;
    double pan_x0 = 0, pan_x1 = 1, pan_y0 = 0, pan_y1 = 1;

    ChartLayout lay;
    LineRaster raster;

    // The x range shown: the zoom, or the points' own span.
    void XRange(double& x0, double& x1) const;
    // The value range shown: the zoom, or the finite values held.
    void YRange(double& y0, double& y1) const;
    // Works out the ranges, ticks and rectangles for the widget's current
    // size, and brings the decimation cache up to date for them, at `scale`
    // device pixels per widget pixel.
    void Prepare(const QWidget& w, double scale);
    void Paint(QPainter& p, const QWidget& w, double scale);
    // The back wall (unless already laid), side wall and floor with their
    // grids, the frame and the axes.
    void PaintWalls(QPainter& p, const QPalette& pal, const QColor& surface, const QColor& ink, bool wall_laid);
    void PaintLegend(QPainter& p, const QPalette& pal, const QFontMetrics& fm);
};
