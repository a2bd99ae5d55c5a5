// The service's notification table handed to the suite's start call: an
// exit ends the service, a call launches the phone application with the
// number and then ends it; the other completed commands are only traced.
// The callbacks run on "UI" and post the service's actions to "UI" again.
#pragma once

#include "core/ce/dvk_app.h"

extern const dvk_app_Notifications dvkCallbacks;

void dvk_notifyExit(dvk_app_CompletionCode code, void* context);
void dvk_NotifyCallCmd(const dvk_ucs2_Char* name, const dvk_ucs2_Char* location,
                       const dvk_ucs2_Char* number, void* context);
void dvk_NotifySendCmd(const dvk_ucs2_Char* text1, const dvk_ucs2_Char* text2,
                       const dvk_ucs2_Char* text3, const dvk_ucs2_Char* text4,
                       dvk_app_MessageType type, void* context);
void dvk_NotifyLookupCmd(const dvk_ucs2_Char* name, dvk_app_LookupMode mode, void* context);
void dvk_NotifyConnectToCmd(const dvk_ucs2_Char* text, void* context);
void dvk_NotifyGoToCmd(const dvk_ucs2_Char* name, int32_t applicationContext, void* context);
void dvk_NotifyGoToCalendarCmd(dvk_app_GoToCalendarMode mode, void* context);
void dvk_NotifyPlayCmd(const dvk_ucs2_Char* song, const dvk_ucs2_Char* artist,
                       const dvk_ucs2_Char* album, const dvk_ucs2_Char* playlist,
                       int32_t songContext, int32_t artistContext, int32_t albumContext,
                       int32_t playlistContext, void* context);
void dvk_NotifyCheckCmd(dvk_app_CheckItem item, void* context);

// The porting interface's version text: none.
const char* dvk_app_Version();
