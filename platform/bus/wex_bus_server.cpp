#include "platform/bus/wex_bus_server.h"

#include "platform/bus/wex_bus_wire.h"

#include <vector>

namespace {

using WeakServer = std::weak_ptr<WexBusServer>;

void freeWeakServer(gpointer data)
{
    delete static_cast<WeakServer*>(data);
}

const char* payloadErrorText(WexErr err)
{
    switch (err) {
    case WexErrTooLarge:
        return "payload too large";
    case WexErrBadJson:
        return "payload is not a JSON object";
    default:
        return wexErrText(err);
    }
}

// Answers a D-Bus Call with a reply that is not a dispatched call's.
void returnReply(GDBusMethodInvocation* invocation, const WexObject& reply)
{
    std::string text;
    if (WexBusWire::writePayload(reply, text) != WexErrNone)
        text = "{\"returnValue\":false}";
    g_dbus_method_invocation_return_value(invocation, g_variant_new("(sb)", text.c_str(), FALSE));
}

} // namespace

// ---- Call ----------------------------------------------------------------

WexBusServer::Call::~Call()
{
    if (m_invocation != nullptr)
        g_object_unref(m_invocation);  // never answered: the caller gets no reply
    if (m_tracked) {
        if (std::shared_ptr<WexBusServer> server = m_server.lock())
            server->untrack(*this);
    }
    if (m_connection != nullptr)
        g_object_unref(m_connection);
    if (m_context != nullptr)
        g_main_context_unref(m_context);
}

WexErr WexBusServer::Call::reply(const WexObject& reply, bool last)
{
    if (!isOpen() || g_dbus_connection_is_closed(m_connection))
        return WexErrBus;
    std::string text;
    if (WexErr err = WexBusWire::writePayload(reply, text))
        return err;
    if (!m_replied) {
        g_dbus_method_invocation_return_value(m_invocation, g_variant_new("(sb)", text.c_str(), last));
        m_invocation = nullptr;  // consumed by the return
    } else {
        GError* error = nullptr;
        if (!g_dbus_connection_emit_signal(m_connection, m_sender.c_str(), WexBusWire::ObjectPath,
                                           WexBusWire::Interface, WexBusWire::ReplySignal,
                                           g_variant_new("(tsb)", static_cast<guint64>(m_serial), text.c_str(), last),
                                           &error)) {
            g_error_free(error);
            return WexErrBus;
        }
    }
    m_replied = true;
    if (last) {
        m_ended = true;
        if (std::shared_ptr<WexBusServer> server = m_server.lock())
            server->untrack(*this);
    }
    return WexErrNone;
}

void WexBusServer::Call::cancelled()
{
    if (!isOpen())
        return;
    m_cancelled = true;
    if (std::shared_ptr<WexBusServer> server = m_server.lock())
        server->untrack(*this);
    std::function<void()> handler = std::move(m_onCancel);
    m_onCancel = nullptr;
    if (handler)
        handler();
}

// ---- WexBusServer --------------------------------------------------------

WexErr WexBusServer::create(GDBusConnection* connection, Dispatch dispatch, std::shared_ptr<WexBusServer>& out)
{
    static const GDBusInterfaceVTable vtable = {&WexBusServer::onMethodCall, nullptr, nullptr, {}};
    std::shared_ptr<WexBusServer> server(new WexBusServer);
    server->m_connection = static_cast<GDBusConnection*>(g_object_ref(connection));
    server->m_context = g_main_context_ref_thread_default();
    server->m_dispatch = std::move(dispatch);
    GError* error = nullptr;
    server->m_registration =
        g_dbus_connection_register_object(connection, WexBusWire::ObjectPath, WexBusWire::interfaceInfo(), &vtable,
                                          new WeakServer(server), freeWeakServer, &error);
    if (server->m_registration == 0) {
        g_error_free(error);
        return WexErrBus;
    }
    out = std::move(server);
    return WexErrNone;
}

WexBusServer::~WexBusServer()
{
    close();
    g_object_unref(m_connection);
    g_main_context_unref(m_context);
}

void WexBusServer::close()
{
    if (m_registration != 0) {
        g_dbus_connection_unregister_object(m_connection, m_registration);
        m_registration = 0;
    }
    for (auto& [key, weak] : m_kept) {
        if (std::shared_ptr<Call> call = weak.lock())
            call->m_tracked = false;
    }
    m_kept.clear();
    for (auto& [name, watch] : m_watches)
        g_bus_unwatch_name(watch.id);
    m_watches.clear();
}

void WexBusServer::onMethodCall(GDBusConnection*, const gchar* sender, const gchar*, const gchar*,
                                const gchar* method, GVariant* parameters, GDBusMethodInvocation* invocation,
                                gpointer data)
{
    std::shared_ptr<WexBusServer> server = static_cast<WeakServer*>(data)->lock();
    if (!server) {
        g_dbus_method_invocation_return_dbus_error(invocation, "org.freedesktop.DBus.Error.UnknownObject",
                                                   "service closed");
        return;
    }
    if (g_strcmp0(method, WexBusWire::CallMethod) == 0) {
        server->handleCall(sender, parameters, invocation);
    } else {
        server->handleCancel(sender, parameters);
        g_dbus_method_invocation_return_value(invocation, nullptr);
    }
}

void WexBusServer::handleCall(const char* sender, GVariant* parameters, GDBusMethodInvocation* invocation)
{
    const gchar* method = nullptr;
    const gchar* text = nullptr;
    g_variant_get(parameters, "(&s&s)", &method, &text);
    WexObject payload;
    if (WexErr err = WexBusWire::readPayload(text, payload)) {
        returnReply(invocation, WexBusWire::errorReply(err, payloadErrorText(err)));
        return;
    }

    std::shared_ptr<Call> call(new Call);
    call->m_server = weak_from_this();
    call->m_connection = static_cast<GDBusConnection*>(g_object_ref(m_connection));
    call->m_context = g_main_context_ref(m_context);
    call->m_invocation = invocation;
    call->m_method = method;
    call->m_payload = std::move(payload);
    call->m_sender = sender != nullptr ? sender : "";
    call->m_serial = g_dbus_message_get_serial(g_dbus_method_invocation_get_message(invocation));

    std::shared_ptr<WexBusServer> self = shared_from_this();  // the dispatch may close this server
    m_dispatch(call);
    // Someone kept the call to reply later: it is a subscription, ended by its
    // caller's Cancel or departure.
    if (call.use_count() > 1 && call->isOpen() && m_registration != 0 && !call->m_sender.empty())
        track(call);
}

void WexBusServer::handleCancel(const char* sender, GVariant* parameters)
{
    guint64 serial = 0;
    g_variant_get(parameters, "(t)", &serial);
    auto it = m_kept.find(Key(sender != nullptr ? sender : "", serial));
    if (it == m_kept.end())
        return;
    if (std::shared_ptr<Call> call = it->second.lock())
        call->cancelled();
}

void WexBusServer::onVanished(GDBusConnection*, const gchar* name, gpointer data)
{
    if (std::shared_ptr<WexBusServer> server = static_cast<WeakServer*>(data)->lock())
        server->handleVanished(name);
}

void WexBusServer::handleVanished(const std::string& name)
{
    auto watch = m_watches.find(name);
    if (watch == m_watches.end())
        return;
    guint id = watch->second.id;
    m_watches.erase(watch);
    // A unique name never comes back: every call it kept open is cancelled.
    std::vector<std::shared_ptr<Call>> calls;
    for (auto it = m_kept.lower_bound(Key(name, 0)); it != m_kept.end() && it->first.first == name; ++it) {
        if (std::shared_ptr<Call> call = it->second.lock())
            calls.push_back(std::move(call));
    }
    std::shared_ptr<WexBusServer> self = shared_from_this();
    for (const std::shared_ptr<Call>& call : calls)
        call->cancelled();
    // Safe inside the watcher's own callback: GLib holds the watcher while it
    // runs and skips it once unwatched.
    g_bus_unwatch_name(id);
}

void WexBusServer::track(const std::shared_ptr<Call>& call)
{
    m_kept[Key(call->m_sender, call->m_serial)] = call;
    call->m_tracked = true;
    Watch& watch = m_watches[call->m_sender];
    if (watch.calls++ == 0) {
        // Fires at once when the caller has already left. The watcher reports
        // on the thread's default context at this moment, which during a
        // dispatch need not be the one the calls come on.
        g_main_context_push_thread_default(m_context);
        watch.id = g_bus_watch_name_on_connection(m_connection, call->m_sender.c_str(),
                                                  G_BUS_NAME_WATCHER_FLAGS_NONE, nullptr, &WexBusServer::onVanished,
                                                  new WeakServer(weak_from_this()), freeWeakServer);
        g_main_context_pop_thread_default(m_context);
    }
}

void WexBusServer::untrack(Call& call)
{
    if (!call.m_tracked)
        return;
    call.m_tracked = false;
    m_kept.erase(Key(call.m_sender, call.m_serial));
    auto watch = m_watches.find(call.m_sender);
    if (watch != m_watches.end() && --watch->second.calls == 0) {
        g_bus_unwatch_name(watch->second.id);
        m_watches.erase(watch);
    }
}
