// What the linear-chain decoder gives back after the search: its choices
// (the best path or an N-best list from the live hypotheses, widened by close
// calls), a second pass over buffered frames and a checksum of its state.
#pragma once

#include "core/brevit/search/linch_decoder.h"

#include <cstdint>

struct FrameBuffer;

// ---- slots ----
// Slot 13: the number of choices written, 0 with the first word id
// 0xFFFFFFFF and the first score 0x40000000 on any refusal.
int32_t LinChDecoderNoTimes_GetChoicesAndScores(Decoder* decoder, int32_t maxChoices, int32_t* scores,
                                                int16_t* grammarShares, int32_t capacity, uint32_t* wordIds,
                                                uint8_t* classEnds, uint32_t* classIds, uint32_t* memberValues,
                                                uint8_t* classStarts, uint16_t* decoderValues,
                                                Constraint** constraints, const void* frames,
                                                const int32_t* sideValues);
// Slot 24: frames a to b - 1 of the decoder's frame buffer, no cross scores;
// the state after them.
int32_t LinChDecoderNoTimes_RunDetailedMatchSlot(Decoder* decoder, int32_t firstFrame, int32_t endFrame);
// Slot 34.
uint32_t LinChDecoderNoTimes_ComputeCRC(Decoder* decoder);

// ---- choices ----
// Candidates from the live list, best first, at most maxChoices; duplicates
// removed. choiceOption is kept for the caller's form and changes nothing here.
int32_t LinChDecoderNoTimes_CollectChoices(LinChDecoder* decoder, LinChChoice* choices, int32_t maxChoices,
                                           int32_t choiceOption);
// Puts one candidate ending in word (record's position, its cost and the
// history node ref) into the list in score order.
void LinChDecoderNoTimes_AddChoice(LinChDecoder* decoder, uint16_t word, const LinChHyp* record, int32_t cost,
                                   int32_t ref, LinChChoice* choices, int32_t* numChoices, int32_t maxChoices,
                                   int32_t withFlags);

// ---- second pass ----
// Runs frames firstFrame .. endFrame - 1 of the buffer (only those it holds)
// through the frame step; crossScores, when given, one per frame.
void LinChDecoderNoTimes_RunDetailedMatch(LinChDecoder* decoder, int32_t firstFrame, int32_t endFrame,
                                          FrameBuffer* frameBuffer, const int32_t* crossScores);

// ---- checksums ----
uint32_t LinChDecoderNoTimes_ComputeHypCRC(const LinChHyp* record, int32_t numStates);
