#include "core/brevit/lexicon/pron_generator_chinese.h"
#include "tests/brevit/lexicon/pron_generator_fixture.h"

namespace {

using namespace pron_generator;

// Readings as the toy writes them: each 2000 + r followed by the syllable mark.
Pron spoken(const std::vector<uint16_t>& readings)
{
    Pron p;
    for (uint16_t r : readings) {
        p.push_back(static_cast<uint16_t>(2000 + r));
        p.push_back(2);
    }
    return p;
}

struct Case {
    std::u16string text;
    int32_t wordClass;
    int32_t most;
    std::vector<std::vector<uint16_t>> readings;
};

class ChineseGenerator : public GeneratorTest {
protected:
    void expectCases(const std::vector<Case>& cases)
    {
        for (const Case& c : cases) {
            std::vector<Pron> expected;
            for (const auto& r : c.readings)
                expected.push_back(spoken(r));
            EXPECT_EQ(prons(c.text, c.wordClass, c.most), expected)
                << std::string(c.text.begin(), c.text.end()) << " class " << c.wordClass << " most "
                << c.most;
        }
    }
};

TEST_F(ChineseGenerator, ReadingsInContextAndToneChanges)
{
    use(chineseToy());
    const std::vector<Case> cases = {
        {u"你好", 1, 10, {{15, 14}}},
        {u"你 好", 1, 10, {{15, 14}}},
        {u"你丁好", 1, 10, {{15, 8, 14}}},     // 丁 is transparent
        {u"你你你", 1, 10, {{13, 15, 13}}},    // each reading as the walk finds it
        {u"一下", 0, 2, {{11, 12}, {1, 5}}},   // the pair, then the plain readings
        {u"一下", 0, 1, {{11, 12}}},
        {u"一下", 7, 2, {{11, 12}, {1, 5}}},
        {u"一下", 1, 2, {{11, 12}}},
        {u"一下", 8, 2, {{11, 12}}},
        {u"一下", 2, 2, {{1, 5}}},
        {u"一下", 9, 2, {{1, 5}}},
        {u"一下", 5, 2, {{11, 12}, {1, 5}}},   // any other class: mode 7
        {u"不一不一", 0, 2, {{10, 9, 2, 1}, {2, 1, 2, 1}}},   // four: both specials
        {u"不一不", 0, 2, {{10, 1, 2}, {2, 1, 2}}},           // three: the first only
        {u"不一不一下", 0, 2, {{2, 1, 2, 1, 5}}},             // five: plain throughout
        {u"不", 0, 2, {{2}}},
        {u"a一下", 0, 2, {{1, 5}}},            // a (no reading) is the first character
        {u"你好", 0, 20, {{15, 14}}},          // plain readings the same: one pron
        {u"ab", 0, 2, {}},
        {u"   ", 0, 2, {}},
        {u"你好", 0, 0, {}},
    };
    expectCases(cases);
}

TEST_F(ChineseGenerator, DenseTableAndTableEdges)
{
    // Readings by position over 一..丁 (U+4E00-U+4E01) without keys.
    ChineseFields dense = chineseToy();
    dense.keys.clear();
    dense.keyCount = 0;
    dense.first = 0x4E00;
    dense.last = 0x4E01;
    dense.readings = {1, 0};
    use(dense);
    expectCases({{u"一一一一一", 0, 2, {{1, 1, 1, 1, 1}}}, {u"丁", 0, 2, {}}, {u"下", 0, 2, {}}});

    // A tone-change table shorter than the readings: those past it have no entry.
    ChineseFields shortTones = chineseToy();
    shortTones.toneChanges.resize(10);
    shortTones.common.headerValue = 10;
    use(shortTones);
    expectCases({{u"你好", 1, 10, {{13, 14}}}});

    ChineseFields noTones = chineseToy();
    noTones.toneChanges.clear();
    noTones.common.headerValue = 0;
    use(noTones);
    expectCases({{u"你好", 1, 10, {{13, 14}}}});

    // Readings that differ but come out equal give one pron.
    ChineseFields same = chineseToy();
    same.common.mainRewrite = offsetRewrite(2000, 17);
    same.common.mainRewrite.data[same.common.mainRewrite.offsets[9]] = 2001;
    use(same);
    expectCases({{u"一你", 0, 2, {{1, 13}}}});

    // Without a syllable id the readings run together.
    ChineseFields plain = chineseToy();
    plain.common.syllableId = 0;
    use(plain);
    EXPECT_EQ(prons(u"你好", 1), (std::vector<Pron>{{2015, 2014}}));
}

TEST_F(ChineseGenerator, PronsAreWrittenWhileTheyFit)
{
    use(chineseToy());
    struct Room {
        int32_t room;
        size_t prons;
        int32_t needed;
    };
    // Each pron of 一下 takes 5 entries.
    for (const Room& r : {Room{10, 2, 0}, Room{9, 1, 10}, Room{5, 1, 10}, Room{4, 0, 10}}) {
        const Generated g = generate(u"一下", 0, 2, r.room);
        EXPECT_EQ(g.prons.size(), r.prons) << r.room;
        EXPECT_EQ(g.needed, r.needed) << r.room;
    }
}

TEST_F(ChineseGenerator, ChecksumCoversEveryField)
{
    expectChecksumCoversEveryField<ChineseFields>(
        chineseToy(), {
                          [](ChineseFields& f) { f.first = 0x4DFF; },
                          [](ChineseFields& f) { f.last = 0x9FA4; },
                          [](ChineseFields& f) { f.readings[0] = 3; },
                          [](ChineseFields& f) { f.keys[5] = 0x9000; },
                          [](ChineseFields& f) { f.specialReadings[1] = 3; },
                          [](ChineseFields& f) { f.specialKeys[1] = 0x4E0E; },
                          [](ChineseFields& f) { f.pairReadings[1] = 3; },
                          [](ChineseFields& f) { f.pairKeys[1] = u'丁'; },
                          [](ChineseFields& f) { f.toneChanges[16] = 1; },
                      });
}

TEST_F(ChineseGenerator, RefusesInconsistentRecords)
{
    expectRefusedRows<ChineseFields>(
        chineseToy(),
        {
            {"first after last", [](ChineseFields& f) { f.first = 0x9FA6; }},
            {"key count", [](ChineseFields& f) { f.keyCount = 5; }},
            {"readings missing", [](ChineseFields& f) { f.readings.clear(); }},
            {"dense readings count", [](ChineseFields& f) { f.keys.clear(); f.keyCount = 0; }},
            {"special count", [](ChineseFields& f) { f.specialCount = 3; }},
            {"special readings missing", [](ChineseFields& f) { f.specialReadings.clear(); }},
            {"pair count", [](ChineseFields& f) { f.pairCount = 2; }},
            {"pair readings one short", [](ChineseFields& f) { f.pairReadings.pop_back(); }},
            {"negative pair count", [](ChineseFields& f) { f.pairCount = -1; }},
            {"tone table count", [](ChineseFields& f) { f.common.headerValue = 16; }},
            {"tone table missing", [](ChineseFields& f) { f.toneChanges.clear(); }},
            {"negative tone count", [](ChineseFields& f) { f.toneChanges.clear(); f.common.headerValue = -1; }},
            {"keys not ascending", [](ChineseFields& f) { std::swap(f.keys[0], f.keys[1]); }},
            {"keys repeated", [](ChineseFields& f) { f.keys[1] = f.keys[0]; }},
            {"special keys not ascending", [](ChineseFields& f) { std::swap(f.specialKeys[0], f.specialKeys[1]); }},
            {"pairs not ascending", [](ChineseFields& f) {
                 f.pairKeys = {u'一', u'下', u'一', u'丁'};
                 f.pairReadings = {11, 12, 11, 12};
                 f.pairCount = 2;
             }},
        });
    expectAllocationFailuresRefused(chineseToy());
}

} // namespace
