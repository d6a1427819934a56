// The settings store away from Windows: the INI file <config>/<key>.ini,
// one INI section per section, values as decimal text.
#include "SettingsStore.h"

#include "ConfigDir.h"
#include "KxError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QString>
#include <QVariant>

struct SettingsStore::Impl {
    QString path;
    std::unique_ptr<QSettings> ini;
};

namespace {

QString Key(const std::string& section, const std::string& name)
{
    return QString::fromStdString(section) + QLatin1Char('/') + QString::fromStdString(name);
}

} // namespace

SettingsStore::SettingsStore(const std::string& key, const std::string& folder)
    : impl_(std::make_unique<Impl>())
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
    impl_->ini = std::make_unique<QSettings>(impl_->path, QSettings::IniFormat);
}

SettingsStore::~SettingsStore() = default;

std::int32_t SettingsStore::LoadInt(const std::string& section, const std::string& name, std::int32_t def)
{
    QSettings& ini = *impl_->ini;
    // Pick up what another running copy of the program wrote meanwhile.
    ini.sync();
    const QString key = Key(section, name);
    if (!ini.contains(key))
        return def;
    const QVariant value = ini.value(key);
    // Only plain text is a setting; anything QSettings reads as another type
    // (a list such as "1, 2", a byte array, a variant) is the analogue of a
    // registry value of the wrong type.
    if (value.typeId() != QMetaType::QString)
        throw KxError("Invalid data type for '" + name + "'");
    std::int32_t number = 0;
    if (!ParseInt32(value.toString().toStdString(), number))
        return def;
    return number;
}

void SettingsStore::StoreInt(const std::string& section, const std::string& name, std::int32_t value)
{
    QSettings& ini = *impl_->ini;
    const QFileInfo info(impl_->path);
    if (!QDir().mkpath(info.absolutePath()))
        throw KxError("Failed to create key " + section);
    ini.setValue(Key(section, name), QString::number(value));
    ini.sync();
    if (ini.status() != QSettings::NoError)
        throw KxError("Failed to set data for '" + name + "'");
    if (on_store)
        on_store(section, name, value);
}
