#include "Tovak/library/ContentView.h"

#include "QtPrinters.h"

#include "Tovak/library/ContentViewState.h"
#include "Tovak/library/LibrarySelectionList.h"
#include "Tovak/library/LibraryToolbar.h"
#include "Tovak/library/SidebarView.h"
#include "Tovak/shell/AppActions.h"
#include "Tovak/shell/MainWindow.h"
#include "core/library/Store.h"
#include "support/ViewFakes.h"

#include <QAccessible>
#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace vellicord;

namespace {

// A focus event as a screen reader gets it: what it names, whether that holds the keyboard (a row,
// while it is its list's current row and the list holds it), and whether it is still there once
// the change that told it is over.
struct Heard {
    QString name;
    bool holdsKeyboard;
    bool stays = false;
};
QList<Heard> heard;

void recordFocus(QAccessibleEvent* event)
{
    QAccessibleInterface* named = event->accessibleInterface();
    if (event->type() != QAccessible::Focus || !named)
        return;
    QObject* holder = named->object() ? named->object() : named->parent()->object();
    const auto* view = qobject_cast<QAbstractItemView*>(holder);
    const bool current = named->object() || (view && view->currentIndex().row() == event->child());
    heard.append({named->text(QAccessible::Name), current && holder == QApplication::focusWidget()});
    QTimer::singleShot(0, qApp, [at = heard.size() - 1, id = QAccessible::uniqueId(named)] {
        heard[at].stays = QAccessible::accessibleInterface(id) && QAccessible::accessibleInterface(id)->isValid();
    });
}

} // namespace

// Only what holds the keyboard is told as focused, and only rows that stay: a screen reader goes
// where the keys go, never to a row that is gone. The window worked with the keys, this process's
// accessibility on as a screen reader turns it on.
TEST(ContentViewX11, FocusIsToldOnlyWhereTheKeyboardIs)
{
    qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(
        u"org.a11y.Bus"_qs, u"/org/a11y/bus"_qs, u"org.a11y.Bus"_qs, u"GetAddress"_qs));
    if (!qobject_cast<QApplication*>(qApp) || !QTest::qWaitFor([] { return QAccessible::isActive(); }, 5000))
        GTEST_SKIP() << "needs an X server and the accessibility bus";
    ViewFakes fakes;
    for (const char* text : {"Signal flow", "Signature", "Weather", "Rain all day"}) {
        fakes.store->add(Selection(QUuid::createUuid(), QString::fromUtf8(text), std::nullopt, u"App"_qs,
                                   std::nullopt, std::nullopt, std::nullopt, std::nullopt, {}, fakes.time.now()));
        fakes.time.advance(std::chrono::seconds(1));
    }
    const SelectionGroup reading
        = *fakes.store->createGroup(u"Reading"_qs, u"#FF9500"_qs, {fakes.store->selections().first().id});
    AppActions actions;
    MainWindow window(fakes.services(), actions);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    ContentView& content = *window.contentView();
    LibrarySelectionList& list = *content.list();
    // Each key and click followed by turns of the event loop, as a user's are.
    const auto settle = [] {
        for (int turn = 0; turn < 2; ++turn)
            QCoreApplication::processEvents();
    };
    const auto press = [&](QWidget* target, Qt::Key key) { QTest::keyClick(target, key), settle(); };
    const auto click = [&](int row) {
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualRect(list.model()->index(row, 0)).center());
        settle();
    };
    QToolButton* remove = content.toolBar()->button(LibraryToolbar::Item::remove);

    const QAccessible::UpdateHandler before = QAccessible::installUpdateHandler(recordFocus);
    const struct {
        const char* name;
        std::function<void()> act;
        QStringList heard; // in order
    } cases[] = {
        {"a row clicked, Down twice", [&] { click(0), press(&list, Qt::Key_Down), press(&list, Qt::Key_Down); },
         {u"Rain all day"_qs, u"Weather"_qs, u"Signature"_qs}},
        {"Control-F, a query typed",
         [&] { content.state().focusSearch(), QTest::keyClicks(content.searchField(), u"sig"_qs); },
         {u"Search all selections"_qs}},
        {"the query gone, a row chosen, the toolbar's Delete",
         [&] {
             content.searchField()->clear(), list.setFocus(), click(1);
             remove->setFocus(Qt::TabFocusReason), press(remove, Qt::Key_Space);
         },
         {u"Captures"_qs, u"Weather"_qs, u"Delete"_qs, u"Captures"_qs, u"Signature"_qs}},
        {"the row menu's Delete on the row the keyboard is on",
         [&] {
             std::unique_ptr<QMenu> menu(list.contextMenu(list.currentIndex().row(), &list));
             menu->actions().last()->trigger();
         },
         {u"Rain all day"_qs}},
        {"a group shown in the sidebar, deleted",
         [&] {
             content.state().setSidebarSelection(SidebarItem::group(reading.id));
             content.sidebar()->setFocus();
             content.state().requestDeleteGroup(reading), content.state().deleteGroupAndClose();
         },
         {u"Sidebar"_qs, u"All Selections"_qs}},
    };
    for (const auto& c : cases) {
        heard.clear();
        c.act();
        QTest::qWait(50);
        QStringList names;
        for (const Heard& h : heard) {
            names.append(h.name);
            EXPECT_TRUE(h.holdsKeyboard && h.stays) << c.name << ": " << qPrintable(h.name);
        }
        EXPECT_EQ(names, c.heard) << c.name << ": " << qPrintable(names.join(u", "));
    }
    QAccessible::installUpdateHandler(before);
}
