#include "ConfigDir.h"

#include <windows.h>

std::string UserConfigDir()
{
    // %APPDATA%, the user's roaming application data folder.
    char buffer[MAX_PATH];
    const DWORD length = ::GetEnvironmentVariableA("APPDATA", buffer, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        return std::string(buffer, length);
    }
    return ".";
}
