#include "Kx52Application.h"

#include "KxError.h"
#include "MessageBoxes.h"

#include <QIcon>

Kx52Application::Kx52Application(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("KX-52"));
    setApplicationDisplayName(QStringLiteral("KX-52"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/kx52.png")));
}

bool Kx52Application::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const KxError& error) {
        ShowErrorBox(QString::fromStdString(error.what()));
    } catch (const std::exception& error) {
        ShowErrorBox(QString::fromLocal8Bit(error.what()));
    }
    return false;
}
