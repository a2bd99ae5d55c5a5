#include "core/dkapi/dvk_dkapi_requests.h"

#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_mem.h"

#include <atomic>
#include <cstring>
#include <mutex>

namespace {

const int32_t kMaxItems = 100;

std::atomic<int32_t> s_opInProgress{0};

std::mutex s_oomLock;
DKAPI_Notify s_oomNotify = nullptr;
void* s_oomContext = nullptr;

struct Notification {
    DKAPI_Notify notify;
    int32_t status;
    void* context;
};

void freeItems(dvk_ucs2_Char*** items)
{
    if (*items == nullptr)
        return;
    for (dvk_ucs2_Char** item = *items; *item != nullptr; ++item)
        dvk_ucs2_destroy(item);
    dvk_mem_dealloc(items);
}

void freeRequest(void* data)
{
    auto* request = static_cast<dvk_dkapi_Request*>(data);
    freeItems(&request->items);
    dvk_mem_dealloc(&request);
}

// A cleared record with the prompt copied (none given: hasPrompt 0) and the
// notification; NULL when memory is short.
dvk_dkapi_Request* newRequest(const DKAPI_PromptRequest* prompt, DKAPI_Notify notify, void* context)
{
    auto* request = static_cast<dvk_dkapi_Request*>(dvk_mem_alloc(sizeof(dvk_dkapi_Request)));
    if (request == nullptr)
        return nullptr;
    std::memset(request, 0, sizeof(*request));
    if (prompt != nullptr) {
        request->hasPrompt = 1;
        request->prompt = *prompt;
    }
    request->notify = notify;
    request->context = context;
    return request;
}

dvk_msg_Message* send(dvk_dkapi_Request* request, dvk_msg_Handler handler)
{
    if (request == nullptr)
        return nullptr;
    dvk_dkapi_setOutOfMemoryTarget(request->notify, request->context);
    return dvk_msg_create(request, handler, freeRequest);
}

dvk_msg_Message* listening(DKAPI_Handle engine, const DKAPI_PromptRequest* prompt, DKAPI_Result* result,
                           DKAPI_Notify notify, void* context, int32_t maxTimeMs, dvk_msg_Handler handler)
{
    dvk_dkapi_Request* request = newRequest(prompt, notify, context);
    if (request != nullptr) {
        request->engine = engine;
        request->results[0] = result;
        request->maxTimeMs = maxTimeMs;
    }
    return send(request, handler);
}

// Copies of at most 100 texts, null-ended; NULL when memory is short.
dvk_ucs2_Char** copyItems(const dvk_ucs2_Char* const* items)
{
    int32_t count = 0;
    while (count < kMaxItems && items[count] != nullptr)
        ++count;
    auto** copies = static_cast<dvk_ucs2_Char**>(dvk_mem_alloc(sizeof(dvk_ucs2_Char*) * (count + 1)));
    if (copies == nullptr)
        return nullptr;
    std::memset(copies, 0, sizeof(dvk_ucs2_Char*) * (count + 1));
    for (int32_t i = 0; i < count; ++i) {
        if ((copies[i] = dvk_ucs2_createCopy(items[i])) == nullptr) {
            freeItems(&copies);
            return nullptr;
        }
    }
    return copies;
}

}  // namespace

dvk_msg_Message* dvk_dkapi_newCreateMsg(DKAPI_Handle* handle, dvk_lang_Language language, DKAPI_Notify notify,
                                        void* context)
{
    dvk_dkapi_Request* request = newRequest(nullptr, notify, context);
    if (request != nullptr) {
        request->handle = handle;
        request->language = language;
    }
    return send(request, createDKAPIHandler);
}

dvk_msg_Message* dvk_dkapi_newDestroyMsg(DKAPI_Handle* handle, DKAPI_Notify notify, void* context)
{
    dvk_dkapi_Request* request = newRequest(nullptr, notify, context);
    if (request != nullptr)
        request->handle = handle;
    return send(request, destroyDKAPIHandler);
}

dvk_msg_Message* dvk_dkapi_newAbortMsg(DKAPI_Notify notify, void* context)
{
    return send(newRequest(nullptr, notify, context), abortDKAPIHandler);
}

dvk_msg_Message* dvk_dkapi_newPlayPromptMsg(DKAPI_Handle engine, const DKAPI_PromptRequest* prompt,
                                            DKAPI_Notify notify, void* context)
{
    dvk_dkapi_Request* request = newRequest(prompt, notify, context);
    if (request != nullptr)
        request->engine = engine;
    return send(request, playPromptDKAPIHandler);
}

dvk_msg_Message* dvk_dkapi_newRecogPhonebookMsg(DKAPI_Handle engine, const DKAPI_PromptRequest* prompt,
                                                DKAPI_Result* result, DKAPI_Notify notify, void* context,
                                                int32_t maxTimeMs)
{
    return listening(engine, prompt, result, notify, context, maxTimeMs, recogPhonebookDKAPIHandler);
}

dvk_msg_Message* dvk_dkapi_newRecogPhoneNumberMsg(DKAPI_Handle engine, const DKAPI_PromptRequest* prompt,
                                                  DKAPI_Result* result, DKAPI_Notify notify, void* context,
                                                  int32_t maxTimeMs)
{
    return listening(engine, prompt, result, notify, context, maxTimeMs, recogPhoneNumberDKAPIHandler);
}

dvk_msg_Message* dvk_dkapi_newDigitsNumberMsg(DKAPI_Handle engine, const DKAPI_PromptRequest* prompt,
                                              DKAPI_Result* result, int32_t minimumDigits, int32_t maximumDigits,
                                              DKAPI_Notify notify, void* context, int32_t maxTimeMs)
{
    dvk_dkapi_Request* request = newRequest(prompt, notify, context);
    if (request != nullptr) {
        request->engine = engine;
        request->results[0] = result;
        request->minimumDigits = minimumDigits;
        request->maximumDigits = maximumDigits;
        request->maxTimeMs = maxTimeMs;
    }
    return send(request, recogDigitsDKAPIHandler);
}

dvk_msg_Message* dvk_dkapi_newRecogMusicMsg(DKAPI_Handle engine, const DKAPI_PromptRequest* prompt, int32_t kind,
                                            DKAPI_Result* const results[4], DKAPI_Notify notify, void* context,
                                            int32_t maxTimeMs)
{
    dvk_dkapi_Request* request = newRequest(prompt, notify, context);
    if (request != nullptr) {
        request->engine = engine;
        request->musicKind = kind;
        for (int i = 0; i < 4; ++i)
            request->results[i] = results[i];
        request->maxTimeMs = maxTimeMs;
    }
    return send(request, recogMusicDKAPIHandler);
}

dvk_msg_Message* dvk_dkapi_newCreateListMsg(DKAPI_Handle engine, const dvk_ucs2_Char* const* items,
                                            DKAPI_List* listHandle, DKAPI_Notify notify, void* context)
{
    DVK_ASSERT(items != DVK_NULL);
    dvk_dkapi_Request* request = newRequest(nullptr, notify, context);
    if (request == nullptr)
        return nullptr;
    request->engine = engine;
    request->listHandle = listHandle;
    request->items = copyItems(items);
    if (request->items == nullptr) {
        freeRequest(request);
        return nullptr;
    }
    return send(request, createListDKAPIHandler);
}

dvk_msg_Message* dvk_dkapi_newPickFromListMsg(DKAPI_Handle engine, const DKAPI_PromptRequest* prompt,
                                              DKAPI_List list, DKAPI_Result* result, DKAPI_Notify notify,
                                              void* context, int32_t maxTimeMs)
{
    dvk_dkapi_Request* request = newRequest(prompt, notify, context);
    if (request != nullptr) {
        request->engine = engine;
        request->list = list;
        request->results[0] = result;
        request->maxTimeMs = maxTimeMs;
    }
    return send(request, pickFromListDKAPIHandler);
}

dvk_msg_Message* dvk_dkapi_newStartDataCaptureMsg(DKAPI_Handle engine, const DKAPI_PromptRequest* prompt,
                                                  uint8_t* buffer, int32_t* capturedLength, int32_t bufferLength,
                                                  int32_t maxTimeMs, DKAPI_Notify notify, void* context)
{
    dvk_dkapi_Request* request = newRequest(prompt, notify, context);
    if (request != nullptr) {
        request->engine = engine;
        request->buffer = buffer;
        request->capturedLength = capturedLength;
        request->bufferLength = bufferLength;
        request->maxTimeMs = maxTimeMs;
    }
    return send(request, startDataCaptureDKAPIHandler);
}

dvk_msg_Message* dvk_dkapi_newStopDataCaptureMsg(DKAPI_Handle engine)
{
    // No notification of its own: the capture's answers.
    dvk_dkapi_Request* request = newRequest(nullptr, nullptr, nullptr);
    if (request == nullptr)
        return nullptr;
    request->engine = engine;
    return dvk_msg_create(request, stopDataCaptureDKAPIHandler, freeRequest);
}

dvk_msg_Message* dvk_dkapi_newNetworkTtsMsg(DKAPI_Handle engine, int32_t request, int32_t option,
                                            DKAPI_Notify notify, void* context)
{
    dvk_dkapi_Request* record = newRequest(nullptr, notify, context);
    if (record != nullptr) {
        record->engine = engine;
        record->words[0] = request;
        record->words[1] = option;
    }
    return send(record, networkTtsDKAPIHandler);
}

dvk_msg_Message* dvk_dkapi_newDestroyNetworkTtsMsg(DKAPI_Handle engine, int32_t request, DKAPI_Notify notify,
                                                   void* context)
{
    dvk_dkapi_Request* record = newRequest(nullptr, notify, context);
    if (record != nullptr) {
        record->engine = engine;
        record->words[0] = request;
    }
    return send(record, destroyNetworkTtsDKAPIHandler);
}

void notifyHandler(void* data, dvk_msg_Address)
{
    auto* p = static_cast<Notification*>(data);
    DVK_ASSERT(p != ((void*)0));
    DVK_ASSERT(p->notify != ((void*)0));
    const Notification copy = *p;
    dvk_mem_dealloc(&p);
    dvk_dkapi_setBusy(0);
    copy.notify(copy.status, copy.context);
}

dvk_msg_Message* dvk_dkapi_newNotifyMsg(DKAPI_Notify notify, int32_t status, void* context)
{
    auto* record = static_cast<Notification*>(dvk_mem_alloc(sizeof(Notification)));
    if (record == nullptr)
        return nullptr;
    *record = Notification{notify, status, context};
    // The handler takes the record over and frees it before calling back.
    dvk_msg_Message* message = dvk_msg_create(record, notifyHandler, nullptr);
    if (message == nullptr)
        dvk_mem_dealloc(&record);
    return message;
}

bool dvk_dkapi_notify(DKAPI_Notify notify, int32_t status, void* context, dvk_msg_Address address)
{
    dvk_msg_Message* message = dvk_dkapi_newNotifyMsg(notify, status, context);
    if (message == nullptr)
        return false;
    dvk_msg_send(message, address);
    return true;
}

int32_t dvk_dkapi_isBusy(void)
{
    return s_opInProgress.load();
}

void dvk_dkapi_setBusy(int32_t busy)
{
    s_opInProgress.store(busy != 0 ? 1 : 0);
}

bool dvk_dkapi_tryTakeBusy(void)
{
    int32_t idle = 0;
    return s_opInProgress.compare_exchange_strong(idle, 1);
}

void dvk_dkapi_setOutOfMemoryTarget(DKAPI_Notify notify, void* context)
{
    std::lock_guard<std::mutex> lock(s_oomLock);
    s_oomNotify = notify;
    s_oomContext = context;
}

void dvk_dkapi_oomHandler(void)
{
    DKAPI_Notify notify;
    void* context;
    {
        std::lock_guard<std::mutex> lock(s_oomLock);
        notify = s_oomNotify;
        context = s_oomContext;
    }
    if (notify != nullptr)
        notify(3, context);
}
