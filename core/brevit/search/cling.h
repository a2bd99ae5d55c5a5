// Context classes: a word's left context mapped to two class values. Words
// become 16-bit attributes of the word list; a trie over the context's
// attributes (radix N + 1) selects a state, and two tables indexed by state
// and the current word's attribute give the values. Read from "bcl0".
#pragma once

#include <cstdint>

struct DVKTar;
struct MWL;

inline constexpr uint32_t kClingNoWord = 0xFFFFFF;
inline constexpr uint32_t kClingBoundary = 0xFFFFFB;

struct Cling {
    int32_t shared;            // 0: the tables are owned and freed with the object
    uint32_t classSetCrc;
    int32_t numAttributes;     // N: attributes run 0..N
    int32_t boundaryAttribute;
    int32_t numEntries;        // E: length of each table
    const uint32_t* first;
    uint32_t* firstBlock;
    const uint32_t* second;
    uint32_t* secondBlock;
    const uint16_t* transitions;   // null when none were stored
    uint16_t* transitionBlock;
};

// Null when the sub-file is absent, a record fails, a table is neither empty
// nor E long, or the figures would let a lookup leave the tables (N < 0,
// E < N + 1, boundary outside 0..N, a transition t with (t + 1)(N + 1) > E).
Cling* Cling_LoadFromBinFile(DVKTar* archive, const char* prefix);
void Cling_Delete(Cling* cling);
uint32_t Cling_GetClassSetCRC(const Cling* cling);
uint32_t Cling_ComputeCRC(const Cling* cling);
// Attributes above N read as 0; without transitions the walk stays in
// state 0.
void Cling_Lookup(const Cling* cling, const uint16_t* attributes, int32_t n, uint16_t currentAttribute,
                  uint32_t* first, uint32_t* second);
// Context and current word as word-list ids (0xFFFFFF none, 0xFFFFFB the
// boundary, in the context only).
void Cling_LookupContext(const Cling* cling, const uint32_t* contextIds, int32_t n, uint32_t currentId,
                         uint32_t* first, uint32_t* second, const MWL* wordList);
