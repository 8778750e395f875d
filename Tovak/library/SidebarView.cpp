#include "Tovak/library/SidebarView.h"

#include "Tovak/kit/AccessibleList.h"
#include "Tovak/kit/EditTarget.h"
#include "Tovak/kit/GripDrag.h"
#include "Tovak/library/ContentViewState.h"
#include "Tovak/library/SidebarModel.h"
#include "Tovak/library/SidebarRowDelegate.h"
#include "core/capture/Clipboard.h"
#include "core/composition/SelectionsMarkdown.h"
#include "core/library/SelectionDragIDs.h"
#include "core/library/Store.h"
#include "platform/Scheduler.h"

#include <QAccessible>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>

namespace vellicord {

namespace {

using Kind = SidebarModel::Kind;

QSet<QUuid> asSet(const QList<QUuid>& ids)
{
    return QSet<QUuid>(ids.cbegin(), ids.cend());
}

QSet<QUuid> idsOf(const QList<Selection>& selections)
{
    QSet<QUuid> ids;
    ids.reserve(selections.size());
    for (const Selection& s : selections)
        ids.insert(s.id);
    return ids;
}

} // namespace

SidebarView::SidebarView(SidebarModel& model, ContentViewState& state, Services services, Callbacks callbacks,
                         QWidget* parent)
    : QListView(parent)
    , model_(model)
    , state_(state)
    , services_(services)
    , callbacks_(std::move(callbacks))
    , delegate_(new SidebarRowDelegate(services.icons, this))
{
    setObjectName(QStringLiteral("Sidebar"));
    setAccessibleName(QStringLiteral("Sidebar"));
    setModel(&model_);
    setItemDelegate(delegate_);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setFrameShape(QFrame::NoFrame);
    viewport()->setBackgroundRole(QPalette::Window);
    setMinimumWidth(190);
    setMaximumWidth(280);
    // Drags start at a grip only; drops are judged row by row here, not by the model.
    setDragEnabled(false);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
    // No Edit command applies to the sidebar's rows (their menus copy what they hold): Control-C
    // here leaves the clipboard alone rather than take a row's title.
    EditTarget::attach(*this, {});
    new GripDrag(*this,
                 GripDrag::Row{
                     .gripRect =
                         [this](const QModelIndex& index) {
                             return model_.hasDragGrip(index.row())
                                 ? SidebarRowDelegate::gripRect(index, visualRect(index))
                                 : QRect();
                         },
                     .payload = [this](const QModelIndex& index) { return model_.dragPayload(index.row()); },
                 });
    AccessibleList::attach(*this,
                           AccessibleList::Actions{
                               .names = [this](int row) { return accessibleActions(row); },
                               .run = [this](int row, const QString&) { press(row); },
                           });

    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!syncing_ && !updating_)
            takeSelection();
    });
    connect(&state_, &ContentViewState::sidebarSelectionChanged, this, &SidebarView::showSelection);
    connect(&model_, &SidebarModel::updateStarted, this, [this] { updating_ = true; });
    connect(&model_, &SidebarModel::updateFinished, this, [this] {
        updating_ = false;
        showSelection();
    });
    connect(this, &QAbstractItemView::clicked, this, &SidebarView::act);
    showSelection();
}

// The row of the window's target is selected, found by the target's id: rows come and go as the
// library changes, and a source's row stays its own while the capture that names it changes.
void SidebarView::showSelection()
{
    const std::optional<SidebarItem>& target = state_.sidebarSelection();
    const int row = target ? model_.rowOf(*target) : -1;
    syncing_ = true;
    if (row >= 0) {
        const QModelIndex index = model_.index(row);
        if (currentIndex() != index || !selectionModel()->isSelected(index))
            selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    } else if (selectionModel()->hasSelection()) {
        selectionModel()->clearSelection();
    }
    syncing_ = false;
}

void SidebarView::takeSelection()
{
    const QModelIndexList chosen = selectionModel()->selectedIndexes();
    if (chosen.size() == 1) {
        if (const std::optional<SidebarItem> item = model_.item(chosen.first().row())) {
            state_.setSidebarSelection(item);
            return;
        }
    }
    // Nothing was chosen: the window keeps what it shows.
    showSelection();
}

// Rows that cannot be chosen leave the selection alone when clicked or moved onto.
QItemSelectionModel::SelectionFlags SidebarView::selectionCommand(const QModelIndex& index, const QEvent* event) const
{
    if (index.isValid() && !(model_.flags(index) & Qt::ItemIsSelectable))
        return QItemSelectionModel::NoUpdate;
    return QListView::selectionCommand(index, event);
}

// Past the toolkit's list: both layouts' sidebars follow the window's target, and only the one
// with the keyboard tells a screen reader of its row.
void SidebarView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QAbstractItemView::currentChanged(current, previous);
    AccessibleList::currentChanged(*this);
}

void SidebarView::act(const QModelIndex& index)
{
    if (!index.isValid() || !services_.store.canModifyLibrary())
        return;
    const Kind kind = model_.kind(index.row());
    if (kind == Kind::newPrompt && callbacks_.onNewPrompt)
        callbacks_.onNewPrompt();
    else if (kind == Kind::newGroup && callbacks_.onNewGroup)
        callbacks_.onNewGroup();
}

void SidebarView::keyPressEvent(QKeyEvent* event)
{
    const Kind kind = model_.kind(currentIndex().row());
    const bool activates
        = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Space;
    if (activates && currentIndex().isValid() && (kind == Kind::newPrompt || kind == Kind::newGroup)) {
        act(currentIndex());
        event->accept();
        return;
    }
    QListView::keyPressEvent(event);
}

// A secondary click opens the row's menu over what the window shows: choosing the row would
// navigate away before the menu is up.
void SidebarView::mousePressEvent(QMouseEvent* event)
{
    menuPress_ = event->button() == Qt::RightButton;
    if (menuPress_) {
        event->accept();
        return;
    }
    QListView::mousePressEvent(event);
}

void SidebarView::mouseReleaseEvent(QMouseEvent* event)
{
    if (menuPress_ && event->button() == Qt::RightButton) {
        menuPress_ = false;
        event->accept();
        return;
    }
    QListView::mouseReleaseEvent(event);
}

// A row that can be chosen is chosen; "New Prompt…" and "New Group…" act; the others offer nothing.
QStringList SidebarView::accessibleActions(int row) const
{
    const Kind kind = model_.kind(row);
    if (model_.item(row) || kind == Kind::newPrompt || kind == Kind::newGroup)
        return {QAccessibleActionInterface::pressAction()};
    return {};
}

void SidebarView::press(int row)
{
    if (const std::optional<SidebarItem> item = model_.item(row))
        state_.setSidebarSelection(item);
    else
        act(model_.index(row));
}

void SidebarView::setHoveredDropTarget(const std::optional<SidebarItem>& target)
{
    if (target == hoveredDropTarget_)
        return;
    hoveredDropTarget_ = target;
    delegate_->setDropTarget(target);
    viewport()->update();
}

// The row under the pointer when it takes drops: the active prompt or a group, while the library
// can be changed.
int SidebarView::dropRow(const QPoint& position) const
{
    const QModelIndex index = indexAt(position);
    if (!index.isValid() || !model_.isDropTarget(index.row()) || !services_.store.canModifyLibrary())
        return -1;
    return index.row();
}

// The entry is taken wherever the drag comes in (over a header, a source, a row's own grip): a
// refused entry gets no moves, so a drag that came in away from a target could never reach one.
// Each move then says whether the row under the pointer takes the drop.
void SidebarView::dragEnterEvent(QDragEnterEvent* event)
{
    if (!event->mimeData()->hasText()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    const int row = dropRow(event->position().toPoint());
    setHoveredDropTarget(row < 0 ? std::nullopt : model_.item(row));
}

void SidebarView::dragMoveEvent(QDragMoveEvent* event)
{
    const int row = dropRow(event->position().toPoint());
    if (row < 0 || !event->mimeData()->hasText()) {
        setHoveredDropTarget(std::nullopt);
        event->ignore();
        return;
    }
    setHoveredDropTarget(model_.item(row));
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void SidebarView::dragLeaveEvent(QDragLeaveEvent* event)
{
    setHoveredDropTarget(std::nullopt);
    event->accept();
}

// The text is read at once, while the drag still holds it; the library changes once the drag is
// over, so that neither window redraws its rows under the drag.
void SidebarView::dropEvent(QDropEvent* event)
{
    setHoveredDropTarget(std::nullopt);
    const int row = dropRow(event->position().toPoint());
    if (row < 0 || !event->mimeData()->hasText()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    // Another application's text, or a drag of no captures, is taken and changes nothing.
    if (const std::optional<QSet<QUuid>> ids = SelectionDragIDs::ids(event->mimeData()->text()))
        receive(*model_.item(row), *ids);
}

void SidebarView::receive(const SidebarItem& target, const QSet<QUuid>& ids)
{
    Store* store = &services_.store;
    if (target.is<SidebarItem::Prompt>()) {
        const std::optional<ContextDraft> active = store->activeDraft();
        if (!active)
            return;
        // The prompt that was dropped on, not one that took its place in the meantime.
        services_.scheduler.after(std::chrono::milliseconds(0), [store, draft = active->id, ids] {
            const std::optional<ContextDraft> now = store->activeDraft();
            if (now && now->id == draft)
                store->addSelectionsToActiveDraft(ids);
        });
    } else if (const auto* group = target.as<SidebarItem::Group>()) {
        services_.scheduler.after(std::chrono::milliseconds(0),
                                  [store, group = group->id, ids] { store->addToGroup(group, ids); });
    }
}

void SidebarView::contextMenuEvent(QContextMenuEvent* event)
{
    const QModelIndex index = indexAt(event->pos());
    QMenu* menu = index.isValid() ? contextMenu(index.row()) : nullptr;
    if (!menu)
        return;
    menu->exec(event->globalPos());
    delete menu;
}

QMenu* SidebarView::contextMenu(int row)
{
    // Copies only read; everything else would change a library that may not change.
    const bool changes = services_.store.canModifyLibrary();
    const auto add = [this](QMenu& menu, const QString& title, bool enabled, std::function<void()> action) {
        QAction* item = menu.addAction(title);
        item->setEnabled(enabled);
        connect(item, &QAction::triggered, this, std::move(action));
    };
    switch (model_.kind(row)) {
    case Kind::draft: {
        const QUuid id = *model_.draftID(row);
        auto* menu = new QMenu(this);
        add(*menu, QStringLiteral("Open"), true, [this, id] {
            if (callbacks_.onSelectDraft)
                callbacks_.onSelectDraft(id);
        });
        add(*menu, QStringLiteral("Delete"), changes, [this, id] {
            if (callbacks_.onDeleteDraft)
                callbacks_.onDeleteDraft(id);
        });
        return menu;
    }
    case Kind::group: {
        const std::optional<SelectionGroup> found = model_.group(row);
        if (!found)
            return nullptr;
        const SelectionGroup group = *found;
        auto* menu = new QMenu(this);
        add(*menu, QStringLiteral("Add to Prompt"), changes, [this, group] { addGroupToPrompt(group); });
        add(*menu, QStringLiteral("New Prompt from Collection"), changes, [this, group] { newPromptFromGroup(group); });
        menu->addSeparator();
        add(*menu, QStringLiteral("Copy as Markdown"), true, [this, group] { copyGroupMarkdown(group); });
        add(*menu, QStringLiteral("Copy Plain Text"), true, [this, group] { copyGroupPlain(group); });
        menu->addSeparator();
        add(*menu, QStringLiteral("Rename…"), changes, [this, group] {
            if (callbacks_.onRenameGroup)
                callbacks_.onRenameGroup(group);
        });
        add(*menu, QStringLiteral("Delete Group"), changes, [this, group] {
            if (callbacks_.onDeleteGroup)
                callbacks_.onDeleteGroup(group);
        });
        return menu;
    }
    case Kind::source: {
        const SourceIdentity identity = *model_.sourceIdentity(row);
        auto* menu = new QMenu(this);
        add(*menu, QStringLiteral("Add to Prompt"), changes, [this, identity] {
            const int now = model_.rowOf(SidebarItem::source(identity));
            if (now >= 0)
                addSourceToPrompt(model_.selectionIDs(now));
        });
        menu->addSeparator();
        add(*menu, QStringLiteral("Copy as Markdown"), true, [this, identity] { copySourceMarkdown(identity); });
        add(*menu, QStringLiteral("Copy Plain Text"), true, [this, identity] { copySourcePlain(identity); });
        return menu;
    }
    default: return nullptr;
    }
}

void SidebarView::addGroupToPrompt(const SelectionGroup& group)
{
    services_.store.addSelectionsToActiveDraft(idsOf(services_.store.selections(group.id)));
}

void SidebarView::newPromptFromGroup(const SelectionGroup& group)
{
    Store& store = services_.store;
    if (!store.canModifyLibrary() || !store.newDraft())
        return;
    store.addSelectionsToActiveDraft(idsOf(store.selections(group.id)));
    state_.setSidebarSelection(SidebarItem::prompt());
}

void SidebarView::copyGroupMarkdown(const SelectionGroup& group)
{
    Clipboard::writeMarkdown(SelectionsMarkdown::document(services_.store.selections(group.id)), services_.pasteboard);
}

void SidebarView::copyGroupPlain(const SelectionGroup& group)
{
    Clipboard::writePlain(SelectionsMarkdown::plainText(services_.store.selections(group.id)), services_.pasteboard);
}

void SidebarView::addSourceToPrompt(const QList<QUuid>& selectionIDs)
{
    services_.store.addSelectionsToActiveDraft(asSet(selectionIDs));
}

QList<Selection> SidebarView::sourceSelections(const SourceIdentity& identity) const
{
    QList<Selection> selections;
    const int row = model_.rowOf(SidebarItem::source(identity));
    if (row < 0)
        return selections;
    for (const QUuid& id : model_.selectionIDs(row)) {
        if (std::optional<Selection> s = services_.store.findByID(id))
            selections.append(std::move(*s));
    }
    return selections;
}

void SidebarView::copySourceMarkdown(const SourceIdentity& identity)
{
    Clipboard::writeMarkdown(SelectionsMarkdown::fromSource(sourceSelections(identity), identity),
                             services_.pasteboard);
}

void SidebarView::copySourcePlain(const SourceIdentity& identity)
{
    Clipboard::writePlain(SelectionsMarkdown::plainText(sourceSelections(identity)), services_.pasteboard);
}

} // namespace vellicord
