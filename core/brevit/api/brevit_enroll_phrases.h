// The enrollment phrase set "ber0" of a model set: the phrases a speaker
// reads for enrollment, each a word-id sequence ended by 0xFFFFFFFF.
#pragma once

#include <cstdint>

struct DVKTar;

inline constexpr const char* kEnrollPhrasesTag = "ber0";

struct EnrollPhrases {
    uint32_t** phrases;   // count arrays, each ended by 0xFFFFFFFF
    int32_t count;
    int32_t secondCount;
    int32_t maxLength;    // longest phrase, without its end mark
};

// Null when the sub-file is missing, its counts are negative or more than it
// can hold, a phrase is longer than the maximum or not ended, the sub-file is
// not read to its end, or memory is short (nothing is left allocated).
EnrollPhrases* EnrollPhrases_Load(DVKTar* tar, const char* prefix);
// Null allowed.
void EnrollPhrases_Delete(EnrollPhrases* set);
