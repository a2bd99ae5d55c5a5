#include "tests/core/vcm/vcm_fixture.h"

#include "tests/core/vcm/driver/vcm_driver.h"
#include "tests/core/prompt/recorder/prompt_list_recorder.h"

#include <vector>

namespace {

std::vector<int> s_exits;
void recordExit(dvk_app_CompletionCode code, void*)
{
    s_exits.push_back(code);
}

int s_listening = 0;
int listen(dvk_vcm_Session*, dvk_constraints_Constraint*** constraints)
{
    static dvk_constraints_Constraint* none[] = {nullptr};
    s_listening++;
    *constraints = none;
    return 0;
}

dvk_nbest_List* phrase(int32_t stringNumber)
{
    dvk_nbest_List* list = dvk_nbest_create(38, "alwaysAvailable", 80);
    dvk_nbest_addEntry(list);
    std::string text = "String " + std::to_string(stringNumber);
    dvk_ucs2_Char* s = dvk_ucs2_cvtFromLatin1(text.c_str());
    dvk_nbest_addValueNoIds(list, 0, 2, "tag", s, s);
    dvk_ucs2_destroy(&s);
    return list;
}

// The root and every test module listen.
class VcmDriverTest : public VcmTest {
protected:
    void SetUp() override
    {
        VcmTest::SetUp();
        s_exits.clear();
        notifications.notifyExit = recordExit;
        vcms = newSession(0);
        ASSERT_NE(vcms, nullptr);
        driver.vcms = vcms;
        dvk_msg_Message* message = nullptr;
        ASSERT_EQ(dvk_vcm_handleEvent(vcms, DVK_UI_EVENT_RESTART, 0, &message), 0);
        // The recording root does not listen: give it the test's constraints.
        rootVtable = *dvk_vcm_current(vcms)->vtable;
        rootVtable.GetConstraints = listen;
        dvk_vcm_current(vcms)->vtable = &rootVtable;
        vcms->savedSession->stack->vtable = &rootVtable;
    }
    ScriptedModule& listeningSpec()
    {
        ScriptedModule& spec = newSpec();
        spec.hasConstraints = true;
        return spec;
    }

    dvk_vcm_Vtable rootVtable{};
    VcmDriver driver;
};

TEST_F(VcmDriverTest, BackFromASavedModuleReturnsToTheRoot)
{
    ASSERT_EQ(dvk_vcm_pushAndSave(vcms, newScriptedModule(vcms, &listeningSpec(), "L", 1, true)), 0);
    vcmDriverEvent(&driver, DVK_UI_EVENT_BACK, 0);
    EXPECT_STREQ(dvk_vcm_getCurrentName(vcms), "vcm_root");
    EXPECT_TRUE(s_exits.empty());
}

TEST_F(VcmDriverTest, RepeatInAModuleRefreshesRevertsAndPostsRepeat)
{
    ASSERT_EQ(dvk_vcm_pushAndSave(vcms, newScriptedModule(vcms, &listeningSpec(), "L", 1, true)), 0);
    *static_cast<int*>(dvk_vcm_currentContext(vcms)) = 9;
    dvk_vcm_current(vcms)->state = 4;
    vcmDriverResult(&driver, phrase(53));
    EXPECT_EQ(driver.postedEvents, std::vector<int32_t>{DVK_UI_EVENT_REPEAT});
    EXPECT_STREQ(dvk_vcm_getCurrentName(vcms), "L");
    EXPECT_EQ(scriptedContext(dvk_vcm_current(vcms)), 9);
    EXPECT_EQ(dvk_vcm_current(vcms)->state, 0);
}

int exitOnBack(dvk_vcm_Session* vcms, dvk_ui_Event, int32_t index, dvk_msg_Message** message)
{
    return dvk_vcm_defaultEventExitHandler(vcms, DVK_UI_EVENT_BACK, index, message);
}

TEST_F(VcmDriverTest, GoBackInTheRootExitsWithEightOnce)
{
    // A root whose table lists BACK as exit.
    static const dvk_vcm_Etable backExits[] = {{DVK_UI_EVENT_BACK, exitOnBack}, {DVK_UI_EVENT_NONE, nullptr}};
    dvk_vcm_current(vcms)->etable = backExits;
    vcms->savedSession->stack->etable = backExits;
    vcmDriverResult(&driver, phrase(2));
    EXPECT_EQ(driver.postedEvents, std::vector<int32_t>{DVK_UI_EVENT_BACK});
    EXPECT_EQ(s_exits, std::vector<int>{8});
    EXPECT_EQ(dvk_vcm_done(vcms), 1);
    ASSERT_EQ(dvk_vcm_push(vcms, newScriptedModule(vcms, &listeningSpec(), "L", -1, false)), 0);
    vcmDriverEvent(&driver, DVK_UI_EVENT_EXIT, 0);
    EXPECT_EQ(s_exits, (std::vector<int>{8, 0}));
}

TEST_F(VcmDriverTest, BackOverAnUnsavedModuleWithoutCopiesPopsToTheRoot)
{
    dvk_vcm_resetState(vcms);
    ASSERT_EQ(dvk_vcm_push(vcms, newScriptedModule(vcms, &listeningSpec(), "L", -1, false)), 0);
    vcmDriverEvent(&driver, DVK_UI_EVENT_BACK, 0);
    EXPECT_STREQ(dvk_vcm_getCurrentName(vcms), "vcm_root");
    EXPECT_EQ(dvk_vcm_current(vcms)->state, 0);
}

}  // namespace

namespace {

TEST_F(VcmDriverTest, ATimeoutPlaysItsEarconAndEndsTheSessionWithCodeTwo)
{
    ScriptedModule& spec = listeningSpec();
    spec.etable = {{DVK_UI_EVENT_TIMEOUT, dvk_vcm_defaultEventTimeoutExitHandler},
                   {DVK_UI_EVENT_EXIT, dvk_vcm_defaultEventTimeoutExitHandler}};
    ASSERT_EQ(dvk_vcm_push(vcms, newScriptedModule(vcms, &spec, "L", -1, false)), 0);
    dvk_msg_Message* message = nullptr;
    ASSERT_EQ(dvk_vcm_handleEvent(vcms, DVK_UI_EVENT_TIMEOUT, 0, &message), 0);
    // What the engine plays before it asks for the continuation.
    dvk_prompt_List* prompts = dvk_prompt_createPromptList(nullptr, 100, 0);
    resetPromptListRecorder();
    EXPECT_EQ(dvk_vcm_getPrompt(vcms, prompts), 0);
    EXPECT_EQ(recordedPromptCalls(), std::vector<std::string>{"addEarcon 4"});
    dvk_prompt_destroyPromptList(&prompts);
    vcmDriverRun(&driver);
    EXPECT_EQ(s_exits, std::vector<int>{2});
    EXPECT_EQ(dvk_vcm_done(vcms), 1);
}

TEST_F(VcmDriverTest, AnExitInTheTimeoutHandlerEndsWithCodeFive)
{
    ScriptedModule& spec = listeningSpec();
    spec.etable = {{DVK_UI_EVENT_EXIT, dvk_vcm_defaultEventTimeoutExitHandler}};
    ASSERT_EQ(dvk_vcm_push(vcms, newScriptedModule(vcms, &spec, "L", -1, false)), 0);
    vcmDriverEvent(&driver, DVK_UI_EVENT_EXIT, 0);
    EXPECT_EQ(s_exits, std::vector<int>{5});
    EXPECT_EQ(dvk_vcm_done(vcms), 1);
}

} // namespace
