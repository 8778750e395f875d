#include "core/library/SelectionDragIDs.h"

#include "core/foundation/UuidText.h"

#include <QStringList>

#include <algorithm>

namespace vellicord::SelectionDragIDs {

QString encode(const QSet<QUuid>& ids)
{
    QStringList texts;
    texts.reserve(ids.size());
    for (const QUuid& id : ids)
        texts.append(UuidText::format(id));
    std::sort(texts.begin(), texts.end());
    return QString::fromUtf16(prefix) + texts.join(QChar(u','));
}

std::optional<QSet<QUuid>> ids(const std::optional<QString>& text)
{
    const QStringView head(prefix);
    if (!text || !text->startsWith(head))
        return std::nullopt;
    QSet<QUuid> result;
    const QStringView rest = QStringView(*text).mid(head.size());
    for (QStringView piece : rest.split(u',', Qt::SkipEmptyParts)) {
        if (const auto id = UuidText::parse(piece))
            result.insert(*id);
    }
    if (result.isEmpty())
        return std::nullopt;
    return result;
}

} // namespace vellicord::SelectionDragIDs
