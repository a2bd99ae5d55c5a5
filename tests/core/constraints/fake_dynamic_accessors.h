// Stand-in transition accessors of dynamic constraints: a dynamic
// constraint's transitions point to a FakeDynamicRows, answered as the
// dynamic table answers (1-based iterators).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct FakeDynamicRow {
    std::string from, to;
    int32_t penalty;
};

struct FakeDynamicRows {
    std::vector<FakeDynamicRow> rows;
};
