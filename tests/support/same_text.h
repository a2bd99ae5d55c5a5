// Equality of two zero-terminated texts held in vectors of any unit, up to
// their terminators (what lies after them does not count).
#pragma once

#include <cstddef>
#include <vector>

template <typename Char>
bool sameText(const std::vector<Char>& a, const std::vector<Char>& b)
{
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        if (a[i] != b[i])
            return false;
        if (a[i] == 0)
            return true;
    }
    return false;
}
