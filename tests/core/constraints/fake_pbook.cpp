#include "tests/core/constraints/fake_pbook.h"

#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_mem.h"

#include <new>

struct dvk_pbook_Entry {
    dvk_ucs2_Char* name;
    dvk_ucs2_Char* pronunciation;
};

namespace {

FakePbook s_pbook;

void record(const std::string& call)
{
    s_pbook.calls.push_back(call);
}

dvk_ucs2_Char* copy(const std::u16string& text)
{
    dvk_ucs2_Char* out = dvk_ucs2_create(static_cast<long>(text.size()) + 1);
    if (out != nullptr) {
        for (size_t i = 0; i < text.size(); ++i)
            out[i] = text[i];
        out[text.size()] = 0;
    }
    return out;
}

// Locations and groups: 1-based positions as pointers.
size_t positionOf(void* iterator)
{
    return reinterpret_cast<uintptr_t>(iterator);
}

void* iteratorAt(size_t position, size_t count)
{
    return position >= 1 && position <= count ? reinterpret_cast<void*>(position) : nullptr;
}

} // namespace

FakePbook& fakePbook()
{
    return s_pbook;
}

void resetFakePbook()
{
    s_pbook = FakePbook{};
}

dvk_pbook_Iterator dvk_pbook_getFirstEntry()
{
    record("getFirstEntry");
    return s_pbook.contacts.empty() ? 0 : 1;
}

dvk_pbook_Iterator dvk_pbook_getNextEntry(dvk_pbook_Iterator iterator)
{
    DVK_ASSERT(iterator != 0);
    record("getNextEntry " + std::to_string(iterator));
    return iterator < s_pbook.contacts.size() ? iterator + 1 : 0;
}

dvk_pbook_Iterator dvk_pbook_getFirstModifiedEntry()
{
    record("getFirstModifiedEntry");
    return s_pbook.modified.empty() ? 0 : s_pbook.modified[0];
}

dvk_pbook_Iterator dvk_pbook_getNextModifiedEntry(dvk_pbook_Iterator iterator)
{
    DVK_ASSERT(iterator != 0);
    record("getNextModifiedEntry " + std::to_string(iterator));
    for (size_t i = 0; i + 1 < s_pbook.modified.size(); ++i) {
        if (s_pbook.modified[i] == iterator)
            return s_pbook.modified[i + 1];
    }
    return 0;
}

dvk_pbook_Entry* dvk_pbook_getNameEntry(dvk_pbook_Iterator iterator)
{
    DVK_ASSERT(iterator != 0);
    record("getNameEntry " + std::to_string(iterator));
    if (iterator > s_pbook.contacts.size())
        return nullptr;
    const FakeContact& contact = s_pbook.contacts[iterator - 1];
    auto* entry = static_cast<dvk_pbook_Entry*>(dvk_mem_alloc(sizeof(dvk_pbook_Entry)));
    if (entry == nullptr)
        return nullptr;
    entry->name = copy(contact.name);
    entry->pronunciation = contact.pronunciation ? copy(*contact.pronunciation) : nullptr;
    if (entry->name == nullptr || (contact.pronunciation && entry->pronunciation == nullptr)) {
        dvk_ucs2_destroy(&entry->name);
        dvk_ucs2_destroy(&entry->pronunciation);
        dvk_mem_dealloc(&entry);
        return nullptr;
    }
    ++s_pbook.liveEntries;
    return entry;
}

void dvk_pbook_destroyEntry(dvk_pbook_Entry** entry)
{
    DVK_ASSERT(entry != DVK_NULL);
    record("destroyEntry");
    if (*entry == nullptr)
        return;
    dvk_ucs2_destroy(&(*entry)->name);
    dvk_ucs2_destroy(&(*entry)->pronunciation);
    dvk_mem_dealloc(entry);
    --s_pbook.liveEntries;
}

const dvk_ucs2_Char* dvk_pbook_getName(const dvk_pbook_Entry* entry)
{
    DVK_ASSERT(entry != DVK_NULL);
    return entry->name;
}

const dvk_ucs2_Char* dvk_pbook_getPronunciation(const dvk_pbook_Entry* entry)
{
    DVK_ASSERT(entry != DVK_NULL);
    return entry->pronunciation;
}

dvk_pbook_LocationIterator dvk_pbook_getFirstLocation()
{
    record("getFirstLocation");
    return iteratorAt(1, s_pbook.locations.size());
}

dvk_pbook_LocationIterator dvk_pbook_getNextLocation(dvk_pbook_LocationIterator iterator)
{
    DVK_ASSERT(iterator != DVK_NULL);
    return iteratorAt(positionOf(iterator) + 1, s_pbook.locations.size());
}

dvk_ucs2_Char* dvk_pbook_getLocation(dvk_pbook_LocationIterator iterator)
{
    record("getLocation " + std::to_string(positionOf(iterator)));
    return copy(s_pbook.locations.at(positionOf(iterator) - 1).text);
}

dvk_ucs2_Char* dvk_pbook_getLocationSynonym(dvk_pbook_LocationIterator iterator)
{
    record("getLocationSynonym " + std::to_string(positionOf(iterator)));
    return copy(s_pbook.locations.at(positionOf(iterator) - 1).synonym);
}

dvk_pbook_GroupIterator dvk_pbook_getFirstGroup()
{
    record("getFirstGroup");
    return iteratorAt(1, s_pbook.groups.size());
}

dvk_pbook_GroupIterator dvk_pbook_getNextGroup(dvk_pbook_GroupIterator iterator)
{
    DVK_ASSERT(iterator != DVK_NULL);
    return iteratorAt(positionOf(iterator) + 1, s_pbook.groups.size());
}

dvk_ucs2_Char* dvk_pbook_getGroup(dvk_pbook_GroupIterator iterator)
{
    record("getGroup " + std::to_string(positionOf(iterator)));
    return copy(s_pbook.groups.at(positionOf(iterator) - 1));
}
