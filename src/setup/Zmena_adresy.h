#pragma once
#include "PlaceholderDialog.h"

class TZmenaAdresy : public PlaceholderDialog {
    Q_OBJECT
public:
    explicit TZmenaAdresy(QWidget* parent = nullptr) : PlaceholderDialog(QStringLiteral("Dialog změna adresy"), 293, 125, parent) {}
};
