// A private connection to the message bus and ownership of a well-known name.
// Private (not GLib's shared session singleton) so that each service and each
// test can close its own connection and so leave the bus at a moment it picks.
#pragma once

#include "platform/core/wex_err.h"

#include <gio/gio.h>

#include <string>

namespace WexBusConnection {

// The bus address: `address` when given, else $DBUS_SESSION_BUS_ADDRESS.
// WexErrBus when neither is set or the bus cannot be reached; the error text
// goes to `why`.
WexErr open(const char* address, GDBusConnection*& out, std::string& why);

// Asks for `name` without queueing: WexErrBus when another connection owns it
// or the bus refuses, WexErrInvalidArg for a text that is no well-known name.
WexErr ownName(GDBusConnection* connection, const char* name, std::string& why);

} // namespace WexBusConnection
