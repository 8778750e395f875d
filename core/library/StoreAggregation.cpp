#include "core/library/StoreAggregation.h"

#include "core/foundation/Collation.h"
#include "core/foundation/Text.h"

#include <QHash>

#include <algorithm>
#include <vector>

namespace vellicord::StoreAggregation {

namespace {

template <typename Selections>
QList<SourceAggregate> aggregate(const Selections& selections)
{
    // Identifiers are grouped as texts are compared everywhere: canonically equivalent is equal.
    QHash<QString, qsizetype> indexOf;
    QList<SourceAggregate> aggregates;
    for (const Selection& s : selections) {
        SourceIdentity identity = SourceIdentity::from(s);
        const QString key = Text::canonical(identity.identifier);
        auto it = indexOf.find(key);
        if (it == indexOf.end()) {
            it = indexOf.insert(key, aggregates.size());
            aggregates.append({std::move(identity), 0, {}});
        }
        aggregates[it.value()].selectionIDs.append(s.id);
    }
    for (SourceAggregate& aggregate : aggregates)
        aggregate.count = aggregate.selectionIDs.size();

    const CaseInsensitiveCollation collation;
    std::vector<QCollatorSortKey> keys;
    keys.reserve(size_t(aggregates.size()));
    for (const SourceAggregate& aggregate : aggregates)
        keys.push_back(collation.sortKey(aggregate.identity.display()));
    std::vector<qsizetype> order(size_t(aggregates.size()));
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = qsizetype(i);
    std::stable_sort(order.begin(), order.end(),
                     [&](qsizetype a, qsizetype b) { return keys[size_t(a)].compare(keys[size_t(b)]) < 0; });

    QList<SourceAggregate> sorted;
    sorted.reserve(aggregates.size());
    for (qsizetype index : order)
        sorted.append(std::move(aggregates[index]));
    return sorted;
}

} // namespace

QList<SourceAggregate> sources(const QList<Selection>& selections)
{
    return aggregate(selections);
}

QList<SourceAggregate> sources(const SelectionList& selections)
{
    return aggregate(selections);
}

} // namespace vellicord::StoreAggregation
