#include "ComLinkPath.h"

#include "ConfigDir.h"

std::string ComLinkPath(int n, const std::string& config_dir)
{
    return (config_dir.empty() ? UserConfigDir() : config_dir) + "/OrbKX52/COM" + std::to_string(n);
}
