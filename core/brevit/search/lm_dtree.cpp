#include "core/brevit/search/lm_dtree.h"

#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/table_read.h"

namespace {

constexpr uint16_t kLeafFlag = 0x8000;
constexpr int32_t kMaxShift = 30;

bool isLeaf(uint16_t node)
{
    return (node & kLeafFlag) != 0;
}

int32_t question(uint16_t node)
{
    return node & 0xFF;
}

int32_t miniPosition(uint16_t node)
{
    return (node >> 8) & 0x7;
}

int32_t stdPosition(uint16_t node)
{
    return (node >> 8) & 0x7F;
}

int32_t internalBetween(const uint16_t* nodes, int32_t from, int32_t to)
{
    int32_t n = 0;
    for (int32_t i = from; i <= to; ++i)
        n += isLeaf(nodes[i]) ? 0 : 1;
    return n;
}

// Count of internal nodes before block start b (a multiple of 4, at least 4)
// from the rank nibbles of nodes b - 4 .. b - 1.
int32_t miniBlockCount(const uint16_t* nodes, int32_t b)
{
    int32_t count = 0;
    for (int32_t i = b - 4; i < b; ++i)
        count = (count << 4) | ((nodes[i] >> 11) & 0xF);
    return count;
}

int32_t miniRank(const LMDTree* tree, int32_t i)
{
    const int32_t b = i & ~3;
    return (b == 0 ? 0 : miniBlockCount(tree->nodes, b)) + internalBetween(tree->nodes, b, i);
}

int32_t stdRank(const LMDTree* tree, int32_t i)
{
    const int32_t block = i >> tree->blockShift;
    return tree->rankTable[block] + internalBetween(tree->nodes, block << tree->blockShift, i);
}

bool answersYes(const LMDTree* tree, uint16_t node, uint16_t c)
{
    const int32_t q = question(node);
    if (c == 0 || q == 0)
        return c == 0 && q == 0;
    const uint16_t* list = nullptr;
    int32_t length = 0;
    LMRewrite_GetRewritesForId(tree->symbolSets, q, &list, &length);
    for (int32_t k = 0; k < length; ++k)
        if (list[k] == c)
            return true;
    return false;
}

// Index of the leaf the context leads to.
template <int32_t (*Rank)(const LMDTree*, int32_t), int32_t (*Position)(uint16_t)>
int32_t descend(const LMDTree* tree, const uint16_t* context)
{
    int32_t i = 0;
    while (!isLeaf(tree->nodes[i])) {
        const uint16_t node = tree->nodes[i];
        const int32_t r = Rank(tree, i);
        i = answersYes(tree, node, context[Position(node)]) ? 2 * r - 1 : 2 * r;
    }
    return i;
}

int32_t miniLeaf(const LMDTree* tree, const uint16_t* context, uint16_t* values, uint8_t* bytes,
                 int32_t maximum)
{
    if (maximum < 1)
        return 0;
    const int32_t i = descend<miniRank, miniPosition>(tree, context);
    values[0] = tree->nodes[i] & 0x7FF;
    bytes[0] = 0;
    return 1;
}

int32_t stdLeaf(const LMDTree* tree, const uint16_t* context, uint16_t* values, uint8_t* bytes,
                int32_t maximum)
{
    if (maximum < 1)
        return 0;
    const int32_t i = descend<stdRank, stdPosition>(tree, context);
    const int32_t end = tree->nodes[i] & 0x7FFF;
    int32_t start = 0;
    for (int32_t j = i - 1; j >= 0; --j)
        if (isLeaf(tree->nodes[j])) {
            start = tree->nodes[j] & 0x7FFF;
            break;
        }
    const int32_t n = end - start < maximum ? end - start : maximum;
    for (int32_t k = 0; k < n; ++k) {
        values[k] = tree->leafValues[start + k];
        bytes[k] = tree->leafBytes[start + k];
    }
    return n > 0 ? n : 0;
}

void freeTree(LMDTree* tree)
{
    DVKMem_Free(tree->leafBytes);
    DVKMem_Free(tree->leafValues);
    DVKMem_Free(tree->rankTable);
    DVKMem_Free(tree->nodes);
    LMRewrite_Delete(tree->symbolSets);
}

uint32_t commonCRC(const LMDTree* tree, uint32_t crc)
{
    crc = DVKCrc_AddInt(static_cast<uint32_t>(tree->headerValue), crc);
    crc = DVKCrc_AddInt(LMRewrite_ComputeCRC(tree->symbolSets), crc);
    return DVKCrc_AddInt(static_cast<uint32_t>(tree->nodeCount), crc);
}

uint32_t miniCRC(const LMDTree* tree, uint32_t crc)
{
    crc = commonCRC(tree, crc);
    return DVKCrc_AddArray(tree->nodes, 2, tree->nodeCount, crc);
}

int32_t rankEntries(const LMDTree* tree)
{
    return static_cast<int32_t>((int64_t{tree->nodeCount} - 1 + (int64_t{1} << tree->blockShift)) >>
                                tree->blockShift);
}

uint32_t stdCRC(const LMDTree* tree, uint32_t crc)
{
    crc = commonCRC(tree, crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(tree->blockShift), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(tree->leafDataCount), crc);
    crc = DVKCrc_AddArray(tree->nodes, 2, tree->nodeCount, crc);
    crc = DVKCrc_AddArray(tree->rankTable, 2, rankEntries(tree), crc);
    crc = DVKCrc_AddArray(tree->leafValues, 2, tree->leafDataCount, crc);
    return DVKCrc_AddArray(tree->leafBytes, 1, tree->leafDataCount, crc);
}

// Every rank a descent can read agrees with the nodes, and every internal
// node's children lie after it and inside the tree, so a descent ends.
bool structureValid(const LMDTree* tree, bool mini)
{
    const int32_t n = tree->nodeCount;
    int32_t rank = 0;
    for (int32_t i = 0; i < n; ++i) {
        if (mini) {
            if (i >= 4 && (i & 3) == 0 && miniBlockCount(tree->nodes, i) != rank)
                return false;
        } else if ((i & ((1 << tree->blockShift) - 1)) == 0 &&
                   tree->rankTable[i >> tree->blockShift] != rank) {
            return false;
        }
        const uint16_t node = tree->nodes[i];
        if (isLeaf(node)) {
            if (!mini && (node & 0x7FFF) > tree->leafDataCount)
                return false;
            continue;
        }
        ++rank;
        if (2 * int64_t{rank} - 1 <= i || 2 * int64_t{rank} >= n)
            return false;
    }
    return true;
}

} // namespace

LMDTree* LMDTree_LoadFromBinFile(BinFileReader* reader)
{
    int32_t encoding = -1;
    if (!BinFileReader_ReadInt(reader, &encoding) ||
        (encoding != kLMDTreeStd && encoding != kLMDTreeMini))
        return nullptr;
    auto* tree = static_cast<LMDTree*>(DVKMem_Calloc(sizeof(LMDTree)));
    if (tree == nullptr)
        return nullptr;
    const bool mini = encoding == kLMDTreeMini;
    tree->free = freeTree;
    tree->crc = mini ? miniCRC : stdCRC;
    tree->leaf = mini ? miniLeaf : stdLeaf;
    bool ok = BinFileReader_ReadInt(reader, &tree->headerValue);
    if (ok) {
        tree->symbolSets = LMRewrite_Read(reader);
        ok = tree->symbolSets != nullptr;
    }
    ok = ok && BinFileReader_ReadInt(reader, &tree->nodeCount) && tree->nodeCount >= 1;
    void* arrays[4] = {};
    if (ok && mini) {
        ok = TableRead_Array(reader, 2, tree->nodeCount, true, &arrays[0]);
        tree->nodes = static_cast<uint16_t*>(arrays[0]);
    } else if (ok) {
        ok = BinFileReader_ReadInt(reader, &tree->blockShift) &&
             BinFileReader_ReadInt(reader, &tree->leafDataCount) && tree->blockShift >= 0 &&
             tree->blockShift <= kMaxShift && tree->leafDataCount >= 0 &&
             TableRead_Array(reader, 2, tree->nodeCount, true, &arrays[0]);
        tree->nodes = static_cast<uint16_t*>(arrays[0]);
        ok = ok && TableRead_Array(reader, 2, rankEntries(tree), true, &arrays[1]);
        tree->rankTable = static_cast<uint16_t*>(arrays[1]);
        ok = ok && TableRead_Array(reader, 2, tree->leafDataCount, true, &arrays[2]);
        tree->leafValues = static_cast<uint16_t*>(arrays[2]);
        ok = ok && TableRead_Array(reader, 1, tree->leafDataCount, true, &arrays[3]);
        tree->leafBytes = static_cast<uint8_t*>(arrays[3]);
    }
    ok = ok && structureValid(tree, mini);
    if (!ok) {
        freeTree(tree);
        DVKMem_Free(tree);
        return nullptr;
    }
    return tree;
}

int32_t LMDTree_GetLeaf(const LMDTree* tree, const uint16_t* context, uint16_t* values,
                        uint8_t* bytes, int32_t maximum)
{
    return tree->leaf(tree, context, values, bytes, maximum);
}

int32_t LMDTree_GetMaxContextPosition(const LMDTree* tree)
{
    const bool mini = tree->leaf == miniLeaf;
    int32_t highest = -1;
    for (int32_t i = 0; i < tree->nodeCount; ++i) {
        const uint16_t node = tree->nodes[i];
        if (isLeaf(node))
            continue;
        const int32_t p = mini ? miniPosition(node) : stdPosition(node);
        if (p > highest)
            highest = p;
    }
    return highest;
}

uint32_t LMDTree_ComputeCRC(const LMDTree* tree, uint32_t crc)
{
    if (tree->crc == nullptr)
        return 0xFFFFFFFFu;
    return tree->crc(tree, crc);
}

void LMDTree_Delete(LMDTree* tree)
{
    if (tree == nullptr || tree->shared)
        return;
    if (tree->free != nullptr)
        tree->free(tree);
    DVKMem_Free(tree);
}
