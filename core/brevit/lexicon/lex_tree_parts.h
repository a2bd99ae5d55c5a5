// Shared between the lexical tree's sources.
#pragma once

#include "core/brevit/lexicon/lex_tree.h"

#include <cstdint>

namespace lex_tree {

inline bool isWordEnd(const LexArc& arc) { return (arc.model & kLexArcWordEnd) != 0; }

// One past the last child of inner arc i: the first child of the next arc
// in array order that is not a word end (the terminator at the latest).
inline int32_t childEnd(const LexArc* arcs, int32_t i)
{
    int32_t j = i + 1;
    while (isWordEnd(arcs[j]))
        ++j;
    return arcs[j].next;
}

// Arrays of one tree, not yet in a slot.
struct TreeArrays {
    LexArc* arcs = nullptr;
    uint8_t* lookahead = nullptr;
    uint32_t* depthTable = nullptr;
};

void freeArrays(TreeArrays& arrays);

} // namespace lex_tree
