#pragma once
// A plain modal dialog with a caption and an OK button, standing in for the
// dialogs whose content is still to come.
#include <QDialog>

class PlaceholderDialog : public QDialog {
    Q_OBJECT
public:
    PlaceholderDialog(const QString& caption, int client_width, int client_height, QWidget* parent = nullptr);
};
