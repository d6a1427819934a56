#pragma once
// The look shared by the setup dialogs: the classic dialog face at a pixel
// size (11 px is its 8 pt at 96 dpi, with the platform's sans serif where it
// is missing), labels sized to their text, and the title bar of a fixed
// dialog that offers only the system menu and the close box.
#include <QFont>
#include <QLabel>

inline QFont DialogFont(int pixel_size, bool bold = false)
{
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif")});
    font.setPixelSize(pixel_size);
    font.setBold(bold);
    return font;
}

inline QLabel* AddDialogLabel(QWidget* parent, const QString& text, int x, int y, bool bold)
{
    auto* label = new QLabel(text, parent);
    label->setFont(DialogFont(11, bold));
    label->move(x, y);
    label->adjustSize();
    return label;
}

inline constexpr Qt::WindowFlags kSystemMenuOnly =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
