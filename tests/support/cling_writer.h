// Writer of the context-class sub-file "bcl0" from a readable spec. Tables
// are written at their own lengths, so a test makes a wrong-length table by
// giving one; every record is named, so a test drops, changes or cuts one.
//
// Header-only, over constraint_store_writer.h; needs an engine context while
// writing.
#pragma once

#include "tests/support/constraint_store_writer.h"

#include <cstdint>
#include <vector>

namespace cling {

using constraint_store::Records;

struct Spec {
    uint32_t classSetCrc = 0;
    int32_t numAttributes = 0;
    int32_t boundaryAttribute = 0;
    int32_t numEntries = 0;
    std::vector<uint32_t> first;
    std::vector<uint32_t> second;
    std::vector<uint16_t> transitions;
};

template <typename T>
constraint_store::RecordWriter table(const std::vector<T>& values)
{
    return [values](BinFileWriter* w) {
        return BinFileWriter_WriteArray(w, values.empty() ? nullptr : values.data(),
                                        static_cast<uint32_t>(values.size()), sizeof(T)) == 1;
    };
}

inline Records records(const Spec& s)
{
    Records r;
    r.addWord("class-set crc", s.classSetCrc);
    r.addWord("attributes", static_cast<uint32_t>(s.numAttributes));
    r.addWord("boundary", static_cast<uint32_t>(s.boundaryAttribute));
    r.addWord("entries", static_cast<uint32_t>(s.numEntries));
    r.add("first", table(s.first));
    r.add("second", table(s.second));
    r.add("transitions", table(s.transitions));
    return r;
}

// N 2, boundary 2, nine entries: transitions 0 1 2 0 1 2 0 2 1, first
// 100 + i, second 200 + i, class-set CRC 0x12345678.
inline Spec example()
{
    Spec s;
    s.classSetCrc = 0x12345678u;
    s.numAttributes = 2;
    s.boundaryAttribute = 2;
    s.numEntries = 9;
    s.transitions = {0, 1, 2, 0, 1, 2, 0, 2, 1};
    for (uint32_t i = 0; i < 9; ++i) {
        s.first.push_back(100 + i);
        s.second.push_back(200 + i);
    }
    return s;
}

} // namespace cling
