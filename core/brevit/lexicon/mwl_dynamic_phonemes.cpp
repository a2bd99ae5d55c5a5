// Phonemes defined at run time: the expansion pool of the added master
// phonemes, the recognition phonemes handed out, and the use counts that
// stored prons keep on both; and the encoded prons that name them.
#include "core/brevit/lexicon/mwl_dynamic_parts.h"

#include "core/brevit/lexicon/mwl_util.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <algorithm>
#include <cstring>

namespace {

// The slot an added master id names (1 .. S), 0 for a static id or one past S.
int32_t slotOf(const MWLDynamic* s, uint16_t id)
{
    const int32_t k = int32_t{id} - s->staticMasterCount;
    return k >= 1 && k <= s->slotCount ? k : 0;
}

bool slotAllocated(const MWLDynamic* s, int32_t k)
{
    return k >= 1 && k <= s->highestSlot && s->slotCounts[k - 1] != kMWLDynamicFree;
}

// Recognition phoneme index of an added id (0 .. R - 1), -1 for a static one.
int32_t recogIndex(const MWLDynamic* s, uint16_t id)
{
    const int32_t index = int32_t{id} - s->staticRecogCount - 1;
    return index >= 0 && index < s->recogCount ? index : -1;
}

// Cuts a freed slot's expansion out of the pool.
void freeSlot(MWLDynamic* s, int32_t k)
{
    uint32_t* offsets = s->slotOffsets;
    const uint32_t start = offsets[k];
    const uint32_t length = offsets[k + 1] - start;
    const uint32_t usedEnd = offsets[s->highestSlot + 1];
    DVKMem_Move(s->pool + start, s->pool + start + length, (usedEnd - start - length) * 2);
    for (int32_t j = k + 1; j <= s->highestSlot + 1; ++j)
        offsets[j] -= length;
    s->poolUsed -= length;
    if (k == s->highestSlot) {
        int32_t highest = k - 1;
        while (highest > 0 && s->slotCounts[highest - 1] == kMWLDynamicFree)
            --highest;
        s->highestSlot = static_cast<uint16_t>(highest);
    }
}

} // namespace

uint16_t MWLDynamic_GetFreeRecogPhonemeId(MWLDynamic* store)
{
    for (int32_t i = 0; i < store->recogCount; ++i) {
        if (store->recogCounts[i] != kMWLDynamicFree)
            continue;
        const int32_t id = store->staticRecogCount + 1 + i;
        if (id >= kMWLDynamicNoPhoneme)
            break;
        store->recogCounts[i] = 0;
        return static_cast<uint16_t>(id);
    }
    return kMWLDynamicNoPhoneme;
}

uint16_t MWLDynamic_AddMasterPhoneme(MWLDynamic* store, int32_t length, const uint16_t* expansion)
{
    if (length < 1 || expansion[length - 1] != kMWLPronEnd)
        return kMWLDynamicNoPhoneme;
    // Use counting indexes the recognition counts by id: the expansion may
    // name static ones and added ones only.
    for (int32_t i = 0; i + 1 < length; ++i)
        if (expansion[i] == kMWLPronEnd || int32_t{expansion[i]} > store->staticRecogCount + store->recogCount)
            return kMWLDynamicNoPhoneme;
    int32_t k = 0;
    for (int32_t i = 0; i < store->slotCount; ++i)
        if (store->slotCounts[i] == kMWLDynamicFree) {
            k = i + 1;
            break;
        }
    if (k == 0 || store->staticMasterCount + k >= kMWLDynamicNoPhoneme)
        return kMWLDynamicNoPhoneme;
    uint32_t* offsets = store->slotOffsets;
    const uint32_t usedEnd = offsets[store->highestSlot + 1];
    const auto l = static_cast<uint32_t>(length);
    if (usedEnd + l > store->poolCapacity)
        return kMWLDynamicNoPhoneme;
    store->slotCounts[k - 1] = 0;
    if (k > store->highestSlot) {
        // k is the first free slot, so it follows the highest used one.
        store->highestSlot = static_cast<uint16_t>(k);
        offsets[k + 1] = offsets[k] + l;
    } else {
        for (int32_t j = k + 1; j <= store->highestSlot + 1; ++j)
            offsets[j] += l;
        DVKMem_Move(store->pool + offsets[k] + l, store->pool + offsets[k], (usedEnd - offsets[k]) * 2);
    }
    DVKMem_Move(store->pool + offsets[k], expansion, l * 2);
    store->poolUsed += l;
    return static_cast<uint16_t>(store->staticMasterCount + k);
}

bool MWLDynamic_IsPronunciationLegal(const MWLDynamic* store, const uint16_t* pron)
{
    for (const uint16_t* p = pron; *p != kMWLPronEnd; ++p)
        if (int32_t{*p} > store->staticMasterCount) {
            const int32_t k = slotOf(store, *p);
            if (k == 0 || store->slotCounts[k - 1] == kMWLDynamicFree)
                return false;
        }
    return true;
}

bool mwlIsStorablePron(const MWLDynamic* s, const uint16_t* pron)
{
    int32_t n = 0;
    for (; pron[n] != kMWLPronEnd; ++n) {
        if (n >= kMWLMaxEncodedPhonemes || pron[n] > kMWLMaxEncodedPhonemeId)
            return false;
        if (int32_t{pron[n]} > s->staticMasterCount && !slotAllocated(s, slotOf(s, pron[n])))
            return false;
    }
    return true;
}

void mwlCountUses(MWLDynamic* s, const uint16_t* pron)
{
    for (const uint16_t* p = pron; *p != kMWLPronEnd; ++p) {
        const int32_t k = int32_t{*p} > s->staticMasterCount ? slotOf(s, *p) : 0;
        if (!slotAllocated(s, k))
            continue;
        if (s->slotCounts[k - 1] < kMWLDynamicSaturated)
            ++s->slotCounts[k - 1];
        for (uint32_t e = s->slotOffsets[k]; e < s->slotOffsets[k + 1] && s->pool[e] != kMWLPronEnd; ++e) {
            const int32_t r = recogIndex(s, s->pool[e]);
            if (r >= 0 && s->recogCounts[r] < kMWLDynamicSaturated)
                ++s->recogCounts[r];
        }
    }
}

bool mwlReleasePron(MWLDynamic* s, const uint16_t* pron)
{
    bool freed = false;
    for (const uint16_t* p = pron; *p != kMWLPronEnd; ++p) {
        const int32_t k = int32_t{*p} > s->staticMasterCount ? slotOf(s, *p) : 0;
        if (!slotAllocated(s, k))
            continue;
        for (uint32_t e = s->slotOffsets[k]; e < s->slotOffsets[k + 1] && s->pool[e] != kMWLPronEnd; ++e) {
            const int32_t r = recogIndex(s, s->pool[e]);
            // A count of 0 was never raised (the phoneme was taken after
            // the add): freeing it would hand out an id still in use.
            if (r < 0 || s->recogCounts[r] == 0 || s->recogCounts[r] >= kMWLDynamicSaturated)
                continue;
            if (--s->recogCounts[r] == 0) {
                s->recogCounts[r] = kMWLDynamicFree;
                freed = true;
            }
        }
        uint8_t& count = s->slotCounts[k - 1];
        if (count == 0 || count >= kMWLDynamicSaturated)
            continue;
        if (--count == 0) {
            count = kMWLDynamicFree;
            freeSlot(s, k);
        }
    }
    return freed;
}

int32_t mwlRecogLength(const MWLDynamic* s, const uint16_t* pron)
{
    // Without rules a static pron is its own recognition form.
    if (s->staticExpansions == nullptr && pron[0] != kMWLPronEnd &&
        int32_t{pron[0]} <= s->staticMasterCount)
        return mwlPronLength(pron);
    return MWLUtil_GetRecogPronLength(s->staticExpansions, s->staticMasterCount, s->pool,
                                      s->slotOffsets, s->highestSlot, pron);
}

int32_t mwlPronLength(const uint16_t* pron)
{
    int32_t n = 0;
    while (pron[n] != kMWLPronEnd)
        ++n;
    return n;
}

namespace {

// The longest encoded pron: its count, then 255 two-byte ids.
constexpr uint32_t kEncodedPronBytes = 1 + 2 * kMWLMaxEncodedPhonemes;

// The encoded pron at at, copied out of its chunks (zeros past the used
// bytes), for the coder of mwl_util.h.
void pronWindow(const MWLDynamic* s, uint32_t at, uint8_t* window)
{
    const uint32_t n = at < s->pronUsed ? std::min(kEncodedPronBytes, s->pronUsed - at) : 0;
    std::memset(window + n, 0, kEncodedPronBytes - n);
    mwlReadBytes(s->prons, at, n, window);
}

} // namespace

uint32_t mwlEncodedPronLength(const MWLDynamic* s, uint32_t at)
{
    uint8_t window[kEncodedPronBytes];
    pronWindow(s, at, window);
    return static_cast<uint32_t>(MWLUtil_GetEncodedPronLength(window));
}

uint32_t mwlPronEntryLength(const MWLDynamic* s, uint32_t at)
{
    const uint32_t count = mwlAt<uint8_t>(s->prons, at);
    uint32_t length = 1;
    for (uint32_t k = 0; k < count; ++k)
        length += mwlEncodedPronLength(s, at + length);
    return length;
}

uint32_t mwlDecodePron(const MWLDynamic* s, uint32_t at, uint16_t* out)
{
    uint8_t window[kEncodedPronBytes];
    pronWindow(s, at, window);
    uint16_t* const buffers[] = {out};
    return static_cast<uint32_t>(MWLUtil_DecodePronunciations(buffers, window, 1));
}
