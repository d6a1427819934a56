#include "CtlPlatform.h"

#include <windows.h>

#include <cstdio>
#include <io.h>

std::string LastSystemError()
{
    const DWORD code = ::GetLastError();
    // In UTF-8 like every other message, whatever the system's code page.
    wchar_t wide[512] = {};
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, wide,
                                     512, nullptr);
    std::string text;
    if (n > 0) {
        const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
        text.resize(static_cast<std::size_t>(size));
        ::WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(n), text.data(), size, nullptr, nullptr);
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.' || text.back() == ' '))
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

void PrepareConsole()
{
    // The messages are UTF-8; the console shows them so only when told.
    ::SetConsoleOutputCP(CP_UTF8);
}
