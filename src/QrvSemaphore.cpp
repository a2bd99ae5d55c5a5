#include "src/QrvSemaphore.h"

#include "src/QrvLog.h"

QrvSemaphore::QrvSemaphore()
{
    g_mutex_init(&m_mutex);
    g_cond_init(&m_cond);
}

QrvSemaphore::~QrvSemaphore()
{
    g_cond_clear(&m_cond);
    g_mutex_clear(&m_mutex);
}

void QrvSemaphore::signal()
{
    g_mutex_lock(&m_mutex);
    m_signalled = true;
    g_cond_signal(&m_cond);
    g_mutex_unlock(&m_mutex);
}

void QrvSemaphore::wait()
{
    WexLogger& log = QrvLog::multiThread::qrvLog();
    g_mutex_lock(&m_mutex);
    while (!m_signalled) {
        log.log(WexLogDebug, "doing g_cond_wait");
        g_cond_wait(&m_cond, &m_mutex);
    }
    log.log(WexLogDebug, "%s: while loop done", __func__);
    m_signalled = false;
    g_mutex_unlock(&m_mutex);
}
