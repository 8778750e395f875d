#include "core/library/PromptTemplates.h"
#include "support/MemoryDefaults.h"

#include "support/Records.h"

#include <gtest/gtest.h>

namespace vellicord {
namespace {

const QString key = QString::fromLatin1(PromptTemplates::customKey);

PromptTemplate make(const char* id, const char* task = "task", ComposerTemplate layout = ComposerTemplate::plain)
{
    return {QString::fromLatin1(id), QStringLiteral("Name ") + QString::fromLatin1(id), QString::fromLatin1(task), layout};
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
    EXPECT_EQ(ids(builtins), (QStringList{"summarize", "explain", "compare", "review", "code-review", "refactor",
                                          "grounded-qa", "report"}));
    for (const PromptTemplate& t : builtins)
        EXPECT_EQ(t.layout, ComposerTemplate::sections) << t.id.toStdString();

    ContextDraft draft{test::uuid(1), QStringLiteral("D"), QStringLiteral("old"), QStringLiteral("Plain"),
                       QStringLiteral("claude"), test::at(1), test::at(2), {}, QStringLiteral("preview")};
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
    EXPECT_TRUE(defaults.dataValue(key)->startsWith(R"([{"id":"two","name":"Name two","task":"task","template":"Plain"},)"))
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

TEST(PromptTemplatesTest, RoundTripOfEveryLayout)
{
    const QList<PromptTemplate> list{make("a", "t\n\"q\"", ComposerTemplate::sections), make("b", "", ComposerTemplate::xml),
                                     make("c", "\u00E9", ComposerTemplate::plain)};
    EXPECT_EQ(PromptTemplates::decode(PromptTemplates::encode(list)), list);
}

} // namespace
} // namespace vellicord
