// Word graph searches: n-best paths against the brute force of every path of
// random lattices (distinct words, repeated words, a refusing constraint),
// hand-made merges, the result-graph build (recombination, dead frames, the
// record budget, the history order), and every allocation failing in turn.
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/search/choice_record.h"
#include "core/brevit/search/constraint.h"
#include "core/brevit/search/result_graph.h"
#include "core/brevit/search/word_graph.h"
#include "tests/brevit/search/fake_vocabulary.h"
#include "tests/support/counting_allocator.h"
#include "tests/support/param_block_builder.h"
#include "tests/support/word_lattice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using word_lattice::Lattice;
using word_lattice::Path;
constexpr uint16_t N = kWordGraphNullWord;

std::map<uint16_t, std::vector<uint16_t>> identityWords(uint16_t last)
{
    std::map<uint16_t, std::vector<uint16_t>> words;
    for (uint16_t w = 1; w <= last; ++w)
        words[w] = {w};
    return words;
}

class WordGraphSearchTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks(); }

    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
    FakeVocabulary m_voc{identityWords(200)};
    ScopedParamBlock m_params{ParamBlockBuilder()
                                  .word(kBrevitParamNBestRecords, 64)
                                  .word(kBrevitParamPathRecordBudget, 28 * 4000)
                                  .word(kBrevitParamResultGraphSize, 1000)
                                  .word(kBrevitParamGraphBeam, 100000)};
};

struct GraphHolder {
    explicit GraphHolder(WordGraph* graph) : g(graph) {}
    ~GraphHolder() { WordGraph_Delete(g); }
    GraphHolder(const GraphHolder&) = delete;
    GraphHolder& operator=(const GraphHolder&) = delete;
    WordGraph* g;
};

// Up to 6 frames of up to 3 arcs; arcs from frame 0 open paths (null
// words); real words are numbered apart, or drawn from three when repeated.
// Scores within a frame differ.
Lattice randomLattice(std::mt19937& rng, bool repeated)
{
    Lattice l;
    l.capacity = 8;
    uint16_t next = 1;
    const int frames = 1 + static_cast<int>(rng() % 6);
    for (int e = 0; e < frames; ++e) {
        std::set<int32_t> scores;
        for (int k = static_cast<int>(rng() % 4); k > 0; --k) {
            const int32_t start = static_cast<int32_t>(rng() % static_cast<uint32_t>(e + 1));
            int32_t score = static_cast<int32_t>(rng() % 200);
            while (!scores.insert(score).second)
                ++score;
            const uint16_t word = start == 0 ? N : repeated ? static_cast<uint16_t>(1 + rng() % 3) : next++;
            l.arcs.push_back({start, e, word, score});
        }
    }
    return l;
}

struct Listed {
    std::vector<uint16_t> words;
    int32_t score;
    bool operator<(const Listed& o) const { return std::tie(score, words) < std::tie(o.score, o.words); }
    bool operator==(const Listed& o) const { return score == o.score && words == o.words; }
};

// Every path the search lists, in its order; checks the end of the list.
std::vector<Listed> listAll(WordGraph* g, Constraint* const* constraints = nullptr, int32_t count = 0)
{
    std::vector<Listed> out;
    for (int32_t n = 0;; ++n) {
        uint16_t words[kChoiceRecordWords];
        int32_t score = 0;
        const int32_t length = WordGraph_GetNthBestPath(g, n, words, kChoiceRecordWords, &score, constraints, count);
        if (score == kWordGraphNoScore) {
            EXPECT_EQ(length, 0);
            break;
        }
        out.push_back({std::vector<uint16_t>(words, words + length), score});
    }
    return out;
}

std::vector<Listed> sortedPaths(const std::vector<Path>& paths)
{
    std::vector<Listed> out;
    for (const Path& p : paths)
        out.push_back({p.words, p.score});
    std::sort(out.begin(), out.end());
    return out;
}

TEST_F(WordGraphSearchTest, NBestListsEveryPathOfRandomLatticesInScoreOrder)
{
    std::mt19937 rng(78);
    int compared = 0;
    for (int round = 0; round < 400; ++round) {
        const Lattice l = randomLattice(rng, false);
        GraphHolder h(word_lattice::build(l, m_voc.voc()));
        const auto paths = h.g->currentFrame >= 0 ? word_lattice::bruteForcePaths(l, h.g->currentFrame)
                                                  : std::vector<Path>{};
        if (paths.size() > 64)
            continue;
        const std::vector<Listed> listed = listAll(h.g);
        EXPECT_TRUE(std::is_sorted(listed.begin(), listed.end(),
                                   [](const Listed& a, const Listed& b) { return a.score < b.score; }));
        std::vector<Listed> sorted = listed;
        std::sort(sorted.begin(), sorted.end());
        ASSERT_EQ(sorted, sortedPaths(paths)) << "round " << round;
        if (!listed.empty()) {
            uint16_t words[kChoiceRecordWords];
            int32_t score = 0;
            EXPECT_EQ(WordGraph_GetBestPath(h.g, words, kChoiceRecordWords, &score),
                      static_cast<int32_t>(listed[0].words.size()));
            EXPECT_EQ(score, listed[0].score);
        }
        compared += paths.empty() ? 0 : 1;
    }
    EXPECT_GT(compared, 200);
}

TEST_F(WordGraphSearchTest, RepeatedWordsAreListedWithTheBestScoreOfTheirPaths)
{
    std::mt19937 rng(780);
    for (int round = 0; round < 400; ++round) {
        const Lattice l = randomLattice(rng, true);
        GraphHolder h(word_lattice::build(l, m_voc.voc()));
        const auto paths = h.g->currentFrame >= 0 ? word_lattice::bruteForcePaths(l, h.g->currentFrame)
                                                  : std::vector<Path>{};
        if (paths.size() > 64)
            continue;
        std::map<std::vector<uint16_t>, std::pair<int32_t, int>> expected;   // best score, paths
        for (const Path& p : paths) {
            auto [it, fresh] = expected.try_emplace(p.words, p.score, 0);
            it->second.first = std::min(it->second.first, p.score);
            ++it->second.second;
        }
        std::map<std::vector<uint16_t>, std::pair<int32_t, int>> got;
        for (const Listed& r : listAll(h.g)) {
            auto [it, fresh] = got.try_emplace(r.words, r.score, 0);
            it->second.first = std::min(it->second.first, r.score);
            ++it->second.second;
        }
        ASSERT_EQ(got.size(), expected.size()) << "round " << round;
        for (const auto& [words, best] : expected) {
            ASSERT_EQ(got.count(words), 1u) << "round " << round;
            EXPECT_EQ(got[words].first, best.first) << "round " << round;
            EXPECT_LE(got[words].second, best.second) << "round " << round;
        }
    }
}

TEST_F(WordGraphSearchTest, EqualWordsMergeOnlyOnTheCurrentArc)
{
    // Frame 1 holds the best arc 9 and arc 1; two ends of word 3 reach them
    // through two arcs of word 2. Both paths through arc 1 arrive there as
    // candidates and merge (140 kept); those through 9 follow the best arc in
    // place and stay apart.
    Lattice l;
    l.arcs = {{0, 0, N, 0}, {1, 1, 9, 10}, {1, 1, 1, 50}, {2, 2, 2, 20}, {2, 3, 2, 30}, {3, 4, 3, 100}, {4, 4, 3, 105}};
    GraphHolder h(word_lattice::build(l, m_voc.voc()));
    const std::vector<Listed> listed = listAll(h.g);
    EXPECT_EQ(listed, (std::vector<Listed>{{{9, 2, 3}, 100}, {{9, 2, 3}, 105}, {{1, 2, 3}, 140}}));
    EXPECT_EQ(word_lattice::bruteForcePaths(l, 4).size(), 4u);
}

// A constraint that refuses every reversed word sequence whose newest word
// it lists.
std::set<uint16_t> gRefused;
int32_t gTablesBuilt = 0;
int32_t gTablesFreed = 0;

Constraint refusingConstraint()
{
    Constraint con{};
    con.type = kConstraintTypeWholeVocabulary;
    con.ops.IsLegalPronEndingReverse = [](Constraint*, const uint16_t* prons, int32_t count) {
        return count > 0 && gRefused.count(prons[count - 1]) != 0 ? 0 : 1;
    };
    con.ops.BuildActiveIdTable = [](Constraint*) { return ++gTablesBuilt, 1; };
    con.ops.FreeActiveIdTable = [](Constraint*) { ++gTablesFreed; };
    return con;
}

// The paths a refusing constraint lets the search make: no seed and no
// step off the best predecessor may take a refused word.
std::vector<Path> pathsUnder(const Lattice& l, int32_t endFrame, const std::set<uint16_t>& refused)
{
    auto frames = word_lattice::keptArcs(l);
    std::vector<Path> out;
    std::vector<uint16_t> reversed;
    auto walk = [&](auto& self, const word_lattice::Arc& a, int32_t score) -> void {
        if (a.word != N)
            reversed.push_back(a.word);
        if (a.start == 0) {
            out.push_back({std::vector<uint16_t>(reversed.rbegin(), reversed.rend()), score});
        } else {
            const auto& before = frames[a.start - 1];
            const auto best = std::min_element(before.begin(), before.end(), [](const auto& x, const auto& y) {
                return x.score < y.score;
            });
            for (auto p = before.begin(); p != before.end(); ++p)
                if (p == best || refused.count(p->word) == 0)
                    self(self, *p, score + (p->score - best->score));
        }
        if (a.word != N)
            reversed.pop_back();
    };
    for (const auto& seed : frames[endFrame])
        if (seed.start != 0 && refused.count(seed.word) == 0)
            walk(walk, seed, seed.score);
    return out;
}

TEST_F(WordGraphSearchTest, ARefusingConstraintMakesNoSeedOrCandidateOfItsWords)
{
    std::mt19937 rng(7800);
    Constraint con = refusingConstraint();
    Constraint* constraints[] = {&con};
    int compared = 0;
    for (int round = 0; round < 300; ++round) {
        const Lattice l = randomLattice(rng, false);
        GraphHolder h(word_lattice::build(l, m_voc.voc()));
        if (h.g->currentFrame < 0 || word_lattice::bruteForcePaths(l, h.g->currentFrame).size() > 64)
            continue;
        gRefused.clear();
        for (const auto& a : l.arcs)
            if (a.word != N && rng() % 3 == 0)
                gRefused.insert(a.word);
        gTablesBuilt = gTablesFreed = 0;
        std::vector<Listed> listed = listAll(h.g, constraints, 1);
        std::sort(listed.begin(), listed.end());
        ASSERT_EQ(listed, sortedPaths(pathsUnder(l, h.g->currentFrame, gRefused))) << "round " << round;
        EXPECT_EQ(gTablesBuilt, gTablesFreed);
        EXPECT_GT(gTablesBuilt, 0);
        ++compared;
    }
    EXPECT_GT(compared, 200);
}

TEST_F(WordGraphSearchTest, SearchesOfEmptyOrShortGraphsFindNothing)
{
    Lattice l;
    l.arcs = {{0, 0, N, 0}, {1, 1, 5, 10}};
    GraphHolder h(word_lattice::build(l, m_voc.voc()));
    ChoiceRecord records[4];
    EXPECT_EQ(WordGraph_SearchNBest(h.g, records, 4, 0, 2, -1, 0, 65535, nullptr, 0), 0);
    EXPECT_EQ(WordGraph_SearchNBest(h.g, records, 4, 0, 1, -1, 0, 65535, nullptr, 0), 1);
    EXPECT_EQ(records[0].producerWord, kWordGraphComplete);
    EXPECT_EQ(records[0].score, 10);
    ASSERT_EQ(WordGraph_GetNBest(h.g, records, 4, 7, nullptr, 0), 1);
    uint16_t words[2];
    int32_t score = 0;
    EXPECT_EQ(WordGraph_GetNthBestPath(h.g, 1, words, 2, &score, nullptr, 0), 0);
    EXPECT_EQ(score, kWordGraphNoScore);
    WordGraph_Reset(h.g, nullptr, 0, 0);
    EXPECT_EQ(WordGraph_GetNBest(h.g, records, 4, 7, nullptr, 0), 0);
}

TEST_F(WordGraphSearchTest, OneWordSeedsGainTheirLanguageModelScore)
{
    ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamNBestRecords, 8).word(kBrevitParamLmRescoreSeeds, 1));
    // Words 5 and 6 start at frame 0 (no path start to take the part out
    // again); 8 and 9 end the utterance.
    Lattice l;
    l.arcs = {{0, 0, 5, 10}, {0, 0, 6, 12}, {1, 1, 8, 30}, {1, 1, 9, 31}};
    GraphHolder h(word_lattice::build(l, m_voc.voc()));
    const uint16_t history[] = {44};
    WordGraph_Reset(h.g, history, 1, 0);
    for (const auto& a : l.arcs) {
        int32_t full = 0;
        WordGraph_AddArc(h.g, a.start, a.end, a.word, a.score, &full);
    }
    m_voc.setNGram(44, 8, 5);
    ChoiceRecord records[4];
    ASSERT_EQ(WordGraph_GetNBest(h.g, records, 4, 65535, nullptr, 0), 4);
    const std::vector<std::tuple<int, int, int, int>> expected = {
        {9, 5, 31, 0}, {9, 6, 33, 0}, {8, 5, 35, 5}, {8, 6, 37, 5}};   // latest word first
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(records[k].wordCount, 2);
        EXPECT_EQ(std::make_tuple(int{records[k].prons[0]}, int{records[k].prons[1]}, records[k].score,
                                  records[k].secondary),
                  expected[k])
            << k;
    }
}

// Context lattice: a path start, words 5 and 6 after it, 10 after both.
Lattice historyLattice()
{
    Lattice l;
    l.context = true;
    l.arcs = {{0, 0, N, 0, kWordGraphWholeWord, 0, 0, true},
              {1, 1, 5, 10, kWordGraphWholeWord, 0, 10, true},
              {1, 1, 6, 12, kWordGraphWholeWord, 0, 12, true},
              {2, 2, 10, 15, kWordGraphWholeWord, 0, 5, true}};
    return l;
}

std::vector<uint16_t> bestPath(const ResultGraph* rg, int32_t* score)
{
    uint16_t words[8];
    int32_t count = 0;
    uint32_t node = 0;
    ResultGraph_GetBestPath(rg, words, nullptr, nullptr, nullptr, nullptr, 8, &count, score, &node, 0, nullptr,
                            nullptr);
    return std::vector<uint16_t>(words, words + std::min(count, 8));
}

TEST_F(WordGraphSearchTest, EqualHistoriesMergeIntoOneNode)
{
    struct Row {
        int32_t order;
        int32_t nodes;
        std::vector<uint16_t> best;
        int32_t score;
    };
    for (const Row& row : {Row{1, 3, {5, 10}, 15}, Row{2, 4, {5, 10}, 15}}) {
        GraphHolder h(word_lattice::build(historyLattice(), m_voc.voc()));
        ASSERT_EQ(WordGraph_BuildResultGraph(h.g, row.order, 0, nullptr), 1);
        EXPECT_EQ(h.g->resultGraph->count, row.nodes) << row.order;
        int32_t score = 0;
        EXPECT_EQ(bestPath(h.g->resultGraph, &score), row.best);
        EXPECT_EQ(score, row.score);
    }
    // The language model scores 10 after 5 by the record's own history.
    m_voc.setNGram(5, 10, 7);
    GraphHolder h(word_lattice::build(historyLattice(), m_voc.voc()));
    ASSERT_EQ(WordGraph_BuildResultGraph(h.g, 1, 0, nullptr), 1);
    int32_t score = 0;
    EXPECT_EQ(bestPath(h.g->resultGraph, &score), (std::vector<uint16_t>{6, 10}));
    EXPECT_EQ(score, 17);
    // The initial history opens every path.
    m_voc.setNGram(77, 6, 100);
    const uint16_t initial[] = {1, 77};
    ASSERT_EQ(WordGraph_BuildResultGraph(h.g, 2, 2, initial), 1);
    EXPECT_EQ(bestPath(h.g->resultGraph, &score), (std::vector<uint16_t>{5, 10}));
    EXPECT_EQ(score, 22);
}

TEST_F(WordGraphSearchTest, AnOrderAboveTheHistoryRoomTakesFive)
{
    const uint16_t initial[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    GraphHolder five(word_lattice::build(historyLattice(), m_voc.voc()));
    GraphHolder nine(word_lattice::build(historyLattice(), m_voc.voc()));
    ASSERT_EQ(WordGraph_BuildResultGraph(five.g, 5, 9, initial), 1);
    // The linear-chain decoder's name for the build, with its own order.
    ASSERT_EQ(WordGraph_Build(nine.g, 9, 9, initial), 1);
    EXPECT_EQ(ResultGraph_ComputeCRC(nine.g->resultGraph), ResultGraph_ComputeCRC(five.g->resultGraph));
}

TEST_F(WordGraphSearchTest, PathStartsAloneMakeNoNodes)
{
    Lattice l;
    l.context = true;
    l.arcs = {{0, 0, N, 0, kWordGraphWholeWord, 0, 0, true}, {0, 1, N, 3, kWordGraphWholeWord, 0, 0, true},
              {0, 2, N, 5, kWordGraphWholeWord, 0, 0, true}};
    GraphHolder h(word_lattice::build(l, m_voc.voc()));
    ASSERT_EQ(WordGraph_BuildResultGraph(h.g, 2, 0, nullptr), 1);
    EXPECT_EQ(h.g->resultGraph->count, 0);
    EXPECT_EQ(ResultGraph_HasBest(h.g->resultGraph), 0);
}

TEST_F(WordGraphSearchTest, AFrameAfterWhichNoArcStartsIsNotExtended)
{
    Lattice l;
    l.context = true;
    auto word = [](int32_t s, int32_t e, uint16_t w) {
        return word_lattice::Arc{s, e, w, 1, kWordGraphWholeWord, 0, 1, true};
    };
    l.arcs = {word(0, 0, N), word(1, 1, 5), word(2, 2, 6), word(1, 2, 7), word(2, 3, 8)};
    GraphHolder h(word_lattice::build(l, m_voc.voc()));
    ASSERT_EQ(WordGraph_BuildResultGraph(h.g, 2, 0, nullptr), 1);
    EXPECT_EQ(h.g->resultGraph->count, 2);   // 5 and 8; 6 and 7 lead nowhere
    int32_t score = 0;
    EXPECT_EQ(bestPath(h.g->resultGraph, &score), (std::vector<uint16_t>{5, 8}));
}

TEST_F(WordGraphSearchTest, TheRecordBudgetEndsTheBuild)
{
    for (uint32_t records : {1u, 2u, 6u}) {
        ScopedParamBlock params(ParamBlockBuilder()
                                    .word(kBrevitParamPathRecordBudget, 28 * records)
                                    .word(kBrevitParamResultGraphSize, 100)
                                    .word(kBrevitParamGraphBeam, 100000));
        GraphHolder h(word_lattice::build(historyLattice(), m_voc.voc()));
        // Five records in all: 1 and 2 are too few.
        EXPECT_EQ(WordGraph_BuildResultGraph(h.g, 2, 0, nullptr), records >= 6 ? 1 : 0) << records;
    }
    ScopedParamBlock none(ParamBlockBuilder().word(kBrevitParamResultGraphSize, 100));
    GraphHolder h(word_lattice::build(historyLattice(), m_voc.voc()));
    EXPECT_EQ(WordGraph_BuildResultGraph(h.g, 2, 0, nullptr), 0);
    Lattice timed = historyLattice();
    timed.context = false;
    GraphHolder t(word_lattice::build(timed, m_voc.voc()));
    EXPECT_EQ(WordGraph_BuildResultGraph(t.g, 2, 0, nullptr), 0);
}

TEST_F(WordGraphSearchTest, EveryAllocationFailingInTurnIsReportedAndLeavesTheGraph)
{
    Lattice pieces = historyLattice();
    pieces.arcs.push_back({3, 3, 11, 20, kWordGraphFirstPiece, 2, 4, false});
    pieces.arcs.push_back({4, 4, 11, 22, kWordGraphLaterPiece, 0, 3, true});
    uint32_t expected = 0;
    {
        GraphHolder h(word_lattice::build(pieces, m_voc.voc()));
        ASSERT_EQ(WordGraph_BuildResultGraph(h.g, 2, 0, nullptr), 1);
        expected = ResultGraph_ComputeCRC(h.g->resultGraph);
        EXPECT_GT(h.g->resultGraph->count, 0);
    }
    for (uint64_t k = 1;; ++k) {
        GraphHolder h(word_lattice::build(pieces, m_voc.voc()));
        const uint32_t crc = WordGraph_ComputeCRC(h.g);
        const uint64_t failures = m_allocator.failures();
        m_allocator.failAt(m_allocator.calls() + k);
        const int32_t built = WordGraph_BuildResultGraph(h.g, 2, 0, nullptr);
        m_allocator.failAt(0);
        if (built == 0) {
            EXPECT_EQ(WordGraph_ComputeCRC(h.g), crc) << k;
            EXPECT_EQ(h.g->linked, 0);
        } else if (ResultGraph_GetOverflow(h.g->resultGraph) == 0) {
            // A node refused is reported by the result graph's overflow.
            EXPECT_EQ(ResultGraph_ComputeCRC(h.g->resultGraph), expected) << k;
        }
        if (m_allocator.failures() == failures)
            break;
    }
    std::vector<Listed> reference;
    {
        GraphHolder h(word_lattice::build(pieces, m_voc.voc()));
        reference = listAll(h.g);
        ASSERT_FALSE(reference.empty());
    }
    for (uint64_t k = 1;; ++k) {
        GraphHolder h(word_lattice::build(pieces, m_voc.voc()));
        const uint32_t crc = WordGraph_ComputeCRC(h.g);
        const uint64_t failures = m_allocator.failures();
        m_allocator.failAt(m_allocator.calls() + k);
        uint16_t words[8];
        int32_t score = 0;
        const int32_t length = WordGraph_GetNthBestPath(h.g, 0, words, 8, &score, nullptr, 0);
        m_allocator.failAt(0);
        if (score == kWordGraphNoScore) {
            EXPECT_EQ(length, 0);
            EXPECT_EQ(WordGraph_ComputeCRC(h.g), crc) << k;
        } else {
            EXPECT_EQ(score, reference[0].score);
            EXPECT_EQ(std::vector<uint16_t>(words, words + length), reference[0].words);
        }
        if (m_allocator.failures() == failures)
            break;
    }
}

}  // namespace
