#pragma once
#include "PlaceholderDialog.h"

class Tabout_ident : public PlaceholderDialog {
    Q_OBJECT
public:
    explicit Tabout_ident(QWidget* parent = nullptr) : PlaceholderDialog(QStringLiteral("Identifikace"), 401, 183, parent) {}
};
