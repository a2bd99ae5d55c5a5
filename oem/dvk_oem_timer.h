// One-shot timers of the porting interface: six slots, each a service timer
// on the main loop of the thread that started it (the suite's: "VR"). A slot
// keeps its timer after it has fired, until it is started again or stopped;
// starting a slot again or stopping it cancels a timer that has not fired.
// Used from one thread only.
#pragma once

#include "src/QrvTimeout.h"

typedef int dvk_oem_timer_TimerId;  // 0..5
typedef void (*dvk_oem_timer_Callback)(dvk_oem_timer_TimerId timerID);

enum : int { DVK_OEM_TIMER_COUNT = 6 };

void dvk_oem_timer_startTimer(dvk_oem_timer_TimerId timerID, long expiration,
                              dvk_oem_timer_Callback callback);
void dvk_oem_timer_stopTimer(dvk_oem_timer_TimerId timerID);

// A suite timer: fires once, expiration milliseconds after construction.
class DvkOemTimeout : public QrvTimeout {
public:
    DvkOemTimeout(int expiration, dvk_oem_timer_TimerId timerID, dvk_oem_timer_Callback callback);
    ~DvkOemTimeout() override;

    void expiredCallback() override;
    void done() override;

private:
    dvk_oem_timer_TimerId m_timerID;
    dvk_oem_timer_Callback m_callback;
};
