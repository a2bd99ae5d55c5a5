// The phonebook provider without the contact reader: persons fed through
// the person point into the entry filler, the location walk without a
// bundle, the number format, the field copy and the number-type map.
#include "oem/dvk_oem_copy_field.h"
#include "oem/dvk_oem_phonebook.h"

#include "platform/core/wex_logger.h"
#include "platform/core/wex_root.h"
#include "src/QrvLangSettingGetter.h"
#include "src/QrvResourceBundle.h"
#include "src/QrvSettings.h"
#include "tests/src/lang_setting_answer.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

std::u16string text(const dvk_ucs2_Char* s)
{
    return std::u16string(reinterpret_cast<const char16_t*>(s));
}

std::u16string u16(const std::string& ascii)
{
    return std::u16string(ascii.begin(), ascii.end());
}

std::shared_ptr<WexObject> s_person;

std::shared_ptr<WexObject> currentPerson(dvk_oem_pbook_ContactIterator)
{
    return s_person;
}

// {"name": {...}, "organization": {"name": ...}, "phoneNumbers": [...]} from
// JSON-like pieces; an absent piece stays out.
struct Person {
    const char* given = nullptr;
    const char* family = nullptr;
    const char* company = nullptr;
    std::vector<std::pair<const char*, const char*>> numbers;  // type (or null), value (or null)
    bool hasName = true;
    bool hasNumbers = true;
};

std::shared_ptr<WexObject> make(const Person& p)
{
    auto person = std::make_shared<WexObject>(WexObject::object());
    if (p.hasName) {
        WexObject name = WexObject::object();
        if (p.given)
            name.put("givenName", p.given);
        if (p.family)
            name.put("familyName", p.family);
        person->put("name", name);
    }
    if (p.company) {
        WexObject organization = WexObject::object();
        organization.put("name", p.company);
        person->put("organization", organization);
    }
    if (p.hasNumbers) {
        WexObject numbers = WexObject::array();
        for (const auto& [type, value] : p.numbers) {
            WexObject n = WexObject::object();
            if (type)
                n.put("type", type);
            if (value)
                n.put("value", value);
            numbers.append(n);
        }
        person->put("phoneNumbers", numbers);
    }
    return person;
}

class OemPhonebookTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        oemPbookUnitTestInit();
        QrvResourceBundleNS::resetForTesting();
        dvkOemPbookSetPersonSource(currentPerson);
        s_person.reset();
    }
    void TearDown() override
    {
        dvkOemPbookSetPersonSource(nullptr);
        s_person.reset();
        QrvLangSettingGetter::resetForTesting();
        QrvResourceBundleNS::resetForTesting();
    }
    dvk_oem_pbook_Entry fill(const Person& p, bool withNumbers = true)
    {
        s_person = make(p);
        return fillCurrent(withNumbers);
    }
    dvk_oem_pbook_Entry fillCurrent(bool withNumbers = true)
    {
        dvk_oem_pbook_Entry entry;
        std::memset(&entry, 0x55, sizeof entry);  // what the filler leaves alone shows
        entry.name4[0] = 'x';
        (withNumbers ? dvk_oem_pbook_getContactEntry : dvk_oem_pbook_getContactNameEntry)(nullptr, &entry);
        return entry;
    }
};

std::vector<std::pair<int32_t, std::u16string>> numbersOf(const dvk_oem_pbook_Entry& e)
{
    std::vector<std::pair<int32_t, std::u16string>> out;
    for (int32_t i = 0; i < e.count; ++i)
        out.emplace_back(e.locTypes[i], text(e.numbers[i]));
    return out;
}

TEST_F(OemPhonebookTest, DisplayNamesOfNamesAndCompanies)
{
    const std::string longName = std::string(62, 'A') + "\xF0\x9F\x98\x80";  // then U+1F600
    const struct {
        Person person;
        std::u16string name;
        int32_t count;  // -1: a placeholder
    } cases[] = {
        {{"G", "F", nullptr, {{"MOBILE", "1"}}}, u"G \tF", 1},
        {{nullptr, "F", nullptr, {{"MOBILE", "1"}}}, u" \tF", 1},
        {{"G", nullptr, nullptr, {{"MOBILE", "1"}}}, u"G", 1},
        {{"Иван", nullptr, nullptr, {{"MOBILE", "1"}}}, u"Иван", 1},
        {{"张伟", nullptr, nullptr, {{"MOBILE", "1"}}}, u"张伟", 1},
        {{"", "", "Acme Plumbing", {{"MOBILE", "1"}}}, u"\tAcme Plumbing", 1},
        {{nullptr, nullptr, "Acme Plumbing", {{"MOBILE", "1"}}}, u"\tAcme Plumbing", 1},
        {{"123", nullptr, "Acme", {{"MOBILE", "1"}}}, u"", -1},  // weird case garbage
        {{"123", nullptr, nullptr, {{"MOBILE", "1"}}}, u"", -1},  // no letter
        {{"G", nullptr, nullptr, {}, false}, u"", -1},           // no name object
        {{"G", nullptr, nullptr, {}}, u"", -1},                  // no number kept
        {{"G", nullptr, nullptr, {{"COMPANY", "1"}, {"CAR", "2"}}}, u"", -1},
        {{longName.c_str(), nullptr, nullptr, {{"MOBILE", "1"}}},
         std::u16string(62, u'A'), 1},
    };
    for (const auto& c : cases) {
        const dvk_oem_pbook_Entry e = fill(c.person);
        EXPECT_EQ(text(e.name), c.name) << (c.person.given ? c.person.given : "");
        EXPECT_EQ(e.count, c.count);
        EXPECT_EQ(text(e.name2), u"");
        if (c.count == -1) {
            EXPECT_EQ(text(e.organisation), u"");
            EXPECT_EQ(text(e.numbers[7]), u"");
            EXPECT_EQ(e.locTypes[7], 0);
            EXPECT_EQ(text(e.name4), u"");
        }
    }
    // Without numbers a usable person counts none; the fourth text is kept.
    const dvk_oem_pbook_Entry names = fill({"G", "F", "Acme", {}, true, false}, false);
    EXPECT_EQ(text(names.name), u"G \tF");
    EXPECT_EQ(text(names.organisation), u"Acme");
    EXPECT_EQ(names.count, 0);
    EXPECT_EQ(names.name4[0], 'x');
    // No current person: the nonsense name no spoken name matches.
    s_person.reset();
    const dvk_oem_pbook_Entry none = fillCurrent();
    EXPECT_EQ(text(none.name), u"goauiwegkuzkuzkuzfoiugw kzkaeofiwoaiueg");
    EXPECT_EQ(none.count, -1);
}

TEST_F(OemPhonebookTest, NamesAreKeptToSixtyThreeUnits)
{
    const std::string a63(63, 'a'), a64(64, 'a');
    EXPECT_EQ(text(fill({a63.c_str(), nullptr, nullptr, {{"HOME", "1"}}}).name), std::u16string(63, u'a'));
    EXPECT_EQ(text(fill({a64.c_str(), nullptr, nullptr, {{"HOME", "1"}}}).name), std::u16string(63, u'a'));
}

TEST_F(OemPhonebookTest, NumbersAreFilteredTypedAndCappedAtEight)
{
    const dvk_oem_pbook_Entry e = fill({"G", nullptr, nullptr,
                                        {{"type_mobile", "+1 (650) 555-1234 ext. 5"},
                                         {"HOME2", "1+2"},
                                         {"type_fax", "VOICE MAIL"},
                                         {nullptr, "#31#"},
                                         {"CAR", "9"},
                                         {"WORK", nullptr},
                                         {"OTHER", ""},
                                         {"MAIN", "abc"},
                                         {"SIM", "7w8p9"}}});
    EXPECT_EQ(numbersOf(e), (std::vector<std::pair<int32_t, std::u16string>>{{1, u"+16505551234t5"},
                                                                            {2, u"12"},
                                                                            {1, u"VOICE MAIL"},
                                                                            {0, u"#31#"},
                                                                            {12, u""},
                                                                            {6, u""},
                                                                            {4, u"7w8p9"}}));
    Person ten{"G", nullptr, nullptr, {}};
    std::vector<std::string> values;
    for (int i = 0; i < 10; ++i)
        values.push_back(std::to_string(i));
    for (const std::string& v : values)
        ten.numbers.push_back({"MOBILE", v.c_str()});
    const dvk_oem_pbook_Entry capped = fill(ten);
    EXPECT_EQ(capped.count, 8);
    EXPECT_EQ(text(capped.numbers[7]), u"7");
}

// Every 81st entry tells the watchdog the walk is alive; without a UI
// queue the ping shows as the queue's complaint.
TEST_F(OemPhonebookTest, EveryEightyFirstEntryPingsTheWatchdog)
{
    std::vector<int> pings;
    int call = 0;
    WexLogger::setSink([&](const WexLogger::Record& r) {
        if (r.text.find("UI thread not created yet!") != std::string::npos)
            pings.push_back(call);
    });
    s_person = make({"G", nullptr, nullptr, {{"MOBILE", "1"}}});
    for (call = 1; call <= 170; ++call)
        fillCurrent(false);
    WexLogger::setSink({});
    EXPECT_EQ(pings, (std::vector<int>{81, 162}));
}

TEST_F(OemPhonebookTest, LocationWalkWithoutBundleGivesTheKeyTexts)
{
    std::vector<std::u16string> names;
    std::vector<int32_t> types;
    dvk_oem_pbook_Location location;
    for (dvk_oem_pbook_LocationIterator it = dvk_oem_pbook_getFirstLocation(5); it != nullptr;
         it = dvk_oem_pbook_getNextLocation(it)) {
        dvk_oem_pbook_getLocation(it, &location);
        names.push_back(text(location.name));
        types.push_back(location.type);
        EXPECT_EQ(location.capability, 1);
        EXPECT_EQ(text(location.synonym), u"");
    }
    EXPECT_EQ(names, (std::vector<std::u16string>{u"MOBILE 1", u"MOBILE 2", u"MOBILE 3", u"HOME 1", u"HOME 2",
                                                  u"HOME 3", u"WORK 1", u"WORK 2", u"WORK 3", u"SIM", u"MAIN 1",
                                                  u"MAIN 2", u"MAIN 3", u"COMPANY", u"PERSONAL", u"OTHER", u"CAR"}));
    EXPECT_EQ(types, (std::vector<int32_t>{1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 6, 6, 6, 7, 10, 12, 9}));
}

// Localized names longer than twenty bytes keep their numbers, and a name
// the bundle lacks keeps its key text.
TEST_F(OemPhonebookTest, LocationWalkTakesTheBundlesNames)
{
    const std::string target = wexRootPath("/usr/lib/merrowind/resources");
    ASSERT_EQ(g_mkdir_with_parents(target.c_str(), 0700), 0);
    gchar* bundle = nullptr;
    gsize size = 0;
    ASSERT_TRUE(g_file_get_contents(OEM_TEST_RESOURCES_DIR "/ru_RU.res", &bundle, &size, nullptr));
    ASSERT_TRUE(g_file_set_contents((target + "/ru_RU.res").c_str(), bundle, static_cast<gssize>(size), nullptr));
    g_free(bundle);
    answerLanguage("ru", "RU");

    std::vector<std::u16string> names;
    dvk_oem_pbook_Location location;
    for (dvk_oem_pbook_LocationIterator it = dvk_oem_pbook_getFirstLocation(19); it != nullptr;
         it = dvk_oem_pbook_getNextLocation(it)) {
        dvk_oem_pbook_getLocation(it, &location);
        names.push_back(text(location.name));
    }
    EXPECT_EQ(names, (std::vector<std::u16string>{u"Мобильный телефон 1", u"Мобильный телефон 2",
                                                  u"Мобильный телефон 3", u"HOME 1", u"HOME 2", u"HOME 3",
                                                  u"WORK 1", u"WORK 2", u"WORK 3", u"SIM", u"MAIN 1", u"MAIN 2",
                                                  u"MAIN 3", u"COMPANY", u"Персональный", u"OTHER", u"CAR"}));
}

TEST_F(OemPhonebookTest, NumberTypesMapToLocations)
{
    const struct {
        const char* type;
        dvk_oem_pbook_LocationType location;
    } cases[] = {{"type_Home2", 2}, {"HOME", 2}, {"work2", 3}, {"type_fax", 1}, {"MOBILE2", 1},
                 {"type_personal", 10}, {"car", 9}, {"Other", 12}, {"", 1}};
    for (const auto& c : cases)
        EXPECT_EQ(QrvLocationGet(c.type), c.location) << c.type;
}

TEST_F(OemPhonebookTest, FormatGroupsByLengthInRegionZero)
{
    const struct {
        int32_t region;
        const char *number, *formatted;
    } cases[] = {
        {0, "6505551234", "650-555-1234"}, {0, "16505551234", "1-650-555-1234"}, {0, "5551234", "555-1234"},
        {0, "55512345", "55512345"},       {0, "abcdefghij", "abc-def-ghij"},    {0, "", ""},
        {1, "6505551234", "6505551234"},
    };
    for (const auto& c : cases) {
        dvk_ucs2_Char number[DVK_OEM_PBOOK_TEXT_LENGTH];
        copyField(number, c.number);
        dvk_oem_pbook_formatPhoneNumber(5, c.region, number);
        EXPECT_EQ(text(number), u16(c.formatted)) << c.number;
    }
}

TEST_F(OemPhonebookTest, CopyFieldCutsAtSixtyThreeUnitsNeverInsideAPair)
{
    dvk_ucs2_Char field[DVK_OEM_PBOOK_TEXT_LENGTH];
    copyField(field, std::string(70, 'x').c_str());
    EXPECT_EQ(text(field), std::u16string(63, u'x'));
    copyField(field, WexString(std::string(62, 'y') + "\xF0\x9F\x98\x80"));
    EXPECT_EQ(text(field), std::u16string(62, u'y'));
    copyField(field, WexString(std::string(61, 'y') + "\xF0\x9F\x98\x80"));
    EXPECT_EQ(text(field), std::u16string(61, u'y') + u"\U0001F600");
    copyField(field, "\xC3\x28");  // no UTF-8: empty
    EXPECT_EQ(text(field), u"");
}

TEST_F(OemPhonebookTest, FixedAnswers)
{
    EXPECT_EQ(dvk_oem_pbook_getDefaultSendLocType(), 1);
    EXPECT_EQ(dvk_oem_pbook_getDefaultSendEmailLocType(), 5);
    EXPECT_EQ(dvk_oem_pbook_getFirstSimCard(), nullptr);
    EXPECT_EQ(dvk_oem_pbook_getFirstGroup(), nullptr);
    EXPECT_EQ(dvk_oem_pbook_findContactByName(nullptr, nullptr, nullptr, nullptr), nullptr);
    dvk_ucs2_Char a[DVK_OEM_PBOOK_TEXT_LENGTH] = {'a', 0}, b[DVK_OEM_PBOOK_TEXT_LENGTH] = {'b', 0},
                                                c[DVK_OEM_PBOOK_TEXT_LENGTH] = {'c', 0};
    dvk_oem_pbook_getLastNumber(a, b, c);
    EXPECT_EQ(text(a) + text(b) + text(c), u"ac");
    dvk_oem_pbook_getVoicemailNumber(a);
    EXPECT_EQ(text(a), u"VOICE MAIL");
    QrvSettings::OutgoingCall call;
    call.name = "Carl Jensen";
    call.addr = "6505550142";
    call.personAddressType = "WORK";
    QrvSettings::setLastOutgoingCall(call);
    dvk_oem_pbook_getLastDialedNumber(a, b, c);
    EXPECT_EQ(text(a) + u"|" + text(b) + u"|" + text(c), u"Carl Jensen|6505550142|WORK");
    // Before any update decision a changed-contact walk is refused.
    EXPECT_EQ(dvk_oem_pbook_getFirstModifiedContact(), nullptr);
    EXPECT_EQ(dvk_oem_pbook_getNextModifiedContact(reinterpret_cast<void*>(1)), nullptr);
}

} // namespace
