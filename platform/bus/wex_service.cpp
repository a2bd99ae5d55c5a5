#include "platform/bus/wex_service.h"

#include "platform/bus/wex_bus_caller.h"
#include "platform/bus/wex_bus_connection.h"
#include "platform/bus/wex_bus_server.h"
#include "platform/bus/wex_bus_wire.h"
#include "platform/bus/wex_service_request.h"
#include "platform/core/wex_logger.h"

namespace {

WexLogger s_log("WexBus");

// Makes `context` the thread's default while it lives, so that GDBus
// dispatches what is set up meanwhile there.
class ThreadDefault {
public:
    explicit ThreadDefault(GMainContext* context) : m_context(context)
    {
        if (m_context != nullptr)
            g_main_context_push_thread_default(m_context);
    }
    ~ThreadDefault()
    {
        if (m_context != nullptr)
            g_main_context_pop_thread_default(m_context);
    }

private:
    GMainContext* m_context;
};

} // namespace

// ---- CategoryHandler -----------------------------------------------------

WexErr WexService::CategoryHandler::addMethods(const Method* table, bool replace)
{
    if (table == nullptr)
        return WexErrInvalidArg;
    std::map<std::string, MethodFn> methods = m_methods;
    for (const Method* entry = table; entry->name != nullptr; ++entry) {
        if (entry->fn == nullptr)
            return WexErrInvalidArg;
        auto [it, added] = methods.emplace(entry->name, entry->fn);
        if (!added) {
            if (!replace)
                return WexErrInvalidArg;
            it->second = entry->fn;
        }
    }
    m_methods.swap(methods);
    return WexErrNone;
}

WexErr WexService::CategoryHandler::invoke(WexServiceMessage* message)
{
    auto it = m_methods.find(message->method());
    if (it == m_methods.end())
        return WexErrUnknownMethod;
    return (this->*(it->second))(message);
}

// ---- WexService ----------------------------------------------------------

struct WexService::Pimpl {
    std::string address;
    std::string name;
    GDBusConnection* connection = nullptr;
    GMainContext* context = nullptr;  // where the server and caller dispatch
    std::shared_ptr<WexBusServer> server;
    std::shared_ptr<WexBusCaller> caller;
    WexRefCountedPtr<CategoryHandler> category;
    QbOrvelService handle;

    // Exports the object and starts the caller on `ctx`.
    WexErr start(GMainContext* ctx);
    void dispatch(const std::shared_ptr<WexBusServer::Call>& call);
};

WexErr WexService::Pimpl::start(GMainContext* ctx)
{
    ThreadDefault scope(ctx);
    if (server)
        server->close();
    std::shared_ptr<WexBusServer> newServer;
    if (WexErr err = WexBusServer::create(
            connection, [this](const std::shared_ptr<WexBusServer::Call>& call) { dispatch(call); }, newServer))
        return err;
    server = std::move(newServer);
    caller = WexBusCaller::create(connection);
    if (context != nullptr)
        g_main_context_unref(context);
    context = g_main_context_ref(ctx != nullptr ? ctx : g_main_context_default());
    return WexErrNone;
}

void WexService::Pimpl::dispatch(const std::shared_ptr<WexBusServer::Call>& call)
{
    WexRefCountedPtr<WexServiceMessage> message = wexMakeRefCounted<WexServiceMessage>(call);
    if (!message) {
        call->reply(WexBusWire::errorReply(WexErrNoMemory, wexErrText(WexErrNoMemory)), false);
        return;
    }
    // The handler may replace the category or close the service meanwhile.
    WexRefCountedPtr<CategoryHandler> handler = category;
    WexErr err = handler ? handler->invoke(message.get()) : WexErrUnknownMethod;
    if (err != WexErrNone && !message->replied() && call->isOpen()) {
        if (WexErr replyErr = message->replyError(err, wexErrText(err)))
            s_log.log(WexLogDebug, "%s: error reply failed: %s", message->method(), wexErrText(replyErr));
    }
}

WexService::WexService()
    : m_pimpl(std::make_unique<Pimpl>())
{
}

WexService::~WexService()
{
    close();
}

void WexService::setAddress(const char* address)
{
    m_pimpl->address = address != nullptr ? address : "";
}

WexErr WexService::open(const char* name)
{
    if (m_pimpl->connection != nullptr)
        return WexErrFailed;
    if (name == nullptr)
        return WexErrInvalidArg;
    std::string why;
    if (WexErr err = WexBusConnection::open(m_pimpl->address.c_str(), m_pimpl->connection, why)) {
        s_log.log(WexLogError, "cannot connect to the bus: %s", why.c_str());
        return err;
    }
    // The object is exported before the name is taken, so no caller that
    // sees the name can reach a service without it.
    WexErr err = m_pimpl->start(g_main_context_get_thread_default());
    if (err == WexErrNone)
        err = WexBusConnection::ownName(m_pimpl->connection, name, why);
    if (err != WexErrNone) {
        s_log.log(WexLogError, "cannot open bus service %s: %s", name, why.c_str());
        close();
        return err;
    }
    m_pimpl->name = name;
    m_pimpl->handle.connection = m_pimpl->connection;
    m_pimpl->handle.name = m_pimpl->name.c_str();
    return WexErrNone;
}

WexErr WexService::attach(GMainContext* context)
{
    if (m_pimpl->connection == nullptr)
        return WexErrBus;
    if (context == nullptr)
        context = g_main_context_default();
    if (context == m_pimpl->context)
        return WexErrNone;
    return m_pimpl->start(context);
}

WexErr WexService::close()
{
    Pimpl& p = *m_pimpl;
    if (p.server) {
        p.server->close();
        p.server.reset();
    }
    p.caller.reset();
    WexErr result = WexErrNone;
    if (p.connection != nullptr) {
        GError* error = nullptr;
        g_dbus_connection_flush_sync(p.connection, nullptr, nullptr);
        if (!g_dbus_connection_is_closed(p.connection) &&
            !g_dbus_connection_close_sync(p.connection, nullptr, &error)) {
            s_log.log(WexLogWarning, "closing the bus connection: %s", error->message);
            g_error_free(error);
            result = WexErrBus;
        }
        g_object_unref(p.connection);
        p.connection = nullptr;
    }
    if (p.context != nullptr) {
        g_main_context_unref(p.context);
        p.context = nullptr;
    }
    p.name.clear();
    p.handle = QbOrvelService{};
    return result;
}

bool WexService::isOpen() const
{
    return m_pimpl->connection != nullptr;
}

const char* WexService::name() const
{
    return m_pimpl->name.c_str();
}

WexErr WexService::setDefaultCategory(WexRefCountedPtr<CategoryHandler> handler)
{
    if (!handler)
        return WexErrInvalidArg;
    m_pimpl->category = std::move(handler);
    return WexErrNone;
}

WexErr WexService::createRequest(WexRefCountedPtr<WexServiceRequest>& out)
{
    return WexServiceRequest::create(this, out);
}

QbOrvelService* WexService::handle()
{
    return m_pimpl->connection != nullptr ? &m_pimpl->handle : nullptr;
}

std::shared_ptr<WexBusCaller> WexService::caller() const
{
    return m_pimpl->caller;
}
