#include "MessageBoxes.h"

#include "ErrorBoundary.h"

#include <QApplication>

namespace {
MessageBoxHook& Hook()
{
    static MessageBoxHook hook;
    return hook;
}
} // namespace

int ShowMessageBox(QWidget* owner, QMessageBox::Icon icon, const QString& caption, const QString& text,
                   QMessageBox::StandardButtons buttons)
{
    if (Hook())
        return Hook()(MessageBoxRequest{owner, icon, caption, text, buttons});
    QMessageBox box(icon, caption, text, buttons, owner);
    return box.exec();
}

void SetMessageBoxHook(MessageBoxHook hook)
{
    Hook() = std::move(hook);
}

QString ErrorBoxText(const QString& message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

void ShowErrorBox(const QString& message)
{
    ShowMessageBox(QApplication::activeWindow(), QMessageBox::Critical, QStringLiteral("KX-52"), ErrorBoxText(message),
                   QMessageBox::Ok);
}

void ShowHandlerError(const QString& message)
{
    ShowErrorBox(message);
}
