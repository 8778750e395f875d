#include "Tovak/composer/ComposePreviewPane.h"

#include "QtPrinters.h"
#include "Tovak/composer/ComposeDraftPane.h"
#include "Tovak/composer/ComposeEntryRow.h"
#include "Tovak/composer/ComposeView.h"
#include "Tovak/composer/DraftPaneFixture.h"
#include "Tovak/composer/PromptFixture.h"
#include "Tovak/composer/TokenBudgetMeter.h"
#include "Tovak/kit/SymbolLabel.h"
#include "Tovak/kit/Theme.h"
#include "core/composition/ContextComposer.h"
#include "support/ViewFakes.h"

#include <QAccessible>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace vellicord;
using namespace std::chrono_literals;

namespace {

const QString generatedCaption = QStringLiteral("Edit any text here. Edits are saved only in this prompt.");
const QString editedCaption = QStringLiteral(
    "Edited preview · saved only in this prompt. Task, source, template, and preamble changes apply after reset.");

// A prompt of one entry per text, over a real Store, in a composer 960 wide.
struct Composer : ViewFakes {
    QUuid draftID;
    std::unique_ptr<ComposeView> view;

    explicit Composer(const QStringList& texts = {QStringLiteral("First source"), QStringLiteral("Second source")},
                      const std::function<void(ContextDraft&)>& edit = {})
    {
        draftID = test::storePrompt(*this, texts, edit).id;
        view = std::make_unique<ComposeView>(services(), draftID);
        view->resize(960, 640);
    }

    ComposePreviewPane& pane() const { return *view->previewPane(); }
    DraftSession& session() const { return view->session(); }
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

// What a screen reader says a control is, on this desktop: the label it is tied to, else its own
// name (a picker's own name is its choice).
QString heardAs(QWidget* control)
{
    QAccessibleInterface* read = QAccessible::queryAccessibleInterface(control);
    const auto labels = read->relations(QAccessible::Label);
    return labels.isEmpty() ? read->text(QAccessible::Name) : labels.first().first->text(QAccessible::Name);
}

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
        bool copiedAsTyped = false; // the editor's copy writes no-break spaces as spaces
    } cases[] = {
        {"line feeds after carriage returns", QStringLiteral("one\r\ntwo\rthree")},
        {"no-break spaces", QStringLiteral("10\u00a0km and 5\u202fkg")},
        {"paragraph and line separators", QStringLiteral("one\u2029two\u2028three")},
        {"decomposed accents", QStringLiteral("Cafe\u0301 and re\u0301sume\u0301")},
        {"a lone surrogate", QStringLiteral("broken ") + QChar(0xD800) + QStringLiteral(" pair")},
        {"tabs and trailing blanks", QStringLiteral("\tcode\t \n  ")},
        {"a paragraph of one word repeated", QStringLiteral("abcdefghij ").repeated(6000), true},
        {"an unbroken run", QStringLiteral("3f9a0c7e").repeated(8000), true},
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
        EXPECT_EQ(composer.pane().caption()->text(), generatedCaption) << c.name;

        QPlainTextEdit* editor = composer.pane().editor();
        editor->moveCursor(QTextCursor::End);
        EXPECT_TRUE(editor->viewport()->rect().contains(editor->cursorRect().center()))
            << c.name << ": its end in sight";
        QTest::keyClicks(editor, QStringLiteral("!"));
        EXPECT_EQ(composer.draft().previewText, composer.pane().shownText()) << c.name;
        EXPECT_TRUE(composer.draft().previewText->endsWith(u'!')) << c.name;
        if (c.copiedAsTyped) {
            editor->selectAll();
            QTest::keyClick(editor, Qt::Key_C, Qt::ControlModifier);
            EXPECT_EQ(QGuiApplication::clipboard()->text(), composer.draft().previewText) << c.name << ": copied whole";
        }
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
        EXPECT_EQ(heardAs(pane.templatePicker()), QStringLiteral("Template")) << width;
        EXPECT_EQ(heardAs(pane.modelPicker()), QStringLiteral("Model")) << width;
        pane.preambleToggle()->click();
        EXPECT_FALSE(pane.preambleToggle()->isChecked()) << width;
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
                  edited ? editedCaption : generatedCaption)
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
    EXPECT_EQ(pane.meter()->countText(), QStringLiteral("0 / 200,000 tokens"));

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

// Control-Z in the preview, the task, the name or a note undoes what the user typed there and
// nothing else: a text the library changed under the field (the prompt made again, a template's
// task, a name or a note changed elsewhere) is no step to undo; the user's own typing after it is
// undone and redone as typed.
TEST(ComposePreviewPane, UndoStepsOnlyThroughWhatTheUserTypedThere)
{
    // Typed as an input method hands a word over, whatever its script.
    const auto type = [](QWidget* field, const QString& text) {
        QInputMethodEvent commit;
        commit.setCommitString(text);
        QCoreApplication::sendEvent(field, &commit);
        Composer::turn();
    };
    const auto preview = [](Composer& c) { return c.pane().editor(); };
    const auto task = [](Composer& c) { return c.view->draftPane()->taskField(); };
    const auto name = [](Composer& c) { return c.view->draftPane()->nameField(); };
    const auto note = [](Composer& c) { return c.view->draftPane()->row(c.draft().entries[0].id)->noteField(); };
    const auto typeTask = [&](Composer& c) { type(task(c), QStringLiteral("Write a haiku สวัสดี")); };
    const auto chooseTemplate = [&](Composer& c) {
        typeTask(c);
        test::trigger(c.view->draftPane()->makeTemplateMenu(), QStringLiteral("Review code"));
    };
    const auto addSource = [](Composer& c) {
        const Selection added(QUuid::createUuid(), QStringLiteral("नमस्ते, שלום 👩🏽‍💻"), {},
                              QStringLiteral("Notes"), {}, {}, {}, {}, {}, c.time.now());
        c.store->add(added);
        c.update([&](ContextDraft& d) {
            d.entries.append({QUuid::createUuid(), added.id, true, false, false, {}, {}});
        });
    };
    const struct {
        const char* name;
        std::function<void(Composer&)> change;
        std::function<QWidget*(Composer&)> field; // where Control-Z is pressed
        bool undoesTheChange = false; // the change was the user's typing there
    } cases[] = {
        {"a task typed, in the preview", typeTask, preview},
        {"a task typed, in the task", typeTask, task, true},
        {"a source added, in the preview", addSource, preview},
        {"a template chosen after typing, in the task", chooseTemplate, task},
        {"renamed elsewhere after typing, in the name",
         [&](Composer& c) {
             type(name(c), QStringLiteral(" v2"));
             c.update([](ContextDraft& d) { d.name = QStringLiteral("שלום 👩🏽‍💻"); });
         },
         name},
        {"a note changed elsewhere after typing, in the note",
         [&](Composer& c) {
             type(note(c), QStringLiteral(" p. 4"));
             c.update([](ContextDraft& d) { d.entries[0].note = QStringLiteral("देखें"); });
         },
         note},
    };
    const auto textOf = [](QWidget* field) {
        auto* line = qobject_cast<QLineEdit*>(field);
        return line ? line->text() : qobject_cast<QPlainTextEdit*>(field)->toPlainText();
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Composer composer({QStringLiteral("First source")},
                          [](ContextDraft& d) { d.entries[0].note = QStringLiteral("Cite it"); });
        composer.view->show();
        Composer::turn();
        QWidget* field = c.field(composer);
        const auto key = [&](Qt::KeyboardModifiers modifiers) {
            QTest::keyClick(field, Qt::Key_Z, modifiers);
            Composer::turn();
        };
        const QString before = textOf(field);
        c.change(composer);
        Composer::turn();
        const QString changed = textOf(field);
        ASSERT_NE(changed, before);
        const ContextDraft stored = composer.draft();
        key(Qt::ControlModifier);
        EXPECT_EQ(textOf(field), c.undoesTheChange ? before : changed);
        if (!c.undoesTheChange) {
            EXPECT_EQ(composer.draft(), stored) << "the library keeps what it had";
        }

        // The user's own typing, undone and redone.
        const QString start = textOf(field);
        QTest::keyClick(field, Qt::Key_End, Qt::ControlModifier);
        type(field, QStringLiteral(" ของฉัน mine"));
        key(Qt::ControlModifier);
        EXPECT_EQ(textOf(field), start);
        key(Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_EQ(textOf(field), start + QStringLiteral(" ของฉัน mine"));
    }
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
        const char* bar; // its value and total, as a screen reader reads them
    } cases[] = {
        {"at the budget", 65536, false, true, "16,384 / 16,384 tokens", false, false, true, "16384 of 16384"},
        {"one over", 65537, false, true, "16,385 / 16,384 tokens", true, true, true, "16384 of 16384"},
        {"one over, edited", 65537, true, true, "16,385 / 16,384 tokens", true, false, true, "16384 of 16384"},
        {"one over, read only", 65537, false, false, "16,385 / 16,384 tokens", true, true, false, "16384 of 16384"},
        {"a quarter", 16384, false, true, "4,096 / 16,384 tokens", false, false, true, "4096 of 16384"},
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
        QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(meter.findChild<QProgressBar*>());
        ASSERT_TRUE(bar && bar->valueInterface()) << c.name;
        EXPECT_EQ(bar->role(), QAccessible::ProgressBar) << c.name;
        EXPECT_EQ(bar->text(QAccessible::Name), QString::fromUtf8(c.count)) << c.name;
        EXPECT_EQ(bar->valueInterface()->currentValue().toString() + u" of "_qs
                      + bar->valueInterface()->maximumValue().toString(),
                  QString::fromUtf8(c.bar))
            << c.name;
    }
}

// Three sources of 10,000 tokens each against a budget of 16,384.
QStringList threeLargeSources()
{
    return {QString(40000, u'a'), QString(40000, u'b'), QString(40000, u'c')};
}

// The remedies of a prompt over budget, as the user meets them: each button's outcome in the
// "Token budget" alert, which any way of closing it takes away, and the meter after it.
TEST(ComposePreviewPane, BudgetRemediesAnswerInTheAlert)
{
    Composer composer(threeLargeSources(), [](ContextDraft& d) {
        d.modelProfileID = QStringLiteral("local-16k");
        d.task = QStringLiteral("Compare.");
    });
    composer.view->show();
    ComposePreviewPane& pane = composer.pane();
    const TokenBudgetMeter& meter = *pane.meter();
    ASSERT_TRUE(meter.showsRemedies());
    meter.splitButton()->click();
    ASSERT_TRUE(pane.budgetAlert() && pane.budgetAlert()->isVisible());
    EXPECT_TRUE(pane.budgetAlert()->informativeText().startsWith(QStringLiteral("Copied 3 messages to the clipboard. ")));
    EXPECT_EQ(pane.copyButton()->text(), QStringLiteral("Copied"));
    pane.budgetAlert()->reject(); // Escape, or the window's close button
    EXPECT_FALSE(pane.budgetAlert() && pane.budgetAlert()->isVisible());

    meter.reduceButton()->click();
    ASSERT_TRUE(pane.budgetAlert() && pane.budgetAlert()->isVisible());
    EXPECT_EQ(pane.budgetAlert()->informativeText(),
              QStringLiteral("Removed 2 optional sources. Now within the estimated budget."));
    Composer::turn();
    EXPECT_FALSE(meter.showsOverBudget()) << "the meter shows the shorter prompt behind the alert";
    EXPECT_FALSE(meter.showsRemedies());
    pane.budgetAlert()->accept();
    EXPECT_FALSE(pane.budgetAlert() && pane.budgetAlert()->isVisible());
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
    EXPECT_EQ(pane.copyButton()->text(), QStringLiteral("Copied"));
    composer.time.advance(1ms);
    EXPECT_EQ(pane.copyButton()->text(), QStringLiteral("Copy Prompt")) << "1.4 s after the first copy";

    composer.pasteboard.writesSucceed = false;
    pane.copyButton()->click();
    EXPECT_EQ(pane.copyButton()->text(), QStringLiteral("Copy Prompt")) << "a copy the clipboard refused";
}

// The save dialog offers the prompt's name; what it writes, the warning line shows the failure of
// until an export succeeds, and a cancelled dialog changes nothing.
TEST(ComposePreviewPane, ExportWritesTheShownTextAndWarnsUntilAnExportSucceeds)
{
    Composer composer({QStringLiteral("A source")}, [](ContextDraft& d) {
        d.name = QStringLiteral("Review: 2026/01/02");
        d.previewText = QStringLiteral("Edited — prompt ü\n");
    });
    composer.view->show();
    const QString target = composer.folder.filePath(QStringLiteral("exported.md"));
    const auto warning = [&] {
        const auto* line = composer.pane().findChild<SymbolLabel*>(QStringLiteral("ExportWarning"));
        return line->isVisible() ? line->text() : QString();
    };
    const struct {
        const char* name;
        std::optional<QString> choice;
        bool failing;
        const char* content; // of the target afterwards
        const char* warning;
    } steps[] = {
        {"write fails", target, true, "", "Prompt could not be exported."},
        {"cancelled", std::nullopt, false, "", "Prompt could not be exported."},
        {"exported", target, false, "Edited — prompt ü\n", ""},
    };
    for (const auto& step : steps) {
        composer.files.clearFailures();
        if (step.failing)
            composer.files.fail(FaultyFileSystem::Operation::write, target, EIO);
        composer.saveDialog.choice = step.choice;
        composer.pane().exportButton()->click();
        EXPECT_EQ(TemporaryLibrary::readAll(target), QByteArray(step.content)) << step.name;
        EXPECT_EQ(warning(), QString::fromUtf8(step.warning)) << step.name;
    }
    const ViewServices::SaveFileRequest& request = composer.saveDialog.requests.first();
    EXPECT_EQ(request.title, QStringLiteral("Export Prompt"));
    EXPECT_EQ(request.suggestedName, QStringLiteral("Review- 2026-01-02.md"));

    composer.saveDialog.hold = true;
    composer.saveDialog.choice = target;
    composer.pane().exportButton()->click();
    composer.view.reset();
    composer.saveDialog.answerPending(); // the dialog closes after the composer went
}

} // namespace
