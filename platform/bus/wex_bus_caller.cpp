#include "platform/bus/wex_bus_caller.h"

#include "platform/bus/wex_bus_wire.h"

namespace {

using WeakCaller = std::weak_ptr<WexBusCaller>;

constexpr size_t kMaxEarlyReplies = 1024;

void freeWeakCaller(gpointer data)
{
    delete static_cast<WeakCaller*>(data);
}

} // namespace

// Carried through one asynchronous Call; freed by its completion callback,
// which GDBus always runs, also after the caller is gone.
struct WexBusCaller::CallContext {
    WeakCaller caller;
    uint64_t id;
};

std::shared_ptr<WexBusCaller> WexBusCaller::create(GDBusConnection* connection)
{
    std::shared_ptr<WexBusCaller> caller(new WexBusCaller(connection));
    // Any sender: a Reply is matched to its call by serial, then checked
    // against the unique name that answered the call.
    caller->m_subscription = g_dbus_connection_signal_subscribe(
        connection, nullptr, WexBusWire::Interface, WexBusWire::ReplySignal, WexBusWire::ObjectPath, nullptr,
        G_DBUS_SIGNAL_FLAGS_NONE, &WexBusCaller::onReplySignal, new WeakCaller(caller), freeWeakCaller);
    return caller;
}

WexBusCaller::WexBusCaller(GDBusConnection* connection)
    : m_connection(static_cast<GDBusConnection*>(g_object_ref(connection))),
      m_context(g_main_context_ref_thread_default())
{
}

WexBusCaller::~WexBusCaller()
{
    g_dbus_connection_signal_unsubscribe(m_connection, m_subscription);
    for (auto& [id, call] : m_calls) {
        if (call.cancellable != nullptr) {
            g_cancellable_cancel(call.cancellable);
            g_object_unref(call.cancellable);
        }
    }
    g_object_unref(m_connection);
    g_main_context_unref(m_context);
}

WexErr WexBusCaller::call(const char* service, const char* method, const WexObject& payload, int count,
                          ReplyFn fn, uint64_t& id)
{
    if (service == nullptr || !g_dbus_is_name(service) || method == nullptr ||
        !g_utf8_validate(method, -1, nullptr) || (count < 1 && count != Unlimited))
        return WexErrInvalidArg;
    std::string text;
    if (WexErr err = WexBusWire::writePayload(payload, text))
        return err;
    if (g_dbus_connection_is_closed(m_connection))
        return WexErrBus;

    GDBusMessage* message =
        g_dbus_message_new_method_call(service, WexBusWire::ObjectPath, WexBusWire::Interface, WexBusWire::CallMethod);
    g_dbus_message_set_body(message, g_variant_new("(ss)", method, text.c_str()));
    GCancellable* cancellable = g_cancellable_new();
    auto* context = new CallContext{weak_from_this(), 0};
    guint32 serial = 0;
    // No timeout: a call may be answered late, or on purpose never. GDBus
    // completes the call on the thread's default context at the time of
    // sending, so the caller's own is made that for the moment: the first
    // reply comes where the Reply signals come.
    g_main_context_push_thread_default(m_context);
    g_dbus_connection_send_message_with_reply(m_connection, message, G_DBUS_SEND_MESSAGE_FLAGS_NONE, G_MAXINT,
                                              &serial, cancellable, &WexBusCaller::onCallReply, context);
    g_main_context_pop_thread_default(m_context);
    g_object_unref(message);
    // The completion runs on this thread's loop, after this function returns,
    // so the call is known before any reply to it can be handled.
    context->id = serial;
    Pending& pending = m_calls[serial];
    pending.destination = service;
    pending.remaining = count;
    pending.many = count != 1;
    pending.fn = std::move(fn);
    pending.cancellable = cancellable;
    id = serial;
    return WexErrNone;
}

void WexBusCaller::cancel(uint64_t id)
{
    auto it = m_calls.find(id);
    if (it == m_calls.end())
        return;
    Pending call = std::move(it->second);
    m_calls.erase(it);
    if (call.cancellable != nullptr) {
        g_cancellable_cancel(call.cancellable);
        g_object_unref(call.cancellable);
    }
    sendCancel(call.owner.empty() ? call.destination : call.owner, id);
}

void WexBusCaller::onCallReply(GObject* source, GAsyncResult* result, gpointer data)
{
    auto* context = static_cast<CallContext*>(data);
    GError* error = nullptr;
    GDBusMessage* reply =
        g_dbus_connection_send_message_with_reply_finish(G_DBUS_CONNECTION(source), result, &error);
    if (std::shared_ptr<WexBusCaller> caller = context->caller.lock()) {
        if (!g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED))
            caller->handleCallReply(context->id, reply, error);
    }
    if (reply != nullptr)
        g_object_unref(reply);
    if (error != nullptr)
        g_error_free(error);
    delete context;
}

void WexBusCaller::onReplySignal(GDBusConnection*, const gchar* sender, const gchar*, const gchar*, const gchar*,
                                 GVariant* parameters, gpointer data)
{
    std::shared_ptr<WexBusCaller> caller = static_cast<WeakCaller*>(data)->lock();
    if (!caller || !g_variant_is_of_type(parameters, G_VARIANT_TYPE("(tsb)")))
        return;
    guint64 id = 0;
    const gchar* text = nullptr;
    gboolean last = FALSE;
    g_variant_get(parameters, "(t&sb)", &id, &text, &last);
    caller->handleReplySignal(sender, id, text, last);
}

void WexBusCaller::handleCallReply(uint64_t id, GDBusMessage* reply, GError* error)
{
    auto it = m_calls.find(id);
    if (it == m_calls.end())
        return;
    Pending& call = it->second;
    g_clear_object(&call.cancellable);

    GError* remote = nullptr;
    if (reply != nullptr && g_dbus_message_to_gerror(reply, &remote))
        error = remote;
    if (error != nullptr) {
        // The bus failed the call (no such service, the service left without
        // answering, a peer that does not speak this mapping): nothing follows.
        WexObject failure = WexBusWire::errorReply(WexErrBus, error->message);
        if (remote != nullptr)
            g_error_free(remote);
        deliverObject(id, failure, WexErrBus, true);
        return;
    }

    const char* sender = g_dbus_message_get_sender(reply);
    call.owner = sender != nullptr ? sender : "";
    call.answered = true;
    GVariant* body = g_dbus_message_get_body(reply);
    std::string text;
    // An answer of another signature is from a peer that does not speak this
    // mapping: it is delivered as a malformed reply, and as the last one,
    // since no Reply of that peer can follow (nor say when to stop).
    bool last = true;
    if (body != nullptr && g_variant_is_of_type(body, G_VARIANT_TYPE("(sb)"))) {
        const gchar* s = nullptr;
        gboolean l = FALSE;
        g_variant_get(body, "(&sb)", &s, &l);
        text = s;
        last = l;
    }
    std::vector<Early> early = std::move(call.early);
    const std::string owner = call.owner;  // `call` may be gone after a delivery
    deliver(id, text, last);
    for (const Early& signal : early) {
        if (m_calls.find(id) == m_calls.end())
            break;  // ended by the first reply or cancelled by its receiver
        if (signal.sender == owner)
            deliver(id, signal.text, signal.last);
    }
}

void WexBusCaller::handleReplySignal(const char* sender, uint64_t id, const char* text, bool last)
{
    auto it = m_calls.find(id);
    if (it == m_calls.end()) {
        // A subscription this side no longer wants (its count ran out, or a
        // one-reply call the service kept open): tell the service to stop.
        if (sender != nullptr && !last)
            sendCancel(sender, id);
        return;
    }
    Pending& call = it->second;
    if (!call.answered) {
        // Bounded: only a misbehaving peer sends many replies before the first.
        if (call.early.size() < kMaxEarlyReplies)
            call.early.push_back(Early{sender != nullptr ? sender : "", text, last});
        return;
    }
    if (sender == nullptr || call.owner != sender)
        return;  // not from the connection that took the call
    deliver(id, text, last);
}

void WexBusCaller::deliver(uint64_t id, const std::string& text, bool last)
{
    WexObject reply;
    WexErr err = WexBusWire::readPayload(text, reply);
    if (err != WexErrNone)
        reply = WexBusWire::errorReply(err, "malformed reply");
    else
        err = WexBusWire::replyError(reply);
    deliverObject(id, reply, err, last);
}

void WexBusCaller::deliverObject(uint64_t id, const WexObject& reply, WexErr err, bool last)
{
    auto it = m_calls.find(id);
    if (it == m_calls.end())
        return;
    Pending& call = it->second;
    if (call.remaining != Unlimited && --call.remaining == 0 && !last) {
        // The caller wants no more. A service asked for several replies may
        // have more to send and is told to stop; after a one-reply call only
        // a stray Reply signal leads to that (see handleReplySignal).
        if (call.many && call.answered)
            sendCancel(call.owner, id);
        last = true;
    }
    ReplyFn fn = last ? std::move(call.fn) : call.fn;
    if (last)
        m_calls.erase(it);
    // The receiver may cancel this or other calls, or drop the caller itself.
    std::shared_ptr<WexBusCaller> self = shared_from_this();
    fn(reply, err, last);
}

void WexBusCaller::sendCancel(const std::string& destination, uint64_t id)
{
    if (destination.empty() || g_dbus_connection_is_closed(m_connection))
        return;
    GDBusMessage* message = g_dbus_message_new_method_call(destination.c_str(), WexBusWire::ObjectPath,
                                                           WexBusWire::Interface, WexBusWire::CancelMethod);
    g_dbus_message_set_body(message, g_variant_new("(t)", static_cast<guint64>(id)));
    g_dbus_message_set_flags(message, G_DBUS_MESSAGE_FLAGS_NO_REPLY_EXPECTED);
    g_dbus_connection_send_message(m_connection, message, G_DBUS_SEND_MESSAGE_FLAGS_NONE, nullptr, nullptr);
    g_object_unref(message);
}
