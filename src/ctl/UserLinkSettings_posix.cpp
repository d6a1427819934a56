#include "UserLinkSettings.h"

#include "ConfigDir.h"

#include <fstream>
#include <iterator>
#include <string>

UserLinkSettings LoadUserLinkSettings()
{
    std::ifstream file(UserConfigDir() + "/OrbKX52.ini", std::ios::binary);
    if (!file)
        return {};
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    return LinkSettingsFromIni(text);
}
