// Word graph store: adding and finishing frames in every mode, frame words,
// the greedy path, clones, linking of word pieces, the iterator, untrusted
// arc frames, and every allocation failing in turn.
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/search/word_graph.h"
#include "core/brevit/search/word_graph_parts.h"
#include "tests/brevit/search/fake_vocabulary.h"
#include "tests/support/counting_allocator.h"
#include "tests/support/param_block_builder.h"
#include "tests/support/word_lattice.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace {

using word_lattice::Lattice;
constexpr uint16_t N = kWordGraphNullWord;

class WordGraphTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks(); }

    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
    FakeVocabulary m_voc{{{10, {10}}, {11, {11}}, {12, {12}}, {20, {20}}, {21, {21}}}};
};

struct GraphHolder {
    explicit GraphHolder(WordGraph* graph) : g(graph) {}
    ~GraphHolder() { WordGraph_Delete(g); }
    GraphHolder(const GraphHolder&) = delete;
    GraphHolder& operator=(const GraphHolder&) = delete;
    WordGraph* g;
};

Lattice timedLattice()
{
    Lattice l;
    l.capacity = 8;
    l.arcs = {{0, 1, N, 100}, {2, 3, 10, 150}, {2, 3, 11, 140}, {2, 3, 10, 145},
              {1, 3, 12, 200}, {4, 5, 20, 180}, {4, 5, 21, 170}};
    return l;
}

using ArcTuple = std::tuple<int, int, int>;   // word, start, relative score

std::vector<ArcTuple> frameArcs(const WordGraph* g, int32_t frame)
{
    std::vector<ArcTuple> out;
    const WordGraphFrame& f = g->frames[frame];
    for (int32_t i = f.firstArc; i < f.firstArc + f.arcCount; ++i) {
        const WordGraphArc& a = *WordGraph_Arc(g, i);
        out.emplace_back(a.word, a.startFrame, a.score);
    }
    return out;
}

TEST_F(WordGraphTest, TimedGraphKeepsTheBestArcOfEachWordAndStart)
{
    GraphHolder h(word_lattice::build(timedLattice(), m_voc.voc()));
    WordGraph* g = h.g;
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(WordGraph_HasTimes(g), 1);
    EXPECT_EQ(frameArcs(g, 3), (std::vector<ArcTuple>{{10, 2, -5}, {11, 2, -10}}));   // word 12 dropped
    EXPECT_EQ(g->frames[3].referenceScore, 150);
    const std::vector<std::tuple<int, int, int>> records = {{0, 0, -1}, {0, 1, 100}, {1, 0, -1},
                                                            {1, 2, -1}, {3, 0, -1}, {3, 2, 180}};
    ASSERT_EQ(g->frameCount, 6);
    for (int f = 0; f < 6; ++f) {
        EXPECT_EQ(g->frames[f].firstArc, std::get<0>(records[f])) << f;
        EXPECT_EQ(g->frames[f].arcCount, std::get<1>(records[f])) << f;
        if (std::get<2>(records[f]) >= 0) {
            EXPECT_EQ(g->frames[f].referenceScore, std::get<2>(records[f])) << f;
        }
    }
    uint16_t words[4];
    int32_t scores[4];
    ASSERT_EQ(WordGraph_GetFrameWords(g, words, scores, 4, 3), 2);
    EXPECT_EQ(std::vector<int>(words, words + 2), (std::vector<int>{10, 11}));
    EXPECT_EQ(std::vector<int>(scores, scores + 2), (std::vector<int>{145, 140}));
    ASSERT_EQ(WordGraph_GetFrameWords(g, words, scores, 1, 5), 1);
    EXPECT_EQ(words[0], 21);
    EXPECT_EQ(scores[0], 170);
    EXPECT_EQ(WordGraph_GetFrameWords(g, words, scores, 4, 6), 0);

    uint32_t ids[4] = {};
    ASSERT_EQ(WordGraph_GetGreedyPath(g, 6, 4, ids), 2);
    EXPECT_EQ(ids[0], 0x4000000Bu);
    EXPECT_EQ(ids[1], 0x40000015u);
    uint32_t first[2] = {0, 0xDEADu};
    EXPECT_EQ(WordGraph_GetGreedyPath(g, 6, 1, first), 2);
    EXPECT_EQ(first[0], 0x4000000Bu);
    EXPECT_EQ(first[1], 0xDEADu);

    int32_t full = 0;
    WordGraph_AddArc(g, 5, 7, 30, 10, &full);
    EXPECT_EQ(full, 1);
}

TEST_F(WordGraphTest, WordOnlyFramesListEachWordOnce)
{
    Lattice l = timedLattice();
    l.wordOnly = true;
    l.arcs.push_back({4, 5, 20, 1});
    GraphHolder h(word_lattice::build(l, m_voc.voc()));
    WordGraph* g = h.g;
    EXPECT_EQ(WordGraph_HasTimes(g), 0);
    uint16_t words[4];
    int32_t scores[4] = {7, 7, 7, 7};
    ASSERT_EQ(WordGraph_GetFrameWords(g, words, scores, 4, 3), 2);
    EXPECT_EQ(std::vector<int>(words, words + 2), (std::vector<int>{10, 11}));
    EXPECT_EQ(std::vector<int>(scores, scores + 2), (std::vector<int>{0, 0}));
    ASSERT_EQ(WordGraph_GetFrameWords(g, words, scores, 4, 5), 2);
    EXPECT_EQ(std::vector<int>(words, words + 2), (std::vector<int>{20, 21}));
    // The null word sorts last and is not counted.
    EXPECT_EQ(WordGraph_GetFrameWords(g, words, scores, 4, 1), 0);
    uint32_t ids[2];
    EXPECT_EQ(WordGraph_GetGreedyPath(g, 6, 2, ids), 0);
}

TEST_F(WordGraphTest, WordOnlyModeIsRefusedByParameterWord999)
{
    ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamNoWordOnlyMode, 1));
    Lattice l = timedLattice();
    l.wordOnly = true;
    GraphHolder h(word_lattice::build(l, m_voc.voc()));
    EXPECT_EQ(WordGraph_HasTimes(h.g), 1);
}

TEST_F(WordGraphTest, AClonesFramesAreTheFramesInUse)
{
    GraphHolder h(word_lattice::build(timedLattice(), m_voc.voc()));
    GraphHolder copy(WordGraph_Clone(h.g));
    ASSERT_NE(copy.g, nullptr);
    EXPECT_EQ(copy.g->frameCapacity, 6);
    EXPECT_EQ(copy.g->resultGraph, nullptr);
    for (int f = 0; f < 6; ++f)
        EXPECT_EQ(frameArcs(copy.g, f), frameArcs(h.g, f)) << f;
    GraphHolder again(WordGraph_Clone(copy.g));
    EXPECT_EQ(WordGraph_ComputeCRC(again.g), WordGraph_ComputeCRC(copy.g));
    // Only the capacity tells the clone from its original.
    h.g->frameCapacity = 6;
    EXPECT_EQ(WordGraph_ComputeCRC(copy.g), WordGraph_ComputeCRC(h.g));
    h.g->frameCapacity = 8;
    int32_t full = 0;
    WordGraph_AddArc(copy.g, 4, 5, 22, 100, &full);
    EXPECT_EQ(full, 1);
}

TEST_F(WordGraphTest, ChecksumsFollowEveryCountedField)
{
    GraphHolder a(word_lattice::build(timedLattice(), m_voc.voc()));
    GraphHolder b(word_lattice::build(timedLattice(), m_voc.voc()));
    const uint32_t crc = WordGraph_ComputeCRC(a.g);
    EXPECT_EQ(crc, WordGraph_ComputeCRC(b.g));
    Lattice other = timedLattice();
    other.valueB = 1;
    GraphHolder c(word_lattice::build(other, m_voc.voc()));
    EXPECT_NE(WordGraph_ComputeCRC(c.g), crc);
    other.valueB = 0;
    other.valueA = 9;   // carried only
    GraphHolder d(word_lattice::build(other, m_voc.voc()));
    EXPECT_EQ(WordGraph_ComputeCRC(d.g), crc);
    const uint16_t history[] = {3, 4};
    WordGraph_Reset(b.g, history, 2, 1);
    EXPECT_EQ(b.g->historyWord, 4);
    EXPECT_EQ(b.g->currentFrame, -1);
    for (const auto& arc : timedLattice().arcs) {
        int32_t full = 0;
        WordGraph_AddArc(b.g, arc.start, arc.end, arc.word, arc.score, &full);
    }
    EXPECT_NE(WordGraph_ComputeCRC(b.g), crc);
    WordGraph_Reset(b.g, nullptr, 0, 0);
    for (const auto& arc : timedLattice().arcs) {
        int32_t full = 0;
        WordGraph_AddArc(b.g, arc.start, arc.end, arc.word, arc.score, &full);
    }
    EXPECT_EQ(WordGraph_ComputeCRC(b.g), crc);
}

// Frame 3 holds a first piece and a whole word of w = 10; frame 5 a later
// piece of w starting at 4.
Lattice pieceLattice()
{
    Lattice l;
    l.context = true;
    l.capacity = 8;
    l.arcs = {{0, 0, N, 0},
              {1, 1, 40, 0, kWordGraphWholeWord, 3, 0},
              {1, 2, 41, 0, kWordGraphWholeWord, 3, 0},
              {1, 3, 10, 100, kWordGraphFirstPiece, 4, 50},
              {2, 3, 10, 97, kWordGraphWholeWord, 6, 30},
              {4, 4, 42, 0, kWordGraphWholeWord, 3, 0},
              {4, 5, 43, 100, kWordGraphWholeWord, 3, 0},
              {4, 5, 10, 107, kWordGraphLaterPiece, 9, 40}};
    return l;
}

TEST_F(WordGraphTest, LaterPiecesJoinTheirFirstPiecesAndWholeWords)
{
    GraphHolder h(word_lattice::build(pieceLattice(), m_voc.voc()));
    WordGraph* g = h.g;
    ASSERT_EQ(g->frames[3].arcCount, 2);
    ASSERT_EQ(WordGraph_LinkWordPieces(g), 1);
    EXPECT_EQ(g->linked, 1);
    // Frame 3 keeps its whole word only.
    ASSERT_EQ(g->frames[3].arcCount, 1);
    EXPECT_EQ(WordGraph_Context(g, g->frames[3].firstArc)->kind, kWordGraphWholeWord);
    const WordGraphFrame& f = g->frames[5];
    ASSERT_EQ(f.arcCount, 3);
    std::vector<std::tuple<int, int, int, int>> copies;   // start, relative, acoustic, entry
    for (int32_t i = f.firstArc; i < f.firstArc + f.arcCount; ++i) {
        const WordGraphContext& c = *WordGraph_Context(g, i);
        if (c.kind != kWordGraphLaterPiece)
            continue;
        EXPECT_EQ(c.exitPhoneme, 9);
        copies.emplace_back(WordGraph_Arc(g, i)->startFrame, WordGraph_Arc(g, i)->score, c.acousticScore,
                            c.entryPhoneme);
    }
    // The later piece (relative 7, acoustic 40) over the first piece (start 1,
    // relative 0, acoustic 50) and the whole word (start 2, relative -3, the
    // best, acoustic 30).
    EXPECT_EQ(copies, (std::vector<std::tuple<int, int, int, int>>{{1, 10, 60, 4}, {2, 7, 40, 6}}));
    // Linking twice changes nothing.
    const uint32_t crc = WordGraph_ComputeCRC(g);
    EXPECT_EQ(WordGraph_LinkWordPieces(g), 1);
    EXPECT_EQ(WordGraph_ComputeCRC(g), crc);
}

TEST_F(WordGraphTest, ALaterPieceWithoutItsFirstPieceIsDropped)
{
    Lattice l;
    l.context = true;
    l.arcs = {{0, 0, 10, 5, kWordGraphLaterPiece, 1, 1}, {0, 0, 11, 5, kWordGraphWholeWord, 1, 1}};
    GraphHolder h(word_lattice::build(l, m_voc.voc()));
    ASSERT_EQ(WordGraph_LinkWordPieces(h.g), 1);
    EXPECT_EQ(frameArcs(h.g, 0), (std::vector<ArcTuple>{{11, 0, 0}}));
}

TEST_F(WordGraphTest, ContextFramesAreSortedAndKeepEveryArc)
{
    Lattice l;
    l.context = true;
    l.arcs = {{0, 0, N, 0},
              {1, 1, 11, 10, kWordGraphWholeWord, 2, 5},
              {1, 1, 10, 12, kWordGraphWholeWord, 3, 5},
              {1, 1, 10, 11, kWordGraphWholeWord, 3, 5},
              {1, 1, 10, 9, kWordGraphFirstPiece, 3, 5},
              {1, 1, 10, 9, kWordGraphWholeWord, 1, 5},
              {1, 2, 12, 0}};
    GraphHolder h(word_lattice::build(l, m_voc.voc()));
    EXPECT_EQ(frameArcs(h.g, 1), (std::vector<ArcTuple>{{10, 1, -1}, {10, 1, -1}, {10, 1, 1}, {10, 1, 2}, {11, 1, 0}}));
    EXPECT_EQ(WordGraph_Context(h.g, h.g->frames[1].firstArc)->kind, kWordGraphFirstPiece);
    EXPECT_EQ(WordGraph_FindWordInFrame(h.g, 1, 10), h.g->frames[1].firstArc);
    EXPECT_EQ(WordGraph_FindWordInFrame(h.g, 1, 11), h.g->frames[1].firstArc + 4);
    EXPECT_EQ(WordGraph_FindWordInFrame(h.g, 1, 12), -1);
    EXPECT_EQ(WordGraph_FindWordInFrame(h.g, 7, 10), -1);
}

TEST_F(WordGraphTest, IteratorWalksStorageOrderOrBestFirst)
{
    {
        GraphHolder h(word_lattice::build(timedLattice(), m_voc.voc()));
        WordGraphIterator* it = WordGraphIterator_Create(h.g);
        ASSERT_NE(it, nullptr);
        EXPECT_EQ(WordGraphIterator_Init(it, 0, 6), 1);
        std::vector<int> words;
        uint16_t w;
        int32_t start;
        while (WordGraphIterator_Next(it, &w, &start) != 0)
            words.push_back(w);
        EXPECT_EQ(words, (std::vector<int>{10, 11, 20, 21}));
        WordGraphIterator_Delete(it);
    }
    ScopedParamBlock params(ParamBlockBuilder()
                                .word(kBrevitParamIteratorMode, 1)
                                .word(kBrevitParamIteratorBeam, 100)
                                .word(kBrevitParamGraphIteratorCapacity, 8));
    GraphHolder h(word_lattice::build(timedLattice(), m_voc.voc()));
    WordGraphIterator* it = WordGraphIterator_Create(h.g);
    ASSERT_NE(it, nullptr);
    ASSERT_EQ(WordGraphIterator_Init(it, 0, 6), 1);
    const uint32_t crc = WordGraphIterator_ComputeCRC(it);
    std::vector<std::pair<int, int>> got;
    uint16_t w;
    int32_t start;
    while (WordGraphIterator_Next(it, &w, &start) != 0)
        got.emplace_back(w, start);
    EXPECT_EQ(got, (std::vector<std::pair<int, int>>{{21, 4}, {11, 2}, {10, 2}, {20, 4}}));
    EXPECT_NE(WordGraphIterator_ComputeCRC(it), crc);
    ASSERT_EQ(WordGraphIterator_Init(it, 0, 6), 1);
    EXPECT_EQ(WordGraphIterator_ComputeCRC(it), crc);
    // From frame 2 down to 1 there is no frame with arcs above the lowest.
    EXPECT_EQ(WordGraphIterator_Init(it, 1, 2), 0);
    WordGraphIterator_Delete(it);
}

TEST_F(WordGraphTest, IteratorBeamAndCapacityRefuseEntries)
{
    ScopedParamBlock params(ParamBlockBuilder()
                                .word(kBrevitParamIteratorMode, 1)
                                .word(kBrevitParamIteratorBeam, 5)
                                .word(kBrevitParamGraphIteratorCapacity, 70000));
    GraphHolder h(word_lattice::build(timedLattice(), m_voc.voc()));
    WordGraphIterator* it = WordGraphIterator_Create(h.g);
    ASSERT_NE(it, nullptr);
    EXPECT_EQ(it->capacity, 65535);
    ASSERT_EQ(WordGraphIterator_Init(it, 0, 6), 1);
    std::vector<std::pair<int, int>> got;
    uint16_t w;
    int32_t start;
    while (WordGraphIterator_Next(it, &w, &start) != 0)
        got.emplace_back(w, start);
    // 20 (180) is more than 5 above the best, 170; 10 (175) is not.
    EXPECT_EQ(got, (std::vector<std::pair<int, int>>{{21, 4}, {11, 2}, {10, 2}}));
    WordGraphIterator_Delete(it);
}

TEST_F(WordGraphTest, UntrustedArcFramesAreRefused)
{
    // Reversed time: frames count back from the first arc's start.
    Lattice l;
    l.reversed = true;
    l.capacity = 16;
    l.arcs = {{10, 9, N, 5}, {8, 7, 10, 6}, {12, 6, 11, 7}, {6, 5, 12, 8}, {4, 11, 20, 9}};
    int32_t full = 0;
    GraphHolder h(word_lattice::build(l, m_voc.voc(), nullptr, &full));
    // 11 starts at stored frame -2, 20 ends at -1: both refused, the second as full.
    EXPECT_EQ(full, 1);
    EXPECT_EQ(h.g->timeOrigin, 10);
    EXPECT_EQ(frameArcs(h.g, 1), (std::vector<ArcTuple>{{N, 0, 0}}));
    EXPECT_EQ(frameArcs(h.g, 3), (std::vector<ArcTuple>{{10, 2, 0}}));
    EXPECT_EQ(frameArcs(h.g, 5), (std::vector<ArcTuple>{{12, 4, 0}}));
    EXPECT_EQ(h.g->arcCount, 3);
    // Forward time: an arc starting after it ends, or ending before the
    // frame being filled, is dropped; the walks then end.
    Lattice f;
    f.arcs = {{0, 0, N, 0}, {1, 2, 10, 1}, {3, 2, 11, 1}, {1, 1, 12, 1}, {-1, 3, 20, 1}};
    full = 0;
    GraphHolder g(word_lattice::build(f, m_voc.voc(), nullptr, &full));
    EXPECT_EQ(full, 0);
    EXPECT_EQ(g.g->arcCount, 2);
    uint32_t ids[4];
    EXPECT_EQ(WordGraph_GetGreedyPath(g.g, 3, 4, ids), 1);
    EXPECT_EQ(ids[0], 0x4000000Au);
    // Frames are 16-bit: a larger capacity is cut to what they can number.
    GraphHolder big(WordGraph_Create(nullptr, m_voc.voc(), 0, 100000, 0, 0, 0, 0));
    EXPECT_EQ(big.g->frameCapacity, kWordGraphMaxFrames);
    full = 0;
    WordGraph_AddArc(big.g, 0, 40000, N, 0, &full);
    EXPECT_EQ(full, 1);
}

TEST_F(WordGraphTest, GreedyPathStopsAtAFrameWithoutAScoredArc)
{
    Lattice l;
    l.arcs = {{0, 0, N, 0}, {1, 1, 10, 0}, {1, 1, 11, 16384}, {2, 2, 12, 0}};
    GraphHolder h(word_lattice::build(l, m_voc.voc()));
    uint32_t ids[4] = {};
    EXPECT_EQ(WordGraph_GetGreedyPath(h.g, 3, 4, ids), 2);
    // Frame 1's best has relative score 0; make every arc of it unscored.
    for (int32_t i = h.g->frames[1].firstArc; i < h.g->frames[1].firstArc + h.g->frames[1].arcCount; ++i)
        WordGraph_Arc(h.g, i)->score = 16384;
    EXPECT_EQ(WordGraph_GetGreedyPath(h.g, 3, 4, ids), 1);
    EXPECT_EQ(ids[0], 0x4000000Cu);
}

TEST_F(WordGraphTest, EveryAllocationFailingInTurnIsReportedAndLeavesTheGraph)
{
    const Lattice lattices[] = {timedLattice(), pieceLattice()};
    for (const Lattice& lattice : lattices) {
        bool done = false;
        for (uint64_t k = 1; !done; ++k) {
            GraphHolder reference(word_lattice::build(lattice, m_voc.voc()));
            m_allocator.failAt(m_allocator.calls() + k);
            int32_t full = 0;
            WordGraph* g = word_lattice::build(lattice, m_voc.voc(), nullptr, &full);
            m_allocator.failAt(0);
            if (g == nullptr)
                continue;
            if (full != 0) {
                WordGraph_Delete(g);
                continue;
            }
            EXPECT_EQ(WordGraph_ComputeCRC(g), WordGraph_ComputeCRC(reference.g));
            WordGraph_Delete(g);
            done = true;
        }
    }
    for (const Lattice& lattice : lattices) {
        for (uint64_t k = 1;; ++k) {
            GraphHolder h(word_lattice::build(lattice, m_voc.voc()));
            const uint32_t crc = WordGraph_ComputeCRC(h.g);
            const uint64_t failures = m_allocator.failures();
            m_allocator.failAt(m_allocator.calls() + k);
            WordGraph* copy = WordGraph_Clone(h.g);
            const int32_t linked = WordGraph_LinkWordPieces(h.g);
            const bool failed = m_allocator.failures() > failures;
            m_allocator.failAt(0);
            WordGraph_Delete(copy);
            if (linked == 0) {
                EXPECT_EQ(WordGraph_ComputeCRC(h.g), crc);
                EXPECT_EQ(h.g->linked, 0);
            }
            if (!failed)
                break;
        }
    }
}

}  // namespace
