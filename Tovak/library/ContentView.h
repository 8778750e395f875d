#pragma once

#include "Tovak/kit/ViewServices.h"

#include "Tovak/library/ContentViewState.h"
#include "Tovak/library/LibraryToolbar.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class QDialog;
class QLabel;
class QLineEdit;
class QPushButton;
class QSplitter;
class QStackedWidget;

namespace vellicord {

class AddToPromptBanner;
class ComposeView;
class EmptyStateView;
class IconCache;
class LibraryBulkActions;
class LibrarySelectionList;
class PermissionBanner;
class PersistenceStatusBanner;
class SelectionDetailView;
class SidebarModel;
class SidebarView;
class UnavailableLibraryView;
class WelcomeView;

// The main window's content: owns the window's presentation state (ContentViewState) and shows it
// in one of two layouts, the library (sidebar, capture list, inspector) or the composer (sidebar
// and the prompt), with the banners and states of the library around the list. It answers the
// menus' and the sidebar's requests (new prompt, open prompt, focus search, the group sheets and
// the delete alert, one sheet at a time) and greets an empty library. Every change to the library
// goes through the Store. Main thread only.
class ContentView final : public QWidget {
    Q_OBJECT
public:
    explicit ContentView(ViewServices services, QWidget* parent = nullptr);
    ~ContentView() override;

    ContentViewState& state() { return *state_; }
    // The window's toolbar: the capture button, the bulk actions, the Sort menu and the search field.
    LibraryToolbar* toolBar() const { return toolBar_; }
    // How many captures the last addition put into the prompt, over the top of the list.
    AddToPromptBanner* addToPromptBanner() const { return banner_; }
    QLineEdit* searchField() const { return searchField_; }
    LibrarySelectionList* list() const { return list_; }
    // The detail pane: the inspector of the inspected capture, or its placeholder.
    QStackedWidget* detailPane() const { return detail_; }
    SelectionDetailView* inspector() const { return inspector_; }
    // The sidebar of the layout shown, and each layout's own.
    SidebarView* sidebar() const;
    SidebarView* librarySidebar() const { return librarySidebar_; }
    SidebarView* composeSidebar() const { return composeSidebar_; }
    // The compose column: the composer of the prompt shown, or the "No prompt yet" placeholder.
    QStackedWidget* composeColumn() const { return composeColumn_; }
    QWidget* missingDraftPlaceholder() const { return missingDraft_; }
    ComposeView* composer() const { return composer_; }
    QPushButton* newPromptButton() const { return newPromptButton_; }
    // The welcome sheet, while it is up.
    WelcomeView* welcomeSheet() const;
    // The group sheet or the delete alert, while one is up.
    QDialog* groupSheet() const;
    // Gives the keys to the list, or to the search field when the list shows nothing: where a
    // window starts, rather than on the toolbar's first button (where the space bar captures).
    void focusFirst();

protected:
    // Each time the content comes on screen, an empty library that can be changed is greeted.
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    // Closing the window is a way out of a group sheet.
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildToolBar();
    SidebarView* buildSidebar(QWidget* parent);
    QWidget* buildLibraryPage();
    QWidget* buildComposePage();
    QWidget* buildMissingDraftPlaceholder(QWidget* parent);
    void refresh();
    void showInspected();
    void showComposer(const std::optional<QUuid>& draftID);
    void showWelcome();
    bool sheetUp() const;
    void presentGroupSheet();
    QDialog* makeGroupSheet(ContentViewState::Presentation presentation);
    void groupSheetFinished(QDialog* sheet, ContentViewState::Presentation presentation);
    void deleteSelected();
    void revealLibrary();
    void answer(const QString& notification, const QVariant& object);

    ViewServices services_;
    std::unique_ptr<ContentViewState> state_;
    std::unique_ptr<IconCache> icons_;
    std::unique_ptr<SidebarModel> sidebarModel_;
    std::unique_ptr<LibraryBulkActions> bulkActions_;
    // The window takes the toolbar in; it goes with this view all the same, as it works on its state.
    QPointer<LibraryToolbar> toolBar_;
    QLineEdit* searchField_ = nullptr;
    AddToPromptBanner* banner_ = nullptr;
    QStackedWidget* pages_ = nullptr;
    SidebarView* librarySidebar_ = nullptr;
    SidebarView* composeSidebar_ = nullptr;
    QWidget* libraryPage_ = nullptr;
    QWidget* composePage_ = nullptr;
    PersistenceStatusBanner* storageBanner_ = nullptr;
    PermissionBanner* permissionBanner_ = nullptr;
    QStackedWidget* body_ = nullptr;
    LibrarySelectionList* list_ = nullptr;
    EmptyStateView* emptyState_ = nullptr;
    UnavailableLibraryView* unavailable_ = nullptr;
    QStackedWidget* detail_ = nullptr;
    SelectionDetailView* inspector_ = nullptr;
    QWidget* inspectorPlaceholder_ = nullptr;
    QWidget* blankDetail_ = nullptr;
    PersistenceStatusBanner* composeBanner_ = nullptr;
    QStackedWidget* composeColumn_ = nullptr;
    QWidget* missingDraft_ = nullptr;
    QPushButton* newPromptButton_ = nullptr;
    ComposeView* composer_ = nullptr;
    QPointer<WelcomeView> welcome_;
    QPointer<QDialog> sheet_;
    ContentViewState::Presentation sheetShows_ = ContentViewState::Presentation::none;
    bool painted_ = false;
};

} // namespace vellicord
