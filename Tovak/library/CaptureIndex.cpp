#include "Tovak/library/CaptureIndex.h"

#include "core/foundation/Parallel.h"
#include "core/foundation/Text.h"
#include "core/library/SourceIdentity.h"
#include "core/library/TimeKey.h"

#include <algorithm>

namespace vellicord {

namespace {

// Forgotten slots are dropped, and the rest numbered anew, once they are this many and more than
// half of all: the search then never reads more than twice the library.
constexpr qsizetype compactionThreshold = 4096;
// Up to this many everyday captures (about 1.5 KB each), the search index is made in a few
// milliseconds.
constexpr qsizetype indexedAtOnce = 500;
// The most earlier queries whose hits are kept while a query is typed on.
constexpr size_t typedOnKept = 4;

} // namespace

CaptureIndex::CaptureIndex(const Store& store, std::function<void()> searchMade)
    : store_(store)
    , searchMade_(std::move(searchMade))
{
    rebuild();
}

// A search index still being made is stopped, then waited for, so that quitting soon after
// start-up does not wait for a whole library to be indexed.
CaptureIndex::~CaptureIndex()
{
    stopSearchBuild();
}

// Stops the search index being made, and gives it when it was made all the same.
std::unique_ptr<SearchIndex> CaptureIndex::stopSearchBuild()
{
    if (!build_)
        return nullptr;
    build_->stop.store(true, std::memory_order_relaxed);
    builder_.wait();
    builder_ = {};
    std::unique_ptr<SearchIndex> made = std::move(build_->made);
    build_.reset();
    return made;
}

void CaptureIndex::rebuild()
{
    // Made anew once searched, the search index is started again at once, and keeps what its
    // predecessor made for the captures that stay.
    const bool searched = search_ != nullptr || build_ != nullptr;
    std::unique_ptr<SearchIndex> base = stopSearchBuild();
    if (!base)
        base = std::move(search_);
    // The captures the last query matched, found again by id in the new numbering: the list
    // shown stays filtered without a search while the index is made anew.
    std::vector<QUuid> hitIDs;
    if (!hitsQuery_.isEmpty()) {
        hitIDs.reserve(size_t(hits_.size()));
        for (const qsizetype slot : std::as_const(hits_)) {
            if (alive_[size_t(slot)])
                hitIDs.push_back(ids_[size_t(slot)]);
        }
    }
    const SelectionList selections = store_.selections();
    const size_t n = size_t(selections.size());
    ids_.clear();
    times_.clear();
    sequences_.clear();
    groupIDs_.clear();
    alive_.clear();
    slots_.clear();
    named_ = false;
    appNames_.clear();
    sourceNames_.clear();
    // Room for the captures still to come: a vector grown by one capture would copy all the
    // others at once.
    const size_t room = n + n / 16 + 1024;
    ids_.reserve(room);
    times_.reserve(room);
    sequences_.reserve(room);
    groupIDs_.reserve(room);
    alive_.reserve(room);
    slots_.reserve(qsizetype(n));

    searchChanges_.clear();
    search_.reset();
    staleGroups_.reserve(room);
    staleGroups_.assign(n, 0);
    staleCount_ = 0;
    // The list is shared, not copied: the search index is made of what the store holds now,
    // whenever it is started.
    searchSource_ = selections;
    searchBase_ = std::move(base);
    if (searched)
        prepareSearch();

    // What each capture's slot holds is read on several threads, chunk by chunk; the look-ups by
    // id then walk the ids alone, one after the other.
    ids_.resize(n);
    times_.resize(n);
    sequences_.resize(n);
    groupIDs_.resize(n);
    selections.forEachInParallel([&](qsizetype index, const Selection& s) {
        const size_t i = size_t(index);
        ids_[i] = s.id;
        times_[i] = s.createdAt.toMSecsSinceEpoch();
        sequences_[i] = n - 1 - i;
        groupIDs_[i] = s.groupIDs;
    });
    dead_ = 0;
    alive_.resize(n);
    for (size_t i = 0; i < n; ++i) {
        // Of two captures with one id, the store finds the first; the list shows that one only.
        // One look-up for both the question and the insertion: this runs at start for every capture.
        const qsizetype before = slots_.size();
        Slot& slot = slots_[ids_[i]];
        const bool first = slots_.size() > before;
        alive_[i] = first ? 1 : 0;
        if (first) {
            slot = Slot(i);
        } else {
            searchChanges_.emplace_back(Erase{qsizetype(i)});
            ++dead_;
        }
    }
    nextSequence_ = n;
    for (auto& order : orders_)
        order.reset();
    hits_.clear();
    hitFlags_.clear();
    typedOn_.clear();
    if (!hitsQuery_.isEmpty()) {
        for (const QUuid& id : hitIDs)
            hits_.append(qsizetype(slots_.value(id)));
        std::sort(hits_.begin(), hits_.end());
        hitFlags_.assign(n, 0);
        for (const qsizetype slot : std::as_const(hits_))
            hitFlags_[size_t(slot)] = 1;
    }
    ++generation_;
}

void CaptureIndex::prepareSearch()
{
    if (!searchSource_)
        return;
    build_ = std::make_shared<SearchBuild>();
    builder_ = Parallel::inBackground([selections = std::move(*searchSource_), base = std::move(searchBase_),
                                       build = build_, made = searchMade_]() mutable {
        std::unique_ptr<SearchIndex> index = base ? std::move(base) : std::make_unique<SearchIndex>();
        index->rebuild(selections, &build->stop);
        if (build->stop.load(std::memory_order_relaxed))
            return;
        {
            const std::lock_guard lock(build->mutex);
            build->made = std::move(index);
        }
        if (made)
            made();
    });
    searchSource_.reset();
}

// The search index when it is made, taken with the changes that came meanwhile; never waits.
SearchIndex* CaptureIndex::madeSearch()
{
    prepareSearch();
    if (build_) {
        std::unique_ptr<SearchIndex> made;
        {
            const std::lock_guard lock(build_->mutex);
            made = std::move(build_->made);
        }
        if (!made)
            return nullptr;
        // Its thread has only to end.
        builder_.wait();
        builder_ = {};
        build_.reset();
        search_ = std::move(made);
        for (const auto& change : searchChanges_) {
            if (const auto* append = std::get_if<Append>(&change))
                search_->append(append->selection);
            else
                search_->erase(std::get<Erase>(change).position);
        }
        searchChanges_.clear();
    }
    return search_.get();
}

SearchIndex& CaptureIndex::search()
{
    prepareSearch();
    if (build_)
        builder_.wait();
    return *madeSearch();
}

bool CaptureIndex::canFilter(const QString& query)
{
    if (query.isEmpty() || query == hitsQuery_)
        return true;
    // A small library is indexed in less time than a keystroke may take.
    if (!search_ && slots_.size() <= indexedAtOnce) {
        search();
        return true;
    }
    return madeSearch() != nullptr;
}

// Whether a capture just added matches the last query: by the search index when it is made, else
// by the capture's own search text.
bool CaptureIndex::matchesHitsQuery(Slot slot, const Selection& selection)
{
    if (build_ || searchSource_)
        return SortModes::matches(hitsQuery_, selection);
    return search_->matches(qsizetype(slot), hitsQuery_);
}

std::optional<CaptureIndex::Slot> CaptureIndex::slot(const QUuid& id) const
{
    const auto it = slots_.constFind(id);
    if (it == slots_.cend())
        return std::nullopt;
    return it.value();
}

int CaptureIndex::nameID(const QString& name)
{
    const QString key = Text::canonical(name);
    const auto it = nameIDs_.constFind(key);
    if (it != nameIDs_.cend())
        return it.value();
    const int id = int(names_.size());
    nameIDs_.insert(key, id);
    names_.push_back(name);
    nameKeys_.emplace_back();
    return id;
}

const QCollatorSortKey& CaptureIndex::nameKey(int id)
{
    if (!collation_)
        collation_.emplace();
    std::optional<QCollatorSortKey>& key = nameKeys_[size_t(id)];
    if (!key)
        key.emplace(collation_->sortKey(names_[size_t(id)]));
    return *key;
}

void CaptureIndex::name(Slot slot, const Selection& s)
{
    // A source's identifier is its display text: the address, else the path, else the application.
    // Canonically equal identifiers name one source, as the sidebar counts it.
    appNames_[slot] = nameID(s.appName);
    sourceNames_[slot] = nameID(SourceIdentity::displayOf(s));
}

// The names of the captures, wanted only by the orders by name and by a source's list.
void CaptureIndex::ensureNames()
{
    if (named_)
        return;
    appNames_.assign(ids_.size(), -1);
    sourceNames_.assign(ids_.size(), -1);
    for (const Selection& s : store_.selections()) {
        const auto it = slots_.constFind(s.id);
        if (it != slots_.cend() && appNames_[it.value()] < 0)
            name(it.value(), s);
    }
    named_ = true;
}

CaptureIndex::Slot CaptureIndex::add(const Selection& s)
{
    const Slot slot = Slot(ids_.size());
    if (build_ || searchSource_)
        searchChanges_.emplace_back(Append{s});
    else
        search_->append(s);
    ids_.push_back(s.id);
    times_.push_back(s.createdAt.toMSecsSinceEpoch());
    sequences_.push_back(nextSequence_++);
    groupIDs_.push_back(s.groupIDs);
    staleGroups_.push_back(0);
    alive_.push_back(1);
    slots_.insert(s.id, slot);
    if (named_) {
        appNames_.push_back(-1);
        sourceNames_.push_back(-1);
        name(slot, s);
    }
    for (SortMode mode : SortModes::allCases()) {
        if (auto& order = orders_[size_t(mode)])
            insertIntoOrder(mode, *order, slot);
    }
    const bool hit = !hitsQuery_.isEmpty() && matchesHitsQuery(slot, s);
    if (hit)
        hits_.append(qsizetype(slot));
    if (!hitFlags_.empty() || hit) {
        hitFlags_.resize(ids_.size(), 0);
        hitFlags_[slot] = hit ? 1 : 0;
    }
    return slot;
}

void CaptureIndex::apply(const Store::SelectionsChange& change)
{
    // The hits kept of earlier queries know nothing of the captures added or removed.
    if (!change.added.isEmpty() || !change.removed.isEmpty())
        typedOn_.clear();
    if (!change.removed.isEmpty()) {
        std::vector<Slot> gone;
        gone.reserve(size_t(change.removed.size()));
        for (const QUuid& id : change.removed) {
            const auto it = slots_.find(id);
            if (it == slots_.end())
                continue;
            gone.push_back(it.value());
            slots_.erase(it);
        }
        // In slot order, which is about the order the entries lie in memory: many removed captures
        // then cost a walk of the index rather than a jump per capture.
        std::sort(gone.begin(), gone.end());
        for (const Slot slot : gone) {
            alive_[slot] = 0;
            ++dead_;
            if (build_ || searchSource_)
                searchChanges_.emplace_back(Erase{qsizetype(slot)});
            else
                search_->erase(qsizetype(slot));
        }
        for (auto& order : orders_) {
            if (order)
                std::erase_if(*order, [&](Slot s) { return !alive_[s]; });
        }
        if (dead_ > compactionThreshold && dead_ * 2 > qsizetype(ids_.size())) {
            rebuild();
            return;
        }
    }
    // The added captures stand at the front in list order: the last of them came first.
    for (auto it = change.added.crbegin(); it != change.added.crend(); ++it) {
        if (slots_.contains(*it))
            continue;
        if (const Selection* s = store_.find(*it))
            add(*s);
    }
    // Groups are read again only when a group is listed: a group filled with a whole library
    // costs a mark per capture here while the list shows something else.
    for (const QUuid& id : change.updated) {
        const auto it = slots_.constFind(id);
        if (it != slots_.cend() && !staleGroups_[it.value()]) {
            staleGroups_[it.value()] = 1;
            ++staleCount_;
        }
    }
}

void CaptureIndex::readGroups()
{
    for (Slot slot = 0; staleCount_ > 0 && slot < Slot(ids_.size()); ++slot) {
        if (!staleGroups_[slot])
            continue;
        staleGroups_[slot] = 0;
        --staleCount_;
        if (!alive_[slot])
            continue;
        if (const Selection* s = store_.find(ids_[slot]))
            groupIDs_[slot] = s->groupIDs;
    }
    staleCount_ = 0;
}

const std::vector<CaptureIndex::Slot>& CaptureIndex::order(SortMode mode)
{
    std::optional<std::vector<Slot>>& order = orders_[size_t(mode)];
    if (order)
        return *order;
    // Made once per mode, then kept up to date capture by capture.
    order.emplace();
    order->reserve(slots_.size());
    if (mode == SortMode::newestFirst || mode == SortMode::oldestFirst) {
        // By time, and among equal times in the library's order: the stable sort of the library.
        std::vector<TimeKey> keys;
        keys.reserve(slots_.size());
        for (Slot slot = 0; slot < Slot(ids_.size()); ++slot) {
            if (alive_[slot])
                keys.push_back({times_[slot], uint32_t(nextSequence_ - 1 - sequences_[slot]), slot});
        }
        TimeKey::sort(keys, mode == SortMode::newestFirst);
        for (const TimeKey& key : keys)
            order->push_back(Slot(key.index));
        return *order;
    }
    ensureNames();
    // The list's positions to slots. Of two captures with one id only the first has a slot, and
    // it stands where its own name and time sort it.
    const SelectionList& selections = store_.selections();
    constexpr Slot none = ~Slot(0);
    std::vector<Slot> slotAt;
    slotAt.reserve(size_t(selections.size()));
    std::vector<uint8_t> placed(ids_.size(), 0);
    for (const Selection& s : selections) {
        const auto it = slots_.constFind(s.id);
        const bool first = it != slots_.cend() && !placed[it.value()];
        if (first)
            placed[it.value()] = 1;
        slotAt.push_back(first ? it.value() : none);
    }
    for (const uint32_t position : SortModes::order(mode, selections)) {
        if (slotAt[position] != none)
            order->push_back(slotAt[position]);
    }
    return *order;
}

// Where a stable sort puts a capture that stands first in the library: before the first capture
// that does not order strictly before it.
void CaptureIndex::insertIntoOrder(SortMode mode, std::vector<Slot>& order, Slot slot)
{
    const int64_t time = times_[slot];
    auto at = order.end();
    switch (mode) {
    case SortMode::newestFirst:
        at = std::partition_point(order.begin(), order.end(), [&](Slot e) { return times_[e] > time; });
        break;
    case SortMode::oldestFirst:
        at = std::partition_point(order.begin(), order.end(), [&](Slot e) { return times_[e] < time; });
        break;
    case SortMode::byApp:
    case SortMode::bySource: {
        ensureNames();
        const std::vector<int>& names = mode == SortMode::byApp ? appNames_ : sourceNames_;
        const int name = names[slot];
        const QCollatorSortKey key = nameKey(name);
        at = std::partition_point(order.begin(), order.end(),
                                  [&](Slot e) { return nameKey(names[e]).compare(key) < 0; });
        // Among names that collate alike, the same name orders newest first; other names keep
        // their library order, and the new capture is first in the library.
        while (at != order.end() && names[*at] == name && times_[*at] > time)
            ++at;
        break;
    }
    }
    order.insert(at, slot);
}

void CaptureIndex::updateHits(const QString& query)
{
    if (query == hitsQuery_)
        return;
    if (query.isEmpty()) {
        hitsQuery_.clear();
        hits_.clear();
        hitFlags_.clear();
        typedOn_.clear();
        return;
    }
    // What the query was typed on from stays while it holds it: a letter taken back finds its hits
    // again without a search, and a query that holds an earlier one can only match among its hits.
    if (!hitsQuery_.isEmpty())
        typedOn_.emplace_back(hitsQuery_, std::move(hits_));
    std::erase_if(typedOn_, [&](const auto& earlier) { return !query.contains(earlier.first); });
    const auto longest = std::max_element(typedOn_.begin(), typedOn_.end(), [](const auto& a, const auto& b) {
        return a.first.size() < b.first.size();
    });
    if (longest == typedOn_.end()) {
        hits_ = search().matching(query);
    } else if (longest->first == query) {
        hits_ = std::move(longest->second);
        typedOn_.erase(longest);
    } else {
        hits_ = search().matching(query, &longest->second);
    }
    // The shortest and the latest are kept: each may hold as many hits as there are captures.
    if (typedOn_.size() > typedOnKept)
        typedOn_.erase(typedOn_.begin() + 1, typedOn_.end() - qptrdiff(typedOnKept - 1));
    hitsQuery_ = query;
    hitFlags_.assign(ids_.size(), 0);
    for (qsizetype slot : std::as_const(hits_))
        hitFlags_[size_t(slot)] = 1;
}

std::vector<CaptureIndex::Slot> CaptureIndex::visible(const SidebarItem& scope, const QString& query, SortMode mode)
{
    updateHits(query);
    const std::vector<Slot>& ordered = order(mode);
    std::vector<Slot> result;
    result.reserve(ordered.size());

    const auto* group = scope.as<SidebarItem::Group>();
    if (group && staleCount_ > 0)
        readGroups();
    std::optional<int> identifier;
    if (const auto* source = scope.as<SidebarItem::Source>()) {
        ensureNames();
        const auto it = nameIDs_.constFind(Text::canonical(source->identity.identifier));
        if (it == nameIDs_.cend())
            return result;
        identifier = it.value();
    }
    const bool filtering = !query.isEmpty();
    for (Slot slot : ordered) {
        if (filtering && !hitFlags_[slot])
            continue;
        if (group && !groupIDs_[slot].contains(group->id))
            continue;
        if (identifier && sourceNames_[slot] != *identifier)
            continue;
        result.push_back(slot);
    }
    return result;
}

} // namespace vellicord
