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
    // A group's grip can carry a whole library: the pieces are read in place, into a set sized
    // for them once.
    const QStringView rest = QStringView(*text).mid(head.size());
    QSet<QUuid> result;
    result.reserve(rest.size() / 37 + 1);
    for (qsizetype start = 0; start < rest.size();) {
        qsizetype end = rest.indexOf(u',', start);
        if (end < 0)
            end = rest.size();
        if (end > start) {
            if (const auto id = UuidText::parse(rest.sliced(start, end - start)))
                result.insert(*id);
        }
        start = end + 1;
    }
    if (result.isEmpty())
        return std::nullopt;
    return result;
}

} // namespace vellicord::SelectionDragIDs
