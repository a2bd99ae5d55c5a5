#include "src/QrvContactV2Populator.h"

#include "platform/core/wex_signal.h"
#include "platform/db/wex_db_query.h"
#include "platform/db/wex_db_service_client.h"
#include "src/QrVoiceCmdServiceApp.h"
#include "src/QrvContactsCommon.h"
#include "src/QrvLog.h"
#include "src/QrvWatchdog.h"

#include <cstring>
#include <string>

namespace {

WexLogger& uiLog()
{
    return QrvLog::UIthread::qrvLogContacts;
}

} // namespace

class QrvContactV2PopulatorPimpl : public WexSignalHandler {
public:
    explicit QrvContactV2PopulatorPimpl(QrvContactV2Populator& owner)
        : m_db(QrVoiceCmdServiceApp::getSornaService(), WexDbServiceDefs::ServiceName), m_owner(&owner)
    {
    }

    void getPage(bool modifiedOnly, long long since, const char* name)
    {
        WexDbQuery query;
        QrvContactsCommon::fillDefaultQueryFields(query);
        if (name != nullptr && QrvContactV2Populator::nameClauses(name, query) != WexErrNone) {
            empty();
            return;
        }
        if (m_firstPage) {
            m_firstPage = false;
        } else if (!m_hasNext) {
            empty();
            return;
        } else {
            WexDbQuery::Page page;
            if (page.fromObject(m_nextKey) != WexErrNone) {
                uiLog().log(WexLogError, "%s: Error getting next page.", __func__);
                empty();
                return;
            }
            query.page(page);
        }
        if (modifiedOnly && query.where("_rev", WexDbQuery::OpGreaterThan, WexObject(static_cast<int64_t>(since))) !=
                                WexErrNone) {
            empty();
            return;
        }
        m_slot.cancel();
        if (m_db.service() == nullptr || m_db.find(m_slot, query, false, false) != WexErrNone) {
            uiLog().log(WexLogError, "%s: db query failure", __func__);
            empty();
        }
    }

    WexErr result(WexObject& response, WexErr err)
    {
        if (err != WexErrNone) {
            const std::string text = std::string("persons db request failed: ") + wexErrText(err);
            uiLog().log(WexLogError, "%s: %s", __func__, text.c_str());
            empty();
            return WexErrNone;
        }
        QrvWatchdog::iAmAlive();
        m_hasNext = response.hasKey("next");
        if (m_hasNext)
            response.get("next", m_nextKey);
        if (m_owner != nullptr)
            m_owner->reportResult(response);
        return WexErrNone;
    }

    void detach() { m_owner = nullptr; }

    WexReplySlot m_slot{this, &QrvContactV2PopulatorPimpl::result};

protected:
    ~QrvContactV2PopulatorPimpl() override = default;

private:
    void empty()
    {
        WexObject nothing;
        if (m_owner != nullptr)
            m_owner->reportResult(nothing);
    }

    WexDbServiceClient m_db;
    QrvContactV2Populator* m_owner;
    WexObject m_nextKey;
    bool m_hasNext = false;
    bool m_firstPage = true;
};

QrvContactV2Populator::QrvContactV2Populator() : m_pimpl(wexMakeRefCounted<QrvContactV2PopulatorPimpl>(*this)) {}

QrvContactV2Populator::~QrvContactV2Populator()
{
    if (m_pimpl) {
        m_pimpl->detach();
        m_pimpl->m_slot.cancel();
    }
}

void QrvContactV2Populator::getPage(bool modifiedOnly, long long since, const char* name)
{
    if (m_pimpl)
        m_pimpl->getPage(modifiedOnly, since, name);
}

WexErr QrvContactV2Populator::nameClauses(const char* name, WexDbQuery& query)
{
    if (name[0] == '\t') {
        // A company search; two tabs also filter the found persons, and both
        // are part of the marker, not of the company's name.
        const std::string company = name + (name[1] == '\t' ? 2 : 1);
        return query.where(QrvContactsCommon::organizationName, WexDbQuery::OpEq, WexObject(std::string_view(company)),
                           WexDbCollationPrimary);
    }
    std::string given = name;
    std::string family;
    if (const char* separator = std::strstr(name, QrvContactsCommon::nameSeparator.c_str())) {
        given.assign(name, separator);
        family = separator + QrvContactsCommon::nameSeparator.length();
    }
    // A name of one part ("张伟") is a given name alone; an empty part asks
    // nothing, so " \tF" finds F whatever the given name.
    if (!family.empty()) {
        if (WexErr err = query.where("names.familyName", WexDbQuery::OpEq, WexObject(std::string_view(family)),
                                     WexDbCollationPrimary))
            return err;
    }
    if (given.empty())
        return WexErrNone;
    return query.where("names.givenName", WexDbQuery::OpEq, WexObject(std::string_view(given)), WexDbCollationPrimary);
}
