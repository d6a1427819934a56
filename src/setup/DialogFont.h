#pragma once
// The font of the setup dialogs: the classic dialog face at a pixel size (11 px
// is its 8 pt at 96 dpi), with the platform's sans serif where it is missing.
#include <QFont>

inline QFont DialogFont(int pixel_size, bool bold = false)
{
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif")});
    font.setPixelSize(pixel_size);
    font.setBold(bold);
    return font;
}
