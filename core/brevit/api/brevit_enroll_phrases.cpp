#include "core/brevit/api/brevit_enroll_phrases.h"

#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_tar.h"

namespace {

constexpr uint32_t kPhraseEnd = 0xFFFFFFFFu;

// Bytes of the named sub-file, or 0 when it is missing.
uint32_t subFileSize(DVKTar* tar, const char* prefix)
{
    char name[256];
    BinFile_MakeSubFileName(name, kEnrollPhrasesTag, prefix);
    DVKTarSubFile* sub = DVKTar_SubFileOpen(tar, name);
    if (sub == nullptr)
        return 0;
    const uint32_t size = DVKTar_SubFileGetSize(sub);
    DVKTar_SubFileClose(sub);
    return size;
}

bool readPhrases(BinFileReader* r, EnrollPhrases* set, uint32_t size)
{
    int32_t head[3];
    for (int32_t& word : head)
        if (BinFileReader_ReadInt(r, &word) != 1)
            return false;
    set->secondCount = head[1];
    set->maxLength = head[2];
    // Each phrase takes at least its byte count: a count past that cannot be
    // in the sub-file, and must not size the table.
    if (head[0] < 0 || head[1] < 0 || head[2] < 0 || static_cast<uint32_t>(head[0]) > (size - 12) / 4)
        return false;
    set->phrases = static_cast<uint32_t**>(DVKMem_Calloc(static_cast<uint32_t>(head[0]) * sizeof(uint32_t*) + 1));
    if (set->phrases == nullptr)
        return false;
    for (int32_t i = 0; i < head[0]; ++i) {
        void* words = nullptr;
        uint32_t count = 0;
        if (BinFileReader_AllocateAndReadArray(r, 4, &words, &count) != 1)
            return false;
        set->phrases[i] = static_cast<uint32_t*>(words);
        set->count = i + 1;
        if (count == 0 || count > static_cast<uint32_t>(set->maxLength) + 1 ||
            set->phrases[i][count - 1] != kPhraseEnd)
            return false;
    }
    return BinFileReader_IsAtEnd(r) == 1;
}

} // namespace

EnrollPhrases* EnrollPhrases_Load(DVKTar* tar, const char* prefix)
{
    const uint32_t size = subFileSize(tar, prefix);
    if (size < 12)
        return nullptr;
    BinFileReader* r = BinFileReader_Create(tar, kEnrollPhrasesTag, prefix);
    if (r == nullptr)
        return nullptr;
    auto* set = static_cast<EnrollPhrases*>(DVKMem_Calloc(sizeof(EnrollPhrases)));
    const bool ok = set != nullptr && readPhrases(r, set, size);
    BinFileReader_Delete(r);
    if (!ok) {
        EnrollPhrases_Delete(set);
        return nullptr;
    }
    return set;
}

void EnrollPhrases_Delete(EnrollPhrases* set)
{
    if (set == nullptr)
        return;
    if (set->phrases != nullptr)
        for (int32_t i = 0; i < set->count; ++i)
            DVKMem_Free(set->phrases[i]);
    DVKMem_Free(set->phrases);
    DVKMem_Free(set);
}
