#pragma once

#include <QString>
#include <QToolBar>
#include <QUuid>

#include <array>
#include <functional>

class QAction;
class QMenu;
class QToolButton;

namespace vellicord {

class ContentViewState;
class LibraryBulkActions;
class Store;

// The main window's toolbar items: the capture button, and with the library shown the actions on
// the group shown and on the captures selected, and the sort order. The items come and go with
// what the window shows and selects, and their help texts name the group or the count as they are
// now. What changes the library is disabled while it cannot change; copies stay. Main thread only.
class LibraryToolbar final : public QToolBar {
    Q_OBJECT
public:
    enum class Item {
        capture,
        selectAll,
        addCollectionToPrompt,
        copyCollection,
        addToPrompt,
        addToGroup,
        copy,
        remove,
        sort,
    };
    static constexpr int itemCount = int(Item::sort) + 1;

    struct Services {
        Store& store;
        // The capture shortcut as it is shown ("Ctrl+Alt+Super+C"), read when the help text is made.
        std::function<QString()> shortcutDisplay;
        std::function<void()> requestCapture;
        // The window's new-group sheet for the selected captures, unless another sheet is up.
        std::function<void()> requestNewGroup;
        // The window deletes the selected captures, and moves the keyboard on from the Delete item,
        // which goes with them.
        std::function<void()> deleteSelected;
    };

    LibraryToolbar(ContentViewState& state, LibraryBulkActions& actions, Services services, QWidget* parent = nullptr);

    QToolButton* button(Item item) const { return buttons_[size_t(item)]; }
    bool shows(Item item) const;
    // The help text of the item as it stands, unchanged by the escaping a tooltip needs.
    QString helpText(Item item) const;
    // The menu of the "Add to Group" item, filled as it is when it opens.
    QMenu* groupMenu() const { return groupMenu_; }
    // Puts the item's widget after the toolbar's own items (the search field), shown with the library only.
    QAction* addLibraryWidget(QWidget* widget);

    void refresh();

protected:
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using GroupAction = void (LibraryBulkActions::*)(const QUuid&);
    // The action on the group shown when it is chosen, if any.
    std::function<void()> onShownGroup(GroupAction action);
    QToolButton* addItem(Item item, const QString& title, const QString& symbol);
    QMenu* addMenu(Item item, const QList<std::pair<QString, std::function<void()>>>& entries);
    void fillGroupMenu();
    void paintIcons();

    ContentViewState& state_;
    LibraryBulkActions& actions_;
    Services services_;
    std::array<QToolButton*, itemCount> buttons_{};
    std::array<QAction*, itemCount> actionsOf_{};
    std::array<QString, itemCount> symbols_{};
    std::array<QString, itemCount> help_{};
    QMenu* groupMenu_ = nullptr;
    QList<QAction*> libraryWidgets_;
};

} // namespace vellicord
