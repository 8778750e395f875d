#include "Tovak/library/ContentViewState.h"

#include "core/library/SourceIdentity.h"
#include "support/TemporaryLibrary.h"
#include "tests/core/library/LibrarySamples.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace vellicord;

namespace {

// Five captures: a and b from one page (other applications), c from a file, d and e from apps.
struct Library : TemporaryLibrary {
    std::unique_ptr<Store> store = open();
    QUuid a, b, c, d, e;
    QUuid group;
    std::unique_ptr<ContentViewState> state;

    Library()
    {
        const auto add = [&](const QString& text, const QString& app, std::optional<QString> url,
                             std::optional<QString> path, int minute) {
            const Selection s(QUuid::createUuid(), text, std::nullopt, app, std::nullopt, url, std::nullopt, path, {},
                              QDateTime::fromSecsSinceEpoch(1'700'000'000 + 60 * minute, Qt::UTC));
            store->add(s);
            return s.id;
        };
        const QString page = QStringLiteral("https://a.example/page");
        a = add(QStringLiteral("Alpha word"), QStringLiteral("Firefox"), page, std::nullopt, 1);
        b = add(QStringLiteral("beta WORD"), QStringLiteral("Chromium"), page, std::nullopt, 5);
        c = add(QStringLiteral("gamma"), QStringLiteral("Writer"), std::nullopt,
                QStringLiteral("/home/u/caf\u00E9.odt"), 3);
        d = add(QStringLiteral("delta word"), QStringLiteral("Terminal"), std::nullopt, std::nullopt, 2);
        e = add(QStringLiteral("epsilon"), QStringLiteral("Notes"), std::nullopt, std::nullopt, 4);
        group = store->createGroup(QStringLiteral("G"), QStringLiteral("#000000"), {c, e})->id;
        state = std::make_unique<ContentViewState>(*store, time, time);
    }

    QList<QUuid> visible() const
    {
        QList<QUuid> ids;
        for (const Selection& s : state->visibleSelections())
            ids.append(s.id);
        return ids;
    }
};

TEST(ContentViewState, ScopeThenQueryThenOrder)
{
    Library lib;
    const SourceIdentity pageFromFirefox = SourceIdentity::from(*lib.store->findByID(lib.a));
    struct Case {
        const char* name;
        std::optional<SidebarItem> scope;
        QString search;
        SortMode mode;
        QList<QUuid> expected;
    };
    const Case cases[] = {
        {"everything newest first",
         SidebarItem::allSelections(),
         {},
         SortMode::newestFirst,
         {lib.b, lib.e, lib.c, lib.d, lib.a}},
        {"no target is everything", std::nullopt, {}, SortMode::oldestFirst, {lib.a, lib.d, lib.c, lib.e, lib.b}},
        {"the prompt lists the library",
         SidebarItem::prompt(),
         {},
         SortMode::newestFirst,
         {lib.b, lib.e, lib.c, lib.d, lib.a}},
        {"spaces and newlines search nothing",
         SidebarItem::allSelections(),
         QStringLiteral(" \n "),
         SortMode::newestFirst,
         {lib.b, lib.e, lib.c, lib.d, lib.a}},
        {"the word alone, lower-cased",
         SidebarItem::allSelections(),
         QStringLiteral("  WoRd \n"),
         SortMode::oldestFirst,
         {lib.a, lib.d, lib.b}},
        {"a letter", SidebarItem::allSelections(), QStringLiteral("cafe"), SortMode::newestFirst, {}},
        {"then its accent as a mark of its own finds the accented letter",
         SidebarItem::allSelections(),
         QStringLiteral("Cafe\u0301"),
         SortMode::newestFirst,
         {lib.c}},
        {"a group", SidebarItem::group(lib.group), {}, SortMode::newestFirst, {lib.e, lib.c}},
        {"a source is its identifier, whatever the application",
         SidebarItem::source(pageFromFirefox),
         {},
         SortMode::newestFirst,
         {lib.b, lib.a}},
        {"a source and a search",
         SidebarItem::source(pageFromFirefox),
         QStringLiteral("beta"),
         SortMode::newestFirst,
         {lib.b}},
        {"by app", SidebarItem::allSelections(), {}, SortMode::byApp, {lib.b, lib.a, lib.e, lib.d, lib.c}},
        {"a deleted group shows nothing", SidebarItem::group(QUuid::createUuid()), {}, SortMode::newestFirst, {}},
    };
    for (const Case& c : cases) {
        lib.state->setSidebarSelection(c.scope);
        lib.state->setSearchText(c.search);
        lib.state->setSortMode(c.mode);
        EXPECT_EQ(lib.visible(), c.expected) << c.name;
    }
}

// A search typed while the window's search index is still being made takes no wait: the list stays
// as it was, and once the index is made it shows what the last text asks for, the captures added
// and deleted meanwhile included (most of the library, which numbers the list's captures anew and
// starts the index again), exactly as the plain derivation does.
TEST(ContentViewState, ASearchTypedWhileTheIndexIsMadeIsAnsweredWhenItIs)
{
    TemporaryLibrary library;
    TemporaryLibrary::writeAll(library.libraryPath, LibrarySamples::bytes(LibrarySamples::everyday(9000)));
    const std::unique_ptr<Store> store = library.open();
    const auto ids = [](const QList<Selection>& selections) {
        QList<QUuid> result;
        for (const Selection& s : selections)
            result.append(s.id);
        return result;
    };
    enum class Meanwhile { nothing, addAndDelete, deleteMost };
    struct Case {
        const char* name;
        QStringList typed;
        Meanwhile meanwhile;
    };
    const Case cases[] = {
        {"one letter", {QStringLiteral("t")}, Meanwhile::nothing},
        {"a word typed on", {QStringLiteral("t"), QStringLiteral("th"), QStringLiteral("The")}, Meanwhile::nothing},
        {"a letter taken back", {QStringLiteral("the"), QStringLiteral("th")}, Meanwhile::nothing},
        {"nothing matches", {QStringLiteral("zzqx")}, Meanwhile::nothing},
        {"non-ASCII", {QStringLiteral("na\u00EFve r\u00E9")}, Meanwhile::nothing},
        {"captures added and deleted meanwhile", {QStringLiteral("the")}, Meanwhile::addAndDelete},
        {"most of the library deleted meanwhile", {QStringLiteral("budget")}, Meanwhile::deleteMost},
    };
    for (const Case& c : cases) {
        ContentViewState state(*store, library.time, library.time);
        state.model().prepareSearch();
        const QList<QUuid> before = ids(state.visibleSelections());
        for (const QString& text : c.typed) {
            state.setSearchText(text);
            EXPECT_EQ(ids(state.visibleSelections()), before) << c.name << ": the keystroke waited for the index";
        }
        if (c.meanwhile == Meanwhile::addAndDelete) {
            Selection added = store->selections().first();
            added.id = QUuid::createUuid();
            added.createdAt = added.createdAt.addSecs(1);
            store->add(added);
            store->remove(store->selections()[5].id);
        } else if (c.meanwhile == Meanwhile::deleteMost) {
            QSet<QUuid> most;
            for (qsizetype i = 0; i < 5000; ++i)
                most.insert(store->selections()[i].id);
            store->remove(most);
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return !state.model().isWaitingForSearch(); }, 60000)) << c.name;
        QList<Selection> matching;
        for (const Selection& s : store->selections()) {
            if (SortModes::matches(state.query(), s))
                matching.append(s);
        }
        EXPECT_EQ(ids(state.visibleSelections()), ids(SortModes::sort(SortMode::newestFirst, matching))) << c.name;
    }
}

TEST(ContentViewState, WindowTitle)
{
    Library lib;
    const auto notes = lib.store->newDraft(QStringLiteral("Notes"));
    const auto other = lib.store->newDraft(QStringLiteral("Other"));
    const QUuid gone = QUuid::createUuid();
    struct Case {
        std::optional<SidebarItem> shown;
        QString title;
    };
    const Case cases[] = {
        {std::nullopt, QStringLiteral("Vellicord")},
        {SidebarItem::group(lib.group), QStringLiteral("Vellicord")},
        {SidebarItem::draft(notes->id), QStringLiteral("Vellicord \u2014 Notes")},
        {SidebarItem::prompt(), QStringLiteral("Vellicord \u2014 Other")},
        {SidebarItem::draft(gone), QStringLiteral("Vellicord \u2014 Other")},
    };
    for (const Case& c : cases) {
        lib.state->setSidebarSelection(c.shown);
        EXPECT_EQ(lib.state->navigationTitleText(), c.title) << qPrintable(c.shown ? c.shown->id() : "none");
    }
    lib.store->deleteDraft(other->id);
    lib.store->deleteDraft(notes->id);
    EXPECT_EQ(lib.state->navigationTitleText(), QStringLiteral("Vellicord"));
}

// The selection keeps only what is shown, and the inspector moves within it.
TEST(ContentViewState, SelectionFollowsTheListAndWhatIsShown)
{
    Library lib;
    ContentViewState& state = *lib.state;
    state.selectInList({lib.a});
    EXPECT_EQ(state.detailSelectionID(), lib.a) << "a click inspects the row";
    state.selectInList({lib.a, lib.d});
    EXPECT_EQ(state.detailSelectionID(), lib.d) << "an added row is inspected";
    state.selectInList({lib.a, lib.d, lib.b});
    state.selectInList({lib.a, lib.b});
    EXPECT_TRUE(state.detailSelectionID() == lib.a || state.detailSelectionID() == lib.b);
    // A row that leaves the list's selection (a Control-click, a delete) leaves the inspector alone.
    const QSet<QUuid> three{lib.a, lib.b, lib.d};
    for (const QUuid& inspected : three) {
        for (const QUuid& left : three) {
            if (left == inspected)
                continue;
            state.setSelection(three, inspected);
            state.selectInList(QSet<QUuid>(three).subtract({left}));
            EXPECT_EQ(state.detailSelectionID(), inspected);
        }
    }

    // A search that hides the inspected capture moves the inspector to one that stays.
    state.setSelection({lib.a, lib.d, lib.b}, lib.d);
    state.setSearchText(QStringLiteral("beta"));
    EXPECT_EQ(state.selectedIDs(), QSet<QUuid>{lib.b});
    EXPECT_EQ(state.detailSelectionID(), lib.b);
    // One that hides them all empties both; one that keeps the inspected one leaves it.
    state.setSearchText(QStringLiteral("zzz"));
    EXPECT_TRUE(state.selectedIDs().isEmpty());
    EXPECT_FALSE(state.detailSelectionID());
    state.setSearchText(QString());
    state.setSelection({lib.a, lib.c}, lib.c);
    state.setSidebarSelection(SidebarItem::group(lib.group));
    EXPECT_EQ(state.selectedIDs(), QSet<QUuid>{lib.c});
    EXPECT_EQ(state.detailSelectionID(), lib.c);
    // Nothing hidden can be selected, whatever asks for it.
    state.setSelection({lib.a, lib.e}, lib.a);
    EXPECT_EQ(state.selectedIDs(), QSet<QUuid>{lib.e});
    EXPECT_FALSE(state.detailSelectionID());
    // A deleted capture leaves the selection.
    lib.store->remove(lib.e);
    EXPECT_TRUE(state.selectedIDs().isEmpty());
}

TEST(ContentViewState, PromptRequestsAndFocusSearch)
{
    Library lib;
    ContentViewState& state = *lib.state;
    QSignalSpy focus(&state, &ContentViewState::searchFocusRequested);
    state.openPrompt();
    EXPECT_EQ(state.sidebarSelection(), SidebarItem::prompt());
    ASSERT_EQ(lib.store->drafts().size(), 1) << "the first prompt is made";
    state.newPrompt();
    EXPECT_EQ(lib.store->drafts().size(), 2);
    EXPECT_EQ(state.navigationTitleText(), QStringLiteral("Vellicord \u2014 Prompt 2"));
    state.focusSearch();
    EXPECT_EQ(state.sidebarSelection(), SidebarItem::allSelections());
    EXPECT_EQ(focus.count(), 1);

    // A library that cannot be changed makes no prompt, and shows none when it has none.
    TemporaryLibrary locked;
    locked.writeAll(locked.libraryPath, "not a library");
    auto store = locked.open();
    ContentViewState readOnly(*store, locked.time, locked.time);
    readOnly.newPrompt();
    readOnly.openPrompt();
    EXPECT_EQ(readOnly.sidebarSelection(), SidebarItem::allSelections());
    EXPECT_TRUE(store->drafts().isEmpty());
}

// A group's list follows its members whether they change while it is shown or before.
TEST(ContentViewState, AGroupsListFollowsItsMembers)
{
    Library lib;
    ContentViewState& state = *lib.state;
    const QUuid other = lib.store->addGroup(QStringLiteral("Other"), QStringLiteral("#000000"))->id;
    struct Step {
        const char* name;
        bool shownDuring;
        std::function<void()> act;
        QList<QUuid> shown; // the group's captures, newest first
    };
    const Step steps[] = {
        {"filled while the whole library is shown",
         false,
         [&] {
             lib.store->addToGroup(lib.group, {lib.a, lib.b});
         },
         {lib.b, lib.e, lib.c, lib.a}},
        {"one taken out while it is shown",
         true,
         [&] { lib.store->removeFromGroups({lib.group}, {lib.c}); },
         {lib.b, lib.e, lib.a}},
        {"another group filled", false, [&] { lib.store->addToGroup(other, {lib.d}); }, {lib.b, lib.e, lib.a}},
        {"filled while it is shown",
         true,
         [&] { lib.store->addToGroup(lib.group, {lib.d}); },
         {lib.b, lib.e, lib.d, lib.a}},
    };
    for (const Step& step : steps) {
        state.setSidebarSelection(step.shownDuring ? SidebarItem::group(lib.group) : SidebarItem::allSelections());
        step.act();
        state.setSidebarSelection(SidebarItem::group(lib.group));
        EXPECT_EQ(lib.visible(), step.shown) << step.name;
    }
}

// The new-group sheet: who asked decides what the group holds, the name is trimmed of white space
// and newlines alike, and every way out but a create drops what it was asked for.
TEST(ContentViewState, NewGroupSheet)
{
    enum Asker { sidebar, captureRow, several };
    struct Case {
        const char* name;
        Asker asker;
        QString typed;
        bool created;
        QString stored;
    };
    const Case cases[] = {
        {"the sidebar's: no capture", sidebar, QStringLiteral("  Reading  "), true, QStringLiteral("Reading")},
        {"newlines go as spaces do", sidebar, QStringLiteral("\n Reading\t\n"), true, QStringLiteral("Reading")},
        {"a capture's row: that capture", captureRow, QStringLiteral("One"), true, QStringLiteral("One")},
        {"several captures", several, QStringLiteral("Two"), true, QStringLiteral("Two")},
        {"a blank name: refused, the sheet stays", captureRow, QStringLiteral(" \n\t"), false, {}},
    };
    for (const Case& c : cases) {
        Library lib;
        ContentViewState& state = *lib.state;
        const Selection d = *lib.store->findByID(lib.d);
        QSet<QUuid> members;
        switch (c.asker) {
        case sidebar: EXPECT_TRUE(state.requestNewGroup()); break;
        case captureRow:
            EXPECT_TRUE(state.requestNewGroup(d));
            members = {lib.d};
            break;
        case several:
            EXPECT_TRUE(state.requestNewGroup(QSet<QUuid>{lib.a, lib.b}));
            members = {lib.a, lib.b};
            break;
        }
        EXPECT_EQ(state.presentation(), ContentViewState::Presentation::newGroup) << c.name;
        EXPECT_FALSE(state.requestNewGroup(std::optional<Selection>(*lib.store->findByID(lib.e)))) << c.name;
        EXPECT_FALSE(state.requestRenameGroup(*lib.store->findGroup(lib.group))) << c.name << ": one sheet at a time";
        state.setNewGroupName(c.typed);
        EXPECT_EQ(state.createGroupAndClose(), c.created) << c.name;
        EXPECT_EQ(state.showNewGroupSheet(), !c.created) << c.name;
        if (!c.created) {
            EXPECT_EQ(lib.store->groups().size(), 1) << c.name;
            continue;
        }
        const SelectionGroup made = lib.store->groups().last();
        EXPECT_EQ(made.name, c.stored) << c.name;
        EXPECT_EQ(made.colorHex, QStringLiteral("#4F8EF7")) << c.name;
        QSet<QUuid> held;
        for (const Selection& s : lib.store->selections(made.id))
            held.insert(s.id);
        EXPECT_EQ(held, members) << c.name;
        EXPECT_EQ(state.sidebarSelection(), SidebarItem::group(made.id)) << c.name << ": the new group is shown";
        EXPECT_FALSE(state.groupPendingSelection() || state.groupPendingSelectionIDs()) << c.name;
    }

    // Cancelled, the sheet forgets its captures: the next group made from the sidebar is empty.
    for (bool several : {false, true}) {
        Library lib;
        ContentViewState& state = *lib.state;
        if (several)
            state.requestNewGroup(QSet<QUuid>{lib.a});
        else
            state.requestNewGroup(*lib.store->findByID(lib.a));
        state.dismissNewGroupSheet();
        EXPECT_EQ(state.presentation(), ContentViewState::Presentation::none);
        state.requestNewGroup();
        state.setNewGroupName(QStringLiteral("Later"));
        ASSERT_TRUE(state.createGroupAndClose());
        EXPECT_TRUE(lib.store->selections(lib.store->groups().last().id).isEmpty());
    }
}

// Renaming and deleting a group, and the drafts the sidebar opens and deletes.
TEST(ContentViewState, RenameDeleteAndDrafts)
{
    Library lib;
    ContentViewState& state = *lib.state;
    const SelectionGroup group = *lib.store->findGroup(lib.group);
    ASSERT_TRUE(state.requestRenameGroup(group));
    EXPECT_EQ(state.renameGroupName(), QStringLiteral("G")) << "prefilled";
    state.setRenameGroupName(QStringLiteral("   "));
    EXPECT_FALSE(state.renameGroupAndClose());
    EXPECT_EQ(state.presentation(), ContentViewState::Presentation::renameGroup);
    state.setRenameGroupName(QStringLiteral("\n Word \n"));
    EXPECT_TRUE(state.renameGroupAndClose());
    EXPECT_EQ(lib.store->findGroup(lib.group)->name, QStringLiteral("Word"));

    // Deleting another group leaves the window where it is; deleting the shown one goes back to
    // the whole library. The captures stay.
    const SelectionGroup other = *lib.store->addGroup(QStringLiteral("Other"), QStringLiteral("#000000"));
    state.setSidebarSelection(SidebarItem::group(lib.group));
    ASSERT_TRUE(state.requestDeleteGroup(other));
    state.deleteGroupAndClose();
    EXPECT_EQ(state.sidebarSelection(), SidebarItem::group(lib.group));
    ASSERT_TRUE(state.requestDeleteGroup(group));
    state.dismissDeleteAlert();
    EXPECT_TRUE(lib.store->findGroup(lib.group));
    ASSERT_TRUE(state.requestDeleteGroup(group));
    state.deleteGroupAndClose();
    EXPECT_FALSE(lib.store->findGroup(lib.group));
    EXPECT_EQ(state.sidebarSelection(), SidebarItem::allSelections());
    EXPECT_EQ(lib.store->selections().size(), 5);
    EXPECT_EQ(state.presentation(), ContentViewState::Presentation::none);

    // Choosing a draft makes it active and shows the prompt, not the draft.
    const auto one = lib.store->newDraft(QStringLiteral("One"));
    const auto two = lib.store->newDraft(QStringLiteral("Two"));
    state.selectDraft(one->id);
    EXPECT_EQ(lib.store->activeDraftID(), one->id);
    EXPECT_EQ(state.sidebarSelection(), SidebarItem::prompt());
    EXPECT_EQ(state.navigationTitleText(), QStringLiteral("Vellicord \u2014 One"));
    // Deleting the draft shown moves the window to the prompt; another leaves it where it is.
    state.setSidebarSelection(SidebarItem::draft(two->id));
    state.deleteDraft(one->id);
    EXPECT_EQ(state.sidebarSelection(), SidebarItem::draft(two->id));
    state.deleteDraft(two->id);
    EXPECT_EQ(state.sidebarSelection(), SidebarItem::prompt());
}

} // namespace
