// Walking a class-pair constraint: the plain and cached iterators against a
// brute-force walk of the class graph, the example class of the member runs
// with and without parameter word 213, and the preparation per utterance.
#include "core/brevit/search/class_pair_search.h"

#include "core/brevit/lexicon/ir.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/class_networks.h"
#include "core/brevit/search/class_pair_constraint.h"
#include "core/brevit/search/class_pair_iterator.h"
#include "core/brevit/search/constraint_class.h"
#include "core/brevit/search/constraint_manager.h"
#include "core/brevit/search/whole_voc_constraint.h"
#include "tests/brevit/search/constraint_test.h"
#include "tests/brevit/search/fake_vocabulary.h"
#include "tests/support/class_pair_network.h"
#include "tests/support/param_block_builder.h"
#include "core/brevit/runtime/brevit_global_parameters.h"

#include <algorithm>
#include <memory>
#include <map>
#include <optional>
#include <set>
#include <random>
#include <tuple>
#include <vector>

namespace {

// (pron, next position, final, score) of one successor.
using Offer = std::tuple<uint16_t, ActiveId, uint32_t, uint16_t>;
using Offers = std::vector<Offer>;

constexpr uint16_t kNone = kConstraintNoPron;

class ClassPairSearchTest : public ConstraintTest {
protected:
    void TearDown() override
    {
        release();
        ConstraintTest::TearDown();
    }

    void release()
    {
        if (m_con != nullptr)
            ClassPairConstraint_Delete(m_con, 0);
        m_con = nullptr;
        if (m_classes != nullptr)
            ClassManager_RemoveUnreferencedClasses(m_classes);
        ConstraintManager_Delete(m_constraints);
        ClassManager_Delete(m_classes);
        m_constraints = nullptr;
        m_classes = nullptr;
        m_vocabulary.reset();
    }

    void build(const ClassPairNetwork& net)
    {
        release();
        m_net = net;
        m_vocabulary = std::make_unique<FakeVocabulary>(net.words);
        m_constraints = ConstraintManager_Create(4);
        m_classes = ClassManager_Create(m_vocabulary->voc(), nullptr, m_constraints, 4);
        ASSERT_NE(m_classes, nullptr);
        m_con = ClassPairNetwork_Build(net, m_classes, "net");
        ASSERT_NE(m_con, nullptr);
    }

    uint32_t classId(const char* name) { return static_cast<uint32_t>(ClassManager_FindClass(m_classes, name)); }

    Offers offers(uint16_t previous, ActiveId id, uint16_t restrict = kNone, bool cached = false)
    {
        ConstraintIterator it;
        ClassPairConstraint_PrepareIterator(m_con, &it);
        if (cached)
            CCCache_IteratorInit(m_con, &it, previous, 0, id, restrict);
        else
            ClassPairConstraint_IteratorInit(m_con, &it, previous, 0, id, restrict);
        Offers out;
        ConstraintSuccessor s{};
        while ((cached ? CCCache_IteratorNext(&it, m_con, &s) : ClassPairConstraint_IteratorNext(&it, m_con, &s)) != 0)
            out.emplace_back(s.member, s.next, s.final, s.score);
        return out;
    }

    // Walks the iterators from the start; with compareCache, the cached walk
    // must offer the same successors wherever a word was taken.
    void walk(uint16_t previous, ActiveId id, std::vector<uint16_t>& prons, int32_t cost, size_t maxProns,
              PronCosts& out, bool compareCache)
    {
        if (prons.size() == maxProns)
            return;
        const Offers plain = offers(previous, id);
        if (compareCache && previous != kConstraintSilencePron) {
            Offers cached = offers(previous, id, kNone, true);
            Offers sortedPlain = plain;
            std::sort(cached.begin(), cached.end());
            std::sort(sortedPlain.begin(), sortedPlain.end());
            EXPECT_EQ(cached, sortedPlain) << "at " << std::hex << id;
        }
        for (const auto& [pron, next, final, score] : plain) {
            prons.push_back(pron);
            const int32_t step = cost + score;
            if (final != 0) {
                Constraint* table[1] = {m_con};
                const int32_t total = step + Constraint_GetTransitionScore(table, next);
                auto [at, fresh] = out.emplace(prons, total);
                if (!fresh && total < at->second)
                    at->second = total;
            }
            walk(pron, next, prons, step, maxProns, out, compareCache);
            prons.pop_back();
        }
    }

    PronCosts iteratorPaths(size_t maxProns, bool compareCache = false)
    {
        PronCosts out;
        std::vector<uint16_t> prons;
        walk(kConstraintSilencePron, Constraint_MakeStartActiveId(0), prons, 0, maxProns, out, compareCache);
        return out;
    }

    // start -> A{x:5, x y:7, x z:9}:2 -> end:4; x (word 1) has prons 1 and 2,
    // y (2) pron 3, z (3) pron 4.
    void buildExample()
    {
        ClassPairNetwork net;
        net.words = {{1, {1, 2}}, {2, {3}}, {3, {4}}};
        net.classes = {{"A", {{{1}, 5}, {{1, 2}, 7}, {{1, 3}, 9}}, true}};
        net.transitions = {{0, 1, 2}, {1, 0, 4}};
        build(net);
    }

    size_t legal(const std::vector<uint16_t>& prons)
    {
        return static_cast<size_t>(
            Constraint_IsLegalPronSequence(&m_con, 1, prons.data(), static_cast<int32_t>(prons.size())));
    }

    ActiveId at(const char* name, uint32_t member, uint32_t sub) { return ActiveId_Make(0, classId(name), member, sub); }

    std::vector<uint16_t> allProns() const
    {
        std::vector<uint16_t> prons;
        for (const auto& [word, ps] : m_net.words)
            prons.insert(prons.end(), ps.begin(), ps.end());
        return prons;
    }

    // The batch successors of a position with every pron a candidate.
    Offers batch(uint16_t previous, ActiveId id)
    {
        const std::vector<uint16_t> candidates = allProns();
        std::vector<ConstraintSuccessor> out(2);
        ClassPairSuccessorRequest request{static_cast<int32_t>(candidates.size()), candidates.data(), 2, out.data()};
        const int32_t n = ClassPairConstraint_ExpandSuccessors(m_con, previous, 0, id, &request);
        // Records past the capacity are counted: ask again with room for all.
        out.resize(static_cast<size_t>(std::max(n, 1)));
        request.capacity = n;
        request.out = out.data();
        EXPECT_EQ(ClassPairConstraint_ExpandSuccessors(m_con, previous, 0, id, &request), n);
        Offers offers;
        for (int32_t k = 0; k < n; ++k)
            offers.emplace_back(out[static_cast<size_t>(k)].member, out[static_cast<size_t>(k)].next,
                                out[static_cast<size_t>(k)].final, out[static_cast<size_t>(k)].score);
        return offers;
    }

    void batchWalk(uint16_t previous, ActiveId id, std::vector<uint16_t>& prons, int32_t cost, size_t maxProns,
                   PronCosts& out)
    {
        if (prons.size() == maxProns)
            return;
        for (const auto& [pron, next, final, score] : batch(previous, id)) {
            prons.push_back(pron);
            const int32_t step = cost + score;
            if (final != 0) {
                const int32_t total = step + ClassPairConstraint_GetEndScore(m_con, ActiveId_GetState(next), 0, 0, 0);
                auto [at, fresh] = out.emplace(prons, total);
                if (!fresh && total < at->second)
                    at->second = total;
            }
            batchWalk(pron, next, prons, step, maxProns, out);
            prons.pop_back();
        }
    }

    PronCosts batchPaths(size_t maxProns)
    {
        PronCosts out;
        std::vector<uint16_t> prons;
        batchWalk(kConstraintSilencePron, Constraint_MakeStartActiveId(0), prons, 0, maxProns, out);
        return out;
    }

    int32_t endingLegal(const std::vector<uint16_t>& spoken)
    {
        std::vector<uint16_t> latestFirst(spoken.rbegin(), spoken.rend());
        return ClassPairConstraint_IsLegalPronEndingReverse(m_con, latestFirst.data(),
                                                            static_cast<int32_t>(latestFirst.size()));
    }

    ClassPairNetwork m_net;
    std::unique_ptr<FakeVocabulary> m_vocabulary;
    ConstraintManager* m_constraints = nullptr;
    ClassManager* m_classes = nullptr;
    Constraint* m_con = nullptr;
};

TEST_F(ClassPairSearchTest, ExampleClassOffersEveryMemberWithoutSharedRuns)
{
    buildExample();
    const ActiveId start = Constraint_MakeStartActiveId(0);
    EXPECT_EQ(offers(kConstraintSilencePron, start),
              (Offers{{1, at("A", 0, 0), 1, 7}, {2, at("A", 0, 0), 1, 7}, {1, at("A", 1, 0), 0, 9},
                      {2, at("A", 1, 0), 0, 9}, {1, at("A", 2, 0), 0, 11}, {2, at("A", 2, 0), 0, 11}}));
    EXPECT_EQ(offers(1, at("A", 1, 0)), (Offers{{3, at("A", 1, 1), 1, 0}}));
    // The end of a member that may end the utterance has nowhere to go.
    EXPECT_EQ(offers(3, at("A", 1, 1)), Offers{});
    const PronCosts costs = iteratorPaths(4);
    EXPECT_EQ(costs, (PronCosts{{{1}, 11}, {{2}, 11}, {{1, 3}, 13}, {{2, 3}, 13}, {{1, 4}, 15}, {{2, 4}, 15}}));
}

TEST_F(ClassPairSearchTest, ExampleClassUnderSharedRunsAddsEachMembersScoreOnce)
{
    ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamSingleWordMemberScore, 1));
    buildExample();
    const ActiveId start = Constraint_MakeStartActiveId(0);
    EXPECT_EQ(offers(kConstraintSilencePron, start),
              (Offers{{1, at("A", 0, 0), 1, 7}, {2, at("A", 0, 0), 1, 7}, {1, at("A", 1, 0), 0, 2},
                      {2, at("A", 1, 0), 0, 2}}));
    EXPECT_EQ(offers(1, at("A", 1, 0)), (Offers{{3, at("A", 1, 1), 1, 7}, {4, at("A", 2, 1), 1, 9}}));
    const PronCosts costs = iteratorPaths(4);
    EXPECT_EQ(costs, (PronCosts{{{1}, 11}, {{2}, 11}, {{1, 3}, 13}, {{2, 3}, 13}, {{1, 4}, 15}, {{2, 4}, 15}}));
}

TEST_F(ClassPairSearchTest, RestrictionOffersOnlyThatPronOfMembersStartingWithItsWord)
{
    buildExample();
    const ActiveId start = Constraint_MakeStartActiveId(0);
    EXPECT_EQ(offers(kConstraintSilencePron, start, 2),
              (Offers{{2, at("A", 0, 0), 1, 7}, {2, at("A", 1, 0), 0, 9}, {2, at("A", 2, 0), 0, 11}}));
    // y starts no member: nothing.
    EXPECT_EQ(offers(kConstraintSilencePron, start, 3), Offers{});
    EXPECT_EQ(offers(1, at("A", 1, 0), 4), Offers{});
    {
        ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamSingleWordMemberScore, 1));
        EXPECT_EQ(offers(kConstraintSilencePron, start, 1), (Offers{{1, at("A", 0, 0), 1, 7}, {1, at("A", 1, 0), 0, 2}}));
    }
}

TEST_F(ClassPairSearchTest, WordOrderSkipsPronsThatMayNotFollow)
{
    ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamCanFollowCheck, 1));
    buildExample();
    m_vocabulary->forbidFollowing(1, 3);
    EXPECT_EQ(offers(1, at("A", 1, 0)), Offers{});
    EXPECT_EQ(offers(2, at("A", 1, 0)), (Offers{{3, at("A", 1, 1), 1, 0}}));
}

TEST_F(ClassPairSearchTest, RandomNetworksWalkAsTheBruteForceDoes)
{
    std::mt19937 rng(54);
    int withPaths = 0;
    for (int round = 0; round < 300; ++round) {
        const bool sharedRuns = round % 2 == 1;
        const bool cache = round % 4 >= 2;
        ScopedParamBlock params(ParamBlockBuilder()
                                    .word(kBrevitParamSingleWordMemberScore, sharedRuns ? 1 : 0)
                                    .word(kBrevitParamSuccessorPronPool, 200));
        ClassPairNetwork net = ClassPairNetwork_Random(rng);
        if (cache) {
            for (NetworkClass& c : net.classes) {
                c.weights = false;
                for (NetworkMember& m : c.members)
                    m.weight = 0;
            }
        }
        build(net);
        if (HasFatalFailure())
            return;
        if (cache) {
            ASSERT_EQ(ClassManager_CreateSuccPronIds(m_classes), 1);
        }
        const PronCosts expected = ClassPairNetwork_Paths(net, 4);
        withPaths += expected.empty() ? 0 : 1;
        EXPECT_EQ(iteratorPaths(4, cache), expected) << "round " << round;
        // The whole-path check answers as the brute force for every sequence
        // of up to two prons and for every path.
        const PronCosts shortOnes = ClassPairNetwork_Paths(net, 2);
        std::vector<uint16_t> prons;
        for (const auto& [word, ps] : net.words)
            prons.insert(prons.end(), ps.begin(), ps.end());
        for (uint16_t a : prons) {
            EXPECT_EQ(legal({a}), shortOnes.count({a})) << "round " << round << " pron " << a;
            for (uint16_t b : prons)
                EXPECT_EQ(legal({a, b}), shortOnes.count({a, b})) << "round " << round << " " << a << " " << b;
        }
        for (const auto& [path, cost] : expected)
            EXPECT_EQ(legal(path), 1u) << "round " << round;
        if (HasFailure())
            return;
    }
    // The draw must give networks that accept something.
    EXPECT_GT(withPaths, 150);
}

TEST_F(ClassPairSearchTest, IteratorStepsAllocateNothing)
{
    buildExample();
    ConstraintIterator it;
    ClassPairConstraint_PrepareIterator(m_con, &it);
    const uint64_t before = m_allocator.calls();
    ConstraintSuccessor s{};
    for (int step = 0; step < 10000;) {
        ClassPairConstraint_IteratorInit(m_con, &it, kConstraintSilencePron, 0, Constraint_MakeStartActiveId(0), kNone);
        while (ClassPairConstraint_IteratorNext(&it, m_con, &s) != 0)
            ++step;
        ClassPairConstraint_IteratorInit(m_con, &it, 1, 0, at("A", 1, 0), kNone);
        while (ClassPairConstraint_IteratorNext(&it, m_con, &s) != 0)
            ++step;
    }
    EXPECT_EQ(m_allocator.calls(), before);
}

TEST_F(ClassPairSearchTest, UttInitInstallsTheCachedWalkOnlyWhenEveryClassFits)
{
    ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamSuccessorPronPool, 200));
    ClassPairNetwork net;
    net.words = {{1, {1, 2}}, {2, {3}}};
    net.classes = {{"A", {{{1}, 0}, {{1, 2}, 0}}, false}, {"B", {{{2}, 0}}, false}};
    net.transitions = {{0, 1, 1}, {1, 2, 3}, {2, 0, 0}};
    build(net);
    ASSERT_EQ(ClassManager_CreateSuccPronIds(m_classes), 1);
    int32_t list[4] = {-1, -1, -1, -1};
    ASSERT_EQ(ClassPairConstraint_UttInit(m_con, list, 1, 0), 1);
    EXPECT_EQ(m_con->ops.IteratorInit, &CCCache_IteratorInit);
    EXPECT_EQ(m_con->ops.IteratorNext, &CCCache_IteratorNext);
    // Through the slots: the end of A offers B's word with the member index.
    ConstraintIterator it;
    ClassPairConstraint_PrepareIterator(m_con, &it);
    Constraint_IteratorInit(m_con, &it, 1, 0, at("A", 0, 0), kNone);
    ConstraintSuccessor s{};
    ASSERT_EQ(Constraint_IteratorNext(m_con, &it, &s), 1);
    EXPECT_EQ(Offer(s.member, s.next, s.final, s.score), Offer(3, at("B", 0, 0), 1, 3));
    EXPECT_EQ(Constraint_IteratorNext(m_con, &it, &s), 0);

    ClassPairConstraint_ResetPointers(m_con);
    EXPECT_EQ(m_con->ops.IteratorInit, &ClassPairConstraint_IteratorInit);
    // Without the decoder's flag, or with a class listed by another
    // constraint, the plain walk stays.
    ASSERT_EQ(ClassPairConstraint_UttInit(m_con, list, 0, 0), 1);
    EXPECT_EQ(m_con->ops.IteratorInit, &ClassPairConstraint_IteratorInit);
    list[0] = static_cast<int32_t>(classId("B"));
    list[1] = -1;
    ASSERT_EQ(ClassPairConstraint_UttInit(m_con, list, 1, 0), 1);
    EXPECT_EQ(m_con->ops.IteratorInit, &ClassPairConstraint_IteratorInit);
}

TEST_F(ClassPairSearchTest, UttInitKeepsThePlainWalkForClassesWithWeights)
{
    ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamSuccessorPronPool, 200));
    buildExample();
    ASSERT_EQ(ClassManager_CreateSuccPronIds(m_classes), 1);
    int32_t list[4] = {-1, -1, -1, -1};
    ASSERT_EQ(ClassPairConstraint_UttInit(m_con, list, 1, 0), 1);
    EXPECT_EQ(m_con->ops.IteratorInit, &ClassPairConstraint_IteratorInit);
    EXPECT_EQ(reinterpret_cast<ClassPairConstraint*>(m_con)->decoderFlag, 0);
}

TEST_F(ClassPairSearchTest, UttInitNotesAClassThatDoesNotFitThePool)
{
    ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamSuccessorPronPool, 2));
    ClassPairNetwork net;
    net.words = {{1, {1, 2}}, {2, {3, 4}}};
    net.classes = {{"A", {{{1}, 0}, {{2}, 0}}, false}};
    net.transitions = {{0, 1, 0}, {1, 0, 0}};
    build(net);
    ASSERT_EQ(ClassManager_CreateSuccPronIds(m_classes), 1);
    int32_t list[4] = {-1, -1, -1, -1};
    ASSERT_EQ(ClassPairConstraint_UttInit(m_con, list, 1, 0), 1);
    EXPECT_EQ(m_con->ops.IteratorInit, &ClassPairConstraint_IteratorInit);
    EXPECT_EQ(list[0], static_cast<int32_t>(classId("A")));
    EXPECT_EQ(list[1], -1);
}

TEST_F(ClassPairSearchTest, FramesInvalidateOrBuildTheStartLists)
{
    buildExample();
    ConstraintClass* a = ClassManager_GetClass(m_classes, classId("A"));
    const std::vector<uint16_t> prons{2, 3};
    ClassManager_RequestStartList(m_classes, classId("A"));
    ASSERT_EQ(ConstraintClass_BuildStartList(a, 2, prons.data(), 1, m_vocabulary->voc()), 1);
    ASSERT_GE(a->startListCount, 0);
    Constraint* table[1] = {m_con};
    // Without start lists every frame drops them.
    ASSERT_EQ(Constraint_PrepareFrameAll(table, 1, reinterpret_cast<const uint8_t*>(prons.data()), 2, 7), 1);
    EXPECT_EQ(a->startListCount, -1);
    EXPECT_EQ(reinterpret_cast<ClassPairConstraint*>(m_con)->frameCounter, -1);

    ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamStartLists, 1));
    ClassManager_RequestStartList(m_classes, classId("A"));
    ASSERT_EQ(Constraint_PrepareFrameAll(table, 1, reinterpret_cast<const uint8_t*>(prons.data()), 2, 7), 1);
    EXPECT_GE(a->startListCount, 1);
    EXPECT_EQ(a->startListKey, 7);
    EXPECT_EQ(reinterpret_cast<ClassPairConstraint*>(m_con)->frameCounter, 0);
}

TEST_F(ClassPairSearchTest, FramePreparationFailingAtEachAllocationReportsIt)
{
    ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamStartLists, 1));
    const std::vector<uint16_t> prons{2, 3, 4};
    for (uint64_t k = 1;; ++k) {
        buildExample();
        reinterpret_cast<ClassPairConstraint*>(m_con)->stateTableFlag = 1;
        const uint64_t failures = m_allocator.failures();
        m_allocator.failAt(m_allocator.calls() + k);
        const int32_t result = ClassPairConstraint_PrepareFrame(m_con, reinterpret_cast<const uint8_t*>(prons.data()), 3, 1);
        const bool failed = m_allocator.failures() != failures;
        m_allocator.failAt(0);
        if (!failed) {
            EXPECT_EQ(result, 1);
            EXPECT_EQ(reinterpret_cast<ClassPairConstraint*>(m_con)->scratchCapacity, 3);
            break;
        }
        EXPECT_EQ(result, 0) << "allocation " << k;
        EXPECT_EQ(reinterpret_cast<ClassPairConstraint*>(m_con)->frameCounter, -1);
        release();
    }
}

TEST_F(ClassPairSearchTest, UttInitFailingAtEachAllocationReportsIt)
{
    ScopedParamBlock params(ParamBlockBuilder()
                                .word(kBrevitParamSuccessorPronPool, 200)
                                .word(kBrevitParamClassWordIndex, 1)
                                .word(kBrevitParamStartLists, 1));
    for (uint64_t k = 1;; ++k) {
        buildExample();
        ASSERT_EQ(ClassManager_CreateSuccPronIds(m_classes), 1);
        int32_t list[4] = {-1, -1, -1, -1};
        const uint64_t failures = m_allocator.failures();
        m_allocator.failAt(m_allocator.calls() + k);
        const int32_t result = ClassPairConstraint_UttInit(m_con, list, 1, 0);
        const bool failed = m_allocator.failures() != failures;
        m_allocator.failAt(0);
        if (!failed) {
            EXPECT_EQ(result, 1);
            break;
        }
        EXPECT_EQ(result, 0) << "allocation " << k;
    }
}

TEST_F(ClassPairSearchTest, WordSequencesScoreTheirOwnMembersWeightOnce)
{
    struct Row {
        bool sharedRuns;
        std::vector<uint16_t> prons;
        std::vector<int32_t> members;
        int32_t score;
    };
    const std::vector<Row> rows{
        {false, {1}, {0}, 11},       {false, {2, 3}, {1, 1}, 13}, {false, {1, 4}, {2, 2}, 15},
        {true, {2}, {0}, 11},        {true, {1, 3}, {1, 1}, 13},  {true, {1, 4}, {2, 2}, 15},
        {false, {}, {}, 0},
    };
    for (const Row& row : rows) {
        ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamSingleWordMemberScore, row.sharedRuns ? 1 : 0));
        buildExample();
        const uint32_t a = classId("A");
        std::vector<uint32_t> classes(row.prons.size(), a);
        std::vector<uint8_t> flags(row.prons.size(), 0);
        if (!flags.empty())
            flags[0] = 1;
        EXPECT_EQ(ClassPairConstraint_ScoreWordSequence(m_con, static_cast<int32_t>(row.prons.size()), row.prons.data(),
                                                        classes.data(), row.members.data(), flags.data(), 0),
                  row.score)
            << row.sharedRuns << " " << row.prons.size();
    }
}

TEST_F(ClassPairSearchTest, StartClassesAnswerForTheirMembers)
{
    ClassPairNetwork net;
    net.words = {{1, {1}}, {2, {2}}, {3, {3}}};
    net.classes = {{"A", {{{1}, 0}, {{1, 2}, 0}}, false}, {"B", {{{3}, 0}}, false}, {"C", {{{2}, 0}}, false}};
    net.transitions = {{0, 1, 0}, {0, 2, 0}, {1, 3, 0}, {3, 0, 0}};
    build(net);
    EXPECT_EQ(ClassPairConstraint_CountStartWords(m_con, nullptr), 3);
    std::vector<uint16_t> words(3);
    EXPECT_EQ(ClassPairConstraint_CountStartWords(m_con, words.data()), 3);
    EXPECT_EQ(words, (std::vector<uint16_t>{1, 1, 3}));
    EXPECT_EQ(ClassPairConstraint_ActiveIsGateWord(m_con, 3), 1);
    // Word 2 starts a member of C only, which is no start class.
    EXPECT_EQ(ClassPairConstraint_ActiveIsGateWord(m_con, 2), 0);
    EXPECT_EQ(ClassPairConstraint_HasStartIRClass(m_con), 0);
    EXPECT_EQ(ClassPairConstraint_GetClassFlag(m_con, at("A", 0, 0)), 0);
}

TEST_F(ClassPairSearchTest, RandomNetworksEndParseAndExpandAsTheBruteForceDoes)
{
    std::mt19937 rng(5454);
    int endings = 0;
    for (int round = 0; round < 200; ++round) {
        const bool sharedRuns = round % 2 == 1;
        const bool startLists = round % 4 >= 2;
        ScopedParamBlock params(ParamBlockBuilder()
                                    .word(kBrevitParamSingleWordMemberScore, sharedRuns ? 1 : 0)
                                    .word(kBrevitParamStartLists, startLists ? 1 : 0));
        const ClassPairNetwork net = ClassPairNetwork_Random(rng);
        build(net);
        if (HasFatalFailure())
            return;
        const PronCosts expected = ClassPairNetwork_Paths(net, 4);
        const std::vector<uint16_t> prons = allProns();
        if (startLists) {
            // Start lists of every class built from every pron for this frame.
            for (const NetworkClass& c : net.classes)
                ClassManager_RequestStartList(m_classes, classId(c.name.c_str()));
            ASSERT_EQ(ClassPairConstraint_PrepareFrame(m_con, reinterpret_cast<const uint8_t*>(prons.data()),
                                                       static_cast<int32_t>(prons.size()), 1),
                      1);
        }
        EXPECT_EQ(batchPaths(4), expected) << "round " << round;

        // Endings of up to three prons.
        const std::set<std::vector<uint16_t>> legalEndings = ClassPairNetwork_Endings(net, 3);
        endings += legalEndings.empty() ? 0 : 1;
        ASSERT_EQ(ClassPairConstraint_BuildActiveIdTable(m_con), 1);
        for (uint16_t a : prons) {
            EXPECT_EQ(endingLegal({a}), legalEndings.count({a})) << "round " << round << " " << a;
            for (uint16_t b : prons) {
                EXPECT_EQ(endingLegal({a, b}), legalEndings.count({a, b})) << "round " << round << " " << a << " " << b;
                for (uint16_t c : prons)
                    EXPECT_EQ(endingLegal({a, b, c}), legalEndings.count({a, b, c}))
                        << "round " << round << " " << a << " " << b << " " << c;
            }
        }

        // Parses of sequences of first prons: the lowest cost with scores,
        // else 0; none for sequences no path has.
        std::map<uint16_t, uint16_t> wordOf;
        for (const auto& [word, ps] : net.words)
            wordOf[ps[0]] = word;
        auto parse = [&](const std::vector<uint16_t>& path, int32_t* cost) {
            std::vector<uint32_t> words;
            for (uint16_t p : path)
                words.push_back(kFakeVocActiveKind | wordOf.at(p));
            std::vector<uint32_t> classes(path.size());
            std::vector<uint8_t> flags(path.size());
            return ClassPairConstraint_FindParse(m_con, static_cast<int32_t>(words.size()), words.data(),
                                                 classes.data(), cost, flags.data());
        };
        for (const auto& [path, cost] : expected) {
            bool firstProns = true;
            for (uint16_t p : path)
                firstProns = firstProns && wordOf.count(p) != 0;
            if (!firstProns)
                continue;
            int32_t parsed = -1;
            EXPECT_EQ(parse(path, &parsed), 1) << "round " << round;
            EXPECT_EQ(parsed, net.scores ? cost : 0) << "round " << round;
        }
        for (const auto& [a, wa] : wordOf)
            for (const auto& [b, wb] : wordOf) {
                int32_t parsed = -1;
                EXPECT_EQ(parse({a, b}, &parsed), expected.count({a, b})) << "round " << round;
            }
        if (HasFailure())
            return;
    }
    EXPECT_GT(endings, 100);
}

TEST_F(ClassPairSearchTest, ExampleClassInOneBatch)
{
    for (const bool sharedRuns : {false, true}) {
        ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamSingleWordMemberScore, sharedRuns ? 1 : 0));
        buildExample();
        const ActiveId start = Constraint_MakeStartActiveId(0);
        const auto sorted = [](Offers o) {
            std::sort(o.begin(), o.end());
            return o;
        };
        EXPECT_EQ(sorted(batch(kConstraintSilencePron, start)), sorted(offers(kConstraintSilencePron, start)))
            << sharedRuns;
        EXPECT_EQ(batch(1, at("A", 1, 0)), offers(1, at("A", 1, 0))) << sharedRuns;
        // The candidate scan of a member's next word offers only candidates.
        ScopedParamBlock scan(ParamBlockBuilder()
                                  .word(kBrevitParamSingleWordMemberScore, sharedRuns ? 1 : 0)
                                  .word(kBrevitParamCandidateScan, 1)
                                  .word(kBrevitParamCandidateScanMinMembers, 1));
        const uint16_t onlyZ = 4;
        std::vector<ConstraintSuccessor> out(4);
        ClassPairSuccessorRequest request{1, &onlyZ, 4, out.data()};
        EXPECT_EQ(ClassPairConstraint_ExpandSuccessors(m_con, 1, 0, at("A", 1, 0), &request), sharedRuns ? 1 : 0);
        if (sharedRuns) {
            EXPECT_EQ(out[0].next, at("A", 2, 1));
            EXPECT_EQ(out[0].score, 9);
        }
    }
}

TEST_F(ClassPairSearchTest, ExampleClassEndingsAndParse)
{
    buildExample();
    // In spoken order: y alone ends "x y" too; nothing follows the end.
    const std::vector<std::pair<std::vector<uint16_t>, int32_t>> cases{
        {{1}, 1}, {{3}, 1}, {{4}, 1}, {{1, 3}, 1}, {{2, 4}, 1}, {{3, 1}, 0}, {{1, 1}, 0}, {{}, 1}, {{1, 3, 4}, 0}};
    for (const auto& [spoken, legal] : cases)
        EXPECT_EQ(endingLegal(spoken), legal) << ::testing::PrintToString(spoken);
    const uint32_t words[2] = {kFakeVocActiveKind | 1, kFakeVocActiveKind | 3};
    uint32_t classes[2] = {};
    uint8_t flags[2] = {};
    int32_t cost = 0;
    ASSERT_EQ(ClassPairConstraint_FindParse(m_con, 2, words, classes, &cost, flags), 1);
    EXPECT_EQ(cost, 15);
    EXPECT_EQ(classes[0], classId("A"));
    EXPECT_EQ(classes[1], classId("A"));
    EXPECT_EQ(flags[0], 1);
    EXPECT_EQ(flags[1], 0);
    // A word without a pron cannot be parsed.
    const uint32_t unknown[1] = {kFakeVocActiveKind | 9};
    EXPECT_EQ(ClassPairConstraint_FindParse(m_con, 1, unknown, classes, &cost, flags), 0);
}

TEST_F(ClassPairSearchTest, ActiveIdTableKeepsMembersPastSixteenBits)
{
    ClassPairNetwork net;
    net.words = {{1, {1}}, {2, {2}}};
    build(net);
    // One class of 70,000 one-word members and a last member "x y".
    ASSERT_EQ(ClassManager_AddClass(m_classes, "big", 70001, 70002, 0, 0, 0, 0), 1);
    std::vector<uint16_t> member(1);
    for (int32_t m = 0; m < 70000; ++m) {
        member[0] = static_cast<uint16_t>(100 + m % 2);
        ASSERT_EQ(ClassManager_AddClassMember(m_classes, "big", member.data(), 1, 0, 0), 1);
    }
    const uint16_t last[2] = {1, 2};
    ASSERT_EQ(ClassManager_AddClassMember(m_classes, "big", last, 2, 0, 0), 1);
    ASSERT_EQ(ClassManager_FinishEdit(m_classes), 1);
    const uint32_t big = classId("big");
    Constraint* con = ClassPairConstraint_Create("big", m_classes, 1, 2, 0);
    ASSERT_NE(con, nullptr);
    ASSERT_EQ(ClassPairConstraint_AddTransition(con, 0, big, 0), 1);
    ASSERT_EQ(ClassPairConstraint_AddTransition(con, big, 0, 0), 1);
    ASSERT_EQ(ClassPairConstraint_BuildActiveIdTable(con), 1);
    const uint16_t latestFirst[2] = {2, 1};
    EXPECT_EQ(ClassPairConstraint_IsLegalPronEndingReverse(con, latestFirst, 2), 1);
    EXPECT_EQ(ClassPairConstraint_IsLegalPronEndingReverse(con, latestFirst, 1), 1);
    const uint16_t reversed[2] = {1, 2};
    EXPECT_EQ(ClassPairConstraint_IsLegalPronEndingReverse(con, reversed, 2), 0);
    // Members removed after the table was built are passed over.
    ASSERT_EQ(ClassManager_RemoveClassMembers(m_classes, "big"), 1);
    ASSERT_EQ(ClassManager_FinishEdit(m_classes), 1);
    EXPECT_EQ(ClassPairConstraint_IsLegalPronEndingReverse(con, latestFirst, 2), 0);
    ClassPairConstraint_Delete(con, 0);
}

TEST_F(ClassPairSearchTest, ReverseCheckAndParseFailingAtEachAllocationReportIt)
{
    for (uint64_t k = 1;; ++k) {
        buildExample();
        const uint16_t latestFirst[2] = {3, 1};
        const uint32_t words[2] = {kFakeVocActiveKind | 1, kFakeVocActiveKind | 3};
        uint32_t classes[2] = {};
        uint8_t flags[2] = {};
        int32_t cost = 0;
        const uint64_t failures = m_allocator.failures();
        m_allocator.failAt(m_allocator.calls() + k);
        const int32_t ending = ClassPairConstraint_IsLegalPronEndingReverse(m_con, latestFirst, 2);
        const int32_t parsed = ClassPairConstraint_FindParse(m_con, 2, words, classes, &cost, flags);
        const bool failed = m_allocator.failures() != failures;
        m_allocator.failAt(0);
        if (!failed) {
            EXPECT_EQ(ending, 1);
            EXPECT_EQ(parsed, 1);
            break;
        }
        EXPECT_EQ(ending + parsed, 1) << "allocation " << k;
    }
}

TEST_F(ClassPairSearchTest, ClassPairQueriesAnswerFromTheirClasses)
{
    buildExample();
    const uint32_t a = classId("A");
    Constraint* loop = ClassPairConstraint_Create("loop", m_classes, 1, 2, 0);
    ASSERT_NE(loop, nullptr);
    ASSERT_EQ(ClassPairConstraint_AddTransition(loop, 0, a, 0), 1);
    ASSERT_EQ(ClassPairConstraint_AddTransition(loop, a, a, 0), 1);
    ASSERT_EQ(ClassPairConstraint_AddTransition(loop, a, 0, 0), 1);
    FakeVocabulary words(std::map<uint16_t, std::vector<uint16_t>>{{1, {1}}});
    Constraint* voc = WholeVocConstraint_Create(words.voc(), 0);
    Constraint* mixed[3] = {m_con, voc, loop};

    EXPECT_EQ(Constraint_CollectWordIds(mixed, 3, nullptr, 0), 10);
    uint16_t buffer[12] = {};
    EXPECT_EQ(Constraint_CollectWordIds(mixed, 3, buffer, 12), 3);
    EXPECT_EQ(std::vector<uint16_t>(buffer, buffer + 3), (std::vector<uint16_t>{1, 2, 3}));
    // Room for three ids: nothing is written past it.
    uint16_t tight[4] = {0, 0, 0, 0xBEEF};
    EXPECT_EQ(Constraint_CollectWordIds(mixed, 3, tight, 3), 2);
    EXPECT_EQ(tight[3], 0xBEEF);

    EXPECT_EQ(Constraint_AnyHasLoopClass(mixed, 3), 0);
    {
        ScopedParamBlock params(ParamBlockBuilder().string(kBrevitParamSelfLoopClassName, "A"));
        EXPECT_EQ(Constraint_AnyHasLoopClass(mixed, 3), 1);
        EXPECT_EQ(Constraint_AnyHasLoopClass(mixed, 2), 0);
    }
    ConstraintClass* record = ClassManager_GetClass(m_classes, a);
    record->rebuildTree = 0;
    EXPECT_EQ(Constraint_LexTreeNeedsBuilding(mixed, 3), 0);
    record->rebuildTree = 1;
    EXPECT_EQ(Constraint_LexTreeNeedsBuilding(mixed, 3), 1);
    record->rebuildTree = 0;

    int32_t found[3] = {-1, -1, -1}, values[3] = {-1, -1, -1};
    Constraint_FindFirstFlaggedClass(mixed, 3, found, values);
    EXPECT_EQ(std::vector<int32_t>(found, found + 3), (std::vector<int32_t>{0, 0, 0}));
    record->flagA = 1;
    record->flagB = 7;
    Constraint_FindFirstFlaggedClass(mixed, 3, found, values);
    EXPECT_EQ(std::vector<int32_t>(found, found + 3), (std::vector<int32_t>{1, 0, 1}));
    EXPECT_EQ(std::vector<int32_t>(values, values + 3), (std::vector<int32_t>{7, 0, 7}));

    fakeLexicon().pronInfoRequests.clear();
    Constraint_FillPronCacheAllClasses(mixed, 1, nullptr);
    std::set<uint16_t> asked(fakeLexicon().pronInfoRequests.begin(), fakeLexicon().pronInfoRequests.end());
    EXPECT_EQ(asked, (std::set<uint16_t>{1, 2, 3, 4}));

    // Frame preparation stops at the first constraint that fails: the
    // second is not prepared.
    {
        ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamStartLists, 1));
        reinterpret_cast<ClassPairConstraint*>(m_con)->stateTableFlag = 1;
        const uint16_t prons[2] = {1, 3};
        Constraint* two[2] = {m_con, loop};
        m_allocator.failAt(m_allocator.calls() + 1);
        EXPECT_EQ(Constraint_PrepareFrameAll(two, 2, reinterpret_cast<const uint8_t*>(prons), 2, 1), 0);
        m_allocator.failAt(0);
        EXPECT_EQ(reinterpret_cast<ClassPairConstraint*>(loop)->frameCounter, -1);
        EXPECT_EQ(Constraint_PrepareFrameAll(two, 2, reinterpret_cast<const uint8_t*>(prons), 2, 1), 1);
        EXPECT_EQ(reinterpret_cast<ClassPairConstraint*>(loop)->frameCounter, 0);
    }
    Constraint_Delete(voc, 0);
    ClassPairConstraint_Delete(loop, 0);
}

TEST_F(ClassPairSearchTest, RandomNetworksScoreWordSequencesAsTheBruteForceDoes)
{
    std::mt19937 rng(213);
    int scored = 0;
    for (int round = 0; round < 200; ++round) {
        const bool sharedRuns = round % 2 == 1;
        ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamSingleWordMemberScore, sharedRuns ? 1 : 0));
        const ClassPairNetwork net = ClassPairNetwork_Random(rng);
        build(net);
        if (HasFatalFailure())
            return;
        // The manager keeps members sorted: its index of each member.
        auto memberIndex = [&](int k, int m) {
            const NetworkClass& c = net.classes[static_cast<size_t>(k - 1)];
            const ConstraintClass* record = ClassManager_GetClass(m_classes, classId(c.name.c_str()));
            const std::vector<uint16_t>& words = c.members[static_cast<size_t>(m)].words;
            for (int32_t i = 0; i < record->numMembers; ++i)
                if (ConstraintClass_CompareMemberToIds(record, i, words.data(), static_cast<int32_t>(words.size()), 0) == 0)
                    return i;
            return -1;
        };
        for (const NetworkParse& p : ClassPairNetwork_Parses(net, 4)) {
            std::vector<uint32_t> classes;
            std::vector<int32_t> members;
            for (size_t i = 0; i < p.prons.size(); ++i) {
                classes.push_back(classId(net.classes[static_cast<size_t>(p.classes[i] - 1)].name.c_str()));
                members.push_back(memberIndex(p.classes[i], p.members[i]));
            }
            EXPECT_EQ(ClassPairConstraint_ScoreWordSequence(m_con, static_cast<int32_t>(p.prons.size()), p.prons.data(),
                                                            classes.data(), members.data(), p.starts.data(), 0),
                      p.cost)
                << "round " << round << " " << ::testing::PrintToString(p.prons) << " members "
                << ::testing::PrintToString(members);
            ++scored;
        }
        if (HasFailure())
            return;
    }
    EXPECT_GT(scored, 200);
}

TEST_F(ClassPairSearchTest, TreeClassesRecordWhereTheyWereEntered)
{
    ScopedParamBlock params(ParamBlockBuilder()
                                .word(kBrevitParamMaxTrees, 2)
                                .word(kBrevitParamTreePronThreshold, 1)
                                .word(kBrevitParamRecordTreeState, 1));
    buildExample();
    ClassManager_PrecomputeClasses(m_classes);
    const uint32_t a = classId("A");
    ASSERT_NE(ClassManager_GetClassTree(m_classes, a), nullptr);
    auto* c = reinterpret_cast<ClassPairConstraint*>(m_con);
    c->stateTableFlag = 1;
    c->frameCounter = 4;
    const ActiveId start = Constraint_MakeStartActiveId(0);
    auto enter = [&](int32_t wordA, int32_t wordB, bool plain) {
        ConstraintIterator it;
        ClassPairConstraint_PrepareIterator(m_con, &it);
        ClassPairIterator_Of(&it)->stateWords[0] = wordA;
        ClassPairIterator_Of(&it)->stateWords[1] = wordB;
        ClassPairConstraint_SetStateValues(&it, 77, 99);
        if (plain)
            ClassPairConstraint_IteratorInit(m_con, &it, kConstraintSilencePron, 0, start, kNone);
        else
            ClassPairConstraint_IteratorInitFromActiveId(m_con, &it, kConstraintSilencePron, 0, start, kNone);
        ConstraintSuccessor s{};
        Offers out;
        while (ClassPairConstraint_IteratorNext(&it, m_con, &s) != 0) {
            out.emplace_back(s.member, s.next, s.final, s.score);
            EXPECT_EQ(s.classTree != nullptr, plain);
        }
        return out;
    };
    // One successor for the whole class: the decoder enters its tree.
    EXPECT_EQ(enter(3, 3, true), (Offers{{kNone, at("A", 0, 0), 1, 2}}));
    EXPECT_EQ(ClassPairConstraint_GetStateCount(m_con, a, 4), 1);
    // The batch form serves a tree class as the iterator does.
    c->stateTableFlag = 0;
    EXPECT_EQ(batch(kConstraintSilencePron, start), (Offers{{kNone, at("A", 0, 0), 1, 2}}));
    c->stateTableFlag = 1;
    // Without the plain init, or with the second state word 0, nothing is noted.
    EXPECT_EQ(enter(3, 3, false).size(), 6u);
    enter(3, 0, true);
    EXPECT_EQ(ClassPairConstraint_GetStateCount(m_con, a, 4), 1);
    c->frameCounter = 5;
    enter(1, 2, true);
    EXPECT_EQ(ClassPairConstraint_GetStateCount(m_con, a, 5), 1);
    EXPECT_EQ(ClassPairConstraint_GetStateCount(m_con, a, 4), 1);

    // Growing the tables fails at each allocation in turn: 0, nothing leaks.
    ConstraintIterator it;
    ClassPairConstraint_PrepareIterator(m_con, &it);
    ClassPairIterator_Of(&it)->stateWords[1] = 1;
    ClassPairConstraint_IteratorInit(m_con, &it, kConstraintSilencePron, 0, start, kNone);
    for (uint64_t k = 1;; ++k) {
        ClassPairConstraint_FreeStateTables(m_con);
        const uint64_t failures = m_allocator.failures();
        m_allocator.failAt(m_allocator.calls() + k);
        const int32_t result = ClassPairConstraint_RecordState(m_con, &it);
        const bool failed = m_allocator.failures() != failures;
        m_allocator.failAt(0);
        if (!failed) {
            EXPECT_EQ(result, 1);
            break;
        }
        EXPECT_EQ(result, 0) << "allocation " << k;
    }
}

TEST_F(ClassPairSearchTest, PhraseClassWordsAreScoredByThePhraseIndex)
{
    buildExample();
    // Phrases "a b", "a c", "b" with a = word 2 (pron 3), b = 1, c = 3: with
    // w = 30 % and lists of 2 the start cost of a is 12.
    ScopedParamBlock params(ParamBlockBuilder()
                                .word(kBrevitParamStartPriorCount, 0)
                                .word(kBrevitParamInterpolationWeight, 30)
                                .word(kBrevitParamInitialListCapacity, 2));
    IR* index = IR_Create(m_vocabulary->voc());
    ASSERT_NE(index, nullptr);
    const int32_t slot = IR_CreateClass(index, "titles", 1);
    ASSERT_GE(slot, 0);
    for (const auto& [ids, phraseId] : {std::pair{std::vector<uint16_t>{2, 1}, 100u}, {{2, 3}, 101u}, {{1}, 102u}})
        ASSERT_EQ(IR_AddPhrase(index, "titles", nullptr, static_cast<int32_t>(ids.size()), ids.data(), phraseId), 1);
    ASSERT_EQ(ClassManager_AddIRClass(m_classes, "phrases", 2, index, slot), 1);
    ASSERT_EQ(IR_PrepareClassScores(index, slot), 1);
    const uint32_t phrases = classId("phrases");
    struct Row {
        uint32_t from, to;
        bool noEntryScore;
        int32_t added;
    };
    for (const Row& row : {Row{classId("A"), phrases, false, 12}, Row{phrases, phrases, false, 16384},
                           Row{classId("A"), phrases, true, 16384}, Row{phrases, classId("A"), false, 0}}) {
        params.block().words[kBrevitParamNoClassTransitionScore] = row.noEntryScore ? 1 : 0;
        int32_t score = 5;
        ClassPairConstraint_ScoreIRTransition(m_con, row.from, row.to, 0, 3, 0, &score);
        EXPECT_EQ(score, 5 + row.added) << row.from << " " << row.to;
    }
    IR_Delete(index);
}

// Outer: start -> A:2 -> S:3 -> end:4, start -> S:5, S -> S:1, where S is the
// constraint start -> B:1 -> C:0 -> end:2, B -> end:6. Spliced, that is the
// flat network of A, B and C below.
class ClassPairExpansionTest : public ClassPairSearchTest {
protected:
    void SetUp() override
    {
        ClassPairNetwork inner;
        inner.words = {{1, {1}}, {2, {2}}, {3, {3}}};
        inner.classes = {{"A", {{{1}, 0}}, false}, {"B", {{{2}, 0}}, false}, {"C", {{{3}, 0}}, false}};
        inner.transitions = {{0, 2, 1}, {2, 3, 0}, {3, 0, 2}, {2, 0, 6}};
        build(inner);
        ASSERT_FALSE(HasFatalFailure());
        m_sub = m_con;
        ASSERT_GE(ConstraintManager_AddConstraint(m_constraints, m_sub, -1), 0);
        m_con = nullptr;
        const int32_t ref = ClassManager_ConstraintRefFromIndex(m_classes, m_sub);
        ASSERT_GE(ref, 0);
        const auto s = static_cast<uint32_t>(ref);
        const uint32_t a = classId("A");
        m_con = ClassPairConstraint_Create("outer", m_classes, 2, 5, 1);
        ASSERT_NE(m_con, nullptr);
        for (const auto& [from, to, score] : std::vector<std::tuple<uint32_t, uint32_t, int32_t>>{
                 {0, a, 2}, {a, s, 3}, {s, 0, 4}, {0, s, 5}, {s, s, 1}})
            ASSERT_EQ(ClassPairConstraint_AddTransition(m_con, from, to, score), 1);
        ASSERT_EQ(ClassPairConstraint_HasConstraintClasses(m_con), 1);
        m_flat.words = inner.words;
        m_flat.classes = inner.classes;
        m_flat.transitions = {{0, 1, 2}, {1, 2, 4}, {3, 0, 6}, {2, 0, 10}, {0, 2, 6}, {3, 2, 4}, {2, 2, 8}, {2, 3, 0}};
    }

    Constraint* m_sub = nullptr;
    ClassPairNetwork m_flat;
};

TEST_F(ClassPairExpansionTest, AcceptsAndParsesWhatTheSplicedNetworkDoes)
{
    const PronCosts expected = ClassPairNetwork_Paths(m_flat, 4);
    ASSERT_FALSE(expected.empty());
    std::vector<std::vector<uint16_t>> all{{}};
    for (int length = 1; length <= 4; ++length) {
        std::vector<std::vector<uint16_t>> longer;
        for (const auto& seq : all)
            if (static_cast<int>(seq.size()) == length - 1)
                for (uint16_t p : {1, 2, 3}) {
                    longer.push_back(seq);
                    longer.back().push_back(p);
                }
        all.insert(all.end(), longer.begin(), longer.end());
    }
    int32_t idsAfterFirst = -1;
    for (const auto& seq : all) {
        if (seq.empty())
            continue;
        EXPECT_EQ(legal(seq), expected.count(seq)) << ::testing::PrintToString(seq);
        if (idsAfterFirst < 0)
            idsAfterFirst = m_classes->idsInUse;
        std::vector<uint32_t> words;
        for (uint16_t p : seq)
            words.push_back(kFakeVocActiveKind | p);
        std::vector<uint32_t> classes(seq.size());
        std::vector<uint8_t> flags(seq.size());
        int32_t cost = -1;
        const int32_t parsed = ClassPairConstraint_FindParse(m_con, static_cast<int32_t>(seq.size()), words.data(),
                                                             classes.data(), &cost, flags.data());
        EXPECT_EQ(parsed, expected.count(seq)) << ::testing::PrintToString(seq);
        if (parsed == 0)
            continue;
        EXPECT_EQ(cost, expected.at(seq)) << ::testing::PrintToString(seq);
        // Words of the sub-constraint are reported in the classes it holds.
        for (size_t i = 0; i < seq.size(); ++i)
            EXPECT_EQ(classes[i], classId(seq[i] == 1 ? "A" : seq[i] == 2 ? "B" : "C"));
        EXPECT_EQ(Constraint_IsLegalActivePath(m_con, m_vocabulary->voc(), std::vector<uint16_t>(seq).data(),
                                               static_cast<int32_t>(seq.size())),
                  static_cast<int32_t>(seq.size()));
    }
    // The copies are made once and held by the sub-constraint; no expansion
    // is left behind.
    EXPECT_EQ(m_classes->idsInUse, idsAfterFirst);
    EXPECT_EQ(ConstraintManager_GetNumConstraints(m_constraints), 1);
}

TEST_F(ClassPairExpansionTest, ExpansionFailingAtEachAllocationGivesNull)
{
    const int32_t before = m_classes->idsInUse;
    for (uint64_t k = 1;; ++k) {
        const uint64_t failures = m_allocator.failures();
        m_allocator.failAt(m_allocator.calls() + k);
        Constraint* expanded = ClassPairConstraint_Expand(m_con);
        const bool failed = m_allocator.failures() != failures;
        m_allocator.failAt(0);
        if (!failed) {
            ASSERT_NE(expanded, nullptr);
            EXPECT_NE(expanded, m_con);
            EXPECT_EQ(std::string(expanded->name).rfind("00__ExpandedName", 0), 0u);
            ClassPairConstraint_Delete(expanded, 0);
            break;
        }
        EXPECT_EQ(expanded, nullptr) << "allocation " << k;
        // Only the sub-constraint's copies, when made, stay.
        EXPECT_TRUE(m_classes->idsInUse == before || m_classes->idsInUse == before + 2) << "allocation " << k;
    }
}

} // namespace
