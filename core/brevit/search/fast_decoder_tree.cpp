// The run-time tree of the fast decoder: prons made active while the engine
// runs are collected in a pending batch and merged into the last tree of the
// lexical tree object; and the tree's sub-file.
#include "core/brevit/search/fast_decoder.h"

#include "core/brevit/lexicon/lex_tree.h"
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <algorithm>

namespace {

int32_t word(int index) { return static_cast<int32_t>(BrevitParam_Word(index)); }

int32_t arcLimit(const FastDecoder* d) { return d->dynamicArcCap != 0 ? d->dynamicArcCap : kLexTreeMaxArcs; }

void refreshFreeArcs(FastDecoder* d) { d->freeArcs = LexTree_GetFreeArcs(d->tree, arcLimit(d)); }

void updateLookahead(FastDecoder* d)
{
    if (word(969) != 0)
        LexTree_UpdateWordLookahead(d->tree, LexTree_GetNumTrees(d->tree) - 1, d->statesPerModel);
}

// The whole run-time tree from the vocabulary's run-time prons.
int32_t buildFull(FastDecoder* d)
{
    Voc* voc = d->base.vocabulary;
    const int32_t n = Voc_GetNumDynamicProns(voc);
    if (n <= 0)
        return 1;
    auto* ids = static_cast<uint16_t*>(DVKMem_Calloc(static_cast<uint32_t>(n) * 2));
    if (ids == nullptr)
        return 0;
    const int32_t count = Voc_GetDynamicActiveIds(voc, ids, n);
    const int32_t ok = LexTree_CreateDynamicTree(d->tree, ids, count, arcLimit(d), 0);
    DVKMem_Free(ids);
    if (!ok)
        return 0;
    d->dynamicExists = 1;
    refreshFreeArcs(d);
    updateLookahead(d);
    return 1;
}

// The pending batch into the run-time tree (made from it when none exists).
int32_t mergeBatch(FastDecoder* d)
{
    if (d->batchCount == 0)
        return 1;
    int32_t ok = 0;
    if (!d->dynamicExists) {
        ok = LexTree_CreateDynamicTree(d->tree, d->batch, d->batchCount, arcLimit(d), 0);
        d->dynamicExists = ok != 0;
    } else {
        ok = LexTree_AddPronsToDynamicTree(d->tree, d->batch, d->batchCount, arcLimit(d), 0);
    }
    if (!ok)
        return 0;
    d->batchCount = 0;
    refreshFreeArcs(d);
    return 1;
}

int32_t appendPron(FastDecoder* d, uint16_t pron)
{
    int32_t needed = 0;
    if (!LexTree_CountPronArcs(d->tree, pron, arcLimit(d), &needed))
        return 0;
    if (d->batchCount >= d->batchCap || needed > d->freeArcs) {
        if (!mergeBatch(d))
            return 0;
    }
    d->batch[d->batchCount++] = pron;
    d->freeArcs -= needed;
    return 1;
}

}  // namespace

int32_t FastDecoder_MakePronActive(Decoder* decoder, int32_t, int32_t pron)
{
    FastDecoder* d = FastDecoder_Of(decoder);
    if (d->noDynamicChanges)
        return 1;
    if (d->batchCap == 0 || d->batch == nullptr)
        return 0;
    if (!LexTree_HasDynamicTree(d->tree))
        return buildFull(d);
    return appendPron(d, static_cast<uint16_t>(pron));
}

int32_t FastDecoder_MakeWordActive(Decoder* decoder, int32_t word)
{
    FastDecoder* d = FastDecoder_Of(decoder);
    if (d->noDynamicChanges)
        return 1;
    if (d->batchCap == 0 || d->batch == nullptr)
        return 0;
    Voc* voc = decoder->vocabulary;
    const int32_t most = std::max(Voc_GetMaxNumPronunciations(voc), 1);
    auto* prons = static_cast<uint16_t*>(DVKMem_Calloc(static_cast<uint32_t>(most) * 2));
    if (prons == nullptr)
        return 0;
    const int32_t n = Voc_GetPronIds(voc, static_cast<VocId>(word), prons, most);
    int32_t ok = n > 0 && n <= d->batchCap;
    if (ok && !LexTree_HasDynamicTree(d->tree))
        ok = buildFull(d);
    else if (ok) {
        if (d->batchCount + n > d->batchCap)
            ok = mergeBatch(d);
        for (int32_t i = 0; ok && i < n; ++i)
            ok = appendPron(d, prons[i]);
    }
    DVKMem_Free(prons);
    return ok;
}

int32_t FastDecoder_MakePronInactive(Decoder* decoder, int32_t pron)
{
    FastDecoder* d = FastDecoder_Of(decoder);
    if (d->noDynamicChanges)
        return 1;
    if (d->batchCap == 0 || d->batch == nullptr)
        return 0;
    if (d->dynamicExists) {
        if (!mergeBatch(d))
            return 0;
        d->dynamicExists = 0;
        d->batchCount = 0;
    }
    if (d->batchCount >= d->batchCap) {
        if (!LexTree_CreateDynamicTree(d->tree, d->batch, d->batchCount, arcLimit(d), 0))
            return 0;
        d->batchCount = 0;
    }
    d->batch[d->batchCount++] = static_cast<uint16_t>(pron);
    d->state = kDecoderStateStarting;
    return 1;
}

int32_t FastDecoder_MakeWordInactive(Decoder* decoder, int32_t word)
{
    Voc* voc = decoder->vocabulary;
    const int32_t most = std::max(Voc_GetMaxNumPronunciations(voc), 1);
    auto* prons = static_cast<uint16_t*>(DVKMem_Calloc(static_cast<uint32_t>(most) * 2));
    if (prons == nullptr)
        return 0;
    const int32_t n = Voc_GetPronIds(voc, static_cast<VocId>(word), prons, most);
    int32_t ok = 1;
    for (int32_t i = 0; ok && i < n; ++i)
        ok = FastDecoder_MakePronInactive(decoder, prons[i]);
    DVKMem_Free(prons);
    return ok;
}

int32_t FastDecoder_RebuildTreeIfNecessary(Decoder* decoder)
{
    FastDecoder* d = FastDecoder_Of(decoder);
    Voc* voc = decoder->vocabulary;
    if (voc == nullptr || (Voc_GetNumDynamicProns(voc) <= 0 && d->batchCount == 0))
        return 1;
    if (d->batchCap > 0 && LexTree_HasDynamicTree(d->tree)) {
        if (!mergeBatch(d))
            return 0;
    } else if (!LexTree_HasDynamicTree(d->tree) && !d->dynamicExists) {
        if (!buildFull(d))
            return 0;
    }
    d->batchCount = 0;
    refreshFreeArcs(d);
    updateLookahead(d);
    return 1;
}

int32_t FastDecoder_WritePSAFile(Decoder* decoder, DVKTar* archive, const char* prefix)
{
    FastDecoder* d = FastDecoder_Of(decoder);
    if (!FastDecoder_RebuildTreeIfNecessary(decoder))
        return 0;
    return LexTree_WriteBinFile(d->tree, archive, prefix);
}

int32_t FastDecoder_ReadPSAFile(Decoder* decoder, DVKTar* archive, const char* prefix)
{
    FastDecoder* d = FastDecoder_Of(decoder);
    if (!LexTree_ReadBinFile(d->tree, archive, prefix))
        return 0;
    if (LexTree_HasDynamicTree(d->tree)) {
        d->dynamicExists = 1;
        refreshFreeArcs(d);
    }
    return 1;
}
