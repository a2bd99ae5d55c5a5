// The engine calls the dialog layer makes besides its requests: the
// out-of-memory route, the phonebook and music rebuild flags and the
// adaptation steps. One replaceable table carries them, so the engine installs
// its own and tests script them; until then the defaults answer as a service
// without an engine would.
#pragma once

#include "sdk/common/dvk_msg.h"
#include "sdk/common/dvk_types.h"

#include <cstdint>

struct dvk_ce_DialogCalls {
    void (*sessionOutOfMemory)(dvk_msg_Address address);
    int32_t (*updateContactsComplete)(void);
    void (*setWaitingForUpdateContactsComplete)(int32_t waiting);
    int32_t (*contactsUpdatedSuccessfully)(void);
    int32_t (*musicUpdatedSuccessfully)(void);
    int32_t (*isSystemAdapted)(void);
    void (*startAdaptation)(void);
    void (*resetAdaptation)(void);
    int (*endAdaptationSession)(int32_t save);
    dvk_msg_Message* (*getStartAdaptationMsg)(dvk_ucs2_Char* phrase);
};
// NULL restores the defaults. Every slot must be filled.
void dvk_ce_setDialogCalls(const dvk_ce_DialogCalls* calls);

// Stops the audio and reports out of memory to the requester at address.
void dvk_ce_sessionOutOfMemory(dvk_msg_Address address);
// 1 when no grammar rebuild runs (also without engine), 0 while one runs.
int32_t dvk_ce_updateContactsComplete(void);
void dvk_ce_setWaitingForUpdateContactsComplete(int32_t waiting);
// The last rebuild's flags; 1 without engine.
int32_t dvk_ce_contactsUpdatedSuccessfully(void);
int32_t dvk_ce_musicUpdatedSuccessfully(void);
// 0 without engine.
int32_t dvk_ce_isSystemAdapted(void);
void dvk_ce_startAdaptation(void);
void dvk_ce_resetAdaptation(void);
// 0, or 1 on any failure (also without engine).
int dvk_ce_endAdaptationSession(int32_t save);
// A message for the suite thread that records phrase (taken over, freed with
// the message); NULL when memory is short (phrase freed).
dvk_msg_Message* dvk_ce_getStartAdaptationMsg(dvk_ucs2_Char* phrase);
