// Members made of digits, the recent-call numbers as spoken, and the cut of
// a trailing number off a location.
#include "core/constraints/dvk_constraints_members.h"
#include "tests/core/constraints/constraints_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Texts = std::vector<std::u16string>;

std::u16string format(const std::u16string& number)
{
    dvk_ucs2_Char* text = formatRecentCallNumber(reinterpret_cast<const dvk_ucs2_Char*>(number.c_str()));
    if (text == nullptr)
        return u"(none)";
    std::u16string out(reinterpret_cast<const char16_t*>(text));
    dvk_ucs2_destroy(&text);
    return out;
}

std::u16string stripped(std::u16string text)
{
    stripDigits(reinterpret_cast<dvk_ucs2_Char*>(text.data()));
    return std::u16string(text.c_str());
}

TEST_F(ConstraintClassTest, DigitClassesGiveTheTenDigits)
{
    const Texts digits = {u"0", u"1", u"2", u"3", u"4", u"5", u"6", u"7", u"8", u"9"};
    EXPECT_EQ(surfaces("digits1"), digits);
    EXPECT_EQ(surfaces("digits2"), digits);
    EXPECT_EQ(surfaces("plus"), Texts{u"+"});
}

// The digit and plus classes answer one shared buffer; freeEntry leaves it.
TEST_F(ConstraintClassTest, DigitEntriesShareOneBuffer)
{
    dvk_constraints_WordClass* digits = staticClass("digits1");
    dvk_constraints_WordClass* plus = staticClass("plus");
    const long live = dvk_mem_liveBlocks();
    dvk_ucs2_Char* surface = nullptr;
    dvk_ucs2_Char* spoken = nullptr;
    digits->getEntry(digits, strings_, '7', &surface, &spoken);
    dvk_ucs2_Char* first = surface;
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(surface)), u"7");
    EXPECT_EQ(spoken, nullptr);
    EXPECT_EQ(dvk_mem_liveBlocks(), live);
    digits->freeEntry(digits, &surface, &spoken);
    plus->getEntry(plus, strings_, '+', &surface, &spoken);
    EXPECT_EQ(surface, first);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(surface)), u"+");
    for (dvk_constraints_Iterator wrong : {0, int{'/'}, int{':'}, int{'+'}}) {
        digits->getEntry(digits, strings_, wrong, &surface, &spoken);
        EXPECT_EQ(surface, nullptr) << wrong;
    }
    plus->getEntry(plus, strings_, '1', &surface, &spoken);
    EXPECT_EQ(surface, nullptr);
}

TEST(RecentCallNumber, KeepsDigitsAndPlusWithBlanksBeforeDigits)
{
    struct Case {
        std::u16string number, spoken;
    } cases[] = {
        {u"+1 555 0100", u"+ 15 5 50 1 0 0"},
        {u"abc", u""},
        {u"", u""},
        {u"(555) 12-34", u"5 5 51 23 4"},
        {u"12", u"1 2"},
        {u"++", u"++"},
        {u"7", u"7"},
        {u"+", u"+"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(format(c.number), c.spoken) << std::string(c.number.begin(), c.number.end());
}

TEST_F(ConstraintClassTest, RecentCallsAreSpokenNumbers)
{
    fakeRecentCalls() = {u"+1 555 0100", u"abc", u"0044 20-7946"};
    EXPECT_EQ(surfaces("fn"), (Texts{u"+ 15 5 50 1 0 0", u"", u"0 0 4 42 07 9 4 6"}));
    expectWalkLeakFree("fn");
    fakeRecentCalls().clear();
    EXPECT_EQ(surfaces("fn"), Texts{});
}

TEST(StripDigits, CutsATrailingNumberButNeverTheFirstCharacter)
{
    struct Case {
        std::u16string text, stripped;
    } cases[] = {
        {u"Work -: 3 ", u"Work"}, {u"7-11", u"7"},         {u"  12", u" "},
        {u"", u""},               {u"Mobile 1", u"Mobile"}, {u"Home", u"Home"},
        {u"Car\t2", u"Car"},      {u"9", u"9"},             {u"A1b2", u"A1b"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(stripped(c.text), c.stripped) << std::string(c.text.begin(), c.text.end());
}

} // namespace
