// The failure states' screens by gate command, and their yes/no answers,
// in sessions with the root menu saved below.
#include "tests/vcmbase_gen/harness/dialog_harness.h"
#include "tests/vcmbase_gen/harness/recording_answers.h"

#include "core/utils/dvk_ucs2.h"
#include "tests/vcmbase_gen/vcm_callcmd/call_send_phonebook.h"

#include <gtest/gtest.h>

namespace {

using Log = std::vector<std::string>;

const dvk_ucs2_Char kAnn[] = {u'A', u'n', u'n', 0};
const uint32_t kAnnWords[] = {7, 8};

class FailureTest : public DialogHarness {
protected:
    void SetUp() override
    {
        DialogHarness::SetUp();
        recordAnswers(&notifications);
        feature(59, 1);
        configureGates(2);
        open();
    }
    // The root saved, then the state made under the gate command and run.
    void enter(int32_t gate, const std::function<dvk_vcm_Module*(dvk_vcm_Session*)>& make)
    {
        dvk_vcm_clearStack(vcms);
        dvk_vcm_resetState(vcms);
        ASSERT_EQ(dvk_vcm_pushAndSave(vcms, dvk_gen_vcm_newRoot(vcms, 0)), 0);
        dvk_vcm_setGateCmd(vcms, gate);
        ASSERT_EQ(dvk_vcm_push(vcms, make(vcms)), 0);
        take();
        vcmDriverStep(&driver);
    }
    std::string firstScreen()
    {
        for (const std::string& line : take())
            if (line.rfind("step", 0) != 0)
                return line;
        return "none";
    }
    static dvk_nbest_List* yesNo(int32_t stringId)
    {
        dvk_nbest_List* list = dvk_nbest_create(37, "yesno", 90);
        dvk_nbest_addEntry(list);
        const std::string digits = std::to_string(stringId);
        const std::u16string text = u"String " + std::u16string(digits.begin(), digits.end());
        dvk_nbest_addValueNoIds(list, 0, 26, "yesno", reinterpret_cast<const dvk_ucs2_Char*>(text.c_str()),
                                reinterpret_cast<const dvk_ucs2_Char*>(text.c_str()));
        return list;
    }
};

struct ScreenCase {
    const char* state;
    std::function<dvk_vcm_Module*(dvk_vcm_Session*)> make;
    std::vector<std::pair<int32_t, int32_t>> gateScreen;  // -1: the state has no screen there
};

TEST_F(FailureTest, ScreenIdsByGateCommand)
{
    const ScreenCase cases[] = {
        {"nomatch_listen", dvk_gen_vcm_newNoMatchFound, {{0, 5}, {1, 17}, {13, 88}, {16, 37}, {22, 74}}},
        {"nomatch_nonlisten", dvk_gen_vcm_newNoMatchNonListening, {{0, 6}, {1, 18}, {13, 89}, {16, 38}, {22, 75}}},
        {"nocontacts_listen", dvk_gen_vcm_newNoContactsAvailable, {{1, 34}, {13, 84}, {16, 34}}},
        {"nocontacts_nonlisten", dvk_gen_vcm_newNoContactsNonListening, {{1, 35}, {13, 85}, {16, 35}}},
        {"nolocations_listen", [](dvk_vcm_Session* s) { return dvk_gen_vcm_newNoLocations(s, kAnn, kAnnWords, 2); },
         {{1, 15}, {13, 86}, {3, 27}}},
        {"nolocations_nonlisten",
         [](dvk_vcm_Session* s) { return dvk_gen_vcm_newNoLocationsNonListening(s, kAnn, kAnnWords, 2); },
         {{1, 16}, {13, 87}, {3, 28}}},
    };
    for (const ScreenCase& c : cases)
        for (const auto& [gate, screen] : c.gateScreen) {
            SCOPED_TRACE(std::string(c.state) + " gate " + std::to_string(gate));
            enter(gate, c.make);
            const std::string line = firstScreen();
            EXPECT_NE(line.find(" " + std::to_string(screen) + " title"), std::string::npos) << line;
        }
}

TEST_F(FailureTest, NoMatchListenScreenAndPrompts)
{
    enter(0, dvk_gen_vcm_newNoMatchFound);
    EXPECT_EQ(take(), (Log{"step vcm_nomatch_listen",
                           "listen 5 title 593 body 254 image -1 bar 586 [278,271] keys 514/17 -1/0 492/4 start 0 "
                           "time 10000",
                           "addEarcon 5", "addPrompt 325", "addEarcon 2", "listen 37 38"}));
    // Not understood: asked again, with the re-entry prompt.
    result(nullptr);
    const Log again = take();
    EXPECT_EQ(Log(again.begin() + 2, again.end()), (Log{"addPrompt 416", "addEarcon 2", "listen 37 38"}));
    // Twice: counts as no.
    result(nullptr);
    EXPECT_EQ(top(), "vcm_nomatch_nonlisten");
}

TEST_F(FailureTest, NoMatchListenYesGoesBackToTheSavedRoot)
{
    const std::function<void()> answers[] = {
        [&] { result(yesNo(100)); },
        [&] { event(DVK_UI_EVENT_YES); },
        [&] { event(DVK_UI_EVENT_SELECT, 0); },
    };
    for (const auto& answer : answers) {
        enter(0, dvk_gen_vcm_newNoMatchFound);
        answer();
        EXPECT_EQ(top(), "vcm_root");
        EXPECT_EQ(dvk_vcm_current(vcms)->state, 0);
    }
    const std::function<void()> noes[] = {
        [&] { result(yesNo(101)); },
        [&] { event(DVK_UI_EVENT_NO); },
        [&] { event(DVK_UI_EVENT_SELECT, 1); },
    };
    for (const auto& no : noes) {
        enter(0, dvk_gen_vcm_newNoMatchFound);
        no();
        EXPECT_EQ(top(), "vcm_nomatch_nonlisten");
    }
}

// A listening question left unanswered ends the session as the root menu's
// timeout does, instead of leaving the screen waiting.
TEST_F(FailureTest, ListeningStatesTimeOut)
{
    const struct {
        const char* state;
        int32_t gate;
        std::function<dvk_vcm_Module*(dvk_vcm_Session*)> make;
    } rows[] = {
        {"vcm_nomatch_listen", 0, dvk_gen_vcm_newNoMatchFound},
        {"vcm_nocontacts_listen", 13, dvk_gen_vcm_newNoContactsAvailable},
        {"vcm_nolocations_listen", 13,
         [](dvk_vcm_Session* s) { return dvk_gen_vcm_newNoLocations(s, kAnn, kAnnWords, 2); }},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.state);
        enter(r.gate, r.make);
        take();
        event(DVK_UI_EVENT_TIMEOUT);
        EXPECT_EQ(take(), (Log{"step vcm_timeoutEarcon", "addEarcon 4", "exit 2"}));
        EXPECT_EQ(dvk_vcm_done(vcms), 1);
        dvk_vcm_endSession(&vcms);
        open();
    }
}

TEST_F(FailureTest, YesNoReadOut)
{
    enter(1, dvk_gen_vcm_newNoContactsAvailable);
    const auto readout = [&](int32_t index) {
        return sayInto([&](dvk_prompt_List* l) { return dvk_vcm_getMenuReadoutPrompt(vcms, l, index); }).calls;
    };
    EXPECT_EQ(readout(0), (Log{"addMenuIndex 1", "addStringId 278"}));
    EXPECT_EQ(readout(1), (Log{"addMenuIndex 2", "addStringId 271"}));
    EXPECT_TRUE(readout(2).empty());
}

TEST_F(FailureTest, NoContactsListenYesAsksToAddAContact)
{
    enter(1, dvk_gen_vcm_newNoContactsAvailable);
    EXPECT_EQ(take(), (Log{"step vcm_nocontacts_listen",
                           "listen 34 title 602 body 151 image -1 bar 586 [278,271] keys 497/14 -1/0 492/4 start 0 "
                           "time 10000",
                           "addEarcon 5", "addPrompt 351", "addPrompt 33", "addEarcon 2", "listen 37 38"}));
    result(yesNo(100));
    EXPECT_EQ(take(), (Log{"lookup '' 0"}));
    EXPECT_EQ(dvk_vcm_done(vcms), 1);
    enter(1, dvk_gen_vcm_newNoContactsAvailable);
    event(DVK_UI_EVENT_NO);
    EXPECT_EQ(top(), "vcm_nocontacts_nonlisten");
}

TEST_F(FailureTest, NoLocationsListenUnderTheLookUpCommand)
{
    enter(13, [](dvk_vcm_Session* s) { return dvk_gen_vcm_newNoLocations(s, kAnn, kAnnWords, 2); });
    EXPECT_EQ(take(), (Log{"step vcm_nolocations_listen",
                           "listen 86 title 594 body \"Ann\nString 156\" image -1 bar 586 [278,271] keys 497/14 -1/0 "
                           "492/4 start 0 time 10000",
                           "addEarcon 5", "addWords 7 8", "addPrompt 327", "addPrompt 35", "addEarcon 2",
                           "listen 37 38"}));
    result(yesNo(100));
    EXPECT_EQ(take(), (Log{"lookup 'Ann' 0"}));
    EXPECT_EQ(dvk_vcm_done(vcms), 1);

    enter(13, [](dvk_vcm_Session* s) { return dvk_gen_vcm_newNoLocations(s, kAnn, kAnnWords, 2); });
    take();
    event(DVK_UI_EVENT_NO);
    EXPECT_EQ(top(), "vcm_nolocations_nonlisten");
    const Log log = take();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[1], "text 87 title 594 body \"Ann\nString 150\" keys 491/22 -1/0 492/4 time 15000");
    event(DVK_UI_EVENT_ADD_CONTACT);
    EXPECT_EQ(take(), (Log{"lookup 'Ann' 0"}));
    EXPECT_EQ(dvk_vcm_done(vcms), 1);
}

TEST_F(FailureTest, AGateCommandOutsideTheTableDies)
{
    EXPECT_DEATH(enter(0, dvk_gen_vcm_newNoContactsAvailable), "vcm_nocontacts_listen");
    EXPECT_DEATH(enter(8, dvk_gen_vcm_newNoMatchFound), "vcm_nomatch_listen");
    EXPECT_DEATH(enter(16, [](dvk_vcm_Session* s) { return dvk_gen_vcm_newNoLocations(s, kAnn, kAnnWords, 2); }),
                 "vcm_nolocations_listen");
}

// The non-listening no-locations prompt: by gate command and feature 62.
TEST_F(FailureTest, NoLocationsNonListenPrompts)
{
    const auto make = [](dvk_vcm_Session* s) { return dvk_gen_vcm_newNoLocationsNonListening(s, kAnn, kAnnWords, 2); };
    const auto prompts = [&] {
        const Log log = take();
        return Log(log.begin() + 2, log.end());
    };
    enter(13, make);
    EXPECT_EQ(prompts(), (Log{"addStringId 594", "addText Ann\nString 150"}));
    enter(1, make);
    EXPECT_EQ(prompts(), (Log{"addStringId 596", "addText Ann\nString 152"}));
    feature(62, 1);
    enter(1, make);
    EXPECT_EQ(prompts(), (Log{"addEarcon 5", "addWords 7 8", "addPrompt 330", "addText Ann\nString 152"}));
}

// Every state under the gate commands its row lists: the whole screen.
TEST_F(FailureTest, ScreensByGateCommand)
{
    useEmptyPhonebook();
    const auto nolocations = [](dvk_vcm_Session* s) { return dvk_gen_vcm_newNoLocations(s, kAnn, kAnnWords, 2); };
    const auto nolocationsNon = [](dvk_vcm_Session* s) {
        return dvk_gen_vcm_newNoLocationsNonListening(s, kAnn, kAnnWords, 2);
    };
    const std::string listen = " image -1 bar 586 [278,271] ";
    const std::string helpBack = "keys 497/14 -1/0 492/4";
    const std::string tutorialBack = "keys 514/17 -1/0 492/4";
    const std::string addBack = "keys 491/22 -1/0 492/4";
    const struct {
        int32_t gate;
        std::function<dvk_vcm_Module*(dvk_vcm_Session*)> make;
        std::string screen;
    } rows[] = {
        {0, dvk_gen_vcm_newNoMatchFound, "listen 5 title 593 body 254" + listen + tutorialBack + " start 0 time 10000"},
        {1, dvk_gen_vcm_newNoMatchFound, "listen 17 title 593 body 254" + listen + helpBack + " start 0 time 10000"},
        {13, dvk_gen_vcm_newNoMatchFound, "listen 88 title 593 body 254" + listen + helpBack + " start 0 time 10000"},
        {16, dvk_gen_vcm_newNoMatchFound, "listen 37 title 593 body 254" + listen + helpBack + " start 0 time 10000"},
        {22, dvk_gen_vcm_newNoMatchFound, "listen 74 title 593 body 254" + listen + helpBack + " start 0 time 10000"},
        {0, dvk_gen_vcm_newNoMatchNonListening, "text 6 title 593 body \"String 211\" " + tutorialBack + " time 10000"},
        {1, dvk_gen_vcm_newNoMatchNonListening,
         "text 18 title 593 body \"String 257 String 155\" " + helpBack + " time 10000"},
        {13, dvk_gen_vcm_newNoMatchNonListening, "text 89 title 593 body \"String 257\" " + helpBack + " time 10000"},
        {16, dvk_gen_vcm_newNoMatchNonListening, "text 38 title 593 body \"String 257\" " + helpBack + " time 10000"},
        {22, dvk_gen_vcm_newNoMatchNonListening, "text 75 title 593 body \"String 215\" " + helpBack + " time 10000"},
        {1, dvk_gen_vcm_newNoContactsAvailable, "listen 34 title 602 body 151" + listen + helpBack + " start 0 time 10000"},
        {13, dvk_gen_vcm_newNoContactsAvailable, "listen 84 title 602 body 151" + listen + helpBack + " start 0 time 10000"},
        {16, dvk_gen_vcm_newNoContactsAvailable, "listen 34 title 602 body 151" + listen + helpBack + " start 0 time 10000"},
        {1, dvk_gen_vcm_newNoContactsNonListening, "text 35 title 602 body 154 " + addBack + " time 10000"},
        {13, dvk_gen_vcm_newNoContactsNonListening, "text 85 title 602 body 154 " + addBack + " time 10000"},
        {16, dvk_gen_vcm_newNoContactsNonListening, "text 35 title 602 body 154 " + addBack + " time 10000"},
        {1, nolocations, "listen 15 title 596 body \"Ann\nString 153\"" + listen + helpBack + " start 0 time 10000"},
        {13, nolocations, "listen 86 title 594 body \"Ann\nString 156\"" + listen + helpBack + " start 0 time 10000"},
        {1, nolocationsNon, "text 16 title 596 body \"Ann\nString 152\" " + addBack + " time 15000"},
        {13, nolocationsNon, "text 87 title 594 body \"Ann\nString 150\" " + addBack + " time 15000"},
    };
    for (const auto& r : rows) {
        enter(r.gate, r.make);
        const std::string line = firstScreen();
        EXPECT_EQ(line, r.screen) << "gate " << r.gate;
    }
}

// BACK, and yes in the no-match state, with no saved state: the dialog
// manager pops the state, so the module pushed below it (or, with nothing
// below, a restarted root menu) takes over.
TEST_F(FailureTest, BackWithoutASavedStatePopsTheQuestion)
{
    const struct {
        const char* state;
        int32_t gate;
        std::function<dvk_vcm_Module*(dvk_vcm_Session*)> make;
    } rows[] = {
        {"vcm_nomatch_listen", 0, dvk_gen_vcm_newNoMatchFound},
        {"vcm_nocontacts_listen", 1, dvk_gen_vcm_newNoContactsAvailable},
        {"vcm_nolocations_listen", 13,
         [](dvk_vcm_Session* s) { return dvk_gen_vcm_newNoLocations(s, kAnn, kAnnWords, 2); }},
    };
    const std::function<void()> answers[] = {
        [&] { event(DVK_UI_EVENT_BACK); },
        [&] { result(yesNo(100)); },
    };
    for (const auto& r : rows)
        for (bool below : {true, false})
            for (size_t a = 0; a < (std::string(r.state) == "vcm_nomatch_listen" ? 2u : 1u); a++) {
                SCOPED_TRACE(std::string(r.state) + (below ? " over the root" : " alone") + " answer " +
                             std::to_string(a));
                dvk_vcm_clearStack(vcms);
                dvk_vcm_resetState(vcms);
                if (below) {
                    ASSERT_EQ(dvk_vcm_push(vcms, dvk_gen_vcm_newRoot(vcms, 0)), 0);
                }
                dvk_vcm_setGateCmd(vcms, r.gate);
                ASSERT_EQ(dvk_vcm_push(vcms, r.make(vcms)), 0);
                vcmDriverStep(&driver);
                ASSERT_EQ(top(), r.state);
                ASSERT_EQ(dvk_vcm_savedStateExists(vcms), 0);
                take();
                answers[a]();
                EXPECT_EQ(driver.lastResult, 0);
                EXPECT_EQ(top(), "vcm_root");
                ASSERT_NE(dvk_vcm_current(vcms), nullptr);
                EXPECT_EQ(dvk_vcm_current(vcms)->next, nullptr);
                EXPECT_EQ(take().at(0), "step vcm_root");
            }
}

// In every yes/no state the spoken yes, YES and touching item 0 do the same;
// any other answer, NO, touching item 1 and two silences do what no does.
TEST_F(FailureTest, EveryWayOfAnsweringGivesTheSameLog)
{
    const struct {
        int32_t gate;
        std::function<dvk_vcm_Module*(dvk_vcm_Session*)> make;
    } states[] = {
        {0, dvk_gen_vcm_newNoMatchFound},
        {1, dvk_gen_vcm_newNoContactsAvailable},
        {13, [](dvk_vcm_Session* s) { return dvk_gen_vcm_newNoLocations(s, kAnn, kAnnWords, 2); }},
    };
    const std::vector<std::function<void()>> yeses = {
        [&] { result(yesNo(100)); },
        [&] { event(DVK_UI_EVENT_YES); },
        [&] { event(DVK_UI_EVENT_SELECT, 0); },
    };
    const std::vector<std::function<void()>> noes = {
        [&] { event(DVK_UI_EVENT_NO); },
        [&] { result(yesNo(101)); },
        [&] { result(resultWith(20, u"Ann")); },
        [&] { event(DVK_UI_EVENT_SELECT, 1); },
        [&] {
            result(nullptr);
            take();
            result(nullptr);
        },
    };
    for (const auto& state : states) {
        for (const auto* answers : {&yeses, &noes}) {
            Log first;
            for (size_t i = 0; i < answers->size(); i++) {
                SCOPED_TRACE("gate " + std::to_string(state.gate) + (answers == &yeses ? " yes " : " no ") +
                             std::to_string(i));
                enter(state.gate, state.make);
                take();
                (*answers)[i]();
                const Log log = take();
                if (i == 0) {
                    first = log;
                    EXPECT_FALSE(first.empty());
                } else {
                    EXPECT_EQ(log, first);
                }
            }
        }
    }
}

}  // namespace
