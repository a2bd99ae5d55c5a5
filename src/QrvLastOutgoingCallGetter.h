// The last outgoing phone call from the call history in the platform
// database, stored in QrvSettings for redial; then the completion. An empty
// history stores an empty record; a failure stops there (logged). "UI" only.
#pragma once

#include "platform/bus/wex_service.h"
#include "platform/core/wex_ref_counted.h"

#include <string>

class QrvLastOutgoingCallGetterPimpl;

class QrvLastOutgoingCallGetter {
public:
    explicit QrvLastOutgoingCallGetter(WexService* service);
    virtual ~QrvLastOutgoingCallGetter();
    QrvLastOutgoingCallGetter(const QrvLastOutgoingCallGetter&) = delete;
    QrvLastOutgoingCallGetter& operator=(const QrvLastOutgoingCallGetter&) = delete;

    // The last call is stored.
    virtual void outgoingCallGetterdone() = 0;

    // "type_work" (any case in the prefix) gives "WORK"; anything else stays.
    static std::string addressType(const std::string& stored);

protected:
    // Sends the query; separate from the constructor so that the reply only
    // reaches a complete object.
    void start();

private:
    WexService* m_service;
    WexRefCountedPtr<QrvLastOutgoingCallGetterPimpl> m_pimpl;
};
