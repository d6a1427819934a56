#pragma once
// The classic dialog face of the program's windows at a pixel size (11 px is
// its 8 pt at 96 dpi).
//
// The outline faces come first: "MS Sans Serif" itself is a bitmap font on
// Windows, made only in a few sizes (13, 16, 20 ... pixels high), and asked
// for at 11 px Qt takes the 13 px one and draws it larger still, so every
// caption grows out of its place. "Microsoft Sans Serif" is its outline twin
// on every Windows; Tahoma (also under wine) has nearly the same widths.
// Where none of them is installed, as on Linux, the platform's sans serif
// stands in.
#include <QFont>
#include <QString>

inline QFont DialogFont(int pixel_size, bool bold = false)
{
    QFont font;
    font.setFamilies(
        {QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Tahoma"), QStringLiteral("MS Sans Serif")});
    font.setPixelSize(pixel_size);
    font.setBold(bold);
    return font;
}
