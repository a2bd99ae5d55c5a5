// The transcription constraint: items of alternative prons walked one by
// one, its parse, reverse check, word removal, ending phonemes and checksum.
#include "core/brevit/search/transcription_constraint.h"

#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/brevit/search/constraint_test.h"
#include "tests/brevit/search/fake_vocabulary.h"
#include "tests/support/param_block_builder.h"

#include <tuple>
#include <vector>

namespace {

using Offer = std::tuple<uint16_t, ActiveId, uint32_t>;
using Offers = std::vector<Offer>;
using Prons = std::vector<uint16_t>;

uint32_t vocId(uint16_t word) { return kFakeVocActiveKind | word; }

class TranscriptionTest : public ConstraintTest {
protected:
    void TearDown() override
    {
        for (Constraint* con : m_made)
            Constraint_Delete(con, 0);
        ConstraintTest::TearDown();
    }

    // Words 1 {5, 6}, 2 {7}, 3 {8, 9}, 4 {10}.
    Constraint* words(const std::vector<uint32_t>& ids, int32_t request = 0)
    {
        m_made.push_back(Constraint_CreateWordIdTranscriptionConstraint(ids.data(), static_cast<int32_t>(ids.size()),
                                                                        m_vocabulary.voc(), request));
        return m_made.back();
    }

    static Offers offers(Constraint* con, uint16_t previous, uint64_t p, uint16_t restrict = kConstraintNoPron)
    {
        ConstraintIterator it;
        Constraint_IteratorInit(con, &it, previous, 0, (uint64_t{2} << 53) + p, restrict);
        Offers out;
        ConstraintSuccessor s{};
        while (Constraint_IteratorNext(con, &it, &s) != 0)
            out.emplace_back(s.member, s.next, s.final);
        return out;
    }

    static ActiveId position(uint64_t p) { return (uint64_t{2} << 53) + p; }

    FakeVocabulary m_vocabulary{
        std::map<uint16_t, std::vector<uint16_t>>{{1, {5, 6}}, {2, {7}}, {3, {8, 9}}, {4, {10}}}};
    std::vector<Constraint*> m_made;
};

TEST_F(TranscriptionTest, ItemsAreWalkedInOrder)
{
    Constraint* con = words({vocId(1), vocId(2), vocId(3)});
    EXPECT_STREQ(con->name, " XTR ");
    EXPECT_EQ(offers(con, kConstraintSilencePron, 0), (Offers{{5, position(1), 0}, {6, position(1), 0}}));
    EXPECT_EQ(offers(con, 7, 2), (Offers{{8, position(3), 1}, {9, position(3), 1}}));
    EXPECT_EQ(offers(con, 9, 3), Offers{});
    // Restricted: the pron once when the item holds it.
    EXPECT_EQ(offers(con, 5, 1, 7), (Offers{{7, position(2), 0}}));
    EXPECT_EQ(offers(con, 5, 1, 8), Offers{});
    // Each mode builds the same items.
    const Prons prons{5, 7};
    const Prons active{1, 2};
    Constraint* byPron = Constraint_CreatePronTranscriptionConstraint(prons.data(), 2, m_vocabulary.voc(), 0);
    Constraint* byWord = Constraint_CreatePhraseTranscriptionConstraint(active.data(), 2, m_vocabulary.voc(), 0);
    m_made.push_back(byPron);
    m_made.push_back(byWord);
    EXPECT_EQ(offers(byPron, kConstraintSilencePron, 0), (Offers{{5, position(1), 0}}));
    EXPECT_EQ(offers(byWord, kConstraintSilencePron, 0), (Offers{{5, position(1), 0}, {6, position(1), 0}}));
}

TEST_F(TranscriptionTest, WordOrderSkipsAPronThatMayNotFollow)
{
    ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamCanFollowCheck, 1));
    Constraint* con = words({vocId(2), vocId(1)});
    m_vocabulary.forbidFollowing(7, 5);
    EXPECT_EQ(offers(con, 7, 1), (Offers{{6, position(2), 1}}));
    EXPECT_EQ(offers(con, 7, 1, 5), Offers{});
    EXPECT_EQ(offers(con, 7, 1, 6), (Offers{{6, position(2), 1}}));
}

TEST_F(TranscriptionTest, ParsesOnlyItsOwnLengthAndWords)
{
    Constraint* con = words({vocId(1), vocId(2), vocId(3)});
    struct Row {
        std::vector<uint32_t> words;
        int32_t parsed;
    };
    const std::vector<Row> rows{
        {{vocId(1), vocId(2), vocId(3)}, 1}, {{vocId(1), vocId(2)}, 0}, {{vocId(1), vocId(2), vocId(4)}, 0},
        {{vocId(1), vocId(9), vocId(3)}, 0}, {{vocId(2), vocId(1), vocId(3)}, 0},
    };
    for (const Row& row : rows) {
        uint32_t classes[3] = {7, 7, 7};
        uint8_t flags[3] = {7, 7, 7};
        int32_t cost = -1;
        EXPECT_EQ(con->ops.FindParse(con, static_cast<int32_t>(row.words.size()), row.words.data(), classes, &cost,
                                     flags),
                  row.parsed);
        if (row.parsed != 0) {
            EXPECT_EQ(cost, 0);
            EXPECT_EQ(std::vector<uint8_t>(flags, flags + 3), (std::vector<uint8_t>{1, 0, 0}));
            EXPECT_EQ(std::vector<uint32_t>(classes, classes + 3), (std::vector<uint32_t>{0, 0, 0}));
        }
    }
}

TEST_F(TranscriptionTest, EndingsAreCheckedLatestFirst)
{
    Constraint* con = words({vocId(1), vocId(2), vocId(3)});
    struct Row {
        Prons latestFirst;
        int32_t legal;
    };
    for (const Row& row : {Row{{}, 1}, Row{{9}, 1}, Row{{8, 7}, 1}, Row{{8, 7, 6}, 1}, Row{{7}, 0}, Row{{8, 5}, 0},
                           Row{{8, 7, 6, 5}, 0}})
        EXPECT_EQ(Constraint_AnyIsLegalPronEndingReverse(&con, 1, row.latestFirst.data(),
                                                         static_cast<int32_t>(row.latestFirst.size())),
                  row.legal)
            << ::testing::PrintToString(row.latestFirst);
}

TEST_F(TranscriptionTest, RemovingAWordItUsesDisablesIt)
{
    Constraint* con = words({vocId(1), vocId(2), vocId(3)}, 1);
    EXPECT_EQ(Constraint_RemoveActiveId(con, 4), 1);
    EXPECT_EQ(offers(con, 5, 1).size(), 1u);
    EXPECT_EQ(Constraint_RemoveActiveId(con, 2), 0);
    for (uint64_t p = 0; p < 4; ++p)
        EXPECT_EQ(offers(con, 5, p), Offers{}) << p;
    // Nothing is read of the disabled tables.
    const uint16_t* phonemes = nullptr;
    EXPECT_EQ(Constraint_GetEndingPhns(con, 0, position(0), &phonemes), 0);
    const uint16_t latest[1] = {9};
    EXPECT_EQ(con->ops.IsLegalPronEndingReverse(con, latest, 1), 0);
}

TEST_F(TranscriptionTest, EndingPhonemesListEachFirstPhonemeOnce)
{
    m_vocabulary.setRecogPron(5, {40, 41});
    m_vocabulary.setRecogPron(6, {40, 42});
    m_vocabulary.setRecogPron(7, {43});
    Constraint* con = words({vocId(1), vocId(2)}, 1);
    const uint16_t* phonemes = nullptr;
    ASSERT_EQ(Constraint_GetEndingPhns(con, 0, position(0), &phonemes), 1);
    EXPECT_EQ(phonemes[0], 40);
    ASSERT_EQ(Constraint_GetEndingPhns(con, 0, position(1), &phonemes), 1);
    EXPECT_EQ(phonemes[0], 43);
    EXPECT_EQ(Constraint_GetEndingPhns(con, 0, position(2), &phonemes), 0);
    EXPECT_EQ(Constraint_GetEndingPhns(con, 0, position(9), &phonemes), 0);
    EXPECT_EQ(Constraint_GetEndingPhns(words({vocId(1)}), 0, position(0), &phonemes), 65535);
}

TEST_F(TranscriptionTest, Checksums)
{
    FakeVocabulary items(std::map<uint16_t, std::vector<uint16_t>>{{1, {5, 6}}, {2, {7}}});
    const std::vector<uint32_t> ids{vocId(1), vocId(2)};
    Constraint* con = Constraint_CreateWordIdTranscriptionConstraint(ids.data(), 2, items.voc(), 0);
    m_made.push_back(con);
    EXPECT_EQ(Constraint_ComputeCRC(con, 0), 0x3A686A53u);
    EXPECT_EQ(Constraint_RemoveActiveId(con, 2), 0);
    EXPECT_EQ(Constraint_ComputeCRC(con, 0), 0x0D9E5582u);
}

TEST_F(TranscriptionTest, AnItemHoldsAtMostTwoHundredProns)
{
    std::vector<uint16_t> many;
    for (uint16_t p = 100; p < 350; ++p)
        many.push_back(p);
    FakeVocabulary big(std::map<uint16_t, std::vector<uint16_t>>{{1, many}, {2, {7}}});
    const std::vector<uint32_t> ids{vocId(1), vocId(2)};
    auto* t = reinterpret_cast<TranscriptionConstraint*>(
        Constraint_CreateWordIdTranscriptionConstraint(ids.data(), 2, big.voc(), 1));
    ASSERT_NE(t, nullptr);
    m_made.push_back(&t->head);
    EXPECT_EQ(t->pronOffsets[1], 200u);
    EXPECT_EQ(t->pronOffsets[2], 201u);
    EXPECT_EQ(std::vector<uint16_t>(t->pronIds, t->pronIds + 200), std::vector<uint16_t>(many.begin(), many.begin() + 200));
    EXPECT_EQ(t->pronIds[200], 7);
    EXPECT_EQ(t->phonemeOffsets[1], 200u);
}

TEST_F(TranscriptionTest, CreationFailingAtEachAllocationGivesNull)
{
    const std::vector<uint32_t> ids{vocId(1), vocId(3)};
    for (uint64_t k = 1;; ++k) {
        const uint64_t failures = m_allocator.failures();
        m_allocator.failAt(m_allocator.calls() + k);
        Constraint* con = Constraint_CreateWordIdTranscriptionConstraint(ids.data(), 2, m_vocabulary.voc(), 1);
        const bool failed = m_allocator.failures() != failures;
        m_allocator.failAt(0);
        if (!failed) {
            ASSERT_NE(con, nullptr);
            Constraint_Delete(con, 0);
            break;
        }
        EXPECT_EQ(con, nullptr) << "allocation " << k;
    }
}

} // namespace
