#include "src/QrvTimeout.h"
#include "src/QrvWorkQueues.h"
#include "src/workqueue.h"
#include "tests/src/loop_util.h"
#include "tests/support/log_capture.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// Records each callback with its time; optional actions run inside them.
class ProbeTimeout : public QrvTimeout {
public:
    ProbeTimeout(int intervalMs, int firings) : QrvTimeout(intervalMs, firings) {}

    void expiredCallback() override
    {
        events.push_back("expired");
        times.push_back(g_get_monotonic_time());
        if (onExpired)
            onExpired(this);
    }
    void done() override
    {
        events.push_back("done");
        if (onDone)
            onDone(this);
    }

    std::vector<std::string> events;
    std::vector<gint64> times;
    void (*onExpired)(ProbeTimeout*) = nullptr;
    void (*onDone)(ProbeTimeout*) = nullptr;
};

constexpr int kInterval = 20;

struct FiringCase {
    int firings;
    size_t expected;
};

class TimeoutFirings : public ::testing::TestWithParam<FiringCase> {};

TEST_P(TimeoutFirings, FiresItsCountAtItsInterval)
{
    workqueue_self();
    const gint64 start = g_get_monotonic_time();
    ProbeTimeout timer(kInterval, GetParam().firings);
    const size_t n = GetParam().expected;
    ASSERT_TRUE(iterateUntil([&] { return timer.times.size() == n; }));
    iterateFor(4 * kInterval);  // nothing more comes
    ASSERT_EQ(timer.times.size(), n);

    std::vector<std::string> expectedEvents;
    for (size_t i = 0; i < n; ++i) {
        expectedEvents.push_back("expired");
        expectedEvents.push_back("done");
    }
    EXPECT_EQ(timer.events, expectedEvents);
    // The i-th firing comes no earlier than i intervals after the start. Each
    // period is measured from the loop's cached time of the previous dispatch,
    // which may precede its callback on a loaded machine, so the gap between
    // two callbacks may be shorter; GLib rounds to whole milliseconds.
    for (size_t i = 0; i < n; ++i)
        EXPECT_GE(timer.times[i] - start, static_cast<gint64>(i + 1) * (kInterval - 1) * 1000) << "firing " << i;
}

INSTANTIATE_TEST_SUITE_P(Counts, TimeoutFirings,
                         ::testing::Values(FiringCase{1, 1}, FiringCase{5, 5}, FiringCase{0, 1}, FiringCase{-3, 1}),
                         [](const ::testing::TestParamInfo<FiringCase>& info) { return std::to_string(info.index); });

// Counts into an outside counter, so the count can be read after destruction.
class CountingTimeout : public QrvTimeout {
public:
    CountingTimeout(int intervalMs, int firings, int& count) : QrvTimeout(intervalMs, firings), m_count(count) {}
    void expiredCallback() override { ++m_count; }
    void done() override { ++m_count; }

private:
    int& m_count;
};

TEST(Timeout, DestroyedBeforeItFiresNeverFires)
{
    workqueue_self();
    WexLogger::configure("QrvLogMT=0");
    LogCapture capture;
    int count = 0;
    auto timer = std::make_unique<CountingTimeout>(kInterval, 3, count);
    timer.reset();
    WexLogger::configure("");
    EXPECT_TRUE(capture.contains("QrvLogMT", WexLogTrace, "destroying timer source"));
    iterateFor(3 * kInterval);
    EXPECT_EQ(count, 0);
}

TEST(Timeout, DestroyedAfterSomeFiringsStops)
{
    workqueue_self();
    int count = 0;
    auto timer = std::make_unique<CountingTimeout>(kInterval, 10, count);
    ASSERT_TRUE(iterateUntil([&] { return count == 4; }));  // two firings
    timer.reset();
    iterateFor(3 * kInterval);
    EXPECT_EQ(count, 4);
}

TEST(Timeout, FiresOnTheQueueThatBuiltIt)
{
    workqueue_self();
    workqueue* queue = workqueue_create("timers");
    struct Run {
        std::unique_ptr<ProbeTimeout> timer;
        workqueue* firedOn = nullptr;
        std::atomic<bool> fired{false};
    } run;
    workqueue_add(
        queue,
        [](gpointer data) -> gboolean {
            auto* r = static_cast<Run*>(data);
            r->timer = std::make_unique<ProbeTimeout>(kInterval, 1);
            r->timer->onDone = nullptr;
            return G_SOURCE_REMOVE;
        },
        &run, 0);
    ASSERT_TRUE(iterateUntil([&] {
        // Read the events on the timer's own thread would need a lock; the
        // size of a vector written before the flag is good enough here.
        return run.timer != nullptr && run.timer->times.size() == 1;
    }));
    workqueue_destroy(queue);
    EXPECT_EQ(run.timer->events, (std::vector<std::string>{"expired", "done"}));
    run.timer.reset();
}

// A firing may end its own timer: the watchdog and the suite timers drop
// their last reference from their callbacks.
TEST(Timeout, MayDestroyItselfFromACallback)
{
    workqueue_self();
    static std::unique_ptr<ProbeTimeout> s_timer;
    static int s_expired = 0;
    s_expired = 0;
    s_timer = std::make_unique<ProbeTimeout>(kInterval, 5);
    s_timer->onExpired = [](ProbeTimeout*) {
        ++s_expired;
        s_timer.reset();
    };
    ASSERT_TRUE(iterateUntil([] { return s_timer == nullptr; }));
    iterateFor(3 * kInterval);
    EXPECT_EQ(s_expired, 1);
}

TEST(Timeout, RestartFromDoneArmsItAgain)
{
    workqueue_self();
    ProbeTimeout timer(kInterval, 1);
    static int s_restarts = 0;
    s_restarts = 0;
    timer.onDone = [](ProbeTimeout* t) {
        if (++s_restarts < 3)
            t->restart();
    };
    ASSERT_TRUE(iterateUntil([&] { return timer.times.size() == 3; }));
    iterateFor(3 * kInterval);
    EXPECT_EQ(timer.times.size(), 3u);
}

TEST(Timeout, RestartBeforeFiringPostponesIt)
{
    workqueue_self();
    // Long enough that a loaded machine restarts the timer before it fires.
    constexpr int kLong = 50 * kInterval;
    const gint64 start = g_get_monotonic_time();
    ProbeTimeout timer(kLong, 1);
    iterateFor(kInterval);
    timer.restart();
    const gint64 restarted = g_get_monotonic_time();
    ASSERT_TRUE(iterateUntil([&] { return timer.times.size() == 1; }));
    EXPECT_GE(timer.times[0] - restarted, (kLong - 1) * 1000);
    EXPECT_GE(timer.times[0] - start, (kLong + kInterval - 1) * 1000);
}

} // namespace
