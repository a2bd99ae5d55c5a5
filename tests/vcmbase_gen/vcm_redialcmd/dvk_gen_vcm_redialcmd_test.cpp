// Redial: the last dialled call shown, said and handed to the application,
// by number alone without a name, and the no-last-number state without one.
#include "tests/vcmbase_gen/harness/dialog_harness.h"
#include "tests/vcmbase_gen/harness/recording_answers.h"

#include "tests/sdk/common/fake_oem_pbook.h"

#include <gtest/gtest.h>

namespace {

using Log = std::vector<std::string>;

class RedialTest : public DialogHarness {
protected:
    void SetUp() override
    {
        DialogHarness::SetUp();
        resetFakeOemPbook();
        recordAnswers(&notifications);
        configure({{{200}, {}, 400, -1, 68, 25}});
    }
    void last(const std::u16string& name, const std::u16string& number, const std::u16string& location)
    {
        fakeOemPbook().lastDialed[0] = name;
        fakeOemPbook().lastDialed[1] = number;
        fakeOemPbook().lastDialed[2] = location;
    }
    // The redial gate said in the root menu.
    Log redial()
    {
        start();
        take();
        result(said(0));
        return take();
    }
};

TEST_F(RedialTest, CallsTheLastDialledContact)
{
    last(u"Carl Jensen", u"6505550142", u"WORK");
    EXPECT_EQ(redial(), (Log{"step vcm_redialCmd",
                             "text 67 title 538 body \"Carl Jensen\n\nWORK\n\n650-555-0142\" keys -1/0 -1/0 492/4 time -1",
                             "addPrompt 383", "addText Carl Jensen", "addLocation WORK", "addEarcon 6",
                             "call 'Carl Jensen' 'WORK' '6505550142'"}));
    EXPECT_EQ(dvk_vcm_done(vcms), 1);
}

TEST_F(RedialTest, ANumberAloneIsShownAndSaidAsDigits)
{
    last(u"", u"6505550142", u"WORK");
    const Log log = redial();
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(log[1], "text 67 title 538 body \"650-555-0142\" keys -1/0 -1/0 492/4 time -1");
    EXPECT_EQ(log[3], "addDigits 6505550142");
}

TEST_F(RedialTest, NoNumberShowsTheNoLastNumberState)
{
    last(u"Carl Jensen", u"", u"WORK");
    const Log log = redial();
    EXPECT_EQ(top(), "vcm_nolastnumber_nonlisten");
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[1], "text 68 title 599 body 257 keys 497/14 -1/0 492/4 time 10000");
}

// Every redial item is said at level 3, so the prompt stays whole in the
// shorter prompt modes; only the earcon goes in prompt mode 1.
TEST_F(RedialTest, ThePromptInTheShorterPromptModes)
{
    last(u"Carl Jensen", u"6505550142", u"WORK");
    const struct {
        int32_t mode;
        Log prompts;
    } rows[] = {
        {0, {"addPrompt 383", "addText Carl Jensen", "addLocation WORK", "addEarcon 6"}},
        {1, {"addPrompt 383", "addText Carl Jensen", "addLocation WORK"}},
        {2, {"addPrompt 383", "addText Carl Jensen", "addLocation WORK", "addEarcon 6"}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.mode);
        promptMode(r.mode);
        const Log log = redial();
        ASSERT_GE(log.size(), 3u);
        EXPECT_EQ(Log(log.begin() + 2, log.end() - 1), r.prompts);
        EXPECT_EQ(log.back(), "call 'Carl Jensen' 'WORK' '6505550142'");
        dvk_vcm_endSession(&vcms);
    }
    last(u"", u"6505550142", u"WORK");
    promptMode(1);
    const Log digits = redial();
    ASSERT_GE(digits.size(), 4u);
    EXPECT_EQ(Log(digits.begin() + 2, digits.end() - 1), (Log{"addPrompt 383", "addDigits 6505550142"}));
}

}  // namespace
