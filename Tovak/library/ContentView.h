#pragma once

#include "Tovak/kit/ViewServices.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class QLabel;
class QLineEdit;
class QSplitter;
class QStackedWidget;
class QToolBar;
class QToolButton;

namespace vellicord {

class ContentViewState;
class EmptyStateView;
class IconCache;
class LibrarySelectionList;
class PermissionBanner;
class PersistenceStatusBanner;
class UnavailableLibraryView;
class WelcomeView;

// The main window's content: owns the window's presentation state (ContentViewState) and shows it
// in one of two layouts, the library (sidebar, capture list, inspector) or the composer (sidebar
// and the prompt), with the banners and states of the library around the list. It answers the
// menus' requests (new prompt, open prompt, focus search, new group) and greets an empty library.
// Every change to the library goes through the Store. Main thread only.
class ContentView final : public QWidget {
    Q_OBJECT
public:
    explicit ContentView(ViewServices services, QWidget* parent = nullptr);
    ~ContentView() override;

    ContentViewState& state() { return *state_; }
    // The window's toolbar: the search field and the Sort menu (shown with the library only).
    QToolBar* toolBar() const { return toolBar_; }
    QLineEdit* searchField() const { return searchField_; }
    LibrarySelectionList* list() const { return list_; }
    // The welcome sheet, while it is up.
    WelcomeView* welcomeSheet() const;

protected:
    // Each time the content comes on screen, an empty library that can be changed is greeted.
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildToolBar();
    QWidget* buildLibraryPage();
    QWidget* buildComposePage();
    void refresh();
    void showWelcome();
    void revealLibrary();
    void answer(const QString& notification, const QVariant& object);

    ViewServices services_;
    std::unique_ptr<ContentViewState> state_;
    std::unique_ptr<IconCache> icons_;
    QToolBar* toolBar_ = nullptr;
    QLineEdit* searchField_ = nullptr;
    QToolButton* sortButton_ = nullptr;
    QStackedWidget* pages_ = nullptr;
    QWidget* libraryPage_ = nullptr;
    QWidget* composePage_ = nullptr;
    PersistenceStatusBanner* storageBanner_ = nullptr;
    PermissionBanner* permissionBanner_ = nullptr;
    QStackedWidget* body_ = nullptr;
    LibrarySelectionList* list_ = nullptr;
    EmptyStateView* emptyState_ = nullptr;
    UnavailableLibraryView* unavailable_ = nullptr;
    QStackedWidget* detail_ = nullptr;
    QWidget* inspectorPlaceholder_ = nullptr;
    QWidget* blankDetail_ = nullptr;
    PersistenceStatusBanner* composeBanner_ = nullptr;
    QLabel* composeStandIn_ = nullptr;
    QPointer<WelcomeView> welcome_;
};

} // namespace vellicord
