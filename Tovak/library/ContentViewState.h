#pragma once

#include "Tovak/library/SelectionListModel.h"
#include "Tovak/library/SidebarItem.h"
#include "core/library/Selection.h"
#include "core/library/SelectionGroup.h"
#include "core/library/SortMode.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QUuid>

#include <optional>

namespace vellicord {

class Clock;
class Scheduler;
class Store;

// The main window's presentation state: what it shows (the sidebar's target, the search, the
// order), which captures are selected and which one is inspected, and the requests the window
// answers. It derives the list of captures shown and the window's title, and keeps the selection
// within what is shown. It never changes a record itself: every change goes through the Store.
// Main thread only; no widgets.
class ContentViewState final : public QObject {
    Q_OBJECT
public:
    ContentViewState(Store& store, Scheduler& scheduler, const Clock& clock, QObject* parent = nullptr);

    // The library the window shows.
    Store& store() const { return store_; }

    const std::optional<SidebarItem>& sidebarSelection() const { return sidebarSelection_; }
    void setSidebarSelection(const std::optional<SidebarItem>& item);
    // The search as typed; the list searches for it trimmed and lower-cased.
    const QString& searchText() const { return searchText_; }
    void setSearchText(const QString& text);
    SortMode sortMode() const { return sortMode_; }
    void setSortMode(SortMode mode);

    const QSet<QUuid>& selectedIDs() const { return selectedIDs_; }
    const std::optional<QUuid>& detailSelectionID() const { return detailSelectionID_; }
    // The list's selection changed to these captures: the inspector moves to one just added, else
    // stays where it is when that capture is still selected, else moves to one of them, else to none.
    void selectInList(const QSet<QUuid>& ids);
    // Sets both, kept within what is shown.
    void setSelection(const QSet<QUuid>& ids, const std::optional<QUuid>& detail);

    // The trimmed, lower-cased search in NFC, as the search texts are; empty when there is nothing
    // to search for.
    QString query() const;
    // A search is typed, or a group or a source is shown.
    bool isFiltering() const;
    QList<Selection> visibleSelections() const { return model_.visibleSelections(); }
    SelectionListModel& model() { return model_; }
    const SelectionListModel& model() const { return model_; }

    // "Vellicord", or "Vellicord — " and the shown prompt's name.
    QString navigationTitleText() const;

    // The requests of the menus and the rows.
    void openPrompt();
    void newPrompt();
    void focusSearch();
    // The sidebar's choice of a draft: it becomes the active one, and the prompt is shown.
    void selectDraft(const QUuid& id);
    // Deletes the draft; the window moves to the prompt when it showed that draft.
    void deleteDraft(const QUuid& id);

    // The group sheets and the delete alert, one at a time: a request while one is up is ignored.
    enum class Presentation { none, newGroup, renameGroup, deleteGroup };
    Presentation presentation() const;
    // New groups get this colour.
    static constexpr char16_t newGroupColorHex[] = u"#4F8EF7";

    // A new group asked for by the sidebar (no capture), by a capture's row (that capture) or for
    // several captures; the sheet comes up with an empty name. False when ignored.
    bool requestNewGroup();
    bool requestNewGroup(const std::optional<Selection>& selection);
    bool requestNewGroup(const QSet<QUuid>& selectionIDs);
    bool showNewGroupSheet() const { return showNewGroupSheet_; }
    const QString& newGroupName() const { return newGroupName_; }
    void setNewGroupName(const QString& name) { newGroupName_ = name; }
    const std::optional<Selection>& groupPendingSelection() const { return groupPendingSelection_; }
    const std::optional<QSet<QUuid>>& groupPendingSelectionIDs() const { return groupPendingSelectionIDs_; }
    // Creates the group under the name trimmed of white space and newlines, with the captures it
    // was asked for, closes the sheet and shows the group. False, and the sheet stays, when the
    // name is blank or the library cannot be changed.
    bool createGroupAndClose();
    // Every way out of the sheet but a create: the captures it was asked for are dropped.
    void dismissNewGroupSheet();

    bool requestRenameGroup(const SelectionGroup& group);
    const QString& renameGroupName() const { return renameGroupName_; }
    void setRenameGroupName(const QString& name) { renameGroupName_ = name; }
    // Renames to the trimmed name and closes the sheet; false, and the sheet stays, for a blank name.
    bool renameGroupAndClose();
    void dismissRenameSheet();

    bool requestDeleteGroup(const SelectionGroup& group);
    // Deletes the group (its captures stay); the window shows the whole library when it showed it.
    void deleteGroupAndClose();
    void dismissDeleteAlert();

Q_SIGNALS:
    void sidebarSelectionChanged();
    void searchTextChanged();
    void sortModeChanged();
    void selectionChanged();
    void titleChanged();
    void searchFocusRequested();
    void presentationChanged();

private:
    void applyFilter();
    void dropHiddenSelection();

    Store& store_;
    SelectionListModel model_;
    std::optional<SidebarItem> sidebarSelection_ = SidebarItem::allSelections();
    QString searchText_;
    SortMode sortMode_ = SortMode::newestFirst;
    QSet<QUuid> selectedIDs_;
    std::optional<QUuid> detailSelectionID_;
    bool showNewGroupSheet_ = false;
    QString newGroupName_;
    std::optional<Selection> groupPendingSelection_;
    std::optional<QSet<QUuid>> groupPendingSelectionIDs_;
    std::optional<SelectionGroup> groupToRename_;
    QString renameGroupName_;
    std::optional<SelectionGroup> groupPendingDeletion_;
};

} // namespace vellicord
