#pragma once
// Reads a window's settings one after another as the window is created,
// going on past a value that cannot be read: that value takes its default
// and every other value is still read. A window that stopped at the first
// damaged value would keep defaults for the rest and write them back over
// the user's own values when it closes.
//
//   SettingsReader s(store);
//   left = s.Load("DESKTOP", "Left", 192);
//   ...
//   s.Finish(); // one error box per damaged value
#include "SettingsStore.h"

#include <cstdint>
#include <string>
#include <vector>

class SettingsReader {
public:
    explicit SettingsReader(SettingsStore& store) : store_(store) {}

    // The stored value, or `def` when it is missing, not a number, or cannot
    // be read at all (the last is kept for Finish).
    std::int32_t Load(const std::string& section, const std::string& name, std::int32_t def);
    // Shows the error box for each value that could not be read, in the
    // order read, unless the same value was already reported in this run
    // (the main window and the recording settings both read "ZAZNAM").
    void Finish();

private:
    struct Unread {
        std::string section;
        std::string name;
        std::string message;
    };
    SettingsStore& store_;
    std::vector<Unread> unread_;
};
