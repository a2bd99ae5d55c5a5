// The speech API's entry points, on the caller's thread: check the
// arguments and the busy flag, then post the request to the suite thread.
#include "core/dkapi/dvk_dkapi_api.h"

#include "core/dkapi/dvk_dkapi.h"

#include "core/dkapi/dvk_dkapi_requests.h"
#include "core/vre/dvk_vre.h"

#include <condition_variable>
#include <functional>
#include <mutex>

namespace {

// Posts a request accepted while busy (abort), marking the API busy.
int post(dvk_msg_Message* request)
{
    if (request == nullptr)
        return DKAPI_BAD_ARGUMENT;
    dvk_dkapi_setBusy(1);
    dvk_msg_send(request, dvk_msg_getDvkAddr());
    return DKAPI_OK;
}

// Takes the busy flag (4 when it was set), builds the request and posts it;
// a request that cannot be built gives the flag back.
int postOne(const std::function<dvk_msg_Message*()>& build)
{
    if (!dvk_dkapi_tryTakeBusy())
        return DKAPI_BUSY;
    dvk_msg_Message* request = build();
    if (request == nullptr) {
        dvk_dkapi_setBusy(0);
        return DKAPI_BAD_ARGUMENT;
    }
    dvk_msg_send(request, dvk_msg_getDvkAddr());
    return DKAPI_OK;
}

// Runs step on the suite thread and waits for it: the engine's calls touch
// the suite's allocator state, which only that thread may. false when the
// request could not be built.
struct Awaited {
    std::function<void()> step;
    std::mutex lock;
    std::condition_variable doneSignal;
    bool done = false;
};

void awaitedHandler(void* data, dvk_msg_Address)
{
    auto* awaited = static_cast<Awaited*>(data);
    awaited->step();
    std::lock_guard<std::mutex> guard(awaited->lock);
    awaited->done = true;
    awaited->doneSignal.notify_all();
}

bool onSuiteThread(std::function<void()> step)
{
    if (dvk_msg_getMyAddr() == dvk_msg_getDvkAddr()) {
        step();
        return true;
    }
    Awaited awaited;
    awaited.step = std::move(step);
    dvk_msg_Message* message = dvk_msg_create(&awaited, awaitedHandler, nullptr);
    if (message == nullptr)
        return false;
    dvk_msg_send(message, dvk_msg_getDvkAddr());
    std::unique_lock<std::mutex> guard(awaited.lock);
    awaited.doneSignal.wait(guard, [&] { return awaited.done; });
    return true;
}

// The synthesis type of the language's recognition model set, 0 without.
int32_t supportedType(dvk_lang_Language language)
{
    int32_t type = 0;
    onSuiteThread([&] {
        int32_t code = 0, info = 0;
        if (dvk_vre_isLanguageSupported(language, 1, &code, &info) && code >= 1 && code <= 3)
            type = code;
    });
    return type;
}

}  // namespace

const char* DKAPI_Version(void)
{
    return "DKAPI 2.0";
}

int32_t DKAPI_GetSupportedTTSType(dvk_lang_Language language)
{
    return supportedType(language);
}

int DKAPI_Create(DKAPI_Handle* handle, dvk_lang_Language language, int32_t, DKAPI_Notify notify, void* context)
{
    if (handle == nullptr || notify == nullptr)
        return DKAPI_BAD_ARGUMENT;
    if (dvk_dkapi_isBusy())
        return DKAPI_BUSY;
    bool supported = false;
    if (!onSuiteThread([&] {
            int32_t code = 0, info = 0;
            supported = dvk_vre_isLanguageSupported(language, 1, &code, &info) != 0;
        }))
        return DKAPI_BAD_ARGUMENT;
    if (!supported)
        return DKAPI_LANGUAGE_NOT_SUPPORTED;
    return postOne([&] { return dvk_dkapi_newCreateMsg(handle, language, notify, context); });
}

int DKAPI_Destroy(DKAPI_Handle* handle, DKAPI_Notify notify, void* context)
{
    if (handle == nullptr || notify == nullptr)
        return DKAPI_BAD_ARGUMENT;
    return postOne([&] { return dvk_dkapi_newDestroyMsg(handle, notify, context); });
}

int DKAPI_Abort(DKAPI_Notify notify, void* context)
{
    if (notify == nullptr)
        return DKAPI_BAD_ARGUMENT;
    return post(dvk_dkapi_newAbortMsg(notify, context));
}

int DKAPI_PlayPrompt(DKAPI_Handle engine, const DKAPI_PromptRequest* prompt, DKAPI_Notify notify, void* context)
{
    if (engine == nullptr || prompt == nullptr || notify == nullptr)
        return DKAPI_BAD_ARGUMENT;
    return postOne([&] { return dvk_dkapi_newPlayPromptMsg(engine, prompt, notify, context); });
}

int DKAPI_PickFromPhonebook(DKAPI_Handle engine, const DKAPI_PromptRequest* prompt, DKAPI_Result* result,
                            DKAPI_Notify notify, void* context, int32_t maxTimeMs)
{
    if (engine == nullptr || notify == nullptr || result == nullptr || maxTimeMs <= 0)
        return DKAPI_BAD_ARGUMENT;
    return postOne([&] { return dvk_dkapi_newRecogPhonebookMsg(engine, prompt, result, notify, context, maxTimeMs); });
}

int DKAPI_PhoneNumber(DKAPI_Handle engine, const DKAPI_PromptRequest* prompt, DKAPI_Result* result,
                      DKAPI_Notify notify, void* context, int32_t maxTimeMs)
{
    if (engine == nullptr || notify == nullptr || result == nullptr || maxTimeMs <= 0)
        return DKAPI_BAD_ARGUMENT;
    return postOne([&] { return dvk_dkapi_newRecogPhoneNumberMsg(engine, prompt, result, notify, context, maxTimeMs); });
}

int DKAPI_Digits(DKAPI_Handle engine, const DKAPI_PromptRequest* prompt, DKAPI_Result* result,
                 int32_t minimumDigits, int32_t maximumDigits, DKAPI_Notify notify, void* context,
                 int32_t maxTimeMs)
{
    if (engine == nullptr || notify == nullptr || result == nullptr || maxTimeMs <= 0)
        return DKAPI_BAD_ARGUMENT;
    return postOne([&] { return dvk_dkapi_newDigitsNumberMsg(engine, prompt, result, minimumDigits, maximumDigits, notify, context,
                                             maxTimeMs); });
}

int DKAPI_PickFromMusicLibrary(DKAPI_Handle engine, const DKAPI_PromptRequest* prompt, int32_t kind,
                               DKAPI_Result* song, DKAPI_Result* artist, DKAPI_Result* album,
                               DKAPI_Result* playlist, DKAPI_Notify notify, void* context, int32_t maxTimeMs)
{
    if (engine == nullptr || notify == nullptr || song == nullptr || artist == nullptr || album == nullptr ||
        playlist == nullptr || maxTimeMs <= 0 || kind < DKAPI_MUSIC_SONG || kind > DKAPI_MUSIC_ANY)
        return DKAPI_BAD_ARGUMENT;
    DKAPI_Result* const results[4] = {song, artist, album, playlist};
    return postOne([&] { return dvk_dkapi_newRecogMusicMsg(engine, prompt, kind, results, notify, context, maxTimeMs); });
}

int DKAPI_CreateList(DKAPI_Handle engine, const dvk_ucs2_Char* const* items, DKAPI_List* list,
                     DKAPI_Notify notify, void* context)
{
    if (engine == nullptr || items == nullptr || list == nullptr || notify == nullptr)
        return DKAPI_BAD_ARGUMENT;
    return postOne([&] { return dvk_dkapi_newCreateListMsg(engine, items, list, notify, context); });
}

int DKAPI_IsListItemValid(DKAPI_Handle engine, DKAPI_List list, int32_t index, int32_t* valid)
{
    if (engine == nullptr || list == nullptr || valid == nullptr || index < 0 || index >= list->count)
        return DKAPI_BAD_ARGUMENT;
    *valid = list->items[index].recognisable;
    return DKAPI_OK;
}

int DKAPI_PickFromList(DKAPI_Handle engine, const DKAPI_PromptRequest* prompt, DKAPI_List list,
                       DKAPI_Result* result, DKAPI_Notify notify, void* context, int32_t maxTimeMs)
{
    if (engine == nullptr || list == nullptr || result == nullptr || notify == nullptr || maxTimeMs < 1)
        return DKAPI_BAD_ARGUMENT;
    return postOne([&] { return dvk_dkapi_newPickFromListMsg(engine, prompt, list, result, notify, context, maxTimeMs); });
}

int DKAPI_StartRecogDataCapture(DKAPI_Handle engine, const DKAPI_PromptRequest* prompt, uint8_t* buffer,
                                int32_t* capturedLength, int32_t bufferLength, int32_t maxTimeMs,
                                DKAPI_Notify notify, void* context)
{
    if (engine == nullptr || buffer == nullptr || capturedLength == nullptr || bufferLength <= 0 ||
        maxTimeMs <= 0 || notify == nullptr)
        return DKAPI_BAD_ARGUMENT;
    return postOne([&] { return dvk_dkapi_newStartDataCaptureMsg(engine, prompt, buffer, capturedLength, bufferLength, maxTimeMs,
                                                 notify, context); });
}

int DKAPI_StopRecogDataCapture(DKAPI_Handle engine)
{
    if (engine == nullptr)
        return DKAPI_BAD_ARGUMENT;
    dvk_msg_Message* request = dvk_dkapi_newStopDataCaptureMsg(engine);
    if (request == nullptr)
        return DKAPI_BAD_ARGUMENT;
    dvk_msg_send(request, dvk_msg_getDvkAddr());
    return DKAPI_OK;
}

int DKAPI_GetNetworkTTS(DKAPI_Handle engine, int32_t request, int32_t option, DKAPI_Notify notify, void* context)
{
    if (engine == nullptr || request == 0 || option == 0 || notify == nullptr)
        return DKAPI_BAD_ARGUMENT;
    return postOne([&] { return dvk_dkapi_newNetworkTtsMsg(engine, request, option, notify, context); });
}

int DKAPI_DestroyNetworkTTS(DKAPI_Handle engine, int32_t request, DKAPI_Notify notify, void* context)
{
    if (engine == nullptr || request == 0 || notify == nullptr)
        return DKAPI_BAD_ARGUMENT;
    return postOne([&] { return dvk_dkapi_newDestroyNetworkTtsMsg(engine, request, notify, context); });
}
