// Pronunciations of a new word built from its surface text: the text is
// tokenized, each token brings its word's prons or generated ones, and the
// best combinations of them, joined in token order, become the word's prons.
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/lexicon/vocabulary_parts.h"

#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/runtime/dvk_unicode.h"
#include "core/brevit/runtime/dvk_unicode_str.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int32_t kMaxTextTokens = 20;
constexpr int32_t kMaxJoined = 256;
constexpr uint8_t kScriptChangeBit = 8;

template <typename T>
T* scratch(int32_t n)
{
    return static_cast<T*>(DVKTempMem_Malloc(static_cast<uint32_t>(std::max(n, 1)) * sizeof(T)));
}

int32_t param(int word)
{
    return static_cast<int32_t>(BrevitParam_Word(word));
}

}  // namespace

void VocPart_TokenizeAll(const Voc* voc, const uint16_t* text, int32_t first, int32_t matchMode, VocTokens* out)
{
    int32_t room = std::max(first, 1);
    for (;;) {
        out->ids = scratch<uint32_t>(room);
        out->starts = scratch<int32_t>(room);
        out->lengths = scratch<int32_t>(room);
        out->flags = scratch<uint8_t>(room);
        out->matches = scratch<uint8_t>(room);
        out->count = Voc_Tokenize(voc, 1, text, 0, matchMode, room, out->ids, out->starts, out->lengths, out->flags,
                                  out->matches);
        if (out->count <= room)
            return;
        room = out->count;
    }
}

bool VocPart_TokenAlternatives(const Voc* voc, const uint16_t* text, int32_t length, VocId id, int32_t wordClass,
                               int32_t limit, int32_t generated, VocTokenProns* out)
{
    out->count = 0;
    const int32_t longest = std::max(MWL_GetMaxMasterPronunciationLength(voc->wordList), 1) + 1;
    if (id != kVocNoId) {
        const int32_t most = std::min(VocPart_CountProns(voc, Voc_GetMasterId(voc, id)), limit);
        out->prons = scratch<uint16_t*>(most);
        out->costs = scratch<int32_t>(most);
        out->categories = scratch<uint8_t>(most);
        for (int32_t k = 0; k < most; ++k) {
            out->prons[k] = scratch<uint16_t>(longest + 1);
            out->prons[k][0] = kPGPronEnd;
        }
        auto* values = scratch<int32_t>(most);
        out->count = most > 0 ? std::min(Voc_GetMasterPronunciations(voc, id, most, out->prons, values), most) : 0;
        for (int32_t k = 0; k < out->count; ++k)
            out->costs[k] = 0;
    } else {
        if (voc->generator == nullptr)
            return false;
        auto* word = scratch<uint16_t>(length + 1);
        std::memcpy(word, text, static_cast<size_t>(length) * 2);
        word[length] = 0;
        const int32_t most = std::min(generated, limit);
        int32_t room = longest * std::max(most, 1);
        auto* output = scratch<uint16_t>(room);
        out->costs = scratch<int32_t>(most);
        int32_t needed = 0;
        int32_t count = most > 0 ? PG_TextToMasterPron(voc->generator, word, wordClass, output, room, out->costs,
                                                       most, &needed)
                                 : 0;
        if (count < 1 && needed > room) {
            room = needed;
            output = scratch<uint16_t>(room);
            count = PG_TextToMasterPron(voc->generator, word, wordClass, output, room, out->costs, most, nullptr);
        }
        out->count = std::min(count, most);
        out->prons = scratch<uint16_t*>(out->count);
        out->categories = scratch<uint8_t>(out->count);
        uint16_t* at = output;
        for (int32_t k = 0; k < out->count; ++k) {
            out->prons[k] = at;
            while (*at != kPGPronEnd)
                ++at;
            ++at;
        }
    }
    for (int32_t k = 0; k < out->count; ++k)
        out->categories[k] =
            static_cast<uint8_t>(MWL_IsMasterPronunciationLegal(voc->wordList, out->prons[k]));
    return true;
}

int32_t VocPart_JoinProns(int32_t tokens, const VocTokenProns* alternatives, const uint8_t* choice,
                          const uint8_t* flags, int32_t boundary, uint16_t* out, int32_t room)
{
    int32_t length = 0;
    bool first = true;
    for (int32_t t = 0; t < tokens; ++t) {
        if (choice[t] == 255 || alternatives[t].count < 1)
            continue;
        if (!first && flags != nullptr && (flags[t] & kScriptChangeBit) != 0 && boundary != 65535) {
            if (length + 1 >= room)
                return -1;
            out[length++] = static_cast<uint16_t>(boundary);
        }
        first = false;
        for (const uint16_t* p = alternatives[t].prons[choice[t]]; *p != kPGPronEnd; ++p) {
            if (length + 1 >= room)
                return -1;
            out[length++] = *p;
        }
    }
    out[length] = kPGPronEnd;
    return length;
}

int32_t Voc_AddWordFromText(Voc* voc, const uint16_t* surface, VocId* id, int32_t* added)
{
    *id = kVocNoId;
    *added = 0;
    const uint32_t mark = DVKTempMem_GetMark();
    VocTokens tokens{};
    VocPart_TokenizeAll(voc, surface, kMaxTextTokens, 0, &tokens);
    const int32_t n = tokens.count;
    const int32_t combinations = param(kBrevitParamAlternativesLimit1);
    const int32_t generated = param(kBrevitParamGeneratedPronunciations);
    const int32_t limit = std::min(std::max(combinations, generated), 255);
    auto* alternatives = scratch<VocTokenProns>(n);
    auto* counts = scratch<int32_t>(n);
    auto* costs = scratch<const int32_t*>(n);
    auto* categories = scratch<const uint8_t*>(n);
    bool usable = n > 0;
    for (int32_t t = 0; t < n && usable; ++t) {
        usable = VocPart_TokenAlternatives(voc, surface + tokens.starts[t], tokens.lengths[t], tokens.ids[t], 0,
                                           limit, generated, &alternatives[t]);
        counts[t] = alternatives[t].count;
        costs[t] = alternatives[t].costs;
        categories[t] = alternatives[t].categories;
    }
    int32_t kept = 0;
    uint16_t** prons = nullptr;
    if (usable && combinations > 0) {
        auto* choices = scratch<uint8_t>(n * combinations);
        const int32_t found =
            VocPart_CombinePronunciations(n, counts, costs, categories, combinations, combinations, choices, nullptr);
        prons = scratch<uint16_t*>(found);
        const int32_t boundary = MWL_GetCharSetBoundaryMasterPhonemeId(voc->wordList);
        for (int32_t k = 0; k < found; ++k) {
            uint16_t* joined = scratch<uint16_t>(kMaxJoined + 1);
            const int32_t length = VocPart_JoinProns(n, alternatives, choices + static_cast<size_t>(k) * n,
                                                     tokens.flags, boundary, joined, kMaxJoined + 1);
            if (length >= 0 && length < kMaxJoined && MWL_IsPronunciationLegal(voc->wordList, joined) != 0)
                prons[kept++] = joined;
        }
    }
    int32_t result = kVocAddUnusable;
    if (kept > 0) {
        const int32_t length = DVKUnicode_Length(surface);
        const bool single = n == 1 && tokens.ids[0] == kVocNoId && kept == 1 && !DVKUnicode_IsSpace(surface[0]) &&
                            !DVKUnicode_IsSpace(surface[length - 1]);
        uint32_t newId = kMWLNoWord;
        result = MWL_AddWordWithPronunciations(voc->wordList, surface, nullptr, kept, prons, 0, single ? 1 : 0,
                                               &newId);
        if (newId != kMWLNoWord) {
            *id = Voc_MasterIdToVocId(voc, newId);
            *added = 1;
        }
    }
    DVKTempMem_ReleaseToMark(mark);
    return result;
}
