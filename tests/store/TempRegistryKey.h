#pragma once
// A throwaway registry key below HKEY_CURRENT_USER\Software\KX52Tests, unique
// to the process and the object, removed with everything in it at the end.
// Tests give its path to SettingsStore as the store's folder, so they never
// reach the user's own HKEY_CURRENT_USER\OrbKX52.
#include <windows.h>

#include <atomic>
#include <string>

class TempRegistryKey {
public:
    TempRegistryKey()
    {
        static std::atomic<int> counter{0};
        path_ = std::string(kParent) + "\\" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++) +
                "-" + std::to_string(GetTickCount64());
    }
    ~TempRegistryKey()
    {
        RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
        // The parent goes too once no other run holds keys in it.
        RegDeleteKeyA(HKEY_CURRENT_USER, kParent);
    }
    TempRegistryKey(const TempRegistryKey&) = delete;
    TempRegistryKey& operator=(const TempRegistryKey&) = delete;

    // Relative to HKEY_CURRENT_USER.
    const std::string& Path() const { return path_; }

private:
    static constexpr const char* kParent = "Software\\KX52Tests";
    std::string path_;
};
