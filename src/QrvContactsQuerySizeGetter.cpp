#include "src/QrvContactsQuerySizeGetter.h"

#include "platform/core/wex_errlog.h"
#include "platform/core/wex_signal.h"
#include "platform/db/wex_db_query.h"
#include "platform/db/wex_db_service_client.h"
#include "src/QrvBringUp.h"
#include "src/QrvBringupSteps.h"
#include "src/QrvContactsCommon.h"
#include "src/QrvLog.h"
#include "src/QrvMetaDbInfo.h"
#include "src/QrvServiceEnd.h"
#include "src/QrvSettings.h"
#include "src/QrvWatchdog.h"

#include <memory>

namespace {

WexLogger& uiLog()
{
    return QrvLog::UIthread::qrvLogContacts;
}

class BringupCounts : public QrvContactsQuerySizeGetter {
public:
    explicit BringupCounts(WexService* service) : QrvContactsQuerySizeGetter(service) { start(); }
    void getterDone(long long previous, long long newCount) override
    {
        QrvBringUp::contactCountsDone(previous, newCount);
    }
};

// The bring-up's contact-count step.
class ContactCounts : public QrvContactCountsStep {
public:
    void start(WexService* service) override { m_getter = std::make_unique<BringupCounts>(service); }
    void release() override { m_getter.reset(); }
    void forgetVoiceData() override
    {
        QrvMetaDbInfo::deleteMetaDbInfoFile();
        QrvMetaDbInfo::setMetaDbInfoWatermark(-1);
    }

private:
    std::unique_ptr<QrvContactsQuerySizeGetter> m_getter;
};

} // namespace

template <>
QrvContactCountsStep& QrvSeam<QrvContactCountsStep>::defaultImpl()
{
    static ContactCounts impl;
    return impl;
}

class QrvContactsQuerySizeGetterPimpl : public WexSignalHandler {
public:
    QrvContactsQuerySizeGetterPimpl(WexService* service, QrvContactsQuerySizeGetter* owner)
        : m_service(service), m_db(service, WexDbServiceDefs::ServiceName), m_owner(owner)
    {
    }

    void start()
    {
        m_slot.cancel();
        const long long watermark = QrvMetaDbInfo::getMetaDbInfoWatermark();
        WexDbQuery query;
        query.from(QrvContactsCommon::PERSONS_KIND);
        WexErr err = query.where("_rev", m_previous < 0 ? WexDbQuery::OpLessThanEq : WexDbQuery::OpGreaterThan,
                                 WexObject(static_cast<int64_t>(watermark)));
        if (err == WexErrNone)
            err = m_db.find(m_slot, query, false, true);
        QrvWatchdog::iAmAlive();
        if (err != WexErrNone)
            WEX_CHECKED(uiLog(), err);
    }

    WexErr Result(WexObject& reply, WexErr err)
    {
        if (err != WexErrNone) {
            uiLog().log(WexLogError, "err=%d", static_cast<int>(err));
            return WexErrNone;
        }
        QrvLog::printObject(uiLog(), WexLogNotice, __func__, reply);
        int64_t count = 0;
        if (WexErr e = reply.get("count", count))
            return WEX_CHECKED(uiLog(), e);
        // A negative count is no count: taken as the first one it would look
        // unknown still and ask for the first count again, for ever.
        if (count < 0)
            return WEX_CHECKED(uiLog(), WexErrInvalidArg);
        if (m_previous < 0) {
            m_previous = count;
            start();
            return WexErrNone;
        }
        const long long previous = m_previous;
        const long long newCount = count;
        const bool background = QrvSettings::getBackgroundProcessingFlag();
        if (QrvContactsQuerySizeGetter::fullUpdateNeeded(background, previous, newCount)) {
            uiLog().log(WexLogDebug,
                        "full update forced.  # contacts processed in previous full update: %lld.  # new since then: %lld",
                        previous, newCount);
            QrvMetaDbInfo::setMetaDbInfoWatermark(-1);
        } else {
            uiLog().log(WexLogDebug,
                        "Using previous full update.  # contacts processed in previous full update: %lld.  # new since "
                        "then: %lld",
                        previous, newCount);
            if (background) {
                QrvServiceEnd::get().shutdownStart();
                return WexErrNone;
            }
        }
        // The owner may destroy the getter (and release this) in the call.
        WexRefCountedPtr<QrvContactsQuerySizeGetterPimpl> keep(this);
        if (m_owner != nullptr)
            m_owner->getterDone(previous, newCount);
        return WexErrNone;
    }

    void detach() { m_owner = nullptr; }

    WexReplySlot m_slot{this, &QrvContactsQuerySizeGetterPimpl::Result};

protected:
    ~QrvContactsQuerySizeGetterPimpl() override = default;

private:
    WexService* m_service;
    WexDbServiceClient m_db;
    QrvContactsQuerySizeGetter* m_owner;
    long long m_previous = -1;
};

QrvContactsQuerySizeGetter::QrvContactsQuerySizeGetter(WexService* service) : m_service(service) {}

QrvContactsQuerySizeGetter::~QrvContactsQuerySizeGetter()
{
    if (m_pimpl)
        m_pimpl->detach();
}

void QrvContactsQuerySizeGetter::start()
{
    m_pimpl = wexMakeRefCounted<QrvContactsQuerySizeGetterPimpl>(m_service, this);
    if (!m_pimpl)
        return;
    // The read holds its own reference until its callback ran.
    m_pimpl->ref();
    QrvMetaDbInfo::readMetaDbInfoFile(metaDbFileInfoReadCallback, m_pimpl.get());
}

void QrvContactsQuerySizeGetter::metaDbFileInfoReadCallback(void* pimpl)
{
    auto* self = static_cast<QrvContactsQuerySizeGetterPimpl*>(pimpl);
    self->start();
    self->unref();
}

bool QrvContactsQuerySizeGetter::fullUpdateNeeded(bool background, long long previous, long long newCount)
{
    if (background)
        return newCount > 5;
    return newCount > previous || newCount > 50;
}
