// Test main for the window tests: they run offscreen unless a display was
// chosen, because ctest discovers the tests by running this binary at build
// time, where no display may exist.
#include "Kx52Application.h"

#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <QtGlobal>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    // The program's own application object, with its resources registered.
    Kx52Application app(argc, argv);
    // What Qt's own dialogs remember goes to a folder of the run, never to the
    // user's configuration folder.
    QTemporaryDir toolkit_settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, toolkit_settings.path());
    return RUN_ALL_TESTS();
}
