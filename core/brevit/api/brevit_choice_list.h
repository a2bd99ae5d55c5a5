// The n-best result of one primary decoder: ranked word-id sequences with
// scores and per-word class information. Per-choice arrays hold capacity
// entries, per-word arrays wordSlots entries.
#pragma once

#include "core/brevit/api/brevit.h"

#include <cstdint>

struct Constraint;

struct BrevitChoiceList {
    int32_t capacity;            // choices
    int32_t count;               // -1: no list built for the current pass
    int32_t* scores;             // lower is better
    int16_t* grammarShares;      // part of the score from the constraint
    Constraint** constraints;    // the constraint behind each choice (none = null)
    int32_t wordSlots;
    VocId* wordIds;              // choices one after another, each ended by 0xFFFFFFFF
    uint32_t* classIds;
    uint32_t* memberValues;
    uint8_t* classStarts;
    uint16_t* decoderValues;
    uint8_t* classEnds;
    int32_t intervalFirstWord;   // 0 and 0x7fffffff: the whole utterance
    int32_t intervalLastWord;
    uint32_t intervalUtteranceId;
    int32_t passWord1;           // 0 at each start
    int32_t passWord2;           // -1 at each start
    VocId* recentWords;
    int32_t recentWordCount;
    int32_t recentWordCapacity;  // = wordSlots
    int32_t rejectionScore;
    int32_t confidence;          // 0..100, -1 when not known
};

inline constexpr int32_t kBrevitChoiceIntervalAll = 0x7fffffff;

// A list for the choice capacity of parameter word 207 and the word-slot
// capacity of parameter word 209: count -1, the whole-utterance interval,
// the per-pass words 0 and -1, everything else zero. Null when an allocation
// fails (nothing is left allocated).
BrevitChoiceList* BrevitChoiceList_Create(void);
// A list of the same capacities holding a copy of every field and array.
BrevitChoiceList* BrevitChoiceList_Clone(const BrevitChoiceList* list);
// Null is allowed.
void BrevitChoiceList_Delete(BrevitChoiceList* list);
