#include "core/brevit/frontend/utterance.h"
#include "core/brevit/frontend/utterance_ring.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <cstdint>
#include <cstring>

namespace {

// Room for at least one more entry: 16 from none, else twice as many.
bool grow(UtteranceList* list)
{
    const int64_t capacity = list->capacity < 1 ? 16 : int64_t{list->capacity} * 2;
    if (capacity > INT32_MAX)
        return false;
    auto* entries = static_cast<UtteranceListEntry*>(
        UtteranceMem_CallocArray(capacity, sizeof(UtteranceListEntry)));
    if (entries == nullptr)
        return false;
    if (list->count > 0)
        std::memcpy(entries, list->entries, list->count * sizeof(UtteranceListEntry));
    DVKMem_Free(list->entries);
    list->entries = entries;
    list->capacity = static_cast<int32_t>(capacity);
    return true;
}

} // namespace

UtteranceList* UtteranceList_Create(int32_t n)
{
    auto* list = static_cast<UtteranceList*>(DVKMem_Calloc(sizeof(UtteranceList)));
    if (list == nullptr || n < 1)
        return list;
    list->entries =
        static_cast<UtteranceListEntry*>(UtteranceMem_CallocArray(n, sizeof(UtteranceListEntry)));
    if (list->entries == nullptr) {
        DVKMem_Free(list);
        return nullptr;
    }
    list->capacity = n;
    return list;
}

int32_t UtteranceList_Add(UtteranceList* list, Utterance* utt, int32_t wordCount,
                          const uint32_t* wordIds)
{
    if (wordCount < 1)
        return 0;
    if (list->count >= list->capacity && !grow(list))
        return 0;
    UtteranceListEntry& entry = list->entries[list->count];
    entry.utterance = Utterance_Clone(utt);
    entry.wordIds = static_cast<uint32_t*>(UtteranceMem_CallocArray(wordCount, sizeof(uint32_t)));
    if (entry.utterance == nullptr || entry.wordIds == nullptr) {
        Utterance_Delete(entry.utterance);
        DVKMem_Free(entry.wordIds);
        entry = UtteranceListEntry{};
        return 0;
    }
    std::memcpy(entry.wordIds, wordIds, wordCount * sizeof(uint32_t));
    entry.wordCount = wordCount;
    ++list->count;
    return 1;
}

const UtteranceListEntry* UtteranceList_GetNext(UtteranceList* list)
{
    if (list->cursor >= list->count)
        return nullptr;
    return &list->entries[list->cursor++];
}

void UtteranceList_Rewind(UtteranceList* list) { list->cursor = 0; }

void UtteranceList_Delete(UtteranceList* list)
{
    if (list == nullptr)
        return;
    for (int32_t i = 0; i < list->count; ++i) {
        Utterance_Delete(list->entries[i].utterance);
        DVKMem_Free(list->entries[i].wordIds);
    }
    DVKMem_Free(list->entries);
    DVKMem_Free(list);
}
