#include "platform/db/wex_db_service_client.h"

#include "platform/db/wex_db_params.h"

#include <new>
#include <utility>

namespace {

// The empty parameters of "compact" and "purgeStatus".
WexErr writeEmpty(WexObjectVisitor& w)
{
    w.beginObject();
    return w.endObject();
}

} // namespace

WexDbServiceClient::WexDbServiceClient(WexService* service, const char* serviceName)
    : m_service(service), m_serviceName(serviceName != nullptr ? serviceName : WexDbServiceDefs::ServiceName)
{
}

WexDbServiceClient::~WexDbServiceClient() = default;

WexErr WexDbServiceClient::send(WexReplySlot& slot, const char* method, const WexObjectVisitor& writer, int replies)
{
    if (m_service == nullptr)
        return WexErrBus;
    WexObject params;
    if (WexErr err = writer.toObject(params))
        return err;
    WexRefCountedPtr<WexServiceRequest> request;
    if (WexErr err = m_service->createRequest(request))
        return err;
    return request->send(slot, m_serviceName.c_str(), method, params, replies);
}

WexErr WexDbServiceClient::putKind(WexReplySlot& slot, const WexObject& kind)
{
    if (!kind.isObject())
        return WexErrInvalidArg;
    WexObjectVisitor w;
    w.value(kind);
    return send(slot, "putKind", w, 1);
}

WexErr WexDbServiceClient::delKind(WexReplySlot& slot, const WexString& kindId)
{
    WexObjectVisitor w;
    w.beginObject();
    w.put("id", kindId);
    w.endObject();
    return send(slot, "delKind", w, 1);
}

WexErr WexDbServiceClient::putPermissions(WexReplySlot& slot, Objects permissions)
{
    WexObjectVisitor w;
    if (WexErr err = WexDbParams::writeArray(w, 0, "permissions", permissions))
        return err;
    return send(slot, "putPermissions", w, 1);
}

WexErr WexDbServiceClient::getPermissions(WexReplySlot& slot, const WexString& type, const WexString& object)
{
    WexObjectVisitor w;
    w.beginObject();
    w.put("type", type);
    w.put("object", object);
    w.endObject();
    return send(slot, "getPermissions", w, 1);
}

WexErr WexDbServiceClient::put(WexReplySlot& slot, Objects objects, uint32_t flags)
{
    WexObjectVisitor w;
    if (WexErr err = WexDbParams::writeArray(w, flags, "objects", objects))
        return err;
    return send(slot, "put", w, 1);
}

WexErr WexDbServiceClient::get(WexReplySlot& slot, Objects ids)
{
    WexObjectVisitor w;
    if (WexErr err = WexDbParams::writeArray(w, 0, "ids", ids))
        return err;
    return send(slot, "get", w, 1);
}

WexErr WexDbServiceClient::del(WexReplySlot& slot, Objects ids, uint32_t flags)
{
    WexObjectVisitor w;
    if (WexErr err = WexDbParams::writeArray(w, flags, "ids", ids))
        return err;
    return send(slot, "del", w, 1);
}

WexErr WexDbServiceClient::del(WexReplySlot& slot, const WexDbQuery& query, uint32_t flags)
{
    WexObjectVisitor w;
    if (WexErr err = WexDbParams::writeQuery(w, flags, query))
        return err;
    return send(slot, "del", w, 1);
}

WexErr WexDbServiceClient::merge(WexReplySlot& slot, Objects objects, uint32_t flags)
{
    WexObjectVisitor w;
    if (WexErr err = WexDbParams::writeArray(w, flags, "objects", objects))
        return err;
    return send(slot, "merge", w, 1);
}

WexErr WexDbServiceClient::merge(WexReplySlot& slot, const WexDbQuery& query, const WexObject& props, uint32_t)
{
    WexObjectVisitor w;
    if (WexErr err = WexDbParams::writeMergeQuery(w, query, props))
        return err;
    return send(slot, "merge", w, 1);
}

WexErr WexDbServiceClient::find(WexReplySlot& slot, const WexDbQuery& query, bool watch, bool count)
{
    WexObjectVisitor w;
    if (WexErr err = WexDbParams::writeFind(w, query, count, watch))
        return err;
    return send(slot, "find", w, watch ? 2 : 1);
}

WexErr WexDbServiceClient::search(WexReplySlot& slot, const WexDbQuery& query, bool watch, bool count)
{
    WexObjectVisitor w;
    if (WexErr err = WexDbParams::writeFind(w, query, count, watch))
        return err;
    return send(slot, "search", w, watch ? 2 : 1);
}

WexErr WexDbServiceClient::watch(WexReplySlot& slot, const WexDbQuery& query)
{
    WexObjectVisitor w;
    if (WexErr err = WexDbParams::writeQuery(w, 0, query))
        return err;
    return send(slot, "watch", w, 2);
}

WexErr WexDbServiceClient::compact(WexReplySlot& slot)
{
    WexObjectVisitor w;
    writeEmpty(w);
    return send(slot, "compact", w, 1);
}

WexErr WexDbServiceClient::createBatch(WexRefCountedPtr<WexDbBatch>& out)
{
    WexRefCountedPtr<WexDbServiceClientBatch> batch;
    if (WexErr err = WexDbServiceClientBatch::create(*this, batch))
        return err;
    out = std::move(batch);
    return WexErrNone;
}

WexErr WexDbServiceClient::purge(WexReplySlot& slot, int32_t window)
{
    WexObjectVisitor w;
    w.beginObject();
    w.put("window", window);
    w.endObject();
    return send(slot, "purge", w, 1);
}

WexErr WexDbServiceClient::purgeStatus(WexReplySlot& slot)
{
    WexObjectVisitor w;
    writeEmpty(w);
    return send(slot, "purgeStatus", w, 1);
}

WexErr WexDbServiceClient::reserveIds(WexReplySlot& slot, int32_t count)
{
    WexObjectVisitor w;
    w.beginObject();
    w.put("count", count);
    w.endObject();
    return send(slot, "reserveIds", w, 1);
}

// --- batch ---

WexDbServiceClientBatch::WexDbServiceClientBatch(WexRefCountedPtr<WexServiceRequest> request, std::string serviceName)
    : m_request(std::move(request)), m_serviceName(std::move(serviceName))
{
    m_writer.beginObject();
    m_writer.key("operations");
    m_writer.beginArray();
}

WexDbServiceClientBatch::~WexDbServiceClientBatch() = default;

WexErr WexDbServiceClientBatch::create(WexDbServiceClient& client, WexRefCountedPtr<WexDbServiceClientBatch>& out)
{
    if (client.service() == nullptr)
        return WexErrBus;
    WexRefCountedPtr<WexServiceRequest> request;
    if (WexErr err = client.service()->createRequest(request))
        return err;
    try {
        WexRefCountedPtr<WexDbServiceClientBatch> batch(
            new WexDbServiceClientBatch(std::move(request), client.serviceName()));
        out = std::move(batch);
    } catch (const std::bad_alloc&) {
        return WexErrNoMemory;
    }
    return WexErrNone;
}

template <class Write>
WexErr WexDbServiceClientBatch::append(const char* method, Write params)
{
    if (m_sent)
        return WexErrBadState;
    // Each operation's parameters are written apart first, so one that
    // cannot be written leaves the batch as it was.
    WexObjectVisitor own;
    if (WexErr err = params(own))
        return err;
    WexObject object;
    if (WexErr err = own.toObject(object))
        return err;
    m_writer.beginObject();
    m_writer.put("method", method);
    m_writer.put("params", object);
    if (WexErr err = m_writer.endObject())
        return err;
    ++m_operations;
    return WexErrNone;
}

WexErr WexDbServiceClientBatch::execute(WexReplySlot& slot)
{
    if (m_sent)
        return WexErrBadState;
    m_writer.endArray();
    if (WexErr err = m_writer.endObject())
        return err;
    m_sent = true;
    WexObject params;
    if (WexErr err = m_writer.toObject(params))
        return err;
    return m_request->send(slot, m_serviceName.c_str(), "batch", params, 1);
}

WexErr WexDbServiceClientBatch::put(Objects objects, uint32_t flags)
{
    return append("put", [&](WexObjectVisitor& w) { return WexDbParams::writeArray(w, flags, "objects", objects); });
}

WexErr WexDbServiceClientBatch::get(Objects ids)
{
    return append("get", [&](WexObjectVisitor& w) { return WexDbParams::writeArray(w, 0, "ids", ids); });
}

WexErr WexDbServiceClientBatch::del(Objects ids, uint32_t flags)
{
    return append("del", [&](WexObjectVisitor& w) { return WexDbParams::writeArray(w, flags, "ids", ids); });
}

WexErr WexDbServiceClientBatch::del(const WexDbQuery& query, uint32_t flags)
{
    return append("del", [&](WexObjectVisitor& w) { return WexDbParams::writeQuery(w, flags, query); });
}

WexErr WexDbServiceClientBatch::merge(Objects objects, uint32_t flags)
{
    return append("merge", [&](WexObjectVisitor& w) { return WexDbParams::writeArray(w, flags, "objects", objects); });
}

WexErr WexDbServiceClientBatch::merge(const WexDbQuery& query, const WexObject& props, uint32_t)
{
    return append("merge", [&](WexObjectVisitor& w) { return WexDbParams::writeMergeQuery(w, query, props); });
}

WexErr WexDbServiceClientBatch::find(const WexDbQuery& query, bool count)
{
    return append("find", [&](WexObjectVisitor& w) { return WexDbParams::writeFind(w, query, count, false); });
}

WexErr WexDbServiceClientBatch::search(const WexDbQuery& query, bool count)
{
    return append("search", [&](WexObjectVisitor& w) { return WexDbParams::writeFind(w, query, count, false); });
}
