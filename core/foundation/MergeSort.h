#pragma once

#include <cstddef>
#include <vector>

namespace vellicord {

// A stable merge sort that needs nothing of its comparison but a yes or no: it finishes and keeps
// every element exactly once even when the comparison is not a strict weak ordering (where
// std::stable_sort is undefined behaviour). An element of the right run goes first only when it
// is less than the left one.
template <typename T, typename Less>
void mergeSort(std::vector<T>& items, Less less)
{
    const size_t n = items.size();
    if (n < 2)
        return;
    std::vector<T> buffer(n);
    std::vector<T>* from = &items;
    std::vector<T>* to = &buffer;

    // Insertion sort of short runs first; it too moves an element left only past greater ones.
    constexpr size_t run = 16;
    for (size_t start = 0; start < n; start += run) {
        const size_t end = start + run < n ? start + run : n;
        for (size_t i = start + 1; i < end; ++i) {
            T value = std::move(items[i]);
            size_t j = i;
            while (j > start && less(value, items[j - 1])) {
                items[j] = std::move(items[j - 1]);
                --j;
            }
            items[j] = std::move(value);
        }
    }
    for (size_t width = run; width < n; width *= 2) {
        for (size_t left = 0; left < n; left += 2 * width) {
            const size_t mid = left + width < n ? left + width : n;
            const size_t right = left + 2 * width < n ? left + 2 * width : n;
            size_t i = left, j = mid, k = left;
            while (i < mid && j < right)
                (*to)[k++] = less((*from)[j], (*from)[i]) ? std::move((*from)[j++]) : std::move((*from)[i++]);
            while (i < mid)
                (*to)[k++] = std::move((*from)[i++]);
            while (j < right)
                (*to)[k++] = std::move((*from)[j++]);
        }
        std::swap(from, to);
    }
    if (from != &items)
        items = std::move(*from);
}

} // namespace vellicord
