// Part-of-speech tags of the words to speak: each word's candidates come
// from its part-of-speech ids (guessed from the spelling when unknown),
// each id's tags best first.
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/search/lm_rewrite.h"
#include "core/brevit/synthesis/cep_tts_front_end_parts.h"

#include <algorithm>

namespace {

// The part-of-speech id guessed from the word's spoken form, else its
// surface form; -1 when none.
int32_t guessed(const Voc* voc, VocId id)
{
    CepTTSScratch scratch;
    const int32_t longest = std::max({Voc_GetMaxSurfaceFormLength(voc), Voc_GetMaxSpokenFormLength(voc), 8});
    auto* surface = CepTTSScratch::zeroed<uint16_t>(int64_t{longest} + 1);
    auto* spoken = CepTTSScratch::zeroed<uint16_t>(int64_t{longest} + 1);
    Voc_GetOrthography(voc, id, surface, spoken);
    return Voc_GuessPOS(voc, spoken[0] != 0 ? spoken : surface);
}

int32_t only(CepTTSTagCandidate* c, uint16_t tag, int32_t pron)
{
    c[0] = {tag, pron, 0};
    return 1;
}

} // namespace

int32_t CepTTSFrontEnd_TagCandidates(const CepTTSFrontEnd* f, VocId* id, CepTTSTagCandidate* c,
                                     int32_t capacity)
{
    if (*id == kVocNoId)
        return only(c, f->defaultTag, -1);
    int32_t posIds[kCepTTSMaxPosIds];
    int32_t prons[kCepTTSMaxPosIds];
    int32_t count = 0;
    const int32_t n = std::min(Voc_GetTTSPosIds(f->vocabulary, *id, kCepTTSMaxPosIds, posIds, prons, &count),
                               kCepTTSMaxPosIds);
    if (n < 1) {
        *id = kVocNoId;
        return only(c, f->defaultTag, -1);
    }
    int32_t out = 0;
    bool guessDone = false;
    int32_t guess = -1;
    for (int32_t k = 0; k < n; ++k) {
        int32_t pos = posIds[k];
        if (pos == -1) {
            if (!guessDone)
                guess = guessed(f->vocabulary, *id);
            guessDone = true;
            pos = guess;
        }
        if (pos < 0)
            continue;
        const uint16_t* tags = nullptr;
        int32_t length = 0;
        LMRewrite_GetRewritesForId(f->tagRewrites, pos, &tags, &length);
        for (int32_t r = 0; r < length && out < capacity; ++r) {
            bool seen = false;
            for (int32_t j = 0; j < out && !seen; ++j)
                seen = c[j].tag == tags[r];
            if (!seen)
                c[out++] = {tags[r], prons[k], kCepTTSTagRankCost * r};
        }
    }
    return out > 0 ? out : only(c, f->defaultTag, 0);
}

int32_t CepTTSTagging_Choose(const CepTTSTagCandidate* c, int32_t count)
{
    int32_t best = 0;
    for (int32_t k = 1; k < count; ++k)
        if (c[k].cost < c[best].cost)
            best = k;
    return best;
}
