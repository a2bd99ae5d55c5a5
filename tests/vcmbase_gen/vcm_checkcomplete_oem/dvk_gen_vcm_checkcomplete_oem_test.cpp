// The item handed to the application: its name shown and said, the tip when
// it was chosen from the list, and the check answer with its category.
#include "tests/vcmbase_gen/harness/dialog_harness.h"
#include "tests/vcmbase_gen/harness/recording_answers.h"

#include <gtest/gtest.h>

namespace {

using Log = std::vector<std::string>;

class CheckCompleteOemTest : public DialogHarness {};

TEST_F(CheckCompleteOemTest, NamesTheItemAndHandsItOn)
{
    const struct {
        int32_t listShown;
        Log log;
    } cases[] = {
        {0,
         {"step vcm_checkCompleteOem", "text 63 title 643 body 253 keys -1/0 -1/0 492/4 time -1", "addPrompt 413",
          "addEarcon 6", "check 4"}},
        {1,
         {"step vcm_checkCompleteOem", "text 63 title 643 body 253 keys -1/0 -1/0 492/4 time -1", "addPrompt 413",
          "addEarcon 6", "addPrompt 403", "addPrompt 309", "addText String 10 String 274", "check 4"}},
    };
    recordAnswers(&notifications);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.listShown);
        open();
        dvk_vcm_setGateCmd(vcms, 24);
        ASSERT_EQ(dvk_vcm_push(vcms, dvk_gen_vcm_newCheckCompleteOem(vcms, c.listShown, 4, 253, 413, 274)), 0);
        vcmDriverStep(&driver);
        EXPECT_EQ(take(), c.log);
        EXPECT_EQ(dvk_vcm_done(vcms), 1);
        dvk_vcm_endSession(&vcms);
    }
}

}  // namespace
