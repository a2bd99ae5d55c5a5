#include "sdk/common/dvk_msg.h"

#include "sdk/common/dvk_mem.h"
#include "tests/support/vr_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

namespace {

class MsgTest : public ::testing::Test {
protected:
    void SetUp() override { ensureWorkQueues(); }
    void TearDown() override { dvk_mem_failAfter(-1); }
};

struct Seen {
    std::atomic<int> calls{0};
    std::atomic<void*> thread{nullptr};
    std::atomic<void*> sender{nullptr};
    std::atomic<long> liveBlocks{-1};
    std::atomic<int> destructed{0};
    std::vector<int> order;
};

Seen* s_seen = nullptr;

void recordHandler(void* data, dvk_msg_Address sender)
{
    s_seen->thread = dvk_msg_getMyAddr();
    s_seen->sender = sender;
    s_seen->liveBlocks = dvk_mem_liveBlocks();
    s_seen->order.push_back(*static_cast<int*>(data));
    ++s_seen->calls;
}

void countingDestructor(void* data)
{
    ++s_seen->destructed;
    delete static_cast<int*>(data);
}

void ownedHandler(void* data, dvk_msg_Address sender)
{
    recordHandler(data, sender);
    delete static_cast<int*>(data);  // without a destructor the handler owns the data
}

TEST_F(MsgTest, MessageFromUiRunsOnVrAndKnowsItsSender)
{
    Seen seen;
    s_seen = &seen;
    int value = 7;
    dvk_msg_Message* message = dvk_msg_create(&value, recordHandler, nullptr);
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->signature, 0u);
    dvk_msg_send(message, dvk_msg_getDvkAddr());
    ASSERT_TRUE(waitFor([&] { return seen.calls == 1; }));
    EXPECT_EQ(seen.thread.load(), static_cast<void*>(dvkWorkQueue.load()));
    EXPECT_EQ(seen.sender.load(), static_cast<void*>(appWorkQueue.load()));
    EXPECT_NE(seen.thread.load(), seen.sender.load());
}

TEST_F(MsgTest, RecordWithoutDestructorIsFreedBeforeItsHandlerRuns)
{
    Seen seen;
    s_seen = &seen;
    const long before = dvk_mem_liveBlocks();
    dvk_msg_send(dvk_msg_create(new int(1), ownedHandler, nullptr), dvk_msg_getDvkAddr());
    ASSERT_TRUE(waitFor([&] { return seen.calls == 1; }));
    EXPECT_EQ(seen.liveBlocks.load(), before);

    // With a destructor the record lives through the handler; the destructor runs after it.
    dvk_msg_send(dvk_msg_create(new int(2), recordHandler, countingDestructor),
                 dvk_msg_getDvkAddr());
    ASSERT_TRUE(waitFor([&] { return seen.destructed == 1; }));
    drainVr();  // the record itself is freed after the destructor returns
    EXPECT_EQ(seen.calls.load(), 2);
    EXPECT_EQ(seen.liveBlocks.load(), before + 1);
    EXPECT_EQ(dvk_mem_liveBlocks(), before);
}

TEST_F(MsgTest, MessagesToOneThreadRunInOrderAfterTheSenderReturns)
{
    Seen seen;
    s_seen = &seen;
    static int values[] = {1, 2, 3, 4};
    std::atomic<int> callsDuringSend{-1};
    runOnVr([&] {
        for (int& v : values)
            dvk_msg_send(dvk_msg_create(&v, recordHandler, nullptr), dvk_msg_getMyAddr());
        callsDuringSend = seen.calls.load();
    });
    drainVr();
    EXPECT_EQ(callsDuringSend.load(), 0);
    EXPECT_EQ(seen.order, (std::vector<int>{1, 2, 3, 4}));
}

std::atomic<int> s_events{0};
std::atomic<void*> s_eventThread{nullptr};
void bareEvent()
{
    s_eventThread = dvk_msg_getMyAddr();
    ++s_events;
}

TEST_F(MsgTest, BareEventsAreCalledOnTheDestination)
{
    s_events = 0;
    const long before = dvk_mem_liveBlocks();
    dvk_msg_sendEvent(bareEvent, dvk_msg_getDvkAddr());
    dvk_msg_sendEvent(bareEvent, dvk_msg_getDvkAddr());
    ASSERT_TRUE(waitFor([] { return s_events == 2; }));
    EXPECT_EQ(s_eventThread.load(), static_cast<void*>(dvkWorkQueue.load()));
    EXPECT_EQ(dvk_mem_liveBlocks(), before);
}

TEST_F(MsgTest, CreateUnderMemoryShortageConsumesTheData)
{
    Seen seen;
    s_seen = &seen;
    dvk_mem_failAfter(0);
    EXPECT_EQ(dvk_msg_create(new int(3), recordHandler, countingDestructor), nullptr);
    EXPECT_EQ(seen.destructed.load(), 1);
    int local = 4;
    EXPECT_EQ(dvk_msg_create(&local, recordHandler, nullptr), nullptr);
    EXPECT_EQ(seen.destructed.load(), 1);
}

TEST_F(MsgTest, DestroyRunsTheDestructorAndClearsThePointer)
{
    Seen seen;
    s_seen = &seen;
    dvk_msg_Message* message = dvk_msg_create(new int(5), recordHandler, countingDestructor);
    ASSERT_NE(message, nullptr);
    dvk_msg_destroy(&message);
    EXPECT_EQ(message, nullptr);
    EXPECT_EQ(seen.destructed.load(), 1);
    dvk_msg_destroy(&message);  // a null message is left alone
    EXPECT_EQ(seen.calls.load(), 0);
}

using MsgDeathTest = MsgTest;

TEST_F(MsgDeathTest, ArgumentErrorsStop)
{
    int value = 0;
    EXPECT_DEATH(dvk_msg_create(&value, nullptr, nullptr),
                 "Assertion failed: handlerFunc != \\(\\(void \\*\\)0\\), file .*dvk_msg\\.cpp, line [0-9]+, "
                 "function dvk_msg_create");
    dvk_msg_Message* message = dvk_msg_create(&value, recordHandler, nullptr);
    ASSERT_NE(message, nullptr);
    message->signature = 0x1234;
    EXPECT_DEATH(dvk_msg_send(message, dvk_msg_getDvkAddr()), "message->signature == 0x00000000");
    message->signature = 0;
    EXPECT_DEATH(dvk_msg_send(nullptr, dvk_msg_getDvkAddr()), "message != \\(\\(void \\*\\)0\\)");
    EXPECT_DEATH(dvk_msg_sendEvent(nullptr, dvk_msg_getDvkAddr()), "event != \\(\\(void \\*\\)0\\)");
    EXPECT_DEATH(dvk_msg_destroy(nullptr), "message != \\(\\(void \\*\\)0\\)");
    dvk_msg_destroy(&message);
}

} // namespace
