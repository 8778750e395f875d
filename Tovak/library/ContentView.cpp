#include "Tovak/library/ContentView.h"

#include "Tovak/composer/ComposeView.h"
#include "Tovak/kit/AppNotification.h"
#include "Tovak/kit/Controls.h"
#include "Tovak/kit/NotificationCenter.h"
#include "Tovak/kit/SplitView.h"
#include "Tovak/kit/SymbolView.h"
#include "Tovak/kit/Symbols.h"
#include "Tovak/kit/TextStyles.h"
#include "Tovak/kit/Theme.h"
#include "Tovak/library/AddToPromptBanner.h"
#include "Tovak/library/ContentViewState.h"
#include "Tovak/library/EmptyStateView.h"
#include "Tovak/library/IconCache.h"
#include "Tovak/library/LibraryBulkActions.h"
#include "Tovak/library/LibrarySelectionList.h"
#include "Tovak/library/LibraryToolbar.h"
#include "Tovak/library/NameSheet.h"
#include "Tovak/library/PermissionBanner.h"
#include "Tovak/library/PersistenceStatusBanner.h"
#include "Tovak/library/SelectionDetailView.h"
#include "Tovak/library/SidebarModel.h"
#include "Tovak/library/SidebarView.h"
#include "Tovak/library/UnavailableLibraryView.h"
#include "Tovak/library/WelcomeView.h"
#include "core/library/Store.h"
#include "platform/Accessibility.h"
#include "platform/Desktop.h"

#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QShowEvent>
#include <QStackedWidget>
#include <QTimeZone>
#include <QTimer>
#include <QVBoxLayout>

namespace vellicord {

namespace {

// The banners above the list stand 12 points in from the sides and 8 below what is above them.
constexpr QMargins bannerMargins{12, 8, 12, 0};

} // namespace

ContentView::ContentView(ViewServices services, QWidget* parent)
    : QWidget(parent)
    , services_(std::move(services))
    , state_(std::make_unique<ContentViewState>(services_.store, services_.scheduler, services_.clock))
    , icons_(std::make_unique<IconCache>(services_.desktop))
    , sidebarModel_(std::make_unique<SidebarModel>(services_.store))
    , bulkActions_(std::make_unique<LibraryBulkActions>(*state_, services_.store, services_.pasteboard))
{
    if (!services_.runModal)
        services_.runModal = [](QDialog& sheet) { sheet.open(); };
    setObjectName(QStringLiteral("ContentView"));
    buildToolBar();
    pages_ = new QStackedWidget(this);
    libraryPage_ = buildLibraryPage();
    composePage_ = buildComposePage();
    pages_->addWidget(libraryPage_);
    pages_->addWidget(composePage_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pages_);

    ContentViewState& state = *state_;
    for (auto signal : {&ContentViewState::sidebarSelectionChanged, &ContentViewState::searchTextChanged,
                        &ContentViewState::titleChanged})
        connect(&state, signal, this, &ContentView::refresh);
    connect(&state.model(), &SelectionListModel::shownChanged, this, &ContentView::refresh);
    for (auto signal : {&Store::persistenceStatusChanged, &Store::draftsChanged, &Store::activeDraftIDChanged})
        connect(&services_.store, signal, this, &ContentView::refresh);
    connect(&state, &ContentViewState::searchFocusRequested, this, [this] {
        searchField_->setFocus(Qt::ShortcutFocusReason);
        searchField_->selectAll();
    });
    connect(&state, &ContentViewState::presentationChanged, this, &ContentView::presentGroupSheet);
    connect(&state, &ContentViewState::selectionChanged, this, &ContentView::showInspected);
    connect(&NotificationCenter::defaultCenter(), &NotificationCenter::posted, this, &ContentView::answer);
    refresh();
}

ContentView::~ContentView()
{
    delete toolBar_.data();
}

WelcomeView* ContentView::welcomeSheet() const
{
    return welcome_;
}

QDialog* ContentView::groupSheet() const
{
    return sheet_;
}

SidebarView* ContentView::sidebar() const
{
    return pages_->currentWidget() == composePage_ ? composeSidebar_ : librarySidebar_;
}

// Each layout has a sidebar of its own over the one model; what a drag hovers starts afresh in each.
SidebarView* ContentView::buildSidebar(QWidget* parent)
{
    return new SidebarView(*sidebarModel_, *state_,
                           SidebarView::Services{.store = services_.store,
                                                 .pasteboard = services_.pasteboard,
                                                 .scheduler = services_.scheduler,
                                                 .icons = *icons_},
                           SidebarView::Callbacks{
                               .onNewGroup =
                                   [this] {
                                       if (!sheetUp())
                                           state_->requestNewGroup();
                                   },
                               .onRenameGroup =
                                   [this](const SelectionGroup& group) {
                                       if (!sheetUp())
                                           state_->requestRenameGroup(group);
                                   },
                               .onDeleteGroup =
                                   [this](const SelectionGroup& group) {
                                       if (!sheetUp())
                                           state_->requestDeleteGroup(group);
                                   },
                               .onOpenPrompt = [this] { state_->openPrompt(); },
                               .onNewPrompt = [this] { state_->newPrompt(); },
                               .onSelectDraft = [this](const QUuid& id) { state_->selectDraft(id); },
                               .onDeleteDraft = [this](const QUuid& id) { state_->deleteDraft(id); },
                           },
                           parent);
}

void ContentView::buildToolBar()
{
    toolBar_ = new LibraryToolbar(*state_, *bulkActions_,
                                  LibraryToolbar::Services{
                                      .store = services_.store,
                                      .shortcutDisplay = services_.shortcutDisplay,
                                      .requestCapture = services_.requestCapture,
                                      .requestNewGroup =
                                          [this] {
                                              if (!sheetUp())
                                                  bulkActions_->newGroupWithSelection();
                                          },
                                      .deleteSelected = [this] { deleteSelected(); },
                                  },
                                  this);
    searchField_ = new QLineEdit(toolBar_);
    searchField_->setObjectName(QStringLiteral("SearchField"));
    searchField_->setPlaceholderText(QStringLiteral("Search all selections"));
    searchField_->setAccessibleName(QStringLiteral("Search all selections"));
    searchField_->setClearButtonEnabled(true);
    // The field's two buttons are read by their actions' texts, which the toolkit leaves empty.
    if (auto* clear = searchField_->findChild<QAction*>(QStringLiteral("_q_qlineeditclearaction")))
        clear->setText(QStringLiteral("Clear"));
    searchField_
        ->addAction(Symbols::icon(QStringLiteral("magnifyingglass"), palette().color(QPalette::PlaceholderText)),
                    QLineEdit::LeadingPosition)
        ->setText(QStringLiteral("Search"));
    searchField_->setMinimumWidth(200);
    searchField_->setMaximumWidth(280);
    connect(searchField_, &QLineEdit::textChanged, this, [this](const QString& text) { state_->setSearchText(text); });
    toolBar_->addLibraryWidget(searchField_);
}

QWidget* ContentView::buildLibraryPage()
{
    auto* split = new SplitView(Qt::Horizontal, this);
    split->setObjectName(QStringLiteral("LibrarySplit"));
    split->setChildrenCollapsible(false);

    librarySidebar_ = buildSidebar(split);

    auto* column = new QWidget(split);
    column->setObjectName(QStringLiteral("ListColumn"));
    column->setMinimumWidth(300);
    column->setMaximumWidth(480);
    auto* columnLayout = new QVBoxLayout(column);
    columnLayout->setContentsMargins(0, 0, 0, 0);
    columnLayout->setSpacing(0);
    storageBanner_ = new PersistenceStatusBanner(services_.store.persistenceStatus());
    columnLayout->addWidget(Controls::padded(storageBanner_, bannerMargins, column));
    permissionBanner_ = new PermissionBanner;
    columnLayout->addWidget(Controls::padded(permissionBanner_, bannerMargins, column));
    body_ = new QStackedWidget(column);
    list_ = new LibrarySelectionList(*state_, *icons_, services_.pasteboard, services_.desktop, body_);
    emptyState_ = new EmptyStateView(body_);
    unavailable_ = new UnavailableLibraryView(LibraryRecoveryPresentation::unreadable, body_);
    body_->addWidget(list_);
    body_->addWidget(emptyState_);
    body_->addWidget(unavailable_);
    columnLayout->addWidget(body_, 1);
    banner_ = new AddToPromptBanner(services_.scheduler, column);
    connect(bulkActions_.get(), &LibraryBulkActions::addedToPrompt, banner_, &AddToPromptBanner::flash);
    connect(list_, &LibrarySelectionList::copyRequested, bulkActions_.get(), &LibraryBulkActions::copySelectedPlain);

    detail_ = new QStackedWidget(split);
    detail_->setObjectName(QStringLiteral("DetailPane"));
    detail_->setMinimumWidth(320);
    inspectorPlaceholder_ = new QWidget(detail_);
    auto* placeholderLayout = new QVBoxLayout(inspectorPlaceholder_);
    placeholderLayout->setSpacing(10);
    placeholderLayout->addStretch();
    auto* symbol = new SymbolView(QStringLiteral("doc.text.magnifyingglass"), 34, &ThemeColors::tertiaryLabel,
                                  inspectorPlaceholder_);
    placeholderLayout->addWidget(symbol, 0, Qt::AlignHCenter);
    auto* prompt = new QLabel(QStringLiteral("Select a selection to inspect it"), inspectorPlaceholder_);
    prompt->setFont(TextStyles::callout());
    prompt->setAlignment(Qt::AlignCenter);
    prompt->setForegroundRole(QPalette::PlaceholderText);
    placeholderLayout->addWidget(prompt);
    placeholderLayout->addStretch();
    blankDetail_ = new QWidget(detail_);
    // The inspector writes dates in the user's locale and time zone.
    inspector_ = new SelectionDetailView(SelectionDetailView::Services{.store = services_.store,
                                                                       .pasteboard = services_.pasteboard,
                                                                       .scheduler = services_.scheduler,
                                                                       .desktop = services_.desktop,
                                                                       .icons = *icons_},
                                         QLocale(), QTimeZone::systemTimeZone(), detail_);
    // Deleting does not move the inspector itself: the capture leaves the list, and the state moves on.
    connect(inspector_, &SelectionDetailView::deleteRequested, this,
            [this](const QUuid& id) { services_.store.remove(id); });
    detail_->addWidget(inspectorPlaceholder_);
    detail_->addWidget(blankDetail_);
    detail_->addWidget(inspector_);

    split->setSizes({220, 360, 540});
    split->setStretchFactor(0, 0);
    split->setStretchFactor(1, 0);
    split->setStretchFactor(2, 1);

    const auto reveal = [this] { revealLibrary(); };
    connect(storageBanner_, &PersistenceStatusBanner::revealLibraryFolderRequested, this, reveal);
    connect(unavailable_, &UnavailableLibraryView::revealLibraryFolderRequested, this, reveal);
    const auto openSettings = [this] { services_.desktop.openAccessibilitySettings(); };
    connect(permissionBanner_, &PermissionBanner::openSettingsRequested, this, openSettings);
    connect(emptyState_, &EmptyStateView::enableAccessibilityRequested, this, openSettings);
    return split;
}

QWidget* ContentView::buildComposePage()
{
    auto* split = new SplitView(Qt::Horizontal, this);
    split->setObjectName(QStringLiteral("ComposeSplit"));
    split->setChildrenCollapsible(false);
    composeSidebar_ = buildSidebar(split);
    auto* column = new QWidget(split);
    column->setMinimumWidth(680);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    composeBanner_ = new PersistenceStatusBanner(services_.store.persistenceStatus());
    layout->addWidget(Controls::padded(composeBanner_, bannerMargins, column));
    composeColumn_ = new QStackedWidget(column);
    composeColumn_->setObjectName(QStringLiteral("ComposeColumn"));
    missingDraft_ = buildMissingDraftPlaceholder(composeColumn_);
    composeColumn_->addWidget(missingDraft_);
    layout->addWidget(composeColumn_, 1);
    split->setSizes({220, 960});
    split->setStretchFactor(0, 0);
    split->setStretchFactor(1, 1);
    connect(composeBanner_, &PersistenceStatusBanner::revealLibraryFolderRequested, this, [this] { revealLibrary(); });
    return split;
}

QWidget* ContentView::buildMissingDraftPlaceholder(QWidget* parent)
{
    auto* placeholder = new QWidget(parent);
    placeholder->setObjectName(QStringLiteral("MissingDraftPlaceholder"));
    auto* layout = new QVBoxLayout(placeholder);
    layout->setSpacing(12);
    layout->addStretch(1);
    auto* title = new QWidget(placeholder);
    auto* titleLayout = new QHBoxLayout(title);
    titleLayout->setContentsMargins(0, 0, 0, 0);
    titleLayout->setSpacing(7);
    const QFont font = TextStyles::system(TextStyles::title3().pixelSize(), QFont::DemiBold);
    titleLayout->addWidget(new SymbolView(QStringLiteral("text.bubble"), 18, &ThemeColors::accent, title));
    auto* text = new QLabel(QStringLiteral("No prompt yet"), title);
    text->setFont(font);
    titleLayout->addWidget(text);
    layout->addWidget(title, 0, Qt::AlignHCenter);
    newPromptButton_ = Controls::prominentButton(QStringLiteral("New Prompt"), placeholder);
    connect(newPromptButton_, &QPushButton::clicked, this, [this] { state_->newPrompt(); });
    layout->addWidget(newPromptButton_, 0, Qt::AlignHCenter);
    layout->addStretch(1);
    return placeholder;
}

void ContentView::refresh()
{
    const ContentViewState& state = *state_;
    const StorePersistenceStatus status = services_.store.persistenceStatus();
    const bool usable = status.allowsLibraryChanges();
    const bool composing = state.sidebarSelection() && state.sidebarSelection()->showsComposer();
    pages_->setCurrentWidget(composing ? composePage_ : libraryPage_);

    const bool empty = state.model().rowCount() == 0;
    storageBanner_->setStatus(status);
    storageBanner_->parentWidget()->setVisible(status != StorePersistenceStatus::ready && (usable || !empty));
    const bool trusted = services_.accessibility.isProcessTrusted();
    permissionBanner_->parentWidget()->setVisible(usable && !trusted);
    if (!empty) {
        body_->setCurrentWidget(list_);
    } else if (usable) {
        emptyState_->setContent(EmptyStateView::Content{
            .isFiltering = state.isFiltering(),
            .needsAccessibility = !trusted,
            .searchText = state.searchText(),
            .sidebarSelection = state.sidebarSelection(),
            .hotkeyDisplay = services_.shortcutDisplay ? services_.shortcutDisplay() : QString(),
        });
        body_->setCurrentWidget(emptyState_);
    } else {
        unavailable_->setRecovery(status == StorePersistenceStatus::incompatibleVersion
                                      ? LibraryRecoveryPresentation::incompatibleVersion
                                      : LibraryRecoveryPresentation::unreadable);
        body_->setCurrentWidget(unavailable_);
    }
    showInspected();

    composeBanner_->setStatus(status);
    composeBanner_->parentWidget()->setVisible(status != StorePersistenceStatus::ready);
    std::optional<ContextDraft> draft;
    if (const auto* shown = state.sidebarSelection() ? state.sidebarSelection()->as<SidebarItem::Draft>() : nullptr)
        draft = services_.store.findDraft(shown->id);
    else if (composing)
        draft = services_.store.activeDraft();
    showComposer(composing && draft ? std::optional(draft->id) : std::nullopt);
    newPromptButton_->setEnabled(usable);

    if (window() != this)
        window()->setWindowTitle(state.navigationTitleText());
}

void ContentView::showInspected()
{
    const std::optional<QUuid>& inspected = state_->detailSelectionID();
    inspector_->setSelectionID(inspected);
    if (inspector_->selectionID())
        detail_->setCurrentWidget(inspector_);
    else
        detail_->setCurrentWidget(services_.store.canModifyLibrary() ? inspectorPlaceholder_ : blankDetail_);
}

// A composer is made for one prompt and goes with it: another prompt, or leaving the compose
// layout, starts afresh (the preamble switch on, no notice, no export warning).
void ContentView::showComposer(const std::optional<QUuid>& draftID)
{
    if (composer_ && composer_->draftID() != draftID) {
        // The change may come from within the composer's own action: it goes once that returns.
        composeColumn_->removeWidget(composer_);
        composer_->hide();
        composer_->deleteLater();
        composer_ = nullptr;
    }
    if (draftID && !composer_) {
        composer_ = new ComposeView(services_, *draftID, true, composeColumn_);
        composeColumn_->addWidget(composer_);
    }
    composeColumn_->setCurrentWidget(composer_ ? static_cast<QWidget*>(composer_) : missingDraft_);
}

void ContentView::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    if (painted_)
        return;
    painted_ = true;
    // What the window does not show at once (the search index, the sources' counts) is made on
    // other threads once it has painted, so that opening it shares the processor with neither.
    QTimer::singleShot(0, this, [this] {
        state_->model().prepareSearch();
        sidebarModel_->startCounting();
    });
}

void ContentView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!state_->sidebarSelection())
        state_->setSidebarSelection(SidebarItem::allSelections());
    refresh();
    if (services_.store.selections().isEmpty() && services_.store.canModifyLibrary())
        showWelcome();
}

void ContentView::focusFirst()
{
    if (body_->currentWidget() == list_ && list_->isVisible())
        list_->setFocus(Qt::OtherFocusReason);
    else if (searchField_->isVisible())
        searchField_->setFocus(Qt::OtherFocusReason);
}

// The toolbar's Delete item goes with what it deletes, and would hand the keyboard to the item
// after it: the list takes the keyboard first, and goes on at the row after the deleted ones.
void ContentView::deleteSelected()
{
    if (body_->currentWidget() == list_)
        list_->setFocus(Qt::OtherFocusReason);
    const std::optional<int> row = bulkActions_->deleteSelected();
    if (row && body_->currentWidget() == list_)
        list_->takeKeyboardAt(*row);
    else
        focusFirst();
}

void ContentView::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // Accessibility may have been granted while the window was away.
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        refresh();
}

void ContentView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    // A window minimised keeps its sheet; one closed takes the sheet with it.
    if (!event->spontaneous() && sheet_)
        sheet_->reject();
}

void ContentView::showWelcome()
{
    if (sheetUp())
        return;
    // Whether access is missing is read as the sheet is made, so it says what is true now.
    Desktop* desktop = &services_.desktop;
    auto* welcome = new WelcomeView(
        !services_.accessibility.isProcessTrusted(),
        services_.shortcutDisplay ? services_.shortcutDisplay() : QString(),
        [desktop] { desktop->openAccessibilitySettings(); }, window());
    welcome->setAttribute(Qt::WA_DeleteOnClose);
    welcome->setWindowModality(Qt::WindowModal);
    welcome_ = welcome;
    services_.runModal(*welcome);
}

bool ContentView::sheetUp() const
{
    return sheet_ || welcome_;
}

// Puts up the sheet or the alert the state asks for, and takes down one it no longer asks for
// (a create or a rename that went through).
void ContentView::presentGroupSheet()
{
    const ContentViewState::Presentation wanted = state_->presentation();
    if (sheet_ && sheetShows_ == wanted)
        return;
    if (QDialog* done = sheet_) {
        sheet_ = nullptr;
        done->disconnect(this);
        done->accept();
    }
    if (wanted == ContentViewState::Presentation::none)
        return;
    QDialog* sheet = makeGroupSheet(wanted);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->setWindowModality(Qt::WindowModal);
    sheet_ = sheet;
    sheetShows_ = wanted;
    connect(sheet, &QDialog::finished, this, [this, sheet, wanted] { groupSheetFinished(sheet, wanted); });
    services_.runModal(*sheet);
}

QDialog* ContentView::makeGroupSheet(ContentViewState::Presentation presentation)
{
    using Presentation = ContentViewState::Presentation;
    ContentViewState& state = *state_;
    if (presentation == Presentation::deleteGroup) {
        auto* alert = new QMessageBox(QMessageBox::Warning, QStringLiteral("Delete Group?"),
                                      QStringLiteral("Delete Group?"), QMessageBox::NoButton, window());
        alert->setInformativeText(QStringLiteral(
            "The captures will stay in the library, but their membership in this group will be removed."));
        // The title stands out and the message keeps to a few lines, as an alert's do.
        if (auto* title = alert->findChild<QLabel*>(QStringLiteral("qt_msgbox_label")))
            title->setFont(TextStyles::headline());
        if (auto* message = alert->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
            message->setMinimumWidth(300);
        QPushButton* cancel = alert->addButton(QMessageBox::Cancel);
        alert->addButton(QStringLiteral("Delete Group"), QMessageBox::DestructiveRole);
        alert->setDefaultButton(cancel);
        alert->setEscapeButton(cancel);
        return alert;
    }
    const bool creating = presentation == Presentation::newGroup;
    auto* sheet = new NameSheet(creating ? QStringLiteral("New Group") : QStringLiteral("Rename Group"),
                                creating ? QStringLiteral("Create") : QStringLiteral("Rename"),
                                creating ? state.newGroupName() : state.renameGroupName(), window());
    if (creating) {
        connect(sheet, &NameSheet::nameEdited, &state, &ContentViewState::setNewGroupName);
        connect(sheet, &NameSheet::committed, &state, &ContentViewState::createGroupAndClose);
    } else {
        connect(sheet, &NameSheet::nameEdited, &state, &ContentViewState::setRenameGroupName);
        connect(sheet, &NameSheet::committed, &state, &ContentViewState::renameGroupAndClose);
    }
    return sheet;
}

// The user closed the sheet: Cancel, Escape or the window going. The alert's destructive button
// is the one way it deletes.
void ContentView::groupSheetFinished(QDialog* sheet, ContentViewState::Presentation presentation)
{
    if (sheet_ != sheet)
        return;
    sheet_ = nullptr;
    switch (presentation) {
    case ContentViewState::Presentation::newGroup: state_->dismissNewGroupSheet(); break;
    case ContentViewState::Presentation::renameGroup: state_->dismissRenameSheet(); break;
    case ContentViewState::Presentation::deleteGroup: {
        auto* alert = static_cast<QMessageBox*>(sheet);
        if (alert->clickedButton() && alert->buttonRole(alert->clickedButton()) == QMessageBox::DestructiveRole)
            state_->deleteGroupAndClose();
        else
            state_->dismissDeleteAlert();
        break;
    }
    case ContentViewState::Presentation::none: break;
    }
}

void ContentView::revealLibrary()
{
    services_.desktop.revealFile(services_.store.storeURL());
}

void ContentView::answer(const QString& notification, const QVariant& object)
{
    if (notification == AppNotification::vellicordNewPrompt) {
        state_->newPrompt();
    } else if (notification == AppNotification::vellicordOpenPrompt) {
        state_->openPrompt();
    } else if (notification == AppNotification::vellicordFocusSearch) {
        state_->focusSearch();
    } else if (notification == AppNotification::vellicordRequestNewGroup) {
        // Anything but a capture asks for a group with no capture pending.
        std::optional<Selection> selection;
        if (object.metaType() == QMetaType::fromType<Selection>())
            selection = object.value<Selection>();
        if (!sheetUp())
            state_->requestNewGroup(selection);
    }
}

} // namespace vellicord
