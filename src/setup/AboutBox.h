#pragma once
#include "PlaceholderDialog.h"

class TAboutBox : public PlaceholderDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr) : PlaceholderDialog(QStringLiteral("O aplikaci"), 324, 289, parent) {}
};
