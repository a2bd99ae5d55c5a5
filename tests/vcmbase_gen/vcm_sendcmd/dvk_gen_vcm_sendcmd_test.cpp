// The send command through a whole session: the root menu routes a message
// or e-mail command, the command finds the number its kind of message can
// go to and ends in the send answer, a location choice, the name-or-number
// question, the no-locations or the no-contacts state.
#include "tests/vcmbase_gen/vcm_callcmd/call_session.h"

#include "sdk/common/dvk_mem.h"

namespace {

class SendCmdTest : public CallSessionTest {
protected:
    void SetUp() override
    {
        CallSessionTest::SetUp();
        useGate(3);
    }
    // A one-entry result naming a group (with its word ids) or nothing but digits.
    dvk_nbest_List* heardGroup(const char16_t* group, int32_t confidence = 90)
    {
        dvk_nbest_List* list = heard(nullptr, nullptr, nullptr, false, confidence);
        const auto* g = reinterpret_cast<const dvk_ucs2_Char*>(group);
        const uint32_t ids[] = {21};
        EXPECT_EQ(dvk_nbest_addValue(list, 0, 12, "group", g, g, 1, ids, 0, nullptr), 0);
        return list;
    }
};

TEST_F(SendCmdTest, NameGoesToTheDefaultMessageNumber)
{
    EXPECT_EQ(after(heard(u"Ann")),
              (Log{"step vcm_callSendComplete",
                   "text 24 title 533 body \"Ann\n\nMobile\n\n555-0001\" keys -1/0 -1/0 492/4 time -1",
                   "addWords 11 12", "addLocation Mobile", "addPrompt 32", "addEarcon 6",
                   "send 'Ann' 'Mobile' '5550001' '' 0"}));
    EXPECT_EQ(dvk_vcm_done(vcms), 1);
}

TEST_F(SendCmdTest, EmailGoesToTheDefaultEmailNumber)
{
    useGate(13);
    EXPECT_EQ(after(heard(u"Ann")),
              (Log{"step vcm_callSendComplete",
                   "text 83 title 533 body \"Ann\n\nHome\n\n555-0011\" keys -1/0 -1/0 492/4 time -1",
                   "addWords 11 12", "addLocation Home", "addPrompt 32", "addEarcon 6",
                   "send 'Ann' 'Home' '5550011' '' 9"}));
}

// Which number a send by name reaches, by gate command: the kind of message
// decides which numbers can take it, the default location type which of
// those is meant.
TEST_F(SendCmdTest, EachNameReachesItsNumber)
{
    const struct {
        int32_t gate;
        const char16_t* name;
        const char16_t* location;
        const char* answer;
    } rows[] = {
        {3, u"Eve", nullptr, "send 'Eve' 'Mobile' '5550005' '' 0"},   // the default type among two
        {13, u"Eve", nullptr, "send 'Eve' 'Other' '5550004' '' 9"},   // no home: the one e-mail number
        {3, u"Carl", nullptr, "send 'Carl' 'Other' '5550003' '' 0"},  // no mobile: the one message number
        {4, u"Bob", nullptr, "send 'Bob' 'Mobile' '5550002' '' 1"},
        {14, u"Carl", nullptr, "send 'Carl' 'Other' '5550003' '' 10"},
        {3, u"Eve", u"Other", "send 'Eve' 'Other' '5550004' '' 0"},  // a said location wins over the default
        {9, u"Ann", u"Mobile", "send 'Ann' 'Mobile' '5550001' '' 7"},
        {11, u"Ann", u"Mobile", "send 'Ann' 'Mobile' '5550001' '' 7"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.answer);
        useGate(r.gate);
        const Log log = after(heard(r.name, r.location));
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.back(), r.answer);
        EXPECT_EQ(driver.lastResult, 0);
    }
}

TEST_F(SendCmdTest, GroupOrDigitsGoStraightToTheAnswer)
{
    EXPECT_EQ(after(heardGroup(u"Team")),
              (Log{"step vcm_callSendComplete", "text 24 title 533 body \"Team\" keys -1/0 -1/0 492/4 time -1",
                   "addWords 21", "addPrompt 32", "addEarcon 6", "send '' '' '' 'Team' 0"}));
    EXPECT_EQ(dvk_vcm_done(vcms), 1);
    restart();
    EXPECT_EQ(after(heard(nullptr, nullptr, u"5551234")),
              (Log{"step vcm_callSendComplete", "text 24 title 533 body \"555-1234\" keys -1/0 -1/0 492/4 time -1",
                   "addDigits 5551234", "addPrompt 32", "addEarcon 6", "send '' '' '5551234' '' 0"}));
}

TEST_F(SendCmdTest, NoNumberOfTheKindEndsInTheNoLocationsState)
{
    useGate(13);
    for (int32_t nonListening : {0, 1}) {
        SCOPED_TRACE(nonListening);
        feature(62, nonListening);
        after(heard(u"Bob"));  // a mobile only: no e-mail
        EXPECT_EQ(top(), nonListening ? "vcm_nolocations_nonlisten" : "vcm_nolocations_listen");
        EXPECT_EQ(driver.lastResult, 0);
        EXPECT_EQ(dvk_vcm_pop(vcms), nullptr);  // alone on the stack
        restart();
    }
}

TEST_F(SendCmdTest, EmailWithAnEmptyPhonebookHasNoContacts)
{
    useEmptyPhonebook();
    for (int32_t nonListening : {0, 1}) {
        SCOPED_TRACE(nonListening);
        feature(64, nonListening);
        useGate(13);
        after(heard(u"Ann"));
        EXPECT_EQ(top(), nonListening ? "vcm_nocontacts_nonlisten" : "vcm_nocontacts_listen");
        EXPECT_EQ(driver.lastResult, 0);
        // Pushed over the command.
        dvk_vcm_pop(vcms);
        EXPECT_EQ(top(), "vcm_sendcmd");
    }
    // Other sends ask for a name or number instead.
    useGate(3);
    after(heard(u"Ann"));
    EXPECT_EQ(top(), "vcm_nameornumber");
}

// A said location without a number for this kind of message offers the
// numbers that can take it, saying whether the location exists at all.
TEST_F(SendCmdTest, LocationThatCannotTakeTheMessageOffersTheOthers)
{
    const struct {
        const char16_t* location;
        int32_t notFoundPrompt;
    } rows[] = {
        {u"Home", 226},  // Ann has a home number, but not for messages
        {u"Work", 328},  // Ann has no work number
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.notFoundPrompt);
        const Log log = after(heard(u"Ann", r.location));
        ASSERT_GE(log.size(), 2u);
        EXPECT_EQ(log[0], "step vcm_whichlocationsingle");
        EXPECT_EQ(log[1].rfind("confirm 23 title 629 body \"Ann\" bar 586 items \"Mobile (555-0001)\"", 0), 0u)
            << log[1];
        EXPECT_TRUE(has(log, "addPrompt " + std::to_string(r.notFoundPrompt)));
        EXPECT_TRUE(has(log, "addPrompt 171"));
        const Log yes = after(answer(100));
        ASSERT_FALSE(yes.empty());
        EXPECT_EQ(yes.back(), "send 'Ann' 'Mobile' '5550001' '' 0");
        restart();
    }
}

TEST_F(SendCmdTest, SeveralNumbersOfTheKindAreListed)
{
    useGate(13);
    const Log log = after(heard(u"Dora"));
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], "step vcm_whichlocationmulti");
    EXPECT_EQ(log[1].rfind("confirm 81 title 619 body \"Dora\"", 0), 0u) << log[1];
    const Log chosen = after(heard(nullptr, u"Home 2"));
    ASSERT_FALSE(chosen.empty());
    EXPECT_EQ(chosen.back(), "send 'Dora' 'Home 2' '5550110' '' 9");
}

TEST_F(SendCmdTest, UnknownNameAsksForANameOrNumber)
{
    EXPECT_EQ(after(heard(u"Zed")),
              (Log{"step vcm_nameornumber",
                   "listen 20 title 629 body \"String 236\" image -1 bar 586 [] keys 497/14 -1/0 492/4 start 0 time -1",
                   "addPrompt 396", "addEarcon 1",
                   "listen " + std::to_string(namesLocs_constraint.id) + " " + std::to_string(digits_constraint.id) +
                       " " + std::to_string(groups_constraint.id) + " 38"}));
    EXPECT_EQ(dvk_vcm_savedStateExists(vcms), 1);
    const Log log = after(heard(u"Bob"));
    EXPECT_EQ(Log(log.begin() + 2, log.end()),
              (Log{"addWords 11 12", "addLocation Mobile", "addPrompt 32", "addEarcon 6", "addPrompt 309",
                   "addText String 64 Bob Mobile", "send 'Bob' 'Mobile' '5550002' '' 0"}));
}

// The tip after a question plays in the first two such sends of a gate
// command over the phone's life, and never after; another gate command
// counts its own.
TEST_F(SendCmdTest, TheTipPlaysTwiceAGateCommandAndNeverAgain)
{
    for (int32_t gate : {3, 4}) {
        for (int i = 0; i < 3; i++) {
            SCOPED_TRACE(std::to_string(gate) + "/" + std::to_string(i));
            useGate(gate);
            after(heard(u"Zed"));
            const Log log = after(heard(u"Bob"));
            EXPECT_EQ(has(log, "addPrompt 309"), i < 2);
        }
        EXPECT_EQ(dvk_settings_getAudioTipPlayCount(gate), 2);
    }
}

TEST_F(SendCmdTest, UncertainDigitsAreConfirmed)
{
    after(heard(nullptr, nullptr, u"5551234", false, 40));
    EXPECT_EQ(top(), "vcm_confirm_listen");
    const Log log = after(answer(100));
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "send '' '' '5551234' '' 0");
    EXPECT_EQ(dvk_vcm_getConfirmType(vcms), 3);
}

TEST_F(SendCmdTest, UncertainGroupIsConfirmed)
{
    dvk_nbest_List* list = heardGroup(u"Team", 40);
    EXPECT_EQ(dvk_nbest_addEntry(list), 1);
    addValues(list, 1, nullptr, nullptr, nullptr, false);
    const dvk_ucs2_Char club[] = {u'C', u'l', u'u', u'b', 0};
    const uint32_t ids[] = {22};
    EXPECT_EQ(dvk_nbest_addValue(list, 1, 12, "group", club, club, 1, ids, 0, nullptr), 0);
    const Log log = after(list);
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[1], "confirm 21 title 630 body \"\" bar 586 items \"Team\" \"Club\" selected 0 [278,271] keys "
                      "497/14 -1/0 492/4 start 0 time 10000");
    EXPECT_EQ(Log(log.begin() + 2, log.end()), (Log{"addPrompt 109", "addPrompt 385", "addPrompt 100", "addWords 21",
                                                    "addEarcon 2", "listen 37 38"}));
    after(answer(99));
    const Log done = after(answer(100));
    ASSERT_FALSE(done.empty());
    EXPECT_EQ(done.back(), "send '' '' '' 'Club' 0");
    EXPECT_EQ(dvk_vcm_getConfirmType(vcms), 1);
}

// Every allocation failing in turn on the way to each end: 0 or 1, nothing
// left behind, and the same end once memory suffices.
TEST_F(SendCmdTest, EachAllocationFailingInTurn)
{
    const struct {
        int32_t gate;
        const char16_t* name;
        const char16_t* location;
        std::string last;
    } rows[] = {
        {3, u"Ann", nullptr, "send 'Ann' 'Mobile' '5550001' '' 0"},
        {3, u"Ann", u"Home", "listen 37 38"},
        {13, u"Dora", nullptr, "listen 34 38"},
        {3, u"Zed", nullptr,
         "listen " + std::to_string(namesLocs_constraint.id) + " " + std::to_string(digits_constraint.id) + " " +
             std::to_string(groups_constraint.id) + " 38"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.last);
        useGate(r.gate);
        failEachAllocationUntil(r.name, r.location, r.last);
    }
}

}  // namespace
