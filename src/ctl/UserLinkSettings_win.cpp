#include "UserLinkSettings.h"

#include <windows.h>

#include <string>

namespace {

// One value of HKEY_CURRENT_USER\OrbKX52\<section>, read only; a value that
// is missing, not a string or not a whole number leaves `target` alone.
void LoadValue(const char* section, const char* name, std::int32_t& target)
{
    const std::string path = std::string("OrbKX52\\") + section;
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

UserLinkSettings LoadUserLinkSettings()
{
    UserLinkSettings s;
    LoadValue("PORT", "COM", s.com);
    LoadValue("PORT", "BAUDRATE", s.baud);
    LoadValue("ADRESA", "DA", s.dest);
    LoadValue("ADRESA", "SA", s.source);
    return s;
}
