// Questions about one word or pron given as a VocId, and spellings turned
// into ids: the id is translated and the question passed on to the word
// list or the active word list.
#include "core/brevit/lexicon/long_name.h"
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/lexicon/vocabulary_parts.h"

#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/runtime/dvk_unicode.h"
#include "core/brevit/runtime/dvk_unicode_str.h"

#include <cstring>

namespace {

uint32_t kindOf(VocId id) { return id & kVocKindMask; }
bool isPron(VocId id) { return kindOf(id) == kVocKindPron; }
int32_t pronOf(VocId id) { return static_cast<int32_t>(id & 0xFFFFu); }

bool blank(const uint16_t* text) { return VocPart_IsBlank(text); }

int32_t pronLength(const uint16_t* pron)
{
    int32_t n = 0;
    while (pron[n] != kPGPronEnd)
        ++n;
    return n;
}

// The cache as a rows x columns 2-D array at least; grown (contents lost)
// when either is short.
uint16_t** cacheOf(uint16_t*** cache, int32_t rows, int32_t columns)
{
    if (rows < 1)
        rows = 1;
    if (*cache != nullptr && DVKMem_2DGetNumRows(*cache) >= rows && DVKMem_2DGetNumColumns(*cache) >= columns)
        return *cache;
    DVKMem_2DFree(*cache);
    *cache = nullptr;
    *cache = static_cast<uint16_t**>(DVKMem_2DCallocOrThrow(2, rows, columns));
    return *cache;
}

// One pron of a word through a cache of all its prons; master: master
// prons, else recognition prons.
int32_t pronThroughCache(Voc* voc, int32_t pronId, uint16_t* output, bool master)
{
    if (pronId == kAWLSilence) {
        // The silence pron: one empty phoneme, then the end.
        output[0] = 0;
        output[1] = kPGPronEnd;
        return 1;
    }
    int32_t index = 0;
    const int32_t word = AWL_GetActiveIdFromPronId(voc->activeWords, pronId, &index);
    const uint32_t id = AWL_GetMasterId(voc->activeWords, word);
    if (id == kMWLNoWord)
        return -1;
    const int32_t rows = MWL_GetMaxNumPronunciations(voc->wordList);
    const int32_t longest = master ? MWL_GetMaxMasterPronunciationLength(voc->wordList)
                                   : MWL_GetMaxRecogPronunciationLength(voc->wordList);
    uint16_t** cache = cacheOf(master ? &voc->masterCache : &voc->recogCache, rows, longest + 1);
    const int32_t count = master ? MWL_GetMasterPronunciations(voc->wordList, id, rows, cache, nullptr)
                                 : MWL_GetRecogPronunciations(voc->wordList, id, rows, cache);
    if (index >= count || index >= rows)
        return 0;
    const int32_t n = pronLength(cache[index]);
    std::memcpy(output, cache[index], static_cast<size_t>(n + 1) * sizeof(uint16_t));
    return n;
}

} // namespace

bool VocPart_IsBlank(const uint16_t* text)
{
    if (text == nullptr)
        return true;
    for (; *text != 0; ++text)
        if (!DVKUnicode_IsSpace(*text))
            return false;
    return true;
}

int32_t VocPart_CountProns(const Voc* voc, uint32_t masterId)
{
    const int32_t rows = MWL_GetMaxNumPronunciations(voc->wordList);
    if (rows < 1)
        return 0;
    const int32_t columns = MWL_GetMaxMasterPronunciationLength(voc->wordList) + 1;
    const uint32_t mark = DVKTempMem_GetMark();
    auto** prons = static_cast<uint16_t**>(DVKTempMem_Malloc(static_cast<uint32_t>(rows) * sizeof(uint16_t*)));
    for (int32_t r = 0; r < rows; ++r)
        prons[r] = static_cast<uint16_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(columns) * 2));
    const int32_t count = MWL_GetMasterPronunciations(voc->wordList, masterId, rows, prons, nullptr);
    DVKTempMem_ReleaseToMark(mark);
    return count;
}

// ---- word properties ----

int32_t Voc_GetWordTypeFlags(const Voc* voc, VocId id)
{
    return MWL_GetWordTypeFlags(voc->wordList, Voc_GetMasterId(voc, id));
}
int32_t Voc_GetClassId(const Voc* voc, VocId id) { return MWL_GetClassId(voc->wordList, Voc_GetMasterId(voc, id)); }
int32_t Voc_GetSemanticId(const Voc* voc, VocId id)
{
    return MWL_GetSemanticId(voc->wordList, Voc_GetMasterId(voc, id));
}
int32_t Voc_GetAffixId(const Voc* voc, VocId id) { return MWL_GetAffixId(voc->wordList, Voc_GetMasterId(voc, id)); }
int32_t Voc_GetAttributes(const Voc* voc, VocId id)
{
    return MWL_GetAttributes(voc->wordList, Voc_GetMasterId(voc, id));
}

int32_t Voc_GetMasterPronunciations(const Voc* voc, VocId id, int32_t capacity, uint16_t* const* prons,
                                    int32_t* values)
{
    return MWL_GetMasterPronunciations(voc->wordList, Voc_GetMasterId(voc, id), capacity, prons, values);
}

int32_t Voc_GetRecogPronunciations(const Voc* voc, VocId id, int32_t capacity, uint16_t* const* prons)
{
    return MWL_GetRecogPronunciations(voc->wordList, Voc_GetMasterId(voc, id), capacity, prons);
}

int32_t Voc_GetTTSPosIds(const Voc* voc, VocId id, int32_t capacity, int32_t* posIds, int32_t* pronIndices,
                         int32_t* count)
{
    if (isPron(id)) {
        int32_t index = 0;
        const int32_t word = AWL_GetActiveIdFromPronId(voc->activeWords, pronOf(id), &index);
        MWL_GetPosIdForPron(voc->wordList, AWL_GetMasterId(voc->activeWords, word), index, posIds);
        *pronIndices = index;
        *count = 1;
        return 1;
    }
    return MWL_GetTTSPosIds(voc->wordList, Voc_GetMasterId(voc, id), capacity, posIds, pronIndices, count);
}

int32_t Voc_GuessPOS(const Voc* voc, const uint16_t* text)
{
    return voc->posModel != nullptr ? POS_GuessPOS(voc->posModel, text) : -1;
}

// ---- prons ----

int32_t Voc_GetNumProns(const Voc* voc, VocId id)
{
    if (id == kVocNoId)
        return 0;
    switch (kindOf(id)) {
    case kVocKindActive:
        return AWL_GetNumProns(voc->activeWords, pronOf(id));
    case kVocKindMaster:
        if (id >= kVocStartDocument)
            return AWL_GetNumProns(voc->activeWords, Voc_GetActiveId(voc, id));
        return VocPart_CountProns(voc, id & 0xFFFFFFu);
    case kVocKindPron:
        return AWL_IsActiveIdMapped(voc->activeWords, Voc_GetActiveId(voc, id)) ? 1 : 0;
    default:
        return 0;
    }
}

int32_t Voc_GetPronIds(const Voc* voc, VocId id, uint16_t* buffer, int32_t size)
{
    if (isPron(id)) {
        if (size < 1)
            return 0;
        buffer[0] = static_cast<uint16_t>(pronOf(id));
        return 1;
    }
    const int32_t word = Voc_GetActiveId(voc, id);
    if (word == kAWLNone)
        return 0;
    return AWL_GetPronIds(voc->activeWords, word, buffer, size);
}

int32_t Voc_GetFirstPronId(const Voc* voc, VocId id)
{
    if (isPron(id))
        return pronOf(id);
    return AWL_GetNthPronId(voc->activeWords, Voc_GetActiveId(voc, id), 0);
}

uint16_t Voc_GetNthPronId(const Voc* voc, VocId id, int32_t n)
{
    return static_cast<uint16_t>(AWL_GetNthPronId(voc->activeWords, Voc_GetActiveId(voc, id), n));
}

int32_t Voc_GetAlternatePronIdFromActiveId(const Voc* voc, int32_t activeId, int32_t n)
{
    return AWL_GetNthPronId(voc->activeWords, activeId, n);
}

uint16_t Voc_GetActiveIdFromPronId(const Voc* voc, int32_t pronId, int32_t* index)
{
    return static_cast<uint16_t>(AWL_GetActiveIdFromPronId(voc->activeWords, pronId, index));
}

int32_t Voc_IsPronIdActive(const Voc* voc, int32_t pronId)
{
    return pronId != kAWLNone && AWL_IsPronIdInUse(voc->activeWords, pronId) ? 1 : 0;
}

int32_t Voc_IsActiveIdMapped(const Voc* voc, int32_t activeId) { return AWL_IsActiveIdMapped(voc->activeWords, activeId); }
int32_t Voc_GetNumActiveIds(const Voc* voc) { return AWL_GetNumActiveIds(voc->activeWords); }
int32_t Voc_GetNumPronIds(const Voc* voc) { return AWL_GetNumPronIds(voc->activeWords); }
int32_t Voc_GetNumDynamicProns(const Voc* voc) { return AWL_GetNumDynamicProns(voc->activeWords); }
int32_t Voc_GetDynamicPronIds(const Voc* voc, uint16_t* buffer, int32_t n)
{
    return AWL_GetDynamicPronIds(voc->activeWords, buffer, n);
}
int32_t Voc_GetDynamicActiveIds(const Voc* voc, uint16_t* buffer, int32_t n)
{
    return Voc_GetDynamicPronIds(voc, buffer, n);
}
int32_t Voc_GetActiveIdLimit(const Voc* voc) { return AWL_GetActiveIdLimit(voc->activeWords); }
int32_t Voc_GetNumActiveEntries(const Voc* voc) { return AWL_GetPronIdLimit(voc->activeWords); }

int32_t Voc_IsRunTimePron(const Voc* voc, int32_t pronId)
{
    const int32_t word = AWL_GetActiveIdFromPronId(voc->activeWords, pronId, nullptr);
    return word != kAWLNone && AWL_IsDynamicPronInUse(voc->activeWords, pronId) ? 1 : 0;
}

int32_t Voc_GetRecogPronunciation(Voc* voc, int32_t pronId, uint16_t* output)
{
    return pronThroughCache(voc, pronId, output, false);
}

int32_t Voc_GetMasterPronunciation(Voc* voc, int32_t pronId, uint16_t* output)
{
    return pronThroughCache(voc, pronId, output, true);
}

int32_t Voc_ConvertMasterToRecogPron(const Voc* voc, const uint16_t* master, int32_t size, uint16_t* output)
{
    if (size <= MWL_GetMaxRecogPronunciationLength(voc->wordList))
        return 0;
    MWL_ConvertMasterToRecogPron(voc->wordList, master, output);
    // A pron the list cannot express gives nothing usable.
    if (master[0] != kPGPronEnd && output[0] == kPGPronEnd)
        return 0;
    return 1;
}

int32_t Voc_ConvertExternalPronunciation(const Voc* voc, void* written, const uint16_t* phonemes,
                                         const char* format, int32_t size, uint16_t* buffer)
{
    if (voc->textPron == nullptr)
        return kTextPronNoTable;
    return TextPronTable_TextToPron(voc->textPron, written, phonemes, format, size, buffer);
}

int32_t Voc_GeneratePronunciations(const Voc* voc, const uint16_t* text, int32_t most, uint16_t* output,
                                   int32_t size)
{
    if (voc->generator == nullptr || most < 1)
        return 0;
    const uint32_t mark = DVKTempMem_GetMark();
    auto* scores = static_cast<int32_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(most) * 4));
    const int32_t count = PG_TextToMasterPron(voc->generator, text, 0, output, size, scores, most, nullptr);
    DVKTempMem_ReleaseToMark(mark);
    return count > 0 ? count : 0;
}

// ---- spelling to id ----

VocId Voc_LookupMasterIdFromOrthography(const Voc* voc, const uint16_t* surface, const uint16_t* spoken)
{
    if (blank(surface))
        return kVocNoId;
    return Voc_MasterIdToVocId(voc, MWL_GetId(voc->wordList, surface, spoken, 0));
}

VocId Voc_GetGarbageId(const Voc* voc)
{
    static const uint16_t kGarbage[] = {':', 'G', 'A', 'R', 'B', 'A', 'G', 'E', ':', 0};
    return Voc_LookupMasterIdFromOrthography(voc, kGarbage, nullptr);
}

int32_t Voc_LookupActiveIdFromOrthography(const Voc* voc, const uint16_t* surface, const uint16_t* spoken)
{
    const VocId id = Voc_LookupMasterIdFromOrthography(voc, surface, spoken);
    if (id == kVocNoId)
        return kAWLNone;
    return AWL_GetActiveIdFromMasterId(voc->activeWords, id & 0xFFFFFFu);
}

VocId Voc_LookupIdFromOrthography(const Voc* voc, const uint16_t* longName)
{
    if (longName == nullptr)
        return kVocNoId;
    if (DVKUnicode_CompareAscii(longName, "<s>") == 0)
        return kVocSentenceStart;
    if (DVKUnicode_CompareAscii(longName, "<e>") == 0)
        return kVocSentenceEnd;
    if (DVKUnicode_CompareAscii(longName, "<START_DOCUMENT>") == 0)
        return kVocStartDocument;
    if (!WU_IsValidLongNameU(longName))
        return kVocNoId;
    // Neither form is longer than the name.
    const int32_t room = DVKUnicode_Length(longName) + 1;
    const uint32_t mark = DVKTempMem_GetMark();
    auto* surface = static_cast<uint16_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(room) * 2));
    auto* spoken = static_cast<uint16_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(room) * 2));
    VocId id = kVocNoId;
    if (WU_ConvertLongNameToSurfaceSpokenU(longName, surface, room, spoken, room))
        id = Voc_LookupMasterIdFromOrthography(voc, surface, spoken);
    DVKTempMem_ReleaseToMark(mark);
    return id;
}

int32_t Voc_GetMatches(const Voc* voc, const uint16_t* text, int32_t caseFlag, int32_t exactLength,
                       int32_t staticOnly, int32_t max, VocId* ids)
{
    if (blank(text))
        return 0;
    const int32_t total = MWL_GetNumMatches(voc->wordList, caseFlag, exactLength, text);
    if (total < 1)
        return 0;
    const uint32_t mark = DVKTempMem_GetMark();
    auto* found = static_cast<uint32_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(total) * 4));
    const int32_t count = MWL_GetMatches(voc->wordList, caseFlag, exactLength, text, found, total, staticOnly);
    for (int32_t k = 0; k < count && k < total && k < max; ++k)
        ids[k] = Voc_MasterIdToVocId(voc, found[k]);
    DVKTempMem_ReleaseToMark(mark);
    return count;
}

int32_t Voc_GetMatchesAtStart(const Voc* voc, const uint16_t* text, int32_t caseFlag, int32_t minLength,
                              int32_t staticOnly, int32_t max, VocId* ids)
{
    if (blank(text) || max < 1)
        return 0;
    const uint32_t mark = DVKTempMem_GetMark();
    auto* found = static_cast<uint32_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(max) * 4));
    const int32_t count = MWL_GetMatchesAtStart(voc->wordList, caseFlag, minLength, text, found, max, staticOnly);
    for (int32_t k = 0; k < count && k < max; ++k)
        ids[k] = Voc_MasterIdToVocId(voc, found[k]);
    DVKTempMem_ReleaseToMark(mark);
    return count;
}

int32_t Voc_GetNumMatches(const Voc* voc, const uint16_t* text, int32_t caseFlag, int32_t exactLength)
{
    if (blank(text))
        return 0;
    return MWL_GetNumMatches(voc->wordList, caseFlag, exactLength, text);
}

int32_t Voc_GetLeastRecentlyUsedIds(const Voc* voc, int32_t selector, int32_t n, VocId* ids)
{
    if (n < 1)
        return 0;
    const uint32_t mark = DVKTempMem_GetMark();
    auto* found = static_cast<uint32_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(n) * 4));
    const int32_t count = MWL_GetLeastRecentlyUnused(voc->wordList, selector, n, found);
    for (int32_t k = 0; k < count && k < n; ++k)
        ids[k] = Voc_MasterIdToVocId(voc, found[k]);
    DVKTempMem_ReleaseToMark(mark);
    return count;
}

void Voc_MarkUsed(Voc* voc, int32_t n, const VocId* ids)
{
    if (n < 1)
        return;
    const uint32_t mark = DVKTempMem_GetMark();
    auto* masters = static_cast<uint32_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(n) * 4));
    for (int32_t k = 0; k < n; ++k)
        masters[k] = Voc_GetMasterId(voc, ids[k]);
    MWL_MarkUsed(voc->wordList, n, masters);
    DVKTempMem_ReleaseToMark(mark);
}
