// Compact binary decision trees over a context of 16-bit symbols. Nodes are
// stored breadth-first without child pointers: the internal node of rank r
// (internal nodes counted up to and including it) has its yes-child at
// 2r - 1 and its no-child at 2r. MINI trees keep the ranks in spare bits of
// the nodes and answer one 11-bit class; STD trees keep a rank table and
// answer a list of (value, score byte) pairs.
#pragma once

#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/search/lm_rewrite.h"

#include <cstdint>

inline constexpr int32_t kLMDTreeStd = 0;
inline constexpr int32_t kLMDTreeMini = 1;

struct LMDTree;

typedef void (*LMDTreeFreeFunc)(LMDTree* tree);
typedef uint32_t (*LMDTreeCRCFunc)(const LMDTree* tree, uint32_t crc);
typedef int32_t (*LMDTreeLeafFunc)(const LMDTree* tree, const uint16_t* context, uint16_t* values,
                                   uint8_t* bytes, int32_t maximum);

struct LMDTree {
    int32_t shared;             // set: LMDTree_Delete leaves the tree alone
    LMDTreeFreeFunc free;
    LMDTreeCRCFunc crc;
    LMDTreeLeafFunc leaf;
    int32_t headerValue;        // stored and checksummed only
    LMRewrite* symbolSets;      // question q: is the symbol in id q's first list (owned)
    int32_t nodeCount;          // N
    uint16_t* nodes;            // N (owned)
    // STD only.
    int32_t blockShift;         // s
    uint16_t* rankTable;        // (N - 1 + 2^s) >> s (owned)
    int32_t leafDataCount;      // L
    uint16_t* leafValues;       // L (owned)
    uint8_t* leafBytes;         // L (owned)
};

// Null for an unknown encoding word or a failed or inconsistent record. A
// loaded tree's every descent ends at a leaf inside the nodes.
LMDTree* LMDTree_LoadFromBinFile(BinFileReader* reader);
// The leaf of context: MINI gives its class (one result), STD up to maximum
// pairs. 0 when maximum is below 1. context must hold the positions up to
// LMDTree_GetMaxContextPosition; a leaf root never reads it.
int32_t LMDTree_GetLeaf(const LMDTree* tree, const uint16_t* context, uint16_t* values,
                        uint8_t* bytes, int32_t maximum);
// The highest context position an internal node asks about; -1 for a leaf root.
int32_t LMDTree_GetMaxContextPosition(const LMDTree* tree);
// Adds the tree to crc; 0xFFFFFFFF for a tree without a CRC operation.
uint32_t LMDTree_ComputeCRC(const LMDTree* tree, uint32_t crc);
void LMDTree_Delete(LMDTree* tree);
