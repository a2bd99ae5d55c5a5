#include "platform/core/wex_gmain_reactor.h"

WexErr WexGmainReactor::init()
{
    m_stopRequested = false;
    m_initialized = true;
    return WexErrNone;
}

WexErr WexGmainReactor::run()
{
    if (!m_initialized)
        return WexErrNotInitialized;
    GMainContext* ctx = context();
    if (!g_main_context_acquire(ctx))
        return WexErrBadState;
    m_running = true;
    // A loop of its own rather than g_main_loop_run: a stop() from another
    // thread just before the loop starts is not lost (the flag is checked
    // before each blocking iteration, and the wake-up stays pending).
    while (!m_stopRequested)
        g_main_context_iteration(ctx, TRUE);
    m_running = false;
    g_main_context_release(ctx);
    return WexErrNone;
}

WexErr WexGmainReactor::stop()
{
    if (!m_initialized)
        return WexErrNotInitialized;
    m_stopRequested = true;
    g_main_context_wakeup(context());
    return WexErrNone;
}
