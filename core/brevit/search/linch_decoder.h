// The linear-chain decoder: the recogniser's frame-synchronous search over
// chains of one- or two-state phone models. Its record starts with the common
// decoder record (operation slots filled from sLinChDecoderBase) and goes on
// with the search's own fields; hypotheses and word starts live in pages of
// 256 records. This header declares the record, its two record kinds and the
// operations shared by creation, utterance set-up and the frame loop.
//
// Costs are signed 16-bit, lower is better; 16384 marks a dead state or an
// unused record; 0x40000000 is "no score" in 32-bit score words.
#pragma once

#include "core/brevit/frontend/utt_det.h"
#include "core/brevit/search/constraint.h"
#include "core/brevit/search/decoder.h"

#include <cstdint>

struct Histogram;
struct LexTree;
struct LinChChoice;
struct LinChDecoder;
struct PairedPhonemeTable;
struct PronCache;
struct ResultGraph;
struct CloseCall;
struct Grammar;

inline constexpr int16_t kLinChDeadCost = 16384;
inline constexpr uint16_t kLinChNoPron = 65535;
inline constexpr int32_t kLinChPageRecords = 256;
inline constexpr int32_t kLinChMaxConstraints = 1024;
inline constexpr uint32_t kLinChEndLow = 0xFFFFFFFFu;
inline constexpr uint32_t kLinChEndHigh = 0x7FFFFFFFu;
inline constexpr uint32_t kLinChFinalBit = 0x80000000u;
inline constexpr int32_t kLinChChoiceStructWords = 36;

// One live phone of a hypothesis.
struct LinChHyp {
    uint16_t pron;        // 65535: the terminator ending the list
    uint8_t phone;        // index of the phone within the pron
    uint16_t model;       // phone model id
    int16_t cost[2];      // per emitting state, 16384 dead
    int32_t ref[2];       // result-graph node where each state's word started
    int16_t best;         // lowest live state cost
    uint32_t activeIdLow;
    uint32_t activeIdHigh;  // bit 31: the position may end the utterance
};

// A word start made in one frame and taken up in the next.
struct LinChNewWord {
    int32_t ref;          // result-graph node of the ending word's history
    int32_t second;       // carried along
    uint32_t activeIdLow;
    uint32_t activeIdHigh;
    uint16_t pron;        // 65535 ends the list; in expanded mode a slot's chain link
    int16_t cost;         // 16384: unused slot
    int32_t sixth;        // carried along
};

struct LinChRescoreWord {
    uint16_t pron;
    int16_t frame;
};

// The best path as FillChoiceStruct gives it.
struct LinChChoiceStruct {
    uint16_t words[kLinChChoiceStructWords];  // pron ids
    uint8_t flags[kLinChChoiceStructWords];
    int32_t count;
    int32_t score;
};

// Mode operations, chosen at creation or utterance start.
typedef void (*LinChUpdateHypothesesFunc)(LinChDecoder* decoder);
typedef int32_t (*LinChMakeNewWordListFunc)(LinChDecoder* decoder);
typedef int32_t (*LinChProcessHypSequenceFunc)(LinChDecoder* decoder, int32_t* readPos, int32_t* writePos,
                                               uint16_t newWordPron, LinChNewWord* newWord);
typedef void (*LinChUpdateHypFunc)(LinChDecoder* decoder, const LinChHyp* incoming, LinChHyp* record);
// (decoder, cost, pron of the ending word, its activeId low and high, result-graph node).
typedef void (*LinChNewWordFunc)(LinChDecoder* decoder, int32_t cost, uint16_t pron, uint32_t low, uint32_t high,
                                 int32_t node);
// 1 when the record went in or merged, 0 when it was dropped.
typedef int32_t (*LinChFindOrAddFunc)(LinChDecoder* decoder, const LinChNewWord* record);

struct LinChDecoder {
    DecoderBase base;

    LinChUpdateHypothesesFunc updateHypotheses;
    LinChMakeNewWordListFunc makeNewWordList;
    LinChProcessHypSequenceFunc processHypSequence;
    int32_t mode;
    int32_t beamLevel;
    int32_t state;
    int32_t keepTimes;
    int32_t kind7;
    int32_t statesPerModel;
    LinChRescoreWord* rescoreWords;
    int32_t rescoreCapacity;
    int32_t rescoreCount;
    LinChNewWord** newWordPages;
    int32_t newWordPageCount;
    int32_t newWordCount;
    int32_t newWordSlots;
    int32_t numVocEntries;
    int32_t resetMark;
    int32_t frameDiffers;
    int32_t frameSkipToggle;
    uint8_t* featureCopy;
    int32_t frameTag;
    int16_t* lmNextWords[2];  // ids, scores
    int32_t lmHistoryKey;
    Constraint* constraints[kLinChMaxConstraints];
    int32_t numConstraints;
    int32_t transcriptionOnly;
    int32_t secondEndOption;
    int32_t finishOption;
    int32_t choiceOption;
    int32_t searchStarted;
    int32_t expanded;
    int32_t optimisedConstraints;
    int32_t withStates;
    int16_t seedKeepFrames;
    int16_t seedLeadFrames;
    LinChHyp silenceHyp;
    int32_t silenceThresholdTime;
    ResultGraph* resultGraph;
    int32_t closeCallOn;
    CloseCall* closeCalls;
    LinChHyp** hypPages;
    int32_t hypPageCount;
    int32_t hypCount;
    int16_t bestCost;
    int16_t bestWordEndCost;
    uint16_t bestPron;
    uint16_t garbagePron;
    int16_t bestNonPauseCost;
    int16_t normaliser;
    int16_t beam;
    int16_t pruneThreshold;
    int16_t newWordBeam;
    int16_t wordEndBeam;
    int16_t wordPenalty;
    int16_t wordInsertionCost;
    int16_t flaggedWordCost;
    int32_t normaliserSum;
    int32_t computation;
    UttDet endPointer;
    UttDet endPointer2;
    int32_t secondEndPointerOn;
    uint16_t bestModel;
    int32_t fmTransitionCapacity;
    ConstraintSuccessor* fmTransitions;
    int16_t frameIndex;
    int16_t contextWord;
    int32_t hasContext;
    int32_t hypCap;
    int32_t wordEndCap;
    int16_t* frameSeedWords;
    int32_t frameSeedCount;
    Histogram* costHistogram;
    Histogram* wordEndHistogram;
    uint16_t silenceState;
    PronCache* pronCache;
    PairedPhonemeTable* pairTable;
    int32_t allowPauseStart;
    int32_t onlyPauseStart;
    int32_t useLM;
    int32_t lmScale;
    Constraint** callerConstraints;
    Constraint** replacedConstraints;
    int32_t numCallerConstraints;
    LinChChoice* choices;
    int32_t choiceCapacity;
    int32_t numChoices;
    LexTree** trees;
    int16_t* treeWords;
    int32_t* treeIds;
    int32_t* treeTags;  // never made here; compared when present
    int32_t treeTag;
    int32_t treeCapacity;
    int32_t numTrees;
    // Incoming costs the tree-aware merge holds for child arcs it has not
    // written yet; grown to the largest tree's arc count, kept across frames.
    struct LinChTreeFeed* treeFeeds;
    int32_t treeFeedCapacity;
    Constraint* wholeVocConstraint;
    LinChNewWordFunc newWordSilence;
    LinChNewWordFunc newWord;
    LinChFindOrAddFunc findOrAdd;
    LinChUpdateHypFunc updateHyp;
    int32_t crossThresholding;
    int32_t constraintCacheSize;
};

inline LinChDecoder* LinChDecoder_Of(Decoder* decoder) { return reinterpret_cast<LinChDecoder*>(decoder); }

// The operation slots every linear-chain decoder starts from.
extern const DecoderBase sLinChDecoderBase;

// ---- creation ----
// Null for more than 2 states per phone model or refuse set.
Decoder* LinChDecoder_CreateForKind(Voc* vocabulary, AM* model, int32_t framePeriodMs, int32_t kind7,
                                    int32_t refuse);
// Null when an allocation fails or the frame period is below 1.
LinChDecoder* LinChDecoder_Create(Voc* vocabulary, AM* model, int32_t framePeriodMs, int32_t kind7);
void LinChDecoder_Delete(Decoder* decoder, int32_t option);
void LinChDecoderNoTimes_FreeMemory(Decoder* decoder, int32_t alsoPronCache);

// ---- utterance ----
DecoderHandle LinChDecoderNoTimes_UttInit(Decoder* decoder, const uint16_t* contextWords, int32_t numContextWords,
                                          Constraint* const* constraints, int32_t numConstraints, int32_t mode,
                                          int32_t beamLevel, int32_t allowPauseStart, int32_t onlyPauseStart,
                                          int32_t finishOption);
void LinChDecoderNoTimes_UttRestart(Decoder* decoder);
void LinChDecoderNoTimes_ResetSearch(LinChDecoder* decoder);

// ---- slots ----
int32_t LinChDecoder_WritePSAFile(Decoder* decoder, DVKTar* archive, const char* prefix);
int32_t LinChDecoder_ReadPSAFile(Decoder* decoder, DVKTar* archive, const char* prefix);
int32_t LinChDecoder_SetRejectionParameters(Decoder* decoder, int32_t on, int32_t threshold);
int32_t LinChDecoder_GetState(Decoder* decoder);
void LinChDecoder_SetCrossThresholding(Decoder* decoder, int32_t value);
int32_t LinChDecoder_GetCurrentFrame(Decoder* decoder);
int32_t LinChDecoder_SetRejected(Decoder* decoder);
int32_t LinChDecoder_GetNonAcousticScore(Decoder* decoder, int32_t leftCount, const uint32_t* leftIds,
                                         int32_t order, int32_t n, const uint32_t* vocIds, const uint8_t* flags);
void LinChDecoder_NotifyLMAdapt(Decoder* decoder, int32_t word);
int32_t LinChDecoder_GetPartialResult(Decoder* decoder, int32_t capacity, uint32_t* wordIds);
WordGraph* LinChDecoder_CloneWordGraph(Decoder* decoder);
// The slot's form: prons are the choice's words, their count in and out.
int32_t LinChDecoder_MassageChoiceSlot(Decoder* decoder, uint16_t* prons, int32_t* count, int32_t* score);
// Checks a word sequence (vocabulary ids) against the grammar rule and the
// transcription constraints; rewrites it against a matching choice when
// they refuse it. The new count, -1 when no choice matches.
int32_t LinChDecoder_MassageChoice(LinChDecoder* decoder, int32_t n, uint32_t* words, const Grammar* grammar,
                                   const char* rule, Constraint* const* transcriptions, int32_t transcriptionCount,
                                   int32_t* score);
void LinChDecoder_FillPronCacheAllClasses(Decoder* decoder, ClassManager* classManager, int32_t flag);
// choice is a LinChChoiceStruct.
int32_t LinChDecoder_FillChoiceStruct(Decoder* decoder, void* choice, int32_t limit);
int32_t LinChDecoder_AddRescorePair(Decoder* decoder, int16_t pron, int16_t frame);
int32_t LinChDecoder_GetSilenceThresholdTime(Decoder* decoder);
int32_t LinChDecoder_GetBestAccumScore(Decoder* decoder);
void LinChDecoderNoTimes_GetKeyScores(Decoder* decoder, int32_t* best, int32_t* silence, int32_t* bestWordEnd);
void LinChDecoder_SetBestCrossScore(Decoder* decoder, int32_t score);
void LinChDecoder_SetComputation(Decoder* decoder, int32_t level);
void LinChDecoder_ForgetConstraint(Decoder* decoder, Constraint* constraint);
int32_t LinChDecoder_MakeWordActive(Decoder* decoder, int32_t word);
int32_t LinChDecoder_MakePronActive(Decoder* decoder, int32_t word, int32_t pron);
int32_t LinChDecoder_MakeWordInactive(Decoder* decoder, int32_t word);
int32_t LinChDecoder_MakePronInactive(Decoder* decoder, int32_t pron);

// ---- shared operations of the frame loop ----
void LinChDecoder_AddRescoreWord(LinChDecoder* decoder, int32_t activeWord, int32_t frame);
int LinChDecoder_CompareRescoreWords(const void* a, const void* b);
void LinChDecoder_SortRescoreList(LinChDecoder* decoder);
void LinChDecoder_DropOldRescoreWords(LinChDecoder* decoder);
void LinChDecoder_BuildNewWordList(LinChDecoder* decoder);
void LinChDecoder_SortNewWords(LinChDecoder* decoder, int32_t first, int32_t last);
void LinChDecoder_BuildFrameSeedList(LinChDecoder* decoder);
void LinChDecoder_SortFrameSeedList(LinChDecoder* decoder);
void LinChDecoder_EndNewWordList(LinChDecoder* decoder);
void LinChDecoder_ScoreNewWords(LinChDecoder* decoder, int32_t base, uint16_t, uint32_t, uint32_t, int32_t);
void LinChDecoder_NewWordSilenceContinuous(LinChDecoder* decoder, int32_t base, uint16_t, uint32_t, uint32_t,
                                           int32_t);
void LinChDecoder_NewWordSilenceConstraint(LinChDecoder* decoder, int32_t base, uint16_t, uint32_t, uint32_t,
                                           int32_t);
void LinChDecoder_NewWordSilenceFMConstraint(LinChDecoder* decoder, int32_t base, uint16_t, uint32_t, uint32_t,
                                             int32_t);
int32_t LinChDecoder_FindOrAdd(LinChDecoder* decoder, const LinChNewWord* record);
int32_t LinChDecoder_FindOrAddExpandedStates(LinChDecoder* decoder, const LinChNewWord* record);
int32_t LinChDecoder_FindOrAddExpandedNoStates(LinChDecoder* decoder, const LinChNewWord* record);
// The tree table's index of (constraint, state of activeId); 0 and state 3
// when the table is full.
int32_t LinChDecoder_FindOrAddExpandedState(LinChDecoder* decoder, int32_t constraintIndex, uint32_t activeIdLow,
                                            uint32_t activeIdHigh, LexTree* tree);
int32_t LinChDecoder_GrowNewWordPages(LinChDecoder* decoder);
void LinChDecoder_UpdateFrameBest(LinChDecoder* decoder);
int32_t LinChDecoder_GetWordEndLimit(LinChDecoder* decoder);
int32_t LinChDecoder_IsSettled(LinChDecoder* decoder);
void LinChDecoder_StoreFrame(LinChDecoder* decoder, const uint8_t* frame, const int32_t* tag);
const uint8_t* LinChDecoder_GetStoredFrame(LinChDecoder* decoder, int32_t* tag);
void LinChDecoder_RecordFrameInfo(LinChDecoder* decoder);
int32_t LinChDecoder_GetNumHypotheses(LinChDecoder* decoder);
void LinChDecoder_SetExpandedStates(LinChDecoder* decoder, int32_t expanded);
void LinChDecoder_ReleaseClassPairCopies(LinChDecoder* decoder);
int32_t LinChDecoder_SetupPronCache(LinChDecoder* decoder);
void LinChDecoder_MapChoiceConstraints(LinChDecoder* decoder);
void LinChDecoder_RelabelChoiceClasses(LinChDecoder* decoder);

// Record i of the page tables.
inline LinChNewWord* LinChDecoder_NewWordAt(LinChDecoder* decoder, int32_t i)
{
    return &decoder->newWordPages[i >> 8][i & 255];
}
inline LinChHyp* LinChDecoder_HypAt(LinChDecoder* decoder, int32_t i) { return &decoder->hypPages[i >> 8][i & 255]; }

// ---- the frame loop's operations the set-up chooses ----
void LinChDecoderNoTimes_UpdateHypotheses(LinChDecoder* decoder);
void LinChDecoderNoTimes_UpdateHypothesesExpanded(LinChDecoder* decoder);
int32_t LinChDecoderNoTimes_MakeNewWordList(LinChDecoder* decoder);
int32_t LinChDecoderNoTimes_MakeNewWordListSimple(LinChDecoder* decoder);
int32_t LinChDecoderNoTimes_ProcessHypSequence(LinChDecoder* decoder, int32_t* readPos, int32_t* writePos,
                                               uint16_t newWordPron, LinChNewWord* newWord);
void LinChDecoderNoTimes_UpdateHyp1(LinChDecoder* decoder, const LinChHyp* incoming, LinChHyp* record);
void LinChDecoderNoTimes_UpdateHyp2(LinChDecoder* decoder, const LinChHyp* incoming, LinChHyp* record);
void LinChDecoderNoTimes_NewWordContinuousSlots(LinChDecoder* decoder, int32_t cost, uint16_t pron, uint32_t low,
                                                uint32_t high, int32_t node);
void LinChDecoderNoTimes_NewWordContinuous(LinChDecoder* decoder, int32_t cost, uint16_t pron, uint32_t low,
                                           uint32_t high, int32_t node);
void LinChDecoderNoTimes_NewWordConstraintWithLM(LinChDecoder* decoder, int32_t cost, uint16_t pron, uint32_t low,
                                                 uint32_t high, int32_t node);
void LinChDecoderNoTimes_NewWordConstraintNoLM(LinChDecoder* decoder, int32_t cost, uint16_t pron, uint32_t low,
                                               uint32_t high, int32_t node);
void LinChDecoderNoTimes_NewWordFMConstraint(LinChDecoder* decoder, int32_t cost, uint16_t pron, uint32_t low,
                                             uint32_t high, int32_t node);
