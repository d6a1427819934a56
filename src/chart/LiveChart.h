#pragma once
// The main window's live chart: one line series of (date-time, value) points,
// each with its own colour, kept in ascending time; a legend listing the
// points; a 3D depth effect; automatic axes with a time axis; mouse zoom and
// pan. Painted with QPainter, reducing each pixel column of the device (two
// per widget pixel on a screen at a device pixel ratio of 2) to its minimum
// and maximum so that 100,000 points stay smooth; grid, axes and labels are
// coloured for contrast with the surface they lie on.
#include "ColorValues.h"

#include <QColor>
#include <QRect>
#include <QWidget>

#include <cstddef>
#include <cstdint>
#include <memory>

class LiveChart : public QWidget {
    Q_OBJECT
public:
    explicit LiveChart(QWidget* parent = nullptr);
    ~LiveChart() override;

    // Points. x is a date-time number (days since 30.12.1899), y the value,
    // colour a colour value. A point is placed among the others by its x.
    void AddPoint(double x, double y, std::uint32_t color);
    void DeleteFirst();
    int Count() const;
    double XAt(int index) const;
    double YAt(int index) const;
    std::uint32_t ColorAt(int index) const;
    void Clear();
    // Bytes of memory allocated for the points held.
    std::size_t PointMemoryBytes() const;

    // Legend: the first listed point, and how many rows the legend showed at
    // its last layout.
    void SetLegendFirst(int index);
    int LegendFirst() const;
    int LegendRowsShown() const;

    // Look.
    void SetView3D(bool on);
    bool View3D() const;
    void SetDepth3D(int percent);
    int Depth3D() const;
    // Plot-area colour (the back wall; setting it makes the wall opaque).
    void SetBackWallColor(std::uint32_t color);
    std::uint32_t BackWallColor() const;
    bool BackWallOpaque() const;
    // The control's own surface around the plot area.
    void SetSurfaceColor(std::uint32_t color);
    std::uint32_t SurfaceColor() const;

    // Zoom: true while the view shows a user-chosen part.
    bool IsZoomed() const;
    void UndoZoom();
    // Shows the given part (as a mouse zoom does); ignored when not finite.
    void ZoomTo(double xmin, double xmax, double ymin, double ymax);
    // The ranges the axes show at the current size, and the front plane of
    // the plot area in widget coordinates (empty when the widget is too small).
    double AxisXMin() const;
    double AxisXMax() const;
    double AxisYMin() const;
    double AxisYMax() const;
    QRect PlotRect() const;

    struct Impl;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    std::unique_ptr<Impl> d;
};
