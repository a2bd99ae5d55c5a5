// The mode announcement: the body names the mode after a blank line, the
// name is said after prompt 292, then earcon 6.
#include "tests/vcmbase_gen/harness/dialog_harness.h"

#include <gtest/gtest.h>

namespace {

using Log = std::vector<std::string>;

class ChangeModeCompleteTest : public DialogHarness {};

TEST_F(ChangeModeCompleteTest, ShowsAndSaysTheMode)
{
    open();
    const dvk_ucs2_Char silent[] = {'S', 'i', 'l', 'e', 'n', 't', 0};
    ASSERT_EQ(dvk_vcm_push(vcms, dvk_gen_vcm_newChangeModeComplete(vcms, silent)), 0);
    ASSERT_EQ(dvk_vcm_init(vcms), 0);
    const Said said = sayInto([this](dvk_prompt_List* p) { return dvk_vcm_getPrompt(vcms, p); });
    EXPECT_EQ(take(), (Log{"text 50 title 591 body \"String 202\n\nSilent\" keys 500/7 -1/0 492/4 time 10000"}));
    EXPECT_EQ(said.result, 0);
    EXPECT_EQ(said.calls, (std::vector<std::string>{"addPrompt 292", "addText Silent", "addEarcon 6"}));
    event(DVK_UI_EVENT_OK);
    EXPECT_EQ(take().back(), "exit 0");
}

}  // namespace
