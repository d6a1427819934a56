#pragma once
// What the command line needs from the system besides the serial port.
#include <ctime>
#include <string>

// The system's reason for the last failed call (errno, or GetLastError on
// Windows) as text.
std::string LastSystemError();

// Whether standard error is a terminal (progress is shown only there).
bool StderrIsTerminal();

// `t` as local time and as UTC (thread-safe twins of localtime and gmtime).
void BreakDownTime(std::time_t t, std::tm& local, std::tm& utc);

// Makes the console show the program's UTF-8 output (Windows); nothing elsewhere.
void PrepareConsole();
