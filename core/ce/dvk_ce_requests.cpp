#include "core/ce/dvk_ce_requests.h"

#include "platform/core/wex_logger.h"
#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_mem.h"

#include <atomic>
#include <mutex>

namespace {

WexLogger s_log("DvkCe");

void freeRecord(void* record)
{
    dvk_mem_dealloc(&record);
}

void dropRequest(void*, dvk_msg_Address)
{
    s_log.log(WexLogWarning, "%s: no engine", __func__);
}

void answerAbort(void* data, dvk_msg_Address sender)
{
    auto* request = static_cast<dvk_ce_Request*>(data);
    dvk_msg_Message* answer = dvk_app_newNotifyAbortRspMsg(request->callback, request->context,
                                                           DVK_APP_SUCCESS);
    if (answer != nullptr)
        dvk_msg_send(answer, sender);
}

void answerDestroy(void* data, dvk_msg_Address sender)
{
    auto* request = static_cast<dvk_ce_Request*>(data);
    dvk_msg_Message* answer = dvk_app_newNotifyDestroyRspMsg(request->callback, request->context,
                                                             DVK_APP_SUCCESS);
    if (answer != nullptr)
        dvk_msg_send(answer, sender);
}

std::atomic<int32_t> s_pendingEvents{0};

void dropEvent(void* data, dvk_msg_Address)
{
    auto* request = static_cast<dvk_ce_HandleEventRequest*>(data);
    dvk_ce_lowerPendingEventCount();
    s_log.log(WexLogNotice, "%s: no engine for event %d index %d", __func__,
              static_cast<int>(request->event), static_cast<int>(request->index));
}

const dvk_ce_RequestHandlers kDefaults = {dropRequest, dropRequest, answerAbort, answerDestroy,
                                          dropEvent};

std::atomic<const dvk_ce_RequestHandlers*> s_handlers{&kDefaults};

// Fixed handlers of the messages: they look up the current point when they run.
void createHandler(void* data, dvk_msg_Address sender) { s_handlers.load()->create(data, sender); }
void startHandler(void* data, dvk_msg_Address sender) { s_handlers.load()->start(data, sender); }
void abortHandler(void* data, dvk_msg_Address sender) { s_handlers.load()->abort(data, sender); }
void destroyHandler(void* data, dvk_msg_Address sender) { s_handlers.load()->destroy(data, sender); }
void handleEventHandler(void* data, dvk_msg_Address sender)
{
    // A table made before the slot existed leaves it empty: the event is
    // dropped as without engine, so the pending count still comes down.
    dvk_msg_Handler handler = s_handlers.load()->handleEvent;
    (handler != nullptr ? handler : dropEvent)(data, sender);
}

dvk_msg_Message* newRequest(dvk_app_CompletionCallback callback, void* context,
                            dvk_msg_Handler handler)
{
    auto* request = static_cast<dvk_ce_Request*>(dvk_mem_alloc(sizeof(dvk_ce_Request)));
    if (request == nullptr)
        return nullptr;
    *request = dvk_ce_Request{callback, context};
    return dvk_msg_create(request, handler, freeRecord);
}

std::mutex s_oomLock;
dvk_app_CompletionCallback s_oomCallback = nullptr;
void* s_oomContext = nullptr;

} // namespace

dvk_msg_Message* dvk_ce_newCreateMsg(dvk_app_CompletionCallback callback, void* context)
{
    DVK_ASSERT(callback != DVK_NULL);
    return newRequest(callback, context, createHandler);
}

dvk_msg_Message* dvk_ce_newDestroyMsg(dvk_app_CompletionCallback callback, void* context)
{
    DVK_ASSERT(callback != DVK_NULL);
    return newRequest(callback, context, destroyHandler);
}

dvk_msg_Message* dvk_ce_newAbortMsg(dvk_app_CompletionCallback callback, void* context)
{
    DVK_ASSERT(callback != DVK_NULL);
    return newRequest(callback, context, abortHandler);
}

dvk_msg_Message* dvk_ce_newStartMsg(const dvk_app_Notifications* notifications, void* context,
                                    int32_t mode)
{
    DVK_ASSERT(notifications != DVK_NULL);
    DVK_ASSERT(notifications->notifyExit != DVK_NULL);
    DVK_ASSERT((mode >= DVK_CE_MODE_CMD_RECOG) && (mode < DVK_CE_MODE_VSEARCH));
    auto* request = static_cast<dvk_ce_StartRequest*>(dvk_mem_alloc(sizeof(dvk_ce_StartRequest)));
    if (request == nullptr)
        return nullptr;
    *request = dvk_ce_StartRequest{*notifications, context, mode, -1};
    return dvk_msg_create(request, startHandler, freeRecord);
}

dvk_msg_Message* dvk_ce_newVsearchStartMsg(const dvk_app_Notifications* notifications,
                                           void* context, int32_t vsearchScriptId)
{
    DVK_ASSERT(notifications != DVK_NULL);
    DVK_ASSERT(notifications->notifyExit != DVK_NULL);
    DVK_ASSERT(vsearchScriptId >= 0);
    auto* request = static_cast<dvk_ce_StartRequest*>(dvk_mem_alloc(sizeof(dvk_ce_StartRequest)));
    if (request == nullptr)
        return nullptr;
    *request = dvk_ce_StartRequest{*notifications, context, DVK_CE_MODE_VSEARCH, vsearchScriptId};
    return dvk_msg_create(request, startHandler, freeRecord);
}

dvk_msg_Message* dvk_ce_newHandleEventMsg(dvk_ui_Event event, int32_t index)
{
    auto* request = static_cast<dvk_ce_HandleEventRequest*>(
        dvk_mem_alloc(sizeof(dvk_ce_HandleEventRequest)));
    if (request == nullptr)
        return nullptr;
    *request = dvk_ce_HandleEventRequest{event, index};
    dvk_msg_Message* message = dvk_msg_create(request, handleEventHandler, freeRecord);
    if (message != nullptr)
        s_pendingEvents.fetch_add(1);
    return message;
}

int32_t dvk_ce_getPendingEventCount(void)
{
    return s_pendingEvents.load();
}

void dvk_ce_lowerPendingEventCount(void)
{
    // Never below 0: a handler called without a built message (a test, a
    // replacement engine) must not leave later events looking unpending.
    int32_t count = s_pendingEvents.load();
    while (count > 0 && !s_pendingEvents.compare_exchange_weak(count, count - 1)) {
    }
}

void dvk_ce_setRequestHandlers(const dvk_ce_RequestHandlers* handlers)
{
    s_handlers.store(handlers != nullptr ? handlers : &kDefaults);
}

void dvk_ce_setOutOfMemoryTarget(dvk_app_CompletionCallback callback, void* context)
{
    std::lock_guard<std::mutex> lock(s_oomLock);
    s_oomCallback = callback;
    s_oomContext = context;
}

void dvk_ce_oomHandler(void)
{
    dvk_app_CompletionCallback callback;
    void* context;
    {
        std::lock_guard<std::mutex> lock(s_oomLock);
        callback = s_oomCallback;
        context = s_oomContext;
        s_oomCallback = nullptr;
    }
    if (callback != nullptr)
        callback(DVK_APP_OUT_OF_MEMORY, context);
}
