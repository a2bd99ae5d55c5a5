// A query of the object database ("com.orvel.db"): the kind to read, the
// selected properties, where and filter clauses, order, limit and the page
// key of a previous reply, with its JSON form both ways.
//
// Every setter checks what it adds and leaves the query unchanged on failure.
// Failures return one of the database codes of wex_err.h; errorText() gives
// the message of the last failure ("db: ..." for an invalid query).
#pragma once

#include "platform/core/wex_err.h"
#include "platform/core/wex_object.h"
#include "platform/core/wex_object_visitor.h"
#include "platform/core/wex_string.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>

enum WexDbCollationStrength : int {
    WexDbCollationNone = 0,
    WexDbCollationPrimary = 1,
    WexDbCollationSecondary = 2,
    WexDbCollationTertiary = 3,
    WexDbCollationQuaternary = 4,
    WexDbCollationIdentical = 5,
};

// "primary" .. "identical"; none (and anything out of range) is "invalid".
const char* collationToString(WexDbCollationStrength strength);
// The reverse; "invalid" and unknown texts fail with WexErrDbInvalidCollation.
WexErr collationFromString(std::string_view text, WexDbCollationStrength& out);

// Database flags of put, del and merge.
enum : uint32_t {
    WexDbFlagPurge = 4,  // delete for good instead of marking deleted
};

class WexDbQuery {
public:
    enum CompOp : int {
        OpNone = 0,
        OpEq = 1,            // "=" (an array value: any of its elements)
        OpNotEq = 2,         // "!="
        OpLessThan = 3,      // "<"
        OpLessThanEq = 4,    // "<="
        OpGreaterThan = 5,   // ">"
        OpGreaterThanEq = 6, // ">="
        OpPrefix = 7,        // "%" (an array value: any of its elements)
        OpSearch = 8,        // "?"
    };

    // The text of an operator; WexErrDbInvalidOperator for none or out of range.
    static WexErr opToString(CompOp op, const char*& out);
    static WexErr stringToOp(std::string_view text, CompOp& out);

    // One property's condition: a lower operator (or any operator that is not
    // an upper bound), and an upper bound ("<", "<="), either or both.
    struct WhereClause {
        CompOp lowerOp = OpNone;
        WexObject lowerVal;
        CompOp upperOp = OpNone;
        WexObject upperVal;
        WexDbCollationStrength collation = WexDbCollationNone;

        friend bool operator==(const WhereClause&, const WhereClause&) = default;
    };
    using ClauseMap = std::map<std::string, WhereClause>;

    // The opaque key of the next page, as a previous reply's "next" gave it.
    class Page {
    public:
        const WexString& key() const { return m_key; }
        void setKey(WexString key) { m_key = std::move(key); }
        bool empty() const { return m_key.empty(); }
        void clear() { m_key.clear(); }
        // The key as base64 text.
        WexErr toObject(WexObject& out) const;
        // From base64 text; anything else fails and leaves the key as it was.
        WexErr fromObject(const WexObject& object);

        friend bool operator==(const Page&, const Page&) = default;

    private:
        WexString m_key;
    };

    static constexpr int32_t NoLimit = -1;

    WexDbQuery() = default;

    // Setters.
    void from(const WexString& kind) { m_from = kind; }
    void select(const WexString& property);
    void order(const WexString& property) { m_order = property; }
    // -1 (no limit) or a count; anything below -1 fails (invalid query).
    WexErr limit(int32_t count);
    void desc(bool flag) { m_desc = flag; }
    void page(const Page& page) { m_page = page; }
    WexErr where(const WexString& property, CompOp op, const WexObject& value,
                 WexDbCollationStrength collation = WexDbCollationNone);
    WexErr filter(const WexString& property, CompOp op, const WexObject& value);
    // True adds the clause "_del" = [false, true] (deleted objects too).
    WexErr includeDeleted(bool flag);
    void clear();

    // Readers.
    const WexString& from() const { return m_from; }
    const std::set<std::string>& selected() const { return m_select; }
    const ClauseMap& whereClauses() const { return m_where; }
    const ClauseMap& filterClauses() const { return m_filter; }
    const Page& page() const { return m_page; }
    const WexString& order() const { return m_order; }
    int32_t limit() const { return m_limit; }
    bool desc() const { return m_desc; }

    // JSON: written in the protocol's key order into the writer (one object),
    // or into `out` (replaced only on success).
    WexErr toObject(WexObjectVisitor& writer) const;
    WexErr toObject(WexObject& out) const;
    // Reads a whole query; on failure the query is left as it was.
    WexErr fromObject(const WexObject& object);

    // Rules for every query, and the further rules of "find".
    WexErr validate() const;
    WexErr validateFind() const;

    // The message of the last failure of this query.
    const std::string& errorText() const { return m_errorText; }

    friend bool operator==(const WexDbQuery& a, const WexDbQuery& b);

private:
    WexErr addClause(ClauseMap& clauses, const WexString& property, CompOp op, const WexObject& value,
                     WexDbCollationStrength collation);
    WexErr fail(WexErr err, const char* text) const;
    static WexErr writeClauses(WexObjectVisitor& writer, const ClauseMap& clauses);
    WexErr readClauses(const WexObject& object, const char* key, bool isWhere);

    WexString m_from;
    std::set<std::string> m_select;
    ClauseMap m_where;
    ClauseMap m_filter;
    Page m_page;
    WexString m_order;
    int32_t m_limit = NoLimit;
    bool m_desc = false;
    mutable std::string m_errorText;
};
