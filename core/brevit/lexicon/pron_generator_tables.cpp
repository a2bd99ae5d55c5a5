#include "core/brevit/lexicon/pron_generator_tables.h"

#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_unicode_str.h"
#include "core/brevit/search/table_read.h"


namespace {

// -1, 0 or 1 comparing two keys of width units.
int32_t compareKeys(const uint16_t* a, const uint16_t* b, int32_t width)
{
    for (int32_t i = 0; i < width; ++i)
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
    return 0;
}

} // namespace

int32_t PG_ReadCodeArray(BinFileReader* reader, int64_t count, uint16_t** array)
{
    void* data = nullptr;
    const int32_t ok = TableRead_Array(reader, 2, count, true, &data);
    *array = static_cast<uint16_t*>(data);
    return ok;
}

bool PG_KeysAscending(const uint16_t* keys, int32_t count, int32_t width)
{
    for (int32_t i = 1; i < count; ++i)
        if (compareKeys(keys + (i - 1) * width, keys + i * width, width) >= 0)
            return false;
    return true;
}

int32_t PG_FindKey(const uint16_t* keys, int32_t count, int32_t width, const uint16_t* key)
{
    int32_t low = 0;
    int32_t high = count - 1;
    while (low <= high) {
        const int32_t middle = low + (high - low) / 2;
        const int32_t order = compareKeys(keys + middle * width, key, width);
        if (order == 0)
            return middle;
        if (order < 0)
            low = middle + 1;
        else
            high = middle - 1;
    }
    return -1;
}

uint32_t PG_AddCountedArray(uint32_t crc, const uint16_t* array, int32_t count)
{
    if (array == nullptr)
        return crc;
    crc = DVKCrc_AddInt(static_cast<uint32_t>(count), crc);
    return DVKCrc_AddArray(array, 2, count, crc);
}

int32_t PG_NonSpaceCharacters(const uint16_t* text, uint16_t* characters)
{
    int32_t n = 0;
    for (int32_t at = 0;;) {
        uint16_t c = 0;
        at += DVKUnicode_SkipSpace(text + at, &c);
        if (c == 0)
            return n;
        characters[n++] = c;
        ++at;
    }
}

void PG_AppendPhoneme(PGPronBuilder* pron, uint16_t phoneme)
{
    if (pron->out != nullptr)
        pron->out[pron->length] = phoneme;
    ++pron->length;
    if (pron->common->classRewrite != nullptr && PG_IsVowel(pron->common, phoneme))
        ++pron->vowels;
}

void PG_AppendCode(PGPronBuilder* pron, uint16_t code)
{
    const uint16_t* list = nullptr;
    int32_t length = 0;
    LMRewrite_GetRewritesForId(pron->common->mainRewrite, code, &list, &length);
    for (int32_t i = 0; i < length; ++i)
        PG_AppendPhoneme(pron, list[i]);
}
