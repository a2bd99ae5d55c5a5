// The suite's phonebook over the real provider and merrowind-sim's contacts
// database (page size 3): the contact walk, merged entries by exact name and
// the update protocol, each step on "VR" as the suite makes it.
#include "oem/dvk_oem_phonebook.h"
#include "oem/dvk_oem_settings.h"
#include "platform/db/wex_db_service_client.h"
#include "sdk/common/dvk_pbook.h"
#include "src/QrVoiceCmdServiceApp.h"
#include "src/QrvMetaDbInfo.h"
#include "src/QrvUiStateChange.h"
#include "tests/platform/bus/private_bus.h"
#include "tests/platform/bus/sim_process.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_root.h"
#include "tests/support/vr_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace {

const bool kBus = (privateBusForEveryTest(), true);

const char* kPersons = R"({"kind": {"id": "com.orvel.person:1", "owner": "com.orvel.contacts"}, "records": [
 {"_id": "p1", "_rev": 1, "name": {"givenName": "Ann", "familyName": "Lee"},
  "names": [{"givenName": "Ann", "familyName": "Lee"}],
  "phoneNumbers": [{"value": "6505550100", "type": "type_mobile"}, {"value": "6505550101", "type": "type_home"}]},
 {"_id": "p1b", "_rev": 2, "name": {"givenName": "ann", "familyName": "lee"},
  "names": [{"givenName": "ann", "familyName": "lee"}], "phoneNumbers": [{"value": "4085550199", "type": "type_work"}]},
 {"_id": "p1c", "_rev": 3, "name": {"givenName": "Ann"}, "names": [{"givenName": "Ann"}],
  "phoneNumbers": [{"value": "4085550100", "type": "type_mobile"}]},
 {"_id": "p1d", "_rev": 4, "name": {"familyName": "Lee"}, "names": [{"familyName": "Lee"}],
  "phoneNumbers": [{"value": "4085550101", "type": "type_mobile"}]},
 {"_id": "p3", "_rev": 5, "name": {"givenName": "Dan", "familyName": "Roe"},
  "names": [{"givenName": "Dan", "familyName": "Roe"}],
  "phoneNumbers": [{"value": "2125550199", "type": "type_car"}, {"value": "(212) 555-0100", "type": "type_mobile"}]},
 {"_id": "p4", "_rev": 6, "name": {"givenName": "", "familyName": ""}, "organization": {"name": "Acme Plumbing"},
  "phoneNumbers": [{"value": "8005550123", "type": "type_work"}]},
 {"_id": "p35", "_rev": 7, "name": {"givenName": "Bob", "familyName": "Stone"},
  "names": [{"givenName": "Bob", "familyName": "Stone"}], "organization": {"name": "Acme Plumbing"},
  "phoneNumbers": [{"value": "8005550124", "type": "type_mobile"}]},
 {"_id": "p7", "_rev": 8, "name": {"givenName": "张伟"}, "names": [{"givenName": "张伟"}],
  "phoneNumbers": [{"value": "01055501234", "type": "type_mobile"}]},
 {"_id": "p9", "_rev": 9, "name": {"givenName": "Eve", "familyName": "Novak"},
  "names": [{"givenName": "Eve", "familyName": "Novak"}],
  "phoneNumbers": [{"value": "7035550161", "type": "type_mobile"}, {"value": "7035550160", "type": "type_work"}]}
]})";

std::string utf8(const dvk_ucs2_Char* text)
{
    std::string out;
    for (; text != nullptr && *text != 0; ++text) {
        const unsigned c = *text;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::vector<dvk_ucs2_Char> ucs2(const char16_t* text)
{
    std::vector<dvk_ucs2_Char> out(text, text + std::char_traits<char16_t>::length(text));
    out.push_back(0);
    return out;
}

// "name: number (location), ..."
std::string describe(const dvk_pbook_Entry* entry)
{
    std::string out = utf8(dvk_pbook_getName(entry)) + ":";
    for (int32_t i = 0; i < dvk_pbook_getCount(entry); ++i)
        out += " " + utf8(dvk_pbook_getPhoneNumberString(entry, i)) + " (" + utf8(dvk_pbook_getLocationString(entry, i)) + ")";
    return out;
}

int32_t english()
{
    return 5;
}

struct UiStates : QrvUiStateChange {
    void toInitializing() override {}
    void toNeither() override { ++neither; }
    std::atomic<int> neither{0};
};

class PbookSim : public ::testing::Test {
protected:
    void SetUp() override
    {
        WexLogger::configure("*=0");
        oemPbookUnitTestInit();
        dvkPbookUnitTestInit();
        QrvUiStateChange::set(&m_ui);
        m_data.writeFile("/com.orvel.person_1.json", kPersons);
        m_sim = std::make_unique<SimProcess>(
            std::vector<const char*>{"--data", m_data.path().c_str(), "--page-size", "3"});
        ASSERT_EQ(m_app.open(), WexErrNone);
        // After the open, which wires the service's own language getter.
        dvkOemSettingsSetLanguageSource(english);
        ASSERT_TRUE(waitForName(QrVoiceCmdServiceApp::getSornaService()->getService()->connection, "com.orvel.db"));
    }
    void TearDown() override
    {
        m_app.close();
        QrvUiStateChange::set(nullptr);
        dvkOemSettingsSetLanguageSource(nullptr);
    }

    UiStates m_ui;
    TempRoot m_data{false};
    std::unique_ptr<SimProcess> m_sim;
    QrVoiceCmdServiceApp m_app;
    LogCapture log;
};

TEST_F(PbookSim, TheWalkGivesEveryUsableContactGroupedByLocation)
{
    std::vector<std::string> entries;
    runOnVr([&] {
        for (dvk_pbook_Iterator it = dvk_pbook_getFirstEntry(); it != 0; it = dvk_pbook_getNextEntry(it)) {
            dvk_pbook_Entry* entry = dvk_pbook_getEntry(it);
            if (entry != nullptr)
                entries.push_back(describe(entry));
            dvk_pbook_destroyEntry(&entry);
        }
    });
    EXPECT_EQ(entries, (std::vector<std::string>{
                           "Ann \tLee: 6505550100 (MOBILE 1) 6505550101 (HOME 1)",
                           "ann \tlee: 4085550199 (WORK 1)",
                           "Ann: 4085550100 (MOBILE 1)",
                           " \tLee: 4085550101 (MOBILE 1)",
                           "Dan \tRoe: 2125550100 (MOBILE 1)",
                           "Bob \tStone: 8005550124 (MOBILE 1)",  // "_id" order: p35 before p4
                           "\tAcme Plumbing: 8005550123 (WORK 1)",
                           "张伟: 01055501234 (MOBILE 1)",
                           "Eve \tNovak: 7035550161 (MOBILE 1) 7035550160 (WORK 1)",
                       }));
}

TEST_F(PbookSim, MergedEntriesTakeOnlyTheVeryName)
{
    const struct {
        const char16_t* name;
        int32_t count;
        const char* described;
    } cases[] = {
        {u"张伟", 1, "张伟: 01055501234 (MOBILE 1)"},
        {u"Ann \tLee", 2, "Ann \tLee: 6505550100 (MOBILE 1) 6505550101 (HOME 1)"},
        {u"ann \tlee", 1, "ann \tlee: 4085550199 (WORK 1)"},
        {u"\tAcme Plumbing", 1, "\tAcme Plumbing: 8005550123 (WORK 1)"},
        {u"Ann", 1, "Ann: 4085550100 (MOBILE 1)"},
        {u" \tLee", 1, " \tLee: 4085550101 (MOBILE 1)"},
        {u"Nobody", 0, ""},
    };
    for (const auto& c : cases) {
        int32_t count = -2;
        std::string described;
        runOnVr([&] {
            dvk_pbook_Entry* entry = nullptr;
            count = dvk_pbook_getMergedEntry(ucs2(c.name).data(), nullptr, nullptr, &entry);
            if (entry != nullptr)
                described = describe(entry);
            dvk_pbook_destroyEntry(&entry);
        });
        EXPECT_EQ(count, c.count) << c.described;
        EXPECT_EQ(described, c.described);
    }
}

TEST_F(PbookSim, WithoutVoiceDataTheUpdateIsFullAndTheUiLeavesItsState)
{
    QrvMetaDbInfo::setMetaDbInfoWatermark(-1);
    int32_t full = -1;
    void* modified = reinterpret_cast<void*>(1);
    runOnVr([&] {
        modified = dvk_oem_pbook_getFirstModifiedContact();
        full = dvk_pbook_fullUpdateRequired();
    });
    EXPECT_EQ(modified, nullptr);
    EXPECT_EQ(full, 1);
    EXPECT_TRUE(waitFor([&] { return m_ui.neither.load() == 1; }));
    EXPECT_TRUE(log.contains("saved _rev is < 0.  Doing full update..."));
}

TEST_F(PbookSim, WithVoiceDataOnlyChangedContactsAreWalked)
{
    QrvMetaDbInfo::setMetaDbInfoWatermark(6);
    int32_t full = -1;
    std::vector<std::string> names;
    runOnVr([&] {
        EXPECT_EQ(dvk_oem_pbook_getNextModifiedContact(reinterpret_cast<void*>(1)), nullptr);
        full = dvk_pbook_fullUpdateRequired();
        for (dvk_pbook_Iterator it = dvk_pbook_getFirstModifiedEntry(); it != 0; it = dvk_pbook_getNextModifiedEntry(it)) {
            dvk_pbook_Entry* entry = dvk_pbook_getNameEntry(it);
            if (entry != nullptr)
                names.push_back(utf8(dvk_pbook_getName(entry)));
            dvk_pbook_destroyEntry(&entry);
        }
    });
    EXPECT_EQ(full, 0);
    EXPECT_TRUE(log.contains("unexpected call to dvk_oem_pbook_getNextModifiedContact"));
    EXPECT_EQ(names, (std::vector<std::string>{"Bob \tStone", "张伟", "Eve \tNovak"}));
}

} // namespace
