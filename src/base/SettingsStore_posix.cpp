// The settings store away from Windows: the INI file <config>/<key>.ini,
// one INI section per section, values as decimal text.
//
// Every read takes the file as it is on disk (another running copy of the
// program may have written meanwhile) and reads what it can of a damaged
// file. Every write reads the file, sets the one value and replaces the file
// whole through a temporary file, so a damaged file is rewritten in plain
// form with every value that could be read, and a failure part way never
// leaves a half-written file. A file that exists but cannot be read is never
// replaced: that would lose the values it holds.
#include "SettingsStore.h"

#include "ConfigDir.h"
#include "DecimalParse.h"
#include "IniText.h"
#include "KxError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QString>

#include <optional>
#include <string>
#include <utility>

struct SettingsStore::Impl {
    QString path;

    // The file's text; empty when there is no file; nullopt when a file (or
    // something else) is there but cannot be read.
    std::optional<std::string> ReadText() const
    {
        QFile file(path);
        if (!file.exists())
            return std::string();
        if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly))
            return std::nullopt;
        const QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            return std::nullopt;
        return bytes.toStdString();
    }

    // The document of `text`, parsed again only when the text differs from
    // the last one: a file of many values is then parsed once for all the
    // reads of a program start instead of once per read.
    const IniDocument& Parsed(const std::string& text)
    {
        if (!parsed_ || text != parsed_text_) {
            parsed_doc_ = ParseIni(text);
            parsed_text_ = text;
            parsed_ = true;
        }
        return parsed_doc_;
    }
    // The same, handed over to be changed; Keep() gives it back with the
    // text it was written as.
    IniDocument TakeParsed(const std::string& text)
    {
        Parsed(text);
        parsed_ = false;
        return std::move(parsed_doc_);
    }
    void Keep(std::string text, IniDocument doc)
    {
        parsed_text_ = std::move(text);
        parsed_doc_ = std::move(doc);
        parsed_ = true;
    }

private:
    bool parsed_ = false;
    std::string parsed_text_;
    IniDocument parsed_doc_;
};

SettingsStore::SettingsStore(const std::string& key, const std::string& folder) : impl_(std::make_unique<Impl>())
{
    const QString dir = folder.empty() ? QString::fromStdString(UserConfigDir()) : QString::fromStdString(folder);
    impl_->path = QDir(dir).filePath(QString::fromStdString(key) + QStringLiteral(".ini"));
    // The store exists from the first start on, empty until something is
    // written. A folder or file that cannot be made now shows up as an error
    // of the first write.
    QDir().mkpath(dir);
    if (!QFileInfo::exists(impl_->path)) {
        QFile file(impl_->path);
        if (file.open(QIODevice::WriteOnly))
            file.close();
    }
}

SettingsStore::~SettingsStore() = default;

std::int32_t SettingsStore::LoadInt(const std::string& section, const std::string& name, std::int32_t def)
{
    const std::optional<std::string> text = impl_->ReadText();
    if (!text)
        return def;
    const std::string* value = impl_->Parsed(*text).Find(section, name);
    if (value == nullptr)
        return def;
    // A list ("1, 2") or a typed value is the analogue of a registry value
    // of the wrong type.
    if (!IniValueIsPlainText(*value))
        throw KxError("Invalid data type for '" + name + "'");
    std::int32_t number = 0;
    if (!ParseInt32(IniUnquote(*value), number))
        return def;
    return number;
}

void SettingsStore::StoreInt(const std::string& section, const std::string& name, std::int32_t value)
{
    const QFileInfo info(impl_->path);
    if (!QDir().mkpath(info.absolutePath()))
        throw KxError("Failed to create key " + section);
    const std::optional<std::string> text = impl_->ReadText();
    if (!text)
        throw KxError("Failed to set data for '" + name + "'");
    IniDocument doc = impl_->TakeParsed(*text);
    doc.Set(section, name, std::to_string(value));
    std::string out = FormatIni(doc);

    // No writing in place where the folder cannot take the temporary file:
    // a write that failed part way would lose the values already there.
    QSaveFile file(impl_->path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(out.data(), static_cast<qint64>(out.size())) != static_cast<qint64>(out.size()) || !file.commit())
        throw KxError("Failed to set data for '" + name + "'");
    impl_->Keep(std::move(out), std::move(doc));
    if (on_store)
        on_store(section, name, value);
}
