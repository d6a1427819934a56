#pragma once
// The column writer: pixel columns stored straight into the painter's image
// (a usable DirectTarget), row by row, each pixel once.
#include "ColumnFill.h"
#include "PixelColumns.h"

#include <QRect>
#include <QRgb>

#include <vector>

// The back wall under the line, laid by the column writer itself: within
// `area` (painter coordinates) each pixel the columns leave free takes the
// wall's colour, or the grid's on the grid's rows and columns, so that what
// lies under the line is stored once, with the line, instead of laid first
// and then written over. Nothing need be laid there before.
struct Ground {
    QRect area;
    QRgb wall = 0, grid = 0;
    std::vector<char> grid_row, grid_column; // per row and column of `area`
    bool Usable() const { return !area.isEmpty(); }
};

// Whether the column writers use the processor's eight-column vector
// instructions (AVX2) where it has them, as they do from the start; returns
// the setting before. Tests compare the two ways.
bool UseWideColumnWriter(bool on);

// Writes the columns of `s` straight into the image (`direct` usable), over
// `ground` where there is one.
void WriteSpans(const DirectTarget& direct, const ColumnSpans& s, QRgb color, const Ground* ground = nullptr);
// Writes `under` and then `over` (of the same base) straight into the image,
// over `ground` where there is one, storing each pixel once.
void WriteSpansOver(const DirectTarget& direct, const ColumnSpans& under, QRgb under_color, const ColumnSpans& over,
                    QRgb over_color, const Ground* ground = nullptr);

// Writes `color` straight into `area` (painter coordinates), sparing at least
// most of what `holes` covers: the ground under pixels that are all written
// afterwards.
void WriteSpansAround(const DirectTarget& direct, const QRect& area, const ColumnSpans& holes, QRgb color);
