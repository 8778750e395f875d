#pragma once

#include <QListView>
#include <QUuid>

class QMenu;

namespace vellicord {

class ContentViewState;
class Desktop;
class IconCache;
class Pasteboard;
class SelectionRowDelegate;

// The middle column of the main window: the captures shown, one row each, in several selection.
// The window's state holds the truth of which captures are selected; the list shows it and hands
// the user's changes back. A double click on a row copies its plain text; the grip of a row drags
// the selected captures (or that one alone) into a prompt or a group; a secondary click opens the
// row's menu, which acts on that row's capture alone and leaves the selection as it was. A screen
// reader finds a row's copy and its addition to the prompt among the row's actions.
class LibrarySelectionList final : public QListView {
    Q_OBJECT
public:
    LibrarySelectionList(ContentViewState& state, IconCache& icons, Pasteboard& pasteboard, Desktop& desktop,
                         QWidget* parent = nullptr);

    SelectionRowDelegate& rowDelegate() const { return *delegate_; }
    // The plain-text copy of a double click, and of the "Copy plain text" action.
    void copyPlainText(int row);
    // What a drag from the row's grip carries: the whole selection when the row is in it, else
    // the row alone.
    QString dragPayload(int row) const;
    // The row's menu, made as it opens: what it offers depends on the capture (a page, a file, its
    // groups) and on the library's groups. The caller owns it.
    QMenu* contextMenu(int row, QWidget* parent = nullptr);
    // The keyboard goes on in the list, at the row, choosing nothing.
    void takeKeyboardAt(int row);

Q_SIGNALS:
    // Edit ▸ Copy while the list has the keys and rows are selected: the window copies their text.
    void copyRequested();

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyboardSearch(const QString& search) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void showSelection();
    void takeSelection();
    void keepKeyboardRow();
    QStringList accessibleActions(int row) const;
    void runAccessibleAction(int row, const QString& name);

    ContentViewState& state_;
    Pasteboard& pasteboard_;
    Desktop& desktop_;
    SelectionRowDelegate* delegate_;
    bool syncing_ = false;
    bool menuPress_ = false; // a secondary press, which opens the row's menu and selects nothing
};

} // namespace vellicord
