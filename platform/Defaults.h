#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <optional>

namespace vellicord {

// The user's preferences of one application (a defaults domain), and read access to those of
// other applications.
//
// This header is an interface only (QtCore, no implementation), so the core can be handed
// defaults without linking the platform layer.
class Defaults {
public:
    virtual ~Defaults() = default;

    // An absent key, or one that holds no Bool, reads as false.
    virtual bool boolValue(const QString& key) const = 0;
    // An absent key, or one holding a value of another type, reads as none.
    virtual std::optional<QByteArray> dataValue(const QString& key) const = 0;
    // Whatever the key holds; none when it is not set.
    virtual std::optional<QVariant> value(const QString& key) const = 0;

    virtual void setBool(const QString& key, bool value) = 0;
    virtual void setDataValue(const QString& key, const QByteArray& value) = 0;
    virtual void setValue(const QString& key, const QVariant& value) = 0;

    // Every key of another application's domain; none when that domain does not exist.
    virtual std::optional<QVariantMap> persistentDomain(const QString& domain) const = 0;
};

} // namespace vellicord
