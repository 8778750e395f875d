#include "Tovak/library/LibraryBulkActions.h"

#include "Tovak/library/ContentViewState.h"
#include "core/capture/Clipboard.h"
#include "core/composition/SelectionsMarkdown.h"
#include "support/ViewFakes.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace vellicord;

namespace {

// Four captures, newest first d, c, b, a; a, b and c are the group G.
struct Bulk : ViewFakes {
    QUuid a, b, c, d, group, empty;
    QStringList log;
    std::unique_ptr<ContentViewState> state;
    std::unique_ptr<LibraryBulkActions> actions;
    std::unique_ptr<QSignalSpy> added;

    Bulk()
    {
        const auto add = [&](const QString& text, int minute) {
            const Selection s(QUuid::createUuid(), text, std::nullopt, QStringLiteral("App"), std::nullopt,
                              std::nullopt, std::nullopt, std::nullopt, {},
                              QDateTime::fromSecsSinceEpoch(1'700'000'000 + 60 * minute, Qt::UTC));
            store->add(s);
            return s.id;
        };
        a = add(QStringLiteral("alpha one"), 1);
        b = add(QStringLiteral("alpha two"), 2);
        c = add(QStringLiteral("beta three"), 3);
        d = add(QStringLiteral("alpha four"), 4);
        group = store->createGroup(QStringLiteral("G"), QStringLiteral("#000000"), {a, b, c})->id;
        empty = store->addGroup(QStringLiteral("Empty"), QStringLiteral("#000000"))->id;
        state = std::make_unique<ContentViewState>(*store, time, time);
        actions = std::make_unique<LibraryBulkActions>(*state, *store, pasteboard,
                                                       [this](const QString& line) { log.append(line); });
        added = std::make_unique<QSignalSpy>(actions.get(), &LibraryBulkActions::addedToPrompt);
    }

    QList<QUuid> library() const
    {
        QList<QUuid> ids;
        for (const Selection& s : store->selections())
            ids.append(s.id);
        return ids;
    }
    QString clipboard() { return Clipboard::plainText(pasteboard).value_or(QStringLiteral("(nothing)")); }
    QList<QUuid> entries() const
    {
        QList<QUuid> ids;
        if (const std::optional<ContextDraft> draft = store->activeDraft()) {
            for (const ContextDraftEntry& e : draft->entries)
                ids.append(e.selectionID);
        }
        return ids;
    }
};

// "Select All" takes the members of the group that the list shows: a search leaves the members it
// hides unselected, so that the Delete after it removes only what the user sees.
TEST(LibraryBulkActions, SelectAllThenDeleteActOnWhatIsShown)
{
    struct Case {
        const char* name;
        bool emptyGroup;
        QString search;
        QList<int> selected; // of a, b, c, d
        std::optional<int> inspected;
        QList<int> remaining;
        QStringList log;
    };
    const Case cases[] = {
        {"the whole group", false, {}, {0, 1, 2}, 2, {3}, {QStringLiteral("Batch delete 3 selection(s)")}},
        {"a search hides a member",
         false,
         QStringLiteral("alpha"),
         {0, 1},
         1,
         {2, 3},
         {QStringLiteral("Batch delete 2 selection(s)")}},
        {"a search hides them all", false, QStringLiteral("nothing"), {}, std::nullopt, {0, 1, 2, 3}, {}},
        {"a group without members", true, {}, {}, std::nullopt, {0, 1, 2, 3}, {}},
    };
    for (const Case& c : cases) {
        Bulk w;
        const QUuid ids[] = {w.a, w.b, w.c, w.d};
        const QUuid group = c.emptyGroup ? w.empty : w.group;
        w.state->setSidebarSelection(SidebarItem::group(group));
        w.state->setSearchText(c.search);
        w.actions->selectAllInCollection(group);
        QSet<QUuid> selected;
        for (int i : c.selected)
            selected.insert(ids[i]);
        EXPECT_EQ(w.state->selectedIDs(), selected) << c.name;
        EXPECT_EQ(w.state->detailSelectionID(), c.inspected ? std::optional(ids[*c.inspected]) : std::nullopt)
            << c.name;

        w.actions->deleteSelected();
        QList<QUuid> remaining;
        for (int i : c.remaining)
            remaining.prepend(ids[i]);
        EXPECT_EQ(w.library(), remaining) << c.name;
        EXPECT_EQ(w.log, c.log) << c.name;
        EXPECT_TRUE(w.state->selectedIDs().isEmpty()) << c.name;
    }
}

// Copies take the selected captures the list shows, in its order; plain text joins them with the
// rule, Markdown is one document of them and logs how many it copied. A capture that a search hid
// was let go by the selection, so Delete after the copies removes the same captures.
TEST(LibraryBulkActions, CopiesTakeTheSelectionInVisibleOrder)
{
    const QString rule = QStringLiteral("\n\n---\n\n");
    struct Case {
        const char* name;
        QList<int> selected;
        SortMode order;
        QString search;
        QString plain;
        QList<int> markdown;
        QStringList log;
    };
    const Case cases[] = {
        {"newest first",
         {0, 1, 2},
         SortMode::newestFirst,
         {},
         QStringLiteral("beta three") + rule + QStringLiteral("alpha two") + rule + QStringLiteral("alpha one"),
         {2, 1, 0},
         {QStringLiteral("Copy Markdown for 3 selection(s)"), QStringLiteral("Batch delete 3 selection(s)")}},
        {"oldest first",
         {0, 1, 2},
         SortMode::oldestFirst,
         {},
         QStringLiteral("alpha one") + rule + QStringLiteral("alpha two") + rule + QStringLiteral("beta three"),
         {0, 1, 2},
         {QStringLiteral("Copy Markdown for 3 selection(s)"), QStringLiteral("Batch delete 3 selection(s)")}},
        {"one alone is its text",
         {1},
         SortMode::newestFirst,
         {},
         QStringLiteral("alpha two"),
         {1},
         {QStringLiteral("Copy Markdown for 1 selection(s)"), QStringLiteral("Batch delete 1 selection(s)")}},
        {"one of three hidden by a search",
         {0, 1, 2},
         SortMode::newestFirst,
         QStringLiteral("alpha"),
         QStringLiteral("alpha two") + rule + QStringLiteral("alpha one"),
         {1, 0},
         {QStringLiteral("Copy Markdown for 2 selection(s)"), QStringLiteral("Batch delete 2 selection(s)")}},
        {"nothing selected copies nothing", {}, SortMode::newestFirst, {}, QStringLiteral("(nothing)"), {}, {}},
    };
    for (const Case& c : cases) {
        Bulk w;
        const QUuid ids[] = {w.a, w.b, w.c, w.d};
        QSet<QUuid> selected;
        for (int i : c.selected)
            selected.insert(ids[i]);
        w.state->setSortMode(c.order);
        w.state->setSelection(selected, std::nullopt);
        w.state->setSearchText(c.search);

        w.actions->copySelectedPlain();
        EXPECT_EQ(w.clipboard(), c.plain) << c.name;
        w.actions->copySelectedMarkdown();
        QList<Selection> documented;
        for (int i : c.markdown)
            documented.append(*w.store->findByID(ids[i]));
        if (!documented.isEmpty()) {
            EXPECT_EQ(w.clipboard(), SelectionsMarkdown::document(documented)) << c.name;
            EXPECT_TRUE(Clipboard::htmlData(w.pasteboard)) << c.name << ": formatted for editors";
        }
        w.actions->deleteSelected();
        EXPECT_EQ(w.log, c.log) << c.name;
        EXPECT_EQ(w.store->selections().size(), 4 - c.markdown.size()) << c.name;
    }
}

// Additions to the active prompt log their counts and report them for the banner; a new prompt
// from a selection or a collection shows the prompt and neither logs nor reports.
TEST(LibraryBulkActions, AdditionsToThePrompt)
{
    struct Case {
        const char* name;
        QList<int> inPrompt;
        QList<int> selected;
        QString search;
        std::function<void(Bulk&)> act;
        QStringList log;
        std::optional<std::pair<qsizetype, qsizetype>> reported;
        QList<int> entries; // of the active draft afterwards, in its order
        bool showsPrompt;
    };
    const Case cases[] = {
        {"two selected, one in the prompt already",
         {0},
         {0, 1},
         {},
         [](Bulk& w) { w.actions->addSelectedToPrompt(); },
         {QStringLiteral("Bulk add 1/2 selection(s) to prompt")},
         std::pair<qsizetype, qsizetype>(1, 2),
         {0, 1},
         false},
        {"all in the prompt already",
         {0, 1},
         {0, 1},
         {},
         [](Bulk& w) { w.actions->addSelectedToPrompt(); },
         {QStringLiteral("Bulk add 0/2 selection(s) to prompt")},
         std::pair<qsizetype, qsizetype>(0, 2),
         {1, 0},
         false},
        {"nothing selected",
         {},
         {},
         {},
         [](Bulk& w) { w.actions->addSelectedToPrompt(); },
         {},
         std::nullopt,
         {},
         false},
        {"the whole collection, also what a search hides",
         {},
         {},
         QStringLiteral("alpha"),
         [](Bulk& w) { w.actions->addCollectionToPrompt(w.group); },
         {QStringLiteral("Collection add 3/3 to prompt")},
         std::pair<qsizetype, qsizetype>(3, 3),
         {2, 1, 0},
         false},
        {"new prompt from the selection",
         {0},
         {1, 3},
         {},
         [](Bulk& w) { w.actions->newPromptWithSelection(); },
         {},
         std::nullopt,
         {3, 1},
         true},
        {"new prompt from the collection",
         {},
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
        const QUuid ids[] = {w.a, w.b, w.c, w.d};
        QSet<QUuid> inPrompt, selected;
        for (int i : c.inPrompt)
            inPrompt.insert(ids[i]);
        for (int i : c.selected)
            selected.insert(ids[i]);
        if (!inPrompt.isEmpty())
            w.store->addSelectionsToActiveDraft(inPrompt);
        w.state->setSearchText(c.search);
        w.state->setSelection(selected, std::nullopt);
        c.act(w);
        EXPECT_EQ(w.log, c.log) << c.name;
        ASSERT_EQ(w.added->size(), c.reported ? 1 : 0) << c.name;
        if (c.reported) {
            EXPECT_EQ(w.added->first().at(0).value<qsizetype>(), c.reported->first) << c.name;
            EXPECT_EQ(w.added->first().at(1).value<qsizetype>(), c.reported->second) << c.name;
        }
        QList<QUuid> entries;
        for (int i : c.entries)
            entries.append(ids[i]);
        EXPECT_EQ(w.entries(), entries) << c.name;
        EXPECT_EQ(w.state->sidebarSelection() == SidebarItem::prompt(), c.showsPrompt) << c.name;
        EXPECT_TRUE(!c.showsPrompt || w.state->selectedIDs().isEmpty())
            << c.name << ": a new prompt takes the selection";
    }
}

// The selection goes into a group that exists, or into a new one through its sheet.
TEST(LibraryBulkActions, SelectionIntoAGroup)
{
    Bulk w;
    w.state->setSelection({w.a, w.d}, w.a);
    w.actions->addSelectedToGroup(w.empty);
    EXPECT_EQ(w.store->selections(w.empty).size(), 2);

    // A group deleted while its menu entry was up fills nothing.
    const QUuid gone = w.store->addGroup(QStringLiteral("Gone"), QStringLiteral("#000000"))->id;
    w.store->deleteGroup(gone);
    w.actions->addSelectedToGroup(gone);
    EXPECT_EQ(w.store->findByID(w.d)->groupIDs, QList<QUuid>{w.empty});

    ASSERT_TRUE(w.actions->newGroupWithSelection());
    EXPECT_EQ(w.state->presentation(), ContentViewState::Presentation::newGroup);
    EXPECT_TRUE(w.state->newGroupName().isEmpty());
    w.state->setNewGroupName(QStringLiteral("Pair"));
    ASSERT_TRUE(w.state->createGroupAndClose());
    const SelectionGroup pair = w.store->groups().last();
    EXPECT_EQ(pair.name, QStringLiteral("Pair"));
    EXPECT_EQ(pair.colorHex, QStringLiteral("#4F8EF7"));
    EXPECT_EQ(w.store->selections(pair.id).size(), 2);
    EXPECT_EQ(w.state->sidebarSelection(), SidebarItem::group(pair.id));

    w.state->setSelection({}, std::nullopt);
    EXPECT_FALSE(w.actions->newGroupWithSelection()) << "nothing selected, no sheet";
}

// After Delete the inspector shows the first capture still listed, or nothing.
TEST(LibraryBulkActions, DeleteMovesTheInspectorToTheFirstCaptureShown)
{
    struct Case {
        const char* name;
        SortMode order;
        QList<int> selected;
        int inspected;
        std::optional<int> after;
    };
    const Case cases[] = {
        {"newest first", SortMode::newestFirst, {1, 2}, 2, 3},
        {"oldest first", SortMode::oldestFirst, {0}, 0, 1},
        {"the newest", SortMode::newestFirst, {3}, 3, 2},
        {"all of them", SortMode::newestFirst, {0, 1, 2, 3}, 1, std::nullopt},
    };
    for (const Case& c : cases) {
        Bulk w;
        const QUuid ids[] = {w.a, w.b, w.c, w.d};
        QSet<QUuid> selected;
        for (int i : c.selected)
            selected.insert(ids[i]);
        w.state->setSortMode(c.order);
        w.state->setSelection(selected, ids[c.inspected]);
        w.settle();
        const int writes = w.writes;
        w.actions->deleteSelected();
        EXPECT_EQ(w.state->detailSelectionID(), c.after ? std::optional(ids[*c.after]) : std::nullopt) << c.name;
        EXPECT_EQ(w.store->selections().size(), 4 - c.selected.size()) << c.name;
        w.settle();
        EXPECT_EQ(w.writes - writes, 1) << c.name << ": one save";
    }
}

} // namespace
