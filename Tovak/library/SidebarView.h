#pragma once

#include "Tovak/library/SidebarItem.h"
#include "core/library/SelectionGroup.h"

#include <QListView>
#include <QSet>
#include <QUuid>

#include <functional>
#include <optional>

class QMenu;

namespace vellicord {

class ContentViewState;
class IconCache;
class Pasteboard;
class Scheduler;
class SidebarModel;
class SidebarRowDelegate;
class Store;

// The first column of the window, in both layouts: the sidebar's rows (one model for both), the
// window's navigation target as its selection, drops of captures onto the active prompt and the
// groups, drags of a group's or a source's captures from their grips, and the rows' menus, which
// open over what the window shows without changing it. A screen reader presses a row to choose it.
// It changes the library only through the Store, or asks the window through its callbacks.
class SidebarView final : public QListView {
    Q_OBJECT
public:
    // What the window does for the sidebar.
    struct Callbacks {
        std::function<void()> onNewGroup;
        std::function<void(const SelectionGroup&)> onRenameGroup;
        std::function<void(const SelectionGroup&)> onDeleteGroup;
        std::function<void()> onOpenPrompt;
        std::function<void()> onNewPrompt;
        std::function<void(const QUuid&)> onSelectDraft;
        std::function<void(const QUuid&)> onDeleteDraft;
    };
    // What the sidebar works with; all outlive it.
    struct Services {
        Store& store;
        Pasteboard& pasteboard;
        Scheduler& scheduler;
        IconCache& icons;
    };

    SidebarView(SidebarModel& model, ContentViewState& state, Services services, Callbacks callbacks,
                QWidget* parent = nullptr);

    SidebarModel& sidebarModel() const { return model_; }
    // The drop target a drag is over.
    const std::optional<SidebarItem>& hoveredDropTarget() const { return hoveredDropTarget_; }
    // A new menu for the row, owned by the caller; none for rows without one.
    QMenu* contextMenu(int row);

    // The menus' actions.
    void addGroupToPrompt(const SelectionGroup& group);
    void newPromptFromGroup(const SelectionGroup& group);
    void copyGroupMarkdown(const SelectionGroup& group);
    void copyGroupPlain(const SelectionGroup& group);
    void addSourceToPrompt(const QList<QUuid>& selectionIDs);
    void copySourceMarkdown(const SourceIdentity& identity);
    void copySourcePlain(const SourceIdentity& identity);

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event = nullptr) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void showSelection();
    void takeSelection();
    void act(const QModelIndex& index);
    QStringList accessibleActions(int row) const;
    void press(int row);
    void setHoveredDropTarget(const std::optional<SidebarItem>& target);
    int dropRow(const QPoint& position) const;
    void receive(const SidebarItem& target, const QSet<QUuid>& ids);
    QList<Selection> sourceSelections(const SourceIdentity& identity) const;

    SidebarModel& model_;
    ContentViewState& state_;
    Services services_;
    Callbacks callbacks_;
    SidebarRowDelegate* delegate_;
    std::optional<SidebarItem> hoveredDropTarget_;
    bool syncing_ = false; // the selection is being set from the window's state
    bool updating_ = false; // the model is moving rows
    bool menuPress_ = false; // a secondary press, which opens the row's menu and chooses nothing
};

} // namespace vellicord
