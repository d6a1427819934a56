// Test main for the window tests: they run offscreen unless a display was
// chosen, because ctest discovers the tests by running this binary at build
// time, where no display may exist.
#include "Kx52Application.h"

#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <QtGlobal>

#ifdef _WIN32
#include <QDir>
#include <QFont>

#include <windows.h>

namespace {

// Offscreen, Qt on Windows does not ask the system for its fonts: it reads
// font files from a folder of its own (none in a Qt installation), draws
// every letter as a box as wide as the font is high, and has no default face.
// The tests take the system's font folder and its message font instead, as
// the program gets them on a Windows desktop.
void UseTheSystemFontFolder()
{
    wchar_t windows[MAX_PATH];
    const UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
    if (length > 0 && length < MAX_PATH && qEnvironmentVariableIsEmpty("QT_QPA_FONTDIR"))
        qputenv("QT_QPA_FONTDIR", QDir(QString::fromWCharArray(windows, static_cast<int>(length)))
                                      .filePath(QStringLiteral("Fonts"))
                                      .toUtf8());
}

void UseTheSystemMessageFont()
{
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0))
        return;
    QFont font(QString::fromWCharArray(metrics.lfMessageFont.lfFaceName));
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    const LONG height = metrics.lfMessageFont.lfHeight;
    if (height < 0 && dpi > 0)
        font.setPointSizeF(-height * 72.0 / dpi);
    QApplication::setFont(font);
}

} // namespace
#endif

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#ifdef _WIN32
    UseTheSystemFontFolder();
#endif
    ::testing::InitGoogleTest(&argc, argv);
    // The program's own application object, with its resources registered.
    Kx52Application app(argc, argv);
#ifdef _WIN32
    if (QGuiApplication::platformName() == QStringLiteral("offscreen"))
        UseTheSystemMessageFont();
#endif
    // What Qt's own dialogs remember goes to a folder of the run, never to the
    // user's configuration folder.
    QTemporaryDir toolkit_settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, toolkit_settings.path());
    return RUN_ALL_TESTS();
}
