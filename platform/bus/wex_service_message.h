// One incoming bus call as a method handler sees it: the method name, the
// JSON payload, and the replies. A handler that keeps a reference to the
// message after returning keeps it open as a subscription: every later reply
// reaches the caller, until an error reply with code 0 ends it or the caller
// cancels or leaves the bus (notifyCancel).
#pragma once

#include "platform/bus/wex_bus_server.h"
#include "platform/core/wex_err.h"
#include "platform/core/wex_object.h"
#include "platform/core/wex_ref_counted.h"
#include "platform/core/wex_signal.h"

#include <memory>

class WexServiceMessage : public WexRefCounted {
public:
    using CancelSignal = WexSignal1<WexServiceMessage*>;
    using CancelSlot = CancelSignal::Slot;

    // The key of every reply's success flag: "returnValue".
    static const char* const ReturnValueKey;

    explicit WexServiceMessage(std::shared_ptr<WexBusServer::Call> call);
    ~WexServiceMessage() override;

    const char* method() const { return m_call->method().c_str(); }
    const WexObject& payload() const { return m_call->payload(); }
    // The caller's unique bus name.
    const char* sender() const { return m_call->sender().c_str(); }

    // The plain success reply {"returnValue": true}.
    WexErr reply();
    // A success reply carrying `fields` (an object) at its top level, with
    // "returnValue" set to true unless `fields` sets it.
    WexErr reply(const WexObject& fields);
    // {"returnValue": false, "errorCode": code, "errorText": text}; code 0
    // ends the subscription and nothing more can be sent.
    WexErr replyError(WexErr code, const char* text);

    bool replied() const { return m_call->replied(); }
    // The caller cancelled or left the bus.
    bool isCancelled() const { return m_call->isCancelled(); }

    // Connects `slot` to the cancel notification (replacing an earlier one):
    // it runs once, with this message, when the caller cancels or leaves the
    // bus. When that has already happened it runs from the main loop soon.
    WexErr notifyCancel(CancelSlot& slot);

private:
    void cancelled();

    std::shared_ptr<WexBusServer::Call> m_call;
    CancelSignal m_cancel;
};
