// What the central engine's source files share. Suite thread only.
#pragma once

#include "core/ce/dvk_ce.h"
#include "platform/core/wex_logger.h"

extern dvk_ce_State* ce;

WexLogger& dvk_ce_log();

// The out-of-memory route: stops all audio and posts the report to address.
void dvk_ce_outOfMemory(dvk_msg_Address address);

// Stopping. stopAudioAndRecog answers 1 on failure.
void dvk_ce_stopAudioOutput(void);
void dvk_ce_stopAllAudio(void);
int dvk_ce_stopAudioAndRecog(void);

// Ends the current session (if any).
void dvk_ce_endCurrentSession(void);
// A message for the application goes to its address.
void dvk_ce_sendToApp(dvk_msg_Message* message);

// Handlers of the session's requests and events.
void dvk_ce_startHandler(void* data, dvk_msg_Address sender);
void dvk_ce_handleEventHandler(void* data, dvk_msg_Address sender);
void dvk_ce_startSession(void);
void dvk_ce_startTransaction(void);
void dvk_ce_startAdaptationHandler(void* data, dvk_msg_Address sender);
// One captured frame of a recognition (an event from the suite audio).
void dvk_ce_recogInputEvtHandler(void);
