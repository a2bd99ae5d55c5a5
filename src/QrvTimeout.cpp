#include "src/QrvTimeout.h"

#include "src/QrvLog.h"
#include "src/workqueue.h"

#include <glib.h>

#include <algorithm>

// One armed GLib timeout source on the building thread's context.
class QrvTimeoutPimpl {
public:
    QrvTimeoutPimpl(QrvTimeout& owner, int intervalMs, int firings);
    ~QrvTimeoutPimpl();
    QrvTimeoutPimpl(const QrvTimeoutPimpl&) = delete;
    QrvTimeoutPimpl& operator=(const QrvTimeoutPimpl&) = delete;

    static gboolean cbWrapperStatic(gpointer data);

private:
    QrvTimeout& m_owner;
    int m_interval;
    int m_firings;
    int m_fired = 0;
    guint m_sourceId = 0;
    GSource* m_source = nullptr;
    // Points into a firing in progress: the owner's callbacks may destroy or
    // restart the timer, and the firing must then stop touching this object.
    bool* m_destroyedDuringFiring = nullptr;
};

QrvTimeoutPimpl::QrvTimeoutPimpl(QrvTimeout& owner, int intervalMs, int firings)
    : m_owner(owner), m_interval(intervalMs), m_firings(firings)
{
    m_source = g_timeout_source_new(static_cast<guint>(std::max(m_interval, 0)));
    g_source_set_callback(m_source, cbWrapperStatic, this, nullptr);
    workqueue* self = workqueue_self();
    m_sourceId = g_source_attach(m_source, self != nullptr ? workqueue_getContext(self) : nullptr);
}

QrvTimeoutPimpl::~QrvTimeoutPimpl()
{
    if (m_destroyedDuringFiring != nullptr)
        *m_destroyedDuringFiring = true;
    if (!g_source_is_destroyed(m_source)) {
        QrvLog::multiThread::qrvLog().log(WexLogTrace, "%s: destroying timer source %d", __func__,
                                          static_cast<int>(m_sourceId));
        g_source_destroy(m_source);
    }
    g_source_unref(m_source);
}

gboolean QrvTimeoutPimpl::cbWrapperStatic(gpointer data)
{
    auto* self = static_cast<QrvTimeoutPimpl*>(data);
    bool destroyed = false;
    self->m_destroyedDuringFiring = &destroyed;
    self->m_owner.expiredCallback();
    if (destroyed)
        return G_SOURCE_REMOVE;
    self->m_owner.done();
    if (destroyed)
        return G_SOURCE_REMOVE;
    self->m_destroyedDuringFiring = nullptr;
    ++self->m_fired;
    return self->m_fired < self->m_firings ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
}

QrvTimeout::QrvTimeout(int intervalMs, int firings)
    : m_interval(intervalMs), m_firings(firings)
{
    m_pimpl = std::make_unique<QrvTimeoutPimpl>(*this, m_interval, m_firings);
}

QrvTimeout::~QrvTimeout() = default;

void QrvTimeout::restart()
{
    m_pimpl.reset();
    m_pimpl = std::make_unique<QrvTimeoutPimpl>(*this, m_interval, m_firings);
}
