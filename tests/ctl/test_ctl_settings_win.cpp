// The registry twin of kx52ctl's settings, on a throwaway key: the values
// the window program stores as text are taken, anything else keeps its
// default, and nothing is written.
#include "TempRegistryKey.h"
#include "UserLinkSettings.h"

#include <gtest/gtest.h>

namespace {

void PutString(const std::string& key, const char* name, const char* text)
{
    ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, key.c_str(), name, REG_SZ, text, static_cast<DWORD>(strlen(text) + 1)),
              ERROR_SUCCESS);
}

} // namespace

TEST(UserLinkSettingsRegistry, TextValuesAreTakenOthersKeepTheirDefaults)
{
    TempRegistryKey temp;
    EXPECT_EQ(LoadUserLinkSettings(temp.Path()).baud, 9600); // no key at all

    const std::string root = temp.Path() + "\\OrbKX52";
    PutString(root + "\\PORT", "COM", "5");
    const DWORD number = 19200;
    ASSERT_EQ(
        RegSetKeyValueA(HKEY_CURRENT_USER, (root + "\\PORT").c_str(), "BAUDRATE", REG_DWORD, &number, sizeof number),
        ERROR_SUCCESS);
    PutString(root + "\\ADRESA", "DA", " 21 ");
    PutString(root + "\\ADRESA", "SA", "x");

    const UserLinkSettings s = LoadUserLinkSettings(temp.Path());
    EXPECT_EQ(s.com, 5);
    EXPECT_EQ(s.baud, 9600); // a number type is not the program's text
    EXPECT_EQ(s.dest, 21);
    EXPECT_EQ(s.source, 0);
}
