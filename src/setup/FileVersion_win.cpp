#include "FileVersion.h"

#include <windows.h>

#include <cstring>
#include <vector>

std::optional<std::string> ProgramFileVersion()
{
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::nullopt;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
    if (size == 0)
        return std::nullopt;
    std::vector<char> block(size + 1);
    if (!GetFileVersionInfoA(path, 0, size, block.data()))
        return std::nullopt;
    void* value = nullptr;
    UINT value_length = 0;
    if (!VerQueryValueA(block.data(), "\\StringFileInfo\\040504E2\\FileVersion", &value, &value_length) ||
        value == nullptr)
        return std::nullopt;
    // The length counts characters including the terminating zero; the value
    // never reaches past the block.
    const char* text = static_cast<const char*>(value);
    return std::string(text, strnlen(text, value_length));
}
