#include "src/QrvSemaphore.h"
#include "tests/support/log_capture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

TEST(Semaphore, SignalBeforeWaitDoesNotBlock)
{
    QrvSemaphore semaphore;
    semaphore.signal();
    semaphore.wait();  // returns at once
    SUCCEED();
}

TEST(Semaphore, RemembersExactlyOneSignal)
{
    QrvSemaphore semaphore;
    semaphore.signal();
    semaphore.signal();
    semaphore.wait();  // uses up both

    std::atomic<bool> released{false};
    std::thread waiter([&] {
        semaphore.wait();
        released = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(released.load()) << "a second remembered signal released the wait";
    semaphore.signal();
    waiter.join();
    EXPECT_TRUE(released.load());
}

TEST(Semaphore, WaitLogsAtDebug)
{
    WexLogger::configure("QrvLogMT=1");
    LogCapture capture;
    QrvSemaphore semaphore;
    std::thread signaller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        semaphore.signal();
    });
    semaphore.wait();
    signaller.join();
    WexLogger::configure("");
    EXPECT_TRUE(capture.contains("QrvLogMT", WexLogDebug, "doing g_cond_wait"));
    EXPECT_TRUE(capture.contains("QrvLogMT", WexLogDebug, "wait: while loop done"));
}

} // namespace
