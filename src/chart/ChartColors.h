#pragma once
// Colours of the chart's frame worked out for contrast with what lies under
// them, so that grid, axes and labels stay visible on light and dark
// surfaces alike.
#include <QColor>

// Perceived lightness (CIE L*, 0 black to 100 white) of a colour.
double Lightness(const QColor& color);
// `base` moved `amount` units of lightness away from itself: darker on a
// light colour, lighter on a dark one (whichever side has the room).
QColor Shade(const QColor& base, double amount);
// `preferred` when it reads well on `background`, otherwise black or white,
// whichever reads better.
QColor InkOn(const QColor& background, const QColor& preferred);

// Lightness steps of the 3D side wall and floor, and of grid lines, from the
// surface they lie on.
inline constexpr double kSideWallShade = 7.0;
inline constexpr double kFloorShade = 14.0;
inline constexpr double kGridShade = 20.0;
