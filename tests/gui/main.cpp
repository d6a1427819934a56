// Test main for the window tests: they run offscreen unless a display was
// chosen, because ctest discovers the tests by running this binary at build
// time, where no display may exist.
#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KX-52"));
    return RUN_ALL_TESTS();
}
