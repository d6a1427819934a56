#include "FileVersion.h"

std::optional<std::string> ProgramFileVersion()
{
    return std::string(KX52_VERSION);
}
