// The program file's version read from wherever the file lies: a copy of
// this test program (which carries kx52.exe's version resource) is started
// from folders whose names have letters outside the system's ANSI code page,
// and reports through its exit code what it read.
#include "FileVersion.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

// Exit codes of the copy.
constexpr DWORD kVersionRead = 0;
constexpr DWORD kNoVersion = 10;
constexpr DWORD kOtherVersion = 11;
constexpr DWORD kNotStartedFromThere = 12;

constexpr const char* kReportFlag = "--report-own-version";

// Run in the copy: is the version its own, and was it started from the
// folder whose last name the parent passes on?
DWORD ReportOwnVersion()
{
    const wchar_t* expected_folder = _wgetenv(L"KX52_VERSION_FOLDER");
    wchar_t path[MAX_PATH * 4] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    if (expected_folder == nullptr || std::wcsstr(path, expected_folder) == nullptr)
        return kNotStartedFromThere;
    const std::optional<std::string> version = ProgramFileVersion();
    if (!version)
        return kNoVersion;
    return *version == KX52_VERSION ? kVersionRead : kOtherVersion;
}

std::wstring OwnPath()
{
    wchar_t path[MAX_PATH * 4] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    return path;
}

// Copies this program into BASE\relative (creating the folders), starts the
// copy and gives its exit code; removes the copy and the folders again.
DWORD RunCopyIn(const std::wstring& base, const std::wstring& relative, const std::wstring& last_folder)
{
    std::wstring folder = base;
    std::vector<std::wstring> made{base};
    CreateDirectoryW(base.c_str(), nullptr);
    std::size_t start = 0;
    while (start < relative.size()) {
        const std::size_t end = std::min(relative.find(L'\\', start), relative.size());
        folder += L"\\" + relative.substr(start, end - start);
        CreateDirectoryW(folder.c_str(), nullptr);
        made.push_back(folder);
        start = end + 1;
    }
    const std::wstring copy = folder + L"\\kx52-version.exe";
    DWORD code = 0xFFFFFFFF;
    SetEnvironmentVariableW(L"KX52_VERSION_FOLDER", last_folder.c_str());
    if (CopyFileW(OwnPath().c_str(), copy.c_str(), FALSE)) {
        std::wstring command = L"\"" + copy + L"\" --report-own-version";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (CreateProcessW(copy.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                           &process)) {
            WaitForSingleObject(process.hProcess, 60000);
            GetExitCodeProcess(process.hProcess, &code);
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
        DeleteFileW(copy.c_str());
    }
    for (auto it = made.rbegin(); it != made.rend(); ++it)
        RemoveDirectoryW(it->c_str());
    return code;
}

TEST(FileVersion, ReadFromAnyFolder)
{
    // This file itself, in the build folder.
    EXPECT_EQ(ProgramFileVersion(), std::optional<std::string>(KX52_VERSION));

    wchar_t temp[MAX_PATH + 1] = {};
    ASSERT_NE(GetTempPathW(MAX_PATH + 1, temp), 0u);
    const std::wstring base = std::wstring(temp) + L"kx52-version-" + std::to_wstring(GetCurrentProcessId());

    struct Case {
        const char* name;
        std::wstring relative;
        std::wstring last_folder;
    };
    const Case cases[] = {
        {"plain folder", L"KX52", L"KX52"},
        // "Měření přístroje\KX 52 čeština": ě, ř and č are outside Western
        // European code page 1252, all of them outside 437.
        {"Czech folder names", L"M\u011b\u0159en\u00ed p\u0159\u00edstroje\\KX 52 \u010de\u0161tina",
         L"KX 52 \u010de\u0161tina"},
        // A user name such as "Jiří" in the profile path.
        {"user folder", L"Users\\Ji\u0159\u00ed\\Plocha", L"Ji\u0159\u00ed\\Plocha"},
        // Letters of no European code page at all.
        {"Greek and Cyrillic", L"\u039c\u03ad\u03c4\u03c1\u03b7\u03c3\u03b7 \u0418\u0437\u043c\u0435\u0440",
         L"\u039c\u03ad\u03c4\u03c1\u03b7\u03c3\u03b7"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + ", ANSI code page " + std::to_string(GetACP()));
        EXPECT_EQ(RunCopyIn(base, c.relative, c.last_folder), kVersionRead)
            << kNoVersion << ": no version, " << kOtherVersion << ": another version, " << kNotStartedFromThere
            << ": not started from that folder";
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], kReportFlag) == 0)
        return static_cast<int>(ReportOwnVersion());
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
