#include "core/library/TimeKey.h"

#include <algorithm>

namespace vellicord {

namespace {

// The ranks are distinct, so the order is total and needs no stable sort to be the stable one.
template<typename Less> void sortKeys(std::vector<TimeKey>& keys, Less less)
{
    // Keys given in the order of a library kept newest first are already in one order by time and,
    // where no two times are equal, in the reverse of the other: a pass that finds so spares the sort.
    if (std::is_sorted(keys.begin(), keys.end(), less))
        return;
    if (std::is_sorted(keys.rbegin(), keys.rend(), less)) {
        std::reverse(keys.begin(), keys.end());
        return;
    }
    std::sort(keys.begin(), keys.end(), less);
}

} // namespace

void TimeKey::sort(std::vector<TimeKey>& keys, bool newestFirst)
{
    if (newestFirst) {
        sortKeys(keys, [](const TimeKey& a, const TimeKey& b) {
            return a.time != b.time ? a.time > b.time : a.rank < b.rank;
        });
    } else {
        sortKeys(keys, [](const TimeKey& a, const TimeKey& b) {
            return a.time != b.time ? a.time < b.time : a.rank < b.rank;
        });
    }
}

} // namespace vellicord
