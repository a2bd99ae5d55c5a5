// The selection completion: screen, prompt and the application's answer
// for each command, and the audio tip when the user was asked again.
#include "tests/vcmbase_gen/harness/dialog_harness.h"
#include "tests/vcmbase_gen/harness/recording_answers.h"

#include <algorithm>

#include <gtest/gtest.h>

namespace {

using Log = std::vector<std::string>;

const dvk_ucs2_Char kAnn[] = {u'A', u'n', u'n', 0};

class SelectCompleteTest : public DialogHarness {
protected:
    void SetUp() override
    {
        DialogHarness::SetUp();
        recordAnswers(&notifications);
        configureGates(2);
        open();
    }
    Log run(int32_t gate, int32_t command, int32_t askedAgain)
    {
        dvk_vcm_clearStack(vcms);
        dvk_vcm_setGateCmd(vcms, gate);
        EXPECT_EQ(dvk_vcm_push(vcms, dvk_gen_vcm_newSelectComplete(vcms, 41, command, askedAgain, kAnn, 3)), 0);
        take();
        vcmDriverStep(&driver);
        return take();
    }
};

TEST_F(SelectCompleteTest, EachCommandsAnswer)
{
    const struct {
        int32_t command, title, prompt;
        const char* answer;
    } rows[] = {
        {19, 604, 368, "goto 'Ann' 3"},
        {78, 606, 371, "goto 'Ann' 3"},
        {21, 605, 369, "help 'Ann' 3"},
        {46, 587, 224, "play '' '' '' 'Ann' 0 0 0 3"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.command);
        EXPECT_EQ(run(17, r.command, 0),
                  (Log{"step vcm_selectComplete",
                       "text 41 title " + std::to_string(r.title) + " body \"Ann\" keys -1/0 -1/0 492/4 time -1",
                       "addText Ann", "addPrompt " + std::to_string(r.prompt), "addEarcon 6", r.answer}));
        EXPECT_EQ(dvk_vcm_done(vcms), 1);
    }
}

TEST_F(SelectCompleteTest, AskedAgainAddsTheTipTwicePerGateCommand)
{
    for (int n = 0; n < 3; n++) {
        const Log log = run(17, 19, 1);
        const bool tip = std::find(log.begin(), log.end(), "addPrompt 403") != log.end();
        EXPECT_EQ(tip, n < 2) << n;
    }
}

}  // namespace
