// The registry twin of the settings store, in a throwaway key of
// HKEY_CURRENT_USER: what an empty or odd store gives, how values are
// written, and its two errors.
#include "KxError.h"
#include "SettingsStore.h"
#include "TempRegistryKey.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

namespace {

class RegistryStoreTest : public ::testing::Test {
protected:
    // HKEY_CURRENT_USER\<throwaway>\OrbKX52\<section>, relative to HKEY_CURRENT_USER.
    std::string SectionPath(const std::string& section) const { return temp_.Path() + "\\OrbKX52\\" + section; }

    void PutRaw(const std::string& section, const std::string& name, DWORD type, const void* data, DWORD size)
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, SectionPath(section).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueExA(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
        RegCloseKey(key);
    }
    void PutText(const std::string& section, const std::string& name, const std::string& text, DWORD type = REG_SZ)
    {
        PutRaw(section, name, type, text.c_str(), static_cast<DWORD>(text.size() + 1));
    }

    // The value as the registry holds it: its type and its bytes.
    std::pair<DWORD, std::string> GetRaw(const std::string& section, const std::string& name) const
    {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, SectionPath(section).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return {REG_NONE, "(no key)"};
        DWORD type = REG_NONE;
        char data[64] = {};
        DWORD size = sizeof data;
        const LONG rc = RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
        RegCloseKey(key);
        if (rc != ERROR_SUCCESS)
            return {REG_NONE, "(no value)"};
        return {type, std::string(data, size)};
    }

    static std::string ErrorOf(const std::function<void()>& action)
    {
        try {
            action();
        } catch (const KxError& error) {
            return error.what();
        }
        return "(nothing raised)";
    }

    TempRegistryKey temp_;
};

TEST_F(RegistryStoreTest, OpeningCreatesTheKeyAndMissingOrUnreadableValuesGiveDefaults)
{
    SettingsStore store("OrbKX52", temp_.Path());
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, (temp_.Path() + "\\OrbKX52").c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(store.LoadInt("Port", "Cislo", 7), 7); // no section

    const std::vector<std::tuple<std::string, DWORD, std::int32_t>> cases = {
        {"42", REG_SZ, 42},
        {" -17\t", REG_SZ, -17},
        {"+5", REG_SZ, 5},
        {"2147483647", REG_SZ, std::numeric_limits<std::int32_t>::max()},
        {"-2147483648", REG_SZ, std::numeric_limits<std::int32_t>::min()},
        {"2147483648", REG_SZ, -1}, // out of range: the default
        {"12x", REG_SZ, -1},
        {"0x10", REG_SZ, -1},
        {"", REG_SZ, -1},
        {"-", REG_SZ, -1},
        {"1 2", REG_SZ, -1},
        {"33", REG_EXPAND_SZ, 33}, // still text
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto& [text, type, expected] = cases[i];
        const std::string name = "V" + std::to_string(i);
        PutText("Graf", name, text, type);
        EXPECT_EQ(store.LoadInt("Graf", name, -1), expected) << "'" << text << "'";
    }
    EXPECT_EQ(store.LoadInt("Graf", "Chybi", 3), 3); // section there, value not
}

TEST_F(RegistryStoreTest, ValuesAreWrittenAsDecimalTextOfTypeRegSz)
{
    SettingsStore store("OrbKX52", temp_.Path());
    for (const std::int32_t value :
         {0, -1, 65280, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()}) {
        store.StoreInt("Graf", "Barva", value);
        const std::string text = std::to_string(value);
        EXPECT_EQ(GetRaw("Graf", "Barva"), std::make_pair(DWORD{REG_SZ}, text + '\0')) << value;
        EXPECT_EQ(store.LoadInt("Graf", "Barva", 1), value);
    }
}

TEST_F(RegistryStoreTest, AValueThatIsNotTextRaisesTheDataTypeError)
{
    SettingsStore store("OrbKX52", temp_.Path());
    const DWORD dword = 9600;
    PutRaw("Port", "Rychlost", REG_DWORD, &dword, sizeof dword);
    const std::uint64_t qword = 1;
    PutRaw("Port", "Adresa", REG_QWORD, &qword, sizeof qword);
    const char bytes[] = {'1', '2'};
    PutRaw("Port", "Cislo", REG_BINARY, bytes, sizeof bytes);
    const char multi[] = "1\0\0";
    PutRaw("Port", "Seznam", REG_MULTI_SZ, multi, sizeof multi);
    for (const char* name : {"Rychlost", "Adresa", "Cislo", "Seznam"})
        EXPECT_EQ(ErrorOf([&] { store.LoadInt("Port", name, 0); }),
                  std::string("Invalid data type for '") + name + "'");
    // The value is left as it was, and writing replaces it with text.
    EXPECT_EQ(GetRaw("Port", "Rychlost").first, DWORD{REG_DWORD});
    store.StoreInt("Port", "Rychlost", 19200);
    EXPECT_EQ(store.LoadInt("Port", "Rychlost", 0), 19200);
}

TEST_F(RegistryStoreTest, EveryWriteIsInTheRegistryWhenItReturnsInTheOrderWritten)
{
    SettingsStore store("OrbKX52", temp_.Path());
    std::vector<std::string> told;
    store.on_store = [&](const std::string& section, const std::string& name, std::int32_t value) {
        told.push_back(section + "/" + name + "=" + std::to_string(value));
        // Already there for anyone reading the registry meanwhile.
        EXPECT_EQ(GetRaw(section, name).second, std::to_string(value) + '\0');
    };
    store.StoreInt("Port", "Cislo", 3);
    store.StoreInt("Graf", "Barva", 255);
    store.StoreInt("Port", "Cislo", 4);
    EXPECT_EQ(told, (std::vector<std::string>{"Port/Cislo=3", "Graf/Barva=255", "Port/Cislo=4"}));

    // A second store of the same key, open at the same time, reads it all.
    SettingsStore other("OrbKX52", temp_.Path());
    EXPECT_EQ(other.LoadInt("Port", "Cislo", 0), 4);
    other.StoreInt("Graf", "Barva", 1);
    EXPECT_EQ(store.LoadInt("Graf", "Barva", 0), 1);
}

TEST_F(RegistryStoreTest, AKeyRemovedUnderTheStoreGivesDefaultsAndTheCreateKeyError)
{
    SettingsStore store("OrbKX52", temp_.Path());
    store.StoreInt("Port", "Cislo", 3);
    ASSERT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, temp_.Path().c_str()), ERROR_SUCCESS);
    EXPECT_EQ(store.LoadInt("Port", "Cislo", 9), 9);
    EXPECT_EQ(ErrorOf([&] { store.StoreInt("Port", "Cislo", 4); }), "Failed to create key Port");
}

} // namespace
