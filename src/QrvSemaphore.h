// A semaphore that remembers at most one signal: a thread waits for work that
// only another thread ("UI") can do. Created with new, owned by the waiter.
#pragma once

#include <glib.h>

class QrvSemaphore {
public:
    QrvSemaphore();
    virtual ~QrvSemaphore();
    QrvSemaphore(const QrvSemaphore&) = delete;
    QrvSemaphore& operator=(const QrvSemaphore&) = delete;

    // A signal given before the wait is kept; a second one before that wait
    // is not counted.
    virtual void signal();
    virtual void wait();

private:
    GMutex m_mutex;
    GCond m_cond;
    bool m_signalled = false;
};
