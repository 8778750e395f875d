#include "Tovak/library/LibrarySelectionList.h"

#include "Tovak/kit/AccessibleList.h"
#include "Tovak/kit/AppNotification.h"
#include "Tovak/kit/EditTarget.h"
#include "Tovak/kit/GripDrag.h"
#include "Tovak/kit/MenuItemText.h"
#include "Tovak/kit/NotificationCenter.h"
#include "Tovak/library/CaptureActions.h"
#include "Tovak/library/ContentViewState.h"
#include "Tovak/library/SelectionRowDelegate.h"
#include "core/capture/Clipboard.h"
#include "core/composition/SelectionsMarkdown.h"
#include "core/library/SelectionDragIDs.h"
#include "core/library/Store.h"

#include <QAccessible>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>

#include <algorithm>

namespace vellicord {

LibrarySelectionList::LibrarySelectionList(ContentViewState& state, IconCache& icons, Pasteboard& pasteboard,
                                           Desktop& desktop, QWidget* parent)
    : QListView(parent)
    , state_(state)
    , pasteboard_(pasteboard)
    , desktop_(desktop)
    , delegate_(new SelectionRowDelegate(icons, this))
{
    setObjectName(QStringLiteral("LibrarySelectionList"));
    setAccessibleName(QStringLiteral("Captures"));
    setModel(&state_.model());
    setItemDelegate(delegate_);
    // One height for every row, and the rows laid out a large batch at a time: laid out whole after
    // every change of the rows shown, a million rows took 10 to 20 ms of each keystroke of a
    // search. The first batch holds the rows in view; the rest follow in the next turns of the
    // event loop.
    setUniformItemSizes(true);
    setLayoutMode(QListView::Batched);
    setBatchSize(65536);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTextElideMode(Qt::ElideRight);
    setDragEnabled(false); // drags start at a row's grip only
    new GripDrag(*this,
                 GripDrag::Row{
                     .gripRect = [this](const QModelIndex& index) { return delegate_->gripRect(visualRect(index)); },
                     .payload = [this](const QModelIndex& index) { return dragPayload(index.row()); },
                 });
    AccessibleList::attach(*this,
                           AccessibleList::Actions{
                               .names = [this](int row) { return accessibleActions(row); },
                               .run = [this](int row, const QString& name) { runAccessibleAction(row, name); },
                           });
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!syncing_)
            takeSelection();
    });
    // Of the Edit menu, the list copies its selected rows and selects all of them.
    EditTarget& edit = EditTarget::attach(
        *this, EditTarget::copyAndSelectAll([this] { return selectionModel()->hasSelection(); },
                                            [this] { Q_EMIT copyRequested(); },
                                            [this] { return model()->rowCount() > 0; }, [this] { selectAll(); }));
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, &edit, &EditTarget::changed);
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(model(), signal, &edit, &EditTarget::changed);
    connect(model(), &QAbstractItemModel::modelReset, &edit, &EditTarget::changed);
    connect(&state_, &ContentViewState::selectionChanged, this, &LibrarySelectionList::showSelection);
    // A new list loses the view's selection; the state still knows it.
    connect(&state_.model(), &QAbstractItemModel::modelReset, this, &LibrarySelectionList::showSelection);
    connect(&state_.model(), &QAbstractItemModel::modelReset, this, &LibrarySelectionList::keepKeyboardRow);
    showSelection();
}

void LibrarySelectionList::takeSelection()
{
    const SelectionListModel& model = state_.model();
    QSet<QUuid> ids;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            ids.insert(model.idAt(row));
    }
    state_.selectInList(ids);
}

// Selects the rows of the state's selection, as few ranges as it takes.
void LibrarySelectionList::showSelection()
{
    const SelectionListModel& model = state_.model();
    const std::vector<int> rows = model.rowsOf(state_.selectedIDs());
    QItemSelection selection;
    for (size_t i = 0; i < rows.size();) {
        size_t end = i;
        while (end + 1 < rows.size() && rows[end + 1] == rows[end] + 1)
            ++end;
        selection.select(model.index(rows[i]), model.index(rows[end]));
        i = end + 1;
    }
    syncing_ = true;
    if (selectionModel()->selection() != selection)
        selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    // Keys move on from the row the user last chose; when the selection was set from elsewhere,
    // from the inspected row.
    const bool currentSelected
        = currentIndex().isValid() && state_.selectedIDs().contains(model.idAt(currentIndex().row()));
    if (const std::optional<QUuid>& detail = state_.detailSelectionID(); detail && !currentSelected) {
        const int row = model.rowOf(*detail);
        if (row >= 0)
            selectionModel()->setCurrentIndex(model.index(row), QItemSelectionModel::NoUpdate);
    }
    syncing_ = false;
}

// A secondary click opens the row's menu over the selection as it is: the menu acts on its own
// row, and the selection is what the toolbar's actions work on.
void LibrarySelectionList::mousePressEvent(QMouseEvent* event)
{
    menuPress_ = event->button() == Qt::RightButton;
    if (menuPress_) {
        event->accept();
        return;
    }
    QListView::mousePressEvent(event);
}

void LibrarySelectionList::mouseReleaseEvent(QMouseEvent* event)
{
    if (menuPress_ && event->button() == Qt::RightButton) {
        menuPress_ = false;
        event->accept();
        return;
    }
    QListView::mouseReleaseEvent(event);
}

// The second click of a double click copies the row; a third click is an ordinary press again.
void LibrarySelectionList::mouseDoubleClickEvent(QMouseEvent* event)
{
    QListView::mouseDoubleClickEvent(event);
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && index.isValid())
        copyPlainText(index.row());
}

// Typing in the list searches nothing: the search field does, and a scan of every row per letter
// would stall a long list.
void LibrarySelectionList::keyboardSearch(const QString&)
{
}

// The list takes the keys at its first row without choosing it; with nothing chosen, the first
// arrow chooses the row the keys are on rather than the one after it.
void LibrarySelectionList::keyPressEvent(QKeyEvent* event)
{
    const bool arrow = event->key() == Qt::Key_Up || event->key() == Qt::Key_Down;
    if (arrow && event->modifiers() == Qt::NoModifier && currentIndex().isValid()
        && !selectionModel()->hasSelection()) {
        selectionModel()->setCurrentIndex(currentIndex(),
                                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        event->accept();
        return;
    }
    QListView::keyPressEvent(event);
}

// Past the toolkit's list, which would tell a screen reader of the row wherever the keyboard is.
void LibrarySelectionList::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QAbstractItemView::currentChanged(current, previous);
    AccessibleList::currentChanged(*this);
}

// While the list holds the keyboard, the keyboard is on a row, which shows it: a new list (another
// order, chosen from the toolbar's menu) starts it at the first row when no other was chosen, as
// the toolkit does when the list gets the keyboard.
void LibrarySelectionList::keepKeyboardRow()
{
    if (hasFocus() && !currentIndex().isValid() && model()->rowCount() > 0)
        selectionModel()->setCurrentIndex(model()->index(0, 0), QItemSelectionModel::NoUpdate);
}

void LibrarySelectionList::takeKeyboardAt(int row)
{
    setFocus(Qt::OtherFocusReason);
    selectionModel()->setCurrentIndex(model()->index(row, 0), QItemSelectionModel::NoUpdate);
}

void LibrarySelectionList::copyPlainText(int row)
{
    SelectionListModel& model = state_.model();
    const std::optional<Selection> selection = model.selectionAt(row);
    if (!selection)
        return;
    if (Clipboard::writePlain(selection->text, pasteboard_))
        model.flashCopied(selection->id);
}

QString LibrarySelectionList::dragPayload(int row) const
{
    const QUuid id = state_.model().idAt(row);
    return SelectionDragIDs::encode(state_.selectedIDs().contains(id) ? state_.selectedIDs() : QSet<QUuid>{id});
}

QStringList LibrarySelectionList::accessibleActions(int) const
{
    return {QAccessibleActionInterface::toggleAction(), QStringLiteral("Copy plain text"),
            QStringLiteral("Add to active prompt")};
}

void LibrarySelectionList::runAccessibleAction(int row, const QString& name)
{
    if (name == QAccessibleActionInterface::toggleAction()) {
        selectionModel()->select(model()->index(row, 0), QItemSelectionModel::Toggle | QItemSelectionModel::Rows);
    } else if (name == QStringLiteral("Copy plain text")) {
        copyPlainText(row);
    } else if (name == QStringLiteral("Add to active prompt")) {
        // As the row's menu item: the prompt's badge shows the addition.
        state_.store().addSelectionToActiveDraft(state_.model().idAt(row));
    }
}

QMenu* LibrarySelectionList::contextMenu(int row, QWidget* parent)
{
    const std::optional<Selection> found = state_.model().selectionAt(row);
    if (!found)
        return nullptr;
    const Selection selection = *found;
    const QUuid id = selection.id;
    Store& store = state_.store();
    SelectionListModel& model = state_.model();
    Pasteboard& pasteboard = pasteboard_;
    auto* menu = new QMenu(parent);
    const auto item = [menu](const QString& title, auto action) {
        QAction* added = menu->addAction(title);
        QObject::connect(added, &QAction::triggered, menu, action);
        return added;
    };
    // A library that cannot be changed shows what would change it disabled, as the toolbar and the
    // inspector do; the copies and what only opens stay on.
    const bool changeable = store.canModifyLibrary();
    // The row may have moved or gone by the time a copy is made: its mark is found by the capture's id.
    item(QStringLiteral("Copy as Markdown"), [&model, &pasteboard, selection] {
        if (Clipboard::writeMarkdown(SelectionsMarkdown::single(selection), pasteboard))
            model.flashCopied(selection.id);
    });
    item(QStringLiteral("Copy Plain Text"), [&model, &pasteboard, selection] {
        if (Clipboard::writePlain(selection.text, pasteboard))
            model.flashCopied(selection.id);
    });
    item(QStringLiteral("Add to Prompt"), [&store, id] { store.addSelectionToActiveDraft(id); })
        ->setEnabled(changeable);
    if (selection.sourceURL) {
        menu->addSeparator();
        CaptureActions::addOpenItems(*menu, desktop_, pasteboard, selection);
    }
    if (selection.filePath) {
        menu->addSeparator();
        CaptureActions::addRevealItem(*menu, desktop_, selection);
    }
    menu->addSeparator();
    const std::optional<QString> detail = selection.sourceDetail();
    const QString source = detail ? u'"' + *detail + u'"' : selection.appName;
    item(QStringLiteral("Copy All from ") + MenuItemText::of(source), [&store, &model, &pasteboard, selection] {
        if (CaptureActions::copyAllFromSource(store, selection, pasteboard))
            model.flashCopied(selection.id);
    });
    menu->addSeparator();
    QMenu* groups = menu->addMenu(QStringLiteral("Add to Group…"));
    CaptureActions::addGroupItems(*groups, store, selection);
    groups->addSeparator();
    QAction* newGroup = groups->addAction(QStringLiteral("New Group…"));
    newGroup->setEnabled(changeable);
    QObject::connect(newGroup, &QAction::triggered, menu, [selection] {
        NotificationCenter::defaultCenter().post(AppNotification::vellicordRequestNewGroup,
                                                 QVariant::fromValue(selection));
    });
    if (!selection.groupIDs.isEmpty()) {
        const QSet<QUuid> memberships(selection.groupIDs.cbegin(), selection.groupIDs.cend());
        item(QStringLiteral("Remove from All Groups"),
             [&store, memberships, id] { store.removeFromGroups(memberships, {id}); })
            ->setEnabled(changeable);
    }
    menu->addSeparator();
    item(QStringLiteral("Delete"), [&store, id] { store.remove(id); })->setEnabled(changeable);
    return menu;
}

void LibrarySelectionList::contextMenuEvent(QContextMenuEvent* event)
{
    // The scroll area hands on the viewport's event: its position is in the viewport already.
    const QModelIndex index = indexAt(event->pos());
    if (!index.isValid())
        return;
    std::unique_ptr<QMenu> menu(contextMenu(index.row(), this));
    if (menu)
        menu->exec(event->globalPos());
}

} // namespace vellicord
