#include "platform/bus/wex_bus_connection.h"

#include <cstdlib>

namespace WexBusConnection {

namespace {

// RequestName flags and answers of the bus daemon.
constexpr guint32 kDoNotQueue = 4;
constexpr guint32 kPrimaryOwner = 1;
constexpr guint32 kAlreadyOwner = 4;

} // namespace

WexErr open(const char* address, GDBusConnection*& out, std::string& why)
{
    if (address == nullptr || *address == '\0')
        address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address == nullptr || *address == '\0') {
        why = "no bus address (DBUS_SESSION_BUS_ADDRESS is not set)";
        return WexErrBus;
    }
    GError* error = nullptr;
    GDBusConnection* connection = g_dbus_connection_new_for_address_sync(
        address,
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error);
    if (connection == nullptr) {
        why = error->message;
        g_error_free(error);
        return WexErrBus;
    }
    // A lost bus must not end the process: the service notices and shuts down
    // in its own way.
    g_dbus_connection_set_exit_on_close(connection, FALSE);
    out = connection;
    return WexErrNone;
}

WexErr ownName(GDBusConnection* connection, const char* name, std::string& why)
{
    if (name == nullptr || !g_dbus_is_name(name) || g_dbus_is_unique_name(name)) {
        why = "not a well-known bus name";
        return WexErrInvalidArg;
    }
    GError* error = nullptr;
    GVariant* result = g_dbus_connection_call_sync(
        connection, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "RequestName", g_variant_new("(su)", name, kDoNotQueue), G_VARIANT_TYPE("(u)"),
        G_DBUS_CALL_FLAGS_NONE, -1, nullptr, &error);
    if (result == nullptr) {
        why = error->message;
        g_error_free(error);
        return WexErrBus;
    }
    guint32 answer = 0;
    g_variant_get(result, "(u)", &answer);
    g_variant_unref(result);
    if (answer != kPrimaryOwner && answer != kAlreadyOwner) {
        why = std::string("name ") + name + " is owned by another connection";
        return WexErrBus;
    }
    return WexErrNone;
}

} // namespace WexBusConnection
