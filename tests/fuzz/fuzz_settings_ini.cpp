// The settings store reading a settings file of arbitrary bytes: every value
// the program reads either gives a number or raises the store's error; a
// value that was stored reads back; storing one value never loses another
// that could be read before.
#include "FuzzInput.h"
#include "KxError.h"
#include "SettingsStore.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Key {
    const char* section;
    const char* name;
};
// Every value the program keeps.
constexpr Key kKeys[] = {
    {"DESKTOP", "Left"},  {"DESKTOP", "Top"}, {"DESKTOP", "Height"}, {"DESKTOP", "Width"}, {"GRAF", "PERO"},
    {"GRAF", "MRIZ"},     {"GRAF", "POZADI"}, {"GRAF", "G3D"},       {"GRAF", "R3D"},      {"GRAF", "POCET"},
    {"ZAZNAM", "SOUBOR"}, {"ADRESA", "SA"},   {"ADRESA", "DA"},      {"PORT", "COM"},      {"PORT", "BAUDRATE"},
};
constexpr std::size_t kKeyCount = sizeof kKeys / sizeof kKeys[0];
constexpr std::int32_t kDefault = -77777;

// A folder of its own, in memory where possible: every write of the store
// replaces the file and flushes it to disk.
const std::filesystem::path& Folder()
{
    static const std::filesystem::path folder = [] {
        std::string pattern =
            std::filesystem::is_directory("/dev/shm") ? "/dev/shm/kx52-fuzz-ini-XXXXXX" : "/tmp/kx52-fuzz-ini-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr)
            std::abort();
        return std::filesystem::path(pattern);
    }();
    return folder;
}

struct Read {
    bool raised = false;
    std::int32_t value = 0;
};

Read Load(SettingsStore& store, const Key& key)
{
    Read r;
    try {
        r.value = store.LoadInt(key.section, key.name, kDefault);
    } catch (const KxError&) {
        r.raised = true;
    }
    return r;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput in(data, size);
    const Key& stored_key = kKeys[in.Byte() % kKeyCount];
    const auto stored_value = static_cast<std::int32_t>(in.U32());
    const std::vector<std::uint8_t> file = in.Rest();
    const std::filesystem::path path = Folder() / "OrbKX52.ini";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    }

    SettingsStore store("OrbKX52", Folder().string());
    Read before[kKeyCount];
    for (std::size_t i = 0; i < kKeyCount; ++i)
        before[i] = Load(store, kKeys[i]);

    bool stored = true;
    try {
        store.StoreInt(stored_key.section, stored_key.name, stored_value);
    } catch (const KxError&) {
        stored = false;
    }
    if (!stored)
        return 0;

    // What was stored reads back, from this store and from a fresh one, and
    // every other value that gave a number before gives the same number.
    SettingsStore fresh("OrbKX52", Folder().string());
    for (SettingsStore* s : {&store, &fresh}) {
        for (std::size_t i = 0; i < kKeyCount; ++i) {
            const Read after = Load(*s, kKeys[i]);
            if (&kKeys[i] == &stored_key) {
                FUZZ_CHECK(!after.raised && after.value == stored_value);
            } else if (!before[i].raised && before[i].value != kDefault) {
                FUZZ_CHECK(!after.raised && after.value == before[i].value);
            }
        }
    }
    return 0;
}
