#include "Tovak/composer/ComposeDraftPane.h"
#include "Tovak/composer/ComposeEntryRow.h"
#include "Tovak/composer/ComposeView.h"
#include "Tovak/kit/CappedLabel.h"
#include "Tovak/library/ContentView.h"
#include "Tovak/library/ContentViewState.h"
#include "Tovak/library/LibrarySelectionList.h"
#include "Tovak/library/SelectionDetailView.h"
#include "Tovak/library/SelectionListModel.h"
#include "Tovak/library/SidebarModel.h"
#include "Tovak/library/SidebarView.h"
#include "core/composition/SelectionsMarkdown.h"
#include "platform/x11/X11Pasteboard.h"
#include "support/OnWorker.h"
#include "support/OtherClipboardOwner.h"
#include "support/ViewFakes.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace vellicord;

namespace {

// A secondary click on the widget at the point, as the window system reports it.
void contextClick(QWidget* widget, QPoint at)
{
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, widget->mapToGlobal(at));
    QApplication::sendEvent(widget, &event);
}

// Every menu item that copies, chosen with the mouse in the window on the X server, puts its text
// on the clipboard, and its menu is still whole when the item's action has returned: a menu that
// goes when it closes goes only once the event loop turns, not while its item is still at work.
TEST(CopyMenusX11, EveryCopyItemFillsTheClipboardAndLeavesItsMenuWhole)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())
        || QStandardPaths::findExecutable(QStringLiteral("xclip")).isEmpty())
        GTEST_SKIP() << "needs an X server and xclip";
    X11Pasteboard clipboard;
    ViewFakes fakes;
    fakes.clipboard = &clipboard;
    Store& store = *fakes.store;
    const QString page = QStringLiteral("https://example.com/שלום?q=นม");
    const Selection a(
        QUuid::createUuid(),
        QStringLiteral("สวัสดีครับ नमस्ते दुनिया שלום 👋🏽 hello"),
        QStringLiteral("**สวัสดี** नमस्ते 👩‍💻"), QStringLiteral("Firefox"),
        std::nullopt, page, QStringLiteral("Page"), std::nullopt, {}, fakes.time.now());
    const Selection b(QUuid::createUuid(), QStringLiteral("second capture"), std::nullopt, QStringLiteral("Notes"),
                      std::nullopt, std::nullopt, std::nullopt, QStringLiteral("/tmp/notes.txt"), {}, fakes.time.now());
    store.add(a);
    store.add(b);
    const QUuid group = store.createGroup(QStringLiteral("Greetings"), QStringLiteral("#4F8EF7"), {a.id, b.id})->id;
    store.addSelectionToActiveDraft(a.id);
    const QUuid entry = store.activeDraft()->entries.first().id;

    QWidget window;
    window.resize(1200, 700);
    auto* content = new ContentView(fakes.services(), &window);
    content->resize(window.size());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ContentViewState& state = content->state();

    const auto inLibrary = [&] {
        state.setSidebarSelection(SidebarItem::allSelections());
        state.selectInList({a.id});
        QCoreApplication::processEvents();
    };
    const auto listRow = [&] {
        inLibrary();
        LibrarySelectionList* list = content->list();
        contextClick(list->viewport(), list->visualRect(list->model()->index(state.model().rowOf(a.id), 0)).center());
    };
    const auto sidebarRow = [&](const SidebarItem& item) {
        return [&, item] {
            inLibrary();
            SidebarView* sidebar = content->sidebar();
            const QModelIndex index = sidebar->model()->index(sidebar->sidebarModel().rowOf(item), 0);
            contextClick(sidebar->viewport(), sidebar->visualRect(index).center());
        };
    };
    const auto moreButton = [&] {
        inLibrary();
        QTest::mouseClick(content->inspector()->moreButton(), Qt::LeftButton);
    };
    const auto addressLabel = [&] {
        inLibrary();
        for (QLabel* shown : content->inspector()->findChildren<QLabel*>()) {
            auto* label = dynamic_cast<CappedLabel*>(shown);
            if (label && label->isVisible() && label->fullText() == page) {
                label->setSelection(0, int(label->text().size()));
                contextClick(label, label->rect().center());
                return;
            }
        }
    };
    const auto promptRow = [&] {
        state.setSidebarSelection(SidebarItem::prompt());
        QCoreApplication::processEvents();
        ComposeEntryRow* row = content->composer()->draftPane()->row(entry);
        contextClick(row, row->rect().center());
    };

    struct Case {
        const char* menu;
        std::function<void()> open;
        QString item;
        QString copied;
    };
    const QString allFromPage = SelectionsMarkdown::fromSource({a}, a.sourceIdentity()).markdown;
    const Case cases[] = {
        {"prompt's source row", promptRow, QStringLiteral("Copy as Markdown"), SelectionsMarkdown::single(a).markdown},
        {"prompt's source row", promptRow, QStringLiteral("Copy Plain"), a.text},
        {"list row", listRow, QStringLiteral("Copy as Markdown"), SelectionsMarkdown::single(a).markdown},
        {"list row", listRow, QStringLiteral("Copy Plain Text"), a.text},
        {"list row", listRow, QStringLiteral("Copy URL"), page},
        {"list row", listRow, QStringLiteral("Copy All from \"") + page + u'"', allFromPage},
        {"sidebar's group", sidebarRow(SidebarItem::group(group)), QStringLiteral("Copy as Markdown"),
         SelectionsMarkdown::document(store.selections(group)).markdown},
        {"sidebar's group", sidebarRow(SidebarItem::group(group)), QStringLiteral("Copy Plain Text"),
         SelectionsMarkdown::plainText(store.selections(group))},
        {"sidebar's source", sidebarRow(SidebarItem::source(a.sourceIdentity())), QStringLiteral("Copy as Markdown"),
         allFromPage},
        {"sidebar's source", sidebarRow(SidebarItem::source(a.sourceIdentity())), QStringLiteral("Copy Plain Text"),
         SelectionsMarkdown::plainText({a})},
        {"inspector's More", moreButton, QStringLiteral("Copy All from Source"), allFromPage},
        {"inspector's More", moreButton, QStringLiteral("Copy URL"), page},
        {"inspector's address", addressLabel, QStringLiteral("Copy"), page},
    };
    X11Pasteboard probe;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.menu) + ": " + c.item.toStdString());
        // The user copied in another application, then came back.
        test::setClipboardWithXclip(probe, QStringLiteral("UTF8_STRING"), "copied elsewhere", true);
        std::optional<bool> whole;
        QString found;
        QTimer chooser;
        chooser.setInterval(10);
        // Works from inside the event loop of a menu that runs its own, as a hand would.
        QObject::connect(&chooser, &QTimer::timeout, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu)
                return;
            chooser.stop();
            QAction* item = nullptr;
            for (QAction* action : menu->actions()) {
                found += action->text() + u'|';
                if (action->text() == c.item && action->isEnabled())
                    item = action;
            }
            if (!item) {
                menu->close();
                whole = false;
                return;
            }
            const QPoint at = menu->actionGeometry(item).center();
            QPointer<QMenu> alive(menu);
            QTest::mouseMove(menu, at);
            QTest::mouseClick(menu, Qt::LeftButton, {}, at);
            whole = !alive.isNull();
        });
        chooser.start();
        c.open();
        QElapsedTimer clock;
        clock.start();
        while (!whole && clock.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        chooser.stop();
        ASSERT_TRUE(whole.has_value()) << "no menu came up";
        EXPECT_TRUE(*whole) << "items: " << found.toStdString();
        QCoreApplication::processEvents();
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
        const PasteboardData copied = test::onWorker([&] { return probe.dataForType(PasteboardType::string); });
        EXPECT_EQ(QString::fromUtf8(copied.bytes), c.copied);
    }
}

} // namespace
