#include "UserLinkSettings.h"

#include "ConfigDir.h"

#include <fstream>
#include <iterator>
#include <string>

UserLinkSettings LoadUserLinkSettings(const std::string& location)
{
    std::ifstream file((location.empty() ? UserConfigDir() : location) + "/OrbKX52.ini", std::ios::binary);
    if (!file)
        return {};
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    return LinkSettingsFromIni(text);
}
