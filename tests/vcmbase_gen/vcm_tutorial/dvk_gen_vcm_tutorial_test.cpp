// The tutorial: shown when its setting is on or the user asks for it,
// spoken in every prompt mode, and turning its setting off when it ends.
#include "tests/vcmbase_gen/harness/dialog_harness.h"

#include "sdk/common/dvk_settings.h"

#include <gtest/gtest.h>

namespace {

using Log = std::vector<std::string>;

const char kTutorialScreen[] = "bitmap 0 title 644 image 2 keys 510/5 -1/0 -1/0 time -1";

class TutorialTest : public DialogHarness {
protected:
    void SetUp() override
    {
        DialogHarness::SetUp();
        configureGates(2);
    }
    // The log from the tutorial's end to the root menu.
    static Log toRoot(bool said)
    {
        Log log = {"step vcm_updateContacts", "bitmap 3 title -1 image 1 keys -1/0 -1/0 -1/0 time -1"};
        if (said)
            log.push_back("addPrompt 391");
        log.insert(log.end(), {"addEarcon 0", "step vcm_root",
                               "command 4 title 618 bar 586 [400,401] keys 514/17 -1/0 509/16 start 0 time 10000",
                               "listen -2 -3 38"});
        return log;
    }
};

TEST_F(TutorialTest, PlaysOnceAndTurnsItselfOff)
{
    dvk_settings_setTutorialEnabled(1);
    start();
    Log expected = {"step vcm_tutorial", kTutorialScreen, "addPrompt 418"};
    const Log rest = toRoot(true);
    expected.insert(expected.end(), rest.begin(), rest.end());
    EXPECT_EQ(take(), expected);
    EXPECT_EQ(dvk_settings_getTutorialEnabled(), 0);
    EXPECT_EQ(top(), "vcm_root");
}

TEST_F(TutorialTest, SpeaksEvenInPromptModeZero)
{
    promptMode(0);
    dvk_settings_setTutorialEnabled(1);
    start();
    Log expected = {"step vcm_tutorial", kTutorialScreen, "addPrompt 418"};
    const Log rest = toRoot(false);  // the splash prompt is level 2
    expected.insert(expected.end(), rest.begin(), rest.end());
    EXPECT_EQ(take(), expected);
}

TEST_F(TutorialTest, SkipFromTheScreenEndsIt)
{
    dvk_settings_setTutorialEnabled(1);
    open();
    ASSERT_EQ(dvk_vcm_init(vcms), 0);
    EXPECT_EQ(top(), "vcm_tutorial");
    take();
    event(DVK_UI_EVENT_SKIP);
    EXPECT_EQ(dvk_settings_getTutorialEnabled(), 0);
    EXPECT_EQ(take(), toRoot(true));
}

TEST_F(TutorialTest, TutorialEventInTheRootPlaysItAgain)
{
    start();
    ASSERT_EQ(top(), "vcm_root");
    take();
    event(DVK_UI_EVENT_TUTORIAL);
    Log expected = {"step vcm_tutorial", kTutorialScreen, "addPrompt 418"};
    const Log rest = toRoot(true);
    expected.insert(expected.end(), rest.begin(), rest.end());
    EXPECT_EQ(take(), expected);
    // On while it played, off at its end.
    EXPECT_EQ(dvk_settings_getTutorialEnabled(), 0);
}

TEST_F(TutorialTest, HelpAnywhereRestartsIt)
{
    start();
    take();
    event(DVK_UI_EVENT_HELP);
    const Log log = take();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[0], "step vcm_tutorial");
    EXPECT_EQ(log[1], kTutorialScreen);
}

TEST_F(TutorialTest, ForcedWhileTheSettingIsOnStillShows)
{
    open();
    dvk_vcm_clearStack(vcms);
    ASSERT_EQ(dvk_vcm_push(vcms, dvk_gen_vcm_newTutorial(vcms, 1)), 0);
    ASSERT_EQ(dvk_vcm_init(vcms), 0);
    EXPECT_EQ(take(), (Log{kTutorialScreen}));
}

}  // namespace
