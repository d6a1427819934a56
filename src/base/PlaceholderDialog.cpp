#include "PlaceholderDialog.h"

#include <QPushButton>

PlaceholderDialog::PlaceholderDialog(const QString& caption, int client_width, int client_height, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(caption);
    setFixedSize(client_width, client_height);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    ok->setGeometry((client_width - 75) / 2, client_height - 25 - 12, 75, 25);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
