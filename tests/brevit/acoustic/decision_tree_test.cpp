#include "core/brevit/acoustic/decision_tree.h"

#include "tests/brevit/acoustic/acoustic_fixture.h"

#include <array>
#include <vector>

namespace {

struct Lookup {
    uint16_t left, centre, right;
    int32_t position;
    uint16_t state;
};

struct TreeCase {
    const char* name;
    AcousticTreeSpec tree;
    std::vector<std::array<int32_t, 3>> roots;   // (first, count, base) per root index
    std::vector<std::array<int32_t, 3>> nodes;   // (question, no, yes)
    std::vector<Lookup> lookups;
    uint32_t crc;
};

class DecisionTreeTest : public AcousticTest {
protected:
    const DecisionTree* loadTree(const AcousticTreeSpec& tree)
    {
        AcousticModelSpec spec;
        spec.states = 24;
        spec.tree = tree;
        AM* am = load(spec);
        EXPECT_NE(am, nullptr);
        return am != nullptr ? am->tree : nullptr;
    }
};

TEST_F(DecisionTreeTest, TreesAnswerTheirLookupsAndChecksums)
{
    const TreeCase cases[] = {
        {"plain",
         AcousticTreeSpec::treeA(),
         {{0, 0, 0}, {0, 0, 0}, {0, 1, 1}, {0, 0, 3}, {1, 2, 4}, {0, 0, 7}},
         {{0, 0, 1}, {1, -1, 0}, {0, 1, 2}},
         {{0, 1, 0, 0, 1},
          {1, 1, 0, 0, 2},
          {0, 1, 2, 0, 2},
          {2, 2, 0, 0, 4},
          {65535, 2, 2, 0, 6},
          {1, 2, 0, 0, 6},
          {9, 2, 0, 0, 5},
          {0, 1, 0, 1, 3},
          {0, 3, 0, 0, 65535},
          {0, 1, 0, 2, 65535}},
         0x46F0A38Bu},
        {"compressed and shared",
         AcousticTreeSpec::treeB(),
         {{0, 0, 0}, {0, 0, 0}, {0, 2, 1}, {0, 0, 4}},
         {{0, 0, -1}, {1, 1, 2}},
         {{0, 1, 0, 0, 1},
          {1, 2, 0, 0, 3},
          {65535, 2, 0, 0, 2},
          {7, 2, 0, 0, 2},
          {0, 2, 0, 1, 4}},
         0x4472888Cu},
    };
    for (const TreeCase& c : cases) {
        SCOPED_TRACE(c.name);
        const DecisionTree* tree = loadTree(c.tree);
        ASSERT_NE(tree, nullptr);
        for (size_t i = 0; i < c.roots.size(); ++i) {
            const DTRoot& root = tree->roots[i];
            EXPECT_EQ(root.firstNode, c.roots[i][0]) << "root " << i;
            EXPECT_EQ(root.numNodes, c.roots[i][1]) << "root " << i;
            EXPECT_EQ(root.leafBase, c.roots[i][2]) << "root " << i;
        }
        for (size_t n = 0; n < c.nodes.size(); ++n) {
            EXPECT_EQ(tree->questionIndex[n], c.nodes[n][0]) << "node " << n;
            const int32_t no = tree->children16 ? static_cast<const int16_t*>(tree->noChildren)[n]
                                                : static_cast<const int8_t*>(tree->noChildren)[n];
            const int32_t yes = tree->children16
                                    ? static_cast<const int16_t*>(tree->yesChildren)[n]
                                    : static_cast<const int8_t*>(tree->yesChildren)[n];
            EXPECT_EQ(no, c.nodes[n][1]) << "node " << n;
            EXPECT_EQ(yes, c.nodes[n][2]) << "node " << n;
        }
        for (const Lookup& l : c.lookups)
            EXPECT_EQ(DecisionTree_GetLeaf(tree, l.left, l.centre, l.right, l.position), l.state)
                << l.left << "," << l.centre << "," << l.right << "," << l.position;
        EXPECT_EQ(DecisionTree_ComputeCRC(tree), c.crc);
        EXPECT_EQ(DecisionTree_GetNumStatePositions(tree, 0), 1);
    }
}

TEST_F(DecisionTreeTest, ContextVectorTreeReadsSlotsAndUnknowns)
{
    const DecisionTree* tree = loadTree(AcousticTreeSpec::treeC());
    ASSERT_NE(tree, nullptr);
    struct Case {
        std::vector<uint8_t> context;
        int32_t position;
        uint16_t state;
    };
    const Case cases[] = {
        {{2, 0}, 0, 12}, {{2, 255}, 0, 12}, {{2, 7}, 0, 10}, {{3, 0}, 0, 11},
        {{2}, 0, 12},    {{2, 0}, 1, 20},   {{2, 0}, 2, 65535},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DecisionTree_GetLeafByContext(tree, c.context.data(),
                                                static_cast<int32_t>(c.context.size()), c.position),
                  c.state)
            << "context of " << c.context.size() << ", position " << c.position;
    EXPECT_EQ(DecisionTree_ComputeCRC(tree), 0xFF226864u);
    // The model's lookup by features goes to the same walk.
    EXPECT_EQ(AM_GetTiedStateByFeatures(m_models.back(), std::vector<uint8_t>{3, 0}.data(), 2, 0),
              11);
}

TEST_F(DecisionTreeTest, AccessorsGiveRootsAndChildren)
{
    const DecisionTree* tree = loadTree(AcousticTreeSpec::treeA());
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(DecisionTree_GetNumPhones(tree), 3);
    EXPECT_EQ(DecisionTree_GetNumStatePositions(tree, 2), 2);
    EXPECT_EQ(DecisionTree_GetRootIndex(tree, 2, 1), 5);
    EXPECT_EQ(DecisionTree_GetRootIndex(tree, 3, 0), -1);
    EXPECT_EQ(DecisionTree_GetNumNodes(tree, 2, 0), 2);
    EXPECT_EQ(DecisionTree_GetLeafBase(tree, 2, 0), 4);
    // A negative child as stored, a leaf as its state.
    EXPECT_EQ(DecisionTree_GetNoChild(tree, 2, 0, 0), -1);
    EXPECT_EQ(DecisionTree_GetYesChild(tree, 2, 0, 0), 4);
    EXPECT_EQ(DecisionTree_GetYesChild(tree, 2, 0, 1), 6);
    EXPECT_EQ(DecisionTree_GetMaxStateId(tree), 7);
    EXPECT_EQ(DTQuestions_GetTotalBytes(tree), 2);
    EXPECT_EQ(DTQuestions_GetNumQuestions(tree), 2);
    EXPECT_EQ(DTQuestions_GetNumBytesInQuestion(tree), 1);
    EXPECT_EQ(DTQuestions_GetNumBitsInQuestion(tree), 8);
    EXPECT_EQ(DTQuestions_GetBitOffset(tree), 0);
    // A left context of none with a left-only question answers no.
    EXPECT_EQ(DTQuestions_AskQuestion(tree, 1, 65535, 2, 0), 0);
    EXPECT_EQ(DTQuestions_AskQuestion(tree, 1, 2, 2, 0), 1);
}

TEST_F(DecisionTreeTest, ModelWithoutRootsHasNoTree)
{
    AcousticModelSpec spec;
    spec.tree = AcousticTreeSpec::none();
    AM* am = load(spec);
    ASSERT_NE(am, nullptr);
    EXPECT_EQ(am->tree, nullptr);
    EXPECT_EQ(AM_GetTiedStateByFeatures(am, nullptr, 0, 0), 65535);
}

} // namespace
