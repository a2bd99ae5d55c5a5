#include "core/ce/dvk_ce_dialog.h"
#include "core/ce/dvk_ce_requests.h"
#include "core/vcm/dvk_vcm.h"

#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_timer.h"

namespace {

// userData: the session; its end stops the timer, so it outlives every call.
void timerCB(int timerID, void* userData)
{
    DVK_ASSERT(timerID == DVK_TIMER_VCM);
    dvk_msg_Message* message = dvk_ce_newHandleEventMsg(DVK_UI_EVENT_VCM_TIMER, 0);
    if (message == nullptr) {
        dvk_ce_sessionOutOfMemory(static_cast<dvk_vcm_Session*>(userData)->uiThreadAddr);
        return;
    }
    dvk_msg_send(message, dvk_msg_getDvkAddr());
}

}  // namespace

int dvk_vcm_startTimer(dvk_vcm_Session* vcms, long ms)
{
    DVK_ASSERT(vcms != DVK_NULL);
    DVK_ASSERT(ms > 0);
    // The flag only stands for a timer that really runs.
    if (dvk_timer_startTimer(DVK_TIMER_VCM, ms, timerCB, vcms) != 0)
        return 1;
    vcms->timerRunning = 1;
    return 0;
}

void dvk_vcm_stopTimer(dvk_vcm_Session* vcms)
{
    DVK_ASSERT(vcms != DVK_NULL);
    if (vcms->timerRunning == 0)
        return;
    dvk_timer_stopTimer(DVK_TIMER_VCM);
    vcms->timerRunning = 0;
}
