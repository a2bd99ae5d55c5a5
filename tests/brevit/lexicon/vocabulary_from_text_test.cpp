#include "tests/brevit/lexicon/vocabulary_tokenize_test.h"

#include "core/brevit/runtime/dvk_err.h"

namespace {

class FromTextTest : public TokenizeTest {
protected:
    Voc* build(uint32_t boundary = 65535, uint32_t generated = 1)
    {
        VocabularyFixture::Options o = tokenizeOptions();
        o.boundary = boundary;
        o.params = {{kBrevitParamGeneratedPronunciations, generated}, {kBrevitParamAlternativesLimit1, 3}};
        return words(tokenizeWords(), o).voc();
    }

    // What the toy generator makes of text: its first pron.
    std::vector<uint16_t> generatedPron(Voc* voc, const std::u16string& text)
    {
        std::vector<uint16_t> out(256, kPGPronEnd);
        int32_t score = 0;
        EXPECT_EQ(PG_TextToMasterPron(voc->generator, VocabularyFixture::units(text), 0, out.data(), 256, &score, 1,
                                      nullptr),
                  1);
        out.resize(static_cast<size_t>(std::find(out.begin(), out.end(), kPGPronEnd) - out.begin()));
        return out;
    }

    std::vector<std::vector<uint16_t>> pronsOf(Voc* voc, VocId id)
    {
        std::vector<std::vector<uint16_t>> buffers(8, std::vector<uint16_t>(300, kPGPronEnd));
        std::vector<uint16_t*> ptrs;
        for (auto& b : buffers)
            ptrs.push_back(b.data());
        int32_t values[8];
        const int32_t n = Voc_GetMasterPronunciations(voc, id, 8, ptrs.data(), values);
        std::vector<std::vector<uint16_t>> out;
        for (int32_t k = 0; k < n && k < 8; ++k)
            out.emplace_back(buffers[k].begin(), std::find(buffers[k].begin(), buffers[k].end(), kPGPronEnd));
        return out;
    }

    static std::vector<uint16_t> cat(std::vector<uint16_t> a, const std::vector<uint16_t>& b)
    {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    }
};

TEST_F(FromTextTest, RepeatedUnknownTokensJoinTheirGeneratedProns)
{
    Voc* voc = build();
    const std::vector<uint16_t> base = generatedPron(voc, u"base");
    ASSERT_FALSE(base.empty());
    VocId id = 0;
    int32_t added = -1;
    EXPECT_EQ(Voc_AddWord(voc, u16(u"base base"), nullptr, nullptr, &id, &added), 0);
    EXPECT_EQ(added, 1);
    ASSERT_NE(id, kVocNoId);
    EXPECT_EQ(pronsOf(voc, id), (std::vector<std::vector<uint16_t>>{cat(base, base)}));
    EXPECT_EQ(m_fixture->id(u"base base"), id);
}

TEST_F(FromTextTest, AScriptChangePutsTheBoundaryPhonemeBetweenTokens)
{
    for (uint32_t boundary : {19u, 65535u}) {
        SCOPED_TRACE(boundary);
        Voc* voc = build(boundary);
        std::vector<uint16_t> expected = generatedPron(voc, u"base");
        if (boundary != 65535)
            expected.push_back(static_cast<uint16_t>(boundary));
        expected = cat(expected, m_fixture->pron("T AO"));
        expected.pop_back();   // the fixture's end mark
        VocId id = 0;
        int32_t added = -1;
        EXPECT_EQ(Voc_AddWord(voc, u16(u"base\u6771"), nullptr, nullptr, &id, &added), 0);
        EXPECT_EQ(added, 1);
        EXPECT_EQ(pronsOf(voc, id), (std::vector<std::vector<uint16_t>>{expected}));
    }
}

TEST_F(FromTextTest, KnownWordsBringTheirOwnPronsAndNoGeneratorMeansUnusable)
{
    Voc* voc = build();
    VocId id = 0;
    int32_t added = -1;
    EXPECT_EQ(Voc_AddWord(voc, u16(u"John New"), nullptr, nullptr, &id, &added), 0);
    EXPECT_EQ(added, 1);
    std::vector<uint16_t> john = m_fixture->pron("Z AA N"), newPron = m_fixture->pron("N UW");
    john.pop_back();
    newPron.pop_back();
    EXPECT_EQ(pronsOf(voc, id), (std::vector<std::vector<uint16_t>>{cat(john, newPron)}));

    VocabularyFixture::Options o = tokenizeOptions();
    o.generator = false;
    o.params = {{kBrevitParamGeneratedPronunciations, 1}, {kBrevitParamAlternativesLimit1, 3}};
    voc = words(tokenizeWords(), o).voc();
    const uint32_t crc = Voc_ComputeCRC(voc);
    EXPECT_EQ(Voc_AddWordFromText(voc, u16(u"base"), &id, &added), kVocAddUnusable);
    EXPECT_EQ(added, 0);
    EXPECT_EQ(Voc_ComputeCRC(voc), crc);
}

TEST_F(FromTextTest, EveryAllocationFailingInTurnLeavesTheVocabularyAsItWas)
{
    Voc* voc = build();
    const uint32_t crc = Voc_ComputeCRC(voc);
    for (uint64_t n = 1;; ++n) {
        SCOPED_TRACE(n);
        const uint64_t failures = m_allocator.failures();
        m_allocator.failAt(m_allocator.calls() + n);
        VocId id = 0;
        int32_t added = -1;
        int32_t result = -1;
        DVKErr_Protect([&] { result = Voc_AddWordFromText(voc, u16(u"base \u6771"), &id, &added); });
        m_allocator.failAt(0);
        if (m_allocator.failures() == failures) {
            EXPECT_EQ(result, 0);
            EXPECT_EQ(added, 1);
            break;
        }
        EXPECT_EQ(Voc_ComputeCRC(voc), crc);
    }
}

}  // namespace
