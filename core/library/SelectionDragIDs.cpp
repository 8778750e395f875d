#include "core/library/SelectionDragIDs.h"

#include "core/foundation/UuidText.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vellicord::SelectionDragIDs {

QString encode(const QSet<QUuid>& ids)
{
    // The texts have one length and upper-case digits, so their order is the order of the ids'
    // 128 bits read as written; a group's grip may carry a whole library, and sorting numbers
    // instead of texts keeps the start of its drag short.
    std::vector<std::pair<uint64_t, uint64_t>> keys;
    keys.reserve(size_t(ids.size()));
    for (const QUuid& id : ids) {
        uint64_t low = 0;
        for (uchar byte : id.data4)
            low = low << 8 | byte;
        keys.emplace_back(uint64_t(id.data1) << 32 | uint64_t(id.data2) << 16 | id.data3, low);
    }
    std::sort(keys.begin(), keys.end());
    std::string text;
    text.reserve(keys.size() * 37);
    for (const auto& [high, low] : keys) {
        if (!text.empty())
            text.push_back(',');
        uchar tail[8];
        for (int i = 0; i < 8; ++i)
            tail[i] = uchar(low >> (56 - 8 * i));
        UuidText::appendUtf8(text,
                             QUuid(uint(high >> 32), ushort(high >> 16), ushort(high), tail[0], tail[1], tail[2],
                                   tail[3], tail[4], tail[5], tail[6], tail[7]));
    }
    return QString::fromUtf16(prefix) + QLatin1StringView(text.data(), qsizetype(text.size()));
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
