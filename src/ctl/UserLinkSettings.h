#pragma once
// The link settings the window program keeps for its user, read only: the
// port ("PORT" "COM"), the speed ("PORT" "BAUDRATE"), the instrument's
// address ("ADRESA" "DA") and the program's own ("ADRESA" "SA"). On Windows
// they are under HKEY_CURRENT_USER\OrbKX52, elsewhere in the INI file
// <config>/OrbKX52.ini. Nothing is ever written.
#include <cstdint>
#include <string>
#include <string_view>

struct UserLinkSettings {
    std::int32_t com = 1;
    std::int32_t baud = 9600;
    std::int32_t dest = 0;
    std::int32_t source = 0;
};

// The settings in the text of an INI file. A value that is missing, not plain
// text or not a whole number keeps its default.
UserLinkSettings LinkSettingsFromIni(std::string_view text);

// A stored setting's text as a whole number: blanks around it, an optional
// sign, decimal digits, within a signed 32-bit integer.
bool ParseSettingInt(std::string_view text, std::int32_t& value);

// The current user's settings (defaults where there are none). `location`
// stands in for where they live (tests): the folder of OrbKX52.ini, or on
// Windows the key below HKEY_CURRENT_USER that holds OrbKX52. Empty means the
// user's configuration folder, or HKEY_CURRENT_USER itself.
UserLinkSettings LoadUserLinkSettings(const std::string& location = {});
