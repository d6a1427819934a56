#pragma once
// The application object: registers the program's resources and gives the
// application its name, version, organisation, desktop file name and icon.
// Errors never reach it: every handler runs inside its own error boundary
// (ErrorBoundary.h).
#include <QApplication>

// The application id: the name of the desktop entry (without ".desktop") and,
// on Wayland, the id the compositor matches the window with.
inline constexpr char kDesktopFileName[] = "cz.orbkx52.kx52";

// Name, version, organisation and desktop file name. These are static in Qt,
// so they can be set before the application object exists (the command line
// is answered without one, and so without a display).
void SetProgramIdentity();

class Kx52Application : public QApplication {
public:
    Kx52Application(int& argc, char** argv);
};
