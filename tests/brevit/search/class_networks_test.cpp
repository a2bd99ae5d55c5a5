// Class networks: the successor pool, start lists, lexical trees, the word
// index, recognition preparation and the pronunciation-cache fill.
#include "core/brevit/search/class_networks.h"

#include "core/brevit/lexicon/ir.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/search/class_manager_tables.h"
#include "core/brevit/search/search_lexicon_calls.h"
#include "tests/brevit/search/class_manager_test.h"
#include "tests/support/param_block_builder.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

using U16 = std::vector<uint16_t>;

class ClassNetworks : public ClassManagerTest {
protected:
    // Remakes the manager under the parameters (tables and pool follow them).
    void remake(const ParamBlockBuilder& builder)
    {
        m_params.emplace(builder);
        TearDown();
        fakeLexicon() = FakeLexicon{};
        SetUp();
    }

    // x = 5 (prons 2, 3), y = 6, z = 7: members x, x y, x z.
    void addXClass(const char* name = "x")
    {
        ASSERT_EQ(addClass(name), 1);
        for (const Words& w : {Words{5}, Words{5, 6}, Words{5, 7}})
            ASSERT_EQ(add(name, w), 1);
        ASSERT_EQ(ClassManager_FinishEdit(m_classes), 1);
    }

    const SuccPronPool* pool() { return static_cast<const SuccPronPool*>(m_classes->succPronPool); }
    U16 poolProns(SuccPronRange r) { return U16(pool()->pronIds + r.start, pool()->pronIds + r.start + r.count); }
    U16 poolMembers(SuccPronRange r)
    {
        return U16(pool()->memberIndexes + r.start, pool()->memberIndexes + r.start + r.count);
    }

    struct Entry {
        uint16_t pron, single;
        uint32_t member;
        uint16_t word;
        bool operator==(const Entry&) const = default;
    };
    std::vector<Entry> startList(const char* name)
    {
        const ConstraintClass* c = record(name);
        std::vector<Entry> out;
        for (int32_t i = 0; i < c->startListCount; ++i) {
            const ClassStartEntry& e = static_cast<const ClassStartEntry*>(c->startList)[i];
            out.push_back({e.pronId, e.singleWord, e.memberShifted, c->startListWords[i]});
        }
        return out;
    }

    std::optional<ScopedParamBlock> m_params;
};

TEST_F(ClassNetworks, PoolTakesEachMembersFirstWordPronsOrEachFirstWordOnce)
{
    for (uint32_t once : {0u, 1u}) {
        remake(ParamBlockBuilder().word(kBrevitParamSuccessorPronPool, 16).word(kBrevitParamSingleWordMemberScore, once));
        addXClass();
        ASSERT_EQ(ClassManager_CreateSuccPronIds(m_classes), 1);
        ASSERT_NE(pool(), nullptr);
        EXPECT_EQ(pool()->numRanges, m_classes->maxId + 1);
        EXPECT_EQ(ClassManager_SuccPronIdsFit(m_classes, id("x")), 1);
        ASSERT_EQ(ClassManager_FillSuccPronIds(m_classes, Voc_GetActiveWordList(m_vocabulary.voc()), id("x")), 1);
        const SuccPronRange r = ClassManager_GetSuccPronRange(m_classes, id("x"));
        EXPECT_EQ(r.start, 1);
        if (once == 0) {
            EXPECT_EQ(poolProns(r), (U16{2, 3, 2, 3, 2, 3}));
            EXPECT_EQ(poolMembers(r), (U16{0x8000, 0x8000, 1, 1, 2, 2}));
        } else {
            EXPECT_EQ(poolProns(r), (U16{2, 3, 2, 3}));
            EXPECT_EQ(poolMembers(r), (U16{0x8000, 0x8000, 1, 1}));
        }
        EXPECT_EQ(ClassManager_GetNumSuccPronIdsUsed(m_classes), 1 + r.count);
    }
}

TEST_F(ClassNetworks, PoolFitsBelowItsCapacityAndResetsOnlyOnce)
{
    for (uint32_t capacity : {6u, 7u}) {
        remake(ParamBlockBuilder().word(kBrevitParamSuccessorPronPool, capacity));
        addXClass();
        ASSERT_EQ(ClassManager_CreateSuccPronIds(m_classes), 1);
        // Slot 0 is never used: six prons need seven slots.
        EXPECT_EQ(ClassManager_SuccPronIdsFit(m_classes, id("x")), capacity == 7 ? 1 : 0) << capacity;
        EXPECT_EQ(ClassManager_FillSuccPronIds(m_classes, Voc_GetActiveWordList(m_vocabulary.voc()), id("x")),
                  capacity == 7 ? 1 : 0);
    }
    remake(ParamBlockBuilder().word(kBrevitParamSuccessorPronPool, 9));
    addXClass("a");
    addXClass("b");
    ASSERT_EQ(ClassManager_CreateSuccPronIds(m_classes), 1);
    const AWL* list = Voc_GetActiveWordList(m_vocabulary.voc());
    ASSERT_EQ(ClassManager_FillSuccPronIds(m_classes, list, id("a")), 1);
    // No room left for b: the pool starts again and b takes it from slot 1.
    ASSERT_EQ(ClassManager_FillSuccPronIds(m_classes, list, id("b")), 1);
    EXPECT_EQ(ClassManager_GetSuccPronRange(m_classes, id("a")).start, 0);
    EXPECT_EQ(ClassManager_GetSuccPronRange(m_classes, id("b")).start, 1);
    EXPECT_EQ(ClassManager_GetNumSuccPronIdsUsed(m_classes), 7);
}

TEST_F(ClassNetworks, PoolRefusesMemberIndexesBeyondFifteenBits)
{
    remake(ParamBlockBuilder().word(kBrevitParamSuccessorPronPool, 65535));
    ASSERT_EQ(addClass("many", 0x8002, 0x8002), 1);
    for (uint32_t w = 0; w < 0x8002; ++w)
        ASSERT_EQ(add("many", {static_cast<uint16_t>(w)}), 1);
    ASSERT_EQ(ClassManager_CreateSuccPronIds(m_classes), 1);
    EXPECT_EQ(ClassManager_SuccPronIdsFit(m_classes, id("many")), 0);
    EXPECT_EQ(ClassManager_FillSuccPronIds(m_classes, Voc_GetActiveWordList(m_vocabulary.voc()), id("many")), 0);
}

TEST_F(ClassNetworks, PoolCapacityFollowsTheParameterUpTo65535)
{
    remake(ParamBlockBuilder());
    EXPECT_EQ(ClassManager_CreateSuccPronIds(m_classes), 1);
    EXPECT_EQ(pool(), nullptr);
    remake(ParamBlockBuilder().word(kBrevitParamSuccessorPronPool, 100000));
    EXPECT_EQ(ClassManager_CreateSuccPronIds(m_classes), 1);
    ASSERT_NE(pool(), nullptr);
    EXPECT_EQ(pool()->capacity, 65535);
}

TEST_F(ClassNetworks, PoolCreationFailingAtEachAllocationLeavesNoPool)
{
    remake(ParamBlockBuilder().word(kBrevitParamSuccessorPronPool, 16));
    addXClass();
    for (uint64_t n = 1;; ++n) {
        const size_t live = m_allocator.liveBlocks();
        const uint64_t failures = m_allocator.failures();
        m_allocator.failAt(m_allocator.calls() + n);
        const int32_t result = ClassManager_CreateSuccPronIds(m_classes);
        m_allocator.failAt(0);
        if (m_allocator.failures() == failures) {
            EXPECT_EQ(result, 1);
            break;
        }
        EXPECT_EQ(result, 0) << n;
        EXPECT_EQ(pool(), nullptr) << n;
        EXPECT_EQ(m_allocator.liveBlocks(), live) << n;
    }
    // The pool is part of the checksum only when asked.
    const uint32_t without = ClassManager_ComputeCRC(m_classes, 0);
    const uint32_t empty = ClassManager_ComputeCRC(m_classes, 1);
    ASSERT_EQ(ClassManager_FillSuccPronIds(m_classes, Voc_GetActiveWordList(m_vocabulary.voc()), id("x")), 1);
    EXPECT_EQ(ClassManager_ComputeCRC(m_classes, 0), without);
    EXPECT_NE(ClassManager_ComputeCRC(m_classes, 1), empty);
    EXPECT_NE(empty, without);
}

TEST_F(ClassNetworks, SmallClassListsEveryMemberWithItsFirstWordsProns)
{
    remake(ParamBlockBuilder().word(kBrevitParamCandidateScanMinMembers, 100));
    addXClass();
    ASSERT_EQ(ConstraintClass_BuildStartList(record("x"), 0, nullptr, 9, m_vocabulary.voc()), 1);
    // Member x y is listed beside x: a walk can reach it.
    EXPECT_EQ(startList("x"), (std::vector<Entry>{{2, 1, 0, 5},
                                                  {3, 1, 0, 5},
                                                  {2, 0, 1 << 10, 5},
                                                  {3, 0, 1 << 10, 5},
                                                  {2, 0, 2 << 10, 5},
                                                  {3, 0, 2 << 10, 5}}));
    EXPECT_EQ(record("x")->startListKey, 9);
}

TEST_F(ClassNetworks, LargeClassListsTheGivenPronsWhenWantedAndKeepsItsKey)
{
    remake(ParamBlockBuilder().word(kBrevitParamCandidateScanMinMembers, 1));
    addXClass();
    ConstraintClass* c = record("x");
    ASSERT_EQ(ConstraintClass_BuildStartList(c, 0, nullptr, 3, m_vocabulary.voc()), 1);
    EXPECT_EQ(c->startListCount, -1);   // not wanted
    ClassManager_RequestStartList(m_classes, id("x"));
    // One pron, three members starting with its word: the list grows past
    // the one entry asked for.
    const U16 prons{3, 4};
    ASSERT_EQ(ConstraintClass_BuildStartList(c, 2, prons.data(), 3, m_vocabulary.voc()), 1);
    const std::vector<Entry> listed{{3, 1, 0, 5}, {3, 0, 1 << 10, 5}, {3, 0, 2 << 10, 5}};
    EXPECT_EQ(startList("x"), listed);
    const U16 other{2};
    ASSERT_EQ(ConstraintClass_BuildStartList(c, 1, other.data(), 3, m_vocabulary.voc()), 1);
    EXPECT_EQ(startList("x"), listed);   // same key: unchanged
    ASSERT_EQ(ConstraintClass_BuildStartList(c, 1, other.data(), 4, m_vocabulary.voc()), 1);
    EXPECT_EQ(startList("x"), (std::vector<Entry>{{2, 1, 0, 5}, {2, 0, 1 << 10, 5}, {2, 0, 2 << 10, 5}}));
}

TEST_F(ClassNetworks, StartListFailingAtEachAllocationGivesNoList)
{
    for (uint32_t large : {100u, 1u}) {
        remake(ParamBlockBuilder().word(kBrevitParamCandidateScanMinMembers, large));
        addXClass();
        ClassManager_RequestStartList(m_classes, id("x"));
        const U16 prons{3};
        for (uint64_t n = 1;; ++n) {
            ConstraintClass* c = record("x");
            const uint64_t failures = m_allocator.failures();
            m_allocator.failAt(m_allocator.calls() + n);
            const int32_t result = ConstraintClass_BuildStartList(c, 1, prons.data(), static_cast<int32_t>(n), m_vocabulary.voc());
            m_allocator.failAt(0);
            if (m_allocator.failures() == failures) {
                EXPECT_GT(n, 1u);
                EXPECT_EQ(result, 1);
                EXPECT_EQ(c->startListCount, large == 1 ? 3 : 6);
                break;
            }
            EXPECT_EQ(result, 0) << n;
            EXPECT_EQ(c->startListCount, -1) << n;
            // Start afresh so the next failure meets the same allocations.
            ASSERT_EQ(ClassManager_RemoveClassMembers(m_classes, "x"), 1);
            for (const Words& w : {Words{5}, Words{5, 6}, Words{5, 7}})
                ASSERT_EQ(add("x", w), 1);
            ASSERT_EQ(ClassManager_FinishEdit(m_classes), 1);
        }
    }
}

TEST_F(ClassNetworks, TreesFormForSingleTreeClassesUpToTheLimit)
{
    remake(ParamBlockBuilder().word(kBrevitParamMaxTrees, 2).word(kBrevitParamTreePronThreshold, 1));
    addXClass("a");
    ASSERT_EQ(addClass("split"), 1);
    ASSERT_EQ(add("split", {5}), 1);
    ASSERT_EQ(add("split", {300}), 1);   // pron 1000: a second tree
    addXClass("b");
    addXClass("c");
    ClassManager_PrecomputeClasses(m_classes);
    EXPECT_EQ(*fakeLexTreeProns(ClassManager_GetClassTree(m_classes, id("a"))), (U16{2, 3}));
    EXPECT_EQ(ClassManager_GetClassTree(m_classes, id("split")), nullptr);
    EXPECT_NE(ClassManager_GetClassTree(m_classes, id("b")), nullptr);
    EXPECT_EQ(ClassManager_GetClassTree(m_classes, id("c")), nullptr);   // word 276: two trees
    EXPECT_EQ(m_classes->numTrees, 2);
    EXPECT_EQ(record("c")->rebuildTree, 0);
    EXPECT_EQ(fakeLexicon().buildFlags, (std::vector<int32_t>{0, 0, 0}));
    // An alias shares its target's tree.
    ASSERT_GT(ClassManager_AddAlias(m_classes, "alias", id("a")), 0);
    EXPECT_EQ(ClassManager_GetClassTree(m_classes, id("alias")), ClassManager_GetClassTree(m_classes, id("a")));

    remake(ParamBlockBuilder().word(kBrevitParamMaxTrees, 2).word(kBrevitParamTreePronThreshold, 1));
    fakeLexicon().failBuild = true;
    addXClass("a");
    ClassManager_BuildClassTrees(m_classes, 1);
    EXPECT_EQ(ClassManager_GetClassTree(m_classes, id("a")), nullptr);
    EXPECT_EQ(m_classes->numTrees, 0);
    // Whatever the caller's flag, a class tree is built without a pron cache.
    EXPECT_EQ(fakeLexicon().buildFlags, (std::vector<int32_t>{0}));
}

TEST_F(ClassNetworks, TreeBuildingFailingAtEachAllocationLeavesNoHalfTree)
{
    remake(ParamBlockBuilder().word(kBrevitParamMaxTrees, 2).word(kBrevitParamTreePronThreshold, 1));
    addXClass("a");
    for (uint64_t n = 1;; ++n) {
        record("a")->rebuildTree = 1;
        ClassManager_DeleteTree(m_classes, id("a"));
        const uint64_t failures = m_allocator.failures();
        m_allocator.failAt(m_allocator.calls() + n);
        ClassManager_BuildClassTrees(m_classes, 0);
        m_allocator.failAt(0);
        const LexTree* tree = ClassManager_GetClassTree(m_classes, id("a"));
        EXPECT_EQ(m_classes->numTrees, tree != nullptr ? 1 : 0) << n;
        if (m_allocator.failures() == failures) {
            ASSERT_NE(tree, nullptr);
            EXPECT_EQ(*fakeLexTreeProns(tree), (U16{2, 3}));
            break;
        }
        EXPECT_EQ(tree, nullptr) << n;
    }
}

TEST_F(ClassNetworks, PreparingResetsKeysPreparesPhraseScoresAndGrowsTheRanges)
{
    for (uint32_t reset : {0u, 1u}) {
        remake(ParamBlockBuilder().word(kBrevitParamSuccessorPronPool, 32).word(kBrevitParamResetPronPool, reset));
        addXClass("a");
        ASSERT_EQ(ClassManager_CreateSuccPronIds(m_classes), 1);
        IR* index = IR_Create(m_vocabulary.voc());
        ASSERT_NE(index, nullptr);
        const int32_t slot = IR_CreateClass(index, "titles", 1);
        const uint16_t phrase[] = {5, 6};
        ASSERT_EQ(IR_AddPhrase(index, "titles", nullptr, 2, phrase, 1), 1);
        ASSERT_EQ(ClassManager_AddIRClass(m_classes, "ir", 4, index, slot), 1);
        addXClass("b");
        ASSERT_EQ(ClassManager_FillSuccPronIds(m_classes, Voc_GetActiveWordList(m_vocabulary.voc()), id("a")), 1);
        record("a")->startListKey = 5;
        ASSERT_EQ(ClassManager_PrepareForRecognition(m_classes, 0), 1);
        EXPECT_EQ(record("a")->startListKey, -1);
        EXPECT_EQ(pool()->numRanges, m_classes->maxId + 1);
        EXPECT_EQ(ClassManager_GetSuccPronRange(m_classes, id("a")).start, reset != 0 ? 0 : 1);
        EXPECT_NE(IR_GetClass(index, slot)->startScores, nullptr);
        // A phrase class gone from the index cannot be prepared.
        ASSERT_EQ(IR_RemoveClass(index, "titles"), 1);
        EXPECT_EQ(ClassManager_PrepareForRecognition(m_classes, 0), 0);
        IR_Delete(index);
    }
}

TEST_F(ClassNetworks, WordIndexGivesEachWordsMember)
{
    int index = 0;
    ASSERT_EQ(ClassManager_AddIRClass(m_classes, "ir", 4, &index, 1), 1);
    for (uint16_t w : {301, 7, 2, 40000})
        ASSERT_EQ(add("ir", {w}), 1);
    addXClass();
    EXPECT_EQ(ClassManager_BuildWordIndex(m_classes, id("x")), 0);   // not a phrase class
    ASSERT_EQ(ClassManager_BuildWordIndex(m_classes, id("ir")), 1);
    const ConstraintClass* c = record("ir");
    EXPECT_EQ(c->wordIndexPages, (40001u + 256) >> 8);
    const std::vector<std::pair<uint16_t, uint16_t>> expected{{2, 0}, {7, 1}, {301, 2}, {40000, 3},
                                                              {5, 0xFFFF}, {0, 0xFFFF}, {40001, 0xFFFF}};
    for (const auto& [word, member] : expected)
        EXPECT_EQ(ConstraintClass_WordIndexAt(c, word), member) << word;
    ClassManager_InvalidateWordIndex(m_classes, id("ir"));
    EXPECT_EQ(ConstraintClass_WordIndexAt(c, 2), 0xFFFF);
}

TEST_F(ClassNetworks, PronCacheIsAskedForEveryWordOfDirtyClasses)
{
    ASSERT_EQ(addClass("a"), 1);
    ASSERT_EQ(add("a", {5, 6}), 1);
    ASSERT_EQ(add("a", {7}), 1);
    ASSERT_EQ(addClass("b"), 1);
    ASSERT_EQ(add("b", {2}), 1);
    fakeLexicon() = FakeLexicon{};
    ClassManager_FillPronCacheAllClasses(m_classes, nullptr, 1);
    EXPECT_EQ(fakeLexicon().pronInfoRequests, (U16{2, 3, 4, 5, 6, 7, 1}));
    EXPECT_EQ(record("a")->pronCacheDirty, 0);
    // A member inserted into a sorted class marks it.
    ASSERT_EQ(add("b", {6}), 1);
    EXPECT_EQ(record("b")->pronCacheDirty, 1);
    fakeLexicon() = FakeLexicon{};
    ClassManager_FillPronCacheAllClasses(m_classes, nullptr, 0);
    EXPECT_EQ(fakeLexicon().pronInfoRequests, (U16{1, 4}));
    EXPECT_EQ(record("b")->pronCacheDirty, 0);
}

} // namespace
