// The listening confirmation through a session: an uncertain call result
// (confirmation mode 2 at sensitivity 1, confidence 40) is offered candidate
// by candidate; the accepted one completes the command below.
#include "tests/vcmbase_gen/vcm_callcmd/call_session.h"

#include "sdk/common/dvk_mem.h"

namespace {

const char kScreen[] = "confirm 9 title 540 body \"\" bar 586 items \"Dora\" \"Bob\" \"Ann Home\" selected ";
const char kKeys[] = " [278,271] keys 497/14 -1/0 492/4 start 0 time 10000";

class ConfirmListenTest : public CallSessionTest {
protected:
    // Dora, Bob, and Ann at home, all uncertain.
    dvk_nbest_List* threeNames()
    {
        dvk_nbest_List* list = heard(u"Dora", nullptr, nullptr, false, 40);
        EXPECT_EQ(dvk_nbest_addEntry(list), 1);
        addValues(list, 1, u"Bob", nullptr, nullptr, false);
        EXPECT_EQ(dvk_nbest_addEntry(list), 2);
        addValues(list, 2, u"Ann", u"Home", nullptr, false);
        return list;
    }
    std::string screen(int selected) { return kScreen + std::to_string(selected) + kKeys; }

    enum Answer { SAID_YES, SAID_NO, YES, NO, TOUCH_0, TOUCH_1, SILENCE, NOT_YES_OR_NO };
    void give(Answer a)
    {
        switch (a) {
        case SAID_YES: return result(answer(100));
        case SAID_NO: return result(answer(99));
        case YES: return event(DVK_UI_EVENT_YES);
        case NO: return event(DVK_UI_EVENT_NO);
        case TOUCH_0: return event(DVK_UI_EVENT_SELECT, 0);
        case TOUCH_1: return event(DVK_UI_EVENT_SELECT, 1);
        case SILENCE: return result(nullptr);
        case NOT_YES_OR_NO: return result(heard(u"Bob"));
        }
    }
};

TEST_F(ConfirmListenTest, AsksAboutEachCandidateInTurn)
{
    EXPECT_EQ(after(threeNames()),
              (Log{"step vcm_confirm_listen", screen(0), "addPrompt 110", "addPrompt 385", "addPrompt 90",
                   "addWords 11 12", "addEarcon 2", "listen 37 38"}));
    EXPECT_EQ(dvk_vcm_savedStateExists(vcms), 1);
    // Later questions do not count the candidates again.
    EXPECT_EQ(after(answer(99)), (Log{"step vcm_confirm_listen", screen(1), "addPrompt 90", "addWords 11 12",
                                      "addEarcon 2", "listen 37 38"}));
    EXPECT_EQ(after(answer(99)), (Log{"step vcm_confirm_listen", screen(2), "addPrompt 90", "addWords 11 12",
                                      "addLocation Home", "addEarcon 2", "listen 37 38"}));
    // A name confirmed with its location is not said again.
    EXPECT_EQ(after(answer(100)),
              (Log{"step vcm_callSendComplete",
                   "text 12 title 538 body \"Ann\n\nHome\n\n555-0011\" keys -1/0 -1/0 492/4 time -1", "addPrompt 53",
                   "addEarcon 6", "call 'Ann' 'Home' '5550011'"}));
    EXPECT_EQ(dvk_vcm_getConfirmType(vcms), 2);
}

// Each way of accepting: the candidate it names completes the call at once.
TEST_F(ConfirmListenTest, AcceptingCompletesWithThatCandidate)
{
    const struct {
        std::vector<Answer> answers;
        const char* call;  // NULL: Dora's numbers to choose from
    } rows[] = {
        {{SAID_YES}, nullptr},
        {{YES}, nullptr},
        {{TOUCH_1}, "call 'Bob' 'Mobile' '5550002'"},
        {{NO, NO, TOUCH_1}, "call 'Bob' 'Mobile' '5550002'"},
        {{SAID_NO, TOUCH_0}, nullptr},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.answers.size());
        after(threeNames());
        for (Answer a : r.answers)
            give(a);
        const Log log = take();
        ASSERT_FALSE(log.empty());
        if (r.call == nullptr) {
            // Dora has several numbers: the choice among them, the command below.
            EXPECT_EQ(top(), "vcm_whichlocationmulti");
            EXPECT_EQ(dvk_vcm_getConfirmType(vcms), 1);
        } else {
            EXPECT_EQ(log.back(), r.call);
        }
        EXPECT_EQ(driver.lastResult, 0);
        restart();
    }
}

// Three answers that are not yes, whatever they are, run out of candidates.
TEST_F(ConfirmListenTest, ThreeRefusalsHaveNoMoreResults)
{
    for (Answer a : {SAID_NO, NO, SILENCE, NOT_YES_OR_NO}) {
        SCOPED_TRACE(a);
        after(threeNames());
        for (int i = 0; i < 2; i++) {
            give(a);
            EXPECT_EQ(top(), "vcm_confirm_listen");
        }
        take();
        give(a);
        // It says so and steps back to the state saved before the question.
        EXPECT_TRUE(has(take(), "step vcm_nomoreresults"));
        EXPECT_EQ(top(), "vcm_root");
        EXPECT_EQ(driver.lastResult, 0);
        restart();
    }
}

TEST_F(ConfirmListenTest, TouchOutsideTheListDoesNothing)
{
    after(threeNames());
    event(DVK_UI_EVENT_SELECT, 3);
    event(DVK_UI_EVENT_SELECT, -1);
    EXPECT_EQ(top(), "vcm_confirm_listen");
    EXPECT_EQ(driver.lastResult, 0);
}

TEST_F(ConfirmListenTest, BackReturnsToTheStateBeforeTheQuestion)
{
    after(threeNames());
    event(DVK_UI_EVENT_NO);
    event(DVK_UI_EVENT_BACK);
    EXPECT_EQ(top(), "vcm_root");
    EXPECT_EQ(driver.lastResult, 0);
}

// A listening choice left unanswered ends the session as the root menu's
// timeout does.
TEST_F(ConfirmListenTest, TimeoutEndsTheSession)
{
    const struct {
        const char* state;
        const char16_t* name;
        const char16_t* location;
    } rows[] = {
        {"vcm_confirm_listen", nullptr, nullptr},
        {"vcm_whichlocationsingle", u"Bob", u"Work"},
        {"vcm_whichlocationmulti", u"Ann", nullptr},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.state);
        after(r.name != nullptr ? heard(r.name, r.location) : threeNames());
        ASSERT_EQ(top(), r.state);
        event(DVK_UI_EVENT_TIMEOUT);
        EXPECT_EQ(take(), (Log{"step vcm_timeoutEarcon", "addEarcon 4", "exit 2"}));
        EXPECT_EQ(dvk_vcm_done(vcms), 1);
        restart();
    }
}

TEST_F(ConfirmListenTest, ReadOutSaysEachCandidate)
{
    feature(59, 1);  // menu indexes said
    after(threeNames());
    auto readout = [&](int32_t index) {
        return sayInto([&](dvk_prompt_List* l) { return dvk_vcm_getMenuReadoutPrompt(vcms, l, index); }).calls;
    };
    EXPECT_EQ(readout(0), (Log{"addMenuIndex 1", "addWords 11 12"}));
    EXPECT_EQ(readout(2), (Log{"addMenuIndex 3", "addWords 11 12", "addLocation Home"}));
    EXPECT_TRUE(readout(3).empty());
}

// The candidates as listed and said: a name with its location, digits
// with the extension mark, digits formatted, voicemail.
TEST_F(ConfirmListenTest, EachKindOfCandidate)
{
    dvk_nbest_List* list = heard(nullptr, nullptr, u"5551234", true, 40);
    EXPECT_EQ(dvk_nbest_addEntry(list), 1);
    addValues(list, 1, nullptr, nullptr, u"5559876", false);
    const Log log = after(list);
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[1], "confirm 9 title 540 body \"\" bar 586 items \"x5551234\" \"555-9876\" selected 0" +
                          std::string(kKeys));
    EXPECT_EQ(Log(log.begin() + 2, log.end()), (Log{"addPrompt 109", "addPrompt 385", "addPrompt 90",
                                                    "addPrompt 181", "addDigits 5551234", "addEarcon 2",
                                                    "listen 37 38"}));
    event(DVK_UI_EVENT_SELECT, 1);
    const Log done = take();
    ASSERT_FALSE(done.empty());
    EXPECT_EQ(done.back(), "call '' '' '5559876'");
    EXPECT_EQ(dvk_vcm_getConfirmType(vcms), 3);
}

// The ids by gate command, and the postfix grammar's question after the
// candidate.
TEST_F(ConfirmListenTest, IdsFollowTheGateCommand)
{
    const struct {
        int32_t gate;
        int32_t screen, title, question;
    } rows[] = {
        {1, 9, 540, 90}, {3, 21, 630, 100}, {11, 21, 638, 104}, {13, 80, 620, 95}, {15, 33, 589, 92},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.gate);
        useGate(r.gate);
        const Log log = after(threeNames());
        ASSERT_GE(log.size(), 5u);
        EXPECT_EQ(log[1].rfind("confirm " + std::to_string(r.screen) + " title " + std::to_string(r.title) + " ", 0),
                  0u)
            << log[1];
        EXPECT_EQ(log[4], "addPrompt " + std::to_string(r.question));
    }
    fakeOemSettings().language = 13;
    useGate(3);
    const Log log = after(threeNames());
    EXPECT_EQ(Log(log.begin() + 2, log.end()), (Log{"addPrompt 110", "addPrompt 385", "addStringId 466",
                                                    "addWords 11 12", "addPrompt 94", "addEarcon 2",
                                                    "listen 37 38"}));
}

TEST_F(ConfirmListenTest, AGateCommandOutsideTheTableDies)
{
    dvk_vcm_setGateCmd(vcms, 24);
    dvk_nbest_List* list = threeNames();
    EXPECT_DEATH(dvk_gen_vcm_newConfirmListening(vcms, list), "vcm_confirm_listen");
    dvk_nbest_destroy(&list);
}

// Later entries of another kind than the first are no candidates: digits
// after a name, a name after digits.
TEST_F(ConfirmListenTest, CandidatesAreOfTheFirstEntrysKind)
{
    dvk_nbest_List* list = heard(u"Dora", nullptr, nullptr, false, 40);
    for (int32_t i = 1; i <= 3; i++) {
        EXPECT_EQ(dvk_nbest_addEntry(list), i);
        if (i == 2)
            addValues(list, i, u"Bob", nullptr, nullptr, false);
        else
            addValues(list, i, nullptr, nullptr, u"5551234", false);
    }
    const Log log = after(list);
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[1], "confirm 9 title 540 body \"\" bar 586 items \"Dora\" \"Bob\" selected 0" + std::string(kKeys));
    EXPECT_EQ(log[2], "addPrompt 109");
}

// The look-up's mend: a contact gone from the phonebook while its name is
// being confirmed is asked for again, and nothing stops.
TEST_F(ConfirmListenTest, ContactRemovedWhileConfirmingIsAskedForAgain)
{
    useGate(15);
    dvk_nbest_List* list = heard(u"Ann", nullptr, nullptr, false, 40);
    EXPECT_EQ(dvk_nbest_addEntry(list), 1);
    addValues(list, 1, u"Bob", nullptr, nullptr, false);
    after(list);
    EXPECT_EQ(top(), "vcm_confirm_listen");
    fakeOemPbook().contacts.erase(fakeOemPbook().contacts.begin());  // Ann
    dvkPbookUnitTestInit();
    const Log log = after(answer(100));
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "step vcm_nameornumber");
    EXPECT_EQ(top(), "vcm_nameornumber");
    EXPECT_EQ(driver.lastResult, 0);
}

// Every allocation failing in turn from the question to the call: 0 or 1,
// nothing left behind, and the call once memory suffices.
TEST_F(ConfirmListenTest, EachAllocationFailingInTurn)
{
    dvk_vcm_endSession(&vcms);
    const long base = dvk_mem_liveBlocks();
    for (long n = 0;; n++) {
        SCOPED_TRACE(n);
        start();
        take();
        dvk_nbest_List* list = threeNames();
        dvk_nbest_List* no = answer(99);
        dvk_mem_failAfter(n);
        result(list);
        if (driver.lastResult == 0 && top() == "vcm_confirm_listen") {
            result(no);
            if (driver.lastResult == 0 && top() == "vcm_confirm_listen")
                event(DVK_UI_EVENT_SELECT, 1);
        } else {
            dvk_nbest_destroy(&no);
        }
        dvk_mem_failAfter(-1);
        const Log log = take();
        const int got = driver.lastResult;
        dvk_vcm_endSession(&vcms);
        ASSERT_EQ(dvk_mem_liveBlocks(), base);
        if (got == 0 && !log.empty() && log.back() == "call 'Bob' 'Mobile' '5550002'")
            break;
        ASSERT_LT(n, 400);
    }
    start();
    take();
}

}  // namespace
