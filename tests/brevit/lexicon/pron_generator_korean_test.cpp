#include "core/brevit/lexicon/pron_generator_korean.h"
#include "tests/brevit/lexicon/pron_generator_fixture.h"

namespace {

using namespace pron_generator;

using KoreanGenerator = GeneratorTest;

// 한: lead 19, vowel 20, tail 45; 국: lead 1 (realised after tail 45 as
// A[101]), vowel 33, tail 42; the final tail alone as A[40].
const Pron kHanguk = {1019, 2, 1600, 1200, 1304, 1101, 2, 1213, 1301, 1040, 2};

TEST_F(KoreanGenerator, LeadsAreRealisedWithThePreviousTail)
{
    use(koreanToy());
    struct Case {
        std::u16string text;
        std::vector<Pron> prons;
    };
    const Case cases[] = {
        {u"한국", {kHanguk}},
        {u"가", {{1001, 2, 1200, 1020, 2}}},   // no tail (41 -> 0): dropped
        {u"a한", {{1019, 2, 1600, 1200, 1304, 1100, 2}}},
        {u"한 a 국", {kHanguk}},                // other characters skipped
        {u"abc", {}},
        {u"ㄱ", {}},                             // a jamo is no syllable
    };
    for (const Case& c : cases)
        EXPECT_EQ(prons(c.text), c.prons) << std::string(c.text.begin(), c.text.end());
    // The last syllable U+D7A3: lead 19, vowel 40, tail 68 (A[20 x 28]).
    EXPECT_EQ(prons(u"\uD7A3"), (std::vector<Pron>{{1019, 2, 1600, 1220, 1327, 1560, 2}}));
    EXPECT_EQ(prons(u"한국", 0, 0), std::vector<Pron>{});
}

TEST_F(KoreanGenerator, RoomAndNeededRoom)
{
    use(koreanToy());
    Generated g = generate(u"한국", 0, 1, 11);
    EXPECT_EQ(g.count, 0);
    EXPECT_TRUE(g.endsEmpty);
    EXPECT_EQ(g.needed, 12);
    g = generate(u"한국", 0, 1, 12);
    EXPECT_EQ(g.prons, std::vector<Pron>{kHanguk});
    EXPECT_EQ(g.needed, 0);
    // Nothing to say is no shortage of room.
    EXPECT_EQ(generate(u"abc", 0, 1, 1).needed, 0);
}

TEST_F(KoreanGenerator, SyllableMarksAndTables)
{
    KoreanFields f = koreanToy();
    f.leads[1] = 0;
    use(f);
    // A first mark before any phoneme is dropped.
    EXPECT_EQ(prons(u"가"), (std::vector<Pron>{{1200, 1020, 2}}));

    f = koreanToy();
    f.leadsAfter.clear();   // table B absent: it adds nothing
    use(f);
    Pron withoutB = kHanguk;
    withoutB.erase(withoutB.begin() + 2);
    EXPECT_EQ(prons(u"한국"), std::vector<Pron>{withoutB});

    f = koreanToy();
    f.common.syllableId = 0;
    use(f);
    EXPECT_EQ(prons(u"한국"), (std::vector<Pron>{{1019, 1600, 1200, 1304, 1101, 1213, 1301, 1040}}));

    // A table value equal to the stand-in of the syllable mark is a code.
    f = koreanToy();
    f.leads[19] = 65533;
    f.common.mainRewrite.offsets.resize(65534, f.common.mainRewrite.offsets[0]);
    f.common.mainRewrite.offsets[65533] = static_cast<uint32_t>(f.common.mainRewrite.data.size());
    f.common.mainRewrite.data.insert(f.common.mainRewrite.data.end(), {7, 0xFFFF});
    f.common.mainRewrite.idCount = 65534;
    f.common.mainRewrite.dataLength = static_cast<int32_t>(f.common.mainRewrite.data.size());
    use(f);
    EXPECT_EQ(prons(u"하"), (std::vector<Pron>{{7, 2, 1600, 1200, 1020, 2}}));
}

TEST_F(KoreanGenerator, ChecksumCoversEveryField)
{
    expectChecksumCoversEveryField<KoreanFields>(
        koreanToy(), {
                         [](KoreanFields& f) { f.common.syllableId = 3; },
                         [](KoreanFields& f) { f.jamo.entries[20] = 1; },
                         [](KoreanFields& f) { f.leads[579] = 1; },
                         [](KoreanFields& f) { f.leadsAfter[0] = 1; },
                         [](KoreanFields& f) { f.leadsAfter.clear(); },
                     });
}

TEST_F(KoreanGenerator, RefusesInconsistentRecords)
{
    expectRefusedRows<KoreanFields>(
        koreanToy(), {
                         {"jamo table count", [](KoreanFields& f) { f.jamo.count = 69; }},
                         {"table A short", [](KoreanFields& f) { f.leads.pop_back(); }},
                         {"table A missing", [](KoreanFields& f) { f.leads.clear(); }},
                         {"table B short", [](KoreanFields& f) { f.leadsAfter.pop_back(); }},
                         {"table B long", [](KoreanFields& f) { f.leadsAfter.push_back(0); }},
                         {"common header damaged", [](KoreanFields& f) { f.common.phoneRewriteFlag = 3; }},
                     });
    expectAllocationFailuresRefused(koreanToy());
}

} // namespace
