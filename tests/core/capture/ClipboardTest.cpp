#include "core/capture/Clipboard.h"

#include "support/FakePasteboard.h"
#include "support/LogRecorder.h"

#include <gtest/gtest.h>

namespace vellicord {
namespace {

TEST(ClipboardTest, SnapshotAndRestoreRoundTrips)
{
    struct Case {
        const char* name;
        QList<PasteboardItem> items;
    };
    const Case cases[] = {
        {"empty clipboard", {}},
        {"text and html",
         {{{QStringLiteral("UTF8_STRING"), QByteArray("plain")},
           {QStringLiteral("text/html"), QByteArray("<b>x</b>")}}}},
        {"binary with NUL bytes", {{{QStringLiteral("application/octet-stream"), QByteArray("\0a\0\0b", 5)}}}},
        {"two items in order",
         {{{QStringLiteral("UTF8_STRING"), QByteArray("first")}, {QStringLiteral("text/html"), QByteArray("<i>1</i>")}},
          {{QStringLiteral("image/png"), QByteArray("\x89PNG", 4)}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakePasteboard pasteboard;
        pasteboard.set(c.items);
        const Clipboard::PasteboardSnapshot snapshot = Clipboard::snapshot(pasteboard);
        EXPECT_TRUE(snapshot.complete);
        EXPECT_EQ(snapshot.items, c.items);
        pasteboard.set({{{QStringLiteral("UTF8_STRING"), QByteArray("copied")}}});
        EXPECT_TRUE(Clipboard::restore(snapshot, pasteboard));
        EXPECT_EQ(pasteboard.items, c.items);
    }
}

TEST(ClipboardTest, SnapshotsThatCannotBeRestoredWhole)
{
    const PasteboardItem item{{QStringLiteral("UTF8_STRING"), QByteArray("a")},
                              {QStringLiteral("image/png"), QByteArray("p")}};
    struct Case {
        const char* name;
        std::function<void(FakePasteboard&)> arrange;
        qsizetype savedItems;
        bool restorable; // an item with no data at all makes the restore refuse
    };
    const Case cases[] = {
        {"owner never answers", [](FakePasteboard& p) { p.answers = false; }, 0, true},
        {"one target never answers", [](FakePasteboard& p) { p.silentTargets = {QStringLiteral("image/png")}; }, 1,
         true},
        {"every target refused",
         [](FakePasteboard& p) {
             p.refusedTargets = {QStringLiteral("UTF8_STRING"), QStringLiteral("image/png")};
         },
         1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakePasteboard pasteboard;
        pasteboard.set({item});
        c.arrange(pasteboard);
        const Clipboard::PasteboardSnapshot snapshot = Clipboard::snapshot(pasteboard);
        EXPECT_FALSE(snapshot.complete);
        EXPECT_EQ(snapshot.items.size(), c.savedItems);
        if (!c.restorable) {
            EXPECT_FALSE(Clipboard::restore(snapshot, pasteboard));
            EXPECT_EQ(pasteboard.writes, 0);
        }
    }
}

TEST(ClipboardTest, RefusedTargetIsSkippedAndTheRestSaved)
{
    FakePasteboard pasteboard;
    pasteboard.set({{{QStringLiteral("UTF8_STRING"), QByteArray("a")}, {QStringLiteral("x-broken"), QByteArray("b")}}});
    pasteboard.refusedTargets = {QStringLiteral("x-broken")};
    const Clipboard::PasteboardSnapshot snapshot = Clipboard::snapshot(pasteboard);
    EXPECT_TRUE(snapshot.complete);
    EXPECT_EQ(snapshot.items, (QList<PasteboardItem>{{{QStringLiteral("UTF8_STRING"), QByteArray("a")}}}));
}

TEST(ClipboardTest, PlainTextPrefersTheStringThenTabularText)
{
    FakePasteboard pasteboard;
    pasteboard.set({{{QStringLiteral("text/tab-separated-values"), QByteArray("a\tb")}}});
    EXPECT_EQ(Clipboard::plainText(pasteboard), u"a\tb");
    pasteboard.set({{{QStringLiteral("text/tab-separated-values"), QByteArray("a\tb")},
                     {QStringLiteral("text/plain;charset=utf-8"), QByteArray(" caf\xc3\xa9 ")}}});
    EXPECT_EQ(Clipboard::plainText(pasteboard), u" caf\u00e9 ");
    pasteboard.set({});
    EXPECT_EQ(Clipboard::plainText(pasteboard), std::nullopt);
}

TEST(ClipboardTest, HtmlSentAsUtf16IsReadAsText)
{
    const QString html = QStringLiteral("<title>T\u00e9</title>");
    QByteArray littleEndian("\xff\xfe", 2);
    littleEndian.append(reinterpret_cast<const char*>(html.utf16()), html.size() * 2);
    QByteArray bigEndian("\xfe\xff", 2);
    for (QChar c : html) {
        bigEndian.append(char(c.unicode() >> 8));
        bigEndian.append(char(c.unicode() & 0xff));
    }
    for (const QByteArray& data : {littleEndian, bigEndian, html.toUtf8()}) {
        FakePasteboard pasteboard;
        pasteboard.set({{{QStringLiteral("text/html"), data}}});
        EXPECT_EQ(Clipboard::htmlData(pasteboard), html.toUtf8());
        EXPECT_EQ(Clipboard::htmlTitle(pasteboard), u"T\u00e9");
    }
}

TEST(ClipboardTest, PageTitles)
{
    struct Case {
        const char* name;
        QString html;
        std::optional<QString> title;
    };
    const Case cases[] = {
        {"plain", QStringLiteral("<html><head><title>Hello</title></head></html>"), QStringLiteral("Hello")},
        {"capitals", QStringLiteral("<TITLE lang=en>Loud</TITLE>"), QStringLiteral("Loud")},
        {"several lines", QStringLiteral("<title>\n  Two\n   lines\t here \n</title>"),
         QStringLiteral("Two lines here")},
        {"missing close tag", QStringLiteral("<title>Open"), std::nullopt},
        {"empty", QStringLiteral("<title>  </title>"), std::nullopt},
        {"no title", QStringLiteral("<p>text</p>"), std::nullopt},
        {"entities", QStringLiteral("<title>A &amp; B &lt;c&gt; &quot;d&quot; &#39;e&#39;</title>"),
         QStringLiteral("A & B <c> \"d\" 'e'")},
        {"ampersand first, then the rest", QStringLiteral("<title>&amp;lt;b&amp;gt; &amp;#39;q&amp;quot;</title>"),
         QStringLiteral("<b> 'q\"")},
        {"escaped ampersand stays one", QStringLiteral("<title>&amp;amp;</title>"), QStringLiteral("&amp;")},
        {"other entities stay", QStringLiteral("<title>&copy; &#169; &nbsp;</title>"),
         QStringLiteral("&copy; &#169; &nbsp;")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Clipboard::parsePageTitle(c.html), c.title);
    }
}

TEST(ClipboardTest, NoTitleSearchInHtmlOverOneMebibyte)
{
    QString html = QStringLiteral("<title>Big</title>");
    html += QString(Clipboard::maxTitleHTMLBytes - html.size(), u'x');
    EXPECT_EQ(Clipboard::parsePageTitle(html), u"Big");
    FakePasteboard pasteboard;
    pasteboard.set({{{QStringLiteral("text/html"), html.toUtf8()}}});
    EXPECT_EQ(Clipboard::htmlTitle(pasteboard), u"Big");

    html += u'x';
    EXPECT_EQ(Clipboard::parsePageTitle(html), std::nullopt);
    pasteboard.set({{{QStringLiteral("text/html"), html.toUtf8()}}});
    EXPECT_EQ(Clipboard::htmlTitle(pasteboard), std::nullopt);
}

TEST(ClipboardTest, FormattedTextFromHtmlElseRtf)
{
    struct Case {
        const char* name;
        PasteboardItem item;
        std::optional<QString> text;
    };
    const Case cases[] = {
        {"html",
         {{QStringLiteral("text/html"), QByteArray("<p>From <b>HTML</b></p>")},
          {QStringLiteral("text/rtf"), QByteArray("{\\rtf1 From RTF}")}},
         QStringLiteral("From HTML")},
        {"html rejected, rtf read",
         {{QStringLiteral("text/html"), QByteArray("<p></p>")},
          {QStringLiteral("application/rtf"), QByteArray("{\\rtf1 From RTF}")}},
         QStringLiteral("From RTF")},
        {"rtf that cannot be read", {{QStringLiteral("text/rtf"), QByteArray("not rtf at all")}}, std::nullopt},
        {"neither", {{QStringLiteral("UTF8_STRING"), QByteArray("plain")}}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakePasteboard pasteboard;
        pasteboard.set({c.item});
        const std::optional<AttributedText> text = Clipboard::richAttributedString(pasteboard);
        EXPECT_EQ(text ? std::optional<QString>(text->string().trimmed()) : std::nullopt, c.text);
    }
}

TEST(ClipboardTest, WritesPlainTextAndMarkdown)
{
    FakePasteboard pasteboard;
    Clipboard::writePlain(QStringLiteral("caf\u00e9"), pasteboard);
    ASSERT_EQ(pasteboard.items.size(), 1);
    EXPECT_EQ(Clipboard::plainText(pasteboard), u"caf\u00e9");

    Clipboard::writeMarkdown({}, pasteboard);
    ASSERT_EQ(pasteboard.items.size(), 1);
    EXPECT_EQ(Clipboard::plainText(pasteboard), u"");
    EXPECT_EQ(Clipboard::htmlData(pasteboard), std::nullopt);

    Clipboard::writeMarkdown({QStringLiteral("**bold**"), QStringLiteral("<p><strong>bold</strong></p>")}, pasteboard);
    EXPECT_EQ(Clipboard::plainText(pasteboard), u"**bold**");
    EXPECT_EQ(Clipboard::htmlData(pasteboard), "<p><strong>bold</strong></p>");
}

// A copy reports whether the clipboard took it, so that "Copied" is never shown for a refusal;
// the refusal is logged and leaves what the clipboard held.
TEST(ClipboardTest, WritesReportWhetherTheClipboardTookThem)
{
    struct Case {
        const char* name;
        bool (*write)(const QString&, Pasteboard&);
        bool accepted;
        const char* logged;
    };
    const auto markdown = [](const QString& text, Pasteboard& pasteboard) {
        return Clipboard::writeMarkdown({text, {}}, pasteboard);
    };
    const Case cases[] = {
        {"plain, taken", Clipboard::writePlain, true, nullptr},
        {"Markdown, taken", markdown, true, nullptr},
        {"plain, refused", Clipboard::writePlain, false, "app: Copy failed: the clipboard did not take the plain text"},
        {"Markdown, refused", markdown, false, "app: Copy failed: the clipboard did not take the Markdown"},
    };
    for (const Case& c : cases) {
        LogRecorder log;
        FakePasteboard pasteboard;
        pasteboard.set({{{QStringLiteral("UTF8_STRING"), QByteArray("before")}}});
        pasteboard.writesSucceed = c.accepted;
        EXPECT_EQ(c.write(QStringLiteral("*new*"), pasteboard), c.accepted) << c.name;
        EXPECT_EQ(Clipboard::plainText(pasteboard), c.accepted ? u"*new*" : u"before") << c.name;
        EXPECT_EQ(log.lines, c.logged ? QStringList{QString::fromUtf8(c.logged)} : QStringList()) << c.name;
    }
}

} // namespace
} // namespace vellicord
