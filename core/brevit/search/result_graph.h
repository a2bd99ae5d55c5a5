// Word histories of the linear-chain search: every surviving word end is a
// node whose parent is the history it ended on, so a hypothesis carries one
// node index. Equal histories merge on insertion, the best final node is
// tracked, and paths read back as word, state, member, frame and flag arrays.
// Nodes live in chunks of 1024 and never move.
#pragma once

#include "core/brevit/runtime/brevit_param_words.h"

#include <cstdint>

struct CloseCallRecord;
struct Constraint;
struct LinChChoice;
struct Voc;

inline constexpr uint32_t kResultGraphNone = 0xFFFFFFFFu;
inline constexpr int32_t kResultGraphNoScore = 0x40000000;
inline constexpr uint32_t kResultGraphChunkShift = 10;

struct ResultGraphNode {
    uint32_t parent;  // kResultGraphNone: starts a sentence
    uint32_t low;     // sub-position (bits 0-9), low 22 bits of the member
    uint32_t high;    // flag (31), constraint (21-30), state (3-20), member high bits (0-2)
    uint16_t word;
    int16_t score;
    int16_t endFrame;
};

struct ResultGraph {
    int32_t count;
    uint32_t bestNode;
    int32_t bestScore;
    void** chunks;
    uint32_t chunksAllocated;
    uint32_t chunkCapacity;
    int32_t fullActiveId;
    int32_t maskedActiveId;
    int32_t overflow;
    uint32_t* hash;     // node indices, 0xFFFFFFFE empty; optional
    uint32_t hashSize;  // a power of two
    Voc* voc;           // not owned
};

ResultGraph* ResultGraph_Create(int32_t maximumNodes);
void ResultGraph_Delete(ResultGraph* graph);
void ResultGraph_SetVocabulary(ResultGraph* graph, Voc* voc);
void ResultGraph_Reset(ResultGraph* graph);
void ResultGraph_ResetWithModes(ResultGraph* graph, int32_t fullFlag, int32_t maskedFlag);
void ResultGraph_ClearBest(ResultGraph* graph);
void ResultGraph_UpdateBest(ResultGraph* graph, uint32_t node, int32_t score);
int32_t ResultGraph_HasBest(const ResultGraph* graph);
void ResultGraph_GetBest(const ResultGraph* graph, uint32_t* node, int32_t* score);
int32_t ResultGraph_GetOverflow(const ResultGraph* graph);
uint16_t ResultGraph_GetWord(const ResultGraph* graph, uint32_t node);
uint16_t ResultGraph_GetNodeWord(const ResultGraph* graph, uint32_t node);
// Low word in low, high word (bit 31 cleared) in high; 0 for no node.
void ResultGraph_GetNodeActiveId(const ResultGraph* graph, uint32_t node, uint32_t* low,
                                 uint32_t* high);
// The node of the history, kResultGraphNone when it cannot be stored.
uint32_t ResultGraph_AddNode(ResultGraph* graph, uint32_t parent, uint16_t word, uint32_t low,
                             uint32_t high, int32_t flag, int16_t score, int16_t frame);
uint32_t ResultGraph_FindHistory(const ResultGraph* graph, int32_t n, const uint16_t* words);
// Every output but words may be null. Returns the number of words written.
int32_t ResultGraph_GetPath(const ResultGraph* graph, uint32_t node, uint16_t* words,
                            uint32_t* states, uint8_t* startFlags, uint32_t* members,
                            int16_t* endFrames, uint8_t* flags, int32_t maximum,
                            int32_t* constraint);
// 1 when the whole best path fit, 0 when it was cut or there is none.
int32_t ResultGraph_GetBestPath(const ResultGraph* graph, uint16_t* words, uint32_t* states,
                                uint32_t* members, uint8_t* startFlags, int16_t* endFrames,
                                int32_t maximum, int32_t* count, int32_t* score, uint32_t* node,
                                int32_t flagsWanted, uint8_t* flags, int32_t* constraint);
uint32_t ResultGraph_ComputeCRC(const ResultGraph* graph);

// Where a spliced choice now ends.
struct ResultGraphSplice {
    Constraint* constraint;
    uint32_t node;
};
// Makes the choice's path pass through the close call's loser where it went
// through the winner (either way round for a tie): the words newer than that
// point are added again on top of the loser (score 16384, frame -1). 1 with
// the new end in out; 0 when no boundary qualifies, the word order (word
// 231) or the constraint refuses the step, or the graph is full.
int32_t ResultGraph_SplicePath(ResultGraph* graph, ResultGraphSplice* out, const LinChChoice* choice,
                               const CloseCallRecord* call);

// The node at an index below the count.
ResultGraphNode* ResultGraph_Node(const ResultGraph* graph, uint32_t index);
