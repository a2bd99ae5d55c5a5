// The pronunciation cache's checksum and its stored form "bpc0".
#include "core/brevit/lexicon/pron_cache.h"

#include "core/brevit/lexicon/pron_cache_parts.h"
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/bin_file_writer.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <algorithm>

namespace {

constexpr const char* kTag = "bpc0";
constexpr uint32_t kPage = pron_cache::kPageLength;
// More pages than any cache reserves (16 M units); keeps a damaged record
// from asking for huge page tables.
constexpr uint32_t kMaxPages = 0x10000;

template <typename T>
uint32_t addPages(T* const* pages, uint32_t inUse, uint32_t crc)
{
    for (uint32_t p = 0; p < inUse; ++p)
        crc = DVKCrc_AddArray(pages[p], sizeof(T), static_cast<int32_t>(kPage), crc);
    return crc;
}

template <typename T>
void freePages(T**& pages, uint32_t& capacity, uint32_t& inUse)
{
    if (pages != nullptr)
        DVKMem_FreeChunksArray(reinterpret_cast<void**>(pages), inUse);
    pages = nullptr;
    capacity = 0;
    inUse = 0;
}

// Reads a chunked array into a table of capacity entries; its pages must be
// exactly the pages word. An absent table (capacity 0) must be stored empty.
// chunks receives the pages the table was given (what to free).
template <typename T>
bool readPages(BinFileReader* reader, uint32_t capacity, uint32_t pages, T**& table, uint32_t& chunks)
{
    chunks = 0;
    if (capacity == 0)
        return BinFileReader_ReadChunkedArray(reader, nullptr, 0, kPage, sizeof(T), &chunks) != 0 && pages == 0;
    void** made = nullptr;
    if (BinFileReader_AllocateAndReadChunkedArray(reader, &made, capacity, kPage, sizeof(T), &chunks) == 0)
        return false;
    table = reinterpret_cast<T**>(made);
    return chunks == pages;
}

// The 16 words of the record, in their stored order.
struct Words {
    uint32_t singleUnit, phonemeCapacity, phonemePages, expandedCapacity, expandedPages, fill, pairCapacity,
        pairPages, ownerFlag, byIdFlag, keepPhonemes, keepExpanded, count, n, byIdCapacity, byIdPages;
};

uint16_t unit(uint16_t** pages, uint32_t i) { return pages[i >> 8][i & 255]; }

// An entry at slot lies below the fill, holds at most 255 ids in one page
// and has its end mark inside the table.
bool entryFits(uint16_t** pages, uint32_t pagesInUse, uint32_t fill, uint32_t slot)
{
    if (slot >= fill || slot >= pagesInUse * kPage)
        return false;
    const uint32_t length = unit(pages, slot);
    return length <= kPronCacheMaxLength && slot % kPage + length + 1 <= kPage &&
           slot + length + 1 < pagesInUse * kPage;
}

bool slotFits(const PronCache& c, uint32_t slot)
{
    if (c.keepPhonemes != 0 && !entryFits(c.phonemePages, c.phonemePagesInUse, c.fill, slot))
        return false;
    if (c.keepExpanded != 0 && !entryFits(c.expandedPages, c.expandedPagesInUse, c.fill, slot))
        return false;
    return c.keepPhonemes != 0 || c.keepExpanded != 0;
}

bool indexFits(const PronCache& c)
{
    if (c.singleUnit != 0)
        return true;
    if (c.fill > std::max(c.phonemePagesInUse, c.expandedPagesInUse) * kPage)
        return false;
    if (c.byIdFlag != 0) {
        for (uint32_t i = 0; i < c.byIdPagesInUse * kPage; ++i) {
            const uint32_t slot = c.wide != 0 ? c.byIdPages32[i >> 8][i & 255] : c.byIdPages16[i >> 8][i & 255];
            if (slot != (c.wide != 0 ? 0xFFFFFFFFu : 0xFFFFu) && !slotFits(c, slot))
                return false;
        }
        return c.pairPagesInUse == 0;
    }
    const uint32_t size = c.pairPagesInUse * kPage;
    if (c.count > size)
        return false;
    if (c.hashFlag != 0) {
        if ((c.pairPagesInUse & (c.pairPagesInUse - 1)) != 0)
            return false;   // the probe masks with the size
        uint32_t used = 0;
        for (uint32_t i = 0; i < size; ++i) {
            const uint32_t pair = c.pairPages[i >> 8][i & 255];
            if ((pair & 0xFFFF) == kNoPronId)
                continue;
            ++used;
            if (!slotFits(c, pair >> 16))
                return false;
        }
        return used == c.count;
    }
    for (uint32_t i = 0; i < c.count; ++i)
        if (!slotFits(c, c.pairPages[i >> 8][i & 255] >> 16))
            return false;
    return true;
}

bool widthIsWide(uint32_t phonemePages, uint32_t expandedPages)
{
    return static_cast<uint64_t>(std::max(phonemePages, expandedPages)) * kPage > 65535;
}

} // namespace

void pron_cache::freeTables(PronCache* c)
{
    freePages(c->phonemePages, c->phonemeCapacity, c->phonemePagesInUse);
    freePages(c->expandedPages, c->expandedCapacity, c->expandedPagesInUse);
    freePages(c->pairPages, c->pairCapacity, c->pairPagesInUse);
    uint32_t capacity = c->byIdCapacity;
    uint32_t inUse = c->byIdPagesInUse;
    freePages(c->byIdPages16, capacity, inUse);
    capacity = c->byIdCapacity;
    inUse = c->byIdPagesInUse;
    freePages(c->byIdPages32, capacity, inUse);
    c->byIdCapacity = 0;
    c->byIdPagesInUse = 0;
    c->wide = 0;
}

uint32_t PronCache_ComputeCRC(const PronCache* c)
{
    uint32_t crc = 0xFFFFFFFFu;
    crc = DVKCrc_AddValue(c->singleUnit, 4, crc);
    crc = DVKCrc_AddValue(c->scratchCapacity, 4, crc);
    crc = addPages(c->phonemePages, c->phonemePagesInUse, crc);
    crc = DVKCrc_AddValue(c->phonemeCapacity, 4, crc);
    crc = DVKCrc_AddValue(c->phonemePagesInUse, 4, crc);
    crc = addPages(c->expandedPages, c->expandedPagesInUse, crc);
    crc = DVKCrc_AddValue(c->expandedCapacity, 4, crc);
    crc = DVKCrc_AddValue(c->expandedPagesInUse, 4, crc);
    crc = DVKCrc_AddValue(c->fill, 4, crc);
    for (uint32_t i = 0; i < c->pairPagesInUse * kPage; ++i) {
        const uint32_t pair = c->pairPages[i >> 8][i & 255];
        crc = DVKCrc_AddValue(pair & 0xFFFF, 2, crc);
        crc = DVKCrc_AddValue(pair >> 16, 2, crc);
    }
    const uint32_t fields[] = {c->pairCapacity, c->pairPagesInUse, c->ownerFlag,    c->hashFlag,
                               c->byIdFlag,     c->keepPhonemes,   c->keepExpanded, c->count};
    for (uint32_t v : fields)
        crc = DVKCrc_AddValue(v, 4, crc);
    if (c->singleUnitTable != nullptr)
        crc = DVKCrc_AddArray(c->singleUnitTable, 2, static_cast<int32_t>(c->n + 1), crc);
    crc = DVKCrc_AddValue(c->n, 4, crc);
    if (c->byIdPages32 != nullptr)
        crc = addPages(c->byIdPages32, c->byIdPagesInUse, crc);
    else
        crc = addPages(c->byIdPages16, c->byIdPagesInUse, crc);
    crc = DVKCrc_AddValue(c->byIdCapacity, 4, crc);
    return DVKCrc_AddValue(c->byIdPagesInUse, 4, crc);
}

int32_t PronCache_WriteBinFile(PronCache* c, DVKTar* archive, const char* prefix)
{
    BinFileWriter* writer = BinFileWriter_Create(archive, kTag, prefix);
    if (writer == nullptr)
        return 0;
    const uint32_t saved = BrevitParam_Word(kBrevitParamSavePronCache);
    bool ok = BinFileWriter_WriteUnsignedInt(writer, saved) != 0;
    if (saved != 0) {
        const uint32_t words[16] = {c->singleUnit,       c->phonemeCapacity, c->phonemePagesInUse, c->expandedCapacity,
                                    c->expandedPagesInUse, c->fill,          c->pairCapacity,      c->pairPagesInUse,
                                    c->ownerFlag,        c->byIdFlag,        c->keepPhonemes,      c->keepExpanded,
                                    c->count,            c->n,               c->byIdCapacity,      c->byIdPagesInUse};
        for (uint32_t w : words)
            ok = ok && BinFileWriter_WriteUnsignedInt(writer, w) != 0;
        ok = ok &&
             BinFileWriter_WriteChunkedArray(writer, reinterpret_cast<void* const*>(c->phonemePages),
                                             c->phonemePagesInUse, kPage, 2) != 0 &&
             BinFileWriter_WriteChunkedArray(writer, reinterpret_cast<void* const*>(c->expandedPages),
                                             c->expandedPagesInUse, kPage, 2) != 0 &&
             BinFileWriter_WriteChunkedArray(writer, reinterpret_cast<void* const*>(c->pairPages), c->pairPagesInUse,
                                             kPage, 4) != 0 &&
             BinFileWriter_WriteArray(writer, c->singleUnitTable, c->singleUnitTable != nullptr ? c->n + 1 : 0, 2) != 0;
        if (ok && c->byIdFlag != 0) {
            // The width follows from the pages; the table always has it.
            const bool wide = widthIsWide(c->phonemePagesInUse, c->expandedPagesInUse);
            if (c->byIdPagesInUse > 0 && wide != (c->wide != 0))
                ok = false;
            else if (wide)
                ok = BinFileWriter_WriteChunkedArray(writer, reinterpret_cast<void* const*>(c->byIdPages32),
                                                     c->byIdPagesInUse, kPage, 4) != 0;
            else
                ok = BinFileWriter_WriteChunkedArray(writer, reinterpret_cast<void* const*>(c->byIdPages16),
                                                     c->byIdPagesInUse, kPage, 2) != 0;
        }
    }
    const bool completed = BinFileWriter_Delete(writer) == 0;
    return ok && completed ? 1 : 0;
}

int32_t PronCache_ReadBinFile(PronCache* c, DVKTar* archive, const char* prefix)
{
    BinFileReader* reader = BinFileReader_Create(archive, kTag, prefix);
    if (reader == nullptr)
        return 0;
    uint32_t saved = 0;
    if (BinFileReader_ReadUnsignedInt(reader, &saved) == 0) {
        BinFileReader_Delete(reader);
        return 0;
    }
    if (saved == 0) {
        BinFileReader_Delete(reader);
        return 1;
    }
    Words w{};
    uint32_t* words = &w.singleUnit;
    bool ok = true;
    for (int k = 0; ok && k < 16; ++k)
        ok = BinFileReader_ReadUnsignedInt(reader, &words[k]) != 0;
    // The record must suit the cache it goes into.
    ok = ok && w.singleUnit == c->singleUnit && w.byIdFlag == c->byIdFlag && w.keepPhonemes == c->keepPhonemes &&
         w.keepExpanded == c->keepExpanded && w.phonemeCapacity <= kMaxPages && w.expandedCapacity <= kMaxPages &&
         w.pairCapacity <= kMaxPages && w.byIdCapacity <= kMaxPages;
    if (ok)
        ok = w.n == (w.singleUnit != 0 ? static_cast<uint32_t>(Voc_GetNumActiveEntries(c->vocabulary) + 1) : 0);
    PronCache next = *c;
    next.phonemePages = nullptr;
    next.expandedPages = nullptr;
    next.pairPages = nullptr;
    next.byIdPages16 = nullptr;
    next.byIdPages32 = nullptr;
    next.singleUnitTable = nullptr;
    next.phonemeCapacity = w.phonemeCapacity;
    next.phonemePagesInUse = w.phonemePages;
    next.expandedCapacity = w.expandedCapacity;
    next.expandedPagesInUse = w.expandedPages;
    next.fill = w.fill;
    next.pairCapacity = w.pairCapacity;
    next.pairPagesInUse = w.pairPages;
    next.ownerFlag = w.ownerFlag;
    next.count = w.count;
    next.n = w.n;
    next.byIdCapacity = w.byIdCapacity;
    next.byIdPagesInUse = w.byIdPages;
    next.wide = w.byIdFlag != 0 && widthIsWide(w.phonemePages, w.expandedPages) ? 1 : 0;
    // The pages each table was read with, for freeing a refused record.
    uint32_t phonemePages = 0;
    uint32_t expandedPages = 0;
    uint32_t pairPages = 0;
    uint32_t byIdPages = 0;
    ok = ok && readPages(reader, w.phonemeCapacity, w.phonemePages, next.phonemePages, phonemePages);
    ok = ok && readPages(reader, w.expandedCapacity, w.expandedPages, next.expandedPages, expandedPages);
    ok = ok && readPages(reader, w.pairCapacity, w.pairPages, next.pairPages, pairPages);
    void* single = nullptr;
    uint32_t singleCount = 0;
    ok = ok && BinFileReader_AllocateAndReadArray(reader, 2, &single, &singleCount) != 0;
    next.singleUnitTable = static_cast<uint16_t*>(single);
    ok = ok && singleCount == (w.singleUnit != 0 ? w.n + 1 : 0);
    if (ok && w.byIdFlag != 0) {
        ok = next.wide != 0 ? readPages(reader, w.byIdCapacity, w.byIdPages, next.byIdPages32, byIdPages)
                            : readPages(reader, w.byIdCapacity, w.byIdPages, next.byIdPages16, byIdPages);
    } else if (ok) {
        ok = w.byIdPages == 0;
    }
    ok = ok && (w.keepPhonemes != 0 || w.phonemePages == 0) && (w.keepExpanded != 0 || w.expandedPages == 0) &&
         indexFits(next);
    BinFileReader_Delete(reader);
    if (!ok) {
        // Whatever was read goes; the cache keeps its own tables.
        next.phonemePagesInUse = phonemePages;
        next.expandedPagesInUse = expandedPages;
        next.pairPagesInUse = pairPages;
        next.byIdPagesInUse = byIdPages;
        pron_cache::freeTables(&next);
        DVKMem_Free(next.singleUnitTable);
        return 0;
    }
    pron_cache::freeTables(c);
    DVKMem_Free(c->singleUnitTable);
    *c = next;
    if (c->singleUnit == 0)
        PronCache_GrowScratch(c);
    return 1;
}
