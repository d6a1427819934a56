#pragma once
#include "PlaceholderDialog.h"

class Trotace3D : public PlaceholderDialog {
    Q_OBJECT
public:
    explicit Trotace3D(QWidget* parent = nullptr) : PlaceholderDialog(QStringLiteral("GRAF 3D"), 192, 285, parent) {}
};
