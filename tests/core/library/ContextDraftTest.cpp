#include "core/library/ContextDraft.h"

#include "support/Records.h"

#include <gtest/gtest.h>

using namespace vellicord;

namespace {

ContextDraft draft(const QString& templateName, const QString& profile)
{
    return ContextDraft{test::uuid(1), QStringLiteral("Draft"), QStringLiteral("Task"), templateName, profile,
                        test::at(10), test::at(20), {}, std::nullopt};
}

TEST(ContextDraftTest, TemplateKindAndProfile)
{
    const struct {
        QString templateName;
        ComposerTemplate kind;
    } layouts[] = {
        {QStringLiteral("Sections"), ComposerTemplate::sections},
        {QStringLiteral("XML-tagged"), ComposerTemplate::xml},
        {QStringLiteral("Plain"), ComposerTemplate::plain},
        {QStringLiteral("plain"), ComposerTemplate::sections},
        {QString(), ComposerTemplate::sections},
        {QStringLiteral("Markdown"), ComposerTemplate::sections},
    };
    for (const auto& c : layouts)
        EXPECT_EQ(draft(c.templateName, {}).templateKind(), c.kind) << c.templateName.toStdString();

    const struct {
        QString id;
        QString expected;
    } profiles[] = {
        {QStringLiteral("claude"), QStringLiteral("claude")},
        {QStringLiteral("Claude"), QStringLiteral("gpt-4o")},
        {QStringLiteral("gpt4o"), QStringLiteral("gpt-4o")},
        {QString(), QStringLiteral("gpt-4o")},
        {QStringLiteral("local-16k"), QStringLiteral("local-16k")},
    };
    for (const auto& c : profiles)
        EXPECT_EQ(draft({}, c.id).modelProfile().id, c.expected) << c.id.toStdString();
}

TEST(ContextDraftTest, IncludedCountAndEquality)
{
    ContextDraft d = draft(QStringLiteral("Plain"), QStringLiteral("claude"));
    EXPECT_EQ(d.includedCount(), 0);
    const ContextDraftEntry a{test::uuid(2), test::uuid(3), true, false, false, std::nullopt, std::nullopt};
    const ContextDraftEntry b{test::uuid(4), test::uuid(5), false, true, true, QStringLiteral("n"), std::nullopt};
    d.entries = {a, b};
    EXPECT_EQ(d.includedCount(), 1);

    ContextDraft swapped = d;
    swapped.entries = {b, a};
    EXPECT_NE(d, swapped);

    ContextDraft withEmptyPreview = d;
    withEmptyPreview.previewText = QString();
    EXPECT_NE(d, withEmptyPreview);

    ContextDraft copy = d;
    EXPECT_EQ(d, copy);
    EXPECT_EQ(qHash(d), qHash(copy));
}

} // namespace
