#include "UserLinkSettings.h"

#include <windows.h>

#include <string>

namespace {

// One value of HKEY_CURRENT_USER\OrbKX52\<section>, read only; a value that
// is missing, not a string or not a whole number leaves `target` alone.
void LoadValue(const std::string& key_path, const char* section, const char* name, std::int32_t& target)
{
    const std::string path = key_path + "\\" + section;
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return;
    char buffer[64] = {};
    DWORD type = 0;
    DWORD size = sizeof buffer - 1;
    const LONG rc = ::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    ::RegCloseKey(key);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return;
    std::string_view text(buffer, size);
    while (!text.empty() && text.back() == '\0')
        text.remove_suffix(1);
    ParseSettingInt(text, target);
}

} // namespace

UserLinkSettings LoadUserLinkSettings(const std::string& location)
{
    const std::string key_path = location.empty() ? std::string("OrbKX52") : location + "\\OrbKX52";
    UserLinkSettings s;
    LoadValue(key_path, "PORT", "COM", s.com);
    LoadValue(key_path, "PORT", "BAUDRATE", s.baud);
    LoadValue(key_path, "ADRESA", "DA", s.dest);
    LoadValue(key_path, "ADRESA", "SA", s.source);
    return s;
}
