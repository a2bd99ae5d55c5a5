#include "tests/core/vcm/vcm_fixture.h"

#include "core/prompt/dvk_prompt.h"
#include "oem/dvk_oem_settings.h"
#include "sdk/common/dvk_settings.h"
#include "tests/core/prompt/recorder/prompt_list_recorder.h"
#include "tests/sdk/common/fake_oem.h"

#include <vector>

namespace {

using Calls = std::vector<std::string>;

std::vector<int> s_exits;
void recordExit(dvk_app_CompletionCode code, void*)
{
    s_exits.push_back(code);
}

const dvk_ucs2_Char* u16(const char16_t* s)
{
    return reinterpret_cast<const dvk_ucs2_Char*>(s);
}

class VcmPromptTest : public VcmTest {
protected:
    void SetUp() override
    {
        resetFakeOemSettings();
        VcmTest::SetUp();
        resetPromptListRecorder();
        s_exits.clear();
        notifications.notifyExit = recordExit;
        prompts = dvk_prompt_createPromptList(nullptr, 100, 0);
        ASSERT_NE(prompts, nullptr);
    }
    void TearDown() override
    {
        dvk_prompt_destroyPromptList(&prompts);
        VcmTest::TearDown();
    }
    static void setMode(int32_t mode, bool shortPrompts)
    {
        dvk_settings_setPromptMode(mode);
        oemSettingsSetIsFeatureEnabled(static_cast<dvk_oem_settings_FeatureName>(67), shortPrompts ? 1 : 0);
    }

    dvk_prompt_List* prompts = nullptr;
};

TEST_F(VcmPromptTest, EachModeSaysTheLevelsItShould)
{
    const struct {
        int32_t mode;
        bool shortPrompts;
        std::vector<int> levels;  // the levels said
    } cases[] = {
        {0, false, {3}},       {1, false, {2, 3}}, {2, false, {0, 1, 2, 3}}, {3, false, {0, 1, 2, 3}},
        {0, true, {3}},        {1, true, {2, 3}},  {2, true, {2, 3}},        {3, true, {2, 3}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " short " << c.shortPrompts);
        setMode(c.mode, c.shortPrompts);
        resetPromptListRecorder();
        std::vector<int> said;
        for (int32_t level = 0; level <= 3; ++level) {
            const size_t before = recordedPromptCalls().size();
            dvk_vcm_prompt_addPrompt(prompts, promptTable(), 5, level);
            if (recordedPromptCalls().size() > before)
                said.push_back(level);
        }
        EXPECT_EQ(said, c.levels);
    }
}

TEST_F(VcmPromptTest, EveryUtilityForwardsToItsListCall)
{
    setMode(2, false);
    oemSettingsSetIsFeatureEnabled(static_cast<dvk_oem_settings_FeatureName>(59), 1);
    const int32_t words[] = {4, 5};
    dvk_vcm_prompt_addText(prompts, u16(u"hello"), 0);
    dvk_vcm_prompt_addLocation(prompts, promptTable(), table, u16(u"Home"), 1);
    dvk_vcm_prompt_addDigitsText(prompts, u16(u"12"), 2);
    dvk_vcm_prompt_addDigits(prompts, promptTable(), u16(u"555"), 3);
    dvk_vcm_prompt_addWords(prompts, words, 2, 0);
    dvk_vcm_prompt_addStringId(prompts, table, 19, 1);
    dvk_vcm_prompt_addPrompt(prompts, promptTable(), 403, 2);
    dvk_vcm_prompt_addMenuIndex(prompts, 7, 3);
    dvk_vcm_prompt_addDigitsFromLong(prompts, 7, 0);
    dvk_vcm_prompt_addDigitsFromLong(prompts, 42, 0);
    dvk_vcm_prompt_addDigitsFromLong(prompts, 0, 0);
    dvk_vcm_prompt_addEarcon(prompts, 6);
    EXPECT_EQ(recordedPromptCalls(),
              (Calls{"addText hello", "addLocation Home", "addDigitsText 12", "addDigits 555", "addWords 4 5",
                     "addStringId 19", "addPrompt 403", "addMenuIndex 7", "addText 7", "addText 42", "addText 0",
                     "addEarcon 6"}));
}

TEST_F(VcmPromptTest, MenuIndexNeedsItsFeatureAndEarconsAreNeverSaidInModeOne)
{
    setMode(3, false);
    dvk_vcm_prompt_addMenuIndex(prompts, 7, 3);
    EXPECT_TRUE(recordedPromptCalls().empty());
    for (int32_t mode : {0, 1, 2, 3}) {
        setMode(mode, false);
        dvk_vcm_prompt_addEarcon(prompts, 0);
    }
    EXPECT_EQ(recordedPromptCalls(), (Calls{"addEarcon 0", "addEarcon 0", "addEarcon 0"}));
}

TEST_F(VcmPromptTest, AnAudioTipPlaysTwiceForItsGateCommand)
{
    setMode(1, false);
    vcms = newSession(0);
    ASSERT_NE(vcms, nullptr);
    dvk_vcm_setGateCmd(vcms, 5);
    const Calls tip{"addPrompt 403", "addPrompt 309", "addText String 19 Ann"};
    EXPECT_EQ(dvk_vcm_addAudioTip(vcms, prompts, 19, u16(u"Ann")), 0);
    EXPECT_EQ(recordedPromptCalls(), tip);
    EXPECT_EQ(dvk_settings_getAudioTipPlayCount(5), 1);
    resetPromptListRecorder();
    EXPECT_EQ(dvk_vcm_addAudioTip(vcms, prompts, 19, u16(u"Ann")), 0);
    EXPECT_EQ(recordedPromptCalls(), tip);
    resetPromptListRecorder();
    EXPECT_EQ(dvk_vcm_addAudioTip(vcms, prompts, 19, u16(u"Ann")), 0);
    EXPECT_TRUE(recordedPromptCalls().empty());
    // Another gate has its own count; in mode 0 the level-2 tip is not said.
    dvk_vcm_setGateCmd(vcms, 6);
    setMode(0, false);
    EXPECT_EQ(dvk_vcm_addAudioTip(vcms, prompts, 19, u16(u"Ann")), 0);
    EXPECT_TRUE(recordedPromptCalls().empty());
    EXPECT_EQ(dvk_settings_getAudioTipPlayCount(6), 1);
}

TEST_F(VcmPromptTest, AnAudioTipReportsAMissingStringAndAFailedAdd)
{
    setMode(2, false);
    vcms = newSession(0);
    ASSERT_NE(vcms, nullptr);
    dvk_vcm_setGateCmd(vcms, 5);
    EXPECT_EQ(dvk_vcm_addAudioTip(vcms, prompts, 4096, u16(u"Ann")), 1);  // range 1 not loaded
    EXPECT_EQ(recordedPromptCalls(), (Calls{"addPrompt 403", "addPrompt 309"}));
    resetPromptListRecorder();
    dvk_vcm_setGateCmd(vcms, 7);
    failNextPromptAdds(1);
    EXPECT_EQ(dvk_vcm_addAudioTip(vcms, prompts, 19, u16(u"Ann")), 1);
    EXPECT_EQ(recordedPromptCalls(), (Calls{"addPrompt 309", "addText String 19 Ann"}));
    dvk_vcm_setGateCmd(vcms, 8);
    dvk_prompt_List* other = dvk_prompt_createPromptList(nullptr, 100, 0);
    for (long n = 0; n < 2; ++n) {
        dvk_mem_failAfter(n);
        EXPECT_EQ(dvk_vcm_addAudioTip(vcms, other, 19, u16(u"Ann")), 1);
        dvk_mem_failAfter(-1);
        dvk_settings_setAudioTipPlayCount(8, 0);
    }
    dvk_prompt_destroyPromptList(&other);
}

TEST_F(VcmPromptTest, ATimeoutPlaysEarconFourAndEndsWithCodeTwo)
{
    setMode(1, false);  // the earcon is said in every mode
    vcms = newSession(0);
    ASSERT_NE(vcms, nullptr);
    ScriptedModule& spec = newSpec();
    spec.etable = {{DVK_UI_EVENT_TIMEOUT, dvk_vcm_defaultEventTimeoutExitHandler}};
    spec.hasConstraints = true;
    ASSERT_EQ(dvk_vcm_push(vcms, newScriptedModule(vcms, &spec, "L", -1, false)), 0);
    ASSERT_EQ(dvk_vcm_checkForEventHandler(vcms, DVK_UI_EVENT_TIMEOUT), 1);
    dvk_msg_Message* message = nullptr;
    ASSERT_EQ(dvk_vcm_handleEvent(vcms, DVK_UI_EVENT_TIMEOUT, 0, &message), 0);
    EXPECT_EQ(message, nullptr);
    EXPECT_STREQ(dvk_vcm_getCurrentName(vcms), "vcm_timeoutEarcon");
    EXPECT_EQ(dvk_vcm_current(vcms)->next, nullptr);
    EXPECT_EQ(dvk_vcm_getPrompt(vcms, prompts), 0);
    EXPECT_EQ(recordedPromptCalls(), (Calls{"addEarcon 4"}));
    int application = 0;
    dvk_msg_Address recipient = nullptr;
    ASSERT_EQ(dvk_vcm_getContinuation(vcms, &message, &recipient, &application), 0);
    EXPECT_EQ(recipient, &application);
    EXPECT_EQ(dvk_vcm_done(vcms), 1);
    ASSERT_NE(message, nullptr);
    dvk_msg_receive(message);
    EXPECT_EQ(s_exits, std::vector<int>{2});
}

TEST_F(VcmPromptTest, TheTimeoutEarconReportsAFailedAdd)
{
    vcms = newSession(0);
    ASSERT_NE(vcms, nullptr);
    dvk_msg_Message* message = nullptr;
    ASSERT_EQ(dvk_vcm_defaultEventTimeoutExitHandler(vcms, DVK_UI_EVENT_TIMEOUT, 0, &message), 0);
    failNextPromptAdds(1);
    EXPECT_EQ(dvk_vcm_getPrompt(vcms, prompts), 1);
}

TEST_F(VcmPromptTest, AnExitInTheTimeoutHandlerEndsWithCodeFive)
{
    vcms = newSession(0);
    ASSERT_NE(vcms, nullptr);
    dvk_msg_Message* message = nullptr;
    EXPECT_EQ(dvk_vcm_defaultEventTimeoutExitHandler(vcms, DVK_UI_EVENT_EXIT, 0, &message), 0);
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(dvk_vcm_done(vcms), 1);
    dvk_msg_receive(message);
    EXPECT_EQ(s_exits, std::vector<int>{5});
}

TEST_F(VcmPromptTest, OutOfMemoryInTheTimeoutHandlerAnswersOneWithAnEmptyStack)
{
    for (dvk_ui_Event event : {DVK_UI_EVENT_TIMEOUT, DVK_UI_EVENT_EXIT}) {
        vcms = newSession(0);
        ASSERT_NE(vcms, nullptr);
        dvk_msg_Message* message = nullptr;
        dvk_mem_failAfter(0);
        EXPECT_EQ(dvk_vcm_defaultEventTimeoutExitHandler(vcms, event, 0, &message), 1);
        dvk_mem_failAfter(-1);
        EXPECT_EQ(message, nullptr);
        EXPECT_EQ(dvk_vcm_done(vcms), 1);
        dvk_vcm_endSession(&vcms);
    }
}

TEST(VcmPromptDeath, OutOfRangeArgumentsAreProgrammingErrors)
{
    dvk_prompt_List list{};
    EXPECT_DEATH(dvk_vcm_prompt_addDigitsFromLong(&list, 100, 3), "digit < 100");
    EXPECT_DEATH(dvk_vcm_prompt_addDigitsFromLong(&list, -1, 3), "digit >= 0");
    EXPECT_DEATH(dvk_vcm_prompt_addEarcon(&list, 7), "earcon");
    EXPECT_DEATH(dvk_vcm_defaultEventTimeoutExitHandler(reinterpret_cast<dvk_vcm_Session*>(&list),
                                                        DVK_UI_EVENT_BACK, 0, nullptr),
                 "message");
}

} // namespace
