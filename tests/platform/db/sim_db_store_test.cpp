// The desktop database's answers, straight from its store (no bus).
#include "sim/sim_db.h"
#include "sim/sim_db_store.h"

#include "platform/core/wex_string.h"

#include <gtest/gtest.h>

#include <glib.h>
#include <glib/gstdio.h>

#include <set>
#include <string>
#include <vector>

namespace {

using json = nlohmann::json;

const char* const Persons = "com.orvel.person:1";
const char* const Calls = "com.orvel.phonecall:1";

class SimDbStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string why;
        ASSERT_EQ(store.load(SimDb::defaultDataDir(), why), WexErrNone) << why;
    }

    json ok(const std::string& method, const json& params)
    {
        SimDbStore::Result r = store.call(method, params);
        EXPECT_EQ(r.error, WexErrNone) << method << " " << params.dump() << ": " << r.text;
        return r.fields;
    }
    json find(const json& query, bool count = false)
    {
        json params = {{"query", query}};
        if (count)
            params["count"] = true;
        return ok("find", params);
    }
    static std::vector<std::string> ids(const json& reply)
    {
        std::vector<std::string> out;
        for (const json& r : reply["results"])
            out.push_back(r.value("_id", "?"));
        return out;
    }

    SimDbStore store{4};
};

TEST_F(SimDbStoreTest, FindsLiveObjectsInPagesWithCount)
{
    std::vector<std::string> seen;
    json query = {{"from", Persons}, {"select", {"_id"}}};
    json reply = find(query, true);
    EXPECT_EQ(reply["count"], 9);
    int pages = 1;
    for (;;) {
        for (const std::string& id : ids(reply))
            seen.push_back(id);
        if (!reply.contains("next"))
            break;
        ASSERT_LE(reply["results"].size(), 4u);
        query["page"] = reply["next"];
        reply = find(query);
        ++pages;
    }
    EXPECT_EQ(pages, 3);
    EXPECT_EQ(seen, (std::vector<std::string>{"p1", "p2", "p3", "p4", "p5", "p6", "p7", "p8", "p9"}));

    // With the deleted ones.
    EXPECT_EQ(find({{"from", Persons}, {"incDel", true}}, true)["count"], 10);
    EXPECT_EQ(find({{"from", Persons}, {"where", {{{"prop", "_del"}, {"op", "="}, {"val", true}}}}})["results"][0]["_id"],
              "p10");
}

// The two counts that decide between a full and an incremental update.
TEST_F(SimDbStoreTest, CountsByRevision)
{
    auto count = [&](const char* op, int64_t rev) {
        json q = {{"from", Persons}, {"where", {{{"prop", "_rev"}, {"op", op}, {"val", rev}}}}};
        return find(q, true)["count"].get<int64_t>();
    };
    EXPECT_EQ(count("<=", -1), 0);
    EXPECT_EQ(count(">", -1), 9);
    EXPECT_EQ(count("<=", 5), 5);
    EXPECT_EQ(count(">", 5), 4);
    EXPECT_EQ(count(">", 9007199254740993LL), 0);
}

TEST_F(SimDbStoreTest, LastOutgoingPhoneCall)
{
    json q = {{"from", Calls},
              {"select", {"to.addr", "to.name", "to.personAddressType"}},
              {"where",
               {{{"prop", "from.service"}, {"op", "="}, {"val", "phone"}},
                {{"prop", "to.service"}, {"op", "="}, {"val", "phone"}},
                {{"prop", "type"}, {"op", "="}, {"val", "outgoing"}}}},
              {"orderBy", "timestamp"},
              {"desc", true},
              {"limit", 1}};
    json reply = find(q);
    ASSERT_EQ(reply["results"].size(), 1u);
    EXPECT_EQ(reply["results"][0],
              json::parse(R"({"to":[{"addr":"6505550142","name":"Carl Jensen","personAddressType":"type_work"}]})"));
    EXPECT_TRUE(reply.contains("next"));
    q["page"] = reply["next"];
    EXPECT_EQ(find(q)["results"][0]["to"][0]["name"], "Ann Lee");
}

TEST_F(SimDbStoreTest, SelectsThroughArraysAndNames)
{
    json q = {{"from", Persons},
              {"select", {"_rev", "name.familyName", "name.givenName", "phoneNumbers.value", "phoneNumbers.type",
                          "organization.name", "next"}},
              {"where", {{{"prop", "names.familyName"}, {"op", "="}, {"val", "LEE"}, {"collate", "primary"}}}}};
    json reply = find(q);
    ASSERT_EQ(reply["results"].size(), 1u);
    EXPECT_EQ(reply["results"][0], json::parse(R"({"_rev":1,"name":{"familyName":"Lee","givenName":"Ann"},
        "phoneNumbers":[{"type":"type_mobile","value":"4085550101"},{"type":"type_home","value":"4085550102"}]})"));

    struct Case {
        json where;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {{{{"prop", "organization.name"}, {"op", "="}, {"val", "acme plumbing"}, {"collate", "primary"}}}, {"p4"}},
        {{{{"prop", "organization.name"}, {"op", "="}, {"val", "acme plumbing"}}}, {}},
        {{{{"prop", "names.familyName"}, {"op", "="}, {"val", "muller"}, {"collate", "primary"}}}, {"p6"}},
        {{{{"prop", "names.familyName"}, {"op", "="}, {"val", "muller"}, {"collate", "secondary"}}}, {}},
        {{{{"prop", "name.givenName"}, {"op", "%"}, {"val", {"Gr", "Fr"}}}}, {"p8", "p9"}},
        {{{{"prop", "phoneNumbers.type"}, {"op", "="}, {"val", "type_car"}}}, {"p3"}},
        {{{{"prop", "name.familyName"}, {"op", "!="}, {"val", "Lee"}}}, {"p2", "p3", "p4", "p5", "p6", "p8", "p9"}},
        {{{{"prop", "_rev"}, {"op", ">"}, {"val", 2}}, {{"prop", "_rev"}, {"op", "<="}, {"val", 4}}}, {"p3", "p4"}},
        {{{{"prop", "_rev"}, {"op", ">"}, {"val", "2"}}}, {}},
    };
    for (const Case& c : cases) {
        json reply = find({{"from", Persons}, {"select", {"_id"}}, {"where", c.where}, {"limit", 20}});
        EXPECT_EQ(ids(reply), c.expected) << c.where.dump();
    }
}

TEST_F(SimDbStoreTest, OrdersAndLimits)
{
    json q = {{"from", Calls}, {"select", {"_id"}}, {"orderBy", "timestamp"}, {"limit", 3}};
    EXPECT_EQ(ids(find(q)), (std::vector<std::string>{"c5", "c1", "c2"}));
    q["desc"] = true;
    EXPECT_EQ(ids(find(q)), (std::vector<std::string>{"c4", "c3", "c2"}));
    q["limit"] = 0;
    json none = find(q, true);
    EXPECT_TRUE(none["results"].empty());
    EXPECT_FALSE(none.contains("next"));
    EXPECT_EQ(none["count"], 5);
}

TEST_F(SimDbStoreTest, RefusesBadRequests)
{
    struct Case {
        const char* method;
        const char* params;
        WexErr error;
        const char* text;
    };
    const Case cases[] = {
        {"find", R"({"query":{"from":"com.orvel.person:1","select":[]}})", WexErrDbInvalidQuery,
         "db: select clause but no selected properties"},
        {"find", R"({"query":{"from":"com.orvel.person:1","filter":[{"prop":"a","op":"=","val":1}]}})",
         WexErrDbInvalidQuery, "db: filter not allowed in find"},
        {"find", R"({"query":{"from":"com.orvel.person:1","page":"e30="}})", WexErrDbInvalidQuery,
         "db: invalid query page"},
        {"find", R"({"query":{"from":"com.orvel.nothing:1"}})", WexErrNotFound, "db: kind not registered"},
        {"find", R"({})", WexErrMissingProperty, "db: find needs a \"query\""},
        {"put", R"({"objects":[{"a":1}]})", WexErrMissingProperty, "db: an object without \"_kind\""},
        {"put", R"({"objects":[{"_kind":"com.orvel.nothing:1"}]})", WexErrNotFound, "db: kind not registered"},
        {"put", R"({"objects":[{"_kind":"com.orvel.person:1","_id":5}]})", WexErrInvalidArg,
         "db: \"_id\" is not a text"},
        {"putKind", R"({"id":"k:1"})", WexErrMissingProperty, "db: a kind needs \"id\" and \"owner\""},
        {"delKind", R"({"id":"k:1"})", WexErrNotFound, "db: kind not registered"},
        {"del", R"({"purge":true})", WexErrMissingProperty, "db: del needs \"ids\" or a \"query\""},
        {"batch", R"({"operations":[{"method":"putKind","params":{}}]})", WexErrUnknownMethod,
         "db: putKind is not allowed in a batch"},
        {"compact", R"({})", WexErrUnknownMethod, "unknown method"},
    };
    int64_t rev = store.revision();
    for (const Case& c : cases) {
        SimDbStore::Result r = store.call(c.method, json::parse(c.params));
        EXPECT_EQ(r.error, c.error) << c.method << " " << c.params;
        EXPECT_EQ(r.text, c.text) << c.method << " " << c.params;
    }
    EXPECT_EQ(store.revision(), rev);
}

TEST_F(SimDbStoreTest, PutAssignsIdsAndRevisionsAndReplaces)
{
    int64_t rev = store.revision();
    EXPECT_EQ(rev, 25);
    ok("putKind", {{"id", "com.orvel.merrowind:1"}, {"owner", "com.orvel.merrowind"}});
    json put = ok("put", {{"objects",
                           {{{"_kind", "com.orvel.merrowind:1"}, {"rev_watermark", 9007199254740993LL}},
                            {{"_kind", "com.orvel.merrowind:1"}, {"rev_watermark", 2}}}}});
    ASSERT_EQ(put["results"].size(), 2u);
    EXPECT_EQ(put["results"][0]["rev"], rev + 1);
    EXPECT_EQ(put["results"][1]["rev"], rev + 2);
    std::string first = put["results"][0]["id"];
    EXPECT_NE(first, put["results"][1]["id"].get<std::string>());
    EXPECT_EQ(store.changedKinds(), std::set<std::string>{"com.orvel.merrowind:1"});

    json found = find({{"from", "com.orvel.merrowind:1"}, {"where", {{{"prop", "_id"}, {"op", "="}, {"val", first}}}}});
    ASSERT_EQ(found["results"].size(), 1u);
    EXPECT_EQ(found["results"][0]["rev_watermark"].get<int64_t>(), 9007199254740993LL);
    EXPECT_EQ(found["results"][0]["_kind"], "com.orvel.merrowind:1");

    // A known id replaces its object.
    ok("put", {{"objects", {{{"_kind", "com.orvel.merrowind:1"}, {"_id", first}, {"rev_watermark", 7}}}}});
    json all = find({{"from", "com.orvel.merrowind:1"}}, true);
    EXPECT_EQ(all["count"], 2);
    json got = ok("get", {{"ids", {first, "nothing"}}});
    ASSERT_EQ(got["results"].size(), 1u);
    EXPECT_EQ(got["results"][0]["rev_watermark"], 7);
    EXPECT_EQ(got["results"][0]["_rev"], rev + 3);
}

TEST_F(SimDbStoreTest, DeleteMarksOrPurges)
{
    int64_t rev = store.revision();
    json del = ok("del", {{"ids", {"p1", "p10", "missing"}}});
    // p10 is deleted already.
    EXPECT_EQ(del["results"], json::parse(R"([{"id":"p1"}])"));
    EXPECT_EQ(find({{"from", Persons}}, true)["count"], 8);
    json marked = find({{"from", Persons}, {"incDel", true}, {"where", {{{"prop", "_id"}, {"op", "="}, {"val", "p1"}}}}});
    EXPECT_EQ(marked["results"][0]["_del"], true);
    EXPECT_EQ(marked["results"][0]["_rev"], rev + 1);

    ok("del", {{"ids", {"p1"}}, {"purge", true}});
    EXPECT_EQ(find({{"from", Persons}, {"incDel", true}}, true)["count"], 9);

    json byQuery = ok("del", {{"query", {{"from", Calls}, {"where", {{{"prop", "type"}, {"op", "="}, {"val", "outgoing"}}}}}},
                              {"purge", true}});
    EXPECT_EQ(byQuery["count"], 4);
    EXPECT_EQ(store.records(Calls)->size(), 1u);
}

TEST_F(SimDbStoreTest, BatchIsAllOrNothing)
{
    json good = ok("batch", json::parse(R"({"operations":[
        {"method":"put","params":{"objects":[{"_kind":"com.orvel.phonecall:1","type":"missed"}]}},
        {"method":"find","params":{"query":{"from":"com.orvel.phonecall:1","select":["type"]},"count":true}}]})"));
    ASSERT_EQ(good["responses"].size(), 2u);
    EXPECT_EQ(good["responses"][0]["returnValue"], true);
    EXPECT_EQ(good["responses"][1]["count"], 6);

    int64_t rev = store.revision();
    SimDbStore::Result bad = store.call("batch", json::parse(R"({"operations":[
        {"method":"del","params":{"ids":["c1"]}},
        {"method":"find","params":{"query":{"from":"nothing"}}}]})"));
    EXPECT_EQ(bad.error, WexErrNotFound);
    EXPECT_EQ(store.revision(), rev);
    EXPECT_EQ(find({{"from", Calls}}, true)["count"], 6);
}

// A temporary data directory with the built-in kinds copied in.
class SimDbDirTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/mwsimdb.XXXXXX";
        ASSERT_NE(g_mkdtemp(tmpl), nullptr);
        dir = tmpl;
        for (const char* name : {"com.orvel.person_1.json", "com.orvel.phonecall_1.json"}) {
            gchar* text = nullptr;
            gsize length = 0;
            std::string from = std::string(SimDb::defaultDataDir()) + "/" + name;
            ASSERT_TRUE(g_file_get_contents(from.c_str(), &text, &length, nullptr));
            ASSERT_TRUE(g_file_set_contents((dir + "/" + name).c_str(), text, static_cast<gssize>(length), nullptr));
            g_free(text);
        }
    }
    void TearDown() override
    {
        GDir* d = g_dir_open(dir.c_str(), 0, nullptr);
        while (const gchar* name = g_dir_read_name(d))
            g_unlink((dir + "/" + name).c_str());
        g_dir_close(d);
        g_rmdir(dir.c_str());
    }
    bool exists(const char* name) const { return g_file_test((dir + "/" + name).c_str(), G_FILE_TEST_EXISTS); }

    std::string dir;
};

TEST_F(SimDbDirTest, ChangesSurviveAReload)
{
    {
        SimDbStore store;
        std::string why;
        ASSERT_EQ(store.load(dir, why), WexErrNone) << why;
        store.saveTo(dir);
        ASSERT_EQ(store.call("putKind", {{"id", "com.orvel.merrowind:1"}, {"owner", "com.orvel.merrowind"}}).error,
                  WexErrNone);
        ASSERT_EQ(store.call("put", {{"objects", {{{"_kind", "com.orvel.merrowind:1"}, {"rev_watermark", 9}}}}}).error,
                  WexErrNone);
        ASSERT_EQ(store.call("del", {{"ids", {"c1"}}, {"purge", true}}).error, WexErrNone);
        ASSERT_EQ(store.call("delKind", {{"id", Persons}}).error, WexErrNone);
    }
    EXPECT_TRUE(exists("com.orvel.merrowind_1.json"));
    EXPECT_FALSE(exists("com.orvel.person_1.json"));

    SimDbStore again;
    std::string why;
    ASSERT_EQ(again.load(dir, why), WexErrNone) << why;
    EXPECT_EQ(again.records(Persons), nullptr);
    ASSERT_NE(again.records("com.orvel.merrowind:1"), nullptr);
    json record = again.records("com.orvel.merrowind:1")->at(0);
    EXPECT_EQ(record["rev_watermark"], 9);
    EXPECT_EQ(record["_rev"], 26);
    EXPECT_EQ(again.revision(), 26);
    EXPECT_EQ(again.records(Calls)->size(), 4u);
    // Its next id is not one already taken.
    SimDbStore::Result put = again.call("put", {{"objects", {{{"_kind", Calls}}}}});
    ASSERT_EQ(put.error, WexErrNone);
    EXPECT_NE(put.fields["results"][0]["id"], record["_id"]);
}

TEST_F(SimDbDirTest, RefusesFilesThatAreNoKinds)
{
    struct Case {
        const char* text;
        const char* why;
    };
    const Case cases[] = {
        {"[]", "not a kind file"},
        {"{\"kind\":{\"owner\":\"x\"}}", "not a kind file"},
        {"{\"kind\":{\"id\":\"com.orvel.person:1\"}}", "is in another file too"},
        {"{\"kind\":{\"id\":\"k:1\"},\"records\":{}}", "\"records\" is not an array"},
        {"{\"kind\":{\"id\":\"k:1\"},\"records\":[1]}", "a record is not an object"},
        {"{\"kind\":{\"id\":\"k:1\"},\"records\":[{\"_id\":\"p1\"}]}", "repeated \"_id\""},
        {"{\"kind\":", "not a kind file"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(g_file_set_contents((dir + "/z.json").c_str(), c.text, -1, nullptr));
        SimDbStore store;
        std::string why;
        EXPECT_NE(store.load(dir, why), WexErrNone) << c.text;
        EXPECT_NE(why.find(c.why), std::string::npos) << c.text << ": " << why;
    }
    g_unlink((dir + "/z.json").c_str());
    SimDbStore store;
    std::string why;
    EXPECT_EQ(store.load(dir + "/missing", why), WexErrNotFound);
}

} // namespace
