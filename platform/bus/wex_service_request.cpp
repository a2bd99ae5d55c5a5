#include "platform/bus/wex_service_request.h"

#include "platform/bus/wex_bus_caller.h"
#include "platform/bus/wex_service.h"

#include <new>

WexErr WexServiceRequest::create(WexService* service, WexRefCountedPtr<WexServiceRequest>& out)
{
    if (service == nullptr)
        return WexErrInvalidArg;
    std::shared_ptr<WexBusCaller> caller = service->caller();
    if (!caller)
        return WexErrBus;
    WexRefCountedPtr<WexServiceRequest> request(new (std::nothrow) WexServiceRequest(std::move(caller)));
    if (!request)
        return WexErrNoMemory;
    out = std::move(request);
    return WexErrNone;
}

WexServiceRequest::WexServiceRequest(std::shared_ptr<WexBusCaller> caller)
    : m_caller(std::move(caller))
{
}

WexServiceRequest::~WexServiceRequest() = default;

WexErr WexServiceRequest::send(WexReplySlot& slot, const char* service, const char* method, const WexObject& params,
                               int replies)
{
    if (m_sent)
        return WexErrBadState;
    std::shared_ptr<WexBusCaller> caller = m_caller.lock();
    if (!caller)
        return WexErrBus;
    if (WexErr err = m_signal.connect(slot))
        return err;
    // The pending call holds this request; the request's signal holds the
    // slot's handler.
    WexRefCountedPtr<WexServiceRequest> self(this);
    WexErr err = caller->call(
        service, method, params, replies,
        [self](const WexObject& reply, WexErr replyErr, bool last) {
            WexObject copy = reply;  // the slot may change it
            if (last)
                self->m_pending = false;
            self->m_signal.fire(copy, replyErr);
            if (last)
                self->m_signal.disconnect();
        },
        m_id);
    if (err != WexErrNone) {
        m_signal.disconnect();
        return err;
    }
    m_sent = true;
    m_pending = true;
    m_signal.onSlotCancel([this] { end(); });
    return WexErrNone;
}

void WexServiceRequest::cancel()
{
    if (!m_pending)
        return;
    WexRefCountedPtr<WexServiceRequest> keep(this);
    end();
    m_signal.cancel();
}

void WexServiceRequest::end()
{
    if (!m_pending)
        return;
    m_pending = false;
    // Drops the pending call and with it the call's reference to this request
    // (the caller of end() holds another).
    if (std::shared_ptr<WexBusCaller> caller = m_caller.lock())
        caller->cancel(m_id);
}
