// Adding and removing run-time words and prons. Every table is grown before
// anything is changed, so a failed growth leaves the lookups as they were.
#include "core/brevit/lexicon/active_word_list.h"

#include "core/brevit/lexicon/active_word_list_pages.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <cstring>

namespace {

template <typename T>
bool growTable(T*** table, uint32_t* capacity, uint32_t* pages, int64_t count, uint32_t fill = 0)
{
    return AWL_GrowPages(reinterpret_cast<void***>(table), capacity, pages, sizeof(T), count, fill);
}

// Makes the first-pron cache cover id (with the cache flag); raising the
// highest cached id itself waits for raiseCachedId.
bool growCacheFor(AWL* list, int32_t id)
{
    if (!list->cacheFlag || id <= list->highestCachedId)
        return true;
    return growTable(&list->firstPronCache, &list->cacheCapacity, &list->cachePages,
                     int64_t{id} + 1);
}

// Ids above the old highest have no run-time prons: their run starts at the end.
void raiseCachedId(AWL* list, int32_t id)
{
    if (id <= list->highestCachedId)
        return;
    if (list->cacheFlag && list->firstPronCache != nullptr)
        for (int32_t b = list->highestCachedId + 1; b <= id; ++b)
            awlAt(list->firstPronCache, b) = static_cast<uint16_t>(list->pronCount);
    list->highestCachedId = id;
}

void insertAt(uint16_t** index, int32_t count, int32_t position, int32_t value)
{
    DVKMem_MoveChunkedArrayElements(reinterpret_cast<void**>(index), kAWLPageLength, 2, position,
                                    count - position, position + 1);
    awlAt(index, position) = static_cast<uint16_t>(value);
}

void removeAt(uint16_t** index, int32_t count, int32_t position, int32_t n)
{
    DVKMem_MoveChunkedArrayElements(reinterpret_cast<void**>(index), kAWLPageLength, 2,
                                    position + n, count - position - n, position);
}

// Position in the word index of the first entry whose word-list id is above
// (upper) or not below (!upper) masterId.
int32_t wordIndexBound(const AWL* list, uint32_t masterId, bool upper)
{
    int32_t lo = 0;
    int32_t hi = list->wordCount;
    while (lo < hi) {
        const int32_t mid = lo + (hi - lo) / 2;
        const uint32_t at = awlAt(list->words, awlAt(list->wordIndex, mid));
        if (at < masterId || (upper && at == masterId))
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

void lowerHighestSlots(AWL* list)
{
    while (list->highestWordSlot >= 0 && awlAt(list->words, list->highestWordSlot) == kAWLNoMasterId)
        --list->highestWordSlot;
    while (list->highestPronSlot >= 0 && awlAt(list->prons, list->highestPronSlot) == kAWLNone)
        --list->highestPronSlot;
}

int32_t freeWordSlot(const AWL* list)
{
    int32_t slot = list->highestWordSlot == list->wordCount - 1 ? list->wordCount : 0;
    const int64_t allocated = int64_t{list->wordPages} * kAWLPageLength;
    while (slot < allocated && awlAt(list->words, slot) != kAWLNoMasterId)
        ++slot;
    return slot;
}

int32_t freePronSlot(const AWL* list)
{
    if (list->highestPronSlot == list->pronCount - 1)
        return list->pronCount;
    int32_t slot = 0;
    while (slot <= list->highestPronSlot && awlAt(list->prons, slot) != kAWLNone)
        ++slot;
    return slot;
}

} // namespace

bool AWL_GrowPages(void*** table, uint32_t* capacity, uint32_t* pages, uint32_t size,
                   int64_t count, uint32_t fill)
{
    const uint32_t before = *pages;
    if (*table != nullptr && int64_t{before} * kAWLPageLength >= count)
        return true;
    if (count > UINT32_MAX ||
        !DVKMem_GrowChunkedArray(table, capacity, pages, kAWLPageShift, size,
                                 static_cast<uint32_t>(count)))
        return false;
    for (uint32_t p = before; p < *pages; ++p) {
        auto* page = static_cast<unsigned char*>((*table)[p]);
        for (int32_t i = 0; i < kAWLPageLength; ++i)
            std::memcpy(page + static_cast<size_t>(i) * size, &fill, size);
    }
    return true;
}

int32_t AWL_AddActiveId(AWL* list, uint32_t masterId)
{
    // 0xFFFFFF marks a free slot.
    if (masterId >= kAWLNoMasterId ||
        int64_t{list->wordCount} >= int64_t{list->wordCapacity} * kAWLPageLength)
        return kAWLNone;
    const int32_t slot = freeWordSlot(list);
    const int32_t id = list->staticWords + slot;
    if (id > kAWLMaxActiveId)
        return kAWLNone;
    if (!growCacheFor(list, id))
        return kAWLNone;
    if (slot > list->highestWordSlot &&
        (!growTable(&list->words, &list->wordCapacity, &list->wordPages, int64_t{slot} + 1,
                    kAWLNoMasterId) ||
         !growTable(&list->wordIndex, &list->wordIndexCapacity, &list->wordIndexPages,
                    int64_t{slot} + 1)))
        return kAWLNone;
    raiseCachedId(list, id);
    const int32_t position = wordIndexBound(list, masterId, true);
    awlAt(list->words, slot) = masterId;
    insertAt(list->wordIndex, list->wordCount, position, slot);
    ++list->wordCount;
    if (slot > list->highestWordSlot)
        list->highestWordSlot = slot;
    return id;
}

int32_t AWL_AddPron(AWL* list, int32_t activeId)
{
    if (!AWL_IsWord(list, activeId) || list->staticProns + list->pronCount > kAWLMaxPronId)
        return kAWLNone;
    int32_t first = 0;
    int32_t staticCount = 0;
    if (activeId < list->staticWords)
        AWL_StaticRun(list, activeId, &first, &staticCount);
    int32_t start = 0;
    int32_t length = 0;
    AWL_DynamicRun(list, activeId, &start, &length);
    // The position table keeps a pron's place in a byte.
    const int32_t place = staticCount + length;
    if (place > 255)
        return kAWLNone;
    const int32_t slot = freePronSlot(list);
    const int64_t needed = int64_t{list->pronCount} + 1;
    if (!growCacheFor(list, activeId) ||
        !growTable(&list->prons, &list->pronCapacity, &list->pronPages, needed, kAWLNone) ||
        !growTable(&list->positions, &list->positionCapacity, &list->positionPages, needed) ||
        !growTable(&list->pronIndex, &list->pronIndexCapacity, &list->pronIndexPages, needed))
        return kAWLNone;
    raiseCachedId(list, activeId);
    awlAt(list->prons, slot) = static_cast<uint16_t>(activeId);
    awlAt(list->positions, slot) = static_cast<uint8_t>(place);
    insertAt(list->pronIndex, list->pronCount, start + length, slot);
    ++list->pronCount;
    if (slot > list->highestPronSlot)
        list->highestPronSlot = slot;
    if (list->cacheFlag && list->firstPronCache != nullptr)
        for (int32_t b = activeId + 1; b <= list->highestCachedId; ++b)
            ++awlAt(list->firstPronCache, b);
    return list->staticProns + slot;
}

int32_t AWL_RemoveActiveId(AWL* list, int32_t activeId, int32_t rebuildCache)
{
    if (activeId < list->staticWords || activeId == kAWLSilence || activeId == kAWLNone)
        return 0;
    const int32_t slot = activeId - list->staticWords;
    if (!awlWordSlotInUse(list, slot))
        return 1;
    const uint32_t masterId = awlAt(list->words, slot);
    int32_t position = wordIndexBound(list, masterId, false);
    while (position < list->wordCount && awlAt(list->wordIndex, position) != slot)
        ++position;
    if (position == list->wordCount)
        return 0;
    removeAt(list->wordIndex, list->wordCount, position, 1);
    awlAt(list->words, slot) = kAWLNoMasterId;
    --list->wordCount;

    int32_t start = 0;
    int32_t length = 0;
    AWL_DynamicRun(list, activeId, &start, &length);
    for (int32_t k = start; k < start + length; ++k) {
        const int32_t pronSlot = awlAt(list->pronIndex, k);
        awlAt(list->prons, pronSlot) = kAWLNone;
        awlAt(list->positions, pronSlot) = 0;
    }
    removeAt(list->pronIndex, list->pronCount, start, length);
    list->pronCount -= length;
    if (rebuildCache)
        AWL_RebuildFirstPronCache(list);
    lowerHighestSlots(list);
    return 1;
}

int32_t AWL_RemovePron(AWL* list, int32_t pronId)
{
    if (pronId < list->staticProns || pronId >= kAWLSilence)
        return 0;
    const int32_t slot = pronId - list->staticProns;
    if (!awlPronSlotInUse(list, slot))
        return 0;
    const int32_t activeId = awlAt(list->prons, slot);
    int32_t start = 0;
    int32_t length = 0;
    AWL_DynamicRun(list, activeId, &start, &length);
    // A run-time word keeps at least one pron.
    if (activeId >= list->staticWords && length <= 1)
        return 0;
    int32_t k = start;
    while (k < start + length && awlAt(list->pronIndex, k) != slot)
        ++k;
    if (k == start + length)
        return 0;
    for (int32_t j = k + 1; j < start + length; ++j)
        --awlAt(list->positions, awlAt(list->pronIndex, j));
    removeAt(list->pronIndex, list->pronCount, k, 1);
    awlAt(list->prons, slot) = kAWLNone;
    awlAt(list->positions, slot) = 0;
    --list->pronCount;
    AWL_RebuildFirstPronCache(list);
    lowerHighestSlots(list);
    return 1;
}

void AWL_RebuildFirstPronCache(AWL* list)
{
    if (!list->cacheFlag || list->firstPronCache == nullptr)
        return;
    int32_t k = 0;
    for (int32_t b = 0; b <= list->highestCachedId; ++b) {
        while (k < list->pronCount && awlIndexedWord(list, k) < b)
            ++k;
        awlAt(list->firstPronCache, b) = static_cast<uint16_t>(k);
    }
}
