#include "platform/qt/SettingsDefaults.h"

#include <QDir>
#include <QFileInfo>

namespace vellicord {

namespace {

QString domainFile(const QString& folder, const QString& domain)
{
    return folder + QLatin1Char('/') + domain + QStringLiteral(".ini");
}

// Keys may hold dots and slashes (reverse-DNS names, "Vellicord.collectIntoActiveDraft"); QSettings
// reads a slash as a group separator, which is fine as long as reading and writing agree.
} // namespace

SettingsDefaults::SettingsDefaults(const QString& domain, const QString& folder)
    : folder_(folder.isEmpty() ? configurationFolder() : folder)
    , settings_(domainFile(folder_, domain), QSettings::IniFormat)
{
}

QString SettingsDefaults::configurationFolder()
{
    const QString value = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return QDir::homePath() + QStringLiteral("/.config");
}

bool SettingsDefaults::boolValue(const QString& key) const
{
    const QVariant stored = settings_.value(key);
    // INI files hold text: a Bool comes back as "true" or "false".
    if (stored.typeId() == QMetaType::Bool)
        return stored.toBool();
    if (stored.typeId() == QMetaType::QString) {
        const QString text = stored.toString();
        return text == QLatin1String("true") || text == QLatin1String("1");
    }
    if (stored.canConvert<qlonglong>() && stored.typeId() != QMetaType::QByteArray)
        return stored.toLongLong() != 0;
    return false;
}

std::optional<QByteArray> SettingsDefaults::dataValue(const QString& key) const
{
    const QVariant stored = settings_.value(key);
    if (stored.typeId() != QMetaType::QByteArray)
        return std::nullopt;
    return stored.toByteArray();
}

std::optional<QVariant> SettingsDefaults::value(const QString& key) const
{
    if (!settings_.contains(key))
        return std::nullopt;
    return settings_.value(key);
}

void SettingsDefaults::setBool(const QString& key, bool value)
{
    settings_.setValue(key, value);
    settings_.sync();
}

void SettingsDefaults::setDataValue(const QString& key, const QByteArray& value)
{
    settings_.setValue(key, value);
    settings_.sync();
}

void SettingsDefaults::setValue(const QString& key, const QVariant& value)
{
    settings_.setValue(key, value);
    settings_.sync();
}

std::optional<QVariantMap> SettingsDefaults::persistentDomain(const QString& domain) const
{
    const QString file = domainFile(folder_, domain);
    if (!QFileInfo(file).isFile())
        return std::nullopt;
    QSettings other(file, QSettings::IniFormat);
    QVariantMap values;
    for (const QString& key : other.allKeys())
        values.insert(key, other.value(key));
    return values;
}

} // namespace vellicord
