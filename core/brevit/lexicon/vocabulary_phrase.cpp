// A phrase turned into word-list ids: whole words the list knows, else its
// tokens, adding the ones it lacks with their own or generated prons, else
// one word per space-separated piece with the pieces' combined prons. Words
// this call added are removed again when a later add fails.
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/lexicon/vocabulary_parts.h"

#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/runtime/dvk_unicode_str.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int32_t kMaxJoined = 256;

int32_t param(int word)
{
    return static_cast<int32_t>(BrevitParam_Word(word));
}

uint16_t* copyOf(const uint16_t* text, int32_t length)
{
    auto* out = static_cast<uint16_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(length + 1) * 2));
    std::memcpy(out, text, static_cast<size_t>(length) * 2);
    out[length] = 0;
    return out;
}

// The first word spelled exactly so (case and length), -1 when none.
VocId exactWord(const Voc* voc, const uint16_t* text, int32_t length)
{
    VocId id = kVocNoId;
    return Voc_GetMatches(voc, copyOf(text, length), 1, 1, 0, 1, &id) > 0 ? id : kVocNoId;
}

// Words this call added, removed again on failure.
struct Added {
    uint32_t* ids;
    int32_t count;
};

void undo(const Voc* voc, const Added& added)
{
    for (int32_t k = added.count - 1; k >= 0; --k) {
        int32_t freed = 0;
        MWL_RemoveWord(voc->wordList, added.ids[k], &freed);
    }
}

int32_t addWord(Voc* voc, const uint16_t* text, int32_t length, int32_t count, uint16_t* const* prons, int32_t mode,
                Added* added, VocId* id)
{
    uint32_t newId = kMWLNoWord;
    const int32_t result =
        MWL_AddWordWithPronunciations(voc->wordList, copyOf(text, length), nullptr, count, prons, mode, 0, &newId);
    if (newId == kMWLNoWord)
        return result != 0 ? result : kVocAddRefused;
    added->ids[added->count++] = newId;
    *id = Voc_MasterIdToVocId(voc, newId);
    return 0;
}

// Step 3: runs of space-separated pieces known as one word each. False
// when the text is not made of single-space-separated pieces or a piece is
// not covered.
bool wholeWords(const Voc* voc, const uint16_t* text, int32_t length, int32_t max, VocId* ids, int32_t* count)
{
    if (text[0] == u' ' || text[length - 1] == u' ')
        return false;
    auto* starts = static_cast<int32_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(length + 1) * 4));
    int32_t pieces = 0;
    starts[pieces++] = 0;
    for (int32_t k = 0; k < length; ++k)
        if (text[k] == u' ') {
            if (text[k + 1] == u' ')
                return false;
            starts[pieces++] = k + 1;
        }
    if (pieces > max)
        return false;
    starts[pieces] = length + 1;
    // A run longer than the longest surface form is no word: trying every
    // run from the whole rest down made long texts quadratic in pieces,
    // each try copying and encoding its run.
    const int32_t longest = Voc_GetMaxSurfaceFormLength(voc);
    int32_t written = 0;
    for (int32_t i = 0; i < pieces;) {
        int32_t most = 0;
        while (i + most < pieces && starts[i + most + 1] - 1 - starts[i] <= longest)
            ++most;
        int32_t taken = 0;
        for (int32_t run = most; run >= 1 && taken == 0; --run) {
            const uint32_t mark = DVKTempMem_GetMark();
            const VocId id = exactWord(voc, text + starts[i], starts[i + run] - 1 - starts[i]);
            DVKTempMem_ReleaseToMark(mark);
            if (id != kVocNoId) {
                ids[written++] = id;
                taken = run;
            }
        }
        if (taken == 0)
            return false;
        i += taken;
    }
    *count = written;
    return true;
}

bool tiles(const VocTokens& t, const uint16_t* text, int32_t length)
{
    if (t.count < 1 || t.starts[0] != 0 || t.starts[t.count - 1] + t.lengths[t.count - 1] != length)
        return false;
    for (int32_t k = 1; k < t.count; ++k) {
        const int32_t end = t.starts[k - 1] + t.lengths[k - 1];
        if (t.starts[k] != end + 1 || text[end] != u' ')
            return false;
    }
    return true;
}

}  // namespace

int32_t Voc_MakePhraseActive(Voc* voc, const uint16_t* text, int32_t mode, int32_t max, VocId* ids, int32_t* count,
                             int32_t* flags)
{
    *count = 0;
    if (VocPart_IsBlank(text) || max < 1)
        return 1;
    const int32_t generated = param(kBrevitParamGeneratedPronunciations);
    if (generated < 1) {
        const uint16_t none[1] = {0};
        const VocId id = Voc_LookupMasterIdFromOrthography(voc, text, none);
        if (id == kVocNoId)
            return 1;
        ids[0] = id;
        if (flags != nullptr)
            flags[0] = 0;
        *count = 1;
        return 0;
    }
    const uint32_t mark = DVKTempMem_GetMark();
    const int32_t length = DVKUnicode_Length(text);
    int32_t result = 1;
    if (wholeWords(voc, text, length, max, ids, count)) {
        for (int32_t k = 0; flags != nullptr && k < *count; ++k)
            flags[k] = 0;
        DVKTempMem_ReleaseToMark(mark);
        return 0;
    }
    VocTokens tokens{};
    VocPart_TokenizeAll(voc, text, max, 0, &tokens);
    const int32_t n = tokens.count;
    const int32_t combinations = param(kBrevitParamAlternativesLimit1);
    const int32_t limit = std::min(std::max(combinations, generated), 255);
    auto* alternatives = static_cast<VocTokenProns*>(DVKTempMem_Malloc(static_cast<uint32_t>(std::max(n, 1)) *
                                                                       sizeof(VocTokenProns)));
    bool usable = n > 0;
    for (int32_t t = 0; t < n && usable; ++t)
        usable = VocPart_TokenAlternatives(voc, text + tokens.starts[t], tokens.lengths[t], tokens.ids[t], mode, limit,
                                           generated, &alternatives[t]);
    if (!usable) {
        DVKTempMem_ReleaseToMark(mark);
        return 1;
    }
    Added added{static_cast<uint32_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(std::max(n, length) + 1) * 4)), 0};
    if (n <= max && tiles(tokens, text, length)) {
        result = 0;
        for (int32_t t = 0; t < n && result == 0; ++t) {
            int32_t flag = 0;
            VocId id = tokens.ids[t];
            if (id == kVocNoId || tokens.matches[t] != 1) {
                int32_t same = -1;
                for (int32_t e = 0; e < t && same < 0; ++e)
                    if (tokens.lengths[e] == tokens.lengths[t] &&
                        std::memcmp(text + tokens.starts[e], text + tokens.starts[t],
                                    static_cast<size_t>(tokens.lengths[t]) * 2) == 0)
                        same = e;
                if (same >= 0)
                    id = ids[same];
                else
                    result = addWord(voc, text + tokens.starts[t], tokens.lengths[t], alternatives[t].count,
                                     alternatives[t].prons, mode, &added, &id);
                flag = 1;
            }
            ids[t] = id;
            if (flags != nullptr)
                flags[t] = flag;
        }
        if (result == 0)
            *count = n;
    } else {
        // One word per space-separated piece.
        auto* counts = static_cast<int32_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(n) * 4));
        auto* costs = static_cast<const int32_t**>(DVKTempMem_Malloc(static_cast<uint32_t>(n) * sizeof(void*)));
        auto* categories = static_cast<const uint8_t**>(DVKTempMem_Malloc(static_cast<uint32_t>(n) * sizeof(void*)));
        auto* choices = static_cast<uint8_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(n * std::max(combinations, 1))));
        auto* prons = static_cast<uint16_t**>(
            DVKTempMem_Malloc(static_cast<uint32_t>(std::max(combinations, 1)) * sizeof(uint16_t*)));
        const int32_t boundary = MWL_GetCharSetBoundaryMasterPhonemeId(voc->wordList);
        result = 0;
        int32_t written = 0;
        int32_t nextToken = 0;   // pieces ascend: their tokens are found from the last piece's on
        for (int32_t at = 0; at < length && result == 0;) {
            if (text[at] == u' ') {
                ++at;
                continue;
            }
            int32_t end = at;
            while (end < length && text[end] != u' ')
                ++end;
            VocId id = exactWord(voc, text + at, end - at);
            int32_t flag = 0;
            if (id == kVocNoId) {
                int32_t first = nextToken;
                while (first < n && tokens.starts[first] < at)
                    ++first;
                int32_t last = first;
                while (last < n && tokens.starts[last] < end)
                    ++last;
                nextToken = last;
                for (int32_t t = first; t < last; ++t) {
                    counts[t] = alternatives[t].count;
                    costs[t] = alternatives[t].costs;
                    categories[t] = alternatives[t].categories;
                }
                const int32_t found =
                    last > first ? VocPart_CombinePronunciations(last - first, counts + first, costs + first,
                                                                 categories + first, combinations, combinations,
                                                                 choices, nullptr)
                                 : 0;
                int32_t kept = 0;
                for (int32_t k = 0; k < found; ++k) {
                    auto* joined = static_cast<uint16_t*>(DVKTempMem_Malloc((kMaxJoined + 1) * 2));
                    const int32_t size =
                        VocPart_JoinProns(last - first, alternatives + first, choices + k * (last - first),
                                          tokens.flags + first, boundary, joined, kMaxJoined + 1);
                    if (size > 0 && size < kMaxJoined)
                        prons[kept++] = joined;
                }
                if (kept == 0) {
                    result = 1;
                    break;
                }
                id = exactWord(voc, text + at, end - at);
                if (id == kVocNoId) {
                    result = addWord(voc, text + at, end - at, kept, prons, mode, &added, &id);
                    flag = 1;
                }
            }
            if (written < max) {
                ids[written] = id;
                if (flags != nullptr)
                    flags[written] = flag;
                ++written;
            }
            at = end;
        }
        if (result == 0)
            *count = written;
    }
    if (result != 0) {
        undo(voc, added);
        *count = 0;
    }
    DVKTempMem_ReleaseToMark(mark);
    return result;
}
