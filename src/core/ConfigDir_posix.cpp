#include "ConfigDir.h"

#include <cstdlib>

#include <pwd.h>
#include <unistd.h>

std::string UserConfigDir()
{
    // A relative XDG_CONFIG_HOME is to be ignored, like an unset one.
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') {
        return xdg;
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') {
        return std::string(home) + "/.config";
    }
    // No HOME in the environment (started by a service): the account's own
    // home folder.
    if (const passwd* account = ::getpwuid(::getuid()); account != nullptr && account->pw_dir != nullptr) {
        return std::string(account->pw_dir) + "/.config";
    }
    return ".config";
}
