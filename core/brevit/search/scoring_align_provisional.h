// The word-sequence alignment the choice utilities use, declared here until
// the scoring module that owns it is linked: the same record and signature.
// The provisional definition is weak and gives way to the real one.
#pragma once

#include <cstdint>

// One error region: inclusive word ranges of both sides (end = start - 1
// when a side has no words) and the larger of the two word counts.
struct ScoringSegment {
    int32_t referenceStart;
    int32_t referenceEnd;
    int32_t hypothesisStart;
    int32_t hypothesisEnd;
    int32_t width;
};

// The alignment (operations: at most referenceLength + hypothesisLength
// codes), its error segments (each maximal run of non-matches) and the
// counts of each error kind; segments and the counts may be null. The
// number of errors.
int32_t Scoring_AlignWords(int32_t referenceLength, const uint32_t* reference, int32_t hypothesisLength,
                           const uint32_t* hypothesis, uint8_t* operations, int32_t* length,
                           ScoringSegment* segments, int32_t* segmentCount, int32_t* substitutions,
                           int32_t* insertions, int32_t* deletions);
