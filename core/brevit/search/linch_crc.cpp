// The checksum of the linear-chain decoder's search state, for tracing and
// for checking that two runs over the same input agree. Only values go in:
// where the record holds a pointer that is not an object of its own, 0 goes
// in its place, so the checksum does not depend on where memory was found.
#include "core/brevit/acoustic/acoustic_engine_calls.h"
#include "core/brevit/lexicon/lex_tree.h"
#include "core/brevit/lexicon/pron_cache.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/search/close_call.h"
#include "core/brevit/search/histogram.h"
#include "core/brevit/search/linch_choice.h"
#include "core/brevit/search/linch_results.h"
#include "core/brevit/search/linch_search.h"
#include "core/brevit/search/paired_phoneme_table.h"
#include "core/brevit/search/result_graph.h"

#include <algorithm>

namespace {

uint32_t add(uint32_t value, int32_t size, uint32_t crc) { return DVKCrc_AddValue(value, size, crc); }

uint32_t u(int32_t v) { return static_cast<uint32_t>(v); }

uint32_t addEndPointer(const UttDet& det, uint32_t crc)
{
    crc = add(u(det.state), 4, crc);
    crc = add(u(det.minSpeechFrames), 4, crc);
    crc = add(u(det.minSilenceFrames), 4, crc);
    return add(u(det.flag), 4, crc);
}

uint32_t liveListCRC(LinChDecoder* d)
{
    if (d->hypPages == nullptr || d->hypCount <= 1)
        return 0xFFFFFFFFu;
    uint32_t crc = 0xFFFFFFFFu;
    const int32_t start = LinChDecoder_ListStart(d);
    for (int32_t i = start; i + 1 < start + d->hypCount; ++i) {
        const LinChHyp* r = LinChDecoder_HypAt(d, i);
        crc = add(LinChDecoderNoTimes_ComputeHypCRC(r, r->model == 0 ? 1 : d->statesPerModel), 4, crc);
    }
    return crc;
}

uint32_t newWordsCRC(LinChDecoder* d, uint32_t crc)
{
    if (d->newWordPages == nullptr)
        return crc;
    const int32_t made = std::min(d->newWordCount, kLinChPageRecords * d->newWordPageCount);
    for (int32_t i = 0; i < made; ++i) {
        const LinChNewWord* w = LinChDecoder_NewWordAt(d, i);
        crc = add(u(w->ref), 4, crc);
        crc = DVKCrc_AddPair(w->activeIdLow & 0xFFFFu, w->activeIdHigh & 0xFFFFu, crc);
        crc = add(w->pron, 2, crc);
        crc = add(static_cast<uint16_t>(w->cost), 2, crc);
    }
    return crc;
}

uint32_t choicesCRC(LinChDecoder* d, uint32_t crc)
{
    if (d->choices != nullptr)
        for (int32_t c = 0; c < std::min(d->numChoices, d->choiceCapacity); ++c) {
            const LinChChoice& choice = d->choices[c];
            crc = add(u(choice.score), 4, crc);
            crc = add(u(choice.wordCount), 4, crc);
            crc = add(u(choice.expanded), 4, crc);
            for (int32_t i = 0; i < std::clamp(choice.wordCount, 0, kLinChChoiceWords); ++i) {
                crc = add(choice.words[i], 2, crc);
                crc = add(static_cast<uint16_t>(choice.endFrames[i]), 2, crc);
            }
        }
    crc = add(u(d->choiceCapacity), 4, crc);
    return add(u(d->numChoices), 4, crc);
}

uint32_t treesCRC(LinChDecoder* d, uint32_t crc)
{
    if (d->trees == nullptr)
        return crc;
    const int32_t n = std::min(d->numTrees, d->treeCapacity);
    for (int32_t t = 0; t < n; ++t)
        crc = add(LexTree_ComputeCRC(d->trees[t]), 4, crc);
    for (int32_t t = 0; t < n && d->treeWords != nullptr; ++t)
        crc = add(static_cast<uint16_t>(d->treeWords[t]), 2, crc);
    for (int32_t t = 0; t < n && d->treeIds != nullptr; ++t)
        crc = add(u(d->treeIds[t]), 4, crc);
    crc = add(u(d->treeCapacity), 4, crc);
    return add(u(d->numTrees), 4, crc);
}

} // namespace

uint32_t LinChDecoderNoTimes_ComputeHypCRC(const LinChHyp* r, int32_t numStates)
{
    uint32_t crc = 0xFFFFFFFFu;
    crc = add(r->pron, 2, crc);
    crc = add(r->phone, 1, crc);
    crc = add(r->model, 2, crc);
    for (int32_t s = 0; s < std::clamp(numStates, 0, 2); ++s) {
        crc = add(static_cast<uint16_t>(r->cost[s]), 2, crc);
        crc = add(u(r->ref[s]), 4, crc);
    }
    crc = add(static_cast<uint16_t>(r->best), 2, crc);
    return DVKCrc_AddPair(r->activeIdLow, r->activeIdHigh, crc);
}

uint32_t LinChDecoderNoTimes_ComputeCRC(Decoder* decoder)
{
    LinChDecoder* d = LinChDecoder_Of(decoder);
    uint32_t crc = Decoder_ComputeCommonCRC(decoder);
    crc = add(u(d->mode), 4, crc);
    crc = add(u(d->state), 4, crc);
    crc = add(u(d->keepTimes), 4, crc);
    crc = add(u(d->statesPerModel), 4, crc);
    if (d->rescoreWords != nullptr) {
        for (int32_t i = 0; i < std::min(d->rescoreCount, d->rescoreCapacity); ++i) {
            crc = add(d->rescoreWords[i].pron, 2, crc);
            crc = add(static_cast<uint16_t>(d->rescoreWords[i].frame), 2, crc);
        }
        crc = add(u(d->rescoreCapacity), 4, crc);
        crc = add(u(d->rescoreCount), 4, crc);
    }
    crc = newWordsCRC(d, crc);
    crc = add(u(d->newWordPageCount), 4, crc);
    crc = add(u(d->newWordCount), 4, crc);
    if (d->expanded)
        crc = add(u(d->newWordSlots), 4, crc);
    crc = add(u(d->numVocEntries), 4, crc);
    crc = add(u(d->resetMark), 4, crc);
    crc = add(u(d->frameDiffers), 4, crc);
    const int32_t dim = AM_GetFeatureDim(decoder->model);
    if (d->featureCopy != nullptr)
        for (int32_t i = dim - 1; i >= 0; --i)
            crc = add(d->featureCopy[i], 1, crc);
    crc = add(u(d->frameTag) & 0xFFFFu, 2, crc);
    crc = add(u(d->frameTag) >> 16, 2, crc);
    const auto nextWords = static_cast<int32_t>(BrevitParam_Word(kBrevitParamLmNextWords));
    for (int16_t* words : d->lmNextWords)
        if (words != nullptr)
            for (int32_t i = 0; i < nextWords; ++i)
                crc = add(static_cast<uint16_t>(words[i]), 2, crc);
    crc = add(u(d->lmHistoryKey), 4, crc);
    for (int32_t i = 0; i < std::min(d->numConstraints, kLinChMaxConstraints); ++i)
        crc = add(d->constraints[i] != nullptr ? Constraint_ComputeCRC(d->constraints[i], 0) : 0xFFFFFFFFu, 4, crc);
    crc = add(u(d->numConstraints), 4, crc);
    crc = add(u(d->transcriptionOnly), 4, crc);
    crc = add(u(d->withStates), 4, crc);
    crc = add(u(d->finishOption), 4, crc);
    crc = add(u(d->choiceOption), 4, crc);
    crc = add(static_cast<uint16_t>(d->seedKeepFrames), 2, crc);
    crc = add(static_cast<uint16_t>(d->seedLeadFrames), 2, crc);
    crc = add(LinChDecoderNoTimes_ComputeHypCRC(&d->silenceHyp, 1), 4, crc);
    crc = add(ResultGraph_ComputeCRC(d->resultGraph), 4, crc);
    crc = add(u(d->closeCallOn), 4, crc);
    if (d->closeCalls != nullptr)
        crc = add(CloseCall_ComputeCRC(d->closeCalls), 4, crc);
    crc = add(liveListCRC(d), 4, crc);
    crc = add(u(d->hypPageCount), 4, crc);
    crc = add(u(d->hypCount), 4, crc);
    for (int16_t v : {d->bestCost, d->bestNonPauseCost, d->normaliser, d->beam, d->pruneThreshold, d->newWordBeam,
                      d->wordPenalty, d->wordInsertionCost, d->flaggedWordCost})
        crc = add(static_cast<uint16_t>(v), 2, crc);
    crc = add(u(d->normaliserSum), 4, crc);
    crc = addEndPointer(d->endPointer, crc);
    if (d->secondEndPointerOn)
        crc = addEndPointer(d->endPointer2, crc);
    crc = add(u(d->secondEndPointerOn), 4, crc);
    crc = add(d->bestModel, 2, crc);
    crc = add(static_cast<uint16_t>(d->frameIndex), 2, crc);
    crc = add(static_cast<uint16_t>(d->contextWord), 2, crc);
    crc = add(u(d->hasContext), 4, crc);
    crc = add(u(d->hypCap), 4, crc);
    if (d->frameSeedWords != nullptr) {
        const auto capacity = static_cast<int32_t>(BrevitParam_Word(kBrevitParamSeedWords));
        for (int32_t i = 0; i < std::min(d->frameSeedCount, capacity); ++i)
            crc = add(static_cast<uint16_t>(d->frameSeedWords[i]), 2, crc);
        crc = add(u(d->frameSeedCount), 4, crc);
    }
    crc = add(Histogram_ComputeCRC(d->costHistogram), 4, crc);
    crc = add(d->silenceState, 2, crc);
    // The word after the silence state is the cache's address: a value that
    // changes from run to run has no place in a checksum of the search.
    crc = add(0, 4, crc);
    if (d->pronCache != nullptr)
        crc = add(PronCache_ComputeCRC(d->pronCache), 4, crc);
    if (d->pairTable != nullptr)
        crc = add(PairedPhonemeTable_ComputeCRC(d->pairTable), 4, crc);
    crc = add(u(d->allowPauseStart), 4, crc);
    crc = add(u(d->onlyPauseStart), 4, crc);
    crc = add(u(d->useLM), 4, crc);
    crc = choicesCRC(d, crc);
    return treesCRC(d, crc);
}
