// The pronunciation cache: creation, room, lookups and storing entries.
#include "core/brevit/lexicon/pron_cache.h"

#include "core/brevit/acoustic/am_phones.h"
#include "core/brevit/lexicon/pron_cache_parts.h"
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_hash.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <algorithm>
#include <bit>

namespace {

constexpr uint32_t kPage = pron_cache::kPageLength;

uint32_t pairId(uint32_t pair) { return pair & 0xFFFFu; }
uint32_t pairSlot(uint32_t pair) { return pair >> 16; }
uint32_t makePair(uint32_t id, uint32_t slot) { return (id & 0xFFFFu) | (slot << 16); }

uint32_t& pairAt(const PronCache* c, uint32_t i) { return c->pairPages[i >> 8][i & 255]; }

// Pages of a hash index: enough for count pairs, a power of two.
uint32_t hashPages(uint32_t count)
{
    const uint32_t pages = (count + kPage - 1) / kPage;
    return pages == 0 ? 0 : std::bit_ceil(pages);
}

// Slots a data table can still hand out: a pair keeps its slot in 16 bits.
uint32_t dataLimit(const PronCache* c, uint32_t pages)
{
    const uint32_t units = pages * kPage;
    return c->byIdFlag != 0 ? units : std::min<uint32_t>(units, 0x10000u);
}

bool lacksRoom(const PronCache* c, int32_t length)
{
    const uint32_t end = c->fill + static_cast<uint32_t>(length) + 1;
    if (c->keepPhonemes != 0 && end >= dataLimit(c, c->phonemePagesInUse))
        return true;
    if (c->keepExpanded != 0 && end >= dataLimit(c, c->expandedPagesInUse))
        return true;
    return c->keepPhonemes == 0 && c->keepExpanded == 0;
}

// The first empty pair at or after the hash start, with one wrap; S when
// the table is full.
uint32_t firstEmptyPair(const PronCache* c, uint32_t id)
{
    const uint32_t size = c->pairPagesInUse * kPage;
    const uint32_t start = pron_cache::hashStart(id, size);
    for (uint32_t k = 0; k < size; ++k) {
        const uint32_t at = (start + k) & (size - 1);
        if (pairId(pairAt(c, at)) == kNoPronId)
            return at;
    }
    return size;
}

// A fresh hash table of the given pages holding every pair of the old one.
bool rebuildHash(PronCache* c, uint32_t pages)
{
    uint32_t** table = nullptr;
    uint32_t capacity = pages;
    uint32_t inUse = 0;
    if (DVKMem_GrowChunkedArray(reinterpret_cast<void***>(&table), &capacity, &inUse, 8, 4, pages * kPage) == 0)
        return false;
    for (uint32_t p = 0; p < inUse; ++p)
        std::fill(table[p], table[p] + kPage, uint32_t{kNoPronId});
    PronCache moved = *c;
    moved.pairPages = table;
    moved.pairPagesInUse = inUse;
    for (uint32_t i = 0; i < c->pairPagesInUse * kPage; ++i) {
        const uint32_t pair = pairAt(c, i);
        if (pairId(pair) != kNoPronId)
            pairAt(&moved, firstEmptyPair(&moved, pairId(pair))) = pair;
    }
    DVKMem_FreeChunksArray(reinterpret_cast<void**>(c->pairPages), c->pairPagesInUse);
    c->pairPages = table;
    c->pairCapacity = capacity;
    c->pairPagesInUse = inUse;
    return true;
}

// Room for count pairs.
bool growPairs(PronCache* c, uint32_t count)
{
    if (c->hashFlag != 0) {
        const uint32_t pages = hashPages(count);
        return pages <= c->pairPagesInUse || rebuildHash(c, pages);
    }
    return DVKMem_GrowChunkedArray(reinterpret_cast<void***>(&c->pairPages), &c->pairCapacity, &c->pairPagesInUse, 8,
                                   4, count) != 0;
}

template <typename T>
bool growById(T*** pages, uint32_t* capacity, uint32_t* inUse, uint32_t ids, T empty)
{
    const uint32_t before = *inUse;
    if (DVKMem_GrowChunkedArray(reinterpret_cast<void***>(pages), capacity, inUse, 8, sizeof(T), ids) == 0)
        return false;
    for (uint32_t p = before; p < *inUse; ++p)
        std::fill((*pages)[p], (*pages)[p] + kPage, empty);
    return true;
}

// Switches the by-id index to 32-bit slots, all empty; the 16-bit table
// goes only once the new one exists.
bool widenById(PronCache* c, uint32_t ids)
{
    uint32_t** table = nullptr;
    uint32_t capacity = 0;
    uint32_t inUse = 0;
    if (!growById<uint32_t>(&table, &capacity, &inUse, ids, 0xFFFFFFFFu))
        return false;
    DVKMem_FreeChunksArray(reinterpret_cast<void**>(c->byIdPages16), c->byIdPagesInUse);
    c->byIdPages16 = nullptr;
    c->byIdPages32 = table;
    c->byIdCapacity = capacity;
    c->byIdPagesInUse = inUse;
    c->wide = 1;
    // The data stays, but nothing finds it any more.
    c->count = 0;
    c->fill = 0;
    return true;
}

bool growData(uint16_t*** pages, uint32_t* capacity, uint32_t* inUse, uint32_t slots)
{
    if (*pages == nullptr && *capacity == 0)
        *capacity = (slots + kPage - 1) / kPage;
    return DVKMem_GrowChunkedArray(reinterpret_cast<void***>(pages), capacity, inUse, 8, 2, slots) != 0;
}

// Lookup result of the index.
struct Found {
    bool hit = false;
    uint32_t slot = 0;
    uint32_t position = 0;        // where a miss would be stored
    uint32_t emptyPosition = 0;   // the same in an emptied index
    bool storable = true;         // false: the id has no place in the index
};

Found find(const PronCache* c, uint16_t id)
{
    Found f;
    if (c->byIdFlag != 0) {
        const uint32_t size = c->byIdPagesInUse * kPage;
        if (id >= size) {
            f.storable = false;
            return f;
        }
        const uint32_t slot = c->wide != 0 ? c->byIdPages32[id >> 8][id & 255] : c->byIdPages16[id >> 8][id & 255];
        f.hit = c->wide != 0 ? slot != 0xFFFFFFFFu : slot != 0xFFFFu;
        f.slot = slot;
        f.position = id;
        f.emptyPosition = id;
        return f;
    }
    if (c->hashFlag != 0) {
        const uint32_t size = c->pairPagesInUse * kPage;
        const uint32_t start = pron_cache::hashStart(id, size);
        f.position = size;
        f.emptyPosition = start;
        for (uint32_t k = 0; k < size; ++k) {
            const uint32_t at = (start + k) & (size - 1);
            const uint32_t pair = pairAt(c, at);
            if (pairId(pair) == id) {
                f.hit = true;
                f.slot = pairSlot(pair);
                return f;
            }
            if (pairId(pair) == kNoPronId) {
                f.position = at;
                return f;
            }
        }
        return f;
    }
    int32_t lo = 0;
    int32_t hi = static_cast<int32_t>(c->count) - 1;
    while (lo <= hi) {
        const int32_t mid = (lo + hi) >> 1;
        if (pairId(pairAt(c, static_cast<uint32_t>(mid))) < id)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    f.position = static_cast<uint32_t>(lo);
    f.emptyPosition = 0;
    if (static_cast<uint32_t>(lo) < c->count && pairId(pairAt(c, static_cast<uint32_t>(lo))) == id) {
        f.hit = true;
        f.slot = pairSlot(pairAt(c, static_cast<uint32_t>(lo)));
    }
    return f;
}

uint16_t* unitAt(uint16_t** pages, uint32_t i) { return &pages[i >> 8][i & 255]; }

void answerFromSlot(const PronCache* c, uint32_t slot, const uint16_t** phonemes, const uint16_t** expanded,
                    int32_t* length)
{
    int32_t len = 0;
    if (phonemes != nullptr) {
        if (c->keepPhonemes != 0) {
            const uint16_t* at = unitAt(c->phonemePages, slot);
            len = *at;
            *phonemes = at + 1;
        } else {
            *phonemes = nullptr;
        }
    }
    if (expanded != nullptr) {
        if (c->keepExpanded != 0) {
            const uint16_t* at = unitAt(c->expandedPages, slot);
            len = *at;
            *expanded = at + 1;
        } else {
            *expanded = nullptr;
        }
    }
    *length = len;
}

} // namespace

namespace pron_cache {

uint32_t hashStart(uint32_t id, uint32_t size)
{
    if (size == 0)
        return 0;
    return (kDVKRandTable[id & 255] ^ std::rotl(kDVKRandTable[(id >> 8) & 255], 1)) & (size - 1);
}

const uint16_t* firstUnitPastTable(PronCache* c, uint16_t id)
{
    if (growScratch(c) == 0)
        return &c->emptyUnit;
    c->scratch[0] = kPhonemeEnd;
    const int32_t len = Voc_GetRecogPronunciation(c->vocabulary, id, c->scratch);
    if (len <= 0)
        c->scratch[0] = kPhonemeEnd;
    return c->scratch;
}

} // namespace pron_cache

uint32_t Phoneme_GetPronLength(const uint16_t* s)
{
    uint32_t n = 0;
    while (s[n] != kPhonemeEnd)
        ++n;
    return n;
}

uint32_t Phoneme_StrLen(const uint16_t* s)
{
    uint32_t n = 0;
    while (s[n] != kPhonemeEnd)
        ++n;
    return n;
}

uint32_t Phoneme_GetExpandedPronLength(const uint16_t* s)
{
    uint32_t n = 0;
    while (s[n] != kExpandedEnd)
        ++n;
    return n;
}

uint32_t Phoneme_NameCRC(const char* const* names, int32_t count)
{
    uint32_t crc = DVKCrc_AddValue(static_cast<uint32_t>(count), 4, 0xFFFFFFFFu);
    for (int32_t i = 0; i < count; ++i) {
        int32_t length = 0;
        while (names[i][length] != '\0')
            ++length;
        crc = DVKCrc_AddArray(names[i], 1, length + 1, crc);
    }
    return crc;
}

PronCache* PronCache_Create(int32_t ownerFlag, int32_t hashFlag, int32_t byIdFlag, int32_t keepPhonemes,
                            int32_t keepExpanded, Voc* vocabulary, AM* acousticModel)
{
    auto* c = static_cast<PronCache*>(DVKMem_Calloc(sizeof(PronCache)));
    if (c == nullptr)
        return nullptr;
    c->vocabulary = vocabulary;
    c->acousticModel = acousticModel;
    c->ownerFlag = static_cast<uint32_t>(ownerFlag);
    c->hashFlag = static_cast<uint32_t>(hashFlag);
    c->byIdFlag = static_cast<uint32_t>(byIdFlag);
    c->keepPhonemes = static_cast<uint32_t>(keepPhonemes);
    c->keepExpanded = static_cast<uint32_t>(keepExpanded);
    c->emptyUnit = kPhonemeEnd;
    if (BrevitParam_Word(kBrevitParamSingleUnitCache) == 0)
        return c;
    c->n = static_cast<uint32_t>(Voc_GetNumActiveEntries(vocabulary) + 1);
    const int32_t longest = std::max(Voc_GetMaxRecogPronunciationLength(vocabulary), 0);
    c->singleUnitTable = static_cast<uint16_t*>(DVKMem_Malloc((c->n + 1) * 2));
    auto* pron = static_cast<uint16_t*>(DVKMem_Malloc(static_cast<uint32_t>(longest + 2) * 2));
    if (c->singleUnitTable == nullptr || pron == nullptr) {
        DVKMem_Free(pron);
        DVKMem_Free(c->singleUnitTable);
        DVKMem_Free(c);
        return nullptr;
    }
    for (uint32_t id = 0; id <= c->n; ++id) {
        pron[0] = kPhonemeEnd;
        const int32_t len = id <= 0xFFFF ? Voc_GetRecogPronunciation(vocabulary, static_cast<int32_t>(id), pron) : -1;
        c->singleUnitTable[id] = len > 0 ? pron[0] : kPhonemeEnd;
    }
    // Kept for ids past the table, which are asked of the vocabulary.
    c->scratch = pron;
    c->scratchCapacity = static_cast<uint32_t>(longest + 1);
    c->singleUnit = 1;
    return c;
}

int32_t PronCache_Reserve(PronCache* c, uint32_t pairCount, uint32_t slots)
{
    if (c->singleUnit != 0)
        return 1;
    if (c->byIdFlag == 0)
        slots = std::min<uint32_t>(slots, 65535);
    const uint32_t pages = (slots + kPage - 1) / kPage;
    if (c->byIdFlag != 0) {
        const uint32_t ids = static_cast<uint32_t>(Voc_GetNumActiveEntries(c->vocabulary) + 1);
        // 16-bit slots serve only while every data unit has a 16-bit
        // position below the empty marker: that is also the width the
        // stored form derives from the pages.
        const uint32_t dataPages = std::max({pages, c->phonemePagesInUse, c->expandedPagesInUse});
        bool ok = true;
        if (c->wide != 0)
            ok = growById<uint32_t>(&c->byIdPages32, &c->byIdCapacity, &c->byIdPagesInUse, ids, 0xFFFFFFFFu);
        else if (dataPages * kPage > 65535)
            ok = widenById(c, ids);
        else
            ok = growById<uint16_t>(&c->byIdPages16, &c->byIdCapacity, &c->byIdPagesInUse, ids, 0xFFFFu);
        if (!ok)
            return 0;
    } else if (!growPairs(c, pairCount)) {
        return 0;
    }
    if (c->keepPhonemes != 0 && !growData(&c->phonemePages, &c->phonemeCapacity, &c->phonemePagesInUse, slots))
        return 0;
    if (c->keepExpanded != 0 && !growData(&c->expandedPages, &c->expandedCapacity, &c->expandedPagesInUse, slots))
        return 0;
    return PronCache_GrowScratch(c);
}

int32_t PronCache_GrowScratch(PronCache* c)
{
    if (c == nullptr || c->singleUnit != 0)
        return 1;
    return pron_cache::growScratch(c);
}

int32_t pron_cache::growScratch(PronCache* c)
{
    const uint32_t longest = static_cast<uint32_t>(std::max(Voc_GetMaxRecogPronunciationLength(c->vocabulary), 1));
    if (longest < c->scratchCapacity && c->scratch != nullptr)
        return 1;
    const uint32_t capacity = 3 * longest;
    auto* scratch = static_cast<uint16_t*>(DVKMem_Malloc((capacity + 1) * 2));
    uint16_t* expanded = nullptr;
    if (scratch != nullptr && c->keepExpanded != 0)
        expanded = static_cast<uint16_t*>(DVKMem_Malloc((capacity + 1) * 2));
    if (scratch == nullptr || (c->keepExpanded != 0 && expanded == nullptr)) {
        DVKMem_Free(scratch);
        return 0;
    }
    DVKMem_Free(c->scratch);
    DVKMem_Free(c->scratchExpanded);
    c->scratch = scratch;
    c->scratchExpanded = expanded;
    c->scratchCapacity = capacity;
    return 1;
}

void PronCache_Reset(PronCache* c)
{
    if (c->count == 0 || c->singleUnit != 0)
        return;
    c->count = 0;
    c->fill = 0;
    for (uint32_t p = 0; p < c->byIdPagesInUse; ++p) {
        if (c->wide != 0)
            std::fill(c->byIdPages32[p], c->byIdPages32[p] + kPage, 0xFFFFFFFFu);
        else
            std::fill(c->byIdPages16[p], c->byIdPages16[p] + kPage, uint16_t{0xFFFF});
    }
    if (c->hashFlag != 0 && c->byIdFlag == 0)
        for (uint32_t i = 0; i < c->pairPagesInUse * kPage; ++i)
            pairAt(c, i) = makePair(kNoPronId, pairSlot(pairAt(c, i)));
}

void PronCache_FreeBuffers(PronCache* c)
{
    if (c->singleUnit != 0)
        return;
    pron_cache::freeTables(c);
    c->count = 0;
    c->fill = 0;
}

void PronCache_Delete(PronCache* c)
{
    if (c == nullptr)
        return;
    if (c->singleUnit != 0)
        DVKMem_Free(c->singleUnitTable);
    else
        PronCache_FreeBuffers(c);
    DVKMem_Free(c->scratch);
    DVKMem_Free(c->scratchExpanded);
    DVKMem_Free(c);
}

uint32_t PronCache_GetPron(PronCache* c, uint16_t id)
{
    if (c->singleUnit != 0)
        return 1;
    const Found f = find(c, id);
    if (f.hit)
        return c->keepPhonemes != 0 ? *unitAt(c->phonemePages, f.slot) : *unitAt(c->expandedPages, f.slot);
    if (PronCache_GrowScratch(c) == 0)
        return static_cast<uint32_t>(-1);
    c->scratch[0] = kPhonemeEnd;
    return static_cast<uint32_t>(Voc_GetRecogPronunciation(c->vocabulary, id, c->scratch));
}

int32_t PronCache_GetPronInfo(PronCache* c, uint16_t id, const uint16_t** phonemes, const uint16_t** expanded,
                              int32_t* length)
{
    if (c->singleUnit != 0) {
        if (phonemes != nullptr)
            *phonemes = id <= c->n ? &c->singleUnitTable[id] : pron_cache::firstUnitPastTable(c, id);
        if (expanded != nullptr)
            *expanded = nullptr;
        *length = 1;
        return 1;
    }
    const Found f = find(c, id);
    if (f.hit) {
        answerFromSlot(c, f.slot, phonemes, expanded, length);
        return *length;
    }
    if (PronCache_GrowScratch(c) == 0) {
        // Nowhere to put the pron: reported as unknown.
        if (phonemes != nullptr)
            *phonemes = nullptr;
        if (expanded != nullptr)
            *expanded = nullptr;
        *length = -1;
        return -1;
    }
    c->scratch[0] = kPhonemeEnd;
    const int32_t len = Voc_GetRecogPronunciation(c->vocabulary, id, c->scratch);
    int32_t slot = -1;
    if (len >= 0 && len <= kPronCacheMaxLength && f.storable &&
        PronCache_AddPron(c, id, f.position, f.emptyPosition, c->scratch, nullptr, len, &slot) != 0) {
        answerFromSlot(c, static_cast<uint32_t>(slot), phonemes, expanded, length);
        return *length;
    }
    // Handed out uncached from the scratch buffers.
    if (phonemes != nullptr)
        *phonemes = c->scratch;
    if (expanded != nullptr) {
        *expanded = c->scratchExpanded;
        if (c->scratchExpanded != nullptr) {
            if (len > 0)
                AM_ConvertPhonemesToTriphoneIds(c->acousticModel, c->scratch, len, c->scratchExpanded, 0, 0);
            c->scratchExpanded[std::max(len, 0)] = kPhonemeEnd;
        }
    }
    *length = len;
    return len;
}

int32_t PronCache_AddPron(PronCache* c, uint16_t id, uint32_t position, uint32_t emptyPosition,
                          const uint16_t* phonemes, const uint16_t* expanded, int32_t length, int32_t* slot)
{
    *slot = -1;
    if (c->singleUnit != 0 || length < 0 || length > kPronCacheMaxLength)
        return 0;
    if (c->byIdFlag != 0 && id >= c->byIdPagesInUse * kPage)
        return 0;
    if (kPage - (c->fill % kPage) <= static_cast<uint32_t>(length))
        c->fill = (c->fill / kPage + 1) * kPage;
    if (c->byIdFlag == 0) {
        const uint32_t pagesBefore = c->pairPagesInUse;
        if (!growPairs(c, c->count + 1)) {
            PronCache_Reset(c);
            position = emptyPosition;
            if (c->count + 1 > c->pairPagesInUse * kPage)
                return 0;
        } else if (c->hashFlag != 0 && c->pairPagesInUse != pagesBefore) {
            // Every pair moved: the place is found again.
            position = firstEmptyPair(c, id);
            emptyPosition = pron_cache::hashStart(id, c->pairPagesInUse * kPage);
        }
    }
    if (lacksRoom(c, length)) {
        PronCache_Reset(c);
        position = emptyPosition;
        if (lacksRoom(c, length))
            return 0;
    }
    if (c->hashFlag != 0 && c->byIdFlag == 0 && position >= c->pairPagesInUse * kPage)
        position = firstEmptyPair(c, id);
    const uint32_t at = c->fill;
    if (c->byIdFlag != 0) {
        if (c->wide != 0)
            c->byIdPages32[id >> 8][id & 255] = at;
        else
            c->byIdPages16[id >> 8][id & 255] = static_cast<uint16_t>(at);
    } else {
        if (c->hashFlag == 0 && position < c->count)
            DVKMem_MoveChunkedArrayElements(reinterpret_cast<void**>(c->pairPages), kPage, 4,
                                            static_cast<int32_t>(position), static_cast<int32_t>(c->count - position),
                                            static_cast<int32_t>(position + 1));
        pairAt(c, position) = makePair(id, at);
    }
    const uint32_t n = static_cast<uint32_t>(length);
    if (phonemes != nullptr) {
        if (c->keepPhonemes != 0) {
            uint16_t* p = unitAt(c->phonemePages, at);
            p[0] = static_cast<uint16_t>(n);
            std::copy(phonemes, phonemes + n, p + 1);
            *unitAt(c->phonemePages, at + n + 1) = kPhonemeEnd;
        }
        if (c->keepExpanded != 0) {
            uint16_t* e = unitAt(c->expandedPages, at);
            e[0] = static_cast<uint16_t>(n);
            if (n > 0)
                AM_ConvertPhonemesToTriphoneIds(c->acousticModel, phonemes, length, e + 1, 0, 0);
            *unitAt(c->expandedPages, at + n + 1) = kPhonemeEnd;
        }
    } else {
        if (c->keepExpanded != 0) {
            uint16_t* e = unitAt(c->expandedPages, at);
            e[0] = static_cast<uint16_t>(n);
            std::copy(expanded, expanded + n, e + 1);
            *unitAt(c->expandedPages, at + n + 1) = kExpandedEnd;
        }
        if (c->keepPhonemes != 0) {
            // No phonemes came with it: an empty phoneme string.
            uint16_t* p = unitAt(c->phonemePages, at);
            p[0] = 0;
            *unitAt(c->phonemePages, at + 1) = kPhonemeEnd;
        }
    }
    ++c->count;
    c->fill = at + n + 2;
    *slot = static_cast<int32_t>(at);
    return 1;
}

int32_t PronCache_AddExpandedPron(PronCache* c, uint16_t id, const uint16_t* expanded, int32_t length)
{
    if (c->singleUnit != 0)
        return 0;
    uint32_t position = 0;
    uint32_t emptyPosition = 0;
    if (c->byIdFlag != 0) {
        position = id;
        emptyPosition = id;
    } else if (c->hashFlag != 0) {
        position = firstEmptyPair(c, id);
        emptyPosition = pron_cache::hashStart(id, c->pairPagesInUse * kPage);
    } else {
        position = find(c, id).position;
    }
    int32_t slot = -1;
    return PronCache_AddPron(c, id, position, emptyPosition, nullptr, expanded, length, &slot);
}
