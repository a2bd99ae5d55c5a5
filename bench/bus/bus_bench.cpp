// Bus binding costs on a private bus daemon: the round trip of one call
// (request -> daemon -> service -> reply -> daemon -> slot) and the rate at
// which a subscriber receives a service's further replies.
#include "platform/bus/wex_service_request.h"
#include "platform/bus/wex_sorna_service.h"

#include <benchmark/benchmark.h>

#include <gio/gio.h>
#include <glib/gstdio.h>

#include <csignal>
#include <cstdlib>
#include <string>

namespace {

// A dbus-daemon of our own for the run, unless a bus is given.
class BenchBus {
public:
    BenchBus()
    {
        if (std::getenv("DBUS_SESSION_BUS_ADDRESS") != nullptr)
            return;
        char dir[] = "/tmp/mwbus.XXXXXX";
        if (g_mkdtemp(dir) == nullptr)
            std::abort();
        m_dir = dir;
        std::string config = std::string("--config-file=") + MERROWIND_SOURCE_DIR + "/dbus/test-bus.conf";
        std::string listen = "--address=unix:path=" + m_dir + "/s";
        m_daemon = g_subprocess_new(
            static_cast<GSubprocessFlags>(G_SUBPROCESS_FLAGS_STDOUT_PIPE | G_SUBPROCESS_FLAGS_STDERR_SILENCE), nullptr,
            "dbus-daemon", config.c_str(), listen.c_str(), "--nofork", "--print-address=1", nullptr);
        if (m_daemon == nullptr)
            std::abort();
        GDataInputStream* out = g_data_input_stream_new(g_subprocess_get_stdout_pipe(m_daemon));
        gchar* line = g_data_input_stream_read_line(out, nullptr, nullptr, nullptr);
        g_object_unref(out);
        if (line == nullptr)
            std::abort();
        g_setenv("DBUS_SESSION_BUS_ADDRESS", line, TRUE);
        g_free(line);
    }
    ~BenchBus()
    {
        if (m_daemon == nullptr)
            return;
        g_subprocess_send_signal(m_daemon, SIGTERM);
        g_subprocess_wait(m_daemon, nullptr, nullptr);
        g_object_unref(m_daemon);
        g_unlink((m_dir + "/s").c_str());
        g_rmdir(m_dir.c_str());
        g_unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }

private:
    std::string m_dir;
    GSubprocess* m_daemon = nullptr;
};

class Handler : public WexService::CategoryHandler {
public:
    WexErr echo(WexServiceMessage* message) { return message->reply(message->payload()); }
    WexErr subscribe(WexServiceMessage* message)
    {
        kept = WexRefCountedPtr<WexServiceMessage>(message);
        return message->reply();
    }
    WexRefCountedPtr<WexServiceMessage> kept;
};

const WexService::CategoryHandler::Method kMethods[] = {
    WexService::CategoryHandler::method("echo", &Handler::echo),
    WexService::CategoryHandler::method("subscribe", &Handler::subscribe),
    {},
};

class Counter : public WexSignalHandler {
public:
    WexErr Result(WexObject&, WexErr err)
    {
        ++count;
        errors += err != WexErrNone;
        return WexErrNone;
    }
    long count = 0;
    long errors = 0;
    WexReplySlot slot{this, &Counter::Result};
};

// A service and a client in this process, on separate connections.
struct Pair {
    BenchBus bus;
    WexSornaService service{true, nullptr};
    WexSornaService client{true, nullptr};
    WexRefCountedPtr<Handler> handler = wexMakeRefCounted<Handler>();

    Pair()
    {
        if (service.open("com.orvel.bench") || handler->addMethods(kMethods, false) ||
            service.setDefaultCategory(handler) || client.open("com.orvel.benchclient"))
            std::abort();
    }
    ~Pair()
    {
        handler->kept.reset();
        client.close();
        service.close();
    }
    void send(Counter& counter, const char* method, const WexObject& params, int replies)
    {
        WexRefCountedPtr<WexServiceRequest> request;
        if (client.createRequest(request) || request->send(counter.slot, "com.orvel.bench", method, params, replies))
            std::abort();
    }
};

void waitFor(const Counter& counter, long n)
{
    while (counter.count < n)
        g_main_context_iteration(nullptr, TRUE);
}

void BM_CallRoundTrip(benchmark::State& state)
{
    Pair pair;
    auto counter = wexMakeRefCounted<Counter>();
    WexObject params;
    WexObject::parse(R"({"event":2,"index":0})", params);
    long sent = 0;
    for (auto _ : state) {
        pair.send(*counter, "echo", params, 1);
        waitFor(*counter, ++sent);
    }
    if (counter->errors != 0)
        state.SkipWithError("error replies");
}
BENCHMARK(BM_CallRoundTrip)->Unit(benchmark::kMicrosecond);

void BM_SubscriptionReplies(benchmark::State& state)
{
    Pair pair;
    auto counter = wexMakeRefCounted<Counter>();
    pair.send(*counter, "subscribe", WexObject::object(), WexServiceRequest::Unlimited);
    waitFor(*counter, 1);
    WexObject update;
    WexObject::parse(R"({"returnValue":true,"command":"audioLevel","level":42})", update);
    const long batch = state.range(0);
    long expected = 1;
    for (auto _ : state) {
        for (long i = 0; i < batch; ++i)
            pair.handler->kept->reply(update);
        expected += batch;
        waitFor(*counter, expected);
    }
    state.SetItemsProcessed(state.iterations() * batch);
}
BENCHMARK(BM_SubscriptionReplies)->Arg(100)->Unit(benchmark::kMillisecond);

} // namespace
