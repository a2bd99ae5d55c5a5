// The contact query model: which persons reach the grammar, the query's
// fields, and the name-search shapes of the page query.
#include "oem/dvk_oem_pbook_location.h"
#include "platform/db/wex_db_query.h"
#include "src/QrvContactV2Populator.h"
#include "src/QrvContactsCommon.h"
#include "src/QrvContactsQuerySizeGetter.h"
#include "tests/support/log_capture.h"

#include <gtest/gtest.h>

#include <string>

namespace {

WexObject parse(const std::string& text)
{
    WexObject value;
    EXPECT_EQ(WexObject::parse(text, value), WexErrNone) << text;
    return value;
}

std::string json(const WexObject& value)
{
    std::string text;
    value.toJson(text);
    return text;
}

struct PersonCase {
    const char* title;
    const char* person;
    bool valid;
    const char* message;  // logged when not null
};

TEST(ContactsCommon, WhichPersonsAreValid)
{
    WexLogger::configure("*=0");
    const PersonCase cases[] = {
        {"given name only", R"({"name":{"givenName":"Ann"},"phoneNumbers":[{"value":"1","type":"type_mobile"}]})", true,
         nullptr},
        {"Chinese only (p7)", R"({"name":{"givenName":"张伟"},"phoneNumbers":[{"value":"1","type":"type_mobile"}]})", true,
         nullptr},
        {"Cyrillic only", R"({"name":{"familyName":"Иванов"},"phoneNumbers":[{"value":"1","type":"mobile"}]})", true,
         nullptr},
        {"company only (p4)",
         R"({"name":{"givenName":"","familyName":""},"organization":{"name":"Acme"},"phoneNumbers":[{"value":"1","type":"type_work"}]})",
         true, nullptr},
        {"no name", R"({"phoneNumbers":[{"value":"1","type":"type_mobile"}]})", false, "invalid contact: name not present"},
        {"digits only, no company", R"({"name":{"givenName":"123"},"phoneNumbers":[{"value":"1","type":"type_mobile"}]})",
         false, nullptr},
        {"digits and a company",
         R"({"name":{"givenName":"123"},"organization":{"name":"Acme"},"phoneNumbers":[{"value":"1","type":"type_mobile"}]})",
         false, "bogus entry.  Reason: weird case garbage in first/last name"},
        {"no phone numbers (p5)", R"({"name":{"givenName":"Eve"}})", false, "invalid contact: no phone numbers"},
        {"company and car numbers only",
         R"({"name":{"givenName":"Dana"},"phoneNumbers":[{"value":"1","type":"type_company"},{"value":"2","type":"car"}]})",
         false, "ignoring unused/unrecognized phone number of type"},
        {"a number without type", R"({"name":{"givenName":"Dana"},"phoneNumbers":[{"value":"1"}]})", false,
         "invalid contact: type not present (2)"},
        {"an unknown type counts as mobile",
         R"({"name":{"givenName":"Dana"},"phoneNumbers":[{"value":"1","type":"pager"}]})", true, nullptr},
        {"a number without value", R"({"name":{"givenName":"Dana"},"phoneNumbers":[{"type":"type_home"}]})", false,
         "invalid contact: value not present"},
    };
    for (const PersonCase& c : cases) {
        SCOPED_TRACE(c.title);
        LogCapture log;
        WexObject person = parse(c.person);
        EXPECT_EQ(QrvContactsCommon::contactIsValid(person), c.valid);
        if (c.message != nullptr) {
            EXPECT_TRUE(log.contains(c.message));
        }
    }
}

TEST(ContactsCommon, LetterTestCoversEveryScriptAndKeepsLatin)
{
    for (const char* text : {"Ann", "José", "Ελένη", "Иван", "김", "さくら", "张伟", "x1"})
        EXPECT_TRUE(QrvContactsCommon::hasLetter(text)) << text;
    for (const char* text : {"", "123", "+-.", " \t", "\xff\xfe"})
        EXPECT_FALSE(QrvContactsCommon::hasLetter(text)) << text;
}

TEST(ContactsCommon, DefaultQueryFields)
{
    WexDbQuery query;
    QrvContactsCommon::fillDefaultQueryFields(query);
    EXPECT_EQ(query.from().str(), "com.orvel.person:1");
    EXPECT_EQ(query.selected(), (std::set<std::string>{"_rev", "name.familyName", "name.givenName", "next",
                                                        "organization.name", "phoneNumbers.type", "phoneNumbers.value"}));
    EXPECT_EQ(QrvContactsCommon::nameSeparator.str(), " \t");
}

TEST(ContactsCommon, NameSearchQueryShapes)
{
    struct Case {
        const char* name;
        const char* where;
    };
    const Case cases[] = {
        {"Ann \tLee",
         R"([{"collate":"primary","op":"=","prop":"names.familyName","val":"Lee"},)"
         R"({"collate":"primary","op":"=","prop":"names.givenName","val":"Ann"}])"},
        {"\tAcme Plumbing", R"([{"collate":"primary","op":"=","prop":"organization.name","val":"Acme Plumbing"}])"},
        // Both tabs are the marker of a filtered company search.
        {"\t\tJensen Tools", R"([{"collate":"primary","op":"=","prop":"organization.name","val":"Jensen Tools"}])"},
        // One name part is a given name; an empty part asks nothing.
        {"Ann Lee", R"([{"collate":"primary","op":"=","prop":"names.givenName","val":"Ann Lee"}])"},
        {"张伟", R"([{"collate":"primary","op":"=","prop":"names.givenName","val":"张伟"}])"},
        {" \tLee", R"([{"collate":"primary","op":"=","prop":"names.familyName","val":"Lee"}])"},
        {"Ann \t", R"([{"collate":"primary","op":"=","prop":"names.givenName","val":"Ann"}])"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogCapture log;
        WexDbQuery query;
        query.from("com.orvel.person:1");
        ASSERT_EQ(QrvContactV2Populator::nameClauses(c.name, query), WexErrNone);
        WexObject encoded;
        ASSERT_EQ(query.toObject(encoded), WexErrNone);
        WexObject where;
        ASSERT_EQ(encoded.get("where", where), WexErrNone) << json(encoded);
        EXPECT_EQ(json(where), c.where);
        EXPECT_FALSE(log.contains("Name split failed"));
    }
}

TEST(ContactsCommon, NumberTypesToLocations)
{
    const std::pair<const char*, dvk_oem_pbook_LocationType> cases[] = {
        {"type_mobile", 1}, {"HOME", 2}, {"home2", 2}, {"TYPE_WORK2", 3}, {"sim", 4}, {"main", 6}, {"main2", 1},
        {"company", 7},     {"personal", 10}, {"other", 12}, {"car", 9}, {"pager", 1}, {"", 1},
    };
    for (const auto& [type, location] : cases)
        EXPECT_EQ(QrvLocationGet(type), location) << type;
}

TEST(UpdateDecision, Thresholds)
{
    struct Case {
        bool background;
        long long previous;
        long long newCount;
        bool full;
    };
    const Case cases[] = {
        {false, 100, 50, false}, {false, 100, 51, true}, {false, 100, 60, true}, {false, 0, 1, true},
        {false, 0, 0, false},    {false, 9, 9, false},   {true, 0, 5, false},    {true, 100, 6, true},
        {true, 0, 0, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(QrvContactsQuerySizeGetter::fullUpdateNeeded(c.background, c.previous, c.newCount), c.full)
            << c.background << " " << c.previous << " " << c.newCount;
}

} // namespace
