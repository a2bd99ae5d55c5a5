// An in-place heap sort over index ranges, for records kept in chunked
// arrays: no extra memory and n log n on any input.
#pragma once

#include <cstdint>

namespace word_graph {

// Sorts positions first .. first + n - 1 by less(i, j), exchanging with swap(i, j).
template <typename Less, typename Swap>
void heapSort(int32_t first, int32_t n, Less less, Swap swap)
{
    auto sift = [&](int32_t root, int32_t end) {
        for (;;) {
            int32_t child = 2 * root + 1;
            if (child >= end)
                return;
            if (child + 1 < end && less(first + child, first + child + 1))
                ++child;
            if (!less(first + root, first + child))
                return;
            swap(first + root, first + child);
            root = child;
        }
    };
    for (int32_t i = n / 2 - 1; i >= 0; --i)
        sift(i, n);
    for (int32_t end = n - 1; end > 0; --end) {
        swap(first, first + end);
        sift(0, end);
    }
}

}  // namespace word_graph
