#pragma once
// The program's command line: "--help" and "--version" print and end the
// program; every other argument is ignored, so the program otherwise takes
// no arguments.
#include <QString>
#include <QStringList>

#include <optional>

// The text that `arguments` (the program's name first) ask to print, or
// nothing when the program is to start. Needs no application object.
std::optional<QString> CommandLineReply(const QStringList& arguments);

// argv as the list CommandLineReply takes.
QStringList ArgumentList(int argc, char** argv);
