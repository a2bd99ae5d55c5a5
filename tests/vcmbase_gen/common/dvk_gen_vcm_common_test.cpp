// What the modules share: paging against a page-by-page model, the per-gate
// rows, a screen and prompt script from rows, the yes/no listener, and
// assertions that name the module's own unit.
#include "vcmbase_gen/common/dvk_gen_vcm_common.h"

#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_settings.h"
#include "tests/support/log_capture.h"
#include "tests/support/assertion_pattern.h"
#include "tests/vcmbase_gen/harness/dialog_harness.h"
#include "tests/core/prompt/recorder/prompt_list_recorder.h"

#include <gtest/gtest.h>

namespace {

using Log = std::vector<std::string>;

// The pages as the menu shows them: item numbers, -2 for more-options.
std::vector<std::vector<int32_t>> modelPages(int32_t items, int32_t perPage)
{
    if (items <= perPage) {
        std::vector<int32_t> page;
        for (int32_t i = 0; i < items; i++)
            page.push_back(i);
        return {page};
    }
    std::vector<std::vector<int32_t>> pages;
    for (int32_t first = 0; first < items; first += perPage - 1) {
        std::vector<int32_t> page;
        for (int32_t i = first; i < items && i < first + perPage - 1; i++)
            page.push_back(i);
        page.push_back(DVK_GEN_PAGE_MORE);
        pages.push_back(page);
    }
    return pages;
}

TEST(GenVcmPager, MatchesThePageModel)
{
    for (int32_t perPage = 2; perPage <= 8; perPage++) {
        for (int32_t items = 0; items <= 25; items++) {
            SCOPED_TRACE(std::to_string(items) + " items, " + std::to_string(perPage) + " a page");
            dvk_gen_vcm_Pager pager;
            dvk_gen_vcm_pagerInit(&pager, items, perPage);
            const auto pages = modelPages(items, perPage);
            ASSERT_EQ(pager.pageCount, static_cast<int32_t>(pages.size()));
            // Twice round, so the turn from the last page is covered.
            for (size_t turn = 0; turn < 2 * pages.size(); turn++) {
                const auto& page = pages[turn % pages.size()];
                EXPECT_EQ(pager.page, static_cast<int32_t>(turn % pages.size()));
                EXPECT_EQ(dvk_gen_vcm_pagerEntries(&pager), static_cast<int32_t>(page.size()));
                for (int32_t index = -2; index <= perPage + 1; index++) {
                    const int32_t expected = index >= 0 && index < static_cast<int32_t>(page.size())
                                                 ? page[static_cast<size_t>(index)]
                                                 : DVK_GEN_PAGE_NONE;
                    EXPECT_EQ(dvk_gen_vcm_pagerItemAt(&pager, index), expected) << "addMenuIndex " << index;
                }
                dvk_gen_vcm_pagerTurn(&pager);
            }
        }
    }
}

TEST(GenVcmPagerDeath, NeedsRoomForAnItem)
{
    dvk_gen_vcm_Pager pager;
    EXPECT_DEATH(dvk_gen_vcm_pagerInit(&pager, 3, 1),
                 assertionPattern("perPage >= 2", "dvk_gen_vcm_common.cpp", "dvk_gen_vcm_pagerInit"));
}

// A yes/no module made of the shared parts, its SELECT recorded.
std::vector<int32_t> s_selected;

int testSelect(dvk_vcm_Session*, dvk_ui_Event, int32_t index, dvk_msg_Message**)
{
    s_selected.push_back(index);
    return 0;
}

const dvk_gen_vcm_Screen kScreen = {
    DVK_GEN_SCREEN_TEXT, 9, 600, 601, 27, 602,
    {DVK_GEN_STR_SOFTKEY_HELP, DVK_STR_NULL, DVK_GEN_STR_SOFTKEY_BACK},
    {DVK_UI_EVENT_HELP, DVK_UI_EVENT_NONE, DVK_UI_EVENT_BACK},
    10000,
};
const dvk_gen_vcm_PromptItem kPrompts[] = {
    {DVK_GEN_PROMPT_EARCON, 5, 0, DVK_GEN_WHEN_FIRST},
    {DVK_GEN_PROMPT_RECORDED, 330, 2, DVK_GEN_WHEN_FIRST},
    {DVK_GEN_PROMPT_STRING, 34, 1, DVK_GEN_WHEN_ALWAYS},
    {DVK_GEN_PROMPT_RECORDED, DVK_GEN_PRM_RETRY, 3, DVK_GEN_WHEN_RETRY},
    {DVK_GEN_PROMPT_END, 0, 0, DVK_GEN_WHEN_ALWAYS},
};
const dvk_gen_vcm_Descriptor kYesNo = {
    {"vcm_test_yesno", dvk_gen_vcm_screenInit, dvk_gen_vcm_scriptGetPrompt, dvk_gen_vcm_yesNoGetMenuReadoutPrompt,
     dvk_gen_vcm_yesNoGetConstraints, nullptr, dvk_gen_vcm_yesNoHandleResult, nullptr, nullptr, nullptr},
    "vcm_test/dvk_gen_vcm_test_yesno.cpp",
    &kScreen,
    kPrompts,
    {DVK_UI_EVENT_NONE, 0},
    nullptr,
};
const dvk_vcm_Etable kYesNoEvents[] = {
    {DVK_UI_EVENT_SELECT, testSelect},
    {DVK_UI_EVENT_YES, dvk_vcm_defaultEventYesHandler},
    {DVK_UI_EVENT_NO, dvk_vcm_defaultEventNoHandler},
    {DVK_UI_EVENT_NONE, nullptr},
};

class GenVcmShapeTest : public DialogHarness {
protected:
    void SetUp() override
    {
        DialogHarness::SetUp();
        configureGates(1);
        open();
        dvk_vcm_clearStack(vcms);
        ASSERT_EQ(dvk_vcm_push(vcms, dvk_vcm_newVCM(vcms, &kYesNo.vtable, kYesNoEvents)), 0);
        s_selected.clear();
        take();
    }
    dvk_nbest_List* answer(int32_t stringId)
    {
        dvk_nbest_List* list = dvk_nbest_create(37, "yesno", 80);
        dvk_nbest_addEntry(list);
        dvk_ucs2_Char* text = dvk_string_getString(strings, stringId);
        dvk_nbest_addValueNoIds(list, 0, DVK_GEN_SLOT_YESNO, "yesno", text, text);
        dvk_ucs2_destroy(&text);
        return list;
    }
};

TEST_F(GenVcmShapeTest, ScreenAndPromptScriptFollowTheRows)
{
    vcmDriverStep(&driver);
    EXPECT_EQ(take(), (Log{"step vcm_test_yesno", "text 9 title 600 body 601 keys 497/14 -1/0 492/4 time 10000",
                           "addEarcon 5", "addPrompt 330", "addStringId 34", "listen 37 38"}));
    // A re-prompt, with the feature that changes the body.
    feature(27, 1);
    result(nullptr);
    EXPECT_EQ(take(), (Log{"step vcm_test_yesno", "text 9 title 600 body 602 keys 497/14 -1/0 492/4 time 10000",
                           "addStringId 34", "addPrompt 378", "listen 37 38"}));
    // Prompt mode 0: level 3 only, earcons too.
    promptMode(0);
    dvk_vcm_current(vcms)->state = 0;
    const Said said = sayInto([&](dvk_prompt_List* l) { return dvk_vcm_getPrompt(vcms, l); });
    EXPECT_EQ(said.result, 0);
    EXPECT_EQ(said.calls, (Log{"addEarcon 5"}));
}

TEST_F(GenVcmShapeTest, FailedPromptAddIsTheResult)
{
    failNextPromptAdds(1);
    EXPECT_EQ(sayInto([&](dvk_prompt_List* l) { return dvk_vcm_getPrompt(vcms, l); }).result, 1);
}

TEST_F(GenVcmShapeTest, YesNoAnswersSelectTheirItems)
{
    dvk_msg_Message* message = nullptr;
    EXPECT_EQ(dvk_vcm_handleResult(vcms, answer(DVK_GEN_STR_YES), &message), 0);
    EXPECT_EQ(dvk_vcm_handleResult(vcms, answer(101), &message), 0);
    // An empty answer list is no result; the second in a row counts as no.
    dvk_vcm_current(vcms)->state = 0;
    EXPECT_EQ(dvk_vcm_handleResult(vcms, nullptr, &message), 0);
    EXPECT_EQ(dvk_vcm_handleResult(vcms, dvk_nbest_create(37, "yesno", 0), &message), 0);
    EXPECT_EQ(dvk_vcm_handleEvent(vcms, DVK_UI_EVENT_YES, 0, &message), 0);
    EXPECT_EQ(dvk_vcm_handleEvent(vcms, DVK_UI_EVENT_NO, 0, &message), 0);
    EXPECT_EQ(s_selected, (std::vector<int32_t>{0, 1, 1, 0, 1}));
}

TEST_F(GenVcmShapeTest, YesNoReadsOutItsTwoItems)
{
    feature(59, 1);
    const struct {
        int32_t index;
        Log said;
    } cases[] = {{0, {"addMenuIndex 1", "addStringId 278"}}, {1, {"addMenuIndex 2", "addStringId 271"}}, {2, {}}, {-1, {}}};
    for (const auto& c : cases) {
        const Said said = sayInto([&](dvk_prompt_List* l) { return dvk_vcm_getMenuReadoutPrompt(vcms, l, c.index); });
        EXPECT_EQ(said.result, 0);
        EXPECT_EQ(said.calls, c.said) << c.index;
    }
}

TEST_F(GenVcmShapeTest, RowOfTheCurrentGate)
{
    const dvk_gen_vcm_GateRow rows[] = {{1, {17}}, {13, {88}}, {15, {37}}, {0, {5}}};
    for (const auto& [gate, value] : {std::pair{1, 17}, {13, 88}, {15, 37}, {0, 5}, {24, 5}}) {
        dvk_vcm_setGateCmd(vcms, gate);
        EXPECT_EQ(dvk_gen_vcm_forGate(vcms, rows)->values[0], value) << gate;
    }
}

TEST_F(GenVcmShapeTest, AssertionsNameTheModulesUnit)
{
    EXPECT_DEATH(dvk_gen_vcm_scriptGetPrompt(vcms, nullptr, nullptr),
                 assertionPattern("prompts != ((void *)0)", "vcm_test/dvk_gen_vcm_test_yesno.cpp",
                                  "dvk_gen_vcm_scriptGetPrompt"));
}

}  // namespace

namespace {

// The confirmation setting as a radio-button module: its items are listed
// as value 2, 0, 1.
const dvk_gen_vcm_RadioItem kConfirmItems[] = {{480, 2}, {479, 0}, {483, 1}};
const dvk_gen_vcm_Radio kConfirm = {
    96, 543, 172, kConfirmItems, 3, dvk_settings_setChoiceListConfirmMode, dvk_settings_getChoiceListConfirmMode,
    97, 175,
};
const dvk_gen_vcm_Descriptor kRadio = {
    {"vcm_test_radio", dvk_gen_vcm_radioInit, dvk_gen_vcm_radioGetPrompt, dvk_gen_vcm_radioGetMenuReadoutPrompt,
     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
    "vcm_test/dvk_gen_vcm_test_radio.cpp",
    nullptr,
    nullptr,
    {DVK_UI_EVENT_NONE, 0},
    &kConfirm,
};
const dvk_vcm_Etable kRadioEvents[] = {
    {DVK_UI_EVENT_SELECT, dvk_gen_vcm_radioEventSelectHandler},
    {DVK_UI_EVENT_TIMEOUT, dvk_vcm_defaultEventTimeoutExitHandler},
    {DVK_UI_EVENT_NONE, nullptr},
};

class GenVcmRadioTest : public DialogHarness {
protected:
    void SetUp() override
    {
        DialogHarness::SetUp();
        configureGates(1);
        open();
        dvk_vcm_clearStack(vcms);
        ASSERT_EQ(dvk_vcm_push(vcms, dvk_vcm_newVCM(vcms, &kRadio.vtable, kRadioEvents)), 0);
        take();
    }
};

TEST_F(GenVcmRadioTest, ShowsTheStoredValuesItem)
{
    for (const auto& [mode, item] : {std::pair{0, 1}, {1, 2}, {2, 0}, {7, 0}}) {
        dvk_settings_setChoiceListConfirmMode(mode);
        ASSERT_EQ(dvk_vcm_init(vcms), 0);
        EXPECT_EQ(take(), (Log{"radio 96 title 543 second 172 [480,479,483] selected " + std::to_string(item) +
                               " keys 497/14 -1/0 492/4 time 30000"}))
            << mode;
    }
}

TEST_F(GenVcmRadioTest, SaysTitleBodyAndItems)
{
    const auto prompt = [&](dvk_prompt_List* l) { return dvk_vcm_getPrompt(vcms, l); };
    EXPECT_EQ(sayInto(prompt).calls, (Log{"addStringId 543", "addStringId 172"}));
    promptMode(1);
    EXPECT_TRUE(sayInto(prompt).calls.empty());
    promptMode(3);
    for (const auto& [index, said] : {std::pair{0, Log{"addStringId 480"}}, {2, Log{"addStringId 483"}}, {3, Log{}}}) {
        const Said item = sayInto([&](dvk_prompt_List* l) { return dvk_vcm_getMenuReadoutPrompt(vcms, l, index); });
        EXPECT_EQ(item.result, 0);
        EXPECT_EQ(item.calls, said) << index;
    }
}

TEST_F(GenVcmRadioTest, TouchStoresTheValueAndConfirms)
{
    dvk_settings_setChoiceListConfirmMode(2);
    dvk_msg_Message* message = nullptr;
    EXPECT_EQ(dvk_vcm_handleEvent(vcms, DVK_UI_EVENT_SELECT, 3, &message), 0);
    EXPECT_EQ(dvk_settings_getChoiceListConfirmMode(), 2);
    EXPECT_EQ(dvk_vcm_handleEvent(vcms, DVK_UI_EVENT_SELECT, 1, &message), 0);
    EXPECT_EQ(dvk_settings_getChoiceListConfirmMode(), 0);
    EXPECT_EQ(top(), "vcm_settings_complete");
}

}  // namespace
