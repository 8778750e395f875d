#include "Tovak/library/SidebarView.h"

#include "Tovak/library/ContentView.h"
#include "Tovak/library/SidebarModel.h"
#include "Tovak/library/SidebarRowDelegate.h"
#include "core/capture/Clipboard.h"
#include "core/library/LibrarySamples.h"
#include "core/library/SelectionDragIDs.h"
#include "support/ViewFakes.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace vellicord;
using namespace std::chrono_literals;

namespace {

// A window over three captures (c newest): a and b from one page in two browsers, c from an
// application; the group G holds a; the active prompt "Prompt 1" holds a.
struct Window : ViewFakes {
    Selection a, b, c;
    QUuid group;
    QWidget window;
    ContentView* content = nullptr;

    explicit Window(const QByteArray& file = {})
        : ViewFakes(file)
    {
        const QString page = QStringLiteral("https://a.example/page");
        a = Selection(QUuid::createUuid(), QStringLiteral("alpha"), std::nullopt, QStringLiteral("Firefox"),
                      std::nullopt, page, std::nullopt, std::nullopt, {}, time.now());
        b = a;
        b.id = QUuid::createUuid();
        b.text = b.markdown = QStringLiteral("beta");
        b.appName = QStringLiteral("Chromium");
        c = Selection(QUuid::createUuid(), QStringLiteral("gamma"), std::nullopt, QStringLiteral("Notes"), std::nullopt,
                      std::nullopt, std::nullopt, std::nullopt, {}, time.now());
        for (const Selection& s : {a, b, c})
            store->add(s);
        if (const auto g = store->createGroup(QStringLiteral("G"), QStringLiteral("#4F8EF7"), {a.id}))
            group = g->id;
        store->addSelectionsToActiveDraft({a.id});
        window.resize(1120, 660);
        content = new ContentView(services(), &window);
        content->resize(window.size());
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    SidebarView& sidebar() const { return *content->sidebar(); }
    SidebarModel& model() const { return sidebar().sidebarModel(); }
    int row(const SidebarItem& item) const { return model().rowOf(item); }
    int headerRow(const QString& title) const
    {
        for (int r = 0; r < model().rowCount(); ++r) {
            if (model().kind(r) == SidebarModel::Kind::header && model().index(r).data().toString() == title)
                return r;
        }
        return -1;
    }
    QPoint centre(int r) const { return sidebar().visualRect(model().index(r)).center(); }
    void click(int r) { QTest::mouseClick(sidebar().viewport(), Qt::LeftButton, {}, centre(r)); }
    std::optional<SidebarItem> shownInSidebar(const SidebarView& view) const
    {
        const QModelIndexList chosen = view.selectionModel()->selectedIndexes();
        return chosen.size() == 1 ? model().item(chosen.first().row()) : std::nullopt;
    }
    qsizetype promptCount() const { return store->activeDraft() ? store->activeDraft()->includedCount() : 0; }
    qsizetype groupCount() const { return store->selections(group).size(); }
};

// The sidebar and the window's target follow each other, once per change, and the selected row is
// found again by its target after rows come and go above it.
TEST(SidebarView, SelectionRoundTripsWithoutLoops)
{
    Window w;
    ContentViewState& state = w.content->state();
    QSignalSpy changes(&state, &ContentViewState::sidebarSelectionChanged);

    // Pressing a group's grip chooses nothing: it drags.
    const QModelIndex groupIndex = w.model().index(w.row(SidebarItem::group(w.group)));
    const QPoint grip = SidebarRowDelegate::gripRect(groupIndex, w.sidebar().visualRect(groupIndex)).center();
    QTest::mousePress(w.sidebar().viewport(), Qt::LeftButton, {}, grip);
    QTest::mouseRelease(w.sidebar().viewport(), Qt::LeftButton, {}, grip);
    EXPECT_EQ(changes.count(), 0);
    // A secondary click opens a row's menu over what the window shows: it chooses nothing.
    for (const SidebarItem& item : {SidebarItem::group(w.group), SidebarItem::prompt()}) {
        QTest::mousePress(w.sidebar().viewport(), Qt::RightButton, {}, w.centre(w.row(item)));
        QTest::mouseRelease(w.sidebar().viewport(), Qt::RightButton, {}, w.centre(w.row(item)));
    }
    EXPECT_EQ(changes.count(), 0);
    EXPECT_EQ(w.shownInSidebar(w.sidebar()), SidebarItem::allSelections());

    w.click(w.row(SidebarItem::group(w.group)));
    EXPECT_EQ(state.sidebarSelection(), SidebarItem::group(w.group));
    EXPECT_EQ(changes.count(), 1);

    const SidebarItem source = SidebarItem::source(w.b.sourceIdentity());
    state.setSidebarSelection(source);
    EXPECT_EQ(changes.count(), 2);
    EXPECT_EQ(w.shownInSidebar(*w.content->librarySidebar()), source);
    EXPECT_EQ(w.shownInSidebar(*w.content->composeSidebar()), source) << "both layouts show the target";

    // A group and a prompt draft come in above the source's row: it stays chosen, by its target.
    w.store->addGroup(QStringLiteral("Another"), QStringLiteral("#000000"));
    w.store->newDraft(QStringLiteral("Second"));
    w.store->add(Selection(QUuid::createUuid(), QStringLiteral("delta"), std::nullopt, QStringLiteral("Atlas"),
                           std::nullopt, std::nullopt, std::nullopt, std::nullopt, {}, w.time.now()));
    EXPECT_EQ(w.shownInSidebar(w.sidebar()), source);
    EXPECT_EQ(changes.count(), 2) << "the model's moves write nothing back";

    // Rows that cannot be chosen leave the target alone.
    w.click(w.headerRow(QStringLiteral("Groups")));
    w.click(w.model().rowCount() - 1);
    EXPECT_EQ(state.sidebarSelection(), source);
    EXPECT_EQ(w.shownInSidebar(w.sidebar()), source);

    // The source's captures go: no row is chosen, and the window keeps its target.
    w.store->remove(QSet<QUuid>{w.a.id, w.b.id});
    EXPECT_EQ(w.shownInSidebar(w.sidebar()), std::nullopt);
    EXPECT_EQ(state.sidebarSelection(), source);
    EXPECT_EQ(changes.count(), 2);

    // The prompt switches the layout; its sidebar shows the prompt chosen.
    w.click(w.row(SidebarItem::prompt()));
    EXPECT_EQ(w.content->sidebar(), w.content->composeSidebar());
    EXPECT_EQ(w.shownInSidebar(w.sidebar()), SidebarItem::prompt());
    EXPECT_EQ(w.window.windowTitle(), QStringLiteral("Vellicord \u2014 Second"));
    EXPECT_EQ(changes.count(), 3);
}

// Captures dragged onto the sidebar: only the active prompt and the groups take them, the text is
// read at the drop, and the library changes once the drag is over, by what exists only. A drag
// with text is let in wherever it enters (over a header, a source row, its own grip), and then
// reaches a target it moves onto.
TEST(SidebarView, Drops)
{
    enum Target { prompt, group, groupsHeader, source, allSelections };
    struct Case {
        const char* name;
        Target target;
        std::function<QString(const Window&)> text; // none: a drag without plain text
        bool accepted;
        qsizetype promptCount, groupCount;
        std::optional<Target> enteredAt = std::nullopt; // where the drag came in, when not at its target
    };
    const auto ids = [](std::initializer_list<QUuid> list) { return SelectionDragIDs::encode(QSet<QUuid>(list)); };
    const Case cases[] = {
        {"captures onto the prompt: only the new ones", prompt,
         [&](const Window& w) {
             return ids({w.a.id, w.b.id, w.c.id});
         },
         true, 3, 1},
        {"captures onto a group", group,
         [&](const Window& w) {
             return ids({w.a.id, w.c.id});
         },
         true, 1, 2},
        {"a source's grip onto a group", group,
         [](const Window& w) { return w.model().dragPayload(w.row(SidebarItem::source(w.a.sourceIdentity()))); }, true,
         1, 2, source},
        {"in over the Groups header, onto a group", group, [&](const Window& w) { return ids({w.c.id}); }, true, 1, 2,
         groupsHeader},
        {"in over All Selections, onto the prompt", prompt, [&](const Window& w) { return ids({w.c.id}); }, true, 2, 1,
         allSelections},
        {"in over a group, away onto a header", groupsHeader, [&](const Window& w) { return ids({w.c.id}); }, false, 1,
         1, group},
        {"ids of no capture onto the prompt", prompt, [&](const Window&) { return ids({QUuid::createUuid()}); }, true,
         1, 1},
        {"ids of no capture onto a group", group,
         [&](const Window& w) {
             return ids({QUuid::createUuid(), w.b.id});
         },
         true, 1, 2},
        {"another application's text", group, [](const Window&) { return QStringLiteral("hello there"); }, true, 1, 1},
        {"an empty payload", prompt, [](const Window&) { return QStringLiteral("vellicordsel:"); }, true, 1, 1},
        {"a header", groupsHeader, [&](const Window& w) { return ids({w.b.id}); }, false, 1, 1},
        {"a source row", source, [&](const Window& w) { return ids({w.b.id}); }, false, 1, 1},
        {"All Selections", allSelections, [&](const Window& w) { return ids({w.b.id}); }, false, 1, 1},
        {"no plain text", group, {}, false, 1, 1},
    };
    for (const Case& c : cases) {
        Window w;
        const auto rowOf = [&w](Target target) {
            switch (target) {
            case prompt: return w.row(SidebarItem::prompt());
            case group: return w.row(SidebarItem::group(w.group));
            case groupsHeader: return w.headerRow(QStringLiteral("Groups"));
            case source: return w.row(SidebarItem::source(w.a.sourceIdentity()));
            case allSelections: return w.row(SidebarItem::allSelections());
            }
            return -1;
        };
        QMimeData data;
        if (c.text)
            data.setText(c.text(w));
        else
            data.setData(QStringLiteral("application/octet-stream"), "x");
        const QPoint at = w.centre(rowOf(c.target));
        QWidget* viewport = w.sidebar().viewport();
        QDragEnterEvent enter(w.centre(rowOf(c.enteredAt.value_or(c.target))), Qt::CopyAction, &data, Qt::LeftButton,
                              {});
        QApplication::sendEvent(viewport, &enter);
        EXPECT_EQ(enter.isAccepted(), bool(c.text)) << c.name << ": the entry";
        QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(viewport, &move);
        EXPECT_EQ(w.sidebar().hoveredDropTarget().has_value(), c.accepted) << c.name;
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(viewport, &drop);
        EXPECT_EQ(drop.isAccepted(), c.accepted) << c.name;
        EXPECT_FALSE(w.sidebar().hoveredDropTarget()) << c.name;
        EXPECT_EQ(w.promptCount(), 1) << c.name << ": nothing changes during the drop";
        EXPECT_EQ(w.groupCount(), 1) << c.name << ": nothing changes during the drop";
        w.time.advance(0ms);
        EXPECT_EQ(w.promptCount(), c.promptCount) << c.name;
        EXPECT_EQ(w.groupCount(), c.groupCount) << c.name;
        EXPECT_EQ(w.model().index(w.row(SidebarItem::prompt())).data(SidebarModel::CountRole).toInt(), c.promptCount)
            << c.name;
    }

    // A drag over a group and away again, then out of the list, leaves no row highlighted.
    {
        Window w;
        QMimeData data;
        data.setText(ids({w.b.id}));
        QWidget* viewport = w.sidebar().viewport();
        QDragEnterEvent enter(w.centre(w.row(SidebarItem::group(w.group))), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(viewport, &enter);
        EXPECT_EQ(w.sidebar().hoveredDropTarget(), SidebarItem::group(w.group));
        QDragMoveEvent away(w.centre(w.headerRow(QStringLiteral("Sources"))), Qt::CopyAction, &data, Qt::LeftButton,
                            {});
        QApplication::sendEvent(viewport, &away);
        EXPECT_FALSE(w.sidebar().hoveredDropTarget());
        QDragLeaveEvent leave;
        QApplication::sendEvent(viewport, &leave);
        EXPECT_FALSE(w.sidebar().hoveredDropTarget());
    }

    // The group goes between the drop and the change: nothing is stored for it.
    Window w;
    QMimeData data;
    data.setText(SelectionDragIDs::encode({w.b.id}));
    const QPoint at = w.centre(w.row(SidebarItem::group(w.group)));
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(w.sidebar().viewport(), &enter);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(w.sidebar().viewport(), &drop);
    ASSERT_TRUE(drop.isAccepted());
    w.store->deleteGroup(w.group);
    w.time.advance(0ms);
    EXPECT_TRUE(w.store->findByID(w.b.id)->groupIDs.isEmpty());
}

QStringList titles(const QMenu* menu)
{
    QStringList shown;
    if (!menu)
        return shown;
    for (const QAction* action : menu->actions())
        shown.append(action->isSeparator() ? QStringLiteral("-") : action->text() + (action->isEnabled() ? "" : "°"));
    return shown;
}

void trigger(QMenu* menu, const QString& title)
{
    for (QAction* action : menu->actions()) {
        if (action->text() == title) {
            action->trigger();
            return;
        }
    }
    ADD_FAILURE() << "no item " << qPrintable(title);
}

// The three menus item by item, in a library that can change and in one that cannot (where what
// would change it is off and the copies stay), and what the items do.
TEST(SidebarView, ContextMenus)
{
    const QStringList group{
        "Add to Prompt", "New Prompt from Collection", "-", "Copy as Markdown", "Copy Plain Text", "-", "Rename…",
        "Delete Group"};
    const QStringList source{"Add to Prompt", "-", "Copy as Markdown", "Copy Plain Text"};
    Window w;
    w.store->newDraft(QStringLiteral("Other"));
    const QUuid first = w.store->drafts().first().id;
    const auto menu
        = [&](const SidebarItem& item) { return std::unique_ptr<QMenu>(w.sidebar().contextMenu(w.row(item))); };
    EXPECT_EQ(titles(menu(SidebarItem::draft(first)).get()), (QStringList{"Open", "Delete"}));
    EXPECT_EQ(titles(menu(SidebarItem::group(w.group)).get()), group);
    EXPECT_EQ(titles(menu(SidebarItem::source(w.a.sourceIdentity())).get()), source);
    EXPECT_FALSE(menu(SidebarItem::prompt())) << "the active prompt has no menu";
    EXPECT_FALSE(menu(SidebarItem::allSelections()));

    // Copies: in library order (newest first), plain texts between rules; a source's across browsers.
    trigger(menu(SidebarItem::source(w.a.sourceIdentity())).get(), QStringLiteral("Copy Plain Text"));
    EXPECT_EQ(Clipboard::plainText(w.pasteboard), QStringLiteral("beta\n\n---\n\nalpha"));
    trigger(menu(SidebarItem::group(w.group)).get(), QStringLiteral("Copy Plain Text"));
    EXPECT_EQ(Clipboard::plainText(w.pasteboard), QStringLiteral("alpha"));

    // Adding to the prompt: the active one ("Other"); the group's captures become its entries.
    trigger(menu(SidebarItem::group(w.group)).get(), QStringLiteral("Add to Prompt"));
    EXPECT_EQ(w.store->activeDraft()->name, QStringLiteral("Other"));
    EXPECT_EQ(w.promptCount(), 1);
    trigger(menu(SidebarItem::source(w.a.sourceIdentity())).get(), QStringLiteral("Add to Prompt"));
    EXPECT_EQ(w.promptCount(), 2);

    // A new prompt from the group shows it; the earlier prompts keep their entries.
    trigger(menu(SidebarItem::group(w.group)).get(), QStringLiteral("New Prompt from Collection"));
    EXPECT_EQ(w.store->activeDraft()->name, QStringLiteral("Prompt 3"));
    EXPECT_EQ(w.promptCount(), 1);
    EXPECT_EQ(w.store->findDraft(first)->includedCount(), 1);
    EXPECT_EQ(w.content->state().sidebarSelection(), SidebarItem::prompt());

    // A draft's menu: Open makes it active and shows the prompt; Delete of the shown draft moves to
    // the prompt, of another leaves the window where it is.
    trigger(menu(SidebarItem::draft(first)).get(), QStringLiteral("Open"));
    EXPECT_EQ(w.store->activeDraftID(), first);
    EXPECT_EQ(w.content->state().sidebarSelection(), SidebarItem::prompt());
    const QUuid other = w.store->drafts()[1].id;
    w.content->state().setSidebarSelection(SidebarItem::draft(other));
    trigger(menu(SidebarItem::draft(other)).get(), QStringLiteral("Delete"));
    EXPECT_FALSE(w.store->findDraft(other));
    EXPECT_EQ(w.content->state().sidebarSelection(), SidebarItem::prompt());

    // Rename asks the window, which puts up its sheet with the name filled in.
    trigger(menu(SidebarItem::group(w.group)).get(), QStringLiteral("Rename…"));
    ASSERT_TRUE(w.content->groupSheet());
    EXPECT_EQ(w.content->groupSheet()->findChild<QLineEdit*>()->text(), QStringLiteral("G"));

    // A library opened read-only from its backup (the library file could not be restored): the
    // items that would change it are off, the copies are on, and nothing takes a drop.
    ViewFakes locked;
    locked.writeAll(locked.backupPath, LibrarySamples::bytes(LibrarySamples::library(2)));
    locked.files.fail(FaultyFileSystem::Operation::write);
    locked.store = locked.open();
    ASSERT_FALSE(locked.store->canModifyLibrary());
    QWidget window;
    auto* content = new ContentView(locked.services(), &window);
    window.resize(1120, 660);
    content->resize(window.size());
    window.show();
    SidebarView& sidebar = *content->sidebar();
    const SidebarModel& model = sidebar.sidebarModel();
    const auto lockedMenu
        = [&](const SidebarItem& item) { return std::unique_ptr<QMenu>(sidebar.contextMenu(model.rowOf(item))); };
    const QUuid lockedGroup = locked.store->groups().first().id;
    const Selection lockedCapture = locked.store->selections().first();
    EXPECT_EQ(titles(lockedMenu(SidebarItem::group(lockedGroup)).get()),
              (QStringList{"Add to Prompt°", "New Prompt from Collection°", "-", "Copy as Markdown", "Copy Plain Text",
                           "-", "Rename…°", "Delete Group°"}));
    EXPECT_EQ(titles(lockedMenu(SidebarItem::source(lockedCapture.sourceIdentity())).get()),
              (QStringList{"Add to Prompt°", "-", "Copy as Markdown", "Copy Plain Text"}));
    QMimeData data;
    data.setText(SelectionDragIDs::encode({lockedCapture.id}));
    const QPoint at = sidebar.visualRect(model.index(model.rowOf(SidebarItem::group(lockedGroup)))).center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(sidebar.viewport(), &enter);
    EXPECT_FALSE(sidebar.hoveredDropTarget());
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(sidebar.viewport(), &drop);
    EXPECT_FALSE(drop.isAccepted());
}

// The two action rows act when clicked (and by Return), and only while the library can change.
TEST(SidebarView, ActionRowsAct)
{
    Window w;
    const int drafts = int(w.store->drafts().size());
    int newPrompt = -1;
    for (int r = 0; r < w.model().rowCount(); ++r) {
        if (w.model().kind(r) == SidebarModel::Kind::newPrompt)
            newPrompt = r;
    }
    w.click(newPrompt);
    EXPECT_EQ(w.store->drafts().size(), drafts + 1);
    EXPECT_EQ(w.content->state().sidebarSelection(), SidebarItem::prompt());
    for (int r = 0; r < w.model().rowCount(); ++r) {
        if (w.model().kind(r) == SidebarModel::Kind::newGroup)
            w.sidebar().setCurrentIndex(w.model().index(r));
    }
    QTest::keyClick(&w.sidebar(), Qt::Key_Return);
    EXPECT_TRUE(w.content->state().showNewGroupSheet());
    EXPECT_TRUE(w.content->groupSheet());
}

// A screen reader presses a row: a row that can be chosen is shown, and it alone is chosen;
// "New Group…" asks for its sheet; a header offers nothing.
TEST(SidebarView, ScreenReaderPressesRows)
{
    Window w;
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(&w.sidebar());
    ASSERT_TRUE(list);
    ASSERT_EQ(list->childCount(), w.model().rowCount());
    const auto row = [&](int r) { return list->child(r); };
    const QString press = QAccessibleActionInterface::pressAction();
    EXPECT_EQ(row(w.row(SidebarItem::group(w.group)))->text(QAccessible::Name), QStringLiteral("G"));
    EXPECT_EQ(row(w.headerRow(QStringLiteral("Groups")))->actionInterface()->actionNames(), QStringList());
    for (const SidebarItem& item :
         {SidebarItem::group(w.group), SidebarItem::source(w.c.sourceIdentity()), SidebarItem::allSelections()}) {
        const int r = w.row(item);
        EXPECT_EQ(row(r)->actionInterface()->actionNames(), QStringList{press}) << r;
        row(r)->actionInterface()->doAction(press);
        EXPECT_EQ(w.content->state().sidebarSelection(), item) << r;
        EXPECT_EQ(w.sidebar().selectionModel()->selectedIndexes().size(), 1) << r;
        EXPECT_TRUE(row(r)->state().selected) << r;
    }
    for (int r = 0; r < w.model().rowCount(); ++r) {
        if (w.model().kind(r) == SidebarModel::Kind::newGroup)
            row(r)->actionInterface()->doAction(press);
    }
    EXPECT_TRUE(w.content->state().showNewGroupSheet());
}

} // namespace
