#include "Tovak/composer/ComposeDraftPane.h"

#include "QtPrinters.h"
#include "Tovak/composer/ComposeEntryRow.h"
#include "Tovak/composer/ComposePreviewPane.h"
#include "Tovak/composer/ComposeView.h"
#include "Tovak/composer/DraftSession.h"
#include "Tovak/composer/PromptFixture.h"
#include "core/library/StorePersistence.h"
#include "support/ViewFakes.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

using namespace vellicord;

namespace {

// Presses the real mouse's button (XTest, through xdotool) at `from`, moves it through each point
// in turn and lets go at the last. Small steps (at most 40 a stretch), so that the pointer enters
// every widget on its way as a hand would; the drag runs an event loop of its own inside this one
// until the button is up.
void dragAlong(const QPoint& from, const QList<QPoint>& through, const DraftSession& session)
{
    QStringList script{QStringLiteral("mousemove"), QString::number(from.x()), QString::number(from.y()),
                       QStringLiteral("sleep"),     QStringLiteral("0.3"),     QStringLiteral("mousedown"),
                       QStringLiteral("1")};
    QPoint at = from;
    for (const QPoint& to : through) {
        const int steps = std::clamp((to - at).manhattanLength() / 6, 1, 40);
        for (int step = 1; step <= steps; ++step) {
            const QPoint next = at + (to - at) * step / steps;
            script << QStringLiteral("sleep") << QStringLiteral("0.04") << QStringLiteral("mousemove")
                   << QString::number(next.x()) << QString::number(next.y());
        }
        at = to;
    }
    script << QStringLiteral("sleep") << QStringLiteral("0.3") << QStringLiteral("mouseup") << QStringLiteral("1");
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), script);
    ASSERT_TRUE(xdotool.waitForStarted(5000));
    QElapsedTimer clock;
    clock.start();
    while ((xdotool.state() != QProcess::NotRunning || session.draggedEntryID()) && clock.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QCoreApplication::processEvents();
    EXPECT_EQ(xdotool.exitCode(), 0) << xdotool.readAllStandardError().toStdString();
    EXPECT_EQ(session.draggedEntryID(), std::nullopt) << "the drag state ends with the drag";
}

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

    dragAlong(from, {to}, session);

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

// A source's grip dragged with the real mouse across the task and the preview, and let go over
// either, writes its id into neither.
TEST(ComposeDraftPaneX11, AGripLetGoOverTheTaskOrThePreviewWritesNoText)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())
        || QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        GTEST_SKIP() << "needs an X server and xdotool";
    ViewFakes fakes;
    const ContextDraft draft = test::storePrompt(fakes, {QStringLiteral("First"), QStringLiteral("दूसरा, שני")});
    ComposeView view(fakes.services(), draft.id);
    view.resize(1000, 640);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    const auto centre = [](QWidget* widget) { return widget->mapToGlobal(widget->rect().center()); };
    const QPoint task = centre(view.draftPane()->taskField()), preview = centre(view.previewPane()->editor());
    for (const QList<QPoint>& through : {QList<QPoint>{preview, task}, QList<QPoint>{task, preview}}) {
        dragAlong(centre(view.draftPane()->row(draft.entries[0].id)->grip()), through, view.session());
        EXPECT_EQ(fakes.store->findDraft(draft.id)->task, draft.task);
        EXPECT_EQ(fakes.store->findDraft(draft.id)->previewText, std::nullopt) << "the preview is not edited";
    }
}

} // namespace
