// How the desktop database compares, matches and cuts records: property
// paths, value order with collation, where clauses and selected properties.
//
// A property path ("to.addr") walks objects; an array on the way, or at its
// end, stands for each of its elements, so a path yields any number of
// values and a clause matches when one of them satisfies it.
#pragma once

#include "platform/db/wex_db_query.h"

#include <nlohmann/json.hpp>

#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace SimDbMatch {

using json = nlohmann::json;

// The values `path` reaches in `record`.
void values(const json& record, std::string_view path, std::vector<const json*>& out);

// Orders values: by type first (null, boolean, number, text, array, object),
// then by value; texts by their collation key.
int compare(const json& a, const json& b, WexDbCollationStrength collation);

// The text `collation` compares: primary ignores case and accents,
// secondary case; the stronger ones compare the text itself.
std::string collationKey(const std::string& text, WexDbCollationStrength collation);

// A where clause with its values as JSON.
struct Clause {
    std::string property;
    WexDbQuery::CompOp lowerOp = WexDbQuery::OpNone;
    json lowerVal;
    WexDbQuery::CompOp upperOp = WexDbQuery::OpNone;
    json upperVal;
    WexDbCollationStrength collation = WexDbCollationNone;
};

// The clauses of a query's map, values converted.
std::vector<Clause> clauses(const WexDbQuery::ClauseMap& map);

// True when the record satisfies the clause. A record without "_del" counts
// as not deleted.
bool matches(const json& record, const Clause& clause);

// The record cut to the selected properties (all of it when none are).
json project(const json& record, const std::set<std::string>& selected);

} // namespace SimDbMatch
