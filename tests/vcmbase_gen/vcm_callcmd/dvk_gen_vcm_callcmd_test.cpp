// The call command through a whole session: the root menu routes the
// result, the command looks the contact up and ends in a call, a location
// choice, the name-or-number question or the no-locations state.
#include "tests/vcmbase_gen/harness/dialog_harness.h"

#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_settings.h"
#include "tests/vcmbase_gen/vcm_callcmd/call_session.h"

#include "sdk/common/dvk_mem.h"

#include <algorithm>

#include <gtest/gtest.h>

namespace {

class CallCmdTest : public CallSessionTest {};

TEST_F(CallCmdTest, NameAndLocationCallsAtOnce)
{
    EXPECT_EQ(after(heard(u"Ann", u"Home")),
              (Log{"step vcm_callSendComplete",
                   "text 12 title 538 body \"Ann\n\nHome\n\n555-0011\" keys -1/0 -1/0 492/4 time -1", "addPrompt 53",
                   "addWords 11 12", "addLocation Home", "addEarcon 6", "call 'Ann' 'Home' '5550011'"}));
    EXPECT_EQ(driver.lastResult, 0);
    EXPECT_EQ(dvk_vcm_done(vcms), 1);
}

TEST_F(CallCmdTest, EachResultReachesItsCall)
{
    const struct {
        const char16_t* name;
        const char16_t* location;
        const char16_t* digits;
        bool extension;
        const char* call;
    } rows[] = {
        {u"Bob", nullptr, nullptr, false, "call 'Bob' 'Mobile' '5550002'"},    // one voice number
        {u"Bob", u"Mobile", nullptr, false, "call 'Bob' 'Mobile' '5550002'"},
        {u"Ann", u"Mobile", nullptr, false, "call 'Ann' 'Mobile' '5550001'"},
        {nullptr, nullptr, u"5551234", false, "call '' '' '5551234'"},
        {nullptr, nullptr, u"5551234", true, "call '' '' 'x5551234'"},       // the extension mark
        // The call answer drops a location that comes without a name.
        {nullptr, u"Home", u"5551234", false, "call '' '' '5551234'"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.call);
        const Log log = after(heard(r.name, r.location, r.digits, r.extension));
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.back(), r.call);
        EXPECT_EQ(driver.lastResult, 0);
        dvk_vcm_endSession(&vcms);
        start();
        take();
    }
}

TEST_F(CallCmdTest, DigitsAreSaidWhenThereIsNoName)
{
    const Log log = after(heard(nullptr, nullptr, u"5551234", true));
    EXPECT_EQ(log, (Log{"step vcm_callSendComplete",
                        "text 12 title 538 body \"x5551234\" keys -1/0 -1/0 492/4 time -1", "addPrompt 53",
                        "addDigits x5551234", "addEarcon 6", "call '' '' 'x5551234'"}));
}

TEST_F(CallCmdTest, VoicemailCallsTheVoicemailNumber)
{
    auto voicemail = [this] {
        dvk_nbest_List* list = heard(nullptr);
        const dvk_ucs2_Char text[] = {u'v', u'm', 0};
        EXPECT_EQ(dvk_nbest_addValueNoIds(list, 0, 25, "vm", text, text), 0);
        return list;
    };
    fakeOemPbook().voicemail = u"5550999";
    EXPECT_EQ(after(voicemail()),
              (Log{"step vcm_callSendComplete",
                   "text 12 title 538 body \"String 258\n\n555-0999\" keys -1/0 -1/0 492/4 time -1", "addPrompt 53",
                   "addPrompt 422", "addDigits 5550999", "addEarcon 6", "call '' '' '5550999'"}));
    // No voicemail number: nothing to call, the session ends.
    restart();
    fakeOemPbook().voicemail = u"";
    after(voicemail());
    EXPECT_EQ(driver.lastResult, 1);
    EXPECT_EQ(dvk_vcm_done(vcms), 1);
}

TEST_F(CallCmdTest, UnknownNameAsksAgainAndTheAnswerCarriesTheTip)
{
    EXPECT_EQ(after(heard(u"Zed")),
              (Log{"step vcm_nameornumber",
                   "listen 8 title 539 body \"String 164\" image -1 bar 586 [] keys 497/14 -1/0 492/4 start 0 time -1",
                   "addPrompt 395", "addEarcon 1", "listen 42 38"}));
    EXPECT_EQ(dvk_vcm_savedStateExists(vcms), 1);
    // The new name replaces the old one in the command's entry.
    const Log log = after(heard(u"Ann", u"Home"));
    EXPECT_EQ(Log(log.begin() + 2, log.end()),
              (Log{"addPrompt 53", "addWords 11 12", "addLocation Home", "addEarcon 6", "addPrompt 309",
                   "addText String 5 Ann Home", "call 'Ann' 'Home' '5550011'"}));
}

TEST_F(CallCmdTest, TheTipPlaysTwiceAPhoneLifeAndNeverAgain)
{
    for (int i = 0; i < 4; i++) {
        SCOPED_TRACE(i);
        after(heard(u"Zed"));
        const Log log = after(heard(u"Bob"));
        EXPECT_EQ(has(log, "addPrompt 309"), i < 2);
        EXPECT_TRUE(has(log, "call 'Bob' 'Mobile' '5550002'"));
        dvk_vcm_endSession(&vcms);
        start();
        take();
    }
    EXPECT_EQ(dvk_settings_getAudioTipPlayCount(1), 2);
}

TEST_F(CallCmdTest, NoVoiceNumberEndsInTheNoLocationsState)
{
    for (int32_t nonListening : {0, 1}) {
        SCOPED_TRACE(nonListening);
        feature(62, nonListening);
        const Log log = after(heard(u"Carl"));
        ASSERT_GE(log.size(), 2u);
        EXPECT_EQ(top(), nonListening ? "vcm_nolocations_nonlisten" : "vcm_nolocations_listen");
        EXPECT_NE(log[1].find("body \"Carl\n"), std::string::npos) << log[1];
        EXPECT_TRUE(has(log, "addWords 11 12"));
        EXPECT_EQ(driver.lastResult, 0);
        // The stack was cleared under it.
        EXPECT_EQ(dvk_vcm_pop(vcms), nullptr);
        dvk_vcm_endSession(&vcms);
        start();
        take();
    }
}

TEST_F(CallCmdTest, UncertainNameIsConfirmed)
{
    dvk_nbest_List* list = heard(u"Ann", nullptr, nullptr, false, 40);
    for (const char16_t* other : {u"Bob", u"Carl"}) {
        const int32_t i = dvk_nbest_addEntry(list);
        addValues(list, i, other, nullptr, nullptr, false);
    }
    after(list);
    EXPECT_EQ(top(), "vcm_confirm_listen");
    EXPECT_EQ(dvk_vcm_savedStateExists(vcms), 1);
    // The command waits below the question.
    dvk_vcm_pop(vcms);
    EXPECT_EQ(top(), "vcm_callcmd");
}

TEST_F(CallCmdTest, SecondSilenceInTheQuestionIsNoMatch)
{
    for (int32_t nonListening : {0, 1}) {
        SCOPED_TRACE(nonListening);
        feature(63, nonListening);
        after(heard(nullptr));
        EXPECT_EQ(top(), "vcm_nameornumber");
        const Log again = after(nullptr);
        EXPECT_TRUE(has(again, "addPrompt 378"));
        after(nullptr);
        EXPECT_EQ(top(), nonListening ? "vcm_nomatch_nonlisten" : "vcm_nomatch_listen");
        EXPECT_EQ(driver.lastResult, 0);
        dvk_vcm_endSession(&vcms);
        start();
        take();
    }
}

// What the question listens to and says, by the call features.
TEST_F(CallCmdTest, QuestionFollowsTheCallFeatures)
{
    const int32_t namesLocs = namesLocs_constraint.id, digits = digits_constraint.id,
                  extension = extension_constraint.id, voicemail = voiceMailGen_constraint.id;
    const struct {
        int32_t f0, f1, f2, f3;
        std::vector<int32_t> listens;
        int32_t body, prompt;
    } rows[] = {
        {0, 0, 0, 0, {voicemail}, 164, 395},
        {0, 1, 0, 0, {namesLocs, voicemail}, 164, 395},
        {0, 0, 1, 0, {digits, voicemail}, 166, 397},
        {0, 1, 1, 0, {namesLocs, digits, voicemail}, 165, 396},
        {1, 0, 0, 1, {namesLocs, digits, extension, voicemail}, 165, 396},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::to_string(r.f0) + std::to_string(r.f1) + std::to_string(r.f2) + std::to_string(r.f3));
        feature(0, r.f0);
        feature(1, r.f1);
        feature(2, r.f2);
        feature(3, r.f3);
        const Log log = after(heard(nullptr));
        std::string listen = "listen";
        for (int32_t id : r.listens)
            listen += " " + std::to_string(id);
        ASSERT_EQ(log.size(), 5u);
        EXPECT_EQ(log[1], "listen 8 title 539 body \"String " + std::to_string(r.body) +
                              "\" image -1 bar 586 [] keys 497/14 -1/0 492/4 start 0 time -1");
        EXPECT_EQ(log[2], "addPrompt " + std::to_string(r.prompt));
        EXPECT_EQ(log[4], listen + " 38");
        dvk_vcm_endSession(&vcms);
        start();
        take();
    }
}

TEST_F(CallCmdTest, NumbersOnlyWithAnEmptyPhonebookSaysSo)
{
    useEmptyPhonebook();
    feature(2, 1);
    const Log log = after(heard(nullptr));
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(log[1],
              "listen 8 title 539 body \"String 166\nString 214\" image -1 bar 586 [] keys 497/14 -1/0 492/4 start 0 time -1");
    EXPECT_EQ(log[2], "addPrompt 397");
}

TEST_F(CallCmdTest, NamesOnlyWithAnEmptyPhonebookGoesToNoContacts)
{
    useEmptyPhonebook();
    after(heard(nullptr));
    EXPECT_EQ(top(), "vcm_nocontacts_listen");
    EXPECT_EQ(driver.lastResult, 0);
    EXPECT_EQ(dvk_vcm_savedStateExists(vcms), 0);
}

// Every allocation failing in turn on the way to each end: 0 or 1, nothing
// left behind, and the same end once memory suffices.
TEST_F(CallCmdTest, EachAllocationFailingInTurn)
{
    const struct {
        const char16_t* name;
        const char16_t* location;
        const char* last;
    } rows[] = {
        {u"Ann", u"Home", "call 'Ann' 'Home' '5550011'"},
        {u"Bob", nullptr, "call 'Bob' 'Mobile' '5550002'"},
        {u"Zed", nullptr, "listen 42 38"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.last);
        failEachAllocationUntil(r.name, r.location, r.last);
    }
}

}  // namespace
