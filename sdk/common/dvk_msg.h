// The suite's cross-thread messages. A message's handler runs on the
// destination thread and receives the sender's address for its answer.
// Messages to one thread run one at a time, in the order sent, never inside
// the send call.
#pragma once

#include <cstdint>

typedef void* dvk_msg_Address;  // names a thread able to receive messages
typedef void (*dvk_msg_Handler)(void* msgData, dvk_msg_Address sender);
typedef void (*dvk_msg_Destructor)(void* msgData);
typedef void (*dvk_msg_Event)(void);  // a bare event: called without arguments

struct dvk_msg_Message {
    uint32_t signature;              // 0 for every valid message
    dvk_msg_Address sender;          // stamped by dvk_msg_send
    dvk_msg_Address destination;     // stamped by dvk_msg_send
    dvk_msg_Handler msgHandler;      // never null
    dvk_msg_Destructor destructor;   // optional; when given the message owns msgData
    void* msgData;
};

// A new message, or NULL when memory is short. The data is consumed either
// way: on failure a given destructor has already run on it.
dvk_msg_Message* dvk_msg_create(void* msgData, dvk_msg_Handler handlerFunc,
                                dvk_msg_Destructor destructor);

// Stamps sender and destination and posts the message; it belongs to the
// receiving side from then on.
void dvk_msg_send(dvk_msg_Message* message, dvk_msg_Address destination);

// Posts a bare event.
void dvk_msg_sendEvent(dvk_msg_Event event, dvk_msg_Address destination);

// Run on the destination thread by the transport. Without a destructor the
// record is freed before the handler runs and the handler owns msgData; with
// one, the handler runs, then the destructor, then the record is freed.
void dvk_msg_receive(dvk_msg_Message* message);
void dvk_msg_receiveEvent(dvk_msg_Event event);

// Runs the destructor (when given), frees the message and clears the
// caller's pointer; a null message is left alone.
void dvk_msg_destroy(dvk_msg_Message** message);

dvk_msg_Address dvk_msg_getDvkAddr();  // the suite thread
dvk_msg_Address dvk_msg_getMyAddr();   // the calling thread
