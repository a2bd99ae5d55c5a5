// The suite's phonebook over the real provider and merrowind-sim's contacts
// database (page size 3): the contact walk, merged entries by exact name and
// the update protocol, each step on "VR" as the suite makes it.
#include "oem/dvk_oem_phonebook.h"
#include "oem/dvk_oem_file.h"
#include "oem/dvk_oem_settings.h"
#include "platform/db/wex_db_service_client.h"
#include "sdk/common/dvk_pbook.h"
#include "src/QrVoiceCmdServiceApp.h"
#include "src/QrvFileSystem.h"
#include "src/QrvLangSettingGetter.h"
#include "src/QrvMetaDbInfo.h"
#include "src/QrvSettings.h"
#include "src/QrvUiStateChange.h"
#include "src/QrvWorkQueues.h"
#include "src/QrvServiceEnd.h"
#include "tests/platform/bus/private_bus.h"
#include "tests/platform/bus/sim_process.h"
#include "tests/src/lang_setting_answer.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_root.h"
#include "tests/support/vr_thread.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
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

// A file whose last person is one the contact reader refuses (no letter in
// its name, no company): the walk still stops there.
const char* kPersonsEndingInvalid = R"({"kind": {"id": "com.orvel.person:1", "owner": "com.orvel.contacts"}, "records": [
 {"_id": "p1", "_rev": 1, "name": {"givenName": "Ann", "familyName": "Lee"},
  "names": [{"givenName": "Ann", "familyName": "Lee"}], "phoneNumbers": [{"value": "6505550100", "type": "type_mobile"}]},
 {"_id": "pz", "_rev": 2, "name": {"givenName": "123"}, "names": [{"givenName": "123"}],
  "phoneNumbers": [{"value": "6505550199", "type": "type_mobile"}]}
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

// Runs on "UI" after everything posted there so far.
void settleUi()
{
    std::atomic<bool> done{false};
    QrvExecuteInUiThread([](void* flag) { static_cast<std::atomic<bool>*>(flag)->store(true); }, &done,
                         QRV_THREAD_ALWAYS_POST);
    ASSERT_TRUE(waitFor([&] { return done.load(); }));
}

// The service's end, recorded; `onClosing` runs when the closing sequence
// is asked for.
struct ServiceEnd : QrvServiceEnd {
    ServiceEnd() { QrvServiceEnd::set(this); }
    ~ServiceEnd() override { QrvServiceEnd::set(nullptr); }
    void closingSequence() override
    {
        ++closings;
        if (onClosing)
            onClosing();
    }
    void shutdownStart() override { ++shutdowns; }
    std::function<void()> onClosing;
    std::atomic<int> closings{0};
    std::atomic<int> shutdowns{0};
};

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
        m_data.writeFile("/com.orvel.person_1.json", m_persons);
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
        QrvLangSettingGetter::resetForTesting();
        QrvSettings::setBackgroundProcessingFlag(true);
    }

    // The records of the service's own kind as the sim last wrote them back,
    // deleted ones left out; false while there is no such file.
    bool storedRecords(std::vector<WexObject>& live)
    {
        live.clear();
        gchar* text = nullptr;
        if (!g_file_get_contents(m_data.at("/com.orvel.merrowind_1.json").c_str(), &text, nullptr, nullptr))
            return false;
        WexObject kind, records;
        const bool parsed = WexObject::parse(text, kind) == WexErrNone && kind.get("records", records) == WexErrNone;
        g_free(text);
        for (size_t i = 0; parsed && i < records.size(); ++i) {
            WexObject record;
            bool deleted = false;
            records.at(i, record);
            record.getOptional("_del", deleted);
            if (!deleted)
                live.push_back(record);
        }
        return parsed;
    }

    // The walk the suite makes for a full rebuild.
    static void walkEveryEntry()
    {
        for (dvk_pbook_Iterator it = dvk_pbook_getFirstEntry(); it != 0; it = dvk_pbook_getNextEntry(it)) {
            dvk_pbook_Entry* entry = dvk_pbook_getEntry(it);
            dvk_pbook_destroyEntry(&entry);
        }
    }

    const char* m_persons = kPersons;
    ServiceEnd m_end;
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
    answerLanguage("en", "US");
    const char* files[] = {"merrowindData.bin", "dvk_voc_dede.dat", "dvk_voc_enus.dat"};
    for (const char* name : files) {
        const std::string path = QrvFileSystem::makeFullPathname1(name);
        gchar* dir = g_path_get_dirname(path.c_str());
        g_mkdir_with_parents(dir, 0700);
        g_free(dir);
        ASSERT_TRUE(g_file_set_contents(path.c_str(), "x", 1, nullptr));
    }
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
    // The old file and other languages' voice data go; this language's stays.
    for (const char* name : files)
        EXPECT_EQ(dvk_oem_file_fexist(QrvFileSystem::makeFullPathname1(name).c_str()) != 0,
                  std::string(name) == "dvk_voc_enus.dat")
            << name;
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

// A background run exists only to rebuild the grammar: once the rebuild is
// acknowledged its watermark is stored, and only then does the service end.
TEST_F(PbookSim, AFullRebuildStoresItsWatermarkThenEndsABackgroundRun)
{
    QrvSettings::setBackgroundProcessingFlag(true);
    QrvMetaDbInfo::setMetaDbInfoWatermark(-1);
    size_t writesBeforeTheEnd = 0;
    m_end.onClosing = [&] { writesBeforeTheEnd = log.count("writeMetaDbInfoFile()"); };
    runOnVr([&] {
        ASSERT_EQ(dvk_pbook_fullUpdateRequired(), 1);
        walkEveryEntry();
        dvk_pbook_resetFullUpdateRequired();
    });
    EXPECT_EQ(m_end.closings, 1);
    EXPECT_EQ(writesBeforeTheEnd, 1u);
    std::vector<WexObject> live;
    ASSERT_TRUE(waitFor([&] { return storedRecords(live) && live.size() == 1; })) << "no record stored";
    int64_t watermark = 0;
    EXPECT_EQ(live[0].get("rev_watermark", watermark), WexErrNone);
    EXPECT_EQ(watermark, 9);  // the highest "_rev" of the walk
}

TEST_F(PbookSim, AForegroundRebuildStaysUp)
{
    QrvSettings::setBackgroundProcessingFlag(false);
    QrvMetaDbInfo::setMetaDbInfoWatermark(-1);
    runOnVr([&] {
        ASSERT_EQ(dvk_pbook_fullUpdateRequired(), 1);
        walkEveryEntry();
        dvk_pbook_resetFullUpdateRequired();
    });
    std::vector<WexObject> live;
    ASSERT_TRUE(waitFor([&] { return storedRecords(live) && live.size() == 1; })) << "no record stored";
    EXPECT_EQ(m_end.closings + m_end.shutdowns, 0);
}

// The stored voice data already covers the contacts: acknowledging the
// update writes no new record over it.
TEST_F(PbookSim, AfterReusingThePreviousUpdateNothingIsWritten)
{
    QrvSettings::setBackgroundProcessingFlag(false);
    QrvMetaDbInfo::setMetaDbInfoWatermark(6);
    runOnVr([&] {
        ASSERT_EQ(dvk_pbook_fullUpdateRequired(), 0);
        for (dvk_pbook_Iterator it = dvk_pbook_getFirstModifiedEntry(); it != 0; it = dvk_pbook_getNextModifiedEntry(it)) {
            dvk_pbook_Entry* entry = dvk_pbook_getNameEntry(it);
            dvk_pbook_destroyEntry(&entry);
        }
        dvk_pbook_resetModifiedEntryList();
        dvk_pbook_resetFullUpdateRequired();
    });
    settleUi();
    EXPECT_EQ(log.count("writeMetaDbInfoFile"), 0u);
    EXPECT_EQ(log.count("putInfo"), 0u);
    std::vector<WexObject> live;
    EXPECT_FALSE(storedRecords(live));
    EXPECT_EQ(QrvMetaDbInfo::getMetaDbInfoWatermark(), 9);
}

class PbookSimEndingInvalid : public PbookSim {
protected:
    PbookSimEndingInvalid() { m_persons = kPersonsEndingInvalid; }
};

// The reader refuses the last person only once the walk stands on it: that
// position gives the fixed name no spoken name matches, with no numbers.
TEST_F(PbookSimEndingInvalid, TheWalkEndsWithTheFixedNameEntry)
{
    std::vector<std::string> entries;
    std::vector<int32_t> counts;
    runOnVr([&] {
        for (dvk_pbook_Iterator it = dvk_pbook_getFirstEntry(); it != 0; it = dvk_pbook_getNextEntry(it)) {
            dvk_pbook_Entry* entry = dvk_pbook_getEntry(it);
            if (entry != nullptr) {
                entries.push_back(describe(entry));
                counts.push_back(dvk_pbook_getCount(entry));
            }
            dvk_pbook_destroyEntry(&entry);
        }
    });
    EXPECT_EQ(entries, (std::vector<std::string>{"Ann \tLee: 6505550100 (MOBILE 1)",
                                                 "goauiwegkuzkuzkuzfoiugw kzkaeofiwoaiueg:"}));
    EXPECT_EQ(counts, (std::vector<int32_t>{1, 0}));
}

} // namespace
