// The answering side of the bus mapping (see wex_bus_wire.h) on one
// connection: exports the Call/Cancel object, turns each valid Call into a
// WexBusServer::Call handed to the dispatch function, sends its replies
// (the first as the method return, later ones as Reply signals addressed to
// the caller), and notices when a kept call's subscriber cancels or leaves
// the bus.
//
// Invalid payloads (too large, not JSON, not an object) are answered with an
// error reply here and never reach the dispatch function.
//
// Use it from one thread: calls are dispatched on the main context that was
// the thread's default when the server was created.
#pragma once

#include "platform/core/wex_err.h"
#include "platform/core/wex_object.h"

#include <gio/gio.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>

class WexBusServer : public std::enable_shared_from_this<WexBusServer> {
public:
    class Call {
    public:
        ~Call();
        Call(const Call&) = delete;
        Call& operator=(const Call&) = delete;

        const std::string& method() const { return m_method; }
        const WexObject& payload() const { return m_payload; }
        const std::string& sender() const { return m_sender; }  // the caller's unique name
        uint64_t serial() const { return m_serial; }

        // Sends one reply (a JSON object): the first answers the D-Bus call,
        // later ones go as Reply signals. `last` ends the call: nothing more
        // can be sent. Fails, sending nothing, when the call has ended, was
        // cancelled or the connection is closed (WexErrBus), or for a reply
        // WexBusWire::writePayload refuses.
        WexErr reply(const WexObject& reply, bool last);

        bool replied() const { return m_replied; }
        // Neither ended by a last reply nor cancelled by its caller.
        bool isOpen() const { return !m_ended && !m_cancelled; }
        bool isCancelled() const { return m_cancelled; }

        // Runs once when the caller cancels the call or leaves the bus, for a
        // call that was kept after its dispatch.
        void setCancelHandler(std::function<void()> handler) { m_onCancel = std::move(handler); }

        // The main context the call was dispatched on (where its cancel
        // notice runs).
        GMainContext* context() const { return m_context; }

    private:
        friend class WexBusServer;
        Call() = default;
        void cancelled();

        std::weak_ptr<WexBusServer> m_server;
        GDBusConnection* m_connection = nullptr;
        GMainContext* m_context = nullptr;
        GDBusMethodInvocation* m_invocation = nullptr;  // until the first reply
        std::string m_method;
        WexObject m_payload;
        std::string m_sender;
        uint64_t m_serial = 0;
        bool m_replied = false;
        bool m_ended = false;
        bool m_cancelled = false;
        bool m_tracked = false;  // in the server's table of kept calls
        std::function<void()> m_onCancel;
    };

    using Dispatch = std::function<void(const std::shared_ptr<Call>& call)>;

    // Exports the bus object on `connection`; WexErrBus when that fails
    // (another object at the path, closed connection).
    static WexErr create(GDBusConnection* connection, Dispatch dispatch, std::shared_ptr<WexBusServer>& out);
    ~WexBusServer();
    WexBusServer(const WexBusServer&) = delete;
    WexBusServer& operator=(const WexBusServer&) = delete;

    // Withdraws the object and stops watching subscribers; kept calls can no
    // longer be cancelled by their callers. Idempotent.
    void close();

    // Calls kept after their dispatch that are still open.
    size_t keptCalls() const { return m_kept.size(); }

private:
    using Key = std::pair<std::string, uint64_t>;  // sender, serial
    struct Watch {
        guint id = 0;
        size_t calls = 0;
    };

    WexBusServer() = default;

    static void onMethodCall(GDBusConnection* connection, const gchar* sender, const gchar* path,
                             const gchar* iface, const gchar* method, GVariant* parameters,
                             GDBusMethodInvocation* invocation, gpointer data);
    static void onVanished(GDBusConnection* connection, const gchar* name, gpointer data);

    void handleCall(const char* sender, GVariant* parameters, GDBusMethodInvocation* invocation);
    void handleCancel(const char* sender, GVariant* parameters);
    void handleVanished(const std::string& name);
    void track(const std::shared_ptr<Call>& call);
    void untrack(Call& call);

    GDBusConnection* m_connection = nullptr;
    GMainContext* m_context = nullptr;  // the thread's default at create()
    guint m_registration = 0;
    Dispatch m_dispatch;
    std::map<Key, std::weak_ptr<Call>> m_kept;
    std::map<std::string, Watch> m_watches;
};
