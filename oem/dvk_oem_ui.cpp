#include "oem/dvk_oem_ui.h"

#include "oem/dvk_oem_mem.h"
#include "src/QrVoiceCmdServiceHandler.h"
#include "src/QrvContactsCommon.h"
#include "src/QrvLog.h"
#include "src/QrvServiceEnd.h"
#include "src/QrvSettings.h"
#include "src/QrvStringConv.h"
#include "src/QrvWorkQueues.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace {

WexLogger& uiLog()
{
    return QrvLog::UIthread::qrvLog;
}

// "UI" only.
DvkOemUI::EngineState_E s_lastState = DvkOemUI::INITIALIZING;

const char* stateName(DvkOemUI::EngineState_E state)
{
    switch (state) {
    case DvkOemUI::INITIALIZING: return "initializing";
    case DvkOemUI::RECORDING: return "recording";
    case DvkOemUI::PLAYBACK: return "playback";
    case DvkOemUI::NEITHER: return "neither";
    case DvkOemUI::CALCULATING: return "calculating";
    }
    return "?";
}

const char* scenario()
{
    switch (QrvSettings::getAudioSourceType()) {
    case QrvSettings::AUDIO_SOURCE_BLUETOOTH: return "bluetooth";
    case QrvSettings::AUDIO_SOURCE_HEADSET: return "headset";
    default: return "handset";
    }
}

// UTF-8 of a UCS-2 text; a text that does not convert (logged) is empty.
std::string utf8(const dvk_ucs2_Char* text)
{
    W2Ch converted(text);
    return converted.c_str() != nullptr ? converted.c_str() : "";
}

void putText(WexObject& request, const char* key, const dvk_ucs2_Char* text)
{
    if (text != nullptr)
        request.put(key, utf8(text));
}

void putTexts(WexObject& request, const char* key, const dvk_ucs2_Char* const* texts, int32_t count)
{
    WexObject array = WexObject::array();
    for (int32_t i = 0; texts != nullptr && i < count; ++i)
        array.append(utf8(texts[i]));
    request.put(key, array);
}

void putEvents(WexObject& request, const dvk_ucs2_Char* const* softkeyText, const dvk_ui_Event* softkeyEvent)
{
    WexObject events = WexObject::array();
    DvkOemUI::populateEvents(events, softkeyText, softkeyEvent);
    request.put("events", events);
}

void send(WexObject& request, const char* command)
{
    if (WexErr err = QrVoiceCmdServiceHandler::uiRequestNoNesting(request, command))
        uiLog().log(WexLogError, "%s: %s not sent: %s", __func__, command, wexErrText(err));
}

// The screens the user interface knows by their id alone.
void sendTitledScreen(const char* command, dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText,
                      int32_t defaultTimeout)
{
    WexObject request = WexObject::object();
    request.put("defaultTimeout", defaultTimeout);
    putText(request, "titleText", titleText);
    request.put("screenId", screenId);
    send(request, command);
}

// The body of the text screen 12 without the voicemail entry that follows
// the name: cut before the entry and the blanks in front of it.
std::string bodyWithoutVoicemail(const std::string& body)
{
    const std::string voicemail = QrvContactsCommon::getVoicemailNumber();
    const size_t p = voicemail.empty() ? std::string::npos : body.find(voicemail);
    if (p == std::string::npos)
        return body;
    size_t end = p;
    while (end > 0 && (body[end - 1] == '\t' || body[end - 1] == ' '))
        --end;
    // A body that starts with the entry has no name at all: nothing of it
    // is sent (not its first byte).
    return body.substr(0, end);
}

void sendAudioLevel(void* level)
{
    WexObject request = WexObject::object();
    request.put("level", static_cast<int32_t>(reinterpret_cast<intptr_t>(level)));
    send(request, "audioLevel");
}

constexpr dvk_ui_ScreenId kVoicemailBodyScreen = 12;

} // namespace

const dvk_oem_ui_Funcs DvkOemUI::dvkOemUiFuncs = {
    DvkOemUI::displayBitmap,
    DvkOemUI::displayRgbBitmap,
    DvkOemUI::displayText,
    DvkOemUI::displayCommand,
    DvkOemUI::displayListen,
    DvkOemUI::displayAdapt,
    DvkOemUI::displayConfirm,
    DvkOemUI::displayMenu,
    DvkOemUI::displayCheckBox,
    DvkOemUI::displayRadioButton,
    DvkOemUI::displayPopup,
    DvkOemUI::uiStateChangeToInitializing,
    DvkOemUI::uiStateChangeToRecording,
    DvkOemUI::uiStateChangeToPlayback,
    DvkOemUI::uiStateChangeToNeither,
    DvkOemUI::uiStateChangeToCalculating,
    DvkOemUI::notifyCallCmd,
    DvkOemUI::audioLevelUpdate,
};

const dvk_oem_ui_Funcs* dvkOemUiFuncs_p = &DvkOemUI::dvkOemUiFuncs;

void DvkOemUI::populateEvents(WexObject& array, const dvk_ucs2_Char* const* softkeyText,
                              const dvk_ui_Event* softkeyEvent)
{
    if (!array.isArray()) {
        uiLog().log(WexLogError, "event list must be a Wex Array");
        return;
    }
    for (int i = 0; softkeyText != nullptr && softkeyEvent != nullptr && i < 3 && softkeyText[i] != nullptr; ++i) {
        WexObject key = WexObject::object();
        key.put("softkeyText", utf8(softkeyText[i]));
        key.put("softKeyEvent", softkeyEvent[i]);
        array.append(key);
    }
}

void DvkOemUI::displayText(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText, const dvk_ucs2_Char* bodyText,
                           const dvk_ucs2_Char* const* softkeyText, const dvk_ui_Event* softkeyEvent,
                           int32_t defaultTimeout)
{
    WexObject request = WexObject::object();
    putText(request, "titleText", titleText);
    if (bodyText != nullptr) {
        const std::string body = utf8(bodyText);
        request.put("bodyText", screenId == kVoicemailBodyScreen ? bodyWithoutVoicemail(body) : body);
    }
    request.put("defaultTimeout", defaultTimeout);
    putEvents(request, softkeyText, softkeyEvent);
    request.put("screenId", screenId);
    send(request, "displayText");
}

void DvkOemUI::displayCommand(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText,
                              const dvk_ucs2_Char* panelBarText, const dvk_ucs2_Char* const* commands,
                              int32_t numCommands, const dvk_ucs2_Char* const* softkeyText,
                              const dvk_ui_Event* softkeyEvent, int32_t startTimeout, int32_t defaultTimeout)
{
    WexObject request = WexObject::object();
    request.put("defaultTimeout", defaultTimeout);
    request.put("startTimeout", startTimeout);
    putText(request, "titleText", titleText);
    putText(request, "panelBarText", panelBarText);
    putTexts(request, "commands", commands, numCommands);
    putEvents(request, softkeyText, softkeyEvent);
    request.put("screenId", screenId);
    send(request, "displayCommand");
}

void DvkOemUI::displayListen(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText,
                             const dvk_ucs2_Char* bodyText, int32_t, int32_t, const uint8_t*, const uint8_t*, int32_t,
                             const dvk_ucs2_Char* panelBarText, const dvk_ucs2_Char* const* phrases,
                             int32_t numPhrases, const dvk_ucs2_Char* const* softkeyText,
                             const dvk_ui_Event* softkeyEvent, int32_t startTimeout, int32_t defaultTimeout)
{
    WexObject request = WexObject::object();
    request.put("defaultTimeout", defaultTimeout);
    request.put("startTimeout", startTimeout);
    putText(request, "titleText", titleText);
    putText(request, "bodyText", bodyText);
    putText(request, "panelBarText", panelBarText);
    putTexts(request, "phrases", phrases, numPhrases);
    putEvents(request, softkeyText, softkeyEvent);
    request.put("screenId", screenId);
    send(request, "displayListen");
}

void DvkOemUI::displayAdapt(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText, const dvk_ucs2_Char*,
                            const dvk_ucs2_Char*, const dvk_ucs2_Char*, const dvk_ucs2_Char* const*,
                            const dvk_ui_Event*, int32_t startTimeout, int32_t defaultTimeout)
{
    WexObject request = WexObject::object();
    request.put("defaultTimeout", defaultTimeout);
    request.put("startTimeout", startTimeout);
    putText(request, "titleText", titleText);
    request.put("screenId", screenId);
    send(request, "displayAdapt");
}

void DvkOemUI::displayConfirm(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText,
                              const dvk_ucs2_Char* bodyText, const dvk_ucs2_Char* panelBarText,
                              const dvk_ucs2_Char* const* items, int32_t numItems, int32_t selectedItem,
                              const dvk_ucs2_Char* const* phrases, int32_t numPhrases, const dvk_ucs2_Char* const*,
                              const dvk_ui_Event*, int32_t startTimeout, int32_t defaultTimeout)
{
    WexObject request = WexObject::object();
    request.put("defaultTimeout", defaultTimeout);
    request.put("startTimeout", startTimeout);
    request.put("screenId", screenId);
    putText(request, "titleText", titleText);
    putText(request, "bodyText", bodyText);
    putText(request, "panelBarText", panelBarText);
    putTexts(request, "phrases", phrases, numPhrases);
    request.put("selectedItem", selectedItem);
    putTexts(request, "items", items, numItems);
    send(request, "displayConfirm");
}

void DvkOemUI::displayMenu(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText, const dvk_ucs2_Char*,
                           const dvk_ucs2_Char* const*, int32_t, int32_t, const dvk_ucs2_Char* const* const*,
                           const int32_t*, const dvk_ucs2_Char* const*, const dvk_ui_Event*, int32_t defaultTimeout)
{
    sendTitledScreen("displayMenu", screenId, titleText, defaultTimeout);
}

void DvkOemUI::displayCheckBox(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText, const dvk_ucs2_Char*,
                               const dvk_ucs2_Char* const*, const uint8_t*, int32_t, int32_t,
                               const dvk_ucs2_Char* const*, const dvk_ui_Event*, int32_t defaultTimeout)
{
    sendTitledScreen("displayCheckBox", screenId, titleText, defaultTimeout);
}

void DvkOemUI::displayRadioButton(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText, const dvk_ucs2_Char*,
                                  const dvk_ucs2_Char* const*, int32_t, int32_t, const dvk_ucs2_Char* const*,
                                  const dvk_ui_Event*, int32_t defaultTimeout)
{
    sendTitledScreen("displayRadioButton", screenId, titleText, defaultTimeout);
}

void DvkOemUI::displayPopup(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* bodyText, dvk_oem_ui_PopupType,
                            int32_t defaultTimeout)
{
    uiLog().log(WexLogDebug, "%s: not used", __func__);
    sendTitledScreen("displayPopup", screenId, bodyText, defaultTimeout);
}

void DvkOemUI::displayBitmap(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText, int32_t, int32_t,
                             const uint8_t*, const uint8_t*, int32_t, const dvk_ucs2_Char* const*,
                             const dvk_ui_Event*, int32_t defaultTimeout)
{
    uiLog().log(WexLogDebug, "%s: not used", __func__);
    sendTitledScreen("displayBitmap", screenId, titleText, defaultTimeout);
}

void DvkOemUI::displayRgbBitmap(dvk_ui_ScreenId screenId, const dvk_ucs2_Char* titleText, int32_t, int32_t,
                                const uint16_t*, const dvk_oem_ui_display_Rect*, int32_t,
                                const dvk_ucs2_Char* const*, const dvk_ui_Event*, int32_t defaultTimeout)
{
    uiLog().log(WexLogDebug, "%s: not used", __func__);
    sendTitledScreen("displayRgbBitmap", screenId, titleText, defaultTimeout);
}

// ---- UI states ----------------------------------------------------------------

void DvkOemUI::stateChange(EngineState_E state)
{
    if (state != INITIALIZING && state == s_lastState)
        return;
    if (state == NEITHER) {
        // After recording the recognition is still being worked out.
        if (s_lastState == RECORDING) {
            stateChange(CALCULATING);
            return;
        }
        if (s_lastState == INITIALIZING || s_lastState == CALCULATING)
            return;
    }
    s_lastState = state;
    WexObject request = WexObject::object();
    request.put("state", stateName(state));
    request.put("scenario", scenario());
    send(request, "state");
}

void DvkOemUI::uiStateChangeToInitializing(void*)
{
    stateChange(INITIALIZING);
}

void DvkOemUI::uiStateChangeToRecording(void*)
{
    stateChange(RECORDING);
}

void DvkOemUI::uiStateChangeToPlayback(void*)
{
    stateChange(PLAYBACK);
}

void DvkOemUI::uiStateChangeToNeither(void*)
{
    stateChange(NEITHER);
}

void DvkOemUI::uiStateChangeToCalculating(void*)
{
    stateChange(CALCULATING);
}

void DvkOemUI::resetStateForTesting()
{
    s_lastState = INITIALIZING;
}

// ---- audio level, install progress, the call ------------------------------------

void DvkOemUI::audioLevelUpdate(int32_t level)
{
    QrvExecuteInUiThread(sendAudioLevel, reinterpret_cast<void*>(static_cast<intptr_t>(level)),
                         QRV_THREAD_ALWAYS_POST);
}

void DvkOemUI::QrvUI_updateInstallProgress(int64_t bytesInstalled, int64_t bytesTotal)
{
    WexObject request = WexObject::object();
    request.put("bytesInstalled", bytesInstalled);
    request.put("bytesTotal", bytesTotal);
    send(request, "installProgress");
}

void DvkOemUI::notifyCallCmd(const char* number)
{
    const size_t size = std::strlen(number) + 1;
    auto* copy = static_cast<char*>(dvk_oem_mem_alloc(size));
    if (copy == nullptr) {
        QrvLog::multiThread::qrvLog().log(WexLogError, "%s: no memory for the number", __func__);
        return;
    }
    std::memcpy(copy, number, size);
    QrvExecuteInUiThread(notifyCallCmd_UIthread, copy, QRV_THREAD_ALWAYS_POST);
}

void DvkOemUI::notifyCallCmd_UIthread(void* numberCopy)
{
    auto* number = static_cast<char*>(numberCopy);
    WexObject launch = WexObject::object();
    launch.put("id", "com.orvel.app.phone");
    WexObject params = WexObject::object();
    if (QrvContactsCommon::getVoicemailNumber() != number) {
        uiLog().log(WexLogInfo, "%s: calling number/contact requested", __func__);
        params.put("number", number);
    } else {
        uiLog().log(WexLogInfo, "%s: calling voice mail", __func__);
        params.put("action", "voicemail");
    }
    launch.put("params", params);
    dvk_oem_mem_free(number);
    if (WexErr err = QrVoiceCmdServiceHandler::serviceSendStatic("com.orvel.applicationManager", "launch", launch))
        uiLog().log(WexLogError, "%s: launch not sent: %s", __func__, wexErrText(err));
    uiLog().log(WexLogInfo, "%s: call initiated.  Shutting down normally.", __func__);
    QrvServiceEnd::get().shutdownStart();
}
