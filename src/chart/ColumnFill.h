#pragma once
// Filling pixel columns fast: straight into the 32-bit image the painter
// draws on where it can be written directly (ColumnWriter.h), through
// QPainter elsewhere.
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

// Fills every column of `s` in `color`, directly when `direct` allows it and
// the colour is opaque. `poly` is scratch space.
void FillSpans(QPainter& p, std::vector<QPoint>& poly, const ColumnSpans& s, const DirectTarget& direct,
               const QColor& color);
