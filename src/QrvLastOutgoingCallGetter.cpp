#include "src/QrvLastOutgoingCallGetter.h"

#include "platform/core/wex_errlog.h"
#include "platform/core/wex_signal.h"
#include "platform/db/wex_db_query.h"
#include "platform/db/wex_db_service_client.h"
#include "src/QrvLog.h"
#include "src/QrvSettings.h"
#include "src/QrvWatchdog.h"

#include <cctype>

namespace {

WexLogger& uiLog()
{
    return QrvLog::UIthread::qrvLog;
}

} // namespace

class QrvLastOutgoingCallGetterPimpl : public WexSignalHandler {
public:
    QrvLastOutgoingCallGetterPimpl(WexService* service, QrvLastOutgoingCallGetter* getter)
        : m_service(service), m_db(service, WexDbServiceDefs::ServiceName), m_getter(getter)
    {
    }

    WexErr start()
    {
        WexDbQuery query;
        query.from("com.orvel.phonecall:1");
        query.select("to.name");
        query.select("to.addr");
        query.select("to.personAddressType");
        if (WexErr err = query.where("to.service", WexDbQuery::OpEq, WexObject("phone")))
            return WEX_CHECKED(uiLog(), err);
        if (WexErr err = query.where("from.service", WexDbQuery::OpEq, WexObject("phone")))
            return WEX_CHECKED(uiLog(), err);
        if (WexErr err = query.where("type", WexDbQuery::OpEq, WexObject("outgoing")))
            return WEX_CHECKED(uiLog(), err);
        query.order("timestamp");
        query.desc(true);
        if (WexErr err = query.limit(1))
            return WEX_CHECKED(uiLog(), err);
        if (WexErr err = m_db.find(m_slot, query, false, false))
            return WEX_CHECKED(uiLog(), err);
        QrvWatchdog::iAmAlive();
        return WexErrNone;
    }

    WexErr Result(WexObject& reply, WexErr err)
    {
        if (err != WexErrNone) {
            uiLog().log(WexLogError, "%s: err=%d", __func__, static_cast<int>(err));
            return WexErrNone;
        }
        QrvLog::printObject(uiLog(), WexLogDebug, __func__, reply);
        WexObject results;
        if (WexErr e = reply.get("results", results))
            return WEX_CHECKED(uiLog(), e);
        if (results.size() == 0) {
            uiLog().log(WexLogWarning, "redial number not found (1)");
            return done(QrvSettings::OutgoingCall{});
        }
        WexObject first;
        WexObject to;
        if (WexErr e = results.at(0, first))
            return WEX_CHECKED(uiLog(), e);
        if (WexErr e = first.get("to", to))
            return WEX_CHECKED(uiLog(), e);
        if (to.size() == 0) {
            uiLog().log(WexLogWarning, "redial number not found (2)");
            return done(QrvSettings::OutgoingCall{});
        }
        WexObject party;
        std::string name;
        std::string addr;
        std::string type;
        if (WexErr e = to.at(0, party))
            return WEX_CHECKED(uiLog(), e);
        if (WexErr e = party.getOptional("name", name))
            return WEX_CHECKED(uiLog(), e);
        if (WexErr e = party.get("addr", addr))
            return WEX_CHECKED(uiLog(), e);
        if (WexErr e = party.getOptional("personAddressType", type))
            return WEX_CHECKED(uiLog(), e);
        return done(QrvSettings::OutgoingCall{name, addr, QrvLastOutgoingCallGetter::addressType(type)});
    }

    void detach() { m_getter = nullptr; }

    WexReplySlot m_slot{this, &QrvLastOutgoingCallGetterPimpl::Result};

protected:
    ~QrvLastOutgoingCallGetterPimpl() override = default;

private:
    WexErr done(const QrvSettings::OutgoingCall& call)
    {
        QrvSettings::setLastOutgoingCall(call);
        if (m_getter != nullptr)
            m_getter->outgoingCallGetterdone();
        return WexErrNone;
    }

    WexService* m_service;
    WexDbServiceClient m_db;
    QrvLastOutgoingCallGetter* m_getter;
};

QrvLastOutgoingCallGetter::QrvLastOutgoingCallGetter(WexService* service) : m_service(service) {}

QrvLastOutgoingCallGetter::~QrvLastOutgoingCallGetter()
{
    if (m_pimpl)
        m_pimpl->detach();
}

void QrvLastOutgoingCallGetter::start()
{
    m_pimpl = wexMakeRefCounted<QrvLastOutgoingCallGetterPimpl>(m_service, this);
    if (m_pimpl)
        m_pimpl->start();
}

std::string QrvLastOutgoingCallGetter::addressType(const std::string& stored)
{
    static const char prefix[] = "type_";
    if (stored.size() < 5)
        return stored;
    for (size_t i = 0; i < 5; ++i)
        if (std::tolower(static_cast<unsigned char>(stored[i])) != prefix[i])
            return stored;
    std::string rest = stored.substr(5);
    for (char& c : rest)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return rest;
}
