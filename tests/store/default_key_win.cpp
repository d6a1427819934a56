// The store with no folder given: the program's own key
// HKEY_CURRENT_USER\OrbKX52. This one check writes the user's real settings,
// so it is a program of its own, never registered with ctest; the Windows
// test script runs it in a wine prefix made for it and thrown away after.
#include "SettingsStore.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

std::string RawText(const char* path, const char* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "(no key)";
    DWORD type = REG_NONE;
    char data[32] = {};
    DWORD size = sizeof data - 1;
    const LONG rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS && type == REG_SZ ? std::string(data) : "(no text value)";
}

TEST(DefaultSettingsKey, IsOrbKX52BelowTheCurrentUser)
{
    // Only where the caller has said this registry is a throwaway one.
    const char* throwaway = std::getenv("KX52_THROWAWAY_REGISTRY");
    ASSERT_TRUE(throwaway != nullptr && std::string(throwaway) == "1")
        << "writes HKEY_CURRENT_USER\\OrbKX52: run it only in a throwaway wine prefix";
    {
        SettingsStore store;
        EXPECT_EQ(store.LoadInt("Nastaveni", "Adresa", 126), 126);
        store.StoreInt("Nastaveni", "Adresa", 5);
    }
    EXPECT_EQ(RawText("OrbKX52\\Nastaveni", "Adresa"), "5");
    SettingsStore again;
    EXPECT_EQ(again.LoadInt("Nastaveni", "Adresa", 126), 5);
}

} // namespace
