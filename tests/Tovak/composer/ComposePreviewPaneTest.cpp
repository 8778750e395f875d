#include "Tovak/composer/ComposePreviewPane.h"

#include "QtPrinters.h"
#include "Tovak/composer/ComposeView.h"
#include "Tovak/composer/TokenBudgetMeter.h"
#include "Tovak/kit/Theme.h"
#include "core/composition/ContextComposer.h"
#include "core/library/FileLogger.h"
#include "support/ManualSerialQueue.h"
#include "support/ViewFakes.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace vellicord;
using namespace std::chrono_literals;

namespace {

// A prompt of one entry per text, over a real Store, in a composer 960 wide.
struct Composer : ViewFakes {
    QUuid draftID;
    std::unique_ptr<ComposeView> view;

    explicit Composer(const QStringList& texts = {QStringLiteral("First source"), QStringLiteral("Second source")},
                      const std::function<void(ContextDraft&)>& edit = {})
    {
        ContextDraft draft = *store->newDraft(QStringLiteral("Reading list"));
        draft.task = QStringLiteral("Summarise.");
        for (const QString& text : texts) {
            const Selection capture(QUuid::createUuid(), text, std::nullopt, QStringLiteral("Notes"), std::nullopt,
                                    std::nullopt, std::nullopt, std::nullopt, {}, time.now());
            store->add(capture);
            draft.entries.append({QUuid::createUuid(), capture.id, true, false, false, std::nullopt, std::nullopt});
        }
        if (edit)
            edit(draft);
        store->updateDraft(draft);
        draftID = draft.id;
        view = std::make_unique<ComposeView>(services(), draftID);
        view->resize(960, 640);
    }

    ComposePreviewPane& pane() const { return *view->previewPane(); }
    ContextDraft draft() const { return *store->findDraft(draftID); }
    void update(const std::function<void(ContextDraft&)>& edit)
    {
        ContextDraft d = draft();
        edit(d);
        store->updateDraft(d);
        turn();
    }
    // What the draft composes to without its edits, with or without the preamble.
    QString generated(bool preamble = true) const
    {
        ContextDraft d = draft();
        d.previewText.reset();
        return ContextComposer::compose(d, store->selections().toList(),
                                        preamble ? std::optional(ContextComposer::defaultPreamble()) : std::nullopt,
                                        d.modelProfile(), std::nullopt, true)
            .text;
    }
    static void turn() { QCoreApplication::processEvents(); }
};

void choose(QComboBox* picker, const QString& text)
{
    const int index = picker->findText(text);
    ASSERT_GE(index, 0) << text.toStdString();
    picker->setCurrentIndex(index);
    Q_EMIT picker->activated(index);
}

// A task of x's that brings the generated prompt to exactly `characters` characters.
void composeToLength(Composer& c, qsizetype characters)
{
    c.update([](ContextDraft& d) { d.task = QStringLiteral("x"); });
    const qsizetype base = c.generated().size();
    c.update([&](ContextDraft& d) { d.task = QString(1 + characters - base, u'x'); });
}

TEST(ComposePreviewPane, OpeningAPromptNeverMarksItsPreviewEdited)
{
    const struct {
        const char* name;
        QString text;
    } cases[] = {
        {"line feeds after carriage returns", QStringLiteral("one\r\ntwo\rthree")},
        {"no-break spaces", QStringLiteral("10\u00a0km and 5\u202fkg")},
        {"paragraph and line separators", QStringLiteral("one\u2029two\u2028three")},
        {"decomposed accents", QStringLiteral("Cafe\u0301 and re\u0301sume\u0301")},
        {"a lone surrogate", QStringLiteral("broken ") + QChar(0xD800) + QStringLiteral(" pair")},
        {"tabs and trailing blanks", QStringLiteral("\tcode\t \n  ")},
    };
    for (const auto& c : cases) {
        Composer composer({c.text});
        QSignalSpy writes(composer.store.get(), &Store::draftsChanged);
        composer.view->show();
        Composer::turn();
        composer.view->resize(700, 500);
        composer.update([](ContextDraft& d) { d.task = QStringLiteral("Changed elsewhere."); });
        composer.view->repaint();
        EXPECT_EQ(composer.draft().previewText, std::nullopt) << c.name;
        EXPECT_EQ(writes.count(), 1) << c.name << ": only the change made elsewhere";
        EXPECT_EQ(composer.pane().caption()->text(), ComposePreviewPane::generatedCaption) << c.name;

        composer.pane().editor()->moveCursor(QTextCursor::End);
        QTest::keyClicks(composer.pane().editor(), QStringLiteral("!"));
        EXPECT_EQ(composer.draft().previewText, composer.pane().shownText()) << c.name;
        EXPECT_TRUE(composer.draft().previewText->endsWith(u'!')) << c.name;
    }
}

TEST(ComposePreviewPane, LayoutsModelsAndUnknownNamesShowWhatTheyCompose)
{
    const struct {
        const char* name;
        const char* storedTemplate;
        const char* storedModel;
        const char* chosenLayout; // chosen in the picker, when any
        int templateIndex;
        int modelIndex;
        const char* count;
    } cases[] = {
        {"sections", "Sections", "gpt-4o", nullptr, 0, 0, "/ 128,000 tokens"},
        {"xml chosen", "Sections", "claude", "XML-tagged", 1, 1, "/ 200,000 tokens"},
        {"plain chosen", "XML-tagged", "local-16k", "Plain", 2, 4, "/ 16,384 tokens"},
        {"unknown names", "Fancy", "gpt-5", nullptr, -1, -1, "/ 128,000 tokens"},
    };
    for (const auto& c : cases) {
        Composer composer({QStringLiteral("{\"a\": 1}"), QStringLiteral("Plain <prose> & more")}, [&](ContextDraft& d) {
            d.templateName = QString::fromUtf8(c.storedTemplate);
            d.modelProfileID = QString::fromUtf8(c.storedModel);
        });
        ComposePreviewPane& pane = composer.pane();
        if (c.chosenLayout) {
            choose(pane.templatePicker(), QString::fromUtf8(c.chosenLayout));
            EXPECT_EQ(composer.draft().templateName, QString::fromUtf8(c.chosenLayout)) << c.name;
            Composer::turn();
        }
        EXPECT_EQ(pane.templatePicker()->currentIndex(), c.templateIndex) << c.name;
        EXPECT_EQ(pane.modelPicker()->currentIndex(), c.modelIndex) << c.name;
        EXPECT_EQ(pane.shownText(), composer.generated()) << c.name;
        EXPECT_TRUE(pane.meter()->countText().endsWith(QString::fromUtf8(c.count))) << c.name;
    }
    Composer composer;
    choose(composer.pane().modelPicker(), QStringLiteral("Gemini (1M)"));
    EXPECT_EQ(composer.draft().modelProfileID, QStringLiteral("gemini"));
}

TEST(ComposePreviewPane, PreambleSwitchInEitherFormChangesOnlyTheGeneratedText)
{
    Composer composer;
    ComposePreviewPane& pane = composer.pane();
    QSignalSpy writes(composer.store.get(), &Store::draftsChanged);
    for (const int width : {960, 700}) {
        composer.view->resize(width, 600);
        composer.view->show();
        Composer::turn();
        EXPECT_EQ(pane.showsWideControls(), width == 960) << width;
        pane.preambleToggle()->click();
        EXPECT_FALSE(pane.usePreamble()) << width;
        EXPECT_EQ(pane.shownText(), composer.generated(false)) << width;
        EXPECT_FALSE(pane.shownText().contains(ContextComposer::defaultPreamble())) << width;
        pane.preambleToggle()->click();
        EXPECT_EQ(pane.shownText(), composer.generated(true)) << width;
    }
    EXPECT_EQ(writes.count(), 0) << "the switch belongs to the composer, not the draft";
}

TEST(ComposePreviewPane, FirstKeystrokeEditsThePreviewAndOnlyResetReturnsToGenerated)
{
    Composer composer;
    ComposePreviewPane& pane = composer.pane();
    composer.view->show();
    const auto expectEdited = [&](const char* step, bool edited) {
        Composer::turn();
        EXPECT_EQ(composer.draft().previewText.has_value(), edited) << step;
        EXPECT_EQ(pane.caption()->text(),
                  edited ? ComposePreviewPane::editedCaption : ComposePreviewPane::generatedCaption)
            << step;
        EXPECT_EQ(pane.resetButton()->isVisible(), edited) << step;
        EXPECT_EQ(pane.templateField()->isEnabled(), !edited) << step;
        EXPECT_EQ(pane.preambleToggle()->isEnabled(), !edited) << step;
        EXPECT_TRUE(pane.modelPicker()->isEnabled()) << step;
    };
    expectEdited("opened", false);
    QTest::keyClick(pane.editor(), Qt::Key_A);
    QTest::keyClick(pane.editor(), Qt::Key_Backspace);
    expectEdited("typed and deleted again", true);
    EXPECT_EQ(composer.draft().previewText, composer.generated());

    composer.update([](ContextDraft& d) { d.task = QStringLiteral("A new task"); });
    EXPECT_FALSE(pane.shownText().contains(QStringLiteral("A new task"))) << "edited text no longer follows";
    composer.time.advance(1s);
    choose(pane.modelPicker(), QStringLiteral("Claude (200k)"));
    EXPECT_EQ(composer.draft().modelProfileID, QStringLiteral("claude"));
    EXPECT_EQ(composer.draft().updatedAt, composer.time.now());
    EXPECT_TRUE(composer.draft().previewText.has_value()) << "a model change keeps the edits";

    pane.editor()->selectAll();
    QTest::keyClick(pane.editor(), Qt::Key_Delete);
    expectEdited("emptied", true);
    EXPECT_EQ(composer.draft().previewText, QString());
    EXPECT_EQ(pane.composed().tokens, 0);

    for (const bool confirmed : {false, true}) {
        pane.resetButton()->click();
        QMessageBox* box = pane.resetConfirmation();
        ASSERT_TRUE(box);
        EXPECT_EQ(box->text(), QStringLiteral("Replace your preview edits with generated text?"));
        for (QAbstractButton* button : box->buttons()) {
            if (box->buttonRole(button) == (confirmed ? QMessageBox::DestructiveRole : QMessageBox::RejectRole))
                button->click();
        }
        expectEdited(confirmed ? "reset" : "cancelled", !confirmed);
    }
    EXPECT_EQ(pane.shownText(), composer.generated());
    EXPECT_TRUE(pane.shownText().contains(QStringLiteral("A new task")));
}

TEST(ComposePreviewPane, MeterFitsAtTheBudgetAndIsOverOneTokenAbove)
{
    const struct {
        const char* name;
        qsizetype characters; // of the prompt, at 4 characters a token against 16,384
        bool edited;
        bool writable;
        const char* count;
        bool over;
        bool remedies;
        bool canReduce;
    } cases[] = {
        {"at the budget", 65536, false, true, "16,384 / 16,384 tokens", false, false, true},
        {"one over", 65537, false, true, "16,385 / 16,384 tokens", true, true, true},
        {"one over, edited", 65537, true, true, "16,385 / 16,384 tokens", true, false, true},
        {"one over, read only", 65537, false, false, "16,385 / 16,384 tokens", true, true, false},
    };
    for (const auto& c : cases) {
        Composer composer({QStringLiteral("A source")},
                          [](ContextDraft& d) { d.modelProfileID = QStringLiteral("local-16k"); });
        composeToLength(composer, c.characters);
        if (c.edited)
            composer.update([&](ContextDraft& d) { d.previewText = composer.generated(); });
        if (!c.writable) {
            composer.view.reset();
            composer.store->saveNow();
            composer.files.fail(FaultyFileSystem::Operation::write, composer.libraryPath);
            QFile::remove(composer.backupPath);
            QFile::rename(composer.libraryPath, composer.backupPath);
            composer.store = composer.open();
            ASSERT_FALSE(composer.store->canModifyLibrary()) << c.name;
            composer.view = std::make_unique<ComposeView>(composer.services(), composer.draftID);
        }
        const TokenBudgetMeter& meter = *composer.pane().meter();
        EXPECT_EQ(meter.countText(), QString::fromUtf8(c.count)) << c.name;
        EXPECT_EQ(meter.isOverBudget(), c.over) << c.name;
        EXPECT_EQ(meter.showsOverBudget(), c.over) << c.name;
        EXPECT_EQ(meter.countLabel()->palette().color(QPalette::WindowText),
                  c.over ? Theme::colors(meter.palette()).red : Theme::colors(meter.palette()).secondaryLabel)
            << c.name;
        EXPECT_EQ(meter.showsRemedies(), c.remedies) << c.name;
        EXPECT_EQ(meter.reduceButton()->isEnabled(), c.canReduce) << c.name;
        EXPECT_TRUE(meter.splitButton()->isEnabled()) << c.name << ": copying writes only the clipboard";
    }
}

// Three sources of 10,000 tokens each against a budget of 16,384: each message carries one.
QStringList threeLargeSources()
{
    return {QString(40000, u'a'), QString(40000, u'b'), QString(40000, u'c')};
}

TEST(ComposePreviewPane, ReduceToFitStoresTheDraftOnlyWhenItsEntriesChange)
{
    const struct {
        const char* name;
        QStringList texts;
        bool pinAll;
        bool stored;
        const char* feedback;
    } cases[] = {
        {"over budget", threeLargeSources(), false, true,
         "Removed 2 optional sources. Now within the estimated budget."},
        {"only pinned sources", threeLargeSources(), true, false,
         "Still over budget by an estimated 13,650 tokens. Shorten the task, turn off the preamble, trim pinned "
         "sources, or export."},
        {"already fits", {QStringLiteral("short")}, false, false, "Already within the estimated budget."},
    };
    for (const auto& c : cases) {
        Composer composer(c.texts, [&](ContextDraft& d) {
            d.modelProfileID = QStringLiteral("local-16k");
            for (ContextDraftEntry& e : d.entries)
                e.pin = c.pinAll;
        });
        const ContextDraft before = composer.draft();
        composer.time.advance(1s);
        composer.pane().reduceToFit();
        EXPECT_EQ(composer.draft().updatedAt == composer.time.now(), c.stored) << c.name;
        EXPECT_EQ(composer.draft().entries.size(), c.stored ? 1 : before.entries.size()) << c.name;
        EXPECT_EQ(composer.pane().budgetFeedback(), QString::fromUtf8(c.feedback)) << c.name;
        ASSERT_TRUE(composer.pane().budgetAlert()) << c.name;
        EXPECT_EQ(composer.pane().budgetAlert()->informativeText(), QString::fromUtf8(c.feedback)) << c.name;
        composer.pane().budgetAlert()->reject(); // Escape, or the window's close button
        EXPECT_EQ(composer.pane().budgetFeedback(), std::nullopt) << c.name;
        Composer::turn();
        EXPECT_EQ(composer.pane().meter()->isOverBudget(), c.pinAll) << c.name;
    }
}

TEST(ComposePreviewPane, CopySplitReportsOnlyWhatTheClipboardTook)
{
    const QString earlier = QStringLiteral("on the clipboard before");
    const QString notice = QStringLiteral(
        "Message token counts are estimates. Paste each message separately without its separator label.");
    const struct {
        const char* name;
        QString task;
        bool clipboardTakes;
        const char* alert; // followed by the notice when it ends in a blank
        bool copied;
    } cases[] = {
        {"three messages", QStringLiteral("Compare."), true, "Copied 3 messages to the clipboard. ", true},
        {"a task too long for any message", QString(70000, u't'), true,
         "Cannot split within this estimated budget. Shorten the task, turn off the preamble, trim oversized "
         "sources, or export.",
         false},
        {"a clipboard that refuses", QStringLiteral("Compare."), false,
         "The messages could not be copied to the clipboard.", false},
    };
    for (const auto& c : cases) {
        Composer composer(threeLargeSources(), [&](ContextDraft& d) {
            d.modelProfileID = QStringLiteral("local-16k");
            d.task = c.task;
        });
        ComposePreviewPane& pane = composer.pane();
        pane.copyPrompt(); // an earlier copy still shows Copied
        ASSERT_TRUE(pane.showCopied()) << c.name;
        composer.pasteboard.set({PasteboardItem{{QStringLiteral("UTF8_STRING"), earlier.toUtf8()}}});
        composer.pasteboard.writesSucceed = c.clipboardTakes;
        pane.copySplit();
        QString expected = QString::fromUtf8(c.alert);
        if (expected.endsWith(u' '))
            expected += notice;
        EXPECT_EQ(pane.budgetFeedback(), expected) << c.name;
        EXPECT_EQ(pane.showCopied(), c.copied) << c.name;
        const QString clipboard = QString::fromUtf8(composer.pasteboard.dataForType(PasteboardType::string).bytes);
        if (!c.copied) {
            EXPECT_EQ(clipboard, earlier) << c.name;
            continue;
        }
        // Each message under its label, in the order of the sources, each one whole.
        const QStringList parts = clipboard.split(QRegularExpression(QStringLiteral("—— MESSAGE \\d OF 3 · [\\d,]+ "
                                                                                    "tokens ——\n\n")),
                                                  Qt::SkipEmptyParts);
        ASSERT_EQ(parts.size(), 3) << c.name;
        for (int i = 0; i < 3; ++i) {
            EXPECT_TRUE(parts[i].contains(threeLargeSources()[i])) << c.name << i;
            EXPECT_TRUE(parts[i].contains(QStringLiteral("Compare."))) << c.name << i << ": each repeats the task";
        }
        EXPECT_TRUE(clipboard.startsWith(QStringLiteral("—— MESSAGE 1 OF 3 · ")));
    }
}

TEST(ComposePreviewPane, CopyPromptAndItsShortcutFlashCopiedFromTheEarliestCopy)
{
    Composer composer;
    ComposePreviewPane& pane = composer.pane();
    composer.view->show();
    QApplication::setActiveWindow(composer.view.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(composer.view.get()));
    composer.update([](ContextDraft& d) { d.previewText = QStringLiteral("Edited prompt"); });

    QTest::keyClick(pane.editor(), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(composer.pasteboard.dataForType(PasteboardType::string).bytes, QByteArray("Edited prompt"));
    EXPECT_EQ(pane.copyButton()->text(), QStringLiteral("Copied"));
    composer.time.advance(500ms);
    pane.copyButton()->click();
    composer.time.advance(899ms);
    EXPECT_TRUE(pane.showCopied());
    composer.time.advance(1ms);
    EXPECT_FALSE(pane.showCopied()) << "1.4 s after the first copy, not the second";
    EXPECT_EQ(pane.copyButton()->text(), QStringLiteral("Copy Prompt"));

    composer.pasteboard.writesSucceed = false;
    pane.copyButton()->click();
    EXPECT_FALSE(pane.showCopied()) << "a copy the clipboard refused is not confirmed";
    composer.time.advance(5s);
    composer.view.reset(); // a pane gone before its Copied time runs out is not touched
    composer.pasteboard.writesSucceed = true;
    ComposeView other(composer.services(), composer.draftID);
    other.previewPane()->copyPrompt();
    other.hide();
    composer.time.advance(2s);
}

TEST(ComposePreviewPane, SafeFileNameKeepsLettersDigitsAndInnerBlanks)
{
    const struct {
        const char* name;
        const char* expected;
    } cases[] = {
        {"Notes 2026/01/02 10:30", "Notes 2026-01-02 10-30"},
        {"Ünïcödé Привет 東京 ٣٤", "Ünïcödé Привет 東京 ٣٤"},
        {"", "prompt"},
        {"   ", "prompt"},
        {"...", "---"},
        {"  padded  ", "padded"},
        {"\tleading tab", "-leading tab"},
        {"keep_under-score  double", "keep_under-score  double"},
        {"emoji 👍🏽 and e\u0301", "emoji - and e\u0301"},
        {"line\nbreak", "line-break"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ComposePreviewPane::safeFileName(QString::fromUtf8(c.name)), QString::fromUtf8(c.expected)) << c.name;
}

TEST(ComposePreviewPane, ExportWritesTheShownTextWholeOrReportsWhy)
{
    Composer composer({QStringLiteral("A source")}, [](ContextDraft& d) {
        d.name = QStringLiteral("Review: 2026/01/02");
        d.previewText = QStringLiteral("Edited — prompt ü\n");
    });
    ManualSerialQueue logQueue;
    FileLogger logger(composer.files, logQueue, composer.time);
    FileLogger::setShared(&logger);
    ASSERT_TRUE(logger.start());
    const QString target = composer.folder.filePath(QStringLiteral("exported.md"));
    TemporaryLibrary::writeAll(target, "old content");
    ::chmod(QFile::encodeName(target).constData(), 0640);
    const QString fresh = composer.folder.filePath(QStringLiteral("fresh.md"));
    const mode_t umask = ::umask(022);
    using Op = FaultyFileSystem::Operation;
    const struct {
        const char* name;
        std::optional<QString> choice;
        std::optional<Op> failing;
        const char* content; // of the target afterwards
        bool warning;
    } steps[] = {
        {"write fails half-way", target, Op::write, "old content", true},
        {"cancelled", std::nullopt, std::nullopt, "old content", true},
        {"rename fails", target, Op::rename, "old content", true},
        {"exported", target, std::nullopt, "Edited — prompt ü\n", false},
        {"folder flush fails after the rename", target, Op::syncFolder, "Edited — prompt ü\n", true},
        {"a new file", fresh, std::nullopt, "Edited — prompt ü\n", false},
    };
    for (const auto& step : steps) {
        composer.files.clearFailures();
        if (step.failing)
            composer.files.fail(*step.failing, target, EIO);
        composer.saveDialog.choice = step.choice;
        composer.pane().exportButton()->click();
        EXPECT_EQ(TemporaryLibrary::readAll(step.choice.value_or(target)), QByteArray(step.content)) << step.name;
        EXPECT_EQ(composer.pane().exportError(),
                  step.warning ? std::optional(ComposePreviewPane::exportFailedText) : std::nullopt)
            << step.name;
        EXPECT_EQ(composer.pane().showsExportWarning(), step.warning) << step.name;
    }
    ::umask(umask);
    struct stat info;
    ASSERT_EQ(::stat(QFile::encodeName(fresh).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, mode_t(0644)) << "a document the user saved";
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, mode_t(0640)) << "a file replaced keeps its mode";
    EXPECT_EQ(QDir(composer.folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 2) << "no temporary file";

    const ViewServices::SaveFileRequest& request = composer.saveDialog.requests.first();
    EXPECT_EQ(request.title, QStringLiteral("Export Prompt"));
    EXPECT_EQ(request.suggestedName, QStringLiteral("Review- 2026-01-02.md"));
    logQueue.runDue();
    FileLogger::setShared(nullptr);
    const QString log = QString::fromUtf8(
        TemporaryLibrary::readAll(FileLogger::directory(composer.files) + QStringLiteral("/vellicord.log")));
    EXPECT_EQ(log.count(QStringLiteral("Prompt export failed: ")), 3) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("Prompt export failed: Could not write ") + target)) << log.toStdString();

    composer.saveDialog.hold = true;
    composer.saveDialog.choice = fresh;
    composer.pane().exportPrompt();
    composer.view.reset();
    composer.saveDialog.answerPending(); // the dialog closes after the composer went
}

} // namespace
