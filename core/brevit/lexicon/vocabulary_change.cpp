// The vocabulary changed at run time: words and prons added to the word
// list, word-list words given an active id (with their prons and the
// language model's slot), and prons and words removed again. Every add and
// activation undoes its earlier steps before it reports failure.
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/lexicon/vocabulary_parts.h"

#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_mem_stack.h"

namespace {

// Steps 1 and 2 of every add: a blank surface is unusable, a known word is
// given back. True when the add is decided (its result in *result).
bool knownOrBlank(const Voc* voc, const uint16_t* surface, const uint16_t* spoken, VocId* id,
                  int32_t* added, int32_t* result)
{
    *id = kVocNoId;
    *added = 0;
    if (VocPart_IsBlank(surface)) {
        *result = kVocAddUnusable;
        return true;
    }
    const uint32_t known = MWL_GetId(voc->wordList, surface, spoken, 0);
    if (known == kMWLNoWord)
        return false;
    *id = Voc_MasterIdToVocId(voc, known);
    *added = 1;
    *result = 0;
    return true;
}

// A new word without a pronunciation: one generated from its spoken form,
// else prons built from its surface text when that is asked for.
int32_t addGenerated(Voc* voc, const uint16_t* surface, const uint16_t* spoken, VocId* id, int32_t* added)
{
    if (voc->generator == nullptr)
        return kVocAddUnusable;
    if (spoken == nullptr || spoken[0] == 0) {
        if (static_cast<int32_t>(BrevitParam_Word(kBrevitParamGeneratedPronunciations)) > 0)
            return Voc_AddWordFromText(voc, surface, id, added);
        return kVocAddUnusable;
    }
    const uint32_t mark = DVKTempMem_GetMark();
    int32_t room = MWL_GetMaxMasterPronunciationLength(voc->wordList) + 1;
    auto* pron = static_cast<uint16_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(room) * 2));
    int32_t score = 0;
    int32_t needed = 0;
    int32_t count = PG_TextToMasterPron(voc->generator, spoken, 0, pron, room, &score, 1, &needed);
    if (count < 1 && needed > room) {
        room = needed;
        pron = static_cast<uint16_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(room) * 2));
        count = PG_TextToMasterPron(voc->generator, spoken, 0, pron, room, &score, 1, nullptr);
    }
    int32_t result = kVocAddUnusable;
    if (count > 0) {
        uint32_t newId = kMWLNoWord;
        const uint16_t* prons[] = {pron};
        result = MWL_AddWordWithPronunciations(voc->wordList, surface, spoken, 1, prons, 0, 1, &newId);
        if (newId != kMWLNoWord) {
            *id = Voc_MasterIdToVocId(voc, newId);
            *added = 1;
        }
    }
    DVKTempMem_ReleaseToMark(mark);
    return result;
}

int32_t lmDeactivate(const Voc* voc, int32_t activeId)
{
    return voc->languageModel == nullptr ? 1 : LM_DeactivateDynamicWord(voc->languageModel, activeId);
}

// The word-list id and active id (65535 when not active) of a word; false
// for -1 and ids without a word-list word.
bool wordOf(const Voc* voc, VocId id, uint32_t* masterId, int32_t* activeId)
{
    if (id == kVocNoId || (*masterId = Voc_GetMasterId(voc, id)) == kMWLNoWord)
        return false;
    *activeId = AWL_GetActiveIdFromMasterId(voc->activeWords, *masterId);
    return true;
}

bool bitSet(const uint8_t* flags, int32_t i) { return ((flags[i >> 3] >> (i & 7)) & 1) != 0; }

} // namespace

int32_t Voc_AddWord(Voc* voc, const uint16_t* surface, const uint16_t* spoken, const uint16_t* pron, VocId* id,
                    int32_t* added)
{
    int32_t result = 0;
    if (knownOrBlank(voc, surface, spoken, id, added, &result))
        return result;
    if (pron == nullptr)
        return addGenerated(voc, surface, spoken, id, added);
    if (!MWL_IsPronunciationLegal(voc->wordList, pron))
        return kVocAddUnusable;
    uint32_t newId = kMWLNoWord;
    const uint16_t* prons[] = {pron};
    result = MWL_AddWordWithPronunciations(voc->wordList, surface, spoken, 1, prons, 0, 0, &newId);
    if (result != 0)
        return result;
    *id = Voc_MasterIdToVocId(voc, newId);
    *added = 1;
    return 0;
}

int32_t Voc_AddWordWithRecogPron(Voc* voc, const uint16_t* surface, const uint16_t* spoken,
                                 const uint16_t* recogPron, VocId* id, int32_t* added)
{
    int32_t result = 0;
    if (knownOrBlank(voc, surface, spoken, id, added, &result))
        return result;
    if (recogPron == nullptr)
        return addGenerated(voc, surface, spoken, id, added);
    const uint16_t* prons[] = {recogPron};
    const uint32_t newId = MWL_AddWord(voc->wordList, surface, spoken, prons, 1, 0);
    if (newId == kMWLNoWord)
        return kVocAddRefused;
    *id = Voc_MasterIdToVocId(voc, newId);
    *added = 1;
    return 0;
}

int32_t Voc_AddPronunciation(Voc* voc, VocId id, const uint16_t* master)
{
    const uint32_t masterId = Voc_GetMasterId(voc, id);
    if (masterId == kMWLNoWord)
        return kAWLNone;
    const int32_t activeId = AWL_GetActiveIdFromMasterId(voc->activeWords, masterId);
    if (activeId != kAWLNone && !AWL_HasDynamicPronRoom(voc->activeWords))
        return kAWLNone;
    if (!MWL_IsPronunciationLegal(voc->wordList, master) ||
        !MWL_AddMasterPronunciation(voc->wordList, masterId, master))
        return kAWLNone;
    // A word that is not active has its new pron only in the word list.
    if (activeId == kAWLNone)
        return kAWLNone;
    const int32_t pronId = AWL_AddPron(voc->activeWords, activeId);
    if (pronId == kAWLNone) {
        int32_t freed = 0;
        MWL_RemovePronunciation(voc->wordList, masterId, VocPart_CountProns(voc, masterId) - 1, &freed);
    }
    return pronId;
}

int32_t Voc_ActivateMasterId(Voc* voc, uint32_t masterId)
{
    int32_t activeId = AWL_GetActiveIdFromMasterId(voc->activeWords, masterId);
    if (activeId != kAWLNone)
        return activeId;
    activeId = AWL_AddActiveId(voc->activeWords, masterId);
    if (activeId == kAWLNone)
        return kAWLNone;
    if (voc->languageModel != nullptr &&
        !LM_ActivateDynamicWord(voc->languageModel, activeId, MWL_GetUnigramScore(voc->wordList, masterId),
                                MWL_GetClassId(voc->wordList, masterId))) {
        AWL_RemoveActiveId(voc->activeWords, activeId, 1);
        return kAWLNone;
    }
    const int32_t prons = VocPart_CountProns(voc, masterId);
    for (int32_t k = 0; k < prons; ++k)
        if (AWL_AddPron(voc->activeWords, activeId) == kAWLNone) {
            Voc_RemoveActiveId(voc, activeId);
            return kAWLNone;
        }
    return activeId;
}

int32_t Voc_RemoveActiveId(Voc* voc, int32_t activeId)
{
    if (!AWL_IsDynamicActiveId(voc->activeWords, activeId) || !lmDeactivate(voc, activeId))
        return 0;
    return AWL_RemoveActiveId(voc->activeWords, activeId, 1) ? 1 : 0;
}

int32_t Voc_IsWordRemovable(const Voc* voc, VocId id)
{
    uint32_t masterId = kMWLNoWord;
    int32_t activeId = kAWLNone;
    if (!wordOf(voc, id, &masterId, &activeId))
        return 0;
    if (activeId != kAWLNone)
        return AWL_IsDynamicActiveId(voc->activeWords, activeId);
    return MWL_IsWordRemovable(voc->wordList, masterId);
}

int32_t Voc_RemoveWord(Voc* voc, VocId id, int32_t* freed)
{
    *freed = 0;
    uint32_t masterId = kMWLNoWord;
    int32_t activeId = kAWLNone;
    if (!wordOf(voc, id, &masterId, &activeId))
        return 0;
    if (activeId != kAWLNone && !Voc_RemoveActiveId(voc, activeId))
        return 0;
    if (!MWL_IsWordRemovable(voc->wordList, masterId))
        return 0;
    return MWL_RemoveWord(voc->wordList, masterId, freed);
}

int32_t Voc_RemovePronunciation(Voc* voc, int32_t pronId, int32_t* freed)
{
    *freed = 0;
    AWL* list = voc->activeWords;
    if (!AWL_IsDynamicPronInUse(list, pronId))
        return 0;
    int32_t index = 0;
    const int32_t activeId = AWL_GetActiveIdFromPronId(list, pronId, &index);
    const uint32_t masterId = AWL_GetMasterId(list, activeId);
    // The active list keeps a run-time word's last pron. Its refusals are
    // asked first and the word list's next, so that a refusal leaves both
    // lists naming the same prons.
    if (AWL_IsDynamicActiveId(list, activeId) && AWL_GetNumProns(list, activeId) <= 1)
        return 0;
    const int32_t removed = MWL_RemovePronunciation(voc->wordList, masterId, index, freed);
    if (!removed) {
        *freed = 0;
        return 0;
    }
    AWL_RemovePron(list, pronId);
    return removed;
}

uint8_t* Voc_CreateDynamicIdFlags(const Voc* voc, int32_t* first, int32_t* count)
{
    *first = AWL_GetFirstDynamicActiveId(voc->activeWords);
    *count = AWL_GetActiveIdLimit(voc->activeWords) + 1 - *first;
    if (*count < 1)
        return nullptr;
    return static_cast<uint8_t*>(DVKMem_Calloc(static_cast<uint32_t>((*count + 7) / 8)));
}

int32_t Voc_RemoveUnreferencedWords(Voc* voc, const uint8_t* flags, int32_t first, int32_t count,
                                    int32_t fromWordList, int32_t* freed)
{
    *freed = 0;
    AWL* list = voc->activeWords;
    int32_t removed = 0;
    bool any = false;
    for (int32_t i = count - 1; i >= 0; --i) {
        if (bitSet(flags, i))
            continue;
        const int32_t activeId = (first + i) & 0xFFFF;
        if (!AWL_IsActiveIdMapped(list, activeId) || !AWL_IsDynamicActiveId(list, activeId))
            continue;
        const uint32_t masterId = AWL_GetMasterId(list, activeId);
        if (!lmDeactivate(voc, activeId) || !AWL_RemoveActiveId(list, activeId, 0))
            continue;
        any = true;
        if (!fromWordList) {
            ++removed;
            continue;
        }
        if (MWL_IsWordRemovable(voc->wordList, masterId)) {
            int32_t wordFreed = 0;
            if (MWL_RemoveWord(voc->wordList, masterId, &wordFreed))
                ++removed;
            if (wordFreed)
                *freed = 1;
        }
    }
    if (any)
        AWL_RebuildFirstPronCache(list);
    return removed;
}

int32_t Voc_RemoveInactiveWordIds(Voc* voc, int32_t* freed)
{
    *freed = 0;
    // The ids first: removing moves the records the walk goes through.
    int32_t total = 0;
    uint32_t cursor = 0;
    while (MWL_GetNextDynamicId(voc->wordList, &cursor) != kMWLNoWord)
        ++total;
    if (total == 0)
        return 0;
    const uint32_t mark = DVKTempMem_GetMark();
    auto* ids = static_cast<uint32_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(total) * 4));
    cursor = 0;
    for (int32_t k = 0; k < total; ++k)
        ids[k] = MWL_GetNextDynamicId(voc->wordList, &cursor);
    for (int32_t k = 0; k < total; ++k) {
        if (AWL_GetActiveIdFromMasterId(voc->activeWords, ids[k]) != kAWLNone)
            continue;
        int32_t wordFreed = 0;
        MWL_RemoveWord(voc->wordList, ids[k], &wordFreed);
        if (wordFreed)
            *freed = 1;
    }
    DVKTempMem_ReleaseToMark(mark);
    return 0;
}
