#include "CtlPlatform.h"

#include <cerrno>
#include <cstring>

#include <unistd.h>

std::string LastSystemError()
{
    // The port's lock refuses a second opening with EWOULDBLOCK, whose text
    // ("Resource temporarily unavailable") would not say that.
    if (errno == EWOULDBLOCK)
        return "port používá jiný program";
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

void PrepareConsole() {}
