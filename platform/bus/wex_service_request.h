// An outgoing bus request: sends one method call from a service and delivers
// its replies (1, N or unlimited) to a reply slot on the service's main loop.
// Cancelling the slot, or the request, ends it: nothing more is delivered,
// and a service keeping it as a subscription hears of it.
//
// A pending request keeps itself and its slot's handler alive until its last
// reply has been delivered or it is cancelled; the sender may drop its own
// reference right after send().
#pragma once

#include "platform/core/wex_err.h"
#include "platform/core/wex_object.h"
#include "platform/core/wex_ref_counted.h"
#include "platform/core/wex_signal.h"

#include <cstdint>
#include <memory>

class WexBusCaller;
class WexService;

class WexServiceRequest : public WexRefCounted {
public:
    // Reply count of a subscription.
    static constexpr int Unlimited = -1;

    // A request on `service`: WexErrBus when the service is not open,
    // WexErrNoMemory when it cannot be made.
    static WexErr create(WexService* service, WexRefCountedPtr<WexServiceRequest>& out);
    ~WexServiceRequest() override;

    // Sends `method` with `params` (an object) to the bus service named
    // `service`, delivering up to `replies` replies (1 or more, or Unlimited)
    // to `slot` as (reply, error): the error is 0 for a success reply, the
    // reply's "errorCode" for an error reply, WexErrBus when the bus failed the
    // call. Fails at once, delivering nothing: a request already sent
    // (WexErrBadState), a bad name, count or params (WexErrInvalidArg,
    // WexErrTooLarge, WexErrBadJson), a closed service (WexErrBus).
    WexErr send(WexReplySlot& slot, const char* service, const char* method, const WexObject& params, int replies);

    // Ends the request without a further delivery; the slot's handler hears
    // of it through handleCancel.
    void cancel();

    bool isPending() const { return m_pending; }

private:
    explicit WexServiceRequest(std::shared_ptr<WexBusCaller> caller);
    void end();

    std::weak_ptr<WexBusCaller> m_caller;
    WexReplySignal m_signal;
    uint64_t m_id = 0;
    bool m_sent = false;
    bool m_pending = false;
};
