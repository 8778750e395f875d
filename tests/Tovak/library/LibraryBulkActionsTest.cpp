#include "Tovak/library/LibraryBulkActions.h"

#include "Tovak/library/ContentViewState.h"
#include "core/capture/Clipboard.h"
#include "core/composition/SelectionsMarkdown.h"
#include "support/ViewFakes.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace vellicord;

namespace {

// Four captures, newest first d, c, b, a (indexes 3 to 0); a, b and c are the group G.
struct Bulk : ViewFakes {
    QUuid ids[4];
    QUuid group, empty;
    QStringList log;
    std::unique_ptr<ContentViewState> state;
    std::unique_ptr<LibraryBulkActions> actions;
    std::unique_ptr<QSignalSpy> added;

    Bulk()
    {
        const QString texts[] = {QStringLiteral("alpha one"), QStringLiteral("alpha two"), QStringLiteral("beta three"),
                                 QStringLiteral("alpha four")};
        for (int i = 0; i < 4; ++i) {
            ids[i] = QUuid::createUuid();
            store->add(Selection(ids[i], texts[i], std::nullopt, QStringLiteral("App"), std::nullopt, std::nullopt,
                                 std::nullopt, std::nullopt, {},
                                 QDateTime::fromSecsSinceEpoch(1'700'000'000 + 60 * i, Qt::UTC)));
        }
        group = store->createGroup(QStringLiteral("G"), QStringLiteral("#000000"), {ids[0], ids[1], ids[2]})->id;
        empty = store->addGroup(QStringLiteral("Empty"), QStringLiteral("#000000"))->id;
        state = std::make_unique<ContentViewState>(*store, time, time);
        actions = std::make_unique<LibraryBulkActions>(*state, *store, pasteboard,
                                                       [this](const QString& line) { log.append(line); });
        added = std::make_unique<QSignalSpy>(actions.get(), &LibraryBulkActions::addedToPrompt);
    }
    QSet<QUuid> set(const QList<int>& indexes) const
    {
        QSet<QUuid> result;
        for (int i : indexes)
            result.insert(ids[i]);
        return result;
    }
    QList<QUuid> list(const QList<int>& indexes) const
    {
        QList<QUuid> result;
        for (int i : indexes)
            result.append(ids[i]);
        return result;
    }
    std::optional<QUuid> id(std::optional<int> index) const
    {
        return index ? std::optional(ids[*index]) : std::nullopt;
    }
    QList<QUuid> library() const
    {
        QList<QUuid> result;
        for (const Selection& s : store->selections())
            result.append(s.id);
        return result;
    }
    QList<QUuid> entries() const
    {
        QList<QUuid> result;
        for (const ContextDraftEntry& e :
             store->activeDraft() ? store->activeDraft()->entries : QList<ContextDraftEntry>{})
            result.append(e.selectionID);
        return result;
    }
};

// "Select All" takes the members of the group that the list shows: a search leaves those it hides
// unselected, so that the Delete after it removes only what the user sees, in one save.
TEST(LibraryBulkActions, SelectAllThenDeleteActOnWhatIsShown)
{
    struct Case {
        const char* name;
        bool emptyGroup;
        QString search;
        QList<int> selected;
        std::optional<int> inspected;
        QList<int> remaining; // newest first
        QStringList log;
    };
    const Case cases[] = {
        {"the whole group", false, {}, {0, 1, 2}, 2, {3}, {QStringLiteral("Batch delete 3 selection(s)")}},
        {"a search hides a member",
         false,
         QStringLiteral("alpha"),
         {0, 1},
         1,
         {3, 2},
         {QStringLiteral("Batch delete 2 selection(s)")}},
        {"a search hides them all", false, QStringLiteral("nothing"), {}, std::nullopt, {3, 2, 1, 0}, {}},
        {"a group without members", true, {}, {}, std::nullopt, {3, 2, 1, 0}, {}},
    };
    for (const Case& c : cases) {
        Bulk w;
        const QUuid group = c.emptyGroup ? w.empty : w.group;
        w.state->setSidebarSelection(SidebarItem::group(group));
        w.state->setSearchText(c.search);
        w.settle();
        const int writes = w.writes;
        w.actions->selectAllInCollection(group);
        EXPECT_EQ(w.state->selectedIDs(), w.set(c.selected)) << c.name;
        EXPECT_EQ(w.state->detailSelectionID(), w.id(c.inspected)) << c.name;
        w.actions->deleteSelected();
        EXPECT_EQ(w.library(), w.list(c.remaining)) << c.name;
        EXPECT_EQ(w.log, c.log) << c.name;
        w.settle();
        EXPECT_EQ(w.writes - writes, c.log.isEmpty() ? 0 : 1) << c.name;
    }
}

// Copies take the selected captures shown, in the list's order: plain text joined by the rule,
// Markdown as one document that logs its count. A capture a search hid left the selection, so
// the Delete after the copies removes the same captures; the inspector then shows the first
// capture still listed, or nothing, and the keyboard goes on at the row after the first deleted.
TEST(LibraryBulkActions, CopiesTakeTheSelectionInVisibleOrder)
{
    struct Case {
        const char* name;
        QList<int> selected;
        SortMode order;
        QString search;
        QList<int> copied; // in the order copied
        std::optional<int> inspectedAfter;
        std::optional<int> goesOnAt; // the row
    };
    const Case cases[] = {
        {"newest first", {0, 1, 2}, SortMode::newestFirst, {}, {2, 1, 0}, 3, 0},
        {"oldest first", {0, 2}, SortMode::oldestFirst, {}, {0, 2}, 1, 0},
        {"one alone is its text", {1}, SortMode::newestFirst, {}, {1}, 3, 2},
        {"the last row", {0}, SortMode::newestFirst, {}, {0}, 3, 2},
        {"one of three hidden by a search", {0, 1, 2}, SortMode::newestFirst, QStringLiteral("alpha"), {1, 0}, 3, 0},
        {"nothing selected copies nothing", {}, SortMode::newestFirst, {}, {}, std::nullopt, std::nullopt},
        {"all of them", {0, 1, 2, 3}, SortMode::newestFirst, {}, {3, 2, 1, 0}, std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        Bulk w;
        Clipboard::writePlain(QStringLiteral("before"), w.pasteboard);
        w.state->setSortMode(c.order);
        w.state->setSelection(w.set(c.selected), std::nullopt);
        w.state->setSearchText(c.search);
        QList<Selection> copied;
        QStringList texts;
        for (int i : c.copied) {
            copied.append(*w.store->findByID(w.ids[i]));
            texts.append(copied.last().text);
        }
        w.actions->copySelectedPlain();
        EXPECT_EQ(Clipboard::plainText(w.pasteboard),
                  copied.isEmpty() ? QStringLiteral("before") : texts.join(QStringLiteral("\n\n---\n\n")))
            << c.name;
        w.actions->copySelectedMarkdown();
        EXPECT_EQ(Clipboard::plainText(w.pasteboard),
                  copied.isEmpty() ? QStringLiteral("before") : SelectionsMarkdown::document(copied).markdown)
            << c.name;
        EXPECT_EQ(bool(Clipboard::htmlData(w.pasteboard)), !copied.isEmpty()) << c.name << ": formatted for editors";
        EXPECT_EQ(w.actions->deleteSelected(), c.goesOnAt) << c.name;
        EXPECT_EQ(w.state->detailSelectionID(), w.id(c.inspectedAfter)) << c.name;
        const QString n = QString::number(copied.size());
        const QStringList log{QStringLiteral("Copy Markdown for %1 selection(s)").arg(n),
                              QStringLiteral("Batch delete %1 selection(s)").arg(n)};
        EXPECT_EQ(w.log, copied.isEmpty() ? QStringList() : log) << c.name;
    }
}

// Additions to the active prompt log their counts and report them for the banner; a new prompt
// from a selection or a collection shows the prompt and neither logs nor reports.
TEST(LibraryBulkActions, AdditionsToThePrompt)
{
    using Counts = std::optional<std::pair<qsizetype, qsizetype>>;
    struct Case {
        const char* name;
        QList<int> inPrompt, selected;
        std::function<void(Bulk&)> act;
        QString log;
        Counts reported;
        QList<int> entries; // of the active draft afterwards
        bool showsPrompt;
    };
    const auto addSelected = [](Bulk& w) { w.actions->addSelectedToPrompt(); };
    const Case cases[] = {
        {"two selected, one in the prompt already",
         {0},
         {0, 1},
         addSelected,
         QStringLiteral("Bulk add 1/2 selection(s) to prompt"),
         std::pair{1, 2},
         {0, 1},
         false},
        {"all in the prompt already",
         {0, 1},
         {0, 1},
         addSelected,
         QStringLiteral("Bulk add 0/2 selection(s) to prompt"),
         std::pair{0, 2},
         {1, 0},
         false},
        {"nothing selected", {}, {}, addSelected, {}, std::nullopt, {}, false},
        {"the whole collection, also what a search hides",
         {},
         {},
         [](Bulk& w) { w.actions->addCollectionToPrompt(w.group); },
         QStringLiteral("Collection add 3/3 to prompt"),
         std::pair{3, 3},
         {2, 1, 0},
         false},
        {"new prompt from the selection",
         {0},
         {1, 3},
         [](Bulk& w) { w.actions->newPromptWithSelection(); },
         {},
         std::nullopt,
         {3, 1},
         true},
        {"new prompt from the collection",
         {},
         {},
         [](Bulk& w) { w.actions->newPromptFromCollection(w.group); },
         {},
         std::nullopt,
         {2, 1, 0},
         true},
    };
    for (const Case& c : cases) {
        Bulk w;
        w.store->addSelectionsToActiveDraft(w.set(c.inPrompt));
        w.state->setSearchText(QStringLiteral("alpha"));
        w.state->setSelection(w.set(c.selected), std::nullopt);
        c.act(w);
        EXPECT_EQ(w.log, c.log.isEmpty() ? QStringList{} : QStringList{c.log}) << c.name;
        EXPECT_EQ(w.added->isEmpty() ? Counts()
                                     : Counts(std::pair{w.added->first().at(0).value<qsizetype>(),
                                                        w.added->first().at(1).value<qsizetype>()}),
                  c.reported)
            << c.name;
        EXPECT_EQ(w.entries(), w.list(c.entries)) << c.name;
        EXPECT_EQ(w.state->sidebarSelection() == SidebarItem::prompt(), c.showsPrompt) << c.name;
        EXPECT_TRUE(!c.showsPrompt || w.state->selectedIDs().isEmpty()) << c.name;
    }
}

} // namespace
