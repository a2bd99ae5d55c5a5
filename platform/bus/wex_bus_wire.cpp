#include "platform/bus/wex_bus_wire.h"


namespace WexBusWire {

namespace {

const char kXml[] =
    "<node>"
    "  <interface name='com.orvel.Bus'>"
    "    <method name='Call'>"
    "      <arg name='method' type='s' direction='in'/>"
    "      <arg name='payload' type='s' direction='in'/>"
    "      <arg name='reply' type='s' direction='out'/>"
    "      <arg name='last' type='b' direction='out'/>"
    "    </method>"
    "    <method name='Cancel'>"
    "      <arg name='serial' type='t' direction='in'/>"
    "    </method>"
    "    <signal name='Reply'>"
    "      <arg name='serial' type='t'/>"
    "      <arg name='reply' type='s'/>"
    "      <arg name='last' type='b'/>"
    "    </signal>"
    "  </interface>"
    "</node>";

} // namespace

const char* introspectionXml()
{
    return kXml;
}

GDBusInterfaceInfo* interfaceInfo()
{
    // Parsed once and kept for the life of the process.
    static GDBusInterfaceInfo* info = [] {
        GError* error = nullptr;
        GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kXml, &error);
        g_assert_no_error(error);
        GDBusInterfaceInfo* iface = g_dbus_interface_info_ref(node->interfaces[0]);
        g_dbus_node_info_unref(node);
        g_dbus_interface_info_cache_build(iface);
        return iface;
    }();
    return info;
}

WexErr readPayload(std::string_view text, WexObject& out)
{
    if (text.size() > MaxPayloadSize)
        return WexErrTooLarge;
    WexObject value;
    if (WexErr err = WexObject::parse(text, value))
        return err;
    if (!value.isObject())
        return WexErrBadJson;
    out = std::move(value);
    return WexErrNone;
}

WexErr writePayload(const WexObject& value, std::string& out)
{
    if (!value.isObject())
        return WexErrInvalidArg;
    std::string text;
    if (WexErr err = value.toJson(text))
        return err;
    if (text.size() > MaxPayloadSize)
        return WexErrTooLarge;
    out = std::move(text);
    return WexErrNone;
}

WexObject errorReply(WexErr code, std::string_view text)
{
    WexObject reply = WexObject::object();
    reply.put(ReturnValueKey, false);
    reply.put(ErrorCodeKey, code);
    reply.put(ErrorTextKey, text);
    return reply;
}

WexErr replyError(const WexObject& reply)
{
    bool ok = true;
    bool found = false;
    if (reply.getOptional(ReturnValueKey, ok, &found) != WexErrNone)
        return WexErrFailed;  // "returnValue" of another type
    if (!found || ok)
        return WexErrNone;
    int32_t code = WexErrFailed;
    if (reply.get(ErrorCodeKey, code) != WexErrNone)
        return WexErrFailed;
    return code;
}

} // namespace WexBusWire
