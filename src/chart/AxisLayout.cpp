#include "AxisLayout.h"

#include <QDate>
#include <QLocale>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr int kPad = 4;  // space around the parts
constexpr int kTick = 4; // length of a tick mark

// Minimum spans so that a deep zoom cannot make a range collapse.
double MinSpan(double a, double b, double absolute)
{
    return std::max(absolute, std::max(std::abs(a), std::abs(b)) * 1e-12);
}

} // namespace

double NiceStep(double raw)
{
    if (!(raw > 0.0) || !std::isfinite(raw))
        return 1.0;
    const double base = std::pow(10.0, std::floor(std::log10(raw)));
    const double f = raw / base;
    const double m = f <= 1.0 ? 1.0 : f <= 2.0 ? 2.0 : f <= 5.0 ? 5.0 : 10.0;
    return m * base;
}

double LadderFloor(double target)
{
    return std::exp2(std::floor(std::log2(target) * 4.0) / 4.0);
}

void FixRange(double& lo, double& hi, double absolute_min)
{
    lo = Clamp(lo, -kValueLimit, kValueLimit);
    hi = Clamp(hi, -kValueLimit, kValueLimit);
    if (hi < lo)
        std::swap(lo, hi);
    const double need = MinSpan(lo, hi, absolute_min);
    if (hi - lo < need) {
        const double mid = lo / 2.0 + hi / 2.0;
        lo = mid - need / 2.0;
        hi = mid + need / 2.0;
    }
}

void TimeRangeOf(bool any, double first, double last, double& x0, double& x1)
{
    if (!any) {
        x0 = 0;
        x1 = 1;
        return;
    }
    x0 = first;
    x1 = last;
    if (x1 - x0 < MinSpan(x0, x1, kMinTimeSpan)) {
        // A single instant: show ten seconds around it.
        x0 -= 5.0 / kSecondsPerDay;
        x1 += 5.0 / kSecondsPerDay;
    }
    FixRange(x0, x1, kMinTimeSpan);
}

void ValueRangeOf(bool any, double lo, double hi, double& y0, double& y1)
{
    if (!any) {
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
    FixRange(y0, y1, kMinValueSpan);
}

ValueAxis ValueTicks(double y0, double y1, int max_ticks)
{
    ValueAxis axis;
    const double step = NiceStep((y1 - y0) / max_ticks);
    const double max_abs = std::max(std::abs(y0), std::abs(y1));
    axis.scientific = max_abs >= 1e9 || step < 1e-9;
    axis.decimals = step >= 1.0 ? 0 : std::min(15, static_cast<int>(std::ceil(-std::log10(step) - 1e-9)));
    // Enough digits that neighbouring ticks read differently, also where a
    // small step sits on a large value.
    if (max_abs > 0.0 && step > 0.0) {
        const double needed = std::ceil(std::log10(max_abs / step) - 1e-9) + 1.0;
        axis.digits = static_cast<int>(Clamp(needed, 6.0, 17.0));
    }
    for (double t = std::ceil(y0 / step); axis.ticks.size() < 200 && t * step <= y1; t += 1.0) {
        double v = t * step;
        if (std::abs(v) < step * 1e-9)
            v = 0.0;
        axis.ticks.push_back(v);
    }
    return axis;
}

QString ValueLabel(double v, const ValueAxis& axis, const QLocale& locale)
{
    return axis.scientific ? locale.toString(v, 'g', axis.digits) : locale.toString(v, 'f', axis.decimals);
}

TimeAxis TimeTicks(double x0, double x1, int max_ticks)
{
    static const double steps[] = {0.001, 0.002, 0.005, 0.01,  0.02,  0.05,   0.1,    0.2,     0.5,    1,    2,
                                   5,     10,    15,    30,    60,    120,    300,    600,     900,    1800, 3600,
                                   7200,  10800, 21600, 43200, 86400, 172800, 604800, 1209600, 2592000};
    TimeAxis axis;
    const double span_seconds = (x1 - x0) * kSecondsPerDay;
    double step = 0;
    for (double s : steps) {
        if (span_seconds / s <= max_ticks) {
            step = s;
            break;
        }
    }
    if (step == 0)
        step = NiceStep(span_seconds / max_ticks / 86400.0) * 86400.0;
    axis.step_seconds = step;
    const double step_days = step / kSecondsPerDay;
    for (double t = std::ceil(x0 / step_days); axis.ticks.size() < 200 && t * step_days <= x1; t += 1.0)
        axis.ticks.push_back(t * step_days);
    axis.millis = step < 1.0;
    axis.dates = step >= kSecondsPerDay;
    axis.days_and_hours = !axis.dates && step >= 3600 && std::floor(x0) != std::floor(x1);
    return axis;
}

QString TimeLabel(double v, const TimeAxis& axis)
{
    if (axis.dates)
        return DateText(v);
    if (axis.days_and_hours)
        return DateText(v).left(6) + QLatin1Char(' ') + TimeOfDayText(v, false).left(5);
    return TimeOfDayText(v, axis.millis);
}

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
        std::snprintf(buf, sizeof buf, "%02ld:%02ld:%02ld", total / 3600000, total / 60000 % 60, total / 1000 % 60);
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

ChartFrame FrameOf(const QRect& widget, const TextMetrics& text)
{
    ChartFrame f;
    f.legend_width = text.width(QStringLiteral("00:00:00  -8.888888e+888")) + 12 + 3 * kPad;
    f.with_legend = widget.width() - f.legend_width >= 120;
    f.box = widget.adjusted(kPad, kPad, -(kPad + (f.with_legend ? f.legend_width + kPad : 0)), -kPad);
    return f;
}

ChartLayout LayOutChart(const QRect& widget, const ChartFrame& frame, const TextMetrics& text, double x0, double x1,
                        double y0, double y1, int depth_percent, long long legend_points)
{
    ChartLayout L;
    const QRect& box = frame.box;
    L.x0 = x0;
    L.x1 = x1;
    L.y0 = y0;
    L.y1 = y1;
    const int bottom_height = text.height + kTick + 2;
    L.depth =
        std::max(0, static_cast<int>(std::lround(std::min(box.width(), box.height()) * depth_percent / 100.0 * 0.3)));

    // Value ticks: about one per two text lines.
    const int plot_height_guess = box.height() - bottom_height - L.depth;
    const int max_y_ticks = std::max(2, plot_height_guess / std::max(1, 2 * text.height));
    L.value_axis = ValueTicks(y0, y1, max_y_ticks);
    const QLocale locale;
    int label_width = 0;
    for (double v : L.value_axis.ticks)
        label_width = std::max(label_width, text.width(ValueLabel(v, L.value_axis, locale)));
    const int left_margin = label_width + kTick + kPad;

    L.plot = QRect(box.left() + left_margin, box.top() + L.depth, box.width() - left_margin - L.depth,
                   box.height() - L.depth - bottom_height);
    L.plot_valid = L.plot.width() >= 4 && L.plot.height() >= 4;

    if (L.plot_valid) {
        // Time ticks: the smallest step whose labels do not crowd.
        const int label_w = text.width(QStringLiteral("00:00:00.000"));
        L.time_axis = TimeTicks(x0, x1, std::max(1, L.plot.width() / (label_w + 16)));
    }

    // Legend: as many rows as fit beside the plot.
    L.legend_row_height = text.height + 2;
    if (frame.with_legend) {
        const int top = box.top() + L.depth;
        const int avail = widget.bottom() - kPad - top + 1;
        const int fit = std::max(0, (avail - 2 * kPad) / L.legend_row_height);
        L.legend_rows = static_cast<int>(std::clamp<long long>(legend_points, 0, fit));
        L.legend = QRect(widget.right() - kPad - frame.legend_width + 1, top, frame.legend_width,
                         L.legend_rows * L.legend_row_height + 2 * kPad);
    }
    return L;
}
