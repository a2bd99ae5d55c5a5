#include "core/brevit/lexicon/active_word_list.h"

#include "core/brevit/lexicon/active_word_list_pages.h"

#include <bit>

namespace {

bool bitAt(const AWL* list, int64_t k)
{
    return (list->bitSet[k >> 3] >> (k & 7)) & 1;
}

// Set bits among bits [from, to) of the bit set.
int32_t countBits(const AWL* list, int64_t from, int64_t to)
{
    int32_t n = 0;
    while (from < to && (from & 7) != 0)
        n += bitAt(list, from++);
    while (from + 8 <= to) {
        n += std::popcount(list->bitSet[from >> 3]);
        from += 8;
    }
    while (from < to)
        n += bitAt(list, from++);
    return n;
}

// Bit index of static word id through the block table: the last block
// starting at or before the id, then set bits counted forward in it.
int64_t bitOfActiveId(const AWL* list, int32_t id)
{
    int32_t lo = 0;
    int32_t hi = list->blockCount - 1;
    while (lo < hi) {
        const int32_t mid = lo + (hi - lo + 1) / 2;
        if (list->blockTable[mid] <= id)
            lo = mid;
        else
            hi = mid - 1;
    }
    int32_t skip = id - list->blockTable[lo];
    int64_t k = int64_t{lo} << list->blockShift;
    while ((k & 7) != 0) {
        if (bitAt(list, k) && skip-- == 0)
            return k;
        ++k;
    }
    for (;;) {
        const int32_t inByte = std::popcount(list->bitSet[k >> 3]);
        if (inByte > skip)
            break;
        skip -= inByte;
        k += 8;
    }
    for (;; ++k)
        if (bitAt(list, k) && skip-- == 0)
            return k;
}

int32_t staticActiveId(const AWL* list, uint32_t masterId)
{
    const int64_t first = list->firstMasterId;
    if (list->contiguous) {
        const int64_t id = int64_t{masterId} - first;
        return id >= 0 && id < list->staticWords ? static_cast<int32_t>(id) : kAWLNone;
    }
    if (list->masterIds != nullptr) {
        for (int32_t id = 0; id < list->staticWords; ++id)
            if (list->masterIds[id] == masterId)
                return id;
        return kAWLNone;
    }
    if (list->bitSet == nullptr || int64_t{masterId} < first || int64_t{masterId} > list->lastMasterId)
        return kAWLNone;
    const int64_t k = int64_t{masterId} - first;
    if (k >= int64_t{list->bitSetBytes} * 8 || !bitAt(list, k))
        return kAWLNone;
    const int64_t block = k >> list->blockShift;
    return list->blockTable[block] + countBits(list, block << list->blockShift, k);
}

int32_t dynamicActiveId(const AWL* list, uint32_t masterId)
{
    int32_t lo = 0;
    int32_t hi = list->wordCount;
    while (lo < hi) {
        const int32_t mid = lo + (hi - lo) / 2;
        if (awlAt(list->words, awlAt(list->wordIndex, mid)) < masterId)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo < list->wordCount) {
        const int32_t slot = awlAt(list->wordIndex, lo);
        if (awlAt(list->words, slot) == masterId)
            return list->staticWords + slot;
    }
    return kAWLNone;
}

// Static and run-time prons of a word; false for an id without prons.
bool pronRuns(const AWL* list, int32_t activeId, int32_t* staticFirst, int32_t* staticCount,
              int32_t* dynamicStart, int32_t* dynamicLength)
{
    *staticFirst = *staticCount = *dynamicStart = *dynamicLength = 0;
    if (activeId < 0 || activeId >= kAWLSilence || !AWL_IsWord(list, activeId))
        return false;
    if (activeId < list->staticWords)
        AWL_StaticRun(list, activeId, staticFirst, staticCount);
    AWL_DynamicRun(list, activeId, dynamicStart, dynamicLength);
    return true;
}

} // namespace

void AWL_StaticRun(const AWL* list, int32_t a, int32_t* first, int32_t* count)
{
    if (list->pronCounts != nullptr) {
        *count = list->pronCounts[a];
        *first = *count > 0 ? list->firstProns[a] : 0;
        return;
    }
    // Lower and upper bound of a in the ascending pron-to-word table.
    int32_t lo = 0;
    int32_t hi = list->staticProns;
    while (lo < hi) {
        const int32_t mid = lo + (hi - lo) / 2;
        if (list->pronToWord[mid] < a)
            lo = mid + 1;
        else
            hi = mid;
    }
    int32_t end = lo;
    hi = list->staticProns;
    while (end < hi) {
        const int32_t mid = end + (hi - end) / 2;
        if (list->pronToWord[mid] <= a)
            end = mid + 1;
        else
            hi = mid;
    }
    *first = lo;
    *count = end - lo;
}

void AWL_DynamicRun(const AWL* list, int32_t a, int32_t* start, int32_t* length)
{
    *length = 0;
    // Every index entry belongs to an id at or below the highest cached one.
    if (a > list->highestCachedId) {
        *start = list->pronCount;
        return;
    }
    const auto below = [&](int32_t k) { return awlIndexedWord(list, k) < a; };
    int32_t from = -1;
    if (list->cacheFlag && list->firstPronCache != nullptr) {
        // Trusted only where it is the lower bound: removals may leave it
        // stale until the next rebuild.
        const int32_t cached = awlAt(list->firstPronCache, a);
        if (cached <= list->pronCount && (cached == 0 || below(cached - 1)) &&
            (cached == list->pronCount || !below(cached)))
            from = cached;
    }
    if (from < 0) {
        from = 0;
        int32_t hi = list->pronCount;
        while (from < hi) {
            const int32_t mid = from + (hi - from) / 2;
            if (below(mid))
                from = mid + 1;
            else
                hi = mid;
        }
    }
    int32_t to = from;
    while (to < list->pronCount && awlIndexedWord(list, to) == a)
        ++to;
    *start = from;
    *length = to - from;
}

bool AWL_IsWord(const AWL* list, int32_t activeId)
{
    if (activeId < 0)
        return false;
    if (activeId < list->staticWords)
        return true;
    return activeId < kAWLSilence && awlWordSlotInUse(list, activeId - list->staticWords);
}

uint32_t AWL_GetMasterId(const AWL* list, int32_t activeId)
{
    if (activeId < 0 || activeId >= kAWLSilence)
        return kAWLNoMasterId;
    if (activeId < list->staticWords) {
        if (list->contiguous)
            return static_cast<uint32_t>(int64_t{list->firstMasterId} + activeId);
        if (list->masterIds != nullptr)
            return list->masterIds[activeId];
        return static_cast<uint32_t>(int64_t{list->firstMasterId} + bitOfActiveId(list, activeId));
    }
    const int32_t slot = activeId - list->staticWords;
    if (slot > list->highestWordSlot)
        return kAWLNoMasterId;
    return awlAt(list->words, slot);
}

int32_t AWL_GetActiveIdFromMasterId(const AWL* list, uint32_t masterId)
{
    if (masterId >= kAWLNoMasterId)
        return kAWLNone;
    const int32_t id = staticActiveId(list, masterId);
    if (id != kAWLNone)
        return id;
    return dynamicActiveId(list, masterId);
}

int32_t AWL_GetActiveIdFromPronId(const AWL* list, int32_t pronId, int32_t* index)
{
    if (index != nullptr)
        *index = 0;
    if (pronId == kAWLSilence)
        return kAWLSilence;
    if (pronId < 0 || pronId > kAWLSilence - 1)
        return kAWLNone;
    if (pronId < list->staticProns) {
        const int32_t word = list->pronToWord[pronId];
        if (index != nullptr) {
            int32_t first = 0;
            int32_t count = 0;
            AWL_StaticRun(list, word, &first, &count);
            *index = pronId - first;
        }
        return word;
    }
    const int32_t slot = pronId - list->staticProns;
    if (!awlPronSlotInUse(list, slot))
        return kAWLNone;
    if (index != nullptr)
        *index = awlAt(list->positions, slot);
    return awlAt(list->prons, slot);
}

int32_t AWL_GetNumProns(const AWL* list, int32_t activeId)
{
    if (activeId == kAWLSilence)
        return 1;
    int32_t first, count, start, length;
    pronRuns(list, activeId, &first, &count, &start, &length);
    return count + length;
}

int32_t AWL_GetNthPronId(const AWL* list, int32_t activeId, int32_t n)
{
    if (activeId == kAWLSilence)
        return n == 0 ? kAWLSilence : kAWLNone;
    int32_t first, count, start, length;
    if (n < 0 || !pronRuns(list, activeId, &first, &count, &start, &length))
        return kAWLNone;
    if (n < count)
        return first + n;
    n -= count;
    if (n < length)
        return list->staticProns + awlAt(list->pronIndex, start + n);
    return kAWLNone;
}

int32_t AWL_GetPronIds(const AWL* list, int32_t activeId, uint16_t* buffer, int32_t size)
{
    if (buffer == nullptr || size <= 0)
        return 0;
    AWLPronIdIterator it;
    AWL_PronIdIteratorInit(list, &it, activeId);
    int32_t n = 0;
    for (int32_t pron; n < size && (pron = AWL_PronIdIteratorNext(list, &it)) != kAWLNone;)
        buffer[n++] = static_cast<uint16_t>(pron);
    return n;
}

void AWL_PronIdIteratorInit(const AWL* list, AWLPronIdIterator* iterator, int32_t activeId)
{
    iterator->activeId = activeId;
    int32_t first, count, start, length;
    if (activeId == kAWLSilence) {
        // The silence word's one pron is itself.
        first = kAWLSilence;
        count = 1;
        start = length = 0;
    } else {
        pronRuns(list, activeId, &first, &count, &start, &length);
    }
    iterator->staticNext = first;
    iterator->staticEnd = first + count;
    iterator->dynamicNext = start;
    iterator->dynamicEnd = start + length;
}

int32_t AWL_PronIdIteratorNext(const AWL* list, AWLPronIdIterator* iterator)
{
    if (iterator->staticNext < iterator->staticEnd)
        return iterator->staticNext++;
    if (iterator->dynamicNext < iterator->dynamicEnd)
        return list->staticProns + awlAt(list->pronIndex, iterator->dynamicNext++);
    return kAWLNone;
}

int32_t AWL_IsActiveIdMapped(const AWL* list, int32_t activeId)
{
    if (activeId == kAWLSilence || activeId == kAWLNone)
        return 1;
    return AWL_IsWord(list, activeId) ? 1 : 0;
}

int32_t AWL_IsPronIdInUse(const AWL* list, int32_t pronId)
{
    if (pronId == kAWLSilence || pronId == kAWLNone)
        return 1;
    if (pronId < 0 || pronId > kAWLNone)
        return 0;
    if (pronId < list->staticProns)
        return list->pronToWord[pronId] < kAWLNone ? 1 : 0;
    return awlPronSlotInUse(list, pronId - list->staticProns) ? 1 : 0;
}

int32_t AWL_IsDynamicPronInUse(const AWL* list, int32_t pronId)
{
    if (pronId < list->staticProns || pronId >= kAWLSilence)
        return 0;
    return awlPronSlotInUse(list, pronId - list->staticProns) ? 1 : 0;
}

int32_t AWL_IsDynamicActiveId(const AWL* list, int32_t activeId)
{
    return activeId >= list->staticWords && activeId != kAWLSilence && activeId != kAWLNone ? 1 : 0;
}

int32_t AWL_CanFollow(const AWL* list, int32_t pronA, int32_t pronB)
{
    const auto isStatic = [&](int32_t p) { return p >= 0 && p < list->staticProns; };
    if (!isStatic(pronA) || list->pronCategories == nullptr || !isStatic(pronB))
        return 1;
    const uint8_t a = list->pronCategories[pronA];
    const uint8_t b = list->pronCategories[pronB];
    if (a == 0)
        return b != 1 ? 1 : 0;
    if (a == 1)
        return b != 0 ? 1 : 0;
    return 1;
}

int32_t AWL_GetNumActiveIds(const AWL* list)
{
    return list->staticWords + list->wordCount;
}

int32_t AWL_GetNumPronIds(const AWL* list)
{
    return list->staticProns + list->pronCount;
}

int32_t AWL_GetNumDynamicProns(const AWL* list)
{
    return list->pronCount;
}

int32_t AWL_GetFirstDynamicActiveId(const AWL* list)
{
    return list->staticWords;
}

int32_t AWL_GetActiveIdLimit(const AWL* list)
{
    const int32_t limit = list->staticWords + list->highestWordSlot;
    return limit < 1 ? 1 : limit;
}

int32_t AWL_GetPronIdLimit(const AWL* list)
{
    return list->staticProns + list->highestPronSlot;
}

int32_t AWL_HasDynamicPronRoom(const AWL* list)
{
    return int64_t{list->pronCount} != int64_t{list->pronCapacity} * kAWLPageLength ? 1 : 0;
}

int32_t AWL_GetDynamicPronIds(const AWL* list, uint16_t* buffer, int32_t n)
{
    int32_t written = 0;
    for (int32_t slot = 0; slot <= list->highestPronSlot && written < n; ++slot)
        if (awlAt(list->prons, slot) != kAWLNone)
            buffer[written++] = static_cast<uint16_t>(list->staticProns + slot);
    return written;
}

int32_t AWL_GetDynamicMWLIds(const AWL* list, uint32_t* buffer, int32_t n)
{
    int32_t written = 0;
    for (int32_t slot = 0; slot <= list->highestWordSlot && written < n; ++slot)
        if (awlAt(list->words, slot) != kAWLNoMasterId)
            buffer[written++] = awlAt(list->words, slot);
    return written;
}
