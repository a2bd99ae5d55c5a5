// The decoder interface: every search engine of the recogniser starts with
// the same record (a table of 46 operation slots, then the fields all kinds
// share) and is driven only through the Decoder_* functions below, which
// check the slot, call it and add what is common to every kind: utterance
// set-up, state gating of the per-frame step, rejection, confidence, choice
// retrieval, the word context and the common checksum.
#pragma once

#include "core/brevit/runtime/dvk_tar.h"

#include <cstdint>

struct AM;
struct AMScoringSet;
struct ClassManager;
struct Constraint;
struct Decoder;
struct FrameBuffer;
struct Segmenter;
struct Segmentation;
struct Utterance;
struct Voc;
struct WordGraph;

// Decoder kinds.
inline constexpr int32_t kDecoderKindFast = 1;
inline constexpr int32_t kDecoderKindLinearChain = 3;
inline constexpr int32_t kDecoderKindLinearChain7 = 7;
inline constexpr int32_t kDecoderKindDummy = 8;
inline constexpr int32_t kDecoderKindLinearChain9 = 9;

// State word of a decoder (read through slot 8).
inline constexpr int32_t kDecoderStateFinishedFast = 0;
inline constexpr int32_t kDecoderStateRunning = 1;
inline constexpr int32_t kDecoderStateFinished = 2;
inline constexpr int32_t kDecoderStateFailed = 3;
inline constexpr int32_t kDecoderStateStarting = 4;
inline constexpr int32_t kDecoderStateNoHypothesis = 5;
inline constexpr int32_t kDecoderStateFrameLimit = 6;

inline constexpr int32_t kDecoderNoScore = 0x40000000;
inline constexpr int32_t kDecoderRejectionOff = 16384;
inline constexpr uint32_t kDecoderEndOfChoice = 0xFFFFFFFFu;
inline constexpr int32_t kDecoderSlotCount = 46;

// The active constraint handle a kind's UttInit returns; 0: none.
typedef intptr_t DecoderHandle;

// Operation slots, in slot order.
typedef void (*DecoderDeleteFunc)(Decoder* decoder, int32_t option);                       // 0
typedef void (*DecoderFreeMemoryFunc)(Decoder* decoder, int32_t level);                    // 1
typedef int32_t (*DecoderPSAFunc)(Decoder* decoder, DVKTar* archive, const char* prefix);  // 2, 3
typedef DecoderHandle (*DecoderUttInitFunc)(Decoder* decoder, const uint16_t* leftIds, int32_t leftCount,
                                            Constraint* const* constraints, int32_t constraintCount,
                                            int32_t mode, int32_t a, int32_t b, int32_t c, int32_t d);  // 4
typedef void (*DecoderVoidFunc)(Decoder* decoder);                                          // 5
typedef int32_t (*DecoderSetRejectionFunc)(Decoder* decoder, int32_t on, int32_t threshold);  // 6
typedef int32_t (*DecoderProcessFrameFunc)(Decoder* decoder, const uint8_t* frame,
                                           const int32_t* sideValue);                       // 7
typedef int32_t (*DecoderIntFunc)(Decoder* decoder);                                        // 8, 10, 12, 28
typedef void (*DecoderSetIntFunc)(Decoder* decoder, int32_t value);                         // 9, 15, 32, 33
typedef int32_t (*DecoderIntArgFunc)(Decoder* decoder, int32_t value);                      // 11, 36, 38, 39
// Slot 13: the choice list in the engine's form; the two options go last.
typedef int32_t (*DecoderGetChoicesFunc)(Decoder* decoder, int32_t limit, int32_t* scores,
                                         int16_t* grammarShares, int32_t capacity, uint32_t* wordIds,
                                         uint8_t* classEnds, uint32_t* classIds, uint32_t* memberValues,
                                         uint8_t* classStarts, uint16_t* decoderValues,
                                         Constraint** constraints, const void* frames,
                                         const int32_t* sideValues);                         // 13
typedef int32_t (*DecoderNonAcousticFunc)(Decoder* decoder, int32_t leftCount, const uint32_t* leftIds,
                                          int32_t total, int32_t wordCount, const uint32_t* wordIds,
                                          const uint8_t* perWord);                           // 14
typedef int32_t (*DecoderPartialResultFunc)(Decoder* decoder, int32_t capacity, uint32_t* wordIds);  // 16
typedef WordGraph* (*DecoderCloneWordGraphFunc)(Decoder* decoder);                          // 17
typedef int32_t (*DecoderChoiceIntervalFunc)(Decoder* decoder, int32_t choiceIndex, int32_t* first,
                                             int32_t* last);                                 // 18
typedef int32_t (*DecoderMassageChoiceFunc)(Decoder* decoder, uint16_t* prons, int32_t* count,
                                            int32_t* score);                                 // 19
typedef int32_t (*DecoderUttFinishFunc)(Decoder* decoder, Utterance* utterance);            // 20
typedef int32_t (*DecoderSetFrameBufferFunc)(Decoder* decoder, FrameBuffer* buffer);        // 21
typedef void (*DecoderFillPronCacheFunc)(Decoder* decoder, ClassManager* classManager, int32_t flag);  // 22
typedef int32_t (*DecoderDetailedMatchFunc)(Decoder* decoder, int32_t a, int32_t b);        // 24
typedef int32_t (*DecoderFillChoiceStructFunc)(Decoder* decoder, void* choices, int32_t limit);  // 25
typedef int32_t (*DecoderAddPairFunc)(Decoder* decoder, int16_t a, int16_t b);              // 26
typedef int32_t (*DecoderBestConstraintScoresFunc)(Decoder* decoder, int32_t count, int32_t* scores);  // 29
typedef void (*DecoderKeyScoresFunc)(Decoder* decoder, int32_t* best, int32_t* silence,
                                     int32_t* bestWordEnd);                                 // 31
typedef uint32_t (*DecoderCRCFunc)(Decoder* decoder);                                       // 34
typedef void (*DecoderForgetConstraintFunc)(Decoder* decoder, Constraint* constraint);      // 35
typedef int32_t (*DecoderPronActiveFunc)(Decoder* decoder, int32_t word, int32_t pron);     // 37
typedef void (*DecoderTwoWordsFunc)(Decoder* decoder, int32_t a, int32_t b);                // 40
typedef int32_t (*DecoderWriteFileFunc)(Decoder* decoder, const char* path);                // 42, 43

struct Decoder {
    // 46 operation slots; an empty slot is null.
    DecoderDeleteFunc deleteSlot;                        // 0
    DecoderFreeMemoryFunc freeMemory;                    // 1
    DecoderPSAFunc writePSAFile;                         // 2
    DecoderPSAFunc readPSAFile;                          // 3
    DecoderUttInitFunc uttInit;                          // 4
    DecoderVoidFunc uttRestart;                          // 5
    DecoderSetRejectionFunc setRejectionParameters;      // 6
    DecoderProcessFrameFunc processFrame;                // 7
    DecoderIntFunc getState;                             // 8
    DecoderSetIntFunc setCrossThresholding;              // 9
    DecoderIntFunc getCurrentFrame;                      // 10
    DecoderIntArgFunc feSeenFinalSilence;                // 11
    DecoderIntFunc setRejected;                          // 12
    DecoderGetChoicesFunc getChoicesAndScores;           // 13
    DecoderNonAcousticFunc getNonAcousticScore;          // 14
    DecoderSetIntFunc notifyLMAdapt;                     // 15
    DecoderPartialResultFunc getPartialResult;           // 16
    DecoderCloneWordGraphFunc cloneWordGraph;            // 17
    DecoderChoiceIntervalFunc getChoiceInterval;         // 18
    DecoderMassageChoiceFunc massageChoice;              // 19
    DecoderUttFinishFunc uttFinish;                      // 20
    DecoderSetFrameBufferFunc setFrameBuffer;            // 21
    DecoderFillPronCacheFunc fillPronCacheAllClasses;    // 22
    DecoderIntFunc rebuildTreeIfNecessary;               // 23
    DecoderDetailedMatchFunc runDetailedMatch;           // 24
    DecoderFillChoiceStructFunc fillChoiceStruct;        // 25
    DecoderAddPairFunc addPair;                          // 26
    DecoderIntFunc getSilenceThresholdTime;              // 27
    DecoderIntFunc getBestAccumScore;                    // 28
    DecoderBestConstraintScoresFunc getBestConstraintScores;  // 29
    DecoderIntFunc extendFinalSilence;                   // 30
    DecoderKeyScoresFunc getKeyScores;                   // 31
    DecoderSetIntFunc setBestCrossScore;                 // 32
    DecoderSetIntFunc setComputation;                    // 33
    DecoderCRCFunc computeCRC;                           // 34
    DecoderForgetConstraintFunc forgetConstraint;        // 35
    DecoderIntArgFunc makeWordActive;                    // 36
    DecoderPronActiveFunc makePronActive;                // 37
    DecoderIntArgFunc makeWordInactive;                  // 38
    DecoderIntArgFunc makePronInactive;                  // 39
    DecoderTwoWordsFunc slot40;                          // 40: no caller
    DecoderVoidFunc dumpState;                           // 41
    DecoderWriteFileFunc writeSegmentationFile;          // 42
    DecoderWriteFileFunc writeLatticeFile;               // 43
    void* slot44;                                        // 44, 45: no operation
    void* slot45;

    // Common fields.
    int32_t kind;
    int32_t kindWord;              // kind-specific, in the common CRC
    Voc* vocabulary;               // not owned
    AM* model;                     // not owned
    FrameBuffer* frameBuffer;
    int32_t ownsFrameBuffer;
    AMScoringSet* scoringSet;
    int32_t rejectionScore;        // kDecoderNoScore while rejection is off
    int32_t fillerFrames;          // -1 while rejection is off
    int32_t rejectionOn;           // 0 or 1
    int32_t rejectionThreshold;    // kDecoderRejectionOff: off
    int32_t framePeriod;           // ms
    uint32_t frameChecksum;
    int32_t* statsA;
    int32_t* statsB;
    int32_t statsLength;           // parameter word 742
    int32_t kindWord2;
    uint16_t leftIds[2];           // active word ids, 65535 unused
    int32_t leftCount;             // 0..2
    uint16_t rightIds[2];
    int32_t rightCount;            // 0..2
    int32_t uttDone;
    DecoderHandle activeConstraint;  // 0: no utterance set up
    WordGraph* wordGraph;
    Utterance* utterance;          // the last utterance, not owned
    Segmenter* aligner;
    Segmentation* workingSegmentation;
    Segmentation* bestSegmentation;
    int32_t adaptationCount;
};

typedef Decoder DecoderBase;

// ---- creation ----
// Models with more than 2 states per phone model are refused; kinds 3 and 7
// need parameter word 211 and go to the linear-chain creator; 8 is a dummy.
Decoder* Decoder_Create(Voc* vocabulary, AM* model, AM* second, AM* third, int32_t option, int32_t kind);
// "<prefix>bd0": kind and option; kind 1 and a missing sub-file give null.
Decoder* Decoder_LoadFromBinFile(DVKTar* archive, const char* prefix, Voc* vocabulary, AM* model, AM* second,
                                 AM* third);
void Decoder_Delete(Decoder* decoder, int32_t option);
void Decoder_DeleteDummy(Decoder* decoder, int32_t option);
// The aligner and both segmentations (null ones allowed).
void Decoder_FreeSegmentations(Decoder* decoder);
AMScoringSet* Decoder_CreateAMScoreState(Decoder* decoder);
AMScoringSet* Decoder_GetAMScoreState(const Decoder* decoder);
void Decoder_InitAMScoring(Decoder* decoder, int32_t a, int32_t b);

// ---- dispatchers ----
void Decoder_FreeMemory(Decoder* decoder, int32_t level);
int32_t Decoder_WritePSAFile(Decoder* decoder, DVKTar* archive, const char* prefix);
int32_t Decoder_ReadPSAFile(Decoder* decoder, DVKTar* archive, const char* prefix);
void Decoder_UttRestart(Decoder* decoder);
int32_t Decoder_SetRejectionParameters(Decoder* decoder, int32_t on, int32_t threshold);
int32_t Decoder_GetState(Decoder* decoder);
void Decoder_SetCrossThresholding(Decoder* decoder, int32_t value);
int32_t Decoder_GetCurrentFrame(Decoder* decoder);
int32_t Decoder_FESeenFinalSilence(Decoder* decoder, int32_t frames);
int32_t Decoder_SetRejected(Decoder* decoder);
int32_t Decoder_GetNonAcousticScore(Decoder* decoder, int32_t leftCount, const uint32_t* leftIds, int32_t total,
                                    int32_t wordCount, const uint32_t* wordIds, const uint8_t* perWord);
void Decoder_NotifyLMAdapt(Decoder* decoder, int32_t word);
int32_t Decoder_GetPartialResult(Decoder* decoder, int32_t capacity, uint32_t* wordIds);
WordGraph* Decoder_CloneWordGraph(Decoder* decoder);
// 0 also when the index is not below count (the given list's choice count).
int32_t Decoder_GetChoiceInterval(Decoder* decoder, int32_t count, int32_t choiceIndex, int32_t* first,
                                  int32_t* last);
int32_t Decoder_MassageChoice(Decoder* decoder, uint16_t* prons, int32_t* count, int32_t* score);
int32_t Decoder_UttFinish(Decoder* decoder, Utterance* utterance);
int32_t Decoder_SetFrameBuffer(Decoder* decoder, FrameBuffer* buffer);
void Decoder_FillPronCacheAllClasses(Decoder* decoder, ClassManager* classManager, int32_t flag);
int32_t Decoder_RebuildTreeIfNecessary(Decoder* decoder);
int32_t Decoder_RunDetailedMatch(Decoder* decoder, int32_t a, int32_t b);
int32_t Decoder_FillChoiceStruct(Decoder* decoder, void* choices, int32_t limit);
int32_t Decoder_AddPair(Decoder* decoder, int16_t a, int16_t b);
int32_t Decoder_GetSilenceThresholdTime(Decoder* decoder);
int32_t Decoder_GetBestAccumScore(Decoder* decoder);
int32_t Decoder_GetBestConstraintScores(Decoder* decoder, int32_t count, int32_t* scores);
int32_t Decoder_ExtendFinalSilence(Decoder* decoder);
void Decoder_GetKeyScores(Decoder* decoder, int32_t* best, int32_t* silence, int32_t* bestWordEnd);
void Decoder_SetBestCrossScore(Decoder* decoder, int32_t score);
void Decoder_SetComputation(Decoder* decoder, int32_t level);
uint32_t Decoder_ComputeCRC(Decoder* decoder);
void Decoder_ForgetConstraint(Decoder* decoder, Constraint* constraint);
int32_t Decoder_MakeWordActive(Decoder* decoder, int32_t word);
int32_t Decoder_MakePronActive(Decoder* decoder, int32_t word, int32_t pron);
int32_t Decoder_MakeWordInactive(Decoder* decoder, int32_t word);
int32_t Decoder_MakePronInactive(Decoder* decoder, int32_t pron);
void Decoder_DumpState(Decoder* decoder);
int32_t Decoder_WriteSegmentationFile(Decoder* decoder, const char* path);
int32_t Decoder_WriteLatticeFile(Decoder* decoder, const char* path);

// ---- utterance ----
DecoderHandle Decoder_UttInit(Decoder* decoder, int32_t leftCount, const uint16_t* leftIds,
                              int32_t constraintCount, Constraint* const* constraints, int32_t mode, int32_t a,
                              int32_t b, int32_t c, int32_t d);
void Decoder_SetRightContext(Decoder* decoder, int32_t count, const uint16_t* ids);
int32_t Decoder_ProcessFrame(Decoder* decoder, const uint8_t* frame, const int32_t* sideValue);
int32_t Decoder_DecodeUtterance(Decoder* decoder, int32_t leftCount, const uint16_t* leftIds,
                                int32_t constraintCount, Constraint* const* constraints, int32_t mode,
                                int32_t a, int32_t b, int32_t c, int32_t d, Utterance* utterance);
int32_t Decoder_GetChoicesAndScores(Decoder* decoder, const void* frames, const int32_t* sideValues,
                                    int32_t limit, int32_t* scores, int16_t* grammarShares, int32_t capacity,
                                    uint32_t* wordIds, uint8_t* classEnds, uint32_t* classIds,
                                    uint32_t* memberValues, uint8_t* classStarts, uint16_t* decoderValues,
                                    Constraint** constraints, int32_t* confidence);
int32_t Decoder_ComputeConfidence(Decoder* decoder, int32_t best, int32_t second);

// ---- rejection ----
int32_t Decoder_SetRejection(Decoder* decoder, int32_t on, int32_t threshold);
int32_t Decoder_AccumulateRejectionScore(Decoder* decoder);
int32_t Decoder_GetRejectionScore(const Decoder* decoder);
int32_t Decoder_IsRejected(Decoder* decoder, int32_t threshold);
// The margin IsRejected compares with 0, for a best score, its
// non-acoustic part and a threshold.
int64_t Decoder_RejectionMargin(const Decoder* decoder, int32_t best, int32_t nonAcoustic, int32_t threshold);

// ---- limits, checksums, readers ----
int32_t Decoder_GetSearchLimits(Decoder* decoder, ClassManager* classManager, Constraint* const* constraints,
                                int32_t constraintCount, int32_t a, int32_t b, int32_t* out1, int32_t* out2,
                                int32_t* out3, int32_t* out4);
uint32_t Decoder_ComputeCommonCRC(const Decoder* decoder);
int32_t Decoder_CountStateTableConstraints(Constraint* const* constraints, int32_t count);
int32_t Decoder_HasStateTableConstraint(Constraint* const* constraints, int32_t count);
int32_t Decoder_MassagePronSequence(const uint16_t* prons, const void* a, const void* b, const void* c,
                                    int32_t option, int32_t* count, int32_t* score);
int32_t Decoder_IsUtteranceDone(const Decoder* decoder);
Segmentation* Decoder_GetSegmentation(const Decoder* decoder);
int32_t Decoder_HasFailed(Decoder* decoder);
void Decoder_GetHypLikStats(const Decoder* decoder, int32_t** first, int32_t** second);

// The linear-chain creator (kinds 3 and 7); null for kind 9.
Decoder* LinChDecoder_CreateForKind(Voc* vocabulary, AM* model, int32_t option, int32_t kind7, int32_t kind9);
