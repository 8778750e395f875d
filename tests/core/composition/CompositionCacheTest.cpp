#include "CompositionFixtures.h"

#include "core/composition/CompositionCache.h"
#include "core/composition/ContextComposer.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

namespace vellicord {
namespace {

using namespace testing;

// Everything a composition reads, as the composer holds it between keystrokes.
struct Prompt {
    QList<Selection> library;
    ContextDraft draft;
    std::optional<QString> preamble = ContextComposer::defaultPreamble();
    ModelProfile profile = characterProfile();
    std::optional<int64_t> budget;
    bool grouped = true;

    ComposedContext fresh() const
    {
        return ContextComposer::compose(draft, library, preamble, profile, budget, grouped);
    }
    // The captures by id, the first with an id as the list's operations take it.
    ContextComposer::CachedCaptures cached(CompositionCache& cache) const
    {
        return {[this](const QUuid& id) -> const Selection* {
                    for (const Selection& s : library) {
                        if (s.id == id)
                            return &s;
                    }
                    return nullptr;
                },
                cache};
    }
    ComposedContext composed(CompositionCache& cache) const
    {
        return ContextComposer::compose(draft, cached(cache), preamble, profile, budget, grouped);
    }
};

Prompt samplePrompt()
{
    Prompt p;
    p.library = {
        capture({.text = QStringLiteral("First paragraph.\nSecond line of it."),
                 .sourceURL = QStringLiteral("https://a.example/1"),
                 .sourceTitle = QStringLiteral("Page A")}),
        capture({.text = QStringLiteral("{\"a\": [1, 2]}"), .sourceURL = QStringLiteral("https://a.example/1")}),
        capture({.text = QStringLiteral("Lines\r\nwith returns\r"),
                 .markdown = QStringLiteral("**Lines**\r\nwith returns"),
                 .filePath = QStringLiteral("/notes/a.txt")}),
        capture({.text = QStringLiteral("Caf\u00E9 <b> & \"quotes\" \U0001F44D\U0001F3FD"),
                 .appName = QStringLiteral("Notes")}),
    };
    QList<ContextDraftEntry> entries;
    for (const Selection& s : p.library)
        entries.push_back(entryFor(s));
    p.draft = draftWith(QStringLiteral("Summarise the sources."), QStringLiteral("Sections"), entries);
    return p;
}

// Each edit in turn changes the prompt a composer keeps composing, the way typing and clicking
// does; after each, the composition made with the cache must be the one made from nothing.
TEST(CompositionCacheTest, EditsComposeAsAFreshComposition)
{
    const auto preview = [](Prompt& p) -> QString& {
        if (!p.draft.previewText)
            p.draft.previewText = p.fresh().text;
        return *p.draft.previewText;
    };
    const struct {
        const char* name;
        std::function<void(Prompt&)> edit;
    } edits[] = {
        {"first composition", [](Prompt&) {}},
        {"a character typed in the task", [](Prompt& p) { p.draft.task += u's'; }},
        {"the task cleared", [](Prompt& p) { p.draft.task.clear(); }},
        {"the task typed again", [](Prompt& p) { p.draft.task = QStringLiteral("Compare <them>."); }},
        {"a note typed on a source", [](Prompt& p) { p.draft.entries[1].note = QStringLiteral("see \u00A72"); }},
        {"the note edited", [](Prompt& p) { *p.draft.entries[1].note += u'!'; }},
        {"a note of spaces", [](Prompt& p) { p.draft.entries[1].note = QStringLiteral("  "); }},
        {"a source trimmed", [](Prompt& p) { p.draft.entries[0].customText = QStringLiteral(" let x = 1;\r"); }},
        {"the trimmed source taken verbatim", [](Prompt& p) { p.draft.entries[0].verbatim = true; }},
        {"the trim cleared", [](Prompt& p) { p.draft.entries[0].customText.reset(); }},
        {"a source excluded", [](Prompt& p) { p.draft.entries[2].include = false; }},
        {"it is included again", [](Prompt& p) { p.draft.entries[2].include = true; }},
        {"a source pinned", [](Prompt& p) { p.draft.entries[3].pin = true; }},
        {"sources reordered", [](Prompt& p) { p.draft.entries.move(0, 2); }},
        {"a capture's text changed in place",
         [](Prompt& p) { p.library[0].text = QStringLiteral("def main():\n    # entry\n    return 1"); }},
        {"a capture's Markdown changed", [](Prompt& p) { p.library[2].markdown = QStringLiteral("_Lines_"); }},
        {"a capture's title changed", [](Prompt& p) { p.library[0].sourceTitle = QStringLiteral("Page A, revised"); }},
        {"a capture moved to another page",
         [](Prompt& p) { p.library[1].sourceURL = QStringLiteral("https://b.example/"); }},
        {"a capture's application renamed", [](Prompt& p) { p.library[3].appName = QStringLiteral("Notes\u0301"); }},
        {"a capture deleted", [](Prompt& p) { p.library.removeAt(1); }},
        {"a capture added as a source",
         [](Prompt& p) {
             p.library.push_back(capture({.text = QStringLiteral("New\n\u0301mark")}));
             p.draft.entries.push_back(entryFor(p.library.back()));
         }},
        {"a source removed", [](Prompt& p) { p.draft.entries.removeAt(1); }},
        {"the layout switched to XML-tagged", [](Prompt& p) { p.draft.templateName = QStringLiteral("XML-tagged"); }},
        {"a note typed in the XML layout", [](Prompt& p) { p.draft.entries[0].note = QStringLiteral("<b>"); }},
        {"the layout switched to Plain", [](Prompt& p) { p.draft.templateName = QStringLiteral("Plain"); }},
        {"an unknown layout name", [](Prompt& p) { p.draft.templateName = QStringLiteral("plain"); }},
        {"another model", [](Prompt& p) { p.profile = ModelProfile::gpt4o(); }},
        {"the preamble turned off", [](Prompt& p) { p.preamble.reset(); }},
        {"a budget to measure against", [](Prompt& p) { p.budget = 20; }},
        {"sources not grouped", [](Prompt& p) { p.grouped = false; }},
        {"the preview edited", [&](Prompt& p) { preview(p) += u'!'; }},
        {"a character typed at the preview's start", [&](Prompt& p) { preview(p).prepend(u'A'); }},
        {"a line feed deleted in the preview", [&](Prompt& p) { preview(p).remove(preview(p).indexOf(u'\n'), 1); }},
        {"a return typed before a line feed", [&](Prompt& p) { preview(p).insert(preview(p).indexOf(u'\n'), u'\r'); }},
        {"a mark typed after a line feed",
         [&](Prompt& p) { preview(p).insert(preview(p).lastIndexOf(u'\n') + 1, QChar(0x0301)); }},
        {"an emoji modifier typed after an emoji",
         [&](Prompt& p) {
             preview(p).insert(preview(p).indexOf(QStringLiteral("\U0001F44D")) + 2, QStringLiteral("\U0001F3FE"));
         }},
        {"the preview replaced", [&](Prompt& p) { preview(p) = QStringLiteral("Only this."); }},
        {"the preview emptied", [&](Prompt& p) { preview(p).clear(); }},
        {"the preview reset", [](Prompt& p) { p.draft.previewText.reset(); }},
        {"the sources grouped again", [](Prompt& p) { p.grouped = true; }},
    };
    Prompt prompt = samplePrompt();
    CompositionCache cache;
    for (const auto& e : edits) {
        e.edit(prompt);
        ASSERT_EQ(prompt.composed(cache), prompt.fresh()) << e.name;
    }
}

QString randomText(std::mt19937& random)
{
    static const QStringList pieces{QStringLiteral("word "),
                                    QStringLiteral("\n"),
                                    QStringLiteral("\r"),
                                    QStringLiteral("\r\n"),
                                    QStringLiteral("e\u0301"),
                                    QStringLiteral("\u0301"),
                                    QStringLiteral("\U0001F44D"),
                                    QStringLiteral("\U0001F3FD"),
                                    QStringLiteral("let "),
                                    QStringLiteral(";"),
                                    QStringLiteral("{\"a\": [1, 2]}"),
                                    QStringLiteral("<&>\""),
                                    QStringLiteral("```"),
                                    QStringLiteral("\u0915\u094D"),
                                    QStringLiteral("  ")};
    QString text;
    for (int n = std::uniform_int_distribution<int>(0, 8)(random); n > 0; --n)
        text += pieces[std::uniform_int_distribution<int>(0, int(pieces.size()) - 1)(random)];
    return text;
}

// Random edits of every kind, one after another on the same prompt and cache; the budget's
// remedies, which reuse the cache too, after some of them.
TEST(CompositionCacheTest, RandomEditsComposeAsAFreshComposition)
{
    std::mt19937 random(20261208);
    const auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    Prompt prompt = samplePrompt();
    CompositionCache cache;
    for (int step = 0; step < 3000; ++step) {
        QList<ContextDraftEntry>& entries = prompt.draft.entries;
        const int kind = pick(0, 12);
        if (kind <= 4 && entries.isEmpty())
            continue;
        ContextDraftEntry* entry = entries.isEmpty() ? nullptr : &entries[pick(0, int(entries.size()) - 1)];
        Selection* capture
            = prompt.library.isEmpty() ? nullptr : &prompt.library[pick(0, int(prompt.library.size()) - 1)];
        switch (kind) {
        case 0: entry->note = pick(0, 2) ? std::optional(randomText(random)) : std::nullopt; break;
        case 1: entry->customText = pick(0, 2) ? std::optional(randomText(random)) : std::nullopt; break;
        case 2: entry->verbatim = !entry->verbatim; break;
        case 3: entry->include = !entry->include; break;
        case 4: entry->pin = !entry->pin; break;
        case 5:
            if (entries.size() > 1)
                entries.move(pick(0, int(entries.size()) - 1), pick(0, int(entries.size()) - 1));
            break;
        case 6:
            if (capture) {
                capture->text = randomText(random);
                if (pick(0, 1))
                    capture->markdown = randomText(random);
            }
            break;
        case 7:
            if (capture)
                capture->sourceURL
                    = pick(0, 1) ? std::optional(QStringLiteral("https://a.example/%1").arg(pick(0, 2))) : std::nullopt;
            break;
        case 8:
            if (pick(0, 3) == 0 && !prompt.library.isEmpty()) {
                prompt.library.removeAt(pick(0, int(prompt.library.size()) - 1));
            } else {
                prompt.library.push_back(testing::capture({.text = randomText(random)}));
                entries.push_back(entryFor(prompt.library.back()));
            }
            break;
        case 9: prompt.draft.task = randomText(random); break;
        case 10: {
            static const QStringList layouts{QStringLiteral("Sections"), QStringLiteral("XML-tagged"),
                                             QStringLiteral("Plain")};
            prompt.draft.templateName = layouts[pick(0, 2)];
            prompt.preamble = pick(0, 1) ? std::optional(randomText(random)) : std::nullopt;
            prompt.profile.charsPerToken = pick(0, 1) ? 1.0 : 3.5;
            break;
        }
        case 11:
            if (!prompt.draft.previewText || pick(0, 4) == 0) {
                prompt.draft.previewText = pick(0, 1) ? std::optional(prompt.fresh().text) : std::nullopt;
            } else {
                QString& text = *prompt.draft.previewText;
                const int at = pick(0, int(text.size()));
                text.replace(at, pick(0, int(text.size()) - at), randomText(random));
            }
            break;
        default: prompt.grouped = !prompt.grouped; break;
        }
        ASSERT_EQ(prompt.composed(cache), prompt.fresh()) << "step " << step << " edit " << kind;
        if (step % 3 == 0) {
            const int64_t budget = pick(-1, 200);
            const auto reduced = ContextComposer::reduceToFit(prompt.draft, prompt.cached(cache), prompt.profile,
                                                              budget, prompt.preamble);
            const auto expected
                = ContextComposer::reduceToFit(prompt.draft, prompt.library, prompt.profile, budget, prompt.preamble);
            ASSERT_EQ(reduced.entries, expected.entries) << "step " << step;
            ASSERT_EQ(reduced.feedback, expected.feedback) << "step " << step;
            const SplitCopyPlan plan = ContextComposer::planSplitCopy(prompt.draft, prompt.cached(cache),
                                                                      prompt.preamble, prompt.profile, budget);
            const SplitCopyPlan fresh
                = ContextComposer::planSplitCopy(prompt.draft, prompt.library, prompt.preamble, prompt.profile, budget);
            ASSERT_EQ(plan.messages, fresh.messages) << "step " << step;
            ASSERT_EQ(plan.clipboardText, fresh.clipboardText) << "step " << step;
            ASSERT_EQ(plan.notice, fresh.notice) << "step " << step;
        }
    }
}

} // namespace
} // namespace vellicord
