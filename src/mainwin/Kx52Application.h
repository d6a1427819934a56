#pragma once
// The application object: registers the program's resources and gives the
// application its name and icon. Errors never reach it: every handler runs
// inside its own error boundary (ErrorBoundary.h).
#include <QApplication>

class Kx52Application : public QApplication {
public:
    Kx52Application(int& argc, char** argv);
};
