#include "core/brevit/lexicon/mwl_shared.h"
#include "core/brevit/lexicon/mwl_code.h"
#include "core/brevit/lexicon/mwl_text_encoding.h"
#include "core/brevit/lexicon/mwl_util.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// A list without rules hears its stored phonemes as they are.
bool identity(const MWLShared* l, const uint16_t* master)
{
    return l->rules == nullptr && (master[0] == kMWLPronEnd || master[0] <= l->maxMasterPhoneme);
}

// Room a recognition form of a master pron of n phonemes needs.
int32_t recogRoom(const MWLShared* l, int32_t n)
{
    return (l->rules != nullptr ? PhoneRewrite_GetMaxOutputLength(l->rules, n) : n) + l->maxRecog + n + 2;
}

int32_t convert(const MWLShared* l, const uint16_t* master, uint16_t* recog)
{
    if (identity(l, master)) {
        int32_t n = 0;
        for (; master[n] != kMWLPronEnd; ++n)
            recog[n] = master[n];
        recog[n] = kMWLPronEnd;
        return n;
    }
    const uint16_t* pool;
    const uint32_t* offsets;
    int32_t highest;
    MWLDynamic_GetMasterExpansionTable(l->dynamic, &pool, &offsets, &highest);
    return MWLUtil_ConvertMasterToRecogPron(l->rules, l->maxMasterPhoneme, pool, offsets, highest,
                                            master, recog);
}

int32_t recogLength(const MWLShared* l, const uint16_t* master)
{
    if (identity(l, master)) {
        int32_t n = 0;
        while (master[n] != kMWLPronEnd)
            ++n;
        return n;
    }
    const uint16_t* pool;
    const uint32_t* offsets;
    int32_t highest;
    MWLDynamic_GetMasterExpansionTable(l->dynamic, &pool, &offsets, &highest);
    return MWLUtil_GetRecogPronLength(l->rules, l->maxMasterPhoneme, pool, offsets, highest, master);
}

int32_t genderOfRecog(const MWLShared* l, const uint16_t* recog)
{
    if (l->genders == nullptr)
        return 2;
    int32_t found = 2;
    for (const uint16_t* p = recog; *p != kMWLPronEnd; ++p) {
        if (*p >= l->genderLength)
            continue;
        const int32_t g = l->genders[*p];
        if (g == 2)
            continue;
        if (found == 2)
            found = g;
        else if (g != found)
            return 255;
    }
    return found;
}

int32_t staticProns(const MWLShared* l, uint32_t id)
{
    if (id >= static_cast<uint32_t>(l->wordCount))
        return 0;
    return l->staticMasters(l->list, id, 0, nullptr);
}

} // namespace

int32_t MWLShared_GetRecogPronunciations(const MWLShared* l, uint32_t id, int32_t capacity, uint16_t* const* prons)
{
    const int32_t room = l->maxMaster + 2;
    std::vector<std::vector<uint16_t>> masters(static_cast<size_t>(capacity > 0 ? capacity : 0),
                                               std::vector<uint16_t>(static_cast<size_t>(room)));
    std::vector<uint16_t*> pointers;
    for (auto& m : masters)
        pointers.push_back(m.data());
    const int32_t count = MWL_GetMasterPronunciations(l->list, id, capacity, pointers.data(), nullptr);
    for (int32_t k = 0; k < count && k < capacity; ++k) {
        // Only a recognition form that fits the callers' buffers is written.
        const int32_t n = recogLength(l, pointers[static_cast<size_t>(k)]);
        if (n > l->maxRecog) {
            prons[k][0] = kMWLPronEnd;
            continue;
        }
        std::vector<uint16_t> out(static_cast<size_t>(recogRoom(l, room)));
        convert(l, pointers[static_cast<size_t>(k)], out.data());
        std::memcpy(prons[k], out.data(), static_cast<size_t>(n + 1) * sizeof(uint16_t));
    }
    return count;
}

int32_t MWLShared_ConvertMasterToRecogPron(const MWLShared* l, const uint16_t* master, uint16_t* recog)
{
    return convert(l, master, recog);
}

int32_t MWLShared_IsMasterPronunciationLegal(const MWLShared* l, const uint16_t* pron)
{
    int32_t length = 0;
    while (pron[length] != kMWLPronEnd)
        ++length;
    std::vector<uint16_t> out(static_cast<size_t>(recogRoom(l, length)));
    convert(l, pron, out.data());
    return genderOfRecog(l, out.data());
}

int32_t MWLShared_IsPronunciationLegal(const MWLShared* l, const uint16_t* pron)
{
    return MWLDynamic_IsPronunciationLegal(l->dynamic, pron) && pron[0] != kMWLPronEnd &&
           MWLShared_IsMasterPronunciationLegal(l, pron) != 255 && recogLength(l, pron) != 0;
}

uint32_t MWLShared_AddWordWithPronunciations(const MWLShared* l, const uint16_t* surface, const uint16_t* spoken, int32_t count,
                          const uint16_t* const* prons, int32_t flags, int32_t sharing)
{
    std::vector<const uint16_t*> chosen(prons, prons + count);
    std::vector<uint16_t> shared;
    if (spoken != nullptr && spoken[0] != 0) {
        if (count == 1 && l->marker != 0xFFFF && BrevitParam_Word(kBrevitParamStaticSpokenFormPron) != 0) {
            uint32_t id = kMWLNoWord;
            if (MWL_GetIdsFromSpoken(l->list, spoken, &id, 1, 0) > 0 && id < static_cast<uint32_t>(l->wordCount)) {
                std::vector<uint16_t> first(static_cast<size_t>(l->maxRecog + 1));
                uint16_t* p = first.data();
                if (MWLShared_GetRecogPronunciations(l, id, 1, &p) > 0) {
                    std::vector<uint16_t> given(static_cast<size_t>(recogRoom(l, 256)));
                    convert(l, prons[0], given.data());
                    // Equivalent: the word shares the stored pron itself.
                    if (MWLUtil_IsSamePronunciation(first.data(), given.data())) {
                        shared.assign(static_cast<size_t>(l->maxMaster + 2), kMWLPronEnd);
                        uint16_t* q = shared.data();
                        if (l->staticMasters(l->list, id, 1, &q) > 0)
                            chosen[0] = shared.data();
                        sharing = 0;
                    }
                }
            }
        } else if (BrevitParam_Word(kBrevitParamKnownWordPronunciations) != 0 && l->rules != nullptr) {
            const uint32_t known = MWL_GetId(l->list, surface, nullptr, 1);
            if (known != kMWLNoWord) {
                const int32_t stored = l->staticMasters(l->list, known, 0, nullptr);
                std::vector<std::vector<uint16_t>> mine(static_cast<size_t>(stored),
                                                        std::vector<uint16_t>(static_cast<size_t>(l->maxMaster + 2)));
                std::vector<uint16_t*> ptrs;
                for (auto& m : mine)
                    ptrs.push_back(m.data());
                const int32_t got = l->staticMasters(l->list, known, stored, ptrs.data());
                const uint16_t* pool;
                const uint32_t* offsets;
                int32_t highest;
                MWLDynamic_GetMasterExpansionTable(l->dynamic, &pool, &offsets, &highest);
                for (int32_t k = 0; k < count; ++k)
                    for (int32_t s = 0; s < got && s < stored; ++s)
                        if (MWLUtil_IsEquivalentVariant(chosen[static_cast<size_t>(k)], ptrs[static_cast<size_t>(s)],
                                                        l->rules, l->maxMasterPhoneme, pool, offsets, highest)) {
                            chosen[static_cast<size_t>(k)] = ptrs[static_cast<size_t>(s)];
                            break;
                        }
                return MWLDynamic_AddWordWithPronunciations(l->dynamic, surface, spoken, chosen.data(), count,
                                                            &l->maxSurface, &l->maxSpoken, &l->maxMaster,
                                                            &l->maxRecog, flags, sharing);
            }
        }
    }
    return MWLDynamic_AddWordWithPronunciations(l->dynamic, surface, spoken, chosen.data(), count,
                                                &l->maxSurface, &l->maxSpoken, &l->maxMaster,
                                                &l->maxRecog, flags, sharing);
}

uint32_t MWLShared_AddWord(const MWLShared* l, const uint16_t* surface, const uint16_t* spoken,
                 const uint16_t* const* recogProns, int32_t count, int32_t flags)
{
    std::vector<std::vector<uint16_t>> masters;
    for (int32_t k = 0; k < count; ++k) {
        const uint16_t* recog = recogProns[k];
        // A pron ends at 0xFFFF; it need not hold a phoneme 0 anywhere.
        int32_t len = 0;
        while (recog[len] != kMWLPronEnd)
            ++len;
        std::vector<uint16_t> out(static_cast<size_t>(len + 1));
        const uint16_t* pool;
        const uint32_t* offsets;
        int32_t highest;
        MWLDynamic_GetMasterExpansionTable(l->dynamic, &pool, &offsets, &highest);
        if (!MWLUtil_SegmentPronunciation(l->maxMasterPhoneme, 0, pool, offsets, highest, recog, out.data())) {
            const uint16_t id = MWLDynamic_AddMasterPhoneme(l->dynamic, len + 1, recog);
            if (id == 0xFFFF)
                return kMWLNoWord;
            out.assign({id, kMWLPronEnd});
        }
        masters.push_back(std::move(out));
    }
    std::vector<const uint16_t*> pointers;
    for (auto& m : masters)
        pointers.push_back(m.data());
    return MWLShared_AddWordWithPronunciations(l, surface, spoken, count, pointers.data(), flags, 0);
}

int32_t MWLShared_AddMasterPronunciation(const MWLShared* l, uint32_t id, const uint16_t* pron)
{
    return MWLDynamic_AddMasterPronunciation(l->dynamic, id, pron, staticProns(l, id), &l->maxMaster,
                                             &l->maxRecog);
}

int32_t MWLShared_RemovePronunciation(const MWLShared* l, uint32_t id, int32_t index, int32_t* freed)
{
    const int32_t stored = staticProns(l, id);
    if (index < stored)
        return 0;
    return MWLDynamic_RemovePronunciation(l->dynamic, id, index, stored, freed);
}

int32_t MWLShared_GetGender(const MWLShared* l, uint32_t id, int32_t index)
{
    const int32_t most = index + 1;
    std::vector<std::vector<uint16_t>> recogs(static_cast<size_t>(most),
                                              std::vector<uint16_t>(static_cast<size_t>(l->maxRecog + 1)));
    std::vector<uint16_t*> pointers;
    for (auto& r : recogs)
        pointers.push_back(r.data());
    if (index < 0 || MWLShared_GetRecogPronunciations(l, id, most, pointers.data()) <= index)
        return 255;
    return genderOfRecog(l, pointers[static_cast<size_t>(index)]);
}

int32_t MWLShared_EncodingForLookup(int32_t encoding) { return encoding == 1 ? 2 : encoding; }

bool MWLShared_Encode(std::vector<uint8_t>& out, const uint16_t* text, int32_t lower, int32_t encoding,
                      const DVKSCSU* state, int32_t* prefix)
{
    int32_t n = 0;
    while (text != nullptr && text[n] != 0)
        ++n;
    out.assign(static_cast<size_t>(n) * 4 + 1, 0);
    static const uint16_t kEmpty[1] = {0};
    return MWLCode_ConvertFromUnicode(out.data(), text != nullptr ? text : kEmpty, lower,
                                      MWLShared_EncodingForLookup(encoding), state, prefix) == kMWLCodeDone;
}

void MWLShared_SurfaceCoder(const char* language, DVKSCSU* coder)
{
    MWLDynamicEncodings encodings{};
    MWLDynamic_SetLanguageEncoding(&encodings, kMWLEncodingSCSU, language);
    *coder = encodings.surfaceCoder;
}

bool MWLShared_MatchesAtStart(int32_t code, const uint8_t* exact, size_t exactLength, size_t n, int32_t textCode,
                              const std::vector<uint8_t>& exactText, int32_t encoding)
{
    if (code == kMWLCodeExact)
        return exactLength == n && n <= exactText.size() && std::equal(exact, exact + n, exactText.begin());
    if (textCode == kMWLCodeExact) {
        std::vector<uint8_t> head(exactText.begin(), exactText.begin() + static_cast<long>(std::min(n, exactText.size())));
        head.push_back(0);
        textCode = MWLCode_GetCodeE(head.data(), encoding);
    }
    return (code & textCode) != 0;
}
