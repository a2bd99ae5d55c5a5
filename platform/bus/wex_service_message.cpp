#include "platform/bus/wex_service_message.h"

#include "platform/bus/wex_bus_wire.h"

#include <glib.h>

const char* const WexServiceMessage::ReturnValueKey = WexBusWire::ReturnValueKey;

WexServiceMessage::WexServiceMessage(std::shared_ptr<WexBusServer::Call> call)
    : m_call(std::move(call))
{
    m_call->setCancelHandler([this] { cancelled(); });
}

WexServiceMessage::~WexServiceMessage()
{
    m_call->setCancelHandler(nullptr);
}

WexErr WexServiceMessage::reply()
{
    WexObject fields = WexObject::object();
    return reply(fields);
}

WexErr WexServiceMessage::reply(const WexObject& fields)
{
    if (!fields.isObject())
        return WexErrInvalidArg;
    if (fields.hasKey(ReturnValueKey))
        return m_call->reply(fields, false);
    WexObject full;
    if (WexErr err = fields.copyTo(full))
        return err;
    if (WexErr err = full.put(ReturnValueKey, true))
        return err;
    return m_call->reply(full, false);
}

WexErr WexServiceMessage::replyError(WexErr code, const char* text)
{
    return m_call->reply(WexBusWire::errorReply(code, text != nullptr ? text : ""), code == WexErrNone);
}

WexErr WexServiceMessage::notifyCancel(CancelSlot& slot)
{
    if (WexErr err = m_cancel.connect(slot))
        return err;
    if (m_call->isCancelled()) {
        // Told later, from the loop the call came on, as a live cancel would be.
        ref();
        GSource* idle = g_idle_source_new();
        g_source_set_priority(idle, G_PRIORITY_DEFAULT);
        g_source_set_callback(
            idle,
            [](gpointer data) -> gboolean {
                auto* message = static_cast<WexServiceMessage*>(data);
                message->m_cancel.fire(message);
                message->m_cancel.disconnect();
                return G_SOURCE_REMOVE;
            },
            this, [](gpointer data) { static_cast<WexServiceMessage*>(data)->unref(); });
        g_source_attach(idle, m_call->context());
        g_source_unref(idle);
    }
    return WexErrNone;
}

void WexServiceMessage::cancelled()
{
    WexRefCountedPtr<WexServiceMessage> keep(this);  // the slot may drop the last other reference
    m_cancel.fire(this);
    m_cancel.disconnect();
}
