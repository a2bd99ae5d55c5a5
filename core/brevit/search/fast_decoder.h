// The fast decoder (kind 1): an isolated-word, frame-synchronous search over
// lexical prefix trees. Each live arc of a tree carries one hypothesis of at
// most two state scores; the result of an utterance is a small table of the
// best word ends, read back as choices. Word training uses it over a tree of
// the candidate pronunciations of a spelled word.
#pragma once

#include "core/brevit/search/decoder.h"

#include <cstdint>

struct ChoiceRecord;
struct Histogram;
struct LexTree;
struct PronCache;

// One live arc: 8 bytes, kept tree by tree in ascending arc order.
struct FastHyp {
    uint16_t arc;     // 0: the tree root
    int16_t score0;   // first state
    int16_t score1;   // second state (16384 for one-state models)
    uint8_t best;     // which live state is lower
    uint8_t depth;    // phones from the root
};
static_assert(sizeof(FastHyp) == 8);

struct FastWordEnd {
    uint16_t pron;
    int16_t score;
};

struct FastDecoder;
typedef DecoderHandle (*FastIsoUttInitFunc)(FastDecoder* d, const uint16_t* leftIds, int32_t leftCount,
                                            Constraint* const* constraints, int32_t constraintCount, int32_t mode);
typedef int32_t (*FastIsoUttFinishFunc)(FastDecoder* d);
typedef int32_t (*FastIsoGetChoicesFunc)(FastDecoder* d, int32_t limit, int32_t* scores, int16_t* perChoice,
                                         int32_t capacity, uint32_t* wordIds, uint8_t* classEnds,
                                         uint32_t* classIds, uint32_t* memberValues, uint8_t* classStarts,
                                         uint16_t* decoderValues);
typedef int32_t (*FastIsoPartialFunc)(FastDecoder* d, int32_t option, uint32_t* word);
typedef WordGraph* (*FastIsoCloneFunc)(FastDecoder* d);
typedef uint32_t (*FastIsoCRCFunc)(FastDecoder* d);
typedef int32_t (*FastIsoProcessFrameFunc)(FastDecoder* d, const uint8_t* frame, const int32_t* sideValue);
typedef int32_t (*FastGetChoiceFunc)(FastDecoder* d, int32_t index, uint16_t* pron, int32_t* score);

inline constexpr int16_t kFastEmpty = 16384;

struct FastDecoder {
    DecoderBase base;
    int32_t mode;
    int32_t state;
    int32_t statesPerModel;
    int32_t hypCount;
    int32_t hypCap;                 // word 564
    int16_t frameBest;
    int16_t secondBest;
    int16_t beam16;
    int16_t wordEndBeam;            // word 570
    int16_t wordEndWindow;          // word 571
    int16_t anchor1;
    int16_t anchor2;
    int16_t wordPenalty16;
    int16_t phonePenalty;           // word 582
    int16_t prevBest;
    int16_t bestWordEnd;
    int16_t threshold;
    int32_t offset;
    int16_t frameIndex;
    int16_t firstNoWordEnd;
    uint16_t left[2];
    int32_t leftCount;
    int32_t nothingToExtend;
    int32_t anchorOption;           // word 672
    int32_t frameChanged;
    int32_t skipToggle;
    int32_t noDynamicChanges;
    uint8_t* keptFrame;
    int32_t keptSide;
    uint8_t* delayRing;
    int32_t* ringSides;             // the side value of each ring frame
    const uint8_t** ringOrder;      // the ring's frames, oldest first
    int32_t ringSize;               // word 103
    int32_t ringActive;
    int32_t ringFill;               // frames taken this utterance
    LexTree* tree;
    int32_t treeIndex;
    int32_t bestHyp;                // index into hyps, -1 none
    int32_t bestTree;
    uint16_t* batch;
    int32_t batchCount;
    int32_t batchCap;               // word 574
    int32_t freeArcs;
    int32_t dynamicExists;
    int32_t dynamicArcCap;          // word 576
    PronCache* pronCache;
    Histogram* histogram;
    int32_t crossScore;
    void* endPointer;               // not made: no end-pointer in this build
    uint16_t silenceState;
    uint16_t wordEndPenalty;        // word 599
    int32_t wordEndCount;
    int32_t wordEndCap;             // word 635
    FastWordEnd* wordEnds;
    int32_t choicesFinal;
    uint32_t constraintCRC;
    FastHyp* hyps;
    int32_t hypEnd;
    int32_t hypCapacity;
    int32_t wordPenalty;
    int32_t beam;
    int32_t endOption;
    int32_t frameChangeThreshold;
    int32_t endPointerSilence;
    FastIsoUttInitFunc isoUttInit;
    FastIsoUttFinishFunc isoUttFinish;
    FastIsoGetChoicesFunc isoGetChoicesAndScores;
    FastIsoPartialFunc isoGetPartialResult;
    FastIsoCloneFunc isoCloneWordGraph;
    FastIsoCRCFunc isoComputeCRC;
    FastIsoProcessFrameFunc isoProcessFrame;
    FastGetChoiceFunc getChoice;
};

inline FastDecoder* FastDecoder_Of(Decoder* d) { return reinterpret_cast<FastDecoder*>(d); }

// ---- object ----
// The record every fast decoder starts from (its operation slots).
extern const DecoderBase sFastDecoderBase;

Decoder* FastDecoder_Create(LexTree* tree, Voc* vocabulary, AM* model, int32_t framePeriod);
Decoder* FastDecoder_CreateFromBinFile(DVKTar* archive, const char* prefix, Voc* vocabulary, AM* model,
                                       int32_t framePeriod);
void FastDecoder_Delete(Decoder* d, int32_t option);
void FastDecoder_SetSearchParameters(Decoder* d, int32_t wordPenalty, int32_t beam, int32_t endOption,
                                     int32_t frameChangeThreshold, int32_t endPointerSilence);
void FastDecoder_SetComputation(Decoder* d, int32_t level);
int32_t FastDecoder_SetRejectionParameters(Decoder* d, int32_t on, int32_t threshold);
int32_t FastDecoder_GetState(Decoder* d);
int32_t FastDecoder_GetCurrentFrame(Decoder* d);
int32_t FastDecoder_FESeenFinalSilence(Decoder* d, int32_t frames);
int32_t FastDecoder_SetRejected(Decoder* d);
int32_t FastDecoder_GetNonAcousticScore(Decoder* d, int32_t leftCount, const uint32_t* leftIds, int32_t total,
                                        int32_t wordCount, const uint32_t* wordIds, const uint8_t* perWord);
void FastDecoder_NotifyLMAdapt(Decoder* d, int32_t word);
int32_t FastDecoder_GetPartialResult(Decoder* d, int32_t option, uint32_t* word);
WordGraph* FastDecoder_CloneWordGraph(Decoder* d);
int32_t FastDecoder_GetSilenceThresholdTime(Decoder* d);
int32_t FastDecoder_GetBestAccumScore(Decoder* d);
void FastDecoder_GetKeyScores(Decoder* d, int32_t* best, int32_t* bestWordEnd, int32_t* extra);
void FastDecoder_SetBestCrossScore(Decoder* d, int32_t score);
uint32_t FastDecoder_ComputeCRC(Decoder* d);
int32_t FastDecoder_RebuildTreeIfNecessary(Decoder* d);
int32_t FastDecoder_MakeWordActive(Decoder* d, int32_t word);
int32_t FastDecoder_MakePronActive(Decoder* d, int32_t word, int32_t pron);
int32_t FastDecoder_MakeWordInactive(Decoder* d, int32_t word);
int32_t FastDecoder_MakePronInactive(Decoder* d, int32_t pron);
int32_t FastDecoder_WritePSAFile(Decoder* d, DVKTar* archive, const char* prefix);
int32_t FastDecoder_ReadPSAFile(Decoder* d, DVKTar* archive, const char* prefix);
DecoderHandle FastDecoder_UttInit(Decoder* d, const uint16_t* leftIds, int32_t leftCount,
                                  Constraint* const* constraints, int32_t constraintCount, int32_t mode, int32_t a,
                                  int32_t b, int32_t c, int32_t e);
int32_t FastDecoder_ProcessFrame(Decoder* d, const uint8_t* frame, const int32_t* sideValue);
int32_t FastDecoder_UttFinish(Decoder* d, Utterance* utterance);
int32_t FastDecoder_GetChoicesAndScores(Decoder* d, int32_t limit, int32_t* scores, int16_t* perChoice,
                                        int32_t capacity, uint32_t* wordIds, uint8_t* classEnds,
                                        uint32_t* classIds, uint32_t* memberValues, uint8_t* classStarts,
                                        uint16_t* decoderValues, Constraint** constraints, const void* frames,
                                        const int32_t* sideValues);

// Re-decodes the utterance over a tree of the records (their boundary
// variants when variantOutputs is given, which then receives each record's
// kept variant) and re-ranks them; the count becomes the records scored.
// The records stay as they were when no tree can be made.
void FastDecoder_RescoreChoiceRecords(Decoder* d, int32_t* count, ChoiceRecord* records, Utterance* utterance,
                                      int32_t historyCount, const uint16_t* history, int32_t wordPenalty,
                                      int32_t boundaryPenalty, int32_t* variantOutputs);

// ---- the isolated-word search ----
void FastIso_Install(FastDecoder* d);
DecoderHandle FastIso_UttInit(FastDecoder* d, const uint16_t* leftIds, int32_t leftCount,
                              Constraint* const* constraints, int32_t constraintCount, int32_t mode);
int32_t FastIso_ProcessFrame(FastDecoder* d, const uint8_t* frame, const int32_t* sideValue);
int32_t FastIso_UttFinish(FastDecoder* d);
int32_t FastIso_GetChoicesAndScores(FastDecoder* d, int32_t limit, int32_t* scores, int16_t* perChoice,
                                    int32_t capacity, uint32_t* wordIds, uint8_t* classEnds, uint32_t* classIds,
                                    uint32_t* memberValues, uint8_t* classStarts, uint16_t* decoderValues);
int32_t FastIso_GetPartialResult(FastDecoder* d, int32_t option, uint32_t* word);
WordGraph* FastIso_CloneWordGraph(FastDecoder* d);
uint32_t FastIso_ComputeCRC(FastDecoder* d);
int32_t Fast_GetChoice(FastDecoder* d, int32_t index, uint16_t* pron, int32_t* score);
int32_t FastIso_CompareChoices(const void* a, const void* b);
// The pruning threshold of a frame from the word-end proposal t.
int32_t FastIso_ComputeThreshold(FastDecoder* d, int32_t t);
void FastIso_InsertWordEnd(FastDecoder* d, uint16_t pron, int32_t score);
// Sorted, best-of-word, within the margin; once per utterance.
void FastIso_FinaliseChoices(FastDecoder* d);
// The hypothesis buffer slot 4 makes when absent or too small; 0 on failure.
int32_t FastDecoder_ReserveHypotheses(FastDecoder* d);
