#include "core/library/RecordCodec.h"

#include "support/Records.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

using namespace vellicord;
using Kind = JsonDecodeError::Kind;

namespace {

Selection fullSelection()
{
    return Selection(test::uuid(1), QStringLiteral("Text \"quoted\"\n"), QStringLiteral("**Text**"),
                     QStringLiteral("Browser"), QStringLiteral("org.browser"), QStringLiteral("https://example.com/a?b=1"),
                     QStringLiteral("Title"), QStringLiteral("/tmp/a.txt"), {test::uuid(2), test::uuid(3)},
                     test::at(1772353800));
}

TEST(RecordCodecTest, GoldenSelection)
{
    EXPECT_EQ(RecordCodec::toJson(fullSelection()),
              "{\n"
              "  \"appName\": \"Browser\",\n"
              "  \"bundleID\": \"org.browser\",\n"
              "  \"createdAt\": \"2026-03-01T08:30:00Z\",\n"
              "  \"filePath\": \"/tmp/a.txt\",\n"
              "  \"groupIDs\": [\n"
              "    \"00000000-0000-4000-8000-000000000002\",\n"
              "    \"00000000-0000-4000-8000-000000000003\"\n"
              "  ],\n"
              "  \"id\": \"00000000-0000-4000-8000-000000000001\",\n"
              "  \"markdown\": \"**Text**\",\n"
              "  \"sourceTitle\": \"Title\",\n"
              "  \"sourceURL\": \"https://example.com/a?b=1\",\n"
              "  \"text\": \"Text \\\"quoted\\\"\\n\"\n"
              "}");
    const Selection bare = test::capture({.text = QStringLiteral("t"), .appName = QStringLiteral("A"), .createdAt = 0});
    EXPECT_EQ(RecordCodec::toJson(bare),
              "{\n"
              "  \"appName\": \"A\",\n"
              "  \"createdAt\": \"1970-01-01T00:00:00Z\",\n"
              "  \"groupIDs\": [],\n"
              "  \"id\": \"00000000-0000-4000-8000-000000000001\",\n"
              "  \"markdown\": \"t\",\n"
              "  \"text\": \"t\"\n"
              "}");
}

// A Markdown that is the text, as a capture from plain text has it, is read into the text's own
// copy; any other is a copy of its own.
TEST(RecordCodecTest, MarkdownThatIsTheTextIsKeptOnce)
{
    for (const bool same : {true, false}) {
        Selection written = test::capture({.text = QStringLiteral("Passage \u00E9\n")});
        written.markdown = same ? QStringLiteral("Passage \u00E9\n") : QStringLiteral("Passage \u00E9 ");
        const Selection read = RecordCodec::fromJson<Selection>(RecordCodec::toJson(written), [](JsonReader::Value v) {
            return RecordCodec::decodeSelection(v);
        });
        EXPECT_EQ(read, written) << same;
        EXPECT_EQ(read.markdown.isSharedWith(read.text), same) << same;
    }
}

TEST(RecordCodecTest, GoldenGroupDraftAndEntry)
{
    const SelectionGroup group{test::uuid(9), QStringLiteral("Work"), QStringLiteral("#4F8EF7"), test::at(0)};
    EXPECT_EQ(RecordCodec::toJson(group), "{\n"
                                          "  \"colorHex\": \"#4F8EF7\",\n"
                                          "  \"createdAt\": \"1970-01-01T00:00:00Z\",\n"
                                          "  \"id\": \"00000000-0000-4000-8000-000000000009\",\n"
                                          "  \"name\": \"Work\"\n"
                                          "}");

    const ContextDraft draft{test::uuid(10), QStringLiteral("P"), QStringLiteral("Do it"), QStringLiteral("Plain"),
                             QStringLiteral("nonsense"), test::at(60), test::at(120),
                             {{test::uuid(11), test::uuid(1), true, false, true, QStringLiteral("note"), std::nullopt}},
                             std::nullopt};
    EXPECT_EQ(RecordCodec::toJson(draft), "{\n"
                                          "  \"createdAt\": \"1970-01-01T00:01:00Z\",\n"
                                          "  \"entries\": [\n"
                                          "    {\n"
                                          "      \"id\": \"00000000-0000-4000-8000-00000000000B\",\n"
                                          "      \"include\": true,\n"
                                          "      \"note\": \"note\",\n"
                                          "      \"pin\": false,\n"
                                          "      \"selectionID\": \"00000000-0000-4000-8000-000000000001\",\n"
                                          "      \"verbatim\": true\n"
                                          "    }\n"
                                          "  ],\n"
                                          "  \"id\": \"00000000-0000-4000-8000-00000000000A\",\n"
                                          "  \"modelProfileID\": \"nonsense\",\n"
                                          "  \"name\": \"P\",\n"
                                          "  \"task\": \"Do it\",\n"
                                          "  \"template\": \"Plain\",\n"
                                          "  \"updatedAt\": \"1970-01-01T00:02:00Z\"\n"
                                          "}");

    EXPECT_EQ(RecordCodec::toJson(ModelProfile::gpt4o()), "{\n"
                                                          "  \"charsPerToken\": 4,\n"
                                                          "  \"contextTokens\": 128000,\n"
                                                          "  \"id\": \"gpt-4o\",\n"
                                                          "  \"name\": \"GPT-4o (128k)\"\n"
                                                          "}");
}

TEST(RecordCodecTest, NullIsAbsentAndUnknownKeysAreIgnored)
{
    const Selection s = RecordCodec::fromJson<Selection>(
        R"({"id":"00000000-0000-4000-8000-000000000001","text":"t","markdown":"m","appName":"A",
            "bundleID":null,"sourceURL":null,"sourceTitle":null,"filePath":null,"groupIDs":[],
            "createdAt":"2026-03-01T08:30:00Z","colour":"red","extra":{"nested":[1,2,3]}})",
        RecordCodec::decodeSelection);
    EXPECT_FALSE(s.bundleID || s.sourceURL || s.sourceTitle || s.filePath);
    EXPECT_EQ(s.markdown, QStringLiteral("m"));

    const ContextDraft d = RecordCodec::fromJson<ContextDraft>(
        R"({"id":"00000000-0000-4000-8000-000000000001","name":"n","task":"t","template":"x","modelProfileID":"",
            "createdAt":"2026-03-01T08:30:00Z","updatedAt":"2026-03-01T08:30:00Z","entries":[],"previewText":null})",
        RecordCodec::decodeDraft);
    EXPECT_FALSE(d.previewText.has_value());
}

TEST(RecordCodecTest, MalformedRecordsAreRejected)
{
    const std::string selection =
        R"({"id":"00000000-0000-4000-8000-000000000001","text":"t","markdown":"m","appName":"A","groupIDs":[],"createdAt":"2026-03-01T08:30:00Z"})";
    auto without = [&](const std::string& key) {
        std::string json = selection;
        const size_t start = json.find("\"" + key + "\"");
        const size_t end = json.find(',', start);
        json.erase(start, end - start + 1);
        return json;
    };
    auto replacing = [&](const std::string& from, const std::string& to) {
        std::string json = selection;
        json.replace(json.find(from), from.size(), to);
        return json;
    };
    const struct {
        const char* name;
        std::string json;
        Kind kind;
    } cases[] = {
        {"no markdown", without("markdown"), Kind::missingKey},
        {"no groupIDs", without("groupIDs"), Kind::missingKey},
        {"no id", without("id"), Kind::missingKey},
        {"null text", replacing("\"text\":\"t\"", "\"text\":null"), Kind::typeMismatch},
        {"braced id", replacing("\"00000000-0000-4000-8000-000000000001\"", "\"{00000000-0000-4000-8000-000000000001}\""),
         Kind::dataCorrupted},
        {"fractional date", replacing("08:30:00Z", "08:30:00.250Z"), Kind::dataCorrupted},
        {"date as a number", replacing("\"2026-03-01T08:30:00Z\"", "794046600"), Kind::typeMismatch},
        {"address with a space", replacing("\"appName\":\"A\"", "\"appName\":\"A\",\"sourceURL\":\"http://a b\""),
         Kind::dataCorrupted},
        {"group id not a string", replacing("\"groupIDs\":[]", "\"groupIDs\":[1]"), Kind::typeMismatch},
        {"array instead of object", "[1]", Kind::typeMismatch},
        {"not json", "{\"id\":", Kind::syntax},
    };
    for (const auto& c : cases) {
        try {
            RecordCodec::fromJson<Selection>(c.json, RecordCodec::decodeSelection);
            ADD_FAILURE() << c.name << " was accepted";
        } catch (const JsonDecodeError& error) {
            EXPECT_EQ(error.kind(), c.kind) << c.name << ": " << error.what();
        }
    }

    const std::string entryWithoutVerbatim =
        R"({"id":"00000000-0000-4000-8000-000000000001","selectionID":"00000000-0000-4000-8000-000000000002","include":true,"pin":false})";
    EXPECT_THROW(RecordCodec::fromJson<ContextDraftEntry>(entryWithoutVerbatim, RecordCodec::decodeEntry), JsonDecodeError);
    const std::string groupWithoutColour =
        R"({"id":"00000000-0000-4000-8000-000000000001","name":"n","createdAt":"2026-03-01T08:30:00Z"})";
    EXPECT_THROW(RecordCodec::fromJson<SelectionGroup>(groupWithoutColour, RecordCodec::decodeGroup), JsonDecodeError);
}

QString randomText(QRandomGenerator& random)
{
    static const char32_t alphabet[] = U"aZ \n\t\"\\/\u00E9\u20AC\u0301\U0001F600\u0000\u001F\u2028";
    QString text;
    const int n = int(random.bounded(30));
    for (int i = 0; i < n; ++i) {
        const char32_t c = alphabet[random.bounded(int(std::size(alphabet)) - 1)];
        text.append(QString::fromUcs4(&c, 1));
    }
    return text;
}

TEST(RecordCodecTest, RoundTripOfRandomRecords)
{
    QRandomGenerator random(3);
    auto optionalText = [&]() -> std::optional<QString> {
        return random.bounded(2) ? std::optional<QString>(randomText(random)) : std::nullopt;
    };
    for (int i = 0; i < 300; ++i) {
        const QDateTime created = QDateTime::fromMSecsSinceEpoch(qint64(random.bounded(2'000'000'000)) * 1000, Qt::UTC);
        const Selection s(QUuid::createUuid(), randomText(random), optionalText(), randomText(random), optionalText(),
                          random.bounded(2) ? std::optional<QString>(QStringLiteral("https://x.example/%1").arg(i))
                                            : std::nullopt,
                          optionalText(), optionalText(), {QUuid::createUuid()}, created);
        EXPECT_EQ(RecordCodec::fromJson<Selection>(RecordCodec::toJson(s), RecordCodec::decodeSelection), s);

        ContextDraft d{QUuid::createUuid(), randomText(random), randomText(random), randomText(random),
                       randomText(random), created, created.addSecs(5), {}, optionalText()};
        for (int e = int(random.bounded(4)); e > 0; --e)
            d.entries.append({QUuid::createUuid(), QUuid::createUuid(), bool(random.bounded(2)), bool(random.bounded(2)),
                              bool(random.bounded(2)), optionalText(), optionalText()});
        EXPECT_EQ(RecordCodec::fromJson<ContextDraft>(RecordCodec::toJson(d), RecordCodec::decodeDraft), d);
    }
}

} // namespace
