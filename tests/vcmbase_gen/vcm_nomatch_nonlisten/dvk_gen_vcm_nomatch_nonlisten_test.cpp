// The no-match state that does not listen: its text by command, and the
// music commands that play anyway.
#include "tests/vcmbase_gen/harness/dialog_harness.h"
#include "tests/vcmbase_gen/harness/recording_answers.h"

#include "tests/sdk/common/fake_oem_pbook.h"

#include <algorithm>

#include <gtest/gtest.h>

namespace {

using Log = std::vector<std::string>;

class NoMatchNonListenTest : public DialogHarness {
protected:
    void SetUp() override
    {
        DialogHarness::SetUp();
        resetFakeOemPbook();
        recordAnswers(&notifications);
        configureGates(2);
        open();
    }
    Log enter(int32_t gate)
    {
        dvk_vcm_clearStack(vcms);
        dvk_vcm_resetState(vcms);
        EXPECT_EQ(dvk_vcm_pushAndSave(vcms, dvk_gen_vcm_newRoot(vcms, 0)), 0);
        dvk_vcm_setGateCmd(vcms, gate);
        EXPECT_EQ(dvk_vcm_push(vcms, dvk_gen_vcm_newNoMatchNonListening(vcms)), 0);
        take();
        vcmDriverStep(&driver);
        return take();
    }
};

TEST_F(NoMatchNonListenTest, TextByCommand)
{
    EXPECT_EQ(enter(0), (Log{"step vcm_nomatch_nonlisten",
                             "text 6 title 593 body \"String 211\" keys 514/17 -1/0 492/4 time 10000",
                             "addText String 211"}));
    // An empty phonebook under the call command.
    EXPECT_EQ(enter(1)[1], "text 18 title 593 body \"String 257 String 155\" keys 497/14 -1/0 492/4 time 10000");
    EXPECT_EQ(enter(16)[1], "text 38 title 593 body \"String 257\" keys 497/14 -1/0 492/4 time 10000");
}

TEST_F(NoMatchNonListenTest, MusicWithoutItsOwnNoMatchPlaysAnyway)
{
    EXPECT_EQ(enter(22), (Log{"step vcm_nomatch_nonlisten",
                              "text 75 title 593 body \"String 215\" keys 497/14 -1/0 492/4 time 10000",
                              "addEarcon 5", "addPrompt 323", "addPrompt 370", "addEarcon 6",
                              "play '' '' '' '' 0 0 0 0"}));
    EXPECT_EQ(dvk_vcm_done(vcms), 1);
}

TEST_F(NoMatchNonListenTest, MusicWithItsOwnNoMatchWaits)
{
    feature(65, 1);
    EXPECT_EQ(enter(22), (Log{"step vcm_nomatch_nonlisten",
                              "text 75 title 593 body \"String 257\" keys 497/14 -1/0 492/4 time 10000",
                              "addText String 257"}));
    promptMode(1);
    EXPECT_EQ(enter(22), (Log{"step vcm_nomatch_nonlisten",
                              "text 75 title 593 body \"String 257\" keys 497/14 -1/0 492/4 time 10000"}));
    EXPECT_EQ(top(), "vcm_nomatch_nonlisten");
    promptMode(3);
    event(DVK_UI_EVENT_TIMEOUT);
    const Log log = take();
    EXPECT_NE(std::find(log.begin(), log.end(), "exit 2"), log.end());
    EXPECT_EQ(dvk_vcm_done(vcms), 1);
}

}  // namespace
