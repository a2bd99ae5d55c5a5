#include "tests/core/vcm/vcm_fixture.h"

#include "oem/dvk_oem_settings.h"
#include "tests/support/assertion_pattern.h"

#include <vector>

namespace {

using Calls = std::vector<std::string>;

TEST_F(VcmTest, EachStartPointPushesItsModule)
{
    const struct {
        int32_t startPoint;
        const char* name;
        const char* call;
    } cases[] = {{0, "vcm_tutorial", "newTutorial(0)"}, {1, "vcm_settings", "newSettings"},
                 {2, "vcm_adaptation", "newAdaptation"}};
    for (const auto& c : cases) {
        scriptedCalls().clear();
        vcms = newSession(c.startPoint);
        ASSERT_NE(vcms, nullptr) << c.startPoint;
        EXPECT_STREQ(dvk_vcm_getCurrentName(vcms), c.name);
        EXPECT_EQ(scriptedCalls(), Calls{c.call});
        EXPECT_EQ(dvk_vcm_getStartPoint(vcms), c.startPoint);
        EXPECT_EQ(dvk_vcm_done(vcms), 0);
        dvk_vcm_endSession(&vcms);
        EXPECT_EQ(vcms, nullptr);
    }
}

TEST_F(VcmTest, AMissingFirstModuleOrMemoryGivesNoSessionAndLeavesNothing)
{
    scriptedFailNextConstructor();
    EXPECT_EQ(newSession(0), nullptr);
    for (long n = 0;; n++) {
        long live = dvk_mem_liveBlocks();
        dvk_mem_failAfter(n);
        vcms = newSession(0);
        dvk_mem_failAfter(-1);
        if (vcms != nullptr)
            break;
        EXPECT_EQ(dvk_mem_liveBlocks(), live) << n;
    }
}

TEST_F(VcmTest, PushPopAndModuleCount)
{
    vcms = newSession(0);
    ASSERT_NE(vcms, nullptr);
    EXPECT_EQ(dvk_vcm_push(vcms, nullptr), 1);
    ScriptedModule& spec = newSpec();
    ASSERT_EQ(dvk_vcm_push(vcms, newScriptedModule(vcms, &spec, "L", 5, true)), 0);
    EXPECT_EQ(vcms->moduleCount, 2);
    EXPECT_EQ(scriptedContext(dvk_vcm_current(vcms)), 5);
    EXPECT_STREQ(dvk_vcm_getCurrentName(dvk_vcm_pop(vcms) ? vcms : vcms), "vcm_tutorial");
    EXPECT_EQ(vcms->moduleCount, 1);
    EXPECT_EQ(dvk_vcm_pop(vcms), nullptr);
    EXPECT_EQ(dvk_vcm_done(vcms), 1);
}

TEST_F(VcmTest, ANewModuleHasAnEmptyDictList)
{
    vcms = newSession(0);
    ASSERT_NE(vcms, nullptr);
    dvk_vcm_Module* top = dvk_vcm_current(vcms);
    const char* name = nullptr;
    EXPECT_EQ(dvk_nbest_getConstraint(top->nbest, &name), -1);
    EXPECT_STREQ(name, "dict");
    EXPECT_EQ(dvk_nbest_getCount(top->nbest), 1);
    EXPECT_EQ(top->state, 0);
    EXPECT_EQ(top->context, nullptr);
}

TEST_F(VcmTest, ConstraintsEndWithTheAlwaysAvailableOne)
{
    vcms = newSession(0);
    ASSERT_NE(vcms, nullptr);
    dvk_constraints_Constraint c1{}, c2{};
    ScriptedModule& two = newSpec();
    ScriptedModule& none = newSpec();
    ScriptedModule& bare = newSpec();
    two.hasConstraints = true;
    two.constraints = {&c1, &c2};
    none.hasConstraints = true;
    const struct {
        ScriptedModule* spec;
        std::vector<dvk_constraints_Constraint*> expected;
    } cases[] = {{&two, {&c1, &c2, &alwaysAvailable_constraint, nullptr}},
                 {&none, {&alwaysAvailable_constraint, nullptr}}};
    for (const auto& c : cases) {
        ASSERT_EQ(dvk_vcm_push(vcms, newScriptedModule(vcms, c.spec, "M", -1, false)), 0);
        dvk_constraints_Constraint** all = nullptr;
        ASSERT_EQ(dvk_vcm_getConstraints(vcms, &all), 0);
        std::vector<dvk_constraints_Constraint*> got(all, all + c.expected.size());
        EXPECT_EQ(got, c.expected);
        dvk_mem_dealloc(&all);
    }
    ASSERT_EQ(dvk_vcm_push(vcms, newScriptedModule(vcms, &bare, "B", -1, false)), 0);
    dvk_constraints_Constraint** all = reinterpret_cast<dvk_constraints_Constraint**>(&c1);
    EXPECT_EQ(dvk_vcm_getConstraints(vcms, &all), 0);
    EXPECT_EQ(all, nullptr);
    // Memory short: 1, nothing handed out.
    dvk_vcm_pop(vcms);
    dvk_mem_failAfter(0);
    EXPECT_EQ(dvk_vcm_getConstraints(vcms, &all), 1);
    dvk_mem_failAfter(-1);
}

TEST_F(VcmTest, EventsWithDefaultsAreAlwaysHandled)
{
    vcms = newSession(0);
    ASSERT_NE(vcms, nullptr);
    for (int32_t event : {2, 3, 4, 10, 11, 14, 25, 26})
        EXPECT_EQ(dvk_vcm_checkForEventHandler(vcms, event), 1) << event;
    for (int32_t event : {1, 7, 17, 32})
        EXPECT_EQ(dvk_vcm_checkForEventHandler(vcms, event), 0) << event;
}

int s_handled = 0;
int countingHandler(dvk_vcm_Session*, dvk_ui_Event, int32_t, dvk_msg_Message**)
{
    s_handled++;
    return 0;
}

TEST_F(VcmTest, TutorialAndHelpReachTheTutorialEvenWhenListed)
{
    vcms = newSession(1);
    ASSERT_NE(vcms, nullptr);
    ScriptedModule& spec = newSpec();
    spec.etable = {{17, countingHandler}, {14, countingHandler}};
    for (int32_t event : {17, 14}) {
        ASSERT_EQ(dvk_vcm_push(vcms, newScriptedModule(vcms, &spec, "L", -1, false)), 0);
        EXPECT_EQ(dvk_vcm_checkForEventHandler(vcms, 17), 1);
        scriptedCalls().clear();
        dvk_msg_Message* message = nullptr;
        EXPECT_EQ(dvk_vcm_handleEvent(vcms, event, 0, &message), 0);
        EXPECT_EQ(message, nullptr);
        EXPECT_EQ(scriptedCalls(), Calls{"newTutorial(1)"});
        EXPECT_STREQ(dvk_vcm_getCurrentName(vcms), "vcm_tutorial");
        EXPECT_EQ(vcms->moduleCount, 1);
    }
    EXPECT_EQ(s_handled, 0);
}

TEST_F(VcmTest, RestartRepeatAndUnknownEvents)
{
    vcms = newSession(0);
    ASSERT_NE(vcms, nullptr);
    dvk_msg_Message* message = nullptr;
    EXPECT_EQ(dvk_vcm_handleEvent(vcms, DVK_UI_EVENT_RESTART, 0, &message), 0);
    EXPECT_STREQ(dvk_vcm_getCurrentName(vcms), "vcm_root");
    EXPECT_EQ(dvk_vcm_savedStateExists(vcms), 1);
    EXPECT_EQ(vcms->stateSaved, 1);

    dvk_vcm_current(vcms)->state = 4;
    EXPECT_EQ(dvk_vcm_handleEvent(vcms, DVK_UI_EVENT_REPEAT, 0, &message), 0);
    EXPECT_EQ(dvk_vcm_current(vcms)->state, 0);

    dvk_vcm_current(vcms)->state = 3;
    scriptedCalls().clear();
    EXPECT_EQ(dvk_vcm_handleEvent(vcms, 25, 0, &message), 0);
    EXPECT_EQ(dvk_vcm_current(vcms)->state, 3);
    EXPECT_TRUE(scriptedCalls().empty());
    EXPECT_EQ(message, nullptr);
}

std::vector<int> s_exitCodes;
void recordExit(dvk_app_CompletionCode code, void*)
{
    s_exitCodes.push_back(code);
}

TEST_F(VcmTest, ExitAfterAnAlwaysAvailableCommandReportsEightOnce)
{
    notifications.notifyExit = recordExit;
    s_exitCodes.clear();
    vcms = newSession(0);
    ASSERT_NE(vcms, nullptr);
    dvk_vcm_setAACExit(vcms, 1);
    for (int round = 0; round < 2; round++) {
        if (dvk_vcm_done(vcms)) {
            ASSERT_EQ(dvk_vcm_push(vcms, dvk_gen_vcm_newRoot(vcms, 0)), 0);
        }
        dvk_msg_Message* message = nullptr;
        EXPECT_EQ(dvk_vcm_handleEvent(vcms, DVK_UI_EVENT_EXIT, 0, &message), 0);
        ASSERT_NE(message, nullptr);
        EXPECT_EQ(dvk_vcm_done(vcms), 1);
        dvk_msg_receive(message);
    }
    EXPECT_EQ(s_exitCodes, (std::vector<int>{8, 0}));
}

TEST_F(VcmTest, BackWithoutACopyOverOneModuleLeadsToTheRoot)
{
    vcms = newSession(1);
    ASSERT_NE(vcms, nullptr);
    dvk_msg_Message* message = nullptr;
    EXPECT_EQ(dvk_vcm_handleEvent(vcms, DVK_UI_EVENT_BACK, 0, &message), 0);
    EXPECT_STREQ(dvk_vcm_getCurrentName(vcms), "vcm_root");
    EXPECT_EQ(vcms->moduleCount, 2);  // the root and its saved copy
    EXPECT_EQ(dvk_vcm_savedStateExists(vcms), 1);
}

TEST_F(VcmTest, BackOverTheOnlyCopyLeadsToTheRootNotAnEmptySession)
{
    vcms = newSession(1);
    ASSERT_NE(vcms, nullptr);
    dvk_vcm_clearStack(vcms);
    ScriptedModule& spec = newSpec();
    ASSERT_EQ(dvk_vcm_pushAndSave(vcms, newScriptedModule(vcms, &spec, "L", 1, true)), 0);
    dvk_msg_Message* message = nullptr;
    EXPECT_EQ(dvk_vcm_handleEvent(vcms, DVK_UI_EVENT_BACK, 0, &message), 0);
    ASSERT_EQ(dvk_vcm_done(vcms), 0);
    EXPECT_STREQ(dvk_vcm_getCurrentName(vcms), "vcm_root");
}

TEST_F(VcmTest, BackRevertsToTheSavedRootAndKeepsTheSessionAddress)
{
    vcms = newSession(0);
    ASSERT_NE(vcms, nullptr);
    dvk_msg_Message* message = nullptr;
    ASSERT_EQ(dvk_vcm_handleEvent(vcms, DVK_UI_EVENT_RESTART, 0, &message), 0);
    ScriptedModule& spec = newSpec();
    ASSERT_EQ(dvk_vcm_pushAndSave(vcms, newScriptedModule(vcms, &spec, "L", 7, true)), 0);
    dvk_vcm_Session* address = vcms;
    dvk_vcm_current(vcms)->state = 2;
    EXPECT_EQ(dvk_vcm_handleEvent(vcms, DVK_UI_EVENT_BACK, 0, &message), 0);
    EXPECT_EQ(vcms, address);
    EXPECT_STREQ(dvk_vcm_getCurrentName(vcms), "vcm_root");
    EXPECT_EQ(vcms->moduleCount, 2);  // the root and its saved copy
    EXPECT_EQ(vcms->stateSaved, 1);
}

TEST_F(VcmTest, AFailingGetConstraintsGivesOne)
{
    vcms = newSession(0);
    ASSERT_NE(vcms, nullptr);
    ScriptedModule& spec = newSpec();
    spec.hasConstraints = true;
    spec.failConstraints = 1;
    ASSERT_EQ(dvk_vcm_push(vcms, newScriptedModule(vcms, &spec, "F", -1, false)), 0);
    dvk_constraints_Constraint** all = nullptr;
    EXPECT_EQ(dvk_vcm_getConstraints(vcms, &all), 1);
    EXPECT_EQ(all, nullptr);
}

TEST_F(VcmTest, ASessionWithoutItsTablesOrWithAnUnknownStartPointStops)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(newSession(3), assertionPattern("startPoint >= 0 && startPoint <= 2", "dvk_vcm_session.cpp",
                                                 "dvk_vcm_newSession"));
    EXPECT_DEATH(dvk_vcm_newSession(&notifications, nullptr, nullptr, nullptr, promptTable(), imageTable(), nullptr,
                                    nullptr, nullptr, nullptr, 0, 0),
                 assertionPattern("stringTable != ((void *)0)", "dvk_vcm_session.cpp", "dvk_vcm_newSession"));
    EXPECT_DEATH(
        {
            oemSettingsSetVCMBase(1);
            newSession(0);
        },
        assertionPattern("dvk_settings_getVCMBase() == 0", "dvk_vcm_session.cpp", "dvk_vcm_newSession"));
}

TEST_F(VcmTest, OtherBasesHaveNoHelpTexts)
{
    int32_t title = 7, body = 7, screen = 7;
    EXPECT_EQ(dvk_vcm_getGateCmdHelpTextById(13, &title, &body, &screen), 0);
    EXPECT_EQ(screen, 90);
    oemSettingsSetVCMBase(1);
    title = body = screen = 7;
    EXPECT_NE(dvk_vcm_getGateCmdHelpTextById(13, &title, &body, &screen), 0);
    EXPECT_EQ(title + body + screen, 21);
    oemSettingsSetVCMBase(0);
}

TEST(VcmDeathTest, BrokenRulesStopTheProcess)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    dvk_vcm_Session session{};
    EXPECT_DEATH(dvk_vcm_pop(&session), assertionPattern("vcms->stack != ((void *)0)", "dvk_vcm_session.cpp", "dvk_vcm_pop"));
}

}  // namespace
