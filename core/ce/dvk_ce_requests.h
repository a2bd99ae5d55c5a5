// The requests the application interface posts to the central engine, the
// one replaceable point where the engine takes them, and the out-of-memory
// target that reports a failure to the last requester.
#pragma once

#include "core/ce/dvk_app.h"
#include "sdk/common/dvk_msg.h"
#include "sdk/common/dvk_ui_types.h"

#include <cstdint>

enum : int32_t {
    DVK_CE_MODE_CMD_RECOG = 0,
    DVK_CE_MODE_SETTINGS_MENU = 1,
    DVK_CE_MODE_ADAPTATION_MENU = 2,
    DVK_CE_MODE_VOICE_MODE_MENU = 3,
    DVK_CE_MODE_ENROLLMENT = 4,
    DVK_CE_MODE_TUTORIAL = 5,
    DVK_CE_MODE_RESET = 6,
    DVK_CE_MODE_CONNECTED_SERVICES = 7,
    DVK_CE_MODE_VSEARCH = 8,
};

// Create, destroy and abort.
struct dvk_ce_Request {
    dvk_app_CompletionCallback callback;
    void* context;
};

struct dvk_ce_StartRequest {
    dvk_app_Notifications notifications;  // a copy
    void* context;
    int32_t mode;
    int32_t vsearchScriptId;  // -1 but for mode 8
};

// A UI event and its item index, for the current dialog module.
struct dvk_ce_HandleEventRequest {
    dvk_ui_Event event;
    int32_t index;
};

// Messages owning their record (freed after the handler: a handler copies
// what it keeps); NULL when memory is short. A missing callback or exit
// slot is a programming error.
dvk_msg_Message* dvk_ce_newCreateMsg(dvk_app_CompletionCallback callback, void* context);
dvk_msg_Message* dvk_ce_newDestroyMsg(dvk_app_CompletionCallback callback, void* context);
dvk_msg_Message* dvk_ce_newAbortMsg(dvk_app_CompletionCallback callback, void* context);
dvk_msg_Message* dvk_ce_newStartMsg(const dvk_app_Notifications* notifications, void* context,
                                    int32_t mode);
dvk_msg_Message* dvk_ce_newVsearchStartMsg(const dvk_app_Notifications* notifications,
                                           void* context, int32_t vsearchScriptId);
// Built on any thread; a built message counts the event as pending until
// the engine's handler takes it.
dvk_msg_Message* dvk_ce_newHandleEventMsg(dvk_ui_Event event, int32_t index);

// UI events built and not yet taken by the handler. Every handler of the
// event message lowers the count once, whatever it then does with the
// event: a menu readout is left out while another event waits.
int32_t dvk_ce_getPendingEventCount(void);
void dvk_ce_lowerPendingEventCount(void);

// Where the requests go on the suite thread (data: the request, sender: the
// application's address). Until the engine is built the defaults drop create
// and start ("no engine"), answer abort and destroy with 0, and drop UI
// events (lowering the pending count).
struct dvk_ce_RequestHandlers {
    dvk_msg_Handler create;
    dvk_msg_Handler start;
    dvk_msg_Handler abort;
    dvk_msg_Handler destroy;
    dvk_msg_Handler handleEvent;  // data: dvk_ce_HandleEventRequest
};
// NULL restores the defaults.
void dvk_ce_setRequestHandlers(const dvk_ce_RequestHandlers* handlers);

// The last requester's callback and context, one pair.
void dvk_ce_setOutOfMemoryTarget(dvk_app_CompletionCallback callback, void* context);
// The bare event posted to the application's address on an out-of-memory
// failure: calls the target with 4 and clears it (a second report calls
// nothing).
void dvk_ce_oomHandler(void);
