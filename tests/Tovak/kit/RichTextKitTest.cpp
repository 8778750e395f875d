#include "Tovak/kit/AttributedDocument.h"
#include "Tovak/kit/BoundedText.h"
#include "Tovak/kit/CappedLabel.h"
#include "Tovak/kit/DateStyles.h"
#include "Tovak/kit/DisplayTextMeasurer.h"
#include "Tovak/kit/TextStyles.h"
#include "core/richtext/MarkdownDisplay.h"

#include <QTextBlock>
#include <QTextDocument>

#include <gtest/gtest.h>

using namespace vellicord;

namespace {

// The dates of one instant (2023-11-14 22:13:20 UTC) as each locale and zone writes them.
TEST(DateStyles, InTheLocaleAndZoneGiven)
{
    using Style = DateStyles::Style;
    const QDateTime instant = QDateTime::fromSecsSinceEpoch(1'700'000'000, QTimeZone::utc());
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    struct Case {
        QLocale locale;
        QTimeZone zone;
        Style date;
        Style time;
        QString written;
    };
    const Case cases[] = {
        {us, QTimeZone::utc(), Style::medium, Style::shortStyle, QStringLiteral("Nov 14, 2023 at 10:13 PM")},
        {us, QTimeZone::utc(), Style::full, Style::medium, QStringLiteral("Tuesday, November 14, 2023 at 10:13:20 PM")},
        {us, QTimeZone(9 * 3600), Style::medium, Style::shortStyle, QStringLiteral("Nov 15, 2023 at 7:13 AM")},
        {us, QTimeZone(-5 * 3600), Style::full, Style::medium,
         QStringLiteral("Tuesday, November 14, 2023 at 5:13:20 PM")},
        {QLocale(QLocale::English, QLocale::UnitedKingdom), QTimeZone::utc(), Style::medium, Style::shortStyle,
         QStringLiteral("14 Nov 2023 at 22:13")},
        {QLocale(QLocale::German, QLocale::Germany), QTimeZone::utc(), Style::full, Style::medium,
         QStringLiteral("Dienstag, 14. November 2023 22:13:20")},
        // The locale of a machine set to no language: its short time has seconds, the style none.
        {QLocale::c(), QTimeZone::utc(), Style::medium, Style::shortStyle, QStringLiteral("14 Nov 2023 22:13")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DateStyles::format(instant, c.date, c.time, c.locale, c.zone), c.written) << qPrintable(c.written);
}

struct Block {
    QString text;
    double leftMargin = 0;
    double textIndent = 0;
    QList<double> tabs;
    // A right-to-left paragraph's indent, and its tab stops, from the right edge.
    double rightMargin = 0;
    QTextOption::TabType tabType = QTextOption::LeftTab;
};

// The display text of Markdown as the passage's document holds it: blocks with their indents and
// tab stops, character formats for fonts, links and strike-through, and captured markup as text.
TEST(AttributedDocument, DisplayTextBecomesBlocksAndFormats)
{
    const DisplayTextMeasurer measurer;
    struct Case {
        const char* name;
        QString markdown;
        QList<Block> blocks;
        QString probe; // a piece of text whose format is checked
        std::function<bool(const QTextCharFormat&)> format;
    };
    const auto at = [](double indent) { return QList<double>{indent}; };
    const Case cases[] = {
        {"heading and paragraph",
         QStringLiteral("# Title\n\nBody"),
         {{QStringLiteral("Title")}, {QString()}, {QStringLiteral("Body")}},
         QStringLiteral("Title"),
         [](const QTextCharFormat& f) { return f.font().bold() && f.font().pixelSize() == 25; }},
        {"nested list",
         QStringLiteral("- one\n  - two\n- three"),
         {{QStringLiteral("\u2022\tone"), 28, -28, at(28)},
          {QStringLiteral("\u2022\ttwo"), 52, -28, at(28)}, // from where the line starts, 24 in
          {QStringLiteral("\u2022\tthree"), 28, -28, at(28)}},
         QStringLiteral("two"),
         [](const QTextCharFormat& f) { return !f.font().bold(); }},
        {"a right-to-left list",
         QStringLiteral("- \u05e9\u05dc\u05d5\u05dd\n  - \u05e2\u05d5\u05dc\u05dd"),
         {{QStringLiteral("\u2022\t\u05e9\u05dc\u05d5\u05dd"), 0, -28, at(28), 28, QTextOption::RightTab},
          {QStringLiteral("\u2022\t\u05e2\u05d5\u05dc\u05dd"), 0, -28, at(28), 52, QTextOption::RightTab}},
         QStringLiteral("\u05e2"),
         [](const QTextCharFormat& f) { return !f.font().bold(); }},
        {"inline code",
         QStringLiteral("run `make`"),
         {{QStringLiteral("run make")}},
         QStringLiteral("make"),
         [](const QTextCharFormat& f) { return f.font().family() == u"DejaVu Sans Mono"; }},
        {"link",
         QStringLiteral("[site](https://example.com/?a=1&b=2)"),
         {{QStringLiteral("site")}},
         QStringLiteral("site"),
         [](const QTextCharFormat& f) {
             return f.isAnchor() && f.anchorHref() == u"https://example.com/?a=1&b=2" && f.fontUnderline();
         }},
        {"strike-through and bold italic",
         QStringLiteral("~~old~~ ***new***"),
         {{QStringLiteral("old new")}},
         QStringLiteral("new"),
         [](const QTextCharFormat& f) { return f.font().bold() && f.font().italic() && !f.fontStrikeOut(); }},
        {"markup is text",
         QStringLiteral("a <b>tag</b> &amp; <img src=\"file:///etc/hosts\">"),
         {{QStringLiteral("a <b>tag</b> & <img src=\"file:///etc/hosts\">")}},
         QStringLiteral("<b>"),
         [](const QTextCharFormat& f) { return !f.isAnchor() && !f.isImageFormat(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<AttributedText> display = MarkdownDisplay::render(c.markdown, measurer);
        ASSERT_TRUE(display);
        QTextDocument document;
        AttributedDocument::fill(document, *display, Qt::blue);
        QList<Block> blocks;
        for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
            QList<double> tabs;
            QTextOption::TabType tabType = QTextOption::LeftTab;
            for (const QTextOption::Tab& tab : block.blockFormat().tabPositions()) {
                tabs.append(tab.position);
                tabType = tab.type;
            }
            const QTextBlockFormat format = block.blockFormat();
            blocks.append(
                {block.text(), format.leftMargin(), format.textIndent(), tabs, format.rightMargin(), tabType});
            EXPECT_EQ(block.blockFormat().bottomMargin(), 4) << qPrintable(block.text());
        }
        ASSERT_EQ(blocks.size(), c.blocks.size());
        for (qsizetype i = 0; i < blocks.size(); ++i) {
            EXPECT_EQ(blocks[i].text, c.blocks[i].text);
            EXPECT_EQ(blocks[i].leftMargin, c.blocks[i].leftMargin) << qPrintable(blocks[i].text);
            EXPECT_EQ(blocks[i].textIndent, c.blocks[i].textIndent) << qPrintable(blocks[i].text);
            EXPECT_EQ(blocks[i].tabs, c.blocks[i].tabs) << qPrintable(blocks[i].text);
            EXPECT_EQ(blocks[i].rightMargin, c.blocks[i].rightMargin) << qPrintable(blocks[i].text);
            EXPECT_EQ(blocks[i].tabType, c.blocks[i].tabType) << qPrintable(blocks[i].text);
        }
        const int position = int(document.toPlainText().indexOf(c.probe));
        ASSERT_GE(position, 0);
        QTextCursor cursor(&document);
        cursor.setPosition(position + 1);
        EXPECT_TRUE(c.format(cursor.charFormat()));
    }
}

// A long address or path keeps its start and its end, "…" between them, within its lines.
TEST(CappedLabel, ElidesInTheMiddleWithinItsLines)
{
    const QString address = QStringLiteral("https://example.com/") + QString(300, u'a') + QStringLiteral("/end.html");
    struct Case {
        QString text;
        int lines;
        bool elided;
    };
    for (const Case& c : {Case{QStringLiteral("https://example.com/short"), 2, false}, Case{address, 2, true},
                          Case{address, 1, true}}) {
        CappedLabel label(c.lines, Qt::AlignLeft | Qt::AlignTop);
        label.setFont(TextStyles::caption());
        label.setElideMode(Qt::ElideMiddle);
        label.resize(240, 100); // a hidden label hears of its size only when shown
        label.setFullText(c.text);
        const QStringList shown = label.text().split(u'\n');
        EXPECT_LE(shown.size(), c.lines) << qPrintable(c.text);
        const QString joined = shown.join(QString());
        EXPECT_EQ(joined.contains(QChar(0x2026)), c.elided) << qPrintable(c.text);
        EXPECT_TRUE(joined.startsWith(u"https://example.com/")) << qPrintable(joined);
        EXPECT_TRUE(joined.endsWith(c.text.right(5))) << qPrintable(joined);
        for (const QString& line : shown)
            EXPECT_LE(label.fontMetrics().horizontalAdvance(line), 240) << qPrintable(line);
    }
}

// A bound that falls inside a surrogate pair leaves the whole pair out.
TEST(BoundedText, NeverCutsASurrogatePair)
{
    struct Case {
        QString text;
        Qt::TextElideMode mode;
        QString shown; // within 8 pixels: 5 units
    };
    for (const Case& c : {Case{QStringLiteral("abcd\U0001F600efgh"), Qt::ElideRight, QStringLiteral("abcd\u2026")},
                          Case{QStringLiteral("abcd\U0001F600012\U0001F600wxyz"), Qt::ElideMiddle,
                               QStringLiteral("abcd\u2026wxyz")},
                          Case{QStringLiteral("abc\U0001F600"), Qt::ElideRight, QStringLiteral("abc\U0001F600")}})
        EXPECT_EQ(BoundedText::forLines(c.text, 8, 1, c.mode), c.shown) << qPrintable(c.text);
}

} // namespace
