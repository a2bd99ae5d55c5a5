// The full or incremental grammar update decision: two counts of persons,
// those the stored voice data covers (revision at or below the watermark)
// and those new or changed since. A full update is ordered by setting the
// watermark to -1. "UI" only.
#pragma once

#include "platform/bus/wex_service.h"
#include "platform/core/wex_ref_counted.h"

class QrvContactsQuerySizeGetterPimpl;

class QrvContactsQuerySizeGetter {
public:
    // Reads the stored watermark, then counts.
    explicit QrvContactsQuerySizeGetter(WexService* service);
    virtual ~QrvContactsQuerySizeGetter();
    QrvContactsQuerySizeGetter(const QrvContactsQuerySizeGetter&) = delete;
    QrvContactsQuerySizeGetter& operator=(const QrvContactsQuerySizeGetter&) = delete;

    // The decision is made and the bring-up goes on (not called when a
    // background run has nothing to update: the service shuts down).
    virtual void getterDone(long long previous, long long newCount) = 0;

    // Whether the counts call for a full update.
    static bool fullUpdateNeeded(bool background, long long previous, long long newCount);

    static void metaDbFileInfoReadCallback(void* pimpl);

protected:
    // Separate from the constructor: completions only reach a whole object.
    void start();

private:
    WexService* m_service;
    WexRefCountedPtr<QrvContactsQuerySizeGetterPimpl> m_pimpl;
};
