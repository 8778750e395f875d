#include "core/richtext/MarkdownDisplay.h"

#include "core/richtext/RichMarkdownRenderer.h"
#include "support/FixedTextMeasurer.h"
#include "core/richtext/MarkdownHtml.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace vellicord;

namespace {

AttributedText display(const QString& markdown, double characterWidth = 0.5)
{
    const FixedTextMeasurer measurer(13.0, characterWidth);
    const auto text = MarkdownDisplay::render(markdown, measurer);
    EXPECT_TRUE(text) << markdown.toStdString();
    return text ? *text : AttributedText();
}

const AttributedText::Attributes& at(const AttributedText& text, const QString& needle)
{
    const qsizetype index = text.string().indexOf(needle);
    EXPECT_GE(index, 0) << needle.toStdString();
    return text.attributesAt(std::max<qsizetype>(index, 0));
}

struct Indents {
    double firstLine;
    double head;
    friend bool operator==(const Indents&, const Indents&) = default;
    friend std::ostream& operator<<(std::ostream& out, const Indents& i)
    {
        return out << "{" << i.firstLine << ", " << i.head << "}";
    }
};

Indents indents(const AttributedText& text, const QString& needle)
{
    const auto& style = at(text, needle).paragraphStyle;
    EXPECT_TRUE(style);
    if (!style)
        return {};
    if (!style->tabStops.isEmpty()) {
        EXPECT_EQ(style->tabStops, QList<double>{style->headIndent}) << needle.toStdString();
    }
    return {style->firstLineHeadIndent, style->headIndent};
}

} // namespace

TEST(MarkdownDisplay, Text)
{
    struct Case {
        const char* name;
        const char* markdown;
        const char* text;
    };
    const Case cases[] = {
        {"paragraph", "Hello *there*", "Hello there"},
        {"two paragraphs", "a\n\nb", "a\n\nb"},
        {"heading and paragraph", "# H\ntext", "H\n\ntext"},
        {"line feed inside a paragraph", "a\nb", "a\nb"},
        {"bullets", "- a\n- b\n- c", "\u2022\ta\n\u2022\tb\n\u2022\tc"},
        {"ordinals from the start", "3. a\n1. b", "3.\ta\n4.\tb"},
        {"list break comment hidden", "1. a\n\n<!-- -->\n\n5. b", "1.\ta\n\n5.\tb"},
        {"nested list break hidden", "- a\n  - b\n\n  <!-- -->\n\n  - c", "\u2022\ta\n\u2022\tb\n\u2022\tc"},
        {"inline comment kept", "a <!-- --> b", "a <!-- --> b"},
        {"second paragraph of an item", "- a\n\n  b\n- c", "\u2022\ta\nb\n\u2022\tc"},
        {"hard break in item", "- a  \n  b", "\u2022\ta\nb"},
        {"paragraph after list", "- a\n\nafter", "\u2022\ta\n\nafter"},
        {"fenced code", "```\nx = 1\n\ny\n```\nz", "x = 1\n\ny\n\nz"},
        {"table cells", "| a | b |\n|---|---|\n| c | d |", "a\n\nb\n\nc\n\nd"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(display(c.markdown).string(), QString::fromUtf8(c.text)) << c.name;
}

TEST(MarkdownDisplay, Fonts)
{
    const AttributedText text = display("# One\n\n###### Six\n\nplain `code` ***both*** ~~gone~~ [link](https://a.b)\n\n```\nblock\n```");
    EXPECT_EQ(at(text, "One").font->pointSize, 25.0);
    EXPECT_TRUE(at(text, "One").font->bold);
    EXPECT_EQ(at(text, "Six").font->pointSize, 15.0);
    EXPECT_TRUE(at(text, "Six").font->bold);
    const auto& plain = at(text, "plain");
    EXPECT_EQ(plain.font->pointSize, 13.0);
    EXPECT_FALSE(plain.font->bold || plain.font->italic || plain.font->monospace);
    EXPECT_EQ(plain.paragraphStyle->paragraphSpacing, 4.0);
    EXPECT_EQ(indents(text, "plain"), (Indents{0, 0}));
    EXPECT_EQ(plain.foregroundColor, AttributedText::Color::label);
    EXPECT_TRUE(at(text, "code").font->monospace);
    EXPECT_EQ(at(text, "code").font->pointSize, 13.0);
    EXPECT_TRUE(at(text, "block").font->monospace);
    EXPECT_TRUE(at(text, "both").font->bold && at(text, "both").font->italic);
    EXPECT_EQ(at(text, "gone").strikethroughStyle, 1);
    ASSERT_TRUE(at(text, "link").link);
    EXPECT_EQ(at(text, "link").link->target, "https://a.b");
}

TEST(MarkdownDisplay, Indents)
{
    const AttributedText list = display("- a\n  - b\n\n    b2\n- c  \n  c2");
    EXPECT_EQ(indents(list, "a"), (Indents{0, 28}));
    EXPECT_EQ(indents(list, "b"), (Indents{24, 52}));
    EXPECT_EQ(indents(list, "b2"), (Indents{52, 52}));
    EXPECT_EQ(indents(list, "c2"), (Indents{28, 28}));
    EXPECT_EQ(indents(display("- a\n  b"), "b"), (Indents{28, 28})) << "the next line of an item";

    const AttributedText quoted = display("> q\n\n> - a");
    EXPECT_EQ(indents(quoted, "q"), (Indents{16, 16}));
    EXPECT_EQ(at(quoted, "a").paragraphStyle->firstLineHeadIndent, 16.0);
    EXPECT_EQ(at(quoted, "a").paragraphStyle->headIndent, 44.0);

    // One character is 13 points wide here: "10." needs 39 + 8, which is 19 beyond the column.
    const AttributedText wide = display("9. a\n10. b\n    - c\n\n      c2", 1.0);
    EXPECT_EQ(indents(wide, "a"), (Indents{0, 47}));
    EXPECT_EQ(indents(wide, "b"), (Indents{0, 47}));
    EXPECT_EQ(indents(wide, "c"), (Indents{43, 71}));
    EXPECT_EQ(indents(wide, "c2"), (Indents{71, 71}));
    EXPECT_EQ(wide.string(), "9.\ta\n10.\tb\n\u2022\tc\nc2");
}

TEST(MarkdownDisplay, Limits)
{
    const FixedTextMeasurer measurer;
    EXPECT_FALSE(MarkdownDisplay::render(QString(1000, u'>') + "x", measurer));
    // 31 quotes and their paragraph are 32 nested blocks; one more quote is too deep.
    EXPECT_TRUE(MarkdownDisplay::render(QString(31, u'>') + " x", measurer));
    EXPECT_FALSE(MarkdownDisplay::render(QString(32, u'>') + " x", measurer));
    const QString longest(RichMarkdownRenderer::maximumInputLength, u'a');
    EXPECT_TRUE(MarkdownDisplay::render(longest, measurer));
    EXPECT_FALSE(MarkdownDisplay::render(longest + u'a', measurer));

    // Many list items followed by many runs of text: the list's indents are set in one pass, not
    // by moving every later run once per item (which took minutes at this size).
    const QString items = QStringLiteral("- a\n").repeated(20000);
    const auto rendered = MarkdownDisplay::render(items + u'\n' + QStringLiteral("*a* b ").repeated(20000), measurer);
    ASSERT_TRUE(rendered);
    EXPECT_GT(rendered->length(), 80000);
}

TEST(MarkdownHtml, SafeDefaults)
{
    struct Case {
        const char* name;
        const char* markdown;
        const char* html;
    };
    const Case cases[] = {
        {"empty", "", ""},
        {"emphasis", "**b** *i* ~~s~~", "<p><strong>b</strong> <em>i</em> <del>s</del></p>\n"},
        {"raw html omitted", "a <script>x</script>", "<p>a <!-- raw HTML omitted -->x<!-- raw HTML omitted --></p>\n"},
        {"unsafe link emptied", "[l](javascript:alert(1))", "<p><a href=\"\">l</a></p>\n"},
        {"table", "| a |\n|---|\n| b |",
         "<table>\n<thead>\n<tr>\n<th>a</th>\n</tr>\n</thead>\n<tbody>\n<tr>\n<td>b</td>\n</tr>\n</tbody>\n</table>\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MarkdownHtml::render(QString::fromUtf8(c.markdown)), QString::fromUtf8(c.html)) << c.name;
}

TEST(MarkdownHtml, TablesUpToTheColumnLimit)
{
    // A row's cost grows with the square of its cells, so lines of more than 128 "|" are text.
    auto table = [](int columns) {
        return "|" + QString("a|").repeated(columns) + "\n|" + QString("-|").repeated(columns) + "\n";
    };
    EXPECT_TRUE(MarkdownHtml::render(table(127)).startsWith("<table>"));
    EXPECT_TRUE(MarkdownHtml::render(table(128)).startsWith("<p>"));
}
