// The live chart widget: its points, its look, and the mouse zoom and pan.
#include "LiveChart.h"

#include "LiveChartImpl.h"

#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// A drag shorter than this (in pixels, each direction) is not a gesture.
constexpr int kMinDrag = 5;

} // namespace

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
    d->series.Add(ChartPoint{x, y, color});
    update();
}

void LiveChart::DeleteFirst()
{
    if (d->series.Empty())
        return;
    d->series.DeleteFirst();
    update();
}

int LiveChart::Count() const
{
    return static_cast<int>(d->series.Size());
}

double LiveChart::XAt(int index) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= d->series.Size())
        return std::numeric_limits<double>::quiet_NaN();
    return d->series[static_cast<std::size_t>(index)].x;
}

double LiveChart::YAt(int index) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= d->series.Size())
        return std::numeric_limits<double>::quiet_NaN();
    return d->series[static_cast<std::size_t>(index)].y;
}

std::uint32_t LiveChart::ColorAt(int index) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= d->series.Size())
        return 0;
    return d->series[static_cast<std::size_t>(index)].color;
}

void LiveChart::Clear()
{
    d->series.Clear();
    update();
}

std::size_t LiveChart::PointMemoryBytes() const
{
    return d->series.MemoryBytes();
}

void LiveChart::SetLegendFirst(int index)
{
    d->legend_first = std::max(0, index);
    update();
}

int LiveChart::LegendFirst() const
{
    return d->legend_first;
}
int LiveChart::LegendRowsShown() const
{
    return d->lay.legend_rows;
}

void LiveChart::SetView3D(bool on)
{
    d->view_3d = on;
    update();
}

bool LiveChart::View3D() const
{
    return d->view_3d;
}

void LiveChart::SetDepth3D(int percent)
{
    d->depth = std::clamp(percent, 1, 100);
    update();
}

int LiveChart::Depth3D() const
{
    return d->depth;
}

void LiveChart::SetBackWallColor(std::uint32_t color)
{
    d->wall_color = color;
    d->wall_opaque = true;
    update();
}

std::uint32_t LiveChart::BackWallColor() const
{
    return d->wall_color;
}
bool LiveChart::BackWallOpaque() const
{
    return d->wall_opaque;
}

void LiveChart::SetSurfaceColor(std::uint32_t color)
{
    d->surface_color = color;
    update();
}

std::uint32_t LiveChart::SurfaceColor() const
{
    return d->surface_color;
}

bool LiveChart::IsZoomed() const
{
    return d->zoomed;
}

void LiveChart::UndoZoom()
{
    d->zoomed = false;
    d->series.CoverAll();
    update();
}

void LiveChart::ZoomTo(double xmin, double xmax, double ymin, double ymax)
{
    if (!std::isfinite(xmin) || !std::isfinite(xmax) || !std::isfinite(ymin) || !std::isfinite(ymax))
        return;
    FixRange(xmin, xmax, kMinTimeSpan);
    FixRange(ymin, ymax, kMinValueSpan);
    d->zoomed = true;
    d->zx0 = xmin;
    d->zx1 = xmax;
    d->zy0 = ymin;
    d->zy1 = ymax;
    d->series.CoverWindow(xmin, xmax);
    update();
}

QRect LiveChart::PlotRect() const
{
    d->Prepare(*this, devicePixelRatioF());
    return d->lay.plot_valid ? d->lay.plot : QRect();
}

double LiveChart::AxisXMin() const
{
    d->Prepare(*this, devicePixelRatioF());
    return d->lay.x0;
}

double LiveChart::AxisXMax() const
{
    d->Prepare(*this, devicePixelRatioF());
    return d->lay.x1;
}

double LiveChart::AxisYMin() const
{
    d->Prepare(*this, devicePixelRatioF());
    return d->lay.y0;
}

double LiveChart::AxisYMax() const
{
    d->Prepare(*this, devicePixelRatioF());
    return d->lay.y1;
}

void LiveChart::paintEvent(QPaintEvent* /*event*/)
{
    QPainter p(this);
    // Device pixels per widget pixel, where the painter only scales (a high
    // density screen, or an image with a device pixel ratio).
    double scale = 1.0;
    const QTransform t = p.deviceTransform();
    if (t.type() <= QTransform::TxScale && t.m11() > 1.0 && t.m11() <= 16.0 && std::abs(t.m22() - t.m11()) < 1e-9)
        scale = t.m11();
    d->Prepare(*this, scale);
    d->Paint(p, *this, scale);
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
    s.Prepare(*this, devicePixelRatioF());
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        s.drag = Impl::Drag::Zoom;
    } else if (event->button() == Qt::RightButton && s.lay.plot_valid) {
        s.drag = Impl::Drag::Pan;
        s.pan_x0 = s.lay.x0;
        s.pan_x1 = s.lay.x1;
        s.pan_y0 = s.lay.y0;
        s.pan_y1 = s.lay.y1;
    } else {
        QWidget::mousePressEvent(event);
        return;
    }
    s.drag_start = s.drag_now = pos;
    event->accept();
}

void LiveChart::mouseMoveEvent(QMouseEvent* event)
{
    Impl& s = *d;
    if (s.drag == Impl::Drag::None) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    s.drag_now = event->position().toPoint();
    if (s.drag == Impl::Drag::Pan) {
        // The content follows the mouse: moving right shows earlier times,
        // moving down shows higher values.
        const QPoint delta = s.drag_now - s.drag_start;
        const double dx = delta.x() * (s.pan_x1 - s.pan_x0) / std::max(1, s.lay.plot.width() - 1);
        const double dy = delta.y() * (s.pan_y1 - s.pan_y0) / std::max(1, s.lay.plot.height() - 1);
        ZoomTo(s.pan_x0 - dx, s.pan_x1 - dx, s.pan_y0 + dy, s.pan_y1 + dy);
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
    s.drag_now = event->position().toPoint();
    const Impl::Drag was = s.drag;
    s.drag = Impl::Drag::None;
    if (was == Impl::Drag::Zoom) {
        const QPoint delta = s.drag_now - s.drag_start;
        if (delta.x() >= kMinDrag && delta.y() >= kMinDrag && s.lay.plot_valid) {
            // Dragged to the lower right: show the rectangle's part.
            const ChartLayout& L = s.lay;
            const double xa = L.x0 + (s.drag_start.x() - L.plot.left()) / L.Sx();
            const double xb = L.x0 + (s.drag_now.x() - L.plot.left()) / L.Sx();
            const double ya = L.y1 - (s.drag_start.y() - L.plot.top()) / L.Sy();
            const double yb = L.y1 - (s.drag_now.y() - L.plot.top()) / L.Sy();
            ZoomTo(xa, xb, yb, ya);
        } else if (delta.x() <= -kMinDrag && delta.y() <= -kMinDrag) {
            // Dragged to the upper left: back to the whole series.
            UndoZoom();
        }
    }
    update();
    event->accept();
}
