// The service's timer base. The timer is armed from construction on and fires
// on the work queue of the thread that built it: each firing calls
// expiredCallback, then done, at most `firings` times (once when that is 1 or
// less), the first one interval after construction. Destroying the timer
// cancels whatever firings are still due; restart arms it afresh on the
// calling thread.
#pragma once

#include <memory>

class QrvTimeoutPimpl;

class QrvTimeout {
public:
    QrvTimeout(int intervalMs, int firings);
    virtual ~QrvTimeout();
    QrvTimeout(const QrvTimeout&) = delete;
    QrvTimeout& operator=(const QrvTimeout&) = delete;

    // Either callback may destroy or restart the timer.
    virtual void expiredCallback() = 0;
    virtual void done() = 0;

    void restart();

    int interval() const { return m_interval; }
    int firings() const { return m_firings; }

private:
    std::unique_ptr<QrvTimeoutPimpl> m_pimpl;
    int m_interval;
    int m_firings;
};
