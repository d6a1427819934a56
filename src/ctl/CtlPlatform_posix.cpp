#include "CtlPlatform.h"

#include <cerrno>
#include <cstring>

#include <unistd.h>

std::string LastSystemError()
{
    return std::strerror(errno);
}

bool StderrIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}

void BreakDownTime(std::time_t t, std::tm& local, std::tm& utc)
{
    localtime_r(&t, &local);
    gmtime_r(&t, &utc);
}
