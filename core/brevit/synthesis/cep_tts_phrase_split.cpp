// Phrase breaks: each word's break class from the tag window around it, and
// the cuts that split a phrase too long to say in one breath.
#include "core/brevit/search/lm_dtree.h"
#include "core/brevit/synthesis/cep_tts_front_end_parts.h"

#include <algorithm>

namespace {

constexpr int64_t kNoCost = 16777215;

// Cuts without a cost table: a piece too long is cut once at its lowest
// class, then its first piece is examined, then its second. The pieces wait
// on a stack rather than in nested calls, so a long chain of cuts cannot
// exhaust the call stack.
int32_t cutOnce(const CepTTSFrontEnd* f, const int32_t* syllables, const int32_t* classes, int32_t count,
                int32_t* cuts)
{
    CepTTSScratch scratch;
    auto* pieces = CepTTSScratch::zeroed<int32_t>(2 * int64_t{count});
    auto* total = CepTTSScratch::zeroed<int64_t>(int64_t{count} + 1);
    for (int32_t k = 0; k < count; ++k)
        total[k + 1] = total[k] + syllables[k];
    int32_t depth = 0;
    int32_t made = 0;
    pieces[depth++] = 0;
    pieces[depth++] = count;
    while (depth > 0) {
        const int32_t n = pieces[--depth];
        const int32_t first = pieces[--depth];
        if (n < 2 || total[first + n] - total[first] <= f->phraseMaxSyllables)
            continue;
        int32_t best = first + 1;
        for (int32_t j = first + 2; j < first + n; ++j) {
            const int32_t smaller = std::min(j - first, first + n - j);
            const int32_t bestSmaller = std::min(best - first, first + n - best);
            if (classes[j - 1] < classes[best - 1] || (classes[j - 1] == classes[best - 1] && smaller > bestSmaller))
                best = j;
        }
        cuts[made++] = best;
        pieces[depth++] = best;
        pieces[depth++] = first + n - best;
        pieces[depth++] = first;
        pieces[depth++] = best - first;
    }
    std::sort(cuts, cuts + made);
    return made;
}

int64_t lengthCost(const CepTTSFrontEnd* f, int64_t y)
{
    const int64_t l = f->phraseCostLength;
    return y <= l ? f->phraseCosts[y] : f->phraseCosts[l] + int64_t{f->phraseCostSlope} * (y - l);
}

int32_t cutByCost(const CepTTSFrontEnd* f, const int32_t* syllables, const int32_t* classes, int32_t count,
                  int32_t* cuts)
{
    CepTTSScratch scratch;
    auto* best = CepTTSScratch::zeroed<int64_t>(int64_t{count} + 1);
    auto* start = CepTTSScratch::zeroed<int32_t>(int64_t{count} + 1);
    for (int32_t e = 1; e <= count; ++e) {
        best[e] = kNoCost;
        start[e] = 1;
        int64_t y = 0;
        for (int32_t s = 1; s <= e; ++s)
            y += syllables[s - 1];
        // A later start replaces an earlier one only when strictly cheaper.
        for (int32_t s = 1; s <= e; ++s) {
            const int64_t piece =
                classes[e - 1] + int64_t{f->pieceCostWeight} * (lengthCost(f, y) + f->pieceCostOffset) / 16;
            if (best[s - 1] + piece < best[e]) {
                best[e] = best[s - 1] + piece;
                start[e] = s;
            }
            y -= syllables[s - 1];
        }
    }
    int32_t n = 0;
    for (int32_t e = count; start[e] > 1; e = start[e] - 1)
        cuts[n++] = start[e] - 1;
    std::reverse(cuts, cuts + n);
    return n;
}

} // namespace

bool CepTTSFrontEnd_BreakClasses(const CepTTSFrontEnd* f, const uint16_t* tags, int32_t n, int32_t* classes)
{
    CepTTSScratch scratch;
    const int32_t half = f->breakWindow / 2;
    auto* padded = CepTTSScratch::zeroed<uint16_t>(int64_t{n} + f->breakWindow + 2);
    for (int32_t k = 0; k < n; ++k)
        padded[half + k] = tags[k];
    if (n == 0 || (tags[n - 1] != f->punctuationTagA && tags[n - 1] != f->punctuationTagB))
        padded[half + n] = f->punctuationTagA;
    for (int32_t k = 0; k < n; ++k) {
        uint16_t leaf = 0;
        uint8_t score = 0;
        const bool found = LMDTree_GetLeaf(f->breakTree, padded + k, &leaf, &score, 1) > 0;
        classes[k] = found && leaf < f->breakClassCount ? f->breakClasses[leaf] : 255;
    }
    return true;
}

int32_t CepTTSFrontEnd_SplitPhrase(const CepTTSFrontEnd* f, const int32_t* syllables, const int32_t* classes,
                                   int32_t count, int32_t* cuts)
{
    if (count < 2)
        return 0;
    if (f->phraseCostLength <= 0 || f->phraseCosts == nullptr)
        return cutOnce(f, syllables, classes, count, cuts);
    int64_t total = 0;
    for (int32_t k = 0; k < count; ++k)
        total += syllables[k];
    return total > f->phraseSplitSyllables ? cutByCost(f, syllables, classes, count, cuts) : 0;
}
