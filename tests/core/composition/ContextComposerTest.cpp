#include "core/composition/ContextComposer.h"

#include "CompositionFixtures.h"
#include "core/foundation/Text.h"
#include "core/library/TokenEstimator.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

#include <random>

namespace vellicord {
namespace {

using namespace testing;
using ContextComposer::compose;

struct LanguageCase {
    const char* name;
    QString text;
    std::optional<QString> language;
};

TEST(ContextComposerTest, DetectsCodeLanguage)
{
    const LanguageCase cases[] = {
        {"json object holding an array", QStringLiteral("{\"a\": [1, 2]}"), QStringLiteral("json")},
        {"json array", QStringLiteral("  [1, 2, {\"b\": 3}]\n"), QStringLiteral("json")},
        {"json object of one number is no code", QStringLiteral("{\"a\": 1}"), std::nullopt},
        {"json with trailing garbage", QStringLiteral("[1, 2] [3]"), std::nullopt},
        {"integer beyond 64 bits", QStringLiteral("{\"id\": 123456789012345678901234, \"v\": [1]}"),
         QStringLiteral("json")},
        {"exponent beyond a double", QStringLiteral("{\"a\": [1e400, -2.5E-400, 0]}"), QStringLiteral("json")},
        {"leading zero is no number", QStringLiteral("[[01], 2]"), std::nullopt},
        {"fraction without digits", QStringLiteral("[[1.], 2]"), std::nullopt},
        {"plus sign is no number", QStringLiteral("[[+1], 2]"), std::nullopt},
        {"bad escape in a key", QStringLiteral("{\"a\\q\": [1, 2]}"), std::nullopt},
        {"missing comma", QStringLiteral("[[1] [2]]"), std::nullopt},
        {"mismatched brackets", QStringLiteral("[[1, 2], [3]}"), std::nullopt},
        {"nested literals", QStringLiteral("[true, false, null, {\"a\": [null]}]"), QStringLiteral("json")},
        {"swift let with semicolon", QStringLiteral("let x = 5;"), QStringLiteral("swift")},
        {"swift arrow", QStringLiteral("func f() -> Int {\n  return 1\n}"), QStringLiteral("swift")},
        {"python def", QStringLiteral("def f(x):\n    return x"), QStringLiteral("python")},
        {"python comment", QStringLiteral("x = 1;\n    # note"), QStringLiteral("python")},
        {"python name", QStringLiteral("print(__name__);"), QStringLiteral("python")},
        {"import at line start does not look like code", QStringLiteral("import os\nprint(os.name)"), std::nullopt},
        {"calls without a language", QStringLiteral("foo(bar(baz))"), std::nullopt},
        {"prose with semicolon but no marker", QStringLiteral("Bring apples; pears too."), std::nullopt},
        {"prose with semicolon and a marker", QStringLiteral("Apples; let them ripen."), QStringLiteral("swift")},
        {"upper-case marker still looks like code", QStringLiteral("RETURN value\nlet x"), QStringLiteral("swift")},
        {"marker beyond the tenth line does not name the language",
         QStringLiteral("a;\nb\nc\nd\ne\nf\ng\nh\ni\nj\nlet k"), std::nullopt},
        {"long lines look like code but name nothing",
         QStringLiteral("aaaaaaaaaaaaaaa\nbbbbbbbbbbbbbbb\nccccccccccccccc\nddddddddddddddd"), std::nullopt},
        {"two characters", QStringLiteral(";;"), std::nullopt},
        {"blank", QStringLiteral("  \n "), std::nullopt},
    };
    for (const LanguageCase& c : cases)
        EXPECT_EQ(ContextComposer::detectCodeLanguage(c.text), c.language) << c.name;
}

struct BodyCase {
    const char* name;
    CaptureSpec capture;
    EntrySpec entry;
    QString body;
};

TEST(ContextComposerTest, EntryBody)
{
    const QString fencedSwift = QStringLiteral("```swift\nlet x = 1;\n```");
    const BodyCase cases[] = {
        {"markdown of prose, trimmed",
         {QStringLiteral(" Hello "), QStringLiteral("  **Hello**\n")},
         {},
         QStringLiteral("**Hello**")},
        {"text when the markdown is blank",
         {QStringLiteral(" Hello "), QStringLiteral("  ")},
         {},
         QStringLiteral("Hello")},
        {"code fenced from the plain text",
         {QStringLiteral(" {\"a\": [1, 2]} "), QStringLiteral("*md*")},
         {},
         QStringLiteral("```json\n{\"a\": [1, 2]}\n```")},
        {"verbatim text keeps its white space",
         {QStringLiteral("  let x = 1;  "), QStringLiteral("md")},
         {.verbatim = true},
         QStringLiteral("  let x = 1;  ")},
        {"custom text trimmed and fenced",
         {QStringLiteral("other")},
         {.customText = QStringLiteral("  let x = 1;\n")},
         fencedSwift},
        {"custom text already fenced stays as it is",
         {QStringLiteral("other")},
         {.customText = fencedSwift},
         fencedSwift},
        {"captured text already fenced is not fenced again",
         {QStringLiteral("```js\nlet x = 1;\n```"), QStringLiteral("```js\nlet x = 1;\n```")},
         {},
         QStringLiteral("```js\nlet x = 1;\n```")},
        {"verbatim custom text untouched",
         {QStringLiteral("other")},
         {.verbatim = true, .customText = QStringLiteral("  let x = 1;  ")},
         QStringLiteral("  let x = 1;  ")},
        {"blank custom text ignored",
         {QStringLiteral("Plain words"), QStringLiteral("Plain *words*")},
         {.customText = QStringLiteral("   ")},
         QStringLiteral("Plain *words*")},
        {"prose with semicolon uses markdown",
         {QStringLiteral("Red; blue."), QStringLiteral("*Red*; blue.")},
         {},
         QStringLiteral("*Red*; blue.")},
        {"a fence inside the code gets a longer fence around it",
         {QStringLiteral("def readme():\n    return \"\"\"\n```\n\"\"\"")},
         {},
         QStringLiteral("````python\ndef readme():\n    return \"\"\"\n```\n\"\"\"\n````")},
    };
    for (const BodyCase& c : cases) {
        const Selection selection = capture(c.capture);
        EXPECT_EQ(ContextComposer::entryBody(entryFor(selection, c.entry), selection), c.body) << c.name;
    }
}

TEST(ContextComposerTest, TrimmingAFencedBodyAgainChangesNothing)
{
    const Selection selection = capture({QStringLiteral("let x = 1;")});
    ContextDraftEntry entry = entryFor(selection);
    QString body = ContextComposer::entryBody(entry, selection);
    for (int round = 0; round < 3; ++round) {
        entry.customText = body; // what the trim sheet saves when the user keeps the shown text
        body = ContextComposer::entryBody(entry, selection);
    }
    EXPECT_EQ(body, QStringLiteral("```swift\nlet x = 1;\n```"));
}

TEST(ContextComposerTest, SourceLine)
{
    struct Case {
        const char* name;
        CaptureSpec capture;
        QString line;
    } const cases[] = {
        {"title and address",
         {.sourceURL = QStringLiteral("https://a.example/x"), .sourceTitle = QStringLiteral(" Title ")},
         QStringLiteral("Title \u2014 https://a.example/x")},
        {"blank title",
         {.sourceURL = QStringLiteral("https://a.example/x"), .sourceTitle = QStringLiteral("  ")},
         QStringLiteral("https://a.example/x")},
        {"title alone", {.sourceTitle = QStringLiteral("Title")}, QStringLiteral("Title")},
        {"file path untrimmed",
         {.sourceTitle = QStringLiteral("Notes"), .filePath = QStringLiteral("/tmp/a b ")},
         QStringLiteral("Notes \u2014 /tmp/a b ")},
        {"application", {.appName = QStringLiteral("Terminal")}, QStringLiteral("Terminal")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ContextComposer::sourceLine(capture(c.capture)), c.line) << c.name;
}

TEST(ContextComposerTest, XmlEscape)
{
    EXPECT_EQ(ContextComposer::xmlEscape(QStringLiteral("a < b && c > \"d\" it's")),
              QStringLiteral("a &lt; b &amp;&amp; c &gt; &quot;d&quot; it's"));
    EXPECT_EQ(ContextComposer::xmlEscape(QStringLiteral("&lt;")), QStringLiteral("&amp;lt;"));
}

// A task, two captures from one page (one with a note, one verbatim), one from a file.
class ComposeLayouts : public ::testing::Test {
protected:
    ComposeLayouts()
    {
        const Selection a
            = capture({QStringLiteral("First passage."), QStringLiteral("**First** passage."), QStringLiteral("Safari"),
                       QStringLiteral("https://example.com/a"), QStringLiteral("Page A")});
        const Selection b = capture({QStringLiteral("  Second passage.  "), std::nullopt, QStringLiteral("Safari"),
                                     QStringLiteral("https://example.com/a"), QStringLiteral("Another title")});
        const Selection c
            = capture({QStringLiteral("Fish & <chips> \"now\" it's"), std::nullopt, QStringLiteral("TextEdit"),
                       std::nullopt, std::nullopt, QStringLiteral("/docs/notes.txt")});
        const Selection deleted = capture({QStringLiteral("gone")});
        selections = {a, b, c};
        entries = {entryFor(a, {.note = QStringLiteral("  check this  ")}), entryFor(c), entryFor(deleted),
                   entryFor(b, {.verbatim = true, .note = QStringLiteral("   ")}), entryFor(a, {.include = false})};
    }

    ComposedContext composed(const QString& layout, bool grouped = true) const
    {
        return compose(draftWith(QStringLiteral("  Summarise the sources.\n"), layout, entries), selections,
                       ContextComposer::defaultPreamble(), std::nullopt, std::nullopt, grouped);
    }

    QList<Selection> selections;
    QList<ContextDraftEntry> entries;
};

TEST_F(ComposeLayouts, Sections)
{
    const ComposedContext result = composed(QStringLiteral("Sections"));
    EXPECT_EQ(result.text,
              QStringLiteral("# Task\n\nSummarise the sources.\n\n# Context\n\n"
                             "> Use only the information in the sources below. Cite each source by name.\n\n---\n\n"
                             "## SOURCE: Page A \u2014 https://example.com/a\n\n"
                             "**First** passage.\n\n_Note: check this_\n\n  Second passage.  \n\n---\n\n"
                             "## SOURCE: /docs/notes.txt\n\nFish & <chips> \"now\" it's"));
    EXPECT_EQ(result.entryCount, 3);
    EXPECT_EQ(result.tokens, TokenEstimator::estimate(result.text, ModelProfile::gpt4o()));
    EXPECT_TRUE(result.feedback.isEmpty());
}

TEST_F(ComposeLayouts, XmlTagged)
{
    EXPECT_EQ(composed(QStringLiteral("XML-tagged")).text,
              QStringLiteral("<context>\n<task>\nSummarise the sources.\n</task>\n<instruction>\n"
                             "Use only the information in the sources below. Cite each source by name.\n"
                             "</instruction>\n<source name=\"Page A \u2014 https://example.com/a\">\n"
                             "**First** passage.\n\n(_Note: check this_)\n\n  Second passage.  \n</source>\n"
                             "<source name=\"/docs/notes.txt\">\nFish &amp; &lt;chips&gt; &quot;now&quot; it's\n"
                             "</source>\n</context>"));
}

TEST_F(ComposeLayouts, Plain)
{
    EXPECT_EQ(composed(QStringLiteral("Plain")).text,
              QStringLiteral("TASK:\nSummarise the sources.\n\n---\n\n"
                             "SOURCE: Page A \u2014 https://example.com/a\n\n"
                             "**First** passage.\n\nNOTE: check this\n\n  Second passage.  \n\n---\n\n"
                             "SOURCE: /docs/notes.txt\n\nFish & <chips> \"now\" it's"));
}

TEST_F(ComposeLayouts, UngroupedEntriesEachHaveASection)
{
    EXPECT_EQ(composed(QStringLiteral("Plain"), false).text,
              QStringLiteral("TASK:\nSummarise the sources.\n\n---\n\n"
                             "SOURCE: Page A \u2014 https://example.com/a\n\n"
                             "**First** passage.\n\nNOTE: check this\n\n---\n\n"
                             "SOURCE: /docs/notes.txt\n\nFish & <chips> \"now\" it's\n\n---\n\n"
                             "SOURCE: Another title \u2014 https://example.com/a\n\n  Second passage.  "));
}

TEST_F(ComposeLayouts, UnknownLayoutNamesComposeAsSections)
{
    const QString sections = composed(QStringLiteral("Sections")).text;
    for (const QString& name : {QStringLiteral("xml-tagged"), QString(), QStringLiteral("Markdown")})
        EXPECT_EQ(composed(name).text, sections) << name.toStdString();
}

TEST_F(ComposeLayouts, PinnedEntriesComeFirst)
{
    entries[3].pin = true; // the second capture of the page, verbatim
    EXPECT_EQ(composed(QStringLiteral("Plain")).text,
              QStringLiteral("TASK:\nSummarise the sources.\n\n---\n\n"
                             "SOURCE: Another title \u2014 https://example.com/a\n\n"
                             "  Second passage.  \n\n**First** passage.\n\nNOTE: check this\n\n---\n\n"
                             "SOURCE: /docs/notes.txt\n\nFish & <chips> \"now\" it's"));
}

TEST(ContextComposerTest, EmptyDraftInEachLayout)
{
    struct Case {
        QString layout;
        QString text;
    } const cases[] = {{QStringLiteral("Sections"), QString()},
                       {QStringLiteral("XML-tagged"), QStringLiteral("<context>\n</context>")},
                       {QStringLiteral("Plain"), QString()}};
    for (const Case& c : cases) {
        const ComposedContext result = compose(draftWith(QStringLiteral(" \n"), c.layout, {}), {}, QStringLiteral("  "),
                                               std::nullopt, 100, true);
        EXPECT_EQ(result.text, c.text) << c.layout.toStdString();
        EXPECT_EQ(result.entryCount, 0);
        EXPECT_TRUE(result.feedback.isEmpty());
    }
}

TEST(ContextComposerTest, PreambleOnlyAndPlainIgnoresIt)
{
    const ContextDraft sections = draftWith(QString(), QStringLiteral("Sections"), {});
    EXPECT_EQ(compose(sections, {}, QStringLiteral(" Be brief. "), std::nullopt, std::nullopt, true).text,
              QStringLiteral("# Context\n\n> Be brief."));
    const ContextDraft plain = draftWith(QString(), QStringLiteral("Plain"), {});
    EXPECT_EQ(compose(plain, {}, QStringLiteral("Be brief."), std::nullopt, std::nullopt, true).text, QString());
}

TEST(ContextComposerTest, StoredPreviewIsReturnedUnchanged)
{
    const Selection a = capture({QStringLiteral("text")});
    ContextDraft draft = draftWith(QStringLiteral("task"), QStringLiteral("XML-tagged"), {entryFor(a)});
    draft.previewText = QStringLiteral("  my own edit\n");
    const ComposedContext result = compose(draft, {a}, ContextComposer::defaultPreamble(), std::nullopt, 1, true);
    EXPECT_EQ(result.text, QStringLiteral("  my own edit\n"));
    EXPECT_EQ(result.entryCount, 0);
    EXPECT_EQ(result.tokens, 4);
    EXPECT_EQ(result.feedback, QStringList{QStringLiteral("Over budget by an estimated 3 tokens.")});
}

TEST(ContextComposerTest, RepeatedCaptureIdTakesTheFirstCapture)
{
    Selection first = capture({QStringLiteral("first")});
    Selection second = first;
    second.text = second.markdown = QStringLiteral("second");
    const ContextDraft draft = draftWith(QString(), QStringLiteral("Plain"), {entryFor(first)});
    EXPECT_EQ(compose(draft, {first, second}, std::nullopt, std::nullopt, std::nullopt, true).text,
              QStringLiteral("SOURCE: Safari\n\nfirst"));
}

TEST(ContextComposerTest, SourcesGroupByCanonicalIdentifier)
{
    // Two captures with the same name in NFC and NFD, and a third source after them.
    struct Case {
        const char* name;
        CaptureSpec first, second;
        QString rendered;
    } const cases[] = {
        {"application names",
         {.text = QStringLiteral("one"), .appName = QStringLiteral("Caf\u00E9")},
         {.text = QStringLiteral("two"), .appName = QStringLiteral("Cafe\u0301")},
         QStringLiteral("SOURCE: Caf\u00E9\n\none\n\ntwo\n\n---\n\nSOURCE: Notes\n\nthree")},
        {"page addresses",
         {.text = QStringLiteral("one"), .sourceURL = QStringLiteral("https://example.com/caf\u00E9")},
         {.text = QStringLiteral("two"), .sourceURL = QStringLiteral("https://example.com/cafe\u0301")},
         QStringLiteral("SOURCE: https://example.com/caf\u00E9\n\none\n\ntwo\n\n---\n\nSOURCE: Notes\n\nthree")},
        {"file paths",
         {.text = QStringLiteral("one"), .filePath = QStringLiteral("/r\u00E9sum\u00E9.txt")},
         {.text = QStringLiteral("two"), .filePath = QStringLiteral("/re\u0301sume\u0301.txt")},
         QStringLiteral("SOURCE: /r\u00E9sum\u00E9.txt\n\none\n\ntwo\n\n---\n\nSOURCE: Notes\n\nthree")},
        {"different names stay apart",
         {.text = QStringLiteral("one"), .appName = QStringLiteral("Caf\u00E9")},
         {.text = QStringLiteral("two"), .appName = QStringLiteral("Cafe")},
         QStringLiteral("SOURCE: Caf\u00E9\n\none\n\n---\n\nSOURCE: Notes\n\nthree\n\n---\n\nSOURCE: Cafe\n\ntwo")},
    };
    for (const Case& c : cases) {
        const Selection a = capture(c.first), b = capture(c.second);
        const Selection other = capture({.text = QStringLiteral("three"), .appName = QStringLiteral("Notes")});
        const ContextDraft draft
            = draftWith(QString(), QStringLiteral("Plain"), {entryFor(a), entryFor(other), entryFor(b)});
        const ComposedContext result = compose(draft, {a, b, other}, std::nullopt, std::nullopt, std::nullopt, true);
        EXPECT_EQ(result.text, c.rendered) << c.name;
        // The count behind the token estimate groups the same way as the text.
        EXPECT_EQ(result.tokens, TokenEstimator::estimate(result.text, ModelProfile::gpt4o())) << c.name;
    }
}

TEST(ContextComposerTest, BudgetFeedback)
{
    // 4 characters per token: a preview of 4 × 2234 characters is 2234 tokens.
    ContextDraft draft = draftWith(QString(), QStringLiteral("Sections"), {});
    draft.previewText = QString(4 * 2234, u'a');
    struct Case {
        const char* name;
        const char* locale;
        std::optional<int64_t> maxTokens;
        QStringList feedback;
    } const cases[] = {
        {"no budget", "en_US", std::nullopt, {}},
        {"at the limit", "en_US", 2234, {}},
        {"one over", "en_US", 2233, {QStringLiteral("Over budget by an estimated 1 tokens.")}},
        {"grouped in en_US", "en_US", 1000, {QStringLiteral("Over budget by an estimated 1,234 tokens.")}},
        {"grouped in de_DE", "de_DE", 1000, {QStringLiteral("Over budget by an estimated 1.234 tokens.")}},
        {"zero", "en_US", 0, {QStringLiteral("The token budget must be greater than zero.")}},
        {"negative", "en_US", -5, {QStringLiteral("The token budget must be greater than zero.")}},
    };
    for (const Case& c : cases) {
        LocaleScope locale(QString::fromLatin1(c.locale));
        EXPECT_EQ(compose(draft, {}, std::nullopt, std::nullopt, c.maxTokens, true).feedback, c.feedback) << c.name;
    }
    const ContextDraft empty = draftWith(QString(), QStringLiteral("Plain"), {});
    EXPECT_EQ(compose(empty, {}, std::nullopt, std::nullopt, 0, true).feedback,
              QStringList{QStringLiteral("The token budget must be greater than zero.")});
}

} // namespace
} // namespace vellicord

namespace vellicord {
namespace {

// The code heuristics read literally: lower-cased substring tests, lines split at line feeds
// that are characters of their own, lengths counted in characters.
std::optional<QString> languageReference(const QString& input)
{
    const QString t = Text::trimmed(input);
    if (t.isEmpty() || Text::graphemeCount(t) < 3)
        return std::nullopt;
    QStringList lines;
    QString line;
    for (qsizetype i = 0; i < t.size(); ++i) {
        if (t[i] == u'\n' && (i == 0 || t[i - 1] != u'\r')) {
            if (!line.isEmpty())
                lines << line;
            line.clear();
        } else {
            line += t[i];
        }
    }
    if (!line.isEmpty())
        lines << line;
    const qsizetype opening = t.count(u'{') + t.count(u'(') + t.count(u'[');
    const qsizetype closing = t.count(u'}') + t.count(u')') + t.count(u']');
    bool code = opening >= 2 && opening == closing;
    const QString lower = t.toLower();
    for (const char* marker :
         {"def ",     "func ",    "class ",  " import ", "return ", "let ", "var ",       "const ",
          "public ",  "private ", "static ", "</",       "?>",      "??:",  "@interface", "@implementation",
          "#include", "#import",  "  // ",   "\t//",     "=>",      "::",   ";"})
        code = code || lower.contains(QLatin1String(marker));
    if (!code && lines.size() >= 4) {
        qsizetype total = 0;
        for (const QString& l : lines)
            total += Text::graphemeCount(l);
        code = total / lines.size() >= 15;
    }
    if (!code)
        return std::nullopt;
    QJsonParseError error;
    const QJsonDocument json = QJsonDocument::fromJson(t.toUtf8(), &error);
    if (error.error == QJsonParseError::NoError && (json.isObject() || json.isArray()))
        return QStringLiteral("json");
    const QString head = QStringList(lines.mid(0, 10)).join(u'\n');
    for (const char* marker : {"func ", "let ", "var ", "->"}) {
        if (head.contains(QLatin1String(marker)))
            return QStringLiteral("swift");
    }
    for (const char* marker : {"def ", "import ", "    # ", "__name__"}) {
        if (head.contains(QLatin1String(marker)))
            return QStringLiteral("python");
    }
    return std::nullopt;
}

TEST(ContextComposerTest, RandomTextsDetectAsTheLiteralReading)
{
    const QStringList pieces{QStringLiteral("{"),
                             QStringLiteral("}"),
                             QStringLiteral("["),
                             QStringLiteral("]"),
                             QStringLiteral("("),
                             QStringLiteral(")"),
                             QStringLiteral(";"),
                             QStringLiteral("\n"),
                             QStringLiteral("\r\n"),
                             QStringLiteral("\r"),
                             QStringLiteral("LET "),
                             QStringLiteral("let"),
                             QStringLiteral(" "),
                             QStringLiteral("  // "),
                             QStringLiteral("\"a\": "),
                             QStringLiteral("1, "),
                             QStringLiteral("e\u0301"),
                             QStringLiteral("\U0001F44D\U0001F3FD"),
                             QStringLiteral("averagewordsinaline"),
                             QStringLiteral("def "),
                             QStringLiteral("import "),
                             QStringLiteral("->"),
                             QStringLiteral("    # "),
                             QStringLiteral("Return "),
                             QStringLiteral(":"),
                             QStringLiteral("=")};
    std::mt19937 random(17);
    for (int round = 0; round < 3000; ++round) {
        QString text;
        for (int n = std::uniform_int_distribution<int>(0, 14)(random); n > 0; --n)
            text += pieces[std::uniform_int_distribution<int>(0, int(pieces.size()) - 1)(random)];
        ASSERT_EQ(ContextComposer::detectCodeLanguage(text), languageReference(text))
            << "round " << round << " " << text.toStdString();
    }
}

} // namespace
} // namespace vellicord
