#include "ChartColors.h"

#include <algorithm>
#include <cmath>

namespace {

double Linear(double channel)
{
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

// Relative luminance (0 to 1) of an sRGB colour.
double Luminance(const QColor& c)
{
    const QColor rgb = c.toRgb();
    return 0.2126 * Linear(rgb.redF()) + 0.7152 * Linear(rgb.greenF()) + 0.0722 * Linear(rgb.blueF());
}

double ContrastRatio(const QColor& a, const QColor& b)
{
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor Mix(const QColor& from, const QColor& to, double t)
{
    const QColor a = from.toRgb(), b = to.toRgb();
    auto channel = [t](int x, int y) { return static_cast<int>(std::lround(x + (y - x) * t)); };
    return QColor(channel(a.red(), b.red()), channel(a.green(), b.green()), channel(a.blue(), b.blue()));
}

} // namespace

double Lightness(const QColor& color)
{
    const double y = Luminance(color);
    const double f = y > 216.0 / 24389.0 ? std::cbrt(y) : (24389.0 / 27.0 * y + 16.0) / 116.0;
    return 116.0 * f - 16.0;
}

QColor Shade(const QColor& base, double amount)
{
    const double from = Lightness(base);
    // Toward black when there is room below, else toward white.
    const bool down = from - amount >= 0.0 && (from >= 50.0 || from + amount > 100.0);
    const QColor end = down ? QColor(0, 0, 0) : QColor(255, 255, 255);
    const double goal = down ? from - amount : std::min(100.0, from + amount);
    // Lightness grows steadily along the mix: halve the interval.
    double lo = 0.0, hi = 1.0;
    for (int i = 0; i < 20; ++i) {
        const double mid = (lo + hi) / 2.0;
        const double l = Lightness(Mix(base, end, mid));
        if (down ? l > goal : l < goal)
            lo = mid;
        else
            hi = mid;
    }
    return Mix(base, end, hi);
}

QColor InkOn(const QColor& background, const QColor& preferred)
{
    if (ContrastRatio(preferred, background) >= 4.5)
        return preferred;
    const QColor black(0, 0, 0), white(255, 255, 255);
    return ContrastRatio(black, background) >= ContrastRatio(white, background) ? black : white;
}
