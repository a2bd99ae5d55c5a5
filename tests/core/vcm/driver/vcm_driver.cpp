#include "tests/core/vcm/driver/vcm_driver.h"

#include "core/ce/dvk_ce_requests.h"

namespace {

bool listens(dvk_vcm_Session* vcms)
{
    return dvk_vcm_current(vcms)->vtable->GetConstraints != nullptr;
}

// A message from a handler goes to the application.
void deliver(dvk_msg_Message* message)
{
    if (message != nullptr)
        dvk_msg_receive(message);
}

bool startsStep(dvk_ui_Event event)
{
    return event != DVK_UI_EVENT_SET_FOCUS && event != DVK_UI_EVENT_VCM_TIMER;
}

// The loop; newStep: a step starts on the module now on top.
void run(VcmDriver* driver, bool newStep)
{
    if (driver->stopOnFailure && driver->lastResult != 0)
        return;
    while (dvk_vcm_done(driver->vcms) == 0) {
        if (newStep && driver->beginStep && !driver->beginStep(driver))
            return;
        if (dvk_vcm_done(driver->vcms) != 0 || listens(driver->vcms))
            return;
        dvk_msg_Message* message = nullptr;
        dvk_msg_Address recipient = nullptr;
        // The driver stands for the application's address, so a message for
        // it is told from one for the suite even before "VR" runs.
        dvk_vcm_getContinuation(driver->vcms, &message, &recipient, driver);
        if (message == nullptr)
            return;
        newStep = false;
        if (recipient == driver || recipient != dvk_msg_getDvkAddr()) {
            deliver(message);
            continue;
        }
        // A message to the suite is the engine's event message.
        auto request = *static_cast<dvk_ce_HandleEventRequest*>(message->msgData);
        dvk_msg_destroy(&message);
        dvk_ce_lowerPendingEventCount();
        driver->postedEvents.push_back(request.event);
        dvk_msg_Message* reply = nullptr;
        if (dvk_vcm_checkForEventHandler(driver->vcms, request.event) != 0) {
            driver->lastResult = dvk_vcm_handleEvent(driver->vcms, request.event, request.index, &reply);
            newStep = startsStep(request.event);
        }
        deliver(reply);
        if (driver->stopOnFailure && driver->lastResult != 0)
            return;
    }
}

}  // namespace

void vcmDriverEvent(VcmDriver* driver, dvk_ui_Event event, int32_t index)
{
    dvk_msg_Message* message = nullptr;
    bool handled = false;
    if (dvk_vcm_checkForEventHandler(driver->vcms, event) != 0) {
        driver->lastResult = dvk_vcm_handleEvent(driver->vcms, event, index, &message);
        handled = true;
    }
    deliver(message);
    run(driver, handled && startsStep(event));
}

void vcmDriverResult(VcmDriver* driver, dvk_nbest_List* nbest)
{
    dvk_msg_Message* message = nullptr;
    driver->lastResult = dvk_vcm_handleResult(driver->vcms, nbest, &message);
    deliver(message);
    run(driver, true);
}

void vcmDriverRun(VcmDriver* driver)
{
    run(driver, false);
}

void vcmDriverStep(VcmDriver* driver)
{
    run(driver, true);
}
