#include "UserLinkSettings.h"

#include "IniText.h"

#include <charconv>
#include <string>

bool ParseSettingInt(std::string_view text, std::int32_t& value)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    std::int32_t v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return false;
    value = v;
    return true;
}

UserLinkSettings LinkSettingsFromIni(std::string_view text)
{
    const IniDocument doc = ParseIni(text);
    UserLinkSettings s;
    auto load = [&doc](const char* section, const char* name, std::int32_t& target) {
        const std::string* value = doc.Find(section, name);
        if (value != nullptr && IniValueIsPlainText(*value))
            ParseSettingInt(IniUnquote(*value), target);
    };
    load("PORT", "COM", s.com);
    load("PORT", "BAUDRATE", s.baud);
    load("ADRESA", "DA", s.dest);
    load("ADRESA", "SA", s.source);
    return s;
}
