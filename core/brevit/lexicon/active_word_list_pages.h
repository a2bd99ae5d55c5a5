// Shared inside the active word list: element access to its paged tables and
// the runs of one word's static and run-time prons.
#pragma once

#include "core/brevit/lexicon/active_word_list.h"

#include <cstdint>

template <typename T>
inline T& awlAt(T** table, int32_t i)
{
    return table[i >> kAWLPageShift][i & (kAWLPageLength - 1)];
}

// Active id of the run-time pron at position k of the pron index.
inline int32_t awlIndexedWord(const AWL* list, int32_t k)
{
    return awlAt(list->prons, awlAt(list->pronIndex, k));
}

inline bool awlWordSlotInUse(const AWL* list, int32_t slot)
{
    return slot >= 0 && slot <= list->highestWordSlot && awlAt(list->words, slot) != kAWLNoMasterId;
}

inline bool awlPronSlotInUse(const AWL* list, int32_t slot)
{
    return slot >= 0 && slot <= list->highestPronSlot && awlAt(list->prons, slot) != kAWLNone;
}

// The static prons of static word a: first pron id and count.
void AWL_StaticRun(const AWL* list, int32_t a, int32_t* first, int32_t* count);
// Word a's run in the run-time pron index: start position and length.
void AWL_DynamicRun(const AWL* list, int32_t a, int32_t* start, int32_t* length);
// Static active ids and mapped run-time ones.
bool AWL_IsWord(const AWL* list, int32_t activeId);
// Grows a paged table to hold count elements; new pages take fill (an
// element of size bytes repeated). false on allocation failure, nothing changed.
bool AWL_GrowPages(void*** table, uint32_t* capacity, uint32_t* pages, uint32_t size,
                   int64_t count, uint32_t fill);
// Static CRC and the initial run-time state from the parameter block.
bool AWL_Initialise(AWL* list);
