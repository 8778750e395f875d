#include "core/richtext/MarkdownSerializer.h"
#include "core/richtext/OfflineHTMLConverter.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace vellicord;
using Attributes = AttributedText::Attributes;
using Font = AttributedText::Font;

namespace {

Attributes plain(double size = 12)
{
    Attributes a;
    a.font = Font::system(size);
    return a;
}

Attributes with(std::function<void(Attributes&)> change, double size = 12)
{
    Attributes a = plain(size);
    change(a);
    return a;
}

AttributedText::ParagraphStyle listStyle(QList<AttributedText::TextListRef> lists)
{
    AttributedText::ParagraphStyle style;
    style.textLists = std::move(lists);
    return style;
}

QString html(const char* source)
{
    const auto text = OfflineHTMLConverter::convert(QByteArray(source));
    return text ? MarkdownSerializer::convert(*text) : QStringLiteral("<nil>");
}

} // namespace

TEST(MarkdownSerializer, BodySize)
{
    AttributedText text;
    for (int i = 0; i < 3; ++i) {
        text.append(u"a", plain(14));
        text.append(u"b", plain(12));
    }
    EXPECT_EQ(MarkdownSerializer::estimateBodySize(text), 12.0);
    AttributedText none;
    none.append(u"x", Attributes{});
    EXPECT_EQ(MarkdownSerializer::estimateBodySize(none), 12.0);
    EXPECT_EQ(MarkdownSerializer::convert(AttributedText()), QString());
}

TEST(MarkdownSerializer, Paragraphs)
{
    struct Case {
        const char* name;
        std::vector<std::pair<QString, Attributes>> runs;
        QString markdown;
    };
    auto bold = with([](Attributes& a) { a.font->bold = true; });
    auto italic = with([](Attributes& a) { a.font->italic = true; });
    auto boldItalic = with([](Attributes& a) { a.font = a.font->withTraits(true, true); });
    auto mono = [] {
        Attributes a;
        a.font = Font();
        a.font->name = "Courier New";
        return a;
    }();
    auto link = [](AttributedText::Link::Kind kind, QString target) {
        return with([=](Attributes& a) { a.link = AttributedText::Link{kind, target}; });
    };
    auto quote = [](double size) {
        return with(
            [](Attributes& a) {
                a.paragraphStyle = AttributedText::ParagraphStyle();
                a.paragraphStyle->firstLineHeadIndent = 24;
            },
            size);
    };
    using K = AttributedText::Link::Kind;
    const Case cases[] = {
        {"two lines", {{"a\nb\n", plain()}}, "a\nb"},
        {"empty paragraphs give one blank line", {{"a\n\n\n\nb", plain()}}, "a\n\nb"},
        {"escaping", {{"*a_b* [x] `y` \\ 1. # > - + | !", plain()}}, "\\*a\\_b\\* \\[x\\] \\`y\\` \\\\ 1. # > - + | !"},
        {"bold, italic, both: asterisks alone would merge, underscores keep them apart",
         {{"a", bold}, {"b", italic}, {"c", boldItalic}},
         "**a**_b**c**_"},
        {"spaces stay outside emphasis",
         {{"Hello ", bold}, {"world", plain()}, {" it ", italic}, {"x", plain()}},
         "**Hello** world *it* x"},
        {"whitespace-only emphasis", {{"a", plain()}, {" ", bold}, {"b", plain()}}, "a b"},
        {"code span", {{"use ", plain()}, {"x()", mono}}, "use `x()`"},
        {"code span with backtick", {{"a`b", mono}}, "``a`b``"},
        {"link", {{"site", link(K::url, "https://a.b/c")}}, "[site](https://a.b/c)"},
        {"mail address object", {{"me", link(K::url, "mailto:me@a.b")}}, "[me](mailto:me@a.b)"},
        {"mail address string", {{"me", link(K::string, "mailto:me@a.b")}}, "me"},
        {"relative string", {{"doc", link(K::string, "docs/a.html")}}, "doc"},
        {"http string", {{"doc", link(K::string, "HTTP://a.b")}}, "[doc](HTTP://a.b)"},
        {"target encoded",
         {{"x", link(K::url, "https://a.b/x) [y](z <w>\n")}},
         "[x](https://a.b/x%29%20[y]%28z%20%3Cw%3E%0A)"},
        {"bold link",
         {{"x", with([](Attributes& a) {
               a.font->bold = true;
               a.link = AttributedText::Link{K::url, "https://a.b"};
           })}},
         "[**x**](https://a.b)"},
        {"quote at body 12", {{"q\n", quote(12)}}, "> q"},
        {"quote threshold at body 4", {{"q\n", quote(4)}}, "> q"},
        {"no quote at body 20", {{"q\n", quote(20)}}, "q"},
        {"heading 22pt", {{"Big\n", plain(22)}, {"body text\nmore\nmore\n", plain()}}, "# Big\nbody text\nmore\nmore"},
        {"heading 17pt", {{"a\n", plain()}, {"Mid\n", plain(17)}, {"b\n", plain()}}, "a\n\n## Mid\nb"},
        {"heading 15pt",
         {{"a\n", plain()}, {"\n", plain()}, {"Small\n", plain(15)}, {"b\n", plain()}},
         "a\n\n### Small\nb"},
        {"14pt is text", {{"a\n", plain()}, {"Not\n", plain(14)}, {"b\n", plain()}}, "a\nNot\nb"},
        {"heading key wins",
         {{"H*\n",
           with(
               [](Attributes& a) {
                   a.heading = 5;
                   a.font->bold = true;
               },
               30)},
          {"x", with([](Attributes& a) { a.heading = 0; })}},
         "##### H\\*\nx"},
    };
    for (const Case& c : cases) {
        AttributedText text;
        for (const auto& [s, a] : c.runs)
            text.append(s, a);
        EXPECT_EQ(MarkdownSerializer::convert(text), c.markdown) << c.name;
    }
}

TEST(MarkdownSerializer, PlatformLists)
{
    using Format = AttributedText::ListMarkerFormat;
    auto roman = std::make_shared<AttributedText::TextList>(AttributedText::TextList{Format::uppercaseRoman, 4});
    auto disc = std::make_shared<AttributedText::TextList>(AttributedText::TextList{Format::disc, 1});
    auto huge = std::make_shared<AttributedText::TextList>(AttributedText::TextList{Format::decimal, 1000000000});
    auto in = [](QList<AttributedText::TextListRef> lists, bool marker = false) {
        return with([=](Attributes& a) {
            a.paragraphStyle = listStyle(lists);
            a.listMarkerText = marker;
        });
    };
    // The markers as a reader of RTF keeps them.
    AttributedText text;
    text.append(u"\tIV.\t", in({roman}, true));
    text.append(u"four\n", in({roman}));
    text.append(u"\tV.\t", in({roman}, true));
    text.append(u"five\n", in({roman}));
    text.append(u"\t\u2022\t", in({roman, disc}, true));
    text.append(u"inner\n", in({roman, disc}));
    text.append(u"\n", in({roman, disc}));
    text.append(u"after", plain());
    EXPECT_EQ(MarkdownSerializer::convert(text), "4. four\n5. five\n    - inner\n    - \n\nafter");

    AttributedText overflow;
    overflow.append(u"x\n", in({huge}));
    EXPECT_EQ(MarkdownSerializer::convert(overflow), QString());

    EXPECT_EQ(MarkdownSerializer::contentIndent("- "), 2);
    EXPECT_EQ(MarkdownSerializer::contentIndent("12. "), 4);
    EXPECT_EQ(MarkdownSerializer::contentIndent("100. "), 5);
    EXPECT_EQ(MarkdownSerializer::contentIndent("    - "), 6);
    EXPECT_FALSE(MarkdownSerializer::marker(Format::decimal, -1));
    EXPECT_FALSE(MarkdownSerializer::marker(Format::decimal, 1000000000));
    EXPECT_EQ(MarkdownSerializer::marker(Format::lowercaseAlpha, 999999999), "999999999. ");
    EXPECT_EQ(MarkdownSerializer::marker(Format::octal, -5), "- ");
}

TEST(MarkdownSerializer, HtmlLists)
{
    struct Case {
        const char* name;
        const char* html;
        const char* markdown;
    };
    const Case cases[] = {
        {"bullets", "<ul><li>a</li><li>b</li></ul>", "- a\n- b"},
        {"numbered with start", "<ol start=\"7\"><li>a<li>b</ol>", "7. a\n8. b"},
        {"value restarts", "<ol><li>a</li><li value=\"5\">b</li></ol>", "1. a\n\n<!-- -->\n\n5. b"},
        {"value continuing needs no break", "<ol><li>a</li><li value=\"2\">b</li></ol>", "1. a\n2. b"},
        {"two lists in a row", "<ul><li>a</ul><ul><li>b</ul>", "- a\n\n<!-- -->\n\n- b"},
        {"two nested lists in a row", "<ul><li>a<ul><li>b</ul><ul><li>c</ul></ul>",
         "- a\n  - b\n\n  <!-- -->\n\n  - c"},
        {"bullet in ordered", "<ol><li>a<ul><li>b</li></ul></li><li>c</li></ol>", "1. a\n    - b\n2. c"},
        {"bullet in bullet", "<ul><li>a<ul><li>b</li></ul></li></ul>", "- a\n  - b"},
        {"nested starting at 3", "<ul><li>a<ol start=3><li>b</ol></ul>", "- a\n\n  3. b"},
        {"continuation under bullet", "<ul><li><p>a</p><p>b</p></li></ul>", "- a\n\n  b"},
        {"continuation under number", "<ol><li>a<br>b</li><li>c</ol>", "1. a\n\n    b\n2. c"},
        {"paragraph after list", "<ul><li>a</li></ul>after", "- a\n\nafter"},
        {"list after paragraph", "before<ul><li>a</li></ul>", "before\n\n- a"},
        {"tab inside item stays", "<ul><li>x\ty</li><li><pre>a\tb</pre></li></ul>", "- x y\n- `a\tb`"},
        {"item starting with nested list", "<ul><li><ul><li>a</li></ul></li></ul>", "- \n  - a"},
        {"huge value", "<ol><li value=999999999>a<li>b</ol>", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(html(c.html), QString::fromUtf8(c.markdown)) << c.name;
}
