// The splash screen: the opening screen and prompt, then the root menu
// saved for BACK, which does not say the prompt again.
#include "tests/vcmbase_gen/harness/dialog_harness.h"

#include <gtest/gtest.h>

namespace {

using Log = std::vector<std::string>;

class SplashTest : public DialogHarness {
protected:
    void SetUp() override
    {
        DialogHarness::SetUp();
        configureGates(3);
    }
};

const Log kOpening = {
    "step vcm_tutorial",
    "bitmap 3 title -1 image 1 keys -1/0 -1/0 -1/0 time -1",
    "addPrompt 391",
    "addEarcon 0",
    "step vcm_root",
    "command 4 title 618 bar 586 [400,401,402] keys 514/17 -1/0 509/16 start 0 time 10000",
    "listen -2 -3 -4 38",
};

TEST_F(SplashTest, OpensOnTheSplashAndGoesToTheSilentRoot)
{
    start();
    EXPECT_EQ(take(), kOpening);
    EXPECT_EQ(driver.postedEvents, (std::vector<int32_t>{DVK_UI_EVENT_NEXT}));
    EXPECT_EQ(top(), "vcm_root");
    EXPECT_EQ(dvk_vcm_savedStateExists(vcms), 1);
}

TEST_F(SplashTest, BackActsAsNext)
{
    // The splash screen shown, its NEXT not posted yet.
    open();
    ASSERT_EQ(dvk_vcm_init(vcms), 0);
    ASSERT_EQ(top(), "vcm_splash");
    take();
    event(DVK_UI_EVENT_BACK);
    EXPECT_EQ(top(), "vcm_root");
    EXPECT_EQ(dvk_vcm_savedStateExists(vcms), 1);
    EXPECT_EQ(dvk_vcm_current(vcms)->state, 0);
}

}  // namespace
