#include "sdk/common/dvk_timer.h"

#include "oem/dvk_oem_timer.h"
#include "sdk/common/dvk_mem.h"
#include "tests/support/vr_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

struct Fired {
    int timerID;
    void* userData;
};

std::vector<Fired> s_fired;  // written on "VR", read after a drain

void record(int timerID, void* userData)
{
    s_fired.push_back({timerID, userData});
}

int s_tag[4];

void restartOnce(int timerID, void* userData)
{
    record(timerID, userData);
    if (userData == &s_tag[0]) {
        EXPECT_EQ(dvk_timer_startTimer(timerID, 5, record, &s_tag[1]), 0);
    }
}

class TimerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ensureWorkQueues();
        runOnVr([] { s_fired.clear(); });
    }
    void TearDown() override
    {
        dvk_mem_failAfter(-1);
        runOnVr([] {
            for (int id = 0; id < DVK_TIMER_MAX; ++id)
                dvk_timer_stopTimer(id);
        });
        drainVr();
    }

    static dvk_timer_SlotState state(int id)
    {
        dvk_timer_SlotState s{};
        runOnVr([&] { s = dvk_timer_getSlotState(id); });
        return s;
    }

    static std::vector<Fired> fired()
    {
        std::vector<Fired> copy;
        runOnVr([&] { copy = s_fired; });
        return copy;
    }

    static void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

void expectIdle(const dvk_timer_SlotState& s)
{
    EXPECT_FALSE(s.hasRecord);
    EXPECT_EQ(s.active, 0);
}

TEST_F(TimerTest, ExpiryCallsBackOnceAndLeavesTheSlotIdle)
{
    dvk_timer_SlotState running{};
    runOnVr([&] {
        EXPECT_EQ(dvk_timer_startTimer(1, 20, record, &s_tag[0]), 0);
        running = dvk_timer_getSlotState(1);
    });
    EXPECT_TRUE(running.hasRecord);
    EXPECT_EQ(running.active, 1);
    EXPECT_EQ(running.stopping, 0);
    ASSERT_TRUE(waitFor([] { return fired().size() == 1; }));
    sleepMs(40);
    std::vector<Fired> f = fired();
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].timerID, 1);
    EXPECT_EQ(f[0].userData, &s_tag[0]);
    expectIdle(state(1));
}

TEST_F(TimerTest, StopBeforeExpiryGoesThroughStoppingToIdle)
{
    runOnVr([] {
        ASSERT_EQ(dvk_timer_startTimer(0, 30, record, nullptr), 0);
        dvk_timer_stopTimer(0);
        dvk_timer_SlotState s = dvk_timer_getSlotState(0);
        EXPECT_TRUE(s.hasRecord);
        EXPECT_EQ(s.active, 0);
        EXPECT_EQ(s.stopping, 1);
        dvk_timer_stopTimer(3);  // never started: nothing
    });
    drainVr();
    expectIdle(state(0));
    sleepMs(60);
    EXPECT_TRUE(fired().empty());
}

// The expiry is already queued behind the current step when the stop or the
// restart comes: it never reaches the callback; a restart fires once, with
// its own values.
TEST_F(TimerTest, StaleExpiryNeverReachesTheCallback)
{
    for (const bool restart : {false, true}) {
        const int id = restart ? 5 : 4;
        std::atomic<bool> checked{false};
        runOnVr([&] {
            ASSERT_EQ(dvk_timer_startTimer(id, 1, record, &s_tag[0]), 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            // Queued now; the timer fires (and posts its expiry) before this step runs.
            postToSelf([id, restart, done = &checked] {
                EXPECT_EQ(dvk_timer_getSlotState(id).active, 1);
                if (restart) {
                    EXPECT_EQ(dvk_timer_startTimer(id, 10, record, &s_tag[1]), 0);
                } else {
                    dvk_timer_stopTimer(id);
                }
                *done = true;
            });
        });
        ASSERT_TRUE(waitFor([&] { return checked.load(); })) << restart;
        if (restart) {
            ASSERT_TRUE(waitFor([] { return !fired().empty(); }));
            sleepMs(30);
        }
        drainVr();
        expectIdle(state(id));
        const std::vector<Fired> f = fired();
        ASSERT_EQ(f.size(), restart ? 1u : 0u);
        if (restart) {
            EXPECT_EQ(f[0].userData, &s_tag[1]);
        }
    }
}

TEST_F(TimerTest, RestartWaitsForTheStopAndKeepsOnlyTheLatestValues)
{
    dvk_timer_SlotState afterStop{};
    runOnVr([&] {
        ASSERT_EQ(dvk_timer_startTimer(2, 5000, record, &s_tag[0]), 0);
        ASSERT_EQ(dvk_timer_startTimer(2, 5000, record, &s_tag[1]), 0);
        dvk_timer_SlotState s = dvk_timer_getSlotState(2);
        EXPECT_EQ(s.active, 0);
        EXPECT_EQ(s.stopping, 1);
        EXPECT_EQ(s.restartPending, 1);
        EXPECT_EQ(s.pendingExpiration, 5000);
        ASSERT_EQ(dvk_timer_startTimer(2, 15, record, &s_tag[2]), 0);
        EXPECT_EQ(dvk_timer_getSlotState(2).pendingExpiration, 15);
        // Right behind the stop message, before the restarted timer can fire.
        postToSelf([out = &afterStop] { *out = dvk_timer_getSlotState(2); });
    });
    drainVr();
    ASSERT_TRUE(afterStop.hasRecord);
    EXPECT_EQ(afterStop.active, 1);
    EXPECT_EQ(afterStop.stopping, 0);
    EXPECT_EQ(afterStop.restartPending, 0);
    ASSERT_TRUE(waitFor([] { return !fired().empty(); }));
    sleepMs(30);
    std::vector<Fired> f = fired();
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].userData, &s_tag[2]);
}

TEST_F(TimerTest, StopCancelsAPendingRestart)
{
    runOnVr([] {
        ASSERT_EQ(dvk_timer_startTimer(5, 10, record, nullptr), 0);
        ASSERT_EQ(dvk_timer_startTimer(5, 10, record, nullptr), 0);
        dvk_timer_stopTimer(5);
        dvk_timer_SlotState s = dvk_timer_getSlotState(5);
        EXPECT_EQ(s.stopping, 1);
        EXPECT_EQ(s.restartPending, 0);
        EXPECT_EQ(s.pendingExpiration, -1);
    });
    drainVr();
    expectIdle(state(5));
    sleepMs(40);
    EXPECT_TRUE(fired().empty());
}

TEST_F(TimerTest, CallbackMayRestartItsOwnTimer)
{
    runOnVr([] { ASSERT_EQ(dvk_timer_startTimer(2, 5, restartOnce, &s_tag[0]), 0); });
    ASSERT_TRUE(waitFor([] { return fired().size() == 2; }));
    std::vector<Fired> f = fired();
    EXPECT_EQ(f[0].userData, &s_tag[0]);
    EXPECT_EQ(f[1].userData, &s_tag[1]);
    expectIdle(state(2));
}

TEST_F(TimerTest, StartUnderMemoryShortageLeavesTheSlotAsItWas)
{
    const long before = dvk_mem_liveBlocks();
    for (long allowed : {0L, 1L, 2L}) {
        runOnVr([&] {
            dvk_mem_failAfter(allowed);
            EXPECT_EQ(dvk_timer_startTimer(3, 10, record, nullptr), 1) << allowed;
            dvk_mem_failAfter(-1);
        });
        expectIdle(state(3));
        EXPECT_EQ(dvk_mem_liveBlocks(), before);
    }
    // A running timer keeps running when its restart cannot be prepared.
    runOnVr([] {
        ASSERT_EQ(dvk_timer_startTimer(3, 20, record, &s_tag[3]), 0);
        dvk_mem_failAfter(0);
        EXPECT_EQ(dvk_timer_startTimer(3, 5000, record, nullptr), 1);
        dvk_mem_failAfter(-1);
    });
    ASSERT_TRUE(waitFor([] { return fired().size() == 1; }));
    EXPECT_EQ(fired()[0].userData, &s_tag[3]);
}

// The porting layer's slot: a second start replaces the first without a callback.
std::atomic<int> s_oemFired{0};
std::chrono::steady_clock::time_point s_oemFiredAt;
void oemCallback(dvk_oem_timer_TimerId)
{
    s_oemFiredAt = std::chrono::steady_clock::now();
    ++s_oemFired;
}

TEST_F(TimerTest, OemSlotRestartReplacesTheRunningTimer)
{
    s_oemFired = 0;
    std::chrono::steady_clock::time_point restartedAt;
    runOnVr([&] {
        dvk_oem_timer_stopTimer(1);  // never started: nothing
        dvk_oem_timer_startTimer(2, 10, oemCallback);
        // The first timer is due before the restart; left running, it would
        // fire before the second.
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        restartedAt = std::chrono::steady_clock::now();
        dvk_oem_timer_startTimer(2, 60, oemCallback);
    });
    ASSERT_TRUE(waitFor([] { return s_oemFired == 1; }));
    EXPECT_GE(s_oemFiredAt - restartedAt, std::chrono::milliseconds(60));
    sleepMs(30);
    drainVr();
    EXPECT_EQ(s_oemFired.load(), 1);
    runOnVr([] { dvk_oem_timer_stopTimer(2); });
}

using TimerDeathTest = TimerTest;

TEST_F(TimerDeathTest, ArgumentErrorsAndForeignThreadsStop)
{
    EXPECT_DEATH(runOnVr([] { dvk_timer_startTimer(6, 10, record, nullptr); }),
                 "Assertion failed: timerID < DVK_TIMER_MAX, file .*dvk_timer\\.cpp");
    EXPECT_DEATH(runOnVr([] { dvk_timer_startTimer(0, 0, record, nullptr); }), "expiration > 0");
    EXPECT_DEATH(runOnVr([] { dvk_timer_startTimer(0, 10, nullptr, nullptr); }),
                 "callback != \\(\\(void \\*\\)0\\)");
    EXPECT_DEATH(dvk_timer_startTimer(0, 10, record, nullptr),
                 "dvk_msg_getDvkAddr\\(\\) == dvk_msg_getMyAddr\\(\\)");
    EXPECT_DEATH(dvk_timer_stopTimer(0), "dvk_msg_getDvkAddr\\(\\) == dvk_msg_getMyAddr\\(\\)");
    EXPECT_DEATH(runOnVr([] { dvk_timer_stopTimer(-1); }), "timerID >= 0");
}

} // namespace
