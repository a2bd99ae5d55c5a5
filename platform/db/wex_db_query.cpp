#include "platform/db/wex_db_query.h"

#include <new>
#include <utility>

namespace {

struct OpText {
    WexDbQuery::CompOp op;
    const char* text;
};

// Searched in this order.
const OpText s_ops[] = {
    {WexDbQuery::OpEq, "="},
    {WexDbQuery::OpNotEq, "!="},
    {WexDbQuery::OpLessThan, "<"},
    {WexDbQuery::OpLessThanEq, "<="},
    {WexDbQuery::OpGreaterThan, ">"},
    {WexDbQuery::OpGreaterThanEq, ">="},
    {WexDbQuery::OpPrefix, "%"},
    {WexDbQuery::OpSearch, "?"},
};

const char* const s_collations[] = {"invalid", "primary", "secondary", "tertiary", "quaternary", "identical"};

const char* const DelProperty = "_del";

bool isUpper(WexDbQuery::CompOp op)
{
    return op == WexDbQuery::OpLessThan || op == WexDbQuery::OpLessThanEq;
}

bool isLowerBound(WexDbQuery::CompOp op)
{
    return op == WexDbQuery::OpGreaterThan || op == WexDbQuery::OpGreaterThanEq;
}

// A plain equality on one value: the only clause that leaves an index's
// order free.
bool isPlainEq(const WexDbQuery::WhereClause& clause)
{
    return clause.lowerOp == WexDbQuery::OpEq && clause.upperOp == WexDbQuery::OpNone && !clause.lowerVal.isArray();
}

bool hasArrayValue(const WexDbQuery::WhereClause& clause)
{
    return clause.lowerVal.isArray() || clause.upperVal.isArray();
}

bool hasOp(const WexDbQuery::WhereClause& clause, WexDbQuery::CompOp op)
{
    return clause.lowerOp == op || clause.upperOp == op;
}

} // namespace

const char* collationToString(WexDbCollationStrength strength)
{
    if (strength < WexDbCollationPrimary || strength > WexDbCollationIdentical)
        return s_collations[0];
    return s_collations[strength];
}

WexErr collationFromString(std::string_view text, WexDbCollationStrength& out)
{
    for (int i = WexDbCollationPrimary; i <= WexDbCollationIdentical; ++i) {
        if (text == s_collations[i]) {
            out = static_cast<WexDbCollationStrength>(i);
            return WexErrNone;
        }
    }
    return WexErrDbInvalidCollation;
}

WexErr WexDbQuery::opToString(CompOp op, const char*& out)
{
    for (const OpText& entry : s_ops) {
        if (entry.op == op) {
            out = entry.text;
            return WexErrNone;
        }
    }
    return WexErrDbInvalidOperator;
}

WexErr WexDbQuery::stringToOp(std::string_view text, CompOp& out)
{
    for (const OpText& entry : s_ops) {
        if (text == entry.text) {
            out = entry.op;
            return WexErrNone;
        }
    }
    return WexErrDbInvalidOperator;
}

WexErr WexDbQuery::Page::toObject(WexObject& out) const
{
    WexString text;
    if (WexErr err = WexString::base64Encode(m_key.view(), text))
        return err;
    try {
        out = WexObject(text);
    } catch (const std::bad_alloc&) {
        return WexErrNoMemory;
    }
    return WexErrNone;
}

WexErr WexDbQuery::Page::fromObject(const WexObject& object)
{
    WexString text;
    if (WexErr err = object.value(text))
        return err;
    WexString key;
    if (WexErr err = text.base64Decode(key))
        return err;
    m_key = std::move(key);
    return WexErrNone;
}

WexErr WexDbQuery::fail(WexErr err, const char* text) const
{
    m_errorText = text != nullptr ? text : wexErrText(err);
    return err;
}

void WexDbQuery::select(const WexString& property)
{
    m_select.insert(property.str());
}

WexErr WexDbQuery::limit(int32_t count)
{
    if (count < NoLimit)
        return fail(WexErrDbInvalidQuery, "db: negative query limit");
    m_limit = count;
    return WexErrNone;
}

WexErr WexDbQuery::where(const WexString& property, CompOp op, const WexObject& value,
                         WexDbCollationStrength collation)
{
    return addClause(m_where, property, op, value, collation);
}

WexErr WexDbQuery::filter(const WexString& property, CompOp op, const WexObject& value)
{
    return addClause(m_filter, property, op, value, WexDbCollationNone);
}

WexErr WexDbQuery::includeDeleted(bool flag)
{
    if (!flag)
        return WexErrNone;
    WexObject both = WexObject::array();
    if (both.append(false) != WexErrNone || both.append(true) != WexErrNone)
        return fail(WexErrNoMemory, nullptr);
    // Asking twice (or reading a query that already carries the clause) is
    // the same request, not a conflict.
    auto it = m_where.find(DelProperty);
    if (it != m_where.end() && it->second.lowerOp == OpEq && it->second.upperOp == OpNone &&
        it->second.lowerVal == both && it->second.collation == WexDbCollationNone)
        return WexErrNone;
    return where(DelProperty, OpEq, both);
}

void WexDbQuery::clear()
{
    *this = WexDbQuery();
}

WexErr WexDbQuery::addClause(ClauseMap& clauses, const WexString& property, CompOp op, const WexObject& value,
                             WexDbCollationStrength collation)
{
    if (op < OpEq || op > OpSearch)
        return fail(WexErrDbInvalidQuery, "db: invalid query op");
    if (value.isArray() && op != OpEq && op != OpPrefix)
        return fail(WexErrDbInvalidQuery, "db: query contains array value for non-eq op");
    if (collation < WexDbCollationNone || collation > WexDbCollationIdentical)
        return fail(WexErrDbInvalidCollation, nullptr);

    auto it = clauses.find(property.str());
    if (it == clauses.end()) {
        WhereClause clause;
        if (isUpper(op)) {
            clause.upperOp = op;
            clause.upperVal = value;
        } else {
            clause.lowerOp = op;
            clause.lowerVal = value;
        }
        clause.collation = collation;
        clauses.emplace(property.str(), std::move(clause));
        return WexErrNone;
    }

    // Every check before the change, so a refused clause leaves the old one.
    WhereClause& clause = it->second;
    bool asUpper;
    if (isUpper(op) && (clause.lowerOp == OpNone || isLowerBound(clause.lowerOp)) && clause.upperOp == OpNone)
        asUpper = true;
    else if (isLowerBound(op) && (clause.upperOp == OpNone || isUpper(clause.upperOp)) && clause.lowerOp == OpNone)
        asUpper = false;
    else
        return fail(WexErrDbConflictingOperators, nullptr);
    if (clause.collation != WexDbCollationNone && clause.collation != collation)
        return fail(WexErrDbCollationMismatch, nullptr);

    if (asUpper) {
        clause.upperOp = op;
        clause.upperVal = value;
    } else {
        clause.lowerOp = op;
        clause.lowerVal = value;
    }
    clause.collation = collation;
    return WexErrNone;
}

WexErr WexDbQuery::writeClauses(WexObjectVisitor& writer, const ClauseMap& clauses)
{
    if (WexErr err = writer.beginArray())
        return err;
    for (const auto& [property, clause] : clauses) {
        const std::pair<CompOp, const WexObject*> bounds[] = {{clause.lowerOp, &clause.lowerVal},
                                                              {clause.upperOp, &clause.upperVal}};
        for (const auto& [op, value] : bounds) {
            if (op == OpNone)
                continue;
            const char* text = nullptr;
            if (WexErr err = opToString(op, text))
                return err;
            writer.beginObject();
            writer.put("prop", property);
            writer.put("op", text);
            writer.put("val", *value);
            if (clause.collation != WexDbCollationNone)
                writer.put("collate", collationToString(clause.collation));
            if (WexErr err = writer.endObject())
                return err;
        }
    }
    return writer.endArray();
}

WexErr WexDbQuery::toObject(WexObjectVisitor& writer) const
{
    writer.beginObject();
    if (!m_select.empty()) {
        writer.key("select");
        writer.beginArray();
        for (const std::string& property : m_select)
            writer.value(property);
        writer.endArray();
    }
    writer.put("from", m_from);
    if (!m_where.empty()) {
        writer.key("where");
        if (WexErr err = writeClauses(writer, m_where))
            return fail(err, nullptr);
    }
    if (!m_filter.empty()) {
        writer.key("filter");
        if (WexErr err = writeClauses(writer, m_filter))
            return fail(err, nullptr);
    }
    if (!m_order.empty())
        writer.put("orderBy", m_order);
    if (m_desc)
        writer.put("desc", true);
    if (m_limit != NoLimit)
        writer.put("limit", m_limit);
    if (!m_page.empty()) {
        WexObject key;
        if (WexErr err = m_page.toObject(key))
            return fail(err, nullptr);
        writer.put("page", key);
    }
    if (WexErr err = writer.endObject())
        return fail(err, nullptr);
    return WexErrNone;
}

WexErr WexDbQuery::toObject(WexObject& out) const
{
    WexObjectVisitor writer;
    if (WexErr err = toObject(writer))
        return err;
    if (WexErr err = writer.toObject(out))
        return fail(err, nullptr);
    return WexErrNone;
}

WexErr WexDbQuery::readClauses(const WexObject& object, const char* key, bool isWhere)
{
    bool found = false;
    WexObject clauses;
    if (WexErr err = object.getOptional(key, clauses, &found))
        return fail(err, nullptr);
    if (!found)
        return WexErrNone;
    if (!clauses.isArray())
        return fail(WexErrMissingProperty, nullptr);
    for (size_t i = 0; i < clauses.size(); ++i) {
        WexObject clause;
        WexString property;
        WexString opText;
        WexObject value;
        if (WexErr err = clauses.at(i, clause))
            return fail(err, nullptr);
        if (WexErr err = clause.get("prop", property))
            return fail(err, nullptr);
        if (WexErr err = clause.get("op", opText))
            return fail(err, nullptr);
        if (!clause.hasKey("val"))
            return fail(WexErrMissingProperty, nullptr);
        if (WexErr err = clause.get("val", value))
            return fail(err, nullptr);
        bool hasCollation = false;
        WexString collationText;
        if (WexErr err = clause.getOptional("collate", collationText, &hasCollation))
            return fail(err, nullptr);
        CompOp op = OpNone;
        if (WexErr err = stringToOp(opText.view(), op))
            return fail(err, nullptr);
        WexDbCollationStrength collation = WexDbCollationNone;
        if (hasCollation) {
            if (WexErr err = collationFromString(collationText.view(), collation))
                return fail(err, nullptr);
        }
        if (WexErr err = isWhere ? where(property, op, value, collation) : filter(property, op, value))
            return err;
    }
    return WexErrNone;
}

WexErr WexDbQuery::fromObject(const WexObject& object)
{
    try {
        WexDbQuery read;
        WexErr err = [&]() -> WexErr {
            bool found = false;
            WexObject select;
            if (WexErr e = object.getOptional("select", select, &found))
                return read.fail(e, nullptr);
            if (found) {
                if (!select.isArray() || select.size() == 0)
                    return read.fail(WexErrDbInvalidQuery, "db: select clause but no selected properties");
                for (size_t i = 0; i < select.size(); ++i) {
                    WexString property;
                    if (WexErr e = select.at(i, property))
                        return read.fail(e, nullptr);
                    read.select(property);
                }
            }
            if (WexErr e = object.get("from", read.m_from))
                return read.fail(e, nullptr);
            if (WexErr e = read.readClauses(object, "where", true))
                return e;
            if (WexErr e = read.readClauses(object, "filter", false))
                return e;
            if (WexErr e = object.getOptional("orderBy", read.m_order))
                return read.fail(e, nullptr);
            if (WexErr e = object.getOptional("desc", read.m_desc))
                return read.fail(e, nullptr);
            int32_t count = NoLimit;
            found = false;
            if (WexErr e = object.getOptional("limit", count, &found))
                return read.fail(e, nullptr);
            if (found && count < 0)
                return read.fail(WexErrDbInvalidQuery, "db: negative query limit");
            read.m_limit = count;
            WexObject page;
            found = false;
            if (WexErr e = object.getOptional("page", page, &found))
                return read.fail(e, nullptr);
            if (found) {
                if (WexErr e = read.m_page.fromObject(page))
                    return read.fail(e, nullptr);
            }
            bool incDel = false;
            if (WexErr e = object.getOptional("incDel", incDel))
                return read.fail(e, nullptr);
            return read.includeDeleted(incDel);
        }();
        if (err != WexErrNone) {
            m_errorText = read.m_errorText;
            return err;
        }
        *this = std::move(read);
        return WexErrNone;
    } catch (const std::bad_alloc&) {
        return fail(WexErrNoMemory, nullptr);
    }
}

WexErr WexDbQuery::validate() const
{
    const std::string* inequality = nullptr;
    const std::string* arrays = nullptr;
    for (const auto& [property, clause] : m_where) {
        if (clause.lowerOp != OpEq || clause.upperOp != OpNone) {
            if (inequality != nullptr)
                return fail(WexErrDbInvalidQuery, "db: query contains inequality operations on multiple properties");
            inequality = &property;
        }
        if (hasArrayValue(clause) && property != DelProperty) {
            if (arrays != nullptr)
                return fail(WexErrDbInvalidQuery, "db: query contains array values on multiple properties");
            arrays = &property;
        }
    }
    for (const auto& [property, clause] : m_filter) {
        if (hasOp(clause, OpPrefix))
            return fail(WexErrDbInvalidQuery, "db: query contains prefix operator in filter");
        if (hasOp(clause, OpSearch))
            return fail(WexErrDbInvalidQuery, "db: query contains search operator in filter");
    }
    return WexErrNone;
}

WexErr WexDbQuery::validateFind() const
{
    if (WexErr err = validate())
        return err;
    if (!m_order.empty()) {
        for (const auto& [property, clause] : m_where) {
            if (!isPlainEq(clause) && property != m_order.view())
                return fail(WexErrDbInvalidQuery, "db: query order not compatible with where clause");
        }
    }
    for (const auto& [property, clause] : m_where) {
        if (hasOp(clause, OpSearch))
            return fail(WexErrDbInvalidQuery, "db: search operator not allowed in find");
    }
    if (!m_filter.empty())
        return fail(WexErrDbInvalidQuery, "db: filter not allowed in find");
    return WexErrNone;
}

bool operator==(const WexDbQuery& a, const WexDbQuery& b)
{
    return a.m_from == b.m_from && a.m_select == b.m_select && a.m_where == b.m_where && a.m_filter == b.m_filter &&
           a.m_page == b.m_page && a.m_order == b.m_order && a.m_limit == b.m_limit && a.m_desc == b.m_desc;
}
