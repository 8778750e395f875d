#include "Tovak/library/ContentViewState.h"

#include "core/library/SourceIdentity.h"
#include "support/TemporaryLibrary.h"

#include <QSignalSpy>

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
        c = add(QStringLiteral("gamma"), QStringLiteral("Writer"), std::nullopt, QStringLiteral("/home/u/x.odt"), 3);
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

} // namespace
