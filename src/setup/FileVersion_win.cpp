#include "FileVersion.h"

#include <windows.h>

#include <string>
#include <vector>

namespace {

// The full path of the running program, or an empty text. The wide function
// gives every letter of the path; the ANSI one turns letters outside the
// system's code page (a folder "Měření" on a Western European Windows, a user
// name "Jiří" on an English one) into "?", and that path names no file.
std::wstring ProgramPath()
{
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size())
            return std::wstring(path.data(), length);
        // Cut short: a longer path (up to the 32767 characters of a long
        // path) needs a larger buffer.
        if (path.size() >= 32768)
            return {};
        path.resize(path.size() * 2);
    }
}

std::string Utf8(const wchar_t* text, int length)
{
    if (length <= 0)
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text, length, result.data(), size, nullptr, nullptr);
    return result;
}

} // namespace

std::optional<std::string> ProgramFileVersion()
{
    const std::wstring path = ProgramPath();
    if (path.empty())
        return std::nullopt;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0)
        return std::nullopt;
    std::vector<char> block(size + 1);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data()))
        return std::nullopt;
    void* value = nullptr;
    UINT value_length = 0;
    if (!VerQueryValueW(block.data(), L"\\StringFileInfo\\040504E2\\FileVersion", &value, &value_length) ||
        value == nullptr)
        return std::nullopt;
    // The length counts characters including the terminating zero; the value
    // never reaches past the block.
    const wchar_t* text = static_cast<const wchar_t*>(value);
    const std::size_t length = wcsnlen(text, value_length);
    return Utf8(text, static_cast<int>(length));
}
