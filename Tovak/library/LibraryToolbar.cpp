#include "Tovak/library/LibraryToolbar.h"

#include "Tovak/kit/BoundedText.h"
#include "Tovak/kit/ChoiceMenuStyle.h"
#include "Tovak/kit/MenuItemText.h"
#include "Tovak/kit/Symbols.h"
#include "Tovak/kit/Theme.h"
#include "Tovak/library/ContentViewState.h"
#include "Tovak/library/LibraryBulkActions.h"
#include "core/library/SortMode.h"
#include "core/library/Store.h"

#include <QActionGroup>
#include <QEvent>
#include <QMenu>
#include <QTextDocument>
#include <QToolButton>
#include <QToolTip>

namespace vellicord {

namespace {

using Item = LibraryToolbar::Item;

QString sortSymbol(SortMode mode)
{
    switch (mode) {
    case SortMode::newestFirst: return QStringLiteral("arrow.down.to.line");
    case SortMode::oldestFirst: return QStringLiteral("arrow.up.to.line");
    case SortMode::byApp: return QStringLiteral("app");
    case SortMode::bySource: return QStringLiteral("link");
    }
    return {};
}

// A tooltip is read as rich text when it looks like it, and a group's name may: "<i>notes</i>"
// is shown as typed.
QString toolTipOf(const QString& help)
{
    return Qt::mightBeRichText(help) ? Qt::convertFromPlainText(help, Qt::WhiteSpaceNoWrap) : help;
}

} // namespace

LibraryToolbar::LibraryToolbar(ContentViewState& state, LibraryBulkActions& actions, Services services, QWidget* parent)
    : QToolBar(QStringLiteral("Library"), parent)
    , state_(state)
    , actions_(actions)
    , services_(std::move(services))
{
    setObjectName(QStringLiteral("LibraryToolBar"));
    setMovable(false);
    setFloatable(false);
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    auto* spacer = new QWidget(this);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    addWidget(spacer);

    const auto inGroup = [this](GroupAction action) { return onShownGroup(action); };
    connect(addItem(Item::capture, QStringLiteral("Capture Selection"), QStringLiteral("viewfinder")),
            &QToolButton::clicked, this, [this] {
                if (services_.requestCapture)
                    services_.requestCapture();
            });
    connect(addItem(Item::selectAll, QStringLiteral("Select All"), QStringLiteral("checkmark.circle")),
            &QToolButton::clicked, this, inGroup(&LibraryBulkActions::selectAllInCollection));
    // The whole group's items have symbols of their own, told apart from the selection's beside them.
    addItem(Item::addCollectionToPrompt, QStringLiteral("Add Collection to Prompt"),
            QStringLiteral("rectangle.stack.badge.plus"));
    addMenu(Item::addCollectionToPrompt,
            {{QStringLiteral("Add to Active Prompt"), inGroup(&LibraryBulkActions::addCollectionToPrompt)},
             {QStringLiteral("New Prompt from Collection"), inGroup(&LibraryBulkActions::newPromptFromCollection)}});
    addItem(Item::copyCollection, QStringLiteral("Copy Collection"), QStringLiteral("doc.on.clipboard"));
    addMenu(Item::copyCollection,
            {{QStringLiteral("Copy as Markdown"), inGroup(&LibraryBulkActions::copyCollectionMarkdown)},
             {QStringLiteral("Copy Plain Text"), inGroup(&LibraryBulkActions::copyCollectionPlain)}});
    addItem(Item::addToPrompt, QStringLiteral("Add to Prompt"), QStringLiteral("text.badge.plus"));
    addMenu(Item::addToPrompt,
            {{QStringLiteral("Add to Active Prompt"), [this] { actions_.addSelectedToPrompt(); }},
             {QStringLiteral("New Prompt from Selection"), [this] { actions_.newPromptWithSelection(); }}});
    addItem(Item::addToGroup, QStringLiteral("Add to Group"), QStringLiteral("folder.badge.plus"));
    groupMenu_ = addMenu(Item::addToGroup, {});
    connect(groupMenu_, &QMenu::aboutToShow, this, &LibraryToolbar::fillGroupMenu);
    addItem(Item::copy, QStringLiteral("Copy"), QStringLiteral("doc.on.doc"));
    addMenu(Item::copy,
            {{QStringLiteral("Copy as Markdown"), [this] { actions_.copySelectedMarkdown(); }},
             {QStringLiteral("Copy Plain Text"), [this] { actions_.copySelectedPlain(); }}});
    connect(addItem(Item::remove, QStringLiteral("Delete"), QStringLiteral("trash")), &QToolButton::clicked, this,
            [this] {
                if (services_.deleteSelected)
                    services_.deleteSelected();
            });

    addItem(Item::sort, QStringLiteral("Sort"), QStringLiteral("arrow.up.arrow.down"));
    QMenu* sortMenu = addMenu(Item::sort, {});
    new ChoiceMenuStyle(sortMenu);
    auto* choices = new QActionGroup(sortMenu);
    for (SortMode mode : SortModes::allCases()) {
        QAction* choice = sortMenu->addAction(SortModes::rawValue(mode));
        choice->setData(sortSymbol(mode));
        choice->setCheckable(true);
        choice->setChecked(mode == state_.sortMode());
        choices->addAction(choice);
        connect(choice, &QAction::triggered, this, [this, mode] { state_.setSortMode(mode); });
    }
    connect(&state_, &ContentViewState::sortModeChanged, sortMenu, [this, sortMenu] {
        const QList<QAction*> entries = sortMenu->actions();
        for (qsizetype i = 0; i < entries.size(); ++i)
            entries[i]->setChecked(SortModes::allCases()[i] == state_.sortMode());
    });
    // The shortcut may have been changed in the settings since: the capture's help says the one now.
    button(Item::capture)->installEventFilter(this);
    paintIcons();

    for (auto signal : {&ContentViewState::sidebarSelectionChanged, &ContentViewState::selectionChanged})
        connect(&state_, signal, this, &LibraryToolbar::refresh);
    for (auto signal : {&Store::groupsChanged, &Store::persistenceStatusChanged})
        connect(&services_.store, signal, this, &LibraryToolbar::refresh);
    refresh();
}

std::function<void()> LibraryToolbar::onShownGroup(GroupAction action)
{
    LibraryBulkActions* actions = &actions_;
    return [actions, action] {
        if (const std::optional<SelectionGroup> group = actions->shownGroup())
            (actions->*action)(group->id);
    };
}

QToolButton* LibraryToolbar::addItem(Item item, const QString& title, const QString& symbol)
{
    auto* button = new QToolButton(this);
    button->setText(title);
    button->setAccessibleName(title);
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setAutoRaise(true);
    buttons_[size_t(item)] = button;
    symbols_[size_t(item)] = symbol;
    actionsOf_[size_t(item)] = addWidget(button);
    return button;
}

QMenu* LibraryToolbar::addMenu(Item item, const QList<std::pair<QString, std::function<void()>>>& entries)
{
    QToolButton* button = buttons_[size_t(item)];
    auto* menu = new QMenu(button);
    for (const auto& [title, action] : entries)
        connect(menu->addAction(title), &QAction::triggered, this, action);
    button->setMenu(menu);
    button->setPopupMode(QToolButton::InstantPopup);
    return menu;
}

QAction* LibraryToolbar::addLibraryWidget(QWidget* widget)
{
    QAction* action = addWidget(widget);
    libraryWidgets_.append(action);
    refresh();
    return action;
}

bool LibraryToolbar::shows(Item item) const
{
    return actionsOf_[size_t(item)]->isVisible();
}

QString LibraryToolbar::helpText(Item item) const
{
    return help_[size_t(item)];
}

void LibraryToolbar::refresh()
{
    const bool composing = state_.sidebarSelection() && state_.sidebarSelection()->showsComposer();
    const std::optional<SelectionGroup> group = composing ? std::nullopt : actions_.shownGroup();
    const qsizetype n = composing ? 0 : state_.selectedIDs().size();
    const bool changes = services_.store.canModifyLibrary();
    const QString count = QString::number(n);
    // A name of thousands of characters would make a tooltip wider than the screen.
    const QString name = group
        ? BoundedText::elided(group->name, QToolTip::font(), BoundedText::popupLineWidth, Qt::ElideMiddle)
        : QString();

    struct Shown {
        Item item;
        bool present;
        bool enabled;
        QString help;
    };
    const Shown items[] = {
        {Item::capture, true, changes,
         QStringLiteral("Capture the current selection (hotkey: ")
             + (services_.shortcutDisplay ? services_.shortcutDisplay() : QString()) + QStringLiteral(")")},
        {Item::selectAll, bool(group), true, QStringLiteral("Select every ") + name + QStringLiteral(" row")},
        {Item::addCollectionToPrompt, bool(group), changes,
         QStringLiteral("Add the whole ") + name + QStringLiteral(" collection to a prompt")},
        {Item::copyCollection, bool(group), true,
         QStringLiteral("Copy the whole ") + name + QStringLiteral(" collection to the clipboard")},
        {Item::addToPrompt, n > 0, changes,
         QStringLiteral("Add the ") + count + QStringLiteral(" selected selection(s) to a prompt")},
        {Item::addToGroup, n > 0, changes,
         QStringLiteral("Add the ") + count + QStringLiteral(" selected selection(s) to a collection")},
        {Item::copy, n > 0, true, QStringLiteral("Copy ") + count + QStringLiteral(" selection(s)")},
        {Item::remove, n > 0, changes, QStringLiteral("Delete ") + count + QStringLiteral(" selection(s)")},
        {Item::sort, !composing, true, QStringLiteral("Sort selections")},
    };
    for (const Shown& shown : items) {
        const size_t i = size_t(shown.item);
        actionsOf_[i]->setVisible(shown.present);
        buttons_[i]->setEnabled(shown.enabled);
        if (help_[i] != shown.help) {
            help_[i] = shown.help;
            buttons_[i]->setToolTip(toolTipOf(shown.help));
            buttons_[i]->setAccessibleDescription(shown.help);
        }
    }
    for (QAction* widget : libraryWidgets_)
        widget->setVisible(!composing);
}

void LibraryToolbar::fillGroupMenu()
{
    groupMenu_->clear();
    const QList<SelectionGroup>& groups = services_.store.groups();
    if (groups.isEmpty())
        groupMenu_->addAction(QStringLiteral("No groups yet"))->setEnabled(false);
    for (const SelectionGroup& group : groups) {
        const QUuid id = group.id;
        connect(groupMenu_->addAction(MenuItemText::of(group.name)), &QAction::triggered, this,
                [this, id] { actions_.addSelectedToGroup(id); });
    }
    groupMenu_->addSeparator();
    connect(groupMenu_->addAction(QStringLiteral("New Group…")), &QAction::triggered, this, [this] {
        if (services_.requestNewGroup)
            services_.requestNewGroup();
    });
}

void LibraryToolbar::paintIcons()
{
    const ThemeColors colors = Theme::colors(palette());
    for (size_t i = 0; i < buttons_.size(); ++i) {
        const QColor color = Item(i) == Item::remove ? colors.red : palette().color(QPalette::ButtonText);
        buttons_[i]->setIcon(Symbols::icon(symbols_[i], color));
    }
    for (QAction* choice : button(Item::sort)->menu()->actions())
        choice->setIcon(Symbols::icon(choice->data().toString(), palette().color(QPalette::Text)));
}

void LibraryToolbar::changeEvent(QEvent* event)
{
    QToolBar::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        paintIcons();
}

bool LibraryToolbar::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ToolTip && watched == button(Item::capture))
        refresh();
    return QToolBar::eventFilter(watched, event);
}

} // namespace vellicord
