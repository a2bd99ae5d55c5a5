#include "core/string/dvk_string.h"

#include "core/lang/dvk_dvkrc.h"
#include "core/utils/dvk_ucs2.h"
#include "sdk/common/dvk_mmap.h"
#include "tests/support/suite_memory.h"
#include "tests/support/table_file_writers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::u16string text(const dvk_ucs2_Char* s)
{
    return s == nullptr ? u"(null)" : std::u16string(reinterpret_cast<const char16_t*>(s));
}

const dvk_ucs2_Char* ucs2(const std::u16string& s)
{
    return reinterpret_cast<const dvk_ucs2_Char*>(s.c_str());
}

// The main file of a described language: its encoding, "String n" (or the
// bare numbers) and the descriptor's text length.
StringFileWriter mainFile(dvk_lang_Language language, const std::u16string& prefix = u"String ")
{
    const dvk_dvkrc_StringTable* d = dvk_dvkrc_getStringTable(language);
    StringFileWriter w;
    w.locale = d->locale;
    w.encoding = d->encoding;
    w.strings = numberedStrings(prefix, 679);
    w.textLength = d->textLength;
    return w;
}

// A table of the language with the range loaded (NULL when refused).
dvk_string_Table* loaded(dvk_lang_Language language, int range)
{
    dvk_string_Table* table = dvk_string_createStringTable(language);
    if (table != nullptr && dvk_string_loadStringTableRange(table, range) == nullptr)
        dvk_string_destroyStringTable(&table);
    return table;
}

// Both load paths: mapped, then read into memory.
class StringTableTest : public SuiteMemoryTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override
    {
        SuiteMemoryTest::SetUp();
        dvk_mmap_refuseMapping(GetParam());
    }
    void TearDown() override
    {
        dvk_mmap_refuseMapping(false);
        SuiteMemoryTest::TearDown();
    }
};

TEST_P(StringTableTest, MainFilesOfBothEncodingsLoad)
{
    const std::string enus = mainFile(5).bytes(), dede = mainFile(1).bytes();
    EXPECT_EQ(enus.size(), 19580u);
    EXPECT_EQ(dede.size(), 43002u);
    writeTableFile("str_enus.bin", enus);
    writeTableFile("str_dede.bin", dede);
    for (dvk_lang_Language language : {5, 1}) {
        dvk_string_Table* table = loaded(language, 0);
        ASSERT_NE(table, nullptr) << language;
        EXPECT_EQ(table->ranges[0]->ownsBuffers, GetParam() ? 1 : 0);
        for (int32_t id : {0, 9, 10, 100, 678}) {
            dvk_ucs2_Char* s = dvk_string_getString(table, id);
            std::string digits = std::to_string(id);
            std::u16string expected = u"String " + std::u16string(digits.begin(), digits.end());
            EXPECT_EQ(text(s), expected);
            EXPECT_EQ(dvk_string_compareString(table, id, ucs2(expected)), 0);
            dvk_ucs2_destroy(&s);
        }
        EXPECT_LT(dvk_string_compareString(table, 5, ucs2(u"String 6")), 0);
        EXPECT_GT(dvk_string_compareString(table, 5, ucs2(u"String")), 0);
        EXPECT_EQ(dvk_string_loadStringTableRange(table, 0), table);  // kept
        dvk_string_destroyStringTable(&table);
        EXPECT_EQ(table, nullptr);
    }
}

TEST_P(StringTableTest, EveryDescriptorAcceptsAFileOfItsEncodingAndLength)
{
    for (dvk_lang_Language language = 0; language < 30; ++language) {
        const dvk_dvkrc_StringTable* d = dvk_dvkrc_getStringTable(language);
        if (d == nullptr)
            continue;
        SCOPED_TRACE(d->locale);
        // The Chinese descriptors hold too few characters for "String n".
        const bool shortTexts = d->textLength < 7359;
        StringFileWriter w = mainFile(language, shortTexts ? u"" : u"String ");
        writeTableFile(std::string("str_") + d->locale + ".bin", w.bytes());
        dvk_string_Table* table = loaded(language, 0);
        ASSERT_NE(table, nullptr);
        EXPECT_EQ(dvk_string_compareString(table, 678, ucs2(shortTexts ? u"678" : u"String 678")), 0);
        dvk_string_destroyStringTable(&table);
    }
}

TEST_P(StringTableTest, RangeOneIsTakenAsItIs)
{
    StringFileWriter vs;
    vs.locale = "xx";
    vs.magic = 7;
    vs.encoding = 0;
    vs.strings = {u"\u65E5\u672C", u"Two"};
    writeTableFile("vstr_jajp.bin", vs.bytes());
    writeTableFile("str_jajp.bin", mainFile(5).bytes());

    dvk_string_Table* table = dvk_string_createStringTable(12);
    EXPECT_EQ(dvk_string_loadStringTableRange(table, 0), nullptr);  // no descriptor
    EXPECT_EQ(table->ranges[0], nullptr);
    // Before range 1 loads: nothing, and no assertion.
    EXPECT_EQ(dvk_string_getString(table, 4096), nullptr);
    EXPECT_EQ(dvk_string_compareString(table, 4096, ucs2(u"Two")), -1);
    ASSERT_EQ(dvk_string_loadStringTableRange(table, 1), table);
    dvk_ucs2_Char* first = dvk_string_getString(table, 4096);
    EXPECT_EQ(text(first), u"\u65E5\u672C");
    dvk_ucs2_destroy(&first);
    EXPECT_EQ(dvk_string_compareString(table, 4097, ucs2(u"Two")), 0);
    // At the file's count.
    EXPECT_EQ(dvk_string_getString(table, 4098), nullptr);
    EXPECT_EQ(dvk_string_compareString(table, 4098, ucs2(u"Two")), -1);
    EXPECT_EQ(dvk_string_compareString(table, 8190, ucs2(u"Two")), -1);

    const int32_t pairs[] = {4096, 11, 4097, 22, 4096, 33};
    const void* found = dvk_string_findEntry(table, pairs, 8, sizeof pairs, ucs2(u"Two"));
    EXPECT_EQ(found, &pairs[2]);
    EXPECT_EQ(dvk_string_findEntry(table, pairs, 8, sizeof pairs, ucs2(u"Three")), nullptr);
    EXPECT_EQ(dvk_string_findEntry(table, pairs, 8, 0, ucs2(u"Two")), nullptr);
    EXPECT_DEATH(dvk_string_findEntry(table, pairs, 8, 12, ucs2(u"Two")), "totalSize % entrySize == 0");
    dvk_string_unloadStringTableRange(table, 1);
    EXPECT_EQ(dvk_string_compareString(table, 4097, ucs2(u"Two")), -1);
    dvk_string_destroyStringTable(&table);
}

TEST_P(StringTableTest, MainFilesOfAnotherBuildAreRefused)
{
    struct Case {
        const char* name;
        void (*change)(StringFileWriter&);
    };
    const Case cases[] = {
        {"version", [](StringFileWriter& w) { w.version = "20110107.1.17"; }},
        {"locale", [](StringFileWriter& w) { w.locale = "enuk"; }},
        {"magic", [](StringFileWriter& w) { w.magic = 0x12345679; }},
        {"encoding", [](StringFileWriter& w) { w.encoding = 2; }},
        {"count", [](StringFileWriter& w) { w.count = 678; }},
        {"text length", [](StringFileWriter& w) { w.textLength = 16811; }},
        {"header only", [](StringFileWriter& w) { w.cutTo = 48; }},
        {"one byte short", [](StringFileWriter& w) { w.cutTo = 19579; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StringFileWriter w = mainFile(5);
        c.change(w);
        writeTableFile("str_enus.bin", w.bytes());
        EXPECT_EQ(loaded(5, 0), nullptr);
    }
    writeTableFile("str_enus.bin", mainFile(5).bytes());
    dvk_string_Table* table = loaded(5, 0);
    ASSERT_NE(table, nullptr);
    EXPECT_DEATH(dvk_string_getString(table, 679), "id < DVK_STR_MAX");
    EXPECT_DEATH(dvk_string_compareString(table, -1, ucs2(u"x")), "id >= DVK_STR_FIRST");
    dvk_string_destroyStringTable(&table);
    table = dvk_string_createStringTable(5);
    EXPECT_DEATH(dvk_string_getString(table, 0), "range != ");
    EXPECT_DEATH(dvk_string_loadStringTableRange(table, 2), "\\(range == 0\\) \\|\\| \\(range == 1\\)");
    dvk_string_destroyStringTable(&table);
}

// Range-1 files are not checked against a descriptor: what they hold is
// checked against the file itself.
TEST_P(StringTableTest, DamagedRangeOneFilesReadNothingOutsideTheFile)
{
    struct Case {
        const char* name;
        void (*change)(StringFileWriter&);
        bool loads;
    };
    const Case cases[] = {
        {"offset past the text area", [](StringFileWriter& w) { w.offsets[1] = 1000; }, true},
        {"offset at the text length", [](StringFileWriter& w) { w.offsets[1] = 8; }, true},
        {"last string unterminated", [](StringFileWriter& w) { w.textLength = 7; }, true},
        {"count beyond the file", [](StringFileWriter& w) { w.count = 0x40000000; }, false},
        {"text length beyond the file", [](StringFileWriter& w) { w.textLength = 0x7fffffff; }, false},
        {"file cut in the offsets", [](StringFileWriter& w) { w.cutTo = 52; }, false},
        {"file cut in the header", [](StringFileWriter& w) { w.cutTo = 47; }, false},
        {"empty file", [](StringFileWriter& w) { w.cutTo = 0; }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StringFileWriter w;
        w.strings = {u"One", u"Two"};  // text length 8
        c.change(w);
        writeTableFile("vstr_enus.bin", w.bytes());
        dvk_string_Table* table = loaded(5, 1);
        ASSERT_EQ(table != nullptr, c.loads);
        if (table == nullptr)
            continue;
        dvk_ucs2_Char* one = dvk_string_getString(table, 4096);
        EXPECT_EQ(text(one), u"One");
        dvk_ucs2_destroy(&one);
        EXPECT_EQ(dvk_string_getString(table, 4097), nullptr);
        EXPECT_EQ(dvk_string_compareString(table, 4097, ucs2(u"Two")), -1);
        dvk_string_destroyStringTable(&table);
    }
}

TEST_P(StringTableTest, ShortMemoryLeaksNothing)
{
    writeTableFile("str_enus.bin", mainFile(5).bytes());
    for (long allowed = 0; allowed < 12; ++allowed) {
        dvk_mem_failAfter(allowed);
        dvk_string_Table* table = loaded(5, 0);
        dvk_ucs2_Char* s = table != nullptr ? dvk_string_getString(table, 3) : nullptr;
        dvk_mem_failAfter(-1);
        dvk_ucs2_destroy(&s);
        dvk_string_destroyStringTable(&table);
    }
}

INSTANTIATE_TEST_SUITE_P(LoadPaths, StringTableTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Buffered" : "Mapped"; });

} // namespace
