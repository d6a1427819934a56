#pragma once
// Colour values as the chart settings keep them: 0x00BBGGRR for an RGB colour
// (red in the lowest byte, so 255 is pure red), or 0x80000000 plus an index
// into the desktop's system colour scheme, resolved when drawn (0x8000000F,
// index 15, is the button face). The chart, the colour swatches of the chart
// settings and the stored settings all go through these.
#include <QColor>
#include <QPalette>

#include <cstdint>

inline constexpr std::uint32_t kSystemColorFlag = 0x80000000u;
// The system colour indexes the table knows (0 to 30); others resolve to black.
inline constexpr int kSystemColorCount = 31;

// The colour a system colour index stands for under `palette`.
QColor SystemColor(std::uint32_t index, const QPalette& palette);
// Resolves a colour value against a palette.
QColor ResolveColorValue(std::uint32_t value, const QPalette& palette);
// The colour value of a plain RGB colour (0x00BBGGRR).
std::uint32_t ColorValueOf(const QColor& color);
