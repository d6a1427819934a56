#pragma once
#include <string>

// The per-user configuration folder: $XDG_CONFIG_HOME, by default ~/.config
// (on Windows: %APPDATA%). Settings and the COM port links live below it.
std::string UserConfigDir();
