#include "SettingsStore.h"

#include "KxError.h"

bool SettingsStore::NoteReported(const std::string& section, const std::string& name)
{
    return reported_.emplace(section, name).second;
}

void SettingsWriter::Store(const std::string& section, const std::string& name, std::int32_t value)
{
    ++attempted_;
    try {
        store_.StoreInt(section, name, value);
    } catch (const KxError& error) {
        if (first_error_.empty())
            first_error_ = error.what();
        not_saved_.push_back(name);
    }
}

void SettingsWriter::Finish()
{
    if (not_saved_.empty())
        return;
    std::string message = first_error_;
    if (static_cast<int>(not_saved_.size()) == attempted_) {
        message += "; nothing was saved";
    } else {
        message += "; not saved:";
        for (std::size_t i = 0; i < not_saved_.size(); ++i)
            message += (i == 0 ? " " : ", ") + not_saved_[i];
    }
    not_saved_.clear();
    attempted_ = 0;
    throw KxError(message);
}
