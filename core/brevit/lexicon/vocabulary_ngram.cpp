// N-gram scores of word sequences for the search, the result graph and the
// lexical tree: ids turned into the active word ids the model is keyed on,
// histories cut to their last seven words, every score capped by parameter
// word 986 so that no model score exceeds what the search will add.
#include "core/brevit/lexicon/vocabulary.h"

#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem_stack.h"

namespace {

constexpr int32_t kLongestHistory = 7;

int32_t capOf() { return static_cast<int32_t>(BrevitParam_Word(kBrevitParamLmCostCap)); }

int32_t capped(int32_t score)
{
    const int32_t s = static_cast<int16_t>(score);
    const int32_t c = capOf();
    return c >= s ? s : static_cast<int16_t>(c);
}

int32_t historyLength(int32_t n)
{
    if (n < 0)
        return 0;
    return n < kLongestHistory ? n : kLongestHistory;
}

} // namespace

int32_t Voc_ScoreNGram(const Voc* voc, const uint16_t* history, int32_t n, int32_t activeId)
{
    return capped(LM_GetWordScore(voc->languageModel, history, n < 0 ? 0 : n, activeId));
}

int32_t Voc_ScoreNGramRaw(const Voc* voc, const uint16_t* history, int32_t n, int32_t activeId)
{
    return capped(LM_GetWordScoreRaw(voc->languageModel, history, n < 0 ? 0 : n, activeId));
}

int32_t Voc_ScorePronNGram(const Voc* voc, const uint16_t* history, int32_t n, int32_t pronId)
{
    const int32_t kept = historyLength(n);
    uint16_t words[kLongestHistory];
    for (int32_t k = 0; k < kept; ++k)
        words[k] = static_cast<uint16_t>(
            AWL_GetActiveIdFromPronId(voc->activeWords, history[n - kept + k], nullptr));
    const int32_t word = AWL_GetActiveIdFromPronId(voc->activeWords, pronId, nullptr);
    return capped(LM_GetWordScore(voc->languageModel, words, kept, word));
}

int32_t Voc_ScoreVocNGram(const Voc* voc, const VocId* history, int32_t n, VocId id)
{
    const int32_t kept = historyLength(n);
    uint16_t words[kLongestHistory];
    for (int32_t k = 0; k < kept; ++k)
        words[k] = static_cast<uint16_t>(Voc_GetActiveId(voc, history[n - kept + k]));
    return capped(LM_GetWordScore(voc->languageModel, words, kept, Voc_GetActiveId(voc, id)));
}

int32_t Voc_ScoreNextWords(const Voc* voc, int32_t n, const uint16_t* history, int32_t count,
                           const uint16_t* candidates, int32_t key, int16_t* scores)
{
    const int32_t result =
        LM_ScoreCandidates(voc->languageModel, n < 0 ? 0 : n, history, count, candidates, key, scores);
    const int32_t c = capOf();
    if (gpBrevitGlobalParameters == nullptr || c <= 32766)
        for (int32_t i = 0; i < count; ++i)
            if (scores[i] > c)
                scores[i] = static_cast<int16_t>(c);
    return result;
}

int32_t Voc_AdaptLM(const Voc* voc, int32_t contextCount, const VocId* context, int32_t wordCount,
                    const VocId* words)
{
    if (wordCount < 1 || voc->languageModel == nullptr)
        return 1;
    const int32_t before = contextCount > 0 ? contextCount : 0;
    const uint32_t mark = DVKTempMem_GetMark();
    auto* ids = static_cast<uint16_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(before + wordCount) * 2));
    for (int32_t k = 0; k < before; ++k)
        ids[k] = static_cast<uint16_t>(Voc_GetActiveId(voc, context[k]));
    for (int32_t k = 0; k < wordCount; ++k)
        ids[before + k] = static_cast<uint16_t>(Voc_GetActiveId(voc, words[k]));
    const int32_t result = LM_AdaptOnWords(voc->languageModel, before, ids, wordCount, ids + before);
    DVKTempMem_ReleaseToMark(mark);
    return result;
}

int32_t Voc_CanFollow(const Voc* voc, int32_t a, int32_t b) { return AWL_CanFollow(voc->activeWords, a, b); }
