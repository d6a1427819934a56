#include "SettingsReader.h"

#include "ErrorBoundary.h"
#include "KxError.h"

#include <QString>

std::int32_t SettingsReader::Load(const std::string& section, const std::string& name, std::int32_t def)
{
    try {
        return store_.LoadInt(section, name, def);
    } catch (const KxError& error) {
        unread_.push_back(Unread{section, name, error.what()});
        return def;
    }
}

void SettingsReader::Finish()
{
    std::vector<Unread> unread;
    unread.swap(unread_);
    for (const Unread& u : unread) {
        if (store_.NoteReported(u.section, u.name))
            ShowHandlerError(QString::fromStdString(u.message));
    }
}
