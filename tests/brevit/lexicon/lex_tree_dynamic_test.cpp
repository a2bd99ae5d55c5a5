// The run-time tree: the arcs a pron still needs against what adding it
// takes, adds and removes against a fresh build of the resulting set, and
// arc limits.
#include "core/brevit/lexicon/lex_tree.h"

#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/brevit/lexicon/pron_cache_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <set>
#include <vector>

namespace {

using TreePtr = std::unique_ptr<LexTree, void (*)(LexTree*)>;

class LexTreeDynamicTest : public PronVocabularyTest {
protected:
    void SetUp() override
    {
        m_vocabulary = &vocabulary(pron_cache_fixture::randomWords(120, 214, 6));
        m_voc = m_vocabulary->voc();
        m_am = model();
        ASSERT_NE(m_voc, nullptr);
        ASSERT_NE(m_am, nullptr);
        m_prons = Voc_GetNumActiveEntries(m_voc) + 1;
    }

    TreePtr fresh()
    {
        TreePtr tree(LexTree_CreateEmpty(), LexTree_Delete);
        LexTree_SetModels(tree.get(), m_voc, m_am);
        return tree;
    }

    TreePtr freshBuild(const std::set<uint16_t>& set, int32_t limit)
    {
        TreePtr tree = fresh();
        const std::vector<uint16_t> list(set.begin(), set.end());
        EXPECT_EQ(LexTree_CreateDynamicTree(tree.get(), list.data(), static_cast<int32_t>(list.size()), limit, 0), 1);
        return tree;
    }

    std::multiset<uint16_t> listed(const LexTree* tree)
    {
        const int32_t i = LexTree_GetNumTrees(tree) - 1;
        std::vector<uint16_t> out(static_cast<size_t>(LexTree_GetNumTotalArcs(tree, i)));
        const int32_t n = LexTree_CollectTreeProns(LexTree_GetArcs(tree, i), LexTree_GetNumTotalArcs(tree, i), m_voc,
                                                   out.data(), nullptr, 8);
        return std::multiset<uint16_t>(out.begin(), out.begin() + n);
    }

    uint16_t randomPron(std::mt19937& random) { return static_cast<uint16_t>(random() % static_cast<uint32_t>(m_prons)); }

    VocabularyFixture* m_vocabulary = nullptr;
    Voc* m_voc = nullptr;
    AM* m_am = nullptr;
    int32_t m_prons = 0;
};

TEST_F(LexTreeDynamicTest, CountedArcsAreWhatAnAddTakes)
{
    std::mt19937 random(55);
    for (int round = 0; round < 5000; ++round) {
        std::set<uint16_t> set;
        const int size = static_cast<int>(random() % 16);
        while (static_cast<int>(set.size()) < size)
            set.insert(randomPron(random));
        TreePtr tree = freshBuild(set, 0);
        uint16_t pron = randomPron(random);
        while (set.count(pron) != 0)
            pron = randomPron(random);
        int32_t needed = -1;
        const int32_t before = LexTree_GetNumTotalArcs(tree.get(), 0);
        ASSERT_TRUE(LexTree_CountPronArcs(tree.get(), pron, 0, &needed));
        ASSERT_EQ(LexTree_AddPronsToDynamicTree(tree.get(), &pron, 1, 0, 0), 1);
        ASSERT_EQ(LexTree_GetNumTotalArcs(tree.get(), 0) - before, needed) << "round " << round;
        // A capacity without room for it says so.
        int32_t again = -1;
        const int32_t used = LexTree_GetNumTotalArcs(tree.get(), 0);
        uint16_t other = randomPron(random);
        while (set.count(other) != 0 || other == pron)
            other = randomPron(random);
        LexTree_CountPronArcs(tree.get(), other, used + 1, &again);
        ASSERT_EQ(LexTree_CountPronArcs(tree.get(), other, used + again, &again), true);
        if (again > 0) {
            ASSERT_EQ(LexTree_CountPronArcs(tree.get(), other, used + again - 1, &again), false);
        }
    }
}

TEST_F(LexTreeDynamicTest, AddsAndRemovesGiveTheTreeOfAFreshBuild)
{
    for (uint32_t temporaryCache : {0u, 1u}) {
        SCOPED_TRACE(temporaryCache != 0 ? "temporary cache" : "vocabulary");
        m_vocabulary->params().words[kBrevitParamTemporaryPronCache] = temporaryCache;
        m_vocabulary->params().words[kBrevitParamPronCacheLimit1] = 1;   // a hash cache
        std::mt19937 random(664 + temporaryCache);
        for (int round = 0; round < 150; ++round) {
            const int32_t limit = round % 3 == 0 ? 0 : 2000;
            TreePtr tree = fresh();
            std::set<uint16_t> set;
            for (int step = 0; step < 12; ++step) {
                std::vector<uint16_t> batch(1 + random() % 5);
                for (auto& p : batch)
                    p = randomPron(random);
                const bool add = set.empty() || random() % 3 != 0;
                if (add) {
                    ASSERT_EQ(LexTree_AddPronsToDynamicTree(tree.get(), batch.data(), static_cast<int32_t>(batch.size()),
                                                            limit, 0),
                              1);
                    set.insert(batch.begin(), batch.end());
                } else {
                    std::vector<uint16_t> present(set.begin(), set.end());
                    batch.push_back(present[random() % present.size()]);
                    ASSERT_EQ(LexTree_RemovePronsFromDynamicTree(tree.get(), batch.data(),
                                                                 static_cast<int32_t>(batch.size()), limit, 0),
                              1);
                    for (uint16_t p : batch)
                        set.erase(p);
                }
                TreePtr reference = freshBuild(set, limit);
                EXPECT_EQ(listed(tree.get()), std::multiset<uint16_t>(set.begin(), set.end()));
                EXPECT_EQ(LexTree_GetNumTotalArcs(tree.get(), 0), LexTree_GetNumTotalArcs(reference.get(), 0));
                ASSERT_EQ(LexTree_ComputeCRC(tree.get()), LexTree_ComputeCRC(reference.get())) << "step " << step;
            }
            std::vector<uint16_t> all(set.begin(), set.end());
            ASSERT_EQ(LexTree_RemovePronsFromDynamicTree(tree.get(), all.data(), static_cast<int32_t>(all.size()),
                                                         limit, 0),
                      1);
            EXPECT_EQ(LexTree_GetNumTotalArcs(tree.get(), 0), 2);
            // An empty run-time tree is left as it is.
            EXPECT_EQ(LexTree_RemovePronsFromDynamicTree(tree.get(), all.data(), 1, limit, 0), 1);
        }
    }
}

TEST_F(LexTreeDynamicTest, AnAddPastTheArcLimitFailsAndKeepsTheTree)
{
    std::set<uint16_t> set;
    for (uint16_t p = 0; p < 20; ++p)
        set.insert(p);
    // Sized exactly by an unlimited build; a limited add that needs more
    // arcs must not write them into it.
    TreePtr tree = freshBuild(set, 0);
    const uint16_t more[] = {30, 31, 32, 33, 34, 35};
    ASSERT_EQ(LexTree_AddPronsToDynamicTree(tree.get(), more, 6, 1000, 0), 1);
    set.insert(std::begin(more), std::end(more));
    EXPECT_EQ(LexTree_ComputeCRC(tree.get()), LexTree_ComputeCRC(freshBuild(set, 1000).get()));
    const uint32_t crc = LexTree_ComputeCRC(tree.get());
    const int32_t used = LexTree_GetNumTotalArcs(tree.get(), 0);
    std::vector<uint16_t> rest;
    for (uint16_t p = 40; p < static_cast<uint16_t>(m_prons); ++p)
        rest.push_back(p);
    EXPECT_EQ(LexTree_AddPronsToDynamicTree(tree.get(), rest.data(), static_cast<int32_t>(rest.size()), used + 3, 0), 0);
    EXPECT_EQ(LexTree_ComputeCRC(tree.get()), crc);
}

TEST_F(LexTreeDynamicTest, TrailingUnitsAddAnArcPerPron)
{
    std::set<uint16_t> set{1, 2, 3, 4};
    TreePtr plain = freshBuild(set, 0);
    TreePtr trailing = fresh();
    const std::vector<uint16_t> list(set.begin(), set.end());
    ASSERT_EQ(LexTree_CreateDynamicTree(trailing.get(), list.data(), 4, 0, 1), 1);
    EXPECT_EQ(listed(trailing.get()), listed(plain.get()));
    EXPECT_EQ(trailing->expandedSize[0], plain->expandedSize[0] + 8);
}

} // namespace
