#include "oem/dvk_oem_watchdog.h"
#include "src/QrvWatchdog.h"
#include "src/QrvWorkQueues.h"
#include "tests/src/loop_util.h"
#include "tests/src/service_end_double.h"
#include "tests/support/log_capture.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

// The watchdog's real 15 s scaled down; the arithmetic stays the same.
// Pings come far more often than the interval, so a loaded machine that
// runs them late still keeps the watchdog alive.
constexpr int kInterval = 400;
constexpr int kPingGap = kInterval / 5;

// Also notes when the first closing sequence started.
class TimedEnd : public ServiceEndDouble {
public:
    void closingSequence() override
    {
        if (closings == 0)
            closedAt = g_get_monotonic_time();
        ServiceEndDouble::closingSequence();
    }
    // Milliseconds from `since` to the first closing sequence.
    gint64 msAfter(gint64 since) const { return (closedAt.load() - since) / 1000; }

    std::atomic<gint64> closedAt{0};
};

class Watchdog : public ::testing::Test {
protected:
    void SetUp() override
    {
        QrvWorkQueuesInit();
        QrvWatchdog::setIntervalForTesting(kInterval);
    }
    TimedEnd end;
};

TEST_F(Watchdog, ExpiresOnceAfterItsIntervalWithoutSignOfLife)
{
    const gint64 start = g_get_monotonic_time();
    QrvWatchdog::start();
    ASSERT_TRUE(iterateUntil([&] { return end.closings > 0; }));
    EXPECT_GE(end.msAfter(start), kInterval);
    iterateFor(3 * kInterval);
    EXPECT_EQ(end.closings, 1);
    EXPECT_EQ(end.shutdowns, 0);
}

TEST_F(Watchdog, PingsKeepItAliveAndTheIntervalCountsFromTheLastOne)
{
    QrvWatchdog::start();
    // Pings for three intervals.
    gint64 lastPing = 0;
    for (int i = 0; i < 3 * kInterval / kPingGap; ++i) {
        iterateFor(kPingGap);
        lastPing = g_get_monotonic_time();
        QrvWatchdog::iAmAlive();
    }
    ASSERT_TRUE(iterateUntil([&] { return end.closings > 0; }));
    EXPECT_GE(end.msAfter(lastPing), kInterval);
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
    iterateFor(kInterval / 2);
    const gint64 secondStart = g_get_monotonic_time();
    QrvWatchdog::start();
    EXPECT_TRUE(log.contains("QrvLogUI", WexLogError, "Attempt to start watchdog timer second time"));
    ASSERT_TRUE(iterateUntil([&] { return end.closings > 0; }));
    EXPECT_GE(end.msAfter(secondStart), kInterval);
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
    // The porting layer pings from "VR" (its file operations); each ping
    // reaches "UI" through a posted call.
    struct Pings {
        std::atomic<int> count{0};
        std::atomic<gint64> last{0};
    } pings;
    const int n = 2 * kInterval / kPingGap;
    for (int i = 0; i < n; ++i) {
        iterateFor(kPingGap);
        QrvExecuteInVrThread(
            [](void* data) {
                auto* p = static_cast<Pings*>(data);
                p->last = g_get_monotonic_time();
                dvkOemIAmAlive();
                ++p->count;
            },
            &pings, QRV_THREAD_ALWAYS_POST);
    }
    ASSERT_TRUE(iterateUntil([&] { return pings.count == n; }));
    dvkOemSetAlivePing(nullptr);
    const gint64 lastPing = pings.last;
    ASSERT_TRUE(iterateUntil([&] { return end.closings > 0; }));
    EXPECT_GE(end.msAfter(lastPing), kInterval);
}

} // namespace
