// Test main for the window tests: they run offscreen unless a display was
// chosen, because ctest discovers the tests by running this binary at build
// time, where no display may exist.
#include "Kx52Application.h"

#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::testing::InitGoogleTest(&argc, argv);
    // The program's own application object, with its resources registered.
    Kx52Application app(argc, argv);
    // What Qt's own dialogs remember goes to a folder of the run, never to the
    // user's configuration folder.
    QTemporaryDir toolkit_settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, toolkit_settings.path());
    return RUN_ALL_TESTS();
}
