#include "Tovak/library/IconCache.h"

#include "Tovak/kit/Symbols.h"
#include "platform/Desktop.h"

#include <QMutexLocker>

namespace vellicord {

IconCache::IconCache(Desktop& desktop)
    : desktop_(desktop)
{
}

QIcon IconCache::fallback()
{
    return Symbols::icon(QStringLiteral("text.quote"), QColor(128, 128, 128));
}

QIcon IconCache::icon(const std::optional<QString>& bundleID, const QString& appName)
{
    // Applications without a desktop id would all share one empty key; they go by name instead.
    const std::optional<QString> id = bundleID && !bundleID->isEmpty() ? bundleID : std::nullopt;
    const QString key = id ? QStringLiteral("id:") + *id : QStringLiteral("name:") + appName;
    {
        QMutexLocker locker(&lock_);
        const auto it = cache_.constFind(key);
        if (it != cache_.cend())
            return it.value();
    }
    // Asked without the lock: the desktop may read its entries from disk.
    QIcon found = desktop_.applicationIcon(id, appName);
    if (found.isNull())
        found = fallback();
    QMutexLocker locker(&lock_);
    cache_.insert(key, found);
    return found;
}

} // namespace vellicord
