#include "core/brevit/lexicon/pron_generator_script.h"
#include "tests/brevit/lexicon/pron_generator_fixture.h"

namespace {

using namespace pron_generator;

std::vector<int32_t> gRecordedClasses;

int32_t recordClass(const PG*, const uint16_t*, int32_t wordClass, uint16_t* output, int32_t,
                    int32_t*, int32_t, int32_t*)
{
    gRecordedClasses.push_back(wordClass);
    output[0] = kPGPronEnd;
    return 0;
}

class ScriptGenerator : public GeneratorTest {
protected:
    void SetUp() override
    {
        m_tree = loadGenerator(toyModel());
        m_korean = loadGenerator(koreanToy());
        ASSERT_NE(m_tree, nullptr);
        ASSERT_NE(m_korean, nullptr);
    }
    void TearDown() override
    {
        PG_Delete(m_tree);
        PG_Delete(m_korean);
        GeneratorTest::TearDown();
    }

    // One pron of each sub-generator alone.
    Pron alone(const PG* sub, const std::u16string& text)
    {
        const Generated g = generateBy(sub, text, 0, 1);
        EXPECT_EQ(g.count, 1);
        return g.count == 1 ? g.prons[0] : Pron{};
    }

    static Pron joined(const Pron& a, const Pron& b)
    {
        Pron p = a;
        p.insert(p.end(), b.begin(), b.end());
        return p;
    }

    PG* m_tree = nullptr;
    PG* m_korean = nullptr;
};

TEST_F(ScriptGenerator, RunsOfOneScriptJoinIntoOnePron)
{
    use(scriptToy());
    const Pron base = alone(m_tree, u"base");
    const Pron hanguk = alone(m_korean, u"한국");
    struct Case {
        std::u16string text;
        Pron pron;   // empty: none
    };
    const std::vector<Case> cases = {
        {u"base한국", joined(base, hanguk)},
        {u"한국base", joined(hanguk, base)},
        {u"ba\u3042se", joined(alone(m_tree, u"ba"), alone(m_tree, u"se"))},   // あ ends the run
        {u"base", base},
        {u"\u3042\u3044", {}},
    };
    for (const Case& c : cases) {
        const Generated g = generate(c.text, 0, 3);
        EXPECT_EQ(g.prons, c.pron.empty() ? std::vector<Pron>{} : std::vector<Pron>{c.pron})
            << std::string(c.text.begin(), c.text.end());
        EXPECT_TRUE(g.count > 0 || g.endsEmpty);
        EXPECT_EQ(g.needed, 0);
    }
    EXPECT_EQ(generate(u"base한국", 0, 0).count, 0);
}

TEST_F(ScriptGenerator, ARunThatDoesNotFitMeasuresTheRest)
{
    use(scriptToy());
    const auto total = static_cast<int32_t>(alone(m_tree, u"base").size() + alone(m_korean, u"한국").size() + 1);
    Generated g = generate(u"base한국", 0, 1, total);
    EXPECT_EQ(g.count, 1);
    EXPECT_EQ(g.needed, 0);
    // One short: the Korean run does not fit. Far short: neither does the first.
    for (int32_t room : {total - 1, 3, 1}) {
        g = generate(u"base한국", 0, 1, room);
        EXPECT_EQ(g.count, 0) << room;
        EXPECT_TRUE(g.endsEmpty) << room;
        EXPECT_EQ(g.needed, total) << room;
    }
}

TEST_F(ScriptGenerator, SubGeneratorsServeTheirScriptAndSeeAPlainClass)
{
    // The first code equal to a script serves it.
    use(scriptSplit({{9, nest(koreanToy())}, {9, nest(japaneseToy())}, {8, nest(japaneseToy())}}));
    EXPECT_EQ(prons(u"한국日本"), (std::vector<Pron>{joined(alone(m_korean, u"한국"), {3005, 3007})}));

    use(scriptToy());
    auto* split = reinterpret_cast<PGScriptSplit*>(m_pg);
    for (int32_t i = 0; i < split->count; ++i)
        split->subs[i]->textToMasterPron = recordClass;
    gRecordedClasses.clear();
    for (int32_t k : {5, 2, 0, 1, 3, 13})
        generate(u"base한국", k, 1);
    EXPECT_EQ(gRecordedClasses, (std::vector<int32_t>{0, 0, 2, 2, 0, 0, 1, 1, 0, 0, 0, 0}));
}

TEST_F(ScriptGenerator, ChecksumCoversEveryField)
{
    expectChecksumCoversEveryField<ScriptFields>(
        scriptToy(), {
                         [](ScriptFields& f) { f.scripts[1] = 8; },
                         [](ScriptFields& f) { f.common.stressId = 9; },
                         [](ScriptFields& f) { std::swap(f.subs[0], f.subs[1]); },
                         [](ScriptFields& f) {
                             KoreanFields k = koreanToy();
                             k.jamo.entries[0] = 1;
                             f.subs[1] = nest(k);
                         },
                     });
}

TEST_F(ScriptGenerator, RefusesInconsistentRecords)
{
    expectRefusedRows<ScriptFields>(
        scriptToy(), {
                         {"a script code short", [](ScriptFields& f) { f.scripts.pop_back(); }},
                         {"a sub-generator missing", [](ScriptFields& f) { f.subs.pop_back(); }},
                         {"negative count", [](ScriptFields& f) { f.count = -1; }},
                         {"65 sub-generators", [](ScriptFields& f) {
                              f.count = 65;
                              f.scripts.assign(65, 1);
                              f.subs.assign(65, nest(japaneseToy()));
                          }},
                     });
    use(scriptSplit({}));
    EXPECT_EQ(generate(u"base").count, 0);
    expectAllocationFailuresRefused(scriptToy());
}

} // namespace
