// The run-time tree: listing a tree's prons, how many arcs a pron still
// needs, and rebuilding the tree with prons added or removed.
#include "core/brevit/lexicon/lex_tree.h"

#include "core/brevit/acoustic/am_phones.h"
#include "core/brevit/lexicon/lex_tree_parts.h"
#include "core/brevit/lexicon/pron_cache.h"
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <algorithm>

namespace {

struct Block {
    void* p = nullptr;
    explicit Block(uint32_t bytes) : p(DVKMem_Calloc(std::max<uint32_t>(bytes, 2))) {}
    ~Block() { DVKMem_Free(p); }
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;
    uint16_t* units() const { return static_cast<uint16_t*>(p); }
};

struct OwnedCache {
    PronCache* cache = nullptr;
    ~OwnedCache() { PronCache_Delete(cache); }
};

// A pron's expanded string (no trailing unit) from the cache or the
// vocabulary; its length.
int32_t expandedOf(Voc* voc, AM* am, PronCache* cache, uint16_t id, uint16_t* phonemes, uint16_t* out, int32_t room)
{
    if (cache != nullptr) {
        const uint16_t* e = nullptr;
        int32_t length = 0;
        PronCache_GetPronInfo(cache, id, nullptr, &e, &length);
        if (e == nullptr || length < 0)
            return 0;
        length = std::min(length, room);
        std::copy(e, e + length, out);
        return length;
    }
    phonemes[0] = kPhonemeEnd;
    const int32_t length = std::clamp(Voc_GetRecogPronunciation(voc, id, phonemes), 0, room);
    if (length > 0)
        AM_ConvertPhonemesToTriphoneIds(am, phonemes, length, out, 0, 0);
    return length;
}

// The pron order over expanded strings: unit by unit, the shorter first,
// then the smaller id.
int32_t compareExpanded(const uint16_t* a, int32_t lengthA, uint16_t idA, const uint16_t* b, int32_t lengthB,
                        uint16_t idB)
{
    const int32_t common = std::min(lengthA, lengthB);
    for (int32_t i = 0; i < common; ++i)
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
    if (lengthA != lengthB)
        return lengthA < lengthB ? -1 : 1;
    return static_cast<int32_t>(idA) - static_cast<int32_t>(idB);
}

// Lists the run-time tree, changes the list and rebuilds the tree from it.
template <typename Change>
int32_t rebuildDynamic(LexTree* tree, int32_t extra, int32_t arcLimit, int32_t trailing, Change change)
{
    Voc* voc = tree->vocabulary;
    AM* am = tree->acousticModel;
    const bool has = tree->hasDynamicTree != 0 && tree->numTrees > 0;
    const int32_t slot = tree->numTrees - 1;
    const int32_t k = has ? static_cast<int32_t>(tree->numProns[slot]) : 0;
    const int32_t longest = std::max(Voc_GetMaxRecogPronunciationLength(voc), 1);
    OwnedCache temporary;
    if (BrevitParam_Word(kBrevitParamTemporaryPronCache) != 0) {
        temporary.cache = PronCache_Create(0, static_cast<int32_t>(BrevitParam_Word(kBrevitParamPronCacheLimit1)),
                                           static_cast<int32_t>(BrevitParam_Word(kBrevitParamPronCacheLimit2)), 0, 1,
                                           voc, am);
        const uint32_t slots = static_cast<uint32_t>(k) + (has ? tree->expandedSize[slot] : 0) +
                               static_cast<uint32_t>(extra) * static_cast<uint32_t>(longest + 2);
        if (temporary.cache == nullptr ||
            PronCache_Reserve(temporary.cache, static_cast<uint32_t>(k + extra), slots) == 0)
            return 0;
    }
    // Room for every word end the walk can meet, whatever the columns say.
    Block list(static_cast<uint32_t>((has ? tree->arcsInUse[slot] : 0) + static_cast<uint32_t>(extra)) * 2);
    if (list.p == nullptr)
        return 0;
    int32_t count = 0;
    if (has && k > 0)
        count = LexTree_CollectTreeProns(tree->arcs[slot], static_cast<int32_t>(tree->arcsInUse[slot]), voc,
                                         list.units(), temporary.cache, longest);
    if (!change(list.units(), count, temporary.cache, longest))
        return 0;
    int32_t placed = 0;
    return LexTree_BuildTree(tree, voc, am, count, list.units(), nullptr, 0,
                             static_cast<int32_t>(BrevitParam_Word(kBrevitParamTreeExpansionFanout)),
                             static_cast<int32_t>(BrevitParam_Word(kBrevitParamTreeExpansionDepth)), nullptr, arcLimit,
                             trailing, 1, &placed, temporary.cache);
}

} // namespace

void LexTree_WalkArc(const LexArc* arcs, int32_t arc, int32_t depth, uint16_t* path, uint16_t* out, int32_t* count,
                     PronCache* pronCache)
{
    // The path holds models: a word end's flag is not part of its model
    // (kept, it would sort the pron after its own extensions and break the
    // sharing of the next rebuild).
    if (depth > 0)
        path[depth - 1] = arcs[arc].model & kLexArcModelMask;
    if (lex_tree::isWordEnd(arcs[arc])) {
        out[(*count)++] = arcs[arc].next;
        if (pronCache != nullptr) {
            path[depth] = kExpandedEnd;
            PronCache_AddExpandedPron(pronCache, arcs[arc].next, path, depth);
        }
        return;
    }
    const int32_t end = lex_tree::childEnd(arcs, arc);
    for (int32_t c = arcs[arc].next; c < end; ++c)
        LexTree_WalkArc(arcs, c, depth + 1, path, out, count, pronCache);
}

int32_t LexTree_CollectTreeProns(const LexArc* arcs, int32_t arcsInUse, Voc*, uint16_t* out, PronCache* pronCache,
                                 int32_t longest)
{
    // A path is at most as deep as the tree has arcs.
    Block path(static_cast<uint32_t>(std::max(arcsInUse, longest) + 2) * 2);
    if (path.p == nullptr)
        return 0;
    int32_t count = 0;
    LexTree_WalkArc(arcs, 0, 0, path.units(), out, &count, pronCache);
    return count;
}

bool LexTree_CountPronArcs(LexTree* tree, uint16_t pronId, int32_t capacity, int32_t* needed)
{
    const int32_t K = capacity != 0 ? capacity : kLexTreeMaxArcs;
    const int32_t longest = std::max(Voc_GetMaxRecogPronunciationLength(tree->vocabulary), 1);
    Block phonemes(static_cast<uint32_t>(longest + 2) * 2);
    Block expanded(static_cast<uint32_t>(longest + 2) * 2);
    if (phonemes.p == nullptr || expanded.p == nullptr) {
        *needed = 0;
        return false;
    }
    const int32_t length =
        expandedOf(tree->vocabulary, tree->acousticModel, nullptr, pronId, phonemes.units(), expanded.units(), longest);
    const bool has = tree->hasDynamicTree != 0 && tree->numTrees > 0;
    if (!has) {
        *needed = length;
        return K >= length;
    }
    const int32_t slot = tree->numTrees - 1;
    int32_t matched = 0;
    if (tree->numProns[slot] > 0) {
        const LexArc* arcs = tree->arcs[slot];
        const uint16_t* e = expanded.units();
        int32_t arc = 0;
        for (; matched < length - 1; ++matched) {
            const int32_t end = lex_tree::childEnd(arcs, arc);
            int32_t found = -1;
            for (int32_t c = arcs[arc].next; c < end && found < 0; ++c)
                if (!lex_tree::isWordEnd(arcs[c]) && arcs[c].model == (e[matched] & kLexArcModelMask))
                    found = c;
            if (found < 0)
                break;
            arc = found;
        }
    }
    *needed = length - matched;
    return LexTree_GetFreeArcs(tree, K) >= *needed;
}

int32_t LexTree_AddPronsToDynamicTree(LexTree* tree, const uint16_t* prons, int32_t n, int32_t arcLimit,
                                      int32_t trailing)
{
    Voc* voc = tree->vocabulary;
    AM* am = tree->acousticModel;
    return rebuildDynamic(tree, n, arcLimit, trailing, [&](uint16_t* list, int32_t& count, PronCache* cache,
                                                           int32_t longest) {
        Block phonemes(static_cast<uint32_t>(longest + 2) * 2);
        Block added(static_cast<uint32_t>(longest + 2) * 2);
        Block middle(static_cast<uint32_t>(longest + 2) * 2);
        if (phonemes.p == nullptr || added.p == nullptr || middle.p == nullptr)
            return false;
        for (int32_t k = 0; k < n; ++k) {
            const int32_t length = expandedOf(voc, am, cache, prons[k], phonemes.units(), added.units(), longest);
            // The string may move when the cache stores the next one.
            int32_t lo = 0;
            int32_t hi = count - 1;
            bool present = false;
            while (lo <= hi && !present) {
                const int32_t mid = (lo + hi) / 2;
                const int32_t midLength =
                    expandedOf(voc, am, cache, list[mid], phonemes.units(), middle.units(), longest);
                const int32_t order =
                    list[mid] == prons[k]
                        ? 0
                        : compareExpanded(added.units(), length, prons[k], middle.units(), midLength, list[mid]);
                if (order == 0)
                    present = true;
                else if (order < 0)
                    hi = mid - 1;
                else
                    lo = mid + 1;
            }
            if (present)
                continue;
            std::copy_backward(list + lo, list + count, list + count + 1);
            list[lo] = prons[k];
            ++count;
        }
        return true;
    });
}

int32_t LexTree_RemovePronsFromDynamicTree(LexTree* tree, const uint16_t* prons, int32_t n, int32_t arcLimit,
                                           int32_t trailing)
{
    if (tree->hasDynamicTree == 0 || tree->numTrees == 0 || tree->numProns[tree->numTrees - 1] == 0)
        return 1;
    return rebuildDynamic(tree, 0, arcLimit, trailing, [&](uint16_t* list, int32_t& count, PronCache*, int32_t) {
        for (int32_t k = 0; k < n; ++k) {
            uint16_t* end = list + count;
            uint16_t* at = std::find(list, end, prons[k]);
            if (at == end)
                continue;
            std::copy(at + 1, end, at);
            --count;
        }
        return true;
    });
}

int32_t LexTree_CreateDynamicTree(LexTree* tree, const uint16_t* prons, int32_t n, int32_t arcLimit,
                                  int32_t trailing)
{
    // A first batch goes in sorted, as every later add does.
    return LexTree_AddPronsToDynamicTree(tree, prons, n, arcLimit, trailing);
}
