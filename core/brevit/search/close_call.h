// Close calls of the linear-chain search: when two hypotheses meet in one
// state and the worse one is dropped, its history is remembered with the one
// that beat it, so that the N-best list can put the loser in the winner's
// place. Also the choice-list edits the list builders make.
#pragma once

#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/search/linch_choice.h"

#include <cstdint>

struct ClassManager;
struct Constraint;
struct ResultGraph;
struct Voc;

struct CloseCallRecord {
    uint32_t loser;   // result-graph node of the discarded history
    uint32_t winner;  // result-graph node of the history that won
    int16_t difference;
    int16_t key;
};
static_assert(sizeof(CloseCallRecord) == 12);

struct CloseCall {
    CloseCallRecord* records;
    int32_t capacity;
    int32_t count;
    int32_t owner;  // given at creation, kept
};

// Null for capacity 0 (or below), a capacity too large to address, or no memory.
CloseCall* CloseCall_Create(int32_t owner, int32_t capacity);
void CloseCall_Delete(CloseCall* table);
void CloseCall_Reset(CloseCall* table);
// Records (or tightens) the pair; a full table keeps the smallest keys.
void CloseCall_FindOrAdd(CloseCall* table, uint32_t loser, uint32_t winner, int16_t difference,
                         int16_t aboveBest, Voc* voc);
// Difference, key, loser, winner; the closest calls first.
int32_t CloseCall_CompareRecords(const CloseCallRecord* a, const CloseCallRecord* b);
uint32_t CloseCall_ComputeCRC(const CloseCall* table);

// Inserts a candidate into a list sorted by CloseCall_CompareChoices, at most
// limit long, replacing a worse choice of the same words. 1 when it went in
// at or before the hint.
int32_t CloseCall_InsertChoice(LinChChoice* list, int32_t hint, int32_t limit, int32_t* count,
                               const LinChChoice* candidate);
// The n given words followed by the base choice's words from position from
// on; more than the record holds gives a word count of 0.
void CloseCall_SpliceChoice(LinChChoice* choice, const LinChChoice* base, const uint16_t* words,
                            const uint32_t* members, const uint8_t* startFlags,
                            const uint32_t* classes, const int16_t* frames, int32_t n, int32_t from);
// The class of a path position: the class id held in its state (an alias's
// target for an alias), 0 for the sentence ends' class and without a
// manager, -1 when the manager does not know the id.
int32_t ClassManager_GetMemberClass(const ClassManager* manager, uint32_t member, uint32_t state);
// Reads each choice's path from its end node (at most 59 words): words,
// members, start flags, states, end frames, flags and classes, and the
// constraint of the path's constraint number in the table.
void CloseCall_FillChoicesFromGraph(const ResultGraph* graph, const ClassManager* manager,
                                    Constraint* const* constraints, LinChChoice* choices, int32_t n);
// Removes the later of two choices of the same words (prons, or active words
// of the vocabulary), and with word 856 the same members and classes.
void CloseCall_RemoveDuplicateChoices(const Voc* voc, LinChChoice* choices, int32_t* count);
// Removes the later of two choices ending on the same result-graph node.
void CloseCall_RemoveSameNodeChoices(LinChChoice* choices, int32_t* count);

// Rewrites every choice, last first, with the decoder's pron-sequence
// rewrite (option passed through from the caller): a rejected choice (score
// 0x40000000) leaves the list, a worse one moves down behind the choices now
// better; after any change duplicates go.
void CloseCall_RescoreChoices(const Voc* voc, LinChChoice* choices, int32_t* count, int32_t option);
// The N-best list builders. The list (its first entry the best path) grows,
// up to limit, by putting each close call's loser in place of its winner in
// the listed choices, the closest calls first (the table is sorted). Each
// candidate costs its choice's score + the difference + the penalty of
// words 216 and 217 for its key. With word 215 the list is rescored; then
// duplicates go. A limit of 1 keeps one choice and tries nothing.
//
// By word arrays: a choice beginning with the winner's path gets the loser's
// path in its place (classes from the manager, 0 without one); with
// transcription constraints given (and word 228 clear) they must accept it.
void CloseCall_BuildChoicesByPrefix(CloseCall* table, const ResultGraph* graph, const Voc* voc,
                                    const ClassManager* manager, Constraint* const* transcriptions,
                                    int32_t transcriptionCount, LinChChoice* choices, int32_t limit,
                                    int32_t* count, int32_t option);
// In the graph: candidates are spliced paths (ResultGraph_SplicePath), one
// choice per end node, ordered by score and end node while building; at the
// end every choice reads its words from the graph (constraints: the table by
// constraint number) and the list is sorted by CloseCall_CompareChoices.
void CloseCall_BuildChoicesInGraph(CloseCall* table, ResultGraph* graph, const Voc* voc,
                                   const ClassManager* manager, Constraint* const* constraints,
                                   LinChChoice* choices, int32_t limit, int32_t* count, int32_t option);
