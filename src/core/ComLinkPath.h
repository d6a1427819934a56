#pragma once
// Where "COM n" is looked up on systems without COM names of their own: the
// link <config>/OrbKX52/COMn, normally a symbolic link to the real device.
// The program resolves ports through it and the simulated instrument makes
// its pseudo-terminal reachable through it, so both use this one rule.
#include <string>

// `config_dir`/OrbKX52/COM`n`; an empty `config_dir` means UserConfigDir().
std::string ComLinkPath(int n, const std::string& config_dir = {});
