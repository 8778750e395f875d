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
    connect(&model_, &SelectionListModel::shownChanged, this, &ContentViewState::dropHiddenSelection);
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
    return Text::canonical(Text::lowercased(Text::trimmed(searchText_)));
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
    else if (detailSelectionID_ && ids.contains(*detailSelectionID_))
        detail = detailSelectionID_; // a row left (a Control-click, a delete): the inspected one stays
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
void ContentViewState::dropHiddenSelection()
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

void ContentViewState::selectDraft(const QUuid& id)
{
    // A library that cannot change keeps its active draft; the prompt is shown all the same.
    store_.activateDraft(id);
    setSidebarSelection(SidebarItem::prompt());
}

void ContentViewState::deleteDraft(const QUuid& id)
{
    store_.deleteDraft(id);
    if (sidebarSelection_ == SidebarItem::draft(id))
        setSidebarSelection(SidebarItem::prompt());
}

ContentViewState::Presentation ContentViewState::presentation() const
{
    if (showNewGroupSheet_)
        return Presentation::newGroup;
    if (groupToRename_)
        return Presentation::renameGroup;
    if (groupPendingDeletion_)
        return Presentation::deleteGroup;
    return Presentation::none;
}

bool ContentViewState::requestNewGroup()
{
    if (presentation() != Presentation::none)
        return false;
    newGroupName_.clear();
    showNewGroupSheet_ = true;
    Q_EMIT presentationChanged();
    return true;
}

bool ContentViewState::requestNewGroup(const std::optional<Selection>& selection)
{
    if (presentation() != Presentation::none)
        return false;
    groupPendingSelection_ = selection;
    return requestNewGroup();
}

bool ContentViewState::requestNewGroup(const QSet<QUuid>& selectionIDs)
{
    if (presentation() != Presentation::none)
        return false;
    groupPendingSelectionIDs_ = selectionIDs;
    return requestNewGroup();
}

bool ContentViewState::createGroupAndClose()
{
    if (!showNewGroupSheet_ || !store_.canModifyLibrary())
        return false;
    // Newlines go too: a name typed or pasted with one would show as a broken row.
    const QString name = Text::trimmed(newGroupName_);
    if (name.isEmpty())
        return false;
    const QString color = QString::fromUtf16(newGroupColorHex);
    std::optional<SelectionGroup> group;
    if (groupPendingSelectionIDs_ && !groupPendingSelectionIDs_->isEmpty()) {
        group = store_.createGroup(name, color, *groupPendingSelectionIDs_);
    } else {
        group = store_.addGroup(name, color);
        if (group && groupPendingSelection_)
            store_.addToGroup(group->id, {groupPendingSelection_->id});
    }
    if (!group)
        return false;
    groupPendingSelection_.reset();
    groupPendingSelectionIDs_.reset();
    showNewGroupSheet_ = false;
    Q_EMIT presentationChanged();
    setSidebarSelection(SidebarItem::group(group->id));
    return true;
}

void ContentViewState::dismissNewGroupSheet()
{
    if (!showNewGroupSheet_)
        return;
    showNewGroupSheet_ = false;
    groupPendingSelection_.reset();
    groupPendingSelectionIDs_.reset();
    Q_EMIT presentationChanged();
}

bool ContentViewState::requestRenameGroup(const SelectionGroup& group)
{
    if (presentation() != Presentation::none)
        return false;
    groupToRename_ = group;
    renameGroupName_ = group.name;
    Q_EMIT presentationChanged();
    return true;
}

bool ContentViewState::renameGroupAndClose()
{
    const QString name = Text::trimmed(renameGroupName_);
    if (!groupToRename_ || name.isEmpty())
        return false;
    store_.renameGroup(groupToRename_->id, name);
    groupToRename_.reset();
    Q_EMIT presentationChanged();
    return true;
}

void ContentViewState::dismissRenameSheet()
{
    if (!groupToRename_)
        return;
    groupToRename_.reset();
    Q_EMIT presentationChanged();
}

bool ContentViewState::requestDeleteGroup(const SelectionGroup& group)
{
    if (presentation() != Presentation::none)
        return false;
    groupPendingDeletion_ = group;
    Q_EMIT presentationChanged();
    return true;
}

void ContentViewState::deleteGroupAndClose()
{
    if (!groupPendingDeletion_)
        return;
    const QUuid id = groupPendingDeletion_->id;
    if (sidebarSelection_ == SidebarItem::group(id))
        setSidebarSelection(SidebarItem::allSelections());
    store_.deleteGroup(id);
    groupPendingDeletion_.reset();
    Q_EMIT presentationChanged();
}

void ContentViewState::dismissDeleteAlert()
{
    if (!groupPendingDeletion_)
        return;
    groupPendingDeletion_.reset();
    Q_EMIT presentationChanged();
}

} // namespace vellicord
