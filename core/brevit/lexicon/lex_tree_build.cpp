// Lexical tree building: the pron order, and one tree laid out level by
// level from a sorted run of prons in two passes (count, then place).
#include "core/brevit/lexicon/lex_tree.h"

#include "core/brevit/acoustic/am.h"
#include "core/brevit/acoustic/am_phones.h"
#include "core/brevit/lexicon/lex_tree_parts.h"
#include "core/brevit/lexicon/pron_cache.h"
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_mem_stack.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int32_t kUnlimited = 0x7FFFFFFF;

// What the comparators read, set just before a sort (the sort is not
// reentrant).
struct SortState {
    Voc* vocabulary = nullptr;
    AM* acousticModel = nullptr;
    const uint16_t* const* expanded = nullptr;
    const uint16_t* const* phonemes = nullptr;
    uint16_t* bufferA = nullptr;   // a 0 unit, then the pron
    uint16_t* bufferB = nullptr;
} gSort;

// Engine memory freed with its owner, also when an engine error unwinds.
template <typename T>
struct Owned {
    T* p = nullptr;
    Owned() = default;
    explicit Owned(uint32_t count) : p(static_cast<T*>(DVKMem_Calloc(std::max<uint32_t>(count, 1) * sizeof(T)))) {}
    ~Owned() { DVKMem_Free(p); }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    T* release()
    {
        T* out = p;
        p = nullptr;
        return out;
    }
};

struct OwnedStack {
    DVKMemStack* stack = nullptr;
    ~OwnedStack() { DVKMemStack_Delete(stack); }
};

uint16_t modelAt(const uint16_t* s, int32_t i)
{
    const uint16_t left = i > 0 ? s[i - 1] : 0;
    const uint16_t right = s[i + 1] == kPhonemeEnd ? 0 : s[i + 1];
    return AM_GetTriphoneId(gSort.acousticModel, left, s[i], right);
}

int32_t longestRecognitionPron(Voc* voc) { return std::max(Voc_GetMaxRecogPronunciationLength(voc), 0); }

// Where one tree build takes its prons' expanded strings from.
struct Source {
    Voc* vocabulary;
    AM* acousticModel;
    const uint16_t* const* phonemeTable;
    const uint16_t* const* expandedTable;   // pre-expanded, with a vocabulary only
    PronCache* pronCache;
    int32_t trailing;
    int32_t room;         // units a string may take
    uint16_t* phonemes;   // room + 2 units
};

// The expanded string of a pron into out (room units); its length.
int32_t fetch(const Source& s, uint16_t id, uint16_t* out)
{
    int32_t length = 0;
    if (s.vocabulary != nullptr && s.expandedTable != nullptr) {
        const uint16_t* e = s.expandedTable[id];
        length = e != nullptr ? static_cast<int32_t>(Phoneme_GetExpandedPronLength(e)) : 0;
        length = std::min(length, s.room);
        std::copy(e, e + length, out);
        return length;
    }
    if (s.vocabulary != nullptr && s.pronCache != nullptr && s.pronCache->keepExpanded != 0) {
        const uint16_t* e = nullptr;
        PronCache_GetPronInfo(s.pronCache, id, nullptr, &e, &length);
        length = e != nullptr ? std::clamp(length, 0, s.room - (s.trailing != 0 ? 1 : 0)) : 0;
        if (length > 0)
            std::copy(e, e + length, out);
        if (s.trailing != 0)
            out[length++] = 0;
        return length;
    }
    if (s.vocabulary != nullptr) {
        s.phonemes[0] = kPhonemeEnd;
        length = std::max(Voc_GetRecogPronunciation(s.vocabulary, id, s.phonemes), 0);
    } else {
        const uint16_t* p = s.phonemeTable[id];
        length = static_cast<int32_t>(Phoneme_StrLen(p));
        length = std::min(length, s.room - (s.trailing != 0 ? 1 : 0));
        std::copy(p, p + length, s.phonemes);
    }
    if (s.trailing != 0)
        s.phonemes[length++] = 0;
    length = std::min(length, s.room);
    if (length > 0)
        AM_ConvertPhonemesToTriphoneIds(s.acousticModel, s.phonemes, length, out, 0, 0);
    return length;
}

int32_t commonPrefix(const uint16_t* a, const uint16_t* b, int32_t most)
{
    int32_t s = 0;
    while (s < most && a[s] == b[s])
        ++s;
    return s;
}

} // namespace

// ---- the pron order --------------------------------------------------------

int32_t LexTree_ComparePronStrings(const uint16_t* a, const uint16_t* b, int32_t idA, int32_t idB)
{
    if (a[0] == kPhonemeEnd && b[0] == kPhonemeEnd)
        return idA - idB;
    int32_t p = 0;
    if (a[0] == b[0]) {
        while (a[p + 1] == b[p + 1] && a[p + 1] != kPhonemeEnd)
            ++p;
    }
    for (int32_t i = p;; ++i) {
        const bool endA = a[i] == kPhonemeEnd;
        const bool endB = b[i] == kPhonemeEnd;
        if (endA || endB)
            return endA && endB ? idA - idB : (endA ? -1 : 1);
        const uint16_t ma = modelAt(a, i);
        const uint16_t mb = modelAt(b, i);
        if (ma != mb)
            return ma < mb ? -1 : 1;
    }
}

int32_t compareProns(const void* pa, const void* pb)
{
    const uint16_t idA = *static_cast<const uint16_t*>(pa);
    const uint16_t idB = *static_cast<const uint16_t*>(pb);
    const uint16_t* a = gSort.expanded[idA];
    const uint16_t* b = gSort.expanded[idB];
    for (int32_t i = 0;; ++i) {
        const bool endA = a[i] == kExpandedEnd;
        const bool endB = b[i] == kExpandedEnd;
        if (endA || endB)
            return endA && endB ? idA - idB : (endA ? -1 : 1);
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
    }
}

int32_t comparePronsNoExpand(const void* pa, const void* pb)
{
    const uint16_t idA = *static_cast<const uint16_t*>(pa);
    const uint16_t idB = *static_cast<const uint16_t*>(pb);
    uint16_t* a = gSort.bufferA + 1;
    uint16_t* b = gSort.bufferB + 1;
    a[0] = b[0] = kPhonemeEnd;
    if (Voc_GetRecogPronunciation(gSort.vocabulary, idA, a) < 0)
        a[0] = kPhonemeEnd;
    if (Voc_GetRecogPronunciation(gSort.vocabulary, idB, b) < 0)
        b[0] = kPhonemeEnd;
    return LexTree_ComparePronStrings(a, b, idA, idB);
}

int32_t comparePhonemeProns(const void* pa, const void* pb)
{
    const uint16_t idA = *static_cast<const uint16_t*>(pa);
    const uint16_t idB = *static_cast<const uint16_t*>(pb);
    const uint16_t* a = gSort.phonemes[idA];
    const uint16_t* b = gSort.phonemes[idB];
    if (a[0] == kPhonemeEnd || b[0] == kPhonemeEnd)
        return LexTree_ComparePronStrings(a, b, idA, idB);
    if (a[0] != b[0] || a[1] != b[1]) {
        // The first models decide unless they are the same.
        const uint16_t ma = modelAt(a, 0);
        const uint16_t mb = modelAt(b, 0);
        if (ma != mb)
            return ma < mb ? -1 : 1;
    }
    return LexTree_ComparePronStrings(a, b, idA, idB);
}

namespace {

void sortWith(uint16_t* prons, int32_t n, int32_t (*compare)(const void*, const void*))
{
    std::sort(prons, prons + n, [compare](uint16_t a, uint16_t b) { return compare(&a, &b) < 0; });
}

} // namespace

void LexTree_ExpandProns(Voc* voc, AM* am, const uint16_t* prons, int32_t n, int32_t expand,
                         const uint16_t** table, DVKMemStack** stack)
{
    if (expand == 0 || n < 1)
        return;
    const int32_t longest = longestRecognitionPron(voc);
    const uint32_t first = static_cast<uint32_t>(std::max(n * longest, 16));
    *stack = DVKMemStack_Create(first, std::max<uint32_t>(first * 2 / 4, 16), 2);
    Owned<uint16_t> phonemes(static_cast<uint32_t>(longest + 2));
    if (phonemes.p == nullptr)
        DVKErr_Raise(__FILE__, __LINE__, "no memory to expand %d prons", n);
    for (int32_t k = 0; k < n; ++k) {
        phonemes.p[0] = kPhonemeEnd;
        const int32_t length = std::clamp(Voc_GetRecogPronunciation(voc, prons[k], phonemes.p), 0, longest);
        auto* e = static_cast<uint16_t*>(DVKMemStack_Alloc(*stack, static_cast<uint32_t>(length + 1) * 2));
        if (length > 0)
            AM_ConvertPhonemesToTriphoneIds(am, phonemes.p, length, e, 0, 0);
        e[length] = kExpandedEnd;
        table[prons[k]] = e;
    }
}

void LexTree_SortProns(Voc* voc, AM* am, uint16_t* prons, int32_t n, int32_t expand, const uint16_t** table,
                       DVKMemStack** stack)
{
    gSort = SortState{};
    gSort.vocabulary = voc;
    gSort.acousticModel = am;
    if (expand != 0) {
        LexTree_ExpandProns(voc, am, prons, n, expand, table, stack);
        gSort.expanded = table;
        sortWith(prons, n, compareProns);
        return;
    }
    const uint32_t room = static_cast<uint32_t>(longestRecognitionPron(voc) + 3);
    Owned<uint16_t> a(room);
    Owned<uint16_t> b(room);
    // An unsorted list would build a wrong tree: the sort cannot just stop.
    if (a.p == nullptr || b.p == nullptr)
        DVKErr_Raise(__FILE__, __LINE__, "no memory to sort %d prons", n);
    gSort.bufferA = a.p;
    gSort.bufferB = b.p;
    sortWith(prons, n, comparePronsNoExpand);
    gSort.bufferA = gSort.bufferB = nullptr;
}

// ---- one tree ----------------------------------------------------------------

int32_t LexTree_BuildTree(LexTree* tree, Voc* voc, AM* am, int32_t n, const uint16_t* prons,
                          const uint16_t* const* phonemeTable, int32_t preExpanded, int32_t F, int32_t D,
                          const uint16_t* const* expandedTable, int32_t A, int32_t trailing, int32_t runTime,
                          int32_t* placed, PronCache* pronCache)
{
    *placed = 0;
    if (voc == nullptr && phonemeTable == nullptr && n > 0)
        return 0;
    int32_t L = 0;
    if (voc != nullptr) {
        L = longestRecognitionPron(voc) + 1;
    } else {
        for (int32_t k = 0; k < n; ++k)
            L = std::max(L, static_cast<int32_t>(Phoneme_StrLen(phonemeTable[prons[k]])));
        L += 1;
    }
    if (trailing != 0)
        ++L;
    if (runTime != 0 || F > L + 100)
        F = D = L + 100;
    const bool rebuild = runTime != 0 && tree->hasDynamicTree != 0 && tree->numTrees > 0;
    const int32_t slot = rebuild ? tree->numTrees - 1 : tree->numTrees;
    if (slot >= kLexTreeMaxTrees)
        return 0;   // no seventeenth tree
    const int32_t limit = A > 0 ? std::min(A, 65536) : kLexTreeMaxArcs;

    const Source source{voc, am, phonemeTable, preExpanded != 0 && voc != nullptr ? expandedTable : nullptr,
                        voc != nullptr ? pronCache : nullptr, trailing, L, nullptr};
    Owned<uint16_t> phonemes(static_cast<uint32_t>(L + 3));
    Owned<uint16_t> current(static_cast<uint32_t>(L + 1));
    Owned<uint16_t> next(static_cast<uint32_t>(L + 1));
    Owned<int32_t> levels(static_cast<uint32_t>(L + 3));
    Owned<int32_t> saved(static_cast<uint32_t>(L + 3));
    Owned<int32_t> sharedBefore(static_cast<uint32_t>(n));
    Owned<int32_t> depths(static_cast<uint32_t>(n));
    Owned<int32_t> cursor(static_cast<uint32_t>(L + 4));
    if (phonemes.p == nullptr || current.p == nullptr || next.p == nullptr || levels.p == nullptr ||
        saved.p == nullptr || sharedBefore.p == nullptr || depths.p == nullptr || cursor.p == nullptr)
        return 0;
    Source s = source;
    s.phonemes = phonemes.p;

    // Counting pass.
    uint16_t* cur = current.p;
    uint16_t* nxt = next.p;
    int32_t arcs = 2;
    levels.p[0] = 1;
    int32_t counted = 0;
    int32_t savedCount = -1;
    int32_t savedArcs = 0;
    int32_t sPrev = 0;
    int32_t lenCur = n > 0 ? fetch(s, prons[0], cur) : 0;
    bool stopped = false;
    for (int32_t k = 0; k < n; ++k) {
        const int32_t lenNext = k + 1 < n ? fetch(s, prons[k + 1], nxt) : 0;
        const int32_t sNext =
            k + 1 < n ? commonPrefix(cur, nxt, std::max(std::min(lenCur - 1, lenNext - 1), 0)) : 0;
        int32_t sp = sPrev;
        if (k > 0 && sp == 0) {
            savedCount = k;
            savedArcs = arcs;
            std::copy(levels.p, levels.p + L + 3, saved.p);
        }
        int32_t depth = 0;
        if (lenCur > 0) {
            depth = std::max(sp, sNext) + 1;
            if (F > depth)
                depth = std::min(F, lenCur);
            if (depth > D) {
                depth = D + 1;
                sp = std::min(sp, D);
            }
        }
        const int32_t after = arcs + depth - sp;
        if (depth > 0 && after > limit) {
            stopped = true;
            break;
        }
        for (int32_t d = sp + 1; d <= depth; ++d)
            ++levels.p[d];
        if (depth > 0)
            arcs = after;
        sharedBefore.p[k] = sp;
        depths.p[k] = depth;
        counted = k + 1;
        sPrev = sNext;
        std::swap(cur, nxt);
        lenCur = lenNext;
    }
    if (stopped && savedCount > 0) {
        counted = savedCount;
        arcs = savedArcs;
        std::copy(saved.p, saved.p + L + 3, levels.p);
    }
    if ((n > 0 && counted == 0) || (runTime != 0 && counted < n))
        return 0;

    int32_t deepest = 0;
    for (int32_t d = 1; d < L + 3; ++d)
        if (levels.p[d] > 0)
            deepest = d;
    // Arrays: a run-time tree is reused only when it holds what is needed.
    const uint32_t capacity = A > 0 ? static_cast<uint32_t>(limit) : static_cast<uint32_t>(arcs);
    const bool reuse = rebuild && A > 0 && tree->arcCapacity[slot] >= static_cast<uint32_t>(arcs) &&
                       tree->arcs[slot] != nullptr;
    const uint32_t depthEntries = static_cast<uint32_t>(std::max(L + 5, deepest + 1));
    const bool keepDepth = reuse && tree->depthCapacity[slot] >= static_cast<uint32_t>(std::max(L, deepest + 1));
    lex_tree::TreeArrays made;
    if (!reuse) {
        made.arcs = static_cast<LexArc*>(DVKMem_Calloc(capacity * sizeof(LexArc)));
        made.lookahead = static_cast<uint8_t*>(DVKMem_Calloc(capacity));
    }
    if (!keepDepth)
        made.depthTable = static_cast<uint32_t*>(DVKMem_Calloc(depthEntries * 4));
    if ((!reuse && (made.arcs == nullptr || made.lookahead == nullptr)) || (!keepDepth && made.depthTable == nullptr)) {
        lex_tree::freeArrays(made);
        return 0;
    }
    if (reuse) {
        std::memset(tree->arcs[slot], 0, tree->arcCapacity[slot] * sizeof(LexArc));
        std::memset(tree->lookahead[slot], 0, tree->arcCapacity[slot]);
    } else {
        if (slot < tree->numTrees)
            LexTree_FreeTree(tree, slot);
        tree->arcs[slot] = made.arcs;
        tree->lookahead[slot] = made.lookahead;
        tree->arcCapacity[slot] = capacity;
    }
    if (!keepDepth) {
        DVKMem_Free(tree->depthTable[slot]);
        tree->depthTable[slot] = made.depthTable;
        tree->depthCapacity[slot] = depthEntries;
    } else {
        std::fill(tree->depthTable[slot], tree->depthTable[slot] + tree->depthCapacity[slot], 0u);
    }

    // Placing pass.
    LexArc* out = tree->arcs[slot];
    uint32_t* depthTable = tree->depthTable[slot];
    cursor.p[0] = 0;
    for (int32_t d = 1; d < L + 4; ++d)
        cursor.p[d] = cursor.p[d - 1] + levels.p[d - 1];
    for (int32_t d = 0; d <= deepest; ++d)
        depthTable[d] = static_cast<uint32_t>(cursor.p[d]);
    out[0] = {static_cast<uint16_t>(AM_GetSilenceModelId(am) & kLexArcModelMask), 1};
    ++cursor.p[0];
    out[arcs - 1] = {0, static_cast<uint16_t>(arcs - 1)};
    int32_t withArcs = 0;
    uint32_t expandedSize = 0;
    for (int32_t k = 0; k < counted; ++k) {
        const int32_t depth = depths.p[k];
        if (depth == 0)
            continue;
        const int32_t length = fetch(s, prons[k], cur);
        if (depth < length)
            tree->truncated = 1;
        for (int32_t d = sharedBefore.p[k] + 1; d <= depth; ++d) {
            const int32_t at = cursor.p[d]++;
            const auto model = static_cast<uint16_t>(cur[d - 1] & kLexArcModelMask);
            if (d == depth)
                out[at] = {static_cast<uint16_t>(model | kLexArcWordEnd), prons[k]};
            else
                out[at] = {model, static_cast<uint16_t>(cursor.p[d + 1])};
        }
        ++withArcs;
        expandedSize += static_cast<uint32_t>(length + 1 + (trailing != 0 ? 1 : 0));
    }
    tree->deepestLevel[slot] = static_cast<uint32_t>(deepest);
    tree->arcsInUse[slot] = static_cast<uint32_t>(arcs);
    tree->level0Arcs[slot] = 1;
    tree->numProns[slot] = static_cast<uint32_t>(withArcs);
    tree->expandedSize[slot] = expandedSize;
    tree->rootLookahead[slot] = 0;
    if (slot == tree->numTrees)
        ++tree->numTrees;
    if (runTime != 0)
        tree->hasDynamicTree = 1;
    *placed = counted;
    return 1;
}

// ---- whole builds ------------------------------------------------------------

int32_t LexTree_BuildFromProns(LexTree* tree, const uint16_t* prons, int32_t n, Voc* voc, AM* am,
                               const uint16_t* const* phonemeTable, int32_t trailing, int32_t runTime,
                               int32_t arcLimit, PronCache* pronCache)
{
    tree->vocabulary = voc;
    tree->acousticModel = am;
    tree->truncated = 0;
    const int32_t preExpanded = trailing == 0 && BrevitParam_Word(kBrevitParamNoPreExpansion) == 0 ? 1 : 0;
    int32_t placed = 0;
    if (n <= 0)
        return LexTree_BuildTree(tree, voc, am, 0, nullptr, phonemeTable, 0, kUnlimited, kUnlimited, nullptr,
                                 arcLimit, trailing, runTime, &placed, pronCache);
    Owned<uint16_t> list(static_cast<uint32_t>(n));
    if (list.p == nullptr)
        return 0;
    std::copy(prons, prons + n, list.p);
    OwnedStack stack;
    Owned<const uint16_t*> table;
    int32_t F = kUnlimited;
    int32_t D = kUnlimited;
    if (voc != nullptr) {
        const uint16_t highest = *std::max_element(list.p, list.p + n);
        table.p = static_cast<const uint16_t**>(DVKMem_Calloc((static_cast<uint32_t>(highest) + 1) * sizeof(void*)));
        if (table.p == nullptr)
            return 0;
        LexTree_SortProns(voc, am, list.p, n, preExpanded, table.p, &stack.stack);
        F = static_cast<int32_t>(BrevitParam_Word(kBrevitParamTreeExpansionFanout));
        D = static_cast<int32_t>(BrevitParam_Word(kBrevitParamTreeExpansionDepth));
    } else {
        gSort = SortState{};
        gSort.acousticModel = am;
        gSort.phonemes = phonemeTable;
        sortWith(list.p, n, comparePhonemeProns);
    }
    for (int32_t done = 0; done < n; done += placed) {
        if (LexTree_BuildTree(tree, voc, am, n - done, list.p + done, phonemeTable, preExpanded, F, D, table.p,
                              arcLimit, trailing, runTime, &placed, pronCache) == 0)
            return 0;
    }
    return 1;
}

int32_t LexTree_BuildFromPronRange(LexTree* tree, int32_t n, const uint16_t* const* phonemeTable, AM* am)
{
    Owned<uint16_t> prons(static_cast<uint32_t>(std::max(n, 1)));
    if (prons.p == nullptr)
        return 0;
    for (int32_t k = 0; k < n; ++k)
        prons.p[k] = static_cast<uint16_t>(k);
    return LexTree_BuildFromProns(tree, prons.p, n, nullptr, am, phonemeTable, 0, 0, 0, nullptr);
}

int32_t LexTree_CollectActiveProns(Voc* voc, int32_t includeAll, uint16_t** prons, int32_t* count)
{
    const int32_t N = std::max(Voc_GetNumActiveEntries(voc), 0);
    *prons = static_cast<uint16_t*>(DVKMem_Malloc(static_cast<uint32_t>(N + 1) * 2));
    *count = 0;
    if (*prons == nullptr)
        return 0;
    for (int32_t id = 0; id <= N && id < 0xFFFF; ++id)
        if (Voc_IsPronIdActive(voc, id) != 0 && (includeAll != 0 || Voc_IsRunTimePron(voc, id) == 0))
            (*prons)[(*count)++] = static_cast<uint16_t>(id);
    return 1;
}

int32_t LexTree_Build(LexTree* tree, Voc* voc, AM* am, int32_t includeAll)
{
    Owned<uint16_t> prons;
    int32_t n = 0;
    if (LexTree_CollectActiveProns(voc, includeAll, &prons.p, &n) == 0)
        return 0;
    return LexTree_BuildFromProns(tree, prons.p, n, voc, am, nullptr, 0, 0, 0, nullptr);
}
