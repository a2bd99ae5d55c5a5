#include "sdk/common/dvk_msg.h"

#include "oem/dvk_oem_msg.h"
#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_mem.h"

dvk_msg_Message* dvk_msg_create(void* msgData, dvk_msg_Handler handlerFunc,
                                dvk_msg_Destructor destructor)
{
    DVK_ASSERT(handlerFunc != DVK_NULL);
    auto* message = static_cast<dvk_msg_Message*>(dvk_mem_alloc(sizeof(dvk_msg_Message)));
    if (message == nullptr) {
        if (destructor != nullptr)
            destructor(msgData);
        return nullptr;
    }
    *message = dvk_msg_Message{0, nullptr, nullptr, handlerFunc, destructor, msgData};
    return message;
}

void dvk_msg_send(dvk_msg_Message* message, dvk_msg_Address destination)
{
    DVK_ASSERT(message != DVK_NULL);
    DVK_ASSERT(message->signature == 0x00000000);
    DVK_ASSERT(message->msgHandler != DVK_NULL);
    DVK_ASSERT(destination != DVK_NULL);
    message->sender = dvk_msg_getMyAddr();
    message->destination = destination;
    dvk_oem_msg_send(message, message->sender, destination);
}

void dvk_msg_sendEvent(dvk_msg_Event event, dvk_msg_Address destination)
{
    DVK_ASSERT(event != DVK_NULL);
    DVK_ASSERT(destination != DVK_NULL);
    dvk_oem_msg_sendEvent(event, dvk_msg_getMyAddr(), destination);
}

void dvk_msg_receive(dvk_msg_Message* message)
{
    DVK_ASSERT(message != DVK_NULL);
    DVK_ASSERT(message->msgHandler != DVK_NULL);
    const dvk_msg_Handler handler = message->msgHandler;
    void* const data = message->msgData;
    const dvk_msg_Address sender = message->sender;
    if (message->destructor == nullptr) {
        // The handler owns the data; the record is not needed any more.
        dvk_mem_dealloc(&message);
        handler(data, sender);
        return;
    }
    handler(data, sender);
    dvk_msg_destroy(&message);
}

void dvk_msg_receiveEvent(dvk_msg_Event event)
{
    DVK_ASSERT(event != DVK_NULL);
    event();
}

void dvk_msg_destroy(dvk_msg_Message** message)
{
    DVK_ASSERT(message != DVK_NULL);
    if (*message == nullptr)
        return;
    if ((*message)->destructor != nullptr)
        (*message)->destructor((*message)->msgData);
    dvk_mem_dealloc(message);
}

dvk_msg_Address dvk_msg_getDvkAddr()
{
    return dvk_oem_msg_getDvkAddr();
}

dvk_msg_Address dvk_msg_getMyAddr()
{
    return dvk_oem_msg_getMyAddr();
}
