#include "core/ce/dvk_app.h"

#include "core/ce/dvk_ce_requests.h"
#include "core/utils/dvk_ucs2.h"
#include "platform/core/wex_logger.h"
#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_mem.h"
#include "sdk/common/dvk_msg.h"

namespace {

WexLogger s_log("DvkApp");

// One record for every answer: the callback, the user context, up to five
// words and up to four copied texts.
struct Answer {
    void* callback;
    void* context;
    int32_t words[5];
    dvk_ucs2_Char* texts[4];
};

void freeAnswer(void* data)
{
    auto* answer = static_cast<Answer*>(data);
    for (dvk_ucs2_Char*& text : answer->texts)
        dvk_ucs2_destroy(&text);
    dvk_mem_dealloc(&answer);
}

// A record with copies of the texts (NULL ones stay NULL); NULL when memory
// is short.
Answer* newAnswer(void* callback, void* context, std::initializer_list<const dvk_ucs2_Char*> texts)
{
    auto* answer = static_cast<Answer*>(dvk_mem_alloc(sizeof(Answer)));
    if (answer == nullptr)
        return nullptr;
    *answer = Answer{callback, context, {}, {}};
    int i = 0;
    for (const dvk_ucs2_Char* text : texts) {
        if (text != nullptr && (answer->texts[i] = dvk_ucs2_createCopy(text)) == nullptr) {
            freeAnswer(answer);
            return nullptr;
        }
        ++i;
    }
    return answer;
}

// An answer without a callback calls nothing.
bool hasCallback(const Answer* answer, const char* handler)
{
    if (answer->callback != nullptr)
        return true;
    s_log.log(WexLogError, "%s: the answer has no callback; dropped", handler);
    return false;
}

template <typename Callback>
Callback as(const Answer* answer)
{
    return reinterpret_cast<Callback>(answer->callback);
}

dvk_msg_Message* send(Answer* answer, dvk_msg_Handler handler)
{
    return answer != nullptr ? dvk_msg_create(answer, handler, freeAnswer) : nullptr;
}

dvk_app_CompletionCode code(const Answer* a)
{
    return static_cast<dvk_app_CompletionCode>(a->words[0]);
}

void appCompletionHandler(void* data, dvk_msg_Address)
{
    auto* a = static_cast<Answer*>(data);
    if (hasCallback(a, __func__))
        as<dvk_app_CompletionCallback>(a)(code(a), a->context);
}

void appDestroyHandler(void* data, dvk_msg_Address)
{
    auto* a = static_cast<Answer*>(data);
    const Answer copy = *a;
    freeAnswer(a);  // before the callback: it may end the application
    if (hasCallback(&copy, __func__))
        as<dvk_app_CompletionCallback>(&copy)(code(&copy), copy.context);
}

void appCallHandler(void* data, dvk_msg_Address)
{
    auto* a = static_cast<Answer*>(data);
    if (hasCallback(a, __func__))
        as<dvk_app_NotifyCallCmd>(a)(a->texts[0], a->texts[1], a->texts[2], a->context);
}

void appSendHandler(void* data, dvk_msg_Address)
{
    auto* a = static_cast<Answer*>(data);
    if (hasCallback(a, __func__))
        as<dvk_app_NotifySendCmd>(a)(a->texts[0], a->texts[1], a->texts[2], a->texts[3],
                                     a->words[0], a->context);
}

void appLookupHandler(void* data, dvk_msg_Address)
{
    auto* a = static_cast<Answer*>(data);
    if (hasCallback(a, __func__))
        as<dvk_app_NotifyLookupCmd>(a)(a->texts[0], a->words[0], a->context);
}

void appGoToHandler(void* data, dvk_msg_Address)
{
    auto* a = static_cast<Answer*>(data);
    if (hasCallback(a, __func__))
        as<dvk_app_NotifyGoToCmd>(a)(a->texts[0], a->words[0], a->context);
}

void appWordHandler(void* data, dvk_msg_Address)
{
    auto* a = static_cast<Answer*>(data);
    if (hasCallback(a, __func__))
        as<void (*)(int32_t, void*)>(a)(a->words[0], a->context);
}

void appPlayHandler(void* data, dvk_msg_Address)
{
    auto* a = static_cast<Answer*>(data);
    if (hasCallback(a, __func__))
        as<dvk_app_NotifyPlayCmd>(a)(a->texts[0], a->texts[1], a->texts[2], a->texts[3],
                                     a->words[0], a->words[1], a->words[2], a->words[3],
                                     a->context);
}

void appHelpHandler(void* data, dvk_msg_Address)
{
    auto* a = static_cast<Answer*>(data);
    if (hasCallback(a, __func__))
        as<dvk_app_NotifyHelpCmd>(a)(a->texts[0], a->words[0], a->context);
}

void appAddContactHandler(void* data, dvk_msg_Address)
{
    auto* a = static_cast<Answer*>(data);
    if (hasCallback(a, __func__))
        as<dvk_app_NotifyAddContactCmd>(a)(a->texts[0], a->texts[1], a->texts[2], a->context);
}

void appLaunchUrlHandler(void* data, dvk_msg_Address)
{
    auto* a = static_cast<Answer*>(data);
    if (hasCallback(a, __func__))
        as<dvk_app_NotifyLaunchUrlCmd>(a)(a->texts[0], a->context);
}

void appContextHandler(void* data, dvk_msg_Address)
{
    auto* a = static_cast<Answer*>(data);
    if (hasCallback(a, __func__))
        as<dvk_app_NotifyContextOnly>(a)(a->context);
}

template <typename Callback>
void* untyped(Callback callback)
{
    return reinterpret_cast<void*>(callback);
}

dvk_msg_Message* completion(void* callback, void* context, dvk_app_CompletionCode c,
                            dvk_msg_Handler handler)
{
    Answer* a = newAnswer(callback, context, {});
    if (a != nullptr)
        a->words[0] = c;
    return send(a, handler);
}

// Posts a built request and records its requester for the out-of-memory report.
int post(dvk_msg_Message* request, dvk_app_CompletionCallback requester, void* context)
{
    if (request == nullptr)
        return 2;
    dvk_ce_setOutOfMemoryTarget(requester, context);
    dvk_msg_send(request, dvk_msg_getDvkAddr());
    return 0;
}

int startWithTable(const dvk_app_Notifications* notifications, void* context, int32_t mode)
{
    if (notifications == nullptr || notifications->notifyExit == nullptr)
        return 1;
    return post(dvk_ce_newStartMsg(notifications, context, mode), notifications->notifyExit,
                context);
}

int startWithExit(dvk_app_NotifyExit notifyExit, void* context, int32_t mode)
{
    if (notifyExit == nullptr)
        return 1;
    dvk_app_Notifications table{};
    table.notifyExit = notifyExit;
    return startWithTable(&table, context, mode);
}

} // namespace

int dvk_app_create(dvk_app_CompletionCallback callback, void* context)
{
    return callback == nullptr ? 1 : post(dvk_ce_newCreateMsg(callback, context), callback, context);
}

int dvk_app_destroy(dvk_app_CompletionCallback callback, void* context)
{
    return callback == nullptr ? 1 : post(dvk_ce_newDestroyMsg(callback, context), callback, context);
}

int dvk_app_abort(dvk_app_CompletionCallback callback, void* context)
{
    return callback == nullptr ? 1 : post(dvk_ce_newAbortMsg(callback, context), callback, context);
}

int dvk_app_startCmdRecog(const dvk_app_Notifications* n, void* c) { return startWithTable(n, c, DVK_CE_MODE_CMD_RECOG); }
int dvk_app_startSettingsMenu(const dvk_app_Notifications* n, void* c) { return startWithTable(n, c, DVK_CE_MODE_SETTINGS_MENU); }
int dvk_app_startAdaptationMenu(dvk_app_NotifyExit e, void* c) { return startWithExit(e, c, DVK_CE_MODE_ADAPTATION_MENU); }
int dvk_app_startVoiceModeMenu(dvk_app_NotifyExit e, void* c) { return startWithExit(e, c, DVK_CE_MODE_VOICE_MODE_MENU); }
int dvk_app_startVoiceModeEnrollment(dvk_app_NotifyExit e, void* c) { return startWithExit(e, c, DVK_CE_MODE_ENROLLMENT); }
int dvk_app_startVoiceModeTutorial(dvk_app_NotifyExit e, void* c) { return startWithExit(e, c, DVK_CE_MODE_TUTORIAL); }
int dvk_app_startVoiceModeReset(dvk_app_NotifyExit e, void* c) { return startWithExit(e, c, DVK_CE_MODE_RESET); }
int dvk_app_startConnectedServicesOnly(const dvk_app_Notifications* n, void* c) { return startWithTable(n, c, DVK_CE_MODE_CONNECTED_SERVICES); }

int dvk_app_startVsearch(const dvk_app_Notifications* notifications, void* context,
                         int32_t vsearchScriptId)
{
    if (notifications == nullptr || notifications->notifyExit == nullptr || vsearchScriptId < 0)
        return 1;
    return post(dvk_ce_newVsearchStartMsg(notifications, context, vsearchScriptId),
                notifications->notifyExit, context);
}

dvk_msg_Message* dvk_app_newNotifyCreateRspMsg(dvk_app_CompletionCallback callback, void* context,
                                               dvk_app_CompletionCode code)
{
    return completion(untyped(callback), context, code, appCompletionHandler);
}

dvk_msg_Message* dvk_app_newNotifyAbortRspMsg(dvk_app_CompletionCallback callback, void* context,
                                              dvk_app_CompletionCode code)
{
    return completion(untyped(callback), context, code, appCompletionHandler);
}

dvk_msg_Message* dvk_app_newNotifyDestroyRspMsg(dvk_app_CompletionCallback callback,
                                                void* context, dvk_app_CompletionCode code)
{
    Answer* a = newAnswer(untyped(callback), context, {});
    if (a == nullptr)
        return nullptr;
    a->words[0] = code;
    dvk_msg_Message* message = dvk_msg_create(a, appDestroyHandler, nullptr);
    if (message == nullptr)
        freeAnswer(a);
    return message;
}

dvk_msg_Message* dvk_app_newNotifyExitRspMsg(dvk_app_NotifyExit callback,
                                             dvk_app_CompletionCode code, void* context)
{
    return completion(untyped(callback), context, code, appCompletionHandler);
}

dvk_msg_Message* dvk_app_newNotifyCallCmdRspMsg(dvk_app_NotifyCallCmd callback,
                                                const dvk_ucs2_Char* name,
                                                const dvk_ucs2_Char* location,
                                                const dvk_ucs2_Char* number, void* context)
{
    DVK_ASSERT(number != DVK_NULL);
    if (name == nullptr)
        location = nullptr;
    return send(newAnswer(untyped(callback), context, {name, location, number}), appCallHandler);
}

dvk_msg_Message* dvk_app_newNotifySendCmdRspMsg(dvk_app_NotifySendCmd callback,
                                                const dvk_ucs2_Char* text1,
                                                const dvk_ucs2_Char* text2,
                                                const dvk_ucs2_Char* text3,
                                                const dvk_ucs2_Char* text4,
                                                dvk_app_MessageType type, void* context)
{
    Answer* a;
    if (text4 != nullptr) {
        a = newAnswer(untyped(callback), context, {nullptr, nullptr, nullptr, text4});
    } else if (text1 != nullptr) {
        DVK_ASSERT(text2 != DVK_NULL);
        DVK_ASSERT(text3 != DVK_NULL);
        a = newAnswer(untyped(callback), context, {text1, text2, text3});
    } else {
        a = newAnswer(untyped(callback), context, {nullptr, nullptr, text3});
    }
    if (a != nullptr)
        a->words[0] = type;
    return send(a, appSendHandler);
}

dvk_msg_Message* dvk_app_newNotifyLookupCmdRspMsg(dvk_app_NotifyLookupCmd callback,
                                                  const dvk_ucs2_Char* name,
                                                  dvk_app_LookupMode mode, void* context)
{
    DVK_ASSERT(name != DVK_NULL);
    Answer* a = newAnswer(untyped(callback), context, {name});
    if (a != nullptr)
        a->words[0] = mode;
    return send(a, appLookupHandler);
}

dvk_msg_Message* dvk_app_newNotifyGoToCmdRspMsg(dvk_app_NotifyGoToCmd callback,
                                                const dvk_ucs2_Char* name,
                                                int32_t applicationContext, void* context)
{
    DVK_ASSERT(name != DVK_NULL);
    Answer* a = newAnswer(untyped(callback), context, {name});
    if (a != nullptr)
        a->words[0] = applicationContext;
    return send(a, appGoToHandler);
}

dvk_msg_Message* dvk_app_newNotifyGoToCalendarCmdRspMsg(dvk_app_NotifyGoToCalendarCmd callback,
                                                        dvk_app_GoToCalendarMode mode,
                                                        void* context)
{
    Answer* a = newAnswer(untyped(callback), context, {});
    if (a != nullptr)
        a->words[0] = mode;
    return send(a, appWordHandler);
}

dvk_msg_Message* dvk_app_newNotifyCheckCmdRspMsg(dvk_app_NotifyCheckCmd callback,
                                                 dvk_app_CheckItem item, void* context)
{
    Answer* a = newAnswer(untyped(callback), context, {});
    if (a != nullptr)
        a->words[0] = item;
    return send(a, appWordHandler);
}

dvk_msg_Message* dvk_app_newNotifyPlayCmdRspMsg(dvk_app_NotifyPlayCmd callback,
                                                const dvk_ucs2_Char* song,
                                                const dvk_ucs2_Char* artist,
                                                const dvk_ucs2_Char* album,
                                                const dvk_ucs2_Char* playlist, int32_t songContext,
                                                int32_t artistContext, int32_t albumContext,
                                                int32_t playlistContext, void* context)
{
    DVK_ASSERT(song != DVK_NULL);
    DVK_ASSERT(artist != DVK_NULL);
    DVK_ASSERT(album != DVK_NULL);
    DVK_ASSERT(playlist != DVK_NULL);
    Answer* a = newAnswer(untyped(callback), context, {song, artist, album, playlist});
    if (a != nullptr) {
        a->words[0] = songContext;
        a->words[1] = artistContext;
        a->words[2] = albumContext;
        a->words[3] = playlistContext;
    }
    return send(a, appPlayHandler);
}

dvk_msg_Message* dvk_app_newNotifyHelpCmdRspMsg(dvk_app_NotifyHelpCmd callback,
                                                const dvk_ucs2_Char* topic, int32_t word,
                                                void* context)
{
    DVK_ASSERT(topic != DVK_NULL);
    Answer* a = newAnswer(untyped(callback), context, {topic});
    if (a != nullptr)
        a->words[0] = word;
    return send(a, appHelpHandler);
}

dvk_msg_Message* dvk_app_newNotifyAddContactCmdRspMsg(dvk_app_NotifyAddContactCmd callback,
                                                      const dvk_ucs2_Char* text1,
                                                      const dvk_ucs2_Char* text2,
                                                      const dvk_ucs2_Char* text3, void* context)
{
    return send(newAnswer(untyped(callback), context, {text1, text2, text3}), appAddContactHandler);
}

dvk_msg_Message* dvk_app_newNotifyLaunchUrlCmdRspMsg(dvk_app_NotifyLaunchUrlCmd callback,
                                                     const dvk_ucs2_Char* text, void* context)
{
    return send(newAnswer(untyped(callback), context, {text}), appLaunchUrlHandler);
}

dvk_msg_Message* dvk_app_newNotifySearchCmdRspMsg(dvk_app_NotifyContextOnly callback,
                                                  void* context)
{
    return send(newAnswer(untyped(callback), context, {}), appContextHandler);
}

dvk_msg_Message* dvk_app_newNotifyMyAccountCmdRspMsg(dvk_app_NotifyContextOnly callback,
                                                     void* context)
{
    return send(newAnswer(untyped(callback), context, {}), appContextHandler);
}
