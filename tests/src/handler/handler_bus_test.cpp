// The request handler as the bus sees it: the service "com.orvel.merrowind"
// of this process answered by the handler, called from a second service of
// this process on a private bus. The handler's outside steps and the ending
// of the service are doubles.
#include "core/ce/dvk_ce_requests.h"
#include "oem/dvk_oem_settings.h"
#include "sdk/common/dvk_mem.h"
#include "platform/bus/wex_bus_wire.h"
#include "platform/bus/wex_service_request.h"
#include "platform/bus/wex_sorna_service.h"
#include "src/QrVoiceCmdServiceHandler.h"
#include "src/QrvLangSettingGetter.h"
#include "oem/dvk_oem_watchdog.h"
#include "src/QrvSettings.h"
#include "src/QrvWatchdog.h"
#include "src/QrvWorkQueues.h"
#include "tests/platform/bus/private_bus.h"
#include "tests/src/handler/handler_doubles.h"
#include "tests/src/service_end_double.h"
#include "tests/support/log_capture.h"
#include "tests/support/vr_thread.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <mutex>
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

WexObject parse(const std::string& text)
{
    WexObject value;
    EXPECT_EQ(WexObject::parse(text, value), WexErrNone) << text;
    return value;
}

std::string json(const WexObject& value)
{
    std::string text;
    value.toJson(text);
    return text;
}

// The replies of one request, and the request (to cancel it).
class Call : public WexSignalHandler {
public:
    WexErr Result(WexObject& reply, WexErr err)
    {
        replies.push_back(reply);
        errors.push_back(err);
        return WexErrNone;
    }
    size_t count() const { return replies.size(); }
    int64_t errorCode(size_t i = 0) const
    {
        int64_t code = 0;
        replies.at(i).get("errorCode", code);
        return code;
    }
    std::string errorText(size_t i = 0) const
    {
        std::string text;
        replies.at(i).get("errorText", text);
        return text;
    }
    bool success(size_t i = 0) const
    {
        bool value = false;
        return replies.at(i).get("returnValue", value) == WexErrNone && value;
    }

    std::vector<WexObject> replies;
    std::vector<WexErr> errors;
    WexRefCountedPtr<WexServiceRequest> request;
    WexReplySlot slot{this, &Call::Result};
};

// The client's own methods: a target for the handler's outgoing requests.
class ClientHandler : public WexService::CategoryHandler {
public:
    WexErr echo(WexServiceMessage* message) { return message->reply(message->payload()); }
};

const WexService::CategoryHandler::Method kClientMethods[] = {
    WexService::CategoryHandler::method("echo", &ClientHandler::echo),
    {},
};

// The operations no bus method reaches, made callable for these tests.
const WexService::CategoryHandler::Method kHiddenMethods[] = {
    WexService::CategoryHandler::method("setLogLevel", &Handler::setLogLevel),
    WexService::CategoryHandler::method("rebuild", &Handler::rebuild),
    WexService::CategoryHandler::method("downloadTicket", &Handler::downloadTicket),
    {},
};

class HandlerOnBus : public ::testing::Test {
protected:
    void SetUp() override
    {
        QrvWorkQueuesInit();
        ASSERT_EQ(service.open(kName), WexErrNone);
        handler = Handler::newService(service);
        ASSERT_TRUE(handler);
        ASSERT_EQ(handler->Init(), WexErrNone);
        ASSERT_EQ(handler->addMethods(kHiddenMethods, false), WexErrNone);
        ASSERT_EQ(service.setDefaultCategory(handler), WexErrNone);
        ASSERT_EQ(client.open("com.orvel.test.client"), WexErrNone);
        ASSERT_EQ(client.setDefaultCategory(clientHandler), WexErrNone);
        ASSERT_EQ(clientHandler->addMethods(kClientMethods, false), WexErrNone);
    }

    void TearDown() override
    {
        // A pending subscription and its collector keep each other alive.
        for (auto& c : m_calls) {
            if (c->request->isPending())
                c->request->cancel();
            c->request.reset();
        }
        Handler::shutdown();
        handler.reset();
        client.close();
        service.close();
    }

    // Sends `method` with `payload` and waits for `wait` replies.
    WexRefCountedPtr<Call> call(const char* method, const std::string& payload, size_t wait = 1, int replies = 1)
    {
        auto c = wexMakeRefCounted<Call>();
        EXPECT_EQ(WexServiceRequest::create(&client, c->request), WexErrNone);
        EXPECT_EQ(c->request->send(c->slot, kName, method, parse(payload), replies), WexErrNone);
        EXPECT_TRUE(runUntil([&] { return c->count() >= wait; }, kPatienceMs)) << method << " " << payload;
        m_calls.push_back(c);
        return c;
    }
    WexRefCountedPtr<Call> subscribe() { return call("registerUI", "{}", 1, WexServiceRequest::Unlimited); }

    // Brings the handler to STATE_RUNNING as a foreground session.
    void startSession()
    {
        auto c = call("startVoiceCommand", R"({"source":"test"})");
        ASSERT_TRUE(c->success());
        ASSERT_EQ(handler->state(), Handler::STATE_RUNNING);
    }

    ServiceEndDouble end;
    BringupStartDouble bringup;
    InitCheckDouble initCheck;
    UiStateChangeDouble uiState;
    SuiteUiEventDouble suite;
    LangPackDownloadDouble download;
    WexSornaService service{true, nullptr};
    WexSornaService client{true, nullptr};
    WexRefCountedPtr<ClientHandler> clientHandler = wexMakeRefCounted<ClientHandler>();
    WexRefCountedPtr<Handler> handler;

private:
    std::vector<WexRefCountedPtr<Call>> m_calls;
};

// ---- stopVoiceCommand ---------------------------------------------------------

TEST_F(HandlerOnBus, StopBeforeAnyStartAnswersNotRunningAndStillEnds)
{
    LogCapture log;
    auto c = call("stopVoiceCommand", R"({"why":"user"})");
    // Only the name is logged, not the payload.
    EXPECT_TRUE(log.contains("QrvLogUI", WexLogNotice, "stopVoiceCommand"));
    EXPECT_FALSE(log.contains("message received"));
    EXPECT_FALSE(c->success());
    EXPECT_EQ(c->errorCode(), -980);
    EXPECT_EQ(c->errorText(), "merrowind wasn't running");
    EXPECT_EQ(end.closings, 1);
}

TEST_F(HandlerOnBus, StopDuringASessionAnswersSuccessAndEnds)
{
    startSession();
    auto c = call("stopVoiceCommand", R"({"anything":1})");
    EXPECT_TRUE(c->success());
    EXPECT_EQ(end.closings, 1);
    EXPECT_EQ(end.shutdowns, 0);
}

// ---- startVoiceCommand and syncDone -------------------------------------------

TEST_F(HandlerOnBus, StartWithoutUsableSourceChangesNothing)
{
    for (const char* payload : {"{}", R"({"source":5})", R"({"source":null})", R"({"source":["x"]})", R"({"Source":"x"})"}) {
        SCOPED_TRACE(payload);
        auto c = call("startVoiceCommand", payload);
        EXPECT_FALSE(c->success());
        EXPECT_EQ(c->errorCode(), WexErrMissingProperty);
    }
    EXPECT_TRUE(QrvSettings::getBackgroundProcessingFlag());
    EXPECT_EQ(handler->state(), Handler::STATE_INITIALIZED);
    EXPECT_EQ(bringup.begins, 0);
}

TEST_F(HandlerOnBus, StartAcceptsOnceAndIgnoresRepeats)
{
    LogCapture log;
    auto first = call("startVoiceCommand", R"({"source":"x"})");
    EXPECT_TRUE(first->success());
    EXPECT_FALSE(first->replies[0].hasKey("info"));
    EXPECT_EQ(handler->state(), Handler::STATE_RUNNING);
    EXPECT_FALSE(QrvSettings::getBackgroundProcessingFlag());
    EXPECT_EQ(bringup.begins, 1);
    EXPECT_TRUE(log.contains("QrvLogUI", WexLogInfo, R"(startVoiceCommand: message received: {"source":"x"})"));
    EXPECT_TRUE(log.contains("StartCommon: m_state = STATE_INITIALIZED"));

    for (const char* method : {"startVoiceCommand", "syncDone"}) {
        auto again = call(method, R"({"source":"x"})");
        EXPECT_TRUE(again->success());
        EXPECT_EQ(json(again->replies[0]), R"({"info":"ignored: already running","returnValue":true})");
    }
    EXPECT_EQ(bringup.begins, 1);
    EXPECT_TRUE(log.contains("StartCommon: already running.  Ignoring request."));
}

// The process's niceness.
int niceness()
{
    errno = 0;
    return nice(0);
}

TEST_F(HandlerOnBus, SyncDoneRunsInTheBackground)
{
    const int before = niceness();
    auto c = call("syncDone", R"({"whatever":true})");
    EXPECT_TRUE(c->success());
    EXPECT_EQ(handler->state(), Handler::STATE_RUNNING);
    EXPECT_TRUE(QrvSettings::getBackgroundProcessingFlag());
    EXPECT_EQ(bringup.begins, 1);
    EXPECT_EQ(niceness(), before);
}

// A refused start must not turn a running background update into a
// foreground session, nor raise its priority.
TEST_F(HandlerOnBus, StartDuringABackgroundUpdateLeavesItInTheBackground)
{
    ASSERT_TRUE(call("syncDone", "{}")->success());
    const int before = niceness();
    LogCapture log;
    auto c = call("startVoiceCommand", R"({"source":"x"})");
    EXPECT_EQ(json(c->replies[0]), R"({"info":"ignored: already running","returnValue":true})");
    EXPECT_TRUE(QrvSettings::getBackgroundProcessingFlag());
    EXPECT_EQ(bringup.begins, 1);
    EXPECT_EQ(niceness(), before);
    EXPECT_FALSE(log.contains("Unable to decrease nice value"));
}

// ---- registerUI ------------------------------------------------------------------

TEST_F(HandlerOnBus, RegisterBeforeAnyStartIsABadStateAndShutsDown)
{
    auto c = subscribe();
    EXPECT_EQ(c->errorCode(), WexErrBadState);
    EXPECT_EQ(c->errorText(), "Bad state");
    EXPECT_EQ(end.shutdowns, 1);
    EXPECT_EQ(handler->uiSubscription(), nullptr);
    EXPECT_FALSE(handler->uiRegistered());
}

TEST_F(HandlerOnBus, RegisterInASessionSubscribesAndChecksTheBringup)
{
    startSession();
    auto ui = subscribe();
    EXPECT_TRUE(ui->success());
    EXPECT_TRUE(handler->uiRegistered());
    EXPECT_NE(handler->uiSubscription(), nullptr);
    EXPECT_EQ(uiState.initializing, 1);
    EXPECT_EQ(initCheck.checks, 1);

    WexObject request = parse(R"({"title":"hello"})");
    EXPECT_EQ(Handler::uiRequestNoNesting(request, "displayText"), WexErrNone);
    ASSERT_TRUE(runUntil([&] { return ui->count() == 2; }, kPatienceMs));
    EXPECT_EQ(json(ui->replies[1]), R"({"command":"displayText","returnValue":true,"title":"hello"})");
}

TEST_F(HandlerOnBus, ASecondRegistrationReplacesTheFirst)
{
    startSession();
    auto first = subscribe();
    LogCapture log;
    auto second = subscribe();
    EXPECT_TRUE(log.contains("QrvLogUI", WexLogWarning,
                             "UI subscription already received.  Replacing it with new subscription."));
    // The first subscriber hears it is done, as at the end of a session.
    ASSERT_TRUE(runUntil([&] { return first->count() == 2; }, kPatienceMs));
    EXPECT_FALSE(first->success(1));
    EXPECT_EQ(first->errorCode(1), 0);
    EXPECT_FALSE(first->request->isPending());
    WexObject request = parse(R"({"level":3})");
    ASSERT_EQ(Handler::uiRequestNoNesting(request, "audioLevel"), WexErrNone);
    ASSERT_TRUE(runUntil([&] { return second->count() == 2; }, kPatienceMs));
    runUntil([] { return false; }, 100);
    EXPECT_EQ(first->count(), 2u);
    EXPECT_TRUE(second->request->isPending());

    // The replaced subscriber going away ends nothing.
    first->request->cancel();
    runUntil([] { return false; }, 200);
    EXPECT_EQ(end.total(), 0);
    EXPECT_TRUE(suite.events.empty());
    EXPECT_NE(handler->uiSubscription(), nullptr);

    // The current one going away runs UIexited: no suite yet, so the session ends.
    second->request->cancel();
    ASSERT_TRUE(runUntil([&] { return end.closings == 1; }, kPatienceMs));
}

TEST_F(HandlerOnBus, UiLeavingWithTheSuiteRunningSendsItTheExitEvent)
{
    startSession();
    handler->setVRThreadActiveFlag();
    auto ui = subscribe();
    ui->request->cancel();
    ASSERT_TRUE(runUntil([&] { return !suite.events.empty(); }, kPatienceMs));
    EXPECT_EQ(suite.events, (std::vector<std::pair<int32_t, int32_t>>{{2, 0}}));
    EXPECT_EQ(end.total(), 0);
}

TEST_F(HandlerOnBus, SubscriptionCancelEndsTheSubscriberAndStopsDisplayRequests)
{
    startSession();
    auto ui = subscribe();
    ASSERT_EQ(Handler::UISubscriptionCancel(), WexErrNone);
    ASSERT_TRUE(runUntil([&] { return ui->count() == 2; }, kPatienceMs));
    EXPECT_FALSE(ui->success(1));
    EXPECT_EQ(ui->errorCode(1), 0);
    EXPECT_EQ(handler->uiSubscription(), nullptr);

    LogCapture log;
    WexObject request = parse(R"({"a":1})");
    EXPECT_EQ(Handler::uiRequestNoNesting(request, "displayCommand"), WexErrNone);
    EXPECT_TRUE(log.contains("s_qrVoiceCmdServiceHandler->m_uiSubscription is 0.  command=displayCommand {{\"a\":1}}"));
    runUntil([] { return false; }, 100);
    EXPECT_EQ(ui->count(), 2u);
    EXPECT_EQ(end.total(), 0);
}

TEST_F(HandlerOnBus, ShutdownReleasesTheHandlerAndIgnoresLaterCancels)
{
    startSession();
    auto ui = subscribe();
    Handler::shutdown();
    EXPECT_FALSE(Handler::S_getQrVoiceCmdServiceHandler());
    // The UI still subscribed hears that the service is going away.
    ASSERT_TRUE(runUntil([&] { return ui->count() == 2; }, kPatienceMs));
    EXPECT_FALSE(ui->success(1));
    EXPECT_EQ(ui->errorCode(1), 0);
    EXPECT_FALSE(ui->request->isPending());
    ui->request->cancel();
    runUntil([] { return false; }, 200);
    EXPECT_EQ(end.total(), 0);

    LogCapture log;
    WexObject request = WexObject::object();
    EXPECT_EQ(Handler::uiRequestNoNesting(request, "displayText"), WexErrNone);
    EXPECT_TRUE(log.contains("s_qrVoiceCmdServiceHandler is 0"));
    EXPECT_EQ(Handler::serviceSendStatic("com.orvel.test.client", "echo", WexObject::object()), WexErrNone);
    EXPECT_TRUE(log.contains("ERROR in serviceSendStatic: s_qrVoiceCmdServiceHandler is 0"));
}

// ---- UIevent -----------------------------------------------------------------------

TEST_F(HandlerOnBus, EventBeforeTheSuiteIsReadyIsABadStateAndShutsDown)
{
    auto before = call("UIevent", R"({"event":2,"index":0})");
    EXPECT_EQ(before->errorCode(), WexErrBadState);
    EXPECT_EQ(before->errorText(), "Bad state");
    EXPECT_EQ(end.shutdowns, 1);

    startSession();
    auto starting = call("UIevent", R"({"event":5,"index":1})");
    EXPECT_EQ(starting->errorCode(), WexErrBadState);
    EXPECT_EQ(end.shutdowns, 2);
    EXPECT_TRUE(suite.events.empty());
}

TEST_F(HandlerOnBus, EventsGoToTheSuiteUntilTheExitEvent)
{
    startSession();
    handler->setVRThreadActiveFlag();
    auto bad = call("UIevent", R"({"event":"2","index":0})");
    EXPECT_EQ(bad->errorCode(), WexErrMissingProperty);
    auto noIndex = call("UIevent", R"({"event":2})");
    EXPECT_EQ(noIndex->errorCode(), WexErrMissingProperty);
    auto tooBig = call("UIevent", R"({"event":4294967296,"index":0})");
    EXPECT_EQ(tooBig->errorCode(), WexErrMissingProperty);
    EXPECT_TRUE(suite.events.empty());
    EXPECT_FALSE(handler->exitEventReceived());

    EXPECT_TRUE(call("UIevent", R"({"event":5,"index":3})")->success());
    EXPECT_TRUE(call("UIevent", R"({"event":2,"index":0})")->success());
    EXPECT_TRUE(handler->exitEventReceived());

    // Later events are dropped, but each call is answered: the UI must not
    // hang on a call the service will never reply to.
    LogCapture log;
    auto after = call("UIevent", R"({"event":6,"index":1})");
    EXPECT_TRUE(log.contains("Exit event received previously.  Ignoring this event (6 1)"));
    ASSERT_EQ(after->count(), 1u);
    EXPECT_EQ(json(after->replies[0]), R"({"info":"ignored: exiting","returnValue":true})");
    EXPECT_EQ(suite.events, (std::vector<std::pair<int32_t, int32_t>>{{5, 3}, {2, 0}}));
    EXPECT_EQ(end.total(), 0);
}

// The suite stops the process on a negative index for select or set-focus:
// from the bus that is bad input, refused without ending anything.
TEST_F(HandlerOnBus, ANegativeIndexForSelectOrSetFocusIsRefused)
{
    startSession();
    handler->setVRThreadActiveFlag();
    LogCapture log;
    for (const char* payload : {R"({"event":18,"index":-1})", R"({"event":20,"index":-1})",
                                R"({"event":18,"index":-2147483648})"}) {
        SCOPED_TRACE(payload);
        auto refused = call("UIevent", payload);
        EXPECT_EQ(refused->errorCode(), WexErrInvalidArg);
        EXPECT_EQ(refused->errorCode(), -5008);
    }
    EXPECT_TRUE(log.contains("QrvLogUI", WexLogWarning, "event 18 needs an item index, got -1: refused"));
    EXPECT_TRUE(suite.events.empty());
    EXPECT_FALSE(handler->exitEventReceived());

    EXPECT_TRUE(call("UIevent", R"({"event":18,"index":0})")->success());
    EXPECT_TRUE(call("UIevent", R"({"event":20,"index":7})")->success());
    EXPECT_TRUE(call("UIevent", R"({"event":2,"index":-1})")->success());
    EXPECT_EQ(suite.events, (std::vector<std::pair<int32_t, int32_t>>{{18, 0}, {20, 7}, {2, -1}}));
    EXPECT_EQ(end.total(), 0);
    EXPECT_EQ(handler->state(), Handler::STATE_RUNNING);
}

// What the engine's event slot received on "VR".
std::mutex s_engineLock;
std::vector<std::pair<int32_t, int32_t>> s_engineEvents;

void engineEvent(void* data, dvk_msg_Address)
{
    const auto* request = static_cast<dvk_ce_HandleEventRequest*>(data);
    dvk_ce_lowerPendingEventCount();
    std::lock_guard<std::mutex> lock(s_engineLock);
    s_engineEvents.emplace_back(request->event, request->index);
}

size_t engineEvents()
{
    std::lock_guard<std::mutex> lock(s_engineLock);
    return s_engineEvents.size();
}

TEST_F(HandlerOnBus, EventsReachTheSuiteThroughItsEventMessage)
{
    QrvSuiteUiEvent::set(nullptr);  // the service's own hand-over
    startSession();
    handler->setVRThreadActiveFlag();
    const long blocks = dvk_mem_liveBlocks();

    // Without an engine the suite logs the event and drops it.
    LogCapture log;
    EXPECT_TRUE(call("UIevent", R"({"event":5,"index":1})")->success());
    ASSERT_TRUE(runUntil([&] { return log.contains("no engine for event 5 index 1"); }, kPatienceMs));
    drainVr();
    EXPECT_EQ(dvk_ce_getPendingEventCount(), 0);
    EXPECT_EQ(dvk_mem_liveBlocks(), blocks);

    s_engineEvents.clear();
    const dvk_ce_RequestHandlers engine = {nullptr, nullptr, nullptr, nullptr, engineEvent};
    dvk_ce_setRequestHandlers(&engine);
    EXPECT_EQ(call("UIevent", R"({"event":18,"index":-1})")->errorCode(), -5008);
    EXPECT_EQ(call("UIevent", R"({"event":20,"index":-1})")->errorCode(), -5008);
    EXPECT_TRUE(call("UIevent", R"({"event":18,"index":0})")->success());
    EXPECT_TRUE(call("UIevent", R"({"event":2,"index":-1})")->success());
    EXPECT_TRUE(runUntil([] { return engineEvents() == 2; }, kPatienceMs));
    drainVr();
    dvk_ce_setRequestHandlers(nullptr);
    EXPECT_EQ(s_engineEvents, (std::vector<std::pair<int32_t, int32_t>>{{18, 0}, {2, -1}}));
    EXPECT_EQ(dvk_ce_getPendingEventCount(), 0);
    EXPECT_EQ(dvk_mem_liveBlocks(), blocks);
    EXPECT_EQ(end.total(), 0);
}

TEST_F(HandlerOnBus, AnEventTheSuiteCannotTakeIsLogged)
{
    QrvSuiteUiEvent::set(nullptr);
    startSession();
    handler->setVRThreadActiveFlag();
    LogCapture log;
    dvk_mem_failAfter(0);
    auto c = call("UIevent", R"({"event":7,"index":0})");
    dvk_mem_failAfter(-1);
    EXPECT_TRUE(c->success());
    EXPECT_TRUE(log.contains("QrvLogUI", WexLogError, "dvk_ui_sendEvent failed for event 7 index 0"));
    drainVr();
    EXPECT_EQ(dvk_ce_getPendingEventCount(), 0);
}

TEST_F(HandlerOnBus, AudioRoutingEndingTheSessionStopsLaterEvents)
{
    startSession();
    handler->setVRThreadActiveFlag();
    Handler::S_setExitEventReceived();
    EXPECT_TRUE(handler->exitEventReceived());
    auto c = call("UIevent", R"({"event":5,"index":0})");
    ASSERT_EQ(c->count(), 1u);
    EXPECT_EQ(json(c->replies[0]), R"({"info":"ignored: exiting","returnValue":true})");
    EXPECT_TRUE(suite.events.empty());
}

// ---- malformed payloads ----------------------------------------------------------

struct RawReply {
    bool done = false;
    std::string reply;
    std::string error;
};

// Sends a raw Call (any text as payload) straight over D-Bus.
RawReply rawCall(const char* method, const std::string& payload)
{
    GDBusConnection* bus = connectToBus();
    RawReply result;
    g_dbus_connection_call(
        bus, kName, WexBusWire::ObjectPath, WexBusWire::Interface, WexBusWire::CallMethod,
        g_variant_new("(ss)", method, payload.c_str()), G_VARIANT_TYPE("(sb)"), G_DBUS_CALL_FLAGS_NONE, kPatienceMs,
        nullptr,
        [](GObject* source, GAsyncResult* res, gpointer data) {
            auto* out = static_cast<RawReply*>(data);
            GError* error = nullptr;
            GVariant* value = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), res, &error);
            if (value != nullptr) {
                const gchar* text = nullptr;
                gboolean last = FALSE;
                g_variant_get(value, "(&sb)", &text, &last);
                out->reply = text;
                g_variant_unref(value);
            } else {
                out->error = error->message;
                g_error_free(error);
            }
            out->done = true;
        },
        &result);
    EXPECT_TRUE(runUntil([&] { return result.done; }, kPatienceMs));
    g_object_unref(bus);
    return result;
}

TEST_F(HandlerOnBus, MalformedPayloadsGetErrorRepliesAndTheServiceGoesOn)
{
    // Just over the limit: far larger payloads crawl through a loaded bus
    // until the watchdog (armed at start, no session) ends the service.
    const std::string huge = R"({"source":")" + std::string(WexBusWire::MaxPayloadSize, 'x') + R"("})";
    const std::string deep = std::string(300, '[') + std::string(300, ']');
    for (const char* method : {"startVoiceCommand", "UIevent", "registerUI", "syncDone", "stopVoiceCommand"}) {
        for (const std::string& payload : {std::string("not json"), std::string("[1,2]"), std::string("\"text\""),
                                           std::string("{\"source\":"), deep, huge}) {
            SCOPED_TRACE(std::string(method) + " " + payload.substr(0, 20));
            RawReply r = rawCall(method, payload);
            ASSERT_TRUE(r.error.empty()) << r.error;
            WexObject reply = parse(r.reply);
            bool ok = true;
            EXPECT_EQ(reply.get("returnValue", ok), WexErrNone);
            EXPECT_FALSE(ok);
        }
    }
    EXPECT_EQ(handler->state(), Handler::STATE_INITIALIZED);
    EXPECT_EQ(end.total(), 0);
    EXPECT_TRUE(call("startVoiceCommand", R"({"source":"x"})")->success());
}

// ---- operations no bus method reaches ----------------------------------------------

TEST_F(HandlerOnBus, HiddenOperationsRefuseTheInitialState)
{
    for (const char* method : {"setLogLevel", "downloadTicket"}) {
        SCOPED_TRACE(method);
        auto c = call(method, R"({"level":"debug","ticket":1,"action":"started"})");
        EXPECT_EQ(c->errorCode(), WexErrBadState);
    }
    EXPECT_EQ(end.shutdowns, 2);
    EXPECT_TRUE(download.tickets.empty());
}

TEST_F(HandlerOnBus, PortingLayerSettingsFollowTheSessionLanguage)
{
    QrvLangSettingGetter::resetForTesting();
    WexObject reply;
    ASSERT_EQ(WexObject::parse(R"({"locale":{"languageCode":"de","countryCode":"DE"},"enableVoiceCommand":true})", reply), WexErrNone);
    wexMakeRefCounted<QrvLangSettingGetter>(nullptr)->Result(reply, WexErrNone);
    EXPECT_EQ(dvk_oem_settings_getCurrentLanguage(), 1);
    QrvLangSettingGetter::resetForTesting();
}

TEST_F(HandlerOnBus, SetLogLevelOnlyAnswers)
{
    startSession();
    WexLogger::find("QrvLogUI")->setLevel(WexLogDebug);
    LogCapture log;
    EXPECT_EQ(call("setLogLevel", "{}")->errorCode(), WexErrMissingProperty);
    EXPECT_EQ(call("setLogLevel", R"({"level":3})")->errorCode(), WexErrMissingProperty);
    EXPECT_TRUE(call("setLogLevel", R"({"level":"trace"})")->success());
    EXPECT_TRUE(log.contains("QrvLogUI", WexLogDebug, "log level set to ...trace"));
    EXPECT_EQ(WexLogger::find("QrvLogUI")->level(), WexLogDebug);
}

TEST_F(HandlerOnBus, RebuildStartsTheBringupFromTheInitialStateOnly)
{
    EXPECT_TRUE(call("rebuild", "{}")->success());
    EXPECT_EQ(handler->state(), Handler::STATE_RUNNING);
    EXPECT_TRUE(QrvSettings::getBackgroundProcessingFlag());
    EXPECT_EQ(bringup.begins, 1);
    EXPECT_TRUE(call("rebuild", "{}")->success());
    EXPECT_EQ(bringup.begins, 1);
}

struct TicketCase {
    const char* payload;
    int64_t errorCode;       // 0: success
    const char* errorText;
    int state;               // afterwards
    size_t monitors;         // download monitors started
};

void PrintTo(const TicketCase& t, std::ostream* os)
{
    *os << t.payload;
}

class DownloadTicket : public HandlerOnBus, public ::testing::WithParamInterface<TicketCase> {};

TEST_P(DownloadTicket, AnswersByAction)
{
    startSession();
    const TicketCase& t = GetParam();
    auto c = call("downloadTicket", t.payload);
    if (t.errorCode == 0) {
        EXPECT_TRUE(c->success());
    } else {
        EXPECT_EQ(c->errorCode(), t.errorCode);
        EXPECT_EQ(c->errorText(), t.errorText);
    }
    EXPECT_EQ(handler->state(), t.state);
    EXPECT_EQ(download.tickets.size(), t.monitors);
}

INSTANTIATE_TEST_SUITE_P(
    Actions, DownloadTicket,
    ::testing::Values(TicketCase{R"({"ticket":42,"action":"started"})", 0, "", Handler::STATE_LANGPACK_DOWNLOAD_FOREGROUND, 1},
                      TicketCase{R"({"ticket":42,"action":"user canceled"})", 0, "", Handler::STATE_RUNNING, 0},
                      TicketCase{R"({"ticket":42,"action":"paused"})", -4996,
                                 "expected \"started\" or \"user canceled\"", Handler::STATE_RUNNING, 0},
                      TicketCase{R"({"action":"started"})", WexErrMissingProperty, "missing property",
                                 Handler::STATE_RUNNING, 0},
                      TicketCase{R"({"ticket":"42","action":"started"})", WexErrMissingProperty, "missing property",
                                 Handler::STATE_RUNNING, 0},
                      TicketCase{R"({"ticket":42})", WexErrMissingProperty, "missing property",
                                 Handler::STATE_RUNNING, 0}));

TEST_F(HandlerOnBus, DownloadMovesBetweenForegroundAndBackgroundWithTheUi)
{
    startSession();
    ASSERT_TRUE(call("downloadTicket", R"({"ticket":7,"action":"started"})")->success());
    EXPECT_EQ(download.tickets, std::vector<int64_t>{7});
    EXPECT_TRUE(handler->isRunningInForeground());

    auto ui = subscribe();
    EXPECT_EQ(initCheck.checks, 0);  // nothing more in state 1
    ui->request->cancel();
    ASSERT_TRUE(runUntil([&] { return handler->state() == Handler::STATE_LANGPACK_DOWNLOAD_BACKGROUND; }, kPatienceMs));
    EXPECT_EQ(handler->uiSubscription(), nullptr);
    EXPECT_FALSE(handler->isRunningInForeground());
    EXPECT_EQ(end.total(), 0);

    // Starting again in the background download is accepted without a state change.
    EXPECT_TRUE(call("startVoiceCommand", R"({"source":"x"})")->success());
    EXPECT_EQ(handler->state(), Handler::STATE_LANGPACK_DOWNLOAD_BACKGROUND);

    auto again = subscribe();
    EXPECT_TRUE(again->success());
    EXPECT_EQ(handler->state(), Handler::STATE_LANGPACK_DOWNLOAD_FOREGROUND);
}

// ---- outgoing requests and the handler's life ----------------------------------------

TEST_F(HandlerOnBus, SentRequestsLogTheirOutcome)
{
    WexLogger::find("QrvLogUI")->setLevel(WexLogDebug);
    LogCapture log;
    WexObject params = parse(R"({"number":"5551234"})");
    ASSERT_EQ(Handler::serviceSendStatic("com.orvel.test.client", "echo", params), WexErrNone);
    EXPECT_TRUE(log.contains(R"(serviceSend: {"method":"echo","params":{"number":"5551234"},"service":"com.orvel.test.client"})"));
    ASSERT_TRUE(runUntil([&] { return log.contains("send success, response: "); }, kPatienceMs));
    EXPECT_TRUE(log.contains(R"(send success, response: {"number":"5551234","returnValue":true})"));

    ASSERT_EQ(handler->serviceSend("com.orvel.nobody", "launch", params, 1), WexErrNone);
    ASSERT_TRUE(runUntil([&] { return log.contains("send failed: "); }, kPatienceMs));
    EXPECT_EQ(handler->serviceSend("com.orvel.test.client", "echo", WexObject(int32_t{1}), 1), WexErrInvalidArg);
}

TEST_F(HandlerOnBus, ASecondHandlerReplacesTheFirstAndStartsTheShutdown)
{
    LogCapture log;
    auto second = Handler::newService(service);
    EXPECT_TRUE(log.contains("QrvLogUI", WexLogError, "Service already running"));
    EXPECT_EQ(end.shutdowns, 1);
    EXPECT_EQ(Handler::S_getQrVoiceCmdServiceHandler(), second);
    EXPECT_NE(second, handler);
}

TEST_F(HandlerOnBus, UnknownMethodsAreRefusedByTheFramework)
{
    auto c = call("voiceCommand/status", "{}");
    EXPECT_EQ(c->errorCode(), WexErrUnknownMethod);
    EXPECT_EQ(handler->state(), Handler::STATE_INITIALIZED);
}

// ---- the watchdog as the handler drives it ------------------------------------------

// Long enough that a loaded machine's bus round trip stays well inside a third of it.
constexpr int kWatchdogMs = 1500;

class HandlerWithShortWatchdog : public HandlerOnBus {
protected:
    void SetUp() override
    {
        QrvWatchdog::setIntervalForTesting(kWatchdogMs);
        HandlerOnBus::SetUp();
    }
};

TEST_F(HandlerWithShortWatchdog, InitArmsTheWatchdogAndThePortingLayersPingFeedsIt)
{
    for (int i = 0; i < 5; ++i) {
        runUntil([] { return false; }, kWatchdogMs / 3);
        dvkOemIAmAlive();
    }
    EXPECT_EQ(end.closings, 0);
    ASSERT_TRUE(runUntil([&] { return end.closings == 1; }, kPatienceMs));
    runUntil([] { return false; }, kWatchdogMs);
    EXPECT_EQ(end.closings, 1);
}

TEST_F(HandlerWithShortWatchdog, UiRequestsAreSignsOfLife)
{
    startSession();
    handler->setVRThreadActiveFlag();
    // Each request comes a third of the interval after the last; together
    // they span more than one interval.
    runUntil([] { return false; }, kWatchdogMs / 3);
    auto ui = subscribe();
    for (int i = 0; i < 3; ++i) {
        runUntil([] { return false; }, kWatchdogMs / 3);
        EXPECT_TRUE(call("UIevent", R"({"event":5,"index":0})")->success());
    }
    runUntil([] { return false; }, kWatchdogMs / 3);
    EXPECT_EQ(end.closings, 0);
    ASSERT_TRUE(runUntil([&] { return end.closings == 1; }, kPatienceMs));
}

} // namespace
