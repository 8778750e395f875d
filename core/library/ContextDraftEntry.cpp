#include "core/library/ContextDraftEntry.h"

#include "core/library/RecordEquality.h"

namespace vellicord {

bool operator==(const ContextDraftEntry& a, const ContextDraftEntry& b)
{
    using namespace RecordEquality;
    return a.id == b.id && a.selectionID == b.selectionID && a.include == b.include && a.pin == b.pin
        && a.verbatim == b.verbatim && same(a.note, b.note) && same(a.customText, b.customText);
}

size_t qHash(const ContextDraftEntry& e, size_t seed)
{
    return RecordEquality::combine(seed, e.id, e.selectionID, e.include, e.pin, e.verbatim, e.note, e.customText);
}

} // namespace vellicord
