#include "core/brevit/runtime/dvk_language.h"

#include <gtest/gtest.h>

#include <unicode/uloc.h>

#include <set>
#include <string>

namespace {

TEST(Language, ShortNames)
{
    const char enus[] = "ENUS";
    EXPECT_EQ(Language_NameToShortName(enus), enus);  // the same string comes back
    const char lower[] = "enus";
    EXPECT_EQ(Language_NameToShortName(lower), lower);
    const std::pair<const char*, const char*> rows[] = {
        {"ENXY", nullptr},     {"QQUS", nullptr},      {"Thai", nullptr},
        {"Mandarin", "zhcn"},  {"mandarin", nullptr},  {"USEnglish", "enus"},
        {"UKEnglish", "engb"}, {"Cantonese", "zhhk"},  {"Finnish", "fifi"},
        {"", nullptr},         {"ENU", nullptr},       {"ENUSA", nullptr},
        {"jaAN", "jaAN"},      {"srCS", nullptr},      {"csCS", "csCS"},
        {"enAX", nullptr},     {"zhCT", "zhCT"},       {"xxXX", "xxXX"},
    };
    for (const auto& [name, code] : rows) {
        const char* result = Language_NameToShortName(name);
        if (code == nullptr) {
            EXPECT_EQ(result, nullptr) << name;
        } else {
            EXPECT_STREQ(result, code) << name;
        }
    }
    EXPECT_EQ(Language_NameToShortName(nullptr), nullptr);
}

// The country list is ISO 3166-1 as of the end of 2003: ICU's current list
// less the codes assigned since (and its reserved extras), plus the two
// withdrawn since, plus "CT" and "XX".
TEST(Language, CountryCodesAreThoseOf2003)
{
    const std::set<std::string> later = {"AX", "BL", "BQ", "CW", "GG", "IM", "JE", "ME",
                                         "MF", "RS", "SS", "SX", "DG", "EA", "IC", "XK"};
    std::set<std::string> expected = {"AN", "CS", "CT", "XX"};
    for (const char* const* code = uloc_getISOCountries(); *code != nullptr; ++code)
        if (later.count(*code) == 0)
            expected.insert(*code);
    ASSERT_EQ(expected.size(), 241u);
    for (const std::string& country : expected) {
        const std::string name = "en" + country;
        EXPECT_NE(Language_NameToShortName(name.c_str()), nullptr) << country;
    }
    for (const std::string& country : later) {
        const std::string name = "en" + country;
        EXPECT_EQ(Language_NameToShortName(name.c_str()), nullptr) << country;
    }
}

TEST(Language, CjkCodes)
{
    for (const char* code : {"jajp", "kokr", "zhcn", "zhhk", "zhtw", "zhct", "ZHTW", "JaJp"}) {
        EXPECT_FALSE(Language_IsNonCJK(code)) << code;
        EXPECT_FALSE(Language_IsNonCJKLanguage(code)) << code;
    }
    for (const char* code : {"enus", "dede", "zh", "zhcnx", "", "kokrs"}) {
        EXPECT_TRUE(Language_IsNonCJK(code)) << code;
        EXPECT_TRUE(Language_IsNonCJKLanguage(code)) << code;
    }
}

} // namespace
