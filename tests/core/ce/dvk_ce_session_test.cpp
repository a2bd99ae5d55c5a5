// Sessions on the central engine: starts by mode, a start during the
// grammar build, a transaction from prompts through listening to the
// result, UI events and abort.
#include "tests/core/ce/ce_fixture.h"

#include "core/ce/dvk_ce_internal.h"
#include "core/constraints/dvk_constraints.h"
#include "core/prompt/dvk_prompt.h"
#include "core/lang/dvk_lang.h"
#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_settings.h"
#include "sdk/common/dvk_ui.h"
#include "tests/support/amr_fixture.h"
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
        EXPECT_EQ(state->listen.recording, 0);
        skip();
        EXPECT_EQ(state->promptStage, 0);
        EXPECT_EQ(state->prompts, nullptr);
        EXPECT_EQ(state->listen.recording, 1);
        EXPECT_EQ(state->listen.recognising, 1);
    });
    EXPECT_TRUE(waitFor([] { return called("vcm_listen.handleResult(-1)"); }));
}

// Handed to the engine on "VR" in one step, as its handler would get it.
void receiveEvent(int32_t event, int32_t index)
{
    dvk_msg_Message* message = dvk_ce_newHandleEventMsg(static_cast<dvk_ui_Event>(event), index);
    ASSERT_NE(message, nullptr);
    dvk_msg_receive(message);
}

int recordEvent(dvk_vcm_Session*, dvk_ui_Event event, int32_t index, dvk_msg_Message**)
{
    scriptedCalls().push_back("event(" + std::to_string(event) + ", " + std::to_string(index) + ")");
    return 0;
}

int longPrompt(dvk_vcm_Session*, dvk_prompt_List* prompts, dvk_prompt_Table*)
{
    scriptedCalls().push_back("prompt");
    for (int i = 0; i < 20; ++i)
        dvk_prompt_addEarcon(prompts, 0);
    return 0;
}

TEST_F(CeSession, AnEventHandledWhileListeningStopsAudioAndRecognitionByItsRule)
{
    captureFrom(std::vector<int16_t>(80000, 100));
    startSession();
    ScriptedModule listen;
    listen.hasConstraints = true;
    listen.constraints = {&yesno_constraint};
    listen.vtable.GetPrompt = longPrompt;
    // A timer event without a running module timer is stale: the module
    // never sees it.
    const struct {
        int32_t event;
        int32_t recording, recognising;
        bool transaction, seen;
    } rows[] = {
        {DVK_UI_EVENT_VCM_TIMER, 1, 1, false, false}, {35, 1, 1, false, true}, {36, 1, 1, false, true},
        {37, 1, 1, false, true}, {DVK_UI_EVENT_SET_FOCUS, 1, 1, false, true}, {39, 0, 1, true, true},
        {DVK_UI_EVENT_NEXT, 0, 0, true, true}, {DVK_UI_EVENT_YES, 0, 0, true, true},
    };
    for (const auto& row : rows)
        listen.etable.push_back({static_cast<dvk_ui_Event>(row.event), recordEvent});
    push(&listen, "vcm_listen");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.event);
        runOnVr([&] {
            dvk_ce_State* state = dvk_ce_getState();
            // Into listening: the first skip starts the prompts, the second
            // cuts them short.
            receiveEvent(DVK_UI_EVENT_SKIP, 0);
            receiveEvent(DVK_UI_EVENT_SKIP, 0);
            ASSERT_EQ(state->listen.recording, 1);
            ASSERT_EQ(state->listen.recognising, 1);
            scriptedCalls().clear();
            receiveEvent(row.event, 6);
            EXPECT_EQ(state->listen.recording, row.recording);
            EXPECT_EQ(state->listen.recognising, row.recognising);
            std::vector<std::string> expected;
            if (row.seen)
                expected.push_back("event(" + std::to_string(row.event) + ", 6)");
            if (row.transaction)
                expected.push_back("prompt");
            EXPECT_EQ(scriptedCalls(), expected);
            EXPECT_EQ(state->promptStage, row.transaction ? 1 : 0);
            EXPECT_EQ(dvk_ce_stopAudioAndRecog(), 0);
        });
        settle();
    }
}

TEST_F(CeSession, ASkipInAModuleThatDoesNotListenIsARestart)
{
    startSession();
    ScriptedModule screen;
    screen.etable = {{DVK_UI_EVENT_RESTART, recordEvent}};
    push(&screen, "vcm_screen");
    runOnVr([] {
        scriptedCalls().clear();
        receiveEvent(DVK_UI_EVENT_SKIP, 4);
        EXPECT_EQ(scriptedCalls(), (std::vector<std::string>{"event(3, 4)"}));
    });
}

TEST_F(CeSession, NineteenSelectsTheItemReadOutThenGoesOnAsASelectOfItsOwnIndex)
{
    startSession();
    ScriptedModule menu;
    menu.etable = {{DVK_UI_EVENT_SELECT, recordEvent}};
    push(&menu, "vcm_menu");
    runOnVr([] {
        dvk_ce_getState()->readoutIndex = 4;
        scriptedCalls().clear();
        receiveEvent(19, 7);
        EXPECT_EQ(scriptedCalls(), (std::vector<std::string>{"event(18, 4)", "event(18, 7)"}));
    });
}

ScriptedModule s_items;

TEST_F(CeSession, TwentyOneReadsOutTheModuleTheReadItemLeadsToAndStepsBackFromIt)
{
    startSession();
    s_items = ScriptedModule{};
    s_items.vtable.GetMenuReadoutPrompt = [](dvk_vcm_Session*, dvk_prompt_List*, dvk_prompt_Table*, int32_t index) {
        scriptedCalls().push_back("items.readout(" + std::to_string(index) + ")");
        return 0;
    };
    ScriptedModule menu;
    menu.etable = {{DVK_UI_EVENT_SELECT, [](dvk_vcm_Session* vcms, dvk_ui_Event event, int32_t index,
                                            dvk_msg_Message** message) {
                        recordEvent(vcms, event, index, message);
                        return dvk_vcm_push(vcms, newScriptedModule(vcms, &s_items, "vcm_items", -1, false));
                    }}};
    push(&menu, "vcm_menu");
    runOnVr([] {
        dvk_settings_setPromptMode(3);
        dvk_ce_getState()->readoutIndex = 4;
        scriptedCalls().clear();
        receiveEvent(21, 3);
        EXPECT_EQ(scriptedCalls(), (std::vector<std::string>{"event(18, 4)", "items.readout(3)"}));
        EXPECT_STREQ(dvk_vcm_getCurrentName(dvk_ce_getState()->vcms), "vcm_menu");
        EXPECT_NE(dvk_ce_getState()->prompts, nullptr) << "the readout plays";
    });
}

std::vector<uint8_t> s_amr;
dvk_prompt_Stream* s_stream = nullptr;

TEST_F(CeSession, AnEventStoppingAListThatPlaysAStreamEndsTheStreamWhileItIsQueued)
{
    s_amr = amrJoined(amrToneFrames(100, MR122));
    startSession();
    ScriptedModule listen;
    listen.hasConstraints = true;
    listen.constraints = {&yesno_constraint};
    // A stream whose data keeps coming: it is never finalised here.
    listen.vtable.GetPrompt = [](dvk_vcm_Session*, dvk_prompt_List* prompts, dvk_prompt_Table*) {
        s_stream = dvk_prompt_addStreamingVocData(prompts, DVK_OEM_AUDIO_VOCTYPE_AMR, 0);
        dvk_prompt_updateStreamingVocData(prompts, s_stream, s_amr.data(), static_cast<int32_t>(s_amr.size()));
        return 0;
    };
    listen.etable = {{DVK_UI_EVENT_NEXT, recordEvent}};
    push(&listen, "vcm_listen");
    runOnVr([] { receiveEvent(DVK_UI_EVENT_SKIP, 0); });
    // The list's play message has run: the stream is queued in the audio.
    runOnVr([] {
        dvk_ce_State* state = dvk_ce_getState();
        ASSERT_EQ(state->promptStage, 1);
        dvk_prompt_List* streaming = state->prompts;
        ASSERT_NE(streaming, nullptr);
        receiveEvent(DVK_UI_EVENT_NEXT, 0);
        EXPECT_NE(state->prompts, streaming);
        EXPECT_EQ(dvk_ce_stopAudioAndRecog(), 0);
    });
    settle();
    EXPECT_TRUE(sessionRuns());
}

TEST_F(CeSession, StoppingTheAudioAnywhereAroundTheEndOfAListLeaksNothing)
{
    captureFrom(std::vector<int16_t>(80000, 100));
    startSession();
    ScriptedModule listen;
    listen.hasConstraints = true;
    listen.constraints = {&yesno_constraint};
    listen.vtable.GetPrompt = [](dvk_vcm_Session*, dvk_prompt_List* prompts, dvk_prompt_Table*) {
        dvk_prompt_addEarcon(prompts, 0);
        return 0;
    };
    push(&listen, "vcm_listen");
    const long before = dvk_mem_liveBlocks();
    // The earcon plays for 160 ms: the stops fall before, at and after its
    // end, while its done message is on its way.
    for (int ms = 0; ms <= 400; ms += 20) {
        SCOPED_TRACE(ms);
        runOnVr([] { receiveEvent(DVK_UI_EVENT_SKIP, 0); });
        waitFor([] { return false; }, std::chrono::milliseconds(ms));
        runOnVr([] { EXPECT_EQ(dvk_ce_stopAudioAndRecog(), 0); });
        settle();
        runOnVr([] {
            EXPECT_EQ(dvk_ce_getState()->prompts, nullptr);
            EXPECT_EQ(dvk_ce_getState()->listen.recording, 0);
        });
        EXPECT_EQ(dvk_mem_liveBlocks(), before);
    }
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

TEST_F(CeAdaptation, AnUtteranceEndsWithNextOrWithCancelWhenTheRecogniserCannotUseIt)
{
    captureFrom(std::vector<int16_t>(8000, 100));
    startSession();
    ScriptedModule adapt;
    adapt.etable = {{DVK_UI_EVENT_NEXT, recordEvent}, {DVK_UI_EVENT_CANCEL, recordEvent}};
    push(&adapt, "vcm_adapt");
    const struct {
        EBrevit stop;
        std::string event;
    } rows[] = {{EBrevit_OK, "event(5, 0)"}, {EBrevit_UtteranceNotUsable, "event(10, 0)"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.stop);
        runOnVr([&] {
            scriptedCalls().clear();
            fakeBrevit().results["StopRecognizing"] = {row.stop};
        });
        adaptOnce();
        EXPECT_TRUE(waitFor([&] { return called(row.event); })) << ::testing::PrintToString(scriptedCalls());
        runOnVr([] { EXPECT_EQ(scriptedCalls().size(), 1u); });
    }
}

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
