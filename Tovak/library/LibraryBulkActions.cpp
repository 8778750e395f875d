#include "Tovak/library/LibraryBulkActions.h"

#include "Tovak/library/ContentViewState.h"
#include "core/capture/Clipboard.h"
#include "core/composition/SelectionsMarkdown.h"
#include "core/library/AppLog.h"
#include "core/library/Store.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace vellicord {

LibraryBulkActions::LibraryBulkActions(ContentViewState& state, Store& store, Pasteboard& pasteboard, Log log,
                                       QObject* parent)
    : QObject(parent)
    , state_(state)
    , store_(store)
    , pasteboard_(pasteboard)
    , log_(log ? std::move(log) : Log(&logAppMessage))
{
}

std::optional<SelectionGroup> LibraryBulkActions::shownGroup() const
{
    const auto* group = state_.sidebarSelection() ? state_.sidebarSelection()->as<SidebarItem::Group>() : nullptr;
    return group ? store_.findGroup(group->id) : std::nullopt;
}

QSet<QUuid> LibraryBulkActions::existing(const QSet<QUuid>& ids) const
{
    QSet<QUuid> found;
    found.reserve(ids.size());
    for (const QUuid& id : ids) {
        if (store_.find(id))
            found.insert(id);
    }
    return found;
}

QSet<QUuid> LibraryBulkActions::members(const QUuid& groupID) const
{
    QSet<QUuid> ids;
    for (const Selection& s : store_.selections()) {
        if (s.groupIDs.contains(groupID))
            ids.insert(s.id);
    }
    return ids;
}

QList<Selection> LibraryBulkActions::chosen() const
{
    // By row, from the selection itself: a few captures chosen from a long list cost no walk of it.
    const SelectionListModel& model = state_.model();
    const std::vector<int> rows = model.rowsOf(state_.selectedIDs());
    QList<Selection> selections;
    selections.reserve(qsizetype(rows.size()));
    for (int row : rows) {
        if (const Selection* s = store_.find(model.idAt(row)))
            selections.append(*s);
    }
    return selections;
}

void LibraryBulkActions::selectAllInCollection(const QUuid& groupID)
{
    // With the group shown, every row shown is one of its members.
    const bool shown = state_.sidebarSelection() == SidebarItem::group(groupID);
    const QList<QUuid> visible = state_.model().visibleIDs();
    QSet<QUuid> ids;
    ids.reserve(visible.size());
    std::optional<QUuid> first;
    for (const QUuid& id : visible) {
        const Selection* s = shown ? nullptr : store_.find(id);
        if (!shown && (!s || !s->groupIDs.contains(groupID)))
            continue;
        ids.insert(id);
        if (!first)
            first = id;
    }
    if (ids.isEmpty())
        return;
    state_.setSelection(ids, first);
}

void LibraryBulkActions::addCollectionToPrompt(const QUuid& groupID)
{
    if (!store_.canModifyLibrary())
        return;
    const QSet<QUuid> ids = members(groupID);
    const qsizetype added = store_.addSelectionsToActiveDraft(ids);
    log_(QStringLiteral("Collection add %1/%2 to prompt").arg(added).arg(ids.size()));
    Q_EMIT addedToPrompt(added, ids.size());
}

void LibraryBulkActions::newPromptFromCollection(const QUuid& groupID)
{
    if (!store_.canModifyLibrary())
        return;
    const QSet<QUuid> ids = members(groupID);
    if (!store_.newDraft())
        return;
    store_.addSelectionsToActiveDraft(ids);
    state_.setSidebarSelection(SidebarItem::prompt());
}

void LibraryBulkActions::copyCollectionMarkdown(const QUuid& groupID)
{
    Clipboard::writeMarkdown(SelectionsMarkdown::document(store_.selections(groupID)), pasteboard_);
}

void LibraryBulkActions::copyCollectionPlain(const QUuid& groupID)
{
    Clipboard::writePlain(SelectionsMarkdown::plainText(store_.selections(groupID)), pasteboard_);
}

void LibraryBulkActions::addSelectedToPrompt()
{
    if (!store_.canModifyLibrary() || state_.selectedIDs().isEmpty())
        return;
    const QSet<QUuid> ids = existing(state_.selectedIDs());
    if (ids.isEmpty())
        return;
    const qsizetype added = store_.addSelectionsToActiveDraft(ids);
    log_(QStringLiteral("Bulk add %1/%2 selection(s) to prompt").arg(added).arg(ids.size()));
    Q_EMIT addedToPrompt(added, ids.size());
}

void LibraryBulkActions::newPromptWithSelection()
{
    if (!store_.canModifyLibrary())
        return;
    const QSet<QUuid> ids = existing(state_.selectedIDs());
    if (!store_.newDraft())
        return;
    if (!ids.isEmpty())
        store_.addSelectionsToActiveDraft(ids);
    state_.setSelection({}, state_.detailSelectionID());
    state_.setSidebarSelection(SidebarItem::prompt());
}

void LibraryBulkActions::addSelectedToGroup(const QUuid& groupID)
{
    // The menu may have been opened before the group went away.
    if (!store_.canModifyLibrary() || !store_.findGroup(groupID))
        return;
    const QSet<QUuid> ids = existing(state_.selectedIDs());
    if (!ids.isEmpty())
        store_.addToGroup(groupID, ids);
}

bool LibraryBulkActions::newGroupWithSelection()
{
    if (!store_.canModifyLibrary())
        return false;
    const QSet<QUuid> ids = existing(state_.selectedIDs());
    return !ids.isEmpty() && state_.requestNewGroup(ids);
}

void LibraryBulkActions::copySelectedMarkdown()
{
    const QList<Selection> selections = chosen();
    if (selections.isEmpty())
        return;
    log_(QStringLiteral("Copy Markdown for %1 selection(s)").arg(selections.size()));
    Clipboard::writeMarkdown(SelectionsMarkdown::document(selections), pasteboard_);
}

void LibraryBulkActions::copySelectedPlain()
{
    const QList<Selection> selections = chosen();
    if (!selections.isEmpty())
        Clipboard::writePlain(SelectionsMarkdown::plainText(selections), pasteboard_);
}

std::optional<int> LibraryBulkActions::deleteSelected()
{
    if (!store_.canModifyLibrary() || state_.selectedIDs().isEmpty())
        return std::nullopt;
    const QSet<QUuid> ids = state_.selectedIDs();
    const SelectionListModel& model = state_.model();
    const std::vector<int> rows = model.rowsOf(ids);
    log_(QStringLiteral("Batch delete %1 selection(s)").arg(ids.size()));
    store_.remove(ids);
    const int left = model.rowCount();
    state_.setSelection({}, left > 0 ? std::optional(model.idAt(0)) : std::nullopt);
    if (left == 0)
        return std::nullopt;
    return std::min(rows.empty() ? 0 : rows.front(), left - 1);
}

} // namespace vellicord
