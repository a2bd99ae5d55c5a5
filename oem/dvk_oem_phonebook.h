// The phonebook half of the porting interface: contacts through the contact
// reader's iterators, the full-or-incremental update protocol of the contact
// grammar, the fixed list of phone-number locations with their localized
// names, last-dialled and voicemail numbers. SIM cards and groups are not
// supported here: their operations answer empty. Suite thread ("VR") only.
#pragma once

#include "oem/dvk_oem_pbook_location.h"
#include "sdk/common/dvk_types.h"

#include "platform/core/wex_object.h"

#include <cstdint>
#include <memory>

enum : int32_t {
    DVK_OEM_PBOOK_TEXT_LENGTH = 64,   // units of every text, terminator included
    DVK_OEM_PBOOK_NUMBER_COUNT = 8,
};

struct dvk_oem_pbook_Entry {
    dvk_ucs2_Char name[DVK_OEM_PBOOK_TEXT_LENGTH];
    dvk_ucs2_Char name2[DVK_OEM_PBOOK_TEXT_LENGTH];  // the pronunciation; always empty here
    dvk_ucs2_Char organisation[DVK_OEM_PBOOK_TEXT_LENGTH];
    int32_t count;  // valid numbers; -1: a placeholder entry
    dvk_ucs2_Char numbers[DVK_OEM_PBOOK_NUMBER_COUNT][DVK_OEM_PBOOK_TEXT_LENGTH];
    dvk_oem_pbook_LocationType locTypes[DVK_OEM_PBOOK_NUMBER_COUNT];
    dvk_ucs2_Char name4[DVK_OEM_PBOOK_TEXT_LENGTH];
};

struct dvk_oem_pbook_Location {
    dvk_ucs2_Char name[DVK_OEM_PBOOK_TEXT_LENGTH];
    dvk_ucs2_Char synonym[DVK_OEM_PBOOK_TEXT_LENGTH];  // always empty here
    dvk_oem_pbook_LocationType type;
    int32_t capability;  // the call types the location serves
};

// The contact reader's iterator (a slot number), passed through unchanged.
typedef void* dvk_oem_pbook_ContactIterator;
// Never produced here.
typedef void* dvk_oem_pbook_SimCardIterator;
typedef void* dvk_oem_pbook_GroupIterator;
// A heap position 0-26 (row x 3 + sub-index), freed when the walk ends.
typedef void* dvk_oem_pbook_LocationIterator;

dvk_oem_pbook_ContactIterator dvk_oem_pbook_getFirstContact();
dvk_oem_pbook_ContactIterator dvk_oem_pbook_getNextContact(dvk_oem_pbook_ContactIterator iterator);
// Only `name` is searched for.
dvk_oem_pbook_ContactIterator dvk_oem_pbook_findContactByName(dvk_oem_pbook_ContactIterator iterator,
                                                              const dvk_ucs2_Char* name,
                                                              const dvk_ucs2_Char* second,
                                                              const dvk_ucs2_Char* third);
void dvk_oem_pbook_getContactNameEntry(dvk_oem_pbook_ContactIterator iterator, dvk_oem_pbook_Entry* entry);
void dvk_oem_pbook_getContactEntry(dvk_oem_pbook_ContactIterator iterator, dvk_oem_pbook_Entry* entry);

// The update protocol: whether the contact grammar must be rebuilt whole,
// its acknowledgement, and the contacts modified since the stored watermark.
int32_t dvk_oem_pbook_fullUpdateRequired();
void dvk_oem_pbook_resetFullUpdateRequired();
dvk_oem_pbook_ContactIterator dvk_oem_pbook_getFirstModifiedContact();
dvk_oem_pbook_ContactIterator dvk_oem_pbook_getNextModifiedContact(dvk_oem_pbook_ContactIterator iterator);
void dvk_oem_pbook_resetModifiedContactList();

dvk_oem_pbook_SimCardIterator dvk_oem_pbook_getFirstSimCard();
dvk_oem_pbook_SimCardIterator dvk_oem_pbook_getNextSimCard(dvk_oem_pbook_SimCardIterator iterator);
dvk_oem_pbook_SimCardIterator dvk_oem_pbook_findSimCardByName(dvk_oem_pbook_SimCardIterator iterator,
                                                              const dvk_ucs2_Char* name,
                                                              const dvk_ucs2_Char* second,
                                                              const dvk_ucs2_Char* third);
void dvk_oem_pbook_getSimCardEntry(dvk_oem_pbook_SimCardIterator iterator, dvk_oem_pbook_Entry* entry);
void dvk_oem_pbook_getSimCardNameEntry(dvk_oem_pbook_SimCardIterator iterator, dvk_oem_pbook_Entry* entry);
dvk_oem_pbook_SimCardIterator dvk_oem_pbook_getFirstModifiedSimCard();
dvk_oem_pbook_SimCardIterator dvk_oem_pbook_getNextModifiedSimCard(dvk_oem_pbook_SimCardIterator iterator);
void dvk_oem_pbook_resetModifiedSimCardList();

dvk_oem_pbook_GroupIterator dvk_oem_pbook_getFirstGroup();
dvk_oem_pbook_GroupIterator dvk_oem_pbook_getNextGroup(dvk_oem_pbook_GroupIterator iterator);
// `name`: 64 units.
void dvk_oem_pbook_getGroup(dvk_oem_pbook_GroupIterator iterator, dvk_ucs2_Char* name);

// 64-unit buffers.
void dvk_oem_pbook_getVoicemailNumber(dvk_ucs2_Char* number);
void dvk_oem_pbook_getLastDialedNumber(dvk_ucs2_Char* name, dvk_ucs2_Char* number, dvk_ucs2_Char* location);
void dvk_oem_pbook_getLastNumber(dvk_ucs2_Char* name, dvk_ucs2_Char* number, dvk_ucs2_Char* location);
dvk_oem_pbook_LocationType dvk_oem_pbook_getDefaultSendLocType();
dvk_oem_pbook_LocationType dvk_oem_pbook_getDefaultSendEmailLocType();

// 0 <= language < 30.
dvk_oem_pbook_LocationIterator dvk_oem_pbook_getFirstLocation(int32_t language);
dvk_oem_pbook_LocationIterator dvk_oem_pbook_getNextLocation(dvk_oem_pbook_LocationIterator iterator);
void dvk_oem_pbook_getLocation(dvk_oem_pbook_LocationIterator iterator, dvk_oem_pbook_Location* location);

// In place in the 64-unit buffer (its own file, so tests that fake the
// family keep the real format).
void dvk_oem_pbook_formatPhoneNumber(int32_t language, int32_t dialingRegion, dvk_ucs2_Char* number);

// Where the entry filler takes the current person (default
// QrvContactV2Sem::getCurrent); null restores the default.
using DvkOemPbookPersonSource = std::shared_ptr<WexObject> (*)(dvk_oem_pbook_ContactIterator iterator);
void dvkOemPbookSetPersonSource(DvkOemPbookPersonSource source);
// Tests: the update flags, the entry counter and the location texts as at
// process start.
void oemPbookUnitTestInit();
