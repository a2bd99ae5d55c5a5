#include "oem/dvk_oem_timer.h"

#include "platform/core/wex_logger.h"
#include "sdk/common/dvk_assert.h"

#include <climits>
#include <memory>

namespace {

WexLogger s_log("DvkOemTimer");

// Empty, armed or fired; releasing a slot's object cancels its timer source.
// Never destroyed: at exit the "VR" loop may still run these timers, and
// their destruction logs through loggers that may already be gone.
std::shared_ptr<DvkOemTimeout>* const timeouts =
    new std::shared_ptr<DvkOemTimeout>[DVK_OEM_TIMER_COUNT];

} // namespace

DvkOemTimeout::DvkOemTimeout(int expiration, dvk_oem_timer_TimerId timerID,
                             dvk_oem_timer_Callback callback)
    : QrvTimeout(expiration, 1), m_timerID(timerID), m_callback(callback)
{
}

DvkOemTimeout::~DvkOemTimeout() = default;

void DvkOemTimeout::expiredCallback()
{
    WEX_TRACE_FUNCTION(s_log);
    m_callback(m_timerID);
}

void DvkOemTimeout::done()
{
    WEX_TRACE_FUNCTION(s_log);
}

void dvk_oem_timer_startTimer(dvk_oem_timer_TimerId timerID, long expiration,
                              dvk_oem_timer_Callback callback)
{
    WEX_TRACE_FUNCTION(s_log);
    DVK_ASSERT(timerID >= 0 && timerID < DVK_OEM_TIMER_COUNT);
    DVK_ASSERT(expiration >= 0 && expiration <= INT_MAX);
    DVK_ASSERT(callback != NULL);
    timeouts[timerID] =
        std::make_shared<DvkOemTimeout>(static_cast<int>(expiration), timerID, callback);
}

void dvk_oem_timer_stopTimer(dvk_oem_timer_TimerId timerID)
{
    WEX_TRACE_FUNCTION(s_log);
    DVK_ASSERT(timerID >= 0 && timerID < DVK_OEM_TIMER_COUNT);
    timeouts[timerID].reset();
}
