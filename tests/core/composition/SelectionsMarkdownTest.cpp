#include "core/composition/SelectionsMarkdown.h"

#include "CompositionFixtures.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace vellicord {
namespace {

using namespace testing;

Selection at(const QString& markdown, const QDateTime& createdAt, const QString& app = QStringLiteral("Safari"))
{
    Selection s = capture({QStringLiteral("text"), markdown, app});
    s.createdAt = createdAt;
    return s;
}

const QDateTime march5 = QDateTime(QDate(2026, 3, 5), QTime(9, 7), Qt::UTC);

TEST(SelectionsMarkdownTest, DocumentRunsOldestFirst)
{
    const Selection newest = at(QStringLiteral("new"), march5.addDays(1));
    const Selection sameA = at(QStringLiteral("same a"), march5, QStringLiteral("Notes"));
    const Selection sameB = at(QStringLiteral(" same b\n"), march5);
    EXPECT_EQ(SelectionsMarkdown::document({newest, sameA, sameB}).markdown,
              QStringLiteral("## Notes \u00B7 2026-03-05 09:07\n\nsame a\n\n---\n\n"
                             "## Safari \u00B7 2026-03-05 09:07\n\n same b\n\n\n---\n\n"
                             "## Safari \u00B7 2026-03-06 09:07\n\nnew"));
    EXPECT_EQ(SelectionsMarkdown::document({}).markdown, QString());
    EXPECT_EQ(SelectionsMarkdown::single(sameB).markdown, QStringLiteral(" same b\n"));
}

// What an editor that pastes formatted text gets of each capture: one of plain text as its
// characters and lines, whatever Markdown would make of them; Markdown rendered, its lines and the
// indentation of its code kept.
TEST(SelectionsMarkdownTest, HtmlShowsEachCaptureAsCaptured)
{
    const Selection terminal = capture({QStringLiteral("print(__name__)\n# x\n<b>x</b> *x*")});
    EXPECT_EQ(SelectionsMarkdown::document({at(QStringLiteral("one\n**two**\n`    if x:`"), march5), terminal}).html,
              QStringLiteral("<h2>Safari \u00B7 2026-03-05 09:07</h2>\n<p>one<br />\n<strong>two</strong><br />\n"
                             "<code style=\"white-space: pre-wrap\">    if x:</code></p>\n<hr />\n"
                             "<h2>Safari \u00B7 2026-03-05 09:07</h2>\n<p style=\"white-space: pre-wrap\">"
                             "print(__name__)<br /># x<br />&lt;b&gt;x&lt;/b&gt; *x*</p>\n"));
    // A Markdown equal to the text, held apart from it, is no Markdown either.
    Selection apart = terminal;
    apart.markdown = Utf8Text(terminal.text.toString());
    ASSERT_FALSE(apart.markdown.isSharedWith(apart.text));
    EXPECT_EQ(SelectionsMarkdown::single(apart).html, SelectionsMarkdown::single(terminal).html);
}

// Sets the process time zone for the life of the object.
class TimeZoneScope {
public:
    explicit TimeZoneScope(const char* zone)
    {
        setenv("TZ", zone, 1);
        tzset();
    }
    ~TimeZoneScope()
    {
        setenv("TZ", "UTC", 1);
        tzset();
    }
};

TEST(SelectionsMarkdownTest, HeadingUsesLocalTime)
{
    TimeZoneScope zone("America/New_York");
    const Selection s = at(QStringLiteral("x"), QDateTime(QDate(2026, 3, 5), QTime(14, 7), Qt::UTC));
    EXPECT_EQ(SelectionsMarkdown::document({s}).markdown, QStringLiteral("## Safari \u00B7 2026-03-05 09:07\n\nx"));
}

TEST(SelectionsMarkdownTest, FromSourceHeading)
{
    const Selection s = at(QStringLiteral("x"), march5);
    struct Case {
        const char* name;
        SourceIdentity source;
        QString heading;
    } const cases[] = {
        {"page address before file path",
         {QStringLiteral("https://a.example/"), QStringLiteral("Safari"), std::nullopt,
          QStringLiteral("https://a.example/"), QStringLiteral("/tmp/file")},
         QStringLiteral("# https://a.example/")},
        {"file path", {QStringLiteral("/tmp/file"), QStringLiteral("Preview"), std::nullopt, std::nullopt, QStringLiteral("/tmp/file")},
         QStringLiteral("# /tmp/file")},
        {"application", {QStringLiteral("Notes"), QStringLiteral("Notes"), std::nullopt, std::nullopt, std::nullopt},
         QStringLiteral("# Notes")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SelectionsMarkdown::fromSource({}, c.source).markdown, c.heading) << c.name;
        EXPECT_EQ(SelectionsMarkdown::fromSource({s}, c.source).markdown,
                  c.heading + QStringLiteral("\n\n---\n\n## Safari \u00B7 2026-03-05 09:07\n\nx"))
            << c.name;
    }
}

} // namespace
} // namespace vellicord
