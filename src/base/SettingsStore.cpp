#include "SettingsStore.h"

#include "KxError.h"

#include <cerrno>
#include <cstdlib>
#include <limits>

bool ParseInt32(const std::string& text, std::int32_t& value)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t'))
        ++begin;
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t'))
        --end;
    if (begin == end)
        return false;
    std::size_t i = begin;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') {
        negative = text[i] == '-';
        ++i;
    }
    if (i == end)
        return false;
    std::int64_t magnitude = 0;
    for (; i < end; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return false;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1)
            return false;
    }
    const std::int64_t signed_value = negative ? -magnitude : magnitude;
    if (signed_value > std::numeric_limits<std::int32_t>::max() ||
        signed_value < std::numeric_limits<std::int32_t>::min())
        return false;
    value = static_cast<std::int32_t>(signed_value);
    return true;
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
