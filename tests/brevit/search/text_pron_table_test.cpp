#include "core/brevit/search/text_pron_table.h"

#include "tests/brevit/search/table_test.h"
#include "tests/brevit/search/language_table_samples.h"

#include <string>
#include <vector>

namespace {

using language_tables::BepEntry;
using language_tables::BepFields;
using Phones = std::vector<uint16_t>;
using language_samples::digits;
using language_samples::letters;
using language_samples::sample;

class TextPron : public TableTest {
protected:
    TextPronTable* loadTable(const BepFields& f, const char* prefix = nullptr)
    {
        WrittenTable table([&](BinFileWriter* w) { return language_tables::write(w, f); },
                           kTextPronSubFileTag);
        return TextPronTable_LoadFromBinFile(table.tar(), prefix);
    }
};

struct Conversion {
    std::u16string text;
    const char* tag;
    int32_t maximum;
    Phones phones;
    int32_t result;
};

TEST_F(TextPron, ConvertsTextSegmentBySegment)
{
    TextPronTable* table = loadTable(sample());
    ASSERT_NE(table, nullptr);
    const Conversion cases[] = {
        {u"12", "digits", 10, {11, 12, 9}, 0},
        {u"1 2", "digits", 10, {11, 12, 9}, 0},
        {u"x1", "digits", 10, {5, 11, 9}, 0},
        {u"x2", "digits", 10, {12, 9}, 0},
        {u"xx1", "digits", 10, {5, 11, 9}, 0},
        {u"x2x1", "digits", 10, {12, 5, 11, 9}, 0},
        {u"2x", "digits", 10, {12, 9}, 0},
        {u"1--2", "digits", 10, {11, 9, 12, 9}, 0},
        {u"1-x-2", "digits", 10, {11, 9, 12, 9}, 0},
        {u"1-", "digits", 10, {11, 9}, 0},
        {u"-", "digits", 10, {9}, 0},
        {u"   ", "digits", 10, {}, 2},
        {u"", "digits", 10, {}, 2},
        {u"x", "digits", 10, {}, 2},
        {u"1?", "digits", 10, {11}, 2},
        {u"12", "none", 10, {}, 2},
        {u"12", nullptr, 10, {}, 2},
        {u"bb", "letters", 10, {16, 9, 9, 16, 9, 9}, 0},
        {u"ab", "letters", 10, {15, 16, 9, 9}, 0},
        {u"a b", "letters", 10, {15}, 2},
        {u"1212", "digits", 3, {11, 12}, 1},
        {u"1212", "digits", 4, {11, 12, 11}, 1},
        {u"1212", "digits", 5, {11, 12, 11, 12}, 1},
        {u"1212", "digits", 6, {11, 12, 11, 12, 9}, 0},
        {u"1", "digits", 3, {11, 9}, 0},
        {u"1", "digits", 2, {11}, 1},
        {u"1", "digits", 1, {}, 1},
        {u"bb", "letters", 4, {16, 9, 9}, 1},
    };
    for (const Conversion& c : cases) {
        std::vector<uint16_t> out(static_cast<size_t>(c.maximum) + 4, 0xAAAA);
        const int32_t result = TextPronTable_TextToPron(
            table, nullptr, reinterpret_cast<const uint16_t*>(c.text.c_str()), c.tag, c.maximum, out.data());
        const std::string what = std::string(c.text.begin(), c.text.end()) + " max " + std::to_string(c.maximum);
        EXPECT_EQ(result, c.result) << what;
        Phones got;
        size_t i = 0;
        for (; i < out.size() && out[i] != kTextPronEnd; ++i)
            got.push_back(out[i]);
        EXPECT_EQ(got, c.phones) << what;
        ASSERT_LT(i, static_cast<size_t>(c.maximum)) << what << ": no end within the maximum";
        EXPECT_EQ(out[static_cast<size_t>(c.maximum)], 0xAAAA) << what << ": written past the maximum";
    }
    uint16_t out[4] = {1, 1, 1, 1};
    const auto* text = reinterpret_cast<const uint16_t*>(u"1");
    EXPECT_EQ(TextPronTable_TextToPron(table, nullptr, text, "digits", 0, out), 1);
    EXPECT_EQ(out[0], 1);
    EXPECT_EQ(TextPronTable_TextToPron(nullptr, nullptr, text, "digits", 4, out), 3);
    TextPronTable* empty = TextPronTable_Alloc(0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(TextPronTable_TextToPron(empty, nullptr, text, "digits", 4, out), 3);
    TextPronTable_Delete(empty);
    TextPronTable_Delete(table);
}

// A segment name that is a prefix of a later one wins; a later prefix loses.
TEST_F(TextPron, FirstMatchInIdOrder)
{
    BepFields f = language_tables::bepTable({language_tables::bepEntry(
        "t", 0, 0, 0, {}, {{u"ab", {20}}, {u"a", {21}}, {u"b", {22}}, {u"abc", {23}}})});
    TextPronTable* table = loadTable(f);
    ASSERT_NE(table, nullptr);
    uint16_t out[8];
    EXPECT_EQ(TextPronTable_TextToPron(table, nullptr, reinterpret_cast<const uint16_t*>(u"abcab"),
                                       "t", 8, out), 2);
    EXPECT_EQ(out[0], 20);
    EXPECT_EQ(out[1], kTextPronEnd);
    EXPECT_EQ(TextPronTable_TextToPron(table, nullptr, reinterpret_cast<const uint16_t*>(u"aab"),
                                       "t", 8, out), 0);
    EXPECT_EQ((Phones{out[0], out[1], out[2]}), (Phones{21, 20, kTextPronEnd}));
    TextPronTable_Delete(table);
}

// Phone ids at or above F have no flag; zero phones are skipped; a null
// entry name matches no tag.
TEST_F(TextPron, PhonesBeyondTheFlagsAndZeros)
{
    BepEntry e = language_tables::bepEntry("z", 0, 5, 0, {3}, {{u"m", {5}}, {u"p", {0, 40, 0}}, {u"q", {3}}});
    BepEntry unnamed = letters();
    unnamed.nullName = true;
    TextPronTable* table = loadTable(language_tables::bepTable({e, unnamed}));
    ASSERT_NE(table, nullptr);
    uint16_t out[8];
    EXPECT_EQ(TextPronTable_TextToPron(table, nullptr, reinterpret_cast<const uint16_t*>(u"mpq"),
                                       "z", 8, out), 0);
    EXPECT_EQ((Phones{out[0], out[1], out[2], out[3]}), (Phones{40, 5, 3, kTextPronEnd}));
    EXPECT_EQ(TextPronTable_TextToPron(table, nullptr, reinterpret_cast<const uint16_t*>(u"a"),
                                       "letters", 8, out), 0);
    EXPECT_EQ(out[0], 15);
    TextPronTable_Delete(table);
}

TEST_F(TextPron, ChecksumCoversEntriesWithFlags)
{
    TextPronTable* table = loadTable(sample());
    ASSERT_NE(table, nullptr);
    const uint32_t crc = TextPronTable_ComputeCRC(table);
    TextPronTable_Delete(table);
    const std::vector<std::function<void(BepFields&)>> changes = {
        [](BepFields& f) { f.entries[0].separator = '_'; },
        [](BepFields& f) { f.entries[0].mark = 6; },
        [](BepFields& f) { f.entries[0].boundary = 8; },
        [](BepFields& f) { f.entries[0].flags.push_back(0); f.entries[0].flagCount += 1; },
        [](BepFields& f) { f.entries[0].flags[11] = 2; },
        [](BepFields& f) { f.entries[0].name = "digitz"; },
        [](BepFields& f) { f.entries[0].second = "other"; },
        [](BepFields& f) { f.entries[0].phones.data[1] = 17; },
        [](BepFields& f) { f.entries[0] = language_tables::bepEntry("digits", ' ', 5, 9, {11, 13}, {{u"1", {11}}}); },
        [](BepFields& f) { f.entries.pop_back(); f.count = 1; },
    };
    for (size_t i = 0; i < changes.size(); ++i) {
        BepFields f = sample();
        changes[i](f);
        table = loadTable(f);
        ASSERT_NE(table, nullptr) << i;
        EXPECT_NE(TextPronTable_ComputeCRC(table), crc) << i;
        TextPronTable_Delete(table);
    }
    // An entry without flags adds nothing of its own.
    BepFields f = sample();
    f.entries[1].mark = 77;
    f.entries[1].name = "other";
    table = loadTable(f);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(TextPronTable_ComputeCRC(table), crc);
    TextPronTable_Delete(table);
}

TEST_F(TextPron, RefusesInconsistentTables)
{
    const std::vector<Damage<BepFields>> rows = {
        {"count 0", [](BepFields& f) { f.count = 0; f.entries.clear(); }},
        {"negative count", [](BepFields& f) { f.count = -1; }},
        {"count past the bytes", [](BepFields& f) { f.count = 1000000; }},
        {"count above the entries", [](BepFields& f) { f.count = 3; }},
        {"empty segment name", [](BepFields& f) {
             f.entries[1] = language_tables::bepEntry("letters", 0, 0, 0, {}, {{u"", {1}}, {u"a", {15}}});
         }},
        {"flags absent", [](BepFields& f) { f.entries[0].flags.clear(); }},
        {"flag count off", [](BepFields& f) { f.entries[0].flagCount = 3; }},
        {"negative flag count", [](BepFields& f) { f.entries[1].flagCount = -1; }},
        {"flags without a count", [](BepFields& f) { f.entries[1].flags = {1}; }},
        {"name without its terminator", [](BepFields& f) { f.entries[0].segments.poolLength += 1; }},
        {"phone table count", [](BepFields& f) { f.entries[0].phones.idCount += 1; }},
    };
    for (const auto& row : rows) {
        BepFields f = sample();
        row.damage(f);
        TextPronTable* table = loadTable(f);
        EXPECT_EQ(table, nullptr) << row.what;
        TextPronTable_Delete(table);
    }
    for (size_t n = 1; n < language_tables::records(sample()); ++n) {
        BepFields f = sample();
        f.recordLimit = n;
        TextPronTable* cut = loadTable(f);
        EXPECT_EQ(cut, nullptr) << n << " records";
        TextPronTable_Delete(cut);
    }
    EXPECT_EQ(loadTable(sample(), "other"), nullptr);
    WrittenTable table([](BinFileWriter* w) { return language_tables::write(w, sample()); },
                       kTextPronSubFileTag);
    table.expectAllocationFailuresRefused(m_allocator, TextPronTable_Read, TextPronTable_Delete);
}

} // namespace
