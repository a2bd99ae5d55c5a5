// The suite's phonebook access: contacts (phonebook first, then SIM card)
// with their names, the phone-number locations and the contact groups, as
// the grammar's word classes walk them. Suite thread only; every text it
// hands out is a new copy the caller frees.
#pragma once

#include "sdk/common/dvk_types.h"

#include <cstdint>

// Bit 31 clear: a contact; set: a SIM card. 0: none or end.
typedef uint32_t dvk_pbook_Iterator;
// The porting layer's location and group iterators, passed through.
typedef void* dvk_pbook_LocationIterator;
typedef void* dvk_pbook_GroupIterator;

struct dvk_map;

// A contact with its numbers grouped by location type (ascending) and each
// number labelled with its type's location names, position for position.
struct dvk_pbook_Entry {
    dvk_ucs2_Char* name;           // never empty
    dvk_ucs2_Char* pronunciation;  // or none
    dvk_ucs2_Char* company;        // or none
    dvk_ucs2_Char* text4;          // or none
    int32_t mergeCount;            // entries merged into this one
    dvk_map* numbers;              // type -> dvk_array of numbers
    dvk_map* locations;            // type -> dvk_array of location names
    dvk_map* callTypes;            // type -> capability word
};

dvk_pbook_Iterator dvk_pbook_getFirstEntry();
dvk_pbook_Iterator dvk_pbook_getNextEntry(dvk_pbook_Iterator iterator);
// Contacts changed since the last reset.
dvk_pbook_Iterator dvk_pbook_getFirstModifiedEntry();
dvk_pbook_Iterator dvk_pbook_getNextModifiedEntry(dvk_pbook_Iterator iterator);
void dvk_pbook_resetModifiedEntryList();
// Contacts first, from the iterator on; then SIM cards.
dvk_pbook_Iterator dvk_pbook_findEntryByName(dvk_pbook_Iterator iterator, const dvk_ucs2_Char* name,
                                             const dvk_ucs2_Char* second, const dvk_ucs2_Char* third);
int32_t dvk_pbook_fullUpdateRequired();
void dvk_pbook_resetFullUpdateRequired();

// A new entry with the contact's names and no numbers; none when there is
// no such contact or memory is short.
dvk_pbook_Entry* dvk_pbook_getNameEntry(dvk_pbook_Iterator iterator);
// A new entry with the contact's numbers (at most as many per type as the
// type has location names); none for a placeholder contact or when memory is
// short.
dvk_pbook_Entry* dvk_pbook_getEntry(dvk_pbook_Iterator iterator);
// Every contact whose name is exactly `name`, merged into one entry: its
// count of numbers, 0 when there is none, -1 on failure (no entry then).
int32_t dvk_pbook_getMergedEntry(const dvk_ucs2_Char* name, const dvk_ucs2_Char* second, const dvk_ucs2_Char* third,
                                 dvk_pbook_Entry** entry);
// Merges src's numbers into dest, interleaved: dest's count, or -1 when the
// names or companies differ or memory is short.
int32_t dvk_pbook_mergeEntry(dvk_pbook_Entry* dest, const dvk_pbook_Entry* src);
dvk_pbook_Entry* dvk_pbook_copyEntry(const dvk_pbook_Entry* entry);
void dvk_pbook_destroyEntry(dvk_pbook_Entry** entry);
const dvk_ucs2_Char* dvk_pbook_getName(const dvk_pbook_Entry* entry);
// None when the contact has no pronunciation.
const dvk_ucs2_Char* dvk_pbook_getPronunciation(const dvk_pbook_Entry* entry);
const dvk_ucs2_Char* dvk_pbook_getCompany(const dvk_pbook_Entry* entry);

// Numbers by flat index: every type's numbers in ascending type order.
int32_t dvk_pbook_getCount(const dvk_pbook_Entry* entry);
const dvk_ucs2_Char* dvk_pbook_getPhoneNumberString(const dvk_pbook_Entry* entry, int32_t index);
// The number's location name, or none.
const dvk_ucs2_Char* dvk_pbook_getLocationString(const dvk_pbook_Entry* entry, int32_t index);
int32_t dvk_pbook_countByLocationType(const dvk_pbook_Entry* entry, int32_t type);
int32_t dvk_pbook_filterByLocationType(dvk_pbook_Entry* entry, int32_t type);
// Call types 1-3; the numbers whose location serves the call type.
int32_t dvk_pbook_countByCallType(const dvk_pbook_Entry* entry, int32_t callType);
int32_t dvk_pbook_filterByCallType(dvk_pbook_Entry* entry, int32_t callType);
// The numbers whose location name matches a spoken location.
int32_t dvk_pbook_countByLocation(const dvk_pbook_Entry* entry, const dvk_ucs2_Char* location);
int32_t dvk_pbook_filterByLocation(dvk_pbook_Entry* entry, const dvk_ucs2_Char* location);
// Drops numbers from the fullest types until n remain: how many went.
int32_t dvk_pbook_truncateEntryPhonebook(dvk_pbook_Entry* entry, int32_t n);

dvk_ucs2_Char* dvk_pbook_getVoicemailNumber();
void dvk_pbook_getLastDialedNumber(dvk_ucs2_Char** name, dvk_ucs2_Char** number, dvk_ucs2_Char** location);
void dvk_pbook_getLastNumber(dvk_ucs2_Char** name, dvk_ucs2_Char** number, dvk_ucs2_Char** location);
int32_t dvk_pbook_getDefaultSendLocType();
int32_t dvk_pbook_getDefaultSendEmailLocType();
// A new text: grouped for the dialing region when it is all digits.
dvk_ucs2_Char* dvk_pbook_formatPhoneNumber(const dvk_ucs2_Char* number);
int32_t dvk_pbook_getDefaultNumberEntry();
int32_t dvk_pbook_getMergedDefaultNumberEntry();
int32_t dvk_pbook_findDefaultNumber();
void dvk_pbook_log();

// Tests: forget the remembered iterator high-order bits.
void dvkPbookUnitTestInit();

// The locations of the current language.
dvk_pbook_LocationIterator dvk_pbook_getFirstLocation();
dvk_pbook_LocationIterator dvk_pbook_getNextLocation(dvk_pbook_LocationIterator iterator);
dvk_ucs2_Char* dvk_pbook_getLocation(dvk_pbook_LocationIterator iterator);
dvk_ucs2_Char* dvk_pbook_getLocationSynonym(dvk_pbook_LocationIterator iterator);

dvk_pbook_GroupIterator dvk_pbook_getFirstGroup();
dvk_pbook_GroupIterator dvk_pbook_getNextGroup(dvk_pbook_GroupIterator iterator);
dvk_ucs2_Char* dvk_pbook_getGroup(dvk_pbook_GroupIterator iterator);
