#pragma once

#include "platform/Defaults.h"

#include <QHash>

namespace vellicord {

// Defaults held in memory, with the values typed as they were set; other applications' domains
// are whatever the test puts into `domains`.
class MemoryDefaults : public Defaults {
public:
    bool boolValue(const QString& key) const override;
    std::optional<QByteArray> dataValue(const QString& key) const override;
    std::optional<QVariant> value(const QString& key) const override;
    void setBool(const QString& key, bool value) override;
    void setDataValue(const QString& key, const QByteArray& value) override;
    void setValue(const QString& key, const QVariant& value) override;
    std::optional<QVariantMap> persistentDomain(const QString& domain) const override;

    QVariantMap values;
    QHash<QString, QVariantMap> domains;
};

} // namespace vellicord
