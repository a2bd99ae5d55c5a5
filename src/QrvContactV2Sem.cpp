#include "src/QrvContactV2Sem.h"

#include "src/QrvContactV2Populator.h"
#include "src/QrvContactsCommon.h"
#include "src/QrvLog.h"
#include "src/QrvMetaDbInfo.h"
#include "src/QrvSemaphore.h"
#include "src/QrvWorkQueues.h"

#include <cstdint>
#include <string>
#include <vector>

namespace {

WexLogger& log()
{
    return QrvLog::VRthread::qrvLogContacts;
}

// "VR" only. Slot 0 is never used; slots are never reused.
std::vector<std::unique_ptr<QrvContactV2Sem>> s_queryMap;

intptr_t slotOf(dvk_oem_pbook_ContactIterator iterator)
{
    return reinterpret_cast<intptr_t>(iterator);
}

dvk_oem_pbook_ContactIterator iteratorOf(intptr_t slot)
{
    return reinterpret_cast<dvk_oem_pbook_ContactIterator>(slot);
}

} // namespace

class QrvContactV2SemPimpl {
public:
    class QrvContactV2PopulatorWrapper : public QrvContactV2Populator {
    public:
        explicit QrvContactV2PopulatorWrapper(QrvContactV2SemPimpl& owner) : m_owner(owner) {}
        void reportResult(WexObject& response) override { m_owner.reportResult(response); }

    private:
        QrvContactV2SemPimpl& m_owner;
    };

    // A modified-only walk asks for the persons above the watermark of its
    // start: every examined person raises the watermark, and a page request
    // with the raised value would skip changed persons of later pages.
    explicit QrvContactV2SemPimpl(bool modifiedOnly)
        : m_modifiedOnly(modifiedOnly), m_since(QrvMetaDbInfo::getMetaDbInfoWatermark())
    {
    }

    bool incr()
    {
        if (!m_page) {
            log().log(WexLogError, "%s: no result yet, so can't do next", __func__);
            return false;
        }
        ++m_position;
        // A page may come back empty and still name a next one: the walk
        // goes on past it, as getCurrent's does.
        while (m_page && m_position >= static_cast<int32_t>(m_page->size()) && m_morePages)
            getNextPage(nullptr);
        return m_page && m_position < static_cast<int32_t>(m_page->size());
    }

    std::shared_ptr<WexObject> getCurrentPerson() { return walk(nullptr, __func__); }

    bool findByName(const char* name)
    {
        if (!m_page) {
            getNextPage(name);
            if (!m_page) {
                log().log(WexLogWarning, "%s: no more pages left in query", __func__);
                return false;
            }
        }
        if (name[0] == '\t' && name[1] == '\t') {
            m_companyFilter = name + 2;
            log().log(WexLogInfo, "%s: including company name \"%s\" in search", __func__, m_companyFilter.c_str());
        } else {
            m_companyFilter.clear();
        }
        return walk(name, __func__) != nullptr;
    }

    void getNextPage(const char* name)
    {
        if (name != nullptr) {
            m_nameSearch = true;
            m_searchName = name;
        }
        QrvExecuteInUiThread(S_getNextPageUI, this, QRV_THREAD_ALWAYS_POST);
        m_semaphore.wait();
    }

    static void S_getNextPageUI(void* self) { static_cast<QrvContactV2SemPimpl*>(self)->getNextPageUI(); }

    void getNextPageUI()
    {
        if (!m_populator)
            m_populator = std::make_unique<QrvContactV2PopulatorWrapper>(*this);
        m_populator->getPage(m_modifiedOnly, m_since, m_nameSearch ? m_searchName.c_str() : nullptr);
    }

    // On "UI".
    void reportResult(WexObject& response)
    {
        m_page = std::make_shared<WexObject>(WexObject::object());
        m_position = 0;
        WexObject results;
        if (response.isObject() && response.get("results", results) == WexErrNone) {
            *m_page = results;
            m_morePages = response.hasKey("next");
            if (m_morePages)
                response.get("next", m_nextKey);
        } else {
            m_page.reset();
            m_morePages = false;
        }
        m_semaphore.signal();
    }

    ~QrvContactV2SemPimpl()
    {
        // The populator lives on "UI"; the query ends on "VR" with no page
        // request outstanding, so nothing reaches it any more.
        if (m_populator) {
            auto* populator = m_populator.release();
            QrvExecuteInUiThread([](void* p) { delete static_cast<QrvContactV2PopulatorWrapper*>(p); }, populator,
                                 QRV_THREAD_ALWAYS_POST);
        }
    }

private:
    // From the position on: the first valid person (the name search: that
    // also passes the company filter). Without a name the watermark is
    // raised for every person examined.
    std::shared_ptr<WexObject> walk(const char* name, const char* caller)
    {
        if (!m_page && name == nullptr) {
            getNextPage(nullptr);
            if (!m_page) {
                log().log(WexLogWarning, "%s: no more pages left in query", caller);
                return nullptr;
            }
        }
        for (;;) {
            while (m_page && m_position < static_cast<int32_t>(m_page->size())) {
                auto person = std::make_shared<WexObject>();
                if (m_page->at(static_cast<size_t>(m_position), *person) != WexErrNone) {
                    log().log(WexLogError, "%s: cannot access person #%d\n", caller, m_position);
                    return nullptr;
                }
                if (name == nullptr) {
                    int64_t rev = 0;
                    if (person->get("_rev", rev) == WexErrNone)
                        QrvMetaDbInfo::updateMetaDbInfoWatermark(rev);
                    else
                        log().log(WexLogWarning, "%s: \"_rev\" field missing", caller);
                }
                if (QrvContactsCommon::contactIsValid(*person) && passesCompanyFilter(name, *person)) {
                    log().log(WexLogDebug, name == nullptr ? "%s: valid contact returned" : "%s: found valid contact",
                              caller);
                    return person;
                }
                log().log(WexLogDebug, "%s: contact not valid.  Ignoring", caller);
                ++m_position;
            }
            if (!m_morePages) {
                if (name != nullptr)
                    log().log(WexLogDebug, "%s: no more pages", caller);
                return nullptr;
            }
            m_page.reset();
            if (name != nullptr)
                log().log(WexLogDebug, "%s: getting next page", caller);
            getNextPage(name);
            if (!m_page) {
                if (name != nullptr)
                    log().log(WexLogDebug, "%s: no more pages", caller);
                return nullptr;
            }
        }
    }

    bool passesCompanyFilter(const char* name, WexObject& person) const
    {
        if (name == nullptr || m_companyFilter.empty())
            return true;
        WexObject organization;
        std::string company;
        if (person.get("organization", organization) != WexErrNone ||
            organization.get("name", company) != WexErrNone)
            return true;
        return company == m_companyFilter;
    }

    const bool m_modifiedOnly;
    const long long m_since;
    std::shared_ptr<WexObject> m_page;
    int32_t m_position = -1;
    WexObject m_nextKey;
    bool m_morePages = false;
    bool m_nameSearch = false;
    std::string m_searchName;
    std::string m_companyFilter;
    QrvSemaphore m_semaphore;
    std::unique_ptr<QrvContactV2PopulatorWrapper> m_populator;
};

QrvContactV2Sem::QrvContactV2Sem(bool modifiedOnly) : m_pimpl(std::make_shared<QrvContactV2SemPimpl>(modifiedOnly)) {}

QrvContactV2Sem::~QrvContactV2Sem() = default;

namespace {

// The query of a live slot; logs an invalid iterator when asked to.
QrvContactV2Sem* lookup(dvk_oem_pbook_ContactIterator iterator, const char* caller, bool zeroIsInvalid)
{
    const intptr_t slot = slotOf(iterator);
    if (slot == 0 && !zeroIsInvalid)
        return nullptr;
    if (slot <= 0 || slot >= static_cast<intptr_t>(s_queryMap.size())) {
        log().log(WexLogError, "%s: Invalid contact iterator %d.  Ignoring request.", caller, static_cast<int>(slot));
        return nullptr;
    }
    return s_queryMap[static_cast<size_t>(slot)].get();
}

} // namespace

dvk_oem_pbook_ContactIterator QrvContactV2Sem::getFirst(bool modifiedOnly)
{
    if (s_queryMap.empty())
        s_queryMap.resize(1);
    const intptr_t slot = static_cast<intptr_t>(s_queryMap.size());
    log().log(WexLogNotice, "%s: return %d", __func__, static_cast<int>(slot));
    s_queryMap.push_back(std::make_unique<QrvContactV2Sem>(modifiedOnly));
    return iteratorOf(slot);
}

dvk_oem_pbook_ContactIterator QrvContactV2Sem::getNext(dvk_oem_pbook_ContactIterator iterator, bool)
{
    QrvContactV2Sem* query = lookup(iterator, __func__, true);
    if (query == nullptr)
        return nullptr;
    if (!query->m_pimpl) {
        log().log(WexLogError, "%s: no pimpl available", __func__);
        return nullptr;
    }
    if (query->m_pimpl->incr())
        return iterator;
    s_queryMap[static_cast<size_t>(slotOf(iterator))].reset();
    return nullptr;
}

std::shared_ptr<WexObject> QrvContactV2Sem::getCurrent(dvk_oem_pbook_ContactIterator iterator)
{
    log().log(WexLogDebug, "%s(%d)", __func__, static_cast<int>(slotOf(iterator)));
    QrvContactV2Sem* query = lookup(iterator, __func__, false);
    if (query == nullptr || !query->m_pimpl)
        return nullptr;
    return query->m_pimpl->getCurrentPerson();
}

dvk_oem_pbook_ContactIterator QrvContactV2Sem::findByName(dvk_oem_pbook_ContactIterator iterator, const char* name)
{
    log().log(WexLogDebug, "%s(%d)", __func__, static_cast<int>(slotOf(iterator)));
    QrvContactV2Sem* query = lookup(iterator, __func__, false);
    if (query == nullptr || !query->m_pimpl || name == nullptr)
        return nullptr;
    if (!query->m_pimpl->findByName(name)) {
        log().log(WexLogError, "%s: End of list.", __func__);
        return nullptr;
    }
    return iterator;
}

void QrvContactV2Sem::deleteSem(dvk_oem_pbook_ContactIterator) {}
