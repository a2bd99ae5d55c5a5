#include "platform/db/wex_db_params.h"

namespace {

void writeFlags(WexObjectVisitor& w, uint32_t flags)
{
    if ((flags & WexDbFlagPurge) != 0)
        w.put("purge", true);
}

} // namespace

namespace WexDbParams {

WexErr writeArray(WexObjectVisitor& w, uint32_t flags, const char* key, Objects values)
{
    w.beginObject();
    writeFlags(w, flags);
    w.key(key);
    w.beginArray();
    for (const WexObject& value : values)
        w.value(value);
    w.endArray();
    return w.endObject();
}

WexErr writeQuery(WexObjectVisitor& w, uint32_t flags, const WexDbQuery& query)
{
    w.beginObject();
    writeFlags(w, flags);
    w.key("query");
    if (WexErr err = query.toObject(w))
        return err;
    return w.endObject();
}

WexErr writeMergeQuery(WexObjectVisitor& w, const WexDbQuery& query, const WexObject& props)
{
    w.beginObject();
    w.key("query");
    if (WexErr err = query.toObject(w))
        return err;
    w.put("props", props);
    return w.endObject();
}

WexErr writeFind(WexObjectVisitor& w, const WexDbQuery& query, bool count, bool watch)
{
    w.beginObject();
    w.key("query");
    if (WexErr err = query.toObject(w))
        return err;
    if (count)
        w.put("count", true);
    if (watch)
        w.put("watch", true);
    return w.endObject();
}

} // namespace WexDbParams
