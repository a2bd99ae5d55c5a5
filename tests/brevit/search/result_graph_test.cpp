// Result graph: insertions against a plain list of nodes searched in full
// (every merge mode, with a roomy hash, one small enough to fill, and none),
// paths against walking the parents by hand, the end-frame and best-score
// rules, a full graph, oversized hash tables, and running out of memory.
#include "core/brevit/search/result_graph.h"

#include "tests/support/counting_allocator.h"
#include "tests/support/param_block_builder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

class ResultGraphTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks(); }

    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
};

struct Graph {
    // The parameter block stays installed while the graph lives.
    Graph(int32_t maximum, uint32_t hashBits, uint32_t reserve = 0)
        : params(ParamBlockBuilder()
                     .word(kBrevitParamNodeHashBits, hashBits)
                     .word(kBrevitParamNodeHashReserve, reserve))
    {
        g = ResultGraph_Create(maximum);
    }
    ~Graph() { ResultGraph_Delete(g); }
    Graph(const Graph&) = delete;
    Graph& operator=(const Graph&) = delete;
    ScopedParamBlock params;
    ResultGraph* g = nullptr;
};

struct RefNode {
    uint32_t parent;
    uint16_t word;
    uint32_t low;
    uint32_t high;
    int16_t score;
    int16_t frame;
};

// The whole list searched for the match rule of the mode.
uint32_t referenceAdd(std::vector<RefNode>& nodes, int mode, uint32_t parent, uint16_t word,
                      uint32_t low, uint32_t high, int16_t score, int16_t frame)
{
    for (size_t i = 0; i < nodes.size(); ++i) {
        RefNode& n = nodes[i];
        bool same = n.parent == parent && n.word == word;
        if (mode == 1)
            same = same && n.low == low && n.high == high;
        if (mode == 2)
            same = same && n.low == low && ((n.high ^ high) & 0x7FFFFFFFu) == 0;
        if (same) {
            if (score < n.score) {
                n.score = score;
                n.frame = frame;
            }
            return static_cast<uint32_t>(i);
        }
    }
    nodes.push_back({parent, word, low, high, score, frame});
    return static_cast<uint32_t>(nodes.size() - 1);
}

TEST_F(ResultGraphTest, InsertionsMatchAFullSearchInEveryMode)
{
    struct Lookup {
        uint32_t hashBits;
        uint32_t reserve;
    };
    // No hash, a roomy one, ones that fill and fall back, a reserve above the
    // size, and a negative reserve (none: a full table would be probed for ever).
    const Lookup lookups[] = {{0, 0}, {12, 0}, {4, 3}, {5, 0}, {3, 100}, {3, 0xFFFFFFFFu}};
    for (int mode = 0; mode < 3; ++mode) {
        std::vector<uint32_t> crcs;
        for (const Lookup& lookup : lookups) {
            std::mt19937 rng(830 + static_cast<uint32_t>(mode));
            Graph graph(3000, lookup.hashBits, lookup.reserve);
            ASSERT_NE(graph.g, nullptr);
            ResultGraph_ResetWithModes(graph.g, mode == 1, mode == 2);
            std::vector<RefNode> nodes;
            for (int i = 0; i < 2500; ++i) {
                const uint32_t parent = nodes.empty() || rng() % 5 == 0
                                            ? kResultGraphNone
                                            : static_cast<uint32_t>(rng() % nodes.size());
                const uint16_t word = static_cast<uint16_t>(rng() % 4);
                const uint32_t low = rng() % 2;
                const uint32_t high = (rng() % 2) << 3;
                const int32_t flag = static_cast<int32_t>(rng() % 2);
                const int16_t score = static_cast<int16_t>(rng() % 100);
                const int16_t frame = static_cast<int16_t>(rng() % 50);
                const uint32_t storedHigh = flag != 0 ? high | 0x80000000u : high;
                const uint32_t expected = referenceAdd(nodes, mode, parent, word, low, storedHigh, score, frame);
                ASSERT_EQ(ResultGraph_AddNode(graph.g, parent, word, low, high, flag, score, frame), expected)
                    << "mode " << mode << " hash " << lookup.hashBits << " insertion " << i;
            }
            ASSERT_EQ(graph.g->count, static_cast<int32_t>(nodes.size()));
            for (size_t i = 0; i < nodes.size(); ++i) {
                const ResultGraphNode& n = *ResultGraph_Node(graph.g, static_cast<uint32_t>(i));
                EXPECT_EQ(n.score, nodes[i].score);
                EXPECT_EQ(n.endFrame, nodes[i].frame);
                EXPECT_EQ(n.high, nodes[i].high);
            }
            crcs.push_back(ResultGraph_ComputeCRC(graph.g));
        }
        for (uint32_t crc : crcs)
            EXPECT_EQ(crc, crcs[0]) << "mode " << mode;
    }
}

TEST_F(ResultGraphTest, MergeRules)
{
    struct Case {
        int32_t full;
        int32_t masked;
        uint32_t secondLow;
        int32_t secondFlag;
        bool merges;
    };
    const Case cases[] = {
        {0, 1, 7, 1, true},    // masked: bit 31 apart merges
        {1, 0, 7, 1, false},   // full: the flag is part of the position
        {1, 0, 7, 0, true},
        {0, 0, 9, 1, true},    // neither: parent and word decide
        {0, 1, 9, 0, false},
    };
    for (const Case& c : cases) {
        Graph graph(16, 0);
        ASSERT_NE(graph.g, nullptr);
        ResultGraph_ResetWithModes(graph.g, c.full, c.masked);
        const uint32_t a = ResultGraph_AddNode(graph.g, kResultGraphNone, 3, 7, 0x48, 0, 20, 5);
        const uint32_t b = ResultGraph_AddNode(graph.g, kResultGraphNone, 3, c.secondLow, 0x48, c.secondFlag, 10, 8);
        EXPECT_EQ(a == b, c.merges) << c.full << c.masked << c.secondLow << c.secondFlag;
    }
    // The same history again: a worse score leaves it, a better one lowers score and frame.
    Graph graph(16, 6);
    ASSERT_NE(graph.g, nullptr);
    const uint32_t n = ResultGraph_AddNode(graph.g, kResultGraphNone, 3, 0, 0, 0, 20, 5);
    EXPECT_EQ(ResultGraph_AddNode(graph.g, kResultGraphNone, 3, 0, 0, 0, 20, 9), n);
    EXPECT_EQ(ResultGraph_Node(graph.g, n)->endFrame, 5);
    EXPECT_EQ(ResultGraph_AddNode(graph.g, kResultGraphNone, 3, 0, 0, 0, 4, 9), n);
    EXPECT_EQ(ResultGraph_Node(graph.g, n)->score, 4);
    EXPECT_EQ(ResultGraph_Node(graph.g, n)->endFrame, 9);
}

TEST_F(ResultGraphTest, PathsMatchWalkingTheParents)
{
    std::mt19937 rng(211);
    Graph graph(4096, 8);
    ASSERT_NE(graph.g, nullptr);
    ResultGraph_ResetWithModes(graph.g, 1, 0);
    std::vector<uint32_t> parents;
    for (int i = 0; i < 400; ++i) {
        const uint32_t parent = parents.empty() || rng() % 8 == 0 ? kResultGraphNone
                                                                  : static_cast<uint32_t>(rng() % parents.size());
        const uint32_t index = ResultGraph_AddNode(graph.g, parent, static_cast<uint16_t>(i), (rng() % 3) | ((rng() % 5) << 10),
                                                   (rng() % 9) << 3 | (rng() % 4) << 21, static_cast<int32_t>(rng() % 2),
                                                   0, static_cast<int16_t>(rng() % 300));
        ASSERT_EQ(index, parents.size());
        parents.push_back(parent);
    }
    for (uint32_t node = 0; node < parents.size(); ++node) {
        std::vector<uint32_t> chain;  // newest first
        for (uint32_t at = node; at != kResultGraphNone; at = parents[at])
            chain.push_back(at);
        for (int32_t maximum : {1, 3, 59}) {
            const size_t kept = std::min<size_t>(chain.size(), static_cast<size_t>(maximum));
            uint16_t words[59];
            uint32_t states[59];
            int16_t frames[59];
            uint8_t flags[59] = {};
            int32_t constraint = -1;
            ASSERT_EQ(ResultGraph_GetPath(graph.g, node, words, states, nullptr, nullptr, frames, flags, maximum,
                                          &constraint),
                      static_cast<int32_t>(kept));
            EXPECT_EQ(constraint, static_cast<int32_t>((ResultGraph_Node(graph.g, node)->high >> 21) & 0x3FF));
            // One forward pass lowers a frame not below the next one; it
            // does not revisit earlier positions.
            std::vector<int16_t> expectedFrames;
            for (size_t i = 0; i < kept; ++i)
                expectedFrames.push_back(ResultGraph_Node(graph.g, chain[chain.size() - 1 - i])->endFrame);
            if (expectedFrames[0] == 0)
                expectedFrames[0] = 1;
            for (size_t i = 0; i + 1 < kept; ++i)
                if (expectedFrames[i] >= expectedFrames[i + 1])
                    expectedFrames[i] = static_cast<int16_t>(expectedFrames[i + 1] - 1);
            for (size_t i = 0; i < kept; ++i) {
                const ResultGraphNode& n = *ResultGraph_Node(graph.g, chain[chain.size() - 1 - i]);
                EXPECT_EQ(words[i], n.word);
                EXPECT_EQ(states[i], (n.high >> 3) & 0x3FFFF);
                EXPECT_EQ(flags[i], n.high >> 31);
                EXPECT_EQ(frames[i], expectedFrames[i]) << i;
            }
        }
    }
}

TEST_F(ResultGraphTest, EndFramesAreMadeToRise)
{
    struct Case {
        int16_t in[3];
        int16_t out[3];
    };
    const Case cases[] = {{{0, 3, 5}, {1, 3, 5}}, {{3, 4, 4}, {3, 3, 4}}};
    for (const Case& c : cases) {
        Graph graph(16, 0);
        ASSERT_NE(graph.g, nullptr);
        uint32_t node = kResultGraphNone;
        for (int i = 0; i < 3; ++i)
            node = ResultGraph_AddNode(graph.g, node, static_cast<uint16_t>(i), 0, 0, 0, 0, c.in[i]);
        uint16_t words[3];
        int16_t frames[3];
        ASSERT_EQ(ResultGraph_GetPath(graph.g, node, words, nullptr, nullptr, nullptr, frames, nullptr, 59, nullptr), 3);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(frames[i], c.out[i]) << i;
    }
}

TEST_F(ResultGraphTest, BestPath)
{
    Graph graph(16, 0);
    ASSERT_NE(graph.g, nullptr);
    uint16_t words[4];
    int32_t count = -1;
    int32_t score = 0;
    uint32_t node = 0;
    EXPECT_EQ(ResultGraph_GetBestPath(graph.g, words, nullptr, nullptr, nullptr, nullptr, 4, &count, &score, &node, 0,
                                      nullptr, nullptr),
              0);
    EXPECT_EQ(score, kResultGraphNoScore);
    EXPECT_EQ(count, 0);
    uint32_t last = kResultGraphNone;
    for (int i = 0; i < 6; ++i)
        last = ResultGraph_AddNode(graph.g, last, static_cast<uint16_t>(10 + i), 0, 0x80u << 21, i == 2, 0, static_cast<int16_t>(i + 1));
    ResultGraph_UpdateBest(graph.g, last, kResultGraphNoScore);
    EXPECT_EQ(ResultGraph_HasBest(graph.g), 0) << "only a lower score sets the best";
    graph.g->bestNode = last;  // a best node left at the unscored value
    int32_t constraint = -1;
    uint8_t flags[6] = {9, 9, 9, 9, 9, 9};
    EXPECT_EQ(ResultGraph_GetBestPath(graph.g, words, nullptr, nullptr, nullptr, nullptr, 4, &count, &score, &node, 1,
                                      flags, &constraint),
              0);
    EXPECT_EQ(score, 1073691824);
    EXPECT_EQ(count, 6) << "the full length";
    EXPECT_EQ(node, last);
    EXPECT_EQ(constraint, 0x80);
    const uint16_t oldest[] = {10, 11, 12, 13};
    const uint8_t cutFlags[] = {0, 0, 1, 0};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(words[i], oldest[i]) << "the oldest words are kept";
        EXPECT_EQ(flags[i], cutFlags[i]) << i;
    }
    ResultGraph_UpdateBest(graph.g, 2, 40);
    uint8_t whole[3];
    EXPECT_EQ(ResultGraph_GetBestPath(graph.g, words, nullptr, nullptr, nullptr, nullptr, 4, &count, &score, &node, 1,
                                      whole, nullptr),
              1);
    EXPECT_EQ(score, 40);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(whole[2], 0) << "the newest of a whole path has no flag";
    const uint16_t history[] = {10, 11, 12};
    EXPECT_EQ(ResultGraph_FindHistory(graph.g, 3, history), 2u);
    EXPECT_EQ(ResultGraph_FindHistory(graph.g, 2, history + 1), kResultGraphNone);
}

TEST_F(ResultGraphTest, FullGraphOverflows)
{
    Graph graph(1024, 0);
    ASSERT_NE(graph.g, nullptr);
    for (uint32_t i = 0; i < 1024; ++i)
        ASSERT_EQ(ResultGraph_AddNode(graph.g, kResultGraphNone, static_cast<uint16_t>(i), 0, 0, 0, 0, 0), i);
    EXPECT_EQ(ResultGraph_GetOverflow(graph.g), 0);
    EXPECT_EQ(ResultGraph_AddNode(graph.g, kResultGraphNone, 5000, 0, 0, 0, 0, 0), kResultGraphNone);
    EXPECT_EQ(ResultGraph_GetOverflow(graph.g), 1);
    EXPECT_EQ(ResultGraph_AddNode(graph.g, kResultGraphNone, 7, 0, 0, 0, 0, 0), 7u) << "old histories still found";
    ResultGraph_Reset(graph.g);
    EXPECT_EQ(ResultGraph_GetOverflow(graph.g), 0);
    EXPECT_EQ(graph.g->count, 0);
}

TEST_F(ResultGraphTest, HashTablesTooLargeToAddressFailCreation)
{
    for (uint32_t bits : {30u, 31u, 32u, 40u}) {
        Graph graph(16, bits);
        EXPECT_EQ(graph.g, nullptr) << bits;
    }
}

TEST_F(ResultGraphTest, EachAllocationFailingInTurn)
{
    for (uint64_t n = 1;; ++n) {
        const uint64_t failures = m_allocator.failures();
        m_allocator.failAt(m_allocator.calls() + n);
        bool done = false;
        {
            Graph graph(4096, 6);
            if (graph.g != nullptr) {
                bool overflowed = false;
                for (uint32_t i = 0; i < 2100; ++i)
                    if (ResultGraph_AddNode(graph.g, kResultGraphNone, static_cast<uint16_t>(i), 0, 0, 0, 0, 0) ==
                        kResultGraphNone)
                        overflowed = true;
                EXPECT_EQ(overflowed, ResultGraph_GetOverflow(graph.g) == 1);
            }
            done = m_allocator.failures() == failures;
        }
        m_allocator.failAt(0);
        EXPECT_EQ(m_allocator.liveBlocks(), 0u) << n;
        if (done)
            break;
    }
}

}  // namespace
