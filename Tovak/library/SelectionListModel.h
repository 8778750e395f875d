#pragma once

#include "Tovak/library/CaptureIndex.h"
#include "Tovak/library/SidebarItem.h"
#include "core/library/Selection.h"
#include "core/library/SelectionGroup.h"
#include "core/library/SortMode.h"
#include "core/library/Store.h"

#include <QAbstractListModel>
#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QTimeZone>

#include <optional>
#include <vector>

namespace vellicord {

class Clock;
class Scheduler;

// The captures the main window's list shows, one row each, for a scope, a query and an order. A
// change of those shows the new list at once (a reset, cheap), but a new query only once the search
// index is made: until then the list stays as it was, and the latest filter asked for is shown
// when the index is ready. A change of the library moves only the rows it touches (inserted,
// removed, changed), so that the selection and the scroll position stay. Main thread only.
class SelectionListModel final : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        IdRole = Qt::UserRole + 1, // the capture's id (QUuid)
        CopiedRole, // the row shows "Copied" (bool)
    };

    // How long a row shows "Copied" after each copy.
    static constexpr std::chrono::milliseconds copiedDuration{1400};
    // How much of a headline a row lays out: two lines of the widest column hold less.
    static constexpr qsizetype headlineLimit = 400;

    SelectionListModel(Store& store, Scheduler& scheduler, const Clock& clock, QObject* parent = nullptr);
    ~SelectionListModel() override;

    // The query is trimmed and lower-cased already; an empty one lets everything through.
    void setFilter(const SidebarItem& scope, const QString& query, SortMode mode);
    // A filter given that waits for the search index.
    bool isWaitingForSearch() const { return waiting_.has_value(); }
    // Starts making the search index on another thread (a search would otherwise make it first).
    void prepareSearch() { index_.prepareSearch(); }
    // Capture times are stated relative to this date, in numbers, instead of to now.
    void setRelativeDateReference(std::optional<QDateTime> reference);
    void setTimeZone(const QTimeZone& zone);

    int rowCount(const QModelIndex& parent = {}) const override;
    // The list view asks for every row's index each time it lays out its rows (a search over a
    // million captures lays out a million): without the base class's checks, which ask
    // rowCount() and columnCount() for each.
    QModelIndex index(int row, int column = 0, const QModelIndex& parent = {}) const override
    {
        return row >= 0 && size_t(row) < rows_.size() && column == 0 && !parent.isValid() ? createIndex(row, 0)
                                                                                        : QModelIndex();
    }
    QVariant data(const QModelIndex& index, int role) const override;

    QUuid idAt(int row) const;
    // The row that shows the capture, or -1.
    int rowOf(const QUuid& id) const;
    // The rows of those of the ids that are shown, in ascending order.
    std::vector<int> rowsOf(const QSet<QUuid>& ids) const;
    bool isShown(const QUuid& id) const { return rowOf(id) >= 0; }
    std::optional<Selection> selectionAt(int row) const;
    // The captures shown, in their order.
    QList<Selection> visibleSelections() const;
    QList<QUuid> visibleIDs() const;

    // What a row shows of its capture.
    QString headline(const Selection& selection) const;
    QList<SelectionGroup> groupsOf(const Selection& selection) const;
    QString relativeDate(const Selection& selection) const;
    static QString sourceSymbol(const Selection& selection);
    static QString sourceText(const Selection& selection);

    // Shows "Copied" on the capture's row for a while.
    void flashCopied(const QUuid& id);
    bool isCopied(const QUuid& id) const { return copied_.contains(id); }

Q_SIGNALS:
    // Which captures are shown, or their order, changed.
    void shownChanged();

private:
    struct Filter {
        SidebarItem scope;
        QString query;
        SortMode mode;
    };

    void applyStoreChange(const Store::SelectionsChange& change);
    void showWaitingFilter();
    void moveTo(std::vector<CaptureIndex::Slot> rows);
    void numberRows();
    void repaint(const QUuid& id);

    Store& store_;
    Scheduler& scheduler_;
    const Clock& clock_;
    CaptureIndex index_;
    int generation_;
    SidebarItem scope_;
    QString query_;
    SortMode mode_ = SortMode::newestFirst;
    std::optional<Filter> waiting_;
    std::optional<QDateTime> reference_;
    QTimeZone zone_ = QTimeZone::systemTimeZone();

    std::vector<CaptureIndex::Slot> rows_;
    std::vector<int> rowOfSlot_; // -1 for slots not shown
    QHash<QUuid, SelectionGroup> groups_;
    QSet<QUuid> copied_;
};

} // namespace vellicord
