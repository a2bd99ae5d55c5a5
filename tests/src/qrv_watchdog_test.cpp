#include "oem/dvk_oem_watchdog.h"
#include "src/QrvWatchdog.h"
#include "src/QrvWorkQueues.h"
#include "tests/src/loop_util.h"
#include "tests/src/service_end_double.h"
#include "tests/support/log_capture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

// The watchdog's real 15 s scaled down; the arithmetic stays the same.
constexpr int kInterval = 300;

class Watchdog : public ::testing::Test {
protected:
    void SetUp() override
    {
        QrvWorkQueuesInit();
        QrvWatchdog::setIntervalForTesting(kInterval);
    }
    ServiceEndDouble end;
};

TEST_F(Watchdog, ExpiresOnceAfterItsIntervalWithoutSignOfLife)
{
    const gint64 start = g_get_monotonic_time();
    QrvWatchdog::start();
    ASSERT_TRUE(iterateUntil([&] { return end.closings > 0; }));
    EXPECT_GE(g_get_monotonic_time() - start, kInterval * 1000);
    iterateFor(3 * kInterval);
    EXPECT_EQ(end.closings, 1);
    EXPECT_EQ(end.shutdowns, 0);
}

TEST_F(Watchdog, PingsKeepItAliveAndTheIntervalCountsFromTheLastOne)
{
    QrvWatchdog::start();
    // Pings at a third of the interval, for three intervals.
    for (int i = 0; i < 5; ++i) {
        iterateFor(kInterval / 3);
        QrvWatchdog::iAmAlive();
    }
    EXPECT_EQ(end.closings, 0);
    const gint64 lastPing = g_get_monotonic_time();
    ASSERT_TRUE(iterateUntil([&] { return end.closings > 0; }));
    EXPECT_GE(g_get_monotonic_time() - lastPing, kInterval * 1000);
    iterateFor(2 * kInterval);
    EXPECT_EQ(end.closings, 1);
}

TEST_F(Watchdog, NothingHappensAfterExpiry)
{
    QrvWatchdog::start();
    ASSERT_TRUE(iterateUntil([&] { return end.closings > 0; }));
    LogCapture log;
    QrvWatchdog::iAmAlive();
    QrvWatchdog::start();
    QrvWatchdog::stop();
    iterateFor(3 * kInterval);
    EXPECT_EQ(end.closings, 1);
    EXPECT_FALSE(log.contains("Attempt to start watchdog timer second time"));
    EXPECT_FALSE(log.contains("stopping watchdog timer"));
}

TEST_F(Watchdog, SecondStartIsLoggedAndRearms)
{
    LogCapture log;
    QrvWatchdog::start();
    iterateFor(kInterval * 2 / 3);
    QrvWatchdog::start();
    EXPECT_TRUE(log.contains("QrvLogUI", WexLogError, "Attempt to start watchdog timer second time"));
    iterateFor(kInterval * 2 / 3);
    EXPECT_EQ(end.closings, 0);
    ASSERT_TRUE(iterateUntil([&] { return end.closings > 0; }));
}

TEST_F(Watchdog, StopDropsTheTimerUntilTheNextSignOfLife)
{
    QrvWatchdog::start();
    QrvWatchdog::stop();
    iterateFor(2 * kInterval);
    EXPECT_EQ(end.closings, 0);
    QrvWatchdog::iAmAlive();
    ASSERT_TRUE(iterateUntil([&] { return end.closings > 0; }));
}

TEST_F(Watchdog, PingsFromOtherThreadsCountOnceTheUiLoopRunsThem)
{
    QrvWatchdog::start();
    dvkOemSetAlivePing(&QrvWatchdog::iAmAlive);
    // The porting layer pings from "VR" (its file operations).
    for (int i = 0; i < 4; ++i) {
        iterateFor(kInterval / 3);
        QrvExecuteInVrThread([](void*) { dvkOemIAmAlive(); }, nullptr, QRV_THREAD_ALWAYS_POST);
    }
    iterateFor(kInterval / 3);
    EXPECT_EQ(end.closings, 0);
    dvkOemSetAlivePing(nullptr);
    ASSERT_TRUE(iterateUntil([&] { return end.closings > 0; }));
}

} // namespace
