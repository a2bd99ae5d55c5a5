#include "core/brevit/search/result_graph.h"

#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_hash.h"
#include "core/brevit/runtime/dvk_mem.h"


namespace {

constexpr uint32_t kChunkLength = 1u << kResultGraphChunkShift;
constexpr uint32_t kEmptySlot = 0xFFFFFFFEu;
// Every index above this ends a backward walk.
constexpr uint32_t kLastIndex = 0xFFFFFFFDu;
constexpr uint32_t kFlagBit = 0x80000000u;
// A best node reported without a score of its own.
constexpr int32_t kUnscoredBest = kResultGraphNoScore - 50000;

uint32_t constraintOf(uint32_t high) { return (high >> 21) & 0x3FF; }
uint32_t stateOf(uint32_t high) { return (high >> 3) & 0x3FFFF; }
uint32_t memberOf(const ResultGraphNode& n) { return (n.low >> 10) | ((n.high & 7) << 22); }
uint32_t subPositionOf(uint32_t low) { return low & 0x3FF; }

void emptyHash(ResultGraph* g)
{
    for (uint32_t i = 0; i < g->hashSize; ++i)
        g->hash[i] = kEmptySlot;
}

bool matches(const ResultGraph* g, const ResultGraphNode& n, uint32_t parent, uint16_t word,
             uint32_t low, uint32_t high)
{
    if (n.parent != parent || n.word != word)
        return false;
    if (g->fullActiveId != 0)
        return n.low == low && n.high == high;
    if (g->maskedActiveId != 0)
        return n.low == low && (n.high & ~kFlagBit) == (high & ~kFlagBit);
    return true;
}

uint32_t hashOf(const ResultGraph* g, uint32_t parent, uint16_t word, uint32_t low, uint32_t high)
{
    uint8_t key[14];
    uint32_t keyHigh = 0;
    uint32_t keyLow = 0;
    if (g->fullActiveId != 0) {
        keyHigh = high;
        keyLow = low;
    } else if (g->maskedActiveId != 0) {
        keyHigh = high & ~kFlagBit;
        keyLow = low;
    }
    for (int i = 0; i < 4; ++i) {
        key[i] = static_cast<uint8_t>(parent >> (24 - 8 * i));
        key[6 + i] = static_cast<uint8_t>(keyHigh >> (24 - 8 * i));
        key[10 + i] = static_cast<uint8_t>(keyLow >> (24 - 8 * i));
    }
    key[4] = static_cast<uint8_t>(word >> 8);
    key[5] = static_cast<uint8_t>(word);
    uint32_t h = 0;
    for (uint8_t b : key)
        h = kDVKRandTable[b] ^ ((h << 1) | (h >> 31));
    return h;
}

bool hashUsable(const ResultGraph* g)
{
    if (g->hash == nullptr)
        return false;
    // A negative reserve counts as none: else a full table is probed for ever.
    const int32_t reserve = static_cast<int32_t>(BrevitParam_Word(kBrevitParamNodeHashReserve));
    const int64_t limit = static_cast<int64_t>(g->hashSize) - (reserve > 0 ? reserve : 0);
    return static_cast<int64_t>(g->count) < limit;
}

// Writes the path of node into the outputs, oldest first; newer is the node
// just newer than node on the path (kResultGraphNone when node is the newest).
int32_t readPath(const ResultGraph* g, uint32_t node, uint32_t newer, int32_t length,
                 uint16_t* words, uint32_t* states, uint8_t* startFlags, uint32_t* members,
                 int16_t* endFrames, uint8_t* flags)
{
    int32_t i = length - 1;
    for (uint32_t at = node; at <= kLastIndex && i >= 0; --i) {
        const ResultGraphNode& n = *ResultGraph_Node(g, at);
        words[i] = n.word;
        if (states != nullptr)
            states[i] = stateOf(n.high);
        if (startFlags != nullptr)
            startFlags[i] = subPositionOf(n.low) == 0 ? 1 : 0;
        if (endFrames != nullptr)
            endFrames[i] = n.endFrame;
        if (flags != nullptr && (n.high & kFlagBit) != 0)
            flags[i] = 1;
        if (members != nullptr) {
            uint32_t member = memberOf(n);
            if (subPositionOf(n.low) == 0 && newer <= kLastIndex) {
                const ResultGraphNode& m = *ResultGraph_Node(g, newer);
                if (subPositionOf(m.low) == 1 && memberOf(m) != member)
                    member = memberOf(m);
            }
            members[i] = member & 0xFFFF;
        }
        newer = at;
        at = n.parent;
    }
    if (endFrames != nullptr && length > 0) {
        if (endFrames[0] == 0)
            endFrames[0] = 1;
        for (int32_t k = 0; k + 1 < length; ++k)
            if (endFrames[k] >= endFrames[k + 1])
                endFrames[k] = static_cast<int16_t>(endFrames[k + 1] - 1);
    }
    return length;
}

int32_t pathLength(const ResultGraph* g, uint32_t node)
{
    int32_t length = 0;
    for (uint32_t at = node; at <= kLastIndex; at = ResultGraph_Node(g, at)->parent)
        ++length;
    return length;
}

// Skips the newest nodes of a path that is too long; newer receives the last
// node skipped.
uint32_t skipNewest(const ResultGraph* g, uint32_t node, int32_t skip, uint32_t* newer)
{
    *newer = kResultGraphNone;
    for (; skip > 0 && node <= kLastIndex; --skip) {
        *newer = node;
        node = ResultGraph_Node(g, node)->parent;
    }
    return node;
}

}  // namespace

ResultGraphNode* ResultGraph_Node(const ResultGraph* graph, uint32_t index)
{
    return static_cast<ResultGraphNode*>(graph->chunks[index >> kResultGraphChunkShift]) +
           (index & (kChunkLength - 1));
}

ResultGraph* ResultGraph_Create(int32_t maximumNodes)
{
    auto* g = static_cast<ResultGraph*>(DVKMem_Calloc(sizeof(ResultGraph)));
    if (g == nullptr)
        return nullptr;
    g->bestNode = kResultGraphNone;
    g->bestScore = kResultGraphNoScore;
    const int64_t maximum = maximumNodes > 0 ? maximumNodes : 0;
    g->chunkCapacity = static_cast<uint32_t>((maximum + kChunkLength - 1) / kChunkLength);
    const int32_t bits = static_cast<int32_t>(BrevitParam_Word(kBrevitParamNodeHashBits));
    if (bits >= 1) {
        // Sizes formed in 64 bits: a table that cannot be addressed fails creation.
        const uint64_t bytes = bits < 32 ? (uint64_t{1} << bits) * sizeof(uint32_t) : UINT64_MAX;
        if (bytes > 0xFFFFFFFFull) {
            DVKMem_Free(g);
            return nullptr;
        }
        g->hash = static_cast<uint32_t*>(DVKMem_Malloc(static_cast<uint32_t>(bytes)));
        if (g->hash == nullptr) {
            DVKMem_Free(g);
            return nullptr;
        }
        g->hashSize = uint32_t{1} << bits;
        emptyHash(g);
    }
    return g;
}

void ResultGraph_Delete(ResultGraph* graph)
{
    if (graph == nullptr)
        return;
    if (graph->chunks != nullptr)
        DVKMem_FreeChunksArray(graph->chunks, graph->chunksAllocated);
    DVKMem_Free(graph->hash);
    DVKMem_Free(graph);
}

void ResultGraph_SetVocabulary(ResultGraph* graph, Voc* voc) { graph->voc = voc; }

void ResultGraph_Reset(ResultGraph* graph)
{
    graph->count = 0;
    ResultGraph_ClearBest(graph);
    graph->overflow = 0;
    if (graph->hash != nullptr)
        emptyHash(graph);
}

void ResultGraph_ResetWithModes(ResultGraph* graph, int32_t fullFlag, int32_t maskedFlag)
{
    ResultGraph_Reset(graph);
    graph->fullActiveId = fullFlag;
    graph->maskedActiveId = maskedFlag;
}

void ResultGraph_ClearBest(ResultGraph* graph)
{
    graph->bestNode = kResultGraphNone;
    graph->bestScore = kResultGraphNoScore;
}

void ResultGraph_UpdateBest(ResultGraph* graph, uint32_t node, int32_t score)
{
    if (score < graph->bestScore) {
        graph->bestNode = node;
        graph->bestScore = score;
    }
}

int32_t ResultGraph_HasBest(const ResultGraph* graph) { return graph->bestNode != kResultGraphNone ? 1 : 0; }

void ResultGraph_GetBest(const ResultGraph* graph, uint32_t* node, int32_t* score)
{
    *node = graph->bestNode;
    *score = graph->bestScore;
}

int32_t ResultGraph_GetOverflow(const ResultGraph* graph) { return graph->overflow; }

uint16_t ResultGraph_GetWord(const ResultGraph* graph, uint32_t node)
{
    return ResultGraph_Node(graph, node)->word;
}

uint16_t ResultGraph_GetNodeWord(const ResultGraph* graph, uint32_t node)
{
    if (node > kLastIndex)
        return 65534;
    const ResultGraphNode& n = *ResultGraph_Node(graph, node);
    return (n.high & kFlagBit) != 0 ? 65534 : n.word;
}

void ResultGraph_GetNodeActiveId(const ResultGraph* graph, uint32_t node, uint32_t* low,
                                 uint32_t* high)
{
    if (node == kResultGraphNone) {
        *low = 0;
        *high = 0;
        return;
    }
    const ResultGraphNode& n = *ResultGraph_Node(graph, node);
    *low = n.low;
    *high = n.high & ~kFlagBit;
}

uint32_t ResultGraph_AddNode(ResultGraph* graph, uint32_t parent, uint16_t word, uint32_t low,
                             uint32_t high, int32_t flag, int16_t score, int16_t frame)
{
    high = flag != 0 ? (high | kFlagBit) : (high & ~kFlagBit);
    uint32_t found = kResultGraphNone;
    uint32_t* slot = nullptr;
    if (hashUsable(graph)) {
        const uint32_t mask = graph->hashSize - 1;
        for (uint32_t at = hashOf(graph, parent, word, low, high) & mask;; at = (at + 1) & mask) {
            const uint32_t index = graph->hash[at];
            if (index == kEmptySlot) {
                slot = &graph->hash[at];
                break;
            }
            if (matches(graph, *ResultGraph_Node(graph, index), parent, word, low, high)) {
                found = index;
                break;
            }
        }
    } else {
        // A history can only extend an older node.
        const int64_t stop = parent <= kLastIndex ? int64_t{parent} : -1;
        for (int64_t i = int64_t{graph->count} - 1; i > stop; --i)
            if (matches(graph, *ResultGraph_Node(graph, static_cast<uint32_t>(i)), parent, word, low, high)) {
                found = static_cast<uint32_t>(i);
                break;
            }
    }
    if (found != kResultGraphNone) {
        ResultGraphNode& n = *ResultGraph_Node(graph, found);
        if (n.score > score) {
            n.score = score;
            n.endFrame = frame;
        }
        return found;
    }
    const uint32_t index = static_cast<uint32_t>(graph->count);
    const uint64_t needed = (uint64_t{index} + 1 + kChunkLength - 1) >> kResultGraphChunkShift;
    if (int64_t{graph->count} + 1 >= 0x7FFFFFFF || needed > graph->chunkCapacity ||
        DVKMem_GrowChunkedArray(&graph->chunks, &graph->chunkCapacity, &graph->chunksAllocated,
                                kResultGraphChunkShift, sizeof(ResultGraphNode), index + 1) == 0) {
        graph->overflow = 1;
        return kResultGraphNone;
    }
    ResultGraphNode& n = *ResultGraph_Node(graph, index);
    n.parent = parent;
    n.word = word;
    n.low = low;
    n.high = high;
    n.score = score;
    n.endFrame = frame;
    graph->count += 1;
    if (slot != nullptr)
        *slot = index;
    return index;
}

uint32_t ResultGraph_FindHistory(const ResultGraph* graph, int32_t n, const uint16_t* words)
{
    uint32_t expected = kResultGraphNone;
    int32_t k = 0;
    for (int32_t i = 0; i < graph->count && k < n; ++i) {
        const ResultGraphNode& node = *ResultGraph_Node(graph, static_cast<uint32_t>(i));
        if (node.word == words[k] && node.parent == expected) {
            ++k;
            expected = static_cast<uint32_t>(i);
            if (k == n)
                return expected;
        }
    }
    return kResultGraphNone;
}

int32_t ResultGraph_GetPath(const ResultGraph* graph, uint32_t node, uint16_t* words,
                            uint32_t* states, uint8_t* startFlags, uint32_t* members,
                            int16_t* endFrames, uint8_t* flags, int32_t maximum,
                            int32_t* constraint)
{
    if (node > kLastIndex)
        return 0;
    if (constraint != nullptr)
        *constraint = static_cast<int32_t>(constraintOf(ResultGraph_Node(graph, node)->high));
    const int32_t length = pathLength(graph, node);
    uint32_t newer = kResultGraphNone;
    const uint32_t from = length > maximum ? skipNewest(graph, node, length - maximum, &newer) : node;
    if (from > kLastIndex)
        return 0;
    return readPath(graph, from, newer, length > maximum ? maximum : length, words, states, startFlags,
                    members, endFrames, flags);
}

int32_t ResultGraph_GetBestPath(const ResultGraph* graph, uint16_t* words, uint32_t* states,
                                uint32_t* members, uint8_t* startFlags, int16_t* endFrames,
                                int32_t maximum, int32_t* count, int32_t* score, uint32_t* node,
                                int32_t flagsWanted, uint8_t* flags, int32_t* constraint)
{
    *node = graph->bestNode;
    if (graph->bestNode > kLastIndex || graph->count == 0) {
        *score = kResultGraphNoScore;
        *count = 0;
        return 0;
    }
    *score = graph->bestScore == kResultGraphNoScore ? kUnscoredBest : graph->bestScore;
    const int32_t length = pathLength(graph, graph->bestNode);
    *count = length;
    const bool cut = length > maximum;
    uint32_t newer = kResultGraphNone;
    const uint32_t from = cut ? skipNewest(graph, graph->bestNode, length - maximum, &newer) : graph->bestNode;
    if (from > kLastIndex)
        return 0;
    if (constraint != nullptr)
        *constraint = static_cast<int32_t>(constraintOf(ResultGraph_Node(graph, from)->high));
    const int32_t kept = cut ? maximum : length;
    readPath(graph, from, newer, kept, words, states, startFlags, members, endFrames, nullptr);
    if (flagsWanted != 0 && flags != nullptr) {
        int32_t i = kept - 1;
        for (uint32_t at = from; at <= kLastIndex && i >= 0; --i, at = ResultGraph_Node(graph, at)->parent)
            flags[i] = (ResultGraph_Node(graph, at)->high & kFlagBit) != 0 ? 1 : 0;
        if (!cut && kept > 0)
            flags[kept - 1] = 0;
    }
    return cut ? 0 : 1;
}

uint32_t ResultGraph_ComputeCRC(const ResultGraph* graph)
{
    uint32_t crc = DVKCrc_AddValue(static_cast<uint32_t>(graph->count), 4, 0xFFFFFFFFu);
    crc = DVKCrc_AddValue(graph->bestNode, 4, crc);
    crc = DVKCrc_AddValue(static_cast<uint32_t>(graph->bestScore), 4, crc);
    for (int32_t i = 0; i < graph->count; ++i) {
        const ResultGraphNode& n = *ResultGraph_Node(graph, static_cast<uint32_t>(i));
        crc = DVKCrc_AddValue(n.parent, 4, crc);
        crc = DVKCrc_AddValue(n.word, 2, crc);
        crc = DVKCrc_AddPair(n.low, n.high, crc);
        crc = DVKCrc_AddValue(static_cast<uint16_t>(n.score), 2, crc);
        crc = DVKCrc_AddValue(static_cast<uint16_t>(n.endFrame), 2, crc);
    }
    crc = DVKCrc_AddValue(graph->chunksAllocated, 4, crc);
    crc = DVKCrc_AddValue(graph->chunkCapacity, 4, crc);
    return DVKCrc_AddValue(static_cast<uint32_t>(graph->fullActiveId), 4, crc);
}
