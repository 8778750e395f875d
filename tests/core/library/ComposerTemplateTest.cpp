#include "core/library/ComposerTemplate.h"

#include <gtest/gtest.h>

namespace vellicord {
namespace {

TEST(ComposerTemplateTest, CasesAndRawValues)
{
    EXPECT_EQ(ComposerTemplates::allCases(),
              (QList<ComposerTemplate>{ComposerTemplate::sections, ComposerTemplate::xml, ComposerTemplate::plain}));
    QStringList names;
    for (ComposerTemplate layout : ComposerTemplates::allCases())
        names << ComposerTemplates::rawValue(layout);
    EXPECT_EQ(names, (QStringList{QStringLiteral("Sections"), QStringLiteral("XML-tagged"), QStringLiteral("Plain")}));
    EXPECT_EQ(ComposerTemplates::fromRawValue(QStringLiteral("xml-tagged")), std::nullopt);
    EXPECT_EQ(ComposerTemplates::forDraftTemplate(QStringLiteral("xml-tagged")), ComposerTemplate::sections);
    EXPECT_EQ(ComposerTemplates::forDraftTemplate(QString()), ComposerTemplate::sections);
    EXPECT_EQ(ComposerTemplates::forDraftTemplate(QStringLiteral("Plain")), ComposerTemplate::plain);
}

TEST(ComposerTemplateTest, JsonAcceptsExactlyTheRawValues)
{
    simdjson::dom::parser parser;
    EXPECT_EQ(ComposerTemplates::decode(JsonReader::parse(parser, "\"Plain\""), "template"), ComposerTemplate::plain);
    for (const char* json : {"\"plain\"", "\"\"", "3"}) {
        simdjson::dom::parser p;
        EXPECT_THROW(ComposerTemplates::decode(JsonReader::parse(p, json), "template"), JsonDecodeError) << json;
    }
    std::string out;
    JsonWriter writer(out);
    ComposerTemplates::encode(writer, ComposerTemplate::xml);
    EXPECT_EQ(out, "\"XML-tagged\"");
}

} // namespace
} // namespace vellicord
