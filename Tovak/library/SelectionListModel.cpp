#include "Tovak/library/SelectionListModel.h"

#include <algorithm>

#include "Tovak/kit/RelativeDate.h"
#include "platform/Clock.h"
#include "platform/Scheduler.h"

#include <QPointer>

namespace vellicord {

SelectionListModel::SelectionListModel(Store& store, Scheduler& scheduler, const Clock& clock, QObject* parent)
    : QAbstractListModel(parent)
    , store_(store)
    , scheduler_(scheduler)
    , clock_(clock)
    // Told on the thread that made it; the model that waits for it answers on its own thread.
    , index_(store, [this] { QMetaObject::invokeMethod(this, &SelectionListModel::showWaitingFilter, Qt::QueuedConnection); })
    , generation_(index_.generation())
{
    for (const SelectionGroup& group : store_.groups())
        groups_.insert(group.id, group);
    rows_ = index_.visible(scope_, query_, mode_);
    numberRows();
    connect(&store_, &Store::selectionsChanged, this, &SelectionListModel::applyStoreChange);
    // A renamed or recoloured group changes the chips of its rows.
    connect(&store_, &Store::groupsChanged, this, [this] {
        groups_.clear();
        for (const SelectionGroup& group : store_.groups())
            groups_.insert(group.id, group);
        if (!rows_.empty())
            Q_EMIT dataChanged(index(0), index(int(rows_.size()) - 1));
    });
}

SelectionListModel::~SelectionListModel() = default;

void SelectionListModel::setFilter(const SidebarItem& scope, const QString& query, SortMode mode)
{
    waiting_.reset();
    if (scope == scope_ && query == query_ && mode == mode_)
        return;
    // A keystroke never waits for the search index: the list follows once it is made.
    if (!index_.canFilter(query)) {
        waiting_ = Filter{scope, query, mode};
        return;
    }
    scope_ = scope;
    query_ = query;
    mode_ = mode;
    beginResetModel();
    rows_ = index_.visible(scope_, query_, mode_);
    numberRows();
    endResetModel();
    Q_EMIT shownChanged();
}

void SelectionListModel::showWaitingFilter()
{
    if (waiting_) {
        const Filter filter = *waiting_;
        setFilter(filter.scope, filter.query, filter.mode);
    }
}

void SelectionListModel::setRelativeDateReference(std::optional<QDateTime> reference)
{
    reference_ = std::move(reference);
    if (!rows_.empty())
        Q_EMIT dataChanged(index(0), index(int(rows_.size()) - 1));
}

void SelectionListModel::setTimeZone(const QTimeZone& zone)
{
    zone_ = zone;
    if (!rows_.empty())
        Q_EMIT dataChanged(index(0), index(int(rows_.size()) - 1));
}

int SelectionListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

QVariant SelectionListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= int(rows_.size()))
        return {};
    const QUuid& id = index_.id(rows_[size_t(index.row())]);
    switch (role) {
    case IdRole: return QVariant::fromValue(id);
    case CopiedRole: return copied_.contains(id);
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole: {
        const std::optional<Selection> s = store_.findByID(id);
        const QString text = s ? headline(*s) : QString();
        if (!text.isEmpty())
            return text;
        return role == Qt::DisplayRole ? QStringLiteral("\u2014") : QStringLiteral("Untitled capture");
    }
    case Qt::AccessibleDescriptionRole: {
        const std::optional<Selection> s = store_.findByID(id);
        if (!s)
            return {};
        return QStringLiteral("From ") + sourceText(*s) + QStringLiteral(", ") + relativeDate(*s);
    }
    default: return {};
    }
}

QUuid SelectionListModel::idAt(int row) const
{
    if (row < 0 || row >= int(rows_.size()))
        return {};
    return index_.id(rows_[size_t(row)]);
}

int SelectionListModel::rowOf(const QUuid& id) const
{
    const std::optional<CaptureIndex::Slot> slot = index_.slot(id);
    if (!slot || *slot >= rowOfSlot_.size())
        return -1;
    return rowOfSlot_[*slot];
}

std::vector<int> SelectionListModel::rowsOf(const QSet<QUuid>& ids) const
{
    std::vector<int> rows;
    rows.reserve(size_t(ids.size()));
    for (const QUuid& id : ids) {
        if (const int row = rowOf(id); row >= 0)
            rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::optional<Selection> SelectionListModel::selectionAt(int row) const
{
    if (row < 0 || row >= int(rows_.size()))
        return std::nullopt;
    return store_.findByID(index_.id(rows_[size_t(row)]));
}

QList<Selection> SelectionListModel::visibleSelections() const
{
    QList<Selection> shown;
    shown.reserve(qsizetype(rows_.size()));
    for (CaptureIndex::Slot slot : rows_) {
        if (std::optional<Selection> s = store_.findByID(index_.id(slot)))
            shown.append(std::move(*s));
    }
    return shown;
}

QList<QUuid> SelectionListModel::visibleIDs() const
{
    QList<QUuid> shown;
    shown.reserve(qsizetype(rows_.size()));
    for (CaptureIndex::Slot slot : rows_)
        shown.append(index_.id(slot));
    return shown;
}

QString SelectionListModel::headline(const Selection& selection) const
{
    return selection.headline(headlineLimit);
}

QList<SelectionGroup> SelectionListModel::groupsOf(const Selection& selection) const
{
    QList<SelectionGroup> groups;
    for (const QUuid& id : selection.groupIDs) {
        const auto it = groups_.constFind(id);
        if (it != groups_.cend())
            groups.append(it.value());
    }
    return groups;
}

QString SelectionListModel::relativeDate(const Selection& selection) const
{
    if (reference_)
        return RelativeDate::format(selection.createdAt, *reference_, RelativeDate::Style::numeric, zone_);
    return RelativeDate::format(selection.createdAt, clock_.now(), RelativeDate::Style::named, zone_);
}

QString SelectionListModel::sourceSymbol(const Selection& selection)
{
    if (selection.sourceURL)
        return QStringLiteral("safari");
    if (selection.filePath)
        return QStringLiteral("doc");
    return QStringLiteral("app.dashed");
}

QString SelectionListModel::sourceText(const Selection& selection)
{
    return selection.sourceDetail().value_or(selection.appName);
}

void SelectionListModel::flashCopied(const QUuid& id)
{
    copied_.insert(id);
    repaint(id);
    // Every copy clears the mark on its own; an earlier one may end a later one's.
    scheduler_.after(copiedDuration, [self = QPointer<SelectionListModel>(this), id] {
        if (self && self->copied_.remove(id))
            self->repaint(id);
    });
}

void SelectionListModel::repaint(const QUuid& id)
{
    const int row = rowOf(id);
    if (row >= 0)
        Q_EMIT dataChanged(index(row), index(row));
}

void SelectionListModel::applyStoreChange(const Store::SelectionsChange& change)
{
    index_.apply(change);
    if (index_.generation() != generation_) {
        // The slots were numbered anew: show the list again from scratch.
        generation_ = index_.generation();
        beginResetModel();
        rows_ = index_.visible(scope_, query_, mode_);
        numberRows();
        endResetModel();
        Q_EMIT shownChanged();
        return;
    }
    // Captures changed in place change their groups: what is listed changes only when a group is.
    if (!change.added.isEmpty() || !change.removed.isEmpty() || scope_.is<SidebarItem::Group>())
        moveTo(index_.visible(scope_, query_, mode_));
    // Changed captures show other groups. A group filled with a whole library changes every row:
    // one notice for all of them, which the view repaints where it shows them.
    constexpr qsizetype fewRows = 64;
    if (change.updated.size() > fewRows && !rows_.empty()) {
        Q_EMIT dataChanged(index(0), index(int(rows_.size()) - 1));
        return;
    }
    for (const QUuid& id : change.updated)
        repaint(id);
}

// Moves from the rows shown to the new ones by inserting and removing runs of rows. Both lists
// keep the order of one sort, so a capture in both stands in the same order in each.
void SelectionListModel::moveTo(std::vector<CaptureIndex::Slot> next)
{
    std::vector<uint8_t> inNext(index_.slotCount(), 0);
    for (CaptureIndex::Slot slot : next)
        inNext[slot] = 1;
    std::vector<uint8_t> inOld(index_.slotCount(), 0);
    for (CaptureIndex::Slot slot : rows_)
        inOld[slot] = 1;

    bool changed = false;
    size_t row = 0; // in rows_, which changes as runs go and come
    size_t j = 0; // in next
    while (row < rows_.size() || j < next.size()) {
        if (row < rows_.size() && j < next.size() && rows_[row] == next[j]) {
            ++row;
            ++j;
        } else if (row < rows_.size() && !inNext[rows_[row]]) {
            size_t end = row;
            while (end < rows_.size() && !inNext[rows_[end]])
                ++end;
            beginRemoveRows({}, int(row), int(end) - 1);
            rows_.erase(rows_.begin() + qptrdiff(row), rows_.begin() + qptrdiff(end));
            endRemoveRows();
            changed = true;
        } else {
            // A capture in both lists comes here only in the same order in each: a run of new
            // rows is what stands before the next row kept.
            Q_ASSERT_X(j < next.size() && !inOld[next[j]], "SelectionListModel::moveTo",
                       "the rows shown and the new ones are in different orders");
            size_t end = j;
            while (end < next.size() && !inOld[next[end]])
                ++end;
            beginInsertRows({}, int(row), int(row + end - j) - 1);
            rows_.insert(rows_.begin() + qptrdiff(row), next.begin() + qptrdiff(j), next.begin() + qptrdiff(end));
            endInsertRows();
            row += end - j;
            j = end;
            changed = true;
        }
    }
    if (changed) {
        numberRows();
        Q_EMIT shownChanged();
    }
}

void SelectionListModel::numberRows()
{
    rowOfSlot_.assign(index_.slotCount(), -1);
    for (size_t row = 0; row < rows_.size(); ++row)
        rowOfSlot_[rows_[row]] = int(row);
}

} // namespace vellicord
