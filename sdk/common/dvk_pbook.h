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

struct dvk_pbook_Entry;

dvk_pbook_Iterator dvk_pbook_getFirstEntry();
dvk_pbook_Iterator dvk_pbook_getNextEntry(dvk_pbook_Iterator iterator);
// Contacts changed since the last reset.
dvk_pbook_Iterator dvk_pbook_getFirstModifiedEntry();
dvk_pbook_Iterator dvk_pbook_getNextModifiedEntry(dvk_pbook_Iterator iterator);

// A new entry with the contact's names and no numbers; none when there is
// no such contact or memory is short.
dvk_pbook_Entry* dvk_pbook_getNameEntry(dvk_pbook_Iterator iterator);
void dvk_pbook_destroyEntry(dvk_pbook_Entry** entry);
const dvk_ucs2_Char* dvk_pbook_getName(const dvk_pbook_Entry* entry);
// None when the contact has no pronunciation.
const dvk_ucs2_Char* dvk_pbook_getPronunciation(const dvk_pbook_Entry* entry);

// The locations of the current language.
dvk_pbook_LocationIterator dvk_pbook_getFirstLocation();
dvk_pbook_LocationIterator dvk_pbook_getNextLocation(dvk_pbook_LocationIterator iterator);
dvk_ucs2_Char* dvk_pbook_getLocation(dvk_pbook_LocationIterator iterator);
dvk_ucs2_Char* dvk_pbook_getLocationSynonym(dvk_pbook_LocationIterator iterator);

dvk_pbook_GroupIterator dvk_pbook_getFirstGroup();
dvk_pbook_GroupIterator dvk_pbook_getNextGroup(dvk_pbook_GroupIterator iterator);
dvk_ucs2_Char* dvk_pbook_getGroup(dvk_pbook_GroupIterator iterator);
