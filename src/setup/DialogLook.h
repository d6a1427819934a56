#pragma once
// The look shared by the setup dialogs: the classic dialog face, labels
// sized to their text, and the title bar of a fixed dialog that offers only
// the system menu and the close box.
#include "DialogFont.h"

#include <QLabel>

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
