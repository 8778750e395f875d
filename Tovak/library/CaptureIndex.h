#pragma once

#include "Tovak/library/SidebarItem.h"
#include "core/foundation/Collation.h"
#include "core/library/SearchIndex.h"
#include "core/library/SortMode.h"
#include "core/library/Store.h"

#include <QCollatorSortKey>
#include <QHash>
#include <QList>
#include <QString>
#include <QUuid>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <variant>
#include <vector>

namespace vellicord {

// The library as the capture list reads it: each capture's place in every sort order, its search
// text, its source and its groups, kept up to date change by change. The list for a scope, a query
// and an order is then one pass over an order already sorted, never a sort or a new index.
//
// Its life: the capture list's model (SelectionListModel) makes it over the Store when the window
// is built and hands it each change of the Store's captures; it lives and is used on the main
// thread only. The one piece made elsewhere is the search index, on threads of their own, from a
// copy of the captures that shares them with the Store; the changes that come meanwhile wait in
// `searchChanges_` and are applied to it once it is taken. Nothing on the main thread waits for
// it: a new query is answered only once it is made (canFilter()), and the one given at the start
// is told on the thread that made it.
//
// Captures live in slots, numbered as the search index numbers them; a slot is never reused until
// the index is made anew. A generation is one such numbering: the slots are numbered anew (and
// `generation()` grows by one) when the index is made and again when forgotten slots have come to
// outweigh the living, so a slot kept from an earlier generation names nothing. What only a
// search, an order by name or a source needs is made when first needed: the search index from the
// moment `prepareSearch()` asks for it (once the window has painted) or a search needs it, so that
// opening the window waits for none of it and shares the processor with none of it.
class CaptureIndex {
public:
    using Slot = uint32_t;

    // `searchMade` is called on the thread that made the search index, each time one is made.
    explicit CaptureIndex(const Store& store, std::function<void()> searchMade = {});
    ~CaptureIndex();

    // Follows one change of the store's captures; reads the store for what was added or changed.
    void apply(const Store::SelectionsChange& change);

    // The captures the scope and the query let through, in the mode's order. The query is already
    // trimmed, lower-cased and in NFC, the form the texts are matched in: only there does a query
    // that holds an earlier one match nothing but the earlier one's hits, among which it is searched.
    // An empty one lets everything through. A query canFilter() refuses waits for the search index.
    std::vector<Slot> visible(const SidebarItem& scope, const QString& query, SortMode mode);
    // Whether visible() answers the query without waiting: it is empty or the last one, or the
    // search index is made (and is then taken). Starts making the index when nothing has.
    bool canFilter(const QString& query);

    const QUuid& id(Slot slot) const { return ids_[slot]; }
    std::optional<Slot> slot(const QUuid& id) const;
    // Slots in use, dead ones included: the size of a table indexed by slot.
    Slot slotCount() const { return Slot(ids_.size()); }
    // Grows by one each time the slots are numbered anew.
    int generation() const { return generation_; }
    // Starts making the search index on a thread, unless it is made or being made.
    void prepareSearch();

private:
    // The changes that reach the search index while it is being made, applied to it once it is.
    struct Append {
        Selection selection;
    };
    struct Erase {
        qsizetype position;
    };

    // A search index being made on other threads, and what it is once made.
    struct SearchBuild {
        std::atomic<bool> stop = false;
        std::mutex mutex;
        std::unique_ptr<SearchIndex> made;
    };

    void rebuild();
    SearchIndex& search();
    SearchIndex* madeSearch();
    std::unique_ptr<SearchIndex> stopSearchBuild();
    bool matchesHitsQuery(Slot slot, const Selection& selection);
    void ensureNames();
    void name(Slot slot, const Selection& selection);
    Slot add(const Selection& selection);
    int nameID(const QString& name);
    const QCollatorSortKey& nameKey(int id);
    const std::vector<Slot>& order(SortMode mode);
    void insertIntoOrder(SortMode mode, std::vector<Slot>& order, Slot slot);
    void updateHits(const QString& query);
    void readGroups();

    const Store& store_;
    int generation_ = 0;
    uint64_t nextSequence_ = 0;

    std::vector<QUuid> ids_;
    std::vector<int64_t> times_;
    std::vector<uint64_t> sequences_; // library order: a higher sequence stands nearer the front
    bool named_ = false; // the three name tables below are made (only an order by name or a source needs them)
    std::vector<int> appNames_; // ids of texts, canonically equal texts sharing one
    std::vector<int> sourceNames_; // a source's list is the captures of one of these ids
    std::vector<QList<QUuid>> groupIDs_; // as of the last readGroups()
    std::vector<uint8_t> staleGroups_; // by slot: its groups changed since
    qsizetype staleCount_ = 0; // slots marked in staleGroups_, read again when a group is listed
    std::vector<uint8_t> alive_; // by slot: 0 once its capture was removed (or repeats an earlier id)
    qsizetype dead_ = 0; // slots not alive, kept until the slots are numbered anew
    QHash<QUuid, Slot> slots_;

    QHash<QString, int> nameIDs_; // by canonical text
    std::vector<QString> names_;
    std::vector<std::optional<QCollatorSortKey>> nameKeys_;
    std::optional<CaseInsensitiveCollation> collation_;

    std::unique_ptr<SearchIndex> search_;
    std::function<void()> searchMade_;
    std::shared_ptr<SearchBuild> build_; // the one under way, until it is taken
    std::future<void> builder_;
    // What the search index is to be made of until it is started: the captures when the slots
    // were numbered (a copy that shares them with the store), and the index of the slots before,
    // whose entries for the same captures are kept.
    std::optional<SelectionList> searchSource_;
    std::unique_ptr<SearchIndex> searchBase_;
    std::vector<std::variant<Append, Erase>> searchChanges_;
    QString hitsQuery_;
    QList<qsizetype> hits_; // slots that match hitsQuery_, ascending
    std::vector<std::pair<QString, QList<qsizetype>>> typedOn_; // earlier queries held in hitsQuery_, and their hits
    std::vector<uint8_t> hitFlags_; // by slot

    std::array<std::optional<std::vector<Slot>>, 4> orders_;
};

} // namespace vellicord
