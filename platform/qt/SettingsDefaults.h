#pragma once

#include "platform/Defaults.h"

#include <QSettings>

namespace vellicord {

// A defaults domain kept as an INI file: the domain D is the file D.ini in the configuration
// folder ($XDG_CONFIG_HOME, else ~/.config). Other applications' domains are read from the same
// folder.
class SettingsDefaults : public Defaults {
public:
    // The folder is the standard configuration folder unless one is given.
    explicit SettingsDefaults(const QString& domain, const QString& folder = {});

    static QString configurationFolder();
    QString fileName() const { return settings_.fileName(); }

    bool boolValue(const QString& key) const override;
    std::optional<QByteArray> dataValue(const QString& key) const override;
    std::optional<QVariant> value(const QString& key) const override;
    void setBool(const QString& key, bool value) override;
    void setDataValue(const QString& key, const QByteArray& value) override;
    void setValue(const QString& key, const QVariant& value) override;
    std::optional<QVariantMap> persistentDomain(const QString& domain) const override;

private:
    QString folder_;
    mutable QSettings settings_;
};

} // namespace vellicord
