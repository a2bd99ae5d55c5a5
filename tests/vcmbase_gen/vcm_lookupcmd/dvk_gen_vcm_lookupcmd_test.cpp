// The look-up command through a session: a name is shown and reported, a
// missing or vanished one is asked for.
#include "tests/vcmbase_gen/vcm_callcmd/call_session.h"


namespace {

class LookupCmdTest : public CallSessionTest {
protected:
    void SetUp() override
    {
        CallSessionTest::SetUp();
        useGate(15);
    }
};

TEST_F(LookupCmdTest, NameIsShownSaidAndReported)
{
    EXPECT_EQ(after(heard(u"Ann")),
              (Log{"step vcm_lookupComplete", "text 36 title 603 body \"Ann\" keys -1/0 -1/0 492/4 time -1",
                   "addWords 11 12", "addPrompt 367", "addEarcon 6", "lookup 'Ann' 1"}));
    EXPECT_EQ(dvk_vcm_done(vcms), 1);
}

TEST_F(LookupCmdTest, NoNameAsksForOne)
{
    EXPECT_EQ(after(heard(nullptr)),
              (Log{"step vcm_nameornumber",
                   "listen 32 title 588 body \"String 194\" image -1 bar 586 [] keys 497/14 -1/0 492/4 start 0 time -1",
                   "addPrompt 395", "addEarcon 1", "listen " + std::to_string(names_constraint.id) + " 38"}));
    // The answer completes the look-up, with the tip.
    const Log log = after(heard(u"Bob"));
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "lookup 'Bob' 1");
}

TEST_F(LookupCmdTest, EmptyPhonebookHasNoContacts)
{
    useEmptyPhonebook();
    for (int32_t nonListening : {0, 1}) {
        SCOPED_TRACE(nonListening);
        feature(64, nonListening);
        after(heard(u"Ann"));
        EXPECT_EQ(top(), nonListening ? "vcm_nocontacts_nonlisten" : "vcm_nocontacts_listen");
        EXPECT_EQ(driver.lastResult, 0);
        dvk_vcm_endSession(&vcms);
        start();
        take();
    }
}

// A contact gone from the phonebook by the time the look-up completes is
// asked for again, not asserted.
TEST_F(LookupCmdTest, VanishedNameIsAskedForAgain)
{
    fakeOemPbook().contacts.erase(fakeOemPbook().contacts.begin());  // Ann
    dvkPbookUnitTestInit();
    const Log log = after(heard(u"Ann"));
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "step vcm_nameornumber");
    EXPECT_EQ(driver.lastResult, 0);
}

}  // namespace
