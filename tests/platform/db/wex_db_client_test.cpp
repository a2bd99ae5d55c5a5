// The database client on a private bus: the requests it sends, and its
// conversations with the desktop database (in this process and as
// merrowind-sim).
#include "platform/bus/wex_sorna_service.h"
#include "platform/db/wex_db_service_client.h"
#include "sim/sim_db.h"
#include "tests/platform/bus/private_bus.h"

#include <gtest/gtest.h>

#include <glib.h>
#include <glib/gstdio.h>

#include <csignal>
#include <functional>
#include <string>
#include <vector>

namespace {

const bool kBus = (privateBusForEveryTest(), true);

WexObject json(const char* text)
{
    WexObject object;
    EXPECT_EQ(WexObject::parse(text, object), WexErrNone) << text;
    return object;
}

std::string text(const WexObject& object)
{
    std::string out;
    EXPECT_EQ(object.toJson(out), WexErrNone);
    return out;
}

// Every reply a request delivers.
class Replies : public WexSignalHandler {
public:
    WexErr Result(WexObject& reply, WexErr err)
    {
        replies.push_back(reply);
        errors.push_back(err);
        return WexErrNone;
    }
    bool wait(size_t n) { return runUntil([&] { return replies.size() >= n; }); }
    const WexObject& last() const { return replies.back(); }

    std::vector<WexObject> replies;
    std::vector<WexErr> errors;
    WexReplySlot slot{this, &Replies::Result};
};

// Notes each call to "com.orvel.db" and answers it three times.
class Recorder : public WexService::CategoryHandler {
public:
    WexErr onCall(WexServiceMessage* message)
    {
        methods.push_back(message->method());
        payloads.push_back(text(message->payload()));
        for (int i = 0; i < 3; ++i) {
            WexObject reply;
            reply.put("n", i);
            message->reply(reply);
        }
        return WexErrNone;
    }
    std::vector<std::string> methods;
    std::vector<std::string> payloads;
};

class DbClientTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(m_client.open("com.orvel.merrowind"), WexErrNone);
        m_replies = wexMakeRefCounted<Replies>();
    }
    void TearDown() override
    {
        m_replies->slot.cancel();
        m_client.close();
        m_db.close();
    }

    // The desktop database in this process, with the built-in data.
    void startSim(int pageSize = SimDbStore::DefaultPageSize)
    {
        m_sim = std::make_unique<SimDb>(pageSize);
        std::string why;
        ASSERT_EQ(m_sim->load(SimDb::defaultDataDir(), false, why), WexErrNone) << why;
        ASSERT_EQ(m_db.open(SimDb::BusName), WexErrNone);
        ASSERT_EQ(m_sim->start(m_db), WexErrNone);
        ASSERT_EQ(m_db.setDefaultCategory(wexMakeRefCounted<ToSimDb>(*m_sim)), WexErrNone);
    }

    // Every call goes to the database peer, as the sim's router sends it.
    class ToSimDb : public WexService::CategoryHandler {
    public:
        explicit ToSimDb(SimDb& db) : m_db(db) {}
        WexErr invoke(WexServiceMessage* message) override { return m_db.invoke(message); }

    private:
        SimDb& m_db;
    };

    // Sends through `send` and waits for one more reply.
    WexObject call(const std::function<WexErr(WexReplySlot&)>& send, WexErr expected = WexErrNone)
    {
        size_t before = m_replies->replies.size();
        EXPECT_EQ(send(m_replies->slot), WexErrNone);
        EXPECT_TRUE(m_replies->wait(before + 1));
        if (m_replies->replies.size() <= before)
            return WexObject();
        EXPECT_EQ(m_replies->errors.back(), expected) << text(m_replies->last());
        return m_replies->last();
    }

    WexSornaService m_client{true, nullptr};
    WexSornaService m_db{true, nullptr};
    std::unique_ptr<SimDb> m_sim;
    WexDbServiceClient m_dbClient{&m_client};
    WexRefCountedPtr<Replies> m_replies;
};

TEST_F(DbClientTest, SendsEachOperationsParameters)
{
    auto recorder = wexMakeRefCounted<Recorder>();
    const WexService::CategoryHandler::Method methods[] = {
        WexService::CategoryHandler::method("find", &Recorder::onCall),
        WexService::CategoryHandler::method("search", &Recorder::onCall),
        WexService::CategoryHandler::method("watch", &Recorder::onCall),
        WexService::CategoryHandler::method("put", &Recorder::onCall),
        WexService::CategoryHandler::method("get", &Recorder::onCall),
        WexService::CategoryHandler::method("del", &Recorder::onCall),
        WexService::CategoryHandler::method("merge", &Recorder::onCall),
        WexService::CategoryHandler::method("putKind", &Recorder::onCall),
        WexService::CategoryHandler::method("delKind", &Recorder::onCall),
        WexService::CategoryHandler::method("putPermissions", &Recorder::onCall),
        WexService::CategoryHandler::method("getPermissions", &Recorder::onCall),
        WexService::CategoryHandler::method("compact", &Recorder::onCall),
        WexService::CategoryHandler::method("purge", &Recorder::onCall),
        WexService::CategoryHandler::method("purgeStatus", &Recorder::onCall),
        WexService::CategoryHandler::method("reserveIds", &Recorder::onCall),
        WexService::CategoryHandler::method("batch", &Recorder::onCall),
        {},
    };
    ASSERT_EQ(recorder->addMethods(methods, false), WexErrNone);
    ASSERT_EQ(m_db.open(WexDbServiceDefs::ServiceName), WexErrNone);
    ASSERT_EQ(m_db.setDefaultCategory(recorder), WexErrNone);

    WexDbQuery query;
    query.from("com.orvel.person:1");
    query.select("_rev");
    ASSERT_EQ(query.where("_rev", WexDbQuery::OpGreaterThan, WexObject(int64_t{-1})), WexErrNone);
    const std::string q = R"({"from":"com.orvel.person:1","select":["_rev"],"where":[{"op":">","prop":"_rev","val":-1}]})";
    WexObject one = json(R"({"_kind":"k:1","v":9007199254740993})");
    WexObject id("p1");
    std::vector<WexObject> ids{WexObject("a"), WexObject("b")};
    WexDbServiceClient& c = m_dbClient;

    struct Case {
        const char* name;
        std::function<WexErr(WexReplySlot&)> send;
        const char* method;
        std::string payload;
        size_t replies;
    };
    const Case cases[] = {
        {"find", [&](WexReplySlot& s) { return c.find(s, query, false, false); }, "find", R"({"query":)" + q + "}", 1},
        {"find count", [&](WexReplySlot& s) { return c.find(s, query, false, true); }, "find",
         R"({"count":true,"query":)" + q + "}", 1},
        {"find watch", [&](WexReplySlot& s) { return c.find(s, query, true, true); }, "find",
         R"({"count":true,"query":)" + q + R"(,"watch":true})", 2},
        {"search", [&](WexReplySlot& s) { return c.search(s, query, false, false); }, "search",
         R"({"query":)" + q + "}", 1},
        {"watch", [&](WexReplySlot& s) { return c.watch(s, query); }, "watch", R"({"query":)" + q + "}", 2},
        {"put", [&](WexReplySlot& s) { return c.put(s, one); }, "put", R"({"objects":[{"_kind":"k:1","v":9007199254740993}]})",
         1},
        {"put purge", [&](WexReplySlot& s) { return c.put(s, one, WexDbFlagPurge); }, "put",
         R"({"objects":[{"_kind":"k:1","v":9007199254740993}],"purge":true})", 1},
        {"get", [&](WexReplySlot& s) { return c.get(s, WexDbClient::Objects(ids)); }, "get", R"({"ids":["a","b"]})", 1},
        {"del ids", [&](WexReplySlot& s) { return c.del(s, id); }, "del", R"({"ids":["p1"]})", 1},
        {"del ids, other flags", [&](WexReplySlot& s) { return c.del(s, WexDbClient::Objects(ids), 3); }, "del",
         R"({"ids":["a","b"]})", 1},
        {"del query", [&](WexReplySlot& s) { return c.del(s, query, WexDbFlagPurge); }, "del",
         R"({"purge":true,"query":)" + q + "}", 1},
        {"merge", [&](WexReplySlot& s) { return c.merge(s, one); }, "merge",
         R"({"objects":[{"_kind":"k:1","v":9007199254740993}]})", 1},
        {"merge query", [&](WexReplySlot& s) { return c.merge(s, query, json(R"({"x":1})"), WexDbFlagPurge); }, "merge",
         R"({"props":{"x":1},"query":)" + q + "}", 1},
        {"putKind", [&](WexReplySlot& s) { return c.putKind(s, json(R"({"id":"k:1","owner":"o"})")); }, "putKind",
         R"({"id":"k:1","owner":"o"})", 1},
        {"delKind", [&](WexReplySlot& s) { return c.delKind(s, "k:1"); }, "delKind", R"({"id":"k:1"})", 1},
        {"putPermission", [&](WexReplySlot& s) { return c.putPermission(s, json(R"({"type":"db.kind"})")); },
         "putPermissions", R"({"permissions":[{"type":"db.kind"}]})", 1},
        {"getPermissions", [&](WexReplySlot& s) { return c.getPermissions(s, "db.kind", "k:1"); }, "getPermissions",
         R"({"object":"k:1","type":"db.kind"})", 1},
        {"compact", [&](WexReplySlot& s) { return c.compact(s); }, "compact", "{}", 1},
        {"purge", [&](WexReplySlot& s) { return c.purge(s, 30); }, "purge", R"({"window":30})", 1},
        {"purgeStatus", [&](WexReplySlot& s) { return c.purgeStatus(s); }, "purgeStatus", "{}", 1},
        {"reserveIds", [&](WexReplySlot& s) { return c.reserveIds(s, 5); }, "reserveIds", R"({"count":5})", 1},
    };
    for (const Case& k : cases) {
        auto replies = wexMakeRefCounted<Replies>();
        size_t calls = recorder->methods.size();
        ASSERT_EQ(k.send(replies->slot), WexErrNone) << k.name;
        ASSERT_TRUE(runUntil([&] { return recorder->methods.size() > calls; })) << k.name;
        EXPECT_EQ(recorder->methods.back(), k.method) << k.name;
        EXPECT_EQ(recorder->payloads.back(), k.payload) << k.name;
        ASSERT_TRUE(replies->wait(k.replies)) << k.name;
        // Nothing beyond the expected count arrives.
        runUntil([] { return false; }, 50);
        EXPECT_EQ(replies->replies.size(), k.replies) << k.name;
        replies->slot.cancel();
    }

    // A batch: one "batch" request with each operation's own parameters.
    WexRefCountedPtr<WexDbBatch> batch;
    ASSERT_EQ(c.createBatch(batch), WexErrNone);
    ASSERT_EQ(batch->put(one), WexErrNone);
    ASSERT_EQ(batch->find(query, true), WexErrNone);
    ASSERT_EQ(batch->del(id, WexDbFlagPurge), WexErrNone);
    WexDbQuery bad;
    ASSERT_EQ(bad.fromObject(json(R"({"from":"k","where":[{"prop":"p","op":"?","val":"x"}]})")), WexErrNone);
    ASSERT_EQ(batch->search(bad, false), WexErrNone);
    auto replies = wexMakeRefCounted<Replies>();
    ASSERT_EQ(batch->execute(replies->slot), WexErrNone);
    EXPECT_EQ(batch->execute(replies->slot), WexErrBadState);
    EXPECT_EQ(batch->get(id), WexErrBadState);
    ASSERT_TRUE(replies->wait(1));
    EXPECT_EQ(recorder->methods.back(), "batch");
    EXPECT_EQ(recorder->payloads.back(),
              R"({"operations":[{"method":"put","params":{"objects":[{"_kind":"k:1","v":9007199254740993}]}},)"
              R"({"method":"find","params":{"count":true,"query":)" +
                  q + R"(}},)"
                      R"({"method":"del","params":{"ids":["p1"],"purge":true}},)"
                      R"({"method":"search","params":{"query":{"from":"k","where":[{"op":"?","prop":"p","val":"x"}]}}}]})");
    replies->slot.cancel();
}

TEST_F(DbClientTest, RefusesAtOnceWithoutABus)
{
    WexSornaService closed{true, nullptr};
    WexDbServiceClient client(&closed);
    WexDbQuery query;
    EXPECT_EQ(client.find(m_replies->slot, query, false, false), WexErrBus);
    WexRefCountedPtr<WexDbBatch> batch;
    EXPECT_EQ(client.createBatch(batch), WexErrBus);
    EXPECT_EQ(client.putKind(m_replies->slot, WexObject("not an object")), WexErrInvalidArg);
    WexDbServiceClient none(nullptr);
    EXPECT_EQ(none.compact(m_replies->slot), WexErrBus);
}

// The voice data's record: register the kind, read, write, replace, delete.
TEST_F(DbClientTest, MetadataRecordRoundTrip)
{
    startSim();
    const char* const kind = "com.orvel.merrowind:1";
    call([&](WexReplySlot& s) { return m_dbClient.putKind(s, json(R"({"id":"com.orvel.merrowind:1","owner":"com.orvel.merrowind"})")); });

    WexDbQuery query;
    query.from(kind);
    for (const char* p : {"_id", "_rev", "recognizer_version", "rev_watermark"})
        query.select(p);
    WexObject found = call([&](WexReplySlot& s) { return m_dbClient.find(s, query, false, false); });
    WexObject results;
    ASSERT_EQ(found.get("results", results), WexErrNone);
    EXPECT_EQ(results.size(), 0u);

    WexObject record = json(R"({"_kind":"com.orvel.merrowind:1","recognizer_version":"20110107.1.16"})");
    ASSERT_EQ(record.put("rev_watermark", int64_t{9007199254740993LL}), WexErrNone);
    call([&](WexReplySlot& s) { return m_dbClient.put(s, record); });
    call([&](WexReplySlot& s) { return m_dbClient.put(s, record); });

    found = call([&](WexReplySlot& s) { return m_dbClient.find(s, query, false, false); });
    ASSERT_EQ(found.get("results", results), WexErrNone);
    ASSERT_EQ(results.size(), 2u);
    std::vector<WexObject> ids;
    for (size_t i = 0; i < results.size(); ++i) {
        WexObject entry;
        ASSERT_EQ(results.at(i, entry), WexErrNone);
        int64_t watermark = 0;
        ASSERT_EQ(entry.get("rev_watermark", watermark), WexErrNone);
        EXPECT_EQ(watermark, 9007199254740993LL);
        int64_t rev = 0;
        EXPECT_EQ(entry.get("_rev", rev), WexErrNone);
        EXPECT_FALSE(entry.hasKey("_kind"));
        WexObject id;
        ASSERT_EQ(entry.get("_id", id), WexErrNone);
        ids.push_back(id);
    }
    WexObject deleted = call([&](WexReplySlot& s) { return m_dbClient.del(s, WexDbClient::Objects(ids), 0); });
    ASSERT_EQ(deleted.get("results", results), WexErrNone);
    EXPECT_EQ(results.size(), 2u);
    found = call([&](WexReplySlot& s) { return m_dbClient.find(s, query, false, false); });
    ASSERT_EQ(found.get("results", results), WexErrNone);
    EXPECT_EQ(results.size(), 0u);
}

// Contacts read page by page, each page asked with the previous "next".
TEST_F(DbClientTest, WalksContactPagesAndCounts)
{
    startSim(4);
    WexDbQuery query;
    query.from("com.orvel.person:1");
    for (const char* p : {"_rev", "name.familyName", "name.givenName", "phoneNumbers.value", "phoneNumbers.type",
                          "organization.name", "next"})
        query.select(p);
    int persons = 0;
    int pages = 0;
    for (;;) {
        WexObject reply = call([&](WexReplySlot& s) { return m_dbClient.find(s, query, false, false); });
        ++pages;
        WexObject results;
        ASSERT_EQ(reply.get("results", results), WexErrNone);
        persons += static_cast<int>(results.size());
        WexObject next;
        bool more = false;
        ASSERT_EQ(reply.getOptional("next", next, &more), WexErrNone);
        if (!more)
            break;
        WexDbQuery::Page page;
        ASSERT_EQ(page.fromObject(next), WexErrNone);
        query.page(page);
        ASSERT_LT(pages, 10);
    }
    EXPECT_EQ(persons, 9);
    EXPECT_EQ(pages, 3);

    // The two counts around a watermark.
    for (auto [op, expected] : {std::pair{WexDbQuery::OpLessThanEq, 6}, std::pair{WexDbQuery::OpGreaterThan, 3}}) {
        WexDbQuery count;
        count.from("com.orvel.person:1");
        ASSERT_EQ(count.where("_rev", op, WexObject(int64_t{6})), WexErrNone);
        WexObject reply = call([&](WexReplySlot& s) { return m_dbClient.find(s, count, false, true); });
        int64_t n = -1;
        ASSERT_EQ(reply.get("count", n), WexErrNone);
        EXPECT_EQ(n, expected);
    }
}

TEST_F(DbClientTest, ErrorRepliesCarryTheDatabaseCode)
{
    startSim();
    WexDbQuery query;
    query.from("com.orvel.person:1");
    query.order("name.givenName");
    ASSERT_EQ(query.where("_rev", WexDbQuery::OpGreaterThan, WexObject(int32_t{1})), WexErrNone);
    WexObject reply =
        call([&](WexReplySlot& s) { return m_dbClient.find(s, query, false, false); }, WexErrDbInvalidQuery);
    std::string errorText;
    ASSERT_EQ(reply.get("errorText", errorText), WexErrNone);
    EXPECT_EQ(errorText, "db: query order not compatible with where clause");

    query.clear();
    query.from("com.orvel.nothing:1");
    call([&](WexReplySlot& s) { return m_dbClient.find(s, query, false, false); }, WexErrNotFound);
    // A method the desktop database does not know.
    call([&](WexReplySlot& s) { return m_dbClient.compact(s); }, WexErrUnknownMethod);
}

TEST_F(DbClientTest, BatchAndWatch)
{
    startSim();
    WexDbQuery calls;
    calls.from("com.orvel.phonecall:1");
    auto watcher = wexMakeRefCounted<Replies>();
    ASSERT_EQ(m_dbClient.find(watcher->slot, calls, true, true), WexErrNone);
    ASSERT_TRUE(watcher->wait(1));
    int64_t n = 0;
    ASSERT_EQ(watcher->last().get("count", n), WexErrNone);
    EXPECT_EQ(n, 5);

    WexRefCountedPtr<WexDbBatch> batch;
    ASSERT_EQ(m_dbClient.createBatch(batch), WexErrNone);
    ASSERT_EQ(batch->put(json(R"({"_kind":"com.orvel.phonecall:1","type":"missed"})")), WexErrNone);
    ASSERT_EQ(batch->find(calls, true), WexErrNone);
    WexObject reply = call([&](WexReplySlot& s) { return batch->execute(s); });
    WexObject responses;
    ASSERT_EQ(reply.get("responses", responses), WexErrNone);
    WexObject second;
    ASSERT_EQ(responses.at(1, second), WexErrNone);
    ASSERT_EQ(second.get("count", n), WexErrNone);
    EXPECT_EQ(n, 6);

    // The change fired the watch: its second and last reply.
    ASSERT_TRUE(watcher->wait(2));
    bool fired = false;
    ASSERT_EQ(watcher->last().get("fired", fired), WexErrNone);
    EXPECT_TRUE(fired);
    watcher->slot.cancel();
}

TEST(DbSimProcess, ServesADataDirectoryAndWritesBack)
{
    char tmpl[] = "/tmp/mwsimdb.XXXXXX";
    ASSERT_NE(g_mkdtemp(tmpl), nullptr);
    std::string dir = tmpl;
    const char* persons = R"({"kind":{"id":"com.orvel.person:1","owner":"c"},"records":[
        {"name":{"givenName":"A"}},{"name":{"givenName":"B"}},{"name":{"givenName":"C"}}]})";
    ASSERT_TRUE(g_file_set_contents((dir + "/persons.json").c_str(), persons, -1, nullptr));

    const char* argv[] = {SIM_PATH, "--data", dir.c_str(), "--page-size", "2", nullptr};
    GSubprocess* sim = g_subprocess_newv(argv, G_SUBPROCESS_FLAGS_STDIN_PIPE, nullptr);
    ASSERT_NE(sim, nullptr);
    GDBusConnection* probe = connectToBus();
    ASSERT_TRUE(waitForName(probe, SimDb::BusName));

    WexSornaService service{true, nullptr};
    ASSERT_EQ(service.open("com.orvel.merrowind"), WexErrNone);
    WexDbServiceClient client(&service);
    auto replies = wexMakeRefCounted<Replies>();
    WexDbQuery query;
    query.from("com.orvel.person:1");
    query.select("name.givenName");
    ASSERT_EQ(client.find(replies->slot, query, false, true), WexErrNone);
    ASSERT_TRUE(replies->wait(1));
    int64_t count = 0;
    EXPECT_EQ(replies->last().get("count", count), WexErrNone);
    EXPECT_EQ(count, 3);
    EXPECT_TRUE(replies->last().hasKey("next"));
    WexObject results;
    ASSERT_EQ(replies->last().get("results", results), WexErrNone);
    EXPECT_EQ(text(results), R"([{"name":{"givenName":"A"}},{"name":{"givenName":"B"}}])");

    ASSERT_EQ(client.putKind(replies->slot, json(R"({"id":"com.orvel.merrowind:1","owner":"com.orvel.merrowind"})")),
              WexErrNone);
    ASSERT_TRUE(replies->wait(2));
    EXPECT_EQ(replies->errors.back(), WexErrNone);
    EXPECT_TRUE(g_file_test((dir + "/com.orvel.merrowind_1.json").c_str(), G_FILE_TEST_EXISTS));

    replies->slot.cancel();
    service.close();
    g_object_unref(probe);
    g_subprocess_send_signal(sim, SIGTERM);
    g_subprocess_wait(sim, nullptr, nullptr);
    g_object_unref(sim);
    for (const char* name : {"persons.json", "com.orvel.merrowind_1.json"})
        g_unlink((dir + "/" + name).c_str());
    g_rmdir(dir.c_str());
}

} // namespace
