#include "Tovak/kit/WrappingTextLayout.h"

#include "Tovak/kit/DisplayTextMeasurer.h"
#include "Tovak/kit/TextStyles.h"
#include "Tovak/library/RichMarkdownView.h"
#include "core/richtext/MarkdownDisplay.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace {

using namespace vellicord;

// Where each line of the text starts at the width: as Qt's own rule wraps it, or as ours does.
QList<int> lineStarts(const QString& text, qreal width, bool ours)
{
    QTextLayout layout(text, TextStyles::body());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QList<int> starts;
    layout.beginLayout();
    {
        std::optional<WrappingTextLayout::Lines> lines;
        if (ours)
            lines.emplace(layout, text);
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            if (lines)
                lines->fill(line, width);
            else
                line.setLineWidth(width);
            starts.append(line.textStart());
        }
    }
    layout.endLayout();
    return starts;
}

// Long paragraphs, where runs are laid out without measuring them anew for each line, break
// exactly where Qt's own rule breaks them: words at word boundaries, a run too long for any line
// anywhere, the words after a run as words again.
TEST(WrappingTextLayout, BreaksLongParagraphsWhereQtBreaksThem)
{
    // Just long enough to be laid out the fast way; Qt's rule takes long enough over them as it is.
    const QString words = QStringLiteral("the quick brown fox jumps over a lazy dog ").repeated(70);
    const QString hex = QStringLiteral("0123456789abcdef").repeated(300);
    const QString thaiWord = QStringLiteral("\u0e20\u0e32\u0e29\u0e32");
    const QString thai
        = QStringLiteral("\u0e2a\u0e27\u0e31\u0e2a\u0e14\u0e35\u0e20\u0e32\u0e29\u0e32\u0e44\u0e17\u0e22");
    const struct {
        const char* name;
        QString text;
    } cases[] = {
        {"words", words + words},
        {"a word repeated", QStringLiteral("abcdefghij ").repeated(550)},
        {"one unbroken run", hex + hex},
        {"a run between words", words + hex + QLatin1Char(' ') + words},
        {"words, then a run, far into the paragraph", words.repeated(4) + hex + QLatin1Char(' ') + words},
        {"a run after one space", QLatin1Char(' ') + hex},
        {"a run ending a little way into a line",
         words + QStringLiteral(" ") + hex.left(1003) + QStringLiteral(" ") + words},
        {"runs just longer than a word reaches", (QString(70, u'x') + QLatin1Char(' ')).repeated(85)},
        {"words joined by no-break spaces", QStringLiteral("abc\u00a0de\u00a0").repeated(750)},
        {"ideographs, a break between each", QStringLiteral("\u4e2d\u6587\u6587\u672c").repeated(1500)},
        {"hyphenated parts", QStringLiteral("well-known-long-part-").repeated(290)},
        {"a word just as long as a word reaches, then a run", QString(64, u'w') + QLatin1Char(' ') + hex},
        {"one ideograph before a run", QStringLiteral("\u4e2d") + hex},
        {"Thai words without spaces, then a run", thai.repeated(300) + hex},
        {"hex digits with a Thai word", (hex.left(996) + thaiWord).repeated(6)},
        {"Z runs with one Thai letter", (QString(99, u'Z') + QChar(0x0e01)).repeated(50)},
        {"a Thai word where the text is read in stretches", hex + hex.left(3390) + thaiWord + hex.left(1000)},
        {"Thai between ordinary words",
         (QStringLiteral("the quick brown ") + thai + QStringLiteral(" fox ")).repeated(150)},
        {"Thai without spaces past the pieces Qt shapes it in", thai.repeated(330) + hex.left(600)},
        {"one Thai letter, then digits", QChar(0x0e01) + QStringLiteral("0123456789").repeated(500)},
        {"one Thai letter, then digits for pages", QChar(0x0e01) + QStringLiteral("0123456789").repeated(2000)},
        {"signs and digits before Thai at the paragraph's start",
         QStringLiteral("1-2/").repeated(40) + thai.repeated(30) + hex},
        {"runs with Thai words after them", (hex.left(100) + thai.repeated(30)).repeated(12)},
        {"Thai in a paragraph read from the right",
         QStringLiteral("\u05e9\u05dc\u05d5\u05dd ") + (hex.left(90) + thai.repeated(3)).repeated(45)},
        {"Thai digits and signs in a run",
         (hex.left(200) + QStringLiteral("\u0e51\u0e52\u0e53\u0e5a\u0e4f\u0e46")).repeated(25)},
    };
    for (const auto& c : cases) {
        for (const qreal width : {40.0, 300.0, 1400.0}) {
            EXPECT_EQ(lineStarts(c.text, width, true), lineStarts(c.text, width, false)) << c.name << " at " << width;
        }
    }
}

// Paragraphs made of random runs break where Qt's own rule breaks them, whatever script is mixed
// into their runs: words and spaces, numbers and signs, runs too long for a line, Thai words and
// single Thai letters, Thai digits and signs, marks, tabs, emoji, ideographs and Hangul, and in
// every fourth paragraph words of both directions.
TEST(WrappingTextLayout, BreaksRandomRunsWhereQtBreaksThem)
{
    // clang-format off
    const QString parts[] = {
        u"the "_qs, u"quick "_qs, u"(brown) "_qs, u"fox, "_qs, u"well-known"_qs, u" )"_qs, u"ok!\t"_qs, u"\u00a0"_qs,
        u"1.5 "_qs, u"3,000"_qs, u"$40 "_qs, u"0123456789abcdef"_qs, u"Z"_qs,
        u"\u0e20\u0e32\u0e29\u0e32"_qs, u"\u0e01"_qs, u"\u0e2a\u0e27\u0e31\u0e2a\u0e14\u0e35"_qs, u"\u0e51\u0e52"_qs,
        u"\u0e2f\u0e46\u0e5a"_qs, u"a\u0e48"_qs, u"\u0e3f"_qs, u"\u0e01\t12"_qs,
        u"\U0001f600"_qs, u"\U0001f44d\U0001f3fd"_qs, u"\u4e2d\u6587"_qs, u"\ud55c\uad6d\uc5b4 "_qs,
        u"\u0928\u092e\u0938\u094d\u0924\u0947"_qs,
    };
    // clang-format on
    const QString bothWays[] = {u"\u05e9\u05dc\u05d5\u05dd "_qs, u"\u0645\u0631\u062d\u0628\u0627"_qs, u"\u0663"_qs};
    QRandomGenerator random(55);
    for (int round = 0; round < 24; ++round) {
        QString text;
        while (text.size() < 5000) {
            const qsizetype kinds = std::size(parts) + (round % 4 == 3 ? std::size(bothWays) : 0);
            const int kind = int(random.bounded(int(kinds)));
            const QString& part = kind < int(std::size(parts)) ? parts[kind] : bothWays[kind - std::size(parts)];
            // A part repeated makes a run: as often as not longer than a line, now and then for pages.
            text += part.repeated(random.bounded(4) == 0 ? 1 + int(random.bounded(random.bounded(8) == 0 ? 600 : 40))
                                                         : 1);
        }
        for (const qreal width : {40.0, 300.0}) {
            EXPECT_EQ(lineStarts(text, width, true), lineStarts(text, width, false))
                << "round " << round << " at " << width << ": " << text.left(200).toStdString();
        }
    }
}

// A long paragraph is laid out once its view is shown, at the view's width, and again after the
// user types in it: every character is on a line, the typed ones too.
TEST(WrappingTextLayout, LaysALongParagraphOutWhenShownAndWhenTypedIn)
{
    const QString hex = QStringLiteral("0123456789abcdef").repeated(375);
    for (const QString& text : {hex, QStringLiteral("the quick brown fox ").repeated(300),
                                (hex.left(996) + QStringLiteral("\u0e20\u0e32\u0e29\u0e32")).repeated(6),
                                (QString(99, u'Z') + QChar(0x0e01)).repeated(60)}) {
        QPlainTextEdit editor;
        WrappingTextLayout::install(editor);
        editor.resize(300, 200);
        editor.setPlainText(text);
        editor.show();
        QApplication::processEvents();
        const auto laidOut = [&] {
            const QTextLayout* layout = editor.document()->firstBlock().layout();
            const int count = layout->lineCount();
            return count < 2 ? -1 : layout->lineAt(count - 1).textStart() + layout->lineAt(count - 1).textLength();
        };
        EXPECT_EQ(laidOut(), text.size()) << "shown";
        editor.moveCursor(QTextCursor::End);
        QTest::keyClicks(&editor, QStringLiteral("xyz"));
        editor.viewport()->repaint();
        EXPECT_EQ(laidOut(), text.size() + 3) << "typed at the end";
    }
}

// In an editor, a line typed right to left starts at the right edge: Home puts the caret there,
// End at the line's other end, and Shift+Home selects the line back from there.
TEST(WrappingTextLayout, EditsARightToLeftLineFromTheRight)
{
    QPlainTextEdit editor;
    WrappingTextLayout::install(editor);
    editor.resize(300, 200);
    editor.show();
    const QString typed = QStringLiteral("\u05e9\u05dc\u05d5\u05dd \u05e2\u05d5\u05dc\u05dd");
    editor.insertPlainText(typed);
    QTest::keyClick(&editor, Qt::Key_Home);
    const int home = editor.cursorRect().x();
    EXPECT_GE(home, editor.viewport()->width() - 8);
    QTest::keyClick(&editor, Qt::Key_End);
    EXPECT_LT(editor.cursorRect().x(), home - 40) << "left of where it starts";
    QTest::keyClick(&editor, Qt::Key_Home, Qt::ShiftModifier);
    EXPECT_EQ(editor.textCursor().selectedText(), typed);
}

// Each line of every paragraph as the passage draws it: the text it holds and where that text
// stands, "outside" when it leaves the width. Qt's document layout places each paragraph's layout
// itself; a plain-text view stacks the paragraphs by their bounding rectangles, from the top margin.
QStringList drawnLines(const QTextDocument& document, qreal width)
{
    const bool stacked = qobject_cast<const QPlainTextDocumentLayout*>(document.documentLayout());
    QStringList lines;
    qreal top = document.documentMargin();
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QTextLayout* layout = block.layout();
        const QPointF at = stacked ? QPointF(0, top) : layout->position();
        for (int i = 0; i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            const QRectF text = line.naturalTextRect().translated(at);
            lines.append(QString::asprintf("%d+%d at %.2f,%.2f width %.2f%s", block.position() + line.textStart(),
                                           line.textLength(), text.x(), text.y(), text.width(),
                                           text.left() < 0 || text.right() > width ? " outside" : ""));
        }
        top += document.documentLayout()->blockBoundingRect(block).height();
    }
    return lines;
}

// The captured passage lays the display text of rich captures out line for line where Qt's own
// document layout lays it out: indents and the first line's indent, tab stops, the space between
// paragraphs and none after the last, and a paragraph that starts right to left aligned to the
// right with its indents there. Every line stays within the passage's width.
TEST(WrappingTextLayout, LaysThePassageOutAsQtsDocumentLayoutDoes)
{
    const QString hebrew = QStringLiteral(
        "\u05e9\u05dc\u05d5\u05dd \u05e2\u05d5\u05dc\u05dd, \u05d6\u05d5\u05d4\u05d9 \u05e4\u05e1\u05e7\u05d4 "
        "\u05d0\u05e8\u05d5\u05db\u05d4 \u05d1\u05e2\u05d1\u05e8\u05d9\u05ea \u05e9\u05e0\u05e9\u05d1\u05e8\u05ea "
        "\u05dc\u05db\u05de\u05d4 \u05e9\u05d5\u05e8\u05d5\u05ea \u05d1\u05e8\u05d5\u05d7\u05d1 \u05e6\u05e8. ");
    const QString arabic = QStringLiteral(
        "\u0645\u0631\u062d\u0628\u0627 \u0628\u0627\u0644\u0639\u0627\u0644\u0645\u060c \u0647\u0630\u0647 "
        "\u0641\u0642\u0631\u0629 \u0637\u0648\u064a\u0644\u0629 \u0628\u0627\u0644\u0644\u063a\u0629 "
        "\u0627\u0644\u0639\u0631\u0628\u064a\u0629 \u062a\u0644\u062a\u0641 \u0639\u0644\u0649 "
        "\u0623\u0633\u0637\u0631 \u0643\u062b\u064a\u0631\u0629. ");
    const QString english
        = QStringLiteral("A paragraph in English that wraps onto more than one line of the passage. ");
    const struct {
        const char* name;
        QString markdown;
    } cases[] = {
        {"headings, paragraphs and a quote",
         u"# Heading\n\n"_qs + english + u"\n\n> "_qs + english + english + u"\n\n## Second\n\n"_qs + english},
        {"nested lists that wrap",
         u"- "_qs + english + u"\n  - "_qs + english + u"\n    - deep\n- last\n\n1. one "_qs + english
             + u"\n2. two"_qs},
        {"code with tabs", QStringLiteral("```\nint main()\n{\n\treturn 0;\t// done\n\t\tx\ty\n}\n```\n\nafter")},
        {"right-to-left paragraphs", hebrew + hebrew + u"\n\n"_qs + arabic + arabic + u"\n\n"_qs + english},
        {"one short Hebrew line", hebrew.left(4)},
        {"a right-to-left list", u"- "_qs + hebrew + u"\n  - "_qs + hebrew + u"\n- "_qs + hebrew.left(4)},
        {"mixed directions",
         u"Hello "_qs + hebrew + u"\n\n"_qs + hebrew.left(5) + english + u"\n\n> "_qs + hebrew + u"\n\n"_qs
             + english.left(9) + u"`"_qs + hebrew.left(4) + u"`"_qs},
        {"an Arabic paragraph longer than a short one", arabic.repeated(50)},
        {"long runs with a Thai word bold from its middle on",
         (u"0123456789abcdef"_qs.repeated(6).left(91)
          + u"\u0e2a\u0e27\u0e31**\u0e2a\u0e14\u0e35\u0e20\u0e32\u0e29\u0e32**"_qs)
             .repeated(50)},
    };
    const DisplayTextMeasurer measurer;
    for (const auto& c : cases) {
        const std::optional<AttributedText> display = MarkdownDisplay::render(c.markdown, measurer);
        ASSERT_TRUE(display) << c.name;
        for (const int width : {120, 300, 700}) {
            RichMarkdownView passage;
            passage.resize(width, 400);
            passage.show();
            passage.setAttributedText(*display);
            QApplication::processEvents();
            const QTextDocument& shown = *passage.document();
            const std::unique_ptr<QTextDocument> qts(shown.clone());
            qts->setDocumentMargin(shown.documentMargin());
            qts->setDefaultTextOption(shown.defaultTextOption());
            qts->setTextWidth(passage.viewport()->width());
            const QStringList lines = drawnLines(shown, qts->textWidth());
            EXPECT_EQ(lines, drawnLines(*qts, qts->textWidth())) << c.name << " at " << width;
            EXPECT_FALSE(lines.join(u'\n').contains(u"outside"_qs)) << c.name << " at " << width;
            const auto* layout = static_cast<const WrappingTextLayout*>(shown.documentLayout());
            EXPECT_EQ(layout->textHeight(), qts->size().height()) << c.name << " at " << width;
        }
    }
}

} // namespace
