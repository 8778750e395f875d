#include "core/composition/CompositionCache.h"

#include "core/composition/ContextComposer.h"
#include "core/foundation/Text.h"

namespace vellicord {

namespace {

// The same characters: found at once when the texts share their data, as the library's copies of
// an unchanged capture or entry do.
bool same(const QString& a, const QString& b)
{
    return (a.constData() == b.constData() && a.size() == b.size()) || a == b;
}

bool same(const Utf8Text& a, const Utf8Text& b)
{
    return a.isSharedWith(b) || a == b;
}

bool same(const std::optional<QString>& a, const std::optional<QString>& b)
{
    return a.has_value() == b.has_value() && (!a || same(*a, *b));
}

// What ContextComposer::entryBody reads.
bool sameBody(const ContextDraftEntry& a, const Selection& s, const ContextDraftEntry& b, const Selection& t)
{
    return a.verbatim == b.verbatim && same(a.customText, b.customText) && same(s.text, t.text)
        && same(s.markdown, t.markdown);
}

// What PromptAssembly::makePart reads besides the body.
bool samePart(const ContextDraftEntry& a, const Selection& s, const ContextDraftEntry& b, const Selection& t)
{
    return same(a.note, b.note) && same(s.sourceTitle, t.sourceTitle) && same(s.sourceURL, t.sourceURL)
        && same(s.filePath, t.filePath) && same(s.appName, t.appName);
}

} // namespace

std::shared_ptr<const PromptAssembly::Part> CompositionCache::part(const ContextDraftEntry& entry,
                                                                   const Selection& selection, ComposerTemplate layout)
{
    Record& record = records_[qMakePair(entry.id, selection.id)];
    record.used = true;
    const bool keptBody = record.part && sameBody(record.entry, record.selection, entry, selection);
    if (keptBody && record.layout == layout && samePart(record.entry, record.selection, entry, selection))
        return record.part;
    if (!keptBody)
        record.body = ContextComposer::entryBody(entry, selection);
    record.entry = entry;
    record.selection = selection;
    record.layout = layout;
    record.part
        = std::make_shared<const PromptAssembly::Part>(PromptAssembly::makePart(entry, selection, layout, record.body));
    return record.part;
}

void CompositionCache::forgetUnused()
{
    for (auto it = records_.begin(); it != records_.end();) {
        if (!it->used) {
            it = records_.erase(it);
            continue;
        }
        it->used = false;
        ++it;
    }
}

qsizetype CompositionCache::previewCharacters(const QString& preview)
{
    previewCharacters_ = preview_ ? Text::graphemeCountAfterEdit(*preview_, previewCharacters_, preview)
                                  : Text::graphemeCount(preview);
    preview_ = preview;
    return previewCharacters_;
}

} // namespace vellicord
