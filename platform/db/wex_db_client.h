// The operations of the object database as its clients see them, and of a
// batch of them sent as one request. Every operation takes the reply slot
// first, sends (or, in a batch, appends) one operation and returns at once:
// the replies reach the slot as (reply, error) on the thread of the bus
// service the client was made on.
//
// Objects and ids are JSON values; flags are the WexDbFlag* bits of
// wex_db_query.h.
#pragma once

#include "platform/core/wex_err.h"
#include "platform/core/wex_object.h"
#include "platform/core/wex_ref_counted.h"
#include "platform/core/wex_signal.h"
#include "platform/core/wex_string.h"
#include "platform/db/wex_db_query.h"

#include <cstdint>
#include <span>

class WexDbBatch;

class WexDbClient {
public:
    using Objects = std::span<const WexObject>;

    virtual ~WexDbClient() = default;

    virtual WexErr putKind(WexReplySlot& slot, const WexObject& kind) = 0;
    virtual WexErr delKind(WexReplySlot& slot, const WexString& kindId) = 0;
    virtual WexErr putPermissions(WexReplySlot& slot, Objects permissions) = 0;
    virtual WexErr getPermissions(WexReplySlot& slot, const WexString& type, const WexString& object) = 0;
    virtual WexErr put(WexReplySlot& slot, Objects objects, uint32_t flags) = 0;
    virtual WexErr get(WexReplySlot& slot, Objects ids) = 0;
    virtual WexErr del(WexReplySlot& slot, Objects ids, uint32_t flags) = 0;
    virtual WexErr del(WexReplySlot& slot, const WexDbQuery& query, uint32_t flags) = 0;
    virtual WexErr merge(WexReplySlot& slot, Objects objects, uint32_t flags) = 0;
    virtual WexErr merge(WexReplySlot& slot, const WexDbQuery& query, const WexObject& props, uint32_t flags) = 0;
    // With `watch` a second reply follows when the results change.
    virtual WexErr find(WexReplySlot& slot, const WexDbQuery& query, bool watch, bool count) = 0;
    virtual WexErr search(WexReplySlot& slot, const WexDbQuery& query, bool watch, bool count) = 0;
    virtual WexErr watch(WexReplySlot& slot, const WexDbQuery& query) = 0;
    virtual WexErr compact(WexReplySlot& slot) = 0;
    virtual WexErr createBatch(WexRefCountedPtr<WexDbBatch>& out) = 0;
    virtual WexErr purge(WexReplySlot& slot, int32_t window) = 0;
    virtual WexErr purgeStatus(WexReplySlot& slot) = 0;
    virtual WexErr reserveIds(WexReplySlot& slot, int32_t count) = 0;

    // One object or id as a one-element range.
    WexErr put(WexReplySlot& slot, const WexObject& object, uint32_t flags = 0)
    {
        return put(slot, Objects(&object, 1), flags);
    }
    WexErr get(WexReplySlot& slot, const WexObject& id) { return get(slot, Objects(&id, 1)); }
    WexErr del(WexReplySlot& slot, const WexObject& id, uint32_t flags = 0)
    {
        return del(slot, Objects(&id, 1), flags);
    }
    WexErr merge(WexReplySlot& slot, const WexObject& object, uint32_t flags = 0)
    {
        return merge(slot, Objects(&object, 1), flags);
    }
    WexErr putPermission(WexReplySlot& slot, const WexObject& permission)
    {
        return putPermissions(slot, Objects(&permission, 1));
    }
};

// Operations collected into one "batch" request, sent by execute().
class WexDbBatch : public WexRefCounted {
public:
    using Objects = std::span<const WexObject>;

    // Sends the batch (one reply). A batch is sent once: later calls of any
    // operation fail with WexErrBadState.
    virtual WexErr execute(WexReplySlot& slot) = 0;
    virtual WexErr put(Objects objects, uint32_t flags) = 0;
    virtual WexErr get(Objects ids) = 0;
    virtual WexErr del(Objects ids, uint32_t flags) = 0;
    virtual WexErr del(const WexDbQuery& query, uint32_t flags) = 0;
    virtual WexErr merge(Objects objects, uint32_t flags) = 0;
    virtual WexErr merge(const WexDbQuery& query, const WexObject& props, uint32_t flags) = 0;
    virtual WexErr find(const WexDbQuery& query, bool count) = 0;
    virtual WexErr search(const WexDbQuery& query, bool count) = 0;

    WexErr put(const WexObject& object, uint32_t flags = 0) { return put(Objects(&object, 1), flags); }
    WexErr get(const WexObject& id) { return get(Objects(&id, 1)); }
    WexErr del(const WexObject& id, uint32_t flags = 0) { return del(Objects(&id, 1), flags); }
    WexErr merge(const WexObject& object, uint32_t flags = 0) { return merge(Objects(&object, 1), flags); }

protected:
    ~WexDbBatch() override = default;
};
