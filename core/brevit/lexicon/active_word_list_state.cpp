// The run-time part as user state ("bacm0" of the user archive). A restore
// reads into tables of its own, checks that they describe a list the
// operations can work on, and only then takes them over: a refused state
// leaves the list as it was.
#include "core/brevit/lexicon/active_word_list.h"

#include "core/brevit/lexicon/active_word_list_pages.h"
#include "core/brevit/runtime/bin_file_writer.h"
#include "core/brevit/runtime/dvk_mem.h"

namespace {

// More pages than the id spaces could ever use.
constexpr uint32_t kMaxPages = 1u << 16;

struct StoredTable {
    void*** table;
    uint32_t* capacity;
    uint32_t* pages;
    uint32_t elementSize;
};

// The six paged tables of a list in stored order (the cache last).
void tablesOf(AWL* list, StoredTable (&tables)[6])
{
    tables[0] = {reinterpret_cast<void***>(&list->words), &list->wordCapacity, &list->wordPages, 4};
    tables[1] = {reinterpret_cast<void***>(&list->wordIndex), &list->wordIndexCapacity,
                 &list->wordIndexPages, 2};
    tables[2] = {reinterpret_cast<void***>(&list->prons), &list->pronCapacity, &list->pronPages, 2};
    tables[3] = {reinterpret_cast<void***>(&list->pronIndex), &list->pronIndexCapacity,
                 &list->pronIndexPages, 2};
    tables[4] = {reinterpret_cast<void***>(&list->positions), &list->positionCapacity,
                 &list->positionPages, 1};
    tables[5] = {reinterpret_cast<void***>(&list->firstPronCache), &list->cacheCapacity,
                 &list->cachePages, 2};
}

bool hasRunTimeTables(const AWL* list)
{
    return list->words != nullptr || list->wordIndex != nullptr || list->prons != nullptr ||
           list->pronIndex != nullptr || list->positions != nullptr;
}

int64_t elements(uint32_t pages)
{
    return int64_t{pages} * kAWLPageLength;
}

// Marks ids in a bit set of 65536; false when one is marked twice.
struct Seen {
    uint8_t* bits;
    bool mark(int32_t id)
    {
        const uint8_t bit = static_cast<uint8_t>(1u << (id & 7));
        if (bits[id >> 3] & bit)
            return false;
        bits[id >> 3] |= bit;
        return true;
    }
};

// Used slots lie at or below the highest one, which is used, and there are
// count of them.
template <typename T>
bool slotsValid(T** table, uint32_t pages, int32_t highest, int32_t count, T freeValue)
{
    if (highest < -1 || highest >= elements(pages) || count < 0)
        return false;
    int32_t used = 0;
    for (int64_t slot = 0; slot < elements(pages); ++slot) {
        if (awlAt(table, static_cast<int32_t>(slot)) == freeValue)
            continue;
        if (slot > highest)
            return false;
        ++used;
    }
    return used == count && (highest < 0 || awlAt(table, highest) != freeValue);
}

bool wordsValid(const AWL* list, Seen seen)
{
    if (!slotsValid(list->words, list->wordPages, list->highestWordSlot, list->wordCount,
                    kAWLNoMasterId) ||
        list->staticWords + list->highestWordSlot > kAWLMaxActiveId ||
        elements(list->wordIndexPages) < int64_t{list->highestWordSlot} + 1)
        return false;
    for (int32_t slot = 0; slot <= list->highestWordSlot; ++slot)
        if (awlAt(list->words, slot) > kAWLNoMasterId)
            return false;
    for (int32_t k = 0; k < list->wordCount; ++k) {
        const int32_t slot = awlAt(list->wordIndex, k);
        if (!awlWordSlotInUse(list, slot) || !seen.mark(slot) ||
            (k > 0 && awlAt(list->words, awlAt(list->wordIndex, k - 1)) > awlAt(list->words, slot)))
            return false;
    }
    return true;
}

bool pronsValid(const AWL* list, Seen seen)
{
    if (!slotsValid(list->prons, list->pronPages, list->highestPronSlot, list->pronCount, kAWLNone) ||
        list->staticProns + list->highestPronSlot > kAWLMaxPronId ||
        elements(list->pronIndexPages) < list->pronCount ||
        elements(list->positionPages) < int64_t{list->highestPronSlot} + 1)
        return false;
    int32_t place = 0;
    for (int32_t k = 0; k < list->pronCount; ++k) {
        const int32_t slot = awlAt(list->pronIndex, k);
        if (!awlPronSlotInUse(list, slot) || !seen.mark(slot))
            return false;
        const int32_t word = awlAt(list->prons, slot);
        if (!AWL_IsWord(list, word) || word > list->highestCachedId)
            return false;
        // Grouped by ascending word; places run on from the word's static prons.
        const int32_t previous = k > 0 ? awlIndexedWord(list, k - 1) : -1;
        if (word < previous)
            return false;
        if (word != previous) {
            int32_t first = 0;
            place = 0;
            if (word < list->staticWords)
                AWL_StaticRun(list, word, &first, &place);
        }
        if (awlAt(list->positions, slot) != place++)
            return false;
    }
    return true;
}

bool cacheValid(const AWL* list)
{
    if (list->highestCachedId < list->staticWords - 1 ||
        list->highestCachedId < list->staticWords + list->highestWordSlot ||
        list->highestCachedId > kAWLMaxActiveId)
        return false;
    if (!list->cacheFlag)
        return list->cachePages == 0;
    if (list->firstPronCache == nullptr ||
        elements(list->cachePages) < int64_t{list->highestCachedId} + 1)
        return false;
    int32_t k = 0;
    for (int32_t b = 0; b <= list->highestCachedId; ++b) {
        while (k < list->pronCount && awlIndexedWord(list, k) < b)
            ++k;
        if (awlAt(list->firstPronCache, b) != k)
            return false;
    }
    return true;
}

bool stateValid(const AWL* list)
{
    auto* bits = static_cast<uint8_t*>(DVKMem_Calloc(2 * 65536 / 8));
    if (bits == nullptr)
        return false;
    // Each check reads only tables the ones before it found sound.
    const bool ok = wordsValid(list, Seen{bits}) && pronsValid(list, Seen{bits + 65536 / 8}) &&
                    cacheValid(list);
    DVKMem_Free(bits);
    return ok;
}

void freeTables(StoredTable (&tables)[6], int32_t count)
{
    for (int32_t t = 0; t < count; ++t)
        if (*tables[t].table != nullptr) {
            DVKMem_FreeChunksArray(*tables[t].table, *tables[t].pages);
            *tables[t].table = nullptr;
        }
}

bool readTables(BinFileReader* reader, AWL* next)
{
    StoredTable tables[6];
    tablesOf(next, tables);
    const int32_t count = next->cacheFlag ? 6 : 5;
    for (int32_t t = 0; t < count; ++t)
        *tables[t].table = nullptr;
    for (int32_t t = 0; t < count; ++t) {
        const StoredTable& s = tables[t];
        uint32_t pages = 0;
        void** table = nullptr;
        if (*s.capacity > kMaxPages || *s.pages > *s.capacity ||
            !BinFileReader_AllocateAndReadChunkedArray(reader, &table, *s.capacity, kAWLPageLength,
                                                       s.elementSize, &pages)) {
            freeTables(tables, t);
            return false;
        }
        if (pages != *s.pages) {
            DVKMem_FreeChunksArray(table, pages);
            freeTables(tables, t);
            return false;
        }
        *s.table = table;
        // A table that never held entries stays absent, as in a fresh list;
        // the cache is kept, as initialisation makes it.
        if (pages == 0 && t < 5) {
            DVKMem_FreeChunksArray(table, 0);
            *s.table = nullptr;
        }
    }
    return true;
}

} // namespace

int32_t AWL_WritePSAFile(const AWL* list, DVKTar* tar, const char* prefix)
{
    BinFileWriter* writer = BinFileWriter_Create(tar, kAWLSubFileTag, prefix);
    if (writer == nullptr)
        return 0;
    const int32_t values[19] = {
        static_cast<int32_t>(list->wordCapacity), static_cast<int32_t>(list->wordPages),
        static_cast<int32_t>(list->wordIndexCapacity), static_cast<int32_t>(list->wordIndexPages),
        list->wordCount, list->highestWordSlot,
        static_cast<int32_t>(list->pronCapacity), static_cast<int32_t>(list->pronPages),
        static_cast<int32_t>(list->pronIndexCapacity), static_cast<int32_t>(list->pronIndexPages),
        static_cast<int32_t>(list->positionCapacity), static_cast<int32_t>(list->positionPages),
        list->pronCount, 0, 0,
        static_cast<int32_t>(list->cacheCapacity), static_cast<int32_t>(list->cachePages),
        list->highestCachedId, list->highestPronSlot};
    bool ok = BinFileWriter_WriteUnsignedInt(writer, static_cast<uint32_t>(list->cacheFlag));
    for (int32_t v : values)
        ok = ok && BinFileWriter_WriteInt(writer, v);
    ok = ok && BinFileWriter_WriteUnsignedInt(writer, list->staticCRC);
    StoredTable tables[6];
    tablesOf(const_cast<AWL*>(list), tables);
    const int32_t count = list->cacheFlag ? 6 : 5;
    for (int32_t t = 0; ok && t < count; ++t)
        ok = BinFileWriter_WriteChunkedArray(writer, *tables[t].table, *tables[t].pages,
                                             kAWLPageLength, tables[t].elementSize);
    const bool completed = BinFileWriter_Delete(writer) == 0;
    return ok && completed ? 1 : 0;
}

int32_t AWL_ReadPSAFile(AWL* list, DVKTar* tar, const char* prefix)
{
    if (hasRunTimeTables(list))
        return 0;
    BinFileReader* reader = BinFileReader_Create(tar, kAWLSubFileTag, prefix);
    if (reader == nullptr)
        return 0;
    AWL next = *list;
    int32_t flag = 0;
    int32_t values[19] = {};
    uint32_t crc = 0;
    bool ok = BinFileReader_ReadBoolean(reader, &flag);
    for (int32_t& v : values)
        ok = ok && BinFileReader_ReadInt(reader, &v);
    ok = ok && BinFileReader_ReadUnsignedInt(reader, &crc) && flag == list->cacheFlag &&
         crc == list->staticCRC;
    if (ok) {
        next.wordCapacity = static_cast<uint32_t>(values[0]);
        next.wordPages = static_cast<uint32_t>(values[1]);
        next.wordIndexCapacity = static_cast<uint32_t>(values[2]);
        next.wordIndexPages = static_cast<uint32_t>(values[3]);
        next.wordCount = values[4];
        next.highestWordSlot = values[5];
        next.pronCapacity = static_cast<uint32_t>(values[6]);
        next.pronPages = static_cast<uint32_t>(values[7]);
        next.pronIndexCapacity = static_cast<uint32_t>(values[8]);
        next.pronIndexPages = static_cast<uint32_t>(values[9]);
        next.positionCapacity = static_cast<uint32_t>(values[10]);
        next.positionPages = static_cast<uint32_t>(values[11]);
        next.pronCount = values[12];
        // values[13] and [14] carry nothing.
        next.cacheCapacity = static_cast<uint32_t>(values[15]);
        next.cachePages = static_cast<uint32_t>(values[16]);
        next.highestCachedId = values[17];
        next.highestPronSlot = values[18];
        ok = readTables(reader, &next);
    }
    BinFileReader_Delete(reader);
    if (!ok)
        return 0;
    if (!stateValid(&next)) {
        StoredTable tables[6];
        tablesOf(&next, tables);
        freeTables(tables, next.cacheFlag ? 6 : 5);
        return 0;
    }
    if (next.cacheFlag && list->firstPronCache != nullptr)
        DVKMem_FreeChunksArray(reinterpret_cast<void**>(list->firstPronCache), list->cachePages);
    *list = next;
    return 1;
}
