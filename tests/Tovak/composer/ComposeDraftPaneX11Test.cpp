#include "Tovak/composer/ComposeDraftPane.h"

#include "Tovak/composer/ComposeEntryRow.h"
#include "Tovak/composer/DraftSession.h"
#include "core/library/StorePersistence.h"
#include "support/ViewFakes.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

using namespace vellicord;

namespace {

// The pane in a window on the X server, one source dragged by its grip with the real mouse (XTest,
// through xdotool) from the top onto the third row, and the prompt read back from the library file.
TEST(ComposeDraftPaneX11, ARowDraggedByItsGripTakesTheTargetsPlaceInTheLibraryFile)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())
        || QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        GTEST_SKIP() << "needs an X server and xdotool";
    ViewFakes fakes;
    ContextDraft draft = *fakes.store->newDraft(QStringLiteral("Dragged"));
    QList<QUuid> entries;
    for (int i = 1; i <= 4; ++i) {
        const Selection s(QUuid::createUuid(), QStringLiteral("Source %1").arg(i), std::nullopt,
                          QStringLiteral("Notes"), std::nullopt, std::nullopt, std::nullopt, std::nullopt, {},
                          fakes.time.now());
        fakes.store->add(s);
        entries.append(QUuid::createUuid());
        draft.entries.append({entries.last(), s.id, true, false, false, std::nullopt, std::nullopt});
    }
    fakes.store->updateDraft(draft);
    fakes.store->saveNow();

    DraftSession session(fakes.services(), draft.id);
    ComposeDraftPane pane(fakes.services(), session);
    pane.resize(420, 480);
    pane.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane));
    QWidget* grip = pane.row(entries[0])->grip();
    const QPoint from = grip->mapToGlobal(grip->rect().center());
    ComposeEntryRow* target = pane.row(entries[2]);
    const QPoint to = target->mapToGlobal(target->rect().center());

    // Small steps, so that the pointer enters every row on its way as a hand would.
    QStringList script{QStringLiteral("mousemove"), QString::number(from.x()), QString::number(from.y()),
                       QStringLiteral("sleep"),     QStringLiteral("0.3"),     QStringLiteral("mousedown"),
                       QStringLiteral("1")};
    for (int y = from.y() + 4; y <= to.y(); y += 6)
        script << QStringLiteral("sleep") << QStringLiteral("0.04") << QStringLiteral("mousemove")
               << QString::number(from.x()) << QString::number(y);
    script << QStringLiteral("sleep") << QStringLiteral("0.3") << QStringLiteral("mouseup") << QStringLiteral("1");
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), script);
    ASSERT_TRUE(xdotool.waitForStarted(5000));
    QElapsedTimer clock;
    clock.start();
    // The drag runs an event loop of its own inside this one until the button is released.
    while ((xdotool.state() != QProcess::NotRunning || session.draggedEntryID()) && clock.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QCoreApplication::processEvents();
    EXPECT_EQ(xdotool.exitCode(), 0) << xdotool.readAllStandardError().toStdString();
    EXPECT_EQ(session.draggedEntryID(), std::nullopt) << "the drag state ends with the drag";

    ASSERT_TRUE(fakes.store->saveNow());
    const StoreSnapshot saved = StorePersistence::decode(TemporaryLibrary::readAll(fakes.libraryPath));
    ASSERT_TRUE(saved.drafts && saved.drafts->size() == 1);
    QList<QUuid> order;
    for (const ContextDraftEntry& entry : saved.drafts->first().entries)
        order.append(entry.id);
    EXPECT_EQ(order, (QList<QUuid>{entries[1], entries[2], entries[0], entries[3]}));
    // The rows on screen, top to bottom.
    QList<ComposeEntryRow*> rows = pane.findChildren<ComposeEntryRow*>();
    rows.removeIf([](ComposeEntryRow* row) { return !row->isVisible(); });
    std::sort(rows.begin(), rows.end(), [](ComposeEntryRow* a, ComposeEntryRow* b) {
        return a->mapToGlobal(QPoint()).y() < b->mapToGlobal(QPoint()).y();
    });
    QList<QUuid> shown;
    for (ComposeEntryRow* row : rows)
        shown.append(row->entryID());
    EXPECT_EQ(shown, order);
}

} // namespace
