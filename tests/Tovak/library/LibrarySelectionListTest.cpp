#include "Tovak/library/LibrarySelectionList.h"

#include "Tovak/kit/AppNotification.h"
#include "Tovak/kit/NotificationCenter.h"
#include "Tovak/library/ContentViewState.h"
#include "Tovak/library/IconCache.h"
#include "Tovak/library/SelectionRowDelegate.h"
#include "core/capture/Clipboard.h"
#include "core/library/LibrarySamples.h"
#include "core/library/SelectionDragIDs.h"
#include "support/ViewFakes.h"

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QApplication>
#include <QDrag>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

using namespace vellicord;
using namespace std::chrono_literals;

namespace {

struct List : ViewFakes {
    QList<QUuid> ids; // newest first, as the list shows them
    std::unique_ptr<ContentViewState> state;
    std::unique_ptr<IconCache> icons;
    std::unique_ptr<LibrarySelectionList> view;

    explicit List(int captures = 6)
    {
        for (int i = 0; i < captures; ++i) {
            const Selection s(QUuid::createUuid(), QStringLiteral("capture %1\nmore").arg(i), std::nullopt,
                              QStringLiteral("App"), std::nullopt, std::nullopt, std::nullopt, std::nullopt, {},
                              QDateTime::fromSecsSinceEpoch(1'700'000'000 + i, Qt::UTC));
            store->add(s);
            ids.prepend(s.id);
        }
        state = std::make_unique<ContentViewState>(*store, time, time);
        icons = std::make_unique<IconCache>(desktop);
        view = std::make_unique<LibrarySelectionList>(*state, *icons, pasteboard, desktop);
        view->resize(360, 600);
        view->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    }

    QPoint centre(int row) const { return view->visualRect(view->model()->index(row, 0)).center(); }
    // Where the row's grip is drawn: what the list painted with grips and lacks without.
    QPoint grip(int row) const
    {
        const QImage with = view->viewport()->grab().toImage();
        view->rowDelegate().setShowsDragGrip(false);
        const QImage without = view->viewport()->grab().toImage();
        view->rowDelegate().setShowsDragGrip(true);
        const QRect band = view->visualRect(view->model()->index(row, 0));
        QRect drawn;
        for (int y = band.top(); y <= band.bottom(); ++y) {
            for (int x = 0; x < with.width(); ++x) {
                if (with.pixel(x, y) != without.pixel(x, y))
                    drawn |= QRect(x, y, 1, 1);
            }
        }
        EXPECT_FALSE(drawn.isEmpty()) << "row " << row << " draws a grip";
        return drawn.center();
    }
    void click(int row, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, centre(row));
    }
    QSet<QUuid> rows(std::initializer_list<int> list) const
    {
        QSet<QUuid> set;
        for (int row : list)
            set.insert(ids[row]);
        return set;
    }
};

TEST(LibrarySelectionList, ClicksKeysAndSelectAllChooseWhatIsShown)
{
    List list;
    ContentViewState& state = *list.state;
    // The list takes the keys at its first row, choosing nothing; the first arrow chooses that row.
    list.view->selectionModel()->setCurrentIndex(list.view->model()->index(0, 0), QItemSelectionModel::NoUpdate);
    QTest::keyClick(list.view.get(), Qt::Key_Down);
    EXPECT_EQ(state.selectedIDs(), list.rows({0}));
    QTest::keyClick(list.view.get(), Qt::Key_Down);
    EXPECT_EQ(state.selectedIDs(), list.rows({1}));
    list.click(1);
    EXPECT_EQ(state.selectedIDs(), list.rows({1}));
    EXPECT_EQ(state.detailSelectionID(), list.ids[1]);
    list.click(3, Qt::ControlModifier);
    EXPECT_EQ(state.selectedIDs(), list.rows({1, 3}));
    EXPECT_EQ(state.detailSelectionID(), list.ids[3]) << "the added row is inspected";
    // A secondary click opens a row's menu over the selection as it is, on a row in it or not.
    for (const int row : {4, 3}) {
        QTest::mousePress(list.view->viewport(), Qt::RightButton, {}, list.centre(row));
        QTest::mouseRelease(list.view->viewport(), Qt::RightButton, {}, list.centre(row));
    }
    EXPECT_EQ(state.selectedIDs(), list.rows({1, 3}));
    EXPECT_EQ(state.detailSelectionID(), list.ids[3]);
    list.click(3, Qt::ControlModifier);
    EXPECT_EQ(state.selectedIDs(), list.rows({1}));
    EXPECT_EQ(state.detailSelectionID(), list.ids[1]);
    list.click(2);
    list.click(4, Qt::ShiftModifier);
    EXPECT_EQ(state.selectedIDs(), list.rows({2, 3, 4}));
    QTest::keyClick(list.view.get(), Qt::Key_Down);
    EXPECT_EQ(state.selectedIDs(), list.rows({5}));
    EXPECT_EQ(state.detailSelectionID(), list.ids[5]);

    // Control-A selects the rows shown, never those a search hides.
    state.setSearchText(QStringLiteral("capture 1"));
    QTest::keyClick(list.view.get(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(state.selectedIDs(), list.rows({4}));
    state.setSearchText(QString());
    EXPECT_EQ(state.selectedIDs(), list.rows({4})) << "the selection survives the new list";
    EXPECT_TRUE(list.view->selectionModel()->isRowSelected(4, {}));
    QTest::keyClick(list.view.get(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(state.selectedIDs().size(), 6);
}

TEST(LibrarySelectionList, DoubleClickCopiesTheTextOnceAndShowsCopiedForAWhile)
{
    List list;
    QTest::mouseDClick(list.view->viewport(), Qt::LeftButton, {}, list.centre(2));
    EXPECT_EQ(list.pasteboard.writes, 1);
    EXPECT_EQ(list.pasteboard.dataForType(PasteboardType::string).bytes, QByteArray("capture 3\nmore"));
    EXPECT_TRUE(list.state->model().isCopied(list.ids[2]));
    // The third click of a triple click is an ordinary press.
    QTest::mousePress(list.view->viewport(), Qt::LeftButton, {}, list.centre(2));
    QTest::mouseRelease(list.view->viewport(), Qt::LeftButton, {}, list.centre(2));
    EXPECT_EQ(list.pasteboard.writes, 1);
    list.time.advance(1399ms);
    EXPECT_TRUE(list.state->model().isCopied(list.ids[2]));
    list.time.advance(1ms);
    EXPECT_FALSE(list.state->model().isCopied(list.ids[2]));
    // The grip copies nothing and selects nothing.
    list.click(0);
    QTest::mouseDClick(list.view->viewport(), Qt::LeftButton, {}, list.grip(4));
    EXPECT_EQ(list.pasteboard.writes, 1);
    EXPECT_EQ(list.state->selectedIDs(), list.rows({0}));
}

// The list follows the library by rows: the selection and the scroll position stay.
TEST(LibrarySelectionList, LibraryChangesMoveRowsNotTheWholeList)
{
    List list(300);
    QAbstractItemModelTester tester(&list.state->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    SelectionListModel& model = list.state->model();
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    list.view->scrollTo(model.index(150));
    const int scrolled = list.view->verticalScrollBar()->value();
    list.click(list.view->indexAt(QPoint(10, 10)).row());
    const QSet<QUuid> selected = list.state->selectedIDs();

    const Selection newest(QUuid::createUuid(), QStringLiteral("newest"), std::nullopt, QStringLiteral("App"),
                           std::nullopt, std::nullopt, std::nullopt, std::nullopt, {},
                           QDateTime::fromSecsSinceEpoch(1'800'000'000, Qt::UTC));
    list.store->add(newest);
    ASSERT_EQ(inserted.count(), 1);
    EXPECT_EQ(inserted.first().at(1).toInt(), 0);
    list.store->remove(QSet<QUuid>{list.ids[10], list.ids[11], list.ids[200]});
    const auto group = list.store->createGroup(QStringLiteral("Reading"), QStringLiteral("#FF9500"), {list.ids[150]});
    const int rowsChangedBefore = changed.count();
    list.store->renameGroup(group->id, QStringLiteral("Later"));
    EXPECT_GT(changed.count(), rowsChangedBefore) << "rows repaint their chips";
    EXPECT_EQ(resets.count(), 0);
    EXPECT_EQ(model.rowCount(), 298);
    EXPECT_EQ(list.state->selectedIDs(), selected);
    EXPECT_NEAR(list.view->verticalScrollBar()->value(), scrolled, SelectionRowDelegate::rowHeight() + 1);

    // A new search is a new list: cheap, with the selection kept by id.
    list.state->setSearchText(QStringLiteral("capture"));
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(list.state->selectedIDs(), selected);
}

// A press on a row's grip where it is drawn selects nothing, and a move starts a drag of the
// selection or of that row alone, on a list that was laid out before at another width: showing
// one row, without a scroll bar, or in a wider column.
TEST(LibrarySelectionList, GripDragsTheSelectionOrItsRowAlone)
{
    struct Case {
        const char* name;
        std::function<void(List&)> before;
    };
    const Case cases[] = {
        {"as opened", [](List&) {}},
        {"after a search with one result",
         [](List& list) {
             list.state->setSearchText(QStringLiteral("capture 7"));
             QApplication::processEvents();
             list.state->setSearchText(QString());
         }},
        {"after a group of one",
         [](List& list) {
             const auto group = list.store->createGroup(QStringLiteral("G"), QStringLiteral("#FF9500"), {list.ids[5]});
             list.state->setSidebarSelection(SidebarItem::group(group->id));
             QApplication::processEvents();
             list.state->setSidebarSelection(SidebarItem::allSelections());
         }},
        {"after a wider column",
         [](List& list) {
             list.view->resize(560, 600);
             QApplication::processEvents();
             list.view->resize(360, 600);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        List list(40);
        c.before(list);
        QApplication::processEvents();
        ASSERT_TRUE(list.view->verticalScrollBar()->isVisible());
        list.click(0);
        list.click(1, Qt::ControlModifier);
        EXPECT_EQ(list.view->dragPayload(1), SelectionDragIDs::encode(list.rows({0, 1})));
        const QPoint grip = list.grip(3);
        QTest::mousePress(list.view->viewport(), Qt::LeftButton, {}, grip);
        QTest::mouseMove(list.view->viewport(), grip + QPoint(0, 30));
        const auto* drag = list.view->findChild<QDrag*>();
        EXPECT_EQ(drag ? drag->mimeData()->text() : QString(), SelectionDragIDs::encode(list.rows({3})))
            << "a drag of the row alone starts";
        QTest::mouseRelease(list.view->viewport(), Qt::LeftButton, {}, grip + QPoint(0, 30));
        EXPECT_EQ(list.state->selectedIDs(), list.rows({0, 1}));
    }
}

// Opens the row's menu and names its items: "-" for a divider, "(off)" after a disabled item, a
// submenu as its title followed by its items in brackets.
QStringList menuItems(QMenu& menu)
{
    QStringList names;
    for (QAction* action : menu.actions()) {
        if (action->isSeparator())
            names.append(QStringLiteral("-"));
        else if (action->menu())
            names.append(action->text() + QStringLiteral(" [") + menuItems(*action->menu()).join(QStringLiteral(", "))
                         + u']');
        else
            names.append(action->text() + (action->isEnabled() ? QString() : QStringLiteral(" (off)")));
    }
    return names;
}

QAction* menuItem(QMenu& menu, const QString& text)
{
    for (QAction* action : menu.actions()) {
        if (action->text() == text)
            return action;
        if (action->menu()) {
            if (QAction* inner = menuItem(*action->menu(), text))
                return inner;
        }
    }
    return nullptr;
}

// The menu of one row offers what fits its capture, acts on that capture alone whatever is
// selected, and opens a page or reveals a file only through the desktop's rules.
TEST(LibrarySelectionList, RowMenuPerKindOfCapture)
{
    const QString page = QStringLiteral("https://example.com/a?b=1");
    const QStringList head{QStringLiteral("Copy as Markdown"), QStringLiteral("Copy Plain Text"),
                           QStringLiteral("Add to Prompt")};
    const QString noGroups = QStringLiteral("Add to Group… [No groups yet (off), -, New Group…]");
    struct Case {
        const char* name;
        std::optional<QString> url;
        std::optional<QString> file;
        QString app;
        bool grouped; // the library has groups "R&D" and "Read\tlater", the capture is in "R&D"
        QStringList middle; // between the head and the groups
        QString groups;
        QStringList opened;
        QStringList revealed;
    };
    const Case cases[] = {
        {"web page and file",
         page,
         QStringLiteral("/home/u/a.pdf"),
         QStringLiteral("Firefox"),
         false,
         {"-", "Open in Browser", "Copy URL", "-", "Open Containing Folder", "-", "Copy All from \"" + page + "\"",
          "-"},
         noGroups,
         {page},
         {QStringLiteral("/home/u/a.pdf")}},
        {"script address",
         QStringLiteral("javascript:alert(1)"),
         std::nullopt,
         QStringLiteral("Firefox"),
         false,
         {"-", "Open in Browser (off)", "Copy URL", "-", "Copy All from \"javascript:alert(1)\"", "-"},
         noGroups,
         {},
         {}},
        {"relative file",
         std::nullopt,
         QStringLiteral("notes/a.md"),
         QStringLiteral("Editor"),
         false,
         {"-", "Open Containing Folder (off)", "-", "Copy All from \"notes/a.md\"", "-"},
         noGroups,
         {},
         {}},
        {"neither, in a group",
         std::nullopt,
         std::nullopt,
         QStringLiteral("Notes & Co"),
         true,
         {"-", "Copy All from Notes && Co", "-"},
         QStringLiteral("Add to Group… [R&&D, Read later, -, New Group…]"),
         {},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        List list(2);
        Store& store = *list.store;
        QList<QUuid> groups;
        if (c.grouped) {
            groups.append(store.addGroup(QStringLiteral("R&D"), QStringLiteral("#FF0000"))->id);
            store.addGroup(QStringLiteral("Read\tlater"), QStringLiteral("#00FF00"));
        }
        const Selection capture(QUuid::createUuid(), QStringLiteral("plain"), QStringLiteral("**rich**"), c.app,
                                std::nullopt, c.url, std::nullopt, c.file, groups, list.time.now());
        store.add(capture);
        const int row = list.state->model().rowOf(capture.id);
        list.click(row == 0 ? 1 : 0);
        const QSet<QUuid> selected = list.state->selectedIDs();
        ASSERT_FALSE(selected.contains(capture.id));
        std::unique_ptr<QMenu> menu(list.view->contextMenu(row));
        ASSERT_TRUE(menu);
        QStringList expected = head + c.middle + QStringList{c.groups};
        if (c.grouped)
            expected.append(QStringLiteral("Remove from All Groups"));
        expected += QStringList{QStringLiteral("-"), QStringLiteral("Delete")};
        EXPECT_EQ(menuItems(*menu), expected);
        if (c.grouped) {
            EXPECT_TRUE(menuItem(*menu, QStringLiteral("R&&D"))->isChecked());
        }
        for (const QString& open : {QStringLiteral("Open in Browser"), QStringLiteral("Open Containing Folder")}) {
            if (QAction* action = menuItem(*menu, open))
                action->trigger();
        }
        EXPECT_EQ(list.desktop.opened, c.opened);
        EXPECT_EQ(list.desktop.revealed, c.revealed);
        menuItem(*menu, QStringLiteral("Add to Prompt"))->trigger();
        EXPECT_EQ(store.activeDraft()->entries.size(), 1);
        EXPECT_EQ(store.activeDraft()->entries.first().selectionID, capture.id) << "the row's, not the selection's";
        EXPECT_EQ(list.state->selectedIDs(), selected);
    }
}

// A library opened read-only from its backup: what would change it is off in the row's menu too, as
// in the toolbar and the inspector; the copies stay on.
TEST(LibrarySelectionList, RowMenuOffersNoChangeToALibraryThatCannotChange)
{
    List list(0);
    list.writeAll(list.backupPath, LibrarySamples::bytes(LibrarySamples::library(2)));
    list.files.fail(FaultyFileSystem::Operation::write);
    list.store = list.open();
    ASSERT_FALSE(list.store->canModifyLibrary());
    list.state = std::make_unique<ContentViewState>(*list.store, list.time, list.time);
    list.view = std::make_unique<LibrarySelectionList>(*list.state, *list.icons, list.pasteboard, list.desktop);
    std::unique_ptr<QMenu> menu(list.view->contextMenu(0));
    ASSERT_TRUE(menu);
    const QStringList items = menuItems(*menu);
    for (const char* item : {"Copy as Markdown", "Copy Plain Text"})
        EXPECT_TRUE(items.contains(QString::fromUtf8(item))) << item;
    for (const char* item : {"Add to Prompt (off)", "Delete (off)"})
        EXPECT_TRUE(items.contains(QString::fromUtf8(item))) << item;
    const QString groups = *std::find_if(items.cbegin(), items.cend(),
                                         [](const QString& i) { return i.startsWith(u"Add to Group…"); });
    EXPECT_TRUE(groups.endsWith(QStringLiteral("New Group… (off)]"))) << qPrintable(groups);
}

TEST(LibrarySelectionList, RowMenuActions)
{
    const QString page = QStringLiteral("https://example.com/a");
    List list(0);
    Store& store = *list.store;
    const QUuid first = store.addGroup(QStringLiteral("First"), QStringLiteral("#FF0000"))->id;
    const QUuid second = store.addGroup(QStringLiteral("Second"), QStringLiteral("#00FF00"))->id;
    const Selection hidden(QUuid::createUuid(), QStringLiteral("hidden by the search"), std::nullopt,
                           QStringLiteral("Firefox"), std::nullopt, page, std::nullopt, std::nullopt, {},
                           list.time.now());
    const Selection capture(QUuid::createUuid(), QStringLiteral("plain"), QStringLiteral("**rich**"),
                            QStringLiteral("Firefox"), std::nullopt, page, std::nullopt, std::nullopt, {first, second},
                            list.time.now());
    store.add(hidden);
    store.add(capture);
    list.state->setSearchText(QStringLiteral("plain"));
    ASSERT_EQ(list.state->model().rowCount(), 1);
    const auto trigger = [&](const QString& item) {
        std::unique_ptr<QMenu> menu(list.view->contextMenu(0));
        menuItem(*menu, item)->trigger();
    };
    const auto clipboard = [&] { return Clipboard::plainText(list.pasteboard).value_or(QString()); };
    struct Case {
        const char* item;
        bool taken;
        QString clipboard; // what the clipboard holds after, or a part of it
        bool copied;
    };
    const Case cases[] = {
        {"Copy as Markdown", true, QStringLiteral("**rich**"), true},
        {"Copy Plain Text", true, QStringLiteral("plain"), true},
        {"Copy URL", true, page, false},
        {"Copy All from \"https://example.com/a\"", true, QStringLiteral("hidden by the search"), true},
        {"Copy Plain Text", false, QStringLiteral("before"), false},
        {"Copy as Markdown", false, QStringLiteral("before"), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item);
        Clipboard::writePlain(QStringLiteral("before"), list.pasteboard);
        list.pasteboard.writesSucceed = c.taken;
        trigger(QString::fromUtf8(c.item));
        list.pasteboard.writesSucceed = true;
        EXPECT_TRUE(clipboard().contains(c.clipboard));
        EXPECT_EQ(list.state->model().isCopied(capture.id), c.copied);
        list.time.advance(SelectionListModel::copiedDuration);
    }

    QVariant requested;
    QObject receiver;
    QObject::connect(&NotificationCenter::defaultCenter(), &NotificationCenter::posted, &receiver,
                     [&](const QString& name, const QVariant& object) {
                         if (name == AppNotification::vellicordRequestNewGroup)
                             requested = object;
                     });
    trigger(QStringLiteral("New Group…"));
    EXPECT_EQ(requested.value<Selection>().id, capture.id);
    trigger(QStringLiteral("Second"));
    EXPECT_EQ(store.findByID(capture.id)->groupIDs, (QList<QUuid>{first, second})) << "in it once";
    trigger(QStringLiteral("Remove from All Groups"));
    EXPECT_TRUE(store.findByID(capture.id)->groupIDs.isEmpty());
    trigger(QStringLiteral("Delete"));
    EXPECT_FALSE(store.findByID(capture.id));
    EXPECT_TRUE(store.findByID(hidden.id));
}

// A screen reader reads the rows the list shows, by their headlines, and finds among a row's actions
// its plain-text copy and its addition to the active prompt besides choosing it.
TEST(LibrarySelectionList, ScreenReaderRowActions)
{
    List list;
    QAccessibleInterface* rows = QAccessible::queryAccessibleInterface(list.view.get());
    ASSERT_TRUE(rows);
    EXPECT_EQ(rows->role(), QAccessible::List);
    ASSERT_EQ(rows->childCount(), 6);
    QAccessibleInterface* row = rows->child(2);
    EXPECT_EQ(row->text(QAccessible::Name), QStringLiteral("capture 3"));
    EXPECT_EQ(rows->indexOfChild(row), 2);
    EXPECT_EQ(row->rect().center(), list.view->viewport()->mapToGlobal(list.centre(2)));
    QAccessibleActionInterface* actions = row->actionInterface();
    ASSERT_TRUE(actions);
    EXPECT_EQ(actions->actionNames(),
              (QStringList{QAccessibleActionInterface::toggleAction(), QStringLiteral("Copy plain text"),
                           QStringLiteral("Add to active prompt")}));
    actions->doAction(QStringLiteral("Copy plain text"));
    EXPECT_EQ(list.pasteboard.dataForType(PasteboardType::string).bytes, QByteArray("capture 3\nmore"));
    EXPECT_TRUE(list.state->model().isCopied(list.ids[2]));
    actions->doAction(QStringLiteral("Add to active prompt"));
    ASSERT_TRUE(list.store->activeDraft());
    EXPECT_EQ(list.store->activeDraft()->entries.size(), 1);
    EXPECT_EQ(list.store->activeDraft()->entries.first().selectionID, list.ids[2]);
    actions->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(list.state->selectedIDs(), list.rows({2}));
    EXPECT_TRUE(row->state().selected);

    // The rows follow the list: a search leaves one, read by its own headline.
    list.state->setSearchText(QStringLiteral("capture 1"));
    ASSERT_EQ(rows->childCount(), 1);
    EXPECT_EQ(rows->child(0)->text(QAccessible::Name), QStringLiteral("capture 1"));
}

} // namespace
