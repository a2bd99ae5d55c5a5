// Members from the phonebook: contact names (all contacts, or only the
// changed ones for "auxNames"), phone-number locations and contact groups.
#include "core/constraints/dvk_constraints.h"
#include "core/constraints/dvk_constraints_members.h"

#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_pbook.h"

namespace {

dvk_pbook_Iterator contactOf(dvk_constraints_Iterator iterator)
{
    return static_cast<dvk_pbook_Iterator>(iterator);
}

// The contact's name with its pronunciation as spoken form: both copied,
// or neither.
void nameEntry(dvk_constraints_Iterator iterator, dvk_ucs2_Char** surface, dvk_ucs2_Char** spoken)
{
    *surface = nullptr;
    *spoken = nullptr;
    if (iterator == 0)
        return;
    dvk_pbook_Entry* entry = dvk_pbook_getNameEntry(contactOf(iterator));
    if (entry == nullptr)
        return;
    const dvk_ucs2_Char* pronunciation = dvk_pbook_getPronunciation(entry);
    *surface = dvk_ucs2_createCopy(dvk_pbook_getName(entry));
    if (*surface != nullptr && pronunciation != nullptr) {
        *spoken = dvk_ucs2_createCopy(pronunciation);
        if (*spoken == nullptr)
            dvk_ucs2_destroy(surface);
    }
    dvk_pbook_destroyEntry(&entry);
}

// The location walk goes over the locations four times: the text, the text
// without its number, the synonym, the synonym without its number.
int s_locationPass;
// The provider's iterator of the running pass. The provider frees it only
// when its walk reaches the end, so a walk broken off (the recogniser
// wrapper stops on a failure) is finished before the next one starts.
dvk_pbook_LocationIterator s_location;

void finishLocationWalk()
{
    while (s_location != nullptr)
        s_location = dvk_pbook_getNextLocation(s_location);
}

} // namespace

dvk_constraints_Iterator contacts_getFirst(dvk_constraints_WordClass*)
{
    return dvk_pbook_getFirstEntry();
}

dvk_constraints_Iterator contacts_getNext(dvk_constraints_WordClass*, dvk_constraints_Iterator iterator)
{
    return iterator != 0 ? dvk_pbook_getNextEntry(contactOf(iterator)) : 0;
}

void contacts_getEntry(dvk_constraints_WordClass*, dvk_string_Table*, dvk_constraints_Iterator iterator,
                       dvk_ucs2_Char** surface, dvk_ucs2_Char** spoken)
{
    nameEntry(iterator, surface, spoken);
}

void contacts_freeEntry(dvk_constraints_WordClass* wordClass, dvk_ucs2_Char** surface,
                        dvk_ucs2_Char** spoken)
{
    freeCopiedEntry(wordClass, surface, spoken);
}

dvk_constraints_Iterator modifiedContacts_getFirst(dvk_constraints_WordClass*)
{
    return dvk_pbook_getFirstModifiedEntry();
}

dvk_constraints_Iterator modifiedContacts_getNext(dvk_constraints_WordClass*,
                                                  dvk_constraints_Iterator iterator)
{
    return iterator != 0 ? dvk_pbook_getNextModifiedEntry(contactOf(iterator)) : 0;
}

void modifiedContacts_getEntry(dvk_constraints_WordClass*, dvk_string_Table*,
                               dvk_constraints_Iterator iterator, dvk_ucs2_Char** surface,
                               dvk_ucs2_Char** spoken)
{
    nameEntry(iterator, surface, spoken);
}

void modifiedContacts_freeEntry(dvk_constraints_WordClass* wordClass, dvk_ucs2_Char** surface,
                                dvk_ucs2_Char** spoken)
{
    freeCopiedEntry(wordClass, surface, spoken);
}

dvk_constraints_Iterator locations_getFirst(dvk_constraints_WordClass*)
{
    finishLocationWalk();
    s_locationPass = 0;
    s_location = dvk_pbook_getFirstLocation();
    return reinterpret_cast<dvk_constraints_Iterator>(s_location);
}

dvk_constraints_Iterator locations_getNext(dvk_constraints_WordClass*, dvk_constraints_Iterator iterator)
{
    if (iterator == 0)
        return 0;
    s_location = dvk_pbook_getNextLocation(reinterpret_cast<dvk_pbook_LocationIterator>(iterator));
    // A pass without locations ends the next one at once, as the first did.
    while (s_location == nullptr && s_locationPass < 3) {
        ++s_locationPass;
        s_location = dvk_pbook_getFirstLocation();
    }
    return reinterpret_cast<dvk_constraints_Iterator>(s_location);
}

void locations_getEntry(dvk_constraints_WordClass*, dvk_string_Table*, dvk_constraints_Iterator iterator,
                        dvk_ucs2_Char** surface, dvk_ucs2_Char** spoken)
{
    *spoken = nullptr;
    *surface = nullptr;
    if (iterator == 0)
        return;
    auto location = reinterpret_cast<dvk_pbook_LocationIterator>(iterator);
    *surface = s_locationPass < 2 ? dvk_pbook_getLocation(location)
                                  : dvk_pbook_getLocationSynonym(location);
    if (*surface != nullptr && (s_locationPass == 1 || s_locationPass == 3))
        stripDigits(*surface);
}

void locations_freeEntry(dvk_constraints_WordClass* wordClass, dvk_ucs2_Char** surface,
                         dvk_ucs2_Char** spoken)
{
    freeCopiedEntry(wordClass, surface, spoken);
}

dvk_constraints_Iterator groups_getFirst(dvk_constraints_WordClass*)
{
    return reinterpret_cast<dvk_constraints_Iterator>(dvk_pbook_getFirstGroup());
}

dvk_constraints_Iterator groups_getNext(dvk_constraints_WordClass*, dvk_constraints_Iterator iterator)
{
    return iterator != 0 ? reinterpret_cast<dvk_constraints_Iterator>(dvk_pbook_getNextGroup(
                               reinterpret_cast<dvk_pbook_GroupIterator>(iterator)))
                         : 0;
}

void groups_getEntry(dvk_constraints_WordClass*, dvk_string_Table*, dvk_constraints_Iterator iterator,
                     dvk_ucs2_Char** surface, dvk_ucs2_Char** spoken)
{
    *spoken = nullptr;
    *surface = iterator != 0 ? dvk_pbook_getGroup(reinterpret_cast<dvk_pbook_GroupIterator>(iterator))
                             : nullptr;
}

void groups_freeEntry(dvk_constraints_WordClass* wordClass, dvk_ucs2_Char** surface,
                      dvk_ucs2_Char** spoken)
{
    freeCopiedEntry(wordClass, surface, spoken);
}
