// N-best lists. Every operation that can run out of memory either completes
// or leaves the list exactly as it was.
#include "core/nbest/dvk_nbest.h"

#include "core/utils/dvk_array.h"
#include "core/utils/dvk_map.h"
#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_mem.h"

#include <cstring>

namespace {

long s_liveLists;

// Slots are the map's keys themselves, ordered by their difference.
const void* keyOf(int32_t slot)
{
    return reinterpret_cast<const void*>(static_cast<intptr_t>(slot));
}

int32_t slotOf(const void* key)
{
    return static_cast<int32_t>(reinterpret_cast<intptr_t>(key));
}

int compareSlots(const void* a, const void* b)
{
    return slotOf(a) - slotOf(b);
}

char* copyBytes(const char* text)
{
    auto* copy = static_cast<char*>(dvk_mem_alloc(std::strlen(text) + 1));
    if (copy != nullptr)
        std::strcpy(copy, text);
    return copy;
}

uint32_t* copyIds(const uint32_t* ids, int32_t count)
{
    auto* copy = static_cast<uint32_t*>(dvk_mem_alloc(sizeof(uint32_t) * static_cast<size_t>(count)));
    if (copy != nullptr)
        std::memcpy(copy, ids, sizeof(uint32_t) * static_cast<size_t>(count));
    return copy;
}

void freeValue(dvk_nbest_Value** value)
{
    if (*value == nullptr)
        return;
    dvk_mem_dealloc(&(*value)->tag);
    dvk_ucs2_destroy(&(*value)->surface);
    dvk_ucs2_destroy(&(*value)->spoken);
    dvk_mem_dealloc(&(*value)->wordIds);
    dvk_mem_dealloc(&(*value)->irIds);
    dvk_mem_dealloc(value);
}

dvk_nbest_Value* newValue(const char* tag, const dvk_ucs2_Char* surface, const dvk_ucs2_Char* spoken,
                          int32_t wordIdCount, const uint32_t* wordIds, int32_t irIdCount,
                          const uint32_t* irIds)
{
    DVK_ASSERT(surface != DVK_NULL);
    DVK_ASSERT((wordIdCount == 0) == (wordIds == DVK_NULL));
    DVK_ASSERT((irIdCount == 0) == (irIds == DVK_NULL));
    DVK_ASSERT(wordIdCount >= 0 && irIdCount >= 0);
    auto* value = static_cast<dvk_nbest_Value*>(dvk_mem_alloc(sizeof(dvk_nbest_Value)));
    if (value == nullptr)
        return nullptr;
    *value = {};
    value->surface = dvk_ucs2_createCopy(surface);
    value->tag = tag != nullptr ? copyBytes(tag) : nullptr;
    value->spoken = spoken != nullptr ? dvk_ucs2_createCopy(spoken) : nullptr;
    value->wordIdCount = wordIdCount;
    value->wordIds = wordIdCount > 0 ? copyIds(wordIds, wordIdCount) : nullptr;
    value->irIdCount = irIdCount;
    value->irIds = irIdCount > 0 ? copyIds(irIds, irIdCount) : nullptr;
    if (value->surface == nullptr || (tag != nullptr && value->tag == nullptr) ||
        (spoken != nullptr && value->spoken == nullptr) ||
        (wordIdCount > 0 && value->wordIds == nullptr) || (irIdCount > 0 && value->irIds == nullptr))
        freeValue(&value);
    return value;
}

dvk_nbest_Value* copyValue(const dvk_nbest_Value* value)
{
    return newValue(value->tag, value->surface, value->spoken, value->wordIdCount, value->wordIds,
                    value->irIdCount, value->irIds);
}

dvk_nbest_Value* valueOf(dvk_map* values, dvk_map_Node* node)
{
    const void* key = nullptr;
    void* value = nullptr;
    dvk_map_getItem(values, node, &key, &value);
    return static_cast<dvk_nbest_Value*>(value);
}

void freeEntry(dvk_nbest_Entry** entry)
{
    if (*entry == nullptr)
        return;
    if ((*entry)->values != nullptr) {
        for (dvk_map_Node* node = dvk_map_getFirst((*entry)->values); node != nullptr;
             node = dvk_map_getNext((*entry)->values, node)) {
            dvk_nbest_Value* value = valueOf((*entry)->values, node);
            freeValue(&value);
        }
        dvk_map_destroy(&(*entry)->values);
    }
    dvk_ucs2_destroy(&(*entry)->utterance);
    dvk_mem_dealloc(entry);
}

dvk_nbest_Entry* newEntry()
{
    auto* entry = static_cast<dvk_nbest_Entry*>(dvk_mem_alloc(sizeof(dvk_nbest_Entry)));
    if (entry == nullptr)
        return nullptr;
    entry->utterance = nullptr;
    entry->values = dvk_map_create(compareSlots);
    if (entry->values == nullptr)
        dvk_mem_dealloc(&entry);
    return entry;
}

dvk_nbest_Entry* entryAt(dvk_nbest_List* list, int32_t index)
{
    DVK_ASSERT(list != DVK_NULL);
    DVK_ASSERT(index >= 0);
    DVK_ASSERT(index < dvk_array_getCount(list->entries));
    return static_cast<dvk_nbest_Entry*>(dvk_array_getItem(list->entries, index));
}

// The entry, or none for an index at or past the count.
dvk_nbest_Entry* entryOrNone(dvk_nbest_List* list, int32_t index)
{
    DVK_ASSERT(list != DVK_NULL);
    DVK_ASSERT(index >= 0);
    return static_cast<dvk_nbest_Entry*>(dvk_array_getItem(list->entries, index));
}

dvk_map_Node* nodeOf(const dvk_nbest_Entry* entry, int32_t slot)
{
    return dvk_map_findItem(entry->values, keyOf(slot));
}

const dvk_nbest_Value* findValue(const dvk_nbest_Entry* entry, int32_t slot)
{
    dvk_map_Node* node = entry != nullptr ? nodeOf(entry, slot) : nullptr;
    return node != nullptr ? valueOf(entry->values, node) : nullptr;
}

// Puts a made value into the entry under the slot; frees it when the map
// cannot grow. Does not look at values already there.
bool insertValue(dvk_nbest_Entry* entry, int32_t slot, dvk_nbest_Value* value)
{
    if (value == nullptr)
        return false;
    if (dvk_map_addItem(entry->values, keyOf(slot), value) == nullptr) {
        freeValue(&value);
        return false;
    }
    return true;
}

void removeNode(dvk_nbest_Entry* entry, dvk_map_Node* node)
{
    dvk_nbest_Value* value = valueOf(entry->values, node);
    dvk_map_removeItem(entry->values, node);
    freeValue(&value);
}

int32_t countOf(dvk_nbest_List* list)
{
    return static_cast<int32_t>(dvk_array_getCount(list->entries));
}

int chopFilter(dvk_nbest_List*, int32_t index, void* argument)
{
    return index >= static_cast<int32_t>(reinterpret_cast<intptr_t>(argument)) ? 1 : 0;
}

} // namespace

dvk_nbest_List* dvk_nbest_create(int32_t constraintId, const char* name, int32_t confidence)
{
    DVK_ASSERT(name != DVK_NULL);
    auto* list = static_cast<dvk_nbest_List*>(dvk_mem_alloc(sizeof(dvk_nbest_List)));
    if (list == nullptr)
        return nullptr;
    list->entries = dvk_array_create();
    list->name = copyBytes(name);
    if (list->entries == nullptr || list->name == nullptr) {
        dvk_array_destroy(&list->entries);
        dvk_mem_dealloc(&list->name);
        dvk_mem_dealloc(&list);
        return nullptr;
    }
    list->constraintId = constraintId;
    list->confidence = confidence < 0 ? 0 : confidence > 100 ? 100 : confidence;
    ++s_liveLists;
    return list;
}

dvk_nbest_List* dvk_nbest_createCopy(dvk_nbest_List* list)
{
    DVK_ASSERT(list != DVK_NULL);
    dvk_nbest_List* copy = dvk_nbest_create(list->constraintId, list->name, list->confidence);
    if (copy == nullptr)
        return nullptr;
    for (int32_t i = 0; i < countOf(list); ++i) {
        const dvk_nbest_Entry* entry = entryAt(list, i);
        const int32_t at = dvk_nbest_addEntry(copy);
        if (at < 0) {
            dvk_nbest_destroy(&copy);
            return nullptr;
        }
        dvk_nbest_Entry* target = entryAt(copy, at);
        for (dvk_map_Node* node = dvk_map_getFirst(entry->values); node != nullptr;
             node = dvk_map_getNext(entry->values, node)) {
            const void* key = nullptr;
            void* value = nullptr;
            dvk_map_getItem(entry->values, node, &key, &value);
            if (!insertValue(target, slotOf(key), copyValue(static_cast<dvk_nbest_Value*>(value)))) {
                dvk_nbest_destroy(&copy);
                return nullptr;
            }
        }
    }
    return copy;
}

void dvk_nbest_destroy(dvk_nbest_List** list)
{
    DVK_ASSERT(list != DVK_NULL);
    if (*list == nullptr)
        return;
    for (int32_t i = countOf(*list) - 1; i >= 0; --i) {
        auto* entry = static_cast<dvk_nbest_Entry*>(dvk_array_getItem((*list)->entries, i));
        freeEntry(&entry);
    }
    dvk_array_destroy(&(*list)->entries);
    dvk_mem_dealloc(&(*list)->name);
    dvk_mem_dealloc(list);
    --s_liveLists;
}

int32_t dvk_nbest_getCount(dvk_nbest_List* list)
{
    DVK_ASSERT(list != DVK_NULL);
    return countOf(list);
}

int32_t dvk_nbest_getConfidence(dvk_nbest_List* list)
{
    DVK_ASSERT(list != DVK_NULL);
    return list->confidence;
}

int32_t dvk_nbest_getConstraint(dvk_nbest_List* list, const char** name)
{
    DVK_ASSERT(list != DVK_NULL);
    DVK_ASSERT(name != DVK_NULL);
    *name = list->name;
    return list->constraintId;
}

int32_t dvk_nbest_addEntry(dvk_nbest_List* list)
{
    DVK_ASSERT(list != DVK_NULL);
    dvk_nbest_Entry* entry = newEntry();
    if (entry == nullptr)
        return -1;
    if (dvk_array_addItem(list->entries, entry) == nullptr) {
        freeEntry(&entry);
        return -1;
    }
    return countOf(list) - 1;
}

void dvk_nbest_deleteEntry(dvk_nbest_List* list, int32_t index)
{
    dvk_nbest_Entry* entry = entryAt(list, index);
    dvk_array_removeItem(list->entries, index);
    freeEntry(&entry);
}

int dvk_nbest_addUtt(dvk_nbest_List* list, int32_t index, const dvk_ucs2_Char* text)
{
    dvk_nbest_Entry* entry = entryAt(list, index);
    DVK_ASSERT(text != DVK_NULL);
    dvk_ucs2_Char* copy = dvk_ucs2_createCopy(text);
    if (copy == nullptr)
        return 1;
    dvk_ucs2_destroy(&entry->utterance);
    entry->utterance = copy;
    return 0;
}

const dvk_ucs2_Char* dvk_nbest_getUtt(dvk_nbest_List* list, int32_t index)
{
    return entryAt(list, index)->utterance;
}

int32_t dvk_nbest_getKeyCount(dvk_nbest_List* list, int32_t index)
{
    return static_cast<int32_t>(dvk_map_getCount(entryAt(list, index)->values));
}

int dvk_nbest_addValue(dvk_nbest_List* list, int32_t index, int32_t slot, const char* tag,
                       const dvk_ucs2_Char* surface, const dvk_ucs2_Char* spoken,
                       int32_t wordIdCount, const uint32_t* wordIds, int32_t irIdCount,
                       const uint32_t* irIds)
{
    dvk_nbest_Entry* entry = entryAt(list, index);
    dvk_nbest_Value* value = newValue(tag, surface, spoken, wordIdCount, wordIds, irIdCount, irIds);
    if (nodeOf(entry, slot) != nullptr) {
        freeValue(&value);  // one value per slot
        return 1;
    }
    return insertValue(entry, slot, value) ? 0 : 1;
}

int dvk_nbest_addValueNoIds(dvk_nbest_List* list, int32_t index, int32_t slot, const char* tag,
                            const dvk_ucs2_Char* surface, const dvk_ucs2_Char* spoken)
{
    return dvk_nbest_addValue(list, index, slot, tag, surface, spoken, 0, nullptr, 0, nullptr);
}

void dvk_nbest_removeValue(dvk_nbest_List* list, int32_t index, int32_t slot)
{
    dvk_nbest_Entry* entry = entryAt(list, index);
    dvk_map_Node* node = nodeOf(entry, slot);
    if (node != nullptr)
        removeNode(entry, node);
}

const dvk_ucs2_Char* dvk_nbest_getStr(dvk_nbest_List* list, int32_t index, int32_t slot)
{
    const dvk_nbest_Value* value = findValue(entryOrNone(list, index), slot);
    return value != nullptr ? value->surface : nullptr;
}

const dvk_ucs2_Char* dvk_nbest_getSpokenForm(dvk_nbest_List* list, int32_t index, int32_t slot)
{
    const dvk_nbest_Value* value = findValue(entryOrNone(list, index), slot);
    return value != nullptr ? value->spoken : nullptr;
}

const char* dvk_nbest_getWordClass(dvk_nbest_List* list, int32_t index, int32_t slot)
{
    const dvk_nbest_Value* value = findValue(entryOrNone(list, index), slot);
    return value != nullptr ? value->tag : nullptr;
}

int32_t dvk_nbest_getWordIds(dvk_nbest_List* list, int32_t index, int32_t slot, const uint32_t** ids)
{
    DVK_ASSERT(ids != DVK_NULL);
    const dvk_nbest_Value* value = findValue(entryAt(list, index), slot);
    *ids = value != nullptr ? value->wordIds : nullptr;
    return value != nullptr ? value->wordIdCount : 0;
}

int32_t dvk_nbest_getIrIds(dvk_nbest_List* list, int32_t index, int32_t slot, const uint32_t** ids)
{
    DVK_ASSERT(ids != DVK_NULL);
    const dvk_nbest_Value* value = findValue(entryAt(list, index), slot);
    *ids = value != nullptr ? value->irIds : nullptr;
    return value != nullptr ? value->irIdCount : 0;
}

int dvk_nbest_duplicateValue(dvk_nbest_List* source, int32_t sourceIndex,
                             dvk_nbest_List* destination, int32_t destinationIndex, int32_t slot)
{
    dvk_nbest_Entry* from = entryAt(source, sourceIndex);
    dvk_nbest_Entry* to = entryAt(destination, destinationIndex);
    if (from == to)
        return 0;  // the value is already its own copy
    dvk_map_Node* old = nodeOf(to, slot);
    const dvk_nbest_Value* value = findValue(from, slot);
    // The copy goes in beside the old value before that is removed, so
    // nothing can fail once the destination has changed.
    if (value != nullptr && !insertValue(to, slot, copyValue(value)))
        return 1;
    if (old != nullptr)
        removeNode(to, old);
    return 0;
}

int dvk_nbest_update(dvk_nbest_List* list, int32_t i, dvk_nbest_List* other, int32_t j)
{
    dvk_nbest_Entry* entry = entryAt(list, i);
    dvk_nbest_Entry* from = entryAt(other, j);
    dvk_map_Node* node = dvk_map_getFirst(from->values);
    for (; node != nullptr; node = dvk_map_getNext(from->values, node)) {
        const void* key = nullptr;
        void* value = nullptr;
        dvk_map_getItem(from->values, node, &key, &value);
        if (nodeOf(entry, slotOf(key)) != nullptr ||
            !insertValue(entry, slotOf(key), copyValue(static_cast<dvk_nbest_Value*>(value))))
            break;
    }
    if (node == nullptr)
        return 0;
    // Every slot before the one that failed was free and is now this call's:
    // take them back.
    for (dvk_map_Node* added = dvk_map_getFirst(from->values); added != node;
         added = dvk_map_getNext(from->values, added)) {
        const void* key = nullptr;
        void* value = nullptr;
        dvk_map_getItem(from->values, added, &key, &value);
        removeNode(entry, nodeOf(entry, slotOf(key)));
    }
    return 1;
}

int32_t dvk_nbest_filter(dvk_nbest_List* list, dvk_nbest_Filter filter, void* argument)
{
    DVK_ASSERT(list != DVK_NULL);
    DVK_ASSERT(filter != DVK_NULL);
    int32_t i = 0;
    while (i < countOf(list)) {
        if (filter(list, i, argument) != 0)
            dvk_nbest_deleteEntry(list, i);
        else
            ++i;
    }
    return countOf(list);
}

int32_t dvk_nbest_chop(dvk_nbest_List* list, int32_t n)
{
    DVK_ASSERT(n >= 0);
    return dvk_nbest_filter(list, chopFilter, reinterpret_cast<void*>(static_cast<intptr_t>(n)));
}

int dupFilter(dvk_nbest_List* list, int32_t index, void* argument)
{
    const int32_t k = static_cast<int32_t>(reinterpret_cast<intptr_t>(argument));
    if (index <= k)
        return 0;
    dvk_nbest_Entry* a = entryAt(list, index);
    dvk_nbest_Entry* b = entryAt(list, k);
    dvk_map_Node* x = dvk_map_getFirst(a->values);
    dvk_map_Node* y = dvk_map_getFirst(b->values);
    for (; x != nullptr && y != nullptr; x = dvk_map_getNext(a->values, x), y = dvk_map_getNext(b->values, y)) {
        const void* keyX = nullptr;
        const void* keyY = nullptr;
        void* valueX = nullptr;
        void* valueY = nullptr;
        dvk_map_getItem(a->values, x, &keyX, &valueX);
        dvk_map_getItem(b->values, y, &keyY, &valueY);
        if (slotOf(keyX) != slotOf(keyY) ||
            dvk_ucs2_strcmp(static_cast<dvk_nbest_Value*>(valueX)->surface,
                            static_cast<dvk_nbest_Value*>(valueY)->surface) != 0)
            return 0;
    }
    return x == nullptr && y == nullptr ? 1 : 0;
}

int32_t dvk_nbest_removeDuplicates(dvk_nbest_List* list)
{
    DVK_ASSERT(list != DVK_NULL);
    for (int32_t k = 0; k < countOf(list) - 1; ++k)
        dvk_nbest_filter(list, dupFilter, reinterpret_cast<void*>(static_cast<intptr_t>(k)));
    return countOf(list);
}

void dvk_nbest_log(dvk_nbest_List*) {}

long dvk_nbest_liveLists()
{
    return s_liveLists;
}
