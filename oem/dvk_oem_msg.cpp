#include "oem/dvk_oem_msg.h"

#include "platform/core/wex_logger.h"
#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_msg.h"
#include "src/QrvWorkQueues.h"

namespace {

WexLogger s_log("DvkOemMsg");

} // namespace

void* dvk_oem_msg_getDvkAddr()
{
    WEX_TRACE_FUNCTION(s_log);
    return dvkWorkQueue.load();
}

void* dvk_oem_msg_getMyAddr()
{
    WEX_TRACE_FUNCTION(s_log);
    return workqueue_self();
}

void dvk_oem_msg_send(dvk_msg_Message* message, void* /*from*/, void* to)
{
    WEX_TRACE_FUNCTION(s_log);
    DVK_ASSERT(message != NULL);
    DVK_ASSERT(to != NULL);
    workqueue_add(static_cast<workqueue*>(to), dvk_oem_msg_receive_wrapper, message, 0);
}

void dvk_oem_msg_sendEvent(dvk_msg_Event event, void* /*from*/, void* to)
{
    WEX_TRACE_FUNCTION(s_log);
    DVK_ASSERT(event != NULL);
    DVK_ASSERT(to != NULL);
    workqueue_add(static_cast<workqueue*>(to), dvk_oem_msg_receiveEvent_wrapper,
                  reinterpret_cast<gpointer>(event), 0);
}

gboolean dvk_oem_msg_receive_wrapper(gpointer message)
{
    WEX_TRACE_FUNCTION(s_log);
    dvk_msg_receive(static_cast<dvk_msg_Message*>(message));
    return G_SOURCE_REMOVE;
}

gboolean dvk_oem_msg_receiveEvent_wrapper(gpointer event)
{
    WEX_TRACE_FUNCTION(s_log);
    dvk_msg_receiveEvent(reinterpret_cast<dvk_msg_Event>(event));
    return G_SOURCE_REMOVE;
}
