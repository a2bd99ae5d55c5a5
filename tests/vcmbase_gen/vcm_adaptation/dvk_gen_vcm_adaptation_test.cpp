// The adaptation menu, the reset question and the instructions in harness
// sessions, the engine's adaptation calls scripted.
#include "tests/vcmbase_gen/harness/dialog_harness.h"

#include <gtest/gtest.h>

namespace {

using Log = std::vector<std::string>;

const std::string kKeys = " keys 497/14 -1/0 492/4 time 30000";

class AdaptationTest : public DialogHarness {
protected:
    void SetUp() override
    {
        DialogHarness::SetUp();
        configureGates(2);
        feature(59, 1);  // menu indexes are said
    }
    // A settings session with the adaptation menu on top of the settings menu.
    void openMenu()
    {
        start(1);
        event(DVK_UI_EVENT_SELECT, 1);
        ASSERT_EQ(top(), "vcm_adaptation");
    }
};

TEST_F(AdaptationTest, NotAdaptedListsOneItem)
{
    openMenu();
    const Log log = take();
    EXPECT_EQ(Log(log.end() - 6, log.end()),
              (Log{"step vcm_adaptation", "menu 102 title 530 second 210 [384] selected 0" + kKeys,
                   "addStringId 530", "addStringId 210", "addMenuIndex 1", "addStringId 384"}));
    event(DVK_UI_EVENT_SELECT, 1);
    EXPECT_EQ(driver.lastResult, 0);
    EXPECT_EQ(top(), "vcm_adaptation");
}

TEST_F(AdaptationTest, AdaptedListsResetToo)
{
    ceScript().adapted = 1;
    openMenu();
    EXPECT_EQ(take().at(6), "menu 102 title 530 second 191 [384,399] selected 0" + kKeys);
    event(DVK_UI_EVENT_SELECT, 1);
    EXPECT_EQ(top(), "vcm_adaptation_reset");
    EXPECT_EQ(take(), (Log{"step vcm_adaptation_reset", "text 111 title 616 body 227 keys 515/8 -1/0 499/9 time 30000",
                           "addStringId 616", "addStringId 227"}));
    event(DVK_UI_EVENT_NO);
    const Log back = take();
    ASSERT_GE(back.size(), 6u);
    EXPECT_EQ(back[1], "menu 102 title 530 second 191 [384,399] selected 1" + kKeys);
    EXPECT_EQ(Log(back.end() - 2, back.end()), (Log{"addMenuIndex 2", "addStringId 399"}));
    EXPECT_EQ(sayInto([&](dvk_prompt_List* l) { return dvk_vcm_getMenuReadoutPrompt(vcms, l, 0); }).calls,
              (Log{"addMenuIndex 1", "addStringId 384"}));
}

TEST_F(AdaptationTest, ResetYesResetsAndConfirmsBackToTheMenu)
{
    ceScript().adapted = 1;
    openMenu();
    event(DVK_UI_EVENT_SELECT, 1);
    take();
    event(DVK_UI_EVENT_YES);
    EXPECT_EQ(take(), (Log{"resetAdaptation", "step vcm_settings_complete", "popup 112 body 148 type 1 time 2000",
                           "addStringId 148"}));
    ceScript().adapted = 0;
    event(DVK_UI_EVENT_OK);
    EXPECT_EQ(top(), "vcm_adaptation");
    EXPECT_EQ(take().at(1), "menu 102 title 530 second 210 [384] selected 0" + kKeys);
}

TEST_F(AdaptationTest, BackByWhatLiesBelow)
{
    // Opened for adaptation: the menu is alone and back ends the session.
    start(2);
    EXPECT_EQ(take().at(0), "step vcm_adaptation");
    event(DVK_UI_EVENT_BACK);
    EXPECT_EQ(take(), (Log{"exit 0"}));
    EXPECT_EQ(dvk_vcm_current(vcms), nullptr);
    dvk_vcm_endSession(&vcms);
    // Under the settings menu: back shows it again.
    openMenu();
    take();
    event(DVK_UI_EVENT_BACK);
    EXPECT_EQ(top(), "vcm_settings");
}

TEST_F(AdaptationTest, InstructionsThenStartReplacesThem)
{
    openMenu();
    take();
    event(DVK_UI_EVENT_SELECT, 0);
    EXPECT_EQ(take(), (Log{"step vcm_adaptation_instructions",
                           "text 103 title 532 body 149 keys 512/23 -1/0 492/4 time 30000", "addStringId 532",
                           "addStringId 149"}));
    event(DVK_UI_EVENT_START);
    EXPECT_EQ(top(), "vcm_adaptation_pleasesay");
    EXPECT_EQ(dvk_vcm_getCurrentName(vcms), std::string("vcm_adaptation_pleasesay"));
    EXPECT_STREQ(dvk_vcm_current(vcms)->next->vtable->name, "vcm_adaptation");
    EXPECT_EQ(take().at(0), "startAdaptation");
}

// The menu's own help handler, kept in its table though the dialog's HELP
// plays the tutorial first.
TEST_F(AdaptationTest, OwnHelpHandlerKeepsTheIndex)
{
    ceScript().adapted = 1;
    openMenu();
    dvk_vcm_EventHandler help = nullptr;
    for (const dvk_vcm_Etable* e = dvk_vcm_current(vcms)->etable; e->handler != nullptr; e++)
        if (e->event == DVK_UI_EVENT_HELP)
            help = e->handler;
    ASSERT_NE(help, nullptr);
    dvk_msg_Message* message = nullptr;
    EXPECT_EQ(help(vcms, DVK_UI_EVENT_HELP, 1, &message), 0);
    take();
    vcmDriverStep(&driver);
    EXPECT_EQ(take().at(1), "text 113 title 553 body 298 keys -1/0 -1/0 492/4 time 30000");
    event(DVK_UI_EVENT_BACK);
    EXPECT_EQ(take().at(1), "menu 102 title 530 second 191 [384,399] selected 1" + kKeys);
}

}  // namespace
