#pragma once
#include "PlaceholderDialog.h"

class TForm_menu : public PlaceholderDialog {
    Q_OBJECT
public:
    explicit TForm_menu(QWidget* parent = nullptr) : PlaceholderDialog(QStringLiteral("Parametry ORBENA 52"), 520, 400, parent) {}
};
