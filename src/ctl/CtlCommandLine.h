#pragma once
// kx52ctl's command line: the options it knows, the parsing of their values,
// and the usage text. A fault of the command line is raised as UsageError,
// which ends the run with exit status 2.
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct OptionDef {
    const char* name;
    bool takes_value;
    const char* command; // the only command it belongs to; nullptr: every command
};

// Every option kx52ctl knows.
std::span<const OptionDef> OptionDefs();

struct UsageError {
    std::string text;
};

// A whole decimal number within lo..hi, nothing else in `text`.
bool ParseWhole(std::string_view text, long long lo, long long hi, long long& value);
// Seconds with at most three decimals ("2", "0.5", "60.25") in milliseconds.
bool ParseSeconds(std::string_view text, long long& ms);

struct CommandLine {
    std::vector<std::string> words;
    std::map<std::string, std::string> options; // name -> value ("" for a flag)

    bool Has(const std::string& name) const { return options.count(name) != 0; }
    const std::string& Value(const std::string& name) const { return options.at(name); }
    // The option's value as a whole number within lo..hi; raises UsageError
    // naming the option and `what` it expects otherwise.
    long long Number(const std::string& name, long long lo, long long hi, const std::string& what) const;
};

CommandLine ParseCommandLine(const std::vector<std::string>& args);

// "COM3" (any case) gives 3; anything else is a device path (0).
int ComNumberOf(const std::string& port);
