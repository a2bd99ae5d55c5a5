// Database queries arrive as bus payloads ("find", "del" and "batch"
// parameters, and the desktop database reads them): parse any text, read it
// as a query, check it, and what reads must write and read back the same.
#include "platform/db/wex_db_query.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    WexObject object;
    if (WexObject::parse(text, object) != WexErrNone)
        return 0;
    // A whole request or the query alone.
    WexObject query;
    if (object.get("query", query) != WexErrNone)
        query = object;

    WexDbQuery q;
    WexDbQuery before = q;
    if (q.fromObject(query) != WexErrNone) {
        if (!(q == before) || q.errorText().empty())
            std::abort();  // a refused query is left as it was, with a reason
        return 0;
    }
    (void)q.validate();
    (void)q.validateFind();

    WexObject written;
    if (q.toObject(written) != WexErrNone)
        std::abort();
    WexDbQuery back;
    if (back.fromObject(written) != WexErrNone || !(back == q))
        std::abort();
    WexObject again;
    if (back.toObject(again) != WexErrNone || !(again == written))
        std::abort();

    if (!q.page().empty()) {
        WexObject key;
        WexDbQuery::Page page;
        if (q.page().toObject(key) != WexErrNone || page.fromObject(key) != WexErrNone || !(page == q.page()))
            std::abort();
    }
    return 0;
}
