#pragma once

#include "Tovak/library/SelectionListModel.h"
#include "Tovak/library/SidebarItem.h"
#include "core/library/Selection.h"
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
    // to one of them, else to none.
    void selectInList(const QSet<QUuid>& ids);
    // Sets both, kept within what is shown.
    void setSelection(const QSet<QUuid>& ids, const std::optional<QUuid>& detail);

    // The trimmed, lower-cased search; empty when there is nothing to search for.
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
    void requestNewGroup(const std::optional<Selection>& selection);

    // A new group asked for (its sheet comes up), with the captures it is to hold.
    bool showNewGroupSheet() const { return showNewGroupSheet_; }
    void dismissNewGroupSheet();
    const std::optional<Selection>& groupPendingSelection() const { return groupPendingSelection_; }

Q_SIGNALS:
    void sidebarSelectionChanged();
    void searchTextChanged();
    void sortModeChanged();
    void selectionChanged();
    void titleChanged();
    void searchFocusRequested();
    void newGroupSheetChanged();

private:
    void applyFilter();
    void prune();

    Store& store_;
    SelectionListModel model_;
    std::optional<SidebarItem> sidebarSelection_ = SidebarItem::allSelections();
    QString searchText_;
    SortMode sortMode_ = SortMode::newestFirst;
    QSet<QUuid> selectedIDs_;
    std::optional<QUuid> detailSelectionID_;
    bool showNewGroupSheet_ = false;
    std::optional<Selection> groupPendingSelection_;
};

} // namespace vellicord
