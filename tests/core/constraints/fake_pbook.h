// A recording stand-in for the suite's phonebook access: contacts, changed
// contacts, locations and groups from settable lists, every call written
// down. Texts and entries come from the suite allocator, so an injected
// allocation failure reaches them as it would the real access.
#pragma once

#include "sdk/common/dvk_pbook.h"

#include <optional>
#include <string>
#include <vector>

struct FakeContact {
    std::u16string name;
    std::optional<std::u16string> pronunciation;
};

struct FakeLocation {
    std::u16string text, synonym;
};

struct FakePbook {
    std::vector<FakeContact> contacts;    // iterators 1, 2, ...
    std::vector<uint32_t> modified;       // iterators of changed contacts
    std::vector<FakeLocation> locations;
    std::vector<std::u16string> groups;
    std::vector<std::string> calls;       // "getNameEntry 2", "destroyEntry", ...
    long liveEntries = 0;
};

// Emptied by resetFakePbook().
FakePbook& fakePbook();
void resetFakePbook();
