// Prompt composition on a large draft: 500 sources, about 2 MB of text. The composer runs these on
// every redraw, so each figure is per call.
#include "core/composition/ContextComposer.h"
#include "core/composition/Dedupe.h"
#include "core/composition/TextImport.h"

#include <benchmark/benchmark.h>

#include <QStringList>

#include <random>

namespace vellicord {
namespace {

// Pseudo-words of Latin letters with a few accented words and an emoji among them.
QStringList makeVocabulary()
{
    std::mt19937 random(11);
    std::uniform_int_distribution<int> length(2, 9), letter(0, 25);
    QStringList words{QStringLiteral("caf\u00E9"), QStringLiteral("na\u00EFve"), QStringLiteral("r\u00E9sum\u00E9"),
                      QStringLiteral("\U0001F44D"), QStringLiteral("Stra\u00DFe")};
    while (words.size() < 3000) {
        QString word;
        for (int n = length(random); n > 0; --n)
            word += QChar(u'a' + letter(random));
        words << word;
    }
    return words;
}
const QStringList vocabulary = makeVocabulary();

QString prose(std::mt19937& random, qsizetype characters)
{
    std::uniform_int_distribution<int> word(0, int(vocabulary.size()) - 1), punctuation(0, 12);
    QString text;
    text.reserve(characters + 16);
    while (text.size() < characters) {
        text += vocabulary[word(random)];
        switch (punctuation(random)) {
        case 0: text += QStringLiteral(". "); break;
        case 1: text += QStringLiteral(", "); break;
        case 2: text += QStringLiteral("\n"); break;
        default: text += u' '; break;
        }
    }
    return text;
}

struct LargeDraft {
    QList<Selection> library;
    ContextDraft draft;
    qsizetype characters = 0;
};

LargeDraft largeDraft(const QString& layout)
{
    std::mt19937 random(1);
    LargeDraft large;
    for (int i = 0; i < 500; ++i) {
        QString text = prose(random, 4000);
        if (i % 25 == 0) // some sources are code
            text = QStringLiteral("let value = compute(input);\n").repeated(140);
        const QString url = QStringLiteral("https://example.com/article/%1").arg(i % 60);
        Selection s(QUuid::createUuid(), text, i % 3 == 0 ? std::optional<QString>(QStringLiteral("**") + text + QStringLiteral("**")) : std::nullopt,
                    QStringLiteral("Safari"), std::nullopt, url, QStringLiteral("Article %1").arg(i % 60), std::nullopt, {},
                    QDateTime::currentDateTimeUtc());
        large.characters += text.size();
        large.library.push_back(s);
        large.draft.entries.push_back({QUuid::createUuid(), s.id, i % 17 != 0, i % 50 == 0, i % 40 == 0,
                                       i % 7 == 0 ? std::optional<QString>(QStringLiteral("Check the figures.")) : std::nullopt,
                                       std::nullopt});
    }
    large.draft.task = QStringLiteral("Summarise what the sources say about token budgets.");
    large.draft.templateName = layout;
    large.draft.modelProfileID = QStringLiteral("gpt-4o");
    return large;
}

void compose(benchmark::State& state, const QString& layout)
{
    const LargeDraft large = largeDraft(layout);
    for (auto _ : state) {
        const ComposedContext result = ContextComposer::compose(large.draft, large.library, ContextComposer::defaultPreamble(),
                                                                std::nullopt, 128000, true);
        benchmark::DoNotOptimize(result.tokens);
    }
    state.counters["draft_chars"] = double(large.characters);
}
void BM_ComposeSections(benchmark::State& state) { compose(state, QStringLiteral("Sections")); }
void BM_ComposeXmlTagged(benchmark::State& state) { compose(state, QStringLiteral("XML-tagged")); }
void BM_ComposePlain(benchmark::State& state) { compose(state, QStringLiteral("Plain")); }
BENCHMARK(BM_ComposeSections)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ComposeXmlTagged)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ComposePlain)->Unit(benchmark::kMillisecond);

// About 500,000 tokens against 128,000: most sources are removed, one at a time.
void BM_ReduceToFit(benchmark::State& state)
{
    const LargeDraft large = largeDraft(QStringLiteral("Sections"));
    qsizetype kept = 0;
    for (auto _ : state) {
        const auto result = ContextComposer::reduceToFit(large.draft, large.library, std::nullopt, 128000,
                                                         ContextComposer::defaultPreamble());
        kept = result.entries.size();
        benchmark::DoNotOptimize(kept);
    }
    state.counters["entries_kept"] = double(kept);
}
BENCHMARK(BM_ReduceToFit)->Unit(benchmark::kMillisecond);

void BM_PlanSplitCopy(benchmark::State& state)
{
    const LargeDraft large = largeDraft(QStringLiteral("Sections"));
    qsizetype messages = 0;
    for (auto _ : state) {
        const SplitCopyPlan plan = ContextComposer::planSplitCopy(large.draft, large.library,
                                                                  ContextComposer::defaultPreamble(), std::nullopt, 128000);
        messages = plan.messages.size();
        benchmark::DoNotOptimize(plan.clipboardText);
    }
    state.counters["messages"] = double(messages);
}
BENCHMARK(BM_PlanSplitCopy)->Unit(benchmark::kMillisecond);

// 500 texts of 5 KB, one in ten a near copy of an earlier one.
void BM_DuplicateGroups(benchmark::State& state)
{
    std::mt19937 random(2);
    QList<Dedupe::IdText> texts;
    for (int i = 0; i < 500; ++i) {
        QString text = i % 10 == 9 ? texts[i - 5].text + QStringLiteral(" one more sentence.") : prose(random, 5000);
        texts.push_back({QUuid::createUuid(), text});
    }
    qsizetype groups = 0;
    for (auto _ : state) {
        groups = Dedupe::duplicateGroups(texts, 0.85).size();
        benchmark::DoNotOptimize(groups);
    }
    state.counters["groups"] = double(groups);
}
BENCHMARK(BM_DuplicateGroups)->Unit(benchmark::kMillisecond);

// 3,000 texts of about 100 characters, two in three a near copy of an earlier one (a word
// changed or one more): a prompt of quotes collected from the same few pages.
void BM_DuplicateGroupsShort(benchmark::State& state)
{
    std::mt19937 random(4);
    std::uniform_int_distribution<int> percent(0, 99);
    QList<Dedupe::IdText> texts;
    for (int i = 0; i < 3000; ++i) {
        QString text;
        if (i > 0 && percent(random) < 66) {
            QStringList words = texts[std::uniform_int_distribution<int>(0, i - 1)(random)].text.split(u' ');
            const QString word = vocabulary[std::uniform_int_distribution<int>(0, int(vocabulary.size()) - 1)(random)];
            if (percent(random) < 50)
                words[std::uniform_int_distribution<int>(0, int(words.size()) - 1)(random)] = word;
            else
                words.insert(std::uniform_int_distribution<int>(0, int(words.size()))(random), word);
            text = words.join(u' ');
        } else {
            text = prose(random, 100);
        }
        texts.push_back({QUuid::createUuid(), text});
    }
    qsizetype removed = 0;
    for (auto _ : state) {
        removed = 0;
        for (const Dedupe::DuplicateGroup& group : Dedupe::duplicateGroups(texts, 0.85))
            removed += group.removeIDs.size();
        benchmark::DoNotOptimize(removed);
    }
    state.counters["removed"] = double(removed);
}
BENCHMARK(BM_DuplicateGroupsShort)->Unit(benchmark::kMillisecond);

// 1 MB of words on one line, cut at the composer's limit.
void BM_ImportChunks(benchmark::State& state)
{
    std::mt19937 random(3);
    QString text = prose(random, 1 << 20);
    text.replace(u'\n', u' ');
    qsizetype chunks = 0;
    for (auto _ : state) {
        chunks = TextImport::chunks(text, 4000).size();
        benchmark::DoNotOptimize(chunks);
    }
    state.counters["chunks"] = double(chunks);
}
BENCHMARK(BM_ImportChunks)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace vellicord
