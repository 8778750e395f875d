#include "core/richtext/CmarkDocument.h"
#include "core/richtext/MarkdownHtml.h"
#include "core/richtext/MarkdownSerializer.h"
#include "core/richtext/OfflineHTMLConverter.h"
#include "core/richtext/RtfReader.h"

#include "QtPrinters.h"

#include <cmark-gfm.h>

#include <gtest/gtest.h>

#include <memory>
#include <random>

using namespace vellicord;

namespace {

// The Markdown a capture keeps of formatted clipboard content.
QString markdownOf(const char* kind, const char* data)
{
    const std::optional<AttributedText> text = QByteArrayView(kind) == "rtf"
        ? RtfReader::read(QByteArray(data))
        : OfflineHTMLConverter::convert(QByteArray(data));
    return text ? MarkdownSerializer::convert(*text) : QStringLiteral("<nil>");
}

// What a reader of the Markdown sees, as HTML, written on one line: rendered as the application
// renders captures, CommonMark with strikethrough and tables (less the style that keeps a code
// span's white space when an editor pastes it).
QString rendered(const QString& markdown)
{
    return MarkdownHtml::render(markdown)
        .remove(QStringLiteral(" style=\"white-space: pre-wrap\""))
        .trimmed()
        .replace(u'\n', u' ');
}

struct Case {
    const char* name;
    const char* kind; // "html" or "rtf"
    const char* input;
    const char* markdown;
    const char* html; // as the Markdown renders
};

template<size_t n> void expectRendered(const Case (&cases)[n])
{
    for (const Case& c : cases) {
        const QString markdown = markdownOf(c.kind, c.input);
        EXPECT_EQ(markdown, QString::fromUtf8(c.markdown)) << c.name;
        EXPECT_EQ(rendered(markdown), QString::fromUtf8(c.html)) << c.name;
    }
}

TEST(RenderedMarkdown, CapturedRichTextReadsAsThePageShowedIt)
{
    const Case cases[] = {
        // Code spans holding backticks: a longer fence, no backslashes, a space beside an edge backtick.
        {"code with a backtick run", "html", "<code>echo `date`</code>", "`` echo `date` ``",
         "<p><code>echo `date`</code></p>"},
        {"code of double backticks", "html", "<p>x <code>a``b</code></p>", "x ```a``b```",
         "<p>x <code>a``b</code></p>"},
        {"code ending in a backtick", "html", "<code>tick`</code>", "`` tick` ``", "<p><code>tick`</code></p>"},
        {"code with spaces at both ends", "rtf", "{\\rtf1{\\fonttbl{\\f1\\fmodern Courier;}}x\\f1  a \\f0 y}",
         "x`  a  `y", "<p>x<code> a </code>y</p>"},
        {"two code runs side by side are one span", "html", "<code>a</code><kbd><b>b</b></kbd>", "`ab`",
         "<p><code>ab</code></p>"},

        // Neighbouring emphasis shares its markers instead of closing and reopening them.
        {"strong around emphasis and a full stop", "html", "<strong>It <em>works</em>.</strong>", "**It *works*.**",
         "<p><strong>It <em>works</em>.</strong></p>"},
        {"emphasis around strong", "html", "<em>Read <b>this</b> now</em>", "*Read **this** now*",
         "<p><em>Read <strong>this</strong> now</em></p>"},
        {"bold code inside bold text", "html", "<b>Run <code>make</code> now</b>", "**Run `make` now**",
         "<p><strong>Run <code>make</code> now</strong></p>"},
        {"bold around a link", "html", "<b><a href=\"https://a.example/\">here</a>, now</b>",
         "**[here](https://a.example/), now**", "<p><strong><a href=\"https://a.example/\">here</a>, now</strong></p>"},
        {"emphasis inside a link", "html", "<a href=\"https://a.example/\"><b>bold</b> link</a>",
         "[**bold** link](https://a.example/)", "<p><a href=\"https://a.example/\"><strong>bold</strong> link</a></p>"},
        {"bold part of a word", "html", "<b>wor</b>ds", "**wor**ds", "<p><strong>wor</strong>ds</p>"},
        {"emphasis no marker can open gives way, no stars show", "html", "x<b>(y)</b>z", "x(y)z", "<p>x(y)z</p>"},

        // Literal "<" and "&" stay text where CommonMark would read markup; elsewhere untouched.
        {"tag and reference", "html", "Use &lt;div&gt;; 400&amp;percnt;", "Use \\<div>; 400\\&percnt;",
         "<p>Use &lt;div&gt;; 400&amp;percnt;</p>"},
        {"e-mail address in angle brackets", "html", "Anna &lt;anna@example.org&gt;", "Anna \\<anna@example.org>",
         "<p>Anna &lt;anna@example.org&gt;</p>"},
        {"numeric reference", "html", "&amp;#65; is A", "\\&#65; is A", "<p>&amp;#65; is A</p>"},
        {"comparisons stay clean", "html", "a &lt; b &amp;&amp; c &lt;= 5, &lt;3 &amp; AT&amp;T",
         "a < b && c <= 5, <3 & AT&T", "<p>a &lt; b &amp;&amp; c &lt;= 5, &lt;3 &amp; AT&amp;T</p>"},
        {"a tag across two runs", "html", "&lt;<b>div</b>&gt;", "\\<**div**>", "<p>&lt;<strong>div</strong>&gt;</p>"},
        {"exclamation mark before a link", "html", "Wow!<a href=\"https://a.example/\">link</a>",
         "Wow\\![link](https://a.example/)", "<p>Wow!<a href=\"https://a.example/\">link</a></p>"},
        {"asterisk with a combining mark", "html",
         "a *\xcc\x81"
         "b* c",
         "a \\*\xcc\x81"
         "b\\* c",
         "<p>a *\xcc\x81"
         "b* c</p>"},

        // A quote or a paragraph of code ends with an empty line, so the next paragraph stays apart.
        {"paragraph after a quote", "html", "<blockquote><p>Quoted.</p></blockquote><p>After.</p>",
         "> Quoted.\n\nAfter.", "<blockquote> <p>Quoted.</p> </blockquote> <p>After.</p>"},
        {"paragraph after preformatted text", "html", "<pre>make all\nmake test</pre><p>After.</p>",
         "`make all`\n`make test`\n\nAfter.",
         "<p><code>make all</code><br /> <code>make test</code></p> <p>After.</p>"},
        {"quote after a quote stays one", "html", "<blockquote><p>a</p><p>b</p></blockquote>", "> a\n> b",
         "<blockquote> <p>a<br /> b</p> </blockquote>"},
        {"RTF: paragraph after an indented one", "rtf", "{\\rtf1 \\pard\\li720 Quoted\\par\\pard After\\par}",
         "> Quoted\n\nAfter", "<blockquote> <p>Quoted</p> </blockquote> <p>After</p>"},

        // Addresses with parentheses and quotation marks are kept, percent-encoded.
        {"parentheses in an address", "html", "<a href=\"https://en.wikipedia.org/wiki/Mercury_(planet)\">Mercury</a>",
         "[Mercury](https://en.wikipedia.org/wiki/Mercury_%28planet%29)",
         "<p><a href=\"https://en.wikipedia.org/wiki/Mercury_%28planet%29\">Mercury</a></p>"},
        {"quotation mark in an address", "html", "<a href='https://a.example/?q=\"x\"'>q</a>",
         "[q](https://a.example/?q=%22x%22)", "<p><a href=\"https://a.example/?q=%22x%22\">q</a></p>"},
        {"reference in an address", "html", "<a href=\"https://a.example/?x=1&amp;copy=2\">c</a>",
         "[c](https://a.example/?x=1&copy=2)", "<p><a href=\"https://a.example/?x=1&amp;copy=2\">c</a></p>"},
        {"reference with semicolon in an address", "html", "<a href=\"https://a.example/?a&amp;copy;\">c</a>",
         "[c](https://a.example/?a&amp;copy;)", "<p><a href=\"https://a.example/?a&amp;copy;\">c</a></p>"},
        {"script address still refused", "html", "<a href=\"javascript:alert(1)\">x</a>", "x", "<p>x</p>"},

        // RTF: line breaks are hard line breaks; link fields of other schemes are refused.
        {"RTF line break", "rtf", "{\\rtf1 one\\line two\\par}", "one\\\ntwo", "<p>one<br /> two</p>"},
        {"RTF line break in bold", "rtf", "{\\rtf1 \\b one\\line two\\b0\\par}", "**one\\\ntwo**",
         "<p><strong>one<br /> two</strong></p>"},
        {"RTF line break in a quote", "rtf", "{\\rtf1 \\pard\\li720 a\\line b\\par}", "> a\\\n> b",
         "<blockquote> <p>a<br /> b</p> </blockquote>"},
        {"RTF line breaks at the edges of a paragraph", "rtf", "{\\rtf1 \\line a\\line\\par}", "a", "<p>a</p>"},
        {"RTF line break in code", "rtf", "{\\rtf1{\\fonttbl{\\f1\\fmodern Courier;}}\\f1 a\\line b\\par}",
         "`a`\\\n`b`", "<p><code>a</code><br /> <code>b</code></p>"},
        {"RTF script link", "rtf", "{\\rtf1{\\field{\\*\\fldinst{HYPERLINK \"javascript:alert(1)\"}}{\\fldrslt x}}}",
         "x", "<p>x</p>"},
        {"RTF file link", "rtf", "{\\rtf1{\\field{\\*\\fldinst{HYPERLINK \"file:///etc/passwd\"}}{\\fldrslt x}}}", "x",
         "<p>x</p>"},
        {"RTF web link", "rtf", "{\\rtf1{\\field{\\*\\fldinst{HYPERLINK \"HTTPS://a.example/\"}}{\\fldrslt x}}}",
         "[x](HTTPS://a.example/)", "<p><a href=\"HTTPS://a.example/\">x</a></p>"},
    };
    expectRendered(cases);
}

TEST(RenderedMarkdown, PageTextStaysTextAndStructureStaysStructure)
{
    const Case cases[] = {
        // Text at the start of a line that a reader would take for the start of a block.
        {"setext dashes", "html", "<p>intro</p><p>---</p><p>after</p>", "intro\n\\---\nafter",
         "<p>intro<br /> ---<br /> after</p>"},
        {"setext equals signs", "html", "<p>Title</p><p>===</p>", "Title\n\\===", "<p>Title<br /> ===</p>"},
        {"thematic break with blanks", "html", "<p>a</p><p>-- --</p>", "a\n\\-- --", "<p>a<br /> -- --</p>"},
        {"tilde fence", "html", "<p>~~~ x</p><p>more</p>", "\\~\\~\\~ x\nmore", "<p>~~~ x<br /> more</p>"},
        {"two tilde fences", "html", "<p>~~~a</p><p>~~~'b</p>", "\\~\\~\\~a\n\\~\\~\\~'b", "<p>~~~a<br /> ~~~'b</p>"},
        {"hashes", "html", "<p>### Not a heading</p>", "\\### Not a heading", "<p>### Not a heading</p>"},
        {"a year and a full stop", "html", "<p>1984. by George Orwell</p>", "1984\\. by George Orwell",
         "<p>1984. by George Orwell</p>"},
        {"a number and a parenthesis", "html", "<p>1) first</p>", "1\\) first", "<p>1) first</p>"},
        {"dash, plus, greater-than", "html", "<p>- x</p><p>+ x</p><p>&gt; x</p>", "\\- x\n\\+ x\n\\> x",
         "<p>- x<br /> + x<br /> &gt; x</p>"},
        {"dash after a line break", "html", "line<br>- dash", "line\n\\- dash", "<p>line<br /> - dash</p>"},
        {"dash after a hard line break", "rtf", "{\\rtf1 one\\line - two\\par}", "one\\\n\\- two",
         "<p>one<br /> - two</p>"},
        {"table rows", "html", "<p>| a | b |</p><p>|---|---|</p>", "| a | b |\n\\|---|---|",
         "<p>| a | b |<br /> |---|---|</p>"},
        {"one-column delimiter row", "html", "<p>x</p><p>:-:</p>", "x\n\\:-:", "<p>x<br /> :-:</p>"},
        {"list item text", "html", "<ul><li>- x</li><li>1. y</li></ul>", "- \\- x\n- 1\\. y",
         "<ul> <li>- x</li> <li>1. y</li> </ul>"},
        {"quote text", "html", "<blockquote>&gt; x</blockquote>", "> \\> x",
         "<blockquote> <p>&gt; x</p> </blockquote>"},
        {"indented text is no code block", "rtf", "{\\rtf1 \\pard     indented\\par}", "indented", "<p>indented</p>"},
        {"nor a heading first in a nested item", "html", "<ol><li><ol><li><h1>one</h1></li></ol></li></ol>",
         "1. \n    1. # one", "<ol> <li> <ol> <li> <h1>one</h1> </li> </ol> </li> </ol>"},
        {"nor what follows white space first in an item", "html",
         "<ol><li><pre>&#9;</pre><pre>x</pre><ol start=\"3\"><li>y</li></ol></li></ol>", "1. \n    `x`\n\n    3. y",
         "<ol> <li> <p><code>x</code></p> <ol start=\"3\"> <li>y</li> </ol> </li> </ol>"},
        {"nor a list right inside a list", "html", "<p>x</p><ol><ol start=\"3\"><li>y</li></ol></ol>", "x\n\n3. y",
         "<p>x</p> <ol start=\"3\"> <li>y</li> </ol>"},
        // Tildes that could pair strike nothing through; a heading keeps a closing run of "#".
        {"tildes in opening hours", "html", "<p>Open 9~17 daily, closed 1~2 Jan</p>",
         "Open 9\\~17 daily, closed 1\\~2 Jan", "<p>Open 9~17 daily, closed 1~2 Jan</p>"},
        {"double tildes", "html", "<p>a ~~b~~ c</p>", "a \\~\\~b\\~\\~ c", "<p>a ~~b~~ c</p>"},
        {"tildes inside emphasis", "html", "<p><b>a ~</b> b <i>~~~ c</i></p>", "**a \\~** b *\\~\\~\\~ c*",
         "<p><strong>a ~</strong> b <em>~~~ c</em></p>"},
        {"heading ending in hashes", "html", "<h3>Issue ###</h3>", "### Issue \\###", "<h3>Issue ###</h3>"},
        {"heading of a hash alone", "html", "<h2>#</h2>", "## \\#", "<h2>#</h2>"},
        // Every block element of HTML is a paragraph of its own: its words stay apart.
        {"block elements", "html",
         "<dl><dt>Term</dt><dd>Definition</dd></dl><details><summary>Summary</summary>Details</details>"
         "<figure>Figure<figcaption>Caption</figcaption></figure><nav>Nav</nav><aside>Aside</aside>"
         "<address>Address</address><fieldset><legend>Legend</legend>Field</fieldset><hgroup>Group</hgroup>"
         "<search>Search</search><menu><li>Item</li></menu>",
         "Term\nDefinition\nSummary\nDetails\nFigure\nCaption\nNav\nAside\nAddress\nLegend\nField\nGroup\nSearch\nItem",
         "<p>Term<br /> Definition<br /> Summary<br /> Details<br /> Figure<br /> Caption<br /> Nav<br /> Aside<br /> "
         "Address<br /> Legend<br /> Field<br /> Group<br /> Search<br /> Item</p>"},

        // Controls: ordinary text stays clean, and real structure stays structure.
        {"ordinary text", "html", "<p>3.14 is pi, a - b = c, C# and F#, x ~ y, #tag, -5, +1, 1)x, a|b, ~~~</p>",
         "3.14 is pi, a - b = c, C# and F#, x ~ y, #tag, -5, +1, 1)x, a|b, ~~~",
         "<p>3.14 is pi, a - b = c, C# and F#, x ~ y, #tag, -5, +1, 1)x, a|b, ~~~</p>"},
        {"a heading with a hash inside", "html", "<h1>C# in 2024</h1>", "# C# in 2024", "<h1>C# in 2024</h1>"},
        {"emphasis at the start of a line", "html", "<p><b>- bold</b> text</p>", "**- bold** text",
         "<p><strong>- bold</strong> text</p>"},
        {"tildes in code", "html", "<p><code>~~x~~</code></p>", "`~~x~~`", "<p><code>~~x~~</code></p>"},
        {"heading, list, quote and emphasis", "html",
         "<h2>Real</h2><ol><li>one</li><li>two</li></ol><blockquote>quoted</blockquote><p><em>em</em> and "
         "<b>bold</b></p>",
         "## Real\n\n1. one\n2. two\n\n> quoted\n\n*em* and **bold**",
         "<h2>Real</h2> <ol> <li>one</li> <li>two</li> </ol> <blockquote> <p>quoted</p> </blockquote> <p><em>em</em> "
         "and <strong>bold</strong></p>"},
    };
    expectRendered(cases);
}

// What a reader sees of one paragraph, character by character (white space left out): the
// character with the emphasis, code and link it is shown with.
struct Reading {
    QString characters;
    std::vector<unsigned> looks;
    friend bool operator==(const Reading&, const Reading&) = default;
};
enum Look : unsigned { strong = 1, emphasis = 2, code = 4, link = 8 };

void add(Reading& reading, const QString& text, unsigned look)
{
    for (QChar c : text) {
        if (!c.isSpace()) {
            reading.characters += c;
            reading.looks.push_back(look);
        }
    }
}

Reading readBack(const QString& markdown)
{
    const CmarkDocument document(markdown);
    const std::unique_ptr<cmark_iter, void (*)(cmark_iter*)> it(cmark_iter_new(document.root()), cmark_iter_free);
    Reading reading;
    int depth[4] = {};
    for (cmark_event_type event; (event = cmark_iter_next(it.get())) != CMARK_EVENT_DONE;) {
        cmark_node* node = cmark_iter_get_node(it.get());
        const int step = event == CMARK_EVENT_ENTER ? 1 : -1;
        switch (cmark_node_get_type(node)) {
        case CMARK_NODE_STRONG: depth[0] += step; break;
        case CMARK_NODE_EMPH: depth[1] += step; break;
        case CMARK_NODE_LINK: depth[3] += step; break;
        case CMARK_NODE_TEXT:
        case CMARK_NODE_CODE: {
            const unsigned look = (depth[0] > 0 ? strong : 0u) | (depth[1] > 0 ? emphasis : 0u)
                | (cmark_node_get_type(node) == CMARK_NODE_CODE ? code : 0u) | (depth[3] > 0 ? link : 0u);
            add(reading, QString::fromUtf8(cmark_node_get_literal(node)), look);
            break;
        }
        case CMARK_NODE_HTML_INLINE:
        case CMARK_NODE_IMAGE: add(reading, QStringLiteral("\u2639"), 0); break; // markup the text turned into
        default: break;
        }
    }
    return reading;
}

TEST(RenderedMarkdown, RandomRunsReadBackAsWritten)
{
    // Runs of text next to each other with every mix of emphasis, code and links, and the
    // characters that matter to CommonMark (with strikethrough and tables) at their edges and at
    // the start of a line after a hard break. A reader must see exactly the text;
    // every character shown with emphasis must have it, and emphasis may only give way where no
    // marker sequence can say it.
    const QStringList pieces{"a",      "word", "x",  " ",     " ",  "(",      ")",      ".",       ",",
                             "!",      "\"",   "*",  "_",     "`",  "``",     "[",      "]",       "\\",
                             "<",      "<b",   "&",  "&amp;", "#",  "\u00A0", "\u00E9", "e\u0301", "\U0001F600",
                             "\u2028", "~",    "~~", "~~~",   "- ", "1. ",    "|-|",    ">",       "==="};
    const QStringList targets{"https://a.example/", "https://b.example/(x)", "mailto:m@a.example"};
    std::mt19937 random(13);
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    qsizetype emphasised = 0, kept = 0;
    for (int round = 0; round < 3000; ++round) {
        AttributedText text;
        Reading expected;
        text.append(u"Start ", AttributedText::Attributes{AttributedText::Font::system(12)});
        add(expected, QStringLiteral("Start"), 0);
        for (int runs = 1 + pick(5); runs > 0; --runs) {
            QString run;
            for (int n = 1 + pick(3); n > 0; --n)
                run += pieces[pick(int(pieces.size()))];
            const bool mono = pick(4) == 0;
            AttributedText::Attributes attributes;
            attributes.font = mono ? AttributedText::Font::monospacedSystem(12) : AttributedText::Font::system(12);
            attributes.font->bold = pick(2) == 0;
            attributes.font->italic = pick(3) == 0;
            if (pick(4) == 0)
                attributes.link = AttributedText::Link{AttributedText::Link::Kind::url, targets[pick(3)]};
            text.append(run, attributes);
            const bool linked = attributes.link && !run.trimmed().isEmpty();
            add(expected, QString(run).replace(QChar(0x2028), u' '),
                (mono ? unsigned(code) : 0u) | (attributes.font->bold ? strong : 0u)
                    | (attributes.font->italic ? emphasis : 0u) | (linked ? unsigned(link) : 0u));
        }
        const QString markdown = MarkdownSerializer::convert(text);
        const Reading seen = readBack(markdown);
        ASSERT_EQ(seen.characters, expected.characters) << markdown.toStdString();
        for (size_t i = 0; i < seen.looks.size(); ++i) {
            const unsigned want = expected.looks[i], got = seen.looks[i];
            const unsigned emphasisBits = strong | emphasis;
            ASSERT_EQ(got & ~emphasisBits, want & ~emphasisBits) << i << " in " << markdown.toStdString();
            // Code keeps the emphasis around it only when its own font has it too.
            ASSERT_EQ(got & emphasisBits & ~want, 0u) << i << " in " << markdown.toStdString();
            if (!(want & code) && (want & emphasisBits)) {
                ++emphasised;
                kept += (got & emphasisBits) == (want & emphasisBits);
            }
        }
    }
    // Emphasis gives way only at the few places CommonMark cannot express.
    EXPECT_GT(double(kept) / double(emphasised), 0.9) << kept << " of " << emphasised;
}

} // namespace
