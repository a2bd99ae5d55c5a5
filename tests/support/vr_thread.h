// Runs test steps on the service's "VR" work queue; the test's own thread is
// "UI" (its default main context is pumped while waiting, so answers posted
// to "UI" are handled).
#pragma once

#include "src/QrvWorkQueues.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

inline void ensureWorkQueues()
{
    static bool started = [] {
        QrvWorkQueuesInit();
        return true;
    }();
    (void)started;
}

// Pumps "UI" until the condition holds or the time is up. The default is
// generous: a loaded machine may stall a sanitized thread for seconds, and
// only a failing test ever waits this long.
inline bool waitFor(const std::function<bool()>& condition,
                    std::chrono::milliseconds limit = std::chrono::milliseconds(30000))
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Runs the step on "VR" and waits until it has returned.
inline void runOnVr(std::function<void()> step)
{
    struct Call {
        std::function<void()> step;
        std::atomic<bool> done{false};
    } call{std::move(step)};
    workqueue_add(
        dvkWorkQueue.load(),
        [](gpointer data) -> gboolean {
            auto* c = static_cast<Call*>(data);
            c->step();
            c->done = true;
            return G_SOURCE_REMOVE;
        },
        &call, 0);
    if (!waitFor([&] { return call.done.load(); }, std::chrono::milliseconds(60000))) {
        // The step still refers to this frame: wait on rather than return.
        ADD_FAILURE() << "\"VR\" did not run the step";
        while (!call.done.load())
            waitFor([&] { return call.done.load(); });
    }
}

// From a step on a work queue: runs `step` on the same queue behind
// everything already queued there (messages the current step has sent
// included), before anything a timer posts later.
inline void postToSelf(std::function<void()> step)
{
    workqueue_add(
        workqueue_self(),
        [](gpointer data) -> gboolean {
            std::unique_ptr<std::function<void()>> s(static_cast<std::function<void()>*>(data));
            (*s)();
            return G_SOURCE_REMOVE;
        },
        new std::function<void()>(std::move(step)), 0);
}

// Waits until everything already queued on "VR" has run.
inline void drainVr()
{
    runOnVr([] {});
}
