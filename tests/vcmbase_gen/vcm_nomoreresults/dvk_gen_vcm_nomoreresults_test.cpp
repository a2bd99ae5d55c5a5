// No more results: said over the confirmation, then two steps back.
#include "tests/vcmbase_gen/harness/dialog_harness.h"

#include "core/utils/dvk_array.h"

#include <gtest/gtest.h>

namespace {

using Log = std::vector<std::string>;

class NoMoreResultsTest : public DialogHarness {
protected:
    void SetUp() override
    {
        DialogHarness::SetUp();
        configureGates(2);
        open();
        dvk_vcm_clearStack(vcms);
        EXPECT_EQ(dvk_vcm_pushAndSave(vcms, dvk_gen_vcm_newRoot(vcms, 0)), 0);
        // A listening state saved over the root.
        dvk_vcm_setGateCmd(vcms, 19);
        dvk_array* items = dvk_array_create();
        dvk_array_addItem(items, dvk_string_getString(strings, 400));
        EXPECT_EQ(dvk_vcm_pushAndSave(vcms, dvk_gen_vcm_newSelectItem(vcms, 49, 541, 441, items,
                                                                      &changeModeList_constraint, 18)),
                  0);
        EXPECT_EQ(dvk_vcm_push(vcms, dvk_gen_vcm_newNoMoreResults(vcms)), 0);
        take();
    }
};

TEST_F(NoMoreResultsTest, SaysSoAndStepsBackTwice)
{
    for (int32_t mode : {3, 0}) {
        promptMode(mode);
        const Said said = sayInto([&](dvk_prompt_List* l) { return dvk_vcm_getPrompt(vcms, l); });
        EXPECT_EQ(said.calls, (Log{"addPrompt 332"}));
    }
    vcmDriverStep(&driver);
    EXPECT_EQ(driver.postedEvents, (std::vector<int32_t>{DVK_UI_EVENT_BACK}));
    EXPECT_EQ(top(), "vcm_root");
}

TEST_F(NoMoreResultsTest, BackDuringThePromptToo)
{
    event(DVK_UI_EVENT_BACK);
    EXPECT_EQ(top(), "vcm_root");
}

TEST_F(NoMoreResultsTest, FocusReadsNothing)
{
    dvk_msg_Message* message = nullptr;
    EXPECT_EQ(dvk_vcm_handleEvent(vcms, DVK_UI_EVENT_SET_FOCUS, 0, &message), 0);
    EXPECT_EQ(message, nullptr);
    EXPECT_EQ(top(), "vcm_nomoreresults");
}

}  // namespace
