// The phrase list as the grammar walks it, and the digit counts.
#include "core/dkapi/dvk_dkapi.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const dvk_ucs2_Char* u(const char16_t* text)
{
    return reinterpret_cast<const dvk_ucs2_Char*>(text);
}

std::u16string str(const dvk_ucs2_Char* text)
{
    return text == nullptr ? u"(none)" : std::u16string(reinterpret_cast<const char16_t*>(text));
}

class PhraseList : public ::testing::Test {
protected:
    void TearDown() override
    {
        dvk_dkapi_setPhraseList(nullptr);
        dvk_dkapi_setDigitRecogLen(0, 0);
    }
};

TEST_F(PhraseList, WithoutAListTheWalkIsEmptyAndNoDigitsRequestRuns)
{
    EXPECT_EQ(dvk_dkapi_pfl_getFirst(), 0);
    EXPECT_EQ(dvk_dkapi_pfl_getNext(~0), 0);
    const dvk_ucs2_Char* text = u(u"x");
    const dvk_ucs2_Char* spoken = text;
    dvk_dkapi_pfl_getEntry(~0, &text, &spoken);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(spoken, nullptr);
    int32_t minimum = 7, maximum = 9;
    dvk_dkapi_getDigitRecogLen(&minimum, &maximum);
    EXPECT_EQ(minimum, 0);
    EXPECT_EQ(maximum, 0);
}

TEST_F(PhraseList, TheWalkSkipsItemsTheRecogniserCannotTakeAndSpokenFormsFollowTheBar)
{
    std::u16string texts[] = {u"Ann", u"Cy|", u"Bob|bob", u"Dee|d|e"};
    dvk_dkapi_ListItem items[] = {{reinterpret_cast<dvk_ucs2_Char*>(texts[0].data()), 1},
                                  {reinterpret_cast<dvk_ucs2_Char*>(texts[1].data()), 0},
                                  {reinterpret_cast<dvk_ucs2_Char*>(texts[2].data()), 1},
                                  {reinterpret_cast<dvk_ucs2_Char*>(texts[3].data()), 1}};
    dvk_dkapi_List list{items, 4, nullptr};
    dvk_dkapi_setPhraseList(&list);
    EXPECT_EQ(dvk_dkapi_pfl_getFirst(), ~0);
    EXPECT_EQ(dvk_dkapi_pfl_getNext(~0), ~2);
    EXPECT_EQ(dvk_dkapi_pfl_getNext(~2), ~3);
    EXPECT_EQ(dvk_dkapi_pfl_getNext(~3), 0);
    EXPECT_EQ(dvk_dkapi_pfl_getNext(0), 0);
    EXPECT_EQ(dvk_dkapi_pfl_getNext(~4), 0) << "past the list";
    const struct {
        int32_t iterator;
        std::u16string text, spoken;
    } rows[] = {
        {~0, u"Ann", u"Ann"},
        {~1, u"(none)", u"(none)"},
        {~2, u"Bob|bob", u"bob"},
        {~3, u"Dee|d|e", u"d|e"},
        {~4, u"(none)", u"(none)"},
        {0, u"(none)", u"(none)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.iterator);
        const dvk_ucs2_Char* text = nullptr;
        const dvk_ucs2_Char* spoken = nullptr;
        dvk_dkapi_pfl_getEntry(row.iterator, &text, &spoken);
        EXPECT_EQ(str(text), row.text);
        EXPECT_EQ(str(spoken), row.spoken);
    }
    dvk_dkapi_setDigitRecogLen(3, 7);
    int32_t minimum = 0, maximum = 0;
    dvk_dkapi_getDigitRecogLen(&minimum, &maximum);
    EXPECT_EQ(minimum, 3);
    EXPECT_EQ(maximum, 7);
}

TEST_F(PhraseList, AnEmptyListHasNoFirstItem)
{
    dvk_dkapi_List list{nullptr, 0, nullptr};
    dvk_dkapi_setPhraseList(&list);
    EXPECT_EQ(dvk_dkapi_pfl_getFirst(), 0);
}

}  // namespace
