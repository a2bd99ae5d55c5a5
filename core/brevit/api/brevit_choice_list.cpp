#include "core/brevit/api/brevit_choice_list.h"

#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <cstring>

namespace {

// Null for a negative count or a size beyond what the allocator takes.
void* callocArray(int32_t count, size_t elementSize)
{
    if (count < 0)
        return nullptr;
    uint64_t bytes = static_cast<uint64_t>(count) * elementSize;
    if (bytes > kDVKMemMaxRequest)
        return nullptr;
    return DVKMem_Calloc(static_cast<uint32_t>(bytes));
}

template <typename T>
bool allocate(T*& array, int32_t count)
{
    array = static_cast<T*>(callocArray(count, sizeof(T)));
    return array != nullptr;
}

void freeArrays(BrevitChoiceList* list)
{
    DVKMem_Free(list->scores);
    DVKMem_Free(list->grammarShares);
    DVKMem_Free(list->constraints);
    DVKMem_Free(list->wordIds);
    DVKMem_Free(list->classIds);
    DVKMem_Free(list->memberValues);
    DVKMem_Free(list->classStarts);
    DVKMem_Free(list->decoderValues);
    DVKMem_Free(list->classEnds);
    DVKMem_Free(list->recentWords);
}

BrevitChoiceList* createWithCapacities(int32_t capacity, int32_t wordSlots)
{
    auto* list = static_cast<BrevitChoiceList*>(DVKMem_Calloc(sizeof(BrevitChoiceList)));
    if (list == nullptr)
        return nullptr;
    bool ok = allocate(list->scores, capacity) && allocate(list->grammarShares, capacity) &&
              allocate(list->constraints, capacity) && allocate(list->wordIds, wordSlots) &&
              allocate(list->classIds, wordSlots) && allocate(list->memberValues, wordSlots) &&
              allocate(list->classStarts, wordSlots) &&
              allocate(list->decoderValues, wordSlots) && allocate(list->classEnds, wordSlots) &&
              allocate(list->recentWords, wordSlots);
    if (!ok) {
        freeArrays(list);
        DVKMem_Free(list);
        return nullptr;
    }
    list->capacity = capacity;
    list->count = -1;
    list->wordSlots = wordSlots;
    list->intervalFirstWord = 0;
    list->intervalLastWord = kBrevitChoiceIntervalAll;
    list->passWord1 = 0;
    list->passWord2 = -1;
    list->recentWordCapacity = wordSlots;
    return list;
}

template <typename T>
void copyArray(T* to, const T* from, int32_t count)
{
    if (count > 0)
        std::memcpy(to, from, static_cast<size_t>(count) * sizeof(T));
}

} // namespace

BrevitChoiceList* BrevitChoiceList_Create(void)
{
    return createWithCapacities(static_cast<int32_t>(BrevitParam_Word(kBrevitParamNBestRecords)),
                                static_cast<int32_t>(BrevitParam_Word(kBrevitParamChoiceWordSlots)));
}

BrevitChoiceList* BrevitChoiceList_Clone(const BrevitChoiceList* list)
{
    if (list == nullptr)
        return nullptr;
    BrevitChoiceList* copy = createWithCapacities(list->capacity, list->wordSlots);
    if (copy == nullptr)
        return nullptr;
    // The scalar fields first, then the arrays behind the copy's own pointers.
    BrevitChoiceList arrays = *copy;
    *copy = *list;
    copy->scores = arrays.scores;
    copy->grammarShares = arrays.grammarShares;
    copy->constraints = arrays.constraints;
    copy->wordIds = arrays.wordIds;
    copy->classIds = arrays.classIds;
    copy->memberValues = arrays.memberValues;
    copy->classStarts = arrays.classStarts;
    copy->decoderValues = arrays.decoderValues;
    copy->classEnds = arrays.classEnds;
    copy->recentWords = arrays.recentWords;
    copyArray(copy->scores, list->scores, list->capacity);
    copyArray(copy->grammarShares, list->grammarShares, list->capacity);
    copyArray(copy->constraints, list->constraints, list->capacity);
    copyArray(copy->wordIds, list->wordIds, list->wordSlots);
    copyArray(copy->classIds, list->classIds, list->wordSlots);
    copyArray(copy->memberValues, list->memberValues, list->wordSlots);
    copyArray(copy->classStarts, list->classStarts, list->wordSlots);
    copyArray(copy->decoderValues, list->decoderValues, list->wordSlots);
    copyArray(copy->classEnds, list->classEnds, list->wordSlots);
    copyArray(copy->recentWords, list->recentWords, list->wordSlots);
    return copy;
}

void BrevitChoiceList_Delete(BrevitChoiceList* list)
{
    if (list == nullptr)
        return;
    freeArrays(list);
    DVKMem_Free(list);
}
