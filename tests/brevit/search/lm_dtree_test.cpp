#include "core/brevit/search/lm_dtree.h"
#include "tests/brevit/search/table_test.h"

#include <functional>
#include <random>
#include <vector>

namespace {

using namespace search_tables;

class DecisionTree : public TableTest {
protected:
    LMDTree* loadTree(const TreeFields& f) { return load(f, LMDTree_LoadFromBinFile); }
};

// sets 1 = {5, 6}, 2 = {7}
RewriteFields sets()
{
    return rewrites({{}, {{5, 6}}, {{7}}});
}

// root (q 1, p 0) -> yes a | no (q 2, p 1) -> yes b | no (q 0, p 2) -> yes c, no d
TreeNode sampleTree(TreeNode a, TreeNode b, TreeNode c, TreeNode d)
{
    return ask(1, 0, std::move(a), ask(2, 1, std::move(b), ask(0, 2, std::move(c), std::move(d))));
}

TreeNode miniSample()
{
    return sampleTree(classLeaf(10), classLeaf(20), classLeaf(30), classLeaf(40));
}

TreeNode stdSample()
{
    return sampleTree(pairLeaf({{100, 1}, {101, 2}, {102, 3}}), pairLeaf({{200, 9}}), pairLeaf({}),
                      pairLeaf({{400, 4}}));
}

struct Descent {
    std::vector<uint16_t> context;
    uint16_t leaf;
};

const Descent kDescents[] = {
    {{5, 0, 0}, 10}, {{6, 9, 9}, 10}, {{0, 7, 0}, 20}, {{0, 0, 0}, 30}, {{9, 9, 3}, 40}, {{7, 0, 5}, 40},
};

TEST_F(DecisionTree, MiniTreeDescendsByRankNibbles)
{
    const TreeFields f = tree(miniSample(), sets(), kTreeMini);
    EXPECT_EQ(f.nodes, (std::vector<uint16_t>{0x0001, 0x800A, 0x0102, 0x9014, 0x0200, 0x801E, 0x8028}));
    LMDTree* t = loadTree(f);
    ASSERT_NE(t, nullptr);
    for (const Descent& d : kDescents) {
        uint16_t value = 0;
        uint8_t byte = 7;
        EXPECT_EQ(LMDTree_GetLeaf(t, d.context.data(), &value, &byte, 1), 1);
        EXPECT_EQ(value, d.leaf);
        EXPECT_EQ(byte, 0);
    }
    uint16_t value = 0;
    uint8_t byte = 0;
    EXPECT_EQ(LMDTree_GetLeaf(t, kDescents[0].context.data(), &value, &byte, 0), 0);
    EXPECT_EQ(LMDTree_ComputeCRC(t, 0xFFFFFFFFu), 0x33EC9735u);
    EXPECT_EQ(LMDTree_GetMaxContextPosition(t), 2);
    LMDTree_Delete(t);
}

TEST_F(DecisionTree, StdTreeGivesLeafPairsUpToTheMaximum)
{
    LMDTree* t = loadTree(tree(stdSample(), sets(), kTreeStd, 1));
    ASSERT_NE(t, nullptr);
    uint16_t values[4] = {};
    uint8_t bytes[4] = {};
    const uint16_t first[] = {5, 0, 0};
    EXPECT_EQ(LMDTree_GetLeaf(t, first, values, bytes, 2), 2);
    EXPECT_EQ(values[0], 100);
    EXPECT_EQ(values[1], 101);
    EXPECT_EQ(bytes[1], 2);
    EXPECT_EQ(LMDTree_GetLeaf(t, first, values, bytes, 4), 3);
    EXPECT_EQ(bytes[2], 3);
    const uint16_t second[] = {0, 7, 0};
    EXPECT_EQ(LMDTree_GetLeaf(t, second, values, bytes, 4), 1);
    EXPECT_EQ(values[0], 200);
    EXPECT_EQ(bytes[0], 9);
    const uint16_t empty[] = {0, 0, 0};
    EXPECT_EQ(LMDTree_GetLeaf(t, empty, values, bytes, 4), 0);
    const uint16_t last[] = {9, 9, 3};
    EXPECT_EQ(LMDTree_GetLeaf(t, last, values, bytes, 4), 1);
    EXPECT_EQ(values[0], 400);
    EXPECT_EQ(LMDTree_GetLeaf(t, last, values, bytes, 0), 0);
    EXPECT_EQ(LMDTree_ComputeCRC(t, 0xFFFFFFFFu), 0x3691BE2Au);
    LMDTree_Delete(t);
}

TEST_F(DecisionTree, LeafRootNeedsNoContext)
{
    for (int32_t encoding : {kTreeMini, kTreeStd}) {
        LMDTree* t = loadTree(tree(encoding == kTreeMini ? classLeaf(77) : pairLeaf({{77, 1}}), sets(), encoding));
        ASSERT_NE(t, nullptr);
        uint16_t value = 0;
        uint8_t byte = 0;
        EXPECT_EQ(LMDTree_GetLeaf(t, nullptr, &value, &byte, 1), 1);
        EXPECT_EQ(value, 77);
        EXPECT_EQ(LMDTree_GetMaxContextPosition(t), -1);
        LMDTree_Delete(t);
    }
}

TEST_F(DecisionTree, SharedTreeSurvivesDelete)
{
    LMDTree* t = loadTree(tree(miniSample(), sets(), kTreeMini));
    ASSERT_NE(t, nullptr);
    t->shared = 1;
    LMDTree_Delete(t);
    EXPECT_EQ(LMDTree_ComputeCRC(t, 0xFFFFFFFFu), 0x33EC9735u);
    t->shared = 0;
    LMDTree_Delete(t);
    LMDTree_Delete(nullptr);
}

// A random tree over contexts of 8 symbols 0..5, questions on sets 1..4.
TreeNode randomTree(std::mt19937& rng, int depth, bool mini, int maxPosition)
{
    std::uniform_int_distribution<int> coin(0, 9);
    if (depth == 0 || (depth < 5 && coin(rng) < 2)) {
        if (mini)
            return classLeaf(static_cast<uint16_t>(rng() % 2048));
        std::vector<std::pair<uint16_t, uint8_t>> pairs(rng() % 4);
        for (auto& p : pairs)
            p = {static_cast<uint16_t>(rng() % 65536), static_cast<uint8_t>(rng() % 256)};
        return pairLeaf(pairs);
    }
    TreeNode yes = randomTree(rng, depth - 1, mini, maxPosition);
    TreeNode no = randomTree(rng, depth - 1, mini, maxPosition);
    return ask(static_cast<int32_t>(rng() % 5), static_cast<int32_t>(rng() % (maxPosition + 1)),
               std::move(yes), std::move(no));
}

const TreeNode& walk(const TreeNode& node, const std::vector<uint16_t>& context,
                     const std::vector<std::vector<uint16_t>>& sets)
{
    if (node.leaf())
        return node;
    const uint16_t c = context[static_cast<size_t>(node.position)];
    bool yes = false;
    if (c != 0 && node.question != 0) {
        for (uint16_t s : sets[static_cast<size_t>(node.question)])
            yes = yes || s == c;
    } else {
        yes = c == 0 && node.question == 0;
    }
    return walk(node.children[yes ? 0 : 1], context, sets);
}

int internalNodes(const TreeNode& node)
{
    return node.leaf() ? 0 : 1 + internalNodes(node.children[0]) + internalNodes(node.children[1]);
}

TEST_F(DecisionTree, RandomTreesDescendAsADirectWalk)
{
    const std::vector<std::vector<uint16_t>> setMembers = {{}, {1, 2}, {3}, {2, 4, 5}, {1}};
    std::vector<Alternatives> ids;
    for (const auto& members : setMembers)
        ids.push_back(members.empty() ? Alternatives{} : Alternatives{members, {9}});
    std::mt19937 rng(7);
    for (int round = 0; round < 12; ++round) {
        const bool mini = round % 2 == 0;
        const int maxPosition = mini ? 7 : 9;
        TreeNode root;
        do
            root = randomTree(rng, 7, mini, maxPosition);
        while (internalNodes(root) <= 15);
        const int32_t shift = round % 5;
        LMDTree* t = loadTree(tree(root, rewrites(ids), mini ? kTreeMini : kTreeStd, shift));
        ASSERT_NE(t, nullptr) << round;
        std::vector<uint16_t> context(static_cast<size_t>(maxPosition + 1));
        for (int probe = 0; probe < 200; ++probe) {
            for (auto& c : context)
                c = static_cast<uint16_t>(rng() % 6);
            const TreeNode& leaf = walk(root, context, setMembers);
            uint16_t values[4] = {};
            uint8_t bytes[4] = {};
            const int32_t n = LMDTree_GetLeaf(t, context.data(), values, bytes, 4);
            if (mini) {
                ASSERT_EQ(n, 1);
                EXPECT_EQ(values[0], leaf.leafClass);
                continue;
            }
            ASSERT_EQ(n, static_cast<int32_t>(leaf.pairs.size())) << round << " " << probe;
            for (int32_t k = 0; k < n; ++k) {
                EXPECT_EQ(values[k], leaf.pairs[static_cast<size_t>(k)].first);
                EXPECT_EQ(bytes[k], leaf.pairs[static_cast<size_t>(k)].second);
            }
        }
        LMDTree_Delete(t);
    }
}

TEST_F(DecisionTree, ChecksumStartsFromTheGivenValueAndCoversEveryField)
{
    const TreeFields base = tree(stdSample(), sets(), kTreeStd, 1);
    LMDTree* t = loadTree(base);
    ASSERT_NE(t, nullptr);
    const uint32_t crc = LMDTree_ComputeCRC(t, 0xFFFFFFFFu);
    EXPECT_NE(LMDTree_ComputeCRC(t, 0), crc);
    LMDTree_Delete(t);
    const std::function<void(TreeFields&)> changes[] = {
        [](TreeFields& f) { f.header = 1; },
        [](TreeFields& f) { f.sets.option = 1; },
        [](TreeFields& f) { f.leafValues[0] = 1; },
        [](TreeFields& f) { f.leafBytes[0] = 0; },
    };
    for (const auto& change : changes) {
        TreeFields f = base;
        change(f);
        t = loadTree(f);
        ASSERT_NE(t, nullptr);
        EXPECT_NE(LMDTree_ComputeCRC(t, 0xFFFFFFFFu), crc);
        LMDTree_Delete(t);
    }
}

TEST_F(DecisionTree, RefusesInconsistentRecords)
{
    struct Case {
        const char* what;
        int32_t encoding;
        std::function<void(TreeFields&)> damage;
    };
    const Case cases[] = {
        {"encoding word 2", kTreeMini, [](TreeFields& f) { f.encoding = 2; }},
        {"nodes count", kTreeMini, [](TreeFields& f) { f.nodeCount = 8; }},
        {"no nodes", kTreeMini, [](TreeFields& f) { f.nodeCount = 0; f.nodes.clear(); }},
        {"symbol sets damaged", kTreeMini, [](TreeFields& f) { f.sets.offsets.pop_back(); }},
        {"rank nibble differs", kTreeMini, [](TreeFields& f) { f.nodes[3] ^= 0x0800; }},
        {"child outside the nodes", kTreeMini, [](TreeFields& f) { f.nodes[5] = 0x0000; }},
        {"child before its node", kTreeMini,
         [](TreeFields& f) {
             // Node 3 has rank 2: its yes-child would be itself.
             f.nodes = {0x0001, 0x8000, 0x8000, 0x1001, 0x8000};
             f.nodeCount = 5;
         }},
        {"shift past 30", kTreeStd, [](TreeFields& f) { f.shift = 31; }},
        {"negative shift", kTreeStd, [](TreeFields& f) { f.shift = -1; }},
        {"negative leaf count", kTreeStd, [](TreeFields& f) { f.leafCount = -1; }},
        {"rank table count", kTreeStd, [](TreeFields& f) { f.ranks.push_back(0); }},
        {"rank entry differs", kTreeStd, [](TreeFields& f) { f.ranks[1] += 1; }},
        {"rank table absent", kTreeStd, [](TreeFields& f) { f.ranks.clear(); }},
        {"leaf end past the data", kTreeStd, [](TreeFields& f) { f.nodes.back() = 0x8000 | 6; }},
        {"leaf values absent", kTreeStd, [](TreeFields& f) { f.leafValues.clear(); }},
        {"leaf bytes count", kTreeStd, [](TreeFields& f) { f.leafBytes.pop_back(); }},
    };
    for (const Case& c : cases) {
        TreeFields f = c.encoding == kTreeMini ? tree(miniSample(), sets(), kTreeMini)
                                               : tree(stdSample(), sets(), kTreeStd, 1);
        c.damage(f);
        LMDTree* t = loadTree(f);
        EXPECT_EQ(t, nullptr) << c.what;
        LMDTree_Delete(t);
    }
    expectAllocationFailuresRefused(tree(stdSample(), sets(), kTreeStd, 1), LMDTree_LoadFromBinFile,
                                    LMDTree_Delete);
    expectAllocationFailuresRefused(tree(miniSample(), sets(), kTreeMini), LMDTree_LoadFromBinFile,
                                    LMDTree_Delete);
}

} // namespace
