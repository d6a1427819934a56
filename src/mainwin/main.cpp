// KX-52: watches and configures one ORBENA 52 instrument over a serial line.
#include "CommandLine.h"
#include "Hl_modul.h"
#include "Kx52Application.h"
#include "MessageBoxes.h"
#include "ProgramWindows.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdio>
#include <exception>

int main(int argc, char** argv)
{
    // "--help" and "--version" are answered before the application object
    // exists, so they work without a display.
    SetProgramIdentity();
    if (const std::optional<QString> reply = CommandLineReply(ArgumentList(argc, argv))) {
        std::fputs(reply->toLocal8Bit().constData(), stdout);
        return 0;
    }
    Kx52Application app(argc, argv);
    // The toolkit's own texts (file dialog, Yes/No buttons) in Czech.
    QTranslator toolkit_texts;
    if (toolkit_texts.load(QLocale(QLocale::Czech), QStringLiteral("qtbase"), QStringLiteral("_"),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        Kx52Application::installTranslator(&toolkit_texts);
    try {
        CreateProgramWindows();
        orbena52->show();
        Kx52Application::exec();
    } catch (const std::exception& error) {
        ShowErrorBox(QString::fromUtf8(error.what()));
    }
    DestroyProgramWindows();
    return 0;
}
