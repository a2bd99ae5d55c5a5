// How bus calls travel over D-Bus.
//
// Bus method names contain "/" ("voiceCommand/status"), which D-Bus member
// names cannot, so every service exports one object with one generic method
// that carries the bus method name and the JSON payload as data:
//
//   object    /com/orvel/Bus
//   interface com.orvel.Bus
//   method    Call(s method, s payload) -> (s reply, b last)   the first reply
//   signal    Reply(t serial, s reply, b last)                 each further reply,
//             addressed to the caller's unique name; `serial` is the serial of
//             the caller's Call message, the subscription's id
//   method    Cancel(t serial)                                 the caller ends a
//             subscription (sent without expecting a reply)
//
// Replies are JSON objects with "returnValue": true (success) or
// {"returnValue": false, "errorCode": N, "errorText": "..."} (error). `last`
// is true on the reply that ends a subscription (an error reply with code 0).
#pragma once

#include "platform/core/wex_err.h"
#include "platform/core/wex_object.h"

#include <gio/gio.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace WexBusWire {

inline constexpr const char* ObjectPath = "/com/orvel/Bus";
inline constexpr const char* Interface = "com.orvel.Bus";
inline constexpr const char* CallMethod = "Call";
inline constexpr const char* CancelMethod = "Cancel";
inline constexpr const char* ReplySignal = "Reply";

inline constexpr const char* ReturnValueKey = "returnValue";
inline constexpr const char* ErrorCodeKey = "errorCode";
inline constexpr const char* ErrorTextKey = "errorText";

// Payloads and replies above this size are refused in both directions.
inline constexpr size_t MaxPayloadSize = 1024 * 1024;

// The interface description, parsed once from the text compiled in.
GDBusInterfaceInfo* interfaceInfo();
const char* introspectionXml();

// Reads one payload or reply text: within MaxPayloadSize (else WexErrTooLarge)
// and one JSON object (else WexErrBadJson). `out` is untouched on failure.
WexErr readPayload(std::string_view text, WexObject& out);

// Serialises an outgoing payload or reply: WexErrInvalidArg for a value that
// is not an object, WexErrBadJson for text that is not UTF-8, WexErrTooLarge
// above MaxPayloadSize.
WexErr writePayload(const WexObject& value, std::string& out);

// {"returnValue": false, "errorCode": code, "errorText": text}
WexObject errorReply(WexErr code, std::string_view text);

// What a reply reports: 0 for a success reply (or one without "returnValue"),
// its "errorCode" for an error reply (WexErrFailed when that is missing).
WexErr replyError(const WexObject& reply);

} // namespace WexBusWire
