// Re-decoding a short list of choice records: each record becomes one
// "pron" of a tree of its own (its words' phonemes run together), the
// utterance is searched once more over that tree, and every record takes the
// score its word end reached, with its word and boundary penalties and its
// language score after the history.
#include "core/brevit/search/fast_decoder.h"

#include "core/brevit/frontend/utterance.h"
#include "core/brevit/lexicon/lex_tree.h"
#include "core/brevit/lexicon/pron_cache.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/choice_record.h"
#include "core/brevit/search/decoder_utils.h"

#include <algorithm>

namespace {

int32_t word(int index) { return static_cast<int32_t>(BrevitParam_Word(index)); }

// Scratch freed on every path.
struct Scratch {
    ChoiceRecord* variants = nullptr;
    int32_t* origins = nullptr;
    int32_t* numbers = nullptr;
    PronCache* cache = nullptr;
    LexTree* tree = nullptr;
    ~Scratch()
    {
        DVKMem_Free(variants);
        DVKMem_Free(origins);
        DVKMem_Free(numbers);
        if (cache != nullptr)
            PronCache_Delete(cache);
        LexTree_DeleteAll(tree);
    }
};

// The decoder searches the records' tree alone: no vocabulary (its pron ids
// are record indexes), no pron cache; everything is put back afterwards.
struct Swap {
    FastDecoder* d;
    LexTree* tree;
    Voc* vocabulary;
    PronCache* cache;
    Swap(FastDecoder* fd, LexTree* records)
        : d(fd), tree(fd->tree), vocabulary(fd->base.vocabulary), cache(fd->pronCache)
    {
        d->tree = records;
        d->base.vocabulary = nullptr;
        d->pronCache = nullptr;
    }
    ~Swap()
    {
        d->tree = tree;
        d->base.vocabulary = vocabulary;
        d->pronCache = cache;
    }
};

void decode(FastDecoder* d, Utterance* utterance)
{
    Decoder* decoder = &d->base;
    Utterance_Rewind(utterance);
    if (decoder->uttInit(decoder, nullptr, 0, nullptr, 0, 1, 0, 0, 0, 0) == 0)
        return;
    int32_t* side = nullptr;
    for (const uint8_t* frame = Utterance_GetNextFrame(utterance, &side); frame != nullptr;
         frame = Utterance_GetNextFrame(utterance, &side))
        if (decoder->processFrame(decoder, frame, side) == kDecoderStateFailed)
            break;
    if (d->state != kDecoderStateFailed)
        decoder->processFrame(decoder, nullptr, nullptr);
    decoder->uttFinish(decoder, utterance);
}

// Sorts the records and their kept variant numbers together.
bool sortWithVariants(ChoiceRecord* records, int32_t* numbers, int32_t n)
{
    const auto m = static_cast<uint32_t>(n);
    auto* copy = static_cast<ChoiceRecord*>(DVKMem_Calloc(m * sizeof(ChoiceRecord)));
    auto* order = static_cast<int32_t*>(DVKMem_Calloc(m * 2 * sizeof(int32_t)));
    if (copy == nullptr || order == nullptr) {
        DVKMem_Free(copy);
        DVKMem_Free(order);
        return false;
    }
    int32_t* kept = order + n;
    for (int32_t i = 0; i < n; ++i) {
        order[i] = i;
        copy[i] = records[i];
        kept[i] = numbers[i];
    }
    std::stable_sort(order, order + n, [&](int32_t a, int32_t b) {
        return ChoiceRecord_Compare(&copy[a], &copy[b]) < 0;
    });
    for (int32_t i = 0; i < n; ++i) {
        records[i] = copy[order[i]];
        numbers[i] = kept[order[i]];
    }
    DVKMem_Free(copy);
    DVKMem_Free(order);
    return true;
}

}  // namespace

void FastDecoder_RescoreChoiceRecords(Decoder* decoder, int32_t* count, ChoiceRecord* records,
                                      Utterance* utterance, int32_t historyCount, const uint16_t* history,
                                      int32_t wordPenalty, int32_t boundaryPenalty, int32_t* variantOutputs)
{
    FastDecoder* d = FastDecoder_Of(decoder);
    Voc* voc = decoder->vocabulary;
    const int32_t n = *count;
    if (n <= 0 || voc == nullptr || utterance == nullptr)
        return;
    Scratch s;
    const ChoiceRecord* decoded = records;
    int32_t decodedCount = n;
    if (variantOutputs != nullptr) {
        decodedCount = ChoiceRecord_ExpandBoundaryVariants(n, records, nullptr, nullptr, nullptr);
        const auto m = static_cast<uint32_t>(std::max(decodedCount, 1));
        s.variants = static_cast<ChoiceRecord*>(DVKMem_Calloc(m * sizeof(ChoiceRecord)));
        s.origins = static_cast<int32_t*>(DVKMem_Calloc(m * sizeof(int32_t)));
        s.numbers = static_cast<int32_t*>(DVKMem_Calloc(m * sizeof(int32_t)));
        if (s.variants == nullptr || s.origins == nullptr || s.numbers == nullptr)
            return;
        ChoiceRecord_ExpandBoundaryVariants(n, records, s.variants, s.origins, s.numbers);
        decoded = s.variants;
    }
    // Room for every pron of every record four times over.
    const uint64_t pairs = static_cast<uint64_t>(decodedCount) * kChoiceRecordWords * 4;
    if (pairs * 16 > 0x7FFFFFFFull)
        return;
    s.cache = PronCache_Create(1, word(807), word(808), 1, 1, voc, decoder->model);
    if (s.cache == nullptr || !PronCache_Reserve(s.cache, static_cast<uint32_t>(pairs),
                                                 static_cast<uint32_t>(pairs * 16)))
        return;
    s.tree = LexTree_BuildFromPronCache(decoder->model, decodedCount, decoded, s.cache);
    if (s.tree == nullptr)
        return;
    {
        const Swap swap(d, s.tree);
        decode(d, utterance);
    }

    for (int32_t r = 0; r < n; ++r) {
        records[r].score = kDecoderNoScore;
        if (variantOutputs != nullptr)
            variantOutputs[r] = 0;
    }
    if (d->offset != kDecoderNoScore)
        for (int32_t i = 0; i < d->wordEndCount; ++i) {
            const FastWordEnd& e = d->wordEnds[i];
            if (e.pron >= decodedCount)
                continue;
            const ChoiceRecord& v = decoded[e.pron];
            const int32_t words = std::clamp(v.wordCount, 0, kChoiceRecordWords);
            const int64_t score = static_cast<int64_t>(e.score) - d->wordPenalty + d->offset + wordPenalty +
                                  static_cast<int64_t>(std::max(words - 1, 0)) * boundaryPenalty +
                                  Decoder_ScoreNGramSequence(voc, 2, historyCount, history, 0, nullptr, v.prons,
                                                             words);
            const int32_t clamped = static_cast<int32_t>(std::clamp<int64_t>(score, -kDecoderNoScore,
                                                                             kDecoderNoScore - 1));
            const int32_t r = variantOutputs != nullptr ? s.origins[e.pron] : e.pron;
            if (clamped < records[r].score ||
                (clamped == records[r].score && variantOutputs != nullptr && s.numbers[e.pron] < variantOutputs[r])) {
                records[r].score = clamped;
                if (variantOutputs != nullptr) {
                    std::copy(v.flags, v.flags + kChoiceRecordFlags, records[r].flags);
                    variantOutputs[r] = s.numbers[e.pron];
                }
            }
        }
    if (variantOutputs == nullptr) {
        ChoiceRecord_Sort(records, n);
    } else if (!sortWithVariants(records, variantOutputs, n)) {
        // Without room to carry the variant numbers along, the records
        // keep their order (their scores and flags are set).
        return;
    }
    int32_t scored = 0;
    while (scored < n && records[scored].score != kDecoderNoScore)
        ++scored;
    *count = scored;
}
