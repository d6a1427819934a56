#include "Kx52Application.h"

#include "ConfigDir.h"

#include <QDir>
#include <QIcon>
#include <QSettings>

// The glyphs and the icon live in the window library, a static library,
// whose resources must be registered by hand.
static void RegisterResources()
{
    Q_INIT_RESOURCE(kx52);
}

void SetProgramIdentity()
{
    QCoreApplication::setApplicationName(QStringLiteral("KX-52"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KX52_VERSION));
    QCoreApplication::setOrganizationName(QStringLiteral("OrbKX52"));
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopFileName));
}

Kx52Application::Kx52Application(int& argc, char** argv) : QApplication(argc, argv)
{
    RegisterResources();
    SetProgramIdentity();
    setWindowIcon(QIcon(QStringLiteral(":/icons/kx52.png")));
    // Qt's own file and colour dialogs keep their state (last folder, custom
    // colours) in a "QtProject" settings file of the user's configuration
    // folder, whatever the organisation is. It goes into the program's own
    // folder instead, beside the COM port links. The program's settings
    // (OrbKX52.ini) name their file in full and are not moved by this.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QDir(QString::fromStdString(UserConfigDir())).filePath(QStringLiteral("OrbKX52")));
}
