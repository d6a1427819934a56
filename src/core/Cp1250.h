#pragma once
// Texts that come from the instrument (its type, its version, the
// identification of another family's device) are in Windows-1250, the
// instrument's code page. This turns them into UTF-8 for the windows.
#include <string>
#include <string_view>

// Decodes `text` byte by byte. The five bytes that Windows-1250 leaves
// unassigned (0x81, 0x83, 0x88, 0x90, 0x98) become the control characters of
// the same number, as Windows itself decodes them, so no byte is lost.
std::string Cp1250ToUtf8(std::string_view text);
