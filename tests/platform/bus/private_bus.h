// A private D-Bus daemon for one test process, started with the project's
// bus config (dbus/test-bus.conf) on a short socket path under /tmp, and
// exported as DBUS_SESSION_BUS_ADDRESS. Each test case runs in its own
// process (gtest_discover_tests), so each gets a bus of its own: tests that
// own the same name never race, whatever ctest -j runs beside them.
#pragma once

#include "platform/bus/wex_service_message.h"

#include <gio/gio.h>

#include <string>
#include <vector>

class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    const std::string& address() const { return m_address; }

private:
    std::string m_dir;
    std::string m_address;
    std::string m_previous;
    bool m_hadPrevious = false;
    GSubprocess* m_daemon = nullptr;
};

// Registers a GoogleTest environment that runs one PrivateBus around the
// whole test program. Link the object file that calls it into the binary.
void privateBusForEveryTest();

// How long a test waits for something that should happen: generous, because
// a loaded CI machine may take seconds to start a sanitized subprocess. Only
// a failing test ever waits this long.
inline constexpr int kBusPatienceMs = 30000;

// Iterates only `context` (null: the default one) until `done` holds or `ms`
// have passed; returns `done()`.
template <class Pred>
bool runContextUntil(GMainContext* context, Pred done, int ms = kBusPatienceMs)
{
    gint64 end = g_get_monotonic_time() + static_cast<gint64>(ms) * 1000;
    while (!done()) {
        if (g_get_monotonic_time() >= end)
            return false;
        g_main_context_iteration(context, FALSE);
        g_usleep(200);
    }
    return true;
}

// Iterates the default main context until `done` holds or `ms` have passed;
// returns `done()`.
template <class Pred>
bool runUntil(Pred done, int ms = kBusPatienceMs)
{
    return runContextUntil(nullptr, done, ms);
}

// Opens a private connection to the bus of this test process.
GDBusConnection* connectToBus();

// Sends Call(method, payload) to `service` as a plain D-Bus call, as a peer
// that does not use our library could, and waits for the answer: the reply
// text and its `last` flag; false when no answer came.
bool rawBusCall(GDBusConnection* connection, const char* service, const char* method, const std::string& payload,
                std::string& reply, bool& last);

// Waits until `name` has an owner on the bus (kBusPatienceMs at most).
bool waitForName(GDBusConnection* connection, const char* name);

// A program run beside the test's main loop (a bus client such as buscall or
// merrowind-sim), its standard output collected; standard error is dropped.
class BusProcess {
public:
    explicit BusProcess(const std::vector<std::string>& argv);
    // Kills the program when it still runs.
    ~BusProcess();
    BusProcess(const BusProcess&) = delete;
    BusProcess& operator=(const BusProcess&) = delete;

    // Serves the loop until the program has ended and its output is in.
    bool finish(int ms = kBusPatienceMs);
    // SIGKILL: the program gets no chance to clean up.
    void kill();
    // SIGTERM: the program may clean up (buscall cancels its call).
    void terminate();
    const std::string& out() const { return m_out; }
    std::vector<std::string> lines() const;
    // The exit status, once finished.
    int status() const;

private:
    GSubprocess* m_process = nullptr;
    std::string m_out;
    bool m_done = false;
};

// Counts the cancel notifications of kept messages.
class CancelWatcher : public WexSignalHandler {
public:
    WexErr onCancel(WexServiceMessage*)
    {
        ++cancels;
        return WexErrNone;
    }
    int cancels = 0;
    WexServiceMessage::CancelSlot slot{this, &CancelWatcher::onCancel};
};
