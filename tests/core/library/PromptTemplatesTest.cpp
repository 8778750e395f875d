#include "core/library/PromptTemplates.h"
#include "support/MemoryDefaults.h"

#include "core/foundation/UuidText.h"
#include "support/Records.h"

#include <gtest/gtest.h>

namespace vellicord {
namespace {

const QString key = QString::fromLatin1(PromptTemplates::customKey);

PromptTemplate make(const char* id, const char* task = "task", ComposerTemplate layout = ComposerTemplate::plain)
{
    return {QString::fromLatin1(id), QStringLiteral("Name ") + QString::fromLatin1(id), QString::fromLatin1(task),
            layout};
}

QStringList ids(const QList<PromptTemplate>& list)
{
    QStringList result;
    for (const PromptTemplate& t : list)
        result.append(t.id);
    return result;
}

TEST(PromptTemplatesTest, BuiltIns)
{
    const QList<PromptTemplate>& builtins = PromptTemplates::builtins();
    EXPECT_EQ(
        ids(builtins),
        (QStringList{"summarize", "explain", "compare", "review", "code-review", "refactor", "grounded-qa", "report"}));
    for (const PromptTemplate& t : builtins)
        EXPECT_EQ(t.layout, ComposerTemplate::sections) << t.id.toStdString();

    ContextDraft draft{test::uuid(1),
                       QStringLiteral("D"),
                       QStringLiteral("old"),
                       QStringLiteral("Plain"),
                       QStringLiteral("claude"),
                       test::at(1),
                       test::at(2),
                       {},
                       QStringLiteral("preview")};
    const ContextDraft applied = PromptTemplates::apply(builtins[4], draft);
    EXPECT_EQ(applied.task, builtins[4].task);
    EXPECT_EQ(applied.templateName, QStringLiteral("Sections"));
    draft.task = applied.task;
    draft.templateName = applied.templateName;
    EXPECT_EQ(applied, draft) << "nothing else changes";
}

TEST(PromptTemplatesTest, UnreadableStoredListsLoadAsEmpty)
{
    const struct {
        const char* name;
        std::optional<QVariant> stored;
    } cases[] = {
        {"absent", std::nullopt},
        {"a string, not data", QVariant(QStringLiteral("[]"))},
        {"not JSON", QVariant(QByteArray("nope"))},
        {"an object, not an array", QVariant(QByteArray(R"({"id":"a"})"))},
        {"one element with an unknown layout",
         QVariant(QByteArray(R"([{"id":"a","name":"A","task":"t","template":"Plain"},)"
                             R"({"id":"b","name":"B","task":"t","template":"Markdown"},)"
                             R"({"id":"c","name":"C","task":"t","template":"Sections"}])"))},
        {"one element missing its task", QVariant(QByteArray(R"([{"id":"a","name":"A","template":"Plain"}])"))},
    };
    for (const auto& c : cases) {
        MemoryDefaults defaults;
        if (c.stored)
            defaults.setValue(key, *c.stored);
        EXPECT_TRUE(PromptTemplates::loadCustom(defaults).isEmpty()) << c.name;
    }
}

TEST(PromptTemplatesTest, SavingReplacesAndMovesToTheEnd)
{
    MemoryDefaults defaults;
    for (const char* id : {"one", "two", "three"})
        PromptTemplates::saveCustom(make(id), defaults);
    PromptTemplates::saveCustom(make("one", "newer"), defaults);
    QList<PromptTemplate> list = PromptTemplates::loadCustom(defaults);
    EXPECT_EQ(ids(list), (QStringList{"two", "three", "one"}));
    EXPECT_EQ(list.last().task, QStringLiteral("newer"));
    EXPECT_TRUE(
        defaults.dataValue(key)->startsWith(R"([{"id":"two","name":"Name two","task":"task","template":"Plain"},)"))
        << "compact JSON";

    // Repeated ids load as they are; saving one leaves exactly one; removing removes all.
    PromptTemplates::saveCustom({make("x"), make("y"), make("x")}, defaults);
    EXPECT_EQ(ids(PromptTemplates::loadCustom(defaults)), (QStringList{"x", "y", "x"}));
    PromptTemplates::saveCustom(make("x", "last"), defaults);
    EXPECT_EQ(ids(PromptTemplates::loadCustom(defaults)), (QStringList{"y", "x"}));
    PromptTemplates::removeCustom(QStringLiteral("x"), defaults);
    EXPECT_EQ(ids(PromptTemplates::loadCustom(defaults)), (QStringList{"y"}));
    const QByteArray before = *defaults.dataValue(key);
    PromptTemplates::removeCustom(QStringLiteral("absent"), defaults);
    EXPECT_EQ(*defaults.dataValue(key), before);
}

TEST(PromptTemplatesTest, AnUnreadableListIsKeptBeforeItIsOverwritten)
{
    MemoryDefaults defaults;
    const QByteArray broken(R"([{"id":"a","name":"A","task":"t","template":"Markdown"}])");
    defaults.setValue(key, broken);
    PromptTemplates::saveCustom(make("new"), defaults);
    EXPECT_EQ(ids(PromptTemplates::loadCustom(defaults)), QStringList{"new"});
    EXPECT_EQ(defaults.value(QString::fromLatin1(PromptTemplates::unreadableKey)), QVariant(broken));

    // A readable list is simply replaced, and the kept value stays as it was.
    PromptTemplates::saveCustom(make("newer"), defaults);
    EXPECT_EQ(defaults.value(QString::fromLatin1(PromptTemplates::unreadableKey)), QVariant(broken));
}

TEST(PromptTemplatesTest, SavedTemplatesTakeTheirIdFromTheNameAndTheDraftsTaskAndLayout)
{
    const struct {
        QString typed;
        const char* id; // nullptr: a new UUID
        QString name;
    } names[] = {
        {QStringLiteral("Daily Notes 3"), "daily-notes-3", QStringLiteral("Daily Notes 3")},
        {QStringLiteral("  Code -- Review!! "), "code-review", QStringLiteral("Code -- Review!!")},
        {QStringLiteral("R\u00E9sum\u00E9 Check"), "r\u00E9sum\u00E9-check", QStringLiteral("R\u00E9sum\u00E9 Check")},
        {QStringLiteral("Re\u0301sume\u0301"), "re\u0301sume\u0301", QStringLiteral("Re\u0301sume\u0301")},
        {QStringLiteral("snake_case\u00B2"), "snake-case\u00B2", QStringLiteral("snake_case\u00B2")},
        {QStringLiteral("\u03A3\u039F\u03A6\u0399\u0391 \u65E5\u672C"), "\u03C3\u03BF\u03C6\u03B9\u03B1-\u65E5\u672C",
         QStringLiteral("\u03A3\u039F\u03A6\u0399\u0391 \u65E5\u672C")},
        {QStringLiteral("fix \U0001F41Bbugs"), "fix-bugs", QStringLiteral("fix \U0001F41Bbugs")},
        {QStringLiteral("\t\u3000Tabs\u2003"), "tabs", QStringLiteral("Tabs")},
        {QStringLiteral("Two\nLines\n"), "two-lines", QStringLiteral("Two\nLines\n")},
        {QStringLiteral("!!!"), nullptr, QStringLiteral("!!!")},
        {QStringLiteral("\U0001F600 \u2014 \U0001F600"), nullptr, QStringLiteral("\U0001F600 \u2014 \U0001F600")},
    };
    ContextDraft draft{test::uuid(1),
                       QStringLiteral("D"),
                       QStringLiteral(" task as stored\n"),
                       QStringLiteral("Plain"),
                       QStringLiteral("claude"),
                       test::at(1),
                       test::at(2),
                       {},
                       std::nullopt};
    for (const auto& c : names) {
        const PromptTemplate t = PromptTemplates::fromDraft(c.typed, draft);
        if (c.id) {
            EXPECT_EQ(t.id, QString::fromUtf8(c.id)) << c.typed.toStdString();
        } else {
            EXPECT_TRUE(UuidText::parse(t.id) && t.id == t.id.toUpper()) << c.typed.toStdString() << t.id.toStdString();
            EXPECT_NE(PromptTemplates::customID(c.typed), t.id) << "a new id at each save";
        }
        EXPECT_EQ(t.name, c.name) << c.typed.toStdString();
        EXPECT_EQ(t.task, draft.task) << "untrimmed";
    }

    const struct {
        const char* stored;
        ComposerTemplate layout;
    } layouts[] = {{"Plain", ComposerTemplate::plain},
                   {"XML-tagged", ComposerTemplate::xml},
                   {"Sections", ComposerTemplate::sections},
                   {"plain", ComposerTemplate::sections},
                   {"", ComposerTemplate::sections}};
    for (const auto& c : layouts) {
        draft.templateName = QString::fromUtf8(c.stored);
        EXPECT_EQ(PromptTemplates::fromDraft(QStringLiteral("x"), draft).layout, c.layout) << c.stored;
    }
}

TEST(PromptTemplatesTest, RoundTripOfEveryLayout)
{
    const QList<PromptTemplate> list{make("a", "t\n\"q\"", ComposerTemplate::sections),
                                     make("b", "", ComposerTemplate::xml),
                                     make("c", "\u00E9", ComposerTemplate::plain)};
    EXPECT_EQ(PromptTemplates::decode(PromptTemplates::encode(list)), list);
}

} // namespace
} // namespace vellicord
