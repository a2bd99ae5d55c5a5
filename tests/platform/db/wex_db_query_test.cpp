#include "platform/db/wex_db_query.h"

#include <gtest/gtest.h>

#include <string>

namespace {

WexObject json(const char* text)
{
    WexObject object;
    EXPECT_EQ(WexObject::parse(text, object), WexErrNone) << text;
    return object;
}

std::string text(const WexDbQuery& query)
{
    WexObjectVisitor w;
    EXPECT_EQ(query.toObject(w), WexErrNone);
    std::string out;
    EXPECT_EQ(w.text(out), WexErrNone);
    return out;
}

WexObject both()
{
    return json("[false,true]");
}

TEST(WexDbQuery, WritesSelectFromWhereWithoutLimit)
{
    WexDbQuery q;
    q.from("com.orvel.person:1");
    q.select("name.givenName");
    q.select("_rev");
    ASSERT_EQ(q.where("_rev", WexDbQuery::OpGreaterThan, WexObject(int64_t{5})), WexErrNone);
    EXPECT_EQ(text(q), R"({"select":["_rev","name.givenName"],"from":"com.orvel.person:1",)"
                       R"("where":[{"prop":"_rev","op":">","val":5}]})");
}

TEST(WexDbQuery, WritesEveryPartInProtocolOrder)
{
    WexDbQuery q;
    q.from("k:1");
    q.select("b");
    q.select("a");
    q.select("b");
    ASSERT_EQ(q.where("name", WexDbQuery::OpEq, WexObject("Ann"), WexDbCollationPrimary), WexErrNone);
    ASSERT_EQ(q.filter("age", WexDbQuery::OpNotEq, WexObject(int32_t{3})), WexErrNone);
    q.order("name");
    q.desc(true);
    ASSERT_EQ(q.limit(0), WexErrNone);
    WexDbQuery::Page page;
    page.setKey(WexString(std::string("\0\xff key", 6)));
    q.page(page);
    EXPECT_EQ(text(q), R"({"select":["a","b"],"from":"k:1",)"
                       R"("where":[{"prop":"name","op":"=","val":"Ann","collate":"primary"}],)"
                       R"("filter":[{"prop":"age","op":"!=","val":3}],)"
                       R"("orderBy":"name","desc":true,"limit":0,"page":"AP8ga2V5"})");
}

// A lower and an upper bound make one clause that writes the lower first,
// whichever came first.
TEST(WexDbQuery, RangeWritesLowerBoundFirst)
{
    const char* const expected = R"({"from":"k","where":[{"prop":"_rev","op":">=","val":1},)"
                                 R"({"prop":"_rev","op":"<","val":9}]})";
    WexDbQuery a;
    a.from("k");
    ASSERT_EQ(a.where("_rev", WexDbQuery::OpGreaterThanEq, WexObject(int32_t{1})), WexErrNone);
    ASSERT_EQ(a.where("_rev", WexDbQuery::OpLessThan, WexObject(int32_t{9})), WexErrNone);
    EXPECT_EQ(text(a), expected);
    EXPECT_EQ(a.whereClauses().size(), 1u);

    WexDbQuery b;
    b.from("k");
    ASSERT_EQ(b.where("_rev", WexDbQuery::OpLessThan, WexObject(int32_t{9})), WexErrNone);
    ASSERT_EQ(b.where("_rev", WexDbQuery::OpGreaterThanEq, WexObject(int32_t{1})), WexErrNone);
    EXPECT_EQ(text(b), expected);
    EXPECT_TRUE(a == b);
}

// A second clause on one property: which combinations make a range.
TEST(WexDbQuery, SecondClauseOnOneProperty)
{
    using Q = WexDbQuery;
    struct Case {
        Q::CompOp first;
        Q::CompOp second;
        WexErr expected;
    };
    const Case cases[] = {
        {Q::OpEq, Q::OpEq, WexErrDbConflictingOperators},
        {Q::OpGreaterThan, Q::OpGreaterThanEq, WexErrDbConflictingOperators},
        {Q::OpLessThan, Q::OpLessThanEq, WexErrDbConflictingOperators},
        {Q::OpEq, Q::OpLessThan, WexErrDbConflictingOperators},
        {Q::OpNotEq, Q::OpLessThan, WexErrDbConflictingOperators},
        {Q::OpPrefix, Q::OpGreaterThan, WexErrDbConflictingOperators},
        {Q::OpLessThan, Q::OpEq, WexErrDbConflictingOperators},
        {Q::OpLessThanEq, Q::OpGreaterThan, WexErrNone},
        {Q::OpGreaterThan, Q::OpLessThanEq, WexErrNone},
    };
    for (const Case& c : cases) {
        WexDbQuery q;
        ASSERT_EQ(q.where("p", c.first, WexObject(int32_t{1})), WexErrNone);
        WexDbQuery before = q;
        EXPECT_EQ(q.where("p", c.second, WexObject(int32_t{2})), c.expected) << c.first << " then " << c.second;
        if (c.expected != WexErrNone) {
            EXPECT_TRUE(q == before) << "a refused clause changed the query";
        }
    }
}

TEST(WexDbQuery, RefusedClausesLeaveTheQuery)
{
    struct Case {
        WexDbQuery::CompOp op;
        const char* value;
        WexDbCollationStrength collation;
        WexErr expected;
        const char* message;
    };
    const Case cases[] = {
        {WexDbQuery::OpNone, "1", WexDbCollationNone, WexErrDbInvalidQuery, "db: invalid query op"},
        {static_cast<WexDbQuery::CompOp>(9), "1", WexDbCollationNone, WexErrDbInvalidQuery, "db: invalid query op"},
        {WexDbQuery::OpLessThan, "[1,2]", WexDbCollationNone, WexErrDbInvalidQuery,
         "db: query contains array value for non-eq op"},
        {WexDbQuery::OpNotEq, "[1]", WexDbCollationNone, WexErrDbInvalidQuery,
         "db: query contains array value for non-eq op"},
        // The clause on "r" has the primary collation already.
        {WexDbQuery::OpLessThan, "\"m\"", WexDbCollationSecondary, WexErrDbCollationMismatch,
         "collation mismatch on one property"},
        {WexDbQuery::OpLessThan, "\"m\"", WexDbCollationNone, WexErrDbCollationMismatch,
         "collation mismatch on one property"},
    };
    for (const Case& c : cases) {
        WexDbQuery q;
        ASSERT_EQ(q.where("r", WexDbQuery::OpGreaterThan, WexObject("a"), WexDbCollationPrimary), WexErrNone);
        WexDbQuery before = q;
        EXPECT_EQ(q.where("r", c.op, json(c.value), c.collation), c.expected) << c.message;
        EXPECT_EQ(q.errorText(), c.message);
        EXPECT_TRUE(q == before) << c.message;
    }
    // Arrays are fine with "=" and "%", and the same collation makes a range.
    WexDbQuery q;
    EXPECT_EQ(q.where("a", WexDbQuery::OpEq, json("[1,2]")), WexErrNone);
    EXPECT_EQ(q.where("b", WexDbQuery::OpPrefix, json(R"(["x","y"])")), WexErrNone);
    EXPECT_EQ(q.where("c", WexDbQuery::OpGreaterThan, WexObject("a"), WexDbCollationPrimary), WexErrNone);
    EXPECT_EQ(q.where("c", WexDbQuery::OpLessThan, WexObject("m"), WexDbCollationPrimary), WexErrNone);
    EXPECT_EQ(q.limit(-2), WexErrDbInvalidQuery);
    EXPECT_EQ(q.errorText(), "db: negative query limit");
    EXPECT_EQ(q.limit(), WexDbQuery::NoLimit);
}

TEST(WexDbQuery, OperatorAndCollationTexts)
{
    const char* const ops[] = {"=", "!=", "<", "<=", ">", ">=", "%", "?"};
    for (int i = 0; i < 8; ++i) {
        auto op = static_cast<WexDbQuery::CompOp>(i + 1);
        const char* out = nullptr;
        ASSERT_EQ(WexDbQuery::opToString(op, out), WexErrNone);
        EXPECT_STREQ(out, ops[i]);
        WexDbQuery::CompOp back = WexDbQuery::OpNone;
        ASSERT_EQ(WexDbQuery::stringToOp(ops[i], back), WexErrNone);
        EXPECT_EQ(back, op);
    }
    const char* out = nullptr;
    WexDbQuery::CompOp op = WexDbQuery::OpNone;
    EXPECT_EQ(WexDbQuery::opToString(WexDbQuery::OpNone, out), WexErrDbInvalidOperator);
    EXPECT_EQ(WexDbQuery::stringToOp("==", op), WexErrDbInvalidOperator);
    EXPECT_EQ(WexDbQuery::stringToOp("", op), WexErrDbInvalidOperator);

    const char* const names[] = {"primary", "secondary", "tertiary", "quaternary", "identical"};
    for (int i = 0; i < 5; ++i) {
        auto strength = static_cast<WexDbCollationStrength>(i + 1);
        EXPECT_STREQ(collationToString(strength), names[i]);
        WexDbCollationStrength back = WexDbCollationNone;
        ASSERT_EQ(collationFromString(names[i], back), WexErrNone);
        EXPECT_EQ(back, strength);
    }
    EXPECT_STREQ(collationToString(WexDbCollationNone), "invalid");
    EXPECT_STREQ(collationToString(static_cast<WexDbCollationStrength>(6)), "invalid");
    WexDbCollationStrength strength = WexDbCollationTertiary;
    EXPECT_EQ(collationFromString("invalid", strength), WexErrDbInvalidCollation);
    EXPECT_EQ(collationFromString("Primary", strength), WexErrDbInvalidCollation);
    EXPECT_EQ(strength, WexDbCollationTertiary);
}

// A search clause is readable, so it is writable too (a search request
// carries it).
TEST(WexDbQuery, SearchClauseRoundTrips)
{
    WexDbQuery q;
    ASSERT_EQ(q.fromObject(json(R"({"from":"k","where":[{"prop":"name","op":"?","val":"an"}]})")), WexErrNone);
    EXPECT_EQ(text(q), R"({"from":"k","where":[{"prop":"name","op":"?","val":"an"}]})");
}

TEST(WexDbQuery, ReadsWhatItWrites)
{
    WexDbQuery q;
    q.from("com.orvel.phonecall:1");
    q.select("to.addr");
    q.select("to.name");
    ASSERT_EQ(q.where("type", WexDbQuery::OpEq, WexObject("outgoing")), WexErrNone);
    ASSERT_EQ(q.where("timestamp", WexDbQuery::OpGreaterThan, WexObject(int64_t{1} << 40)), WexErrNone);
    ASSERT_EQ(q.where("timestamp", WexDbQuery::OpLessThanEq, WexObject(int64_t{9007199254740993LL})), WexErrNone);
    ASSERT_EQ(q.where("name", WexDbQuery::OpPrefix, json(R"(["a","b"])"), WexDbCollationQuaternary), WexErrNone);
    ASSERT_EQ(q.filter("x", WexDbQuery::OpNotEq, WexObject::object()), WexErrNone);
    q.order("timestamp");
    q.desc(true);
    ASSERT_EQ(q.limit(1), WexErrNone);
    WexDbQuery::Page page;
    page.setKey("\x01\x02");
    q.page(page);
    ASSERT_EQ(q.includeDeleted(true), WexErrNone);

    WexObject object;
    ASSERT_EQ(q.toObject(object), WexErrNone);
    WexDbQuery back;
    ASSERT_EQ(back.fromObject(object), WexErrNone) << back.errorText();
    EXPECT_TRUE(back == q);
    EXPECT_EQ(text(back), text(q));
}

TEST(WexDbQuery, ReadsIncDelAsAClauseOnDel)
{
    WexDbQuery q;
    ASSERT_EQ(q.fromObject(json(R"({"from":"k","incDel":true})")), WexErrNone);
    ASSERT_EQ(q.whereClauses().count("_del"), 1u);
    const WexDbQuery::WhereClause& clause = q.whereClauses().at("_del");
    EXPECT_EQ(clause.lowerOp, WexDbQuery::OpEq);
    EXPECT_TRUE(clause.lowerVal == both());
    EXPECT_EQ(q.limit(), WexDbQuery::NoLimit);

    // Its written form read back with "incDel" again is the same query.
    WexDbQuery again;
    ASSERT_EQ(again.fromObject(json(R"({"from":"k","incDel":true,)"
                                    R"("where":[{"prop":"_del","op":"=","val":[false,true]}]})")),
              WexErrNone);
    EXPECT_TRUE(again == q);
    ASSERT_EQ(q.includeDeleted(true), WexErrNone);
    ASSERT_EQ(q.includeDeleted(false), WexErrNone);
    EXPECT_TRUE(again == q);
    WexDbQuery none;
    ASSERT_EQ(none.fromObject(json(R"({"from":"k","incDel":false})")), WexErrNone);
    EXPECT_TRUE(none.whereClauses().empty());
}

TEST(WexDbQuery, RefusedObjectsLeaveTheQuery)
{
    struct Case {
        const char* json;
        WexErr expected;
        const char* message;  // null: the code's own text
    };
    const Case cases[] = {
        {R"({"from":"k","select":[]})", WexErrDbInvalidQuery, "db: select clause but no selected properties"},
        {R"({"from":"k","select":"a"})", WexErrDbInvalidQuery, "db: select clause but no selected properties"},
        {R"({"from":"k","select":["a",1]})", WexErrMissingProperty, nullptr},
        {R"({"select":["a"]})", WexErrMissingProperty, nullptr},
        {R"({"from":7})", WexErrMissingProperty, nullptr},
        {R"([])", WexErrMissingProperty, nullptr},
        {R"({"from":"k","limit":-1})", WexErrDbInvalidQuery, "db: negative query limit"},
        {R"({"from":"k","limit":4294967296})", WexErrMissingProperty, nullptr},
        {R"({"from":"k","limit":1.5})", WexErrMissingProperty, nullptr},
        {R"({"from":"k","desc":"yes"})", WexErrMissingProperty, nullptr},
        {R"({"from":"k","orderBy":1})", WexErrMissingProperty, nullptr},
        {R"({"from":"k","page":"not base64!"})", WexErrInvalidArg, nullptr},
        {R"({"from":"k","page":12})", WexErrMissingProperty, nullptr},
        {R"({"from":"k","incDel":1})", WexErrMissingProperty, nullptr},
        {R"({"from":"k","where":{}})", WexErrMissingProperty, nullptr},
        {R"({"from":"k","where":[1]})", WexErrMissingProperty, nullptr},
        {R"({"from":"k","where":[{"prop":"a","op":"="}]})", WexErrMissingProperty, nullptr},
        {R"({"from":"k","where":[{"prop":"a","val":1}]})", WexErrMissingProperty, nullptr},
        {R"({"from":"k","where":[{"op":"=","val":1}]})", WexErrMissingProperty, nullptr},
        {R"({"from":"k","where":[{"prop":"a","op":"~","val":1}]})", WexErrDbInvalidOperator, nullptr},
        {R"({"from":"k","where":[{"prop":"a","op":"=","val":1,"collate":"invalid"}]})", WexErrDbInvalidCollation,
         nullptr},
        {R"({"from":"k","where":[{"prop":"a","op":"=","val":1,"collate":3}]})", WexErrMissingProperty, nullptr},
        {R"({"from":"k","where":[{"prop":"a","op":"=","val":1},{"prop":"a","op":"=","val":2}]})",
         WexErrDbConflictingOperators, nullptr},
        {R"({"from":"k","filter":[{"prop":"a","op":">","val":[1]}]})", WexErrDbInvalidQuery,
         "db: query contains array value for non-eq op"},
        {R"({"from":"k","incDel":true,"where":[{"prop":"_del","op":"=","val":false}]})",
         WexErrDbConflictingOperators, nullptr},
    };
    for (const Case& c : cases) {
        WexDbQuery q;
        q.from("before");
        q.select("kept");
        WexDbQuery before = q;
        EXPECT_EQ(q.fromObject(json(c.json)), c.expected) << c.json;
        EXPECT_EQ(q.errorText(), c.message != nullptr ? c.message : wexErrText(c.expected)) << c.json;
        EXPECT_TRUE(q == before) << c.json;
    }
}

TEST(WexDbQuery, ValidateRules)
{
    struct Case {
        const char* json;
        const char* validate;  // null: accepted
        const char* find;      // null: accepted by find too
    };
    const Case cases[] = {
        {R"({"from":"k","where":[{"prop":"a","op":"=","val":1},{"prop":"b","op":">","val":1}]})", nullptr, nullptr},
        {R"({"from":"k","where":[{"prop":"a","op":"!=","val":1},{"prop":"b","op":">","val":1}]})",
         "db: query contains inequality operations on multiple properties", nullptr},
        {R"({"from":"k","where":[{"prop":"a","op":"%","val":"x"},{"prop":"b","op":"<","val":1}]})",
         "db: query contains inequality operations on multiple properties", nullptr},
        {R"({"from":"k","where":[{"prop":"a","op":"=","val":[1,2]},{"prop":"b","op":"=","val":[3]}]})",
         "db: query contains array values on multiple properties", nullptr},
        {R"({"from":"k","incDel":true,"where":[{"prop":"b","op":"=","val":[3]}]})", nullptr, nullptr},
        {R"({"from":"k","filter":[{"prop":"a","op":"%","val":"x"}]})", "db: query contains prefix operator in filter",
         nullptr},
        {R"({"from":"k","filter":[{"prop":"a","op":"?","val":"x"}]})", "db: query contains search operator in filter",
         nullptr},
        {R"({"from":"k","filter":[{"prop":"a","op":"<","val":1}]})", nullptr, "db: filter not allowed in find"},
        {R"({"from":"k","where":[{"prop":"a","op":"?","val":"x"}]})", nullptr,
         "db: search operator not allowed in find"},
        {R"({"from":"k","orderBy":"t","where":[{"prop":"a","op":">","val":1}]})", nullptr,
         "db: query order not compatible with where clause"},
        {R"({"from":"k","orderBy":"t","where":[{"prop":"a","op":"=","val":[1,2]}]})", nullptr,
         "db: query order not compatible with where clause"},
        {R"({"from":"k","orderBy":"t","where":[{"prop":"t","op":">","val":1},{"prop":"a","op":"=","val":1}]})",
         nullptr, nullptr},
        {R"({"from":"k","orderBy":"a","where":[{"prop":"a","op":"?","val":"x"}]})", nullptr,
         "db: search operator not allowed in find"},
    };
    for (const Case& c : cases) {
        WexDbQuery q;
        ASSERT_EQ(q.fromObject(json(c.json)), WexErrNone) << c.json;
        if (c.validate != nullptr) {
            EXPECT_EQ(q.validate(), WexErrDbInvalidQuery) << c.json;
            EXPECT_EQ(q.errorText(), c.validate);
            EXPECT_EQ(q.validateFind(), WexErrDbInvalidQuery) << c.json;
            continue;
        }
        EXPECT_EQ(q.validate(), WexErrNone) << c.json;
        if (c.find != nullptr) {
            EXPECT_EQ(q.validateFind(), WexErrDbInvalidQuery) << c.json;
            EXPECT_EQ(q.errorText(), c.find);
        } else {
            EXPECT_EQ(q.validateFind(), WexErrNone) << c.json;
        }
    }
}

TEST(WexDbQuery, PageKeyIsBase64Text)
{
    WexDbQuery::Page page;
    page.setKey(WexString(std::string("\0\xff key", 6)));
    WexObject object;
    ASSERT_EQ(page.toObject(object), WexErrNone);
    std::string text;
    ASSERT_EQ(object.value(text), WexErrNone);
    EXPECT_EQ(text, "AP8ga2V5");
    WexDbQuery::Page back;
    ASSERT_EQ(back.fromObject(object), WexErrNone);
    EXPECT_TRUE(back == page);
    EXPECT_EQ(back.fromObject(WexObject("AP8")), WexErrInvalidArg);
    EXPECT_EQ(back.fromObject(WexObject(int32_t{1})), WexErrMissingProperty);
    EXPECT_TRUE(back == page);
}

TEST(WexDbQuery, ClearGoesBackToTheStart)
{
    WexDbQuery q;
    ASSERT_EQ(q.fromObject(json(R"({"from":"k","select":["a"],"limit":3,"desc":true,"orderBy":"a",)"
                                R"("where":[{"prop":"a","op":">","val":1}]})")),
              WexErrNone);
    q.clear();
    EXPECT_TRUE(q == WexDbQuery());
    EXPECT_EQ(q.limit(), -1);
    EXPECT_EQ(text(q), R"({"from":""})");
}

} // namespace
