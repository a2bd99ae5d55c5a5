// Lexical tree objects: accessors, freeing, the checksum and look-ahead.
#include "core/brevit/lexicon/lex_tree.h"

#include "core/brevit/lexicon/lex_tree_parts.h"
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/search_lexicon_calls.h"

#include <algorithm>

namespace {

bool validTree(const LexTree* t, int32_t i) { return t != nullptr && i >= 0 && i < t->numTrees; }

uint8_t clampScore(int32_t score)
{
    const auto s = static_cast<int16_t>(score);
    return static_cast<uint8_t>(std::clamp<int32_t>(s, 0, 255));
}

uint8_t contextScore(Voc* voc, int32_t activeId, const uint16_t* history)
{
    if (history[0] == 0xFFFF)
        return clampScore(Voc_ScoreNGram(voc, nullptr, 0, activeId));
    return clampScore(Voc_ScoreNGram(voc, history, 1, activeId));
}

int32_t activeIdOf(Voc* voc, const LexArc& arc) { return Voc_GetActiveIdFromPronId(voc, arc.next, nullptr); }

template <typename Score>
uint8_t rawLookahead(const LexArc* arcs, uint8_t* bytes, int32_t arc, Score score)
{
    uint8_t value = 255;
    if (lex_tree::isWordEnd(arcs[arc])) {
        value = score(arcs[arc]);
    } else {
        const int32_t end = lex_tree::childEnd(arcs, arc);
        for (int32_t c = arcs[arc].next; c < end; ++c)
            value = std::min(value, rawLookahead(arcs, bytes, c, score));
    }
    bytes[arc] = value;
    return value;
}

void quantise(LexTree* t, int32_t i, int32_t step) { LexTree_QuantiseTree(t->arcs[i], step, t->lookahead[i], t->bestLookahead); }

} // namespace

void lex_tree::freeArrays(TreeArrays& a)
{
    DVKMem_Free(a.arcs);
    DVKMem_Free(a.lookahead);
    DVKMem_Free(a.depthTable);
    a = TreeArrays{};
}

LexTree* LexTree_CreateEmpty()
{
    auto* t = static_cast<LexTree*>(DVKMem_Calloc(sizeof(LexTree)));
    if (t == nullptr)
        return nullptr;
    t->ownerFlag = 1;
    t->bestLookahead = 255;
    return t;
}

void LexTree_SetModels(LexTree* t, Voc* vocabulary, AM* acousticModel)
{
    t->vocabulary = vocabulary;
    t->acousticModel = acousticModel;
}

int32_t LexTree_GetNumTrees(const LexTree* t) { return t != nullptr ? t->numTrees : 0; }
int32_t LexTree_HasDynamicTree(const LexTree* t) { return t != nullptr ? t->hasDynamicTree : 0; }
int32_t LexTree_GetBestLookaheadScore(const LexTree* t) { return t->bestLookahead; }
int32_t LexTree_GetHeaderWord(const LexTree* t) { return t->truncated; }
const LexArc* LexTree_GetArcs(const LexTree* t, int32_t i) { return validTree(t, i) ? t->arcs[i] : nullptr; }
const uint32_t* LexTree_GetDepthTable(const LexTree* t, int32_t i) { return validTree(t, i) ? t->depthTable[i] : nullptr; }
const uint8_t* LexTree_GetLookaheadScores(const LexTree* t, int32_t i) { return validTree(t, i) ? t->lookahead[i] : nullptr; }
int32_t LexTree_GetNumTotalArcs(const LexTree* t, int32_t i)
{
    return validTree(t, i) ? static_cast<int32_t>(t->arcsInUse[i]) : 0;
}
int32_t LexTree_GetMaxTotalArcs(const LexTree* t, int32_t i)
{
    return validTree(t, i) ? static_cast<int32_t>(t->arcCapacity[i]) : 0;
}

int32_t LexTree_GetFreeArcs(const LexTree* t, int32_t capacity)
{
    if (t == nullptr || t->numTrees == 0)
        return capacity;
    return capacity - static_cast<int32_t>(t->arcsInUse[t->numTrees - 1]);
}

void LexTree_FreeTree(LexTree* t, int32_t i)
{
    if (t == nullptr || i < 0 || i >= kLexTreeMaxTrees)
        return;
    DVKMem_Free(t->arcs[i]);
    DVKMem_Free(t->lookahead[i]);
    DVKMem_Free(t->depthTable[i]);
    t->arcs[i] = nullptr;
    t->lookahead[i] = nullptr;
    t->depthTable[i] = nullptr;
    t->deepestLevel[i] = t->depthCapacity[i] = t->arcCapacity[i] = t->arcsInUse[i] = 0;
    t->level0Arcs[i] = t->numProns[i] = t->expandedSize[i] = 0;
    t->rootLookahead[i] = 0;
}

void LexTree_DeleteAll(LexTree* t)
{
    if (t == nullptr)
        return;
    for (int32_t i = 0; i < kLexTreeMaxTrees; ++i)
        LexTree_FreeTree(t, i);
    DVKMem_Free(t);
}

void LexTree_Delete(LexTree* t)
{
    if (t == nullptr)
        return;
    if (t->ownerFlag != 0) {
        LexTree_DeleteAll(t);
        return;
    }
    if (t->hasDynamicTree != 0 && t->numTrees > 0)
        LexTree_FreeTree(t, t->numTrees - 1);
    DVKMem_Free(t);
}

uint32_t LexTree_ComputeCRC(const LexTree* t)
{
    uint32_t crc = 0xFFFFFFFFu;
    const int32_t T = t->numTrees;
    crc = DVKCrc_AddValue(static_cast<uint32_t>(t->truncated), 4, crc);
    crc = DVKCrc_AddValue(t->headerWord, 4, crc);
    crc = DVKCrc_AddValue(static_cast<uint32_t>(T), 4, crc);
    crc = DVKCrc_AddValue(static_cast<uint32_t>(t->hasDynamicTree), 4, crc);
    crc = DVKCrc_AddValue(t->bestLookahead, 1, crc);
    crc = DVKCrc_AddArray(t->deepestLevel, 4, T, crc);
    crc = DVKCrc_AddArray(t->depthCapacity, 4, T, crc);
    for (int32_t i = 0; i < T; ++i)
        if (t->depthTable[i] != nullptr)
            crc = DVKCrc_AddArray(t->depthTable[i], 4, static_cast<int32_t>(t->depthCapacity[i]), crc);
    for (const uint32_t* column : {t->arcCapacity, t->arcsInUse, t->level0Arcs, t->numProns, t->expandedSize})
        crc = DVKCrc_AddArray(column, 4, T, crc);
    for (int32_t i = 0; i < T; ++i) {
        for (uint32_t a = 0; a < t->arcsInUse[i]; ++a) {
            crc = DVKCrc_AddValue(t->arcs[i][a].model, 2, crc);
            crc = DVKCrc_AddValue(t->arcs[i][a].next, 2, crc);
        }
        if (t->arcsInUse[i] > 1)
            crc = DVKCrc_AddArray(t->lookahead[i], 1, static_cast<int32_t>(t->arcsInUse[i] - 1), crc);
        crc = DVKCrc_AddValue(t->rootLookahead[i], 1, crc);
    }
    return DVKCrc_AddArray(t->rootLookahead, 1, T, crc);
}

// ---- look-ahead -----------------------------------------------------------

int32_t LexTree_GetWordLookaheadScore(Voc* voc, int32_t activeId, int32_t floor)
{
    const int32_t score = std::min<int32_t>(static_cast<int16_t>(Voc_ScoreNGramRaw(voc, nullptr, 0, activeId)), 255);
    return std::max(score, floor);
}

uint8_t LexTree_ComputeArcLookahead(Voc* voc, const LexArc* arcs, uint8_t* bytes, int32_t arc, int32_t floor)
{
    return rawLookahead(arcs, bytes, arc, [&](const LexArc& a) {
        return clampScore(LexTree_GetWordLookaheadScore(voc, activeIdOf(voc, a), floor));
    });
}

uint8_t LexTree_ComputeArcContextLookahead(Voc* voc, const LexArc* arcs, uint8_t* bytes, int32_t arc,
                                           const uint16_t* history)
{
    return rawLookahead(arcs, bytes, arc, [&](const LexArc& a) { return contextScore(voc, activeIdOf(voc, a), history); });
}

void LexTree_QuantiseArc(const LexArc* arcs, int32_t arc, int32_t depth, int32_t step, uint8_t* bytes, int32_t base)
{
    int32_t q = (step / 2 - base + bytes[arc]) / step;
    bytes[arc] = static_cast<uint8_t>(q);
    if (lex_tree::isWordEnd(arcs[arc]))
        return;
    const int32_t cap = static_cast<int32_t>(BrevitParam_Word(kBrevitParamLookaheadCap) & 0xFF);
    if (depth <= static_cast<int32_t>(BrevitParam_Word(kBrevitParamLookaheadDepth)) && q > cap) {
        bytes[arc] = static_cast<uint8_t>(cap);
        q = cap;
    }
    const int32_t childBase = std::min(base + step * q, 255);
    const int32_t end = lex_tree::childEnd(arcs, arc);
    for (int32_t c = arcs[arc].next; c < end; ++c)
        LexTree_QuantiseArc(arcs, c, depth + 1, step, bytes, childBase);
}

void LexTree_QuantiseTree(const LexArc* arcs, int32_t step, uint8_t* bytes, int32_t base)
{
    // A step below 1 would divide by zero; the finest step is 1.
    step = std::max(step, 1);
    bytes[0] = 0;
    const int32_t end = lex_tree::childEnd(arcs, 0);
    for (int32_t c = arcs[0].next; c < end; ++c)
        LexTree_QuantiseArc(arcs, c, 1, step, bytes, base);
}

void LexTree_ComputeLookahead(LexTree* t, int32_t step)
{
    uint8_t best = 255;
    for (int32_t i = 0; i < t->numTrees; ++i) {
        t->rootLookahead[i] = LexTree_ComputeArcLookahead(t->vocabulary, t->arcs[i], t->lookahead[i], 0, 0);
        best = std::min(best, t->rootLookahead[i]);
    }
    t->bestLookahead = best;
    for (int32_t i = 0; i < t->numTrees; ++i)
        quantise(t, i, step);
}

void LexTree_UpdateWordLookahead(LexTree* t, int32_t i, int32_t step)
{
    if (!validTree(t, i))
        return;
    const int32_t floor = t->numTrees < 2 ? 0 : t->bestLookahead;
    t->rootLookahead[i] = LexTree_ComputeArcLookahead(t->vocabulary, t->arcs[i], t->lookahead[i], 0, floor);
    if (t->numTrees < 2)
        t->bestLookahead = t->rootLookahead[i];
    quantise(t, i, step);
}

void LexTree_RecomputeTreeLookahead(Voc* voc, LexTree* t, int32_t i, int32_t step, const uint16_t* history)
{
    if (!validTree(t, i))
        return;
    t->rootLookahead[i] = LexTree_ComputeArcContextLookahead(voc, t->arcs[i], t->lookahead[i], 0, history);
    if (t->rootLookahead[i] >= t->bestLookahead) {
        quantise(t, i, step);
        return;
    }
    t->bestLookahead = t->rootLookahead[i];
    for (int32_t k = 0; k < t->numTrees; ++k) {
        if (k != i)
            t->rootLookahead[k] = LexTree_ComputeArcContextLookahead(voc, t->arcs[k], t->lookahead[k], 0, history);
        else
            LexTree_ComputeArcContextLookahead(voc, t->arcs[k], t->lookahead[k], 0, history);
        quantise(t, k, step);
    }
}

void LexTree_InitLookahead(LexTree* t, int32_t step)
{
    if (t->ownerFlag == 0)
        return;
    const uint32_t on = BrevitParam_Word(kBrevitParamLookahead);
    if (on == 0 && BrevitParam_Word(kBrevitParamLookaheadStep) == 0) {
        t->bestLookahead = 0;
        return;
    }
    t->bestLookahead = 255;
    if (on != 0)
        LexTree_ComputeLookahead(t, step);
}
