#include "sdk/common/dvk_pbook.h"

#include "core/utils/dvk_array.h"
#include "core/utils/dvk_map.h"
#include "core/utils/dvk_ucs2.h"
#include "oem/dvk_oem_phonebook.h"
#include "oem/dvk_oem_settings.h"
#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_mem.h"
#include "sdk/common/dvk_settings.h"

#include <cstdint>
#include <cstring>

namespace {

const uint32_t kSimBit = 0x80000000u;

// The OEM iterators' own bit 31, which the suite iterator uses as its kind.
uint32_t contactIterHighOrderBit = 0;
uint32_t simCardIterHighOrderBit = 0;

dvk_pbook_Iterator fromContact(dvk_oem_pbook_ContactIterator iterator)
{
    if (iterator == nullptr)
        return 0;
    const auto value = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(iterator));
    contactIterHighOrderBit = value & kSimBit;
    return value & ~kSimBit;
}

dvk_pbook_Iterator fromSim(dvk_oem_pbook_SimCardIterator iterator)
{
    if (iterator == nullptr)
        return 0;
    const auto value = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(iterator));
    simCardIterHighOrderBit = value & kSimBit;
    return value | kSimBit;
}

bool isSim(dvk_pbook_Iterator iterator)
{
    return (iterator & kSimBit) != 0;
}

// Null for a SIM iterator.
dvk_oem_pbook_ContactIterator toContact(dvk_pbook_Iterator iterator)
{
    if (isSim(iterator))
        return nullptr;
    return reinterpret_cast<dvk_oem_pbook_ContactIterator>(static_cast<uintptr_t>(iterator | contactIterHighOrderBit));
}

// Null for a contact iterator.
dvk_oem_pbook_SimCardIterator toSim(dvk_pbook_Iterator iterator)
{
    if (!isSim(iterator))
        return nullptr;
    return reinterpret_cast<dvk_oem_pbook_SimCardIterator>(
        static_cast<uintptr_t>((iterator & ~kSimBit) | simCardIterHighOrderBit));
}

const void* keyOf(int32_t type)
{
    return reinterpret_cast<const void*>(static_cast<intptr_t>(type));
}

int32_t typeOf(const void* key)
{
    return static_cast<int32_t>(reinterpret_cast<intptr_t>(key));
}

// Ascending location type.
int compareLocations(const void* a, const void* b)
{
    const int32_t x = typeOf(a), y = typeOf(b);
    return x < y ? -1 : (x > y ? 1 : 0);
}

dvk_array* arrayAt(dvk_map* map, dvk_map_Node* node)
{
    const void* key = nullptr;
    void* value = nullptr;
    dvk_map_getItem(map, node, &key, &value);
    return static_cast<dvk_array*>(value);
}

int32_t typeAt(dvk_map* map, dvk_map_Node* node)
{
    const void* key = nullptr;
    void* value = nullptr;
    dvk_map_getItem(map, node, &key, &value);
    return typeOf(key);
}

dvk_array* findArray(dvk_map* map, int32_t type)
{
    if (map == nullptr)
        return nullptr;
    dvk_map_Node* node = dvk_map_findItem(map, keyOf(type));
    return node != nullptr ? arrayAt(map, node) : nullptr;
}

// The type's array, made when missing; none when memory is short.
dvk_array* ensureArray(dvk_map* map, int32_t type)
{
    if (dvk_array* found = findArray(map, type))
        return found;
    dvk_array* array = dvk_array_create();
    if (array == nullptr)
        return nullptr;
    if (dvk_map_addItem(map, keyOf(type), array) == nullptr) {
        dvk_array_destroy(&array);
        return nullptr;
    }
    return array;
}

void destroyTexts(dvk_array* array)
{
    for (long i = 0; i < dvk_array_getCount(array); ++i) {
        auto* text = static_cast<dvk_ucs2_Char*>(dvk_array_getItem(array, i));
        dvk_ucs2_destroy(&text);
    }
    dvk_array_destroy(&array);
}

void destroyTextMap(dvk_map** map)
{
    if (*map == nullptr)
        return;
    for (dvk_map_Node* node = dvk_map_getFirst(*map); node != nullptr; node = dvk_map_getNext(*map, node))
        destroyTexts(arrayAt(*map, node));
    dvk_map_destroy(map);
}

// Takes the text out of the array and frees it.
void removeText(dvk_array* array, long i)
{
    auto* text = static_cast<dvk_ucs2_Char*>(dvk_array_removeItem(array, i));
    dvk_ucs2_destroy(&text);
}

// Removes the type from the map, freeing its texts; the next node.
dvk_map_Node* removeType(dvk_map* map, dvk_map_Node* node)
{
    destroyTexts(arrayAt(map, node));
    return dvk_map_removeItem(map, node);
}

// A copy of text, or none for a null text; `ok` turns false when memory is
// short.
dvk_ucs2_Char* copyOptional(const dvk_ucs2_Char* text, bool& ok)
{
    if (text == nullptr)
        return nullptr;
    dvk_ucs2_Char* copy = dvk_ucs2_createCopy(text);
    if (copy == nullptr)
        ok = false;
    return copy;
}

// A copy of a non-empty text; none for an empty one.
dvk_ucs2_Char* copyNonEmpty(const dvk_ucs2_Char* text, bool& ok)
{
    return text[0] != 0 ? copyOptional(text, ok) : nullptr;
}

dvk_pbook_Entry* newEntry(bool withMaps)
{
    auto* entry = static_cast<dvk_pbook_Entry*>(dvk_mem_alloc(sizeof(dvk_pbook_Entry)));
    if (entry == nullptr)
        return nullptr;
    std::memset(entry, 0, sizeof *entry);
    if (withMaps) {
        entry->numbers = dvk_map_create(compareLocations);
        entry->locations = dvk_map_create(compareLocations);
        entry->callTypes = dvk_map_create(compareLocations);
        if (entry->numbers == nullptr || entry->locations == nullptr || entry->callTypes == nullptr)
            dvk_pbook_destroyEntry(&entry);
    }
    return entry;
}

void terminate(dvk_ucs2_Char* text)
{
    text[DVK_OEM_PBOOK_TEXT_LENGTH - 1] = 0;
}

// Bounds every text of what the provider wrote and its count.
void checkOemEntry(dvk_oem_pbook_Entry* oem)
{
    terminate(oem->name);
    terminate(oem->name2);
    terminate(oem->organisation);
    terminate(oem->name4);
    if (oem->count > DVK_OEM_PBOOK_NUMBER_COUNT)
        oem->count = DVK_OEM_PBOOK_NUMBER_COUNT;
    for (int32_t k = 0; k < oem->count; ++k)
        terminate(oem->numbers[k]);
}

enum class Built { Entry, None, NoMemory };

// The names of a checked OEM entry; none for an empty name.
Built copyNames(const dvk_oem_pbook_Entry& oem, dvk_pbook_Entry* entry)
{
    bool ok = true;
    entry->name = copyOptional(oem.name, ok);
    entry->pronunciation = copyNonEmpty(oem.name2, ok);
    entry->company = copyNonEmpty(oem.organisation, ok);
    entry->text4 = copyNonEmpty(oem.name4, ok);
    return ok ? Built::Entry : Built::NoMemory;
}

// The current language's locations: names by type and each type's first
// capability word. The walk always runs to its end, so the provider frees
// its iterator even when memory runs short.
bool addLocations(dvk_pbook_Entry* entry)
{
    bool ok = true;
    dvk_oem_pbook_Location location;
    for (dvk_oem_pbook_LocationIterator it = dvk_oem_pbook_getFirstLocation(dvk_settings_getCurrentLanguage());
         it != nullptr; it = dvk_oem_pbook_getNextLocation(it)) {
        if (!ok)
            continue;
        std::memset(&location, 0, sizeof location);
        dvk_oem_pbook_getLocation(it, &location);
        terminate(location.name);
        dvk_array* names = ensureArray(entry->locations, location.type);
        dvk_ucs2_Char* name = names != nullptr ? dvk_ucs2_createCopy(location.name) : nullptr;
        if (name == nullptr || dvk_array_addItem(names, name) == nullptr) {
            dvk_ucs2_destroy(&name);
            ok = false;
            continue;
        }
        if (dvk_map_findItem(entry->callTypes, keyOf(location.type)) == nullptr &&
            dvk_map_addItem(entry->callTypes, keyOf(location.type),
                            reinterpret_cast<void*>(static_cast<intptr_t>(location.capability))) == nullptr)
            ok = false;
    }
    return ok;
}

// Keeps no more numbers of a type than it has location names.
void trimToLocations(dvk_pbook_Entry* entry)
{
    dvk_map_Node* node = dvk_map_getFirst(entry->numbers);
    while (node != nullptr) {
        dvk_array* numbers = arrayAt(entry->numbers, node);
        dvk_array* names = findArray(entry->locations, typeAt(entry->numbers, node));
        const long limit = names != nullptr ? dvk_array_getCount(names) : 0;
        while (dvk_array_getCount(numbers) > limit)
            removeText(numbers, dvk_array_getCount(numbers) - 1);
        node = dvk_array_getCount(numbers) == 0 ? removeType(entry->numbers, node)
                                                : dvk_map_getNext(entry->numbers, node);
    }
}

Built buildEntry(dvk_pbook_Iterator iterator, bool withNumbers, dvk_pbook_Entry** out)
{
    DVK_ASSERT(iterator != 0);
    *out = nullptr;
    auto* oem = static_cast<dvk_oem_pbook_Entry*>(dvk_mem_alloc(sizeof(dvk_oem_pbook_Entry)));
    if (oem == nullptr)
        return Built::NoMemory;
    std::memset(oem, 0, sizeof *oem);
    if (isSim(iterator))
        (withNumbers ? dvk_oem_pbook_getSimCardEntry : dvk_oem_pbook_getSimCardNameEntry)(toSim(iterator), oem);
    else
        (withNumbers ? dvk_oem_pbook_getContactEntry : dvk_oem_pbook_getContactNameEntry)(toContact(iterator), oem);
    checkOemEntry(oem);

    Built result = Built::Entry;
    dvk_pbook_Entry* entry = nullptr;
    if (oem->name[0] == 0) {
        result = Built::None;  // a placeholder of an unusable contact
    } else if ((entry = newEntry(withNumbers)) == nullptr) {
        result = Built::NoMemory;
    } else {
        result = copyNames(*oem, entry);
        for (int32_t k = 0; withNumbers && result == Built::Entry && k < oem->count; ++k) {
            dvk_array* numbers = ensureArray(entry->numbers, oem->locTypes[k]);
            dvk_ucs2_Char* number = numbers != nullptr ? dvk_ucs2_createCopy(oem->numbers[k]) : nullptr;
            if (number == nullptr || dvk_array_addItem(numbers, number) == nullptr) {
                dvk_ucs2_destroy(&number);
                result = Built::NoMemory;
            }
        }
        if (withNumbers && result == Built::Entry) {
            if (addLocations(entry))
                trimToLocations(entry);
            else
                result = Built::NoMemory;
        }
    }
    dvk_mem_dealloc(&oem);
    if (result != Built::Entry)
        dvk_pbook_destroyEntry(&entry);
    *out = entry;
    return result;
}

int32_t capabilityOf(const dvk_pbook_Entry* entry, int32_t type)
{
    if (entry->callTypes == nullptr)
        return 0;
    dvk_map_Node* node = dvk_map_findItem(entry->callTypes, keyOf(type));
    if (node == nullptr)
        return 0;
    const void* key = nullptr;
    void* value = nullptr;
    dvk_map_getItem(entry->callTypes, node, &key, &value);
    return static_cast<int32_t>(reinterpret_cast<intptr_t>(value));
}

// Whether a location of this capability word serves the call type.
bool isValidLocation(int32_t capability, int32_t callType)
{
    switch (callType) {
    case 1: return capability == 1 || capability == 4 || capability == 5 || capability == 7;
    case 2: return capability == 2 || capability == 4 || capability == 6 || capability == 7;
    case 3: return capability == 3 || capability == 5 || capability == 6 || capability == 7;
    default: return false;
    }
}

// A spoken location matches a location name it is part of; a text with a
// "1" also matches a single location it names ("CAR 1" the car).
bool isMatchingLocation(const dvk_ucs2_Char* locationName, const dvk_ucs2_Char* text)
{
    if (dvk_ucs2_strstr(locationName, text) != nullptr)
        return true;
    if (dvk_ucs2_strchr(text, '1') != nullptr)
        return dvk_ucs2_strstr(text, locationName) != nullptr;
    return false;
}

// Counts (or keeps only) the numbers whose type passes.
template <class Keep>
int32_t filterTypes(dvk_pbook_Entry* entry, bool remove, Keep keep)
{
    if (entry == nullptr || entry->numbers == nullptr)
        return 0;
    int32_t kept = 0;
    dvk_map_Node* node = dvk_map_getFirst(entry->numbers);
    while (node != nullptr) {
        if (keep(typeAt(entry->numbers, node))) {
            kept += static_cast<int32_t>(dvk_array_getCount(arrayAt(entry->numbers, node)));
            node = dvk_map_getNext(entry->numbers, node);
        } else {
            node = remove ? removeType(entry->numbers, node) : dvk_map_getNext(entry->numbers, node);
        }
    }
    return kept;
}

int32_t filterLocations(dvk_pbook_Entry* entry, const dvk_ucs2_Char* text, bool remove)
{
    if (entry == nullptr || entry->numbers == nullptr)
        return 0;
    DVK_ASSERT(text != DVK_NULL);
    int32_t kept = 0;
    dvk_map_Node* node = dvk_map_getFirst(entry->numbers);
    while (node != nullptr) {
        dvk_array* numbers = arrayAt(entry->numbers, node);
        const int32_t type = typeAt(entry->numbers, node);
        dvk_array* names = findArray(entry->locations, type);
        for (long p = 0; p < dvk_array_getCount(numbers);) {
            const auto* name = names != nullptr ? static_cast<const dvk_ucs2_Char*>(dvk_array_getItem(names, p)) : nullptr;
            if (name != nullptr && isMatchingLocation(name, text)) {
                ++kept;
                ++p;
            } else if (remove) {
                removeText(numbers, p);
                if (name != nullptr)
                    removeText(names, p);
            } else {
                ++p;
            }
        }
        if (remove && dvk_array_getCount(numbers) == 0)
            node = removeType(entry->numbers, node);
        else
            node = dvk_map_getNext(entry->numbers, node);
    }
    return kept;
}

bool hasNumber(const dvk_pbook_Entry* entry, const dvk_ucs2_Char* number)
{
    const int32_t count = dvk_pbook_getCount(entry);
    for (int32_t i = 0; i < count; ++i) {
        if (dvk_ucs2_strcmp(dvk_pbook_getPhoneNumberString(entry, i), number) == 0)
            return true;
    }
    return false;
}

// Inserts src's numbers of one type, interleaved with dest's: after every
// `step` of dest's a new one, never beyond the type's location names.
bool mergePhoneNumbers(dvk_pbook_Entry* dest, dvk_array* destNumbers, dvk_array* srcNumbers, long limit, long step)
{
    long position = dvk_array_getCount(destNumbers) < step ? dvk_array_getCount(destNumbers) : step;
    for (long i = 0; i < dvk_array_getCount(srcNumbers); ++i) {
        const auto* number = static_cast<const dvk_ucs2_Char*>(dvk_array_getItem(srcNumbers, i));
        if (hasNumber(dest, number))
            continue;
        if (dvk_array_getCount(destNumbers) >= limit)
            break;
        dvk_ucs2_Char* copy = dvk_ucs2_createCopy(number);
        if (copy == nullptr || dvk_array_insertItem(destNumbers, position, copy) == nullptr) {
            dvk_ucs2_destroy(&copy);
            return false;
        }
        const long count = dvk_array_getCount(destNumbers);
        position = count < position + step + 1 ? count : position + step + 1;
    }
    return true;
}

// A SIM number that another location holds too is dropped.
void removeDuplicateSimNumbers(dvk_pbook_Entry* entry)
{
    dvk_map_Node* simNode = dvk_map_findItem(entry->numbers, keyOf(4));
    if (simNode == nullptr)
        return;
    dvk_array* sim = arrayAt(entry->numbers, simNode);
    for (long i = 0; i < dvk_array_getCount(sim);) {
        const auto* number = static_cast<const dvk_ucs2_Char*>(dvk_array_getItem(sim, i));
        bool elsewhere = false;
        for (dvk_map_Node* node = dvk_map_getFirst(entry->numbers); node != nullptr && !elsewhere;
             node = dvk_map_getNext(entry->numbers, node)) {
            if (node == simNode)
                continue;
            dvk_array* numbers = arrayAt(entry->numbers, node);
            for (long k = 0; k < dvk_array_getCount(numbers) && !elsewhere; ++k)
                elsewhere = dvk_ucs2_strcmp(static_cast<const dvk_ucs2_Char*>(dvk_array_getItem(numbers, k)), number) == 0;
        }
        if (elsewhere)
            removeText(sim, i);
        else
            ++i;
    }
    if (dvk_array_getCount(sim) == 0)
        removeType(entry->numbers, simNode);
}

bool sameOptional(const dvk_ucs2_Char* a, const dvk_ucs2_Char* b)
{
    return a == nullptr || b == nullptr || dvk_ucs2_strcmp(a, b) == 0;
}

// A copy of a 64-unit OEM text; none when memory is short.
template <class Fill>
dvk_ucs2_Char* receiveText(Fill fill)
{
    dvk_ucs2_Char buffer[DVK_OEM_PBOOK_TEXT_LENGTH] = {};
    fill(buffer);
    terminate(buffer);
    return dvk_ucs2_createCopy(buffer);
}

void receiveThree(void (*oem)(dvk_ucs2_Char*, dvk_ucs2_Char*, dvk_ucs2_Char*), dvk_ucs2_Char** name,
                  dvk_ucs2_Char** number, dvk_ucs2_Char** location)
{
    DVK_ASSERT(name != DVK_NULL);
    DVK_ASSERT(number != DVK_NULL);
    DVK_ASSERT(location != DVK_NULL);
    dvk_ucs2_Char a[DVK_OEM_PBOOK_TEXT_LENGTH] = {}, b[DVK_OEM_PBOOK_TEXT_LENGTH] = {}, c[DVK_OEM_PBOOK_TEXT_LENGTH] = {};
    oem(a, b, c);
    terminate(a);
    terminate(b);
    terminate(c);
    *name = dvk_ucs2_createCopy(a);
    *number = dvk_ucs2_createCopy(b);
    *location = dvk_ucs2_createCopy(c);
    if (*name == nullptr || *number == nullptr || *location == nullptr) {
        dvk_ucs2_destroy(name);
        dvk_ucs2_destroy(number);
        dvk_ucs2_destroy(location);
    }
}

} // namespace

void dvkPbookUnitTestInit()
{
    contactIterHighOrderBit = 0;
    simCardIterHighOrderBit = 0;
}

dvk_pbook_Iterator dvk_pbook_getFirstEntry()
{
    if (dvk_oem_pbook_ContactIterator contact = dvk_oem_pbook_getFirstContact())
        return fromContact(contact);
    return fromSim(dvk_oem_pbook_getFirstSimCard());
}

dvk_pbook_Iterator dvk_pbook_getNextEntry(dvk_pbook_Iterator iterator)
{
    DVK_ASSERT(iterator != 0);
    if (isSim(iterator))
        return fromSim(dvk_oem_pbook_getNextSimCard(toSim(iterator)));
    if (dvk_oem_pbook_ContactIterator contact = dvk_oem_pbook_getNextContact(toContact(iterator)))
        return fromContact(contact);
    return fromSim(dvk_oem_pbook_getFirstSimCard());
}

dvk_pbook_Iterator dvk_pbook_findEntryByName(dvk_pbook_Iterator iterator, const dvk_ucs2_Char* name,
                                             const dvk_ucs2_Char* second, const dvk_ucs2_Char* third)
{
    DVK_ASSERT(iterator != 0);
    DVK_ASSERT(name != DVK_NULL);
    if (isSim(iterator))
        return fromSim(dvk_oem_pbook_findSimCardByName(toSim(iterator), name, second, third));
    if (dvk_oem_pbook_ContactIterator contact = dvk_oem_pbook_findContactByName(toContact(iterator), name, second, third))
        return fromContact(contact);
    dvk_oem_pbook_SimCardIterator sim = dvk_oem_pbook_getFirstSimCard();
    return sim != nullptr ? fromSim(dvk_oem_pbook_findSimCardByName(sim, name, second, third)) : 0;
}

dvk_pbook_Iterator dvk_pbook_getFirstModifiedEntry()
{
    if (dvk_oem_pbook_ContactIterator contact = dvk_oem_pbook_getFirstModifiedContact())
        return fromContact(contact);
    return fromSim(dvk_oem_pbook_getFirstModifiedSimCard());
}

dvk_pbook_Iterator dvk_pbook_getNextModifiedEntry(dvk_pbook_Iterator iterator)
{
    DVK_ASSERT(iterator != 0);
    if (isSim(iterator))
        return fromSim(dvk_oem_pbook_getNextModifiedSimCard(toSim(iterator)));
    if (dvk_oem_pbook_ContactIterator contact = dvk_oem_pbook_getNextModifiedContact(toContact(iterator)))
        return fromContact(contact);
    return fromSim(dvk_oem_pbook_getFirstModifiedSimCard());
}

void dvk_pbook_resetModifiedEntryList()
{
    dvk_oem_pbook_resetModifiedContactList();
    dvk_oem_pbook_resetModifiedSimCardList();
}

int32_t dvk_pbook_fullUpdateRequired()
{
    return dvk_oem_pbook_fullUpdateRequired();
}

void dvk_pbook_resetFullUpdateRequired()
{
    dvk_oem_pbook_resetFullUpdateRequired();
}

dvk_pbook_Entry* dvk_pbook_getEntry(dvk_pbook_Iterator iterator)
{
    dvk_pbook_Entry* entry = nullptr;
    buildEntry(iterator, true, &entry);
    return entry;
}

dvk_pbook_Entry* dvk_pbook_getNameEntry(dvk_pbook_Iterator iterator)
{
    dvk_pbook_Entry* entry = nullptr;
    buildEntry(iterator, false, &entry);
    return entry;
}

int32_t dvk_pbook_getMergedEntry(const dvk_ucs2_Char* name, const dvk_ucs2_Char* second, const dvk_ucs2_Char* third,
                                 dvk_pbook_Entry** entry)
{
    DVK_ASSERT(entry != DVK_NULL);
    DVK_ASSERT(name != DVK_NULL);
    *entry = nullptr;
    dvk_pbook_Iterator first = dvk_pbook_getFirstEntry();
    dvk_pbook_Iterator found = first != 0 ? dvk_pbook_findEntryByName(first, name, second, third) : 0;
    dvk_pbook_Entry* merged = nullptr;
    while (found != 0) {
        dvk_pbook_Entry* next = nullptr;
        const Built built = buildEntry(found, true, &next);
        if (built == Built::NoMemory) {
            dvk_pbook_destroyEntry(&merged);
            return -1;
        }
        // The name search is wider than the name (it ignores case and
        // accents, a company search finds its employees): only the very
        // name is merged.
        if (built == Built::Entry && dvk_ucs2_strcmp(next->name, name) == 0) {
            if (merged == nullptr) {
                merged = next;
                next = nullptr;
            } else if (dvk_pbook_mergeEntry(merged, next) < 0) {
                dvk_pbook_destroyEntry(&next);
                dvk_pbook_destroyEntry(&merged);
                return -1;
            }
        }
        dvk_pbook_destroyEntry(&next);
        const dvk_pbook_Iterator after = dvk_pbook_getNextEntry(found);
        found = after != 0 ? dvk_pbook_findEntryByName(after, name, second, third) : 0;
    }
    if (merged == nullptr)
        return 0;
    removeDuplicateSimNumbers(merged);
    *entry = merged;
    return dvk_pbook_getCount(merged);
}

int32_t dvk_pbook_mergeEntry(dvk_pbook_Entry* dest, const dvk_pbook_Entry* src)
{
    DVK_ASSERT(dest != DVK_NULL);
    DVK_ASSERT(src != DVK_NULL);
    if (dvk_ucs2_strcmp(dest->name, src->name) != 0)
        return -1;
    if (!sameOptional(dest->pronunciation, src->pronunciation))
        return dvk_pbook_getCount(dest);
    if (!sameOptional(dest->company, src->company))
        return -1;
    if (dvk_pbook_getCount(src) == 0)
        return dvk_pbook_getCount(dest);
    if (dest->numbers == nullptr)
        return -1;
    const long step = ++dest->mergeCount;
    for (dvk_map_Node* node = dvk_map_getFirst(src->numbers); node != nullptr; node = dvk_map_getNext(src->numbers, node)) {
        const int32_t type = typeAt(src->numbers, node);
        dvk_array* names = findArray(dest->locations, type);
        if (names == nullptr)
            return -1;
        dvk_array* destNumbers = ensureArray(dest->numbers, type);
        if (destNumbers == nullptr)
            return -1;
        const bool ok = mergePhoneNumbers(dest, destNumbers, arrayAt(src->numbers, node), dvk_array_getCount(names), step);
        if (dvk_array_getCount(destNumbers) == 0)
            removeType(dest->numbers, dvk_map_findItem(dest->numbers, keyOf(type)));
        if (!ok)
            return -1;
    }
    return dvk_pbook_getCount(dest);
}

namespace {

bool copyTextMap(dvk_map* from, dvk_map* to)
{
    for (dvk_map_Node* node = dvk_map_getFirst(from); node != nullptr; node = dvk_map_getNext(from, node)) {
        dvk_array* source = arrayAt(from, node);
        dvk_array* target = ensureArray(to, typeAt(from, node));
        if (target == nullptr)
            return false;
        for (long i = 0; i < dvk_array_getCount(source); ++i) {
            dvk_ucs2_Char* text = dvk_ucs2_createCopy(static_cast<const dvk_ucs2_Char*>(dvk_array_getItem(source, i)));
            if (text == nullptr || dvk_array_addItem(target, text) == nullptr) {
                dvk_ucs2_destroy(&text);
                return false;
            }
        }
    }
    return true;
}

} // namespace

dvk_pbook_Entry* dvk_pbook_copyEntry(const dvk_pbook_Entry* entry)
{
    DVK_ASSERT(entry != DVK_NULL);
    dvk_pbook_Entry* copy = newEntry(entry->numbers != nullptr);
    if (copy == nullptr)
        return nullptr;
    bool ok = true;
    copy->name = copyOptional(entry->name, ok);
    copy->pronunciation = copyOptional(entry->pronunciation, ok);
    copy->company = copyOptional(entry->company, ok);
    copy->text4 = copyOptional(entry->text4, ok);
    copy->mergeCount = entry->mergeCount;
    if (ok && entry->numbers != nullptr) {
        ok = copyTextMap(entry->numbers, copy->numbers) && copyTextMap(entry->locations, copy->locations);
        for (dvk_map_Node* node = dvk_map_getFirst(entry->callTypes); ok && node != nullptr;
             node = dvk_map_getNext(entry->callTypes, node)) {
            const void* key = nullptr;
            void* value = nullptr;
            dvk_map_getItem(entry->callTypes, node, &key, &value);
            ok = dvk_map_addItem(copy->callTypes, key, value) != nullptr;
        }
    }
    if (!ok)
        dvk_pbook_destroyEntry(&copy);
    return copy;
}

void dvk_pbook_destroyEntry(dvk_pbook_Entry** entry)
{
    DVK_ASSERT(entry != DVK_NULL);
    if (*entry == nullptr)
        return;
    dvk_pbook_Entry* e = *entry;
    dvk_ucs2_destroy(&e->name);
    dvk_ucs2_destroy(&e->pronunciation);
    dvk_ucs2_destroy(&e->company);
    dvk_ucs2_destroy(&e->text4);
    destroyTextMap(&e->numbers);
    destroyTextMap(&e->locations);
    if (e->callTypes != nullptr)
        dvk_map_destroy(&e->callTypes);
    dvk_mem_dealloc(entry);
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

const dvk_ucs2_Char* dvk_pbook_getCompany(const dvk_pbook_Entry* entry)
{
    DVK_ASSERT(entry != DVK_NULL);
    return entry->company;
}

int32_t dvk_pbook_getCount(const dvk_pbook_Entry* entry)
{
    if (entry == nullptr || entry->numbers == nullptr)
        return 0;
    long count = 0;
    for (dvk_map_Node* node = dvk_map_getFirst(entry->numbers); node != nullptr; node = dvk_map_getNext(entry->numbers, node))
        count += dvk_array_getCount(arrayAt(entry->numbers, node));
    return static_cast<int32_t>(count);
}

namespace {

// The type holding flat index `index` and the position within it.
dvk_map_Node* locate(const dvk_pbook_Entry* entry, int32_t index, long& position)
{
    DVK_ASSERT(entry != DVK_NULL);
    DVK_ASSERT(index >= 0 && index < dvk_pbook_getCount(entry));
    long rest = index;
    for (dvk_map_Node* node = dvk_map_getFirst(entry->numbers); node != nullptr; node = dvk_map_getNext(entry->numbers, node)) {
        const long count = dvk_array_getCount(arrayAt(entry->numbers, node));
        if (rest < count) {
            position = rest;
            return node;
        }
        rest -= count;
    }
    return nullptr;
}

} // namespace

const dvk_ucs2_Char* dvk_pbook_getPhoneNumberString(const dvk_pbook_Entry* entry, int32_t index)
{
    long position = 0;
    dvk_map_Node* node = locate(entry, index, position);
    return static_cast<const dvk_ucs2_Char*>(dvk_array_getItem(arrayAt(entry->numbers, node), position));
}

const dvk_ucs2_Char* dvk_pbook_getLocationString(const dvk_pbook_Entry* entry, int32_t index)
{
    long position = 0;
    dvk_map_Node* node = locate(entry, index, position);
    dvk_array* names = findArray(entry->locations, typeAt(entry->numbers, node));
    if (names == nullptr || position >= dvk_array_getCount(names))
        return nullptr;
    return static_cast<const dvk_ucs2_Char*>(dvk_array_getItem(names, position));
}

int32_t dvk_pbook_countByLocationType(const dvk_pbook_Entry* entry, int32_t type)
{
    return filterTypes(const_cast<dvk_pbook_Entry*>(entry), false, [type](int32_t t) { return t == type; });
}

int32_t dvk_pbook_filterByLocationType(dvk_pbook_Entry* entry, int32_t type)
{
    return filterTypes(entry, true, [type](int32_t t) { return t == type; });
}

int32_t dvk_pbook_countByCallType(const dvk_pbook_Entry* entry, int32_t callType)
{
    return filterTypes(const_cast<dvk_pbook_Entry*>(entry), false,
                       [entry, callType](int32_t t) { return isValidLocation(capabilityOf(entry, t), callType); });
}

int32_t dvk_pbook_filterByCallType(dvk_pbook_Entry* entry, int32_t callType)
{
    return filterTypes(entry, true,
                       [entry, callType](int32_t t) { return isValidLocation(capabilityOf(entry, t), callType); });
}

int32_t dvk_pbook_countByLocation(const dvk_pbook_Entry* entry, const dvk_ucs2_Char* location)
{
    return filterLocations(const_cast<dvk_pbook_Entry*>(entry), location, false);
}

int32_t dvk_pbook_filterByLocation(dvk_pbook_Entry* entry, const dvk_ucs2_Char* location)
{
    return filterLocations(entry, location, true);
}

int32_t dvk_pbook_truncateEntryPhonebook(dvk_pbook_Entry* entry, int32_t n)
{
    int32_t dropped = 0;
    while (dvk_pbook_getCount(entry) > n) {
        // The fullest type; a tie goes to the later one.
        dvk_map_Node* fullest = nullptr;
        long most = 0;
        for (dvk_map_Node* node = dvk_map_getFirst(entry->numbers); node != nullptr; node = dvk_map_getNext(entry->numbers, node)) {
            const long count = dvk_array_getCount(arrayAt(entry->numbers, node));
            if (count >= most) {
                most = count;
                fullest = node;
            }
        }
        dvk_array* numbers = arrayAt(entry->numbers, fullest);
        removeText(numbers, dvk_array_getCount(numbers) - 1);
        if (dvk_array_getCount(numbers) == 0)
            removeType(entry->numbers, fullest);
        ++dropped;
    }
    return dropped;
}

dvk_ucs2_Char* dvk_pbook_getVoicemailNumber()
{
    return receiveText([](dvk_ucs2_Char* buffer) { dvk_oem_pbook_getVoicemailNumber(buffer); });
}

void dvk_pbook_getLastDialedNumber(dvk_ucs2_Char** name, dvk_ucs2_Char** number, dvk_ucs2_Char** location)
{
    receiveThree(dvk_oem_pbook_getLastDialedNumber, name, number, location);
}

void dvk_pbook_getLastNumber(dvk_ucs2_Char** name, dvk_ucs2_Char** number, dvk_ucs2_Char** location)
{
    receiveThree(dvk_oem_pbook_getLastNumber, name, number, location);
}

dvk_pbook_LocationIterator dvk_pbook_getFirstLocation()
{
    return dvk_oem_pbook_getFirstLocation(dvk_settings_getCurrentLanguage());
}

dvk_pbook_LocationIterator dvk_pbook_getNextLocation(dvk_pbook_LocationIterator iterator)
{
    DVK_ASSERT(iterator != DVK_NULL);
    return dvk_oem_pbook_getNextLocation(iterator);
}

namespace {

dvk_ucs2_Char* locationText(dvk_pbook_LocationIterator iterator, bool synonym)
{
    DVK_ASSERT(iterator != DVK_NULL);
    dvk_oem_pbook_Location location;
    std::memset(&location, 0, sizeof location);
    dvk_oem_pbook_getLocation(iterator, &location);
    dvk_ucs2_Char* text = synonym ? location.synonym : location.name;
    terminate(text);
    return dvk_ucs2_createCopy(text);
}

} // namespace

dvk_ucs2_Char* dvk_pbook_getLocation(dvk_pbook_LocationIterator iterator)
{
    return locationText(iterator, false);
}

dvk_ucs2_Char* dvk_pbook_getLocationSynonym(dvk_pbook_LocationIterator iterator)
{
    return locationText(iterator, true);
}

dvk_pbook_GroupIterator dvk_pbook_getFirstGroup()
{
    return dvk_oem_pbook_getFirstGroup();
}

dvk_pbook_GroupIterator dvk_pbook_getNextGroup(dvk_pbook_GroupIterator iterator)
{
    DVK_ASSERT(iterator != DVK_NULL);
    return dvk_oem_pbook_getNextGroup(iterator);
}

dvk_ucs2_Char* dvk_pbook_getGroup(dvk_pbook_GroupIterator iterator)
{
    DVK_ASSERT(iterator != DVK_NULL);
    return receiveText([iterator](dvk_ucs2_Char* buffer) { dvk_oem_pbook_getGroup(iterator, buffer); });
}

int32_t dvk_pbook_getDefaultSendLocType()
{
    return dvk_oem_pbook_getDefaultSendLocType();
}

int32_t dvk_pbook_getDefaultSendEmailLocType()
{
    return dvk_oem_pbook_getDefaultSendEmailLocType();
}

dvk_ucs2_Char* dvk_pbook_formatPhoneNumber(const dvk_ucs2_Char* number)
{
    DVK_ASSERT(number != DVK_NULL);
    for (const dvk_ucs2_Char* c = number; *c != 0; ++c) {
        if (*c < '0' || *c > '9')
            return dvk_ucs2_createCopy(number);
    }
    dvk_ucs2_Char buffer[DVK_OEM_PBOOK_TEXT_LENGTH] = {};
    for (int i = 0; i < DVK_OEM_PBOOK_TEXT_LENGTH && number[i] != 0; ++i)
        buffer[i] = number[i];
    dvk_oem_pbook_formatPhoneNumber(dvk_oem_settings_getCurrentLanguage(), dvk_oem_settings_getDialingRegion(), buffer);
    terminate(buffer);
    return dvk_ucs2_createCopy(buffer);
}

int32_t dvk_pbook_getDefaultNumberEntry()
{
    return 0;
}

int32_t dvk_pbook_getMergedDefaultNumberEntry()
{
    return -1;
}

int32_t dvk_pbook_findDefaultNumber()
{
    return -1;
}

void dvk_pbook_log() {}
