#pragma once
// kx52ctl: what a technician does with the instrument that needs no window,
// from a terminal, a script or a service, over the program's own link code.
// RunCtl is the whole program but for the process's streams and signals, so
// tests call it with argument lists and look at what it wrote.
#include "ReadSchedule.h"
#include "UserLinkSettings.h"

#include <csignal>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitNoAnswer = 1; // the instrument did not answer, or refused
inline constexpr int kExitUsage = 2;    // the command line, or a file named on it, is at fault
inline constexpr int kExitPort = 3;     // the serial port cannot be opened

struct CtlEnv {
    std::ostream* out = nullptr;
    std::ostream* err = nullptr;
    CtlClock* clock = nullptr;
    // Set (by a signal handler) to end repeated readings and a bus search.
    const volatile std::sig_atomic_t* stop = nullptr;
    // Whether a bus search shows its progress on `err`.
    bool progress = false;
    // Where the settings not given on the command line come from.
    std::function<UserLinkSettings()> settings = [] { return LoadUserLinkSettings(); };
};

// Runs one command line (`args` without the program's name); gives the exit status.
int RunCtl(const std::vector<std::string>& args, const CtlEnv& env);

std::string CtlHelpText();
