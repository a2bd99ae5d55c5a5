// The button screens of the failure states: out of memory, no contacts,
// the empty lists.
#include "tests/vcmbase_gen/harness/dialog_harness.h"
#include "tests/vcmbase_gen/harness/recording_answers.h"

#include <algorithm>

#include <gtest/gtest.h>

namespace {

using Log = std::vector<std::string>;

class ButtonScreenTest : public DialogHarness {
protected:
    void SetUp() override
    {
        DialogHarness::SetUp();
        recordAnswers(&notifications);
        configureGates(2);
        open();
    }
    Log enter(int32_t gate, dvk_vcm_Module* (*make)(dvk_vcm_Session*))
    {
        dvk_vcm_clearStack(vcms);
        dvk_vcm_resetState(vcms);
        dvk_vcm_setGateCmd(vcms, gate);
        EXPECT_EQ(dvk_vcm_push(vcms, make(vcms)), 0);
        take();
        vcmDriverStep(&driver);
        return take();
    }
};

dvk_vcm_Module* contactsFailed(dvk_vcm_Session* s) { return dvk_gen_vcm_newOutOfMemory(s, 0); }
dvk_vcm_Module* musicFailed(dvk_vcm_Session* s) { return dvk_gen_vcm_newOutOfMemory(s, 1); }

TEST_F(ButtonScreenTest, OutOfMemoryOk)
{
    EXPECT_EQ(enter(0, contactsFailed), (Log{"step vcm_outofmemory",
                                             "text 2 title 607 body 216 keys 500/7 -1/0 -1/0 time 10000",
                                             "addEarcon 5", "addPrompt 373", "addStringId 216"}));
    event(DVK_UI_EVENT_OK);
    EXPECT_EQ(take(), (Log{"exit 0"}));
    EXPECT_EQ(dvk_vcm_done(vcms), 1);

    enter(0, musicFailed);
    event(DVK_UI_EVENT_OK);
    EXPECT_EQ(top(), "vcm_root");  // through the splash screen
    const Log log = take();
    EXPECT_EQ(log[0], "step vcm_splash");
}

TEST_F(ButtonScreenTest, NoContactsAddContact)
{
    EXPECT_EQ(enter(1, dvk_gen_vcm_newNoContactsNonListening),
              (Log{"step vcm_nocontacts_nonlisten", "text 35 title 602 body 154 keys 491/22 -1/0 492/4 time 10000",
                   "addStringId 602", "addStringId 154"}));
    event(DVK_UI_EVENT_ADD_CONTACT);
    EXPECT_EQ(take(), (Log{"lookup '' 0"}));
    EXPECT_EQ(dvk_vcm_done(vcms), 1);
    feature(64, 1);
    const Log log = enter(1, dvk_gen_vcm_newNoContactsNonListening);
    EXPECT_EQ(Log(log.begin() + 2, log.end()), (Log{"addEarcon 5", "addPrompt 351"}));
}

TEST_F(ButtonScreenTest, EmptyListsOfferTheSettings)
{
    const struct {
        int32_t gate;
        dvk_vcm_Module* (*make)(dvk_vcm_Session*);
        Log log;
    } cases[] = {
        {20, dvk_gen_vcm_newNoHelpTopics,
         {"step vcm_nohelptopics", "text 60 title 595 body 212 keys 509/16 -1/0 492/4 time 10000", "addEarcon 5",
          "addPrompt 329", "addStringId 212"}},
        {19, dvk_gen_vcm_newNoModes,
         {"step vcm_nomodes", "text 54 title 597 body 213 keys 509/16 -1/0 492/4 time 10000", "addEarcon 5",
          "addPrompt 331", "addStringId 213"}},
        {17, dvk_gen_vcm_newNoShortcuts,
         {"step vcm_noshortcuts", "text 45 title 601 body 234 keys 509/16 -1/0 492/4 time 10000", "addEarcon 5",
          "addPrompt 349", "addStringId 234"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(enter(c.gate, c.make), c.log);
        EXPECT_EQ(dvk_vcm_checkForEventHandler(vcms, DVK_UI_EVENT_SETTINGS), 1);
    }
}

// The settings softkey of an empty list's screen opens the settings menu in
// place of the screen.
TEST_F(ButtonScreenTest, SettingsOpensTheSettingsMenu)
{
    const struct {
        int32_t gate;
        dvk_vcm_Module* (*make)(dvk_vcm_Session*);
    } cases[] = {
        {20, dvk_gen_vcm_newNoHelpTopics},
        {19, dvk_gen_vcm_newNoModes},
        {17, dvk_gen_vcm_newNoShortcuts},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.gate);
        enter(c.gate, c.make);
        event(DVK_UI_EVENT_SETTINGS);
        EXPECT_EQ(driver.lastResult, 0);
        EXPECT_EQ(top(), "vcm_settings");
        ASSERT_NE(dvk_vcm_current(vcms), nullptr);
        EXPECT_EQ(dvk_vcm_current(vcms)->next, nullptr);
        const Log log = take();
        ASSERT_GE(log.size(), 2u);
        EXPECT_EQ(log[0], "step vcm_settings");
        EXPECT_EQ(log[1].rfind("menu 93 title 640", 0), 0u) << log[1];
    }
}

}  // namespace
