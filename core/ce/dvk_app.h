// The suite's application interface. Entry points run on the application's
// thread and only post a request to the suite thread; every answer comes
// back as a message whose handler calls the application's callback on the
// application's thread.
#pragma once

#include "sdk/common/dvk_types.h"

#include <cstdint>

enum dvk_app_CompletionCode : int32_t {
    DVK_APP_SUCCESS = 0,
    DVK_APP_ABORTED = 1,
    DVK_APP_TIMED_OUT = 2,
    DVK_APP_INVALID_LANGUAGE = 3,
    DVK_APP_OUT_OF_MEMORY = 4,
    DVK_APP_CANCELLED = 5,
    DVK_APP_INCOMPLETE = 6,           // create: a full rebuild runs; 0 follows
    DVK_APP_ALREADY_CREATED = 7,
    DVK_APP_ALWAYS_AVAILABLE_EXIT = 8,
};

// Carried, not interpreted: fixed by the dialog modules and the application.
typedef int32_t dvk_app_MessageType;
typedef int32_t dvk_app_LookupMode;
typedef int32_t dvk_app_GoToCalendarMode;
typedef int32_t dvk_app_CheckItem;

typedef void (*dvk_app_CompletionCallback)(dvk_app_CompletionCode code, void* context);
typedef dvk_app_CompletionCallback dvk_app_NotifyExit;
typedef void (*dvk_app_NotifyCallCmd)(const dvk_ucs2_Char* name, const dvk_ucs2_Char* location,
                                      const dvk_ucs2_Char* number, void* context);
typedef void (*dvk_app_NotifySendCmd)(const dvk_ucs2_Char* text1, const dvk_ucs2_Char* text2,
                                      const dvk_ucs2_Char* text3, const dvk_ucs2_Char* text4,
                                      dvk_app_MessageType type, void* context);
typedef void (*dvk_app_NotifyLookupCmd)(const dvk_ucs2_Char* name, dvk_app_LookupMode mode,
                                        void* context);
typedef void (*dvk_app_NotifyConnectToCmd)(const dvk_ucs2_Char* text, void* context);
typedef void (*dvk_app_NotifyGoToCmd)(const dvk_ucs2_Char* name, int32_t applicationContext,
                                      void* context);
typedef void (*dvk_app_NotifyGoToCalendarCmd)(dvk_app_GoToCalendarMode mode, void* context);
typedef void (*dvk_app_NotifyPlayCmd)(const dvk_ucs2_Char* song, const dvk_ucs2_Char* artist,
                                      const dvk_ucs2_Char* album, const dvk_ucs2_Char* playlist,
                                      int32_t songContext, int32_t artistContext,
                                      int32_t albumContext, int32_t playlistContext,
                                      void* context);
typedef void (*dvk_app_NotifyAddContactCmd)(const dvk_ucs2_Char* text1,
                                            const dvk_ucs2_Char* text2,
                                            const dvk_ucs2_Char* text3, void* context);
typedef void (*dvk_app_NotifyCheckCmd)(dvk_app_CheckItem item, void* context);
typedef void (*dvk_app_NotifyLaunchUrlCmd)(const dvk_ucs2_Char* text, void* context);
typedef void (*dvk_app_NotifyContextOnly)(void* context);
typedef void (*dvk_app_NotifyHelpCmd)(const dvk_ucs2_Char* topic, int32_t word, void* context);

// The 14 notification slots, in slot order.
struct dvk_app_Notifications {
    dvk_app_NotifyExit notifyExit;                      // 0, required
    dvk_app_NotifyCallCmd notifyCallCmd;                // 1
    dvk_app_NotifySendCmd notifySendCmd;                // 2
    dvk_app_NotifyLookupCmd notifyLookupCmd;            // 3
    dvk_app_NotifyConnectToCmd notifyConnectToCmd;      // 4
    dvk_app_NotifyGoToCmd notifyGoToCmd;                // 5
    dvk_app_NotifyGoToCalendarCmd notifyGoToCalendarCmd;  // 6
    dvk_app_NotifyPlayCmd notifyPlayCmd;                // 7
    dvk_app_NotifyAddContactCmd notifyAddContactCmd;    // 8
    dvk_app_NotifyCheckCmd notifyCheckCmd;              // 9
    dvk_app_NotifyLaunchUrlCmd notifyLaunchUrlCmd;      // 10
    dvk_app_NotifyContextOnly notifySearchCmd;          // 11
    dvk_app_NotifyContextOnly notifyMyAccountCmd;       // 12
    dvk_app_NotifyHelpCmd notifyHelpCmd;                // 13
};

// Entry points: 0 posted, 1 bad argument (nothing posted), 2 the request
// could not be built (out of memory).
int dvk_app_create(dvk_app_CompletionCallback callback, void* context);
int dvk_app_destroy(dvk_app_CompletionCallback callback, void* context);
int dvk_app_abort(dvk_app_CompletionCallback callback, void* context);
int dvk_app_startCmdRecog(const dvk_app_Notifications* notifications, void* context);
int dvk_app_startSettingsMenu(const dvk_app_Notifications* notifications, void* context);
int dvk_app_startAdaptationMenu(dvk_app_NotifyExit notifyExit, void* context);
int dvk_app_startVoiceModeMenu(dvk_app_NotifyExit notifyExit, void* context);
int dvk_app_startVoiceModeEnrollment(dvk_app_NotifyExit notifyExit, void* context);
int dvk_app_startVoiceModeTutorial(dvk_app_NotifyExit notifyExit, void* context);
int dvk_app_startVoiceModeReset(dvk_app_NotifyExit notifyExit, void* context);
int dvk_app_startConnectedServicesOnly(const dvk_app_Notifications* notifications, void* context);
int dvk_app_startVsearch(const dvk_app_Notifications* notifications, void* context,
                         int32_t vsearchScriptId);

struct dvk_msg_Message;

// Answers, built on the suite thread and sent to the application's address.
// Texts are copied; NULL when memory is short (nothing left behind). The
// handler calls the callback with the arguments in order; an answer whose
// callback is null is logged and dropped.
dvk_msg_Message* dvk_app_newNotifyCreateRspMsg(dvk_app_CompletionCallback callback, void* context,
                                               dvk_app_CompletionCode code);
dvk_msg_Message* dvk_app_newNotifyAbortRspMsg(dvk_app_CompletionCallback callback, void* context,
                                              dvk_app_CompletionCode code);
// Its record is freed before the callback runs.
dvk_msg_Message* dvk_app_newNotifyDestroyRspMsg(dvk_app_CompletionCallback callback,
                                                void* context, dvk_app_CompletionCode code);
dvk_msg_Message* dvk_app_newNotifyExitRspMsg(dvk_app_NotifyExit callback,
                                             dvk_app_CompletionCode code, void* context);
// The number is required; without a name the location is dropped too.
dvk_msg_Message* dvk_app_newNotifyCallCmdRspMsg(dvk_app_NotifyCallCmd callback,
                                                const dvk_ucs2_Char* name,
                                                const dvk_ucs2_Char* location,
                                                const dvk_ucs2_Char* number, void* context);
// One shape is kept, the first that matches: text4 alone; text1-text3 (all
// required then); text3 alone; nothing.
dvk_msg_Message* dvk_app_newNotifySendCmdRspMsg(dvk_app_NotifySendCmd callback,
                                                const dvk_ucs2_Char* text1,
                                                const dvk_ucs2_Char* text2,
                                                const dvk_ucs2_Char* text3,
                                                const dvk_ucs2_Char* text4,
                                                dvk_app_MessageType type, void* context);
dvk_msg_Message* dvk_app_newNotifyLookupCmdRspMsg(dvk_app_NotifyLookupCmd callback,
                                                  const dvk_ucs2_Char* name,
                                                  dvk_app_LookupMode mode, void* context);
dvk_msg_Message* dvk_app_newNotifyGoToCmdRspMsg(dvk_app_NotifyGoToCmd callback,
                                                const dvk_ucs2_Char* name,
                                                int32_t applicationContext, void* context);
dvk_msg_Message* dvk_app_newNotifyGoToCalendarCmdRspMsg(dvk_app_NotifyGoToCalendarCmd callback,
                                                        dvk_app_GoToCalendarMode mode,
                                                        void* context);
dvk_msg_Message* dvk_app_newNotifyCheckCmdRspMsg(dvk_app_NotifyCheckCmd callback,
                                                 dvk_app_CheckItem item, void* context);
// All four texts required.
dvk_msg_Message* dvk_app_newNotifyPlayCmdRspMsg(dvk_app_NotifyPlayCmd callback,
                                                const dvk_ucs2_Char* song,
                                                const dvk_ucs2_Char* artist,
                                                const dvk_ucs2_Char* album,
                                                const dvk_ucs2_Char* playlist, int32_t songContext,
                                                int32_t artistContext, int32_t albumContext,
                                                int32_t playlistContext, void* context);
dvk_msg_Message* dvk_app_newNotifyHelpCmdRspMsg(dvk_app_NotifyHelpCmd callback,
                                                const dvk_ucs2_Char* topic, int32_t word,
                                                void* context);
dvk_msg_Message* dvk_app_newNotifyAddContactCmdRspMsg(dvk_app_NotifyAddContactCmd callback,
                                                      const dvk_ucs2_Char* text1,
                                                      const dvk_ucs2_Char* text2,
                                                      const dvk_ucs2_Char* text3, void* context);
dvk_msg_Message* dvk_app_newNotifyLaunchUrlCmdRspMsg(dvk_app_NotifyLaunchUrlCmd callback,
                                                     const dvk_ucs2_Char* text, void* context);
dvk_msg_Message* dvk_app_newNotifySearchCmdRspMsg(dvk_app_NotifyContextOnly callback,
                                                  void* context);
dvk_msg_Message* dvk_app_newNotifyMyAccountCmdRspMsg(dvk_app_NotifyContextOnly callback,
                                                     void* context);
