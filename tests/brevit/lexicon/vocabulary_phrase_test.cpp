#include "tests/brevit/lexicon/vocabulary_tokenize_test.h"

#include "core/brevit/lexicon/mwl_dynamic.h"
#include "core/brevit/runtime/dvk_err.h"

namespace {

class PhraseTest : public TokenizeTest {
protected:
    Voc* build(uint32_t generated, bool generator = true)
    {
        VocabularyFixture::Options o = tokenizeOptions();
        o.generator = generator;
        o.params = {{kBrevitParamGeneratedPronunciations, generated}, {kBrevitParamAlternativesLimit1, 3}};
        return words(tokenizeWords(), o).voc();
    }

    struct Phrase {
        int32_t result;
        std::vector<VocId> ids;
        std::vector<int32_t> flags;
    };

    Phrase activate(Voc* voc, const std::u16string& text, int32_t max = 8)
    {
        std::vector<VocId> ids(static_cast<size_t>(max), 0xEEEEEEEE);
        std::vector<int32_t> flags(static_cast<size_t>(max), -7);
        int32_t count = -1;
        const int32_t r = Voc_MakePhraseActive(voc, VocabularyFixture::units(text), 0, max, ids.data(), &count,
                                               flags.data());
        ids.resize(static_cast<size_t>(std::max(count, 0)));
        flags.resize(ids.size());
        return {r, ids, flags};
    }

    std::vector<std::vector<uint16_t>> pronsOf(Voc* voc, VocId id)
    {
        std::vector<std::vector<uint16_t>> buffers(4, std::vector<uint16_t>(300, kPGPronEnd));
        std::vector<uint16_t*> ptrs;
        for (auto& b : buffers)
            ptrs.push_back(b.data());
        int32_t values[4];
        const int32_t n = Voc_GetMasterPronunciations(voc, id, 4, ptrs.data(), values);
        std::vector<std::vector<uint16_t>> out;
        for (int32_t k = 0; k < n && k < 4; ++k)
            out.emplace_back(buffers[k].begin(), std::find(buffers[k].begin(), buffers[k].end(), kPGPronEnd) + 1);
        return out;
    }
};

TEST_F(PhraseTest, WithoutGeneratedPronsOnlyAWholeWordWithoutSpokenFormCounts)
{
    Voc* voc = build(0);
    const Phrase john = activate(voc, u"John");
    EXPECT_EQ(john.result, 0);
    EXPECT_EQ(john.ids, std::vector<VocId>{w(u"John")});
    for (const char16_t* text : {u"New York", u"Boston", u"  ", u""}) {
        const Phrase p = activate(voc, text);
        EXPECT_EQ(p.result, 1);
        EXPECT_TRUE(p.ids.empty());
    }
}

TEST_F(PhraseTest, TokensAreFoundOrAddedWithTheirProns)
{
    Voc* voc = build(1);
    Phrase p = activate(voc, u"New York John");
    EXPECT_EQ(p.result, 0);
    EXPECT_EQ(p.ids, (std::vector<VocId>{w(u"New York", u"new york"), w(u"John")}));
    EXPECT_EQ(p.flags, (std::vector<int32_t>{0, 0}));

    p = activate(voc, u"John base");
    EXPECT_EQ(p.result, 0);
    ASSERT_EQ(p.ids.size(), 2u);
    EXPECT_EQ(p.ids[0], w(u"John"));
    EXPECT_EQ(p.ids[1], w(u"base"));
    EXPECT_NE(p.ids[1], kVocNoId);
    EXPECT_EQ(p.flags, (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(pronsOf(voc, p.ids[1]).size(), 1u);

    p = activate(voc, u"bass bass");
    EXPECT_EQ(p.result, 0);
    ASSERT_EQ(p.ids.size(), 2u);
    EXPECT_EQ(p.ids[0], p.ids[1]);
    EXPECT_EQ(p.flags, (std::vector<int32_t>{1, 1}));

    p = activate(voc, u"JOHN base");
    EXPECT_EQ(p.result, 0);
    ASSERT_EQ(p.ids.size(), 2u);
    EXPECT_EQ(p.ids[0], w(u"JOHN"));
    EXPECT_NE(p.ids[0], w(u"John"));
    EXPECT_EQ(pronsOf(voc, p.ids[0]), std::vector<std::vector<uint16_t>>{m_fixture->pron("Z AA N")});
    EXPECT_EQ(p.flags, (std::vector<int32_t>{1, 0}));
}

TEST_F(PhraseTest, APieceOfSeveralTokensBecomesOneWordOfJoinedProns)
{
    Voc* voc = build(1);
    const std::vector<uint16_t> base = pronsOf(voc, activate(voc, u"base").ids.at(0)).at(0);
    const Phrase p = activate(voc, u"John,base");
    EXPECT_EQ(p.result, 0);
    ASSERT_EQ(p.ids.size(), 1u);
    EXPECT_EQ(p.flags, std::vector<int32_t>{1});
    std::vector<uint16_t> joined = m_fixture->pron("Z AA N");
    joined.pop_back();
    joined.insert(joined.end(), base.begin(), base.end());
    EXPECT_EQ(pronsOf(voc, p.ids[0]), std::vector<std::vector<uint16_t>>{joined});
}

// Each piece joins the prons of its own tokens only.
TEST_F(PhraseTest, EveryPieceJoinsItsOwnTokens)
{
    Voc* voc = build(1);
    const Phrase p = activate(voc, u"John,b b,a a.John");
    EXPECT_EQ(p.result, 0);
    ASSERT_EQ(p.ids.size(), 3u);
    EXPECT_EQ(p.flags, (std::vector<int32_t>{1, 1, 1}));
    auto joined = [&](const char* a, const char* b) {
        std::vector<uint16_t> first = m_fixture->pron(a), second = m_fixture->pron(b);
        first.pop_back();
        first.insert(first.end(), second.begin(), second.end());
        return std::vector<std::vector<uint16_t>>{first};
    };
    EXPECT_EQ(pronsOf(voc, p.ids[0]), joined("Z AA N", "B IY"));
    EXPECT_EQ(pronsOf(voc, p.ids[1]), joined("B IY", "EY"));
    EXPECT_EQ(pronsOf(voc, p.ids[2]).size(), 1u);
}

// More pieces than room: the first max pieces become their words (found
// or added) and nothing is written past max.
TEST_F(PhraseTest, MorePiecesThanRoomWriteTheFirstOnes)
{
    Voc* voc = build(1);
    Phrase p = activate(voc, u"a b a b a", 2);
    EXPECT_EQ(p.result, 0);
    EXPECT_EQ(p.ids, (std::vector<VocId>{w(u"a"), w(u"b")}));
    EXPECT_EQ(p.flags, (std::vector<int32_t>{0, 0}));

    std::vector<VocId> ids(3, 0xEEEEEEEE);
    std::vector<int32_t> flags(3, -7);
    int32_t count = -1;
    EXPECT_EQ(Voc_MakePhraseActive(voc, VocabularyFixture::units(u"base John bass"), 0, 2, ids.data(), &count,
                                   flags.data()),
              0);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(ids[0], w(u"base"));
    EXPECT_NE(ids[0], kVocNoId);
    EXPECT_EQ(ids[1], w(u"John"));
    EXPECT_EQ(flags[0], 1);
    EXPECT_EQ(flags[1], 0);
    EXPECT_EQ(ids[2], 0xEEEEEEEEu);
    EXPECT_EQ(flags[2], -7);
}

TEST_F(PhraseTest, WithoutAGeneratorUnknownTokensAreUnusable)
{
    Voc* voc = build(1, false);
    const uint32_t crc = Voc_ComputeCRC(voc);
    const Phrase p = activate(voc, u"John base");
    EXPECT_EQ(p.result, 1);
    EXPECT_TRUE(p.ids.empty());
    EXPECT_EQ(Voc_ComputeCRC(voc), crc);
}

// The run-time store filled to its last record: the add of the second
// token is refused, the first token's word is removed again.
TEST_F(PhraseTest, ARefusedAddTakesBackTheWordsOfTheCall)
{
    Voc* voc = build(1);
    const std::vector<uint16_t> pron = m_fixture->pron("B AA");
    const uint16_t* prons[] = {pron.data()};
    for (uint32_t k = 0;; ++k) {
        const std::u16string text = u"w" + std::u16string(1, static_cast<char16_t>(u'a' + k % 26)) +
                                    std::u16string(1, static_cast<char16_t>(u'a' + k / 26 % 26)) +
                                    std::u16string(1, static_cast<char16_t>(u'a' + k / 676 % 26)) +
                                    std::u16string(1, static_cast<char16_t>(u'a' + k / 17576));
        uint32_t id = 0;
        if (MWL_AddWordWithPronunciations(voc->wordList, VocabularyFixture::units(text), nullptr, 1, prons, 0, 0,
                                          &id) != kMWLAddDone)
            break;
        ASSERT_LT(k, kMWLDynamicMostRecords);
    }
    const uint32_t crc = Voc_ComputeCRC(voc);
    const Phrase p = activate(voc, u"John base");
    EXPECT_EQ(p.result, kMWLAddRefused);
    EXPECT_TRUE(p.ids.empty());
    EXPECT_EQ(Voc_ComputeCRC(voc), crc);
    // Room for one word: the first new token is added and taken back when
    // the second is refused (the store keeps what it grew, so its CRC is
    // no witness here), after which the room is there again.
    const uint32_t first = MWL_GetId(voc->wordList, VocabularyFixture::units(u"waaaa"), nullptr, 0);
    int32_t freed = 0;
    ASSERT_EQ(MWL_RemoveWord(voc->wordList, first, &freed), 1);
    const Phrase q = activate(voc, u"base bass");
    EXPECT_EQ(q.result, kMWLAddRefused);
    EXPECT_TRUE(q.ids.empty());
    EXPECT_EQ(w(u"base"), kVocNoId);
    EXPECT_EQ(w(u"bass"), kVocNoId);
    const Phrase r = activate(voc, u"John base");
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.flags, (std::vector<int32_t>{0, 1}));
}

TEST_F(PhraseTest, EveryAllocationFailingInTurnAddsNothing)
{
    Voc* voc = build(1);
    const uint32_t crc = Voc_ComputeCRC(voc);
    for (uint64_t n = 1;; ++n) {
        SCOPED_TRACE(n);
        const uint64_t failures = m_allocator.failures();
        m_allocator.failAt(m_allocator.calls() + n);
        Phrase p{-1, {}, {}};
        const int raised = DVKErr_Protect([&] { p = activate(voc, u"base John base"); });
        m_allocator.failAt(0);
        if (m_allocator.failures() == failures) {
            EXPECT_EQ(p.result, 0);
            EXPECT_EQ(p.ids.size(), 3u);
            break;
        }
        if (!raised) {
            EXPECT_NE(p.result, 0);
            EXPECT_TRUE(p.ids.empty());
        }
        EXPECT_EQ(Voc_ComputeCRC(voc), crc);
    }
}

}  // namespace
