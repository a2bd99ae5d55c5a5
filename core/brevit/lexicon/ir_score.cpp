// The word-pair model of a phrase class (start, transition and end costs for
// the search) and retrieval of the phrases best matching a set of words.
// Every lookup is bounded: a word outside the class costs kIRCostOutside.
#include "core/brevit/lexicon/ir.h"

#include "core/brevit/lexicon/ir_parts.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_str.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

int32_t backOff(const IRClass* c, int32_t y)
{
    return c->logTotal + c->costW - static_cast<int32_t>(c->words[y].logCount);
}

int32_t pairCost(const IRClass* c, int32_t x, uint32_t k)
{
    return static_cast<int32_t>(c->words[x].logCount) + c->costOneMinusW - IR_LogN(k);
}

int16_t clampCost(int32_t v)
{
    return static_cast<int16_t>(std::clamp(v, -32768, 32767));
}

// The prepared class of a slot, or null when it has no words or cannot be prepared.
IRClass* prepared(IR* index, int32_t slot)
{
    IRClass* c = IR_GetClass(index, slot);
    if (c == nullptr || c->wordCount == 0)
        return nullptr;
    if (c->startScores == nullptr && IR_PrepareClassScores(index, slot) == 0)
        return nullptr;
    return c;
}

uint16_t localOf(const IRClass* c, uint32_t id)
{
    const uint16_t l = IRClass_Map(c, id);
    return l < c->wordCount ? l : 65535;
}

// Position of target in an ascending list, or -1.
int32_t findEntry(const uint32_t* list, int32_t count, uint16_t target)
{
    const uint32_t scanBelow = BrevitParam_Word(621);
    if (gpBrevitGlobalParameters == nullptr || static_cast<uint32_t>(count) >= scanBelow) {
        int32_t low = 0;
        int32_t high = count;
        while (low < high) {
            const int32_t mid = (low + high) / 2;
            if (IRList_Index(list[mid]) < target)
                low = mid + 1;
            else
                high = mid;
        }
        return low < count && IRList_Index(list[low]) == target ? low : -1;
    }
    for (int32_t i = 0; i < count; ++i) {
        const uint16_t at = IRList_Index(list[i]);
        if (at >= target)
            return at == target ? i : -1;
    }
    return -1;
}

}  // namespace

int32_t IR_PrepareClassScores(IR* index, int32_t slot)
{
    IRClass* c = IR_GetClass(index, slot);
    if (c == nullptr)
        return 0;
    if (c->wordCount == 0 || c->startScores != nullptr)
        return 1;
    const uint32_t bytes = static_cast<uint32_t>(c->wordCount) * sizeof(int16_t);
    c->contextScores = static_cast<int16_t*>(DVKMem_Malloc(bytes));
    c->startScores = static_cast<int16_t*>(DVKMem_Malloc(bytes));
    if (c->contextScores == nullptr || c->startScores == nullptr) {
        IRClass_DropScores(c);
        return 0;
    }
    const bool noPairs = BrevitParam_Word(626) != 0;
    const uint32_t phrases = c->words[0].count - c->startPrior;
    c->contextScores[0] = c->startScores[0] = clampCost(c->logTotal + c->costW - IR_LogN(phrases));
    for (int32_t x = 1; x < c->wordCount; ++x) {
        c->contextScores[x] = clampCost(backOff(c, x));
        c->startScores[x] = clampCost(noPairs ? backOff(c, x) - c->costW : backOff(c, x));
    }
    if (!noPairs) {
        const uint32_t* list = IRClass_Successors(c, 0);
        for (int32_t k = 0; k < c->words[0].successorCount; ++k) {
            const uint16_t y = IRList_Index(list[k]);
            c->startScores[y] = IR_LogAdd(c->startScores[y], pairCost(c, 0, IRList_Count(list[k])));
        }
    }
    c->contextWord = 65535;
    return 1;
}

int16_t IR_ScoreWordEnd(IRClass* c, uint16_t wordId)
{
    if (c == nullptr || c->startScores == nullptr)
        return kIRCostOutside;
    const int16_t base = c->startScores[0];
    if (BrevitParam_Word(626) != 0)
        return base;
    const uint16_t x = localOf(c, wordId);
    if (x == 65535)
        return kIRCostOutside;
    const uint32_t* list = IRClass_Successors(c, x);
    if (c->words[x].successorCount > 0 && IRList_Index(list[0]) == 0)
        return IR_LogAdd(base, pairCost(c, x, IRList_Count(list[0])));
    return base;
}

int16_t IR_ScoreWordEndInClass(IR* index, int32_t slot, uint16_t wordId)
{
    IRClass* c = prepared(index, slot);
    return c != nullptr ? IR_ScoreWordEnd(c, wordId) : kIRCostOutside;
}

int16_t IR_ScoreWordTransition(IR* index, int32_t slot, int32_t, const uint16_t* previous,
                               uint16_t next)
{
    IRClass* c = prepared(index, slot);
    if (c == nullptr || previous == nullptr)
        return kIRCostOutside;
    if (*previous == 65533) {
        const uint16_t b = localOf(c, next);
        return b == 65535 ? kIRCostOutside : c->startScores[b];
    }
    if (next == 65532)
        return IR_ScoreWordEnd(c, *previous);
    const uint16_t b = localOf(c, next);
    if (b == 65535)
        return kIRCostOutside;
    const int32_t u = backOff(c, b);
    const uint16_t a = localOf(c, *previous);
    if (a == 65535)
        return clampCost(u);
    const int32_t at = findEntry(IRClass_Successors(c, a), c->words[a].successorCount, b);
    if (at < 0)
        return clampCost(u);
    return IR_LogAdd(u, pairCost(c, a, IRList_Count(IRClass_Successors(c, a)[at])));
}

void IR_GetStartScores(IR* index, int32_t slot, int32_t n, const uint16_t* wordIds, int16_t* costs)
{
    IRClass* c = prepared(index, slot);
    for (int32_t i = 0; i < n; ++i) {
        const uint16_t b = c != nullptr ? localOf(c, wordIds[i]) : 65535;
        costs[i] = b == 65535 ? kIRCostOutside : c->startScores[b];
    }
}

void IR_GetTransitionScores(IR* index, int32_t slot, uint16_t contextWordId, int32_t n,
                            const uint16_t* wordIds, int16_t* costs)
{
    IRClass* c = prepared(index, slot);
    if (c != nullptr) {
        const uint16_t b = localOf(c, contextWordId);
        if (b != c->contextWord) {
            if (c->contextWord != 65535) {
                const uint32_t* list = IRClass_Successors(c, c->contextWord);
                for (int32_t k = 0; k < c->words[c->contextWord].successorCount; ++k) {
                    const uint16_t y = IRList_Index(list[k]);
                    if (y != 0)
                        c->contextScores[y] = clampCost(backOff(c, y));
                }
            }
            if (b != 65535) {
                const uint32_t* list = IRClass_Successors(c, b);
                for (int32_t k = 0; k < c->words[b].successorCount; ++k) {
                    const uint16_t y = IRList_Index(list[k]);
                    if (y != 0)
                        c->contextScores[y] =
                            IR_LogAdd(c->contextScores[y], pairCost(c, b, IRList_Count(list[k])));
                }
            }
            c->contextWord = b;
        }
    }
    for (int32_t i = 0; i < n; ++i) {
        const uint16_t y = c != nullptr ? localOf(c, wordIds[i]) : 65535;
        costs[i] = y == 65535 ? kIRCostOutside : c->contextScores[y];
    }
}

// ---- retrieval --------------------------------------------------------------

namespace {

struct Term {
    uint16_t word;
    uint32_t count;
    uint64_t weight;
};

struct Candidate {
    uint16_t phrase;
    int32_t score;
};

uint64_t saturatedAdd(uint64_t sum, uint64_t add)
{
    sum += add;
    return sum > 0x7FFFFFFF ? 0x7FFFFFFF : sum;
}

// Mantissa below 0x10000 and the rounding right shift that made it.
uint32_t reduce(uint64_t v, int32_t* shift)
{
    const IRTables& t = IR_GetTables();
    int32_t length = 0;
    for (uint64_t rest = v; rest != 0; rest >>= 8)
        length += rest > 0xFF ? 8 : t.shiftPower[rest];
    int32_t s = length > 16 ? length - 16 : 0;
    uint64_t m = s > 0 ? (v + (uint64_t{1} << (s - 1))) >> s : v;
    if (m == 0x10000) {
        m = 32768;
        ++s;
    }
    *shift = s;
    return static_cast<uint32_t>(m);
}

// 1024 x acc / sqrt(q x d) in fixed point: 16-bit mantissas, a table start
// for the reciprocal square root and one series step.
int32_t fixedScore(uint64_t acc, uint64_t q, uint64_t d)
{
    const IRTables& t = IR_GetTables();
    if (acc == 0 || q == 0 || d == 0)
        return 0;
    int32_t sq = 0;
    int32_t sd = 0;
    int32_t sp = 0;
    int32_t sa = 0;
    const uint64_t mq = reduce(q, &sq);
    const uint64_t md = reduce(d, &sd);
    uint64_t m = reduce(mq * md, &sp);
    int32_t total = sq + sd + sp;
    // Normalise the product's mantissa to [0x8000, 0xFFFF].
    while (m < 0x8000) {
        m <<= 1;
        --total;
    }
    // x = m / 2^16 in [0.5, 1); the value is x * 2^(total + 16).
    const int32_t exponent = total + 16;
    const bool odd = (exponent & 1) != 0;
    const uint32_t i = static_cast<uint32_t>(m >> 8) - 128;
    // y0 ~ 1/sqrt(x) (even) or 1/sqrt(2x) (odd), 16 fraction bits.
    const int64_t y0 = (static_cast<int64_t>(t.inverse[i]) * (odd ? t.sqrtTwo[i] : t.sqrtOne[i])) >> 7;
    const int64_t x24 = static_cast<int64_t>(m) << (odd ? 9 : 8);  // x or 2x, 24 fraction bits
    // e = x y0^2 - 1 (24 fraction bits), y = y0 (1 - e/2 + 3e^2/8).
    const int64_t e = ((x24 * y0 >> 16) * y0 >> 16) - (int64_t{1} << 24);
    const int64_t f = (int64_t{1} << 24) - e / 2 + ((3 * e * e) >> 27);
    const int64_t y = (y0 * f) >> 24;  // 16 fraction bits
    // score = 1024 acc y 2^-16 2^-(exponent - odd)/2
    const uint64_t ma = reduce(acc, &sa);
    const int32_t shift = 16 + (exponent - (odd ? 1 : 0)) / 2 - sa - 10;
    const uint64_t product = ma * static_cast<uint64_t>(y);
    uint64_t score = 0;
    if (shift > 0)
        score = (product + (uint64_t{1} << (shift - 1))) >> shift;
    else
        score = product << -shift;
    return static_cast<int32_t>(std::min<uint64_t>(score, 0x7FFFFFFF));
}

}  // namespace

int compareIRIdScoreDocScores(const void* a, const void* b)
{
    const Candidate* x = static_cast<const Candidate*>(a);
    const Candidate* y = static_cast<const Candidate*>(b);
    if (x->score != y->score)
        return x->score > y->score ? -1 : 1;
    return x->phrase < y->phrase ? -1 : (x->phrase > y->phrase ? 1 : 0);
}

int32_t getKeyDocId(const void* item, const void** key)
{
    *key = &static_cast<const Candidate*>(item)->phrase;
    return sizeof(uint16_t);
}

int32_t IR_Match(IR* index, const char* name, int32_t positions, const int32_t* counts,
                 const uint16_t* const* ids, int32_t maximum, uint32_t* phraseIds, int32_t* scores)
{
    const int32_t slot = IR_FindClass(index, name);
    if (slot < 0 || positions <= 0 || counts == nullptr || ids == nullptr)
        return 0;
    const IRClass* c = index->classes[slot];
    std::vector<uint16_t> query;
    for (int32_t p = 0; p < positions; ++p)
        for (int32_t k = 0; k < counts[p]; ++k) {
            const uint16_t l = localOf(c, ids[p][k]);
            if (l != 65535 && l != 0)
                query.push_back(l);
        }
    if (query.empty())
        return 0;
    std::qsort(query.data(), query.size(), sizeof(uint16_t), &compareIRIdCountIds);
    const uint32_t logP = IR_LogN(static_cast<uint32_t>(c->phraseCount));
    std::vector<Term> terms;
    std::vector<uint16_t> termWords;
    uint64_t qNorm = 0;
    for (size_t i = 0; i < query.size();) {
        size_t j = i;
        while (j < query.size() && query[j] == query[i])
            ++j;
        const uint16_t w = query[i];
        const int64_t idf = static_cast<int64_t>(logP) - IR_LogN(c->words[w].postingCount);
        const uint64_t weight = static_cast<uint64_t>(std::max<int64_t>(0, static_cast<int64_t>(j - i) * idf + 1));
        terms.push_back({w, static_cast<uint32_t>(j - i), weight});
        termWords.push_back(w);
        qNorm = saturatedAdd(qNorm, weight * weight);
        i = j;
    }

    // Accumulators of the phrases sharing a word with the first position.
    std::vector<uint16_t> first;
    for (int32_t k = 0; k < counts[0]; ++k) {
        const uint16_t l = localOf(c, ids[0][k]);
        if (l != 65535 && l != 0)
            first.push_back(l);
    }
    std::sort(first.begin(), first.end());
    first.erase(std::unique(first.begin(), first.end()), first.end());
    std::vector<uint64_t> acc(c->phraseCount, 0);
    std::vector<uint16_t> seen;
    for (uint16_t w : first) {
        const int32_t at = DVKStr_BinarySearch(&w, sizeof(uint16_t), termWords.data(),
                                               static_cast<int32_t>(termWords.size()), &compareIRIdCountIds);
        if (at < 0)
            continue;
        const uint64_t q = terms[at].weight;
        const uint32_t* postings = IRClass_Postings(c, w);
        for (int32_t k = 0; k < c->words[w].postingCount; ++k) {
            const uint16_t d = IRList_Index(postings[k]);
            if (d >= c->phraseCount)
                continue;
            if (acc[d] == 0)
                seen.push_back(d);
            acc[d] = std::min<uint64_t>(acc[d] + q * q * IRList_Count(postings[k]), uint64_t{1} << 62);
        }
    }

    std::vector<Candidate> candidates;
    std::vector<uint16_t> words;
    for (uint16_t d : seen) {
        const IRPhrase& p = c->phrases[d];
        words.clear();
        for (uint32_t k = 0; k < p.idCount; ++k) {
            const uint16_t l = localOf(c, p.ids[k]);
            if (l != 65535)
                words.push_back(l);
        }
        if (!words.empty())
            std::qsort(words.data(), words.size(), sizeof(uint16_t), &compareIRIdCountIds);
        uint64_t dNorm = 0;
        for (size_t i = 0; i < words.size();) {
            size_t j = i;
            while (j < words.size() && words[j] == words[i])
                ++j;
            const uint64_t tf = j - i;
            const int32_t at = DVKStr_BinarySearch(&words[i], sizeof(uint16_t), termWords.data(),
                                                   static_cast<int32_t>(termWords.size()), &compareIRIdCountIds);
            uint64_t weight = 0;
            if (at >= 0) {
                weight = tf * terms[at].weight;
            } else {
                const int64_t idf = static_cast<int64_t>(logP) + 1 - IR_LogN(c->words[words[i]].postingCount);
                weight = tf * static_cast<uint64_t>(std::max<int64_t>(0, idf));
            }
            dNorm = saturatedAdd(dNorm, std::min<uint64_t>(weight, 0xFFFFFFFF) * std::min<uint64_t>(weight, 0xFFFFFFFF));
            i = j;
        }
        candidates.push_back({d, fixedScore(std::min<uint64_t>(acc[d], 0x7FFFFFFF), qNorm, dNorm)});
    }
    if (!candidates.empty())
        std::qsort(candidates.data(), candidates.size(), sizeof(Candidate), &compareIRIdScoreDocScores);
    const int32_t found = std::min<int32_t>(std::max(maximum, 0), static_cast<int32_t>(candidates.size()));
    for (int32_t i = 0; i < found; ++i) {
        if (phraseIds != nullptr)
            phraseIds[i] = c->phrases[candidates[i].phrase].phraseId;
        if (scores != nullptr)
            scores[i] = candidates[i].score;
    }
    return found;
}

int32_t IR_GetMatches(IR* index, const char* name, int32_t n, const uint16_t* ids, int32_t maximum,
                      uint32_t* phraseIds, int32_t* scores)
{
    if (n <= 0 || ids == nullptr)
        return 0;
    const int32_t counts[1] = {n};
    const uint16_t* lists[1] = {ids};
    return IR_Match(index, name, 1, counts, lists, maximum, phraseIds, scores);
}
