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
#include <cstdint>
#include <optional>
#include <vector>

namespace vellicord {

// The library as the capture list reads it: each capture's place in every sort order, its search
// text, its source and its groups, kept up to date change by change. The list for a scope, a query
// and an order is then one pass over an order already sorted, never a sort or a new index.
//
// Captures live in slots, numbered as the search index numbers them; a slot is never reused until
// the index is made anew (`generation()` says when).
class CaptureIndex {
public:
    using Slot = uint32_t;

    explicit CaptureIndex(const Store& store);

    // Follows one change of the store's captures; reads the store for what was added or changed.
    void apply(const Store::SelectionsChange& change);

    // The captures the scope and the query let through, in the mode's order. The query is already
    // trimmed and lower-cased; an empty one lets everything through.
    std::vector<Slot> visible(const SidebarItem& scope, const QString& query, SortMode mode);

    const QUuid& id(Slot slot) const { return ids_[slot]; }
    std::optional<Slot> slot(const QUuid& id) const;
    // Slots in use, dead ones included: the size of a table indexed by slot.
    Slot slotCount() const { return Slot(ids_.size()); }
    // Grows by one each time the slots are numbered anew.
    int generation() const { return generation_; }

private:
    void rebuild();
    Slot add(const Selection& selection);
    int nameID(const QString& name);
    int identifierID(const QString& identifier);
    const QCollatorSortKey& nameKey(int id);
    const std::vector<Slot>& order(SortMode mode);
    void insertIntoOrder(SortMode mode, std::vector<Slot>& order, Slot slot);
    void updateHits(const QString& query);

    const Store& store_;
    int generation_ = 0;
    uint64_t nextSequence_ = 0;

    std::vector<QUuid> ids_;
    std::vector<int64_t> times_;
    std::vector<uint64_t> sequences_; // library order: a higher sequence stands nearer the front
    std::vector<int> appNames_; // ids of texts, canonically equal texts sharing one
    std::vector<int> sourceNames_;
    std::vector<int> sourceIdentifiers_; // ids of exact texts
    std::vector<QList<QUuid>> groupIDs_;
    std::vector<uint8_t> alive_;
    QHash<QUuid, Slot> slots_;

    QHash<QString, int> nameIDs_; // by canonical text
    std::vector<QString> names_;
    std::vector<std::optional<QCollatorSortKey>> nameKeys_;
    std::optional<CaseInsensitiveCollation> collation_;
    QHash<QString, int> identifierIDs_;

    SearchIndex search_;
    QString hitsQuery_;
    QList<qsizetype> hits_; // slots that match hitsQuery_, ascending
    std::vector<uint8_t> hitFlags_; // by slot

    std::array<std::optional<std::vector<Slot>>, 4> orders_;
};

} // namespace vellicord
