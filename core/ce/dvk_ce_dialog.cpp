#include "core/ce/dvk_ce_dialog.h"

#include "core/utils/dvk_ucs2.h"
#include "platform/core/wex_logger.h"
#include "sdk/common/dvk_assert.h"

#include <atomic>

namespace {

WexLogger s_log("DvkCe");

void noEngineOutOfMemory(dvk_msg_Address)
{
    s_log.log(WexLogWarning, "no engine: out of memory dropped");
}

int32_t answerOne(void)
{
    return 1;
}

int32_t answerZero(void)
{
    return 0;
}

void noEngineWaiting(int32_t)
{
    s_log.log(WexLogWarning, "no engine: waiting for the contacts update dropped");
}

void noEngineStart(void)
{
    s_log.log(WexLogWarning, "no engine: start adaptation dropped");
}

void noEngineReset(void)
{
    s_log.log(WexLogWarning, "no engine: reset adaptation dropped");
}

int noEngineEnd(int32_t)
{
    s_log.log(WexLogWarning, "no engine: end adaptation session failed");
    return 1;
}

void freePhrase(void* data)
{
    auto* phrase = static_cast<dvk_ucs2_Char*>(data);
    dvk_ucs2_destroy(&phrase);
}

// Without an engine nothing records: the phrase is dropped with its message.
void dropAdaptation(void*, dvk_msg_Address)
{
    s_log.log(WexLogWarning, "no engine: adaptation recording dropped");
}

dvk_msg_Message* newDroppingAdaptationMsg(dvk_ucs2_Char* phrase)
{
    dvk_msg_Message* message = dvk_msg_create(phrase, dropAdaptation, freePhrase);
    if (message == nullptr)
        dvk_ucs2_destroy(&phrase);
    return message;
}

const dvk_ce_DialogCalls kDefaults = {
    noEngineOutOfMemory, answerOne,     noEngineWaiting, answerOne, answerOne, answerZero,
    noEngineStart,       noEngineReset, noEngineEnd,  newDroppingAdaptationMsg,
};

std::atomic<const dvk_ce_DialogCalls*> s_calls{&kDefaults};

const dvk_ce_DialogCalls* calls()
{
    return s_calls.load();
}

}  // namespace

void dvk_ce_setDialogCalls(const dvk_ce_DialogCalls* table)
{
    s_calls.store(table != nullptr ? table : &kDefaults);
}

void dvk_ce_sessionOutOfMemory(dvk_msg_Address address)
{
    calls()->sessionOutOfMemory(address);
}

int32_t dvk_ce_updateContactsComplete(void)
{
    return calls()->updateContactsComplete();
}

void dvk_ce_setWaitingForUpdateContactsComplete(int32_t waiting)
{
    calls()->setWaitingForUpdateContactsComplete(waiting);
}

int32_t dvk_ce_contactsUpdatedSuccessfully(void)
{
    return calls()->contactsUpdatedSuccessfully();
}

int32_t dvk_ce_musicUpdatedSuccessfully(void)
{
    return calls()->musicUpdatedSuccessfully();
}

int32_t dvk_ce_isSystemAdapted(void)
{
    return calls()->isSystemAdapted();
}

void dvk_ce_startAdaptation(void)
{
    calls()->startAdaptation();
}

void dvk_ce_resetAdaptation(void)
{
    calls()->resetAdaptation();
}

int dvk_ce_endAdaptationSession(int32_t save)
{
    return calls()->endAdaptationSession(save);
}

dvk_msg_Message* dvk_ce_getStartAdaptationMsg(dvk_ucs2_Char* phrase)
{
    return calls()->getStartAdaptationMsg(phrase);
}
