#include "core/library/Selection.h"
#include "core/library/SourceIdentity.h"

#include "support/Records.h"

#include <gtest/gtest.h>

using namespace vellicord;
using vellicord::test::capture;
using vellicord::test::CaptureSpec;

namespace {

const std::optional<QString> none;

TEST(SelectionTest, MarkdownDefaultsToText)
{
    const Selection without(test::uuid(1), QStringLiteral("t"), std::nullopt, QStringLiteral("A"), none, none, none,
                            none, {}, test::at(0));
    EXPECT_EQ(without.markdown, QStringLiteral("t"));
    const Selection empty(test::uuid(1), QStringLiteral("t"), QString(), QStringLiteral("A"), none, none, none, none,
                          {}, test::at(0));
    EXPECT_TRUE(empty.markdown.isEmpty());
}

TEST(SelectionTest, Headline)
{
    const QString longLine(20000, QChar(u'x'));
    const struct {
        const char* name;
        QString text;
        QString headline;
    } cases[] = {
        {"blank lines before, trailing spaces kept", QStringLiteral("\n\n word  \nsecond"), QStringLiteral("word  ")},
        {"crlf keeps the carriage return", QStringLiteral("first\r\nsecond"), QStringLiteral("first\r")},
        {"empty", QString(), QString()},
        {"only white space", QStringLiteral(" \t\n \n"), QString()},
        {"one long line is whole", longLine, longLine},
        {"line separator is not a line break", QStringLiteral("a\u2028b"), QStringLiteral("a\u2028b")},
        {"last line trimmed at the end", QStringLiteral("  word  \n \t "), QStringLiteral("word")},
        {"one line trimmed at the end", QStringLiteral("word \t"), QStringLiteral("word")},
        {"spaces of other kinds before", QStringLiteral("\u00A0\u3000\u2028 word"), QStringLiteral("word")},
        {"only spaces of other kinds after the line", QStringLiteral("word \n\u00A0\u3000"), QStringLiteral("word")},
        {"a character beyond the first plane", QStringLiteral("ab\U0001F600cd\ne"), QStringLiteral("ab\U0001F600cd")},
        {"an unpaired surrogate kept", QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b \n"),
         QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b")},
    };
    for (const auto& c : cases) {
        const Selection s = capture({.text = c.text});
        EXPECT_EQ(s.headline(), c.headline) << c.name;
        // A list row reads a bounded prefix of the same headline.
        for (qsizetype limit : {1, 3, 4, 5, 400})
            EXPECT_EQ(s.headline(limit), c.headline.left(limit)) << c.name << " " << limit;
    }
}

TEST(SelectionTest, SourceLabelAndDetail)
{
    const QString url = QStringLiteral("https://example.com/page");
    const QString path = QStringLiteral("/home/me/notes.md");
    const struct {
        const char* name;
        CaptureSpec spec;
        std::optional<QString> label;
        std::optional<QString> detail;
    } cases[] = {
        {"title trimmed", {.sourceURL = url, .sourceTitle = QStringLiteral("  Title  ")}, QStringLiteral("Title"), url},
        {"blank title falls back to address", {.sourceURL = url, .sourceTitle = QStringLiteral("   ")}, url, url},
        {"path only", {.filePath = path}, path, path},
        {"address and path: address wins", {.sourceURL = url, .filePath = path}, url, url},
        {"nothing: not the app name", {}, none, none},
        {"title without address", {.sourceTitle = QStringLiteral("T")}, QStringLiteral("T"), none},
    };
    for (const auto& c : cases) {
        const Selection s = capture(c.spec);
        EXPECT_EQ(s.sourceLabel(), c.label) << c.name;
        EXPECT_EQ(s.sourceDetail(), c.detail) << c.name;
    }
}

TEST(SelectionTest, SourceIdentity)
{
    const QString url = QStringLiteral("https://example.com/page");
    const QString path = QStringLiteral("/home/me/notes.md");
    const struct {
        const char* name;
        CaptureSpec spec;
        QString identifier;
        std::optional<QString> sourceURL;
        std::optional<QString> filePath;
        std::optional<QString> detail;
    } cases[] = {
        {"address and path", {.appName = QStringLiteral("Browser"), .sourceURL = url, .filePath = path}, url, url, none,
         QStringLiteral("Web \u00B7 Browser")},
        {"empty path", {.appName = QStringLiteral("Editor"), .filePath = QString()}, QString(), none, QString(),
         QStringLiteral("Document \u00B7 Editor")},
        {"path", {.appName = QStringLiteral("Editor"), .filePath = path}, path, none, path,
         QStringLiteral("Document \u00B7 Editor")},
        {"neither", {.appName = QStringLiteral("Terminal"), .bundleID = QStringLiteral("org.term")},
         QStringLiteral("Terminal"), none, none, none},
    };
    for (const auto& c : cases) {
        const SourceIdentity identity = capture(c.spec).sourceIdentity();
        EXPECT_EQ(identity.identifier, c.identifier) << c.name;
        EXPECT_EQ(identity.display(), c.identifier) << c.name;
        EXPECT_EQ(identity.sourceURL, c.sourceURL) << c.name;
        EXPECT_EQ(identity.filePath, c.filePath) << c.name;
        EXPECT_EQ(identity.detail(), c.detail) << c.name;
        EXPECT_EQ(identity.appName, c.spec.appName) << c.name;
        EXPECT_EQ(identity.bundleID, c.spec.bundleID) << c.name;
    }
}

TEST(SelectionTest, IdentityOrderIgnoresCase)
{
    const SourceIdentity upper = capture({.appName = QStringLiteral("Notes")}).sourceIdentity();
    const SourceIdentity lower = capture({.appName = QStringLiteral("notes")}).sourceIdentity();
    const SourceIdentity other = capture({.appName = QStringLiteral("mail")}).sourceIdentity();
    EXPECT_FALSE(upper < lower);
    EXPECT_FALSE(lower < upper);
    EXPECT_TRUE(upper <= lower && upper >= lower);
    EXPECT_FALSE(upper == lower);
    EXPECT_TRUE(other < upper); // "mail" before "Notes": letters, not code points
}

TEST(SelectionTest, Equality)
{
    const Selection base = capture({.text = QStringLiteral("caf\u00E9")});
    Selection decomposed = base;
    decomposed.text = QStringLiteral("cafe\u0301");
    decomposed.markdown = decomposed.text;
    EXPECT_EQ(base, decomposed);
    EXPECT_EQ(qHash(base), qHash(decomposed));

    Selection a = base, b = base;
    a.groupIDs = {test::uuid(1), test::uuid(2)};
    b.groupIDs = {test::uuid(2), test::uuid(1)};
    EXPECT_NE(a, b) << "group order matters";

    Selection emptyTitle = base;
    emptyTitle.sourceTitle = QString();
    EXPECT_NE(base, emptyTitle) << "absent differs from empty";

    Selection later = base;
    later.createdAt = base.createdAt.addMSecs(1);
    EXPECT_NE(base, later);
}

} // namespace
