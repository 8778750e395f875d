#include "Tovak/composer/ComposeView.h"

#include "QtPrinters.h"
#include "Tovak/composer/ComposeDraftPane.h"
#include "Tovak/composer/ComposeEntryRow.h"
#include "Tovak/composer/ComposePreviewPane.h"
#include "Tovak/composer/TokenBudgetMeter.h"
#include "Tovak/kit/OffscreenRenderer.h"
#include "Tovak/kit/Theme.h"
#include "support/ViewFakes.h"

#include <QClipboard>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTest>

#include <gtest/gtest.h>

using namespace vellicord;

namespace {

// A library holding one prompt of two sources; read only when its file could not be put back
// from the backup (the one way a library that cannot be changed still holds its prompts).
struct Library : ViewFakes {
    QUuid draftID;

    explicit Library(bool writable = true, const std::function<void(ContextDraft&)>& edit = {})
    {
        ContextDraft draft = *store->newDraft(QStringLiteral("Literature review"));
        draft.task = QStringLiteral("Summarise the sources for a reader new to the field.");
        const QStringList texts{
            QStringLiteral("Attention is all you need: the dominant sequence transduction models are based on "
                           "complex recurrent or convolutional neural networks."),
            QStringLiteral("{\"model\": \"gpt-4o\", \"temperature\": 0.2}"),
        };
        for (const QString& text : texts) {
            const Selection capture(QUuid::createUuid(), text, std::nullopt, QStringLiteral("Firefox"), std::nullopt,
                                    QStringLiteral("https://arxiv.org/abs/1706.03762"),
                                    QStringLiteral("Attention Is All You Need"), std::nullopt, {}, time.now());
            store->add(capture);
            draft.entries.append({QUuid::createUuid(), capture.id, true, false, false, std::nullopt, std::nullopt});
        }
        if (edit)
            edit(draft);
        store->updateDraft(draft);
        draftID = draft.id;
        if (writable)
            return;
        store->saveNow();
        QFile::remove(backupPath);
        QFile::rename(libraryPath, backupPath);
        files.fail(FaultyFileSystem::Operation::write, libraryPath);
        store = open();
    }
};

TEST(ComposeView, ShowsOnlyPromptNotFoundForAPromptThatIsNotThereOrWentAway)
{
    Library library;
    ComposeView never(library.services(), QUuid::createUuid());
    EXPECT_FALSE(never.showsDraft());
    EXPECT_EQ(never.draftPane(), nullptr) << "no panes for a prompt that never was";
    EXPECT_EQ(never.notFoundLabel()->text(), QStringLiteral("Prompt not found"));

    ComposeView view(library.services(), library.draftID);
    ASSERT_TRUE(view.showsDraft());
    library.store->deleteDraft(library.draftID);
    QCoreApplication::processEvents();
    EXPECT_FALSE(view.showsDraft());
    view.session().copyPrompt();
    view.previewPane()->exportButton()->click();
    EXPECT_TRUE(library.saveDialog.requests.isEmpty());
    EXPECT_EQ(library.pasteboard.writes, 0);
    EXPECT_TRUE(library.store->drafts().isEmpty()) << "nothing brings a deleted prompt back";
}

TEST(ComposeView, ReadOnlyLibraryLeavesOnlyThePreviewWorking)
{
    Library library(false, [](ContextDraft& d) { d.modelProfileID = QStringLiteral("local-16k"); });
    ASSERT_FALSE(library.store->canModifyLibrary());
    ComposeView view(library.services(), library.draftID);
    view.resize(960, 600);
    view.show();
    ComposePreviewPane& preview = *view.previewPane();
    EXPECT_FALSE(view.draftPane()->isEnabled());
    EXPECT_FALSE(view.draftPane()->taskField()->isEnabled());
    EXPECT_TRUE(preview.isEnabled());
    EXPECT_TRUE(preview.editor()->isReadOnly());
    EXPECT_EQ(preview.editor()->accessibleName(), QStringLiteral("Prompt preview, read only"));
    EXPECT_FALSE(preview.controls()->isEnabled());
    EXPECT_TRUE(preview.copyButton()->isEnabled() && preview.exportButton()->isEnabled());

    QTest::keyClicks(preview.editor(), QStringLiteral("typed"));
    EXPECT_EQ(library.store->findDraft(library.draftID)->previewText, std::nullopt);
    preview.copyButton()->click();
    EXPECT_EQ(library.pasteboard.dataForType(PasteboardType::string).bytes, preview.shownText().toUtf8());
    EXPECT_EQ(preview.copyButton()->text(), QStringLiteral("Copied"));
}

TEST(ComposeView, NeitherPaneCanBeDraggedShut)
{
    Library library;
    ComposeView view(library.services(), library.draftID);
    view.resize(1000, 600);
    view.show();
    QSplitter& split = *view.splitter();
    EXPECT_FALSE(split.childrenCollapsible());
    const struct {
        const char* name;
        int position;
        int draftWidth; // at least
        int previewWidth;
    } cases[] = {
        {"dragged to the left edge", 0, ComposeView::draftPaneMinimumWidth, 0},
        {"dragged to the right edge", 1000, 0, ComposeView::previewMinimumWidth},
    };
    for (const auto& c : cases) {
        QSplitterHandle* handle = split.handle(1);
        const QPoint to = handle->mapFromParent(QPoint(c.position, 10));
        QTest::mousePress(handle, Qt::LeftButton, {}, QPoint(1, 10));
        QTest::mouseMove(handle, to);
        QTest::mouseRelease(handle, Qt::LeftButton, {}, to);
        EXPECT_GE(split.sizes()[0], c.draftWidth) << c.name;
        EXPECT_GE(split.sizes()[1], c.previewWidth) << c.name;
        EXPECT_EQ(split.sizes()[c.draftWidth ? 0 : 1], c.draftWidth ? c.draftWidth : c.previewWidth)
            << c.name << ": dragged as far as it goes";
    }
}

// A note or a paragraph too long to draw again at each blink keeps the caret lit while the caret is
// in it; anywhere else the caret blinks at the desktop's pace. A megabyte pasted into the note is
// held, stored and copied whole.
TEST(ComposeView, CaretStaysLitInANoteOrParagraphTooLongToDrawAtEachBlink)
{
    const QString dump = QStringLiteral("3f9a0c7e ").repeated(111'112);
    Library library(true, [](ContextDraft& d) { d.entries[1].note = QStringLiteral("see §2"); });
    ComposeView view(library.services(), library.draftID);
    view.show();
    QApplication::setActiveWindow(&view);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    const int pace = QApplication::cursorFlashTime() + 100; // whatever the desktop's is
    QApplication::setCursorFlashTime(pace);
    QLineEdit* note = view.draftPane()->row(library.store->findDraft(library.draftID)->entries[1].id)->noteField();
    const auto keys = [&](QWidget* field, const QString& clipboard, Qt::Key key) {
        field->setFocus();
        QGuiApplication::clipboard()->setText(clipboard);
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(field, key, Qt::ControlModifier);
    };
    QPlainTextEdit* preview = view.previewPane()->editor();
    const std::pair<const char*, std::function<void()>> steps[] = {
        {"a megabyte pasted into the note: steady", [&] { keys(note, dump, Qt::Key_V); }},
        {"the task takes the focus", [&] { view.draftPane()->taskField()->setFocus(); }},
        {"back in the note: steady", [&] { note->setFocus(); }},
        {"inside the preview's paragraph of it: steady",
         [&] {
             preview->setFocus();
             preview->setTextCursor(preview->document()->find(QStringLiteral("3f9a0c7e 3f9a0c7e")));
         }},
        {"to the preview's first paragraph", [&] { QTest::keyClick(preview, Qt::Key_Home, Qt::ControlModifier); }},
        {"the note cut to one letter", [&] { keys(note, QStringLiteral("x"), Qt::Key_V); }},
        {"a megabyte pasted again: steady", [&] { keys(note, dump, Qt::Key_V); }},
    };
    for (const auto& [name, act] : steps) {
        act();
        QCoreApplication::processEvents();
        EXPECT_EQ(QApplication::cursorFlashTime(), std::string_view(name).ends_with("steady") ? 0 : pace) << name;
    }
    keys(note, QString(), Qt::Key_C);
    EXPECT_EQ(note->text(), dump);
    EXPECT_EQ(library.store->findDraft(library.draftID)->entries[1].note, dump);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), dump);
}

// The composer wide and compact, generated and edited, over budget with its remedies; for whoever
// looks at them (VELLICORD_RENDER_DIR).
TEST(ComposeView, RendersWideAndCompactEditedOrNotInBothAppearances)
{
    const QString folder = qEnvironmentVariable("VELLICORD_RENDER_DIR");
    const struct {
        const char* name;
        QSize size;
        bool edited;
        bool overBudget; // a task too long for the smallest model
    } surfaces[] = {
        {"wide", {1000, 640}, false, false},
        {"compact", {700, 560}, false, false},
        {"edited", {1000, 640}, true, false},
        {"over-budget", {700, 560}, false, true},
    };
    for (const auto& surface : surfaces) {
        Library library(true, [&](ContextDraft& d) {
            if (surface.edited)
                d.previewText = QStringLiteral("Summarise the sources.\n\nMy own words.");
            if (surface.overBudget) {
                d.modelProfileID = QStringLiteral("local-16k");
                d.task = QString(70000, u't');
            }
        });
        ComposeView view(library.services(), library.draftID);
        if (surface.edited) {
            // The warning of a failed export, and the Copied state, drawn too.
            library.files.fail(FaultyFileSystem::Operation::write);
            library.saveDialog.choice = library.folder.filePath(QStringLiteral("prompt.md"));
            view.previewPane()->exportButton()->click();
            view.previewPane()->copyButton()->click();
        }
        QCoreApplication::processEvents();
        for (Appearance appearance : {Appearance::light, Appearance::dark}) {
            Theme::apply(view, appearance);
            const QImage image = OffscreenRenderer::render(view, surface.size, 2.0);
            EXPECT_EQ(image.size(), surface.size * 2) << surface.name;
            if (!folder.isEmpty()) {
                QDir().mkpath(folder);
                image.save(QStringLiteral("%1/composer-%2-%3.png")
                               .arg(folder, QString::fromLatin1(surface.name),
                                    appearance == Appearance::dark ? u"dark" : u"light"));
            }
        }
    }
}

} // namespace
