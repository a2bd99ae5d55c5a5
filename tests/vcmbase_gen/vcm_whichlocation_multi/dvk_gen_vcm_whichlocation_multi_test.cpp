// The choice among a contact's numbers, reached through the call command.
#include "tests/vcmbase_gen/vcm_callcmd/call_session.h"

#include "core/nbest/dvk_nbest.h"

namespace {

class WhichLocationMultiTest : public CallSessionTest {
protected:
    dvk_nbest_List* label(const char16_t* text)
    {
        dvk_nbest_List* list = dvk_nbest_create(34, "label", 90);
        EXPECT_EQ(dvk_nbest_addEntry(list), 0);
        const auto* t = reinterpret_cast<const dvk_ucs2_Char*>(text);
        EXPECT_EQ(dvk_nbest_addValueNoIds(list, 0, 15, "label", t, t), 0);
        return list;
    }
};

const char kAnnScreen[] = "confirm 10 title 539 body \"Ann\" bar 586 items \"Mobile (555-0001)\" \"Home (555-0011)\" "
                          "selected 0 [] keys 497/14 -1/0 492/4 start 0 time 10000";

TEST_F(WhichLocationMultiTest, NameWithSeveralNumbersListsThem)
{
    EXPECT_EQ(after(heard(u"Ann")),
              (Log{"step vcm_whichlocationmulti", kAnnScreen, "addWords 11 12", "addPrompt 438", "addLocation Mobile",
                   "addPrompt 372", "addLocation Home", "addEarcon 3", "listen 34 38"}));
    EXPECT_EQ(dvk_vcm_savedStateExists(vcms), 1);
}

TEST_F(WhichLocationMultiTest, TouchedNumberIsCalled)
{
    after(heard(u"Ann"));
    event(DVK_UI_EVENT_SELECT, 1);
    const Log log = take();
    // The user chose the location: the name is not said again.
    EXPECT_EQ(Log(log.begin() + 2, log.end()),
              (Log{"addPrompt 53", "addLocation Home", "addEarcon 6", "addPrompt 309", "addText String 5 Ann Home",
                   "call 'Ann' 'Home' '5550011'"}));
    // A touch past the list does nothing.
    dvk_vcm_endSession(&vcms);
    start();
    after(heard(u"Ann"));
    event(DVK_UI_EVENT_SELECT, 2);
    EXPECT_EQ(top(), "vcm_whichlocationmulti");
}

TEST_F(WhichLocationMultiTest, SaidLabelIsCalled)
{
    after(heard(u"Ann"));
    const Log log = after(label(u"Mobile"));
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "call 'Ann' 'Mobile' '5550001'");
}

TEST_F(WhichLocationMultiTest, LocationNotFoundSaysSoAndLists)
{
    EXPECT_EQ(after(heard(u"Ann", u"Work")),
              (Log{"step vcm_whichlocationmulti", kAnnScreen, "addWords 11 12", "addLocation Work", "addPrompt 328",
                   "addPrompt 438", "addLocation Mobile", "addPrompt 372", "addLocation Home", "addEarcon 3",
                   "listen 34 38"}));
}

TEST_F(WhichLocationMultiTest, UnknownLabelAsksAgainThenNoMatch)
{
    after(heard(u"Ann"));
    const Log again = after(label(u"Work"));
    ASSERT_GE(again.size(), 4u);
    EXPECT_EQ(again[2], "addPrompt 378");
    EXPECT_EQ(again[3], "addPrompt 438");
    after(label(u"Work"));
    EXPECT_EQ(top(), "vcm_nomatch_listen");
    EXPECT_EQ(driver.lastResult, 0);
}

// Dora's ten numbers do not fit a page of eight: the locations holding most
// give way. A label said that is not on the page is still found.
TEST_F(WhichLocationMultiTest, LongListShowsOnePageAndSearchesAll)
{
    const Log log = after(heard(u"Dora"));
    ASSERT_GE(log.size(), 2u);
    const std::string& screen = log[1];
    const struct {
        const char* label;
        const char* number;
    } all[] = {
        {"Mobile", "5550101"}, {"Mobile 2", "5550106"}, {"Mobile 3", "5550102"}, {"Mobile 4", "5550103"},
        {"Work", "5550107"},   {"Work 2", "5550108"},   {"Main", "5550109"},     {"Home", "5550104"},
        {"Home 2", "5550110"}, {"Home 3", "5550105"},
    };
    std::vector<const char*> shown, leftOut;
    for (const auto& n : all)
        (screen.find("\"" + std::string(n.label) + " (") != std::string::npos ? shown : leftOut).push_back(n.label);
    EXPECT_EQ(shown.size(), 8u) << screen;
    // Cut from the fullest locations: the one main and both work numbers stay.
    for (const char* kept : {"Main", "Work", "Work 2"})
        EXPECT_NE(std::find(shown.begin(), shown.end(), std::string(kept)), shown.end()) << kept;
    ASSERT_FALSE(leftOut.empty());
    const std::u16string said(leftOut[0], leftOut[0] + std::char_traits<char>::length(leftOut[0]));
    const Log called = after(label(said.c_str()));
    ASSERT_FALSE(called.empty());
    const auto* wanted = std::find_if(std::begin(all), std::end(all),
                                      [&](const auto& n) { return std::string(n.label) == leftOut[0]; });
    EXPECT_EQ(called.back(), "call 'Dora' '" + std::string(wanted->label) + "' '" + wanted->number + "'");
}

TEST_F(WhichLocationMultiTest, BackReturnsToTheRoot)
{
    after(heard(u"Ann"));
    event(DVK_UI_EVENT_BACK);
    EXPECT_EQ(top(), "vcm_root");
}

}  // namespace
