// The frame-synchronous search of the linear-chain decoder: the frame step,
// hypothesis updates, word ends and new words, and the end of the utterance.
// The operations the set-up chooses are declared with the decoder record;
// this header adds the slots and helpers the search itself needs.
#pragma once

#include "core/brevit/search/linch_decoder.h"

#include <cstdint>

// ---- slots ----
int32_t LinChDecoderNoTimes_ProcessFrame(Decoder* decoder, const uint8_t* frame, const int32_t* sideValue);
int32_t LinChDecoderNoTimes_FESeenFinalSilence(Decoder* decoder, int32_t extraFrames);
int32_t LinChDecoderNoTimes_UttFinish(Decoder* decoder, Utterance* utterance);
int32_t LinChDecoderNoTimes_GetBestConstraintScores(Decoder* decoder, int32_t numEntries, int32_t* garbageCosts,
                                                    int32_t* otherCosts, int32_t* silenceCost);
int32_t LinChDecoderNoTimes_ExtendFinalSilence(Decoder* decoder, int32_t unused, const uint8_t* constraintFlags,
                                               int32_t extraFrames, int32_t frameLimit);
// The framework's slot forms: slot 29 reads both cost arrays from scores
// (garbage costs first, then the others, count each); slot 30 flags no
// constraint and asks for no extra frames.
int32_t LinChDecoderNoTimes_GetBestConstraintScoresSlot(Decoder* decoder, int32_t count, int32_t* scores);
int32_t LinChDecoderNoTimes_ExtendFinalSilenceSlot(Decoder* decoder);

// ---- frame step ----
void LinChDecoderNoTimes_StartWord(LinChDecoder* decoder, uint16_t pron, const LinChNewWord* newWord,
                                   int32_t newWordIndex, int32_t readPos, int32_t* writePos);
int16_t LinChDecoderNoTimes_GetPruneThreshold(LinChDecoder* decoder);
// Tree words and whatever remains of both lists; the new-word cursor is
// given as a callback over the caller's list form, which also gives the
// record's key pron (its pron, or its slot in expanded mode; 65535 at the
// end of the list).
typedef LinChNewWord* (*LinChNextNewWordFunc)(LinChDecoder* decoder, void* cursor, uint16_t* keyPron);
void LinChDecoderNoTimes_MergeRemaining(LinChDecoder* decoder, int32_t* readPos, int32_t* writePos,
                                        LinChNewWord* newWord, uint16_t keyPron, LinChNextNewWordFunc next,
                                        void* cursor);

// ---- end of utterance ----
int32_t LinChDecoderNoTimes_AnyHypCanContinue(LinChDecoder* decoder);
int32_t LinChDecoderNoTimes_AllAtMemberEnd(LinChDecoder* decoder);
void LinChDecoderNoTimes_MarkNearBestConstraints(LinChDecoder* decoder, uint8_t* flags);
// The end rule of the second end-pointer.
int32_t LinChDecoderNoTimes_SecondEndAccepted(LinChDecoder* decoder);

// ---- helpers shared by the search's sources ----
// A record's step along its state chain: the one-state update on the
// silence model, the chosen update else.
void LinChDecoder_UpdateRecord(LinChDecoder* decoder, const LinChHyp* incoming, LinChHyp* record);
// A word end's cost counted into the word-end histogram and best.
void LinChDecoder_CountWordEndCost(LinChDecoder* decoder, int16_t cost);
// A cost sum formed in 32 bits: above 16383 it is dead.
inline int16_t LinChDecoder_CostOf(int32_t sum)
{
    return sum > 16383 ? int16_t{16384} : sum < -32768 ? int16_t{-32768} : static_cast<int16_t>(sum);
}
// The live list's first record and its record count (terminator included):
// after the word-end step it sits at the top of the page space.
inline int32_t LinChDecoder_ListStart(const LinChDecoder* d)
{
    return kLinChPageRecords * d->hypPageCount - d->hypCount;
}
// Phone models and phone count of a pron.
int32_t LinChDecoder_PronModels(LinChDecoder* decoder, uint16_t pron, const uint16_t** models);
// The state that ends a record's phone: the last state, or state 0 on the
// silence model (one-state update).
inline int32_t LinChDecoder_LastState(const LinChDecoder* d, const LinChHyp* r)
{
    return (d->statesPerModel < 2 || r->model == d->silenceHyp.model) ? 0 : 1;
}

// For a class-pair constraint, whether the position's class has a member
// starting with the vocabulary's garbage word; 0 for other types.
int32_t Constraint_IsGarbageState(Constraint* constraint, int32_t index, uint32_t low, uint32_t high);
