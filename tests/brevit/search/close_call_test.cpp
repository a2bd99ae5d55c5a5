// Close-call table and choice-list edits: recording and tightening pairs, a
// full table keeping the smallest keys, insertion into a sorted list against
// sorting the list by hand, splicing, and running out of memory.
#include "core/brevit/search/close_call.h"

#include "core/brevit/search/result_graph.h"
#include "tests/brevit/search/fake_vocabulary.h"
#include "tests/support/counting_allocator.h"
#include "tests/support/param_block_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

namespace {

class CloseCallTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks(); }

    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
    ScopedParamBlock m_params{ParamBlockBuilder().word(kBrevitParamCloseCallMaxKey, 100)};
};

TEST_F(CloseCallTest, PairsAreRecordedAndTightened)
{
    CloseCall* table = CloseCall_Create(7, 2);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->owner, 7);
    // Keyed by the loser's cost above the frame best (word 219 clear).
    CloseCall_FindOrAdd(table, 1, 2, 30, 9, nullptr);
    CloseCall_FindOrAdd(table, 1, 2, 40, 12, nullptr);  // larger key: stays
    CloseCall_FindOrAdd(table, 1, 2, 20, 5, nullptr);   // smaller key: taken with its difference
    ASSERT_EQ(table->count, 1);
    EXPECT_EQ(table->records[0].difference, 20);
    EXPECT_EQ(table->records[0].key, 5);
    CloseCall_FindOrAdd(table, 3, 4, 1, 9, nullptr);
    CloseCall_FindOrAdd(table, 5, 6, 1, 101, nullptr);  // above word 218: not recorded
    ASSERT_EQ(table->count, 2);
    CloseCall_FindOrAdd(table, 5, 6, 1, 9, nullptr);  // full, key 9 not below 9: dropped
    EXPECT_EQ(table->records[1].loser, 3u);
    CloseCall_FindOrAdd(table, 5, 6, 1, 7, nullptr);  // key 7 replaces key 9
    EXPECT_EQ(table->records[1].loser, 5u);
    EXPECT_EQ(table->records[1].key, 7);
    EXPECT_EQ(table->records[0].key, 5);
    const uint32_t crc = CloseCall_ComputeCRC(table);
    CloseCall_Reset(table);
    EXPECT_EQ(table->count, 0);
    EXPECT_NE(CloseCall_ComputeCRC(table), crc);
    CloseCall_Delete(table);
    CloseCall_Delete(nullptr);
}

TEST_F(CloseCallTest, KeyIsTheDifferenceWhenAsked)
{
    ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamCloseCallMaxKey, 100).word(kBrevitParamCloseCallKeyIsDifference, 1));
    CloseCall* table = CloseCall_Create(0, 4);
    ASSERT_NE(table, nullptr);
    CloseCall_FindOrAdd(table, 1, 2, 30, 99, nullptr);
    EXPECT_EQ(table->records[0].key, 30);
    CloseCall_Delete(table);
}

TEST_F(CloseCallTest, RecordsOrderByDifferenceKeyLoserWinner)
{
    std::vector<CloseCallRecord> records = {{5, 1, 3, 2}, {2, 9, 1, 8}, {4, 1, 1, 2}, {3, 1, 1, 2}, {3, 0, 1, 2}};
    std::sort(records.begin(), records.end(),
              [](const CloseCallRecord& a, const CloseCallRecord& b) { return CloseCall_CompareRecords(&a, &b) < 0; });
    const uint32_t losers[] = {3, 3, 4, 2, 5};
    const uint32_t winners[] = {0, 1, 1, 9, 1};
    for (size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(records[i].loser, losers[i]) << i;
        EXPECT_EQ(records[i].winner, winners[i]) << i;
    }
    EXPECT_EQ(CloseCall_CompareRecords(&records[0], &records[0]), 0);
}

TEST_F(CloseCallTest, CapacitiesThatCannotBeAddressedFail)
{
    for (int32_t capacity : {0, -1, 0x7FFFFFFF, 400000000})
        EXPECT_EQ(CloseCall_Create(0, capacity), nullptr) << capacity;
}

TEST_F(CloseCallTest, CreationFailsCleanlyWhenMemoryRunsOut)
{
    for (uint64_t n = 1;; ++n) {
        const uint64_t failures = m_allocator.failures();
        m_allocator.failAt(m_allocator.calls() + n);
        CloseCall* table = CloseCall_Create(0, 16);
        m_allocator.failAt(0);
        if (m_allocator.failures() == failures) {
            ASSERT_NE(table, nullptr);
            CloseCall_Delete(table);
            break;
        }
        EXPECT_EQ(table, nullptr);
        EXPECT_EQ(m_allocator.liveBlocks(), 0u) << n;
    }
}

LinChChoice choice(int32_t score, std::vector<uint16_t> words)
{
    LinChChoice c;
    std::memset(&c, 0, sizeof c);
    c.score = score;
    c.wordCount = static_cast<int32_t>(words.size());
    for (size_t i = 0; i < words.size(); ++i)
        c.words[i] = words[i];
    return c;
}

// The list by hand: a listed choice of the same words at or below the
// candidate's score refuses it, else those go; the candidate joins, the list
// is sorted and cut to the limit.
bool referenceInsert(std::vector<LinChChoice>& list, int32_t limit, const LinChChoice& candidate)
{
    for (const LinChChoice& c : list)
        if (CloseCall_CompareChoiceWords(&c, &candidate) == 0 && candidate.score >= c.score)
            return false;
    std::vector<LinChChoice> next;
    for (const LinChChoice& c : list)
        if (CloseCall_CompareChoiceWords(&c, &candidate) != 0)
            next.push_back(c);
    next.push_back(candidate);
    std::stable_sort(next.begin(), next.end(),
                     [](const LinChChoice& a, const LinChChoice& b) { return CloseCall_CompareChoices(&a, &b) < 0; });
    const bool last = CloseCall_CompareChoices(&next.back(), &candidate) == 0;
    if (static_cast<int32_t>(next.size()) > limit) {
        if (last)
            return false;
        next.resize(static_cast<size_t>(limit));
    }
    list = next;
    return true;
}

TEST_F(CloseCallTest, InsertionMatchesSortingByHand)
{
    std::mt19937 rng(212);
    for (int round = 0; round < 400; ++round) {
        const int32_t limit = 1 + static_cast<int32_t>(rng() % 5);
        std::vector<LinChChoice> reference;
        std::vector<LinChChoice> list(static_cast<size_t>(limit));
        int32_t count = 0;
        for (int step = 0; step < 12; ++step) {
            std::vector<uint16_t> words(rng() % 3);
            for (uint16_t& w : words)
                w = static_cast<uint16_t>(rng() % 2);
            const LinChChoice candidate = choice(static_cast<int32_t>(rng() % 6), words);
            const bool expected = referenceInsert(reference, limit, candidate);
            const int32_t hinted = CloseCall_InsertChoice(list.data(), limit, limit, &count, &candidate);
            ASSERT_EQ(count, static_cast<int32_t>(reference.size())) << round << " " << step;
            for (int32_t i = 0; i < count; ++i) {
                ASSERT_EQ(CloseCall_CompareChoices(&list[static_cast<size_t>(i)], &reference[static_cast<size_t>(i)]), 0)
                    << round << " " << step << " " << i;
            }
            EXPECT_EQ(hinted, expected ? 1 : 0) << "every position lies at or before a hint of the limit";
        }
    }
}

TEST_F(CloseCallTest, InsertionReportsWhereItLanded)
{
    std::vector<LinChChoice> list(4);
    int32_t count = 0;
    const LinChChoice a = choice(10, {1});
    const LinChChoice b = choice(20, {2});
    const LinChChoice c = choice(5, {3});
    EXPECT_EQ(CloseCall_InsertChoice(list.data(), 0, 4, &count, &a), 1);
    EXPECT_EQ(CloseCall_InsertChoice(list.data(), 0, 4, &count, &b), 0) << "went in behind the hint";
    EXPECT_EQ(CloseCall_InsertChoice(list.data(), 0, 4, &count, &c), 1);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(list[0].score, 5);
}

TEST_F(CloseCallTest, SpliceJoinsGivenWordsAndTheBaseTail)
{
    LinChChoice base = choice(0, {1, 2, 3, 4});
    for (int i = 0; i < 4; ++i)
        base.endFrames[i] = static_cast<int16_t>(10 * (i + 1));
    const uint16_t words[] = {7, 8};
    const uint32_t members[] = {70, 80};
    const uint8_t starts[] = {1, 0};
    const uint32_t classes[] = {5, 6};
    const int16_t frames[] = {3, 6};
    LinChChoice out = choice(0, {});
    CloseCall_SpliceChoice(&out, &base, words, members, starts, classes, frames, 2, 3);
    ASSERT_EQ(out.wordCount, 3);
    const uint16_t expected[] = {7, 8, 4};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(out.words[i], expected[i]);
    EXPECT_EQ(out.members[1], 80u);
    EXPECT_EQ(out.classes[0], 5u);
    EXPECT_EQ(out.endFrames[2], 40);
    // Past the record's 59 words the choice comes out empty.
    std::vector<uint16_t> long_(57, 1);
    LinChChoice longBase = choice(0, long_);
    CloseCall_SpliceChoice(&out, &longBase, words, members, starts, classes, frames, 2, 0);
    EXPECT_EQ(out.wordCount, 59);
    const uint16_t three[] = {1, 2, 3};
    const uint32_t m3[] = {0, 0, 0};
    const uint8_t s3[] = {0, 0, 0};
    const int16_t f3[] = {0, 0, 0};
    CloseCall_SpliceChoice(&out, &longBase, three, m3, s3, m3, f3, 3, 0);
    EXPECT_EQ(out.wordCount, 0);
}

TEST_F(CloseCallTest, SameNodeChoicesKeepTheEarlier)
{
    std::vector<LinChChoice> list = {choice(1, {1}), choice(2, {2}), choice(3, {3}), choice(4, {4})};
    const int32_t nodes[] = {8, 9, 8, 8};
    for (size_t i = 0; i < list.size(); ++i)
        list[i].endNode = nodes[i];
    int32_t count = 4;
    CloseCall_RemoveSameNodeChoices(list.data(), &count);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(list[0].score, 1);
    EXPECT_EQ(list[1].score, 2);
}

TEST_F(CloseCallTest, DuplicatesKeepTheEarlier)
{
    // Prons 1 and 2 spell active word 10, pron 3 active word 11.
    FakeVocabulary vocabulary({{10, {1, 2}}, {11, {3}}});
    struct Case {
        uint32_t samePron;
        uint32_t compareMembers;
        std::vector<int32_t> kept;  // scores left
    };
    const Case cases[] = {
        {0, 0, {1, 3}},     // prons 1 and 2 are one active word
        {1, 0, {1, 2, 3}},  // different prons differ
        {0, 1, {1, 3, 4}},  // a member apart keeps the choice
    };
    for (const Case& c : cases) {
        ScopedParamBlock params(ParamBlockBuilder()
                                    .word(kBrevitParamDuplicateByPronIds, c.samePron)
                                    .word(kBrevitParamCloseCallMembers, c.compareMembers));
        std::vector<LinChChoice> list = {choice(1, {3, 1}), choice(2, {3, 2}), choice(3, {1}), choice(4, {3, 1})};
        list[3].members[1] = 7;
        int32_t count = 4;
        CloseCall_RemoveDuplicateChoices(vocabulary.voc(), list.data(), &count);
        std::vector<int32_t> scores;
        for (int32_t i = 0; i < count; ++i)
            scores.push_back(list[static_cast<size_t>(i)].score);
        EXPECT_EQ(scores, c.kept) << c.samePron << c.compareMembers;
    }
}

TEST_F(CloseCallTest, ChoicesAreFilledFromTheirEndNodes)
{
    ResultGraph* graph = ResultGraph_Create(64);
    ASSERT_NE(graph, nullptr);
    // Constraint 2, states 5 and 6, the second word flagged.
    const uint32_t a = ResultGraph_AddNode(graph, kResultGraphNone, 4, 0, (2u << 21) | (5u << 3), 0, 0, 3);
    const uint32_t b = ResultGraph_AddNode(graph, a, 9, 1u << 10, (2u << 21) | (6u << 3), 1, 0, 8);
    Constraint* table[3] = {nullptr, nullptr, reinterpret_cast<Constraint*>(&graph)};
    std::vector<LinChChoice> choices = {choice(0, {}), choice(0, {})};
    choices[0].endNode = static_cast<int32_t>(b);
    choices[1].endNode = static_cast<int32_t>(a);
    CloseCall_FillChoicesFromGraph(graph, nullptr, table, choices.data(), 2);
    ASSERT_EQ(choices[0].wordCount, 2);
    EXPECT_EQ(choices[0].words[0], 4);
    EXPECT_EQ(choices[0].words[1], 9);
    EXPECT_EQ(choices[0].states[1], 6u);
    EXPECT_EQ(choices[0].members[1], 1u);
    EXPECT_EQ(choices[0].startFlags[0], 1);
    EXPECT_EQ(choices[0].startFlags[1], 1);
    EXPECT_EQ(choices[0].flags[0], 0);
    EXPECT_EQ(choices[0].flags[1], 1);
    EXPECT_EQ(choices[0].classes[0], 0u) << "no class manager";
    EXPECT_EQ(choices[0].constraint, table[2]);
    EXPECT_EQ(choices[1].wordCount, 1);
    EXPECT_EQ(ClassManager_GetMemberClass(nullptr, 3, 7), 0);
    ResultGraph_Delete(graph);
}

}  // namespace
