// The "saved" popup going back its number of states, and the about screen.
#include "tests/vcmbase_gen/harness/dialog_harness.h"

#include <gtest/gtest.h>

namespace {

using Log = std::vector<std::string>;

class SettingsCompleteTest : public DialogHarness {
protected:
    void SetUp() override
    {
        DialogHarness::SetUp();
        configureGates(2);
        start();
        take();
    }
    int32_t depth()
    {
        int32_t n = 0;
        for (dvk_vcm_Module* m = dvk_vcm_current(vcms); m != nullptr; m = m->next)
            n++;
        return n;
    }
};

TEST_F(SettingsCompleteTest, PopsItsCountOrStopsAtAnEmptyStack)
{
    struct Row {
        int32_t below;  // about screens pushed under the popup
        int32_t pops;
        int result;
        int32_t left;  // modules then on the stack
    };
    // The root is always at the bottom.
    const Row rows[] = {{0, 1, 0, 1}, {1, 2, 0, 1}, {2, 2, 0, 2}, {0, 2, 0, 0}, {0, 3, 1, 0}, {1, 5, 1, 0}};
    for (const Row& row : rows)
        for (dvk_ui_Event close : {DVK_UI_EVENT_OK, DVK_UI_EVENT_TIMEOUT}) {
            dvk_vcm_clearStack(vcms);
            ASSERT_EQ(dvk_vcm_push(vcms, dvk_gen_vcm_newRoot(vcms, 1)), 0);
            for (int32_t i = 0; i < row.below; i++)
                ASSERT_EQ(dvk_vcm_push(vcms, dvk_gen_vcm_newSettingsAbout(vcms)), 0);
            ASSERT_EQ(dvk_vcm_push(vcms, dvk_gen_vcm_newSettingsComplete(vcms, 97, 175, row.pops)), 0);
            vcmDriverStep(&driver);
            EXPECT_EQ(take(), (Log{"step vcm_settings_complete", "popup 97 body 175 type 1 time 2000",
                                   "addStringId 175"}));
            dvk_msg_Message* message = nullptr;
            EXPECT_EQ(dvk_vcm_handleEvent(vcms, close, 0, &message), row.result) << row.pops;
            EXPECT_EQ(depth(), row.left) << row.pops;
        }
}

TEST_F(SettingsCompleteTest, PopCountMustBePositive)
{
    EXPECT_DEATH(dvk_gen_vcm_newSettingsComplete(vcms, 97, 175, 0), "vcm_settings_complete");
}

TEST_F(SettingsCompleteTest, AboutScreen)
{
    ASSERT_EQ(dvk_vcm_push(vcms, dvk_gen_vcm_newSettingsAbout(vcms)), 0);
    vcmDriverStep(&driver);
    EXPECT_EQ(take(), (Log{"step vcm_settings_about", "bitmap 132 title 528 image 0 keys -1/0 -1/0 492/4 time 30000",
                           "addStringId 528"}));
    event(DVK_UI_EVENT_BACK);
    EXPECT_EQ(top(), "vcm_root");
}

}  // namespace
