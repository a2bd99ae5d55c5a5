#include "core/brevit/lexicon/mwl.h"

#include "core/brevit/runtime/dvk_mem.h"

#include <cstring>

void MWL_Delete(MWL* list)
{
    if (list != nullptr)
        list->ops.Delete(list);
}

int32_t MWL_GetCharacterEncoding(const MWL* list) { return list->ops.GetCharacterEncoding(list); }
const char* MWL_GetLanguage(const MWL* list) { return list->ops.GetLanguage(list); }
int32_t MWL_GetTokenizeType(const MWL* list) { return list->ops.GetTokenizeType(list); }

uint32_t MWL_GetId(const MWL* list, const uint16_t* surface, const uint16_t* spoken,
                   int32_t staticOnly)
{
    return list->ops.GetId(list, surface, spoken, staticOnly);
}

int32_t MWL_GetIdsFromSpoken(const MWL* list, const uint16_t* spoken, uint32_t* ids,
                             int32_t capacity, int32_t countAll)
{
    return list->ops.GetIdsFromSpoken(list, spoken, ids, capacity, countAll);
}

uint32_t MWL_GetNextDynamicId(const MWL* list, uint32_t* cursor)
{
    return list->ops.GetNextDynamicId(list, cursor);
}

int32_t MWL_GetMaxSurfaceFormLength(const MWL* list) { return list->ops.GetMaxSurfaceFormLength(list); }
int32_t MWL_GetMaxSpokenFormLength(const MWL* list) { return list->ops.GetMaxSpokenFormLength(list); }

int32_t MWL_GetSurfaceAndSpokenForms(const MWL* list, uint32_t id, uint16_t* surface,
                                     uint16_t* spoken)
{
    return list->ops.GetSurfaceAndSpokenForms(list, id, surface, spoken);
}

int32_t MWL_GetNumMatches(const MWL* list, int32_t caseFlag, int32_t exactLength,
                          const uint16_t* text)
{
    return list->ops.GetNumMatches(list, caseFlag, exactLength, text);
}

int32_t MWL_GetMatches(const MWL* list, int32_t caseFlag, int32_t exactLength,
                       const uint16_t* text, uint32_t* ids, int32_t capacity, int32_t staticOnly)
{
    return list->ops.GetMatches(list, caseFlag, exactLength, text, ids, capacity, staticOnly);
}

int32_t MWL_GetMatchesAtStart(const MWL* list, int32_t caseFlag, int32_t minLength,
                              const uint16_t* text, uint32_t* ids, int32_t capacity,
                              int32_t staticOnly)
{
    if (list->ops.GetMatchesAtStart != nullptr)
        return list->ops.GetMatchesAtStart(list, caseFlag, minLength, text, ids, capacity,
                                           staticOnly);
    // Each prefix from minLength characters on, matched on its exact length.
    int32_t length = 0;
    while (text[length] != 0)
        ++length;
    uint16_t* prefix = static_cast<uint16_t*>(
        DVKMem_MallocOrThrow(static_cast<uint32_t>(length + 1) * sizeof(uint16_t)));
    std::memcpy(prefix, text, static_cast<size_t>(length + 1) * sizeof(uint16_t));
    int32_t count = 0;
    for (int32_t l = minLength < 1 ? 1 : minLength; l <= length && count < capacity; ++l) {
        const uint16_t kept = prefix[l];
        prefix[l] = 0;
        count += list->ops.GetMatches(list, caseFlag, 1, prefix, ids + count, capacity - count,
                                      staticOnly);
        prefix[l] = kept;
    }
    DVKMem_Free(prefix);
    return count;
}

int32_t MWL_GetUnigramScore(const MWL* list, uint32_t id) { return list->ops.GetUnigramScore(list, id); }
int32_t MWL_GetClassId(const MWL* list, uint32_t id) { return list->ops.GetClassId(list, id); }
int32_t MWL_GetAttributes(const MWL* list, uint32_t id) { return list->ops.GetAttributes(list, id); }
int32_t MWL_GetAffixId(const MWL* list, uint32_t id) { return list->ops.GetAffixId(list, id); }
int32_t MWL_GetSemanticId(const MWL* list, uint32_t id) { return list->ops.GetSemanticId(list, id); }
int32_t MWL_GetWordTypeFlags(const MWL* list, uint32_t id) { return list->ops.GetWordTypeFlags(list, id); }
int32_t MWL_GetFreeRecogPhonemeId(MWL* list) { return list->ops.GetFreeRecogPhonemeId(list); }

int32_t MWL_GetMaxMasterPronunciationLength(const MWL* list)
{
    return list->ops.GetMaxMasterPronunciationLength(list);
}

int32_t MWL_GetMaxRecogPronunciationLength(const MWL* list)
{
    return list->ops.GetMaxRecogPronunciationLength(list);
}

int32_t MWL_GetMaxNumPronunciations(const MWL* list) { return list->ops.GetMaxNumPronunciations(list); }

int32_t MWL_GetRecogPronunciations(const MWL* list, uint32_t id, int32_t capacity,
                                   uint16_t* const* prons)
{
    return list->ops.GetRecogPronunciations(list, id, capacity, prons);
}

int32_t MWL_GetMasterPronunciations(const MWL* list, uint32_t id, int32_t capacity,
                                    uint16_t* const* prons, int32_t* posIds)
{
    return list->ops.GetMasterPronunciations(list, id, capacity, prons, posIds);
}

int32_t MWL_GetTTSPosIds(const MWL* list, uint32_t id, int32_t capacity, int32_t* posIds,
                         int32_t* pronIndices, int32_t* count)
{
    return list->ops.GetTTSPosIds(list, id, capacity, posIds, pronIndices, count);
}

void MWL_GetPosIdForPron(const MWL* list, uint32_t id, int32_t pronIndex, int32_t* posId)
{
    list->ops.GetPosIdForPron(list, id, pronIndex, posId);
}

void MWL_MarkUsed(MWL* list, int32_t count, const uint32_t* ids) { list->ops.MarkUsed(list, count, ids); }

int32_t MWL_GetLeastRecentlyUnused(const MWL* list, int32_t mask, int32_t capacity, uint32_t* ids)
{
    return list->ops.GetLeastRecentlyUnused(list, mask, capacity, ids);
}

int32_t MWL_ConvertMasterToRecogPron(const MWL* list, const uint16_t* master, uint16_t* recog)
{
    return list->ops.ConvertMasterToRecogPron(list, master, recog);
}

int32_t MWL_IsPronunciationLegal(const MWL* list, const uint16_t* pron)
{
    return list->ops.IsPronunciationLegal(list, pron);
}

uint32_t MWL_AddWord(MWL* list, const uint16_t* surface, const uint16_t* spoken,
                     const uint16_t* const* recogProns, int32_t count, int32_t flags)
{
    return list->ops.AddWord(list, surface, spoken, recogProns, count, flags);
}

int32_t MWL_AddWordWithPronunciations(MWL* list, const uint16_t* surface, const uint16_t* spoken,
                                      int32_t count, const uint16_t* const* prons, int32_t flags,
                                      int32_t sharing, uint32_t* id)
{
    *id = list->ops.AddWordWithPronunciations(list, surface, spoken, count, prons, flags, sharing);
    return *id == kMWLNoWord ? kMWLAddRefused : kMWLAddDone;
}

int32_t MWL_RemoveWord(MWL* list, uint32_t id, int32_t* freed) { return list->ops.RemoveWord(list, id, freed); }

const uint8_t* MWL_GetRecogPhonemeRefCounts(const MWL* list)
{
    return list->ops.GetRecogPhonemeRefCounts(list);
}

int32_t MWL_IsWordRemovable(const MWL* list, uint32_t id) { return list->ops.IsWordRemovable(list, id); }
int32_t MWL_IsWordIdInUse(const MWL* list, uint32_t id) { return list->ops.IsWordIdInUse(list, id); }

int32_t MWL_AddMasterPronunciation(MWL* list, uint32_t id, const uint16_t* pron)
{
    return list->ops.AddMasterPronunciation(list, id, pron);
}

int32_t MWL_RemovePronunciation(MWL* list, uint32_t id, int32_t pronIndex, int32_t* freed)
{
    return list->ops.RemovePronunciation(list, id, pronIndex, freed);
}

uint32_t MWL_GetNextMasterId(const MWL* list, uint32_t id) { return list->ops.GetNextMasterId(list, id); }
int32_t MWL_ContainsGender(const MWL* list) { return list->ops.ContainsGender(list); }

int32_t MWL_IsMasterPronunciationLegal(const MWL* list, const uint16_t* pron)
{
    return list->ops.IsMasterPronunciationLegal(list, pron);
}

int32_t MWL_GetGender(const MWL* list, uint32_t id, int32_t pronIndex)
{
    return list->ops.GetGender(list, id, pronIndex);
}

uint32_t MWL_ComputeCRC(const MWL* list)
{
    if (list->ops.ComputeCRC == nullptr)
        return 0xFFFFFFFFu;
    return list->ops.ComputeCRC(list);
}

uint32_t MWL_GetRecogPhonemeSetCRC(const MWL* list) { return list->ops.GetRecogPhonemeSetCRC(list); }
uint32_t MWL_GetMasterPhonemeSetCRC(const MWL* list) { return list->ops.GetMasterPhonemeSetCRC(list); }
uint32_t MWL_GetSemanticSetCRC(const MWL* list) { return list->ops.GetSemanticSetCRC(list); }
uint32_t MWL_GetClingSetCRC(const MWL* list) { return list->ops.GetClingSetCRC(list); }

int32_t MWL_GetCharSetBoundaryMasterPhonemeId(const MWL* list)
{
    return list->ops.GetCharSetBoundaryMasterPhonemeId(list);
}

int32_t MWL_GetMaxMasterPhonemeId(const MWL* list) { return list->ops.GetMaxMasterPhonemeId(list); }

const char* MWL_GetMasterPhonemeName(const MWL* list, int32_t phoneme)
{
    return list->ops.GetMasterPhonemeName(list, phoneme);
}

const char* MWL_GetRecogPhonemeName(const MWL*, int32_t) { return nullptr; }

int32_t MWL_WritePSAFile(const MWL* list, DVKTar* tar, const char* prefix)
{
    return list->ops.WritePSAFile(list, tar, prefix);
}

int32_t MWL_ReadPSAFile(MWL* list, DVKTar* tar, const char* prefix)
{
    return list->ops.ReadPSAFile(list, tar, prefix);
}

void MWL_DisplayDynamicInfo(const MWL* list)
{
    if (list->ops.DisplayDynamicInfo != nullptr)
        list->ops.DisplayDynamicInfo(list);
}

void MWL_WriteBinFile(const MWL*, DVKTar*, const char*) {}
