#include "Kx52Application.h"

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
