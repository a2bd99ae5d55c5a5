// The paged choice list over a recording command module: pages and their
// more-options entries, what a touched or said item completes the command
// with, and the entries a focus event may read out.
#include "tests/vcmbase_gen/harness/dialog_harness.h"

#include "core/utils/dvk_array.h"
#include "core/utils/dvk_ucs2.h"

#include <gtest/gtest.h>

namespace {

using Log = std::vector<std::string>;

std::string utf8(const dvk_ucs2_Char* text)
{
    std::string out;
    for (; text != nullptr && *text != 0; text++)
        out += static_cast<char>(*text);
    return out;
}

// What the command below was completed with (the list of changeModeList, id 16).
std::vector<std::string>& completions()
{
    static std::vector<std::string> log;
    return log;
}

int commandCompletion(dvk_vcm_Session*, dvk_nbest_List* nbest, int32_t index, dvk_msg_Message**)
{
    const char* name = nullptr;
    std::string line = "completion " + std::to_string(index) + " constraint " +
                       std::to_string(dvk_nbest_getConstraint(nbest, &name)) + " entries " +
                       std::to_string(dvk_nbest_getCount(nbest)) + " confidence " +
                       std::to_string(dvk_nbest_getConfidence(nbest)) + " slot18 '" +
                       utf8(dvk_nbest_getStr(nbest, 0, 18)) + "'";
    completions().push_back(line);
    return 0;
}

int commandResult(dvk_vcm_Session*, dvk_nbest_List* nbest, dvk_msg_Message**, int32_t)
{
    dvk_nbest_destroy(&nbest);
    return 0;
}

const dvk_vcm_Vtable kCommand = {"command",        nullptr, nullptr, nullptr, nullptr, nullptr, commandResult,
                                 commandCompletion, nullptr, nullptr};
const dvk_vcm_Etable kNoEvents[] = {{DVK_UI_EVENT_NONE, nullptr}};

class SelectItemTest : public DialogHarness {
protected:
    void SetUp() override
    {
        DialogHarness::SetUp();
        feature(59, 1);
        completions().clear();
        configureGates(2);
        open();
    }
    // Items "String 400" ... with their index; names given replace some.
    void enter(int count, int32_t gate = 19, std::vector<std::pair<int, int32_t>> named = {})
    {
        dvk_vcm_clearStack(vcms);
        dvk_vcm_resetState(vcms);
        ASSERT_EQ(dvk_vcm_push(vcms, dvk_vcm_newVCM(vcms, &kCommand, kNoEvents)), 0);
        dvk_vcm_setGateCmd(vcms, gate);
        dvk_array* items = dvk_array_create();
        for (int i = 0; i < count; i++) {
            int32_t id = 400 + i;
            for (const auto& [at, stringId] : named)
                if (at == i)
                    id = stringId;
            dvk_array_addItem(items, dvk_string_getString(strings, id));
        }
        ASSERT_EQ(dvk_vcm_pushAndSave(vcms, dvk_gen_vcm_newSelectItem(vcms, 49, 541, 441, items,
                                                                      &changeModeList_constraint, 18)),
                  0);
        take();
        vcmDriverStep(&driver);
    }
    std::string screen()
    {
        for (const std::string& line : take())
            if (line.rfind("commandstr", 0) == 0)
                return line;
        return "none";
    }
    std::string readout(int32_t index)
    {
        std::string out;
        for (const std::string& call :
             sayInto([&](dvk_prompt_List* l) { return dvk_vcm_getMenuReadoutPrompt(vcms, l, index); }).calls)
            out += (out.empty() ? "" : ", ") + call;
        return out;
    }
};

TEST_F(SelectItemTest, PagesWithMoreOptions)
{
    enter(8);
    EXPECT_EQ(readout(4), "addMenuIndex 5, addText String 360");
    EXPECT_EQ(readout(3), "addMenuIndex 4, addText String 403");
    event(DVK_UI_EVENT_SELECT, 4);
    EXPECT_EQ(readout(0), "addMenuIndex 1, addText String 404");
    EXPECT_EQ(readout(4), "addMenuIndex 5, addText String 360");
    EXPECT_EQ(dvk_vcm_current(vcms)->state, 0);
    event(DVK_UI_EVENT_SELECT, 4);
    EXPECT_EQ(readout(0), "addMenuIndex 1, addText String 400");

    enter(9);
    event(DVK_UI_EVENT_SELECT, 4);
    event(DVK_UI_EVENT_SELECT, 4);
    EXPECT_EQ(readout(0), "addMenuIndex 1, addText String 408");
    EXPECT_EQ(readout(1), "addMenuIndex 2, addText String 360");
    EXPECT_EQ(readout(2), "");
    EXPECT_TRUE(completions().empty());
}

TEST_F(SelectItemTest, ATouchedItemCompletesTheCommandBelow)
{
    enter(8);
    event(DVK_UI_EVENT_SELECT, 4);
    event(DVK_UI_EVENT_SELECT, 2);
    EXPECT_EQ(completions(), (Log{"completion 0 constraint 16 entries 1 confidence 100 slot18 'String 406'"}));
    EXPECT_EQ(top(), "command");
}

TEST_F(SelectItemTest, PlacesOutsideThePageDoNothing)
{
    enter(8);
    for (int32_t index : {5, -1, 7}) {
        event(DVK_UI_EVENT_SELECT, index);
        EXPECT_EQ(top(), "vcm_selectItem");
    }
    enter(3);
    event(DVK_UI_EVENT_SELECT, 3);
    EXPECT_EQ(top(), "vcm_selectItem");
    EXPECT_TRUE(completions().empty());
}

// A focus event naming a place past the page (or the array) reads nothing.
TEST_F(SelectItemTest, ReadOutStaysOnThePage)
{
    enter(8);
    EXPECT_EQ(readout(7), "");
    EXPECT_EQ(readout(5), "");
    EXPECT_EQ(readout(-1), "");
    enter(2);
    EXPECT_EQ(readout(2), "");
}

// An item whose text is the more-options text is an item like any other.
TEST_F(SelectItemTest, AnItemNamedLikeMoreOptionsCompletes)
{
    enter(3, 19, {{1, 360}});
    event(DVK_UI_EVENT_SELECT, 1);
    EXPECT_EQ(completions(), (Log{"completion 0 constraint 16 entries 1 confidence 100 slot18 'String 360'"}));
}

TEST_F(SelectItemTest, CheckDisplayTextsReportTheirVocabulary)
{
    enter(3, 24, {{0, 273}});
    event(DVK_UI_EVENT_SELECT, 0);
    ASSERT_EQ(completions().size(), 1u);
    EXPECT_NE(completions()[0].find("'String 76'"), std::string::npos);
}

TEST_F(SelectItemTest, SaidNextPageTurnsAndNoResultTwiceIsNoMatch)
{
    enter(8);
    take();
    dvk_nbest_List* more = dvk_nbest_create(36, "nextCmd", 90);
    dvk_nbest_addEntry(more);
    const dvk_ucs2_Char next[] = {u'n', 0};
    dvk_nbest_addValueNoIds(more, 0, 19, "next", next, next);
    result(more);
    EXPECT_EQ(readout(0), "addMenuIndex 1, addText String 404");
    const Log log = take();
    result(nullptr);
    EXPECT_EQ(top(), "vcm_selectItem");
    result(nullptr);
    EXPECT_EQ(top(), "vcm_nomatch_listen");
}

}  // namespace
