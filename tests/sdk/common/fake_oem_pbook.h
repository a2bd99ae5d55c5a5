// A fake of the whole phonebook porting family (dvk_oem_pbook_*, the number
// format aside, which stays real): contacts and SIM cards as settable
// entries, changed ones by iterator, locations, groups, the fixed numbers;
// every contact call written down. Iterators are 1-based positions, with
// bit 31 set on request so the suite's remembering of it shows.
#pragma once

#include "oem/dvk_oem_phonebook.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct FakePbookEntry {
    std::u16string name{}, name2{}, organisation{}, name4{};
    std::vector<std::pair<int32_t, std::u16string>> numbers{};  // location type, number
    int32_t count = -2;  // -2: the numbers' count; else written as it stands
};

struct FakePbookLocation {
    std::u16string name{}, synonym{};
    int32_t type = 1;
    int32_t capability = 1;
};

struct FakeOemPbook {
    std::vector<FakePbookEntry> contacts, simCards;
    std::vector<uint32_t> modified, modifiedSims;  // 1-based positions
    std::vector<FakePbookLocation> locations;      // default: the 17 of this system
    std::vector<std::u16string> groups;
    std::u16string voicemail = u"VOICE MAIL";
    std::u16string lastDialed[3], lastNumber[3];
    int32_t fullUpdate = 0;
    uintptr_t contactHighBit = 0, simHighBit = 0;  // 0 or 0x80000000
    std::vector<std::string> calls;  // "getContactNameEntry 2", "findContactByName 1 ann", ...
    int32_t lastLanguage = -1;       // of the last location walk
    long liveLocationIterators = 0;
};

// The 17 locations, MOBILE 1 to CAR, as the provider names them without a
// bundle.
std::vector<FakePbookLocation> fakePbookDefaultLocations();
FakeOemPbook& fakeOemPbook();
void resetFakeOemPbook();
