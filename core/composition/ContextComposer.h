#pragma once

#include "core/composition/ComposedContext.h"
#include "core/composition/SplitCopyPlan.h"
#include "core/library/ContextDraft.h"
#include "core/library/ContextDraftEntry.h"
#include "core/library/ModelProfile.h"
#include "core/library/Selection.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <cstdint>
#include <functional>
#include <optional>

namespace vellicord {

class CompositionCache;

// Turns a prompt draft and the captures it names into prompt text. Nothing here keeps state or
// fails: problems come back as feedback lines or a notice in the result. `selections` is always
// the library's capture list; where it holds an id twice, the first capture counts.
namespace ContextComposer {

// The instruction passed as the preamble when the composer's preamble option is on.
const QString& defaultPreamble();

// The text an entry contributes: its custom text or its capture's text, fenced as code when it
// reads as JSON, Swift or Python, else the capture's Markdown.
QString entryBody(const ContextDraftEntry& entry, const Selection& selection);
// "json", "swift", "python" or nothing.
std::optional<QString> detectCodeLanguage(const QString& text);
// One line naming where a capture came from: title and address, either one, or the application.
QString sourceLine(const Selection& selection);
QString xmlEscape(const QString& text);

// The captures a draft names, found by id, with the cache that keeps what was made of them from
// one composition to the next: for the composer, which composes the same prompt again at every
// keystroke. Results are those of the same operation over the captures found.
struct CachedCaptures {
    std::function<const Selection*(const QUuid&)> find;
    CompositionCache& cache;
};

// The draft's prompt in its layout. A missing profile means the draft's own; a missing budget
// means no budget feedback. An edited preview is returned exactly as stored.
ComposedContext compose(const ContextDraft& draft, const QList<Selection>& selections,
                        const std::optional<QString>& preamble, const std::optional<ModelProfile>& profile,
                        std::optional<int64_t> maxTokens, bool groupBySource);
ComposedContext compose(const ContextDraft& draft, const CachedCaptures& captures,
                        const std::optional<QString>& preamble, const std::optional<ModelProfile>& profile,
                        std::optional<int64_t> maxTokens, bool groupBySource);
struct Reduction {
    QList<ContextDraftEntry> entries; // the draft's entries without the removed ones
    QStringList feedback; // one or two lines
};
// Drops unpinned sources, last first, until the prompt fits the budget or only pinned ones are
// left. Never changes the draft; the caller stores the returned entries.
Reduction reduceToFit(const ContextDraft& draft, const QList<Selection>& selections,
                      const std::optional<ModelProfile>& profile, int64_t maxTokens,
                      const std::optional<QString>& preamble);
Reduction reduceToFit(const ContextDraft& draft, const CachedCaptures& captures,
                      const std::optional<ModelProfile>& profile, int64_t maxTokens,
                      const std::optional<QString>& preamble);

// The prompt cut into messages that each repeat the task and preamble and carry a share of the
// sources, packed greedily in prompt order.
QList<ComposedContext> splitForMessages(const ContextDraft& draft, const QList<Selection>& selections,
                                        const std::optional<QString>& preamble,
                                        const std::optional<ModelProfile>& profile, int64_t maxTokens);
// Whether the split can be copied, the labelled clipboard text when it can, and the notice.
SplitCopyPlan planSplitCopy(const ContextDraft& draft, const QList<Selection>& selections,
                            const std::optional<QString>& preamble, const std::optional<ModelProfile>& profile,
                            int64_t maxTokens);
SplitCopyPlan planSplitCopy(const ContextDraft& draft, const CachedCaptures& captures,
                            const std::optional<QString>& preamble, const std::optional<ModelProfile>& profile,
                            int64_t maxTokens);

} // namespace ContextComposer
} // namespace vellicord
