#include "core/library/PromptTemplate.h"

#include "core/library/RecordEquality.h"

namespace vellicord {

bool operator==(const PromptTemplate& a, const PromptTemplate& b)
{
    using namespace RecordEquality;
    return same(a.id, b.id) && same(a.name, b.name) && same(a.task, b.task) && a.layout == b.layout;
}

size_t qHash(const PromptTemplate& t, size_t seed)
{
    return RecordEquality::combine(seed, t.id, t.name, t.task, ComposerTemplates::rawValue(t.layout));
}

} // namespace vellicord
