// Phrase index: the log tables, counting, the word-pair model and retrieval
// of a fixed class, and random classes against a reference in doubles.
#include "core/brevit/lexicon/ir.h"

#include "core/brevit/lexicon/ir_parts.h"
#include "tests/brevit/lexicon/ir_test_base.h"
#include "tests/support/phrase_index_reference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace {

class IRTest : public IRTestBase {
protected:
    // Words a = 1, b = 2, c = 3; phrases "a b" (100), "a c" (101), "b" (102).
    IRClass* fixedClass()
    {
        EXPECT_EQ(IR_CreateClass(index(), "titles", 1), 0);
        EXPECT_EQ(add("titles", {1, 2}, 100), 1);
        EXPECT_EQ(add("titles", {1, 3}, 101), 1);
        EXPECT_EQ(add("titles", {2}, 102), 1);
        return IR_GetClass(index(), 0);
    }

    int16_t transition(uint16_t previous, uint16_t next)
    {
        return IR_ScoreWordTransition(index(), 0, 0, &previous, next);
    }

    std::vector<int16_t> context(uint16_t word, const std::vector<uint16_t>& ids)
    {
        std::vector<int16_t> out(ids.size());
        IR_GetTransitionScores(index(), 0, word, static_cast<int32_t>(ids.size()), ids.data(), out.data());
        return out;
    }

    std::vector<std::pair<uint32_t, int32_t>> matches(const std::vector<uint16_t>& ids)
    {
        uint32_t phraseIds[16];
        int32_t scores[16];
        const int32_t n = IR_GetMatches(index(), "titles", static_cast<int32_t>(ids.size()), ids.data(), 16,
                                        phraseIds, scores);
        std::vector<std::pair<uint32_t, int32_t>> out;
        for (int32_t i = 0; i < n; ++i)
            out.emplace_back(phraseIds[i], scores[i]);
        return out;
    }
};

TEST_F(IRTest, TablesFollowTheirRulesAndListedValues)
{
    const IRTables& t = IR_GetTables();
    const std::vector<std::pair<int, int>> logN = {{0, 255}, {1, 0}, {2, 14}, {3, 22}, {10, 46}, {100, 92}, {256, 111}};
    for (auto [n, v] : logN)
        EXPECT_EQ(t.logN[n], v) << n;
    for (int i = 0; i < 256; ++i) {
        const int bits = i == 0 ? 0 : static_cast<int>(std::floor(std::log2(i))) + 1;
        EXPECT_EQ(t.shiftP[i], bits) << i;
        EXPECT_EQ(t.shiftPower[i], bits) << i;
    }
    EXPECT_EQ(std::vector<int>(t.pLogTwo, t.pLogTwo + 16),
              (std::vector<int>{0, 14, 28, 42, 55, 69, 83, 97, 111, 125, 139, 152, 166, 180, 194, 208}));
    EXPECT_EQ(std::vector<int>(t.logAddCorrection, t.logAddCorrection + 10),
              (std::vector<int>{14, 13, 13, 12, 12, 12, 11, 11, 10, 10}));
    EXPECT_EQ(t.logAddCorrection[51], 2);
    for (int d = 52; d < 74; ++d)
        EXPECT_EQ(t.logAddCorrection[d], 1) << d;
    EXPECT_EQ(std::vector<int>(t.weight, t.weight + 21),
              (std::vector<int>{255, 60, 46, 38, 32, 28, 24, 21, 18, 16, 14, 12, 10, 9, 7, 6, 4, 3, 2, 1, 0}));
    EXPECT_EQ(t.inverse[0], 256);
    for (int i = 1; i < 128; ++i)
        EXPECT_EQ(t.inverse[i], 32768 / (128 + i)) << i;
    EXPECT_EQ(t.inverse[1], 254);
    EXPECT_EQ(t.inverse[127], 128);
    EXPECT_EQ(t.sqrtOne[0], 46341);
    EXPECT_EQ(t.sqrtOne[127], 65408);
    EXPECT_EQ(t.sqrtTwo[0], 32768);
    EXPECT_EQ(t.sqrtTwo[127], 46250);
}

TEST_F(IRTest, LogNAndLogAddStayCloseToTheirDoubles)
{
    EXPECT_EQ(IR_LogN(1000), 138);
    EXPECT_EQ(IR_LogN(256), 111);
    EXPECT_EQ(IR_LogN(257), 111);
    double worst = 0;
    for (uint32_t x = 1; x <= 0x3FFFF; ++x)
        worst = std::max(worst, std::fabs(IR_LogN(x) - 20.0 * std::log(static_cast<double>(x))));
    EXPECT_LT(worst, 1.0);
    EXPECT_EQ(IR_LogAdd(100, 100), 86);
    EXPECT_EQ(IR_LogAdd(100, 174), 100);
    EXPECT_EQ(IR_LogAdd(174, 100), 100);
    for (int a = 0; a < 400; a += 7)
        for (int b = 0; b < 400; b += 3) {
            const double exact = -20.0 * std::log(std::exp(-a / 20.0) + std::exp(-b / 20.0));
            EXPECT_NEAR(IR_LogAdd(a, b), exact, 0.5 + 1e-9) << a << " " << b;
        }
}

TEST_F(IRTest, FixedClassCountsAndCosts)
{
    IRClass* c = fixedClass();
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->costW, 24);
    EXPECT_EQ(c->costOneMinusW, 7);
    EXPECT_EQ(c->totalCount, 8u);
    EXPECT_EQ(c->words[0].count, 3u);
    EXPECT_EQ(c->words[IRClass_Map(c, 1)].count, 2u);
    EXPECT_EQ(c->words[IRClass_Map(c, 2)].count, 2u);
    EXPECT_EQ(c->words[IRClass_Map(c, 3)].count, 1u);
    EXPECT_EQ(c->logTotal, 42);
    ASSERT_EQ(IR_PrepareClassScores(index(), 0), 1);
    const uint16_t all[] = {1, 2, 3};
    int16_t start[3];
    IR_GetStartScores(index(), 0, 3, all, start);
    EXPECT_EQ(c->startScores[0], 44);
    EXPECT_EQ(std::vector<int16_t>(start, start + 3), (std::vector<int16_t>{12, 23, 66}));
    EXPECT_EQ(transition(1, 2), 17);
    EXPECT_EQ(transition(1, 3), 19);
    EXPECT_EQ(transition(2, 1), 52);
    EXPECT_EQ(transition(3, 2), 52);
    EXPECT_EQ(transition(65533, 1), 12);
    EXPECT_EQ(transition(2, 65532), 4);
    EXPECT_EQ(IR_ScoreWordEndInClass(index(), 0, 1), 44);
    EXPECT_EQ(IR_ScoreWordEndInClass(index(), 0, 2), 4);
    EXPECT_EQ(IR_ScoreWordEndInClass(index(), 0, 3), 4);
    EXPECT_EQ(context(1, {1, 2, 3}), (std::vector<int16_t>{52, 17, 19}));
    EXPECT_EQ(context(1, {1, 2, 3}), (std::vector<int16_t>{52, 17, 19}));
    context(2, {1});
    EXPECT_EQ(context(1, {1, 2, 3}), (std::vector<int16_t>{52, 17, 19}));
    // A context word outside the class leaves the back-off costs.
    EXPECT_EQ(context(200, {1, 2, 3}), (std::vector<int16_t>{52, 52, 66}));

    // Scanning and binary search find the same entries.
    for (uint32_t scanBelow : {1u, 100u}) {
        m_params.words[621] = scanBelow;
        EXPECT_EQ(transition(1, 2), 17) << scanBelow;
        EXPECT_EQ(transition(1, 3), 19) << scanBelow;
        EXPECT_EQ(transition(2, 3), 66) << scanBelow;
    }
}

TEST_F(IRTest, WithoutPairStartsEveryStartIsBackOffLessKw)
{
    m_params.words[626] = 1;
    fixedClass();
    const uint16_t all[] = {1, 2, 3};
    int16_t start[3];
    IR_GetStartScores(index(), 0, 3, all, start);
    EXPECT_EQ(std::vector<int16_t>(start, start + 3), (std::vector<int16_t>{28, 28, 42}));
    for (uint16_t w : all)
        EXPECT_EQ(IR_ScoreWordEndInClass(index(), 0, w), 44) << w;
}

TEST_F(IRTest, FixedClassMatches)
{
    fixedClass();
    using M = std::vector<std::pair<uint32_t, double>>;
    const std::vector<std::pair<std::vector<uint16_t>, M>> cases = {
        {{1, 2}, {{100, 1024}, {102, 724.08}, {101, 263.85}}},
        {{3}, {{101, 953.59}}},
        {{2}, {{102, 1024}, {100, 724.08}}},
        {{200, 3, 65535}, {{101, 953.59}}},
        {{200}, {}},
    };
    for (const auto& [query, expected] : cases) {
        const auto got = matches(query);
        ASSERT_EQ(got.size(), expected.size()) << query.size();
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].first, expected[i].first) << i;
            EXPECT_NEAR(got[i].second, expected[i].second, 1.0) << i;
        }
    }
    uint32_t one[1];
    int32_t score[1];
    const uint16_t ab[] = {1, 2};
    EXPECT_EQ(IR_GetMatches(index(), "titles", 2, ab, 1, one, score), 1);
    EXPECT_EQ(one[0], 100u);
    EXPECT_EQ(IR_GetMatches(index(), "other", 2, ab, 1, one, score), 0);
}

TEST_F(IRTest, CountingEdgeCases)
{
    IR_CreateClass(index(), "c", 0);
    ASSERT_EQ(add("c", {5, 6}, 1), 1);
    ASSERT_EQ(add("c", {5, 6}, 2), 1);  // kept twice, pairs doubled
    ASSERT_EQ(add("c", {7}, 3), 1);     // one word: boundary counts it, it ends first
    ASSERT_EQ(add("c", {8, 9, 8}, 4), 1);
    IRClass* c = IR_GetClass(index(), 0);
    EXPECT_EQ(c->phraseCount, 4);
    const uint16_t a = IRClass_Map(c, 5);
    const uint16_t b = IRClass_Map(c, 6);
    const uint32_t* sa = IRClass_Successors(c, a);
    ASSERT_EQ(c->words[a].successorCount, 1);
    EXPECT_EQ(sa[0], IRList_Entry(b, 2));
    const uint16_t w7 = IRClass_Map(c, 7);
    ASSERT_GE(c->words[w7].successorCount, 1);
    EXPECT_EQ(IRClass_Successors(c, w7)[0], IRList_Entry(0, 1));
    const uint32_t* boundary = IRClass_Successors(c, 0);
    bool seven = false;
    for (int i = 0; i < c->words[0].successorCount; ++i)
        seven = seven || boundary[i] == IRList_Entry(w7, 1);
    EXPECT_TRUE(seven);
    const uint16_t w8 = IRClass_Map(c, 8);
    ASSERT_EQ(c->words[w8].postingCount, 1);
    EXPECT_EQ(IRClass_Postings(c, w8)[0], IRList_Entry(3, 2));
    const uint16_t ids[] = {5, 6};
    EXPECT_EQ(IR_ContainsPhrase(index(), "c", nullptr, 2, ids), 1);
    EXPECT_EQ(IR_ContainsPhrase(index(), "c", nullptr, 1, ids), 0);
    EXPECT_EQ(IR_ContainsPhrase(index(), "x", nullptr, 2, ids), 0);

    EXPECT_EQ(IR_RemoveClass(index(), "c"), 1);
    EXPECT_EQ(IR_RemoveClass(index(), "c"), 0);
    EXPECT_EQ(IR_FindClass(index(), "c"), -1);
    EXPECT_EQ(IR_CreateClass(index(), "c", 0), 1);
    EXPECT_EQ(IR_CreateClass(index(), "c", 0), -1);
    EXPECT_EQ(IR_ClearClass(index(), "c"), 1);
    EXPECT_EQ(IR_ClearClass(index(), "gone"), 0);
    EXPECT_EQ(IR_TokenizeText(index(), "gone", nullptr, 0, nullptr, nullptr, nullptr, nullptr, nullptr), -1);
}

TEST_F(IRTest, RefusedPhrasesLeaveTheClassAsItWas)
{
    IR_CreateClass(index(), "c", 0);
    ASSERT_EQ(add("c", {5, 6}, 1), 1);
    const uint32_t crc = IR_ComputeCRC(index());
    const std::vector<std::vector<uint16_t>> refused = {{}, {65534}, {5, 65535}, {257}, {4, 1000}};
    for (const auto& ids : refused) {
        EXPECT_EQ(add("c", ids, 9), 0) << ids.size();
        EXPECT_EQ(IR_ComputeCRC(index()), crc);
    }
    EXPECT_EQ(add("missing", {5}, 9), 0);
}

TEST_F(IRTest, TheTotalCountLimitRefusesWithoutChange)
{
    IR_CreateClass(index(), "c", 0);
    std::vector<uint16_t> long_(4000, 7);
    int32_t added = 0;
    while (add("c", long_, 1) == 1)
        ++added;
    IRClass* c = IR_GetClass(index(), 0);
    EXPECT_EQ(added, static_cast<int32_t>((kIRMaxTotal - 1) / 4001));
    const uint32_t crc = IR_ComputeCRC(index());
    EXPECT_EQ(add("c", long_, 1), 0);
    EXPECT_EQ(IR_ComputeCRC(index()), crc);
    const uint32_t room = kIRMaxTotal - 1 - c->totalCount;
    EXPECT_EQ(add("c", std::vector<uint16_t>(room, 7), 2), 0);
    EXPECT_EQ(IR_ComputeCRC(index()), crc);
    EXPECT_EQ(add("c", std::vector<uint16_t>(room - 1, 7), 2), 1);
    // A pair count past 16 bits holds at the largest value.
    EXPECT_EQ(IRList_Count(IRClass_Successors(c, IRClass_Map(c, 7))[1]), 65535);
}

TEST_F(IRTest, TheLastPhraseSlotAndAListOverflowAreRefusedWithoutChange)
{
    // Doubling from 1, a posting list stops at 32768 entries: the phrase
    // that would need one more is refused, although its first word is new.
    setParams(0, 30, 1);
    IR_CreateClass(index(), "c", 0);
    for (int32_t i = 0; i < 32768; ++i)
        ASSERT_EQ(add("c", {1}, static_cast<uint32_t>(i)), 1) << i;
    uint32_t crc = IR_ComputeCRC(index());
    EXPECT_EQ(add("c", {2, 1}, 0), 0);
    EXPECT_EQ(IR_ComputeCRC(index()), crc);
    EXPECT_EQ(add("c", {2}, 0), 1);

    setParams(0, 30, 2);
    IR_CreateClass(index(), "d", 0);
    for (int32_t i = 0; i < kIRMaxPhrases; ++i)
        ASSERT_EQ(add("d", {static_cast<uint16_t>(1 + i % 2)}, static_cast<uint32_t>(i)), 1) << i;
    crc = IR_ComputeCRC(index());
    EXPECT_EQ(add("d", {3}, 0), 0);
    EXPECT_EQ(IR_ComputeCRC(index()), crc);
}

TEST_F(IRTest, EveryAllocationFailingInTurnRefusesWithoutChangeOrLeak)
{
    setParams(0, 30, 1);
    IR_CreateClass(index(), "c", 0);
    ASSERT_EQ(add("c", {5, 6, 7}, 1), 1);
    ASSERT_EQ(add("c", {6, 5}, 2), 1);
    const std::vector<uint16_t> phrase = {5, 8, 9, 5, 6, 10};
    for (uint64_t n = 1;; ++n) {
        const uint32_t crc = IR_ComputeCRC(index());
        const size_t blocks = m_allocator.liveBlocks();
        const uint64_t failures = m_allocator.failures();
        m_allocator.failAt(m_allocator.calls() + n);
        const int32_t result = add("c", phrase, 3);
        m_allocator.failAt(0);
        if (m_allocator.failures() == failures) {
            EXPECT_EQ(result, 1);
            break;
        }
        EXPECT_EQ(result, 0) << n;
        EXPECT_EQ(IR_ComputeCRC(index()), crc) << n;
        EXPECT_EQ(m_allocator.liveBlocks(), blocks) << n;
    }
    // Creating classes and preparing scores fail cleanly too.
    for (uint64_t n = 1; n < 8; ++n) {
        m_allocator.failAt(m_allocator.calls() + n);
        const int32_t slot = IR_CreateClass(index(), "new", 0);
        m_allocator.failAt(0);
        if (slot >= 0)
            IR_RemoveClass(index(), "new");
    }
    m_allocator.failNext();
    EXPECT_EQ(IR_PrepareClassScores(index(), 0), 0);
    EXPECT_EQ(IR_PrepareClassScores(index(), 0), 1);
}

TEST_F(IRTest, UnpreparedAndOutsideWordsScoreInBounds)
{
    fixedClass();
    // Unprepared: scoring prepares first.
    EXPECT_EQ(transition(1, 2), 17);
    const uint16_t outside[] = {0, 4, 255, 256, 300, 65534, 65535};
    for (uint16_t w : outside) {
        EXPECT_EQ(transition(65533, w), kIRCostOutside) << w;
        EXPECT_EQ(transition(1, w), kIRCostOutside) << w;
        EXPECT_EQ(IR_ScoreWordEndInClass(index(), 0, w), kIRCostOutside) << w;
        EXPECT_EQ(transition(w, 2), 52) << w;  // no successors: back-off
    }
    // A failed preparation costs the outside cost.
    add("titles", {4}, 103);
    m_allocator.failNext();
    EXPECT_EQ(transition(1, 2), kIRCostOutside);
    IR_CreateClass(index(), "empty", 0);
    EXPECT_LT(transition(65533, 1), kIRCostOutside);
    uint16_t p = 1;
    EXPECT_EQ(IR_ScoreWordTransition(index(), 1, 0, &p, 2), kIRCostOutside);
    EXPECT_EQ(IR_ScoreWordTransition(index(), 9, 0, &p, 2), kIRCostOutside);
}

// Random classes: every cost against the doubles, every match against the
// reference scores, ranking by score then phrase index.
TEST_F(IRTest, RandomClassesAgreeWithTheDoubleReference)
{
    std::mt19937 rng(84);
    double worstU = 0, worstT = 0, worstScore = 0;
    for (int round = 0; round < 60; ++round) {
        const uint32_t w = 5 * (1 + round % 19);
        const uint32_t prior = rng() % 4;
        setParams(prior, w, rng() % 4);
        IR_Delete(m_index);
        m_index = nullptr;
        IR_CreateClass(index(), "r", 0);
        phrase_ref::Class ref;
        ref.prior = prior;
        ref.w = w / 100.0;
        const int phrases = 1 + static_cast<int>(rng() % 400);
        const int vocabulary = 2 + static_cast<int>(rng() % 60);
        for (int i = 0; i < phrases; ++i) {
            std::vector<uint16_t> p(1 + rng() % 6);
            for (uint16_t& id : p)
                id = static_cast<uint16_t>(1 + rng() % vocabulary);
            ASSERT_EQ(add("r", p, static_cast<uint32_t>(i)), 1);
            ref.phrases.push_back(p);
        }
        ref.count_all();
        IRClass* c = IR_GetClass(index(), 0);
        ASSERT_EQ(IR_PrepareClassScores(index(), 0), 1);
        for (auto [x, n] : ref.count) {
            const uint16_t lx = IRClass_Map(c, x);
            const double u = c->logTotal + c->costW - static_cast<double>(c->words[lx].logCount);
            worstU = std::max(worstU, std::fabs(u - ref.U(x)));
            uint16_t start = 65533;
            const double s = IR_ScoreWordTransition(index(), 0, 0, &start, x);
            worstT = std::max(worstT, std::fabs(s - ref.start(x)));
            worstT = std::max(worstT, std::fabs(IR_ScoreWordEndInClass(index(), 0, x) - ref.end(x)));
            for (auto [y, m] : ref.count) {
                uint16_t previous = x;
                const double t = IR_ScoreWordTransition(index(), 0, 0, &previous, y);
                worstT = std::max(worstT, std::fabs(t - ref.T(x, y)));
                if (ref.k(x, y) > 0) {
                    const double b = c->words[lx].logCount + c->costOneMinusW - static_cast<double>(IR_LogN(static_cast<uint32_t>(ref.k(x, y))));
                    worstU = std::max(worstU, std::fabs(b - ref.B(x, y)));
                }
            }
            std::vector<uint16_t> ids;
            for (auto [y, m] : ref.count)
                ids.push_back(y);
            std::vector<int16_t> out(ids.size());
            IR_GetTransitionScores(index(), 0, x, static_cast<int32_t>(ids.size()), ids.data(), out.data());
            for (size_t i = 0; i < ids.size(); ++i)
                ASSERT_NEAR(out[i], ref.T(x, ids[i]), 3.0);
        }
        for (int q = 0; q < 20; ++q) {
            std::vector<std::vector<uint16_t>> positions(1 + rng() % 3);
            for (auto& pos : positions) {
                pos.resize(1 + rng() % 3);
                for (uint16_t& id : pos)
                    id = static_cast<uint16_t>(1 + rng() % (vocabulary + 5));
            }
            const auto expected = ref.scores(positions, [](uint32_t x) { return static_cast<double>(IR_LogN(x)); });
            std::vector<int32_t> counts;
            std::vector<const uint16_t*> lists;
            for (const auto& pos : positions) {
                counts.push_back(static_cast<int32_t>(pos.size()));
                lists.push_back(pos.data());
            }
            std::vector<uint32_t> ids(phrases);
            std::vector<int32_t> scores(phrases);
            const int32_t n = IR_Match(index(), "r", static_cast<int32_t>(positions.size()), counts.data(),
                                       lists.data(), phrases, ids.data(), scores.data());
            ASSERT_EQ(static_cast<size_t>(n), expected.size());
            for (int32_t i = 0; i < n; ++i) {
                ASSERT_TRUE(expected.count(static_cast<int>(ids[i])));
                worstScore = std::max(worstScore, std::fabs(scores[i] - expected.at(static_cast<int>(ids[i]))));
                if (i > 0) {
                    ASSERT_GE(scores[i - 1], scores[i]);
                    if (scores[i - 1] == scores[i]) {
                        ASSERT_LT(ids[i - 1], ids[i]);
                    }
                }
            }
        }
    }
    EXPECT_LT(worstU, 2.5);
    EXPECT_LT(worstT, 3.0);
    EXPECT_LT(worstScore, 1.0);
}

// The fixed-point score across mantissas, top byte 0x80 included.
TEST_F(IRTest, ScoresFollowTheRatioForEveryMantissa)
{
    IR_CreateClass(index(), "s", 0);
    // One query word shared by phrases whose other words make D range widely.
    std::mt19937 rng(7);
    phrase_ref::Class ref;
    for (int i = 0; i < 300; ++i) {
        std::vector<uint16_t> p = {1};
        const int extra = static_cast<int>(rng() % 6);
        for (int k = 0; k < extra; ++k)
            p.push_back(static_cast<uint16_t>(2 + rng() % 200));
        add("s", p, static_cast<uint32_t>(i));
        ref.phrases.push_back(p);
    }
    ref.count_all();
    for (const std::vector<uint16_t>& query : std::vector<std::vector<uint16_t>>{{1}, {1, 1}, {1, 2, 3}, {1, 1, 1, 4, 5, 6}}) {
        const auto expected = ref.scores({query}, [](uint32_t x) { return static_cast<double>(IR_LogN(x)); });
        std::vector<uint32_t> ids(300);
        std::vector<int32_t> scores(300);
        const int32_t n = IR_GetMatches(index(), "s", static_cast<int32_t>(query.size()), query.data(), 300,
                                        ids.data(), scores.data());
        ASSERT_EQ(static_cast<size_t>(n), expected.size());
        for (int32_t i = 0; i < n; ++i)
            EXPECT_NEAR(scores[i], expected.at(static_cast<int>(ids[i])), 1.0) << ids[i];
    }
}

}  // namespace
