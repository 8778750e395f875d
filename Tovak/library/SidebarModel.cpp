#include "Tovak/library/SidebarModel.h"

#include "Tovak/kit/BoundedText.h"
#include "core/foundation/Parallel.h"
#include "core/library/SelectionDragIDs.h"

#include <QColor>
#include <QHash>
#include <QToolTip>

namespace vellicord {

size_t qHash(const SidebarModel::Row& row, size_t seed)
{
    return qHashMulti(seed, int(row.kind), row.id, row.source, row.text);
}

SidebarModel::SidebarModel(Store& store, QObject* parent)
    : QAbstractListModel(parent)
    , store_(store)
{
    if (store_.selections().size() < backgroundCountThreshold) {
        tally_ = std::make_unique<SidebarTally>(store_);
    } else {
        // The list is shared, not copied: the count is of what the store holds at this moment,
        // whenever it starts, and the changes from then on are applied once it is done.
        countSource_ = store_.selections();
    }
    rows_ = layout();
    connect(&store_, &Store::selectionsChanged, this, &SidebarModel::applyStoreChange);
    shownDrafts_ = draftRows();
    connect(&store_, &Store::draftsChanged, this, &SidebarModel::applyDraftsChange);
    for (auto signal : {&Store::groupsChanged, &Store::activeDraftIDChanged, &Store::persistenceStatusChanged})
        connect(&store_, signal, this, &SidebarModel::relayout);
}

void SidebarModel::startCounting()
{
    if (!countSource_)
        return;
    pendingTally_ = Parallel::inBackground([this, selections = std::move(*countSource_)] {
        auto tally = std::make_unique<SidebarTally>(store_, selections, &stopTally_);
        // The destructor waits for this thread, so the model is still there to post to.
        QMetaObject::invokeMethod(this, &SidebarModel::showBackgroundCount, Qt::QueuedConnection);
        return tally;
    });
    countSource_.reset();
}

SidebarModel::~SidebarModel()
{
    stopTally_ = true;
    if (pendingTally_.valid())
        pendingTally_.wait();
}

void SidebarModel::showBackgroundCount()
{
    if (!pendingTally_.valid())
        return;
    tally_ = pendingTally_.get();
    for (const Store::SelectionsChange& change : missed_)
        tally_->apply(change);
    missed_.clear();
    Q_EMIT updateStarted();
    moveTo(layout());
    for (int row = 0; row < int(rows_.size()); ++row) {
        if (rows_[size_t(row)].kind == Kind::group)
            changed(row);
    }
    Q_EMIT updateFinished();
    Q_EMIT counted();
}

std::vector<SidebarModel::Row> SidebarModel::layout() const
{
    std::vector<Row> rows;
    rows.reserve((tally_ ? tally_->sources().size() : 0) + size_t(store_.groups().size() + store_.drafts().size())
                 + 12);
    rows.push_back({Kind::header, {}, -1, QStringLiteral("Prompt")});
    if (const std::optional<ContextDraft> active = store_.activeDraft())
        rows.push_back({Kind::prompt});
    for (const ContextDraft& draft : store_.drafts()) {
        if (draft.id != store_.activeDraftID())
            rows.push_back({Kind::draft, draft.id});
    }
    rows.push_back({Kind::newPrompt});
    if (!store_.drafts().isEmpty())
        rows.push_back({Kind::footer, {}, -1, QStringLiteral("Assemble sources into a prompt")});

    rows.push_back({Kind::header, {}, -1, QStringLiteral("Library")});
    rows.push_back({Kind::allSelections});

    rows.push_back({Kind::header, {}, -1, QStringLiteral("Groups")});
    for (const SelectionGroup& group : store_.groups())
        rows.push_back({Kind::group, group.id});
    rows.push_back({Kind::newGroup});
    if (!store_.groups().isEmpty())
        rows.push_back({Kind::footer, {}, -1, QStringLiteral("Organize selections manually")});

    rows.push_back({Kind::header, {}, -1, QStringLiteral("Sources")});
    if (tally_) {
        if (tally_->sources().empty())
            rows.push_back({Kind::noSources});
        for (SidebarTally::Source source : tally_->sources())
            rows.push_back({Kind::source, {}, source});
    }
    rows.push_back({Kind::status});
    return rows;
}

int SidebarModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

QVariant SidebarModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= int(rows_.size()))
        return {};
    const Row& row = rows_[size_t(index.row())];
    const bool attention = store_.persistenceStatus() != StorePersistenceStatus::ready;
    switch (role) {
    case KindRole: return int(row.kind);
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        switch (row.kind) {
        case Kind::header:
        case Kind::footer: return row.text;
        case Kind::prompt: return store_.activeDraft() ? store_.activeDraft()->name : QString();
        case Kind::draft: return store_.findDraft(row.id) ? store_.findDraft(row.id)->name : QString();
        case Kind::newPrompt: return QStringLiteral("New Prompt…");
        case Kind::allSelections: return QStringLiteral("All Selections");
        case Kind::group: return store_.findGroup(row.id) ? store_.findGroup(row.id)->name : QString();
        case Kind::newGroup: return QStringLiteral("New Group…");
        case Kind::source: return tally_->identity(row.source).appName;
        case Kind::noSources: return QStringLiteral("Nothing captured yet");
        case Kind::status:
            return attention ? QStringLiteral("Library status needs attention") : QStringLiteral("Local library ready");
        }
        return {};
    case SubtitleRole:
        if (row.kind == Kind::source)
            return tally_->identity(row.source).display();
        return {};
    case Qt::ToolTipRole:
        if (row.kind == Kind::source)
            return BoundedText::elided(tally_->identity(row.source).display(), QToolTip::font(),
                                       BoundedText::popupLineWidth, Qt::ElideMiddle);
        return {};
    case Qt::AccessibleDescriptionRole:
        if (row.kind == Kind::source)
            return tally_->identity(row.source).display();
        if (row.kind == Kind::status)
            return QStringLiteral("Local persistence status");
        return {};
    case CountRole:
        switch (row.kind) {
        case Kind::prompt: return store_.activeDraft() ? int(store_.activeDraft()->includedCount()) : 0;
        case Kind::draft: return store_.findDraft(row.id) ? int(store_.findDraft(row.id)->includedCount()) : 0;
        case Kind::allSelections: return int(store_.selections().size());
        case Kind::group: return tally_ ? QVariant(int(tally_->groupCount(row.id))) : QVariant();
        case Kind::source: return int(tally_->count(row.source));
        default: return {};
        }
    case SymbolRole:
        switch (row.kind) {
        case Kind::prompt: return QStringLiteral("text.bubble");
        case Kind::draft: return QStringLiteral("doc.plaintext");
        case Kind::newPrompt:
        case Kind::newGroup: return QStringLiteral("plus");
        case Kind::allSelections: return QStringLiteral("tray.full");
        case Kind::group: return QStringLiteral("folder");
        case Kind::status:
            return attention ? QStringLiteral("exclamationmark.triangle") : QStringLiteral("checkmark.shield");
        default: return {};
        }
    case ColorRole:
        if (row.kind == Kind::group) {
            if (const std::optional<SelectionGroup> group = store_.findGroup(row.id)) {
                const RgbaColor c = group->color();
                return QColor::fromRgbF(float(c.red), float(c.green), float(c.blue), float(c.alpha));
            }
        }
        return {};
    case AttentionRole: return row.kind == Kind::status && attention;
    default: return {};
    }
}

Qt::ItemFlags SidebarModel::flags(const QModelIndex& index) const
{
    if (!index.isValid() || index.row() >= int(rows_.size()))
        return Qt::NoItemFlags;
    switch (rows_[size_t(index.row())].kind) {
    case Kind::prompt:
    case Kind::draft:
    case Kind::allSelections:
    case Kind::group:
    case Kind::source: return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    case Kind::newPrompt:
    case Kind::newGroup: return store_.canModifyLibrary() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
    default: return Qt::NoItemFlags;
    }
}

SidebarModel::Kind SidebarModel::kind(int row) const
{
    return row >= 0 && row < int(rows_.size()) ? rows_[size_t(row)].kind : Kind::header;
}

std::optional<SidebarItem> SidebarModel::item(int row) const
{
    if (row < 0 || row >= int(rows_.size()))
        return std::nullopt;
    const Row& r = rows_[size_t(row)];
    switch (r.kind) {
    case Kind::prompt: return SidebarItem::prompt();
    case Kind::draft: return SidebarItem::draft(r.id);
    case Kind::allSelections: return SidebarItem::allSelections();
    case Kind::group: return SidebarItem::group(r.id);
    case Kind::source: return SidebarItem::source(tally_->identity(r.source));
    default: return std::nullopt;
    }
}

int SidebarModel::rowOf(const SidebarItem& item) const
{
    Row wanted{Kind::header};
    if (item.is<SidebarItem::Prompt>()) {
        wanted.kind = Kind::prompt;
    } else if (const auto* draft = item.as<SidebarItem::Draft>()) {
        wanted = {Kind::draft, draft->id};
    } else if (item.is<SidebarItem::AllSelections>()) {
        wanted.kind = Kind::allSelections;
    } else if (const auto* group = item.as<SidebarItem::Group>()) {
        wanted = {Kind::group, group->id};
    } else if (const auto* source = item.as<SidebarItem::Source>()) {
        // A source keeps its row while the capture that names it changes: the identifier decides.
        if (!tally_)
            return -1;
        const std::optional<SidebarTally::Source> found = tally_->find(source->identity.identifier);
        if (!found)
            return -1;
        wanted = {Kind::source, {}, *found};
    }
    const auto it = std::find(rows_.cbegin(), rows_.cend(), wanted);
    return it == rows_.cend() ? -1 : int(it - rows_.cbegin());
}

std::optional<SelectionGroup> SidebarModel::group(int row) const
{
    if (kind(row) != Kind::group)
        return std::nullopt;
    return store_.findGroup(rows_[size_t(row)].id);
}

std::optional<QUuid> SidebarModel::draftID(int row) const
{
    if (kind(row) != Kind::draft)
        return std::nullopt;
    return rows_[size_t(row)].id;
}

std::optional<SourceIdentity> SidebarModel::sourceIdentity(int row) const
{
    if (kind(row) != Kind::source)
        return std::nullopt;
    return tally_->identity(rows_[size_t(row)].source);
}

bool SidebarModel::isDropTarget(int row) const
{
    return kind(row) == Kind::prompt || kind(row) == Kind::group;
}

bool SidebarModel::hasDragGrip(int row) const
{
    return kind(row) == Kind::group || kind(row) == Kind::source;
}

QList<QUuid> SidebarModel::selectionIDs(int row) const
{
    if (kind(row) == Kind::source)
        return tally_->selectionIDs(rows_[size_t(row)].source);
    QList<QUuid> ids;
    if (kind(row) == Kind::group) {
        for (const Selection& s : store_.selections(rows_[size_t(row)].id))
            ids.append(s.id);
    }
    return ids;
}

QString SidebarModel::dragPayload(int row) const
{
    const QList<QUuid> ids = selectionIDs(row);
    return SelectionDragIDs::encode(QSet<QUuid>(ids.cbegin(), ids.cend()));
}

void SidebarModel::applyStoreChange(const Store::SelectionsChange& change)
{
    if (!tally_) {
        missed_.push_back(change);
        Q_EMIT updateStarted();
        for (int row = 0; row < int(rows_.size()); ++row) {
            if (rows_[size_t(row)].kind == Kind::allSelections)
                changed(row);
        }
        Q_EMIT updateFinished();
        return;
    }
    const SidebarTally::Touched touched = tally_->apply(change);
    Q_EMIT updateStarted();
    if (touched.sourcesReordered)
        moveTo(layout());
    for (int row = 0; row < int(rows_.size()); ++row) {
        const Row& r = rows_[size_t(row)];
        if (r.kind == Kind::allSelections || (r.kind == Kind::group && touched.groups.contains(r.id))
            || (r.kind == Kind::source && touched.sources.contains(r.source)))
            changed(row);
    }
    Q_EMIT updateFinished();
}

// Groups, drafts and the library's state change a few rows, none of the sources'.
std::vector<SidebarModel::DraftRow> SidebarModel::draftRows() const
{
    std::vector<DraftRow> drafts;
    drafts.reserve(size_t(store_.drafts().size()));
    for (const ContextDraft& draft : store_.drafts())
        drafts.push_back({draft.id, draft.name, draft.includedCount()});
    return drafts;
}

// Every keystroke in a prompt's task, notes or preview changes the drafts, and none of it shows
// here: the rows are laid out and repainted only when a prompt's name, count or place changed.
void SidebarModel::applyDraftsChange()
{
    if (draftRows() != shownDrafts_)
        relayout();
}

void SidebarModel::relayout()
{
    shownDrafts_ = draftRows();
    Q_EMIT updateStarted();
    moveTo(layout());
    for (int row = 0; row < int(rows_.size()); ++row) {
        if (rows_[size_t(row)].kind != Kind::source)
            changed(row);
    }
    Q_EMIT updateFinished();
}

void SidebarModel::changed(int row)
{
    Q_EMIT dataChanged(index(row), index(row));
}

// Moves from the rows shown to the new ones in runs of rows removed and inserted. Rows that stay
// keep their order, except a source that moved among sources of the same text: the rows between
// its old and new place go and come back.
void SidebarModel::moveTo(std::vector<Row> next)
{
    const QSet<Row> inNext(next.cbegin(), next.cend());
    const auto removeRows = [this](size_t first, size_t end) {
        beginRemoveRows({}, int(first), int(end) - 1);
        rows_.erase(rows_.begin() + qptrdiff(first), rows_.begin() + qptrdiff(end));
        endRemoveRows();
    };
    for (size_t row = 0; row < rows_.size();) {
        if (inNext.contains(rows_[row])) {
            ++row;
            continue;
        }
        size_t end = row;
        while (end < rows_.size() && !inNext.contains(rows_[end]))
            ++end;
        removeRows(row, end);
    }

    const QSet<Row> staying(rows_.cbegin(), rows_.cend());
    std::vector<Row> order;
    order.reserve(rows_.size());
    for (const Row& row : next) {
        if (staying.contains(row))
            order.push_back(row);
    }
    size_t first = 0;
    while (first < rows_.size() && rows_[first] == order[first])
        ++first;
    if (first < rows_.size()) {
        size_t end = rows_.size();
        while (end > first && rows_[end - 1] == order[end - 1])
            --end;
        removeRows(first, end);
    }

    const QSet<Row> present(rows_.cbegin(), rows_.cend());
    size_t row = 0;
    size_t j = 0;
    while (j < next.size()) {
        if (row < rows_.size() && rows_[row] == next[j]) {
            ++row;
            ++j;
            continue;
        }
        size_t end = j;
        while (end < next.size() && !present.contains(next[end]))
            ++end;
        Q_ASSERT(end > j);
        beginInsertRows({}, int(row), int(row + end - j) - 1);
        rows_.insert(rows_.begin() + qptrdiff(row), next.begin() + qptrdiff(j), next.begin() + qptrdiff(end));
        endInsertRows();
        row += end - j;
        j = end;
    }
}

} // namespace vellicord
