#include "Tovak/library/LibraryToolbar.h"

#include "Tovak/kit/OffscreenRenderer.h"
#include "Tovak/kit/Theme.h"
#include "Tovak/library/AddToPromptBanner.h"
#include "Tovak/library/ContentView.h"
#include "Tovak/library/LibraryBulkActions.h"
#include "Tovak/library/LibrarySelectionList.h"
#include "support/ViewFakes.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QTextDocument>
#include <QToolButton>
#include <QToolTip>

#include <gtest/gtest.h>

using namespace vellicord;
using namespace std::chrono_literals;
using Item = LibraryToolbar::Item;

namespace {

// The window's content over two captures, both in the group "Reading".
struct Window : ViewFakes {
    QWidget window;
    ContentView* content = nullptr;
    QUuid first, second, reading;

    explicit Window(const QByteArray& file = {}, const QString& groupName = QStringLiteral("Reading"))
        : ViewFakes(file)
    {
        if (store->canModifyLibrary()) {
            for (QUuid* id : {&first, &second}) {
                const Selection s(QUuid::createUuid(), QStringLiteral("text"), std::nullopt, QStringLiteral("App"),
                                  std::nullopt, std::nullopt, std::nullopt, std::nullopt, {}, time.now());
                store->add(s);
                *id = s.id;
            }
            reading = store->createGroup(groupName, QStringLiteral("#000000"), {first, second})->id;
        }
        content = new ContentView(services(), &window);
        window.resize(1120, 660);
        window.show();
    }
    LibraryToolbar& toolbar() { return *content->toolBar(); }
    ContentViewState& state() { return content->state(); }
    QAction* entry(Item item, const QString& title)
    {
        QMenu* menu = toolbar().button(item)->menu();
        Q_EMIT menu->aboutToShow();
        for (QAction* action : menu->actions()) {
            if (action->text() == title)
                return action;
        }
        ADD_FAILURE() << "no entry " << qPrintable(title);
        return new QAction(menu);
    }
};

const char* itemName(Item item)
{
    static const char* const names[]
        = {"capture", "selectAll", "addCollectionToPrompt", "copyCollection", "addToPrompt", "addToGroup", "copy",
           "remove",  "sort"};
    return names[int(item)];
}

// Which items the toolbar shows in each state of the window, which of them work, and what their
// help says. A disabled item is marked "!".
TEST(LibraryToolbar, ItemsInEachState)
{
    enum class Shows { prompt, all, group, goneGroup };
    struct Case {
        const char* name;
        QByteArray library;
        Shows shows;
        int selected;
        const char* items;
        const char* help; // of the items shown after the capture's, in order, joined by " | "
    };
    const Case cases[] = {
        {"the composer", {}, Shows::prompt, 0, "capture", ""},
        {"the library, nothing selected", {}, Shows::all, 0, "capture sort", "Sort selections"},
        {"a group",
         {},
         Shows::group,
         0,
         "capture selectAll addCollectionToPrompt copyCollection sort",
         "Select every Reading row | Add the whole Reading collection to a prompt | "
         "Copy the whole Reading collection to the clipboard | Sort selections"},
        {"two selected",
         {},
         Shows::all,
         2,
         "capture addToPrompt addToGroup copy remove sort",
         "Add the 2 selected selection(s) to a prompt | Add the 2 selected selection(s) to a collection | "
         "Copy 2 selection(s) | Delete 2 selection(s) | Sort selections"},
        {"a group, one selected",
         {},
         Shows::group,
         1,
         "capture selectAll addCollectionToPrompt copyCollection addToPrompt addToGroup copy remove sort",
         "Select every Reading row | Add the whole Reading collection to a prompt | "
         "Copy the whole Reading collection to the clipboard | Add the 1 selected selection(s) to a prompt | "
         "Add the 1 selected selection(s) to a collection | Copy 1 selection(s) | Delete 1 selection(s) | "
         "Sort selections"},
        {"a group deleted while shown", {}, Shows::goneGroup, 0, "capture sort", "Sort selections"},
        {"a library that cannot change", "not a library", Shows::all, 0, "capture! sort", "Sort selections"},
    };
    for (const Case& c : cases) {
        Window w(c.library);
        switch (c.shows) {
        case Shows::prompt: w.state().setSidebarSelection(SidebarItem::prompt()); break;
        case Shows::all: break;
        case Shows::group: w.state().setSidebarSelection(SidebarItem::group(w.reading)); break;
        case Shows::goneGroup:
            w.state().setSidebarSelection(SidebarItem::group(w.reading));
            w.store->deleteGroup(w.reading);
            break;
        }
        const QList<QUuid> ids{w.first, w.second};
        w.state().setSelection(QSet<QUuid>(ids.cbegin(), ids.cbegin() + c.selected), std::nullopt);

        QStringList items, help;
        for (int i = 0; i < LibraryToolbar::itemCount; ++i) {
            const Item item = Item(i);
            if (!w.toolbar().shows(item))
                continue;
            items.append(QString::fromLatin1(itemName(item)) + (w.toolbar().button(item)->isEnabled() ? "" : "!"));
            help.append(w.toolbar().helpText(item));
            EXPECT_EQ(w.toolbar().button(item)->toolTip(), w.toolbar().helpText(item)) << c.name;
        }
        EXPECT_EQ(items.join(u' '), QString::fromUtf8(c.items)) << c.name;
        EXPECT_EQ(help.takeFirst(), QStringLiteral("Capture the current selection (hotkey: Ctrl+Alt+Super+C)"))
            << c.name;
        EXPECT_EQ(help.join(QStringLiteral(" | ")), QString::fromUtf8(c.help)) << c.name;
        bool search = false;
        for (QAction* action : w.toolbar().actions())
            search |= w.toolbar().widgetForAction(action) == w.content->searchField() && action->isVisible();
        EXPECT_EQ(search, c.shows != Shows::prompt) << c.name << ": the search field goes with the library";
        w.toolbar().button(Item::capture)->click();
        EXPECT_EQ(w.captureRequests, QString::fromUtf8(c.items).contains(u'!') ? 0 : 1) << c.name;
    }
    // The search field's buttons, as a screen reader names them.
    Window w;
    QAccessibleInterface* field = QAccessible::queryAccessibleInterface(w.content->searchField());
    QStringList buttons;
    for (int i = 0; i < field->childCount(); ++i)
        buttons.append(field->child(i)->text(QAccessible::Name));
    EXPECT_EQ(buttons, (QStringList{u"Clear"_qs, u"Search"_qs}));
}

// Group names show as typed: in a tooltip (not read as markup) and in the "Add to Group" menu (no
// shortcut letter taken from "&", no shortcut column from a tab, one line, well within the screen),
// whose entries fill the group or ask for a new one.
TEST(LibraryToolbar, NamesShowAsTyped)
{
    const QString name = QStringLiteral("Work & <i>notes</i>");
    Window w({}, name);
    w.state().setSidebarSelection(SidebarItem::group(w.reading));
    QTextDocument shown;
    shown.setHtml(w.toolbar().button(Item::selectAll)->toolTip());
    EXPECT_EQ(shown.toPlainText(), QStringLiteral("Select every Work & <i>notes</i> row"));

    struct Case {
        const char* name;
        QStringList groups;
        QStringList entries;
    };
    const Case cases[] = {
        {"no groups", {}, {QStringLiteral("No groups yet!"), QString(), QStringLiteral("New Group…")}},
        {"two groups",
         {name, QStringLiteral("Later")},
         {QStringLiteral("Work && <i>notes</i>"), QStringLiteral("Later"), QString(), QStringLiteral("New Group…")}},
        {"a tab, line and paragraph breaks",
         {QStringLiteral("Later"), QStringLiteral("Read\tthis\nweek\u2028and\u2029next")},
         {QStringLiteral("Later"), QStringLiteral("Read this week and next"), QString(), QStringLiteral("New Group…")}},
        {"a name of 5,000 characters",
         {QStringLiteral("Later"), u"From here "_qs + QString(4980, u'a') + u" to there"_qs},
         {QStringLiteral("Later"), QStringLiteral("From here … to there"), QString(), QStringLiteral("New Group…")}},
    };
    for (const Case& c : cases) {
        Window g;
        g.store->deleteGroup(g.reading);
        for (const QString& group : c.groups)
            g.store->addGroup(group, QStringLiteral("#000000"));
        g.state().setSelection({g.first}, g.first);
        QMenu* menu = g.toolbar().groupMenu();
        Q_EMIT menu->aboutToShow();
        QStringList entries;
        // A name's run of "a" cut short in the middle reads "…".
        for (QAction* action : menu->actions())
            entries.append(action->text().replace(QRegularExpression(u"a+…a+"_qs), u"…"_qs)
                           + (action->isEnabled() || action->isSeparator() ? "" : "!"));
        EXPECT_EQ(entries, c.entries) << c.name;
        EXPECT_LT(menu->sizeHint().width(), 500) << c.name;
        if (!c.groups.isEmpty()) {
            menu->actions().at(1)->trigger();
            EXPECT_EQ(g.store->selections(g.store->groups().last().id).size(), 1) << c.name;
            const QUuid work = g.store->groups().first().id;
            g.store->deleteGroup(work);
            menu->actions().at(0)->trigger();
            EXPECT_EQ(g.store->findByID(g.first)->groupIDs.size(), 1) << c.name << ": a group gone fills nothing";
        }
        menu->actions().last()->trigger();
        EXPECT_EQ(g.state().groupPendingSelectionIDs(), QSet<QUuid>{g.first}) << c.name << ": New Group… for it";
        if (!c.groups.isEmpty()) {
            g.state().setSidebarSelection(SidebarItem::group(g.store->groups().last().id));
            const QString help = g.toolbar().button(Item::selectAll)->toolTip();
            EXPECT_TRUE(help.startsWith(u"Select every "_qs) && help.endsWith(u" row"_qs)) << c.name;
            EXPECT_LT(QFontMetrics(QToolTip::font()).horizontalAdvance(help), 700) << c.name;
        }
    }
}

// With a group shown and rows selected, every item shown has a symbol of its own, and the sort
// menu marks the order in use with a check mark beside its symbol, drawn light and dark for
// whoever looks at them (VELLICORD_RENDER_DIR).
TEST(LibraryToolbar, EachItemItsOwnSymbolAndTheOrderInUseChecked)
{
    Window w;
    w.state().setSidebarSelection(SidebarItem::group(w.reading));
    w.state().setSelection({w.first}, w.first);
    QList<std::pair<const char*, QImage>> shown;
    for (int i = 0; i <= int(Item::sort); ++i) {
        if (w.toolbar().shows(Item(i)))
            shown.append({itemName(Item(i)), w.toolbar().button(Item(i))->icon().pixmap(QSize(16, 16)).toImage()});
    }
    ASSERT_EQ(shown.size(), 9);
    for (qsizetype a = 0; a < shown.size(); ++a) {
        for (qsizetype b = a + 1; b < shown.size(); ++b)
            EXPECT_NE(shown[a].second, shown[b].second) << shown[a].first << " and " << shown[b].first;
    }

    QMenu* sort = w.toolbar().button(Item::sort)->menu();
    const QString folder = qEnvironmentVariable("VELLICORD_RENDER_DIR");
    for (SortMode mode : {SortMode::newestFirst, SortMode::byApp}) {
        w.state().setSortMode(mode);
        for (Appearance appearance : {Appearance::light, Appearance::dark}) {
            // The toolbar paints the menu's symbols in its own palette's colours.
            Theme::apply(w.window, appearance);
            Theme::apply(*sort, appearance);
            sort->adjustSize();
            const QImage image = OffscreenRenderer::render(*sort, sort->sizeHint(), 1.0);
            // The check column is inked on the order in use only.
            for (QAction* entry : sort->actions()) {
                const QRect row = sort->actionGeometry(entry);
                int inked = 0;
                for (int x = row.left() + 4; x < row.left() + 20; ++x) {
                    for (int y = row.top() + 2; y <= row.bottom() - 2; ++y)
                        inked += image.pixelColor(x, y) != image.pixelColor(row.right() - 2, row.center().y());
                }
                EXPECT_EQ(inked > 0, entry->text() == SortModes::rawValue(mode)) << qPrintable(entry->text());
            }
            if (!folder.isEmpty() && mode == SortMode::byApp) {
                QDir().mkpath(folder);
                image.save(QStringLiteral("%1/sort-menu-%2.png")
                               .arg(folder, appearance == Appearance::dark ? u"dark" : u"light"));
            }
        }
    }
    if (!folder.isEmpty()) {
        Theme::apply(w.window, Appearance::light);
        w.toolbar().resize(760, w.toolbar().sizeHint().height());
        QCoreApplication::processEvents();
        OffscreenRenderer::writePng(w.toolbar(), w.toolbar().size(), 2.0,
                                    folder + QStringLiteral("/toolbar-group-and-selection.png"));
    }
}

// The banner's words: the noun follows what was offered, numbers without grouping.
TEST(AddToPromptBanner, Texts)
{
    const struct {
        qsizetype added, total;
        const char* text;
    } cases[] = {
        {0, 5, "Already in the prompt"},
        {2, 3, "Added 2 of 3 selections to the prompt"},
        {1, 1, "Added 1 of 1 selection to the prompt"},
        {1, 3, "Added 1 of 3 selections to the prompt"},
        {1234, 5000, "Added 1234 of 5000 selections to the prompt"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AddToPromptBanner::text(c.added, c.total), QString::fromUtf8(c.text)) << c.text;
}

// An addition from the toolbar shows the banner over the list for 2.2 s; a second one a second
// later shows its own counts and keeps its own full time.
TEST(AddToPromptBanner, EachShowingKeepsItsOwnTime)
{
    Window w;
    AddToPromptBanner& banner = *w.content->addToPromptBanner();
    w.state().setSelection({w.first}, w.first);
    w.entry(Item::addToPrompt, QStringLiteral("Add to Active Prompt"))->trigger();
    EXPECT_TRUE(banner.isVisibleTo(&w.window));
    EXPECT_EQ(banner.text(), QStringLiteral("Added 1 of 1 selection to the prompt"));
    w.time.advance(1000ms);
    w.state().setSelection({w.first, w.second}, w.first);
    w.entry(Item::addToPrompt, QStringLiteral("Add to Active Prompt"))->trigger();
    EXPECT_EQ(banner.text(), QStringLiteral("Added 1 of 2 selections to the prompt"));

    struct Step {
        std::chrono::milliseconds after;
        bool shown;
    };
    const Step steps[] = {{1200ms, true}, {999ms, true}, {1ms, false}};
    for (const Step& step : steps) {
        w.time.advance(step.after);
        EXPECT_EQ(banner.isShowing(), step.shown) << w.time.elapsed().count();
        EXPECT_EQ(banner.isVisibleTo(&w.window), step.shown) << w.time.elapsed().count();
    }
    ASSERT_TRUE(banner.content());
    EXPECT_EQ(banner.content()->added, 1) << "hiding keeps the counts";
}

// A view gone before its timer fires is left alone by it: the banner's hide and a row's "Copied".
TEST(AddToPromptBanner, TimersOfAViewThatIsGoneTouchNothing)
{
    const struct {
        const char* name;
        std::function<void(Window&)> start;
    } cases[] = {
        {"banner", [](Window& w) { w.content->addToPromptBanner()->flash(1, 1); }},
        {"copied row", [](Window& w) { w.content->list()->copyPlainText(0); }},
    };
    for (const auto& c : cases) {
        Window w;
        w.settle();
        c.start(w);
        EXPECT_EQ(w.time.pendingCount(), 1) << c.name;
        delete w.content;
        w.time.advance(3s);
        EXPECT_EQ(w.time.pendingCount(), 0) << c.name;
    }
}

} // namespace
