// Close calls put to use: splicing a loser into a choice's path on hand-made
// graphs, both list builders on exact cases and on random small graphs
// (checked against what each of their choices must be), the penalty of a
// key, rescoring through the decoder's rewrite, and member classes read from
// a class manager loaded from its stored form.
#include "core/brevit/search/class_pair_constraint.h"
#include "core/brevit/search/close_call.h"
#include "core/brevit/search/result_graph.h"
#include "tests/brevit/search/class_manager_test.h"
#include "tests/support/archive_fixture.h"
#include "tests/support/class_store_writer.h"
#include "tests/support/param_block_builder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <vector>

namespace {

using Seq = std::vector<uint16_t>;
constexpr uint32_t kNone = kResultGraphNone;

class CloseCallBuilders : public ClassManagerTest {
protected:
    void SetUp() override
    {
        ClassManagerTest::SetUp();
        m_graph = ResultGraph_Create(4096);
        ASSERT_NE(m_graph, nullptr);
        ResultGraph_SetVocabulary(m_graph, m_vocabulary.voc());
    }

    void TearDown() override
    {
        ResultGraph_Delete(m_graph);
        CloseCall_Delete(m_calls);
        for (Constraint* con : m_pairs)
            ClassPairConstraint_Delete(con, 0);
        ClassManagerTest::TearDown();
    }

    // A word end: its word is also its member; constraint and state in the high word.
    uint32_t add(uint32_t parent, uint16_t word, uint32_t state, uint32_t constraint = 0, uint32_t sub = 0,
                 int32_t flag = 0, int16_t frame = 0)
    {
        const uint32_t low = sub | (uint32_t{word} << 10);
        const uint32_t high = (constraint << 21) | (state << 3);
        return ResultGraph_AddNode(m_graph, parent, word, low, high, flag, 0, frame);
    }

    // A class-pair constraint of the given steps between states (0: start or end).
    Constraint* pairConstraint(const std::vector<std::pair<uint32_t, uint32_t>>& steps)
    {
        Constraint* con = ClassPairConstraint_Create("cp", m_classes, 8, 32, 0);
        EXPECT_NE(con, nullptr);
        for (const auto& [from, to] : steps)
            EXPECT_EQ(ClassPairConstraint_AddTransition(con, from, to, 0), 1) << from << "->" << to;
        m_pairs.push_back(con);
        return con;
    }

    Seq path(uint32_t node)
    {
        Seq words(kLinChChoiceWords);
        words.resize(static_cast<size_t>(
            ResultGraph_GetPath(m_graph, node, words.data(), nullptr, nullptr, nullptr, nullptr, nullptr,
                                kLinChChoiceWords, nullptr)));
        return words;
    }

    CloseCall* calls(const std::vector<CloseCallRecord>& records)
    {
        CloseCall_Delete(m_calls);
        m_calls = CloseCall_Create(0, 8);
        for (const CloseCallRecord& r : records)
            m_calls->records[m_calls->count++] = r;
        return m_calls;
    }

    ResultGraph* m_graph = nullptr;
    CloseCall* m_calls = nullptr;
    std::vector<Constraint*> m_pairs;
};

LinChChoice choiceAt(uint32_t endNode, Constraint* constraint, int32_t score = 0)
{
    LinChChoice c;
    std::memset(&c, 0, sizeof c);
    c.endNode = static_cast<int32_t>(endNode);
    c.constraint = constraint;
    c.score = score;
    return c;
}

Seq wordsOf(const LinChChoice& c) { return Seq(c.words, c.words + c.wordCount); }

// ---- splicing ------------------------------------------------------------------------

TEST_F(CloseCallBuilders, SplicesTheLoserWhereTheWinnerWas)
{
    // Best path 1 2 3 (states 1 2 3, the last flagged); competitors x (7,
    // state 5), y (8, state 6), z (9, state 7, which leads nowhere) and w (10,
    // state 5 of constraint 1); end e2 ends a path whose last word starts
    // inside its member.
    const uint32_t r0 = add(kNone, 1, 1);
    const uint32_t r1 = add(r0, 2, 2);
    const uint32_t r2 = add(r1, 3, 3, 0, 0, 1, 30);
    const uint32_t e2 = add(r1, 4, 3, 0, 1);
    const uint32_t x = add(kNone, 7, 5);
    const uint32_t y = add(kNone, 8, 6);
    const uint32_t z = add(kNone, 9, 7);
    const uint32_t w = add(kNone, 10, 5, 1);
    Constraint* cp = pairConstraint({{0, 1}, {1, 2}, {2, 3}, {0, 3}, {5, 3}, {5, 1}, {5, 0}, {6, 3}, {6, 1}});
    struct Case {
        const char* name;
        uint32_t end, loser, winner;
        int16_t difference;
        uint32_t wordOrder;  // parameter word 231
        Seq expected;        // empty: refused
    };
    const Case cases[] = {
        {"a boundary node equal to the winner takes the loser", r2, x, r1, 5, 0, {7, 3}},
        {"the end node itself", r2, x, r2, 5, 0, {7}},
        {"no boundary inside a member", e2, x, r1, 5, 0, {}},
        {"a tie: the loser on the path takes the winner", r2, r1, y, 0, 0, {8, 3}},
        {"no tie: a loser on the path is not replaced", r2, r1, y, 1, 0, {}},
        {"a tie: the winner on the path still takes the loser", r2, x, r1, 0, 0, {7, 3}},
        {"word order refuses 7 before 3", r2, x, r1, 5, 1, {}},
        {"word order is not asked without word 231", r2, x, r1, 5, 0, {7, 3}},
        {"a competitor of another constraint", r2, w, r1, 5, 0, {}},
        {"the constraint has no step from the competitor's state", r2, z, r1, 5, 0, {}},
        {"at the root the loser replaces the empty history", r2, x, kNone, 5, 0, {7, 1, 2, 3}},
        {"at the root a tie with no loser takes the winner", r2, kNone, y, 0, 0, {8, 1, 2, 3}},
        {"at the root without a tie", r2, kNone, y, 1, 0, {}},
        {"no competitor and no newer node", r2, kNone, r2, 5, 0, {}},
        {"no competitor under a newer node", r2, kNone, r1, 5, 0, {3}},
    };
    m_vocabulary.forbidFollowing(7, 3);
    for (const Case& c : cases) {
        ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamCanFollowCheck, c.wordOrder));
        const LinChChoice choice = choiceAt(c.end, cp);
        const CloseCallRecord call{c.loser, c.winner, c.difference, 0};
        ResultGraphSplice out{nullptr, 0};
        const int32_t result = ResultGraph_SplicePath(m_graph, &out, &choice, &call);
        ASSERT_EQ(result, c.expected.empty() ? 0 : 1) << c.name;
        if (result == 0)
            continue;
        EXPECT_EQ(out.constraint, cp) << c.name;
        EXPECT_EQ(path(out.node), c.expected) << c.name;
    }
    // The re-added end keeps its flag, with score 16384 and frame -1.
    const LinChChoice choice = choiceAt(r2, cp);
    const CloseCallRecord call{x, r1, 5, 0};
    ResultGraphSplice out{nullptr, 0};
    ASSERT_EQ(ResultGraph_SplicePath(m_graph, &out, &choice, &call), 1);
    const ResultGraphNode& n = *ResultGraph_Node(m_graph, out.node);
    EXPECT_EQ(n.parent, x);
    EXPECT_EQ(n.score, 16384);
    EXPECT_EQ(n.endFrame, -1);
    EXPECT_NE(n.high & 0x80000000u, 0u);
    // At the root the oldest word must follow the competitor, with or without word 231.
    m_vocabulary.forbidFollowing(7, 1);
    const CloseCallRecord atRoot{x, kNone, 5, 0};
    EXPECT_EQ(ResultGraph_SplicePath(m_graph, &out, &choice, &atRoot), 0);
}

TEST_F(CloseCallBuilders, ASpliceIntoAFullGraphFails)
{
    // Mend: a tail that cannot be added again is no path through the loser.
    ResultGraph_Delete(m_graph);
    m_graph = ResultGraph_Create(1024);
    ASSERT_NE(m_graph, nullptr);
    const uint32_t r0 = add(kNone, 1, 1);
    const uint32_t r1 = add(r0, 2, 2);
    const uint32_t x = add(kNone, 7, 5);
    for (uint16_t i = 0; m_graph->count < 1024; ++i)
        add(kNone, static_cast<uint16_t>(100 + i), 1);
    Constraint* cp = pairConstraint({{5, 2}});
    const LinChChoice choice = choiceAt(r1, cp);
    const CloseCallRecord call{x, r0, 5, 0};
    ResultGraphSplice out{nullptr, 0};
    EXPECT_EQ(ResultGraph_SplicePath(m_graph, &out, &choice, &call), 0);
    EXPECT_EQ(ResultGraph_GetOverflow(m_graph), 1);
}

// ---- the builders on exact cases -----------------------------------------------------

TEST_F(CloseCallBuilders, OneCloseCallGivesTheLoserInTheWinnersPlace)
{
    // Penalty max(0, word 217 + ((word 216 x key + 16) >> 5)).
    struct Case {
        uint32_t slope, base;
        int16_t key;
        int32_t penalty;
    };
    const Case cases[] = {{40, static_cast<uint32_t>(-3), 20, 22}, {0, static_cast<uint32_t>(-5), 3, 0},
                          {static_cast<uint32_t>(-64), 10, 7, 0}, {32, 1, -3, 0}, {16, 5, 9, 10}};
    const uint32_t a = add(kNone, 1, 1);
    const uint32_t b = add(a, 2, 2);
    const uint32_t c = add(b, 3, 3);
    const uint32_t x = add(kNone, 7, 5);
    Constraint* cp = pairConstraint({{0, 1}, {1, 2}, {2, 3}, {5, 3}, {3, 0}});
    for (const Case& k : cases) {
        ScopedParamBlock params(ParamBlockBuilder()
                                    .word(kBrevitParamCloseCallPenaltySlope, k.slope)
                                    .word(kBrevitParamCloseCallPenalty, k.base)
                                    .word(kBrevitParamDuplicateByPronIds, 1));
        for (int inGraph = 0; inGraph < 2; ++inGraph) {
            std::vector<LinChChoice> list(4, choiceAt(c, cp, 100));
            CloseCall_FillChoicesFromGraph(m_graph, nullptr, nullptr, list.data(), 1);
            int32_t count = 1;
            calls({{x, b, 4, k.key}});
            if (inGraph != 0)
                CloseCall_BuildChoicesInGraph(m_calls, m_graph, m_vocabulary.voc(), nullptr, nullptr, list.data(), 4,
                                              &count, 0);
            else
                CloseCall_BuildChoicesByPrefix(m_calls, m_graph, m_vocabulary.voc(), nullptr, nullptr, 0, list.data(),
                                               4, &count, 0);
            ASSERT_EQ(count, 2) << inGraph << " " << k.key;
            EXPECT_EQ(wordsOf(list[0]), (Seq{1, 2, 3}));
            EXPECT_EQ(list[0].score, 100);
            EXPECT_EQ(wordsOf(list[1]), (Seq{7, 3})) << inGraph;
            EXPECT_EQ(list[1].score, 100 + 4 + k.penalty) << inGraph << " " << k.key;
            EXPECT_EQ(list[1].constraint, cp);
            if (inGraph != 0) {
                EXPECT_EQ(path(static_cast<uint32_t>(list[1].endNode)), (Seq{7, 3}));
            }
        }
    }
}

TEST_F(CloseCallBuilders, ALimitOfOneTriesNoCloseCall)
{
    const uint32_t a = add(kNone, 1, 1);
    const uint32_t x = add(kNone, 7, 5);
    Constraint* cp = pairConstraint({{0, 1}, {5, 0}, {1, 0}});
    for (int inGraph = 0; inGraph < 2; ++inGraph) {
        std::vector<LinChChoice> list(2, choiceAt(a, cp, 50));
        CloseCall_FillChoicesFromGraph(m_graph, nullptr, nullptr, list.data(), 1);
        calls({{x, a, 9, 1}, {a, x, 3, 2}});
        int32_t count = 1;
        if (inGraph != 0)
            CloseCall_BuildChoicesInGraph(m_calls, m_graph, m_vocabulary.voc(), nullptr, nullptr, list.data(), 1, &count,
                                          0);
        else
            CloseCall_BuildChoicesByPrefix(m_calls, m_graph, m_vocabulary.voc(), nullptr, nullptr, 0, list.data(), 1,
                                           &count, 0);
        EXPECT_EQ(count, 1);
        EXPECT_EQ(wordsOf(list[0]), (Seq{1}));
        EXPECT_EQ(m_calls->records[0].loser, x) << "the close calls are not even sorted";
        EXPECT_EQ(m_graph->count, 2) << "nothing spliced";
    }
}

TEST_F(CloseCallBuilders, TheRewriteTakesEveryChoiceOffTheList)
{
    // The decoder's pron-sequence rewrite yields no sequence: rescoring
    // (word 215) rejects every choice.
    ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamCloseCallRescore, 1));
    const uint32_t a = add(kNone, 1, 1);
    const uint32_t b = add(a, 2, 2);
    const uint32_t x = add(kNone, 7, 5);
    Constraint* cp = pairConstraint({{0, 1}, {1, 2}, {5, 2}, {2, 0}});
    for (int inGraph = 0; inGraph < 2; ++inGraph) {
        std::vector<LinChChoice> list(3, choiceAt(b, cp, 10));
        CloseCall_FillChoicesFromGraph(m_graph, nullptr, nullptr, list.data(), 1);
        calls({{x, a, 1, 1}});
        int32_t count = 1;
        if (inGraph != 0)
            CloseCall_BuildChoicesInGraph(m_calls, m_graph, m_vocabulary.voc(), nullptr, nullptr, list.data(), 3, &count,
                                          0);
        else
            CloseCall_BuildChoicesByPrefix(m_calls, m_graph, m_vocabulary.voc(), nullptr, nullptr, 0, list.data(), 3,
                                           &count, 0);
        EXPECT_EQ(count, 0) << inGraph;
    }
    std::vector<LinChChoice> list(2, choiceAt(b, cp, 10));
    CloseCall_FillChoicesFromGraph(m_graph, nullptr, nullptr, list.data(), 2);
    int32_t count = 2;
    CloseCall_RescoreChoices(m_vocabulary.voc(), list.data(), &count, 0);
    EXPECT_EQ(count, 0);
}

TEST_F(CloseCallBuilders, TranscriptionsMustAcceptAPrefixCandidate)
{
    const uint32_t a = add(kNone, 1, 1);
    const uint32_t b = add(a, 2, 2);
    const uint32_t x = add(kNone, 7, 5);
    // The transcription knows 1 2 and 7 2, or only 1 2.
    ScriptedSpec both = named("both");
    both.slots |= slotBit(kSlotResetPointers);
    both.steps = {{0, 1, 1, 0, 0}, {0, 7, 1, 0, 0}, {1, 2, 2, 1, 0}};
    ScriptedSpec one = named("one");
    one.slots |= slotBit(kSlotResetPointers);
    one.steps = {{0, 1, 1, 0, 0}, {1, 2, 2, 1, 0}};
    Constraint* knowsBoth = owned(both);
    Constraint* knowsOne = owned(one);
    struct Case {
        Constraint* transcription;
        uint32_t anyWord;  // parameter word 228
        int32_t expected;
    };
    for (const Case& k : {Case{knowsBoth, 0, 2}, Case{knowsOne, 0, 1}, Case{knowsOne, 1, 2}, Case{nullptr, 0, 2}}) {
        ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamWholeVocabularyConstraint, k.anyWord));
        std::vector<LinChChoice> list(3, choiceAt(b, nullptr, 10));
        CloseCall_FillChoicesFromGraph(m_graph, nullptr, nullptr, list.data(), 1);
        calls({{x, a, 1, 1}});
        int32_t count = 1;
        Constraint* table[1] = {k.transcription};
        CloseCall_BuildChoicesByPrefix(m_calls, m_graph, m_vocabulary.voc(), nullptr, table,
                                       k.transcription != nullptr ? 1 : 0, list.data(), 3, &count, 0);
        EXPECT_EQ(count, k.expected) << (k.transcription != nullptr ? "with" : "without") << " " << k.anyWord;
    }
}

TEST_F(CloseCallBuilders, AFullListStopsAtTheFirstCandidateThatWouldGoLast)
{
    // Two choices in a list of two: a candidate worse than the last visits
    // no further choice and no later close call.
    ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamDuplicateByPronIds, 1));
    const uint32_t a = add(kNone, 1, 1);
    const uint32_t b = add(kNone, 2, 1);
    const uint32_t x = add(kNone, 7, 1);
    std::vector<LinChChoice> list = {choiceAt(a, nullptr, 10), choiceAt(b, nullptr, 12)};
    CloseCall_FillChoicesFromGraph(m_graph, nullptr, nullptr, list.data(), 2);
    calls({{x, a, 5, 0}, {x, b, 6, 0}});
    int32_t count = 2;
    CloseCall_BuildChoicesByPrefix(m_calls, m_graph, m_vocabulary.voc(), nullptr, nullptr, 0, list.data(), 2, &count,
                                   0);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(wordsOf(list[0]), (Seq{1}));
    EXPECT_EQ(wordsOf(list[1]), (Seq{2}));
    // One closer call fits: 7 at 11 pushes 2 off.
    calls({{x, a, 1, 0}});
    CloseCall_BuildChoicesByPrefix(m_calls, m_graph, m_vocabulary.voc(), nullptr, nullptr, 0, list.data(), 2, &count,
                                   0);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(wordsOf(list[1]), (Seq{7}));
    EXPECT_EQ(list[1].score, 11);
}

TEST_F(CloseCallBuilders, InTheGraphABetterCandidateReplacesTheChoiceOfItsNode)
{
    // P = 1 2 3 at 10, Q = 5 3 at 20. The closer call puts 7 before Q's 3
    // (7 3 at 21); the next puts 7 in place of P's 1 2, the same node at 12.
    ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamDuplicateByPronIds, 1));
    const uint32_t a = add(kNone, 1, 1);
    const uint32_t b = add(a, 2, 2);
    const uint32_t c = add(b, 3, 3);
    const uint32_t q0 = add(kNone, 5, 4);
    const uint32_t q1 = add(q0, 3, 3);
    const uint32_t x = add(kNone, 7, 5);
    Constraint* cp = pairConstraint({{5, 3}});
    std::vector<LinChChoice> list = {choiceAt(c, cp, 10), choiceAt(q1, cp, 20), choiceAt(kNone, nullptr),
                                     choiceAt(kNone, nullptr)};
    int32_t count = 2;
    calls({{x, b, 2, 0}, {x, q0, 1, 0}});
    CloseCall_BuildChoicesInGraph(m_calls, m_graph, m_vocabulary.voc(), nullptr, nullptr, list.data(), 4, &count, 0);
    ASSERT_EQ(count, 3);
    EXPECT_EQ(wordsOf(list[0]), (Seq{1, 2, 3}));
    EXPECT_EQ(wordsOf(list[1]), (Seq{7, 3}));
    EXPECT_EQ(list[1].score, 12);
    EXPECT_EQ(wordsOf(list[2]), (Seq{5, 3}));
    EXPECT_EQ(list[2].score, 20);
}

// ---- the builders on random graphs ---------------------------------------------------

struct Derivable {
    std::vector<Seq> losers, winners;
    Seq first;
    // seq is the first choice, or a loser's path followed by the words of a
    // derivable sequence after its winner's path.
    bool operator()(const Seq& seq, int depth) const
    {
        if (seq == first)
            return true;
        if (depth == 0)
            return false;
        for (size_t k = 0; k < losers.size(); ++k) {
            const Seq& l = losers[k];
            if (seq.size() < l.size() || !std::equal(l.begin(), l.end(), seq.begin()))
                continue;
            Seq before = winners[k];
            before.insert(before.end(), seq.begin() + static_cast<std::ptrdiff_t>(l.size()), seq.end());
            if (before.size() <= static_cast<size_t>(kLinChChoiceWords) && (*this)(before, depth - 1))
                return true;
        }
        return false;
    }
};

TEST_F(CloseCallBuilders, RandomListsAreSortedDistinctAndMadeOfLegalPaths)
{
    ScopedParamBlock params(ParamBlockBuilder()
                                .word(kBrevitParamDuplicateByPronIds, 1)
                                .word(kBrevitParamCloseCallPenaltySlope, 8)
                                .word(kBrevitParamCloseCallPenalty, 1));
    // Every step between states 1..3, from the start and to the end.
    std::vector<std::pair<uint32_t, uint32_t>> steps;
    for (uint32_t s = 1; s <= 3; ++s) {
        steps.push_back({0, s});
        steps.push_back({s, 0});
        for (uint32_t t = 1; t <= 3; ++t)
            steps.push_back({s, t});
    }
    Constraint* cp = pairConstraint(steps);
    std::mt19937 rng(57);
    int32_t grown = 0;
    for (int round = 0; round < 600; ++round) {
        ResultGraph_Reset(m_graph);
        // Up to six nodes (equal histories merge).
        const int32_t adds = 2 + static_cast<int32_t>(rng() % 5);
        for (int32_t i = 0; i < adds; ++i) {
            const uint32_t parent = m_graph->count == 0 || rng() % 3 == 0 ? kNone
                                                                          : rng() % static_cast<uint32_t>(m_graph->count);
            add(parent, static_cast<uint16_t>(1 + rng() % 4), 1 + rng() % 3, 0, rng() % 4 == 0 ? 1 : 0);
        }
        const int32_t nodes = m_graph->count;
        const auto anyNode = [&] {
            return rng() % 5 == 0 ? kNone : static_cast<uint32_t>(rng() % static_cast<uint32_t>(nodes));
        };
        std::vector<CloseCallRecord> records(rng() % 5);
        for (CloseCallRecord& r : records)
            r = {anyNode(), anyNode(), static_cast<int16_t>(rng() % 3), static_cast<int16_t>(rng() % 3)};
        const int32_t limit = 1 + static_cast<int32_t>(rng() % 5);
        const uint32_t best = static_cast<uint32_t>(nodes - 1);
        const bool inGraph = rng() % 2 == 0;

        Derivable derivable;
        derivable.first = path(best);
        for (const CloseCallRecord& r : records) {
            derivable.losers.push_back(path(r.loser));
            derivable.winners.push_back(path(r.winner));
        }
        std::vector<LinChChoice> list(static_cast<size_t>(limit), choiceAt(best, cp, 20));
        CloseCall_FillChoicesFromGraph(m_graph, nullptr, nullptr, list.data(), 1);
        int32_t count = 1;
        calls(records);
        if (inGraph)
            CloseCall_BuildChoicesInGraph(m_calls, m_graph, m_vocabulary.voc(), nullptr, nullptr, list.data(), limit,
                                          &count, 0);
        else
            CloseCall_BuildChoicesByPrefix(m_calls, m_graph, m_vocabulary.voc(), nullptr, nullptr, 0, list.data(),
                                           limit, &count, 0);
        ASSERT_GE(count, 1) << round;
        ASSERT_LE(count, limit) << round;
        grown += count > 1 ? 1 : 0;
        for (int32_t i = 0; i < count; ++i) {
            const LinChChoice& c = list[static_cast<size_t>(i)];
            EXPECT_GE(c.score, 20) << round;
            if (i > 0) {
                EXPECT_LE(CloseCall_CompareChoices(&list[static_cast<size_t>(i - 1)], &c), 0) << round << " " << i;
            }
            for (int32_t j = 0; j < i; ++j)
                EXPECT_NE(CloseCall_CompareChoiceWords(&list[static_cast<size_t>(j)], &c), 0) << round;
            if (inGraph) {
                EXPECT_EQ(wordsOf(c), path(static_cast<uint32_t>(c.endNode))) << round << " " << i;
            } else {
                EXPECT_TRUE(derivable(wordsOf(c), static_cast<int>(records.size()))) << round << " " << i;
            }
        }
    }
    EXPECT_GT(grown, 100) << "the close calls rarely made a choice";
}

// ---- member classes from a loaded class manager --------------------------------------

TEST_F(CloseCallBuilders, MemberClassesComeFromTheStoredManager)
{
    ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamMaxTrees, 8).word(kBrevitParamTreePronThreshold, 1));
    class_store::ModelSetSpec spec;
    spec.classes = {{1, "m1", {{2}, {5, 6}}}, {2, "m2", {{7}}}, {4, "m3", {{7, 2}}}};
    spec.idsInUse = 4;
    ArchiveFixture writing("member_classes.dvk");
    writing.add("bcm1", [&](BinFileWriter* w) { return class_store::modelSetRecords(spec).write(w); });
    writing.finish();
    ArchiveFixture archive("member_classes_model.dvk");
    DVKTar* tar = archive.openMapped(writing.bytes());
    ASSERT_NE(tar, nullptr);
    ClassManager* m = ClassManager_LoadFromBinFile(tar, nullptr, m_vocabulary.voc(), nullptr, m_constraints);
    ASSERT_NE(m, nullptr);
    const uint32_t alias = static_cast<uint32_t>(ClassManager_AddAlias(m, "al", 4));
    ASSERT_EQ(static_cast<uint32_t>(ClassManager_FindClass(m, "al")), alias);
    ASSERT_EQ(alias, 3u) << "the free id";
    struct Case {
        uint32_t state;
        int32_t expected;
    };
    const uint32_t unknown = static_cast<uint32_t>(m->maxId) + 1;
    const Case cases[] = {{0, 0}, {1, 1}, {2, 2}, {4, 4}, {alias, 4}, {unknown, -1}, {0x3FFFF, -1}};
    for (const Case& c : cases)
        EXPECT_EQ(ClassManager_GetMemberClass(m, 0, c.state), c.expected) << c.state;
    // Filling choices reads each position's class the same way.
    const uint32_t a = add(kNone, 2, 1);
    const uint32_t b = add(a, 7, alias);
    const uint32_t d = add(b, 5, unknown);
    std::vector<LinChChoice> list(1, choiceAt(d, nullptr));
    CloseCall_FillChoicesFromGraph(m_graph, m, nullptr, list.data(), 1);
    ASSERT_EQ(list[0].wordCount, 3);
    EXPECT_EQ(list[0].classes[0], 1u);
    EXPECT_EQ(list[0].classes[1], 4u);
    EXPECT_EQ(list[0].classes[2], 0xFFFFFFFFu);
    ClassManager_Delete(m);
}

}  // namespace
