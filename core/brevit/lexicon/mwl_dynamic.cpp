// The run-time word store's life and its record queries: creation sized by
// the parameter block, the phoneme store built beside another store, ids in
// record order, and the recency marks.
#include "core/brevit/lexicon/mwl_dynamic_parts.h"

#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_mem_stack.h"

#include <cstring>

namespace {

// Slot offsets, the pool and slot numbers are stored in 16 bits.
constexpr uint32_t kMost16 = 0xFFFF;

uint32_t chunksFor(uint64_t elements)
{
    return static_cast<uint32_t>((elements + kMWLDynamicChunkLength - 1) / kMWLDynamicChunkLength);
}

struct Sizes {
    uint32_t poolCapacity;
    uint32_t slotCount;
    uint32_t recogCount;
    uint32_t recordChunks;
    uint32_t textOrderChunks;
    uint32_t textChunks;
    uint32_t pronChunks;
};

MWLDynamic* makeStore(int32_t firstId, int32_t mostProns, int32_t staticRecogCount,
                      int32_t staticMasterCount, const PhoneRewrite* staticExpansions,
                      int32_t exactText, int32_t encoding, const char* language, const PG* generator,
                      uint16_t marker, uint32_t signature, const Sizes& sizes)
{
    if (sizes.poolCapacity > kMost16 || sizes.slotCount > kMost16 || sizes.recogCount > kMost16)
        return nullptr;
    auto* s = static_cast<MWLDynamic*>(DVKMem_Calloc(sizeof(MWLDynamic)));
    if (s == nullptr)
        return nullptr;
    s->keepProns = BrevitParam_Word(kBrevitParamKeepPronunciations) != 0 ? 1 : 0;
    s->generator = generator;
    s->exactText = exactText != 0 ? 1 : 0;
    s->signature = signature;
    s->records.capacity = sizes.recordChunks;
    s->highestId = firstId - 1;
    s->textOrder.capacity = sizes.textOrderChunks;
    s->classBytes.capacity = sizes.recordChunks;
    s->texts.capacity = sizes.textChunks;
    s->prons.capacity = sizes.pronChunks;
    s->maxima.pronsOfWord = mostProns;
    s->types.capacity = sizes.recordChunks;
    s->recency.capacity = sizes.recordChunks;
    s->marker = marker;
    s->markerPositions.capacity = sizes.recordChunks;
    s->slotCount = static_cast<int32_t>(sizes.slotCount);
    s->recogCount = static_cast<int32_t>(sizes.recogCount);
    s->poolCapacity = sizes.poolCapacity;
    s->pool = static_cast<uint16_t*>(DVKMem_Calloc((sizes.poolCapacity + 1) * 2));
    s->slotOffsets = static_cast<uint32_t*>(DVKMem_Calloc((sizes.slotCount + 2) * 4));
    s->recogCounts = static_cast<uint8_t*>(DVKMem_Malloc(sizes.recogCount + 1));
    s->slotCounts = static_cast<uint8_t*>(DVKMem_Malloc(sizes.slotCount + 1));
    if (s->pool == nullptr || s->slotOffsets == nullptr || s->recogCounts == nullptr ||
        s->slotCounts == nullptr) {
        mwlFreeArrays(s);
        DVKMem_Free(s);
        return nullptr;
    }
    std::memset(s->recogCounts, kMWLDynamicFree, sizes.recogCount + 1);
    std::memset(s->slotCounts, kMWLDynamicFree, sizes.slotCount + 1);
    s->firstId = firstId;
    s->staticRecogCount = staticRecogCount;
    s->staticMasterCount = staticMasterCount;
    s->staticExpansions = staticExpansions;
    MWLDynamic_SetLanguageEncoding(&s->encodings, encoding, language);
    return s;
}

} // namespace

MWLDynamic* MWLDynamic_Create(int32_t firstId, int32_t mostProns, int32_t staticRecogCount,
                              int32_t staticMasterCount, const PhoneRewrite* staticExpansions,
                              int32_t exactText, int32_t encoding, const char* language,
                              const PG* generator, uint16_t marker, uint32_t signature)
{
    const uint32_t recordChunks = chunksFor(BrevitParam_Word(kBrevitParamWordStorePages));
    const Sizes sizes = {BrevitParam_Word(kBrevitParamExpansionPool),
                         BrevitParam_Word(kBrevitParamMasterPhonemeSlots),
                         BrevitParam_Word(kBrevitParamRecogPhonemeSlots),
                         recordChunks,
                         recordChunks,
                         chunksFor(BrevitParam_Word(kBrevitParamTextStorePages)),
                         chunksFor(BrevitParam_Word(kBrevitParamPronStorePages))};
    return makeStore(firstId, mostProns, staticRecogCount, staticMasterCount, staticExpansions,
                     exactText, encoding, language, generator, marker, signature, sizes);
}

MWLDynamic* MWLDynamic_CreatePhonemeMWL(int32_t firstId, int32_t mostProns,
                                        int32_t staticRecogCount, int32_t staticMasterCount,
                                        const PhoneRewrite* staticExpansions, int32_t exactText,
                                        int32_t encoding, const char* language,
                                        const PG* generator, uint16_t marker,
                                        uint32_t signature, const MWLDynamic* source,
                                        int32_t* count)
{
    const int32_t n = staticMasterCount + source->highestSlot;
    *count = n;
    Sizes sizes = {source->poolUsed,
                   static_cast<uint32_t>(n) + 1,
                   static_cast<uint32_t>(source->recogCount),
                   chunksFor(BrevitParam_Word(kBrevitParamWordStorePages)),
                   chunksFor(BrevitParam_Word(kBrevitParamWordStorePages)),
                   chunksFor(BrevitParam_Word(kBrevitParamTextStorePages)),
                   chunksFor(BrevitParam_Word(kBrevitParamPronStorePages))};
    if (n < 0)
        return nullptr;
    if (n > 0) {
        sizes.recordChunks = chunksFor(static_cast<uint64_t>(n));
        sizes.textChunks = chunksFor(3 * static_cast<uint64_t>(n));
        sizes.pronChunks = chunksFor(2 * static_cast<uint64_t>(n));
    }
    MWLDynamic* s = makeStore(firstId, mostProns, staticRecogCount, staticMasterCount,
                              staticExpansions, exactText, encoding, language, generator, marker,
                              signature, sizes);
    if (s == nullptr)
        return nullptr;
    s->keepProns = 1;
    // The expansions come along; no slot of the new store is in use yet.
    std::memcpy(s->pool, source->pool, source->poolUsed * 2);
    return s;
}

void MWLDynamic_Delete(MWLDynamic* store)
{
    if (store == nullptr)
        return;
    mwlFreeArrays(store);
    DVKMem_Free(store);
}

bool MWLDynamic_HasAddedRecords(const MWLDynamic* store)
{
    return store->recordCount > 0;
}

bool MWLDynamic_FindRecord(const MWLDynamic* store, uint32_t id, uint32_t* index)
{
    uint32_t low = 0;
    uint32_t high = store->recordCount;
    while (low < high) {
        const uint32_t mid = low + (high - low) / 2;
        if (mwlRecord(store, mid).wordId < id)
            low = mid + 1;
        else
            high = mid;
    }
    *index = low;
    return low < store->recordCount && mwlRecord(store, low).wordId == id;
}

bool MWLDynamic_IsWordIdInUse(const MWLDynamic* store, uint32_t id)
{
    uint32_t index = 0;
    return static_cast<int64_t>(id) <= store->highestId && MWLDynamic_FindRecord(store, id, &index);
}

int32_t MWLDynamic_GetWordTypeFlags(const MWLDynamic* store, uint32_t id)
{
    uint32_t index = 0;
    return MWLDynamic_FindRecord(store, id, &index) && mwlAt<uint8_t>(store->types, index) != 0 ? 2 : 1;
}

uint32_t MWLDynamic_GetNextMasterId(const MWLDynamic* store, uint32_t id)
{
    uint32_t index = 0;
    if (id == kMWLDynamicNoWord || static_cast<int64_t>(id) == int64_t{store->firstId} - 1)
        MWLDynamic_FindRecord(store, static_cast<uint32_t>(store->firstId), &index);
    else if (MWLDynamic_FindRecord(store, id, &index))
        ++index;
    return index < store->recordCount ? mwlRecord(store, index).wordId : kMWLDynamicNoWord;
}

uint32_t MWLDynamic_GetNextDynamicId(const MWLDynamic* store, uint32_t* cursor)
{
    uint32_t i = *cursor;
    while (i < store->recordCount && static_cast<int64_t>(mwlRecord(store, i).wordId) < store->firstId)
        ++i;
    if (i >= store->recordCount) {
        *cursor = i;
        return kMWLDynamicNoWord;
    }
    *cursor = i + 1;
    return mwlRecord(store, i).wordId;
}

int32_t MWLDynamic_GetMaxNumPronunciations(const MWLDynamic* store)
{
    return store->maxima.pronsOfWord;
}

const uint8_t* MWLDynamic_GetRecogPhonemeRefCounts(const MWLDynamic* store)
{
    return store->recogCounts;
}

uint16_t MWLDynamic_GetHighestMasterSlot(const MWLDynamic* store)
{
    return store->highestSlot;
}

void MWLDynamic_GetMasterExpansionTable(const MWLDynamic* store, const uint16_t** pool,
                                        const uint32_t** slotOffsets, int32_t* highestSlot)
{
    *pool = store->pool;
    *slotOffsets = store->slotOffsets;
    *highestSlot = store->highestSlot;
}

void MWLDynamic_MarkUsed(MWLDynamic* store, int32_t count, const uint32_t* ids)
{
    if (store->clock >= 255) {
        // Halving keeps the order of the marks while the clock starts over
        // above all of them.
        for (uint32_t i = 0; i < store->recordCount; ++i) {
            uint8_t& r = mwlAt<uint8_t>(store->recency, i);
            r = static_cast<uint8_t>((r + 1) / 2);
        }
        store->clock = 129;
    } else {
        ++store->clock;
    }
    for (int32_t k = 0; k < count; ++k) {
        uint32_t index = 0;
        if (static_cast<int64_t>(ids[k]) >= store->firstId && MWLDynamic_FindRecord(store, ids[k], &index))
            mwlAt<uint8_t>(store->recency, index) = static_cast<uint8_t>(store->clock);
    }
}

int32_t MWLDynamic_GetLeastRecentlyUnused(const MWLDynamic* store, int32_t filter, int32_t size,
                                          uint32_t* ids)
{
    if (size < 1)
        return 0;
    const uint32_t mark = DVKTempMem_GetMark();
    auto* kept = static_cast<uint8_t*>(DVKTempMem_Malloc(static_cast<uint32_t>(size)));
    int32_t count = 0;
    for (uint32_t i = 0; i < store->recordCount; ++i) {
        const uint32_t id = mwlRecord(store, i).wordId;
        const bool typed = mwlAt<uint8_t>(store->types, i) != 0;
        if (static_cast<int64_t>(id) < store->firstId || (filter & (typed ? 2 : 1)) == 0)
            continue;
        const uint8_t recency = mwlAt<uint8_t>(store->recency, i);
        int32_t at = 0;
        while (at < count && kept[at] <= recency)
            ++at;
        if (at == size)
            continue;
        const int32_t moved = (count < size ? count : size - 1) - at;
        std::memmove(kept + at + 1, kept + at, static_cast<size_t>(moved));
        std::memmove(ids + at + 1, ids + at, static_cast<size_t>(moved) * sizeof(uint32_t));
        kept[at] = recency;
        ids[at] = id;
        if (count < size)
            ++count;
    }
    DVKTempMem_ReleaseToMark(mark);
    return count;
}

void MWLDynamic_DisplayInfo(const MWLDynamic*) {}
