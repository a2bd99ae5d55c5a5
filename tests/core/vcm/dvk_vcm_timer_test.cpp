#include "tests/core/vcm/vcm_fixture.h"

#include "core/ce/dvk_ce_dialog.h"
#include "core/ce/dvk_ce_requests.h"
#include "tests/support/vr_thread.h"

#include <atomic>

namespace {

std::atomic<int> s_events{0};
std::atomic<int> s_lastEvent{-1};
std::atomic<int> s_lastIndex{-1};
std::atomic<int> s_outOfMemory{0};

void recordEvent(void* data, dvk_msg_Address)
{
    auto* request = static_cast<dvk_ce_HandleEventRequest*>(data);
    dvk_ce_lowerPendingEventCount();
    s_lastEvent = request->event;
    s_lastIndex = request->index;
    s_events++;
}

void dropRequest(void*, dvk_msg_Address) {}

void countOutOfMemory(dvk_msg_Address)
{
    s_outOfMemory++;
}

int handleTimer(dvk_vcm_Session*, dvk_ui_Event, int32_t, dvk_msg_Message**)
{
    return 0;
}

class VcmTimerTest : public VcmTest {
protected:
    void SetUp() override
    {
        VcmTest::SetUp();
        ensureWorkQueues();
        s_events = 0;
        s_outOfMemory = 0;
        handlers = {dropRequest, dropRequest, dropRequest, dropRequest, recordEvent};
        dvk_ce_setRequestHandlers(&handlers);
        calls = {countOutOfMemory, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
        dvk_ce_setDialogCalls(&calls);
        vcms = newSession(0);
        ASSERT_NE(vcms, nullptr);
        spec = &newSpec();
        spec->etable = {{DVK_UI_EVENT_VCM_TIMER, handleTimer}};
        ASSERT_EQ(dvk_vcm_push(vcms, newScriptedModule(vcms, spec, "L", -1, false)), 0);
    }
    void TearDown() override
    {
        // The timer belongs to "VR": the session ends there.
        runOnVr([&] { dvk_vcm_endSession(&vcms); });
        drainVr();
        dvk_ce_setRequestHandlers(nullptr);
        dvk_ce_setDialogCalls(nullptr);
        VcmTest::TearDown();
    }

    dvk_ce_RequestHandlers handlers{};
    dvk_ce_DialogCalls calls{};
    ScriptedModule* spec = nullptr;
};

TEST_F(VcmTimerTest, AnExpiryPostsTheTimerEventAndAPushMakesItStale)
{
    int started = -1;
    runOnVr([&] { started = dvk_vcm_startTimer(vcms, 5); });
    ASSERT_EQ(started, 0);
    ASSERT_TRUE(waitFor([] { return s_events.load() == 1; }));
    EXPECT_EQ(s_lastEvent.load(), DVK_UI_EVENT_VCM_TIMER);
    EXPECT_EQ(s_lastIndex.load(), 0);
    int32_t before = -1, after = -1;
    runOnVr([&] {
        before = dvk_vcm_checkForEventHandler(vcms, DVK_UI_EVENT_VCM_TIMER);
        dvk_vcm_push(vcms, newScriptedModule(vcms, spec, "M", -1, false));
        after = dvk_vcm_checkForEventHandler(vcms, DVK_UI_EVENT_VCM_TIMER);
    });
    EXPECT_EQ(before, 1);
    EXPECT_EQ(after, 0);
}

TEST_F(VcmTimerTest, HandlingTheTimerEventClearsTheFlag)
{
    runOnVr([&] { ASSERT_EQ(dvk_vcm_startTimer(vcms, 5), 0); });
    ASSERT_TRUE(waitFor([] { return s_events.load() == 1; }));
    int32_t after = -1;
    runOnVr([&] {
        dvk_msg_Message* message = nullptr;
        dvk_vcm_handleEvent(vcms, DVK_UI_EVENT_VCM_TIMER, 0, &message);
        after = dvk_vcm_checkForEventHandler(vcms, DVK_UI_EVENT_VCM_TIMER);
    });
    EXPECT_EQ(after, 0);
}

TEST_F(VcmTimerTest, NoMessageForTheExpiryTakesTheOutOfMemoryRouteOnce)
{
    runOnVr([&] {
        ASSERT_EQ(dvk_vcm_startTimer(vcms, 5), 0);
        dvk_mem_failAfter(0);
    });
    ASSERT_TRUE(waitFor([] { return s_outOfMemory.load() == 1; }));
    runOnVr([] { dvk_mem_failAfter(-1); });
    drainVr();
    EXPECT_EQ(s_outOfMemory.load(), 1);
    EXPECT_EQ(s_events.load(), 0);
}

}  // namespace
