#include "Tovak/composer/ComposeDraftPane.h"

#include "QtPrinters.h"
#include "Tovak/composer/DraftPaneFixture.h"
#include "Tovak/composer/EntryTrimSheet.h"
#include "Tovak/composer/ImportSheet.h"
#include "Tovak/composer/SaveTemplateSheet.h"
#include "core/library/PromptTemplates.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace vellicord;
using namespace vellicord::test;
using namespace std::chrono_literals;

namespace {

// Whether the sheet is gone, or going once the event loop turns.
bool closed(const QPointer<ComposerSheet>& sheet)
{
    return !sheet || !sheet->isVisible();
}

void typeAtEnd(QPlainTextEdit* editor, const QString& text)
{
    editor->moveCursor(QTextCursor::End);
    QTest::keyClicks(editor, text);
}

// As a paste over the whole text.
void replaceAll(QPlainTextEdit* editor, const QString& text)
{
    editor->selectAll();
    QTest::keyClick(editor, Qt::Key_Backspace);
    editor->insertPlainText(text);
}

// The trim sheet opened on e1, edited (or not), applied: the notice, and the entry's own text.
TEST(ComposeDraftPaneActions, TrimAppliesOnlyARealChangeAndClearsOnBlank)
{
    const std::optional<QString> none;
    const QString typed = QStringLiteral("TYPED");
    using Edit = std::function<void(QPlainTextEdit*)>;
    const Edit untouched;
    const Edit typeAndUndo = [](QPlainTextEdit* editor) {
        typeAtEnd(editor, QStringLiteral("x"));
        QTest::keyClick(editor, Qt::Key_Backspace);
    };
    const struct {
        const char* name;
        QString text;
        std::optional<QString> customText;
        Edit edit;
        const char* notice;
        std::optional<QString> stored;
    } cases[] = {
        {"untouched", QStringLiteral("Plain text"), none, untouched, "No change made.", none},
        {"untouched, a no-break space", QStringLiteral("a\u00A0b"), none, untouched, "No change made.", none},
        {"untouched, CRLF", QStringLiteral("line one\r\nline two"), none, untouched, "No change made.", none},
        {"a no-break space, typed at and undone", QStringLiteral("a\u00A0b"), none, typeAndUndo, "No change made.",
         none},
        {"CRLF, typed at and undone", QStringLiteral("line one\r\nline two\rthree"), none, typeAndUndo,
         "No change made.", none},
        {"a trim, untouched", QStringLiteral("Long source"), QStringLiteral("Short"), untouched, "No change made.",
         QStringLiteral("Short")},
        {"a trailing space", QStringLiteral("Plain text"), none,
         [](QPlainTextEdit* editor) { typeAtEnd(editor, QStringLiteral(" ")); }, "Trim applied.",
         QStringLiteral("Plain text ")},
        {"a no-break space made a space", QStringLiteral("a\u00A0b"), none,
         [](QPlainTextEdit* editor) { replaceAll(editor, QStringLiteral("a b")); }, "Trim applied.",
         QStringLiteral("a b")},
        {"rewritten", QStringLiteral("Plain text"), none, [&](QPlainTextEdit* editor) { replaceAll(editor, typed); },
         "Trim applied.", typed},
        {"everything deleted", QStringLiteral("Long source"), QStringLiteral("Short"),
         [](QPlainTextEdit* editor) { replaceAll(editor, QString()); },
         "Trim cleared — using the captured source again.", none},
        {"only white space left", QStringLiteral("Long source"), QStringLiteral("Short"),
         [](QPlainTextEdit* editor) { replaceAll(editor, QStringLiteral("  \n\t ")); },
         "Trim cleared — using the captured source again.", none},
    };
    for (const auto& c : cases) {
        Pane pane(QList<Source>{Source{c.text}}, [&](ContextDraftEntry& e, int) { e.customText = c.customText; });
        pane.view->beginTrim(pane.entries[0]);
        const QPointer<ComposerSheet> sheet = pane.view->trimSheet();
        ASSERT_TRUE(sheet) << c.name;
        EntryTrimSheet* trim = pane.view->trimSheet();
        if (c.edit)
            c.edit(trim->editor());
        pane.time.advance(1s);
        trim->mainButton()->click();
        EXPECT_EQ(pane.footer(), QString::fromUtf8(c.notice)) << c.name;
        EXPECT_EQ(pane.draft().entries[0].customText, c.stored) << c.name;
        EXPECT_EQ(pane.draft().updatedAt, pane.time.now()) << c.name << ": stored in every case";
        EXPECT_TRUE(closed(sheet)) << c.name;
    }
}

TEST(ComposeDraftPaneActions, ADismissedTrimStoresNothingAndTheNextEntryCanBeTrimmed)
{
    const QString hint = QStringLiteral("Trimmed text changes only this prompt.");
    Pane pane(sources(2));
    pane.view->show();
    trigger(pane.row(1).makeOptionsMenu(), QStringLiteral("Trim or edit…"));
    QPointer<ComposerSheet> first = pane.view->trimSheet();
    ASSERT_TRUE(first);
    EXPECT_EQ(pane.sheets.size(), 1) << "put up by the views' modal runner";
    QSignalSpy writes(pane.store.get(), &Store::draftsChanged);
    typeAtEnd(pane.view->trimSheet()->editor(), QStringLiteral("!"));
    pane.view->beginTrim(pane.entries[1]);
    EXPECT_EQ(pane.view->trimSheet(), first) << "one sheet at a time";
    QTest::keyClick(pane.view->trimSheet()->editor(), Qt::Key_Escape);
    EXPECT_TRUE(closed(first));
    EXPECT_EQ(writes.count(), 0);
    EXPECT_EQ(pane.footer(), hint);

    pane.view->beginTrim(pane.entries[1]);
    ASSERT_TRUE(pane.view->trimSheet() && pane.view->trimSheet() != first);
    EXPECT_EQ(pane.view->trimSheet()->text(), QStringLiteral("Source 2 headline\nand its body"));

    // Its source leaves the library (and so the prompt) while its sheet is up: the sheet goes,
    // with nothing stored. Then the prompt goes while a sheet is up: the sheet goes with it.
    const QPointer<ComposerSheet> second = pane.view->trimSheet();
    pane.store->remove(pane.draft().entries[1].selectionID);
    writes.clear();
    Pane::turn();
    EXPECT_TRUE(closed(second));
    EXPECT_EQ(writes.count(), 0);
    EXPECT_EQ(pane.footer(), hint);
    pane.view->beginTrim(pane.entries[0]);
    const QPointer<ComposerSheet> third = pane.view->trimSheet();
    ASSERT_TRUE(third && third != second);
    pane.store->deleteDraft(pane.draftID);
    Pane::turn();
    EXPECT_TRUE(closed(third));
}

TEST(ComposeDraftPaneActions, ImportAddsEachChunkAsACaptureFromPastedTextInOneChange)
{
    Pane pane(sources(1));
    pane.view->show();
    const qsizetype captures = pane.store->selections().size();
    pane.view->importButton()->click();
    QPointer<ComposerSheet> sheet = pane.view->importSheet();
    ASSERT_TRUE(sheet);
    QPlainTextEdit* editor = pane.view->importSheet()->editor();

    // Blank text: nothing to add, by the button, by Return, or by the action itself.
    editor->insertPlainText(QStringLiteral("  \t"));
    QTest::keyClick(sheet, Qt::Key_Return);
    EXPECT_FALSE(pane.session->addImported(QStringLiteral("  \t")));
    EXPECT_EQ(pane.store->selections().size(), captures);
    EXPECT_EQ(pane.footer(), QStringLiteral("Trimmed text changes only this prompt."));
    EXPECT_FALSE(closed(sheet)) << "the sheet stays, with its text";
    EXPECT_EQ(pane.view->importSheet()->text(), QStringLiteral("  \t"));

    replaceAll(editor, QString());
    editor->insertPlainText(QStringLiteral("First paragraph.\r\n\r\nSecond\n\n\n\n  Third  "));
    EXPECT_EQ(sheet->countLine()->text(), QStringLiteral("3 chunks ready"));
    QSignalSpy drafts(pane.store.get(), &Store::draftsChanged);
    QSignalSpy library(pane.store.get(), &Store::selectionsChanged);
    sheet->mainButton()->click();
    EXPECT_EQ(pane.footer(), QStringLiteral("Imported 3 chunks into the prompt."));
    EXPECT_EQ(drafts.count(), 1) << "one change of the draft for all the chunks";
    EXPECT_EQ(library.count(), 1);
    const ContextDraft draft = pane.draft();
    ASSERT_EQ(draft.entries.size(), 4);
    QStringList texts;
    for (qsizetype i = 1; i < 4; ++i) {
        const Selection capture = *pane.store->findByID(draft.entries[i].selectionID);
        texts.append(capture.text);
        EXPECT_EQ(capture.appName, QStringLiteral("Pasted text"));
        EXPECT_EQ(capture.markdown, capture.text);
        EXPECT_TRUE(draft.entries[i].include && !draft.entries[i].pin && !draft.entries[i].verbatim);
    }
    EXPECT_EQ(texts, (QStringList{"First paragraph.", "Second", "Third"})) << "in the text's order";
    EXPECT_EQ(pane.store->selections().first().text, QStringLiteral("Third")) << "the library shows the last first";
    EXPECT_TRUE(closed(sheet));
    Pane::turn();
    EXPECT_EQ(pane.shown(), QStringLiteral("4 included · 2 sources | e1 new new new"));

    // Escape keeps what was typed for the next opening; one chunk is "1 chunk".
    pane.view->showImportSheet();
    sheet = pane.view->importSheet();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(pane.view->importSheet()->text(), QString()) << "emptied after an import";
    QTest::keyClicks(pane.view->importSheet()->editor(), QStringLiteral("One more"));
    QTest::keyClick(pane.view->importSheet()->editor(), Qt::Key_Escape);
    EXPECT_TRUE(closed(sheet));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    pane.view->showImportSheet();
    ASSERT_TRUE(pane.view->importSheet());
    EXPECT_EQ(pane.view->importSheet()->text(), QStringLiteral("One more"));
    pane.view->importSheet()->mainButton()->click();
    EXPECT_EQ(pane.footer(), QStringLiteral("Imported 1 chunk into the prompt."));

    // The prompt goes while the sheet is up: the sheet closes, and an import creates nothing.
    pane.view->showImportSheet();
    sheet = pane.view->importSheet();
    ASSERT_TRUE(sheet);
    QTest::keyClicks(pane.view->importSheet()->editor(), QStringLiteral("Orphan"));
    pane.session->setNotice(std::nullopt);
    pane.store->deleteDraft(pane.draftID);
    Pane::turn();
    EXPECT_TRUE(closed(sheet));
    const qsizetype before = pane.store->selections().size();
    EXPECT_FALSE(pane.session->addImported(QStringLiteral("Orphan")));
    EXPECT_EQ(pane.store->selections().size(), before);
    EXPECT_EQ(pane.session->notice(), std::nullopt);
}

TEST(ComposeDraftPaneActions, TemplateMenuIsReadAtEachOpeningAppliesAndSavesOnce)
{
    Pane pane(sources(1));
    pane.view->show();
    const QString builtins = QStringLiteral("Summarize|Explain|Compare sources|Review / critique|Review code|"
                                            "Refactor code|Grounded Q&A|Write report");
    const QString save = QStringLiteral("Save this task as a template…");
    EXPECT_EQ(menuText(pane.view->makeTemplateMenu()), builtins + "|-|" + save);

    pane.store->updateDraft([&] {
        ContextDraft d = pane.draft();
        d.task = QStringLiteral("Old task");
        d.templateName = QStringLiteral("Plain");
        return d;
    }());
    trigger(pane.view->makeTemplateMenu(), QStringLiteral("Review code"));
    EXPECT_EQ(pane.draft().task, PromptTemplates::builtins()[4].task);
    EXPECT_EQ(pane.draft().templateName, QStringLiteral("Sections"));
    EXPECT_EQ(pane.footer(), QStringLiteral("Applied template “Review code”."));

    const auto customs = [&] { return PromptTemplates::loadCustom(pane.defaults); };
    trigger(pane.view->makeTemplateMenu(), save);
    QPointer<ComposerSheet> sheet = pane.view->saveTemplateSheet();
    ASSERT_TRUE(sheet);
    QLineEdit* field = pane.view->saveTemplateSheet()->nameField();
    QTest::keyClicks(field, QStringLiteral("  Weekly Report "));
    QTest::keyClick(field, Qt::Key_Return);
    ASSERT_EQ(customs().size(), 1);
    EXPECT_EQ(customs()[0],
              (PromptTemplate{QStringLiteral("weekly-report"), QStringLiteral("Weekly Report"), pane.draft().task,
                              ComposerTemplate::sections}));
    EXPECT_EQ(pane.footer(), QStringLiteral("Saved template “Weekly Report”."));
    EXPECT_TRUE(closed(sheet));
    EXPECT_EQ(menuText(pane.view->makeTemplateMenu()), builtins + "|-|Weekly Report|-|" + save);

    // A name without letters or digits is a new template each time: Return saves exactly once.
    for (int saves = 1; saves <= 2; ++saves) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        pane.view->showSaveTemplateSheet();
        ASSERT_TRUE(pane.view->saveTemplateSheet());
        field = pane.view->saveTemplateSheet()->nameField();
        EXPECT_EQ(field->text(), saves == 1 ? QStringLiteral("  Weekly Report ") : QStringLiteral("!!!"))
            << "the name as last typed";
        field->selectAll();
        QTest::keyClicks(field, QStringLiteral("!!!"));
        QTest::keyClick(field, Qt::Key_Return);
        EXPECT_EQ(customs().size(), 1 + saves);
    }

    // Saved again under a name of the same id, by another composer: replaced, moved to the end,
    // and in the menu at its next opening, its tab a space.
    ContextDraft other = pane.draft();
    other.task = QStringLiteral("Newer task");
    PromptTemplates::saveCustom(PromptTemplates::fromDraft(QStringLiteral("weekly\treport"), other), pane.defaults);
    EXPECT_EQ(menuText(pane.view->makeTemplateMenu()), builtins + "|-|!!!|!!!|weekly report|-|" + save);
    trigger(pane.view->makeTemplateMenu(), QStringLiteral("weekly report"));
    EXPECT_EQ(pane.draft().task, QStringLiteral("Newer task"));
}

TEST(ComposeDraftPaneActions, CleanupCommandsFollowTheShownDraftAndDeleteEntries)
{
    const Source same{QStringLiteral("The same passage, captured twice.")};
    const Source similar{QStringLiteral("The same passage, captured twice!!")};
    const Source other{QStringLiteral("Something else entirely")};
    const QString both = QStringLiteral("Remove Duplicates|Remove Excluded Sources");
    // "S s o": the same passage, a near copy of it, another one; "x" excluded, "p" pinned.
    const auto prompt = [&](const QString& spelled) {
        QList<Source> list;
        for (const QString& entry : spelled.split(u' ', Qt::SkipEmptyParts))
            list.append(entry[0] == u'S' ? same : entry[0] == u's' ? similar : other);
        return std::make_unique<Pane>(list, [spelled](ContextDraftEntry& e, int i) {
            const QString entry = spelled.split(u' ', Qt::SkipEmptyParts)[i];
            e.include = !entry.contains(u'x');
            e.pin = entry.contains(u'p');
        });
    };
    const struct {
        const char* name;
        const char* entries;
        const char* menu;
        const char* notice; // after Remove Duplicates; the hint while it is disabled
        const char* order;
        bool stored;
    } cases[] = {
        {"no entries", "", "Remove Duplicates!|Remove Excluded Sources!", nullptr, "", false},
        {"one", "S", "Remove Duplicates!|Remove Excluded Sources!", nullptr, "e1", false},
        {"one, excluded", "Sx", "Remove Duplicates!|Remove Excluded Sources", nullptr, "e1", false},
        {"two alike", "S s", "Remove Duplicates|Remove Excluded Sources!", "Removed 1 duplicate source.", "e1", true},
        {"three alike", "S o s S", "Remove Duplicates|Remove Excluded Sources!", "Removed 2 duplicate sources.",
         "e1 e2", true},
        {"a pinned repeat", "S sp", "Remove Duplicates|Remove Excluded Sources!", "Removed 1 duplicate source.", "e1",
         true},
        {"an excluded copy", "S Sx", "Remove Duplicates|Remove Excluded Sources", "No near-duplicate sources found.",
         "e1 e2", false},
    };
    for (const auto& c : cases) {
        const std::unique_ptr<Pane> made = prompt(QString::fromUtf8(c.entries));
        Pane& pane = *made;
        EXPECT_EQ(menuText(pane.view->makeCleanupMenu()), QString::fromUtf8(c.menu)) << c.name;
        pane.time.advance(1s);
        trigger(pane.view->makeCleanupMenu(), QStringLiteral("Remove Duplicates"));
        EXPECT_EQ(pane.footer(), QString::fromUtf8(c.notice ? c.notice : "Trimmed text changes only this prompt."))
            << c.name;
        EXPECT_EQ(pane.order(), QString::fromUtf8(c.order)) << c.name;
        EXPECT_EQ(pane.draft().updatedAt == pane.time.now(), c.stored) << c.name;
        EXPECT_EQ(pane.store->selections().size(), pane.entries.size()) << c.name << ": the captures stay";
    }

    const std::unique_ptr<Pane> made = prompt(QStringLiteral("S ox s ox"));
    Pane& pane = *made;
    EXPECT_EQ(menuText(pane.view->makeCleanupMenu()), both);
    trigger(pane.view->makeCleanupMenu(), QStringLiteral("Remove Excluded Sources"));
    EXPECT_EQ(pane.footer(), QStringLiteral("Removed excluded sources."));
    EXPECT_EQ(pane.order(), QStringLiteral("e1 e3"));
    EXPECT_EQ(menuText(pane.view->makeCleanupMenu()), QStringLiteral("Remove Duplicates|Remove Excluded Sources"))
        << "as last shown, until the pane shows the change";
    Pane::turn();
    EXPECT_EQ(menuText(pane.view->makeCleanupMenu()), QStringLiteral("Remove Duplicates|Remove Excluded Sources!"));
}

} // namespace
