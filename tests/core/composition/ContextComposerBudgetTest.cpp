#include "core/composition/ContextComposer.h"

#include "CompositionFixtures.h"
#include "RandomDrafts.h"
#include "core/foundation/Text.h"
#include "core/library/TokenEstimator.h"

#include <gtest/gtest.h>

#include <QSet>

namespace vellicord {
namespace {

using namespace testing;

const QString alreadyWithin = QStringLiteral("Already within the estimated budget.");
const QString nowWithin = QStringLiteral("Now within the estimated budget.");

// Plain layout, no task: a source of n characters renders as "SOURCE: " + app + "\n\n" + body.
// With one character per token, budgets read as character counts.
Selection sized(int characters, const QString& app = QStringLiteral("Safari"))
{
    return capture({QString(characters, u'x'), std::nullopt, app});
}

QString stillOver(int tokens)
{
    return QStringLiteral("Still over budget by an estimated ") + QString::number(tokens)
        + QStringLiteral(" tokens. Shorten the task, turn off the preamble, trim pinned sources, or export.");
}

struct ReduceCase {
    const char* name;
    QString task;
    QList<int> sizes;          // one capture per entry, each from its own application
    QList<EntrySpec> specs;    // per entry (default when missing)
    int64_t maxTokens;
    QList<int> keptEntries;    // positions of the entries returned
    QStringList feedback;
};

TEST(ReduceToFitTest, Cases)
{
    // Each source of 10 characters from "App n" costs 25 characters, and 7 more for the rule
    // between sections ("\n\n---\n\n").
    const EntrySpec pinned{.pin = true};
    const EntrySpec excluded{.include = false};
    const ReduceCase cases[] = {
        {"fits already", {}, {10, 10}, {}, 200, {0, 1}, {alreadyWithin}},
        {"at the limit exactly", {}, {10}, {}, 25, {0}, {alreadyWithin}},
        {"removes two of five", {}, {10, 10, 10, 10, 10}, {}, 25 * 3 + 14, {0, 1, 2},
         {QStringLiteral("Removed 2 optional sources."), nowWithin}},
        {"removes one", {}, {10, 10}, {}, 25, {0}, {QStringLiteral("Removed 1 optional source."), nowWithin}},
        {"only pinned sources stay over", {}, {10, 10}, {pinned, pinned}, 20, {0, 1}, {stillOver(57 - 20)}},
        {"unpinned removed and pinned still too large", {}, {10, 10}, {{}, pinned}, 20, {1},
         {QStringLiteral("Removed 1 optional source."), stillOver(25 - 20)}},
        {"pinned last in the list still comes first", {}, {10, 10, 10}, {{}, {}, pinned}, 25 + 7 + 25, {0, 2},
         {QStringLiteral("Removed 1 optional source."), nowWithin}},
        {"task alone over budget", QStringLiteral("0123456789"), {}, {}, 5, {}, {stillOver(16 - 5)}},
        {"trailing excluded entry stays", {}, {10, 10, 10}, {{}, {}, excluded}, 25, {0, 2},
         {QStringLiteral("Removed 1 optional source."), nowWithin}},
    };
    for (const ReduceCase& c : cases) {
        QList<Selection> library;
        QList<ContextDraftEntry> entries;
        for (qsizetype i = 0; i < c.sizes.size(); ++i) {
            library.push_back(sized(c.sizes[i], QStringLiteral("App %1").arg(i)));
            entries.push_back(entryFor(library.back(), i < c.specs.size() ? c.specs[i] : EntrySpec{}));
        }
        const ContextDraft draft = draftWith(c.task, QStringLiteral("Plain"), entries);
        const auto result = ContextComposer::reduceToFit(draft, library, characterProfile(), c.maxTokens, std::nullopt);
        QList<ContextDraftEntry> kept;
        for (int position : c.keptEntries)
            kept.push_back(entries[position]);
        EXPECT_EQ(result.entries, kept) << c.name;
        EXPECT_EQ(result.feedback, c.feedback) << c.name;
    }
}

TEST(ReduceToFitTest, OrphanedEntriesAreNeverRemoved)
{
    const Selection a = sized(10), b = sized(10, QStringLiteral("Other"));
    const Selection gone = sized(10);
    const QList<ContextDraftEntry> entries{entryFor(a), entryFor(b), entryFor(gone)};
    const auto result = ContextComposer::reduceToFit(draftWith(QString(), QStringLiteral("Plain"), entries), {a, b},
                                                     characterProfile(), 26, std::nullopt);
    EXPECT_EQ(result.entries, (QList<ContextDraftEntry>{entries[0], entries[2]}));
}

TEST(ReduceToFitTest, RefusalsLeaveTheEntries)
{
    const Selection a = sized(10);
    ContextDraft draft = draftWith(QString(), QStringLiteral("Plain"), {entryFor(a)});
    struct Case {
        const char* name;
        bool preview;
        int64_t maxTokens;
        QList<Selection> library;
        QString line;
    } const cases[] = {
        {"edited preview", true, 0, {a},
         QStringLiteral("Edit the preview directly to shorten this prompt, or reset it to generated text before "
                        "reducing sources.")},
        {"zero budget", false, 0, {a}, QStringLiteral("The token budget must be greater than zero. No sources were removed.")},
        {"negative budget", false, -5, {a}, QStringLiteral("The token budget must be greater than zero. No sources were removed.")},
        {"nothing to reduce", false, 1, {}, QStringLiteral("Nothing to reduce.")},
    };
    for (const Case& c : cases) {
        draft.previewText = c.preview ? std::optional<QString>(QStringLiteral("edited")) : std::nullopt;
        const auto result = ContextComposer::reduceToFit(draft, c.library, characterProfile(), c.maxTokens,
                                                         ContextComposer::defaultPreamble());
        EXPECT_EQ(result.entries, draft.entries) << c.name;
        EXPECT_EQ(result.feedback, QStringList{c.line}) << c.name;
    }
}

// The loops read literally, rendering and counting every candidate in full.

bool hasContentReference(const ContextDraft& draft, const QList<Selection>& library, const std::optional<QString>& preamble)
{
    if (!Text::trimmed(draft.task).isEmpty())
        return true;
    if (draft.templateName != QStringLiteral("Plain") && preamble && !Text::isBlank(*preamble))
        return true;
    QSet<QUuid> ids;
    for (const Selection& s : library)
        ids.insert(s.id);
    for (const ContextDraftEntry& e : draft.entries) {
        if (e.include && ids.contains(e.selectionID))
            return true;
    }
    return false;
}

// Included entries whose capture exists, pinned first, with their positions.
QList<qsizetype> usablePositions(const ContextDraft& draft, const QList<Selection>& library)
{
    QSet<QUuid> ids;
    for (const Selection& s : library)
        ids.insert(s.id);
    QList<qsizetype> pinned, unpinned;
    for (qsizetype i = 0; i < draft.entries.size(); ++i) {
        const ContextDraftEntry& e = draft.entries[i];
        if (e.include && ids.contains(e.selectionID))
            (e.pin ? pinned : unpinned).push_back(i);
    }
    return pinned + unpinned;
}

int64_t renderedTokens(const ContextDraft& draft, const QList<Selection>& library, const std::optional<QString>& preamble,
                       const ModelProfile& profile)
{
    const QString text = ContextComposer::compose(draft, library, preamble, profile, std::nullopt, true).text;
    return TokenEstimator::estimate(text, profile);
}

ContextComposer::Reduction reduceReference(const ContextDraft& draft, const QList<Selection>& library,
                                           const ModelProfile& profile, int64_t maxTokens,
                                           const std::optional<QString>& preamble)
{
    if (maxTokens < 1 || !hasContentReference(draft, library, preamble))
        return ContextComposer::reduceToFit(draft, library, profile, maxTokens, preamble); // refusals tested above
    QList<qsizetype> prepared = usablePositions(draft, library);
    QSet<qsizetype> removed;
    auto withoutRemoved = [&] {
        ContextDraft copy = draft;
        copy.entries.clear();
        for (qsizetype i = 0; i < draft.entries.size(); ++i) {
            if (!removed.contains(i))
                copy.entries.push_back(draft.entries[i]);
        }
        return copy;
    };
    int64_t tokens = renderedTokens(draft, library, preamble, profile);
    bool over = false;
    while (tokens > maxTokens) {
        if (prepared.isEmpty() || draft.entries[prepared.back()].pin) {
            over = true;
            break;
        }
        removed.insert(prepared.takeLast());
        tokens = renderedTokens(withoutRemoved(), library, preamble, profile);
    }
    ContextComposer::Reduction result{withoutRemoved().entries, {}};
    const qsizetype n = removed.size();
    if (n >= 1)
        result.feedback << QStringLiteral("Removed %1 optional source%2.").arg(n).arg(n == 1 ? "" : "s");
    if (over)
        result.feedback << stillOver(int(tokens - maxTokens));
    else
        result.feedback << (n >= 1 ? nowWithin : alreadyWithin);
    return result;
}

QList<ComposedContext> splitReference(const ContextDraft& draft, const QList<Selection>& library,
                                      const std::optional<QString>& preamble, const ModelProfile& profile,
                                      int64_t maxTokens)
{
    if (!hasContentReference(draft, library, preamble))
        return {};
    QList<ContextDraftEntry> usable;
    for (qsizetype position : usablePositions(draft, library))
        usable.push_back(draft.entries[position]);
    auto message = [&](const QList<ContextDraftEntry>& entries) {
        ContextDraft copy = draft;
        copy.entries = entries;
        ComposedContext m = ContextComposer::compose(copy, library, preamble, profile, std::nullopt, true);
        m.tokens = TokenEstimator::estimate(m.text, profile);
        if (maxTokens < 1)
            m.feedback = {QStringLiteral("The token budget must be greater than zero.")};
        else if (m.tokens > maxTokens)
            m.feedback = {QStringLiteral("Over budget by an estimated %1 tokens.").arg(m.tokens - maxTokens)};
        return m;
    };
    if (maxTokens < 1 || usable.isEmpty())
        return {message(usable)};
    QList<QList<ContextDraftEntry>> finished;
    QList<ContextDraftEntry> current;
    for (const ContextDraftEntry& e : usable) {
        ContextDraft candidate = draft;
        candidate.entries = current + QList<ContextDraftEntry>{e};
        if (renderedTokens(candidate, library, preamble, profile) <= maxTokens) {
            current.push_back(e);
        } else if (current.isEmpty()) {
            current = {e};
        } else {
            finished.push_back(current);
            current = {e};
        }
    }
    if (!current.isEmpty())
        finished.push_back(current);
    QList<ComposedContext> messages;
    for (const auto& group : finished)
        messages.push_back(message(group));
    return messages;
}

TEST(ReduceToFitTest, RandomDraftsMatchTheLiteralLoop)
{
    RandomDrafts drafts(20261207);
    for (int round = 0; round < 300; ++round) {
        const ContextDraft draft = drafts.next();
        const std::optional<QString> preamble = drafts.preamble();
        const ModelProfile profile{QStringLiteral("p"), QStringLiteral("p"), 0, drafts.chance(50) ? 1.0 : 2.5};
        const int64_t maxTokens = drafts.pick(1, 150);
        const auto expected = reduceReference(draft, drafts.library, profile, maxTokens, preamble);
        const auto actual = ContextComposer::reduceToFit(draft, drafts.library, profile, maxTokens, preamble);
        ASSERT_EQ(actual.entries, expected.entries) << "round " << round;
        ASSERT_EQ(actual.feedback, expected.feedback) << "round " << round;
    }
}

TEST(SplitForMessagesTest, RandomDraftsMatchTheLiteralPacking)
{
    RandomDrafts drafts(7);
    for (int round = 0; round < 300; ++round) {
        const ContextDraft draft = drafts.next();
        const std::optional<QString> preamble = drafts.preamble();
        const ModelProfile profile{QStringLiteral("p"), QStringLiteral("p"), 0, drafts.chance(50) ? 1.0 : 3.0};
        const int64_t maxTokens = drafts.pick(-1, 120);
        const auto expected = splitReference(draft, drafts.library, preamble, profile, maxTokens);
        const auto actual = ContextComposer::splitForMessages(draft, drafts.library, preamble, profile, maxTokens);
        ASSERT_EQ(actual, expected) << "round " << round;
    }
}

TEST(ComposeTest, TokenCountsAreTheCharactersOfTheText)
{
    RandomDrafts drafts(99);
    for (int round = 0; round < 300; ++round) {
        const ContextDraft draft = drafts.next();
        const std::optional<QString> preamble = drafts.preamble();
        for (bool grouped : {true, false}) {
            const ComposedContext result =
                ContextComposer::compose(draft, drafts.library, preamble, characterProfile(), std::nullopt, grouped);
            ASSERT_EQ(result.tokens, Text::graphemeCount(result.text))
                << "round " << round << " grouped " << grouped << " text " << result.text.toStdString();
        }
    }
}

const QString splitNotice =
    QStringLiteral("Message token counts are estimates. Paste each message separately without its separator label.");
const QString cannotSplit = QStringLiteral(
    "Cannot split within this estimated budget. Shorten the task, turn off the preamble, trim oversized sources, or export.");

TEST(PlanSplitCopyTest, SourcesThatFitTogetherGiveOneLabelledMessage)
{
    const Selection a = sized(10, QStringLiteral("A")), b = sized(10, QStringLiteral("B")), c = sized(10, QStringLiteral("C"));
    const ContextDraft draft = draftWith(QString(), QStringLiteral("Plain"), {entryFor(a), entryFor(b), entryFor(c)});
    const SplitCopyPlan plan = ContextComposer::planSplitCopy(draft, {a, b, c}, std::nullopt, characterProfile(), 5000);
    ASSERT_EQ(plan.messages.size(), 1);
    EXPECT_EQ(plan.messages[0].tokens, 3 * 21 + 2 * 7);
    EXPECT_EQ(plan.clipboardText, QStringLiteral("\u2014\u2014 MESSAGE 1 OF 1 \u00B7 77 tokens \u2014\u2014\n\n")
                                      + plan.messages[0].text);
    EXPECT_EQ(plan.notice, splitNotice);
}

TEST(PlanSplitCopyTest, PacksGreedilyWithTheTaskInEveryMessage)
{
    LocaleScope locale(QStringLiteral("en_US"));
    const Selection a = sized(2000, QStringLiteral("A")), b = sized(2000, QStringLiteral("B")),
                    late = sized(500, QStringLiteral("Late"));
    const QList<ContextDraftEntry> entries{entryFor(a), entryFor(b), entryFor(late, {.pin = true})};
    const ContextDraft draft = draftWith(QStringLiteral("Do it."), QStringLiteral("Plain"), entries);
    // "TASK:\nDo it." is 12 characters, each source 16 + its size more, and 7 for each rule.
    const SplitCopyPlan plan = ContextComposer::planSplitCopy(draft, {a, b, late}, std::nullopt, characterProfile(), 3000);
    ASSERT_EQ(plan.messages.size(), 2);
    EXPECT_TRUE(plan.messages[0].text.startsWith(QStringLiteral("TASK:\nDo it.\n\n---\n\nSOURCE: Late\n\n")));
    EXPECT_EQ(plan.messages[0].entryCount, 2);
    EXPECT_EQ(plan.messages[0].tokens, 12 + 7 + 514 + 7 + 2011);
    EXPECT_TRUE(plan.messages[1].text.startsWith(QStringLiteral("TASK:\nDo it.\n\n---\n\nSOURCE: B\n\n")));
    EXPECT_EQ(plan.clipboardText,
              QStringLiteral("\u2014\u2014 MESSAGE 1 OF 2 \u00B7 2,551 tokens \u2014\u2014\n\n") + plan.messages[0].text
                  + QStringLiteral("\n\n\u2014\u2014 MESSAGE 2 OF 2 \u00B7 2,030 tokens \u2014\u2014\n\n")
                  + plan.messages[1].text);
}

TEST(PlanSplitCopyTest, Refusals)
{
    const Selection small = sized(10, QStringLiteral("S")), big = sized(100, QStringLiteral("B"));
    struct Case {
        const char* name;
        QString task;
        QList<Selection> sources;
        std::optional<QString> preview;
        int64_t maxTokens;
        qsizetype messages;
        QStringList firstFeedback;
        QString notice;
    } const cases[] = {
        {"one oversized source", {}, {small, big}, std::nullopt, 50, 2, {}, cannotSplit},
        {"task alone over budget", QStringLiteral("A task much longer than the budget allows."), {small, small}, std::nullopt,
         20, 2, {QStringLiteral("Over budget by an estimated 56 tokens.")}, cannotSplit},
        {"zero budget", {}, {small}, std::nullopt, 0, 1, {QStringLiteral("The token budget must be greater than zero.")},
         QStringLiteral("The token budget must be greater than zero.")},
        {"nothing at all", {}, {}, std::nullopt, 50, 0, {}, QStringLiteral("Nothing to copy yet.")},
        {"edited preview", {}, {small}, QStringLiteral("edited"), 50, 0, {},
         QStringLiteral("Edited preview text cannot be split by source. Copy or export it, or reset to generated text first.")},
    };
    for (const Case& c : cases) {
        QList<ContextDraftEntry> entries;
        for (const Selection& s : c.sources)
            entries.push_back(entryFor(s));
        ContextDraft draft = draftWith(c.task, QStringLiteral("Plain"), entries);
        draft.previewText = c.preview;
        const SplitCopyPlan plan = ContextComposer::planSplitCopy(draft, c.sources, std::nullopt, characterProfile(), c.maxTokens);
        EXPECT_EQ(plan.messages.size(), c.messages) << c.name;
        if (!plan.messages.isEmpty()) {
            EXPECT_EQ(plan.messages[0].feedback, c.firstFeedback) << c.name;
        }
        EXPECT_FALSE(plan.clipboardText.has_value()) << c.name;
        EXPECT_EQ(plan.notice, c.notice) << c.name;
    }
}

TEST(PlanSplitCopyTest, TaskWithoutSourcesIsOneMessage)
{
    const ContextDraft draft = draftWith(QStringLiteral("Only a task"), QStringLiteral("Sections"), {});
    const SplitCopyPlan plan =
        ContextComposer::planSplitCopy(draft, {}, ContextComposer::defaultPreamble(), std::nullopt, 100);
    ASSERT_EQ(plan.messages.size(), 1);
    EXPECT_EQ(plan.messages[0].entryCount, 0);
    EXPECT_TRUE(plan.clipboardText.has_value());
}

} // namespace
} // namespace vellicord
