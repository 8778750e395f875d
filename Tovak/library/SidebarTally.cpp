#include "Tovak/library/SidebarTally.h"

#include "core/foundation/Text.h"

#include <algorithm>

namespace vellicord {

SidebarTally::SidebarTally(const Store& store)
    : SidebarTally(store, store.selections())
{
}

SidebarTally::SidebarTally(const Store& store, const SelectionList& all, const std::atomic<bool>* stop)
    : store_(store)
{
    captures_.reserve(all.size());
    Touched touched;
    // From the oldest, so that each source's captures line up oldest first and the newest gives
    // the source its identity.
    for (qsizetype c = all.chunkCount() - 1; c >= 0; --c) {
        if (stop && stop->load(std::memory_order_relaxed))
            return;
        const QList<Selection>& chunk = all.chunk(c);
        for (auto it = chunk.crbegin(); it != chunk.crend(); ++it) {
            add(*it, touched);
            for (const QUuid& group : it->groupIDs)
                ++groupCounts_[group];
        }
    }
    if (stop && stop->load(std::memory_order_relaxed))
        return;
    for (Source source = 0; source < Source(sources_.size()); ++source) {
        if (!sources_[size_t(source)].members.empty())
            order_.push_back(source);
    }
    std::sort(order_.begin(), order_.end(), [this](Source a, Source b) { return before(a, b); });
}

SidebarTally::Source SidebarTally::sourceOf(const Selection& selection)
{
    // The identifier is the text the source is shown by: the address, the path or the application.
    const QString& identifier = SourceIdentity::displayOf(selection);
    if (const auto it = byIdentifier_.constFind(identifier); it != byIdentifier_.cend())
        return it.value();
    // Canonically equal identifiers name one source, as the library's own aggregation has it.
    const QString canonical = Text::canonical(identifier);
    Source source;
    if (const auto it = byCanonical_.constFind(canonical); it != byCanonical_.cend()) {
        source = it.value();
    } else {
        source = Source(sources_.size());
        SourceIdentity identity = SourceIdentity::from(selection);
        QCollatorSortKey key = collation_.sortKey(identity.display());
        sources_.push_back({std::move(identity), std::move(key), {}});
        byCanonical_.insert(canonical, source);
    }
    byIdentifier_.insert(identifier, source);
    return source;
}

std::optional<SidebarTally::Source> SidebarTally::find(const QString& identifier) const
{
    if (const auto it = byIdentifier_.constFind(identifier); it != byIdentifier_.cend())
        return it.value();
    if (const auto it = byCanonical_.constFind(Text::canonical(identifier)); it != byCanonical_.cend())
        return it.value();
    return std::nullopt;
}

QList<QUuid> SidebarTally::selectionIDs(Source source) const
{
    const std::vector<Member>& members = sources_[size_t(source)].members;
    QList<QUuid> ids;
    ids.reserve(qsizetype(members.size()));
    for (auto it = members.crbegin(); it != members.crend(); ++it)
        ids.append(it->id);
    return ids;
}

// The captures stand at the front of the library as they come.
void SidebarTally::add(const Selection& selection, Touched& touched)
{
    if (captures_.contains(selection.id))
        return;
    const Source source = sourceOf(selection);
    SourceEntry& entry = sources_[size_t(source)];
    const uint64_t sequence = nextSequence_++;
    entry.members.push_back({sequence, selection.id});
    entry.identity = SourceIdentity::from(selection);
    captures_.insert(selection.id, {source, sequence});
    touched.sources.insert(source);
}

void SidebarTally::forget(const QSet<QUuid>& ids, Touched& touched)
{
    // Removed together, a source's captures leave it in one pass over its captures.
    QHash<Source, QSet<uint64_t>> gone;
    for (const QUuid& id : ids) {
        const auto it = captures_.find(id);
        if (it == captures_.end())
            continue;
        gone[it->source].insert(it->sequence);
        captures_.erase(it);
    }
    for (auto it = gone.cbegin(); it != gone.cend(); ++it) {
        SourceEntry& entry = sources_[size_t(it.key())];
        const uint64_t newestBefore = entry.members.back().sequence;
        std::erase_if(entry.members, [&](const Member& m) { return it.value().contains(m.sequence); });
        touched.sources.insert(it.key());
        // The newest capture left: the source takes the identity of the one now newest.
        if (!entry.members.empty() && entry.members.back().sequence != newestBefore) {
            if (const Selection* newest = store_.find(entry.members.back().id))
                entry.identity = SourceIdentity::from(*newest);
        }
    }
}

SidebarTally::Touched SidebarTally::apply(const Store::SelectionsChange& change)
{
    Touched touched;
    if (!change.removed.isEmpty())
        forget(change.removed, touched);
    // The added captures stand at the front in list order: the last of them came first.
    for (auto it = change.added.crbegin(); it != change.added.crend(); ++it) {
        if (const Selection* selection = store_.find(*it))
            add(*selection, touched);
    }
    // A group filled with a whole library is one number here, not a visit to every capture.
    for (auto it = change.memberships.cbegin(); it != change.memberships.cend(); ++it) {
        const qsizetype count = groupCounts_.value(it.key()) + it.value();
        if (count == 0)
            groupCounts_.remove(it.key());
        else
            groupCounts_.insert(it.key(), count);
        touched.groups.insert(it.key());
    }
    if (!touched.sources.isEmpty())
        reorder(touched);
    return touched;
}

// By display text, then the source whose newest capture stands first in the library.
bool SidebarTally::before(Source a, Source b) const
{
    const int byText = sources_[size_t(a)].key.compare(sources_[size_t(b)].key);
    return byText != 0 ? byText < 0 : newest(a) > newest(b);
}

void SidebarTally::reorder(Touched& touched)
{
    const std::vector<Source> previous = order_;
    std::erase_if(order_, [&](Source source) { return touched.sources.contains(source); });
    for (Source source : touched.sources) {
        if (sources_[size_t(source)].members.empty())
            continue;
        const auto at = std::lower_bound(order_.begin(), order_.end(), source,
                                         [this](Source a, Source b) { return before(a, b); });
        order_.insert(at, source);
    }
    touched.sourcesReordered = order_ != previous;
}

} // namespace vellicord
