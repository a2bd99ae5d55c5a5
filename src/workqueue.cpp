#include "src/workqueue.h"

#include "src/QrvLog.h"

#include <cstdint>
#include <mutex>

struct workqueue {
    GMainLoop* loop;        // none for "UI": the application runs its loop
    GMainContext* context;  // the default main context for "UI"
    GThread* thread;
    workqueue* next;
    char name[8];           // first 7 characters of the given name
};

namespace {

// The list is walked by every thread (workqueue_self) while owners create and
// destroy queues on theirs, so every access goes through this lock; a record
// is unlinked under it before it is freed.
std::mutex s_listMutex;
bool s_initialized = false;
workqueue s_uiQueue;  // head of the list, never freed

WexLogger& log() { return QrvLog::multiThread::qrvLog(); }

unsigned hexId(const void* p)
{
    return static_cast<unsigned>(reinterpret_cast<uintptr_t>(p));
}

int decId(const void* p)
{
    return static_cast<int>(reinterpret_cast<intptr_t>(p));
}

// Called with the lock held; the first caller's thread becomes "UI".
void workqueue_init()
{
    if (s_initialized)
        return;
    s_initialized = true;
    s_uiQueue.loop = nullptr;
    s_uiQueue.context = g_main_context_default();
    s_uiQueue.thread = g_thread_self();
    s_uiQueue.next = nullptr;
    g_strlcpy(s_uiQueue.name, "UI", sizeof s_uiQueue.name);
}

// Called with the lock held.
workqueue* findSelf(int* position)
{
    GThread* self = g_thread_self();
    int count = 0;
    for (workqueue* queue = &s_uiQueue; queue != nullptr; queue = queue->next) {
        ++count;
        if (queue->thread == self) {
            *position = count;
            return queue;
        }
    }
    return nullptr;
}

gpointer workqueue_thread(gpointer data)
{
    auto* queue = static_cast<workqueue*>(data);
    // GLib's asynchronous calls made on this thread complete on its loop.
    g_main_context_push_thread_default(queue->context);
    log().log(WexLogDebug, "Thread \"%s\" (%x) running", queue->name, hexId(g_thread_self()));
    g_main_loop_run(queue->loop);
    log().log(WexLogDebug, "Thread \"%s\" (%x) exiting", queue->name, hexId(g_thread_self()));
    g_main_context_pop_thread_default(queue->context);
    return nullptr;
}

gboolean quitLoop(gpointer data)
{
    g_main_loop_quit(static_cast<GMainLoop*>(data));
    return G_SOURCE_REMOVE;
}

} // namespace

workqueue* workqueue_self()
{
    int position = 0;
    workqueue* found;
    {
        std::lock_guard<std::mutex> lock(s_listMutex);
        workqueue_init();
        found = findSelf(&position);
    }
    if (found == nullptr) {
        log().log(WexLogError, "Can't find self");
        return nullptr;
    }
    if (position >= 6)
        log().log(WexLogWarning, "%s: count=%d", __func__, position);
    return found;
}

guint workqueue_add(workqueue* queue, GSourceFunc func, gpointer data, guint delayMs)
{
    g_assert(queue != nullptr);
    if (log().isTrace()) {
        const char* selfName = "?";
        {
            std::lock_guard<std::mutex> lock(s_listMutex);
            workqueue_init();
            int position = 0;
            if (workqueue* self = findSelf(&position))
                selfName = self->name;
        }
        log().log(WexLogTrace, "In workqueue \"%s\": adding work (func=%d data=%d) to workqueue \"%s\"",
                  selfName, decId(reinterpret_cast<const void*>(func)), decId(data), queue->name);
    }
    GSource* source;
    if (delayMs != 0) {
        log().log(WexLogTrace, "using timeout %d", static_cast<int>(delayMs));
        source = g_timeout_source_new(delayMs);
    } else {
        source = g_idle_source_new();
    }
    g_source_set_callback(source, func, data, nullptr);
    guint id = g_source_attach(source, queue->context);
    g_source_unref(source);
    return id;
}

workqueue* workqueue_create(const char* name)
{
    {
        std::lock_guard<std::mutex> lock(s_listMutex);
        workqueue_init();
    }
    auto* queue = g_new0(workqueue, 1);
    queue->context = g_main_context_new();
    queue->loop = g_main_loop_new(queue->context, FALSE);
    g_strlcpy(queue->name, name != nullptr ? name : "", sizeof queue->name);

    GError* error = nullptr;
    GThread* thread = g_thread_try_new(queue->name, workqueue_thread, queue, &error);
    if (thread == nullptr) {
        log().log(WexLogError, "Could not create thread: %s", error != nullptr ? error->message : "unknown error");
        g_error("Could not create workqueue thread.");
    }

    std::lock_guard<std::mutex> lock(s_listMutex);
    queue->thread = thread;
    queue->next = s_uiQueue.next;
    s_uiQueue.next = queue;
    return queue;
}

void workqueue_destroy(workqueue* queue)
{
    if (queue == nullptr) {
        QrvLog::UIthread::qrvLog.log(WexLogError, "attempt to destroy null workqueue ");
        return;
    }
    bool listed = false;
    {
        std::lock_guard<std::mutex> lock(s_listMutex);
        workqueue_init();
        for (workqueue* q = s_uiQueue.next; q != nullptr; q = q->next)
            listed = listed || q == queue;
    }
    // "UI" has no loop of its own, and a queue cannot join its own thread.
    if (!listed || queue->thread == g_thread_self()) {
        log().log(WexLogError, "cannot destroy workqueue %x", hexId(queue));
        return;
    }
    log().log(WexLogDebug, "Destroying workqueue %x \"%s\"", hexId(queue), queue->name);

    workqueue_add(queue, quitLoop, queue->loop, 0);
    g_thread_join(queue->thread);
    {
        std::lock_guard<std::mutex> lock(s_listMutex);
        for (workqueue** link = &s_uiQueue.next; *link != nullptr; link = &(*link)->next) {
            if (*link == queue) {
                *link = queue->next;
                break;
            }
        }
    }
    g_main_loop_unref(queue->loop);
    g_main_context_unref(queue->context);
    g_free(queue);
}

GMainContext* workqueue_getContext(workqueue* queue)
{
    return queue->context;
}

const char* workqueue_getName(workqueue* queue)
{
    return queue->name;
}
