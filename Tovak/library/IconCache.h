#pragma once

#include <QHash>
#include <QIcon>
#include <QMutex>
#include <QString>

#include <optional>

namespace vellicord {

class Desktop;

// The icon of the application a capture came from, found once per application and kept for the
// life of the window, so that scrolling never asks the desktop again. Never fails: an application
// found nowhere gets the quotation symbol, and keeps it.
class IconCache {
public:
    explicit IconCache(Desktop& desktop);

    // By the bundle identifier when there is one (an empty identifier is none), else by the name.
    QIcon icon(const std::optional<QString>& bundleID, const QString& appName);
    // The symbol an application found nowhere gets.
    static QIcon fallback();

private:
    Desktop& desktop_;
    QMutex lock_;
    QHash<QString, QIcon> cache_;
};

} // namespace vellicord
