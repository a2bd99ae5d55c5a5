// The calling side of the bus mapping (see wex_bus_wire.h) on one connection:
// sends Call messages, matches the first reply and the addressed Reply signals
// to their call, counts replies and ends subscriptions with Cancel.
//
// Use it from one thread: replies are delivered on the main context that was
// the thread's default when the caller was created.
#pragma once

#include "platform/core/wex_err.h"
#include "platform/core/wex_object.h"

#include <gio/gio.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class WexBusCaller : public std::enable_shared_from_this<WexBusCaller> {
public:
    // Reply count that never runs out (a subscription).
    static constexpr int Unlimited = -1;

    // One reply: the reply object, what it reports (WexBusWire::replyError, or
    // WexErrBus when the bus failed the call, WexErrBadJson for a reply that is
    // no JSON object) and whether it is the call's last delivery.
    using ReplyFn = std::function<void(const WexObject& reply, WexErr err, bool last)>;

    static std::shared_ptr<WexBusCaller> create(GDBusConnection* connection);
    ~WexBusCaller();
    WexBusCaller(const WexBusCaller&) = delete;
    WexBusCaller& operator=(const WexBusCaller&) = delete;

    // Sends `method` with `payload` to `service`, accepting `count` replies
    // (1 or more, or Unlimited). Fails at once, delivering nothing, for a bad
    // service name or count (WexErrInvalidArg), an unusable payload (see
    // WexBusWire::writePayload) or a closed connection (WexErrBus).
    WexErr call(const char* service, const char* method, const WexObject& payload, int count, ReplyFn fn,
                uint64_t& id);

    // Nothing more is delivered for the call, and the service hears that the
    // caller is gone. Unknown or finished ids are ignored.
    void cancel(uint64_t id);

    size_t pendingCalls() const { return m_calls.size(); }

private:
    struct Early {
        std::string sender;
        std::string text;
        bool last;
    };
    struct Pending {
        std::string destination;  // the name the call went to
        std::string owner;        // the unique name that answered, once known
        int remaining = 1;        // Unlimited for a subscription
        bool many = false;        // asked for more than one reply
        bool answered = false;    // the first reply has arrived
        std::vector<Early> early; // signals that overtook the first reply
        ReplyFn fn;
        GCancellable* cancellable = nullptr;
    };
    struct CallContext;

    explicit WexBusCaller(GDBusConnection* connection);

    static void onCallReply(GObject* source, GAsyncResult* result, gpointer data);
    static void onReplySignal(GDBusConnection* connection, const gchar* sender, const gchar* path,
                              const gchar* iface, const gchar* signal, GVariant* parameters, gpointer data);

    void handleCallReply(uint64_t id, GDBusMessage* reply, GError* error);
    void handleReplySignal(const char* sender, uint64_t id, const char* text, bool last);
    void deliver(uint64_t id, const std::string& text, bool last);
    void deliverObject(uint64_t id, const WexObject& reply, WexErr err, bool last);
    void sendCancel(const std::string& destination, uint64_t id);

    GDBusConnection* m_connection;
    GMainContext* m_context;  // where replies are delivered
    guint m_subscription = 0;
    std::map<uint64_t, Pending> m_calls;
};
