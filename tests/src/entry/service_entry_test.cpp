// The merrowind program as the platform starts it: in a temporary platform
// root (the test main's), on a private bus.
#include "platform/core/wex_root.h"
#include "tests/platform/bus/private_bus.h"
#include "tests/src/file_util.h"

#include <gtest/gtest.h>

#include <gio/gio.h>
#include <glib/gstdio.h>
#include <signal.h>
#include <sys/stat.h>

#include <string>
#include <vector>

namespace {

const bool kBus = (privateBusForEveryTest(), true);

// How long to wait for what must come; a loaded machine may take a while.
constexpr int kPatienceMs = 20000;

std::vector<std::string> entriesBelow(const std::string& dir)
{
    std::vector<std::string> names;
    if (GDir* d = g_dir_open(dir.c_str(), 0, nullptr)) {
        while (const char* name = g_dir_read_name(d))
            names.push_back(name);
        g_dir_close(d);
    }
    return names;
}

// Starts merrowind with its standard error in `logPath`.
GSubprocess* startService(const std::string& logPath)
{
    GSubprocessLauncher* launcher = g_subprocess_launcher_new(G_SUBPROCESS_FLAGS_STDOUT_SILENCE);
    g_subprocess_launcher_setenv(launcher, "MERROWIND_LOG", "*=2", TRUE);
    g_subprocess_launcher_set_stderr_file_path(launcher, logPath.c_str());
    GError* error = nullptr;
    GSubprocess* process = g_subprocess_launcher_spawn(launcher, &error, MERROWIND_PATH, nullptr);
    g_object_unref(launcher);
    if (process == nullptr) {
        ADD_FAILURE() << error->message;
        g_error_free(error);
    }
    return process;
}

// Waits for the process to end (5 s at most); true when it did.
bool waitForExit(GSubprocess* process)
{
    return runUntil([&] { return g_subprocess_get_identifier(process) == nullptr; }, kPatienceMs) &&
           g_subprocess_wait(process, nullptr, nullptr);
}

TEST(ServiceEntry, WithoutTheFirstUseMarkerExitsAtOnceAndCreatesNothing)
{
    const std::string root = wexRootPrefix();
    ASSERT_TRUE(entriesBelow(root).empty());
    // The log stays outside the root, which must stay empty.
    const std::string log = root + ".log";
    GSubprocess* service = startService(log);
    ASSERT_NE(service, nullptr);
    ASSERT_TRUE(waitForExit(service));
    EXPECT_TRUE(g_subprocess_get_if_exited(service));
    EXPECT_EQ(g_subprocess_get_exit_status(service), 0);
    EXPECT_TRUE(entriesBelow(root).empty());
    EXPECT_NE(readFile(log).find("main exiting.  Reason: First use not complete."), std::string::npos);
    g_object_unref(service);
    g_unlink(log.c_str());

    GDBusConnection* bus = connectToBus();
    GVariant* owned = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
        g_variant_new("(s)", "com.orvel.merrowind"), G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr,
        nullptr);
    ASSERT_NE(owned, nullptr);
    gboolean hasOwner = TRUE;
    g_variant_get(owned, "(b)", &hasOwner);
    EXPECT_FALSE(hasOwner);
    g_variant_unref(owned);
    g_object_unref(bus);
}

TEST(ServiceEntry, WithTheMarkerOwnsTheNameAndASecondInstanceFails)
{
    const std::string root = wexRootPrefix();
    ASSERT_EQ(g_mkdir_with_parents(wexRootPath("/var/sorna/preferences").c_str(), 0700), 0);
    ASSERT_TRUE(g_file_set_contents(wexRootPath("/var/sorna/preferences/ran-first-use").c_str(), "", 0, nullptr));

    const std::string firstLog = wexRootPath("/first.log");
    GSubprocess* first = startService(firstLog);
    ASSERT_NE(first, nullptr);
    GDBusConnection* bus = connectToBus();
    // The name is owned before the start line is written.
    ASSERT_TRUE(runUntil([&] { return readFile(firstLog).find("merrowind started.") != std::string::npos; }, kPatienceMs));
    ASSERT_TRUE(waitForName(bus, "com.orvel.merrowind"));

    const std::string log = readFile(firstLog);
    EXPECT_NE(log.find("QrvLogUI notice: merrowind (20110107.1.16)   starting..."), std::string::npos) << log;
    EXPECT_NE(log.find("QrvLogUI notice: merrowind started."), std::string::npos) << log;
    EXPECT_TRUE(isDirectory(root + "/media/cryptofs/data"));
    EXPECT_FALSE(isDirectory(root + "/media/cryptofs/data/com.orvel.service.merrowind"));

    const std::string secondLog = wexRootPath("/second.log");
    GSubprocess* second = startService(secondLog);
    ASSERT_NE(second, nullptr);
    ASSERT_TRUE(waitForExit(second));
    EXPECT_TRUE(g_subprocess_get_if_exited(second));
    EXPECT_NE(g_subprocess_get_exit_status(second), 0);
    EXPECT_EQ(readFile(secondLog).find("merrowind started."), std::string::npos);

    // The first instance is untouched by the second's failure.
    EXPECT_NE(g_subprocess_get_identifier(first), nullptr);
    EXPECT_TRUE(waitForName(bus, "com.orvel.merrowind"));

    g_subprocess_send_signal(first, SIGTERM);
    EXPECT_TRUE(waitForExit(first));
    g_object_unref(second);
    g_object_unref(first);
    g_object_unref(bus);
}

} // namespace
