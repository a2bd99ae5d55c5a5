// Incoming bus payloads and replies: whatever text a peer sends must be read
// or refused without harm, and what is read must serialise back (the echo a
// handler may send) and classify as a reply.
#include "platform/bus/wex_bus_wire.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    WexObject payload;
    WexErr err = WexBusWire::readPayload(text, payload);
    if (err != WexErrNone) {
        if (err != WexErrBadJson && err != WexErrTooLarge && err != WexErrNoMemory)
            std::abort();
        if (!payload.isNull())
            std::abort();  // untouched on failure
        return 0;
    }
    if (!payload.isObject())
        std::abort();
    WexBusWire::replyError(payload);
    std::string out;
    if (WexBusWire::writePayload(payload, out) == WexErrNone) {
        WexObject again;
        if (WexBusWire::readPayload(out, again) != WexErrNone || !(again == payload))
            std::abort();
    }
    return 0;
}
