#include "tests/sdk/common/fake_oem_pbook.h"

#include "sdk/common/dvk_assert.h"

#include <algorithm>
#include <cstdint>
#include <cwctype>
#include <memory>

namespace {

FakeOemPbook s_pbook;
// Every location position handed out; a walk broken off leaves its position
// live (counted), and the reset gives it back.
std::vector<std::unique_ptr<size_t>> s_positions;
// Positions still live at a reset: ended then, and kept, as a caller may
// still finish a walk it began before.
std::vector<std::unique_ptr<size_t>> s_endedByReset;
const size_t kEnded = SIZE_MAX;

const uintptr_t kBit31 = 0x80000000u;

// As a provider may: a text of 64 units or more fills the field unterminated.
void fakeFillText(dvk_ucs2_Char* field, size_t units, const std::u16string& text)
{
    const size_t n = std::min(units, text.size());
    std::copy(text.begin(), text.begin() + static_cast<long>(n), field);
    if (n < units)
        field[n] = 0;
}

void record(const std::string& call)
{
    s_pbook.calls.push_back(call);
}

size_t positionOf(void* iterator)
{
    return reinterpret_cast<uintptr_t>(iterator) & ~kBit31;
}

void* iteratorAt(size_t position, size_t count, uintptr_t highBit)
{
    return position >= 1 && position <= count ? reinterpret_cast<void*>(position | highBit) : nullptr;
}

std::string ascii(const std::u16string& text)
{
    return std::string(text.begin(), text.end());
}

// As the contact database's primary collation: case does not count.
bool sameIgnoringCase(const std::u16string& a, const std::u16string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) {
               return std::towlower(x) == std::towlower(y);
           });
}

std::u16string textOf(const dvk_ucs2_Char* text)
{
    std::u16string out;
    for (; text != nullptr && *text != 0; ++text)
        out += static_cast<char16_t>(*text);
    return out;
}

// As the provider does: a placeholder (empty name, count -1) for what it
// cannot give.
void fill(const std::vector<FakePbookEntry>& list, void* iterator, dvk_oem_pbook_Entry* entry, bool withNumbers)
{
    const size_t position = positionOf(iterator);
    if (position < 1 || position > list.size()) {
        entry->name[0] = 0;
        entry->count = -1;
        return;
    }
    const FakePbookEntry& e = list[position - 1];
    fakeFillText(entry->name, DVK_OEM_PBOOK_TEXT_LENGTH, e.name);
    fakeFillText(entry->name2, DVK_OEM_PBOOK_TEXT_LENGTH, e.name2);
    fakeFillText(entry->organisation, DVK_OEM_PBOOK_TEXT_LENGTH, e.organisation);
    fakeFillText(entry->name4, DVK_OEM_PBOOK_TEXT_LENGTH, e.name4);
    if (!withNumbers) {
        entry->count = 0;
        return;
    }
    const size_t n = std::min<size_t>(e.numbers.size(), DVK_OEM_PBOOK_NUMBER_COUNT);
    for (size_t k = 0; k < n; ++k) {
        entry->locTypes[k] = e.numbers[k].first;
        fakeFillText(entry->numbers[k], DVK_OEM_PBOOK_TEXT_LENGTH, e.numbers[k].second);
    }
    entry->count = e.count != -2 ? e.count : static_cast<int32_t>(n);
}

void* find(const std::vector<FakePbookEntry>& list, void* iterator, const dvk_ucs2_Char* name, uintptr_t highBit)
{
    const std::u16string wanted = textOf(name);
    for (size_t p = positionOf(iterator); p >= 1 && p <= list.size(); ++p) {
        if (sameIgnoringCase(list[p - 1].name, wanted))
            return iteratorAt(p, list.size(), highBit);
    }
    return nullptr;
}

void* nextOf(const std::vector<uint32_t>& modified, void* iterator, size_t count, uintptr_t highBit)
{
    auto it = std::find(modified.begin(), modified.end(), positionOf(iterator));
    if (it == modified.end() || it + 1 == modified.end())
        return nullptr;
    return iteratorAt(*(it + 1), count, highBit);
}

void copyThree(const std::u16string (&texts)[3], dvk_ucs2_Char* a, dvk_ucs2_Char* b, dvk_ucs2_Char* c)
{
    fakeFillText(a, DVK_OEM_PBOOK_TEXT_LENGTH, texts[0]);
    fakeFillText(b, DVK_OEM_PBOOK_TEXT_LENGTH, texts[1]);
    fakeFillText(c, DVK_OEM_PBOOK_TEXT_LENGTH, texts[2]);
}

} // namespace

std::vector<FakePbookLocation> fakePbookDefaultLocations()
{
    std::vector<FakePbookLocation> out;
    for (const QrvLocationRow& row : s_locations) {
        const std::string key = row.key;
        for (int k = 1; k <= (row.numbered ? 3 : 1); ++k) {
            const std::string text = row.numbered ? key + " " + std::to_string(k) : key;
            out.push_back({std::u16string(text.begin(), text.end()), u"", row.type, row.capability});
        }
    }
    return out;
}

FakeOemPbook& fakeOemPbook()
{
    return s_pbook;
}

void resetFakeOemPbook()
{
    s_pbook = FakeOemPbook{};
    for (std::unique_ptr<size_t>& position : s_positions) {
        if (*position != kEnded) {
            *position = kEnded;
            s_endedByReset.push_back(std::move(position));
        }
    }
    s_positions.clear();
    s_pbook.locations = fakePbookDefaultLocations();
}

dvk_oem_pbook_ContactIterator dvk_oem_pbook_getFirstContact()
{
    record("getFirstContact");
    return iteratorAt(1, s_pbook.contacts.size(), s_pbook.contactHighBit);
}

dvk_oem_pbook_ContactIterator dvk_oem_pbook_getNextContact(dvk_oem_pbook_ContactIterator iterator)
{
    DVK_ASSERT(iterator != DVK_NULL);
    DVK_ASSERT((reinterpret_cast<uintptr_t>(iterator) & kBit31) == s_pbook.contactHighBit);
    return iteratorAt(positionOf(iterator) + 1, s_pbook.contacts.size(), s_pbook.contactHighBit);
}

dvk_oem_pbook_ContactIterator dvk_oem_pbook_findContactByName(dvk_oem_pbook_ContactIterator iterator,
                                                              const dvk_ucs2_Char* name, const dvk_ucs2_Char*,
                                                              const dvk_ucs2_Char*)
{
    record("findContactByName " + std::to_string(positionOf(iterator)) + " " + ascii(textOf(name)));
    if (iterator == nullptr)
        return nullptr;
    return find(s_pbook.contacts, iterator, name, s_pbook.contactHighBit);
}

void dvk_oem_pbook_getContactNameEntry(dvk_oem_pbook_ContactIterator iterator, dvk_oem_pbook_Entry* entry)
{
    record("getContactNameEntry " + std::to_string(positionOf(iterator)));
    fill(s_pbook.contacts, iterator, entry, false);
}

void dvk_oem_pbook_getContactEntry(dvk_oem_pbook_ContactIterator iterator, dvk_oem_pbook_Entry* entry)
{
    record("getContactEntry " + std::to_string(positionOf(iterator)));
    fill(s_pbook.contacts, iterator, entry, true);
}

int32_t dvk_oem_pbook_fullUpdateRequired()
{
    record("fullUpdateRequired");
    return s_pbook.fullUpdate;
}

void dvk_oem_pbook_resetFullUpdateRequired()
{
    record("resetFullUpdateRequired");
}

dvk_oem_pbook_ContactIterator dvk_oem_pbook_getFirstModifiedContact()
{
    record("getFirstModifiedContact");
    return s_pbook.modified.empty()
               ? nullptr
               : iteratorAt(s_pbook.modified[0], s_pbook.contacts.size(), s_pbook.contactHighBit);
}

dvk_oem_pbook_ContactIterator dvk_oem_pbook_getNextModifiedContact(dvk_oem_pbook_ContactIterator iterator)
{
    DVK_ASSERT(iterator != DVK_NULL);
    return nextOf(s_pbook.modified, iterator, s_pbook.contacts.size(), s_pbook.contactHighBit);
}

void dvk_oem_pbook_resetModifiedContactList()
{
    record("resetModifiedContactList");
}

dvk_oem_pbook_SimCardIterator dvk_oem_pbook_getFirstSimCard()
{
    record("getFirstSimCard");
    return iteratorAt(1, s_pbook.simCards.size(), s_pbook.simHighBit);
}

dvk_oem_pbook_SimCardIterator dvk_oem_pbook_getNextSimCard(dvk_oem_pbook_SimCardIterator iterator)
{
    DVK_ASSERT(iterator != DVK_NULL);
    DVK_ASSERT((reinterpret_cast<uintptr_t>(iterator) & kBit31) == s_pbook.simHighBit);
    return iteratorAt(positionOf(iterator) + 1, s_pbook.simCards.size(), s_pbook.simHighBit);
}

dvk_oem_pbook_SimCardIterator dvk_oem_pbook_findSimCardByName(dvk_oem_pbook_SimCardIterator iterator,
                                                              const dvk_ucs2_Char* name, const dvk_ucs2_Char*,
                                                              const dvk_ucs2_Char*)
{
    record("findSimCardByName " + std::to_string(positionOf(iterator)) + " " + ascii(textOf(name)));
    return iterator != nullptr ? find(s_pbook.simCards, iterator, name, s_pbook.simHighBit) : nullptr;
}

void dvk_oem_pbook_getSimCardEntry(dvk_oem_pbook_SimCardIterator iterator, dvk_oem_pbook_Entry* entry)
{
    record("getSimCardEntry " + std::to_string(positionOf(iterator)));
    fill(s_pbook.simCards, iterator, entry, true);
}

void dvk_oem_pbook_getSimCardNameEntry(dvk_oem_pbook_SimCardIterator iterator, dvk_oem_pbook_Entry* entry)
{
    record("getSimCardNameEntry " + std::to_string(positionOf(iterator)));
    fill(s_pbook.simCards, iterator, entry, false);
}

dvk_oem_pbook_SimCardIterator dvk_oem_pbook_getFirstModifiedSimCard()
{
    record("getFirstModifiedSimCard");
    return s_pbook.modifiedSims.empty()
               ? nullptr
               : iteratorAt(s_pbook.modifiedSims[0], s_pbook.simCards.size(), s_pbook.simHighBit);
}

dvk_oem_pbook_SimCardIterator dvk_oem_pbook_getNextModifiedSimCard(dvk_oem_pbook_SimCardIterator iterator)
{
    DVK_ASSERT(iterator != DVK_NULL);
    return nextOf(s_pbook.modifiedSims, iterator, s_pbook.simCards.size(), s_pbook.simHighBit);
}

void dvk_oem_pbook_resetModifiedSimCardList()
{
    record("resetModifiedSimCardList");
}

dvk_oem_pbook_GroupIterator dvk_oem_pbook_getFirstGroup()
{
    return iteratorAt(1, s_pbook.groups.size(), 0);
}

dvk_oem_pbook_GroupIterator dvk_oem_pbook_getNextGroup(dvk_oem_pbook_GroupIterator iterator)
{
    return iteratorAt(positionOf(iterator) + 1, s_pbook.groups.size(), 0);
}

void dvk_oem_pbook_getGroup(dvk_oem_pbook_GroupIterator iterator, dvk_ucs2_Char* name)
{
    fakeFillText(name, DVK_OEM_PBOOK_TEXT_LENGTH, s_pbook.groups.at(positionOf(iterator) - 1));
}

void dvk_oem_pbook_getVoicemailNumber(dvk_ucs2_Char* number)
{
    fakeFillText(number, DVK_OEM_PBOOK_TEXT_LENGTH, s_pbook.voicemail);
}

void dvk_oem_pbook_getLastDialedNumber(dvk_ucs2_Char* name, dvk_ucs2_Char* number, dvk_ucs2_Char* location)
{
    copyThree(s_pbook.lastDialed, name, number, location);
}

void dvk_oem_pbook_getLastNumber(dvk_ucs2_Char* name, dvk_ucs2_Char* number, dvk_ucs2_Char* location)
{
    copyThree(s_pbook.lastNumber, name, number, location);
}

dvk_oem_pbook_LocationType dvk_oem_pbook_getDefaultSendLocType()
{
    return 1;
}

dvk_oem_pbook_LocationType dvk_oem_pbook_getDefaultSendEmailLocType()
{
    return 5;
}

// Positions that end with the walk, as the provider frees its own.
dvk_oem_pbook_LocationIterator dvk_oem_pbook_getFirstLocation(int32_t language)
{
    s_pbook.lastLanguage = language;
    if (s_pbook.locations.empty())
        return nullptr;
    ++s_pbook.liveLocationIterators;
    s_positions.push_back(std::make_unique<size_t>(0));
    return s_positions.back().get();
}

dvk_oem_pbook_LocationIterator dvk_oem_pbook_getNextLocation(dvk_oem_pbook_LocationIterator iterator)
{
    auto* position = static_cast<size_t*>(iterator);
    if (*position == kEnded)
        return nullptr;
    if (++*position < s_pbook.locations.size())
        return iterator;
    *position = kEnded;  // any later use fails
    --s_pbook.liveLocationIterators;
    return nullptr;
}

void dvk_oem_pbook_getLocation(dvk_oem_pbook_LocationIterator iterator, dvk_oem_pbook_Location* location)
{
    const FakePbookLocation& l = s_pbook.locations.at(*static_cast<size_t*>(iterator));
    fakeFillText(location->name, DVK_OEM_PBOOK_TEXT_LENGTH, l.name);
    fakeFillText(location->synonym, DVK_OEM_PBOOK_TEXT_LENGTH, l.synonym);
    location->type = l.type;
    location->capability = l.capability;
}

void dvkOemPbookSetPersonSource(DvkOemPbookPersonSource) {}
void oemPbookUnitTestInit() {}
