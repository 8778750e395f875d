#include "Tovak/kit/TextBinding.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextCursor>

#include <gtest/gtest.h>

#include <functional>
#include <limits>

using namespace vellicord;
using Change = TextBinding::Change;

namespace {

TEST(TextBinding, DifferenceIsTheChangedMiddleWithSurrogatePairsWhole)
{
    const struct {
        const char* name;
        QString from;
        QString to;
        std::optional<Change> change;
    } cases[] = {
        {"equal", QStringLiteral("abc"), QStringLiteral("abc"), std::nullopt},
        {"inserted", QStringLiteral("abc"), QStringLiteral("abXc"), Change{2, 0, QStringLiteral("X")}},
        {"removed", QStringLiteral("abXc"), QStringLiteral("abc"), Change{2, 1, QString()}},
        {"repeated letters", QStringLiteral("aaa"), QStringLiteral("aaaa"), Change{3, 0, QStringLiteral("a")}},
        {"from empty", QString(), QStringLiteral("new"), Change{0, 0, QStringLiteral("new")}},
        {"pair after a shared high half", QStringLiteral("a\U0001F600b"), QStringLiteral("a\U0001F601b"),
         Change{1, 2, QStringLiteral("\U0001F601")}},
        {"pair before a shared low half", QStringLiteral("\U0001F200z"), QStringLiteral("\U0001F600z"),
         Change{0, 2, QStringLiteral("\U0001F600")}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TextBinding::difference(c.from, c.to), c.change) << c.name;
    EXPECT_EQ(TextBinding::paragraphsAsLineFeeds(QStringLiteral("a\r\nb\rc\u2029d\ne")),
              QStringLiteral("a\nb\nc\nd\ne"));
}

// What the user types is written as typed; what is shown from the store is never written back,
// keeps the user's cursor, is no step of the user's to undo, and is not shown again when the
// editor holds it.
TEST(TextBinding, EditorAndStoredTextStayInStep)
{
    QStringList written;
    QPlainTextEdit editor;
    TextBinding binding(editor, [&](const QString& text) { written.append(text); });
    const QString stored = QStringLiteral("Keep\u00A0this\r\nparagraph");
    binding.show(stored);
    EXPECT_EQ(binding.text(), QStringLiteral("Keep\u00A0this\nparagraph")) << "no-break space kept";
    EXPECT_FALSE(editor.document()->isUndoAvailable()) << "the first text is the editor's start";

    QTextCursor cursor = editor.textCursor();
    cursor.setPosition(4);
    editor.setTextCursor(cursor);
    QTest::keyClicks(&editor, QStringLiteral(" X"));
    EXPECT_EQ(
        written,
        (QStringList{QStringLiteral("Keep \u00A0this\nparagraph"), QStringLiteral("Keep X\u00A0this\nparagraph")}));

    written.clear();
    const int undoSteps = editor.document()->availableUndoSteps();
    binding.show(QStringLiteral("Keep X\u00A0this\nparagraph"));
    binding.show(QStringLiteral("Keep X\u00A0this\r\nparagraph"));
    EXPECT_EQ(editor.document()->availableUndoSteps(), undoSteps) << "the editor holds these already";
    binding.show(QStringLiteral("Keep X\u00A0this\nparagraph and more"));
    EXPECT_EQ(binding.text(), QStringLiteral("Keep X\u00A0this\nparagraph and more"));
    EXPECT_EQ(editor.textCursor().position(), 6) << "the cursor stays where the user left it";
    EXPECT_TRUE(written.isEmpty());
    EXPECT_FALSE(editor.document()->isUndoAvailable()) << "the editor's history starts again from it";
    QTest::keyClicks(&editor, QStringLiteral("Y"));
    editor.undo();
    EXPECT_EQ(written.size(), 2) << "typing and undoing it are the user's edits";

    // A blank note is kept as none and read back as "": what the user typed stays.
    QLineEdit field;
    TextBinding note(
        field, [&](const QString& text) { written.append(text); },
        [](const QString& text) { return text.trimmed().isEmpty() ? QString() : text; });
    note.show(QString());
    QTest::keyClicks(&field, QStringLiteral(" "));
    note.show(QString());
    EXPECT_EQ(field.text(), QStringLiteral(" "));
    note.show(QStringLiteral("Cite it"));
    EXPECT_EQ(field.text(), QStringLiteral("Cite it"));
    EXPECT_EQ(written.last(), QStringLiteral(" "));
    EXPECT_FALSE(field.isUndoAvailable());
    field.setCursorPosition(4);
    note.show(QStringLiteral("Cite it, p. 4"));
    EXPECT_EQ(field.cursorPosition(), 4) << "a change after the cursor";
    note.show(QStringLiteral("See: Cite it, p. 4"));
    EXPECT_EQ(field.cursorPosition(), 9) << "a change before the cursor";
    field.setCursorPosition(7);
    note.show(QStringLiteral("See: Quote, p. 4"));
    EXPECT_EQ(field.cursorPosition(), 10) << "a change around the cursor: after what replaced it";
    EXPECT_EQ(field.maxLength(), std::numeric_limits<int>::max());
}

// The binding keeps the editor's text rather than reading a long document again: what it keeps
// must be what the editor holds after every kind of change.
TEST(TextBinding, TheTextKeptIsTheEditorsText)
{
    const auto held = [](const QPlainTextEdit& editor) {
        return editor.document()->toRawText().replace(QChar::ParagraphSeparator, u'\n');
    };
    const struct {
        const char* name;
        QString stored;
    } cases[] = {
        {"carriage returns", QStringLiteral("a\r\nb\rc")},
        {"paragraph separators", QStringLiteral("a\u2029b")},
        {"frame marks", QStringLiteral("a\uFDD0b\uFDD1c")},
        {"line separator and no-break space", QStringLiteral("a\u2028b\u00A0c")},
    };
    QPlainTextEdit editor;
    TextBinding binding(editor, [](const QString&) {});
    binding.show(QStringLiteral("start"));
    for (const auto& c : cases) {
        binding.show(c.stored);
        EXPECT_EQ(binding.text(), held(editor)) << c.name;
        QTest::keyClicks(&editor, QStringLiteral("x"));
        EXPECT_EQ(binding.text(), held(editor)) << c.name << ", typed into";
        editor.undo();
        EXPECT_EQ(binding.text(), held(editor)) << c.name << ", undone";
    }

    // Each edit is followed as the document reports it, not read whole: after each, the text kept
    // and the text written are what the editor holds.
    QStringList written;
    QPlainTextEdit typed;
    TextBinding follower(typed, [&](const QString& text) { written.append(text); });
    follower.show(QStringLiteral("first line\nsecond line\nthird"));
    const auto at = [&](int position, int anchor = -1) {
        QTextCursor cursor(typed.document());
        cursor.setPosition(anchor < 0 ? position : anchor);
        cursor.setPosition(position, QTextCursor::KeepAnchor);
        typed.setTextCursor(cursor);
    };
    const struct {
        const char* name;
        std::function<void()> edit;
    } edits[] = {
        {"typed at the start",
         [&] {
             at(0);
             QTest::keyClicks(&typed, QStringLiteral("A "));
         }},
        {"typed at the end",
         [&] {
             typed.moveCursor(QTextCursor::End);
             QTest::keyClicks(&typed, QStringLiteral("!"));
         }},
        {"a new line",
         [&] {
             at(5);
             QTest::keyClick(&typed, Qt::Key_Return);
         }},
        {"a line joined by backspace",
         [&] {
             at(6);
             QTest::keyClick(&typed, Qt::Key_Backspace);
         }},
        {"a line joined by delete",
         [&] {
             at(12);
             QTest::keyClick(&typed, Qt::Key_Delete);
         }},
        {"a selection across lines typed over",
         [&] {
             at(20, 3);
             QTest::keyClicks(&typed, QStringLiteral("x"));
         }},
        {"lines pasted",
         [&] {
             at(2);
             typed.insertPlainText(QStringLiteral("p\r\nq\u2029r\rs"));
         }},
        {"everything typed over",
         [&] {
             typed.selectAll();
             QTest::keyClicks(&typed, QStringLiteral("new"));
         }},
        {"undone", [&] { typed.undo(); }},
        {"redone", [&] { typed.redo(); }},
        {"a mark after a line feed",
         [&] {
             at(4);
             typed.insertPlainText(QStringLiteral("\n\u0301"));
         }},
        {"cut",
         [&] {
             at(5, 1);
             typed.cut();
         }},
        {"replaced whole", [&] { typed.setPlainText(QStringLiteral("other\ntext")); }},
        {"emptied", [&] { typed.clear(); }},
        {"typed into the empty editor", [&] { QTest::keyClicks(&typed, QStringLiteral("again")); }},
    };
    for (const auto& e : edits) {
        written.clear();
        e.edit();
        EXPECT_EQ(follower.text(), held(typed)) << e.name;
        ASSERT_FALSE(written.isEmpty()) << e.name;
        EXPECT_EQ(written.last(), held(typed)) << e.name;
    }
}

} // namespace
