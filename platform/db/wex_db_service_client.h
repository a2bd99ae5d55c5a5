// The object database reached over the bus: each operation is one request
// from a bus service to the database service, its parameters the method's
// JSON; a batch collects operations into one "batch" request.
//
// Use a client and its batches on the thread of the bus service they were
// made on; the service must stay open while requests are sent.
#pragma once

#include "platform/bus/wex_service.h"
#include "platform/bus/wex_service_request.h"
#include "platform/core/wex_object_visitor.h"
#include "platform/db/wex_db_client.h"

#include <string>

namespace WexDbServiceDefs {
// The database service, and its temporary twin (not used by the service).
inline constexpr const char* ServiceName = "com.orvel.db";
inline constexpr const char* TempServiceName = "com.orvel.tempdb";
} // namespace WexDbServiceDefs

class WexDbServiceClient : public WexDbClient {
public:
    // Requests go out from `service` to the database service `serviceName`.
    explicit WexDbServiceClient(WexService* service, const char* serviceName = WexDbServiceDefs::ServiceName);
    ~WexDbServiceClient() override;

    using WexDbClient::del;
    using WexDbClient::get;
    using WexDbClient::merge;
    using WexDbClient::put;

    WexErr putKind(WexReplySlot& slot, const WexObject& kind) override;
    WexErr delKind(WexReplySlot& slot, const WexString& kindId) override;
    WexErr putPermissions(WexReplySlot& slot, Objects permissions) override;
    WexErr getPermissions(WexReplySlot& slot, const WexString& type, const WexString& object) override;
    WexErr put(WexReplySlot& slot, Objects objects, uint32_t flags) override;
    WexErr get(WexReplySlot& slot, Objects ids) override;
    WexErr del(WexReplySlot& slot, Objects ids, uint32_t flags) override;
    WexErr del(WexReplySlot& slot, const WexDbQuery& query, uint32_t flags) override;
    WexErr merge(WexReplySlot& slot, Objects objects, uint32_t flags) override;
    // `flags` has no meaning for a merge by query and is not sent.
    WexErr merge(WexReplySlot& slot, const WexDbQuery& query, const WexObject& props, uint32_t flags) override;
    WexErr find(WexReplySlot& slot, const WexDbQuery& query, bool watch, bool count) override;
    WexErr search(WexReplySlot& slot, const WexDbQuery& query, bool watch, bool count) override;
    WexErr watch(WexReplySlot& slot, const WexDbQuery& query) override;
    WexErr compact(WexReplySlot& slot) override;
    WexErr createBatch(WexRefCountedPtr<WexDbBatch>& out) override;
    WexErr purge(WexReplySlot& slot, int32_t window) override;
    WexErr purgeStatus(WexReplySlot& slot) override;
    WexErr reserveIds(WexReplySlot& slot, int32_t count) override;

    WexService* service() const { return m_service; }
    const char* serviceName() const { return m_serviceName.c_str(); }

private:
    // Sends the parameters `writer` holds as `method`, expecting `replies`.
    WexErr send(WexReplySlot& slot, const char* method, const WexObjectVisitor& writer, int replies);

    WexService* m_service;
    std::string m_serviceName;
};

class WexDbServiceClientBatch : public WexDbBatch {
public:
    using WexDbBatch::del;
    using WexDbBatch::get;
    using WexDbBatch::merge;
    using WexDbBatch::put;

    // Made by WexDbServiceClient::createBatch.
    static WexErr create(WexDbServiceClient& client, WexRefCountedPtr<WexDbServiceClientBatch>& out);
    ~WexDbServiceClientBatch() override;

    WexErr execute(WexReplySlot& slot) override;
    WexErr put(Objects objects, uint32_t flags) override;
    WexErr get(Objects ids) override;
    WexErr del(Objects ids, uint32_t flags) override;
    WexErr del(const WexDbQuery& query, uint32_t flags) override;
    WexErr merge(Objects objects, uint32_t flags) override;
    WexErr merge(const WexDbQuery& query, const WexObject& props, uint32_t flags) override;
    WexErr find(const WexDbQuery& query, bool count) override;
    WexErr search(const WexDbQuery& query, bool count) override;

    // Operations appended so far.
    int size() const { return m_operations; }

private:
    WexDbServiceClientBatch(WexRefCountedPtr<WexServiceRequest> request, std::string serviceName);
    // Appends {"method": method, "params": <what `params` writes>}; a batch
    // whose writer failed stays failed.
    template <class Write>
    WexErr append(const char* method, Write params);

    WexRefCountedPtr<WexServiceRequest> m_request;
    WexObjectVisitor m_writer;
    std::string m_serviceName;
    int m_operations = 0;
    bool m_sent = false;
};
