#include "Tovak/library/ContentViewState.h"

#include "core/foundation/Text.h"
#include "core/library/Store.h"

namespace vellicord {

ContentViewState::ContentViewState(Store& store, Scheduler& scheduler, const Clock& clock, QObject* parent)
    : QObject(parent)
    , store_(store)
    , model_(store, scheduler, clock)
{
    applyFilter();
    connect(&model_, &SelectionListModel::shownChanged, this, &ContentViewState::prune);
    for (auto signal : {&Store::draftsChanged, &Store::activeDraftIDChanged})
        connect(&store_, signal, this, &ContentViewState::titleChanged);
}

void ContentViewState::setSidebarSelection(const std::optional<SidebarItem>& item)
{
    if (item == sidebarSelection_)
        return;
    sidebarSelection_ = item;
    applyFilter();
    Q_EMIT sidebarSelectionChanged();
    Q_EMIT titleChanged();
}

void ContentViewState::setSearchText(const QString& text)
{
    if (text == searchText_)
        return;
    searchText_ = text;
    applyFilter();
    Q_EMIT searchTextChanged();
}

void ContentViewState::setSortMode(SortMode mode)
{
    if (mode == sortMode_)
        return;
    sortMode_ = mode;
    applyFilter();
    Q_EMIT sortModeChanged();
}

QString ContentViewState::query() const
{
    return Text::lowercased(Text::trimmed(searchText_));
}

bool ContentViewState::isFiltering() const
{
    return !query().isEmpty()
        || (sidebarSelection_
            && (sidebarSelection_->is<SidebarItem::Group>() || sidebarSelection_->is<SidebarItem::Source>()));
}

void ContentViewState::applyFilter()
{
    // The prompt and the drafts list the whole library, as no target does.
    SidebarItem scope = sidebarSelection_.value_or(SidebarItem::allSelections());
    if (scope.showsComposer())
        scope = SidebarItem::allSelections();
    model_.setFilter(scope, query(), sortMode_);
}

void ContentViewState::selectInList(const QSet<QUuid>& ids)
{
    QSet<QUuid> added = ids;
    added.subtract(selectedIDs_);
    std::optional<QUuid> detail;
    if (!added.isEmpty())
        detail = *added.cbegin();
    else if (!ids.isEmpty())
        detail = *ids.cbegin();
    setSelection(ids, detail);
}

void ContentViewState::setSelection(const QSet<QUuid>& ids, const std::optional<QUuid>& detail)
{
    QSet<QUuid> shown;
    for (const QUuid& id : ids) {
        if (model_.isShown(id))
            shown.insert(id);
    }
    std::optional<QUuid> inspected = detail && model_.isShown(*detail) ? detail : std::nullopt;
    if (shown == selectedIDs_ && inspected == detailSelectionID_)
        return;
    selectedIDs_ = std::move(shown);
    detailSelectionID_ = inspected;
    Q_EMIT selectionChanged();
}

// Whenever the captures shown change, the selection keeps only those still shown, and the
// inspector moves to one of them when its capture went away.
void ContentViewState::prune()
{
    bool changed = false;
    if (std::any_of(selectedIDs_.cbegin(), selectedIDs_.cend(), [&](const QUuid& id) { return !model_.isShown(id); })) {
        selectedIDs_.removeIf([&](const QUuid& id) { return !model_.isShown(id); });
        changed = true;
    }
    if (detailSelectionID_ && !model_.isShown(*detailSelectionID_)) {
        detailSelectionID_ = selectedIDs_.isEmpty() ? std::nullopt : std::optional(*selectedIDs_.cbegin());
        changed = true;
    }
    if (changed)
        Q_EMIT selectionChanged();
}

QString ContentViewState::navigationTitleText() const
{
    const QString title = QStringLiteral("Vellicord");
    if (!sidebarSelection_ || !sidebarSelection_->showsComposer())
        return title;
    if (const auto* draft = sidebarSelection_->as<SidebarItem::Draft>()) {
        if (const std::optional<ContextDraft> found = store_.findDraft(draft->id))
            return title + QStringLiteral(" \u2014 ") + found->name;
    }
    if (const std::optional<ContextDraft> active = store_.activeDraft())
        return title + QStringLiteral(" \u2014 ") + active->name;
    return title;
}

void ContentViewState::openPrompt()
{
    if (!store_.canModifyLibrary() && !store_.activeDraft())
        return;
    store_.ensureActiveDraft();
    setSidebarSelection(SidebarItem::prompt());
}

void ContentViewState::newPrompt()
{
    if (!store_.canModifyLibrary())
        return;
    if (!store_.newDraft())
        return;
    setSidebarSelection(SidebarItem::prompt());
    // The title names the new draft even when the prompt was shown already.
    Q_EMIT titleChanged();
}

void ContentViewState::focusSearch()
{
    if (sidebarSelection_ && sidebarSelection_->showsComposer())
        setSidebarSelection(SidebarItem::allSelections());
    Q_EMIT searchFocusRequested();
}

void ContentViewState::requestNewGroup(const std::optional<Selection>& selection)
{
    groupPendingSelection_ = selection;
    showNewGroupSheet_ = true;
    Q_EMIT newGroupSheetChanged();
}

void ContentViewState::dismissNewGroupSheet()
{
    if (!showNewGroupSheet_)
        return;
    showNewGroupSheet_ = false;
    groupPendingSelection_.reset();
    Q_EMIT newGroupSheetChanged();
}

} // namespace vellicord
