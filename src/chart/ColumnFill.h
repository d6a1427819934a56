#pragma once
// Filling pixel columns fast: straight into the 32-bit image the painter
// draws on where it can be written directly, through QPainter elsewhere.
#include "PixelColumns.h"

#include <QColor>
#include <QPoint>
#include <QRect>
#include <QtGlobal>

#include <vector>

class QPainter;

// Where the painter draws straight into a 32-bit image at one-to-one scale,
// pixel columns are written into the image directly: Qt fills a tall, thin
// column row by row, several times slower than a plain store per pixel.
struct DirectTarget {
    uchar* bits = nullptr;
    qsizetype bytes_per_line = 0;
    int dx = 0, dy = 0; // painter coordinates to image pixels
    QRect clip;         // in image pixels
    bool Usable() const { return bits != nullptr; }
};

// The painter's image, when it can be written directly within `clip` (in
// painter coordinates).
DirectTarget FindDirectTarget(QPainter& p, const QRect& clip);

// Writes the columns of `s` straight into the image (`direct` usable).
void WriteSpans(const DirectTarget& direct, const ColumnSpans& s, QRgb color);
// Writes `under` and then `over` (of the same base) straight into the image,
// storing each pixel once.
void WriteSpansOver(const DirectTarget& direct, const ColumnSpans& under, QRgb under_color, const ColumnSpans& over,
                    QRgb over_color);

// Writes `color` straight into `area` (painter coordinates), sparing at least
// most of what `holes` covers: the ground under pixels that are all written
// afterwards.
void WriteSpansAround(const DirectTarget& direct, const QRect& area, const ColumnSpans& holes, QRgb color);

// Fills every column of `s` in `color`, directly when `direct` allows it and
// the colour is opaque. `poly` is scratch space.
void FillSpans(QPainter& p, std::vector<QPoint>& poly, const ColumnSpans& s, const DirectTarget& direct,
               const QColor& color);
