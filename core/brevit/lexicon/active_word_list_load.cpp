// The static part from "bacm0", its checks, the initial run-time state and
// the checksums. Lookups index the static tables by values read from the
// file (language packs are downloaded), so everything they rely on is checked
// here.
#include "core/brevit/lexicon/active_word_list.h"

#include "core/brevit/lexicon/active_word_list_pages.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/search/table_read.h"

#include <bit>
#include <cmath>
#include <cstring>

namespace {

// Largest static word and pron counts: ids above them are special.
constexpr int32_t kMaxStaticWords = 65531;
constexpr int32_t kMaxStaticProns = 65534;
constexpr uint8_t kMaxCategory = 2;

uint32_t pagesFor(uint64_t elements)
{
    const uint64_t pages = (elements + kAWLPageLength - 1) >> kAWLPageShift;
    return pages > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(pages);
}

// Set bits of the bit set below bit k (bits past its bytes count as clear).
struct BitCounter {
    const AWL* list;
    int64_t at = 0;
    int64_t count = 0;
    int64_t upTo(int64_t k)
    {
        const int64_t end = std::min<int64_t>(k, int64_t{list->bitSetBytes} * 8);
        for (; at < end; ++at)
            count += (list->bitSet[at >> 3] >> (at & 7)) & 1;
        return count;
    }
};

bool bitSetValid(const AWL* list)
{
    const int64_t span = int64_t{list->lastMasterId} - list->firstMasterId + 1;
    const int64_t bits = span > 0 ? span : 0;
    if (list->bitSet != nullptr) {
        if (list->bitSetBytes < (bits + 7) / 8)
            return false;
        BitCounter all{list};
        if (all.upTo(bits) != list->staticWords ||
            all.upTo(int64_t{list->bitSetBytes} * 8) != list->staticWords)
            return false;
    }
    if (list->blockTable != nullptr) {
        if (list->blockShift < 0 || list->blockShift > 30 ||
            list->blockSpan != (1 << list->blockShift))
            return false;
        if (list->blockCount < (bits + list->blockSpan - 1) / list->blockSpan)
            return false;
        BitCounter before{list};
        for (int32_t b = 0; b < list->blockCount; ++b)
            if (list->blockTable[b] != before.upTo(int64_t{b} << list->blockShift))
                return false;
    }
    return true;
}

// Ascending words below S; the count and first-pron tables, when present,
// describe the same runs.
bool pronTablesValid(const AWL* list)
{
    if (list->staticProns > 0 && list->pronToWord == nullptr)
        return false;
    for (int32_t p = 0; p < list->staticProns; ++p)
        if (list->pronToWord[p] >= list->staticWords ||
            (p > 0 && list->pronToWord[p] < list->pronToWord[p - 1]))
            return false;
    if ((list->pronCounts == nullptr) != (list->firstProns == nullptr))
        return false;
    if (list->pronCounts != nullptr) {
        int32_t p = 0;
        for (int32_t w = 0; w < list->staticWords; ++w) {
            const int32_t first = p;
            while (p < list->staticProns && list->pronToWord[p] == w)
                ++p;
            if (list->pronCounts[w] != p - first ||
                (p > first && list->firstProns[w] != first))
                return false;
        }
    }
    if (list->pronCategories != nullptr)
        for (int32_t p = 0; p < list->staticProns; ++p)
            if (list->pronCategories[p] > kMaxCategory)
                return false;
    return true;
}

bool staticPartValid(const AWL* list)
{
    if (list->staticWords < 0 || list->staticWords > kMaxStaticWords ||
        list->staticProns < 0 || list->staticProns > kMaxStaticProns)
        return false;
    if (!list->contiguous && list->masterIds == nullptr) {
        if (list->staticWords > 0 && (list->bitSet == nullptr || list->blockTable == nullptr))
            return false;
        if (!bitSetValid(list))
            return false;
    }
    return pronTablesValid(list);
}

template <typename T>
bool readArray(BinFileReader* reader, int64_t expected, T** array)
{
    void* data = nullptr;
    if (!TableRead_Array(reader, sizeof(T), expected, false, &data))
        return false;
    *array = static_cast<T*>(data);
    return true;
}

uint32_t addArray(const void* array, int32_t size, int32_t count, uint32_t crc)
{
    return array != nullptr ? DVKCrc_AddArray(array, size, count, crc) : crc;
}

uint32_t staticCRC(const AWL* list)
{
    uint32_t crc = 0xFFFFFFFFu;
    const auto add = [&](int64_t v) { crc = DVKCrc_AddValue(static_cast<uint32_t>(v), 4, crc); };
    add(list->contiguous);
    add(list->firstMasterId);
    add(list->lastMasterId);
    crc = addArray(list->bitSet, 1, list->bitSetBytes, crc);
    add(list->bitSetBytes);
    crc = addArray(list->blockTable, 2, list->blockCount, crc);
    add(list->blockCount);
    add(list->blockSpan);
    add(list->blockShift);
    crc = addArray(list->masterIds, 4, list->staticWords, crc);
    add(list->staticWords);
    add(list->staticProns);
    crc = addArray(list->pronToWord, 2, list->staticProns, crc);
    crc = addArray(list->pronCounts, 1, list->staticWords, crc);
    crc = addArray(list->firstProns, 2, list->staticWords, crc);
    return crc;
}

template <typename T>
uint32_t addPages(T** table, uint32_t pages, uint32_t crc)
{
    for (uint32_t p = 0; p < pages; ++p)
        crc = DVKCrc_AddArray(table[p], sizeof(T), kAWLPageLength, crc);
    return crc;
}

template <typename T>
void freePages(T** table, uint32_t pages)
{
    if (table != nullptr)
        DVKMem_FreeChunksArray(reinterpret_cast<void**>(table), pages);
}

} // namespace

bool AWL_Initialise(AWL* list)
{
    const uint32_t planned = BrevitParam_Word(kBrevitParamRunTimeWordPages);
    double perWord = 0;
    if (gpBrevitGlobalParameters != nullptr)
        std::memcpy(&perWord, &gpBrevitGlobalParameters->words[kBrevitParamRunTimeWordScale],
                    sizeof(perWord));
    const double prons = std::floor(planned * perWord);
    const uint64_t plannedProns =
        prons > 0 && prons < 0x1p40 ? static_cast<uint64_t>(prons) : 0;
    list->wordCapacity = list->wordIndexCapacity = pagesFor(planned);
    list->pronCapacity = list->pronIndexCapacity = list->positionCapacity = pagesFor(plannedProns);
    list->cacheCapacity = pagesFor(uint64_t{planned} + static_cast<uint32_t>(list->staticWords));
    list->cacheFlag = BrevitParam_Word(kBrevitParamFirstPronCache) != 0 ? 1 : 0;
    list->highestCachedId = list->staticWords - 1;
    list->wordCount = list->pronCount = 0;
    list->highestWordSlot = list->highestPronSlot = -1;
    // No run-time prons yet: every word's run starts at 0 (fresh pages are zero).
    if (list->cacheFlag &&
        !AWL_GrowPages(reinterpret_cast<void***>(&list->firstPronCache), &list->cacheCapacity,
                       &list->cachePages, 2, list->staticWords, 0))
        return false;
    list->staticCRC = staticCRC(list);
    return true;
}

AWL* AWL_Read(BinFileReader* reader)
{
    auto* list = static_cast<AWL*>(DVKMem_Calloc(sizeof(AWL)));
    if (list == nullptr)
        return nullptr;
    int32_t replaced = 0;
    bool ok = BinFileReader_ReadBoolean(reader, &list->contiguous) &&
              BinFileReader_ReadBoolean(reader, &list->secondFlag) &&
              BinFileReader_ReadInt(reader, &list->firstMasterId) &&
              BinFileReader_ReadInt(reader, &list->lastMasterId) &&
              BinFileReader_ReadInt(reader, &list->bitSetBytes) &&
              BinFileReader_ReadInt(reader, &list->blockCount) &&
              BinFileReader_ReadInt(reader, &list->blockSpan) &&
              BinFileReader_ReadInt(reader, &list->blockShift) &&
              BinFileReader_ReadInt(reader, &list->staticWords) &&
              BinFileReader_ReadInt(reader, &list->staticProns);
    // The stored capacities are replaced by the parameter block's.
    for (int32_t i = 0; ok && i < 5; ++i)
        ok = BinFileReader_ReadInt(reader, &replaced);
    ok = ok && readArray(reader, list->bitSetBytes, &list->bitSet) &&
         readArray(reader, list->blockCount, &list->blockTable) &&
         readArray(reader, list->staticWords, &list->masterIds) &&
         readArray(reader, list->staticProns, &list->pronToWord) &&
         readArray(reader, list->staticWords, &list->pronCounts) &&
         readArray(reader, list->staticWords, &list->firstProns) &&
         readArray(reader, list->staticProns, &list->pronCategories) && staticPartValid(list) &&
         AWL_Initialise(list);
    if (!ok) {
        AWL_Delete(list);
        return nullptr;
    }
    return list;
}

AWL* AWL_LoadFromBinFile(DVKTar* tar, const char* prefix)
{
    return TableRead_LoadSubFile(tar, kAWLSubFileTag, prefix, AWL_Read);
}

AWL* AWL_CreateEmpty(void)
{
    auto* list = static_cast<AWL*>(DVKMem_Calloc(sizeof(AWL)));
    if (list == nullptr)
        return nullptr;
    list->lastMasterId = -1;
    if (!AWL_Initialise(list)) {
        AWL_Delete(list);
        return nullptr;
    }
    return list;
}

uint32_t AWL_ComputeCRC(const AWL* list)
{
    uint32_t crc = list->staticCRC;
    const auto add = [&](int64_t v) { crc = DVKCrc_AddValue(static_cast<uint32_t>(v), 4, crc); };
    crc = addPages(list->words, list->wordPages, crc);
    add(list->wordCapacity);
    add(list->wordPages);
    add(list->wordCount);
    add(list->highestWordSlot);
    crc = addPages(list->prons, list->pronPages, crc);
    add(list->pronCapacity);
    add(list->pronPages);
    add(list->pronCount);
    crc = addPages(list->pronIndex, list->pronIndexPages, crc);
    if (list->firstPronCache != nullptr) {
        crc = addPages(list->firstPronCache, list->cachePages, crc);
        add(list->cachePages);
        add(list->cacheCapacity);
    }
    crc = addPages(list->positions, list->positionPages, crc);
    add(list->highestCachedId);
    add(list->highestPronSlot);
    return crc;
}

void AWL_Delete(AWL* list)
{
    if (list == nullptr)
        return;
    freePages(list->words, list->wordPages);
    freePages(list->wordIndex, list->wordIndexPages);
    freePages(list->prons, list->pronPages);
    freePages(list->pronIndex, list->pronIndexPages);
    freePages(list->firstPronCache, list->cachePages);
    freePages(list->positions, list->positionPages);
    DVKMem_Free(list->bitSet);
    DVKMem_Free(list->blockTable);
    DVKMem_Free(list->masterIds);
    DVKMem_Free(list->pronToWord);
    DVKMem_Free(list->pronCategories);
    DVKMem_Free(list->pronCounts);
    DVKMem_Free(list->firstProns);
    DVKMem_Free(list->buffer1);
    DVKMem_Free(list->buffer2);
    if (list->scratch != nullptr)
        DVKMemStack_Delete(list->scratch);
    DVKMem_Free(list);
}
