#pragma once
// A configuration folder of the test's own: XDG_CONFIG_HOME points at a new
// temporary folder for the object's lifetime (so that "COM n" links and the
// settings are the test's, never the user's), and is restored afterwards.
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

class TempConfigHome {
public:
    explicit TempConfigHome(const std::string& prefix)
    {
        std::string pattern = "/tmp/" + prefix + "-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
        const char* old = std::getenv("XDG_CONFIG_HOME");
        had_old_ = old != nullptr;
        old_ = old != nullptr ? old : "";
        ::setenv("XDG_CONFIG_HOME", path_.c_str(), 1);
    }
    ~TempConfigHome()
    {
        if (had_old_)
            ::setenv("XDG_CONFIG_HOME", old_.c_str(), 1);
        else
            ::unsetenv("XDG_CONFIG_HOME");
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempConfigHome(const TempConfigHome&) = delete;
    TempConfigHome& operator=(const TempConfigHome&) = delete;

    const std::string& Path() const { return path_; }

private:
    std::string path_;
    bool had_old_ = false;
    std::string old_;
};
