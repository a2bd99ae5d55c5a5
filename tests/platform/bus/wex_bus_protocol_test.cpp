// The D-Bus mapping itself, between a WexBusServer and WexBusCallers on
// separate connections of a private bus: reply counts, subscriptions, cancel,
// subscriber loss, bad payloads and bus failures.
#include "platform/bus/wex_bus_caller.h"
#include "platform/bus/wex_bus_server.h"
#include "platform/bus/wex_bus_wire.h"
#include "tests/platform/bus/private_bus.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace {

const bool kBus = (privateBusForEveryTest(), true);

constexpr const char* kService = "com.orvel.test";

struct Received {
    std::string json;
    WexErr err;
    bool last;
};

WexObject parse(const char* text)
{
    WexObject value;
    EXPECT_EQ(WexObject::parse(text, value), WexErrNone) << text;
    return value;
}

std::string field(const std::string& json, const char* key)
{
    WexObject value;
    WexObject::parse(json, value);
    WexObject out;
    std::string text;
    if (value.get(key, out) != WexErrNone || out.toJson(text) != WexErrNone)
        return "<none>";
    return text;
}

class BusProtocol : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_serverConnection = connectToBus();
        m_clientConnection = connectToBus();
        ASSERT_NE(m_serverConnection, nullptr);
        ASSERT_NE(m_clientConnection, nullptr);
        ASSERT_EQ(WexBusServer::create(
                      m_serverConnection,
                      [this](const std::shared_ptr<WexBusServer::Call>& call) { dispatch(call); }, m_server),
                  WexErrNone);
        std::string why;
        ASSERT_EQ(WexBusConnectionOwn(), WexErrNone);
        m_caller = WexBusCaller::create(m_clientConnection);
    }

    void TearDown() override
    {
        m_kept.clear();
        m_caller.reset();
        m_server.reset();
        for (GDBusConnection* connection : {m_serverConnection, m_clientConnection}) {
            if (connection == nullptr)
                continue;
            g_dbus_connection_close_sync(connection, nullptr, nullptr);
            g_object_unref(connection);
        }
    }

    WexErr WexBusConnectionOwn();

    // The test service: "echo" answers with its payload, "voiceCommand/status"
    // with a field, "subscribe" answers and is kept for further replies,
    // "silent" is never answered; anything else is an unknown method.
    void dispatch(const std::shared_ptr<WexBusServer::Call>& call)
    {
        if (call->method() == "echo" || call->method() == "voiceCommand/status") {
            WexObject reply = call->payload();
            reply.put("returnValue", true);
            reply.put("method", call->method());
            call->reply(reply, false);
        } else if (call->method() == "subscribe") {
            call->setCancelHandler([this, raw = call.get()] { m_cancelled.push_back(raw->serial()); });
            call->reply(parse(R"({"returnValue":true,"n":1})"), false);
            m_kept.push_back(call);
        } else if (call->method() != "silent") {
            call->reply(WexBusWire::errorReply(WexErrUnknownMethod, "unknown method"), false);
        }
    }

    uint64_t callClient(const char* method, const char* json, int count) { return callOn(kService, method, json, count); }

    // A call to `service` whose deliveries collect in m_received.
    uint64_t callOn(const char* service, const char* method, const char* json, int count)
    {
        uint64_t id = 0;
        EXPECT_EQ(m_caller->call(service, method, parse(json), count,
                                 [this](const WexObject& reply, WexErr err, bool last) {
                                     std::string text;
                                     reply.toJson(text);
                                     m_received.push_back({text, err, last});
                                 },
                                 id),
                  WexErrNone);
        return id;
    }

    // A further reply on the n-th kept call.
    WexErr sendFurther(size_t n, int value, bool last = false)
    {
        WexObject reply = parse(R"({"returnValue":true})");
        reply.put("n", value);
        return m_kept.at(n)->reply(reply, last);
    }

    // Lets queued bus traffic arrive (a round trip through the daemon and back).
    void settle()
    {
        bool done = false;
        g_dbus_connection_call(m_clientConnection, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                               "org.freedesktop.DBus", "GetId", nullptr, nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr,
                               [](GObject*, GAsyncResult*, gpointer data) { *static_cast<bool*>(data) = true; },
                               &done);
        runUntil([&] { return done; });
        for (int i = 0; i < 20; ++i)
            g_main_context_iteration(nullptr, FALSE);
    }

    GDBusConnection* m_serverConnection = nullptr;
    GDBusConnection* m_clientConnection = nullptr;
    std::shared_ptr<WexBusServer> m_server;
    std::shared_ptr<WexBusCaller> m_caller;
    std::vector<std::shared_ptr<WexBusServer::Call>> m_kept;
    std::vector<uint64_t> m_cancelled;
    std::vector<Received> m_received;
};

WexErr BusProtocol::WexBusConnectionOwn()
{
    GVariant* result = g_dbus_connection_call_sync(
        m_serverConnection, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
        g_variant_new("(su)", kService, 4u), G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
    if (result == nullptr)
        return WexErrBus;
    g_variant_unref(result);
    return WexErrNone;
}

TEST_F(BusProtocol, OneReplyCallEndsWithItsReply)
{
    callClient("voiceCommand/status", R"({"a":1})", 1);
    ASSERT_TRUE(runUntil([&] { return !m_received.empty(); }));
    EXPECT_EQ(m_received[0].err, WexErrNone);
    EXPECT_TRUE(m_received[0].last);
    EXPECT_EQ(field(m_received[0].json, "a"), "1");
    EXPECT_EQ(field(m_received[0].json, "method"), "\"voiceCommand/status\"");
    EXPECT_EQ(m_caller->pendingCalls(), 0u);
}

TEST_F(BusProtocol, CountedRequestStopsAndCancelsTheSubscription)
{
    callClient("subscribe", "{}", 2);
    ASSERT_TRUE(runUntil([&] { return m_kept.size() == 1 && m_received.size() == 1; }));
    EXPECT_FALSE(m_received[0].last);
    ASSERT_EQ(sendFurther(0, 2), WexErrNone);
    ASSERT_TRUE(runUntil([&] { return m_received.size() == 2; }));
    EXPECT_TRUE(m_received[1].last);
    // The caller had enough and said so.
    ASSERT_TRUE(runUntil([&] { return m_cancelled.size() == 1; }));
    EXPECT_EQ(sendFurther(0, 3), WexErrBus);
    EXPECT_EQ(m_server->keptCalls(), 0u);
}

TEST_F(BusProtocol, OneReplyCallToASubscriptionCancelsOnTheFirstStrayReply)
{
    callClient("subscribe", "{}", 1);
    ASSERT_TRUE(runUntil([&] { return m_kept.size() == 1 && m_received.size() == 1; }));
    EXPECT_TRUE(m_received[0].last);
    ASSERT_EQ(sendFurther(0, 2), WexErrNone);
    ASSERT_TRUE(runUntil([&] { return m_cancelled.size() == 1; }));
    settle();
    EXPECT_EQ(m_received.size(), 1u);
}

TEST_F(BusProtocol, LastReplyEndsTheCallOnBothSides)
{
    callClient("subscribe", "{}", WexBusCaller::Unlimited);
    ASSERT_TRUE(runUntil([&] { return m_kept.size() == 1 && m_received.size() == 1; }));
    ASSERT_EQ(m_kept[0]->reply(WexBusWire::errorReply(0, "subscription ended"), true), WexErrNone);
    ASSERT_TRUE(runUntil([&] { return m_received.size() == 2; }));
    EXPECT_TRUE(m_received[1].last);
    EXPECT_EQ(m_received[1].err, 0);
    EXPECT_EQ(field(m_received[1].json, "returnValue"), "false");
    EXPECT_EQ(m_caller->pendingCalls(), 0u);
    EXPECT_EQ(sendFurther(0, 3), WexErrBus);
    EXPECT_TRUE(m_cancelled.empty());
}

TEST_F(BusProtocol, SubscriberThatLeavesIsCancelled)
{
    callClient("subscribe", "{}", WexBusCaller::Unlimited);
    ASSERT_TRUE(runUntil([&] { return m_kept.size() == 1 && m_received.size() == 1; }));
    EXPECT_EQ(m_server->keptCalls(), 1u);
    g_dbus_connection_close_sync(m_clientConnection, nullptr, nullptr);
    ASSERT_TRUE(runUntil([&] { return m_cancelled.size() == 1; }));
    EXPECT_EQ(m_server->keptCalls(), 0u);
    EXPECT_EQ(sendFurther(0, 2), WexErrBus);
}

TEST_F(BusProtocol, DroppedCallNeedsNoCancel)
{
    callClient("subscribe", "{}", WexBusCaller::Unlimited);
    ASSERT_TRUE(runUntil([&] { return m_kept.size() == 1; }));
    m_kept.clear();  // the service lets go of the subscription
    EXPECT_EQ(m_server->keptCalls(), 0u);
    g_dbus_connection_close_sync(m_clientConnection, nullptr, nullptr);
    settle();
    EXPECT_TRUE(m_cancelled.empty());
}

TEST_F(BusProtocol, UnansweredCallStaysPendingUntilCancelled)
{
    uint64_t id = callClient("silent", "{}", 1);
    settle();
    EXPECT_TRUE(m_received.empty());
    EXPECT_EQ(m_caller->pendingCalls(), 1u);
    m_caller->cancel(id);
    settle();
    EXPECT_TRUE(m_received.empty());
    EXPECT_EQ(m_caller->pendingCalls(), 0u);
}

TEST_F(BusProtocol, CallToAMissingServiceFailsWithABusError)
{
    callOn("com.orvel.nobody", "echo", "{}", 1);
    ASSERT_TRUE(runUntil([&] { return !m_received.empty(); }));
    EXPECT_EQ(m_received[0].err, WexErrBus);
    EXPECT_TRUE(m_received[0].last);
    EXPECT_EQ(field(m_received[0].json, "errorCode"), std::to_string(WexErrBus));
}

TEST_F(BusProtocol, CallsThatCannotBeSentFailAtOnce)
{
    uint64_t id = 0;
    auto ignore = [](const WexObject&, WexErr, bool) { ADD_FAILURE() << "delivered"; };
    EXPECT_EQ(m_caller->call("not a name", "echo", parse("{}"), 1, ignore, id), WexErrInvalidArg);
    EXPECT_EQ(m_caller->call(kService, "echo", parse("{}"), 0, ignore, id), WexErrInvalidArg);
    EXPECT_EQ(m_caller->call(kService, "echo", parse("[1]"), 1, ignore, id), WexErrInvalidArg);
    WexObject huge = WexObject::object();
    huge.put("blob", std::string(WexBusWire::MaxPayloadSize, 'x'));
    EXPECT_EQ(m_caller->call(kService, "echo", huge, 1, ignore, id), WexErrTooLarge);
    g_dbus_connection_close_sync(m_clientConnection, nullptr, nullptr);
    EXPECT_EQ(m_caller->call(kService, "echo", parse("{}"), 1, ignore, id), WexErrBus);
    settle();
    EXPECT_EQ(m_caller->pendingCalls(), 0u);
}

struct BadPayload {
    const char* name;
    std::string text;
    WexErr code;
};

void PrintTo(const BadPayload& payload, std::ostream* out)
{
    *out << payload.name;
}

class BusBadPayload : public BusProtocol, public ::testing::WithParamInterface<BadPayload> {};

// Sent raw, as a peer that does not use this library could.
TEST_P(BusBadPayload, GetsAnErrorReplyAndTheServiceKeepsAnswering)
{
    std::string text;
    bool last = true;
    ASSERT_TRUE(rawBusCall(m_clientConnection, kService, "echo", GetParam().text, text, last));
    EXPECT_EQ(field(text, "returnValue"), "false");
    EXPECT_EQ(field(text, "errorCode"), std::to_string(GetParam().code));
    EXPECT_FALSE(last);

    callClient("echo", R"({"after":true})", 1);
    ASSERT_TRUE(runUntil([&] { return !m_received.empty(); }));
    EXPECT_EQ(field(m_received[0].json, "after"), "true");
}

INSTANTIATE_TEST_SUITE_P(
    Payloads, BusBadPayload,
    ::testing::Values(BadPayload{"NotJson", "{\"a\":", WexErrBadJson}, BadPayload{"Empty", "", WexErrBadJson},
                      BadPayload{"NotAnObject", "[1,2]", WexErrBadJson},
                      BadPayload{"TooDeep", std::string(100000, '[') + std::string(100000, ']'), WexErrBadJson},
                      BadPayload{"TooLarge", "{\"a\":\"" + std::string(WexBusWire::MaxPayloadSize, 'x') + "\"}",
                                 WexErrTooLarge}),
    [](const ::testing::TestParamInfo<BadPayload>& info) { return info.param.name; });

// A peer at a name that exports the bus object but answers Call with another
// signature: the caller cannot read a reply or its `last` flag from it, and
// nothing of this mapping follows, so even a subscription ends there.
struct ForeignAnswer {
    const char* name;
    const char* signature;  // of Call's out arguments
    const char* value;      // the returned tuple, GVariant text
};

void PrintTo(const ForeignAnswer& answer, std::ostream* out)
{
    *out << answer.name;
}

class BusForeignPeer : public BusProtocol, public ::testing::WithParamInterface<ForeignAnswer> {};

TEST_P(BusForeignPeer, AnswerOfAnotherSignatureEndsTheCall)
{
    constexpr const char* kForeign = "com.orvel.foreign";
    std::string xml = "<node><interface name='com.orvel.Bus'><method name='Call'>"
                      "<arg name='method' type='s' direction='in'/><arg name='payload' type='s' direction='in'/>";
    for (const char* type = GetParam().signature; *type != '\0'; ++type)
        xml += std::string("<arg type='") + *type + "' direction='out'/>";
    xml += "</method></interface></node>";
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(xml.c_str(), nullptr);
    ASSERT_NE(node, nullptr);
    GDBusConnection* peer = connectToBus();
    static const GDBusInterfaceVTable vtable = {
        [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant*,
           GDBusMethodInvocation* invocation, gpointer data) {
            g_dbus_method_invocation_return_value(
                invocation, g_variant_parse(nullptr, static_cast<const char*>(data), nullptr, nullptr, nullptr));
        },
        nullptr, nullptr, {}};
    guint registration = g_dbus_connection_register_object(peer, WexBusWire::ObjectPath, node->interfaces[0],
                                                           &vtable, const_cast<char*>(GetParam().value), nullptr,
                                                           nullptr);
    ASSERT_NE(registration, 0u);
    GVariant* owned = g_dbus_connection_call_sync(
        peer, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
        g_variant_new("(su)", kForeign, 4u), G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
    ASSERT_NE(owned, nullptr);
    g_variant_unref(owned);

    callOn(kForeign, "subscribe", "{}", WexBusCaller::Unlimited);
    ASSERT_TRUE(runUntil([&] { return !m_received.empty(); }));
    EXPECT_EQ(m_received[0].err, WexErrBadJson);
    EXPECT_TRUE(m_received[0].last);
    EXPECT_EQ(m_caller->pendingCalls(), 0u);

    g_dbus_connection_unregister_object(peer, registration);
    g_dbus_connection_close_sync(peer, nullptr, nullptr);
    g_object_unref(peer);
    g_dbus_node_info_unref(node);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, BusForeignPeer,
    ::testing::Values(ForeignAnswer{"TextOnly", "s", "('{\"returnValue\":true}',)"},
                      ForeignAnswer{"Nothing", "", "()"},
                      ForeignAnswer{"FlagFirst", "bs", "(false, '{\"returnValue\":true}')"}),
    [](const ::testing::TestParamInfo<ForeignAnswer>& info) { return info.param.name; });

TEST_F(BusProtocol, UnknownMethodGetsAnErrorReply)
{
    callClient("noSuchMethod", "{}", 1);
    ASSERT_TRUE(runUntil([&] { return !m_received.empty(); }));
    EXPECT_EQ(m_received[0].err, WexErrUnknownMethod);
}

} // namespace
