#include "core/brevit/lexicon/mwl1.h"
#include "core/brevit/lexicon/mwl_code.h"
#include "core/brevit/lexicon/mwl_shared.h"
#include "core/brevit/lexicon/mwl_util.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_str.h"

#include <cstring>
#include <initializer_list>
#include <vector>

namespace {

const MWL1* of(const MWL* l) { return reinterpret_cast<const MWL1*>(l); }
MWL1* of(MWL* l) { return reinterpret_cast<MWL1*>(l); }

bool isStatic(const MWL1* l, uint32_t id) { return id < static_cast<uint32_t>(l->wordCount); }

const uint8_t* keyOf(const MWL1* l, int32_t id) { return l->textPool + l->textOffsets[id]; }

const uint8_t* spokenOf(const MWL1* l, int32_t id)
{
    const uint8_t* k = keyOf(l, id);
    return k + std::strlen(reinterpret_cast<const char*>(k)) + 1;
}

const uint8_t* exactOf(const MWL1* l, int32_t id)
{
    const uint8_t* s = spokenOf(l, id);
    return s + std::strlen(reinterpret_cast<const char*>(s)) + 1;
}

int32_t codeOf(const MWL1* l, int32_t id) { return l->codes != nullptr ? l->codes[id] : kMWLCodeNoUpper; }

int32_t encodingForLookup(int32_t e) { return MWLShared_EncodingForLookup(e); }

bool encode(std::vector<uint8_t>& out, const uint16_t* text, int32_t lower, int32_t encoding,
            const DVKSCSU* state, int32_t* prefix = nullptr)
{
    return MWLShared_Encode(out, text, lower, encoding, state, prefix);
}

int32_t cmpBytes(const uint8_t* a, const uint8_t* b)
{
    return std::strcmp(reinterpret_cast<const char*>(a), reinterpret_cast<const char*>(b));
}

void deleteList(MWL* list)
{
    MWL1* l = of(list);
    if (l->ownsArrays) {
        DVKMem_Free(l->markerPositions);
        DVKMem_Free(l->pronCounts);
        DVKMem_Free(l->pronStarts);
        DVKMem_Free(l->codes);
        DVKMem_Free(l->pronPool);
        DVKMem_Free(l->textOffsets);
        DVKMem_Free(l->textPool);
        DVKMem_Free(l->spokenIndex);
        DVKMem_Free(l->genders);
        if (l->rules != nullptr)
            PhoneRewrite_Delete(l->rules);
        if (l->names != nullptr) {
            for (int32_t k = 0; k < l->nameCount; ++k)
                DVKMem_Free(l->names[k]);
            DVKMem_Free(l->names);
        }
    }
    if (l->dynamic != nullptr)
        MWLDynamic_Delete(l->dynamic);
    DVKMem_Free(l);
}

int32_t getEncoding(const MWL* l) { return of(l)->surfaceEncoding; }
const char* getLanguage(const MWL* l) { return of(l)->language; }
int32_t getTokenizeType(const MWL* l) { return of(l)->tokenizeType; }

uint32_t getId(const MWL* list, const uint16_t* surface, const uint16_t* spoken, int32_t staticOnly)
{
    const MWL1* l = of(list);
    std::vector<uint8_t> key, exact, said;
    if (l->wordCount > 0 && encode(key, surface, l->nonCJK, l->surfaceEncoding, &l->surfaceState) &&
        encode(exact, surface, 0, l->surfaceEncoding, &l->surfaceState) &&
        encode(said, spoken, 0, l->spokenEncoding, &l->spokenState)) {
        const int32_t textCode = l->nonCJK ? MWLCode_GetCode(surface) : kMWLCodeCaseless;
        for (int32_t id = MWL1_FindFirstAtOrAfter(l, key.data(), static_cast<int32_t>(
                                                      std::strlen(reinterpret_cast<char*>(key.data())) + 1));
             id < l->wordCount && cmpBytes(keyOf(l, id), key.data()) == 0; ++id) {
            if (cmpBytes(spokenOf(l, id), said.data()) != 0)
                continue;
            if (!l->nonCJK)
                return static_cast<uint32_t>(id);
            const int32_t code = codeOf(l, id);
            if (code == textCode &&
                (code != kMWLCodeExact || cmpBytes(exactOf(l, id), exact.data()) == 0))
                return static_cast<uint32_t>(id);
        }
    }
    if (staticOnly)
        return kMWLNoWord;
    return MWLDynamic_GetId(l->dynamic, surface, spoken);
}

int32_t getIdsFromSpoken(const MWL* list, const uint16_t* spoken, uint32_t* ids, int32_t capacity,
                         int32_t countAll)
{
    const MWL1* l = of(list);
    if (capacity == 0 && countAll == 0)
        return 0;
    std::vector<uint8_t> said;
    if (!encode(said, spoken, 0, l->spokenEncoding, &l->spokenState))
        return MWLDynamic_GetIdsFromSpoken(l->dynamic, spoken, ids, capacity, countAll);
    int32_t count = 0;
    auto take = [&](int32_t id) {
        if (count < capacity)
            ids[count] = static_cast<uint32_t>(id);
        ++count;
    };
    if (l->spokenIndex != nullptr) {
        int32_t low = 0, high = l->spokenIndexLength;
        while (low < high) {
            const int32_t mid = (low + high) / 2;
            if (cmpBytes(spokenOf(l, static_cast<int32_t>(l->spokenIndex[mid])), said.data()) < 0)
                low = mid + 1;
            else
                high = mid;
        }
        for (int32_t k = low; k < l->spokenIndexLength &&
                              cmpBytes(spokenOf(l, static_cast<int32_t>(l->spokenIndex[k])), said.data()) == 0 &&
                              (countAll || count < capacity);
             ++k)
            take(static_cast<int32_t>(l->spokenIndex[k]));
    } else {
        for (int32_t id = 0; id < l->wordCount && (countAll || count < capacity); ++id)
            if (cmpBytes(spokenOf(l, id), said.data()) == 0)
                take(id);
    }
    if (count < capacity || countAll) {
        const int32_t room = capacity - count > 0 ? capacity - count : 0;
        count += MWLDynamic_GetIdsFromSpoken(l->dynamic, spoken, ids + (count < capacity ? count : capacity),
                                             room, countAll);
    }
    return count;
}

uint32_t getNextDynamicId(const MWL* l, uint32_t* cursor) { return MWLDynamic_GetNextDynamicId(of(l)->dynamic, cursor); }
int32_t getMaxSurface(const MWL* l) { return of(l)->maxSurface; }
int32_t getMaxSpoken(const MWL* l) { return of(l)->maxSpoken; }

int32_t getForms(const MWL* list, uint32_t id, uint16_t* surface, uint16_t* spoken)
{
    const MWL1* l = of(list);
    if (!isStatic(l, id))
        return MWLDynamic_GetSurfaceAndSpokenForms(l->dynamic, id, surface, nullptr, spoken);
    const int32_t w = static_cast<int32_t>(id);
    const int32_t code = codeOf(l, w);
    const uint8_t* key = keyOf(l, w);
    if (surface != nullptr) {
        const uint8_t* text = code == kMWLCodeExact ? exactOf(l, w) : key;
        const int32_t restore = (code == kMWLCodeExact || code == kMWLCodeCaseless) ? kMWLCodeNoUpper : code;
        MWLCode_RestoreSpelling(surface, text, static_cast<int32_t>(std::strlen(reinterpret_cast<const char*>(text))),
                                restore, l->surfaceEncoding, &l->surfaceState);
    }
    if (spoken != nullptr) {
        const uint8_t* s = spokenOf(l, w);
        MWLCode_RestoreSpelling(spoken, s, static_cast<int32_t>(std::strlen(reinterpret_cast<const char*>(s))),
                                kMWLCodeNoUpper, l->spokenEncoding, &l->spokenState);
    }
    return 1;
}

void getOrthographies(const MWL* l, const uint32_t* ids, int32_t count, uint16_t* const* surfaces,
                      uint16_t* const* spokens)
{
    for (int32_t k = 0; k < count; ++k)
        getForms(l, ids[k], surfaces[k], spokens != nullptr ? spokens[k] : nullptr);
}

int32_t getNumMatches(const MWL* l, int32_t caseFlag, int32_t exact, const uint16_t* text)
{
    return MWL1_FindMatches(of(l), caseFlag, exact, text, nullptr, 0, 0, 0);
}

int32_t getMatches(const MWL* l, int32_t caseFlag, int32_t exact, const uint16_t* text, uint32_t* ids,
                   int32_t capacity, int32_t staticOnly)
{
    return MWL1_FindMatches(of(l), caseFlag, exact, text, ids, capacity, 1, staticOnly);
}

int32_t getMatchesAtStart(const MWL* list, int32_t caseFlag, int32_t minLength, const uint16_t* text,
                          uint32_t* ids, int32_t capacity, int32_t staticOnly)
{
    const MWL1* l = of(list);
    std::vector<uint8_t> key, exact;
    int32_t prefixBytes = minLength;
    if (!encode(key, text, l->nonCJK, l->surfaceEncoding, &l->surfaceState, &prefixBytes) ||
        !encode(exact, text, 0, l->surfaceEncoding, &l->surfaceState))
        return MWLDynamic_GetMatchesAtStart(l->dynamic, text, minLength, ids, capacity);
    const int32_t textCode = l->nonCJK ? MWLCode_GetCode(text) : kMWLCodeCaseless;
    int32_t count = 0;
    for (int32_t id = MWL1_FindFirstAtOrAfter(l, key.data(), prefixBytes);
         id < l->wordCount && count < capacity; ++id) {
        const uint8_t* word = keyOf(l, id);
        const size_t n = std::strlen(reinterpret_cast<const char*>(word));
        const int c = std::strncmp(reinterpret_cast<const char*>(word),
                                   reinterpret_cast<const char*>(key.data()), n);
        if (c > 0)
            break;
        if (c < 0 || static_cast<int32_t>(n) < prefixBytes)
            continue;
        bool match = !caseFlag || !l->nonCJK;
        if (!match) {
            const int32_t code = codeOf(l, id);
            const uint8_t* spelled = code == kMWLCodeExact ? exactOf(l, id) : nullptr;
            const size_t spelledLength = spelled != nullptr ? std::strlen(reinterpret_cast<const char*>(spelled)) : 0;
            match = MWLShared_MatchesAtStart(code, spelled, spelledLength, n, textCode, exact, l->surfaceEncoding);
        }
        if (match)
            ids[count++] = static_cast<uint32_t>(id);
    }
    if (!staticOnly && count < capacity)
        count += MWLDynamic_GetMatchesAtStart(l->dynamic, text, minLength, ids + count, capacity - count);
    return count;
}

int32_t getUnigramScore(const MWL* l, uint32_t) { return of(l)->unigramScore; }
int32_t getClassId(const MWL* l, uint32_t) { return of(l)->classId; }
int32_t getAttributes(const MWL* l, uint32_t) { return of(l)->attributes; }
int32_t zero(const MWL*, uint32_t) { return 0; }

int32_t getWordTypeFlags(const MWL* list, uint32_t id)
{
    const MWL1* l = of(list);
    return isStatic(l, id) ? 0 : MWLDynamic_GetWordTypeFlags(l->dynamic, id);
}

int32_t getFreeRecog(MWL* l) { return MWLDynamic_GetFreeRecogPhonemeId(of(l)->dynamic); }
int32_t getMaxMaster(const MWL* l) { return of(l)->maxMaster; }
int32_t getMaxRecog(const MWL* l) { return of(l)->maxRecog; }
int32_t getMaxProns(const MWL* l) { return MWLDynamic_GetMaxNumPronunciations(of(l)->dynamic); }

int32_t staticMasters(const MWL* list, uint32_t id, int32_t capacity, uint16_t* const* prons)
{
    return MWL1_GetStaticMasterPronunciations(of(list), id, capacity, prons);
}

MWLShared sharedOf(const MWL* list)
{
    MWL1* l = const_cast<MWL1*>(of(list));
    return MWLShared{&l->base, l->rules, l->maxMasterPhoneme, l->dynamic, l->genders, l->genderLength, l->marker,
                     l->wordCount, l->maxSurface, l->maxSpoken, l->maxRecog, l->maxMaster, staticMasters};
}

int32_t getRecogProns(const MWL* l, uint32_t id, int32_t capacity, uint16_t* const* prons)
{
    const MWLShared v = sharedOf(l);
    return MWLShared_GetRecogPronunciations(&v, id, capacity, prons);
}

int32_t getMasterProns(const MWL* list, uint32_t id, int32_t capacity, uint16_t* const* prons,
                       int32_t* posIds)
{
    const MWL1* l = of(list);
    int32_t count = 0;
    if (isStatic(l, id))
        count = MWL1_GetStaticMasterPronunciations(l, id, capacity, prons);
    const int32_t written = count < capacity ? count : capacity;
    const int32_t room = capacity - written;
    int32_t added = 0;
    if (room > 0 || !isStatic(l, id))
        added = MWLDynamic_GetMasterPronunciations(l->dynamic, id, prons + written, room,
                                                   l->maxMaster + 1);
    if (posIds != nullptr)
        for (int32_t k = 0; k < written + added && k < capacity; ++k)
            posIds[k] = -1;
    return count + added;
}

int32_t convertMasterToRecog(const MWL* l, const uint16_t* master, uint16_t* recog)
{
    const MWLShared v = sharedOf(l);
    return MWLShared_ConvertMasterToRecogPron(&v, master, recog);
}

int32_t isMasterLegal(const MWL* l, const uint16_t* pron)
{
    const MWLShared v = sharedOf(l);
    return MWLShared_IsMasterPronunciationLegal(&v, pron);
}

int32_t isPronLegal(const MWL* l, const uint16_t* pron)
{
    const MWLShared v = sharedOf(l);
    return MWLShared_IsPronunciationLegal(&v, pron);
}

uint32_t addWordWithProns(MWL* l, const uint16_t* surface, const uint16_t* spoken, int32_t count,
                          const uint16_t* const* prons, int32_t flags, int32_t sharing)
{
    const MWLShared v = sharedOf(l);
    return MWLShared_AddWordWithPronunciations(&v, surface, spoken, count, prons, flags, sharing);
}

uint32_t addWord(MWL* l, const uint16_t* surface, const uint16_t* spoken, const uint16_t* const* recogProns,
                 int32_t count, int32_t flags)
{
    const MWLShared v = sharedOf(l);
    return MWLShared_AddWord(&v, surface, spoken, recogProns, count, flags);
}

int32_t getTTSPosIds(const MWL* list, uint32_t id, int32_t capacity, int32_t* posIds,
                     int32_t* pronIndices, int32_t* count)
{
    const MWL1* l = of(list);
    int32_t n = 0;
    if (isStatic(l, id)) {
        const int32_t stored = MWL1_GetStaticMasterPronunciations(l, id, 0, nullptr);
        for (; n < stored && n < capacity; ++n) {
            posIds[n] = -1;
            pronIndices[n] = n;
        }
    } else {
        std::vector<uint16_t> one(static_cast<size_t>(l->maxMaster + 2));
        uint16_t* p = one.data();
        if (capacity > 0 && MWLDynamic_GetMasterPronunciations(l->dynamic, id, &p, 1, l->maxMaster + 1) > 0) {
            posIds[0] = -1;
            pronIndices[0] = 0;
            n = 1;
        }
    }
    *count = n;
    return n;
}

void getPosIdForPron(const MWL*, uint32_t, int32_t, int32_t* pos) { *pos = -1; }
void markUsed(MWL* l, int32_t count, const uint32_t* ids) { MWLDynamic_MarkUsed(of(l)->dynamic, count, ids); }

int32_t getLeastRecentlyUnused(const MWL* l, int32_t mask, int32_t capacity, uint32_t* ids)
{
    return MWLDynamic_GetLeastRecentlyUnused(of(l)->dynamic, mask, capacity, ids);
}

int32_t addMasterPron(MWL* l, uint32_t id, const uint16_t* pron)
{
    const MWLShared v = sharedOf(l);
    return MWLShared_AddMasterPronunciation(&v, id, pron);
}

int32_t removePron(MWL* l, uint32_t id, int32_t index, int32_t* freed)
{
    const MWLShared v = sharedOf(l);
    return MWLShared_RemovePronunciation(&v, id, index, freed);
}

int32_t removeWord(MWL* l, uint32_t id, int32_t* freed) { return MWLDynamic_RemoveWord(of(l)->dynamic, id, freed); }
const uint8_t* refCounts(const MWL* l) { return MWLDynamic_GetRecogPhonemeRefCounts(of(l)->dynamic); }

int32_t isWordRemovable(const MWL* list, uint32_t id)
{
    const MWL1* l = of(list);
    return isStatic(l, id) ? 0 : MWLDynamic_IsWordIdInUse(l->dynamic, id);
}

int32_t isWordIdInUse(const MWL* list, uint32_t id)
{
    const MWL1* l = of(list);
    return isStatic(l, id) ? 1 : MWLDynamic_IsWordIdInUse(l->dynamic, id);
}

int32_t getGender(const MWL* l, uint32_t id, int32_t index)
{
    const MWLShared v = sharedOf(l);
    return MWLShared_GetGender(&v, id, index);
}

uint32_t getNextMasterId(const MWL* list, uint32_t id)
{
    const MWL1* l = of(list);
    if (id == kMWLNoWord && l->wordCount > 0)
        return 0;
    if (id != kMWLNoWord && id + 1 < static_cast<uint32_t>(l->wordCount))
        return id + 1;
    return MWLDynamic_GetNextMasterId(l->dynamic, id);
}

int32_t containsGender(const MWL* l) { return of(l)->genders != nullptr ? 1 : 0; }

uint32_t computeCRC(const MWL* list)
{
    const MWL1* l = of(list);
    return DVKCrc_AddInt(MWLDynamic_ComputeCRC(l->dynamic), MWL1_ComputeStaticCRC(l));
}

uint32_t recogSetCRC(const MWL* l) { return of(l)->recogSetCRC; }
uint32_t masterSetCRC(const MWL* l) { return of(l)->masterSetCRC; }
uint32_t semanticSetCRC(const MWL* l) { return of(l)->semanticSetCRC; }
uint32_t clingSetCRC(const MWL* l) { return of(l)->clingSetCRC; }
int32_t boundary(const MWL* l) { return of(l)->boundaryPhoneme; }

int32_t maxMasterPhonemeId(const MWL* list)
{
    const MWL1* l = of(list);
    const int32_t added = l->maxMasterPhoneme + MWLDynamic_GetHighestMasterSlot(l->dynamic);
    return added > l->maxMasterPhoneme ? added : l->maxMasterPhoneme;
}

const char* masterPhonemeName(const MWL* list, int32_t phoneme)
{
    const MWL1* l = of(list);
    if (phoneme < 0 || phoneme > l->maxMasterPhoneme || phoneme >= l->nameCount)
        return nullptr;
    return l->names[phoneme];
}

void nothing(const MWL*) {}

} // namespace

int32_t MWL1_FindFirstAtOrAfter(const MWL1* l, const uint8_t* key, int32_t n)
{
    int32_t low = 0, high = l->wordCount - 1;
    while (low <= high) {
        const int32_t mid = (low + high) / 2;
        if (DVKStr_NCompare(reinterpret_cast<const char*>(keyOf(l, mid)), reinterpret_cast<const char*>(key), n) < 0)
            low = mid + 1;
        else
            high = mid - 1;
    }
    return low;
}

int32_t MWL1_FindMatches(const MWL1* l, int32_t caseFlag, int32_t exactLength, const uint16_t* text,
                         uint32_t* ids, int32_t capacity, int32_t stop, int32_t staticOnly)
{
    std::vector<uint8_t> key, exact;
    if (!encode(key, text, l->nonCJK, l->surfaceEncoding, &l->surfaceState) ||
        !encode(exact, text, 0, l->surfaceEncoding, &l->surfaceState))
        return MWLDynamic_GetMatches(l->dynamic, text, caseFlag ? MWLCode_GetCode(text) : 0, ids, capacity, stop);
    if (!l->nonCJK)
        caseFlag = 0;
    const int32_t textCode = l->nonCJK ? MWLCode_GetCode(text) : kMWLCodeCaseless;
    const size_t n = std::strlen(reinterpret_cast<const char*>(key.data()));
    int32_t count = 0;
    for (int32_t id = MWL1_FindFirstAtOrAfter(l, key.data(), static_cast<int32_t>(n)); id < l->wordCount; ++id) {
        const uint8_t* word = keyOf(l, id);
        if (std::strncmp(reinterpret_cast<const char*>(word), reinterpret_cast<const char*>(key.data()), n) != 0)
            break;
        if (exactLength && word[n] != 0)
            break;
        const int32_t code = codeOf(l, id);
        if (caseFlag && !MWLCode_MatchesSpelling(text, textCode, word, code,
                                                 code == kMWLCodeExact ? exactOf(l, id) : nullptr,
                                                 encodingForLookup(l->surfaceEncoding), &l->surfaceState))
            continue;
        if (count < capacity)
            ids[count] = static_cast<uint32_t>(id);
        ++count;
        if (stop && count >= capacity)
            return count;
    }
    // A full array ends a stopping search here, capacity 0 included.
    if (!staticOnly && !(stop && count >= capacity)) {
        const int32_t room = capacity - count > 0 ? capacity - count : 0;
        count += MWLDynamic_GetMatches(l->dynamic, text, caseFlag ? textCode : 0,
                                       ids != nullptr ? ids + (count < capacity ? count : capacity) : nullptr,
                                       room, stop);
    }
    return count;
}

int32_t MWL1_GetStaticMasterPronunciations(const MWL1* l, uint32_t id, int32_t capacity, uint16_t* const* prons)
{
    int32_t c = l->pronCounts[id];
    const bool marker = l->marker != 0xFFFF && l->markerPositions != nullptr;
    if (c > 0) {
        const uint16_t* p = l->pronPool + l->pronStarts[id];
        for (int32_t k = 0; k < c; ++k) {
            int32_t len = 0;
            while (p[len] != kMWLPronEnd)
                ++len;
            if (k < capacity)
                std::memcpy(prons[k], p, static_cast<size_t>(len + 1) * sizeof(uint16_t));
            p += len + 1;
        }
    } else {
        if (capacity == 0)
            return 1;
        if (l->generator == nullptr)
            return 0;
        // Generated into callers' buffers of the longest master pron + 1,
        // leaving room for the marker when it goes back in.
        const bool insert = marker && l->markerPositions[id] != kMWLNoMarker;
        const int32_t room = l->maxMaster + 1 - (insert ? 1 : 0);
        std::vector<uint16_t> text(static_cast<size_t>((l->maxSurface > l->maxSpoken ? l->maxSurface : l->maxSpoken) + 2));
        std::vector<uint16_t> spoken(static_cast<size_t>(l->maxSpoken + 2));
        getForms(&l->base, id, text.data(), spoken.data());
        const uint16_t* source = spoken[0] != 0 ? spoken.data() : text.data();
        int32_t score = 0, needed = 0;
        c = room > 1 ? PG_TextToMasterPron(l->generator, source, l->language[0] == 'z' ? 1 : 0, prons[0], room,
                                            &score, 1, &needed)
                     : 0;
        if (c > 1)
            c = 1;
    }
    if (c == 1 && capacity > 0 && marker)
        MWLUtil_InsertMarkerPhoneme(prons[0], l->markerPositions[id], l->marker);
    return c;
}

uint32_t MWL1_ComputeStaticCRC(const MWL1* l)
{
    const int32_t n = l->wordCount;
    uint32_t crc = 0xFFFFFFFFu;
    if (n > 0) {
        crc = DVKCrc_AddBytes(l->pronCounts, n, crc);
        crc = DVKCrc_AddArray(l->pronStarts, 2, n, crc);
        if (l->codes != nullptr)
            crc = DVKCrc_AddBytes(l->codes, n, crc);
    }
    if (l->pronPoolLength > 0)
        crc = DVKCrc_AddArray(l->pronPool, 2, l->pronPoolLength, crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(l->pronPoolLength), crc);
    if (n > 0)
        crc = DVKCrc_AddArray(l->textOffsets, 2, n, crc);
    if (l->textPool != nullptr)
        crc = DVKCrc_AddBytes(l->textPool, l->textPoolLength, crc);
    if (l->rules != nullptr)
        crc = DVKCrc_AddInt(PhoneRewrite_ComputeCRC(l->rules), crc);
    crc = DVKCrc_AddShort(l->maxMasterPhoneme, crc);
    crc = DVKCrc_AddShort(l->maxRecogPhoneme, crc);
    crc = DVKCrc_AddShort(l->unigramScore, crc);
    crc = DVKCrc_AddShort(l->classId, crc);
    for (int32_t v : {l->attributes, l->wordCount, l->headerMaxSurface, l->headerMaxSpoken, l->headerMaxRecog,
                      l->headerMaxMaster, l->headerMaxProns, l->surfaceEncoding})
        crc = DVKCrc_AddInt(static_cast<uint32_t>(v), crc);
    crc = DVKCrc_AddBytes(l->language, DVKStr_Length(l->language) + 1, crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(l->nonCJK), crc);
    crc = DVKCrc_AddInt(static_cast<uint32_t>(l->tokenizeType), crc);
    crc = DVKCrc_AddShort(l->boundaryPhoneme, crc);
    for (uint32_t v : {l->recogSetCRC, l->masterSetCRC, l->semanticSetCRC, l->clingSetCRC})
        crc = DVKCrc_AddInt(v, crc);
    for (int32_t v : {l->maxSurface, l->maxSpoken, l->maxRecog, l->maxMaster, l->wordCountCopy})
        crc = DVKCrc_AddInt(static_cast<uint32_t>(v), crc);
    if (l->genders != nullptr)
        crc = DVKCrc_AddBytes(l->genders, l->genderLength, crc);
    return DVKCrc_AddInt(static_cast<uint32_t>(l->genderLength), crc);
}

int32_t MWL1_ReadPSAFile(MWL* list, DVKTar* tar, const char* prefix)
{
    MWL1* l = of(list);
    if (MWLDynamic_ReadPSAFile(l->dynamic, tar, prefix) == 0)
        return 0;
    // Back to the values measured at load, then raised by the run-time words.
    l->maxSurface = l->loadMax[0];
    l->maxSpoken = l->loadMax[1];
    l->maxRecog = l->loadMax[2];
    l->maxMaster = l->loadMax[3];
    MWLDynamic_AfterRead(l->dynamic, &l->maxSurface, &l->maxSpoken, &l->maxMaster, &l->maxRecog);
    return 1;
}

int32_t MWL1_WritePSAFile(const MWL* list, DVKTar* tar, const char* prefix)
{
    return MWLDynamic_WritePSAFile(of(list)->dynamic, tar, prefix);
}

const MWLOps sMasterWordList1Base = {
    deleteList, getEncoding, getLanguage, getTokenizeType, getId, getIdsFromSpoken, getNextDynamicId,
    getMaxSurface, getMaxSpoken, getForms, getOrthographies, getNumMatches, getMatches, getMatchesAtStart,
    getUnigramScore, getClassId, getAttributes, zero, zero, getWordTypeFlags, getFreeRecog, getMaxMaster,
    getMaxRecog, getMaxProns, getRecogProns, getMasterProns, getTTSPosIds, getPosIdForPron, markUsed,
    getLeastRecentlyUnused, convertMasterToRecog, isPronLegal, addWord, addWordWithProns, removeWord,
    refCounts, isWordRemovable, isWordIdInUse, nullptr, addMasterPron, removePron, getNextMasterId,
    containsGender, isMasterLegal, getGender, computeCRC, recogSetCRC, masterSetCRC, semanticSetCRC,
    clingSetCRC, boundary, maxMasterPhonemeId, masterPhonemeName, nullptr,
    reinterpret_cast<void (*)(const MWL*)>(nothing), MWL1_WritePSAFile, MWL1_ReadPSAFile, nullptr, nullptr,
    nothing,
};
