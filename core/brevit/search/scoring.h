// Word-sequence scoring: a weighted edit-distance alignment of a hypothesis
// against a reference (substitution 4, insertion and deletion 3), the error
// regions it yields, the oracle of a list of alternatives, and the training
// of an acoustic word model for a new word from one utterance.
#pragma once

#include <cstdint>

struct AM;
struct AMScoringSet;
struct Segmenter;
struct Utterance;
struct Voc;

// Operation codes of an alignment, one byte each.
inline constexpr uint8_t kScoringMatch = 0;
inline constexpr uint8_t kScoringSubstitution = 1;
inline constexpr uint8_t kScoringInsertion = 2;   // a hypothesis word without a reference word
inline constexpr uint8_t kScoringDeletion = 3;    // a reference word without a hypothesis word

// One error region: inclusive word ranges of both sides (end = start - 1
// when a side has no words) and the larger of the two word counts.
struct ScoringSegment {
    int32_t referenceStart;
    int32_t referenceEnd;
    int32_t hypothesisStart;
    int32_t hypothesisEnd;
    int32_t width;
};

// Alternatives of an N-best list: alternative k (1..count) is
// words[offsets[k - 1] .. offsets[k] - 1].
struct ScoringAlternatives {
    int32_t count;
    const uint32_t* words;
    const uint16_t* offsets;
};

// The minimum-cost alignment; operations receives at most referenceLength +
// hypothesisLength codes in forward order and length their number. The
// number of non-zero operations. Raises when the tables cannot be had.
int32_t Scoring_EditDistance(int32_t referenceLength, const uint32_t* reference, int32_t hypothesisLength,
                             const uint32_t* hypothesis, uint8_t* operations, int32_t* length);

// The alignment, its error segments (each maximal run of non-zero
// operations; at most referenceLength + 1 of them) and the counts of each
// error kind. segments and the three counts may be null. The number of
// errors.
int32_t Scoring_AlignWords(int32_t referenceLength, const uint32_t* reference, int32_t hypothesisLength,
                           const uint32_t* hypothesis, uint8_t* operations, int32_t* length,
                           ScoringSegment* segments, int32_t* segmentCount, int32_t* substitutions,
                           int32_t* insertions, int32_t* deletions);

// The fewest errors reachable by taking, region by region, the best of the
// hypothesis and the alternatives; oracleLength receives the length of that
// word sequence and oracleWords (may be null) the words themselves.
int32_t Scoring_ComputeOracle(int32_t referenceLength, const uint32_t* reference, int32_t hypothesisLength,
                              const uint32_t* hypothesis, const ScoringAlternatives* alternatives,
                              int32_t* oracleLength, int32_t unused, uint32_t* oracleWords);

// Invents phone units for a new word spoken in the utterance (between lead
// and trail frames) and trains their means: a uniform segmentation first,
// then forced segmentation rounds scored through scoringSet. phoneIds must
// hold max(maximumUnits, 32) ids. 1 on success, 0 on failure (a segment of
// no frames fails before its round writes a mean).
int32_t Scoring_TrainWordModel(Utterance* utterance, int32_t leadFrames, int32_t trailFrames, Voc* vocabulary,
                               AM* acousticModel, Segmenter* segmenter, const AMScoringSet* scoringSet,
                               int32_t maximumUnits, uint16_t* phoneIds, int32_t* unitCount);

// Sets each state's mean to the rounded average of its frames: states[k]
// gets the next durations[k] frames after skipFrames. Every duration must be
// at least 1.
void Scoring_SetModelMeans(int32_t states, const uint16_t* stateIds, const uint16_t* durations,
                           Utterance* utterance, int32_t skipFrames, AM* acousticModel);
