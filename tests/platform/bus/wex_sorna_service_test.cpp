// The bus service classes against a real private bus: a test service
// ("com.orvel.test") answered by a category handler, called through
// WexServiceRequest from a second service in this process and through the
// buscall tool as a separate process.
#include "platform/bus/wex_bus_wire.h"
#include "platform/bus/wex_service_request.h"
#include "platform/bus/wex_sorna_service.h"
#include "tests/platform/bus/private_bus.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const bool kBus = (privateBusForEveryTest(), true);

constexpr const char* kService = "com.orvel.test";

WexObject parse(const std::string& text)
{
    WexObject value;
    EXPECT_EQ(WexObject::parse(text, value), WexErrNone) << text;
    return value;
}

class TestHandler : public WexService::CategoryHandler {
public:
    WexErr echo(WexServiceMessage* message) { return message->reply(message->payload()); }
    WexErr status(WexServiceMessage* message)
    {
        WexObject fields = WexObject::object();
        fields.put("path", message->method());
        return message->reply(fields);
    }
    WexErr subscribe(WexServiceMessage* message)
    {
        if (WexErr err = message->notifyCancel(watcher->slot))
            return err;
        kept = WexRefCountedPtr<WexServiceMessage>(message);
        WexObject fields = WexObject::object();
        fields.put("n", 1);
        return message->reply(fields);
    }
    WexErr missing(WexServiceMessage*) { return WexErrMissingProperty; }
    WexErr silent(WexServiceMessage*) { return WexErrNone; }

    WexErr further(int n)
    {
        WexObject fields = WexObject::object();
        fields.put("n", n);
        return kept->reply(fields);
    }

    WexRefCountedPtr<WexServiceMessage> kept;
    WexRefCountedPtr<CancelWatcher> watcher = wexMakeRefCounted<CancelWatcher>();
};

const WexService::CategoryHandler::Method kMethods[] = {
    WexService::CategoryHandler::method("echo", &TestHandler::echo),
    WexService::CategoryHandler::method("voiceCommand/status", &TestHandler::status),
    WexService::CategoryHandler::method("subscribe", &TestHandler::subscribe),
    WexService::CategoryHandler::method("missing", &TestHandler::missing),
    WexService::CategoryHandler::method("silent", &TestHandler::silent),
    {},
};

// Collects the replies of one request.
class Collector : public WexSignalHandler {
public:
    WexErr Result(WexObject& reply, WexErr err)
    {
        std::string text;
        reply.toJson(text);
        replies.push_back(text);
        errors.push_back(err);
        return WexErrNone;
    }
    std::vector<std::string> replies;
    std::vector<WexErr> errors;
    WexReplySlot slot{this, &Collector::Result};
};

// The buscall tool, run with the test bus in its environment.
class Buscall : public BusProcess {
public:
    explicit Buscall(std::vector<std::string> args) : BusProcess(withTool(std::move(args))) {}

private:
    static std::vector<std::string> withTool(std::vector<std::string> args)
    {
        args.insert(args.begin(), BUSCALL_PATH);
        return args;
    }
};

class SornaService : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(m_service.open(kService), WexErrNone);
        ASSERT_EQ(m_service.attach(nullptr), WexErrNone);
        ASSERT_EQ(m_handler->addMethods(kMethods, false), WexErrNone);
        ASSERT_EQ(m_service.setDefaultCategory(m_handler), WexErrNone);
        ASSERT_EQ(m_client.open("com.orvel.testclient"), WexErrNone);
    }

    void TearDown() override
    {
        m_handler->kept.reset();
        m_client.close();
        m_service.close();
    }

    WexRefCountedPtr<WexServiceRequest> send(Collector& collector, const char* method, const std::string& json,
                                             int replies = 1)
    {
        WexRefCountedPtr<WexServiceRequest> request;
        EXPECT_EQ(m_client.createRequest(request), WexErrNone);
        EXPECT_EQ(request->send(collector.slot, kService, method, parse(json), replies), WexErrNone);
        return request;
    }

    // A round trip to the test service: everything sent before has arrived.
    void settle()
    {
        auto probe = wexMakeRefCounted<Collector>();
        send(*probe, "echo", "{}");
        ASSERT_TRUE(runUntil([&] { return !probe->replies.empty(); }));
    }

    WexSornaService m_service{true, nullptr};
    WexSornaService m_client{true, nullptr};
    WexRefCountedPtr<TestHandler> m_handler = wexMakeRefCounted<TestHandler>();
};

TEST_F(SornaService, BuscallEchoGetsTheSuccessReplyWithThePayload)
{
    Buscall call({kService, "echo", R"({"a":1})"});
    ASSERT_TRUE(call.finish());
    ASSERT_EQ(call.lines().size(), 1u);
    WexObject reply = parse(call.lines()[0]);
    int32_t a = 0;
    bool ok = false;
    EXPECT_EQ(reply.get("a", a), WexErrNone);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(reply.get(WexServiceMessage::ReturnValueKey, ok), WexErrNone);
    EXPECT_TRUE(ok);
    EXPECT_EQ(call.status(), 0);
}

TEST_F(SornaService, MethodWithASlashIsCalledAndAnswered)
{
    auto collector = wexMakeRefCounted<Collector>();
    send(*collector, "voiceCommand/status", "{}");
    ASSERT_TRUE(runUntil([&] { return !collector->replies.empty(); }));
    EXPECT_EQ(collector->errors[0], WexErrNone);
    EXPECT_EQ(collector->replies[0], R"({"path":"voiceCommand/status","returnValue":true})");
}

TEST_F(SornaService, SubscriptionRepliesReachTheSubscriberOnly)
{
    // A bystander listening to every Reply signal addressed to it.
    GDBusConnection* bystander = connectToBus();
    int overheard = 0;
    guint watch = g_dbus_connection_signal_subscribe(
        bystander, nullptr, WexBusWire::Interface, WexBusWire::ReplySignal, nullptr, nullptr,
        G_DBUS_SIGNAL_FLAGS_NONE,
        [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant*, gpointer data) {
            ++*static_cast<int*>(data);
        },
        &overheard, nullptr);

    auto collector = wexMakeRefCounted<Collector>();
    auto request = send(*collector, "subscribe", "{}", WexServiceRequest::Unlimited);
    ASSERT_TRUE(runUntil([&] { return collector->replies.size() == 1; }));
    ASSERT_EQ(m_handler->further(2), WexErrNone);
    ASSERT_EQ(m_handler->further(3), WexErrNone);
    ASSERT_TRUE(runUntil([&] { return collector->replies.size() == 3; }));
    EXPECT_EQ(collector->replies[2], R"({"n":3,"returnValue":true})");
    EXPECT_TRUE(request->isPending());
    settle();
    EXPECT_EQ(overheard, 0);

    g_dbus_connection_signal_unsubscribe(bystander, watch);
    g_dbus_connection_close_sync(bystander, nullptr, nullptr);
    g_object_unref(bystander);
}

TEST_F(SornaService, BuscallPrintsEverySubscriptionReply)
{
    Buscall call({"-n", "3", kService, "subscribe", "{}"});
    ASSERT_TRUE(runUntil([&] { return bool(m_handler->kept); }));
    ASSERT_EQ(m_handler->further(2), WexErrNone);
    ASSERT_EQ(m_handler->further(3), WexErrNone);
    ASSERT_TRUE(call.finish());
    std::vector<std::string> lines = call.lines();
    ASSERT_EQ(lines.size(), 3u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(lines[i], R"({"n":)" + std::to_string(i + 1) + R"(,"returnValue":true})");
    // Done with its count, buscall cancelled the subscription.
    ASSERT_TRUE(runUntil([&] { return m_handler->watcher->cancels == 1; }));
}

TEST_F(SornaService, KilledSubscriberFiresNotifyCancel)
{
    Buscall call({"-n", "0", kService, "subscribe", "{}"});
    ASSERT_TRUE(runUntil([&] { return bool(m_handler->kept); }));
    EXPECT_EQ(m_handler->watcher->cancels, 0);
    call.kill();  // SIGKILL: no chance to cancel, only to vanish from the bus
    ASSERT_TRUE(runUntil([&] { return m_handler->watcher->cancels == 1; }));
    EXPECT_TRUE(m_handler->kept->isCancelled());
    EXPECT_EQ(m_handler->further(2), WexErrBus);
}

TEST_F(SornaService, SecondOpenOfAnOwnedNameFails)
{
    WexSornaService second(true, nullptr);
    EXPECT_NE(second.open(kService), WexErrNone);
    EXPECT_FALSE(second.isOpen());
    EXPECT_EQ(second.getService(), nullptr);
    EXPECT_EQ(m_service.open("com.orvel.other"), WexErrFailed);  // already open
    ASSERT_NE(m_service.getService(), nullptr);
    EXPECT_STREQ(m_service.getService()->name, kService);
}

TEST_F(SornaService, CancelledUnlimitedRequestGetsNoFurtherReply)
{
    // The waiting side gives up (its slot) or the sending side does (the request).
    const bool cancelTheSlot[] = {true, false};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(cancelTheSlot[i] ? "slot.cancel()" : "request->cancel()");
        auto collector = wexMakeRefCounted<Collector>();
        auto request = send(*collector, "subscribe", "{}", WexServiceRequest::Unlimited);
        ASSERT_TRUE(runUntil([&] { return collector->replies.size() == 1; }));
        if (cancelTheSlot[i])
            collector->slot.cancel();
        else
            request->cancel();
        EXPECT_FALSE(request->isPending());
        EXPECT_FALSE(collector->slot.isConnected());
        // The service hears of it and can send no more.
        ASSERT_TRUE(runUntil([&] { return m_handler->watcher->cancels == i + 1; }));
        EXPECT_EQ(m_handler->further(2), WexErrBus);
        settle();
        EXPECT_EQ(collector->replies.size(), 1u);
    }
}

TEST_F(SornaService, HandlerErrorWithoutReplyBecomesTheErrorReply)
{
    auto collector = wexMakeRefCounted<Collector>();
    send(*collector, "missing", "{}");
    ASSERT_TRUE(runUntil([&] { return !collector->replies.empty(); }));
    EXPECT_EQ(collector->errors[0], WexErrMissingProperty);
    WexObject reply = parse(collector->replies[0]);
    std::string text;
    EXPECT_EQ(reply.get(WexBusWire::ErrorTextKey, text), WexErrNone);
    EXPECT_EQ(text, wexErrText(WexErrMissingProperty));
}

TEST_F(SornaService, UnknownMethodGetsAnErrorReply)
{
    auto collector = wexMakeRefCounted<Collector>();
    send(*collector, "registerUI", "{}");
    ASSERT_TRUE(runUntil([&] { return !collector->replies.empty(); }));
    EXPECT_EQ(collector->errors[0], WexErrUnknownMethod);
}

TEST_F(SornaService, HandlerReturningSuccessWithoutReplyLeavesTheCallUnanswered)
{
    auto collector = wexMakeRefCounted<Collector>();
    auto request = send(*collector, "silent", "{}");
    settle();
    EXPECT_TRUE(collector->replies.empty());
    EXPECT_TRUE(request->isPending());
    request->cancel();
    EXPECT_FALSE(request->isPending());
}

TEST_F(SornaService, MalformedJsonGetsAnErrorReplyAndTheServiceKeepsAnswering)
{
    GDBusConnection* raw = connectToBus();
    std::string text;
    bool last = true;
    ASSERT_TRUE(rawBusCall(raw, kService, "echo", "{\"a\":", text, last));
    WexObject reply = parse(text);
    int32_t code = 0;
    EXPECT_EQ(reply.get(WexBusWire::ErrorCodeKey, code), WexErrNone);
    EXPECT_EQ(code, WexErrBadJson);
    g_dbus_connection_close_sync(raw, nullptr, nullptr);
    g_object_unref(raw);

    Buscall call({kService, "echo", R"({"still":"here"})"});
    ASSERT_TRUE(call.finish());
    ASSERT_EQ(call.lines().size(), 1u);
    EXPECT_EQ(call.lines()[0], R"({"returnValue":true,"still":"here"})");
}

TEST_F(SornaService, ErrorReplyWithCodeZeroEndsTheSubscription)
{
    auto collector = wexMakeRefCounted<Collector>();
    auto request = send(*collector, "subscribe", "{}", WexServiceRequest::Unlimited);
    ASSERT_TRUE(runUntil([&] { return collector->replies.size() == 1; }));
    ASSERT_EQ(m_handler->kept->replyError(0, "done"), WexErrNone);
    ASSERT_TRUE(runUntil([&] { return collector->replies.size() == 2; }));
    EXPECT_FALSE(request->isPending());
    EXPECT_EQ(m_handler->further(3), WexErrBus);
    EXPECT_EQ(m_handler->watcher->cancels, 0);
}

TEST_F(SornaService, RequestsFailAtOnceWhenTheyCannotGo)
{
    auto collector = wexMakeRefCounted<Collector>();
    WexRefCountedPtr<WexServiceRequest> request;
    ASSERT_EQ(m_client.createRequest(request), WexErrNone);
    EXPECT_EQ(request->send(collector->slot, "bad name", "echo", parse("{}"), 1), WexErrInvalidArg);
    EXPECT_EQ(request->send(collector->slot, kService, "echo", WexObject(true), 1), WexErrInvalidArg);
    EXPECT_EQ(request->send(collector->slot, kService, "echo", parse("{}"), 0), WexErrInvalidArg);
    EXPECT_FALSE(collector->slot.isConnected());
    ASSERT_EQ(request->send(collector->slot, kService, "echo", parse("{}"), 1), WexErrNone);
    EXPECT_EQ(request->send(collector->slot, kService, "echo", parse("{}"), 1), WexErrBadState);

    WexSornaService closed(true, nullptr);
    WexRefCountedPtr<WexServiceRequest> none;
    EXPECT_EQ(closed.createRequest(none), WexErrBus);
    EXPECT_FALSE(none);
}

// Services attached to a context other than the default one: everything
// they deliver (request replies, cancel notices of a subscriber that left,
// a late notifyCancel) must come on that context, the default one is never
// iterated here.
TEST_F(SornaService, AttachedContextCarriesRepliesAndCancelNotices)
{
    GMainContext* context = g_main_context_new();
    ASSERT_EQ(m_service.attach(context), WexErrNone);
    ASSERT_EQ(m_client.attach(context), WexErrNone);

    auto collector = wexMakeRefCounted<Collector>();
    auto request = send(*collector, "echo", R"({"a":1})");
    ASSERT_TRUE(runContextUntil(context, [&] { return !collector->replies.empty(); }));
    EXPECT_EQ(collector->replies[0], R"({"a":1,"returnValue":true})");

    auto subscriber = wexMakeRefCounted<Collector>();
    auto subscription = send(*subscriber, "subscribe", "{}", WexServiceRequest::Unlimited);
    ASSERT_TRUE(runContextUntil(context, [&] { return subscriber->replies.size() == 1; }));
    m_client.close();  // the subscriber leaves the bus
    ASSERT_TRUE(runContextUntil(context, [&] { return m_handler->watcher->cancels == 1; }));

    // Connected again after the cancel: told once more, on the same context.
    auto late = wexMakeRefCounted<CancelWatcher>();
    ASSERT_EQ(m_handler->kept->notifyCancel(late->slot), WexErrNone);
    ASSERT_TRUE(runContextUntil(context, [&] { return late->cancels == 1; }));

    m_handler->kept.reset();
    m_service.close();
    while (g_main_context_iteration(context, FALSE)) {
    }
    g_main_context_unref(context);
}

TEST(SornaServiceWithoutBus, OpenFailsWithoutAnAddress)
{
    WexSornaService service(true, "unix:path=/tmp/mwbus-none/s");
    EXPECT_EQ(service.open(kService), WexErrBus);
    EXPECT_FALSE(service.isOpen());
}

} // namespace
