// Bus payloads arrive as JSON text: parse anything, then read it the way the
// service does (typed reads by key, array walks, serialise and parse back).
#include "platform/core/wex_object.h"
#include "platform/core/wex_object_visitor.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

const char* const kKeys[] = {"results", "next", "count", "_rev", "_id", "returnValue", "errorCode",
                             "state", "ticket", "action", "value", "page", "limit", ""};

void readAll(const WexObject& object, int depth)
{
    if (depth > 4)
        return;
    for (const char* key : kKeys) {
        std::string s;
        WexString ws;
        int32_t i = 0;
        int64_t l = 0;
        bool b = false;
        bool found = false;
        WexObject child;
        (void)object.get(key, s);
        (void)object.get(key, i);
        (void)object.getOptional(key, l, &found);
        (void)object.getOptional(key, b);
        (void)object.getOptional(key, ws);
        if (object.get(key, child) == WexErrNone)
            readAll(child, depth + 1);
        if (ws.size() > 0) {
            WexString decoded;
            (void)ws.base64Decode(decoded);
        }
    }
    size_t n = object.size();
    for (size_t index = 0; index < n && index < 64; ++index) {
        WexObject element;
        if (object.at(index, element) != WexErrNone && object.isArray())
            std::abort();
        readAll(element, depth + 1);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    WexObject object;
    if (WexObject::parse(text, object) != WexErrNone)
        return 0;
    readAll(object, 0);

    // What parsed serialises, and parses back to the same value.
    std::string json;
    if (object.toJson(json) != WexErrNone)
        std::abort();
    WexObject back;
    if (WexObject::parse(json, back) != WexErrNone || !(back == object))
        std::abort();

    // And the same value streamed through the writer.
    WexObjectVisitor writer;
    writer.beginArray();
    writer.value(object);
    writer.endArray();
    std::string wrapped;
    if (writer.text(wrapped) != WexErrNone || wrapped != "[" + json + "]")
        std::abort();
    return 0;
}
