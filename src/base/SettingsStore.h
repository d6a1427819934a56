#pragma once
// The per-user settings: named sections holding named integers, kept as
// decimal text. On Windows the registry key HKEY_CURRENT_USER\<key>; elsewhere
// the INI file <config>/<key>.ini. Every StoreInt is on disk when it returns.
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

class SettingsStore {
public:
    // Opens (creating when missing) the store of the program key `key`.
    // `folder` overrides where the store lives (tests): the folder of the INI
    // file, or on Windows the registry key below HKEY_CURRENT_USER that holds
    // `key` (for example "Software\\KX52Tests\\run-1"). Empty means the
    // user's configuration folder, or HKEY_CURRENT_USER itself.
    explicit SettingsStore(const std::string& key = "OrbKX52", const std::string& folder = {});
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // The stored value, or `def` when the section or value is missing or its
    // text is not a decimal integer. Raises "Invalid data type for '<name>'"
    // when the value is not plain text.
    std::int32_t LoadInt(const std::string& section, const std::string& name, std::int32_t def);
    // Writes the value at once. Raises "Failed to create key <section>" or
    // "Failed to set data for '<name>'" when that fails.
    void StoreInt(const std::string& section, const std::string& name, std::int32_t value);

    // Told of every value written, in the order written (the program's
    // shutdown order is part of its behaviour; tests watch it here).
    std::function<void(const std::string& section, const std::string& name, std::int32_t value)> on_store;

    // Notes that the user was told the value cannot be read. False when that
    // was done before: a damaged value is reported once per run, however
    // many windows read it.
    bool NoteReported(const std::string& section, const std::string& name);

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
    std::set<std::pair<std::string, std::string>> reported_;
};

// Writes several values one after another (a window's settings as it
// closes), going on past a value that cannot be written, so that one failure
// never silently drops the values after it. Finish() raises one error: the
// first failure's text, then "nothing was saved" or the names not saved.
class SettingsWriter {
public:
    explicit SettingsWriter(SettingsStore& store) : store_(store) {}
    void Store(const std::string& section, const std::string& name, std::int32_t value);
    void Finish();

private:
    SettingsStore& store_;
    std::string first_error_;
    std::vector<std::string> not_saved_;
    int attempted_ = 0;
};
