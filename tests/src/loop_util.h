// Helpers for tests that drive the "UI" main loop (the default main context)
// or wait for work on another queue.
#pragma once

#include <glib.h>

#include <functional>

// Runs pending work of the default main context until done() holds or the
// time runs out; returns done(). The default is generous for a loaded
// machine: only a failing test waits it out.
inline bool iterateUntil(const std::function<bool()>& done, int timeoutMs = 30000)
{
    const gint64 end = g_get_monotonic_time() + gint64{timeoutMs} * 1000;
    while (!done()) {
        if (g_get_monotonic_time() > end)
            return false;
        if (!g_main_context_iteration(nullptr, FALSE))
            g_usleep(200);
    }
    return true;
}

// Runs pending work of the default main context for the given time.
inline void iterateFor(int ms)
{
    iterateUntil([] { return false; }, ms);
}
