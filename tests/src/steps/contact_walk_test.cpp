// Contact walks as the suite makes them: the iterators on "VR", each page
// fetched on "UI" through the service application's database client from
// merrowind-sim's database at a page size of 3.
#include "platform/db/wex_db_service_client.h"
#include "src/QrVoiceCmdServiceApp.h"
#include "src/QrvContactV2Sem.h"
#include "src/QrvMetaDbInfo.h"
#include "tests/platform/bus/private_bus.h"
#include "tests/platform/bus/sim_process.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_root.h"
#include "tests/support/vr_thread.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

const bool kBus = (privateBusForEveryTest(), true);

// Seven persons in "_id" order: p3 (digits only) and p5 (no number) are not
// valid.
const char* kPersons = R"({"kind": {"id": "com.orvel.person:1", "owner": "com.orvel.contacts"}, "records": [
 {"_id": "p1", "_rev": 1, "name": {"givenName": "Ann", "familyName": "Lee"},
  "names": [{"givenName": "Ann", "familyName": "Lee"}], "phoneNumbers": [{"value": "1", "type": "type_mobile"}]},
 {"_id": "p2", "_rev": 2, "name": {"givenName": "Carl", "familyName": "Jensen"},
  "names": [{"givenName": "Carl", "familyName": "Jensen"}], "organization": {"name": "Jensen Tools"},
  "phoneNumbers": [{"value": "2", "type": "type_work"}]},
 {"_id": "p3", "_rev": 3, "name": {"givenName": "123"}, "phoneNumbers": [{"value": "3", "type": "type_mobile"}]},
 {"_id": "p4", "_rev": 4, "name": {"givenName": "", "familyName": ""}, "organization": {"name": "Acme"},
  "phoneNumbers": [{"value": "4", "type": "type_work"}]},
 {"_id": "p5", "_rev": 5, "name": {"givenName": "Eve", "familyName": "Novak"}},
 {"_id": "p6", "_rev": 6, "name": {"givenName": "Jose", "familyName": "Muller"},
  "organization": {"name": "Muller AG"}, "phoneNumbers": [{"value": "6", "type": "type_mobile"}]},
 {"_id": "p7", "_rev": 7, "name": {"givenName": "张伟"}, "phoneNumbers": [{"value": "7", "type": "type_mobile"}]}
]})";

std::string idOf(const WexObject& person)
{
    // The selected properties carry no "_id": the phone number names the person.
    WexObject numbers;
    WexObject first;
    std::string value;
    person.get("phoneNumbers", numbers);
    numbers.at(0, first);
    first.get("value", value);
    return "p" + value;
}

// Walks the whole query on "VR" as the suite does.
std::vector<std::string> walk(bool modifiedOnly)
{
    std::vector<std::string> found;
    runOnVr([&] {
        for (auto it = QrvContactV2Sem::getFirst(modifiedOnly); it != nullptr; it = QrvContactV2Sem::getNext(it, false))
            if (auto person = QrvContactV2Sem::getCurrent(it))
                found.push_back(idOf(*person));
    });
    return found;
}

class ContactWalk : public ::testing::Test {
protected:
    void SetUp() override
    {
        WexLogger::configure("*=0");
        m_data.writeFile("/com.orvel.person_1.json", kPersons);
        m_sim = std::make_unique<SimProcess>(
            std::vector<const char*>{"--data", m_data.path().c_str(), "--page-size", "3"});
        ASSERT_EQ(m_app.open(), WexErrNone);
        ASSERT_TRUE(waitForName(QrVoiceCmdServiceApp::getSornaService()->getService()->connection, "com.orvel.db"));
    }
    void TearDown() override { m_app.close(); }

    // Stores the person again: it gets the highest revision.
    void touch(const char* id)
    {
        WexDbServiceClient db(QrVoiceCmdServiceApp::getSornaService());
        struct Reply : WexSignalHandler {
            WexErr result(WexObject&, WexErr e)
            {
                err = e;
                done = true;
                return WexErrNone;
            }
            bool done = false;
            WexErr err = WexErrNone;
            WexReplySlot slot{this, &Reply::result};
        };
        auto reply = wexMakeRefCounted<Reply>();
        WexObject person;
        ASSERT_EQ(WexObject::parse(std::string(R"({"_id":")") + id +
                                       R"(","_kind":"com.orvel.person:1","name":{"givenName":"Ann","familyName":"Lee"},)"
                                       R"("phoneNumbers":[{"value":"1","type":"type_mobile"}]})",
                                   person),
                  WexErrNone);
        ASSERT_EQ(db.put(reply->slot, person), WexErrNone);
        ASSERT_TRUE(runUntil([&] { return reply->done; }));
        ASSERT_EQ(reply->err, WexErrNone);
    }

    TempRoot m_data{false};
    std::unique_ptr<SimProcess> m_sim;
    QrVoiceCmdServiceApp m_app;
    LogCapture log;
};

TEST_F(ContactWalk, AllPagesGiveTheValidPersonsAndRaiseTheWatermark)
{
    EXPECT_EQ(walk(false), (std::vector<std::string>{"p1", "p2", "p4", "p6", "p7"}));
    EXPECT_EQ(QrvMetaDbInfo::getMetaDbInfoWatermark(), 7);

    // The first person now has the highest revision: the first page is not
    // in revision order, and the watermark still ends at the highest.
    touch("p1");
    QrvMetaDbInfo::setMetaDbInfoWatermark(-1);
    EXPECT_EQ(walk(false), (std::vector<std::string>{"p1", "p2", "p4", "p6", "p7"}));
    EXPECT_GT(QrvMetaDbInfo::getMetaDbInfoWatermark(), 7);
}

TEST_F(ContactWalk, AModifiedOnlyWalkKeepsTheWatermarkOfItsStart)
{
    touch("p1");  // on the first page, with the highest revision
    QrvMetaDbInfo::setMetaDbInfoWatermark(3);
    // Later pages still bring the persons changed after 3.
    EXPECT_EQ(walk(true), (std::vector<std::string>{"p1", "p4", "p6", "p7"}));
}

TEST_F(ContactWalk, IteratorsAreSlotsThatAreNeverReused)
{
    runOnVr([] {
        auto first = QrvContactV2Sem::getFirst(false);
        auto second = QrvContactV2Sem::getFirst(false);
        EXPECT_EQ(reinterpret_cast<intptr_t>(first), 1);
        EXPECT_EQ(reinterpret_cast<intptr_t>(second), 2);
        EXPECT_EQ(QrvContactV2Sem::getNext(nullptr, false), nullptr);
        EXPECT_EQ(QrvContactV2Sem::getCurrent(nullptr), nullptr);
        EXPECT_EQ(QrvContactV2Sem::getCurrent(reinterpret_cast<dvk_oem_pbook_ContactIterator>(9)), nullptr);
        // The second walked to its end: its slot answers nothing any more.
        for (auto it = second; it != nullptr; it = QrvContactV2Sem::getNext(it, false))
            QrvContactV2Sem::getCurrent(it);
        EXPECT_EQ(QrvContactV2Sem::getCurrent(second), nullptr);
        EXPECT_EQ(QrvContactV2Sem::getNext(second, false), nullptr);
        EXPECT_EQ(reinterpret_cast<intptr_t>(QrvContactV2Sem::getFirst(false)), 3);
    });
    EXPECT_TRUE(log.contains("getNext: Invalid contact iterator 0.  Ignoring request."));
    EXPECT_TRUE(log.contains("getCurrent: Invalid contact iterator 9.  Ignoring request."));
}

TEST_F(ContactWalk, NameSearches)
{
    struct Case {
        const char* name;
        const char* found;  // null: none
    };
    const Case cases[] = {
        {"Carl \tJensen", "p2"},
        {"\tAcme", "p4"},
        {"\t\tMuller AG", "p6"},  // both tabs mark the filtered company search
        {"Nobody", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string found;
        runOnVr([&] {
            auto it = QrvContactV2Sem::findByName(QrvContactV2Sem::getFirst(false), c.name);
            if (it != nullptr)
                if (auto person = QrvContactV2Sem::getCurrent(it))
                    found = idOf(*person);
        });
        EXPECT_EQ(found, c.found != nullptr ? c.found : "");
    }
}

TEST_F(ContactWalk, ADatabaseFailureMidWalkEndsItCleanly)
{
    std::vector<std::string> found;
    dvk_oem_pbook_ContactIterator it = nullptr;
    runOnVr([&] {
        it = QrvContactV2Sem::getFirst(false);
        if (auto person = QrvContactV2Sem::getCurrent(it))
            found.push_back(idOf(*person));
    });
    m_sim.reset();  // the database goes away after the first page
    runOnVr([&] {
        for (it = QrvContactV2Sem::getNext(it, false); it != nullptr; it = QrvContactV2Sem::getNext(it, false))
            if (auto person = QrvContactV2Sem::getCurrent(it))
                found.push_back(idOf(*person));
    });
    EXPECT_EQ(found, (std::vector<std::string>{"p1", "p2"}));
    EXPECT_TRUE(log.contains("persons db request failed: "));
}

} // namespace
