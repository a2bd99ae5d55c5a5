#include "tests/platform/bus/private_bus.h"

#include "platform/bus/wex_bus_wire.h"

#include <gtest/gtest.h>

#include <glib/gstdio.h>

#include <csignal>

#include <cstdlib>
#include <stdexcept>

namespace {

std::string configPath()
{
    const char* source = std::getenv("MERROWIND_TEST_SOURCE_DIR");
    return std::string(source != nullptr ? source : MERROWIND_SOURCE_DIR) + "/dbus/test-bus.conf";
}

class PrivateBusEnvironment : public ::testing::Environment {
public:
    void SetUp() override { m_bus = new PrivateBus; }
    void TearDown() override
    {
        delete m_bus;
        m_bus = nullptr;
    }

private:
    PrivateBus* m_bus = nullptr;
};

} // namespace

PrivateBus::PrivateBus()
{
    char dir[] = "/tmp/mwbus.XXXXXX";  // short: a socket path has at most 107 bytes
    if (g_mkdtemp(dir) == nullptr)
        throw std::runtime_error("cannot create the bus directory");
    m_dir = dir;
    std::string config = "--config-file=" + configPath();
    std::string listen = "--address=unix:path=" + m_dir + "/s";
    GError* error = nullptr;
    // The daemon prints its address once it listens; its stderr carries only
    // noise here (it cannot raise its file limit).
    m_daemon = g_subprocess_new(
        static_cast<GSubprocessFlags>(G_SUBPROCESS_FLAGS_STDOUT_PIPE | G_SUBPROCESS_FLAGS_STDERR_SILENCE), &error,
        "dbus-daemon", config.c_str(), listen.c_str(), "--nofork", "--print-address=1", nullptr);
    if (m_daemon == nullptr) {
        std::string why = error->message;
        g_error_free(error);
        throw std::runtime_error("cannot start dbus-daemon: " + why);
    }
    GDataInputStream* out = g_data_input_stream_new(g_subprocess_get_stdout_pipe(m_daemon));
    gchar* line = g_data_input_stream_read_line(out, nullptr, nullptr, nullptr);
    g_object_unref(out);
    if (line == nullptr)
        throw std::runtime_error("dbus-daemon did not start");
    m_address = line;
    g_free(line);

    const char* previous = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    m_hadPrevious = previous != nullptr;
    if (m_hadPrevious)
        m_previous = previous;
    setenv("DBUS_SESSION_BUS_ADDRESS", m_address.c_str(), 1);
}

PrivateBus::~PrivateBus()
{
    if (m_hadPrevious)
        setenv("DBUS_SESSION_BUS_ADDRESS", m_previous.c_str(), 1);
    else
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
    g_subprocess_send_signal(m_daemon, SIGTERM);
    g_subprocess_wait(m_daemon, nullptr, nullptr);
    g_object_unref(m_daemon);
    std::string socket = m_dir + "/s";
    g_unlink(socket.c_str());
    g_rmdir(m_dir.c_str());
}

void privateBusForEveryTest()
{
    ::testing::AddGlobalTestEnvironment(new PrivateBusEnvironment);
}

GDBusConnection* connectToBus()
{
    GError* error = nullptr;
    GDBusConnection* connection = g_dbus_connection_new_for_address_sync(
        std::getenv("DBUS_SESSION_BUS_ADDRESS"),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error);
    if (connection == nullptr) {
        ADD_FAILURE() << error->message;
        g_error_free(error);
        return nullptr;
    }
    g_dbus_connection_set_exit_on_close(connection, FALSE);
    return connection;
}

bool rawBusCall(GDBusConnection* connection, const char* service, const char* method, const std::string& payload,
                std::string& reply, bool& last)
{
    GVariant* result = nullptr;
    g_dbus_connection_call(
        connection, service, WexBusWire::ObjectPath, WexBusWire::Interface, WexBusWire::CallMethod,
        g_variant_new("(ss)", method, payload.c_str()), G_VARIANT_TYPE("(sb)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr,
        [](GObject* source, GAsyncResult* res, gpointer data) {
            *static_cast<GVariant**>(data) = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), res, nullptr);
        },
        &result);
    if (!runUntil([&] { return result != nullptr; }))
        return false;
    const gchar* text = nullptr;
    gboolean isLast = FALSE;
    g_variant_get(result, "(&sb)", &text, &isLast);
    reply = text;
    last = isLast;
    g_variant_unref(result);
    return true;
}

bool waitForName(GDBusConnection* connection, const char* name)
{
    return runUntil([&] {
        GVariant* result = g_dbus_connection_call_sync(
            connection, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
            g_variant_new("(s)", name), G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
        gboolean owned = FALSE;
        if (result != nullptr) {
            g_variant_get(result, "(b)", &owned);
            g_variant_unref(result);
        }
        if (!owned)
            g_usleep(10000);
        return owned == TRUE;
    });
}

BusProcess::BusProcess(const std::vector<std::string>& argv)
{
    std::vector<const char*> args;
    for (const std::string& arg : argv)
        args.push_back(arg.c_str());
    args.push_back(nullptr);
    GError* error = nullptr;
    m_process = g_subprocess_newv(
        args.data(), static_cast<GSubprocessFlags>(G_SUBPROCESS_FLAGS_STDOUT_PIPE | G_SUBPROCESS_FLAGS_STDERR_SILENCE),
        &error);
    if (m_process == nullptr) {
        ADD_FAILURE() << "cannot start " << argv.at(0) << ": " << error->message;
        g_error_free(error);
        m_done = true;
        return;
    }
    g_subprocess_communicate_utf8_async(
        m_process, nullptr, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            auto* self = static_cast<BusProcess*>(data);
            gchar* out = nullptr;
            g_subprocess_communicate_utf8_finish(G_SUBPROCESS(source), result, &out, nullptr, nullptr);
            self->m_out = out != nullptr ? out : "";
            g_free(out);
            self->m_done = true;
        },
        this);
}

BusProcess::~BusProcess()
{
    if (m_process == nullptr)
        return;
    if (!m_done)
        g_subprocess_force_exit(m_process);
    runUntil([this] { return m_done; });
    g_subprocess_wait(m_process, nullptr, nullptr);
    g_object_unref(m_process);
}

bool BusProcess::finish(int ms)
{
    if (!runUntil([this] { return m_done; }, ms))
        return false;
    return m_process == nullptr || g_subprocess_wait(m_process, nullptr, nullptr);
}

void BusProcess::kill()
{
    if (m_process != nullptr)
        g_subprocess_force_exit(m_process);
}

void BusProcess::terminate()
{
    if (m_process != nullptr && !m_done)
        g_subprocess_send_signal(m_process, SIGTERM);
}

std::vector<std::string> BusProcess::lines() const
{
    std::vector<std::string> out;
    size_t pos = 0;
    while (pos < m_out.size()) {
        size_t end = m_out.find('\n', pos);
        if (end == std::string::npos)
            end = m_out.size();
        out.push_back(m_out.substr(pos, end - pos));
        pos = end + 1;
    }
    return out;
}

int BusProcess::status() const
{
    return m_process != nullptr ? g_subprocess_get_exit_status(m_process) : -1;
}
