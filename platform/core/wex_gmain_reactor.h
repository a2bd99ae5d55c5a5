// The reactor of a service application: the GLib main loop of the process's
// default main context, run on the main thread (which thereby becomes the
// service's "UI" thread). Everything that delivers work to that thread (bus
// connections, timers, idle callbacks, cross-thread posts) attaches its
// sources to context(), the default main context.
#pragma once

#include "platform/core/wex_err.h"

#include <glib.h>

#include <atomic>

class WexGmainReactor {
public:
    WexGmainReactor() = default;
    ~WexGmainReactor() = default;
    WexGmainReactor(const WexGmainReactor&) = delete;
    WexGmainReactor& operator=(const WexGmainReactor&) = delete;

    // Readies the reactor (again): clears an earlier stop.
    WexErr init();
    // Dispatches the context's sources until stop(). Fails with
    // WexErrNotInitialized before init() and with WexErrBadState when another
    // thread owns the default context. Returns at once when stop() came first.
    WexErr run();
    // Makes run() return after the current dispatch; safe from any thread and
    // before run() (WexErrNotInitialized before init()).
    WexErr stop();

    bool isRunning() const { return m_running.load(); }
    // The default main context, where the service's sources are attached.
    GMainContext* context() const { return g_main_context_default(); }

private:
    std::atomic<bool> m_initialized{false};
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_running{false};
};
