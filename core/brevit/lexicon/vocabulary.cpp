// The vocabulary object: loading its components from a model archive, its
// user state, its CRC, what it passes through to the word list, and the id
// conversions every other vocabulary operation is built on.
#include "core/brevit/lexicon/vocabulary.h"

#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <cstring>

namespace {

// The longest special display text, "<START_DOCUMENT>".
constexpr int32_t kLongestSpecialText = 16;

bool readFlags(DVKTar* tar, const char* prefix, uint8_t* flags)
{
    BinFileReader* reader = BinFileReader_Create(tar, kVocSubFileTag, prefix);
    if (reader == nullptr)
        return false;
    const bool read = BinFileReader_ReadArray(reader, flags, 1, kVocFlagBytes) == 1;
    BinFileReader_Delete(reader);
    return read;
}

uint32_t kindOf(VocId id) { return id & kVocKindMask; }

} // namespace

namespace {

// Steps after the record: the components in order; false at the first
// that is required and missing.
bool loadComponents(Voc* voc, DVKTar* tar, const char* prefix, const uint8_t* flags)
{
    if (flags[0] != 0 && (voc->generator = PG_LoadFromBinFile(tar, prefix)) == nullptr)
        return false;
    if (flags[4] != 0 && (voc->posModel = POS_LoadFromBinFile(tar, prefix)) == nullptr)
        return false;
    if ((voc->wordList = MWL_CreateFromBinFile(tar, prefix, voc->generator, voc->posModel)) == nullptr)
        return false;
    if ((voc->activeWords = AWL_LoadFromBinFile(tar, prefix)) == nullptr)
        return false;
    voc->textPron = TextPronTable_LoadFromBinFile(tar, prefix);
    MWL* supplementary = MWL_ReadSupplementaryMWL(tar, prefix, voc->generator, voc->posModel);
    // The supplementary list is freed even when merging raises.
    const int32_t raised = DVKErr_Protect([&] { Voc_MergeSupplementaryWords(voc, supplementary); });
    MWL_Delete(supplementary);
    if (raised)
        DVKErr_Throw();
    return true;
}

} // namespace

Voc* Voc_LoadFromBinFile(DVKTar* tar, const char* prefix)
{
    uint8_t flags[kVocFlagBytes] = {};
    if (!readFlags(tar, prefix, flags))
        return nullptr;
    auto* voc = static_cast<Voc*>(DVKMem_CallocOrThrow(sizeof(Voc)));
    // Component readers raise when memory runs out: the partly built
    // vocabulary is freed before the error goes on.
    bool loaded = false;
    if (DVKErr_Protect([&] { loaded = loadComponents(voc, tar, prefix, flags); }) != 0) {
        Voc_Delete(voc);
        DVKErr_Throw();
    }
    if (!loaded) {
        Voc_Delete(voc);
        return nullptr;
    }
    return voc;
}

void Voc_Delete(Voc* voc)
{
    if (voc == nullptr)
        return;
    DVKMem_2DFree(voc->recogCache);
    DVKMem_2DFree(voc->masterCache);
    TextPronTable_Delete(voc->textPron);
    AWL_Delete(voc->activeWords);
    MWL_Delete(voc->wordList);
    POS_Delete(voc->posModel);
    PG_Delete(voc->generator);
    DVKMem_Free(voc);
}

int32_t Voc_ReadPSAFile(Voc* voc, DVKTar* tar, const char* prefix)
{
    // The active word list refuses a restore over run-time entries; asked
    // only after the word list was restored, its run-time words and prons
    // would name other words of the restored list. Refuse before anything.
    const AWL* list = voc->activeWords;
    if (AWL_GetNumActiveIds(list) > list->staticWords || AWL_GetNumDynamicProns(list) > 0)
        return 0;
    if (MWL_ReadPSAFile(voc->wordList, tar, prefix) != 1)
        return 0;
    if (AWL_ReadPSAFile(voc->activeWords, tar, prefix) != 1)
        return 0;
    if (voc->languageModel != nullptr && LM_LoadFromBinFile(voc->languageModel, tar, prefix) == nullptr)
        return 0;
    return 1;
}

int32_t Voc_WritePSAFile(const Voc* voc, DVKTar* tar, const char* prefix)
{
    if (MWL_WritePSAFile(voc->wordList, tar, prefix) != 1)
        return 0;
    if (AWL_WritePSAFile(voc->activeWords, tar, prefix) != 1)
        return 0;
    if (voc->languageModel != nullptr && LM_WritePSAFile(voc->languageModel, tar, prefix) == 0)
        return 0;
    return 1;
}

uint32_t Voc_ComputeCRC(const Voc* voc)
{
    uint32_t crc = 0xFFFFFFFFu;
    if (voc == nullptr || voc->wordList == nullptr)
        return crc;
    crc = DVKCrc_AddValue(MWL_ComputeCRC(voc->wordList), 4, crc);
    if (voc->generator != nullptr)
        crc = DVKCrc_AddValue(PG_ComputeCRC(voc->generator), 4, crc);
    if (voc->posModel != nullptr)
        crc = DVKCrc_AddValue(POS_ComputeCRC(voc->posModel), 4, crc);
    if (voc->activeWords != nullptr)
        crc = DVKCrc_AddValue(AWL_ComputeCRC(voc->activeWords), 4, crc);
    if (voc->textPron != nullptr)
        crc = DVKCrc_AddValue(TextPronTable_ComputeCRC(voc->textPron), 4, crc);
    return crc;
}

// ---- pass-throughs ----

uint32_t Voc_GetMasterPhonemeSetCRC(const Voc* voc) { return MWL_GetMasterPhonemeSetCRC(voc->wordList); }
uint32_t Voc_GetRecogPhonemeSetCRC(const Voc* voc) { return MWL_GetRecogPhonemeSetCRC(voc->wordList); }

uint32_t Voc_GetSemanticSetCRC(const Voc* voc)
{
    return voc->wordList != nullptr ? MWL_GetSemanticSetCRC(voc->wordList) : 0xFFFFFFFFu;
}

uint32_t Voc_GetPOSSetCRC(const Voc* voc)
{
    return voc->posModel != nullptr ? POS_GetSetCRC(voc->posModel) : 0xFFFFFFFFu;
}

AWL* Voc_GetActiveWordList(const Voc* voc) { return voc->activeWords; }
int32_t Voc_HasLM(const Voc* voc) { return voc->languageModel != nullptr ? 1 : 0; }
int32_t Voc_SupportsExternalPhonemes(const Voc* voc) { return voc->textPron != nullptr ? 1 : 0; }
const char* Voc_GetLanguage(const Voc* voc) { return MWL_GetLanguage(voc->wordList); }

int32_t Voc_GetLanguageName(const Voc* voc, int32_t size, char* buffer)
{
    const char* name = voc->wordList != nullptr ? MWL_GetLanguage(voc->wordList) : nullptr;
    if (name == nullptr || size < 1 || static_cast<int32_t>(std::strlen(name)) >= size)
        return 0;
    std::memcpy(buffer, name, std::strlen(name) + 1);
    return 1;
}

const char* Voc_GetLanguageID(const Voc* voc, const uint16_t* text)
{
    if (voc->languageId != nullptr)
        return LID_GetLanguageId(voc->languageId, text, nullptr);
    return MWL_GetLanguage(voc->wordList);
}

int32_t Voc_GetCharacterEncoding(const Voc* voc) { return MWL_GetCharacterEncoding(voc->wordList); }

int32_t Voc_GetMaxSurfaceFormLength(const Voc* voc)
{
    const int32_t longest = MWL_GetMaxSurfaceFormLength(voc->wordList);
    return longest > kLongestSpecialText ? longest : kLongestSpecialText;
}

int32_t Voc_GetMaxSpokenFormLength(const Voc* voc) { return MWL_GetMaxSpokenFormLength(voc->wordList); }
int32_t Voc_GetMaxMasterPronunciationLength(const Voc* voc)
{
    return MWL_GetMaxMasterPronunciationLength(voc->wordList);
}
int32_t Voc_GetMaxRecogPronunciationLength(const Voc* voc)
{
    return MWL_GetMaxRecogPronunciationLength(voc->wordList);
}
int32_t Voc_GetMaxNumPronunciations(const Voc* voc) { return MWL_GetMaxNumPronunciations(voc->wordList); }
const char* Voc_GetRecogPhonemeName(const Voc* voc, int32_t phoneme)
{
    return MWL_GetRecogPhonemeName(voc->wordList, phoneme);
}
const char* Voc_GetMasterPhonemeName(const Voc* voc, int32_t phoneme)
{
    return MWL_GetMasterPhonemeName(voc->wordList, phoneme);
}
int32_t Voc_GetMaxMasterPhonemeId(const Voc* voc) { return MWL_GetMaxMasterPhonemeId(voc->wordList); }
int32_t Voc_GetFreeRecogPhonemeId(Voc* voc) { return MWL_GetFreeRecogPhonemeId(voc->wordList); }
const uint8_t* Voc_GetRecogPhonemeRefCounts(const Voc* voc)
{
    return MWL_GetRecogPhonemeRefCounts(voc->wordList);
}
void Voc_DisplayDynamicInfo(const Voc* voc) { MWL_DisplayDynamicInfo(voc->wordList); }

// ---- id conversions ----

VocId Voc_PronIdToVocId(const Voc*, int32_t pronId)
{
    return pronId == kAWLNone ? kVocNoId : (static_cast<uint32_t>(pronId) | kVocKindPron);
}

VocId Voc_MasterIdToVocId(const Voc*, uint32_t masterId)
{
    return masterId == kMWLNoWord ? kVocNoId : (masterId | kVocKindMaster);
}

VocId Voc_ActiveIdToVocId(const Voc*, int32_t activeId)
{
    if (activeId >= 0 && activeId < kVocActiveStartDocument)
        return static_cast<uint32_t>(activeId) | kVocKindActive;
    if (activeId >= kVocActiveStartDocument && activeId <= kAWLSilence)
        return static_cast<uint32_t>(activeId - 65536);
    return kVocNoId;
}

uint32_t Voc_GetMasterId(const Voc* voc, VocId id)
{
    switch (kindOf(id)) {
    case kVocKindActive:
        return AWL_GetMasterId(voc->activeWords, static_cast<int32_t>(id & 0xFFFFu));
    case kVocKindMaster:
        return id & 0xFFFFFFu;
    case kVocKindPron: {
        const int32_t word = AWL_GetActiveIdFromPronId(voc->activeWords, static_cast<int32_t>(id & 0xFFFFu),
                                                       nullptr);
        return AWL_GetMasterId(voc->activeWords, word);
    }
    default:
        return kMWLNoWord;
    }
}

int32_t Voc_GetActiveId(const Voc* voc, VocId id)
{
    if (id >= kVocStartDocument)
        return static_cast<int32_t>(id - kVocStartDocument) + kVocActiveStartDocument;
    switch (kindOf(id)) {
    case kVocKindActive:
        return static_cast<int32_t>(id & 0xFFFFu);
    case kVocKindMaster:
        return AWL_GetActiveIdFromMasterId(voc->activeWords, id & 0xFFFFFFu);
    case kVocKindPron:
        if ((id & 0xFFFFu) == kAWLNone)
            return kAWLNone;
        return AWL_GetActiveIdFromPronId(voc->activeWords, static_cast<int32_t>(id & 0xFFFFu), nullptr);
    default:
        return kAWLNone;
    }
}

VocId Voc_GetNextId(const Voc* voc, VocId id)
{
    return Voc_MasterIdToVocId(voc, MWL_GetNextMasterId(voc->wordList, Voc_GetMasterId(voc, id)));
}

int32_t Voc_IsSameWord(const Voc* voc, VocId a, VocId b)
{
    if (kindOf(a) == kVocKindMaster || kindOf(b) == kVocKindMaster)
        return Voc_GetMasterId(voc, a) == Voc_GetMasterId(voc, b) ? 1 : 0;
    if (kindOf(a) != kVocKindActive && kindOf(b) != kVocKindActive)
        return (a & 0xFFFFu) == (b & 0xFFFFu) ? 1 : 0;
    return Voc_GetActiveId(voc, a) == Voc_GetActiveId(voc, b) ? 1 : 0;
}

int32_t Voc_IsWordIdInUse(const Voc* voc, VocId id)
{
    if (id >= kVocStartDocument)
        return 1;
    switch (kindOf(id)) {
    case kVocKindActive:
        return AWL_IsActiveIdMapped(voc->activeWords, static_cast<int32_t>(id & 0xFFFFu));
    case kVocKindMaster:
        return MWL_IsWordIdInUse(voc->wordList, id & 0xFFFFFFu);
    case kVocKindPron:
        if ((id & 0xFFFFu) >= kAWLSilence)
            return 0;
        return AWL_IsPronIdInUse(voc->activeWords, static_cast<int32_t>(id & 0xFFFFu));
    default:
        return 0;
    }
}
