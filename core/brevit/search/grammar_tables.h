// What the grammar's own sources share: the used extents of its tables and
// the allocation of the twelve arrays.
#pragma once

#include "core/brevit/search/grammar.h"

#include "core/brevit/runtime/dvk_mem_stack.h"

#include <algorithm>
#include <cstdint>

// A block of the engine's scratch stack, given back on every path (also when
// an engine error unwinds through its owner).
template <typename T>
class GrammarScratch {
public:
    explicit GrammarScratch(int32_t count)
        : m_bytes(static_cast<uint32_t>(std::max(count, 1)) * static_cast<uint32_t>(sizeof(T))),
          m_data(static_cast<T*>(DVKTempMem_Malloc(m_bytes)))
    {
    }
    ~GrammarScratch() { DVKTempMem_Free(m_data, m_bytes); }
    GrammarScratch(const GrammarScratch&) = delete;
    GrammarScratch& operator=(const GrammarScratch&) = delete;
    T* data() { return m_data; }
    T& operator[](int32_t i) { return m_data[i]; }

private:
    uint32_t m_bytes;
    T* m_data;
};

inline int32_t grammarWordsUsed(const Grammar* g) { return g->terminalWordOffsets[g->terminalCount]; }
inline int32_t grammarTerminalNamesUsed(const Grammar* g) { return g->terminalNameOffsets[g->terminalCount]; }
inline int32_t grammarRuleNamesUsed(const Grammar* g) { return g->ruleNameOffsets[g->ruleCount]; }
inline int32_t grammarAlternativesUsed(const Grammar* g) { return g->ruleAlternativeOffsets[g->ruleCount]; }
inline int32_t grammarItemsUsed(const Grammar* g) { return g->alternativeItemOffsets[grammarAlternativesUsed(g)]; }

inline int32_t grammarTerminalSymbol(int32_t terminal) { return -1 - terminal; }

// 1 when the word (a normalised vocabulary id) is among the terminal's
// listed words.
bool grammarTerminalLists(const Grammar* g, int32_t terminal, uint32_t word);
// Whether the terminal matches the word: listed equals polarity 1.
bool grammarTerminalMatches(const Grammar* g, int32_t terminal, uint32_t word);

// Zeroed arrays for the capacities already set in g (non-raising); false
// with nothing kept when one cannot be had.
bool grammarAllocateTables(Grammar* g);
void grammarFreeTables(Grammar* g);

// The word-list form of a vocabulary id and back; 0xFFFFFFFF when it has none.
uint32_t grammarNormaliseId(const Voc* vocabulary, uint32_t id);
