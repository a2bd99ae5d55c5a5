// A session on the central engine: start, transactions (prompts, listening,
// result), the audio input and feature steps, UI events, adaptation
// recording, and the stopping of audio and recognition.
#include "core/ce/dvk_ce_internal.h"

#include "core/ce/dvk_ce_loop.h"

#include "core/prompt/dvk_prompt.h"
#include "core/vcm/dvk_vcm.h"
#include "core/vre/dvk_vre.h"
#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_audio.h"
#include "sdk/common/dvk_mem.h"
#include "sdk/common/dvk_settings.h"
#include "sdk/common/dvk_ui.h"

namespace {

const int32_t kMaxRecordingMs = 10000;
const int32_t kBufferMs = 500;
const dvk_oem_audio_VocoderType kNoVocoder = static_cast<dvk_oem_audio_VocoderType>(9);

void oomHandlerEvent()
{
    dvk_ce_oomHandler();
}

// A prompt list at the user's synthesis speed and volume; NULL (reported
// as out of memory) when memory is short.
dvk_prompt_List* newPromptList()
{
    dvk_prompt_List* list =
        dvk_prompt_createPromptList(ce->vre, dvk_settings_getTTSSpeed(), dvk_settings_getTTSVolume());
    if (list == nullptr)
        dvk_ce_outOfMemory(ce->appAddress);
    return list;
}

bool moduleListens()
{
    return dvk_vcm_current(ce->vcms)->vtable->GetConstraints != nullptr;
}

// After a step of the dialog manager: a finished session hands its final
// message to the application and ends; else the next transaction may follow.
void afterDialogStep(dvk_msg_Message* message, bool nextTransaction)
{
    if (dvk_vcm_done(ce->vcms)) {
        dvk_ce_sendToApp(message);
        dvk_ce_endCurrentSession();
        return;
    }
    dvk_ce_sendToApp(message);
    if (nextTransaction)
        dvk_ce_startTransaction();
}

void promptDoneCallback(dvk_prompt_List* list)
{
    if (ce == nullptr || ce->vcms == nullptr)
        return;
    if (ce->prompts == list)
        ce->prompts = nullptr;
    ce->promptStage = 0;
    dvk_constraints_Constraint** constraints = nullptr;
    if (dvk_vcm_getConstraints(ce->vcms, &constraints) != 0) {
        dvk_ce_outOfMemory(ce->appAddress);
        return;
    }
    if (constraints == nullptr) {
        dvk_msg_Message* message = nullptr;
        dvk_msg_Address recipient = nullptr;
        if (dvk_vcm_getContinuation(ce->vcms, &message, &recipient, ce->appAddress) != 0) {
            dvk_msg_destroy(&message);
            dvk_ce_outOfMemory(ce->appAddress);
            return;
        }
        if (message == nullptr)
            return;
        dvk_ce_stopAllAudio();
        dvk_msg_send(message, recipient);
        if (recipient == ce->appAddress && !ce->adaptationMode)
            dvk_ce_endCurrentSession();
        return;
    }
    int32_t failed = dvk_audio_startRecording(static_cast<dvk_oem_audio_InputDevice>(0),
                                              static_cast<dvk_oem_audio_PCMType>(dvk_audio_getPCMRecordingType()),
                                              kNoVocoder, kMaxRecordingMs, kBufferMs, dvk_ce_recogInputEvtHandler);
    if (failed == 0)
        failed = dvk_vre_startRecog(ce->vre, nullptr, nullptr, constraints);
    dvk_mem_dealloc(&constraints);
    if (failed != 0) {
        dvk_ce_outOfMemory(ce->appAddress);
        return;
    }
    ce->listen.recognising = 1;
    ce->listen.recording = 1;
    dvk_ui_setAudioInputInfo(0, kMaxRecordingMs);
}

void readoutDoneCallback(dvk_prompt_List* list)
{
    if (ce != nullptr && ce->prompts == list)
        ce->prompts = nullptr;
}

void processFeatureEvtHandler();
void processAdaptFeatureEvtHandler();

int32_t feedAdaptation(dvk_vre_Recognizer* vre, const int16_t* samples, int32_t count)
{
    DVK_ASSERT(count > 0);
    return dvk_vre_processPCM(vre, samples, count);
}

// One feature step. true when recognition is over and its end must be
// taken; the step re-posts itself while features wait.
bool featureStep(dvk_msg_Event self)
{
    if (ce == nullptr || !ce->listen.recognising || ce->listen.recognitionFinished || ce->destroying)
        return false;
    int32_t memoryError = 0;
    if (dvk_ce_stepFeatures(ce->vre, &ce->listen, self, &memoryError))
        return true;
    if (memoryError != 0)
        dvk_ce_outOfMemory(ce->appAddress);
    return false;
}

void processFeatureEvtHandler()
{
    if (!featureStep(processFeatureEvtHandler))
        return;
    dvk_ce_stopAllAudio();
    const int32_t stat = dvk_vre_stopRecog(ce->vre, 0);
    ce->listen.recognising = 0;
    DVK_ASSERT(stat == 0 || stat == 1);
    dvk_nbest_List* nbest = nullptr;
    if (stat != 0 || dvk_vre_getResult(ce->vre, &nbest) != 0) {
        dvk_ce_outOfMemory(ce->appAddress);
        return;
    }
    if (ce->vcms == nullptr) {
        dvk_nbest_destroy(&nbest);
        return;
    }
    dvk_msg_Message* message = nullptr;
    if (dvk_vcm_handleResult(ce->vcms, nbest, &message) != 0) {
        dvk_msg_destroy(&message);
        dvk_ce_outOfMemory(ce->appAddress);
        return;
    }
    afterDialogStep(message, true);
}

void processAdaptFeatureEvtHandler()
{
    if (!featureStep(processAdaptFeatureEvtHandler))
        return;
    dvk_ce_stopAllAudio();
    int32_t rejected = 0;
    const int32_t stat = dvk_vre_stopAdaptRecog(ce->vre, &rejected, 0);
    ce->adapting = 0;
    ce->listen.recognising = 0;
    if (stat != 0) {
        dvk_ce_outOfMemory(ce->appAddress);
        return;
    }
    dvk_ui_sendEvent(rejected ? DVK_UI_EVENT_CANCEL : DVK_UI_EVENT_NEXT, 0);
}

void adaptInputEvtHandler()
{
    dvk_ce_takeInputFrame(ce != nullptr ? ce->vre : nullptr, ce != nullptr ? &ce->listen : nullptr, feedAdaptation,
                          dvk_ce_stopAllAudio, processAdaptFeatureEvtHandler);
}

// Prompt mode 2 or 3 reads menus out (feature 67 takes both to 1).
bool readoutsPlay()
{
    int32_t mode = dvk_settings_getPromptMode();
    if ((mode == 2 || mode == 3) && dvk_settings_isFeatureEnabled(67))
        mode = 1;
    return mode == 2 || mode == 3;
}

void menuReadout(dvk_ui_Event event, int32_t index)
{
    if (dvk_ce_stopAudioAndRecog() != 0) {
        dvk_ce_outOfMemory(ce->appAddress);
        return;
    }
    if (dvk_ce_getPendingEventCount() > 0 || !readoutsPlay())
        return;
    dvk_prompt_List* list = newPromptList();
    if (list == nullptr)
        return;
    int failed = 0;
    if (event == DVK_UI_EVENT_SET_FOCUS) {
        ce->readoutIndex = index;
        failed = dvk_vcm_getMenuReadoutPrompt(ce->vcms, list, index);
    } else {
        dvk_msg_Message* message = nullptr;
        failed = dvk_vcm_handleEvent(ce->vcms, DVK_UI_EVENT_SELECT, ce->readoutIndex, &message);
        dvk_msg_destroy(&message);
        if (failed == 0 && !dvk_vcm_done(ce->vcms)) {
            failed = dvk_vcm_getMenuReadoutPrompt(ce->vcms, list, index);
            // Popping frees the module the select pushed.
            dvk_vcm_pop(ce->vcms);
        }
    }
    if (failed != 0 || dvk_prompt_playPromptList(list, readoutDoneCallback) != 0) {
        dvk_prompt_destroyPromptList(&list);
        dvk_ce_outOfMemory(ce->appAddress);
        return;
    }
    ce->prompts = list;
}

}  // namespace

void dvk_ce_recogInputEvtHandler()
{
    dvk_ce_takeInputFrame(ce != nullptr ? ce->vre : nullptr, ce != nullptr ? &ce->listen : nullptr,
                          dvk_vre_processPCM, dvk_ce_stopAllAudio, processFeatureEvtHandler);
}

void dvk_ce_outOfMemory(dvk_msg_Address address)
{
    dvk_ce_stopAllAudio();
    dvk_msg_sendEvent(oomHandlerEvent, address);
}

void dvk_ce_stopAudioOutput(void)
{
    if (ce == nullptr)
        return;
    ce->promptStage = 0;
    // The list first: a stream it plays must end while its item is still
    // queued in the audio.
    if (ce->prompts != nullptr) {
        if (dvk_prompt_stopPromptList(ce->prompts) != 0)
            dvk_msg_sendEvent(oomHandlerEvent, ce->appAddress);
        ce->prompts = nullptr;
    }
    dvk_audio_stopPlayback(nullptr);
}

void dvk_ce_stopAllAudio(void)
{
    if (ce == nullptr)
        return;
    dvk_audio_stopRecording(nullptr);
    dvk_ui_setAudioInputInfo(-1, -1);
    ce->listen.recording = 0;
    dvk_ce_stopAudioOutput();
}

int dvk_ce_stopAudioAndRecog(void)
{
    if (ce == nullptr)
        return 0;
    dvk_ce_stopAllAudio();
    int failed = 0;
    if (ce->adapting) {
        int32_t rejected = 0;
        failed = dvk_vre_stopAdaptRecog(ce->vre, &rejected, 1) != 0;
    } else {
        failed = dvk_vre_stopRecog(ce->vre, 1) != 0;
    }
    ce->listen.recognising = 0;
    ce->adapting = 0;
    return failed;
}

void dvk_ce_endCurrentSession(void)
{
    if (ce != nullptr && ce->vcms != nullptr)
        dvk_vcm_endSession(&ce->vcms);
}

void dvk_ce_sendToApp(dvk_msg_Message* message)
{
    if (message != nullptr)
        dvk_msg_send(message, ce->appAddress);
}

void dvk_ce_startHandler(void* data, dvk_msg_Address sender)
{
    auto* request = static_cast<dvk_ce_StartRequest*>(data);
    if (ce == nullptr || ce->destroying) {
        dvk_ce_log().log(WexLogWarning, "%s: no engine, start dropped", __func__);
        return;
    }
    ce->appAddress = sender;
    ce->notifications = request->notifications;
    ce->userContext = request->context;
    ce->startMode = request->mode;
    ce->vsearchScriptId = request->vsearchScriptId;
    if (request->mode != DVK_CE_MODE_CMD_RECOG && request->mode != DVK_CE_MODE_CONNECTED_SERVICES &&
        (ce->fullRebuild || ce->initialRebuild)) {
        ce->fullRebuild = 0;
        ce->initialRebuild = 0;
        ce->rebuildDeferred = 1;
        dvk_vre_stopConstraintRebuild(ce->vre, dvk_ce_startSession);
        return;
    }
    dvk_ce_startSession();
}

void dvk_ce_startSession(void)
{
    if (ce == nullptr)
        return;
    DVK_ASSERT(ce->startMode < 9);
    if (ce->startMode > DVK_CE_MODE_ADAPTATION_MENU) {
        // The dialog manager has no start point for these modes.
        dvk_ce_log().log(WexLogWarning, "%s: start mode %d has no session", __func__,
                         static_cast<int>(ce->startMode));
        dvk_msg_Message* exit = dvk_app_newNotifyExitRspMsg(ce->notifications.notifyExit, DVK_APP_ABORTED,
                                                            ce->userContext);
        if (exit == nullptr)
            dvk_ce_outOfMemory(ce->appAddress);
        else
            dvk_msg_send(exit, ce->appAddress);
        return;
    }
    ce->vcms = dvk_vcm_newSession(&ce->notifications, ce->userContext, ce->appAddress, ce->stringTable,
                                  ce->promptTable, ce->imageTable, ce->fontTable, ce->configManager, nullptr,
                                  ce->dynamicTable, ce->startMode, ce->vsearchScriptId);
    if (ce->vcms == nullptr) {
        dvk_ce_outOfMemory(ce->appAddress);
        return;
    }
    dvk_ce_startTransaction();
}

void dvk_ce_startTransaction(void)
{
    if (dvk_vcm_init(ce->vcms) != 0) {
        dvk_ce_outOfMemory(ce->appAddress);
        return;
    }
    if (dvk_vcm_done(ce->vcms)) {
        dvk_ce_endCurrentSession();
        return;
    }
    dvk_prompt_List* list = newPromptList();
    if (list == nullptr)
        return;
    ce->prompts = list;
    if (dvk_vcm_getPrompt(ce->vcms, list) != 0 || dvk_prompt_playPromptList(list, promptDoneCallback) != 0) {
        ce->prompts = nullptr;
        dvk_prompt_destroyPromptList(&list);
        dvk_ce_outOfMemory(ce->appAddress);
        return;
    }
    ce->listen.recognitionFinished = 0;
    ce->promptStage = 1;
}

void dvk_ce_handleEventHandler(void* data, dvk_msg_Address)
{
    const auto request = *static_cast<dvk_ce_HandleEventRequest*>(data);
    // Every event taken lowers the count, dropped ones too: a count left
    // behind would silence every later menu readout.
    dvk_ce_lowerPendingEventCount();
    if (ce == nullptr || ce->vcms == nullptr) {
        dvk_ce_log().log(WexLogNotice, "%s: no session for event %d", __func__, static_cast<int>(request.event));
        return;
    }
    dvk_ui_Event event = request.event;
    if (event == 19) {
        if (dvk_ce_stopAudioAndRecog() != 0)
            dvk_ce_outOfMemory(ce->appAddress);
        dvk_msg_Message* message = nullptr;
        if (dvk_vcm_handleEvent(ce->vcms, DVK_UI_EVENT_SELECT, ce->readoutIndex, &message) != 0) {
            dvk_msg_destroy(&message);
            dvk_ce_outOfMemory(ce->appAddress);
            return;
        }
        if (dvk_vcm_done(ce->vcms)) {
            afterDialogStep(message, false);
            return;
        }
        dvk_ce_sendToApp(message);
        event = DVK_UI_EVENT_SELECT;
    } else if ((event == DVK_UI_EVENT_SET_FOCUS || event == 21) &&
               dvk_vcm_checkForEventHandler(ce->vcms, event) == 0) {
        menuReadout(event, request.index);
        return;
    } else if (event == DVK_UI_EVENT_SKIP &&
               (dvk_vcm_checkForEventHandler(ce->vcms, event) == 0 || ce->adaptationMode)) {
        if (ce->adaptationMode || moduleListens()) {
            if (ce->promptStage) {
                dvk_ce_stopAudioOutput();
                promptDoneCallback(nullptr);
            } else if (!ce->listen.recognising && !ce->adapting) {
                dvk_ce_startTransaction();
            }
            return;
        }
        event = DVK_UI_EVENT_RESTART;
    }
    if (dvk_vcm_checkForEventHandler(ce->vcms, event) == 0) {
        dvk_ce_log().log(WexLogNotice, "%s: no handler for event %d", __func__, static_cast<int>(event));
        return;
    }
    bool nextTransaction = true;
    if (event == DVK_UI_EVENT_VCM_TIMER || event == 35 || event == 36 || event == 37 ||
        event == DVK_UI_EVENT_SET_FOCUS) {
        nextTransaction = false;
    } else if (event == 39) {
        dvk_ce_stopAllAudio();
    } else if (dvk_ce_stopAudioAndRecog() != 0) {
        dvk_ce_outOfMemory(ce->appAddress);
    }
    dvk_msg_Message* message = nullptr;
    if (dvk_vcm_handleEvent(ce->vcms, event, request.index, &message) != 0) {
        dvk_msg_destroy(&message);
        dvk_ce_outOfMemory(ce->appAddress);
        return;
    }
    afterDialogStep(message, nextTransaction);
}

void dvk_ce_startAdaptationHandler(void* data, dvk_msg_Address)
{
    if (ce == nullptr || ce->vre == nullptr)
        return;
    const auto* phrase = static_cast<const dvk_ucs2_Char*>(data);
    if (dvk_audio_startRecording(static_cast<dvk_oem_audio_InputDevice>(0), static_cast<dvk_oem_audio_PCMType>(0),
                                 kNoVocoder, kMaxRecordingMs, kBufferMs, adaptInputEvtHandler) != 0) {
        dvk_ce_outOfMemory(ce->appAddress);
        return;
    }
    ce->adapting = 1;
    ce->listen.recording = 1;
    ce->listen.recognising = 1;
    ce->listen.recognitionFinished = 0;
    dvk_ui_setAudioInputInfo(0, kMaxRecordingMs);
    if (dvk_vre_startAdaptation(ce->vre, nullptr, nullptr, phrase) != 0)
        dvk_ce_outOfMemory(ce->appAddress);
}
