// The suite's phonebook access over a fake porting family: entries grouped
// by location, merging, the filters, truncation, iterators and the fixed
// answers, with the number format the real one.
#include "sdk/common/dvk_pbook.h"

#include "tests/sdk/common/fake_oem.h"
#include "tests/sdk/common/fake_oem_pbook.h"
#include "tests/support/suite_memory.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Numbers = std::vector<std::pair<std::u16string, std::u16string>>;  // number, location

const dvk_ucs2_Char* u(const char16_t* text)
{
    return reinterpret_cast<const dvk_ucs2_Char*>(text);
}

std::u16string str(const dvk_ucs2_Char* text)
{
    return text != nullptr ? std::u16string(reinterpret_cast<const char16_t*>(text)) : u"<none>";
}

Numbers numbersOf(const dvk_pbook_Entry* entry)
{
    Numbers out;
    for (int32_t i = 0; i < dvk_pbook_getCount(entry); ++i)
        out.emplace_back(str(dvk_pbook_getPhoneNumberString(entry, i)), str(dvk_pbook_getLocationString(entry, i)));
    return out;
}

class PbookTest : public SuiteMemoryTest {
protected:
    void SetUp() override
    {
        SuiteMemoryTest::SetUp();
        resetFakeOemSettings();
        resetFakeOemPbook();
        dvkPbookUnitTestInit();
    }
    void TearDown() override
    {
        destroyOwned();
        EXPECT_EQ(fakeOemPbook().liveLocationIterators, 0);
        SuiteMemoryTest::TearDown();
    }
    // The entry of contact `position`; destroyed with the test.
    dvk_pbook_Entry* entry(uint32_t position)
    {
        dvk_pbook_Entry* e = dvk_pbook_getEntry(position);
        if (e != nullptr)
            owned_.push_back(e);
        return e;
    }
    void destroyOwned()
    {
        for (dvk_pbook_Entry*& e : owned_)
            dvk_pbook_destroyEntry(&e);
        owned_.clear();
    }
    ~PbookTest() override { destroyOwned(); }

    std::vector<dvk_pbook_Entry*> owned_;
};

TEST_F(PbookTest, EntryKeepsAsManyNumbersPerTypeAsTheTypeHasLocations)
{
    fakeOemPbook().contacts = {
        {u"Ann", u"", u"Acme", u"", {{1, u"m1"}, {1, u"m2"}, {1, u"m3"}, {1, u"m4"}, {2, u"h1"}, {2, u"h2"}, {2, u"h3"}, {3, u"w1"}}},
        {u"Bo", u"", u"", u"", {{0, u"n1"}, {0, u"n2"}}},
        {u"Cy", u"cee", u"", u"t4", {{9, u"car1"}, {9, u"car2"}, {4, u"sim1"}, {11, u"x"}}},
    };
    dvk_pbook_Entry* ann = entry(1);
    ASSERT_NE(ann, nullptr);
    EXPECT_EQ(numbersOf(ann), (Numbers{{u"m1", u"MOBILE 1"}, {u"m2", u"MOBILE 2"}, {u"m3", u"MOBILE 3"},
                                       {u"h1", u"HOME 1"}, {u"h2", u"HOME 2"}, {u"h3", u"HOME 3"},
                                       {u"w1", u"WORK 1"}}));
    EXPECT_EQ(str(dvk_pbook_getCompany(ann)), u"Acme");
    EXPECT_EQ(dvk_pbook_getPronunciation(ann), nullptr);
    // Numbers without a type end with none.
    EXPECT_EQ(dvk_pbook_getCount(entry(2)), 0);
    dvk_pbook_Entry* cy = entry(3);
    EXPECT_EQ(numbersOf(cy), (Numbers{{u"sim1", u"SIM"}, {u"car1", u"CAR"}}));
    EXPECT_EQ(str(dvk_pbook_getPronunciation(cy)), u"cee");
    EXPECT_EQ(str(cy->text4), u"t4");
    EXPECT_EQ(fakeOemPbook().lastLanguage, 5);
}

TEST_F(PbookTest, ProviderTextsAreBoundedAndPlaceholdersGiveNoEntry)
{
    FakePbookEntry wide{std::u16string(70, u'N'), u"", u"", u"", {}};
    for (int k = 0; k < 9; ++k)
        wide.numbers.push_back({k < 3 ? 1 : 2, std::u16string(70, static_cast<char16_t>(u'0' + k))});
    wide.count = 12;  // more than the slots: eight are read
    fakeOemPbook().contacts = {wide, {u"", u"", u"", u"", {{1, u"5550100"}}}};
    dvk_pbook_Entry* e = entry(1);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(str(dvk_pbook_getName(e)), std::u16string(63, u'N'));
    EXPECT_EQ(dvk_pbook_getCount(e), 6);
    EXPECT_EQ(str(dvk_pbook_getPhoneNumberString(e, 5)), std::u16string(63, u'5'));
    EXPECT_EQ(dvk_pbook_getEntry(2), nullptr);
    EXPECT_EQ(dvk_pbook_getNameEntry(2), nullptr);
    EXPECT_EQ(dvk_pbook_getEntry(9), nullptr);
}

TEST_F(PbookTest, TruncatingDropsFromTheFullestTypeLaterTypesFirst)
{
    fakeOemPbook().contacts = {
        {u"Ann", u"", u"", u"", {{1, u"m1"}, {1, u"m2"}, {1, u"m3"}, {2, u"h1"}, {2, u"h2"}, {2, u"h3"}}}};
    dvk_pbook_Entry* e = entry(1);
    EXPECT_EQ(dvk_pbook_truncateEntryPhonebook(e, 7), 0);
    EXPECT_EQ(dvk_pbook_truncateEntryPhonebook(e, 4), 2);
    EXPECT_EQ(numbersOf(e), (Numbers{{u"m1", u"MOBILE 1"}, {u"m2", u"MOBILE 2"}, {u"h1", u"HOME 1"}, {u"h2", u"HOME 2"}}));
    EXPECT_EQ(dvk_pbook_truncateEntryPhonebook(e, 0), 4);
    EXPECT_EQ(dvk_pbook_getCount(e), 0);
}

TEST_F(PbookTest, MergingInterleavesAndStopsAtTheLocations)
{
    fakeOemPbook().contacts = {
        {u"Ann", u"", u"", u"", {{1, u"a1"}, {1, u"a2"}}},
        {u"Ann", u"", u"", u"", {{1, u"b1"}, {1, u"b2"}, {2, u"bh"}}},
        {u"Ann", u"", u"", u"", {{1, u"c1"}, {2, u"bh"}}},
        {u"Ann", u"other", u"", u"", {{3, u"w"}}},
        {u"Ann", u"", u"Elsewhere", u"", {{3, u"w"}}},
        {u"Bo", u"", u"", u"", {{3, u"w"}}},
    };
    dvk_pbook_Entry* a = entry(1);
    EXPECT_EQ(dvk_pbook_mergeEntry(a, entry(2)), 4);
    EXPECT_EQ(numbersOf(a), (Numbers{{u"a1", u"MOBILE 1"}, {u"b1", u"MOBILE 2"}, {u"a2", u"MOBILE 3"}, {u"bh", u"HOME 1"}}));
    // Mobile is full and the home number is there already.
    EXPECT_EQ(dvk_pbook_mergeEntry(a, entry(3)), 4);
    EXPECT_EQ(a->mergeCount, 2);
    // Another pronunciation: no merge; another company or name: -1.
    fakeOemPbook().contacts[0].name2 = u"an";
    dvk_pbook_Entry* pronounced = entry(1);
    EXPECT_EQ(dvk_pbook_mergeEntry(pronounced, entry(4)), 2);
    EXPECT_EQ(pronounced->mergeCount, 0);
    dvk_pbook_Entry* acme = entry(1);
    EXPECT_EQ(dvk_pbook_mergeEntry(acme, entry(6)), -1);
    fakeOemPbook().contacts[0].organisation = u"Acme";
    dvk_pbook_Entry* atAcme = entry(1);
    EXPECT_EQ(dvk_pbook_mergeEntry(atAcme, entry(5)), -1);
}

TEST_F(PbookTest, ANumberPresentUnderAnyTypeIsNotMergedAgain)
{
    fakeOemPbook().contacts = {{u"Ann", u"", u"", u"", {{1, u"5550001"}}}, {u"Ann", u"", u"", u"", {{2, u"5550001"}}}};
    dvk_pbook_Entry* merged = nullptr;
    EXPECT_EQ(dvk_pbook_getMergedEntry(u(u"Ann"), nullptr, nullptr, &merged), 1);
    dvk_pbook_destroyEntry(&merged);
}

TEST_F(PbookTest, MergedEntryTakesOnlyTheVeryNameAndDropsDuplicateSimNumbers)
{
    fakeOemPbook().contacts = {
        {u"ann lee", u"", u"", u"", {{3, u"4085550199"}}},
        {u"Ann Lee", u"", u"", u"", {{4, u"6505550100"}, {1, u"6505550100"}}},
        {u"Bo", u"", u"", u"", {{1, u"1"}}},
        {u"Ann Lee", u"", u"", u"", {{1, u"6505550101"}}},
    };
    dvk_pbook_Entry* merged = nullptr;
    EXPECT_EQ(dvk_pbook_getMergedEntry(u(u"Ann Lee"), nullptr, nullptr, &merged), 2);
    ASSERT_NE(merged, nullptr);
    EXPECT_EQ(numbersOf(merged), (Numbers{{u"6505550100", u"MOBILE 1"}, {u"6505550101", u"MOBILE 2"}}));
    dvk_pbook_destroyEntry(&merged);
    // After the contacts the SIM cards are searched (the one SIM location
    // free this time).
    fakeOemPbook().contacts[1].numbers = {{1, u"6505550100"}};
    fakeOemPbook().simCards = {{u"Ann Lee", u"", u"", u"", {{4, u"7"}}}};
    EXPECT_EQ(dvk_pbook_getMergedEntry(u(u"Ann Lee"), nullptr, nullptr, &merged), 3);
    EXPECT_EQ(numbersOf(merged), (Numbers{{u"6505550100", u"MOBILE 1"}, {u"6505550101", u"MOBILE 2"}, {u"7", u"SIM"}}));
    dvk_pbook_destroyEntry(&merged);
    EXPECT_EQ(dvk_pbook_getMergedEntry(u(u"ann lee"), nullptr, nullptr, &merged), 1);
    EXPECT_EQ(numbersOf(merged), (Numbers{{u"4085550199", u"WORK 1"}}));
    dvk_pbook_destroyEntry(&merged);
    EXPECT_EQ(dvk_pbook_getMergedEntry(u(u"Nobody"), nullptr, nullptr, &merged), 0);
    EXPECT_EQ(merged, nullptr);
}

TEST_F(PbookTest, FiltersByTypeCallTypeAndSpokenLocation)
{
    fakeOemPbook().contacts = {{u"Ann", u"", u"", u"", {{1, u"m1"}, {1, u"m2"}, {2, u"h1"}, {9, u"car"}}}};
    struct Case {
        const char16_t* spoken;
        int32_t count;
    } cases[] = {{u"MOBILE 1", 1}, {u"MOBILE", 2}, {u"HOME 1", 1}, {u"CAR 1", 1}, {u"CAR", 1}, {u"WORK", 0}};
    for (const Case& c : cases) {
        dvk_pbook_Entry* e = entry(1);
        EXPECT_EQ(dvk_pbook_countByLocation(e, u(c.spoken)), c.count) << std::string(c.spoken, c.spoken + std::char_traits<char16_t>::length(c.spoken));
        EXPECT_EQ(dvk_pbook_getCount(e), 4);
        EXPECT_EQ(dvk_pbook_filterByLocation(e, u(c.spoken)), c.count);
        EXPECT_EQ(dvk_pbook_getCount(e), c.count);
    }
    dvk_pbook_Entry* e = entry(1);
    EXPECT_EQ(dvk_pbook_countByLocationType(e, 1), 2);
    EXPECT_EQ(dvk_pbook_countByCallType(e, 1), 4);
    EXPECT_EQ(dvk_pbook_countByCallType(e, 2), 0);
    EXPECT_EQ(dvk_pbook_countByCallType(e, 3), 0);
    EXPECT_EQ(dvk_pbook_filterByLocationType(e, 2), 1);
    EXPECT_EQ(numbersOf(e), (Numbers{{u"h1", u"HOME 1"}}));
    EXPECT_EQ(dvk_pbook_filterByCallType(e, 1), 1);
    EXPECT_EQ(dvk_pbook_filterByCallType(e, 2), 0);
    EXPECT_EQ(dvk_pbook_getCount(e), 0);
    EXPECT_EQ(dvk_pbook_countByCallType(nullptr, 1), 0);
    EXPECT_EQ(dvk_pbook_filterByLocation(nullptr, u(u"HOME")), 0);
}

// Capability words decide per call type.
TEST_F(PbookTest, CallTypesFollowTheCapabilityWords)
{
    fakeOemPbook().locations = {{u"A", u"", 1, 1}, {u"B", u"", 2, 2}, {u"C", u"", 3, 3}, {u"D", u"", 6, 7}, {u"E", u"", 10, 0}};
    fakeOemPbook().contacts = {{u"Ann", u"", u"", u"", {{1, u"a"}, {2, u"b"}, {3, u"c"}, {6, u"d"}, {10, u"e"}}}};
    dvk_pbook_Entry* e = entry(1);
    EXPECT_EQ(dvk_pbook_getCount(e), 5);
    EXPECT_EQ(dvk_pbook_countByCallType(e, 1), 2);
    EXPECT_EQ(dvk_pbook_countByCallType(e, 2), 2);
    EXPECT_EQ(dvk_pbook_countByCallType(e, 3), 2);
    EXPECT_EQ(dvk_pbook_countByCallType(e, 4), 0);
}

TEST_F(PbookTest, IteratorsGoFromContactsToSimCardsKeepingBit31)
{
    fakeOemPbook().contacts = {{u"A"}, {u"B"}};
    fakeOemPbook().simCards = {{u"S"}};
    fakeOemPbook().contactHighBit = 0x80000000u;
    fakeOemPbook().simHighBit = 0x80000000u;
    std::vector<std::u16string> names;
    for (dvk_pbook_Iterator it = dvk_pbook_getFirstEntry(); it != 0; it = dvk_pbook_getNextEntry(it)) {
        dvk_pbook_Entry* e = dvk_pbook_getNameEntry(it);
        ASSERT_NE(e, nullptr);
        names.push_back(str(dvk_pbook_getName(e)));
        EXPECT_EQ(e->numbers, nullptr);
        dvk_pbook_destroyEntry(&e);
    }
    EXPECT_EQ(names, (std::vector<std::u16string>{u"A", u"B", u"S"}));
    // The fake asserts that each OEM iterator comes back with its own bit 31.
    const dvk_pbook_Iterator s = dvk_pbook_findEntryByName(dvk_pbook_getFirstEntry(), u(u"s"), nullptr, nullptr);
    EXPECT_EQ(s & 0x80000000u, 0x80000000u);
    fakeOemPbook().modified = {2};
    const dvk_pbook_Iterator m = dvk_pbook_getFirstModifiedEntry();
    EXPECT_EQ(m, 2u);
    EXPECT_EQ(dvk_pbook_getNextModifiedEntry(m), 0u);
    dvk_pbook_resetModifiedEntryList();
    EXPECT_EQ(fakeOemPbook().calls.back(), "resetModifiedSimCardList");
    EXPECT_DEATH(dvk_pbook_getNextEntry(0), "iterator != 0");
}

TEST_F(PbookTest, OtherDataComesAsBoundedCopies)
{
    fakeOemPbook().voicemail = std::u16string(70, u'V');
    fakeOemPbook().lastDialed[0] = u"Carl Jensen";
    fakeOemPbook().lastDialed[1] = u"6505550142";
    fakeOemPbook().lastDialed[2] = u"WORK";
    fakeOemPbook().groups = {u"Family"};
    dvk_ucs2_Char* voicemail = dvk_pbook_getVoicemailNumber();
    EXPECT_EQ(str(voicemail), std::u16string(63, u'V'));
    dvk_mem_dealloc(&voicemail);
    dvk_ucs2_Char *name = nullptr, *number = nullptr, *location = nullptr;
    dvk_pbook_getLastDialedNumber(&name, &number, &location);
    EXPECT_EQ(str(name) + u"|" + str(number) + u"|" + str(location), u"Carl Jensen|6505550142|WORK");
    for (dvk_ucs2_Char** p : {&name, &number, &location})
        dvk_mem_dealloc(p);
    dvk_mem_failAfter(1);
    dvk_pbook_getLastDialedNumber(&name, &number, &location);
    EXPECT_EQ(name, nullptr);
    EXPECT_EQ(number, nullptr);
    dvk_mem_failAfter(-1);
    dvk_pbook_GroupIterator group = dvk_pbook_getFirstGroup();
    dvk_ucs2_Char* text = dvk_pbook_getGroup(group);
    EXPECT_EQ(str(text), u"Family");
    dvk_mem_dealloc(&text);
    EXPECT_EQ(dvk_pbook_getNextGroup(group), nullptr);
    EXPECT_EQ(dvk_pbook_getDefaultSendLocType(), 1);
    EXPECT_EQ(dvk_pbook_getDefaultSendEmailLocType(), 5);
    EXPECT_EQ(dvk_pbook_getDefaultNumberEntry(), 0);
    EXPECT_EQ(dvk_pbook_getMergedDefaultNumberEntry(), -1);
    EXPECT_EQ(dvk_pbook_findDefaultNumber(), -1);
}

TEST_F(PbookTest, FormattingGroupsAllDigitNumbersOfTheDialingRegion)
{
    struct Case {
        int32_t region;
        const char16_t *number, *formatted;
    } cases[] = {
        {0, u"6505551234", u"650-555-1234"}, {0, u"16505551234", u"1-650-555-1234"}, {0, u"5551234", u"555-1234"},
        {0, u"55512345", u"55512345"},       {0, u"+16505551234", u"+16505551234"},  {0, u"", u""},
        {1, u"6505551234", u"6505551234"},
    };
    for (const Case& c : cases) {
        fakeOemSettings().dialingRegion = c.region;
        dvk_ucs2_Char* out = dvk_pbook_formatPhoneNumber(u(c.number));
        EXPECT_EQ(str(out), c.formatted);
        dvk_mem_dealloc(&out);
    }
}

TEST_F(PbookTest, EveryAllocationFailingInTurnLeavesNothingBehind)
{
    fakeOemPbook().contacts = {
        {u"Ann", u"an", u"Acme", u"t", {{1, u"a1"}, {2, u"a2"}}},
        {u"Ann", u"an", u"Acme", u"", {{1, u"b1"}, {4, u"a1"}}},
    };
    fakeOemPbook().simCards = {{u"Ann", u"", u"", u"", {{4, u"a2"}}}};
    for (long fail = 0;; ++fail) {
        const long live = dvk_mem_liveBlocks();
        dvk_mem_failAfter(fail);
        dvk_pbook_Entry* a = dvk_pbook_getEntry(1);
        dvk_pbook_Entry* copy = a != nullptr ? dvk_pbook_copyEntry(a) : nullptr;
        dvk_pbook_Entry* merged = nullptr;
        const int32_t count = dvk_pbook_getMergedEntry(u(u"Ann"), nullptr, nullptr, &merged);
        dvk_mem_failAfter(-1);
        EXPECT_TRUE(count == -1 ? merged == nullptr : count == dvk_pbook_getCount(merged));
        const bool done = a != nullptr && copy != nullptr && merged != nullptr;
        if (copy != nullptr) {
            EXPECT_EQ(numbersOf(copy), numbersOf(a));
        }
        if (merged != nullptr) {
            EXPECT_EQ(numbersOf(merged), (Numbers{{u"a1", u"MOBILE 1"}, {u"b1", u"MOBILE 2"}, {u"a2", u"HOME 1"}}));
        }
        dvk_pbook_destroyEntry(&a);
        dvk_pbook_destroyEntry(&copy);
        dvk_pbook_destroyEntry(&merged);
        EXPECT_EQ(dvk_mem_liveBlocks(), live) << "failing allocation " << fail;
        if (done)
            break;
        ASSERT_LT(fail, 1000);
    }
}

} // namespace
