#include "core/richtext/OfflineHTMLConverter.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <QSet>

using namespace vellicord;
using Attributes = AttributedText::Attributes;

namespace {

std::optional<AttributedText> convert(const char* html)
{
    return OfflineHTMLConverter::convert(QByteArray(html));
}

QString textOf(const char* html)
{
    const auto result = convert(html);
    return result ? result->string() : QStringLiteral("<nil>");
}

const Attributes& at(const AttributedText& text, const QString& needle, qsizetype offset = 0)
{
    const qsizetype index = text.string().indexOf(needle);
    EXPECT_GE(index, 0) << needle.toStdString();
    return text.attributesAt(index + offset);
}

} // namespace

TEST(OfflineHTMLConverter, TextAndWhitespace)
{
    struct Case {
        const char* name;
        const char* html;
        const char* text;
    };
    const Case cases[] = {
        {"three words, one bold", "one <b>two</b> three", "one two three"},
        {"paragraph ends in one line feed", "<p>Hello</p>", "Hello\n"},
        {"two paragraphs, no empty line", "<p>a</p><p>b</p>", "a\nb\n"},
        {"br inside paragraph", "<p>a<br>b</p>", "a\nb\n"},
        {"two br give one line feed", "a<br><br>b", "a\nb"},
        {"leading whitespace dropped", "  \n <div>  x   y </div>", "x y\n"},
        {"pre keeps spaces and nbsp", "<pre>  a\n  b&nbsp;c</pre>", "  a\n  b\u00a0c\n"},
        {"nbsp collapses outside pre", "a&nbsp;&nbsp;b", "a b"},
        {"table cells", "<table><tr><td>a</td><td>b</td></tr></table>", "a b\n"},
        {"double-encoded reference decodes once", "&amp;lt;", "&lt;"},
        {"capital names stay", "&AMP; &LT;", "&AMP; &LT;"},
        {"unknown names stay", "&bogus; x", "&bogus; x"},
        {"decimal and hex", "&#65;&#x41;&#X41;", "AAA"},
        {"zero and surrogates stay", "&#0;&#xD800;", "&#0;&#xD800;"},
        {"no semicolon in reach", "&aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa;", "&aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa;"},
        {"lone < followed by space", "a < b", "a < b"},
        {"unterminated tag", "a <b", "<nil>"},
        {"self-closing script hides nothing", "<script/>visible", "visible"},
        {"script skipped", "a<script>if (x < 1) {}</script>b", "ab"},
        {"style with upper-case end tag", "a<style>p{}</STYLE >b", "ab"},
        {"unclosed title in head", "<head><title>t</head><body>x</body>", "<nil>"},
        {"only hidden text", "<title>t</title><script>x</script>", "<nil>"},
        {"whitespace only", " \n\t ", "<nil>"},
        {"unterminated comment", "a<!-- b", "<nil>"},
        {"unterminated script", "a<script>x", "<nil>"},
        {"unterminated declaration", "<!DOCTYPE html", "<nil>"},
        {"declaration and cdata dropped", "<!DOCTYPE html><![CDATA[x>y]]>z<?xml a='>'?>", "z"},
        {"unterminated quoted value", "<a href=\"x>y", "<nil>"},
        {"final equals", "<a href=", "<nil>"},
        {"not utf-8", "a\xff", "<nil>"},
        {"overlong utf-8", "a\xc0\xaf", "<nil>"},
        {"byte-order mark dropped", "\xef\xbb\xbfhi", "hi"},
        {"emoji across tags", "<b>\xf0\x9f\x98\x80</b>\xf0\x9f\x91\x8d", "\U0001F600\U0001F44D"},
        {"crlf in pre is one character", "<pre>a\r\n</pre>b", "a\r\n\nb"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(textOf(c.html), QString::fromUtf8(c.text)) << c.name;
}

TEST(OfflineHTMLConverter, SeparatingSpaceIsPlain)
{
    const auto text = convert("one <b>two</b> <a href=\"https://x.org\">three</a>");
    ASSERT_TRUE(text);
    EXPECT_FALSE(at(*text, "one").font->bold);
    EXPECT_TRUE(at(*text, "two").font->bold);
    EXPECT_FALSE(at(*text, " ").font->bold);
    EXPECT_FALSE(text->attributesAt(7).link);
    EXPECT_FALSE(text->attributesAt(7).font->bold);
    ASSERT_TRUE(at(*text, "three").link);
    EXPECT_EQ(at(*text, "three").link->target, "https://x.org");
}

TEST(OfflineHTMLConverter, HeadingKeyAndFonts)
{
    const auto text = convert("<h2>Title</h2>body <code>x</code><i>z</i>");
    ASSERT_TRUE(text);
    EXPECT_EQ(at(*text, "Title").heading, 2);
    EXPECT_EQ(at(*text, "\n").heading, 2);
    EXPECT_EQ(at(*text, "body").heading, 0);
    EXPECT_EQ(at(*text, "Title").font->pointSize, 12.0);
    EXPECT_TRUE(at(*text, "x").font->monospace);
    EXPECT_TRUE(at(*text, "z").font->italic);
    EXPECT_FALSE(at(*text, "z").font->monospace);
}

TEST(OfflineHTMLConverter, Lists)
{
    const auto text = convert("<ol start=3><li>a<li>b<br>c</ol>");
    ASSERT_TRUE(text);
    const auto& a = at(*text, "a");
    const auto& b = at(*text, "b");
    const auto& c = at(*text, "c");
    ASSERT_EQ(a.paragraphStyle->textLists.size(), 1);
    EXPECT_EQ(a.paragraphStyle->textLists[0]->startingItemNumber, 3);
    EXPECT_EQ(a.paragraphStyle->textLists[0]->markerFormat, AttributedText::ListMarkerFormat::decimal);
    EXPECT_EQ(a.paragraphStyle->textLists[0], c.paragraphStyle->textLists[0]);
    EXPECT_NE(a.listItem, b.listItem);
    EXPECT_EQ(b.listItem, c.listItem);

    struct Case {
        const char* name;
        const char* html;
        bool converts;
    };
    const Case cases[] = {
        {"start not a number", "<ol start=x><li>a</ol>", false},
        {"start empty", "<ol start=\"\"><li>a</ol>", false},
        {"start too large", "<ol start=1000000000><li>a</ol>", false},
        {"start largest", "<ol start=999999999><li>a</ol>", true},
        {"value in ul ignored", "<ul><li value=zz>a</ul>", true},
        {"value bad in ol", "<ol><li value=zz>a</ol>", false},
        {"negative zero", "<ol start=-0><li>a</ol>", true},
    };
    for (const Case& k : cases)
        EXPECT_EQ(convert(k.html).has_value(), k.converts) << k.name;

    const auto value = convert("<ol><li>a<li value=\"+5\">b</ol>");
    ASSERT_TRUE(value);
    EXPECT_EQ(at(*value, "b").listItem->numberOverride, 5);
    EXPECT_FALSE(at(*value, "a").listItem->numberOverride);
}

TEST(OfflineHTMLConverter, NestedAndEmptyItems)
{
    const auto text = convert("<ul><li><ul><li>inner</li></ul></li><li></li></ul>");
    ASSERT_TRUE(text);
    EXPECT_EQ(text->string(), "\ninner\n\n");
    const auto& first = text->attributesAt(0);
    EXPECT_TRUE(first.listItem);
    EXPECT_EQ(first.paragraphStyle->textLists.size(), 1);
    const auto& inner = at(*text, "inner");
    EXPECT_EQ(inner.paragraphStyle->textLists.size(), 2);
    EXPECT_EQ(inner.paragraphStyle->textLists[0], first.paragraphStyle->textLists[0]);
    const auto& empty = text->attributesAt(text->length() - 1);
    EXPECT_TRUE(empty.listItem);
    EXPECT_NE(empty.listItem, first.listItem);

    const auto loose = convert("<ul>stray<li>x</ul>");
    ASSERT_TRUE(loose);
    EXPECT_FALSE(at(*loose, "stray").listItem);
    EXPECT_EQ(at(*loose, "stray").paragraphStyle->textLists.size(), 1);
}

TEST(OfflineHTMLConverter, Links)
{
    struct Case {
        const char* name;
        const char* html;
        bool linked;
    };
    const Case cases[] = {
        {"https", "<a href='https://a.b/c'>t</a>", true},
        {"mailto upper-case scheme", "<a href='MAILTO:x@y.z'>t</a>", true},
        {"javascript", "<a href='javascript:alert(1)'>t</a>", false},
        {"relative", "<a href='/path'>t</a>", false},
        {"space", "<a href='https://a.b/c d'>t</a>", false},
        {"parenthesis", "<a href='https://a.b/(c)'>t</a>", true},
        {"encoded quote", "<a href='https://a.b/&quot;'>t</a>", true},
        {"apostrophe", "<a href=\"https://a.b/it's\">t</a>", true},
        {"angle bracket", "<a href='https://a.b/&lt;c'>t</a>", false},
        {"backslash", "<a href='https://a.b/\\c'>t</a>", false},
        {"script with parentheses", "<a href='javascript:alert(1)'>t</a>", false},
        {"no href inside link", "<a href='https://a.b'>x<a>t</a></a>", false},
    };
    for (const Case& c : cases) {
        const auto text = convert(c.html);
        ASSERT_TRUE(text) << c.name;
        EXPECT_EQ(at(*text, "t").link.has_value(), c.linked) << c.name;
    }
    const QString longLink = "https://a.b/" + QString(8192 - 12, u'x');
    EXPECT_TRUE(OfflineHTMLConverter::safeLink(longLink));
    EXPECT_FALSE(OfflineHTMLConverter::safeLink(longLink + "x"));
}

TEST(OfflineHTMLConverter, ParagraphAndQuoteStyles)
{
    const auto text = convert("<p><b>bold<p>plain</b></p><blockquote><blockquote>q<br>r</blockquote></blockquote>");
    ASSERT_TRUE(text);
    EXPECT_TRUE(at(*text, "bold").font->bold);
    EXPECT_FALSE(at(*text, "plain").font->bold);
    EXPECT_EQ(at(*text, "q").paragraphStyle->firstLineHeadIndent, 24.0);
    EXPECT_EQ(at(*text, "q").paragraphStyle->headIndent, 0.0);
}

TEST(OfflineHTMLConverter, Limits)
{
    // Exactly 1 MiB is taken, one byte more is not.
    QByteArray big = "<p>x</p>";
    big.append(QByteArray(0x100000 - big.size(), ' '));
    EXPECT_TRUE(OfflineHTMLConverter::convert(big));
    big.append(' ');
    EXPECT_FALSE(OfflineHTMLConverter::convert(big));

    // Each "<b>" and "x" is a token: "x" then 9,999 pairs of "<i>x" make 20,000 tokens... minus one.
    auto tokens = [](int count) {
        QByteArray html = "x";
        for (int i = 1; i < count; ++i)
            html.append(i % 2 ? "<br>" : "x");
        return html;
    };
    EXPECT_TRUE(OfflineHTMLConverter::convert(tokens(20000)));
    EXPECT_FALSE(OfflineHTMLConverter::convert(tokens(20001)));

    auto nested = [](int depth, const char* open) {
        QByteArray html;
        for (int i = 0; i < depth; ++i)
            html.append(open);
        html.append("x");
        return html;
    };
    EXPECT_TRUE(OfflineHTMLConverter::convert(nested(128, "<b>")));
    EXPECT_FALSE(OfflineHTMLConverter::convert(nested(129, "<b>")));
    EXPECT_TRUE(OfflineHTMLConverter::convert(nested(127, "<b>") + "<title>t</title>"));
    EXPECT_FALSE(OfflineHTMLConverter::convert(nested(128, "<b>") + "<title>t</title>"));
}
