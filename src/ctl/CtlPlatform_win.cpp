#include "CtlPlatform.h"

#include <windows.h>

#include <cstdio>
#include <io.h>

std::string LastSystemError()
{
    const DWORD code = ::GetLastError();
    char buffer[512] = {};
    const DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                     buffer, sizeof buffer, nullptr);
    std::string text(buffer, n);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.'))
        text.pop_back();
    if (text.empty())
        text = "chyba systému " + std::to_string(code);
    return text;
}

bool StderrIsTerminal()
{
    return ::_isatty(::_fileno(stderr)) != 0;
}

void BreakDownTime(std::time_t t, std::tm& local, std::tm& utc)
{
    localtime_s(&local, &t);
    gmtime_s(&utc, &t);
}
