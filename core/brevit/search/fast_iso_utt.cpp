// Utterance set-up, end and choices of the isolated-word search.
#include "core/brevit/search/fast_decoder.h"

#include "core/brevit/acoustic/am.h"
#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/lexicon/lex_tree.h"
#include "core/brevit/lexicon/pron_cache.h"
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/histogram.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

int32_t word(int index) { return static_cast<int32_t>(BrevitParam_Word(index)); }

int32_t failSetUp(FastDecoder* d)
{
    d->state = kDecoderStateStarting;
    return 0;
}

int32_t choiceMargin()
{
    const int32_t m = word(208);
    return m < 2 ? 1 : m;
}

}  // namespace

int32_t FastDecoder_ReserveHypotheses(FastDecoder* d)
{
    const LexTree* tree = d->tree;
    const int32_t trees = LexTree_GetNumTrees(tree);
    uint64_t arcs = 0;
    for (int32_t t = 0; t < trees; ++t) {
        arcs += tree->arcsInUse[t];
        if (d->pronCache != nullptr)
            arcs += tree->expandedSize[t];
    }
    // Every arc live at once and a whole frame of new ones still fits.
    const uint64_t need = 2 * arcs + static_cast<uint64_t>(trees) + 2;
    if (need > 0x7FFFFFFFull / sizeof(FastHyp))
        return 0;
    if (d->hyps != nullptr && static_cast<uint64_t>(d->hypCapacity) >= need)
        return 1;
    auto* hyps = static_cast<FastHyp*>(DVKMem_Calloc(static_cast<uint32_t>(need * sizeof(FastHyp))));
    if (hyps == nullptr)
        return 0;
    DVKMem_Free(d->hyps);
    d->hyps = hyps;
    d->hypCapacity = static_cast<int32_t>(need);
    return 1;
}

DecoderHandle FastIso_UttInit(FastDecoder* d, const uint16_t* leftIds, int32_t leftCount, Constraint* const*,
                              int32_t, int32_t mode)
{
    if (mode != 1 && mode != 2 && mode != 5)
        return failSetUp(d);
    d->frameIndex = 0;
    d->frameBest = d->secondBest = 0;
    d->prevBest = 0;
    d->hypCount = 0;
    d->wordEndCount = 0;
    d->choicesFinal = 0;
    d->bestHyp = -1;
    d->bestTree = 0;
    d->crossScore = kDecoderNoScore;
    d->firstNoWordEnd = -1;
    d->mode = mode;
    d->nothingToExtend = 0;
    d->skipToggle = 0;
    d->ringFill = 0;
    d->ringActive = d->delayRing != nullptr;
    if (d->pronCache != nullptr) {
        if (!PronCache_Reserve(d->pronCache, static_cast<uint32_t>(word(804)), static_cast<uint32_t>(word(805))))
            return failSetUp(d);
        if (word(801) != 0)
            PronCache_Reset(d->pronCache);
    }
    d->phonePenalty = static_cast<int16_t>(word(582));
    if (d->wordPenalty >= d->beam || word(564) == 0)
        return failSetUp(d);
    d->beam16 = static_cast<int16_t>(std::clamp(d->beam, 0, 0x7FFF));
    d->wordPenalty16 = static_cast<int16_t>(std::clamp(d->wordPenalty, -0x8000, 0x7FFF));
    d->wordEndBeam = static_cast<int16_t>(word(570));
    d->wordEndWindow = static_cast<int16_t>(word(571));
    d->hypCap = word(564);

    d->left[0] = d->left[1] = 0xFFFF;
    d->leftCount = 0;
    if (leftIds != nullptr && leftCount >= 1) {
        if (leftCount == 1 || word(596) == 0) {
            d->left[0] = leftIds[leftCount - 1];
            d->leftCount = 1;
        } else {
            d->left[0] = leftIds[leftCount - 2];
            d->left[1] = leftIds[leftCount - 1];
            d->leftCount = 2;
        }
    }
    if (d->base.vocabulary != nullptr && !FastDecoder_RebuildTreeIfNecessary(&d->base))
        return failSetUp(d);

    const int32_t trees = LexTree_GetNumTrees(d->tree);
    if (trees < 1 || d->hypCapacity <= trees + 2 - (LexTree_HasDynamicTree(d->tree) ? 1 : 0))
        return failSetUp(d);
    for (int32_t t = 0; t < trees; ++t)
        d->hyps[t] = FastHyp{0, 0, kFastEmpty, 0, 0};
    d->hypCount = trees;
    d->bestWordEnd = 0;
    d->offset = 0;
    d->state = kDecoderStateRunning;
    return 1;
}

int32_t FastIso_CompareChoices(const void* a, const void* b)
{
    const auto* x = static_cast<const FastWordEnd*>(a);
    const auto* y = static_cast<const FastWordEnd*>(b);
    if (x->score != y->score)
        return x->score < y->score ? -1 : 1;
    return x->pron < y->pron ? -1 : (x->pron > y->pron ? 1 : 0);
}

void FastIso_FinaliseChoices(FastDecoder* d)
{
    if (d->choicesFinal)
        return;
    d->choicesFinal = 1;
    FastWordEnd* e = d->wordEnds;
    std::qsort(e, static_cast<size_t>(d->wordEndCount), sizeof(FastWordEnd), FastIso_CompareChoices);
    Voc* voc = d->base.vocabulary;
    if (word(585) != 0 && voc != nullptr) {
        int32_t kept = 0;
        for (int32_t i = 0; i < d->wordEndCount; ++i) {
            const int32_t active = Voc_GetActiveId(voc, Voc_PronIdToVocId(voc, e[i].pron));
            bool seen = false;
            for (int32_t j = 0; j < kept && !seen; ++j)
                seen = Voc_GetActiveId(voc, Voc_PronIdToVocId(voc, e[j].pron)) == active;
            if (!seen)
                e[kept++] = e[i];
        }
        d->wordEndCount = kept;
    }
    if (d->wordEndCount > 0) {
        const int32_t limit = std::min<int32_t>(e[0].score + choiceMargin(), kFastEmpty);
        int32_t kept = 0;
        while (kept < d->wordEndCount && e[kept].score < limit)
            ++kept;
        d->wordEndCount = kept;
    }
}

int32_t Fast_GetChoice(FastDecoder* d, int32_t index, uint16_t* pron, int32_t* score)
{
    FastIso_FinaliseChoices(d);
    if (index < 0 || index >= d->wordEndCount || d->offset == kDecoderNoScore) {
        *score = kDecoderNoScore;
        return 0;
    }
    *pron = d->wordEnds[index].pron;
    *score = d->wordEnds[index].score + d->offset;
    return 1;
}

int32_t FastIso_UttFinish(FastDecoder* d)
{
    std::qsort(d->wordEnds, static_cast<size_t>(d->wordEndCount), sizeof(FastWordEnd), FastIso_CompareChoices);
    return 1;
}

int32_t FastIso_GetChoicesAndScores(FastDecoder* d, int32_t limit, int32_t* scores, int16_t* perChoice,
                                    int32_t capacity, uint32_t* wordIds, uint8_t* classEnds, uint32_t* classIds,
                                    uint32_t* memberValues, uint8_t* classStarts, uint16_t* decoderValues)
{
    const size_t n = capacity > 0 ? static_cast<size_t>(capacity) : 0;
    if (classEnds != nullptr)
        std::memset(classEnds, 0, n);
    if (classIds != nullptr)
        std::memset(classIds, 0, n * sizeof(uint32_t));
    if (memberValues != nullptr)
        std::memset(memberValues, 0, n * sizeof(uint32_t));
    if (classStarts != nullptr)
        std::memset(classStarts, 0, n);
    int32_t count = 0;
    int32_t used = 0;
    for (int32_t i = 0; i < limit; ++i) {
        // Two words a choice, and a slot left for the caller's end marker.
        if (used + 2 >= capacity)
            break;
        uint16_t pron = 0;
        int32_t score = 0;
        if (!Fast_GetChoice(d, i, &pron, &score))
            break;
        const uint32_t id = d->base.vocabulary != nullptr ? Voc_PronIdToVocId(d->base.vocabulary, pron) : pron;
        wordIds[used] = id;
        wordIds[used + 1] = kDecoderEndOfChoice;
        if (decoderValues != nullptr)
            decoderValues[used] = decoderValues[used + 1] = 0xFFFF;
        used += 2;
        if (scores != nullptr)
            scores[count] = score;
        if (perChoice != nullptr)
            perChoice[count] = 0;
        ++count;
    }
    return count;
}

int32_t FastIso_GetPartialResult(FastDecoder*, int32_t, uint32_t*)
{
    // Paused speech is an end-pointer's finding; without one there is none.
    return 0;
}

WordGraph* FastIso_CloneWordGraph(FastDecoder*) { return nullptr; }

uint32_t FastIso_ComputeCRC(FastDecoder* d)
{
    uint32_t crc = Decoder_ComputeCommonCRC(&d->base);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(d->mode), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(d->state), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(d->hypCount), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(d->hypCap), crc);
    const int16_t scores[] = {d->frameBest, d->secondBest, d->beam16,   d->wordEndBeam,
                              d->wordEndWindow, d->anchor1, d->anchor2, d->wordPenalty16,
                              d->phonePenalty, d->prevBest, d->bestWordEnd, d->threshold};
    for (int16_t s : scores)
        crc = DVKCrc_AddShort(static_cast<uint16_t>(s), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(d->offset), crc);
    crc = DVKCrc_AddShort(static_cast<uint16_t>(d->frameIndex), crc);
    if (word(193) == 0)
        return crc;
    crc = DVKCrc_AddShort(d->left[0], crc);
    crc = DVKCrc_AddShort(d->left[1], crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(d->leftCount), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(d->frameChanged), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(d->skipToggle), crc);
    crc = DVKCrc_AddInt(LexTree_ComputeCRC(d->tree), crc);
    if (d->batch != nullptr && d->batchCount > 0)
        crc = DVKCrc_AddArray(d->batch, 2, d->batchCount, crc);
    if (d->pronCache != nullptr)
        crc = DVKCrc_AddInt(PronCache_ComputeCRC(d->pronCache), crc);
    if (d->histogram != nullptr)
        crc = DVKCrc_AddInt(Histogram_ComputeCRC(d->histogram), crc);
    for (int32_t i = 0; i < d->wordEndCount; ++i)
        crc = DVKCrc_AddPair(d->wordEnds[i].pron, static_cast<uint16_t>(d->wordEnds[i].score), crc);
    for (int32_t i = 0; i < d->hypCount; ++i) {
        const FastHyp& h = d->hyps[i];
        crc = DVKCrc_AddShort(h.arc, crc);
        crc = DVKCrc_AddShort(static_cast<uint16_t>(h.score0), crc);
        crc = DVKCrc_AddShort(static_cast<uint16_t>(h.score1), crc);
        crc = DVKCrc_AddByte(h.best, crc);
        crc = DVKCrc_AddByte(h.depth, crc);
    }
    return crc;
}
