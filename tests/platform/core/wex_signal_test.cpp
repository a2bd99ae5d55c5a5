#include "platform/core/wex_object.h"
#include "platform/core/wex_signal.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

// A reply handler that counts what reaches it.
class Counter : public WexSignalHandler {
public:
    explicit Counter(bool* destroyed = nullptr) : m_destroyed(destroyed) {}
    ~Counter() override
    {
        if (m_destroyed)
            *m_destroyed = true;
    }

    WexErr Result(WexObject& reply, WexErr err)
    {
        ++replies;
        lastErr = err;
        reply.get("n", lastN);
        if (cancelInside)
            slot.cancel();
        if (dropSender)
            sender.reset();
        return resultToReturn;
    }
    WexErr HandleCancel(int* message)
    {
        ++cancels;
        lastMessage = message;
        return WexErrNone;
    }
    void handleCancel(const WexSlotBase& which) override { cancelledSlot = &which; }

    int replies = 0;
    int cancels = 0;
    int32_t lastN = 0;
    WexErr lastErr = WexErrNone;
    int* lastMessage = nullptr;
    WexErr resultToReturn = WexErrNone;
    bool cancelInside = false;
    const WexSlotBase* cancelledSlot = nullptr;
    std::unique_ptr<WexReplySignal> sender;
    bool dropSender = false;

    WexReplySlot slot{this, &Counter::Result};
    WexSignal1<int*>::Slot cancelSlot{this, &Counter::HandleCancel};

private:
    bool* m_destroyed;
};

WexObject reply(int32_t n)
{
    WexObject object;
    object.put("n", n);
    return object;
}

TEST(WexRefCountedPtr, CountsOwnersAndDeletesWithTheLast)
{
    bool destroyed = false;
    WexRefCountedPtr<Counter> first = wexMakeRefCounted<Counter>(&destroyed);
    ASSERT_TRUE(first);
    {
        WexRefCountedPtr<WexSignalHandler> base = first;
        WexRefCountedPtr<Counter> copy = first;
        EXPECT_EQ(first->refCount(), 3);
        EXPECT_TRUE(base == first);
    }
    EXPECT_EQ(first->refCount(), 1);
    WexRefCountedPtr<WexSignalHandler> moved = std::move(first);
    EXPECT_TRUE(first == nullptr);
    moved.reset();
    EXPECT_TRUE(destroyed);
}

TEST(WexSignal, DeliversToTheBoundMemberAndReturnsItsResult)
{
    auto counter = wexMakeRefCounted<Counter>();
    counter->resultToReturn = WexErrBadState;
    WexReplySignal signal;
    ASSERT_EQ(signal.connect(counter->slot), WexErrNone);
    WexObject first = reply(7);
    EXPECT_EQ(signal.fire(first, WexErrNone), WexErrBadState);
    WexObject second = reply(8);
    signal.fire(second, WexErrBus);
    EXPECT_EQ(counter->replies, 2);
    EXPECT_EQ(counter->lastN, 8);
    EXPECT_EQ(counter->lastErr, WexErrBus);

    int message = 0;
    WexSignal1<int*> cancelNotice;
    ASSERT_EQ(cancelNotice.connect(counter->cancelSlot), WexErrNone);
    cancelNotice.fire(&message);
    EXPECT_EQ(counter->cancels, 1);
    EXPECT_EQ(counter->lastMessage, &message);
}

TEST(WexSignal, ASlotCancelledBeforeDeliveryNeverRuns)
{
    auto counter = wexMakeRefCounted<Counter>();
    WexReplySignal signal;
    int hookCalls = 0;
    ASSERT_EQ(signal.connect(counter->slot), WexErrNone);
    signal.onSlotCancel([&hookCalls] { ++hookCalls; });
    EXPECT_TRUE(counter->slot.isConnected());
    counter->slot.cancel();
    WexObject object = reply(1);
    EXPECT_EQ(signal.fire(object, WexErrNone), WexErrNone);
    signal.fire(object, WexErrNone);
    EXPECT_EQ(counter->replies, 0);
    EXPECT_FALSE(signal.isConnected());
    EXPECT_FALSE(counter->slot.isConnected());
    EXPECT_EQ(hookCalls, 1);
    counter->slot.cancel();  // twice is harmless
    EXPECT_EQ(hookCalls, 1);
    EXPECT_EQ(counter->refCount(), 1);  // the signal let go of the handler
}

TEST(WexSignal, CancelFromInsideTheSlotStopsLaterDeliveries)
{
    auto counter = wexMakeRefCounted<Counter>();
    counter->cancelInside = true;
    WexReplySignal signal;
    signal.connect(counter->slot);
    WexObject object = reply(1);
    signal.fire(object, WexErrNone);
    signal.fire(object, WexErrNone);
    EXPECT_EQ(counter->replies, 1);
}

TEST(WexSignal, APendingConnectionKeepsItsHandlerAlive)
{
    bool destroyed = false;
    WexReplySignal signal;
    {
        auto counter = wexMakeRefCounted<Counter>(&destroyed);
        signal.connect(counter->slot);
    }
    EXPECT_FALSE(destroyed);
    WexObject object = reply(3);
    signal.fire(object, WexErrNone);
    signal.disconnect();
    EXPECT_TRUE(destroyed);
}

TEST(WexSignal, TheHandlerMayDropTheSenderAndItselfDuringDelivery)
{
    bool destroyed = false;
    WexReplySignal* raw = nullptr;
    {
        auto counter = wexMakeRefCounted<Counter>(&destroyed);
        counter->sender = std::make_unique<WexReplySignal>();
        raw = counter->sender.get();
        raw->connect(counter->slot);
        counter->dropSender = true;
    }
    // The signal is the handler's own member and the handler's last owner.
    WexObject object = reply(4);
    raw->fire(object, WexErrNone);
    EXPECT_TRUE(destroyed);
}

TEST(WexSignal, SenderCancelTellsTheHandlerWhichSlot)
{
    auto counter = wexMakeRefCounted<Counter>();
    WexReplySignal signal;
    signal.connect(counter->slot);
    signal.cancel();
    EXPECT_EQ(counter->cancelledSlot, &counter->slot);
    WexObject object = reply(1);
    signal.fire(object, WexErrNone);
    EXPECT_EQ(counter->replies, 0);
    // A quiet end does not call it.
    counter->cancelledSlot = nullptr;
    signal.connect(counter->slot);
    signal.disconnect();
    EXPECT_EQ(counter->cancelledSlot, nullptr);
}

TEST(WexSignal, ASlotServesSeveralSendersAndReconnectsAfterCancel)
{
    auto counter = wexMakeRefCounted<Counter>();
    WexReplySignal a;
    WexReplySignal b;
    a.connect(counter->slot);
    b.connect(counter->slot);
    WexObject object = reply(1);
    a.fire(object, WexErrNone);
    b.fire(object, WexErrNone);
    EXPECT_EQ(counter->replies, 2);
    counter->slot.cancel();
    EXPECT_FALSE(a.isConnected());
    EXPECT_FALSE(b.isConnected());
    a.connect(counter->slot);  // the next request
    a.fire(object, WexErrNone);
    b.fire(object, WexErrNone);
    EXPECT_EQ(counter->replies, 3);
}

TEST(WexSignal, CancelAndDeliveryOnTwoThreads)
{
    auto counter = wexMakeRefCounted<Counter>();
    std::atomic<bool> stop{false};
    WexReplySignal signal;
    signal.connect(counter->slot);
    std::thread canceller([&] {
        while (!stop.load())
            counter->slot.cancel();
    });
    WexObject object = reply(1);
    for (int i = 0; i < 2000; ++i) {
        if (!signal.isConnected())
            signal.connect(counter->slot);
        signal.fire(object, WexErrNone);
    }
    stop = true;
    canceller.join();
    signal.disconnect();
    EXPECT_EQ(counter->refCount(), 1);
}

} // namespace
