#include "core/brevit/lexicon/pron_generator_japanese.h"
#include "tests/brevit/lexicon/pron_generator_fixture.h"

namespace {

using namespace pron_generator;

using JapaneseGenerator = GeneratorTest;

TEST_F(JapaneseGenerator, PositionTablesByWordLength)
{
    use(japaneseToy());
    struct Case {
        std::u16string text;
        Pron pron;   // empty: no pron
    };
    const Case cases[] = {
        {u"日本", {3005, 3007}},
        {u"日 本", {3005, 3007}},              // spaces do not count
        {u"人々", {3006, 3006}},               // the mark repeats the position reading
        {u"日本人", {3009, 3010, 3011}},
        {u"山日本人", {3004, 3001, 3002, 3003}},
        {u"山本", {3004, 3007}},               // not in first-of-two: the general table
        {u"々山", {3004}},                     // nothing before the mark to repeat
        {u"日", {3001}},
        {u"人々々", {3003, 3003, 3003}},
        {u"x々", {}},                          // nor after a character without a reading
        {u"abc", {}},
    };
    for (const Case& c : cases) {
        const std::vector<Pron> expected = c.pron.empty() ? std::vector<Pron>{} : std::vector<Pron>{c.pron};
        EXPECT_EQ(prons(c.text), expected) << std::string(c.text.begin(), c.text.end());
    }
    EXPECT_EQ(prons(u"日本", 0, 0), std::vector<Pron>{});
}

TEST_F(JapaneseGenerator, RoomCountsASyllableMarkPerVowel)
{
    use(japaneseToy());
    Generated g = generate(u"日本人", 0, 1, 3);
    EXPECT_EQ(g.count, 0);
    EXPECT_EQ(g.needed, 4);
    EXPECT_EQ(generate(u"日本人", 0, 1, 4).count, 1);

    // 3009 and 3011 are vowels: two more entries.
    JapaneseFields f = japaneseToy();
    f.common.vowelClass = 1;
    f.common.classRewrite = search_tables::rewrites({{}, {{3009, 3011}}});
    use(f);
    g = generate(u"日本人", 0, 1, 5);
    EXPECT_EQ(g.count, 0);
    EXPECT_EQ(g.needed, 6);
    g = generate(u"日本人", 0, 1, 6);
    EXPECT_EQ(g.prons, (std::vector<Pron>{{3009, 3010, 3011}}));
    EXPECT_EQ(g.needed, 0);
}

TEST_F(JapaneseGenerator, ChecksumCoversEveryField)
{
    expectChecksumCoversEveryField<JapaneseFields>(
        japaneseToy(), {
                           [](JapaneseFields& f) { f.rangeFirst = 1; },
                           [](JapaneseFields& f) { f.rangeLast = 1; },
                           [](JapaneseFields& f) { f.tables[0].readings[3] = 9; },
                           [](JapaneseFields& f) { f.tables[5].keys[0] = u'山'; },
                           [](JapaneseFields& f) {
                               f.tables[4] = {};
                               f.tables[5].keys.push_back(u'本');
                               f.tables[5].readings.push_back(10);
                               f.tables[5].count = 2;
                           },
                       });
}

TEST_F(JapaneseGenerator, RefusesInconsistentRecords)
{
    std::vector<Damage<JapaneseFields>> rows = {
        {"negative count", [](JapaneseFields& f) { f.tables[3] = {}; f.tables[3].count = -1; }},
        {"general keys not ascending", [](JapaneseFields& f) { std::swap(f.tables[0].keys[0], f.tables[0].keys[1]); }},
        {"keys repeated", [](JapaneseFields& f) { f.tables[1].keys[1] = f.tables[1].keys[0]; }},
    };
    for (int t = 0; t < 6; ++t) {
        rows.push_back({"count", [t](JapaneseFields& f) { ++f.tables[t].count; }});
        rows.push_back({"readings missing", [t](JapaneseFields& f) { f.tables[t].readings.clear(); }});
        rows.push_back({"keys missing", [t](JapaneseFields& f) { f.tables[t].keys.clear(); }});
    }
    expectRefusedRows(japaneseToy(), rows);
    expectAllocationFailuresRefused(japaneseToy());
}

} // namespace
