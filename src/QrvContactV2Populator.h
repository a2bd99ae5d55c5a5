// One query's page fetcher on "UI": builds the page query (all persons or the
// modified ones, or a name search), sends it through the service's database
// client and reports each response, or an empty one at the end of the data.
#pragma once

#include "platform/core/wex_object.h"
#include "platform/core/wex_ref_counted.h"
#include "platform/core/wex_string.h"

#include <cstdint>

class QrvContactV2PopulatorPimpl;

class QrvContactV2Populator {
public:
    QrvContactV2Populator();
    virtual ~QrvContactV2Populator();
    QrvContactV2Populator(const QrvContactV2Populator&) = delete;
    QrvContactV2Populator& operator=(const QrvContactV2Populator&) = delete;

    // The next page; modified-only pages are those above `since`. `name` (or
    // null) makes it a name search.
    void getPage(bool modifiedOnly, long long since, const char* name);
    // A response, or an empty object at the end of the data.
    virtual void reportResult(WexObject& response) = 0;

    // The where clauses of a name search, for `query`.
    static WexErr nameClauses(const char* name, class WexDbQuery& query);

private:
    WexRefCountedPtr<QrvContactV2PopulatorPimpl> m_pimpl;
};
