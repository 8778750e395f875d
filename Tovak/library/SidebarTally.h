#pragma once

#include "core/foundation/Collation.h"
#include "core/library/SourceIdentity.h"
#include "core/library/Store.h"

#include <QCollatorSortKey>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QUuid>

#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

namespace vellicord {

// What the sidebar counts: the sources of the library's captures (one per source identifier, in
// the order of their display texts) with their captures, and how many captures each group holds.
// Made once over the library, then kept up to date change by change: a change costs what it
// touches, never a pass over the library.
class SidebarTally {
public:
    using Source = int;

    // What one change touched.
    struct Touched {
        QSet<Source> sources; // counted anew, come or gone
        QSet<QUuid> groups; // counted anew
        bool sourcesReordered = false; // a source came, went or moved among its equals
    };

    explicit SidebarTally(const Store& store);
    // Counts the given captures (the store's, as they were at some moment) without reading the
    // store: safe on another thread. The store is read only by apply(), on the store's thread.
    // Once `stop` is set it stops early, and what it counted is of no use.
    SidebarTally(const Store& store, const SelectionList& selections, const std::atomic<bool>* stop = nullptr);

    Touched apply(const Store::SelectionsChange& change);

    // The sources that have captures, ascending by display text (the user's locale, case
    // ignored); sources whose texts compare the same stand in library order of their newest capture.
    const std::vector<Source>& sources() const { return order_; }
    // The identity of the source's capture that stands first in the library.
    const SourceIdentity& identity(Source source) const { return sources_[size_t(source)].identity; }
    qsizetype count(Source source) const { return qsizetype(sources_[size_t(source)].members.size()); }
    // Its captures, in library order.
    QList<QUuid> selectionIDs(Source source) const;
    // The source of that identifier (canonically equal texts are one), whether or not it has captures.
    std::optional<Source> find(const QString& identifier) const;

    qsizetype groupCount(const QUuid& group) const { return groupCounts_.value(group); }

private:
    struct Member {
        uint64_t sequence; // library order: a higher sequence stands nearer the front
        QUuid id;
    };
    struct SourceEntry {
        SourceIdentity identity;
        QCollatorSortKey key;
        std::vector<Member> members; // ascending by sequence: the newest capture is last
    };
    struct Capture {
        Source source;
        uint64_t sequence;
    };

    Source sourceOf(const Selection& selection);
    void add(const Selection& selection, Touched& touched);
    uint64_t newest(Source source) const { return sources_[size_t(source)].members.back().sequence; }
    bool before(Source a, Source b) const;
    void forget(const QSet<QUuid>& ids, Touched& touched);
    void reorder(Touched& touched);

    const Store& store_;
    CaseInsensitiveCollation collation_;
    uint64_t nextSequence_ = 0;
    std::vector<SourceEntry> sources_;
    QHash<QString, Source> byIdentifier_; // exact texts, so that a capture costs one lookup
    QHash<QString, Source> byCanonical_;
    std::vector<Source> order_;
    QHash<QUuid, Capture> captures_;
    QHash<QUuid, qsizetype> groupCounts_;
};

} // namespace vellicord
