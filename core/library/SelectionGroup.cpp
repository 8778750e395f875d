#include "core/library/SelectionGroup.h"

#include "core/library/RecordEquality.h"

namespace vellicord {

RgbaColor SelectionGroup::color() const
{
    return RgbaColor::fromHexString(colorHex).value_or(RgbaColor::systemTeal());
}

bool operator==(const SelectionGroup& a, const SelectionGroup& b)
{
    using namespace RecordEquality;
    return a.id == b.id && same(a.name, b.name) && same(a.colorHex, b.colorHex) && a.createdAt == b.createdAt;
}

size_t qHash(const SelectionGroup& g, size_t seed)
{
    return RecordEquality::combine(seed, g.id, g.name, g.colorHex, g.createdAt);
}

} // namespace vellicord
