// The help-me-with command through the driver: the topic said in slot 13
// is announced and handed to the application.
#include "tests/vcmbase_gen/harness/dialog_harness.h"
#include "tests/vcmbase_gen/harness/recording_answers.h"

#include <gtest/gtest.h>

namespace {

using Log = std::vector<std::string>;

class HelpMeWithCmdTest : public DialogHarness {};

TEST_F(HelpMeWithCmdTest, TopicSaidIsAnnouncedAndHandedOn)
{
    fakeHelpItems() = {{u"Calls", u"", u"", u"", 31, 1}};
    recordAnswers(&notifications);
    open();
    dvk_vcm_setGateCmd(vcms, 20);
    ASSERT_EQ(dvk_vcm_push(vcms, dvk_gen_vcm_newHelpMeWithCmd(vcms)), 0);
    result(resultWith(13, u"Calls"));
    EXPECT_EQ(take(), (Log{"step vcm_selectComplete", "text 56 title 605 body \"Calls\" keys -1/0 -1/0 492/4 time -1",
                           "addText Calls", "addPrompt 369", "addEarcon 6", "help 'Calls' 31"}));
}

}  // namespace
