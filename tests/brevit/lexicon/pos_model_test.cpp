#include "core/brevit/lexicon/pos_model.h"
#include "tests/brevit/search/table_test.h"
#include "tests/support/pos_model_writer.h"

#include <string>
#include <vector>

namespace {

using pos_model::Fields;

// encoding 3; leads a e i o u y: ai a | eau ea e | i | ou o | u | y; defaults
// 10 11 12 13; rules "ing" end 20, "un" begin 21, "ly" end 22, "x" kind 5 99;
// set 2 = rules 0-1, set 3 = 1-3, set 16 = 0; map entries k + 100.
Fields sample()
{
    std::vector<uint16_t> map;
    for (uint16_t k = 0; k <= 22; ++k)
        map.push_back(static_cast<uint16_t>(k + 100));
    return pos_model::model(3,
                            {{u'a', {u"ai", u"a"}}, {u'e', {u"eau", u"ea", u"e"}}, {u'i', {u"i"}},
                             {u'o', {u"ou", u"o"}}, {u'u', {u"u"}}, {u'y', {u"y"}}},
                            {10, 11, 12, 13},
                            {{u"ing", 1, 20}, {u"un", -1, 21}, {u"ly", 1, 22}, {u"x", 5, 99}},
                            {{2, 0, 2}, {3, 1, 3}, {16, 0, 1}}, map);
}

class POSModel : public TableTest {
protected:
    POS* loadModel(const Fields& f)
    {
        WrittenTable table([&](BinFileWriter* w) { return pos_model::write(w, f); }, kPOSSubFileTag);
        return POS_LoadFromBinFile(table.tar(), nullptr);
    }
};

std::string repeat(const std::string& s, int n)
{
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

TEST_F(POSModel, GuessesFromNucleiAndRules)
{
    POS* pos = loadModel(sample());
    ASSERT_NE(pos, nullptr);
    struct Case {
        std::string word;
        int32_t guess;
    };
    const Case cases[] = {
        {"sing", 11},      {"going", 20},  {"undo", 21},     {"ay", 12},
        {"beautiful", 13}, {"lovely", 22}, {"unending", 21}, {"psst", 11},
        {"avocado", 10},   {"", 11},       {"ly", 11},       {"\xC3\xA9ly", 11},
        {repeat("ba", 15) + "bing", 20}, {repeat("ba", 16) + "bing", 10},
    };
    for (const Case& c : cases)
        EXPECT_EQ(POS_GuessPOSI(pos, c.word.c_str()), c.guess) << c.word;
    EXPECT_EQ(POS_GuessPOSI(pos, "ab\xC3"), -1);
    EXPECT_EQ(POS_GetMapForMWLCompression(pos, 20), 120);
    EXPECT_EQ(POS_GetMapForMWLCompression(pos, -1), -1);
    EXPECT_EQ(POS_GetMapForMWLCompression(pos, 23), 65535);
    POS_Delete(pos);
}

TEST_F(POSModel, ChecksumCoversEveryField)
{
    Fields base = sample();
    base.setCRC = 0x1234;
    POS* pos = loadModel(base);
    ASSERT_NE(pos, nullptr);
    EXPECT_EQ(POS_GetSetCRC(pos), 0x1234u);
    const uint32_t crc = POS_ComputeCRC(pos);
    POS_Delete(pos);
    pos = loadModel(base);
    ASSERT_NE(pos, nullptr);
    EXPECT_EQ(POS_ComputeCRC(pos), crc);
    POS_Delete(pos);
    const std::vector<std::function<void(Fields&)>> changes = {
        [](Fields& f) { f.secondValue = 1; },       [](Fields& f) { f.setCRC = 1; },
        [](Fields& f) { f.map.entries[3] = 1; },    [](Fields& f) { f.patterns[0] = 'b'; },
        [](Fields& f) { f.leads[5] = 'w'; },        [](Fields& f) { f.defaults[0] = 9; },
        [](Fields& f) { f.rules[1].pos = 7; },      [](Fields& f) { f.rules[3].kind = 4; },
        [](Fields& f) { f.ruleSets[4] = 0; },       [](Fields& f) { f.ruleSetSizes[4] = 1; },
        [](Fields& f) { f.ruleStrings[0] = 'j'; },
    };
    for (const auto& change : changes) {
        Fields f = base;
        change(f);
        pos = loadModel(f);
        ASSERT_NE(pos, nullptr);
        EXPECT_NE(POS_ComputeCRC(pos), crc);
        POS_Delete(pos);
    }
}

TEST_F(POSModel, RefusesInconsistentRecords)
{
    const std::vector<Damage<Fields>> rows = {
        {"pattern store count", [](Fields& f) { f.patternLength += 1; }},
        {"lead count", [](Fields& f) { f.leads.pop_back(); }},
        {"offsets count", [](Fields& f) { f.offsets.pop_back(); }},
        {"default count", [](Fields& f) { f.defaultCount = 4; }},
        {"rule strings count", [](Fields& f) { f.ruleStringLength -= 1; }},
        {"map entries count", [](Fields& f) { f.map.count = 30; }},
        {"rule sizes not 17", [](Fields& f) { f.ruleSetSizes.pop_back(); }},
        {"rule set below -1", [](Fields& f) { f.ruleSets[1] = -2; }},
        {"rule set past R", [](Fields& f) { f.ruleSets[1] = 4; }},
        {"rule set runs past R", [](Fields& f) { f.ruleSetSizes[3] = 4; }},
        {"negative set size", [](Fields& f) { f.ruleSetSizes[2] = -1; }},
        {"more rules than the sub-file holds", [](Fields& f) { f.ruleCount = 1000000; }},
        {"negative rule count", [](Fields& f) { f.ruleCount = -1; }},
        {"negative lead count", [](Fields& f) { f.leadCount = -1; }},
        {"offsets decreasing", [](Fields& f) { f.offsets[2] = 1; }},
        {"offsets past the store", [](Fields& f) { f.offsets.back() += 1; }},
        {"lead range without a final 0", [](Fields& f) { f.offsets[1] -= 1; }},
        {"empty pattern", [](Fields& f) { f.patterns.insert(f.patterns.begin(), 0); f.patternLength += 1;
                                           for (size_t j = 1; j < f.offsets.size(); ++j) f.offsets[j] += 1; }},
        {"rule string past the last 0", [](Fields& f) { f.rules[2].offset = static_cast<uint16_t>(f.ruleStringLength); }},
        {"rule strings absent", [](Fields& f) { f.ruleStrings.clear(); f.ruleStringLength = 0; }},
    };
    for (const auto& row : rows) {
        Fields f = sample();
        row.damage(f);
        POS* pos = loadModel(f);
        EXPECT_EQ(pos, nullptr) << row.what;
        POS_Delete(pos);
    }
    // Rule strings nothing reads may be absent.
    Fields unread = sample();
    unread.rules.clear();
    unread.ruleCount = 0;
    for (int32_t& set : unread.ruleSets)
        set = -1;
    unread.ruleStrings.clear();
    POS* pos = loadModel(unread);
    ASSERT_NE(pos, nullptr);
    EXPECT_EQ(POS_GuessPOSI(pos, "going"), 12);
    POS_ComputeCRC(pos);
    POS_Delete(pos);
    // A sub-file that is not there.
    WrittenTable other([](BinFileWriter* w) { return BinFileWriter_WriteInt(w, 1) == 1; }, "other");
    EXPECT_EQ(POS_LoadFromBinFile(other.tar(), nullptr), nullptr);
    WrittenTable table([](BinFileWriter* w) { return pos_model::write(w, sample()); }, kPOSSubFileTag);
    table.expectAllocationFailuresRefused(m_allocator, POS_Read, POS_Delete);
}

} // namespace
