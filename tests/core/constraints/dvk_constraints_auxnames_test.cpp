// Members from the phonebook: contact names with their pronunciations,
// changed contacts, the four passes over the locations, and groups.
#include "tests/core/constraints/constraints_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using Texts = std::vector<std::u16string>;

class PhonebookClassTest : public ConstraintClassTest {
protected:
    void SetUp() override
    {
        ConstraintClassTest::SetUp();
        fakeOemPbook().contacts = {{u"Ann Lee", u"an lee"}, {u"Bo", u""}, {u"Cy Dunn", u"sigh"}};
        fakeOemPbook().locations = {{u"Mobile 1", u"Cell 2"}, {u"Home", u""}};
        fakeOemPbook().groups = {u"Family", u"Work"};
    }
};

TEST_F(PhonebookClassTest, NamesAreTheContactsWithTheirPronunciations)
{
    const std::vector<WalkedMember> expected = {{u"Ann Lee", u"an lee"}, {u"Bo", {}}, {u"Cy Dunn", u"sigh"}};
    EXPECT_EQ(walkClass(staticClass("names"), strings_), expected);
    // Names only: no entry with numbers is asked for.
    const std::vector<std::string>& calls = fakeOemPbook().calls;
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "getContactNameEntry 2"), 1);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "getContactEntry 2"), 0);
}

TEST_F(PhonebookClassTest, AuxNamesAreTheChangedContacts)
{
    fakeOemPbook().modified = {3, 1};
    const std::vector<WalkedMember> expected = {{u"Cy Dunn", u"sigh"}, {u"Ann Lee", u"an lee"}};
    EXPECT_EQ(walkClass(staticClass("auxNames"), strings_), expected);
    EXPECT_EQ(fakeOemPbook().calls.front(), "getFirstModifiedContact");
    fakeOemPbook().modified.clear();
    EXPECT_EQ(surfaces("auxNames"), Texts{});
}

// A contact the phonebook cannot give is no member, and nothing is copied.
TEST_F(PhonebookClassTest, AMissingContactGivesNothing)
{
    dvk_constraints_WordClass* wc = staticClass("names");
    dvk_ucs2_Char* surface = nullptr;
    dvk_ucs2_Char* spoken = nullptr;
    wc->getEntry(wc, strings_, 9, &surface, &spoken);
    EXPECT_EQ(surface, nullptr);
    EXPECT_EQ(spoken, nullptr);
}

TEST_F(PhonebookClassTest, LocationsArePassedFourTimes)
{
    EXPECT_EQ(surfaces("location"),
              (Texts{u"Mobile 1", u"Home", u"Mobile", u"Home", u"Cell 2", u"", u"Cell", u""}));
    for (const WalkedMember& m : walkClass(staticClass("location"), strings_))
        EXPECT_FALSE(m.spoken.has_value());
    fakeOemPbook().locations.clear();
    EXPECT_EQ(surfaces("location"), Texts{});
}

// getFirst starts again at the location texts, whichever pass a broken-off
// walk was in, and the provider's walk left open is finished first.
TEST_F(PhonebookClassTest, FirstStartsTheLocationPassesAgain)
{
    dvk_constraints_WordClass* wc = staticClass("location");
    dvk_constraints_Iterator it = wc->getFirst(wc);
    for (int i = 0; i < 5; ++i)
        it = wc->getNext(wc, it);
    EXPECT_EQ(fakeOemPbook().liveLocationIterators, 1);
    EXPECT_EQ(surfaces("location").front(), u"Mobile 1");
    EXPECT_EQ(fakeOemPbook().liveLocationIterators, 0);
}

TEST_F(PhonebookClassTest, GroupsAreTheContactGroups)
{
    EXPECT_EQ(surfaces("group"), (Texts{u"Family", u"Work"}));
    fakeOemPbook().groups.clear();
    EXPECT_EQ(surfaces("group"), Texts{});
}

TEST_F(PhonebookClassTest, WalksLeakNothingWhicheverAllocationFails)
{
    fakeOemPbook().modified = {2, 3};
    for (const char* name : {"names", "auxNames", "location", "group"})
        expectWalkLeakFree(name);
    EXPECT_EQ(fakeOemPbook().liveLocationIterators, 0);
}

} // namespace
