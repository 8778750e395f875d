#pragma once

#include "platform/LoginItem.h"

namespace vellicord {

// Launch at login as an XDG autostart entry: $XDG_CONFIG_HOME/autostart/vellicord.desktop.
class XdgAutostart final : public LoginItem {
public:
    // configHome: empty means $XDG_CONFIG_HOME, else ~/.config. program: the executable to start.
    XdgAutostart(QString configHome, QString program);

    Status status() const override;
    std::optional<QString> registerItem() override;
    std::optional<QString> unregisterItem() override;

    QString entryPath() const;
    // The Exec value for a program path, quoted and escaped by the desktop-entry rules.
    static QString execValue(const QString& program);
    // The whole entry file.
    static QByteArray entry(const QString& program);

private:
    QString configHome_;
    QString program_;
};

} // namespace vellicord
