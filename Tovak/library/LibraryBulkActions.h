#pragma once

#include "core/library/Selection.h"
#include "core/library/SelectionGroup.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QUuid>

#include <functional>
#include <optional>

namespace vellicord {

class ContentViewState;
class Pasteboard;
class Store;

// What the window's toolbar does to many captures at once: to the members of the group shown, or
// to the captures selected in the list. Copies only read the library and always work; additions
// and deletions go through the Store and do nothing while the library cannot change. Only ids of
// captures that exist reach the Store, and only groups that exist are filled. Main thread only.
class LibraryBulkActions final : public QObject {
    Q_OBJECT
public:
    // One line of the application's log; by default logApp's.
    using Log = std::function<void(const QString&)>;

    LibraryBulkActions(ContentViewState& state, Store& store, Pasteboard& pasteboard, Log log = {},
                       QObject* parent = nullptr);

    // The group the window shows, while it exists.
    std::optional<SelectionGroup> shownGroup() const;

    // The members of the group that the list shows become the selection, the first of them
    // inspected; members a search hides stay unselected, so that what follows (a Delete) acts
    // only on what the user sees. Nothing changes when the list shows none.
    void selectAllInCollection(const QUuid& groupID);
    void addCollectionToPrompt(const QUuid& groupID);
    void newPromptFromCollection(const QUuid& groupID);
    void copyCollectionMarkdown(const QUuid& groupID);
    void copyCollectionPlain(const QUuid& groupID);

    void addSelectedToPrompt();
    void newPromptWithSelection();
    void addSelectedToGroup(const QUuid& groupID);
    // Asks the window for the new-group sheet, for the selected captures.
    bool newGroupWithSelection();
    void copySelectedMarkdown();
    void copySelectedPlain();
    // Deletes the selected captures at once; the inspector moves to the first capture still shown.
    // Returns the row the keyboard goes on from: the one now where the first deleted row was (the
    // last row, when they were the last), none when nothing was deleted or nothing is left.
    std::optional<int> deleteSelected();

Q_SIGNALS:
    // Captures were offered to the active prompt: `added` of the `total` were not in it yet.
    void addedToPrompt(qsizetype added, qsizetype total);

private:
    QSet<QUuid> existing(const QSet<QUuid>& ids) const;
    QSet<QUuid> members(const QUuid& groupID) const;
    // The selected captures the list shows, in its order.
    QList<Selection> chosen() const;

    ContentViewState& state_;
    Store& store_;
    Pasteboard& pasteboard_;
    Log log_;
};

} // namespace vellicord
