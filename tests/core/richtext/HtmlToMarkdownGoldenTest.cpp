#include "core/richtext/MarkdownSerializer.h"
#include "core/richtext/OfflineHTMLConverter.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace vellicord;

namespace {

// Clipboard HTML as a browser, an office suite and a mail client write it.
struct Sample {
    const char* name;
    const char* html;
    const char* markdown;
};

const Sample samples[] = {
    {"browser fragment: headings, emphasis, value restart, nested list, pre, quote, emoji",
     R"x(<html>
<body>
<!--StartFragment--><h1 style="color: rgb(0,0,0);">Release notes</h1><p>Version <b>2.0 </b>brings <a href="https://example.com/changes?a=1&amp;b=2">many changes</a> &amp; fixes&nbsp;&mdash; see <code>config.yml</code>.</p><h2>Steps</h2><ol start="3"><li>Open the <em>Settings</em> pane</li><li value="7">Choose <strong>Advanced</strong><ul><li>Nested bullet</li><li>Another with <a href="javascript:alert(1)">bad link</a></li></ul></li><li>Done</li></ol><pre><code>line one
  indented &lt;tag&gt;
</code></pre><blockquote><p>Quoted *text*</p></blockquote><p>Emoji &#x1F600;<b>&#128077;&#127997;</b> end</p><!--EndFragment-->
</body>
</html>
)x",
     R"x(# Release notes
Version **2.0** brings [many changes](https://example.com/changes?a=1&b=2) & fixes — see `config.yml`.

## Steps

3. Open the *Settings* pane

<!-- -->

7. Choose **Advanced**
    - Nested bullet
    - Another with bad link
8. Done

`line one`
`  indented <tag>`

> Quoted \*text\*

Emoji 😀**👍🏽** end)x"},
    {"office suite: head and style dropped, paragraphs in items, continuation, table",
     R"x(<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.0 Transitional//EN">
<html><head><meta http-equiv="content-type" content="text/html; charset=utf-8"/><title></title><meta name="generator" content="LibreOffice 7.4"/><style type="text/css">@page { size: 8.5in 11in } p { line-height: 115% }</style></head>
<body lang="en-US" dir="ltr"><h2 class="western">Quarterly <i>plan</i></h2>
<p style="margin-bottom: 0in; line-height: 100%">Some <font face="Liberation Mono, monospace"><font size="2" style="font-size: 10pt">mono_text</font></font> and <span style="font-weight:bold">styled</span> text</p>
<ul><li><p style="margin-bottom: 0in">First</p></li><li><p>Second</p><p>More of second</p><ul><li><p>Deep</p></li></ul></li></ul>
<ol><li><p>one</p></li><li><p>two</p></li></ol>
<table><tr><td><p>Cell A</p></td><td><p>Cell B</p></td></tr><tr><td>C</td><td>D</td></tr></table>
</body></html>
)x",
     R"x(## Quarterly plan
Some mono\_text and styled text

- First
- Second

  More of second
  - Deep

<!-- -->

1. one
2. two

Cell A
Cell B
C D)x"},
    {"mail client: conditional comments, Office list paragraph, reply quote, links by scheme",
     R"x(<html xmlns:o="urn:schemas-microsoft-com:office:office"><head><!--[if gte mso 9]><xml><o:OfficeDocumentSettings></o:OfficeDocumentSettings></xml><![endif]--><style><!-- p.MsoNormal {margin:0cm;} --></style></head>
<body><div class="WordSection1"><p class="MsoNormal">Hi Anna,<o:p></o:p></p><p class="MsoNormal"><o:p>&nbsp;</o:p></p>
<p class="MsoListParagraph"><![if !supportLists]><span>1.<span style="font:7.0pt">&nbsp;&nbsp;&nbsp; </span></span><![endif]>Send the <b>draft</b> by Friday<o:p></o:p></p>
<p class="MsoNormal">Thanks &amp; regards,<br>Ben<o:p></o:p></p>
<div style="border-top:solid #E1E1E1 1.0pt"><p class="MsoNormal"><b>From:</b> Anna &lt;anna@example.org&gt;<br><b>Sent:</b> Monday</p></div>
<blockquote type="cite"><div>Earlier message with <a href="mailto:anna@example.org">mail link</a> and <a href="https://example.org/a b">bad link</a></div></blockquote>
</div></body></html>
)x",
     R"x(Hi Anna,
1\. Send the **draft** by Friday
Thanks & regards,
Ben
**From:** Anna \<anna@example.org>
**Sent:** Monday
> Earlier message with [mail link](mailto:anna@example.org) and bad link)x"},
};

} // namespace

TEST(HtmlToMarkdown, ClipboardSamples)
{
    for (const Sample& sample : samples) {
        const auto text = OfflineHTMLConverter::convert(QByteArray(sample.html));
        ASSERT_TRUE(text) << sample.name;
        EXPECT_EQ(MarkdownSerializer::convert(*text), QString::fromUtf8(sample.markdown)) << sample.name;
    }
}

TEST(HtmlToMarkdown, CarriageReturnsInCode)
{
    const auto text = OfflineHTMLConverter::convert("<p>x</p><pre>a\r\nb\r\n</pre><code>c\r\nd</code>");
    ASSERT_TRUE(text);
    EXPECT_EQ(MarkdownSerializer::convert(*text), "x\n`a`\n`b`\n\n`c d`");
}
