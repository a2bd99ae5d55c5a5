// Messages of the porting interface: the suite's messages travel on the
// service's work queues. A thread's message address is its work queue; the
// suite's is "VR". Posted items run on the target thread one after the other,
// in the order posted, always after the sender's current call has returned
// to its loop.
#pragma once

#include <glib.h>

struct dvk_msg_Message;
typedef void (*dvk_msg_Event)(void);

// The "VR" work queue (null before it exists).
void* dvk_oem_msg_getDvkAddr();
// The calling thread's work queue.
void* dvk_oem_msg_getMyAddr();

// Posts a message record to the queue `to`; `from` is not used. The sender
// gives the record up.
void dvk_oem_msg_send(dvk_msg_Message* message, void* from, void* to);
// Posts a bare event (a function without arguments) to the queue `to`.
// Records and events travel through different receivers, so neither is ever
// mistaken for the other.
void dvk_oem_msg_sendEvent(dvk_msg_Event event, void* from, void* to);

// Run on the target thread: hand the item to the suite's receiver; run once.
gboolean dvk_oem_msg_receive_wrapper(gpointer message);
gboolean dvk_oem_msg_receiveEvent_wrapper(gpointer event);
