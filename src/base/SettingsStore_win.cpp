// The settings store on Windows: HKEY_CURRENT_USER\<key>\<section> (tests:
// HKEY_CURRENT_USER\<folder>\<key>\<section>), every value a REG_SZ holding
// its decimal text. Plain Win32, no Qt.
#include "SettingsStore.h"

#include "DecimalParse.h"
#include "KxError.h"

#include <windows.h>

#include <string>
#include <vector>

struct SettingsStore::Impl {
    HKEY root = nullptr;
    std::string key;
};

SettingsStore::SettingsStore(const std::string& key, const std::string& folder) : impl_(std::make_unique<Impl>())
{
    // Tests give a throwaway key to hold the program key, so they never
    // reach the user's own HKEY_CURRENT_USER\<key>.
    impl_->key = folder.empty() ? key : folder + "\\" + key;
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, impl_->key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &impl_->root, &disposition) != ERROR_SUCCESS)
        impl_->root = nullptr;
}

SettingsStore::~SettingsStore()
{
    if (impl_->root != nullptr)
        RegCloseKey(impl_->root);
}

std::int32_t SettingsStore::LoadInt(const std::string& section, const std::string& name, std::int32_t def)
{
    if (impl_->root == nullptr)
        return def;
    HKEY sub = nullptr;
    if (RegOpenKeyExA(impl_->root, section.c_str(), 0, KEY_READ, &sub) != ERROR_SUCCESS)
        return def;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(sub, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
        RegCloseKey(sub);
        return def;
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        RegCloseKey(sub);
        throw KxError("Invalid data type for '" + name + "'");
    }
    std::vector<char> text(size + 1, '\0');
    DWORD got = size;
    const LONG rc = RegQueryValueExA(sub, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &got);
    RegCloseKey(sub);
    if (rc != ERROR_SUCCESS)
        return def;
    std::int32_t number = 0;
    if (!ParseInt32(std::string(text.data()), number))
        return def;
    return number;
}

void SettingsStore::StoreInt(const std::string& section, const std::string& name, std::int32_t value)
{
    HKEY sub = nullptr;
    DWORD disposition = 0;
    if (impl_->root == nullptr || RegCreateKeyExA(impl_->root, section.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                                  KEY_ALL_ACCESS, nullptr, &sub, &disposition) != ERROR_SUCCESS)
        throw KxError("Failed to create key " + section);
    const std::string text = std::to_string(value);
    const LONG rc = RegSetValueExA(sub, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                   static_cast<DWORD>(text.size() + 1));
    RegCloseKey(sub);
    if (rc != ERROR_SUCCESS)
        throw KxError("Failed to set data for '" + name + "'");
    if (on_store)
        on_store(section, name, value);
}
