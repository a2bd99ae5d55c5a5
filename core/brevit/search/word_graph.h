// The word lattice a decoder keeps beside its search: per end frame, the word
// hypotheses (arcs) ending there with their start frames and scores. Arcs are
// stored per end frame in chunked arrays of 256 elements that never move
// while a frame fills. Besides the store: finishing and linking of word
// pieces, a frame's words, a greedy back-trace, a best-first iterator,
// checksums, and the two searches over a finished graph (the language-model
// result graph and the n-best word sequences). Allocation failures are
// reported, never raised.
#pragma once

#include <cstdint>

struct AM;
struct ChoiceRecord;
struct Constraint;
struct ResultGraph;
struct Voc;

inline constexpr uint16_t kWordGraphNullWord = 65534;
inline constexpr uint32_t kWordGraphChunkShift = 8;
inline constexpr int32_t kWordGraphNoScore = 0x40000000;
inline constexpr int32_t kWordGraphComplete = 0x7FFFFFFF;
// Frames are 16-bit: capacities above this are cut to it.
inline constexpr int32_t kWordGraphMaxFrames = 32768;
// The result-graph history holds at most this many words.
inline constexpr int32_t kWordGraphMaxHistory = 5;

// Context kinds: a word's first piece, a later piece still to be linked to
// its first piece, a whole word.
inline constexpr uint32_t kWordGraphFirstPiece = 0;
inline constexpr uint32_t kWordGraphLaterPiece = 1;
inline constexpr uint32_t kWordGraphWholeWord = 2;

struct WordGraphFrame {
    int32_t firstArc;
    int32_t arcCount;
    int32_t visited;         // the iterator's mark
    int32_t referenceScore;  // score of the first arc that ended here
};

struct WordGraphArc {
    uint16_t word;       // a pron id; kWordGraphNullWord opens a path
    int16_t startFrame;
    int16_t score;       // relative to the frame's reference score
    uint16_t flag;
};

struct WordGraphContext {
    uint32_t kind;
    uint16_t entryPhoneme;
    uint16_t exitPhoneme;  // 0: none
    int32_t acousticScore;
};

struct WordGraph {
    void** arcs;                 // timed mode
    uint32_t arcChunkCapacity;
    uint32_t arcChunksInUse;
    void** contexts;             // timed mode with context records
    uint32_t contextChunkCapacity;
    uint32_t contextChunksInUse;
    void** words;                // word-only mode
    uint32_t wordChunkCapacity;
    uint32_t wordChunksInUse;
    WordGraphFrame* frames;
    int32_t arcCount;
    int32_t frameCount;          // one past the highest end frame used
    int32_t linked;
    int32_t wordOnly;
    int32_t valueA;              // the creator's; carried only
    int32_t valueB;              // the creator's; carried and checksummed
    int32_t frameCapacity;
    int16_t currentFrame;        // -1 when empty
    AM* acousticModel;           // may be null
    Voc* vocabulary;
    int32_t historyWord;         // -1 without
    int32_t historyPresent;
    int32_t resetValue;
    int32_t reversedTime;
    int32_t timeOrigin;
    int32_t contextRecords;
    ResultGraph* resultGraph;    // owned; made by the first result-graph build
    int32_t iteratorMode;
    int32_t scanPosition;
};

WordGraph* WordGraph_Create(AM* acousticModel, Voc* vocabulary, int32_t valueA, int32_t frameCapacity,
                            int32_t valueB, int32_t reversedTime, int32_t wordOnly, int32_t contextRecords);
void WordGraph_Delete(WordGraph* graph);
// An independent snapshot whose frame capacity is its used frame count; null
// without memory.
WordGraph* WordGraph_Clone(WordGraph* graph);
// history: active word ids, the most recent last.
void WordGraph_Reset(WordGraph* graph, const uint16_t* history, int32_t historyLength, int32_t resetValue);
int32_t WordGraph_HasTimes(const WordGraph* graph);

// Arcs come in non-decreasing order of end frame. full is set (never
// cleared) when the arc cannot be stored.
void WordGraph_AddArc(WordGraph* graph, int32_t startFrame, int32_t endFrame, uint16_t word, int32_t score,
                      int32_t* full);
void WordGraph_AddArcWithContext(WordGraph* graph, int32_t firstPiece, int32_t whole, int32_t final,
                                 int32_t startFrame, int32_t endFrame, uint16_t word, uint16_t phoneme,
                                 int32_t score, int32_t acousticScore, int32_t* full);

// Sorts the current frame and removes what its mode removes.
void WordGraph_FinishFrame(WordGraph* graph);
// Replaces later pieces by copies joined to their first pieces; 1 done, 0
// without memory (the graph is then unchanged).
int32_t WordGraph_LinkWordPieces(WordGraph* graph);
// The index of the first arc of the word in a finished frame, -1 when none.
int32_t WordGraph_FindWordInFrame(const WordGraph* graph, int32_t frame, uint16_t word);

int32_t WordGraph_GetFrameWords(WordGraph* graph, uint16_t* words, int32_t* scores, int32_t max, int32_t frame);
// Vocabulary ids in time order; answers the number of words found, which
// may exceed max.
int32_t WordGraph_GetGreedyPath(const WordGraph* graph, int32_t endFrame, int32_t max, uint32_t* vocIds);
uint32_t WordGraph_ComputeCRC(const WordGraph* graph);

// Element access (index below the arc count).
WordGraphArc* WordGraph_Arc(const WordGraph* graph, int32_t index);
WordGraphContext* WordGraph_Context(const WordGraph* graph, int32_t index);
uint16_t* WordGraph_Word(const WordGraph* graph, int32_t index);

// ---- iterator ----
struct WordGraphIteratorEntry {
    int32_t arc;
    int32_t score;
    uint16_t nextFree;
    uint16_t used;
};

struct WordGraphIterator {
    WordGraph* graph;
    int32_t first;       // position of the best entry in order
    int32_t count;
    int32_t capacity;
    WordGraphIteratorEntry* entries;
    int32_t best;
    int16_t lowestFrame;
    uint16_t freeHead;
    uint16_t* order;     // entry numbers by ascending score
};

WordGraphIterator* WordGraphIterator_Create(WordGraph* graph);
void WordGraphIterator_Delete(WordGraphIterator* iterator);
int32_t WordGraphIterator_Init(WordGraphIterator* iterator, int32_t lowestFrame, int32_t highestFrame);
int32_t WordGraphIterator_Next(WordGraphIterator* iterator, uint16_t* word, int32_t* startFrame);
uint32_t WordGraphIterator_ComputeCRC(const WordGraphIterator* iterator);

// ---- searches ----
// A path of the result-graph build (28 bytes).
struct WordGraphPathRecord {
    uint16_t endFrame;
    uint16_t word;
    uint16_t exitPhoneme;
    uint16_t historyLength;
    int32_t node;
    int32_t score;
    uint16_t history[kWordGraphMaxHistory];  // active ids, the most recent last
};
static_assert(sizeof(WordGraphPathRecord) == 28, "the record budget counts 28 bytes a record");

// 1 done, 0 without memory or over the record budget (timed mode with
// context records only). history: active ids, the most recent last.
int32_t WordGraph_BuildResultGraph(WordGraph* graph, int32_t order, int32_t historyLength, const uint16_t* history);
// The linear-chain decoder's name for the build: word 274 as the order and
// its initial history.
int32_t WordGraph_Build(WordGraph* graph, int32_t order, int32_t historyLength, const uint16_t* history);
int32_t WordGraph_GetBestPath(WordGraph* graph, uint16_t* words, int32_t max, int32_t* score);
// Pron ids of path n (from 0) in time order; its word count, or 0 and score
// 0x40000000 past the last path.
int32_t WordGraph_GetNthBestPath(WordGraph* graph, int32_t n, uint16_t* words, int32_t max, int32_t* score,
                                 Constraint* const* constraints, int32_t constraintCount);
int32_t WordGraph_GetNBest(WordGraph* graph, ChoiceRecord* records, int32_t n, uint16_t extraWord,
                           Constraint* const* constraints, int32_t constraintCount);
// Records come back best first; their words latest first, producer word
// the current arc (kWordGraphComplete), secondary the language-model part.
int32_t WordGraph_SearchNBest(WordGraph* graph, ChoiceRecord* records, int32_t n, int32_t lowestFrame,
                              int32_t endFrame, int32_t historyWord, int32_t historyPresent, uint16_t extraWord,
                              Constraint* const* constraints, int32_t constraintCount);

// Orders of the two searches, as qsort comparisons.
int32_t WordGraph_CompareNodeRecsCW(const void* a, const void* b);
// a and b point to int32 offsets into records.
int32_t WordGraph_CompareChoiceOffsets(const void* a, const void* b, const ChoiceRecord* records);
