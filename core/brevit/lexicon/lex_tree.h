// Lexical trees: prefix trees of pronunciations over context-dependent
// phone models. Arcs are laid out level by level; an inner arc's children
// are the arcs from its first child up to the first child of the next
// non-word-end arc in array order, the terminator (the last arc in use,
// pointing to itself) closing the last range. Each arc carries one
// step-quantised look-ahead byte relative to its parent. One object holds up
// to 16 trees, the last of which may be the run-time tree that collects the
// prons made active while the engine runs.
#pragma once

#include <cstdint>

struct AM;
struct BinFileReader;
struct BinFileWriter;
struct ChoiceRecord;
struct DVKMemStack;
struct DVKTar;
struct PronCache;
struct Voc;

inline constexpr int32_t kLexTreeMaxTrees = 16;
inline constexpr uint16_t kLexArcWordEnd = 0x8000;
inline constexpr uint16_t kLexArcModelMask = 0x7FFF;
// The most arcs a builder puts into one tree unless given a smaller limit.
inline constexpr int32_t kLexTreeMaxArcs = 65533;

struct LexArc {
    uint16_t model;   // bit 15: word end; bits 0-14 the phone model
    uint16_t next;    // inner arc: its first child; word end: its pron id
};

struct LexTree {
    AM* acousticModel;        // not owned
    Voc* vocabulary;          // not owned
    int32_t ownerFlag;        // 1: the object owns all its trees
    int32_t truncated;        // some pron's path was cut at the depth limit
    uint32_t headerWord;      // kept from the tree file, checksummed only
    int32_t numTrees;
    int32_t hasDynamicTree;   // tree numTrees - 1 is the run-time tree
    uint8_t bestLookahead;
    uint32_t deepestLevel[kLexTreeMaxTrees];
    uint32_t depthCapacity[kLexTreeMaxTrees];
    uint32_t* depthTable[kLexTreeMaxTrees];
    uint32_t arcCapacity[kLexTreeMaxTrees];
    uint32_t arcsInUse[kLexTreeMaxTrees];
    uint32_t level0Arcs[kLexTreeMaxTrees];
    uint32_t numProns[kLexTreeMaxTrees];
    uint32_t expandedSize[kLexTreeMaxTrees];
    LexArc* arcs[kLexTreeMaxTrees];
    uint8_t* lookahead[kLexTreeMaxTrees];
    uint8_t rootLookahead[kLexTreeMaxTrees];
};

// ---- object and accessors ----
LexTree* LexTree_CreateEmpty();
void LexTree_SetModels(LexTree* tree, Voc* vocabulary, AM* acousticModel);
int32_t LexTree_GetNumTrees(const LexTree* tree);
int32_t LexTree_HasDynamicTree(const LexTree* tree);
int32_t LexTree_GetBestLookaheadScore(const LexTree* tree);
int32_t LexTree_GetHeaderWord(const LexTree* tree);
const LexArc* LexTree_GetArcs(const LexTree* tree, int32_t i);
const uint32_t* LexTree_GetDepthTable(const LexTree* tree, int32_t i);
const uint8_t* LexTree_GetLookaheadScores(const LexTree* tree, int32_t i);
int32_t LexTree_GetNumTotalArcs(const LexTree* tree, int32_t i);
int32_t LexTree_GetMaxTotalArcs(const LexTree* tree, int32_t i);
// What a run-time tree of the given capacity can still take.
int32_t LexTree_GetFreeArcs(const LexTree* tree, int32_t capacity);
void LexTree_FreeTree(LexTree* tree, int32_t i);
void LexTree_DeleteAll(LexTree* tree);
// Frees the trees the object owns (all, or only a last run-time tree) and
// the object; null is ignored.
void LexTree_Delete(LexTree* tree);
uint32_t LexTree_ComputeCRC(const LexTree* tree);

// ---- stored forms ----
// The model file "blt0"; null on any failure or a record that would let a
// walk leave the arcs or loop.
LexTree* LexTree_CreateFromBinFile(DVKTar* archive, const char* prefix, AM* acousticModel, Voc* vocabulary);
// The run-time tree record, alone in a sub-file "blt0" or inside an open one.
int32_t LexTree_ReadBinFile(LexTree* tree, DVKTar* archive, const char* prefix);
int32_t LexTree_WriteBinFile(const LexTree* tree, DVKTar* archive, const char* prefix);
int32_t LexTree_ReadContents(LexTree* tree, BinFileReader* reader);
int32_t LexTree_WriteContents(const LexTree* tree, BinFileWriter* writer);

// ---- look-ahead ----
void LexTree_InitLookahead(LexTree* tree, int32_t step);
void LexTree_ComputeLookahead(LexTree* tree, int32_t step);
void LexTree_UpdateWordLookahead(LexTree* tree, int32_t i, int32_t step);
void LexTree_RecomputeTreeLookahead(Voc* vocabulary, LexTree* tree, int32_t i, int32_t step, const uint16_t* history);
int32_t LexTree_GetWordLookaheadScore(Voc* vocabulary, int32_t activeId, int32_t floor);
// Raw look-ahead of every arc below arc (a word end's word score, an inner
// arc's smallest child); history null for scores without context.
uint8_t LexTree_ComputeArcLookahead(Voc* vocabulary, const LexArc* arcs, uint8_t* bytes, int32_t arc, int32_t floor);
uint8_t LexTree_ComputeArcContextLookahead(Voc* vocabulary, const LexArc* arcs, uint8_t* bytes, int32_t arc,
                                           const uint16_t* history);
void LexTree_QuantiseTree(const LexArc* arcs, int32_t step, uint8_t* bytes, int32_t base);
void LexTree_QuantiseArc(const LexArc* arcs, int32_t arc, int32_t depth, int32_t step, uint8_t* bytes, int32_t base);

// ---- building ----
// Every active pron id 0..N, without the run-time ones unless includeAll.
int32_t LexTree_CollectActiveProns(Voc* vocabulary, int32_t includeAll, uint16_t** prons, int32_t* count);
int32_t LexTree_Build(LexTree* tree, Voc* vocabulary, AM* acousticModel, int32_t includeAll);
int32_t LexTree_BuildFromProns(LexTree* tree, const uint16_t* prons, int32_t n, Voc* vocabulary, AM* acousticModel,
                               const uint16_t* const* phonemeTable, int32_t trailing, int32_t runTime,
                               int32_t arcLimit, PronCache* pronCache);
int32_t LexTree_BuildFromPronRange(LexTree* tree, int32_t n, const uint16_t* const* phonemeTable, AM* acousticModel);
// A new object with one "pron" per choice record (its words' phonemes run
// together, a pause after each flagged boundary but the last); the pron id
// is the record's index. Freed with LexTree_DeleteAll; null on failure.
LexTree* LexTree_BuildFromPronCache(AM* acousticModel, int32_t count, const ChoiceRecord* records,
                                    PronCache* pronCache);
// One tree from the first prons of the sorted list; placed receives how many
// it took. 0 on failure (nothing placed, earlier trees untouched).
int32_t LexTree_BuildTree(LexTree* tree, Voc* vocabulary, AM* acousticModel, int32_t n, const uint16_t* prons,
                          const uint16_t* const* phonemeTable, int32_t preExpanded, int32_t fullDepth,
                          int32_t maxDepth, const uint16_t* const* expandedTable, int32_t arcLimit, int32_t trailing,
                          int32_t runTime, int32_t* placed, PronCache* pronCache);
void LexTree_SortProns(Voc* vocabulary, AM* acousticModel, uint16_t* prons, int32_t n, int32_t expand,
                       const uint16_t** expandedTable, DVKMemStack** stack);
void LexTree_ExpandProns(Voc* vocabulary, AM* acousticModel, const uint16_t* prons, int32_t n, int32_t expand,
                         const uint16_t** expandedTable, DVKMemStack** stack);
// The pron order: pre-expanded strings (0x7FFF-ended, through the table of
// the sort), phoneme strings expanded on the fly.
int32_t compareProns(const void* a, const void* b);
int32_t comparePronsNoExpand(const void* a, const void* b);
int32_t comparePhonemeProns(const void* a, const void* b);
int32_t LexTree_ComparePronStrings(const uint16_t* a, const uint16_t* b, int32_t idA, int32_t idB);

// ---- the run-time tree ----
bool LexTree_CountPronArcs(LexTree* tree, uint16_t pronId, int32_t capacity, int32_t* needed);
int32_t LexTree_CreateDynamicTree(LexTree* tree, const uint16_t* prons, int32_t n, int32_t arcLimit, int32_t trailing);
int32_t LexTree_AddPronsToDynamicTree(LexTree* tree, const uint16_t* prons, int32_t n, int32_t arcLimit,
                                      int32_t trailing);
int32_t LexTree_RemovePronsFromDynamicTree(LexTree* tree, const uint16_t* prons, int32_t n, int32_t arcLimit,
                                           int32_t trailing);
// A tree's prons in tree order (out needs room for every pron of the tree);
// with a cache, each path is stored as the pron's expanded string. The
// number listed.
int32_t LexTree_CollectTreeProns(const LexArc* arcs, int32_t arcsInUse, Voc* vocabulary, uint16_t* out,
                                 PronCache* pronCache, int32_t longest);
void LexTree_WalkArc(const LexArc* arcs, int32_t arc, int32_t depth, uint16_t* path, uint16_t* out, int32_t* count,
                     PronCache* pronCache);
