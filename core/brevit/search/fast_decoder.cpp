#include "core/brevit/search/fast_decoder.h"

#include "core/brevit/acoustic/acoustic_engine_calls.h"
#include "core/brevit/acoustic/am.h"
#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/lexicon/lex_tree.h"
#include "core/brevit/lexicon/pron_cache.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/histogram.h"

#include <algorithm>
#include <cstring>

namespace {

int32_t word(int index) { return static_cast<int32_t>(BrevitParam_Word(index)); }

// Sizes from parameter words are formed in 64 bits: a product that does not
// fit an allocation fails creation instead of wrapping to a small block.
void* callocChecked(uint64_t count, uint64_t size)
{
    const uint64_t bytes = count * size;
    if (count != 0 && bytes / count != size)
        return nullptr;
    if (bytes == 0 || bytes > 0x7FFFFFFFull)
        return nullptr;
    return DVKMem_Calloc(static_cast<uint32_t>(bytes));
}

void freeParts(FastDecoder* d)
{
    DVKMem_Free(d->keptFrame);
    DVKMem_Free(d->hyps);
    DVKMem_Free(d->delayRing);
    DVKMem_Free(d->ringSides);
    DVKMem_Free(d->ringOrder);
    DVKMem_Free(d->batch);
    DVKMem_Free(d->wordEnds);
    Histogram_Delete(d->histogram);
    if (d->pronCache != nullptr)
        PronCache_Delete(d->pronCache);
    if (d->base.scoringSet != nullptr)
        AM_DeleteScoringSet(d->base.scoringSet);
    LexTree_Delete(d->tree);
    DVKMem_Free(d);
}

DecoderBase makeBase()
{
    DecoderBase b{};
    b.deleteSlot = FastDecoder_Delete;
    b.writePSAFile = FastDecoder_WritePSAFile;
    b.readPSAFile = FastDecoder_ReadPSAFile;
    b.uttInit = FastDecoder_UttInit;
    b.setRejectionParameters = FastDecoder_SetRejectionParameters;
    b.processFrame = FastDecoder_ProcessFrame;
    b.getState = FastDecoder_GetState;
    b.getCurrentFrame = FastDecoder_GetCurrentFrame;
    b.feSeenFinalSilence = FastDecoder_FESeenFinalSilence;
    b.setRejected = FastDecoder_SetRejected;
    b.getChoicesAndScores = FastDecoder_GetChoicesAndScores;
    b.getNonAcousticScore = FastDecoder_GetNonAcousticScore;
    b.notifyLMAdapt = FastDecoder_NotifyLMAdapt;
    b.getPartialResult = FastDecoder_GetPartialResult;
    b.cloneWordGraph = FastDecoder_CloneWordGraph;
    b.uttFinish = FastDecoder_UttFinish;
    b.rebuildTreeIfNecessary = FastDecoder_RebuildTreeIfNecessary;
    b.getSilenceThresholdTime = FastDecoder_GetSilenceThresholdTime;
    b.getBestAccumScore = FastDecoder_GetBestAccumScore;
    b.getKeyScores = FastDecoder_GetKeyScores;
    b.setBestCrossScore = FastDecoder_SetBestCrossScore;
    b.setComputation = FastDecoder_SetComputation;
    b.computeCRC = FastDecoder_ComputeCRC;
    b.makeWordActive = FastDecoder_MakeWordActive;
    b.makePronActive = FastDecoder_MakePronActive;
    b.makeWordInactive = FastDecoder_MakeWordInactive;
    b.makePronInactive = FastDecoder_MakePronInactive;
    return b;
}

}  // namespace

// Every fast decoder starts as a copy of this record; its own fields follow.
const DecoderBase sFastDecoderBase = makeBase();

Decoder* FastDecoder_Create(LexTree* tree, Voc* vocabulary, AM* model, int32_t framePeriod)
{
    if (model == nullptr || tree == nullptr)
        return nullptr;
    const int32_t states = AM_GetNumStatesPerModel(model);
    if (states > 2)
        return nullptr;
    auto* d = static_cast<FastDecoder*>(DVKMem_Calloc(sizeof(FastDecoder)));
    if (d == nullptr)
        return nullptr;
    d->base = sFastDecoderBase;
    d->base.kind = kDecoderKindFast;
    d->base.vocabulary = vocabulary;
    d->base.model = model;
    d->base.framePeriod = framePeriod;
    d->base.rejectionScore = kDecoderNoScore;
    d->base.fillerFrames = -1;
    d->base.rejectionThreshold = kDecoderRejectionOff;
    d->base.leftIds[0] = d->base.leftIds[1] = 0xFFFF;
    d->base.rightIds[0] = d->base.rightIds[1] = 0xFFFF;
    d->frameBest = kFastEmpty;
    d->statesPerModel = std::max(states, 1);
    d->bestHyp = -1;
    d->firstNoWordEnd = -1;
    d->crossScore = kDecoderNoScore;
    FastIso_Install(d);
    d->anchorOption = word(672);
    d->wordEndPenalty = static_cast<uint16_t>(word(599));

    d->histogram = Histogram_Create();
    d->wordEndCap = std::max(word(635), 0);
    d->wordEnds = static_cast<FastWordEnd*>(callocChecked(static_cast<uint64_t>(d->wordEndCap) + 1,
                                                          sizeof(FastWordEnd)));
    d->silenceState = AM_GetSilenceStateId(model);
    const int32_t dim = AM_GetFeatureDim(model);
    d->keptFrame = static_cast<uint8_t*>(callocChecked(static_cast<uint64_t>(std::max(dim, 1)), 1));
    const int32_t ring = word(103);
    bool ok = d->histogram != nullptr && d->wordEnds != nullptr && d->keptFrame != nullptr;
    if (ok && ring > 0) {
        d->ringSize = ring;
        d->delayRing = static_cast<uint8_t*>(callocChecked(static_cast<uint64_t>(ring), std::max(dim, 1)));
        d->ringSides = static_cast<int32_t*>(callocChecked(static_cast<uint64_t>(ring), sizeof(int32_t)));
        d->ringOrder = static_cast<const uint8_t**>(callocChecked(static_cast<uint64_t>(ring), sizeof(uint8_t*)));
        ok = d->delayRing != nullptr && d->ringSides != nullptr && d->ringOrder != nullptr;
    }
    if (ok)
        ok = Decoder_CreateAMScoreState(&d->base) != nullptr;
    if (!ok) {
        // The tree stays the caller's when creation fails.
        d->tree = nullptr;
        freeParts(d);
        return nullptr;
    }
    Decoder_InitAMScoring(&d->base, 1, word(971));
    d->tree = tree;
    if (vocabulary == nullptr)
        return &d->base;

    LexTree_InitLookahead(tree, d->statesPerModel);
    d->dynamicArcCap = word(576);
    d->batchCap = word(574);
    if (d->dynamicArcCap > kLexTreeMaxArcs || d->dynamicArcCap < 0 || d->batchCap < 0) {
        d->tree = nullptr;
        freeParts(d);
        return nullptr;
    }
    if (d->batchCap > 0) {
        d->batch = static_cast<uint16_t*>(callocChecked(static_cast<uint64_t>(d->batchCap), sizeof(uint16_t)));
        if (d->batch == nullptr) {
            d->tree = nullptr;
            freeParts(d);
            return nullptr;
        }
    }
    if (LexTree_GetHeaderWord(tree) != 0) {
        d->pronCache = PronCache_Create(1, word(807), word(808), 0, 1, vocabulary, model);
        if (d->pronCache == nullptr) {
            d->tree = nullptr;
            freeParts(d);
            return nullptr;
        }
    }
    FastDecoder_SetSearchParameters(&d->base, word(562), word(568), word(586), word(547), word(579));
    return &d->base;
}

Decoder* FastDecoder_CreateFromBinFile(DVKTar* archive, const char* prefix, Voc* vocabulary, AM* model,
                                       int32_t framePeriod)
{
    if (model == nullptr || AM_GetNumStatesPerModel(model) > 2)
        return nullptr;
    LexTree* tree = LexTree_CreateFromBinFile(archive, prefix, model, vocabulary);
    if (tree == nullptr)
        return nullptr;
    Decoder* d = FastDecoder_Create(tree, vocabulary, model, framePeriod);
    if (d == nullptr)
        LexTree_Delete(tree);
    return d;
}

void FastDecoder_Delete(Decoder* decoder, int32_t)
{
    if (decoder != nullptr)
        freeParts(FastDecoder_Of(decoder));
}

void FastDecoder_SetSearchParameters(Decoder* decoder, int32_t wordPenalty, int32_t beam, int32_t endOption,
                                     int32_t frameChangeThreshold, int32_t endPointerSilence)
{
    FastDecoder* d = FastDecoder_Of(decoder);
    d->wordPenalty = wordPenalty;
    d->beam = beam;
    d->endOption = endOption;
    d->frameChangeThreshold = frameChangeThreshold;
    d->endPointerSilence = endPointerSilence;
}

void FastDecoder_SetComputation(Decoder* decoder, int32_t level)
{
    const int32_t l = std::clamp(level, -1, 1);
    FastDecoder* d = FastDecoder_Of(decoder);
    d->wordPenalty = word(562) + word(563) * l;
    d->beam = word(568) + word(569) * l;
}

int32_t FastDecoder_SetRejectionParameters(Decoder* d, int32_t on, int32_t threshold)
{
    return Decoder_SetRejection(d, on, threshold);
}

int32_t FastDecoder_GetState(Decoder* d) { return FastDecoder_Of(d)->state; }
int32_t FastDecoder_GetCurrentFrame(Decoder* d) { return FastDecoder_Of(d)->frameIndex; }

int32_t FastDecoder_FESeenFinalSilence(Decoder* decoder, int32_t)
{
    // Without an end-pointer of its own a running search never reports the
    // end from trailing silence.
    return FastDecoder_Of(decoder)->state;
}

int32_t FastDecoder_SetRejected(Decoder* decoder)
{
    FastDecoder_Of(decoder)->state = kDecoderStateFailed;
    return kDecoderStateFailed;
}

void FastDecoder_NotifyLMAdapt(Decoder*, int32_t) {}

int32_t FastDecoder_GetPartialResult(Decoder* decoder, int32_t option, uint32_t* word)
{
    FastDecoder* d = FastDecoder_Of(decoder);
    return d->isoGetPartialResult(d, option, word);
}

WordGraph* FastDecoder_CloneWordGraph(Decoder* decoder)
{
    FastDecoder* d = FastDecoder_Of(decoder);
    return d->isoCloneWordGraph(d);
}

int32_t FastDecoder_GetSilenceThresholdTime(Decoder* d) { return FastDecoder_Of(d)->firstNoWordEnd; }

int32_t FastDecoder_GetBestAccumScore(Decoder* decoder)
{
    FastDecoder* d = FastDecoder_Of(decoder);
    return d->frameBest + d->offset;
}

void FastDecoder_GetKeyScores(Decoder* decoder, int32_t* best, int32_t* bestWordEnd, int32_t* extra)
{
    FastDecoder* d = FastDecoder_Of(decoder);
    *best = d->frameBest + d->offset;
    *bestWordEnd = d->bestWordEnd == kFastEmpty ? kDecoderNoScore : d->bestWordEnd + d->offset;
    *extra = d->offset;
}

void FastDecoder_SetBestCrossScore(Decoder* d, int32_t score) { FastDecoder_Of(d)->crossScore = score; }

uint32_t FastDecoder_ComputeCRC(Decoder* decoder)
{
    FastDecoder* d = FastDecoder_Of(decoder);
    return d->isoComputeCRC(d);
}
