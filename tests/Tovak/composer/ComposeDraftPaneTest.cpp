#include "Tovak/composer/ComposeDraftPane.h"

#include "QtPrinters.h"
#include "Tovak/composer/ComposeEntryRow.h"
#include "Tovak/composer/DraftPaneFixture.h"
#include "Tovak/composer/EntryTrimSheet.h"
#include "Tovak/kit/OffscreenRenderer.h"
#include "Tovak/kit/Theme.h"
#include "core/foundation/UuidText.h"
#include "core/library/DraftEntryEdits.h"
#include "core/library/SelectionDragIDs.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDrag>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cmath>

using namespace vellicord;
using namespace vellicord::test;
using namespace std::chrono_literals;

namespace {

TEST(ComposeDraftPane, NameAndTaskStoreEveryKeystrokeUntrimmedAndShowChangesFromElsewhere)
{
    Pane pane(sources(2));
    QSignalSpy writes(pane.store.get(), &Store::draftsChanged);
    QTest::keyClicks(pane.view->taskField(), QStringLiteral(" Plan "));
    EXPECT_EQ(writes.count(), 6) << "one store update per keystroke";
    EXPECT_EQ(pane.draft().task, QStringLiteral(" Plan "));
    pane.view->nameField()->selectAll();
    QTest::keyClick(pane.view->nameField(), Qt::Key_Backspace);
    EXPECT_EQ(pane.draft().name, QString()) << "a cleared name is stored empty";
    Pane::turn();
    EXPECT_EQ(writes.count(), 7) << "showing the stored texts writes nothing back";

    ContextDraft d = pane.draft();
    d.name = QStringLiteral("Renamed elsewhere");
    pane.store->updateDraft(d);
    Pane::turn();
    EXPECT_EQ(pane.view->nameField()->text(), d.name);
    EXPECT_EQ(writes.count(), 8);
}

// The task field grows to five lines and then scrolls, and every letter of its wrapped lines is in
// view: beside the scroll bar, the lines are wrapped within the width that the bar leaves. Each
// prompt is opened with its task, which is then edited at its end.
TEST(ComposeDraftPane, TaskFieldGrowsToFiveLinesThenScrollsWithEveryLetterInView)
{
    const QSize size(380, 520);
    const auto opened = [&](const QString& task) {
        auto pane = std::make_unique<Pane>(sources(1));
        ContextDraft d = pane->draft();
        d.task = task;
        pane->store->updateDraft(d);
        Pane::turn();
        pane->view->setAttribute(Qt::WA_DontShowOnScreen);
        pane->view->resize(size);
        pane->view->show();
        Pane::turn();
        return pane;
    };
    // A word as wide as a line of the field without the scroll bar.
    const QString fullLine = [&] {
        const auto pane = opened(QString());
        const QPlainTextEdit* task = pane->view->taskField();
        const qreal line = task->contentsRect().width() - 2 * task->document()->documentMargin();
        return QString(int(line / QFontMetricsF(task->font()).horizontalAdvance(u'm')), u'm');
    }();
    const struct {
        const char* name;
        QString text;
        int lines;
        bool scrolls;
    } cases[] = {
        {"empty", QString(), 2, false},
        {"one short line", QStringLiteral("Summarise."), 2, false},
        {"three paragraphs", QStringLiteral("One.\nTwo.\nThree."), 3, false},
        {"five full lines", QStringList(5, fullLine).join(u'\n'), 5, false},
        {"six full lines", QStringList(6, fullLine).join(u'\n'), 5, true},
        {"a long paragraph", QStringLiteral("Compare the approaches, name their trade-offs and end with open questions. ")
                                 .repeated(5),
         5, true},
        {"a long address", QStringLiteral("https://example.org/") + QString(400, u'a'), 5, true},
        {"a run with a Thai letter in each hundred", (QString(99, u'Z') + QChar(0x0e01)).repeated(60), 5, true},
    };
    for (const auto& c : cases) {
        const auto pane = opened(c.text);
        QPlainTextEdit* task = pane->view->taskField();
        for (const char* step : {"opened", "edited"}) {
            const std::string where = std::string(c.name) + ", " + step;
            const qreal margin = task->document()->documentMargin();
            const int lineSpacing = task->fontMetrics().lineSpacing();
            EXPECT_EQ((task->viewport()->height() - int(std::ceil(2 * margin))) / lineSpacing, c.lines) << where;
            EXPECT_EQ(task->verticalScrollBar()->isVisible(), c.scrolls) << where;
            // Where each line's last letter ends, from the viewport's left edge.
            for (QTextBlock block = task->document()->begin(); block.isValid(); block = block.next()) {
                task->document()->documentLayout()->blockBoundingRect(block);
                for (int i = 0; i < block.layout()->lineCount(); ++i) {
                    const QTextLine line = block.layout()->lineAt(i);
                    EXPECT_LE(margin + line.x() + line.naturalTextWidth(), task->viewport()->width())
                        << where << ", line " << i << " of block " << block.blockNumber();
                }
            }
            task->moveCursor(QTextCursor::End);
            QTest::keyClick(task, Qt::Key_Backspace);
            Pane::turn();
        }
    }
}

// Typing a task's third line moves the sources below it down as they were drawn instead of painting
// them all again (a keystroke in a prompt of hundreds of sources took several milliseconds), and
// the list on the screen is then the list as painted anew.
TEST(ComposeDraftPane, TaskGrowingALineMovesTheSourcesWithoutPaintingThemAgain)
{
    Pane pane(sources(30)); // more than the pane shows: the list scrolls before and after
    pane.view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(pane.view.get()));
    Pane::turn();
    struct RowPaints : QObject {
        int count = 0;
        bool eventFilter(QObject* object, QEvent* event) override
        {
            for (QObject* o = object; event->type() == QEvent::Paint && o; o = o->parent())
                count += qobject_cast<ComposeEntryRow*>(o) != nullptr;
            return false;
        }
    } rowPaints;
    qApp->installEventFilter(&rowPaints);
    QPlainTextEdit* task = pane.view->taskField();
    const int twoLines = task->height();
    for (int words = 0; task->height() == twoLines && words < 100; ++words) {
        QTest::keyClicks(task, QStringLiteral("word "));
        Pane::turn();
    }
    QTest::qWait(20); // the pane laid out and painted for the taller field
    qApp->removeEventFilter(&rowPaints);
    ASSERT_GT(task->height(), twoLines);
    EXPECT_EQ(rowPaints.count, 0);
    // The list as the screen shows it, and as painted anew; the same after the line is taken back.
    const auto sameAsPaintedAnew = [&] {
        const QWidget* list = pane.view->findChild<QWidget*>(QStringLiteral("Sources"));
        const QRect area(list->mapTo(pane.view.get(), QPoint()), list->size());
        const QImage shown = QGuiApplication::primaryScreen()->grabWindow(pane.view->winId()).toImage();
        return shown.copy(area).convertToFormat(QImage::Format_RGB32)
            == pane.view->grab().toImage().copy(area).convertToFormat(QImage::Format_RGB32);
    };
    EXPECT_TRUE(sameAsPaintedAnew());
    while (task->height() > twoLines) {
        QTest::keyClick(task, Qt::Key_Backspace);
        Pane::turn();
    }
    QTest::qWait(20);
    EXPECT_TRUE(sameAsPaintedAnew());
}

TEST(ComposeDraftPane, CountsSourcesAndShowsTheEmptyStateOnlyWithoutEntries)
{
    const Source page{QStringLiteral("a"), QStringLiteral("Firefox"), QStringLiteral("https://example.org/a")};
    const Source samePage{QStringLiteral("b"), QStringLiteral("Chromium"), QStringLiteral("https://example.org/a")};
    const Source notes{QStringLiteral("c"), QStringLiteral("Notes")};
    const Source gone{QStringLiteral("d"), QStringLiteral("Notes"), std::nullopt, std::nullopt, false};
    const struct {
        const char* name;
        QList<Source> sources;
        int excluded; // this one, counted from 0; -1 none
        const char* shown;
    } cases[] = {
        {"no entries", {}, -1, "0 included · 0 sources | empty"},
        {"captures gone", {gone, gone}, -1, "2 included · 0 sources |"},
        {"one page twice, one excluded", {page, samePage, notes}, 2, "2 included · 2 sources | e1 e2 e3-"},
        {"one", {notes}, -1, "1 included · 1 source | e1"},
        {"excluded with a gone one", {gone, page}, 1, "1 included · 1 source | e2-"},
    };
    for (const auto& c : cases) {
        Pane pane(c.sources, [&](ContextDraftEntry& e, int i) { e.include = i != c.excluded; });
        EXPECT_EQ(pane.shown(), QString::fromUtf8(c.shown)) << c.name;
    }
    Pane empty;
    EXPECT_EQ(empty.view->findChild<QWidget*>(QStringLiteral("EmptyState"))->findChild<QLabel*>()->text(),
              QStringLiteral("No sources yet. Select text anywhere and press Ctrl+Alt+Super+C with “Collect into "
                             "Prompt” on (system tray) to add it here — or import pasted text below."));
}

TEST(ComposeDraftPane, RowsShowTheirEntryTokensBadgesAndState)
{
    const QString longLine = QStringLiteral("word ").repeated(2000);
    const QList<Source> list{
        {QStringLiteral(" \n\t")},
        {QStringLiteral("abcd"), QStringLiteral("Notes"), std::nullopt, QStringLiteral("  ")},
        {QStringLiteral("abcde\nmore"), QStringLiteral("Firefox"), QStringLiteral("https://example.org"),
         QStringLiteral(" Example ")},
        {QStringLiteral("x")},
        {longLine},
    };
    Pane pane(list, [](ContextDraftEntry& e, int i) {
        e.include = i != 2;
        if (i == 3) {
            e.pin = e.verbatim = true;
            e.customText = QStringLiteral("12345678");
            e.note = QString();
        }
    });
    const struct {
        int row;
        const char* title;
        const char* tokens;
        const char* source;
        const char* badges;
        qreal opacity;
    } cases[] = {
        {1, "—", "0 tokens", "Firefox", "", 1.0},
        {2, "abcd", "1 tokens", "Notes", "", 1.0},
        {3, "abcde", "3 tokens", "Example — https://example.org", "", 0.62},
        {4, "x", "2 tokens", "Firefox", "Pinned Verbatim Trimmed Noted", 1.0},
    };
    for (const auto& c : cases) {
        const ComposeEntryRow& row = pane.row(c.row);
        EXPECT_EQ(row.title(), QString::fromUtf8(c.title)) << c.row;
        EXPECT_EQ(row.tokenText(), QString::fromUtf8(c.tokens)) << c.row;
        EXPECT_EQ(row.sourceText(), QString::fromUtf8(c.source)) << c.row;
        EXPECT_EQ(row.badges().join(u' '), QString::fromUtf8(c.badges)) << c.row;
        EXPECT_EQ(row.opacity(), c.opacity) << c.row;
    }
    EXPECT_EQ(pane.row(1).includeBox()->accessibleName(), QStringLiteral("Include "));
    EXPECT_EQ(pane.row(3).includeBox()->toolTip(), QStringLiteral("Include in prompt"));
    EXPECT_EQ(pane.row(2).optionsButton()->accessibleName(), QStringLiteral("Options for abcd"));
    EXPECT_EQ(pane.row(5).title().size(), ComposeEntryRow::headlineLimit) << "only a prefix is laid out";
    EXPECT_EQ(pane.row(5).tokenText(), QStringLiteral("2,500 tokens"));
    EXPECT_TRUE(pane.row(4).showsNote()) << "an entry with a note, even an empty one, opens its field";
}

TEST(ComposeDraftPane, IncludeBoxCallsTheStoreOncePerClickAndShowsTheStoredState)
{
    Pane pane(sources(3));
    pane.view->show();
    QSignalSpy writes(pane.store.get(), &Store::draftsChanged);
    pane.row(2).includeBox()->click();
    EXPECT_EQ(writes.count(), 1);
    EXPECT_FALSE(pane.draft().entries[1].include);
    EXPECT_FALSE(pane.row(2).includeBox()->isChecked());
    Pane::turn();
    EXPECT_EQ(pane.shown(), QStringLiteral("2 included · 1 source | e1 e2- e3"));
    EXPECT_EQ(pane.row(2).opacity(), 0.62);

    // Changed elsewhere and not shown yet: the click flips what is stored, and the box shows it.
    pane.store->updateDraft(DraftEntryEdits::toggleInclude(pane.draft(), pane.entries[2]));
    pane.row(3).includeBox()->click();
    EXPECT_EQ(writes.count(), 3);
    EXPECT_TRUE(pane.draft().entries[2].include);
    EXPECT_TRUE(pane.row(3).includeBox()->isChecked());
    pane.row(2).includeBox()->click();
    Pane::turn();
    EXPECT_EQ(pane.shown(), QStringLiteral("3 included · 1 source | e1 e2 e3"));
}

TEST(ComposeDraftPane, MenusFollowTheEntryAndItsPlaceAmongAllEntries)
{
    QList<Source> list = sources(4);
    list[3].captured = false;
    Pane pane(list, [](ContextDraftEntry& e, int i) {
        e.pin = i == 1;
        e.note = i == 1 ? std::optional<QString>(QStringLiteral("n")) : std::nullopt;
        e.customText = i == 2 ? std::optional<QString>(QStringLiteral("trimmed")) : std::nullopt;
    });
    pane.view->show();
    const struct {
        int row;
        const char* options;
    } cases[] = {
        {1, "Pin|Use verbatim text|Trim or edit…|Add Note|-|Move Up!|Move Down|-|Remove from Prompt"},
        {2,
         "Unpin|Use verbatim text|Trim or edit…|Hide Note Field|Clear Note|-|Move Up|Move Down|-|Remove from Prompt"},
        {3, "Pin|Use verbatim text|Trim or edit…|Add Note|-|Move Up|Move Down|-|Remove from Prompt"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(menuText(pane.row(c.row).makeOptionsMenu()), QString::fromUtf8(c.options)) << c.row;
    EXPECT_EQ(menuText(pane.row(3).makeContextMenu()),
              QStringLiteral("Copy as Markdown|Copy Plain|-|Pin|Use verbatim text|Trim or Edit…|Remove from Prompt"));

    trigger(pane.row(3).makeContextMenu(), QStringLiteral("Copy as Markdown"));
    EXPECT_EQ(pane.pasteboard.dataForType(PasteboardType::string).bytes, QByteArray("Source 3 headline\nand its body"))
        << "the capture as captured, not the prompt's trimmed text";
    trigger(pane.row(3).makeOptionsMenu(), QStringLiteral("Trim or edit…"));
    ASSERT_TRUE(pane.view->trimSheet());
    EXPECT_EQ(pane.view->trimSheet()->text(), QStringLiteral("trimmed")) << "the source's text as it enters the prompt";
    trigger(pane.row(1).makeOptionsMenu(), QStringLiteral("Move Down"));
    EXPECT_EQ(pane.order(), QStringLiteral("e2 e1 e3 e4"));
    Pane::turn();
    EXPECT_EQ(pane.shown(), QStringLiteral("4 included · 1 source | e2 e1 e3"));
    EXPECT_EQ(menuText(pane.row(3).makeOptionsMenu()).contains(QStringLiteral("Move Down!")), false)
        << "a later entry without a row still counts";

    Pane single(sources(1));
    EXPECT_TRUE(menuText(single.row(1).makeOptionsMenu()).contains(QStringLiteral("Move Up!|Move Down!")));
}

TEST(ComposeDraftPane, NoteFieldStoresAsTypedABlankNoteAsNoneAndHidesOnlyItself)
{
    Pane pane(sources(2));
    pane.view->show();
    ComposeEntryRow& row = pane.row(1);
    EXPECT_FALSE(row.showsNote());
    trigger(row.makeOptionsMenu(), QStringLiteral("Add Note"));
    ASSERT_TRUE(row.noteField() && row.noteField()->isVisible());
    const QString typed = QStringLiteral("  see §2 ");
    for (const QChar c : typed) {
        QTest::keyClicks(row.noteField(), QString(c));
        Pane::turn();
    }
    EXPECT_EQ(row.noteField()->text(), typed);
    EXPECT_EQ(pane.draft().entries[0].note, typed) << "kept as typed, spaces and all";
    EXPECT_EQ(row.badges(), QStringList{QStringLiteral("Noted")});
    trigger(row.makeOptionsMenu(), QStringLiteral("Clear Note"));
    Pane::turn();
    EXPECT_EQ(pane.draft().entries[0].note, std::nullopt);
    EXPECT_TRUE(row.badges().isEmpty());
    EXPECT_TRUE(row.noteField()->isVisible() && row.noteField()->text().isEmpty()) << "the field stays open, empty";
    QTest::keyClicks(row.noteField(), QStringLiteral(" "));
    Pane::turn();
    EXPECT_EQ(row.noteField()->text(), QStringLiteral(" ")) << "a blank note is none, and the typing stays";
    trigger(row.makeOptionsMenu(), QStringLiteral("Hide Note Field"));
    EXPECT_FALSE(row.noteField()->isVisible());
}

TEST(ComposeDraftPane, CapturesCollectedWhileOpenAppearAsRowsAndRowsAreMovedNotMadeAgain)
{
    Pane pane(sources(3));
    pane.view->show();
    const QList<ComposeEntryRow*> before{&pane.row(1), &pane.row(2), &pane.row(3)};
    const Selection collected(QUuid::createUuid(), QStringLiteral("Collected while open"), std::nullopt,
                              QStringLiteral("Mail"), std::nullopt, std::nullopt, std::nullopt, std::nullopt, {},
                              pane.time.now());
    pane.store->add(collected);
    pane.store->activateDraft(pane.draftID);
    ASSERT_TRUE(pane.store->addSelectionToActiveDraft(collected.id));
    Pane::turn();
    EXPECT_EQ(pane.shown(), QStringLiteral("4 included · 2 sources | e1 e2 e3 new"));
    const QUuid added = pane.draft().entries.last().id;
    EXPECT_EQ(pane.view->row(added)->title(), QStringLiteral("Collected while open"));
    EXPECT_EQ((QList<ComposeEntryRow*>{&pane.row(1), &pane.row(2), &pane.row(3)}), before);

    pane.session->moveEntry(pane.entries[0], pane.entries[2]);
    pane.session->remove(pane.entries[1]);
    const QPointer<ComposeEntryRow> removed = before[1];
    Pane::turn();
    EXPECT_EQ(pane.shown(), QStringLiteral("3 included · 2 sources | e3 e1 new"));
    EXPECT_EQ(&pane.row(3), before[2]);
    EXPECT_EQ(&pane.row(1), before[0]);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(removed.isNull());
}

// Sources leaving the prompt, a few or very many at once (as Remove Excluded Sources takes them),
// one of them holding the keyboard focus: the list shows the rest at once, the focus leaves the
// row that went, and every row that went is deleted once the event loop has turned a while.
TEST(ComposeDraftPane, SourcesLeavingFewOrManyAtOnceLeaveTheListAtOnceAndAreDeleted)
{
    for (const int count : {12, 400}) {
        SCOPED_TRACE(count);
        // Every fourth stays; e2 goes.
        Pane pane(sources(count), [](ContextDraftEntry& entry, int i) { entry.include = i % 4 == 0; });
        pane.view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(pane.view.get()));
        const QPointer<ComposeEntryRow> second = &pane.row(2);
        second->includeBox()->setFocus();
        QStringList kept;
        for (int i = 1; i <= count; i += 4)
            kept.append(QStringLiteral("e%1").arg(i));
        pane.session->removeExcludedSources();
        Pane::turn();
        EXPECT_EQ(pane.shown(), QStringLiteral("%1 included · 1 source | ").arg(kept.size()) + kept.join(u' '));
        EXPECT_TRUE(second.isNull() || !second->isAncestorOf(QApplication::focusWidget()));
        EXPECT_TRUE(QTest::qWaitFor([&] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return pane.view->findChildren<ComposeEntryRow*>().size() == kept.size();
        }));
    }
}

// Copy Plain from e2's own menu, and while the clipboard is written (which turns the event loop)
// e2 leaves the prompt: its row goes out of sight at once and is deleted once the action is over.
TEST(ComposeDraftPane, RowLeavingWhileItsMenuActionTurnsTheEventLoopOutlivesTheAction)
{
    Pane pane(sources(3));
    pane.view->show();
    const QPointer<ComposeEntryRow> second = &pane.row(2);
    pane.pasteboard.duringWrite = [&] {
        pane.session->remove(pane.entries[1]);
        Pane::turn();
        EXPECT_EQ(pane.shown(), QStringLiteral("2 included · 1 source | e1 e3"));
        EXPECT_FALSE(second.isNull());
    };
    trigger(pane.row(2).makeContextMenu(), QStringLiteral("Copy Plain"));
    EXPECT_EQ(pane.pasteboard.writes, 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(second.isNull());
}

// A drag of e1 from its grip, stepped through by hand: it enters e2, then e3 over its note, and is
// dropped on the note, which keeps its text.
TEST(ComposeDraftPane, DragMovesTheEntryOnEnteringEachRowAndEndsWithTheDrag)
{
    Pane pane(sources(4), [](ContextDraftEntry& entry, int i) {
        if (i == 2)
            entry.note = QStringLiteral("Cite it");
    });
    pane.view->show();
    const auto at = [&](int row) -> QWidget* {
        return row == 3 ? static_cast<QWidget*>(pane.row(3).noteField()) : &pane.row(row);
    };
    const auto enter = [&](int row, QMimeData* data) {
        QDragEnterEvent event(QPoint(5, 5), Qt::MoveAction | Qt::CopyAction, data, Qt::LeftButton, {});
        QCoreApplication::sendEvent(at(row), &event);
        return event.isAccepted() && event.dropAction() == Qt::MoveAction;
    };
    QStringList steps;
    QPointer<ComposeEntryRow> dragged = &pane.row(1);
    pane.view->setDragRunner([&](QDrag& drag) {
        EXPECT_EQ(drag.mimeData()->text(), UuidText::format(pane.entries[0]));
        for (int row : {1, 2, 3}) {
            const bool accepted = enter(row, drag.mimeData());
            steps.append(QStringLiteral("%1:%2 ").arg(row).arg(accepted) + pane.order());
            Pane::turnInsideDrag();
        }
        QDropEvent drop(QPointF(5, 5), Qt::MoveAction, drag.mimeData(), Qt::LeftButton, {});
        QCoreApplication::sendEvent(at(3), &drop);
        EXPECT_TRUE(drop.isAccepted());
        EXPECT_EQ(pane.row(3).noteField()->text(), QStringLiteral("Cite it"));
        // Its entry goes while it is dragged: the row stays until the drag ends.
        pane.session->remove(pane.entries[0]);
        Pane::turnInsideDrag();
        EXPECT_FALSE(dragged.isNull());
        return Qt::MoveAction;
    });
    QTest::mousePress(pane.row(1).grip(), Qt::LeftButton, {}, QPoint(9, 11));
    QTest::mouseMove(pane.row(1).grip(), QPoint(9, 40));
    QTest::mouseRelease(pane.row(1).grip(), Qt::LeftButton, {}, QPoint(9, 40));
    Pane::turn();
    EXPECT_EQ(steps,
              (QStringList{QStringLiteral("1:1 e1 e2 e3 e4"), QStringLiteral("2:1 e2 e1 e3 e4"),
                           QStringLiteral("3:1 e2 e3 e1 e4")}))
        << "its own row moves nothing; each row entered moves it there";
    EXPECT_EQ(pane.session->draggedEntryID(), std::nullopt) << "cleared when the drag ends";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(dragged.isNull());
    EXPECT_EQ(pane.shown(), QStringLiteral("3 included · 1 source | e2 e3 e4"));

    // After the drag, nothing that enters a row moves anything: not a text of the same id, not
    // captures from the library, not text from elsewhere.
    const auto text = [](const QString& value) {
        auto* data = new QMimeData;
        data->setText(value);
        return data;
    };
    const struct {
        const char* name;
        QMimeData* data;
    } foreign[] = {
        {"the id dragged last", text(UuidText::format(pane.entries[1]))},
        {"captures", text(SelectionDragIDs::encode({pane.draft().entries[0].selectionID}))},
        {"plain text", text(QStringLiteral("hello"))},
        {"no text", new QMimeData},
    };
    for (const auto& c : foreign) {
        EXPECT_FALSE(enter(4, c.data)) << c.name;
        EXPECT_EQ(pane.order(), QStringLiteral("e2 e3 e4")) << c.name;
        delete c.data;
    }
    // While a drag runs, another entry's id is not that drag.
    pane.view->setDragRunner([&](QDrag&) {
        std::unique_ptr<QMimeData> other(text(UuidText::format(pane.entries[3])));
        EXPECT_FALSE(enter(2, other.get()));
        return Qt::IgnoreAction;
    });
    QTest::mousePress(pane.row(3).grip(), Qt::LeftButton, {}, QPoint(9, 11));
    QTest::mouseMove(pane.row(3).grip(), QPoint(9, 40));
    QTest::mouseRelease(pane.row(3).grip(), Qt::LeftButton, {}, QPoint(9, 40));
    Pane::turn();
    EXPECT_EQ(pane.order(), QStringLiteral("e2 e3 e4"));
}

// The pane at the widths it is used at, with badges, an excluded source, a note, a task longer than
// its field, and empty; for whoever looks at them (VELLICORD_RENDER_DIR).
TEST(ComposeDraftPane, RendersWideNarrowEmptyAndWithBadges)
{
    const QString folder = qEnvironmentVariable("VELLICORD_RENDER_DIR");
    const QList<Source> library{
        {QStringLiteral("Attention is all you need: the dominant sequence transduction models are based on complex "
                        "recurrent or convolutional neural networks"),
         QStringLiteral("Firefox"), QStringLiteral("https://arxiv.org/abs/1706.03762"),
         QStringLiteral("Attention Is All You Need")},
        {QStringLiteral("{\"model\": \"gpt-4o\", \"temperature\": 0.2}"), QStringLiteral("Text Editor")},
        {QStringLiteral("   \n  "), QStringLiteral("Terminal")},
        {QStringLiteral("We evaluate on WMT 2014 English-to-German"), QStringLiteral("Firefox"),
         QStringLiteral("https://arxiv.org/abs/1706.03762"), QStringLiteral("Attention Is All You Need")},
    };
    const auto badges = [](ContextDraftEntry& e, int i) {
        e.pin = i == 0;
        e.verbatim = i == 0 || i == 1;
        e.customText = i == 0 ? std::optional<QString>(QStringLiteral("trimmed")) : std::nullopt;
        e.note = i <= 1 ? std::optional<QString>(QStringLiteral("Cite the abstract")) : std::nullopt;
        e.include = i != 2;
    };
    struct Surface {
        const char* name;
        QList<Source> sources;
        std::function<void(ContextDraftEntry&, int)> edit;
        QSize size;
        std::optional<QString> notice;
        QString task = QStringLiteral("Summarise the sources for a reader new to the field.\nKeep it short.");
    };
    const Surface surfaces[] = {
        {"wide", library, {}, {560, 520}},
        {"narrow", library, {}, {300, 520}, QStringLiteral("Applied template “Literature review of recent work”.")},
        {"badges", library, badges, {420, 560}},
        {"empty", {}, {}, {380, 440}},
        {"long-task", library, {}, {380, 520}, std::nullopt,
         QStringLiteral("Summarise the sources for a reader who is new to the field. Compare the approaches, name "
                        "their trade-offs and cite every source by its name. Say where the sources disagree, and why, "
                        "and which of them a newcomer should read first. End with open questions, and keep it short.")},
    };
    for (const Surface& surface : surfaces) {
        Pane pane(surface.sources, surface.edit);
        pane.store->updateDraft([&] {
            ContextDraft d = pane.draft();
            d.task = surface.task;
            return d;
        }());
        pane.session->setNotice(surface.notice);
        Pane::turn();
        for (Appearance appearance : {Appearance::light, Appearance::dark}) {
            Theme::apply(*pane.view, appearance);
            const QImage image = OffscreenRenderer::render(*pane.view, surface.size, 2.0);
            EXPECT_EQ(image.size(), surface.size * 2) << surface.name;
            if (!folder.isEmpty()) {
                QDir().mkpath(folder);
                image.save(QStringLiteral("%1/draft-pane-%2-%3.png")
                               .arg(folder, QString::fromLatin1(surface.name),
                                    appearance == Appearance::dark ? u"dark" : u"light"));
            }
        }
    }
}

} // namespace
