#include "Kx52Application.h"

#include "KxError.h"
#include "MessageBoxes.h"

#include <QIcon>

// The glyphs and the icon live in the window library, a static library,
// whose resources must be registered by hand.
static void RegisterResources()
{
    Q_INIT_RESOURCE(kx52);
}

Kx52Application::Kx52Application(int& argc, char** argv) : QApplication(argc, argv)
{
    RegisterResources();
    setApplicationName(QStringLiteral("KX-52"));
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
