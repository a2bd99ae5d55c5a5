// Walking a class-pair constraint: the plain and cached iterators against a
// brute-force walk of the class graph, the example class of the member runs
// with and without parameter word 213, and the preparation per utterance.
#include "core/brevit/search/class_pair_search.h"

#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/class_networks.h"
#include "core/brevit/search/class_pair_constraint.h"
#include "core/brevit/search/constraint_class.h"
#include "core/brevit/search/constraint_manager.h"
#include "tests/brevit/search/constraint_test.h"
#include "tests/brevit/search/fake_vocabulary.h"
#include "tests/support/class_pair_network.h"
#include "tests/support/param_block_builder.h"

#include <algorithm>
#include <memory>
#include <optional>
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

} // namespace
