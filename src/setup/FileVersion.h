#pragma once
// The version of the program's own file. On Windows it is the FileVersion
// value of the file's version resource, string table "040504E2" (Czech, code
// page 1250); elsewhere, where program files carry no version resource, it is
// the version the program was built as.
#include <optional>
#include <string>

// No value when the file has no version resource, it cannot be read, or the
// string table holds no FileVersion.
std::optional<std::string> ProgramFileVersion();
