// A tree whose "prons" are whole choice records: each record's words'
// phonemes run together into one string (a pause phoneme after every word
// whose boundary flag is set, but the last), so that a fast decoder can
// re-decode an utterance against a short list of word sequences.
#include "core/brevit/lexicon/lex_tree.h"

#include "core/brevit/lexicon/pron_cache.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/choice_record.h"

#include <algorithm>

namespace {

// The strings and their table, freed on every path.
struct Strings {
    uint16_t** table = nullptr;
    int32_t count = 0;
    ~Strings()
    {
        for (int32_t i = 0; table != nullptr && i < count; ++i)
            DVKMem_Free(table[i]);
        DVKMem_Free(table);
    }
};

// Units the record's string takes before its end mark; -1 when a pron is
// unknown to the cache.
int64_t recordLength(PronCache* cache, const ChoiceRecord& r, int32_t words)
{
    int64_t total = 0;
    for (int32_t w = 0; w < words; ++w) {
        const uint32_t length = PronCache_GetPron(cache, r.prons[w]);
        if (length == static_cast<uint32_t>(-1))
            return -1;
        total += length;
        if (w + 1 < words && r.flags[w] != 0)
            ++total;
    }
    return total;
}

uint16_t* recordString(PronCache* cache, const ChoiceRecord& r)
{
    const int32_t words = std::clamp(r.wordCount, 0, kChoiceRecordWords);
    const int64_t total = recordLength(cache, r, words);
    if (total < 0 || total > 0xFFFF)
        return nullptr;
    auto* s = static_cast<uint16_t*>(DVKMem_Calloc(static_cast<uint32_t>(total + 1) * 2));
    if (s == nullptr)
        return nullptr;
    int64_t at = 0;
    for (int32_t w = 0; w < words; ++w) {
        const uint16_t* phonemes = nullptr;
        int32_t length = 0;
        PronCache_GetPronInfo(cache, r.prons[w], &phonemes, nullptr, &length);
        // The cache may answer with fewer units than it counted, never more
        // than the string has room for.
        for (int32_t k = 0; phonemes != nullptr && k < length && at < total; ++k)
            s[at++] = phonemes[k];
        if (w + 1 < words && r.flags[w] != 0 && at < total)
            s[at++] = 0;
    }
    s[at] = kPhonemeEnd;
    return s;
}

}  // namespace

LexTree* LexTree_BuildFromPronCache(AM* acousticModel, int32_t count, const ChoiceRecord* records,
                                    PronCache* pronCache)
{
    if (count < 0 || (count > 0 && (records == nullptr || pronCache == nullptr)))
        return nullptr;
    Strings strings;
    strings.table = static_cast<uint16_t**>(DVKMem_Calloc(static_cast<uint32_t>(std::max(count, 1)) *
                                                          sizeof(uint16_t*)));
    if (strings.table == nullptr)
        return nullptr;
    for (; strings.count < count; ++strings.count) {
        strings.table[strings.count] = recordString(pronCache, records[strings.count]);
        if (strings.table[strings.count] == nullptr)
            return nullptr;
    }
    // Zeroed, not through the owning constructor: its user frees it whole
    // with LexTree_DeleteAll.
    auto* tree = static_cast<LexTree*>(DVKMem_Calloc(sizeof(LexTree)));
    if (tree == nullptr)
        return nullptr;
    if (!LexTree_BuildFromPronRange(tree, count, strings.table, acousticModel)) {
        LexTree_DeleteAll(tree);
        return nullptr;
    }
    return tree;
}
