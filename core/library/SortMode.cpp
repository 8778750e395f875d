#include "core/library/SortMode.h"

#include "core/foundation/Collation.h"
#include "core/foundation/MergeSort.h"
#include "core/foundation/Text.h"
#include "core/library/SourceIdentity.h"
#include "core/library/TimeKey.h"

#include <QHash>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace vellicord::SortModes {

namespace {

struct SortItem {
    int64_t time;
    int name; // equal ids: the same text (canonically equivalent)
    int position; // of the name in the user's case-insensitive order; equal for names that compare the same
    uint32_t index; // in the library list
};

// Gives each distinct name an id, and each id the position of its name in the collation order,
// so that the comparison of two captures costs two integer comparisons.
template<typename Selections> std::vector<SortItem> precompute(const Selections& selections, SortMode mode)
{
    std::vector<SortItem> items;
    items.reserve(size_t(selections.size()));
    QHash<QString, int> ids;
    QList<QString> names;
    for (const Selection& s : selections) {
        const QString& name = mode == SortMode::byApp ? s.appName : SourceIdentity::displayOf(s);
        const QString key = Text::canonical(name);
        auto it = ids.find(key);
        if (it == ids.end()) {
            it = ids.insert(key, int(names.size()));
            names.append(name);
        }
        items.push_back({s.createdAt.toMSecsSinceEpoch(), it.value(), 0, uint32_t(items.size())});
    }

    const CaseInsensitiveCollation collation;
    std::vector<QCollatorSortKey> keys;
    keys.reserve(size_t(names.size()));
    for (const QString& name : names)
        keys.push_back(collation.sortKey(name));
    std::vector<int> order(size_t(names.size()));
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = int(i);
    std::sort(order.begin(), order.end(), [&](int a, int b) { return keys[size_t(a)].compare(keys[size_t(b)]) < 0; });
    std::vector<int> position(order.size());
    int rank = 0;
    for (size_t i = 0; i < order.size(); ++i) {
        if (i > 0 && keys[size_t(order[i - 1])].compare(keys[size_t(order[i])]) != 0)
            ++rank;
        position[size_t(order[i])] = rank;
    }
    for (SortItem& item : items)
        item.position = position[size_t(item.name)];
    return items;
}

} // namespace

const QList<SortMode>& allCases()
{
    static const QList<SortMode> cases{SortMode::newestFirst, SortMode::oldestFirst, SortMode::byApp,
                                       SortMode::bySource};
    return cases;
}

QString rawValue(SortMode mode)
{
    switch (mode) {
    case SortMode::newestFirst: return QStringLiteral("Newest first");
    case SortMode::oldestFirst: return QStringLiteral("Oldest first");
    case SortMode::byApp: return QStringLiteral("By app");
    case SortMode::bySource: return QStringLiteral("By source");
    }
    return {};
}

std::optional<SortMode> fromRawValue(const QString& text)
{
    for (SortMode mode : allCases()) {
        if (rawValue(mode) == text)
            return mode;
    }
    return std::nullopt;
}

namespace {

template<typename Selections> std::vector<uint32_t> positions(SortMode mode, const Selections& selections)
{
    std::vector<uint32_t> order;
    order.reserve(size_t(selections.size()));
    if (mode == SortMode::newestFirst || mode == SortMode::oldestFirst) {
        std::vector<TimeKey> keys;
        keys.reserve(size_t(selections.size()));
        for (const Selection& s : selections) {
            const auto index = uint32_t(keys.size());
            keys.push_back({s.createdAt.toMSecsSinceEpoch(), index, index});
        }
        TimeKey::sort(keys, mode == SortMode::newestFirst);
        for (const TimeKey& key : keys)
            order.push_back(key.index);
        return order;
    }
    std::vector<SortItem> items = precompute(selections, mode);
    // Not a strict weak ordering when equal names mix with names that differ only in case;
    // the merge sort copes with that.
    mergeSort(items, [](const SortItem& x, const SortItem& y) {
        if (x.name == y.name)
            return x.time > y.time;
        return x.position < y.position;
    });
    for (const SortItem& item : items)
        order.push_back(item.index);
    return order;
}

template<typename Selections> QList<Selection> sortedCopy(SortMode mode, const Selections& selections)
{
    std::vector<const Selection*> records;
    records.reserve(size_t(selections.size()));
    for (const Selection& s : selections)
        records.push_back(&s);
    QList<Selection> sorted;
    sorted.reserve(qsizetype(records.size()));
    for (const uint32_t position : positions(mode, selections))
        sorted.append(*records[position]);
    return sorted;
}

} // namespace

std::vector<uint32_t> order(SortMode mode, const QList<Selection>& selections)
{
    return positions(mode, selections);
}

std::vector<uint32_t> order(SortMode mode, const SelectionList& selections)
{
    return positions(mode, selections);
}

QList<Selection> sort(SortMode mode, const QList<Selection>& selections)
{
    return sortedCopy(mode, selections);
}

QList<Selection> sort(SortMode mode, const SelectionList& selections)
{
    return sortedCopy(mode, selections);
}

QString searchText(const Selection& s)
{
    const QChar lineFeed(u'\n');
    const QString text = s.text;
    const QString markdown = s.markdown;
    QString joined;
    joined.reserve(text.size() + markdown.size() + s.appName.size() + (s.sourceURL ? s.sourceURL->size() : 0)
                   + (s.filePath ? s.filePath->size() : 0) + 4);
    joined.append(text).append(lineFeed).append(markdown).append(lineFeed).append(s.appName).append(lineFeed);
    if (s.sourceURL)
        joined.append(*s.sourceURL);
    joined.append(lineFeed);
    if (s.filePath)
        joined.append(*s.filePath);
    return Text::canonical(searchFolded(Text::lowercased(joined)));
}

bool matchesSearchText(const QString& query, const QString& text)
{
    return query.isEmpty() || text.contains(Text::canonical(searchFolded(query)), Qt::CaseSensitive);
}

QString searchFolded(QString lowered)
{
    return lowered.replace(QChar(0x03C2), QChar(0x03C3));
}

bool matches(const QString& query, const Selection& selection)
{
    return query.isEmpty() || matchesSearchText(query, searchText(selection));
}

} // namespace vellicord::SortModes
