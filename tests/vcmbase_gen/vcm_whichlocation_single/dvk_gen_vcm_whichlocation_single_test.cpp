// The question whether to use the one number left when the said location
// has none, reached through the call command.
#include "tests/vcmbase_gen/vcm_callcmd/call_session.h"

#include "core/nbest/dvk_nbest.h"

namespace {

class WhichLocationSingleTest : public CallSessionTest {};

TEST_F(WhichLocationSingleTest, AsksAboutTheOneNumberLeft)
{
    EXPECT_EQ(after(heard(u"Bob", u"Work")),
              (Log{"step vcm_whichlocationsingle",
                   "confirm 11 title 539 body \"Bob\" bar 586 items \"Mobile (555-0002)\" selected 0 [278,271] "
                   "keys 497/14 -1/0 492/4 start 0 time 10000",
                   "addWords 11 12", "addLocation Work", "addPrompt 328", "addPrompt 167", "addLocation Mobile",
                   "addEarcon 3", "listen 37 38"}));
}

TEST_F(WhichLocationSingleTest, YesCallsTheNumberNoGoesBack)
{
    // Spoken yes, YES, touched item 0: the call.
    after(heard(u"Bob", u"Work"));
    Log log = after(answer(100));
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "call 'Bob' 'Mobile' '5550002'");
    restart();
    after(heard(u"Bob", u"Work"));
    event(DVK_UI_EVENT_YES);
    log = take();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "call 'Bob' 'Mobile' '5550002'");
    restart();
    after(heard(u"Bob", u"Work"));
    event(DVK_UI_EVENT_SELECT, 0);
    log = take();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "call 'Bob' 'Mobile' '5550002'");
    // No, spoken or NO: the state saved before the question, the root.
    restart();
    after(heard(u"Bob", u"Work"));
    after(answer(99));
    EXPECT_EQ(top(), "vcm_root");
    restart();
    after(heard(u"Bob", u"Work"));
    event(DVK_UI_EVENT_NO);
    EXPECT_EQ(top(), "vcm_root");
}

TEST_F(WhichLocationSingleTest, PostfixGrammarSaysTheNameAfterTheQuestion)
{
    fakeOemSettings().language = 13;
    const Log log = after(heard(u"Bob", u"Work"));
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(Log(log.begin() + 2, log.end()),
              (Log{"addWords 11 12", "addLocation Work", "addPrompt 328", "addWords 11 12", "addLocation Mobile",
                   "addPrompt 353", "addEarcon 3", "listen 37 38"}));
}

}  // namespace
