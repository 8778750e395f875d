#include "Tovak/library/LibrarySelectionList.h"

#include "Tovak/library/ContentViewState.h"
#include "Tovak/library/IconCache.h"
#include "Tovak/library/SelectionRowDelegate.h"
#include "core/library/SelectionDragIDs.h"
#include "support/ViewFakes.h"

#include <QAbstractItemModelTester>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

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
        view = std::make_unique<LibrarySelectionList>(*state, *icons, pasteboard);
        view->resize(360, 600);
        view->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    }

    QPoint centre(int row) const { return view->visualRect(view->model()->index(row, 0)).center(); }
    QPoint grip(int row) const
    {
        return view->rowDelegate().gripRect(view->visualRect(view->model()->index(row, 0))).center();
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
    list.click(1);
    EXPECT_EQ(state.selectedIDs(), list.rows({1}));
    EXPECT_EQ(state.detailSelectionID(), list.ids[1]);
    list.click(3, Qt::ControlModifier);
    EXPECT_EQ(state.selectedIDs(), list.rows({1, 3}));
    EXPECT_EQ(state.detailSelectionID(), list.ids[3]) << "the added row is inspected";
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
    EXPECT_EQ(list.pasteboard.dataForType(PasteboardType::string), QByteArray("capture 3\nmore"));
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

TEST(LibrarySelectionList, GripDragsTheSelectionOrItsRowAlone)
{
    List list;
    list.click(0);
    list.click(1, Qt::ControlModifier);
    EXPECT_EQ(list.view->dragPayload(1), SelectionDragIDs::encode(list.rows({0, 1})));
    EXPECT_EQ(list.view->dragPayload(3), SelectionDragIDs::encode(list.rows({3})));
    // Pressing a grip leaves the selection as it is.
    QTest::mousePress(list.view->viewport(), Qt::LeftButton, {}, list.grip(3));
    QTest::mouseRelease(list.view->viewport(), Qt::LeftButton, {}, list.grip(3));
    EXPECT_EQ(list.state->selectedIDs(), list.rows({0, 1}));
}

} // namespace
