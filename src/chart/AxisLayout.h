#pragma once
// The chart's axes as plain functions of numbers: the ranges shown, the tick
// steps and positions, the texts of the labels, and where the plot area, the
// 3D depth and the legend go in a widget of a given size. Nothing here needs
// a widget or a paint device.
#include <QRect>
#include <QString>

#include <functional>
#include <vector>

class QLocale;

inline constexpr double kSecondsPerDay = 86400.0;
// Pixel coordinates are kept within this distance of the widget so that
// extreme values or deep zooms never reach the rasterizer's limits.
inline constexpr double kPixelLimit = 1.0e5;
// Axis ranges never grow beyond this, so their spans stay finite.
inline constexpr double kValueLimit = 1.0e307;
// The smallest x and value spans an axis shows.
inline constexpr double kMinTimeSpan = 1e-9;
inline constexpr double kMinValueSpan = 1e-300;

inline double Clamp(double v, double lo, double hi)
{
    return v < lo ? lo : (v > hi ? hi : v);
}

// 1, 2 or 5 times a power of ten, at least `raw`.
double NiceStep(double raw);
// Bucket widths come from a ladder of quarter powers of two, so that a span
// that changes a little keeps its buckets (and the cache built on them).
double LadderFloor(double target);
// Makes [lo, hi] an ordered, finite range at least `absolute_min` wide (and
// wide enough to be told apart at the magnitude of its ends).
void FixRange(double& lo, double& hi, double absolute_min);

// The x range for points from `first` to `last` (any = false: no points).
void TimeRangeOf(bool any, double first, double last, double& x0, double& x1);
// The value range for finite values from `lo` to `hi` (any = false: none).
void ValueRangeOf(bool any, double lo, double hi, double& y0, double& y1);

struct ValueAxis {
    std::vector<double> ticks;
    int decimals = 0; // in fixed notation
    bool scientific = false;
    int digits = 6; // significant digits in scientific notation
};
// Ticks at a 1-2-5 step, about `max_ticks` of them over [y0, y1].
ValueAxis ValueTicks(double y0, double y1, int max_ticks);
QString ValueLabel(double v, const ValueAxis& axis, const QLocale& locale);

struct TimeAxis {
    std::vector<double> ticks;
    double step_seconds = 1;
    bool millis = false;         // steps below a second
    bool dates = false;          // steps of a day or more
    bool days_and_hours = false; // hour steps across midnight
};
// Ticks at the smallest time step (a millisecond to a month, then 1-2-5
// days) that gives at most `max_ticks` over [x0, x1].
TimeAxis TimeTicks(double x0, double x1, int max_ticks);
QString TimeLabel(double v, const TimeAxis& axis);
// "hh:mm:ss" (with milliseconds when asked) and "dd.MM.yyyy" of a date-time
// number (days since 30.12.1899).
QString TimeOfDayText(double x, bool millis);
QString DateText(double x);

// The sizes of the font the chart writes with.
struct TextMetrics {
    int height = 0;
    int ascent = 0;
    std::function<int(const QString&)> width;
};

// Where everything goes. x0 maps to the plot's first pixel column and x1 to
// its last; y0 to its bottom row and y1 to its top row.
struct ChartLayout {
    bool plot_valid = false;
    QRect plot;    // the front plane of the plot area
    int depth = 0; // 3D offset in pixels (right and up)
    QRect legend;
    int legend_row_height = 0;
    double x0 = 0, x1 = 1, y0 = 0, y1 = 1;
    ValueAxis value_axis;
    TimeAxis time_axis;
    int legend_rows = 0;

    double Sx() const { return (plot.width() - 1) / (x1 - x0); }
    double Sy() const { return (plot.height() - 1) / (y1 - y0); }
    double Px(double x) const { return Clamp(plot.left() + (x - x0) * Sx(), -kPixelLimit, kPixelLimit); }
    double Py(double y) const { return Clamp(plot.bottom() - (y - y0) * Sy(), -kPixelLimit, kPixelLimit); }
};

// The box of the axes and the plot inside the widget, beside the legend when
// there is room for one.
struct ChartFrame {
    QRect box;
    bool with_legend = false;
    int legend_width = 0;
};
ChartFrame FrameOf(const QRect& widget, const TextMetrics& text);

// Lays out the axes and the plot in `frame` for the ranges given, with a 3D
// depth of `depth_percent` (0: flat). The legend gets as many rows as fit,
// at most `legend_points`.
ChartLayout LayOutChart(const QRect& widget, const ChartFrame& frame, const TextMetrics& text, double x0, double x1,
                        double y0, double y1, int depth_percent, long long legend_points);
