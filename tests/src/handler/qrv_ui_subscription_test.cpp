// The holder of the UI's open "registerUI" call: it keeps the message for
// the display requests and tells the request handler once when the bus ends
// the call, unless it was told to stop listening first.
#include "platform/bus/wex_service_request.h"
#include "platform/bus/wex_sorna_service.h"
#include "src/QrVoiceCmdServiceHandler.h"
#include "src/QrvUiSubscription.h"
#include "tests/platform/bus/private_bus.h"
#include "tests/src/handler/handler_doubles.h"
#include "tests/src/service_end_double.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace {

const bool kBus = (privateBusForEveryTest(), true);

// How long to wait for what must come; a loaded machine may take a while.
constexpr int kPatienceMs = 10000;

constexpr const char* kName = "com.orvel.merrowind";
using Handler = QrVoiceCmdServiceHandler;
using Events = std::vector<std::pair<int32_t, int32_t>>;

// Answers "subscribe" by holding the call open in a QrvUiSubscription.
class Host : public WexService::CategoryHandler {
public:
    WexErr subscribe(WexServiceMessage* message)
    {
        subscription = wexMakeRefCounted<QrvUiSubscription>(*handler, message);
        return message->reply();
    }

    Handler* handler = nullptr;
    WexRefCountedPtr<QrvUiSubscription> subscription;
};

const WexService::CategoryHandler::Method kHostMethods[] = {
    WexService::CategoryHandler::method("subscribe", &Host::subscribe),
    {},
};

// The subscriber's end: every reply it got.
class Subscriber : public WexSignalHandler {
public:
    WexErr Result(WexObject& reply, WexErr)
    {
        std::string text;
        reply.toJson(text);
        replies.push_back(text);
        return WexErrNone;
    }
    std::vector<std::string> replies;
    WexRefCountedPtr<WexServiceRequest> request;
    WexReplySlot slot{this, &Subscriber::Result};
};

class UiSubscription : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(service.open(kName), WexErrNone);
        handler = Handler::newService(service);
        ASSERT_TRUE(handler);
        host->handler = handler.get();
        ASSERT_EQ(host->addMethods(kHostMethods, false), WexErrNone);
        ASSERT_EQ(service.setDefaultCategory(host), WexErrNone);
        ASSERT_EQ(client.open("com.orvel.test.ui"), WexErrNone);

        ASSERT_EQ(WexServiceRequest::create(&client, subscriber->request), WexErrNone);
        ASSERT_EQ(subscriber->request->send(subscriber->slot, kName, "subscribe", WexObject::object(),
                                            WexServiceRequest::Unlimited),
                  WexErrNone);
        ASSERT_TRUE(runUntil([&] { return subscriber->replies.size() == 1; }, kPatienceMs));
        ASSERT_TRUE(host->subscription);
    }

    void TearDown() override
    {
        if (subscriber->request->isPending())
            subscriber->request->cancel();
        subscriber->request.reset();
        if (host->subscription)
            host->subscription->cancel();
        host->subscription.reset();
        Handler::shutdown();
        handler.reset();
        client.close();
        service.close();
    }

    // Gives the bus time to deliver what it has (nothing is expected).
    static void settle() { runUntil([] { return false; }, 200); }

    ServiceEndDouble end;
    SuiteUiEventDouble suite;
    WexSornaService service{true, nullptr};
    WexSornaService client{true, nullptr};
    WexRefCountedPtr<Host> host = wexMakeRefCounted<Host>();
    WexRefCountedPtr<Subscriber> subscriber = wexMakeRefCounted<Subscriber>();
    WexRefCountedPtr<Handler> handler;
};

TEST_F(UiSubscription, KeepsTheMessageOpenForFurtherReplies)
{
    WexServiceMessage* message = host->subscription->msg();
    ASSERT_NE(message, nullptr);
    EXPECT_STREQ(message->method(), "subscribe");
    WexObject request = WexObject::object();
    request.put("command", "displayText");
    ASSERT_EQ(message->reply(request), WexErrNone);
    ASSERT_TRUE(runUntil([&] { return subscriber->replies.size() == 2; }, kPatienceMs));
    EXPECT_EQ(subscriber->replies[1], R"({"command":"displayText","returnValue":true})");
    EXPECT_EQ(end.total(), 0);
}

// How the UI goes away, whether the suite runs, and whether the holder had
// stopped listening before.
struct EndCase {
    const char* title;
    bool leaveBus;      // the UI's connection closes (else it cancels the call)
    bool suiteReady;
    bool cancelFirst;   // QrvUiSubscription::cancel() before the UI goes
    int closings;       // closing sequences started
    Events events;      // events handed to the suite
};

void PrintTo(const EndCase& c, std::ostream* os)
{
    *os << c.title;
}

class UiSubscriptionEnd : public UiSubscription, public ::testing::WithParamInterface<EndCase> {};

TEST_P(UiSubscriptionEnd, TellsTheHandlerOnceUnlessCancelled)
{
    const EndCase& c = GetParam();
    if (c.suiteReady)
        handler->setVRThreadActiveFlag();
    if (c.cancelFirst)
        host->subscription->cancel();

    if (c.leaveBus)
        client.close();
    else
        subscriber->request->cancel();

    if (c.closings + c.events.size() > 0) {
        ASSERT_TRUE(runUntil([&] { return end.closings.load() + suite.events.size() > 0; }, kPatienceMs));
    }
    settle();
    EXPECT_EQ(end.closings, c.closings);
    EXPECT_EQ(end.shutdowns, 0);
    EXPECT_EQ(suite.events, c.events);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, UiSubscriptionEnd,
    ::testing::Values(EndCase{"CancelBeforeTheSuiteEndsTheSession", false, false, false, 1, {}},
                      EndCase{"CancelWhileTheSuiteRunsSendsItTheExitEvent", false, true, false, 0, {{2, 0}}},
                      EndCase{"LeavingTheBusWhileTheSuiteRunsSendsItTheExitEvent", true, true, false, 0, {{2, 0}}},
                      EndCase{"LeavingTheBusBeforeTheSuiteEndsTheSession", true, false, false, 1, {}},
                      EndCase{"NoNoticeAfterCancel", false, true, true, 0, {}},
                      EndCase{"NoNoticeAfterCancelWhenLeavingTheBus", true, false, true, 0, {}}),
    [](const ::testing::TestParamInfo<EndCase>& info) { return std::string(info.param.title); });

// The holder stays alive while the bus still refers to it: dropping every
// reference of the service's own keeps the notice working.
TEST_F(UiSubscription, NoticeArrivesAfterTheServiceDroppedItsReference)
{
    handler->setVRThreadActiveFlag();
    host->subscription.reset();
    subscriber->request->cancel();
    ASSERT_TRUE(runUntil([&] { return !suite.events.empty(); }, kPatienceMs));
    EXPECT_EQ(suite.events, (Events{{2, 0}}));
}

} // namespace
