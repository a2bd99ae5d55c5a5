// Work queues: named threads, each running its own GLib main loop on its own
// main context. Work moves between threads only by posting a function and one
// pointer to the target queue, where it runs later, one item at a time, in
// posting order.
//
// The thread that first uses this module becomes "UI": its queue has no loop
// of its own (the application runs the default main loop) and is never
// destroyed.
#pragma once

#include <glib.h>

struct workqueue;

// Creates and starts a queue; the name is cut to its first 7 characters.
// A thread that cannot be started ends the process.
workqueue* workqueue_create(const char* name);

// Posts func(data) to the queue, after delayMs milliseconds when that is not
// 0. A function that returns FALSE runs once; one that returns TRUE runs
// again whenever the queue's loop is idle. Returns the GLib source id.
// Safe from any thread.
guint workqueue_add(workqueue* queue, GSourceFunc func, gpointer data, guint delayMs);

// Stops the queue's loop, joins its thread and frees the queue. Called from
// another queue's thread.
void workqueue_destroy(workqueue* queue);

// The queue of the calling thread, or null (logged) for a thread that is not
// a work queue.
workqueue* workqueue_self();

GMainContext* workqueue_getContext(workqueue* queue);
const char* workqueue_getName(workqueue* queue);
