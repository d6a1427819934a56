#pragma once
// Command line of orbena52-sim.
#include "SimStation.h"

#include <optional>
#include <string>
#include <vector>

namespace sim {

struct FaultOption {
    Fault fault;
    int count = kAlways;
    std::optional<int> param;
};

struct SimOptions {
    int com = 1;
    int address = 0;
    std::string log_path; // empty: stderr
    bool pacing = true;
    int reassert_line_ms = 0; // 0: off
    int back_after_ms = -1;   // after a vanish: reappear this much later (-1: exit)
    std::vector<FaultOption> faults;
    bool help = false;
    bool version = false;
};

// Parses argv[1..]; false with `error` set for an unknown option or a value
// out of range.
bool ParseSimOptions(const std::vector<std::string>& args, SimOptions& out, std::string& error);

std::string SimUsage();
// "orbena52-sim" and the version, one line.
std::string SimVersion();

} // namespace sim
