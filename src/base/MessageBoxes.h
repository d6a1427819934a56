#pragma once
// Every message box of the program goes through ShowMessageBox, so that tests
// can answer boxes instead of a user (SetMessageBoxHook) and never block on one.
#include <QMessageBox>
#include <QString>

#include <functional>

struct MessageBoxRequest {
    QWidget* owner;
    QMessageBox::Icon icon;
    QString caption;
    QString text;
    QMessageBox::StandardButtons buttons;
};

// Returns the button pressed (QMessageBox::StandardButton).
int ShowMessageBox(QWidget* owner, QMessageBox::Icon icon, const QString& caption, const QString& text,
                   QMessageBox::StandardButtons buttons = QMessageBox::Ok);

using MessageBoxHook = std::function<int(const MessageBoxRequest&)>;
// Replaces the real boxes (tests); an empty hook restores them.
void SetMessageBoxHook(MessageBoxHook hook);

// The application's error box text: a full stop is appended when the
// message's last character sorts after ".".
QString ErrorBoxText(const QString& message);
// The error box: caption "KX-52", error icon, OK.
void ShowErrorBox(const QString& message);
