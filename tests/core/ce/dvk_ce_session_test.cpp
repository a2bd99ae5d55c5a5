// Sessions on the central engine: starts by mode, a start during the
// grammar build, a transaction from prompts through listening to the
// result, UI events and abort.
#include "tests/core/ce/ce_fixture.h"

#include "core/constraints/dvk_constraints.h"
#include "core/prompt/dvk_prompt.h"
#include "core/lang/dvk_lang.h"
#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_settings.h"
#include "sdk/common/dvk_ui.h"
#include "tests/support/suite_records.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

int s_context = 7;

class CeSession : public CeTest {
protected:
    // A session of command recognition on a created engine.
    void startSession()
    {
        create();
        startCmdRecog(&s_context);
        ASSERT_TRUE(waitFor([] { return sessionRuns(); }));
        settle();
    }
    // Puts the scripted module on top of the running session.
    void push(ScriptedModule* spec, const char* name)
    {
        runOnVr([&] {
            dvk_vcm_Session* vcms = dvk_ce_getState()->vcms;
            dvk_vcm_Module* module = newScriptedModule(vcms, spec, name, -1, false);
            ASSERT_NE(module, nullptr);
            ASSERT_EQ(dvk_vcm_push(vcms, module), 0);
        });
    }
    static bool called(const std::string& call)
    {
        bool found = false;
        runOnVr([&] {
            for (const std::string& c : scriptedCalls())
                found = found || c == call;
        });
        return found;
    }
};

TEST_F(CeSession, StartModesWithoutADialogStartPointEndAtOnceWithCodeOne)
{
    create();
    using Start = int (*)(dvk_app_NotifyExit, void*);
    for (Start start : {dvk_app_startVoiceModeMenu, dvk_app_startVoiceModeEnrollment, dvk_app_startVoiceModeTutorial,
                        dvk_app_startVoiceModeReset}) {
        ceAnswers().lines.clear();
        ASSERT_EQ(start(onExit, &s_context), 0);
        ASSERT_TRUE(answered(1));
        EXPECT_EQ(answers(), (std::vector<std::string>{"exit 1 ctx"}));
        EXPECT_FALSE(sessionRuns());
    }
}

TEST_F(CeSession, AnAdaptationStartDuringTheBuildStopsItAndTheDeferredBuildWaitsForItsCall)
{
    dvk_msg_Message* createMessage = dvk_ce_newCreateMsg(onCreate, nullptr);
    dvk_app_Notifications table{};
    table.notifyExit = onExit;
    dvk_msg_Message* startMessage = dvk_ce_newStartMsg(&table, &s_context, DVK_CE_MODE_ADAPTATION_MENU);
    createMessage->sender = dvk_msg_getMyAddr();
    startMessage->sender = dvk_msg_getMyAddr();
    runOnVr([&] {
        dvk_msg_receive(createMessage);
        EXPECT_EQ(dvk_ce_updateContactsComplete(), 0);
        dvk_msg_receive(startMessage);
        EXPECT_EQ(dvk_ce_updateContactsComplete(), 1) << "the build no longer counts as running";
    });
    ASSERT_TRUE(waitFor([] { return sessionRuns(); }));
    settle();
    EXPECT_EQ(answers(), (std::vector<std::string>{"create 6"})) << "the stopped build answers nothing";
    EXPECT_TRUE(called("newAdaptation"));
    runOnVr([] {
        EXPECT_EQ(dvk_ce_getState()->rebuildDeferred, 1);
        EXPECT_EQ(dvk_ce_startUpdateContacts(), 0);
        EXPECT_EQ(dvk_ce_updateContactsComplete(), 0);
    });
    ASSERT_TRUE(answered(2));
    EXPECT_EQ(answers(), (std::vector<std::string>{"create 6", "create 0"}));
    runOnVr([] {
        EXPECT_EQ(dvk_ce_contactsUpdatedSuccessfully(), 1);
        EXPECT_EQ(dvk_ce_getState()->rebuildDeferred, 0);
    });
}

TEST_F(CeSession, AListeningModuleRecordsTheMicrophoneAndItsResultReachesTheModule)
{
    captureFrom(std::vector<int16_t>(8000, 100));
    startSession();
    ScriptedModule listen;
    listen.hasConstraints = true;
    listen.constraints = {&yesno_constraint};
    push(&listen, "vcm_listen");
    const size_t before = fakeBrevit().calls.size();
    ASSERT_NE(dvk_ui_sendEvent(DVK_UI_EVENT_SKIP, 0), 1);
    ASSERT_TRUE(waitFor([] { return called("vcm_listen.handleResult(-1)"); }))
        << ::testing::PrintToString(scriptedCalls());
    const std::vector<std::string> calls = fakeBrevitCalls(before, {"StartRecognizing", "StopRecognizing"});
    ASSERT_FALSE(calls.empty());
}

TEST_F(CeSession, AModuleWithoutConstraintsHandsItsContinuationToTheApplicationAndTheSessionEnds)
{
    startSession();
    ScriptedModule last;
    last.vtable.GetContinuation = [](dvk_vcm_Session* vcms, dvk_msg_Message** message, dvk_msg_Address* recipient,
                                     dvk_msg_Address defaultRecipient) {
        *recipient = defaultRecipient;
        *message = dvk_app_newNotifyExitRspMsg(vcms->cmdList.notifyExit, DVK_APP_SUCCESS, vcms->userContext);
        return *message == nullptr ? 1 : 0;
    };
    last.etable = {{DVK_UI_EVENT_NEXT, [](dvk_vcm_Session*, dvk_ui_Event, int32_t, dvk_msg_Message**) { return 0; }}};
    push(&last, "vcm_last");
    ceAnswers().lines.clear();
    ASSERT_EQ(dvk_ui_sendEvent(DVK_UI_EVENT_NEXT, 0), 0);
    ASSERT_TRUE(answered(1));
    EXPECT_EQ(answers(), (std::vector<std::string>{"exit 0 ctx"}));
    EXPECT_FALSE(sessionRuns());
}

TEST_F(CeSession, AnEventWithoutAHandlerIsDropped)
{
    startSession();
    ceAnswers().lines.clear();
    ASSERT_EQ(dvk_ui_sendEvent(DVK_UI_EVENT_NEXT, 0), 0);
    settle();
    EXPECT_TRUE(sessionRuns());
    EXPECT_TRUE(answers().empty());
    EXPECT_EQ(dvk_ce_getPendingEventCount(), 0);
}

TEST_F(CeSession, AMenuReadoutPlaysOnlyForTheLastOfEventsPostedTogetherAndOnlyInPromptModesTwoAndThree)
{
    startSession();
    ScriptedModule menu;
    menu.vtable.GetMenuReadoutPrompt = [](dvk_vcm_Session*, dvk_prompt_List*, dvk_prompt_Table*, int32_t index) {
        scriptedCalls().push_back("readout(" + std::to_string(index) + ")");
        return 0;
    };
    push(&menu, "vcm_menu");
    const struct {
        int32_t promptMode;
        std::vector<std::string> readouts;
    } cases[] = {{3, {"readout(2)"}}, {2, {"readout(2)"}}, {1, {}}, {0, {}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.promptMode);
        runOnVr([&] {
            scriptedCalls().clear();
            dvk_settings_setPromptMode(c.promptMode);
            // Both are queued before the first is handled.
            ASSERT_EQ(dvk_ui_sendEvent(DVK_UI_EVENT_SET_FOCUS, 1), 0);
            ASSERT_EQ(dvk_ui_sendEvent(DVK_UI_EVENT_SET_FOCUS, 2), 0);
        });
        settle();
        runOnVr([&] {
            EXPECT_EQ(scriptedCalls(), c.readouts);
            EXPECT_EQ(dvk_ce_getState()->readoutIndex, c.readouts.empty() ? dvk_ce_getState()->readoutIndex : 2);
        });
        EXPECT_EQ(dvk_ce_getPendingEventCount(), 0);
    }
}

TEST_F(CeSession, ASkipDuringThePromptsOfAListeningModuleStartsListeningAtOnce)
{
    captureFrom(std::vector<int16_t>(8000, 100));
    startSession();
    ScriptedModule listen;
    listen.hasConstraints = true;
    listen.constraints = {&yesno_constraint};
    listen.vtable.GetPrompt = [](dvk_vcm_Session*, dvk_prompt_List* prompts, dvk_prompt_Table*) {
        for (int i = 0; i < 20; ++i)
            dvk_prompt_addEarcon(prompts, 0);
        return 0;
    };
    push(&listen, "vcm_listen");
    // Each skip is handled in one step on the suite thread: the first starts
    // the transaction's prompts, the second cuts them short.
    auto skip = [] {
        dvk_msg_Message* message = dvk_ce_newHandleEventMsg(DVK_UI_EVENT_SKIP, 0);
        ASSERT_NE(message, nullptr);
        dvk_msg_receive(message);
    };
    runOnVr([&] {
        skip();
        dvk_ce_State* state = dvk_ce_getState();
        EXPECT_EQ(state->promptStage, 1);
        EXPECT_NE(state->prompts, nullptr);
        EXPECT_EQ(state->recording, 0);
        skip();
        EXPECT_EQ(state->promptStage, 0);
        EXPECT_EQ(state->prompts, nullptr);
        EXPECT_EQ(state->recording, 1);
        EXPECT_EQ(state->recognising, 1);
    });
    EXPECT_TRUE(waitFor([] { return called("vcm_listen.handleResult(-1)"); }));
}

TEST_F(CeSession, AnEventWithoutEngineOrSessionStillLowersThePendingCount)
{
    create();
    ASSERT_EQ(dvk_ui_sendEvent(DVK_UI_EVENT_NEXT, 0), 0);
    ASSERT_EQ(dvk_ui_sendEvent(DVK_UI_EVENT_EXIT, 0), 0);
    settle();
    EXPECT_EQ(dvk_ce_getPendingEventCount(), 0);
}

TEST_F(CeSession, AbortEndsTheSessionWithCodeOneAndANewStartWorks)
{
    startSession();
    ceAnswers().lines.clear();
    ASSERT_EQ(dvk_app_abort(onAbort, nullptr), 0);
    ASSERT_TRUE(answered(2));
    EXPECT_EQ(answers(), (std::vector<std::string>{"exit 1 ctx", "abort 0"}));
    EXPECT_FALSE(sessionRuns());
    startCmdRecog(&s_context);
    EXPECT_TRUE(waitFor([] { return sessionRuns(); }));
}

TEST_F(CeSession, ExitOnTheUpdateScreenBeforeTheBuildEndsPostsNothingWhenItEnds)
{
    create();
    ceAnswers().lines.clear();
    runOnVr([] {
        dvk_ce_setWaitingForUpdateContactsComplete(1);
        dvk_ce_getState()->rebuildDeferred = 1;
        EXPECT_EQ(dvk_ce_startUpdateContacts(), 0);
    });
    ASSERT_TRUE(answered(1));
    EXPECT_EQ(answers(), (std::vector<std::string>{"create 0"}));
    settle();
    EXPECT_EQ(dvk_ce_getPendingEventCount(), 0) << "no event posted for a screen that is gone";
    runOnVr([] { EXPECT_EQ(dvk_ce_getState()->waitingForContactsUpdate, 0); });
}

// The stored adapted models, or "(none)".
std::string adaptedModels()
{
    char* name = dvk_lang_getRecognitionAdaptedModelFileName(5);
    const std::string path = suiteRecordPath(name);
    dvk_mem_dealloc(&name);
    if (!std::filesystem::exists(path))
        return "(none)";
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

class CeAdaptation : public CeSession {
protected:
    // One adaptation utterance recorded from the microphone, to its end.
    void adaptOnce()
    {
        size_t before = 0;
        runOnVr([&] {
            before = fakeBrevit().calls.size();
            dvk_ce_startAdaptation();
            dvk_msg_Message* message = dvk_ce_getStartAdaptationMsg(dvk_ucs2_cvtFromLatin1("call home"));
            ASSERT_NE(message, nullptr);
            dvk_msg_send(message, dvk_msg_getDvkAddr());
        });
        ASSERT_TRUE(waitFor([&] {
            bool over = false;
            runOnVr([&] {
                over = !fakeBrevitCalls(before, {"StopRecognizing"}).empty() && !dvk_ce_getState()->adapting;
            });
            return over;
        }));
        settle();
    }
};

TEST_F(CeAdaptation, AnEndWithSaveStoresTheModelsAndAnAbandonedOneLeavesThemAsTheyWere)
{
    captureFrom(std::vector<int16_t>(8000, 100));
    create();
    adaptOnce();
    runOnVr([] { EXPECT_EQ(dvk_ce_endAdaptationSession(1), 0); });
    const std::string saved = adaptedModels();
    ASSERT_NE(saved, "(none)");
    adaptOnce();
    runOnVr([] {
        EXPECT_EQ(dvk_ce_getState()->adaptationMode, 1);
        EXPECT_EQ(dvk_ce_endAdaptationSession(0), 0);
        EXPECT_EQ(dvk_ce_getState()->adaptationMode, 0);
    });
    EXPECT_EQ(adaptedModels(), saved) << "backing out of a new adaptation keeps the old one";
    runOnVr([] { dvk_ce_resetAdaptation(); });
    EXPECT_EQ(adaptedModels(), "(none)");
}

}  // namespace
