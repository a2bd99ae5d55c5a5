// The parameters of each database method, written as one JSON object into a
// writer: shared by single requests and by the operations of a batch, so
// both send the same shapes.
#pragma once

#include "platform/core/wex_err.h"
#include "platform/core/wex_object.h"
#include "platform/core/wex_object_visitor.h"
#include "platform/core/wex_string.h"
#include "platform/db/wex_db_query.h"

#include <cstdint>
#include <span>

namespace WexDbParams {

using Objects = std::span<const WexObject>;

// {["purge": true,] KEY: [values]}
WexErr writeArray(WexObjectVisitor& w, uint32_t flags, const char* key, Objects values);
// {["purge": true,] "query": query}
WexErr writeQuery(WexObjectVisitor& w, uint32_t flags, const WexDbQuery& query);
// {"query": query, "props": props}
WexErr writeMergeQuery(WexObjectVisitor& w, const WexDbQuery& query, const WexObject& props);
// {"query": query[, "count": true][, "watch": true]}
WexErr writeFind(WexObjectVisitor& w, const WexDbQuery& query, bool count, bool watch);

} // namespace WexDbParams
