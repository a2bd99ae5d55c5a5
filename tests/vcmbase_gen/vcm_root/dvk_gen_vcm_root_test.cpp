// The root command menu: which gate commands it lists and listens for, how
// it pages them, and where a result or a touched entry leads.
#include "tests/vcmbase_gen/harness/dialog_harness.h"

#include "core/config/dvk_config.h"
#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_settings.h"
#include "tests/support/log_capture.h"
#include "tests/vcmbase_gen/harness/recording_answers.h"
#include "tests/vcmbase_gen/harness/recording_screens.h"
#include "tests/vcmbase_gen/vcm_callcmd/call_send_phonebook.h"

#include <algorithm>
#include <functional>

#include <gtest/gtest.h>

namespace {

using Log = std::vector<std::string>;

const char kKeys[] = "keys 514/17 -1/0 509/16 start 0 time 10000";

std::string commandScreen(const std::string& ids)
{
    return "command 4 title 618 bar 586 [" + ids + "] " + kKeys;
}

class RootTest : public DialogHarness {
protected:
    // The root menu's screen line and grammar line after opening.
    Log opened()
    {
        start();
        Log log = take();
        Log out;
        for (const std::string& line : log)
            if (line.rfind("command", 0) == 0 || line.rfind("listen", 0) == 0)
                out.push_back(line);
        return out;
    }
    // The screen line of the root's next step.
    std::string screenAfter(dvk_ui_Event event, int32_t index)
    {
        take();
        DialogHarness::event(event, index);
        for (const std::string& line : take())
            if (line.rfind("command", 0) == 0)
                return line;
        return "no screen";
    }
    std::string listenLine(const std::vector<int32_t>& ids)
    {
        std::string line = "listen";
        for (int32_t id : ids)
            line += " " + std::to_string(id);
        return line + " 38";
    }
};

// Per page 5: the screens page by page, and the grammar.
struct PagingCase {
    int gates;
    std::vector<std::string> pages;
    bool next;
};

TEST_F(RootTest, PagesTheGates)
{
    const PagingCase cases[] = {
        {5, {"400,401,402,403,404"}, false},
        {6, {"400,401,402,403,360", "404,405,360"}, true},
        {9, {"400,401,402,403,360", "404,405,406,407,360", "408,360"}, true},
        {10, {"400,401,402,403,360", "404,405,406,407,360", "408,409,360"}, true},
    };
    for (const PagingCase& c : cases) {
        SCOPED_TRACE(c.gates);
        configureGates(c.gates);
        const Log log = opened();
        ASSERT_EQ(log.size(), 2u);
        EXPECT_EQ(log[0], commandScreen(c.pages[0]));
        std::vector<int32_t> grammar;
        for (int i = 0; i < c.gates; i++)
            grammar.push_back(constraintOf(i));
        if (c.next)
            grammar.push_back(36);
        EXPECT_EQ(log[1], listenLine(grammar));
        // More-options on each page turns to the next, from the last to the first.
        for (size_t p = 1; p <= c.pages.size() && c.next; p++) {
            // More-options is the page's last entry.
            const auto more =
                static_cast<int32_t>(std::count(c.pages[p - 1].begin(), c.pages[p - 1].end(), ','));
            EXPECT_EQ(screenAfter(DVK_UI_EVENT_SELECT, more), commandScreen(c.pages[p % c.pages.size()]));
            EXPECT_EQ(dvk_vcm_current(vcms)->state, 0);
        }
        dvk_vcm_endSession(&vcms);
    }
}

TEST_F(RootTest, SaidMoreOptionsTurnsThePageToo)
{
    configureGates(6);
    start();
    take();
    dvk_nbest_List* more = dvk_nbest_create(36, "nextCmd", 90);
    dvk_nbest_addEntry(more);
    dvk_ucs2_Char* text = dvk_string_getString(strings, 32);
    dvk_nbest_addValueNoIds(more, 0, 19, "next", text, text);
    dvk_ucs2_destroy(&text);
    result(more);
    const Log log = take();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[1], commandScreen("404,405,360"));
    // A fresh page says the full prompt.
    EXPECT_EQ(log[2], "addPrompt 391");
}

TEST_F(RootTest, ReadsOutTheFocusedEntry)
{
    feature(59, 1);
    configureGates(6);
    start();
    const struct {
        int32_t index;
        Log said;
    } cases[] = {
        {4, {"addMenuIndex 5", "addStringId 32"}},
        {0, {"addMenuIndex 1", "addStringId 200"}},
        {3, {"addMenuIndex 4", "addStringId 203"}},
        {5, {}},
    };
    for (const auto& c : cases) {
        const Said said = sayInto([&](dvk_prompt_List* l) { return dvk_vcm_getMenuReadoutPrompt(vcms, l, c.index); });
        EXPECT_EQ(said.result, 0);
        EXPECT_EQ(said.calls, c.said) << c.index;
    }
    // Without feature 59 the index is not said; in prompt mode 1 nothing of level 1.
    feature(59, 0);
    const auto readout = [&](dvk_prompt_List* l) { return dvk_vcm_getMenuReadoutPrompt(vcms, l, 4); };
    EXPECT_EQ(sayInto(readout).calls, (Log{"addStringId 32"}));
    promptMode(1);
    EXPECT_TRUE(sayInto(readout).calls.empty());
}

// A gate per case, listed (and in the grammar) or not.
struct FilterCase {
    const char* what;
    ConfigGate gate;
    std::function<void()> setUp;
    bool listed;
    bool listened;
};

TEST_F(RootTest, FiltersTheGates)
{
    const FilterCase cases[] = {
        {"feature off", {{201}, {}, 401, -1, 5, 24}, [] {}, false, false},
        {"feature on", {{201}, {}, 401, -1, 5, 24}, [] { feature(5, 1); }, true, true},
        {"feature 68", {{201}, {}, 401, -1, 68, 24}, [] {}, true, true},
        {"driving on, mode 0", {{201}, {}, 401, 39, 68, 31}, [] { dvk_settings_setDrivingMode(0); }, false, false},
        {"driving on, mode 1", {{201}, {}, 401, 39, 68, 31}, [] { dvk_settings_setDrivingMode(1); }, true, true},
        {"driving on, mode 2", {{201}, {}, 401, 39, 68, 31}, [] { dvk_settings_setDrivingMode(2); }, true, true},
        {"driving off, mode 0", {{201}, {}, 401, 40, 68, 32}, [] { dvk_settings_setDrivingMode(0); }, true, true},
        {"driving off, mode 1", {{201}, {}, 401, 40, 68, 32}, [] { dvk_settings_setDrivingMode(1); }, false, false},
        {"driving off, mode 2", {{201}, {}, 401, 40, 68, 32}, [] { dvk_settings_setDrivingMode(2); }, true, true},
        {"playlist, music failed", {{201}, {}, 401, 19, 68, 22}, [] { ceScript().musicUpdated = 0; }, false, false},
        {"music, music failed", {{201}, {}, 401, 21, 68, 23}, [] { ceScript().musicUpdated = 0; }, false, false},
        {"playlist, capable", {{201}, {}, 401, 19, 68, 22}, [] {}, false, false},
        {"music, capable", {{201}, {}, 401, 21, 68, 23}, [] {}, true, true},
        {"playlist, not capable", {{201}, {}, 401, 19, 68, 22}, [] { languageHasCapability2() = 0; }, true, true},
        {"music, not capable", {{201}, {}, 401, 21, 68, 23}, [] { languageHasCapability2() = 0; }, false, false},
        {"application missing", {{201}, {}, 401, -1, 68, 21}, [] {}, false, false},
        {"application disabled", {{201}, {}, 401, -1, 68, 21},
         [] { fakeGotoItems().push_back({u"String 201", u"", u"", u"", 7, 0}); }, false, false},
        {"application present", {{201}, {}, 401, -1, 68, 21},
         [] { fakeGotoItems().push_back({u"String 201", u"", u"", u"", 7, 1}); }, true, true},
        {"top-level go-to missing", {{201}, {}, 401, 14, 68, 17}, [] {}, false, false},
        {"top-level go-to present", {{201}, {}, 401, 14, 68, 17},
         [] { fakeGotoItems().push_back({u"String 201", u"", u"", u"", 7, 1}); }, true, true},
        {"no display string", {{201}, {}, -1, -1, 68, 24}, [] {}, false, true},
    };
    for (const FilterCase& c : cases) {
        SCOPED_TRACE(c.what);
        resetFakeOemSettings();
        promptMode(3);
        ceScript() = CeScript{};
        languageHasCapability2() = 1;
        fakeGotoItems().clear();
        c.setUp();
        configure({{{200}, {}, 400, -1, 68, 24}, c.gate});
        const Log log = opened();
        ASSERT_EQ(log.size(), 2u);
        EXPECT_EQ(log[0], commandScreen(c.listed ? "400,401" : "400"));
        EXPECT_EQ(log[1], c.listened ? listenLine({constraintOf(0), constraintOf(1)}) : listenLine({constraintOf(0)}));
        dvk_vcm_endSession(&vcms);
    }
}

// A command screen needs an entry: with every gate hidden the menu shows
// none and still listens for what is not shown.
TEST_F(RootTest, NothingToShowOnlyListens)
{
    configure({{{200}, {}, -1, -1, 68, 24}, {{201}, {}, 401, -1, 5, 24}});
    start();
    const Log log = take();
    EXPECT_EQ(Log(log.end() - 2, log.end()), (Log{"step vcm_root", listenLine({constraintOf(0)})}));
    EXPECT_EQ(driver.lastResult, 0);
}

TEST_F(RootTest, SharedConstraintIsListenedForOnce)
{
    configure({{{200}, {}, 400, 7, 68, 24}, {{201}, {}, 401, 7, 68, 15}, {{202}, {}, 402, -1, 68, 24}});
    ASSERT_EQ(constraintOf(0), constraintOf(1));
    const Log log = opened();
    EXPECT_EQ(log[0], commandScreen("400,401,402"));
    EXPECT_EQ(log[1], listenLine({constraintOf(0), constraintOf(2)}));
}

// A configuration may name gate commands no module carries out: such a gate
// is neither shown nor listened for, and a result naming one is no result.
TEST_F(RootTest, UnroutedGateCommandsAreLeftOut)
{
    for (int32_t unrouted : {0, 2, 8, 27, 28, 29, 30}) {
        SCOPED_TRACE(unrouted);
        configure({{{200}, {}, 400, -1, 68, 24}, {{201}, {}, 401, -1, 68, unrouted}});
        LogCapture capture;
        const Log log = opened();
        EXPECT_EQ(log[0], commandScreen("400"));
        EXPECT_EQ(log[1], listenLine({constraintOf(0)}));
        EXPECT_TRUE(capture.contains("which no module carries out"));
        dvk_vcm_endSession(&vcms);
    }
}

TEST_F(RootTest, AResultNamingAnUnroutedGateIsNoResult)
{
    // Both gates share the constraint, so the unrouted one's phrase is heard.
    configure({{{200}, {}, 400, 7, 68, 24}, {{201}, {}, 401, 7, 68, 27}});
    start();
    take();
    result(said(1));
    EXPECT_EQ(driver.lastResult, 0);
    Log log = take();
    EXPECT_EQ(Log(log.begin() + 2, log.begin() + 5), (Log{"addPrompt 378", "addPrompt 391", "addEarcon 0"}));
    // A text of no phrase under the constraint names no gate either.
    dvk_nbest_List* other = dvk_nbest_create(constraintOf(0), "said", 70);
    dvk_nbest_addEntry(other);
    dvk_ucs2_Char* text = dvk_string_getString(strings, 333);
    dvk_nbest_addValueNoIds(other, 0, 9, "said", text, text);
    dvk_ucs2_destroy(&text);
    // The second result in a row that names nothing: the no-match state.
    result(other);
    EXPECT_EQ(top(), "vcm_nomatch_listen");
}

TEST_F(RootTest, NoResultTwiceLeadsToNoMatch)
{
    for (int32_t nonListening : {0, 1}) {
        feature(63, nonListening);
        configureGates(2);
        start();
        take();
        result(nullptr);
        EXPECT_EQ(driver.lastResult, 0);
        EXPECT_EQ(take(), (Log{"step vcm_root", commandScreen("400,401"), "addPrompt 378", "addPrompt 391", "addEarcon 0",
                               listenLine({constraintOf(0), constraintOf(1)})}));
        result(nullptr);
        EXPECT_EQ(driver.lastResult, 0);
        EXPECT_EQ(top(), nonListening ? "vcm_nomatch_nonlisten" : "vcm_nomatch_listen");
        dvk_vcm_endSession(&vcms);
        driver.lastResult = 0;
    }
}

// Gate command 25 (redial) is followed in the redial module's tests.
TEST_F(RootTest, EachGateCommandGoesToItsModule)
{
    // List commands stay below the state they push.
    const struct {
        int32_t gateCmd;
        const char* command;
        const char* pushed;
    } lists[] = {
        {17, "vcm_gotoCmd", "vcm_noshortcuts"},
        {18, "vcm_gotoCmd", "vcm_noshortcuts"},
        {19, "vcm_changeModeCmd", "vcm_selectItem"},
        {20, "vcm_helpMeWithCmd", "vcm_nohelptopics"},
        {22, "vcm_playPlaylistCmd", "vcm_nomusicstored"},
        {23, "vcm_playMusicCmd", "vcm_nomusicstored"},
        {24, "vcm_checkCmd", "vcm_selectItem"},
    };
    for (const auto& l : lists) {
        SCOPED_TRACE(l.gateCmd);
        configure({{{200}, {}, 400, -1, 68, 24}, {{201}, {}, 401, -1, 68, l.gateCmd}});
        start();
        take();
        result(said(1));
        EXPECT_EQ(dvk_vcm_getGateCmd(vcms), l.gateCmd);
        EXPECT_EQ(top(), l.pushed);
        EXPECT_EQ(driver.lastResult, 0);
        dvk_vcm_pop(vcms);   // frees the pushed state
        EXPECT_EQ(top(), l.command);
        dvk_vcm_endSession(&vcms);
        driver.lastResult = 0;
    }
    // Commands whose modules are built finish in their announcements.
    const struct {
        int32_t gateCmd;
        const char* announcement;
    } built[] = {
        {31, "vcm_drivingmodeComplete"},
        {32, "vcm_drivingmodeComplete"},
        {33, "vcm_enableServiceComplete"},
    };
    for (const auto& b : built) {
        SCOPED_TRACE(b.gateCmd);
        configure({{{200}, {}, 400, -1, 68, 24}, {{201}, {}, 401, -1, 68, b.gateCmd}});
        start();
        take();
        result(said(1));
        EXPECT_EQ(dvk_vcm_getGateCmd(vcms), b.gateCmd);
        EXPECT_EQ(top(), b.announcement);
        EXPECT_EQ(driver.lastResult, 0);
        dvk_vcm_endSession(&vcms);
    }
}

TEST_F(RootTest, TutorialCommandPlaysTheTutorial)
{
    configure({{{200}, {}, 400, -1, 68, 24}, {{201}, {}, 401, -1, 68, 26}});
    start();
    take();
    result(said(1));
    EXPECT_EQ(driver.lastResult, 0);
    EXPECT_EQ(dvk_vcm_getGateCmd(vcms), 0);  // the root again, at the tutorial's end
    const Log log = take();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], "step vcm_tutorial");
    EXPECT_EQ(log[1], "bitmap 0 title 644 image 2 keys 510/5 -1/0 -1/0 time -1");
}

TEST_F(RootTest, CallOptionalNameGrammarIsACall)
{
    configure({{{200}, {}, 400, 1, 68, 24}});
    start();
    take();
    result(said(0));
    EXPECT_EQ(dvk_vcm_getGateCmd(vcms), 1);
    // The call command, given no name or number, asks for one.
    const Log log = take();
    EXPECT_NE(std::find(log.begin(), log.end(), "step vcm_nameornumber"), log.end());
}

TEST_F(RootTest, TouchingAnEntryIsSayingIt)
{
    std::vector<ConfigGate> gates;
    const int32_t commands[] = {24, 15, 17, 19, 20, 22, 33};
    for (int i = 0; i < 7; i++)
        gates.push_back({{200 + i}, {}, 400 + i, -1, 68, commands[i]});
    for (int item : {0, 3, 4, 6}) {
        SCOPED_TRACE(item);
        configure(gates);
        start();
        // Page to the item, then touch it.
        const int page = item / 4;
        for (int p = 0; p < page; p++)
            event(DVK_UI_EVENT_SELECT, 4);
        LogCapture touched;
        event(DVK_UI_EVENT_SELECT, item % 4);
        const int32_t touchedGate = dvk_vcm_getGateCmd(vcms);
        const std::string touchedTop = dvk_vcm_done(vcms) != 0 ? "" : top();
        dvk_vcm_endSession(&vcms);
        start();
        LogCapture spoken;
        result(said(item));
        EXPECT_EQ(dvk_vcm_getGateCmd(vcms), touchedGate);
        EXPECT_EQ(dvk_vcm_done(vcms) != 0 ? "" : top(), touchedTop);
        EXPECT_EQ(touched.lines().size(), spoken.lines().size());
        if (!touched.lines().empty() && !spoken.lines().empty()) {
            EXPECT_EQ(touched.lines().back().text, spoken.lines().back().text);
        }
        dvk_vcm_endSession(&vcms);
    }
}

TEST_F(RootTest, TouchOutsideThePageDoesNothing)
{
    configureGates(6);
    start();
    take();
    for (int32_t index : {5, 40, -2}) {
        event(DVK_UI_EVENT_SELECT, index);
        EXPECT_EQ(driver.lastResult, 0);
    }
    EXPECT_EQ(dvk_vcm_current(vcms)->state, 0);
}

TEST_F(RootTest, BareCommandFirstStandsAlone)
{
    configure({{{200}, {}, 400, -1, 68, 24}, {{201}, {}, 401, -1, 68, 15}});
    start();
    take();
    // The first entry holds the command alone; a later one has more values.
    dvk_nbest_List* list = said(1);
    dvk_nbest_addEntry(list);
    dvk_ucs2_Char* text = dvk_string_getString(strings, 200);
    dvk_nbest_addValueNoIds(list, 1, 9, "said", text, text);
    dvk_nbest_addValueNoIds(list, 1, 20, "said", text, text);
    dvk_ucs2_destroy(&text);
    result(list);
    // The look-up carries it out (with no phonebook here it reports no contacts).
    EXPECT_EQ(dvk_vcm_getGateCmd(vcms), 15);
}

TEST_F(RootTest, RestartSaysThePrompt)
{
    configureGates(2);
    start();
    take();
    event(DVK_UI_EVENT_RESTART);
    EXPECT_EQ(take(), (Log{"step vcm_root", commandScreen("400,401"), "addPrompt 391", "addEarcon 0",
                           listenLine({constraintOf(0), constraintOf(1)})}));
    EXPECT_EQ(dvk_vcm_savedStateExists(vcms), 1);
}

TEST_F(RootTest, SavedCopyKeepsThePageAndSaysThePrompt)
{
    configureGates(6);
    start();
    event(DVK_UI_EVENT_SELECT, 4);
    ASSERT_EQ(dvk_vcm_saveState(vcms), 0);
    event(DVK_UI_EVENT_SELECT, 2);  // back to page 0
    // A state pushed over it, then BACK to the copy.
    ASSERT_EQ(dvk_vcm_push(vcms, dvk_gen_vcm_newSplash(vcms)), 0);
    take();
    ASSERT_EQ(dvk_vcm_revertState(vcms), 0);
    vcmDriverStep(&driver);
    EXPECT_EQ(take(), (Log{"step vcm_root", commandScreen("404,405,360"), "addPrompt 391", "addEarcon 0",
                           listenLine({constraintOf(0), constraintOf(1), constraintOf(2), constraintOf(3),
                                       constraintOf(4), constraintOf(5), 36})}));
}

TEST_F(RootTest, SplashCopyDoesNotStaySilent)
{
    configureGates(2);
    start();  // the root from the splash screen said nothing
    ASSERT_EQ(dvk_vcm_push(vcms, dvk_gen_vcm_newSplash(vcms)), 0);
    take();
    ASSERT_EQ(dvk_vcm_revertState(vcms), 0);
    vcmDriverStep(&driver);
    const Log log = take();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[2], "addPrompt 391");
}

TEST_F(RootTest, BackEndsTheSessionAndTimeoutPlaysTheEarcon)
{
    configureGates(2);
    start();
    take();
    event(DVK_UI_EVENT_BACK);
    EXPECT_EQ(take(), (Log{"exit 0"}));
    dvk_vcm_endSession(&vcms);
    start();
    take();
    event(DVK_UI_EVENT_TIMEOUT);
    EXPECT_EQ(take(), (Log{"step vcm_timeoutEarcon", "addEarcon 4", "exit 2"}));
    EXPECT_EQ(dvk_vcm_done(vcms), 1);
}

TEST_F(RootTest, OkIsIgnored)
{
    configureGates(2);
    start();
    take();
    event(DVK_UI_EVENT_OK);
    EXPECT_TRUE(take().empty());
    EXPECT_EQ(top(), "vcm_root");
}

TEST_F(RootTest, ScreenFailureEndsTheStep)
{
    configureGates(2);
    screensFail() = true;
    start();
    EXPECT_EQ(take().back(), "init failed");
    EXPECT_EQ(driver.lastResult, 1);
}

}  // namespace

namespace {

// Each allocation of the menu's steps failing in turn: 1 (or 0 once enough
// succeed), and nothing left behind.
TEST_F(RootTest, EveryAllocationFailingInTurn)
{
    configureGates(6);
    open();
    const auto empty = [&] {
        dvk_vcm_clearStack(vcms);
        dvk_vcm_resetState(vcms);
        take();
    };
    empty();
    const long base = dvk_mem_liveBlocks();
    const struct {
        const char* what;
        std::function<int()> step;
    } steps[] = {
        {"construction", [&] { return dvk_vcm_push(vcms, dvk_gen_vcm_newRoot(vcms, 1)); }},
        {"saved copy", [&] { return dvk_vcm_saveState(vcms); }},
        {"screen", [&] { return dvk_vcm_init(vcms); }},
        {"touched more-options",
         [&] {
             dvk_msg_Message* message = nullptr;
             return dvk_vcm_handleEvent(vcms, DVK_UI_EVENT_SELECT, 4, &message);
         }},
        {"touched entry",
         [&] {
             dvk_msg_Message* message = nullptr;
             return dvk_vcm_handleEvent(vcms, DVK_UI_EVENT_SELECT, 1, &message);
         }},
    };
    for (const auto& s : steps) {
        for (long n = 0;; n++) {
            SCOPED_TRACE(std::string(s.what) + " failing after " + std::to_string(n));
            if (std::string(s.what) != "construction") {
                ASSERT_EQ(dvk_vcm_push(vcms, dvk_gen_vcm_newRoot(vcms, 0)), 0);
            }
            dvk_mem_failAfter(n);
            const int result = s.step();
            dvk_mem_failAfter(-1);
            EXPECT_TRUE(result == 0 || result == 1);
            empty();
            ASSERT_EQ(dvk_mem_liveBlocks(), base);
            // Touching an entry ends in a stand-in's failure however much memory there is.
            if (result == 0 || n > 40)
                break;
        }
    }
}

// A routed result goes, as it is, to the command module the root pushes
// without saving after clearing the stack: the saved state stays the root's,
// and the command acts on the values the root was given.
TEST_F(RootTest, ARoutedResultIsHandedToTheCommandPushedUnsaved)
{
    useCallSendPhonebook();
    dvk_settings_setChoiceListConfirmMode(2);
    dvk_settings_setSensitivityMode(1);
    fakeGotoItems() = {{u"Maps", u"", u"", u"", 11, 1}};
    recordAnswers(&notifications);
    const struct {
        int32_t gateCmd;
        std::vector<std::pair<int32_t, std::u16string>> values;
        std::string last;
    } rows[] = {
        {1, {{20, u"Ann"}, {15, u"Home"}}, "call 'Ann' 'Home' '5550011'"},
        {1, {{20, u"Bob"}}, "call 'Bob' 'Mobile' '5550002'"},
        {17, {{10, u"Maps"}}, "goto 'Maps' 11"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.last);
        configure({{{200}, {}, 400, -1, 68, 24}, {{201}, {}, 401, -1, 68, r.gateCmd}});
        start();
        ASSERT_EQ(top(), "vcm_root");
        ASSERT_EQ(dvk_vcm_savedStateExists(vcms), 1);
        take();
        dvk_nbest_List* list = said(1);
        for (const auto& [slot, text] : r.values) {
            std::vector<dvk_ucs2_Char> units(text.begin(), text.end());
            units.push_back(0);
            ASSERT_EQ(dvk_nbest_addValueNoIds(list, 0, slot, "value", units.data(), units.data()), 0);
        }
        result(list);
        EXPECT_EQ(driver.lastResult, 0);
        EXPECT_EQ(dvk_vcm_getGateCmd(vcms), r.gateCmd);
        const Log log = take();
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.back(), r.last);
        // The command never became the saved state.
        ASSERT_NE(vcms->savedSession, nullptr);
        ASSERT_NE(vcms->savedSession->stack, nullptr);
        EXPECT_STREQ(vcms->savedSession->stack->vtable->name, "vcm_root");
        EXPECT_EQ(vcms->savedSession->stack->next, nullptr);
        dvk_vcm_endSession(&vcms);
    }
    useEmptyPhonebook();
}

// Under a command that needs more from the user, the command is alone below
// the state it pushes: the root is gone from the stack.
TEST_F(RootTest, TheCommandIsAloneBelowWhatItPushes)
{
    for (int32_t gateCmd : {17, 19, 20, 22, 23, 24}) {
        SCOPED_TRACE(gateCmd);
        configure({{{200}, {}, 400, -1, 68, 24}, {{201}, {}, 401, -1, 68, gateCmd}});
        start();
        take();
        result(said(1));
        ASSERT_NE(dvk_vcm_current(vcms), nullptr);
        ASSERT_NE(dvk_vcm_current(vcms)->next, nullptr);
        EXPECT_EQ(dvk_vcm_current(vcms)->next->next, nullptr);
        EXPECT_NE(std::string(dvk_vcm_current(vcms)->next->vtable->name), "vcm_root");
        dvk_vcm_endSession(&vcms);
    }
}

}  // namespace
