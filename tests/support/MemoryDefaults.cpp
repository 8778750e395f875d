#include "support/MemoryDefaults.h"

namespace vellicord {

bool MemoryDefaults::boolValue(const QString& key) const
{
    const QVariant stored = values.value(key);
    return stored.typeId() == QMetaType::Bool && stored.toBool();
}

std::optional<QByteArray> MemoryDefaults::dataValue(const QString& key) const
{
    const QVariant stored = values.value(key);
    if (stored.typeId() != QMetaType::QByteArray)
        return std::nullopt;
    return stored.toByteArray();
}

std::optional<QVariant> MemoryDefaults::value(const QString& key) const
{
    const auto found = values.constFind(key);
    if (found == values.constEnd())
        return std::nullopt;
    return *found;
}

void MemoryDefaults::setBool(const QString& key, bool value)
{
    values.insert(key, value);
}

void MemoryDefaults::setDataValue(const QString& key, const QByteArray& value)
{
    values.insert(key, value);
}

void MemoryDefaults::setValue(const QString& key, const QVariant& value)
{
    values.insert(key, value);
}

std::optional<QVariantMap> MemoryDefaults::persistentDomain(const QString& domain) const
{
    const auto found = domains.constFind(domain);
    if (found == domains.constEnd())
        return std::nullopt;
    return *found;
}

} // namespace vellicord
