#include "core/brevit/lexicon/pron_generator_selector.h"
#include "tests/brevit/lexicon/pron_generator_fixture.h"

namespace {

using namespace pron_generator;

// Words each sub-generator of the selector toy can say.
const std::u16string kWords[] = {u"base", u"한국", u"一下", u"日本人"};

class SelectorGenerator : public GeneratorTest {
protected:
    void SetUp() override
    {
        m_subs[0] = loadGenerator(toyModel());
        m_subs[1] = loadGenerator(koreanToy());
        m_subs[2] = loadGenerator(chineseToy());
        m_subs[3] = loadGenerator(japaneseToy());
        for (PG* sub : m_subs)
            ASSERT_NE(sub, nullptr);
    }
    void TearDown() override
    {
        for (PG* sub : m_subs)
            PG_Delete(sub);
        GeneratorTest::TearDown();
    }

    // The selector's answer for word class k is sub-generator sub's answer
    // for class 0 (none: the empty pron) for every word.
    void expectChosen(int32_t k, int32_t sub)
    {
        for (const std::u16string& word : kWords) {
            const Generated g = generate(word, k, 2);
            const std::string what = "class " + std::to_string(k) + " " + std::string(word.begin(), word.end());
            if (sub < 0) {
                EXPECT_EQ(g.count, 0) << what;
                EXPECT_TRUE(g.endsEmpty) << what;
                continue;
            }
            const Generated direct = generateBy(m_subs[sub], word, 0, 2);
            EXPECT_EQ(g.prons, direct.prons) << what;
            EXPECT_EQ(g.scores, direct.scores) << what;
        }
    }

    PG* m_subs[4] = {};
};

TEST_F(SelectorGenerator, ModeAndWordClassChooseTheSubGenerator)
{
    struct Row {
        int32_t mode;
        int32_t k;
        int32_t sub;
    };
    const Row rows[] = {
        {0, 11, 1}, {0, 12, 2}, {0, 13, 3}, {0, 5, 0},  {0, 0, 0},   {0, 14, 0},
        {1, 1, 0},  {1, 14, 0}, {1, 2, 1},  {1, 0, 1},  {2, 10, 0},  {2, 11, 1},
        {2, 12, 2}, {2, 13, 3}, {2, 5, -1}, {2, 0, -1}, {-1, 12, 2}, {-1, 14, -1},
    };
    int32_t mode = -2;
    for (const Row& row : rows) {
        if (row.mode != mode) {
            use(selectorToy(row.mode));
            mode = row.mode;
        }
        expectChosen(row.k, row.sub);
    }
    // Class 0 reaches the Chinese generator: both prons of its mode 7.
    use(selectorToy(0));
    EXPECT_EQ(generate(u"一下", 12, 2).count, 2);
    EXPECT_EQ(generate(u"一下", 12, 0).count, 0);

    // A sub-generator the selector does not hold.
    SelectorFields two = selectorToy(2);
    two.subs.resize(2);
    two.count = 2;
    use(two);
    expectChosen(13, -1);
    expectChosen(11, 1);
}

TEST_F(SelectorGenerator, SubGeneratorPhoneRewriteApplies)
{
    Fields rewritten = toyModel();
    std::vector<search_tables::PhoneRule> rules;
    for (uint16_t p = 1; p <= T; ++p)
        rules.push_back({{p}, p == S ? std::vector<uint16_t>{Z, Z} : std::vector<uint16_t>{p}});
    rewritten.common.phoneRewrite = search_tables::phoneRewrite(rules, 11, 0, 2);
    rewritten.common.phoneRewriteFlag = 1;
    use(selector(0, {nest(rewritten)}));
    const Generated g = generate(u"base", 0, 1);
    ASSERT_EQ(g.count, 1);
    EXPECT_EQ(g.prons[0], (Pron{B, kStress, AA, Z, Z, kSyllable}));
}

TEST_F(SelectorGenerator, NestingIsBoundedAndEveryKindNests)
{
    // Four levels load; the fifth is refused.
    SelectorFields nested = selector(0, {nest(koreanToy())});
    for (int level = 2; level <= 3; ++level)
        nested = selector(0, {nest(nested)});
    use(nested);
    EXPECT_EQ(generate(u"한국").prons, generateBy(m_subs[1], u"한국").prons);
    EXPECT_EQ(loadGenerator(selector(0, {nest(nested)})), nullptr);
    EXPECT_EQ(loadGenerator(scriptSplit({{9, nest(nested)}})), nullptr);

    // A script-split generator inside a selector, and the reverse.
    use(selector(0, {nest(scriptToy())}));
    const Generated inner = generate(u"base한국", 0, 1);
    ASSERT_EQ(inner.count, 1);
    use(scriptSplit({{1, nest(selectorToy(0))}, {9, nest(selector(1, {nest(toyModel()), nest(koreanToy())}))}}));
    EXPECT_EQ(generate(u"base한국", 0, 1).prons, inner.prons);
}

TEST_F(SelectorGenerator, ChecksumCoversEveryField)
{
    expectChecksumCoversEveryField<SelectorFields>(
        selectorToy(0), {
                            [](SelectorFields& f) { f.mode = 1; },
                            [](SelectorFields& f) { f.common.scale = 1; },
                            [](SelectorFields& f) {
                                KoreanFields k = koreanToy();
                                k.leads[3] = 4;
                                f.subs[1] = nest(k);
                            },
                            [](SelectorFields& f) { std::swap(f.subs[2], f.subs[3]); },
                            [](SelectorFields& f) { f.subs.pop_back(); f.count = 3; },
                        });
}

TEST_F(SelectorGenerator, RefusesInconsistentRecords)
{
    KoreanFields damaged = koreanToy();
    damaged.leads.pop_back();
    expectRefusedRows<SelectorFields>(
        selectorToy(0), {
                            {"a sub-generator damaged", [&](SelectorFields& f) { f.subs[1] = nest(damaged); }},
                            {"fewer sub-generators than the count", [](SelectorFields& f) { f.count = 5; }},
                            {"negative count", [](SelectorFields& f) { f.count = -1; }},
                            {"65 sub-generators", [](SelectorFields& f) {
                                 f.subs.assign(65, nest(japaneseToy()));
                                 f.count = 65;
                             }},
                            {"an unknown kind inside", [](SelectorFields& f) {
                                 JapaneseFields j = japaneseToy();
                                 j.type = 6;
                                 f.subs[3] = nest(j);
                             }},
                        });
    SelectorFields most = selector(0, std::vector<Nested>(64, nest(japaneseToy())));
    use(most);
    EXPECT_EQ(prons(u"日本"), (std::vector<Pron>{{3005, 3007}}));
    use(selector(0, {}));
    EXPECT_EQ(generate(u"base").count, 0);
    expectAllocationFailuresRefused(selectorToy(0));
}

} // namespace
