#include "core/brevit/acoustic/am_kernels.h"
#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/acoustic/shortlist.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/brevit/acoustic/acoustic_fixture.h"
#include "tests/support/param_block_builder.h"

#include <memory>
#include <random>
#include <vector>

namespace {

const std::vector<uint8_t> kZero = {0, 0, 0, 0};

// Scalar covariance, raw score = sum of squared differences: five states
// over (0, 1, 3, 6, 7, 7) components.
AcousticModelSpec shortlistSpec(std::vector<uint8_t> centroids, int32_t clusters)
{
    AcousticModelSpec s;
    s.tree = AcousticTreeSpec::none();
    s.states = 5;
    s.offsets = {0, 1, 3, 6, 7, 7};
    s.dim = 4;
    s.covType = 5;
    s.multiplier = 1;
    s.rounding = 0;
    s.shift = 0;
    s.ceiling = 16383;
    s.shortlist = true;
    s.shortlistClusters = clusters;
    s.shortlistCentroids = std::move(centroids);
    return s;
}

class ShortlistTest : public AcousticTest {
protected:
    AM* loadWith(const AcousticModelSpec& spec, const ParamBlockBuilder* params)
    {
        m_params.reset();
        if (params != nullptr)
            m_params = std::make_unique<ScopedParamBlock>(*params);
        m_am = load(spec);
        return m_am;
    }
    void TearDown() override
    {
        m_params.reset();
        AcousticTest::TearDown();
    }
    void setEntry(int32_t cluster, int32_t state, int32_t value)
    {
        ShortListCompressed* sl = m_am->shortlist;
        uint8_t& b = sl->entries[cluster * sl->entryRowLength + state / 2];
        const int shift = 4 * (state % 2);
        b = static_cast<uint8_t>((b & ~(0x0F << shift)) | value << shift);
    }
    std::unique_ptr<ScopedParamBlock> m_params;
    AM* m_am = nullptr;
};

TEST_F(ShortlistTest, ClusterChoiceKeepsBestAndSecond)
{
    AM* am = loadWith(shortlistSpec({10, 10, 10, 0}, 1), nullptr);
    ASSERT_NE(am, nullptr);
    EXPECT_EQ(am->shortlistScorer, &AM_GetScoreByShlstCompressed);
    EXPECT_EQ(am->shortlistSetup, &Shortlist_SetFeatures);
    Shortlist_SetFeatures(am->shortlist, kZero.data(), am);
    EXPECT_EQ(ShortList_GetClusterIndex(am->shortlist, 0), 0);
    EXPECT_EQ(ShortList_GetClusterIndex(am->shortlist, 1), 0);
    EXPECT_EQ(ShortList_GetClusterScoreDifference(am->shortlist), 16084);
    EXPECT_EQ(am->shortlist->separated, 1);
    EXPECT_EQ(am->shortlist->scorer, &AM_GetScoreByShlstCompressedPriv);

    am = loadWith(shortlistSpec({20, 10, 0, 0, 20, 0, 10, 0}, 2), nullptr);
    ASSERT_NE(am, nullptr);
    Shortlist_SetFeatures(am->shortlist, kZero.data(), am);
    EXPECT_EQ(AM_GetShortListClusterIndex(am, 0), 0);  // equal scores keep the first
    EXPECT_EQ(AM_GetShortListClusterIndex(am, 1), 1);
    EXPECT_EQ(ShortList_GetClusterScoreDifference(am->shortlist), 0);

    am = loadWith(shortlistSpec({30, 0, 0, 0, 20, 10, 10, 10, 20, 10, 0, 0}, 3), nullptr);
    ASSERT_NE(am, nullptr);
    Shortlist_SetFeatures(am->shortlist, kZero.data(), am);
    EXPECT_EQ(AM_GetShortListClusterIndex(am, 0), 2);
    EXPECT_EQ(AM_GetShortListClusterIndex(am, 1), 1);
    EXPECT_EQ(ShortList_GetClusterScoreDifference(am->shortlist), 200);
    EXPECT_EQ(ShortList_GetBestCentroid(am->shortlist)[0], 20);
    EXPECT_EQ(ShortList_GetCentroidValue(am->shortlist, 0, 0), 30);
}

TEST_F(ShortlistTest, ScorersUseTheEntriesOfBothClusters)
{
    const std::vector<uint8_t> x = {11, 22, 28, 44};
    AcousticModelSpec spec = shortlistSpec({10, 20, 30, 40, 200, 200, 200, 200}, 2);
    spec.means = {12, 18, 33, 41, 30, 30, 30, 30, 11, 22, 28, 44, 60, 10,
                  0,  90, 11, 22, 28, 44, 200, 200, 200, 200, 20, 20, 20, 20};
    struct Case {
        uint32_t separation;
        uint32_t bySeparation;
        ShortListScorer scorer;
    };
    // Cluster 0 is best on x, by 16,383 - 25.
    const Case cases[] = {
        {0, 1, AM_GetScoreByShlstCompressedBest},
        {20000, 1, AM_GetScoreByShlstCompressedBoth},
        {0, 0, AM_GetScoreByShlstCompressedPriv},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.separation);
        const ParamBlockBuilder params = ParamBlockBuilder()
                                             .word(kBrevitParamShortlistSeparation, c.separation)
                                             .word(kBrevitParamShortlistBySeparation, c.bySeparation);
        AM* am = loadWith(spec, &params);
        ASSERT_NE(am, nullptr);
        AMScoringSet* set = AM_NewScoringSet();
        AM_GetScoringFunctions(am, set, 1, 0);
        ShortList_ClearEntries(am->shortlist);
        setEntry(0, 2, 1);   // state 2: cluster 0 names component 1
        setEntry(1, 2, 0);   //          cluster 1 names component 0
        setEntry(0, 1, 1);
        setEntry(1, 1, 1);   // state 1: both name component 1
        setEntry(0, 3, 15);  // state 3: no entry
        const int16_t value = 0;
        AM_NewFrame(am, x.data(), &value, set, 0, 1);
        EXPECT_EQ(am->shortlist->scorer, c.scorer);
        const auto comp = [&](int32_t s, int32_t j) { return AM_CalculateComponentScoreScalarCov(am, s, j); };
        EXPECT_EQ(AM_GetStateScore(am, 1), comp(1, 1));
        const int32_t state2 = c.scorer == AM_GetScoreByShlstCompressedBest ? comp(2, 1) : std::min(comp(2, 1), comp(2, 0));
        EXPECT_EQ(AM_GetStateScore(am, 2), state2);
        EXPECT_EQ(AM_GetStateScore(am, 3), AM_CalculateFullScore(am, 3));
        AM_DeleteScoringSet(set);
    }
}

TEST_F(ShortlistTest, NoEntriesScoreEveryStateInFull)
{
    AcousticModelSpec spec = shortlistSpec({1, 2, 3, 4, 9, 9, 9, 9}, 2);
    spec.shortlistEntries = std::vector<uint8_t>(6, 0xFF);
    AM* am = loadWith(spec, nullptr);
    ASSERT_NE(am, nullptr);
    AMScoringSet* set = AM_NewScoringSet();
    AM_GetScoringFunctions(am, set, 1, 0);
    const std::vector<uint8_t> x = {40, 30, 20, 10};
    const int16_t value = 0;
    AM_NewFrame(am, x.data(), &value, set, 0, 1);
    for (int32_t s = 0; s < 5; ++s)
        EXPECT_EQ(AM_GetStateScore(am, s), AM_CalculateFullScore(am, s)) << s;
    AM_DeleteScoringSet(set);
}

TEST_F(ShortlistTest, ReassignedEntriesNameTheNearestComponent)
{
    AcousticModelSpec spec = shortlistSpec({0, 0, 0, 0, 100, 0, 0, 0, 0, 100, 0, 0, 50, 50, 0, 0}, 4);
    spec.states = 3;
    spec.offsets = {0, 1, 3, 5};
    spec.means = {0, 0, 0, 0, 100, 0, 0, 0, 0, 100, 0, 0, 50, 50, 0, 0, 50, 50, 0, 0};
    for (const double closeness : {0.0, 1.0}) {
        SCOPED_TRACE(closeness);
        const ParamBlockBuilder params = ParamBlockBuilder().real(kBrevitParamClusterCloseness, closeness);
        AM* am = loadWith(spec, &params);
        ASSERT_NE(am, nullptr);
        AM_ReassignShortList(am);
        const ShortListCompressed* sl = am->shortlist;
        const int32_t want[4][3] = {{0, 0, 0}, {0, 0, 0}, {0, 1, 0}, {0, 0, closeness > 0 ? 15 : 0}};
        for (int32_t c = 0; c < 4; ++c)
            for (int32_t s = 0; s < 3; ++s)
                EXPECT_EQ(ShortList_GetEntry(sl, c, s), want[c][s]) << "cluster " << c << " state " << s;
    }
    // On random models every entry names a component of its state, or none.
    std::mt19937 random(5);
    for (int model = 0; model < 10; ++model) {
        AcousticModelSpec r = shortlistSpec({}, 3);
        r.offsets = {0};
        for (int32_t s = 0; s < 5; ++s)
            r.offsets.push_back(r.offsets.back() + std::uniform_int_distribution<uint32_t>(0, 5)(random));
        r.seed = static_cast<uint32_t>(model + 1);
        const ParamBlockBuilder params = ParamBlockBuilder().real(kBrevitParamClusterCloseness, 3000.0);
        AM* am = loadWith(r, &params);
        ASSERT_NE(am, nullptr);
        AM_ReassignShortList(am);
        for (int32_t c = 0; c < 3; ++c)
            for (int32_t s = 0; s < 5; ++s) {
                const int32_t e = ShortList_GetEntry(am->shortlist, c, s);
                EXPECT_TRUE(e == 15 || e < std::max(AM_GetNumComponents(am, s), 1)) << e;
            }
    }
}

TEST_F(ShortlistTest, ScaledCentroidsClip)
{
    AM* am = loadWith(shortlistSpec({10, 100, 200, 50, 1, 2, 3, 4}, 2), nullptr);
    ASSERT_NE(am, nullptr);
    const double scale[] = {-1.0, 1.0, 2.0, 0.5};
    ShortList_Scale(am->shortlist, scale);
    const uint8_t* c0 = ShortList_GetCentroid(am->shortlist, 0);
    EXPECT_EQ(std::vector<uint8_t>(c0, c0 + 4), (std::vector<uint8_t>{0, 100, 255, 25}));
    EXPECT_EQ(ShortList_GetNumClusters(am->shortlist), 2);
    EXPECT_EQ(AM_GetShortList(am), am->shortlist);
}

TEST_F(ShortlistTest, TreeWalksToLeavesAndLearnsUpToTheCap)
{
    const ParamBlockBuilder params = ParamBlockBuilder().word(kBrevitParamClusterLeafCap, 1).word(kBrevitParamClusterTreeCandidates, 1);
    AM* am = loadWith(shortlistSpec({0, 0, 0, 0, 60, 0, 0, 0, 0, 0, 0, 0}, 3), &params);
    ASSERT_NE(am, nullptr);
    const EmShLsNode nodes[] = {{1, 0, 1}, {100, 0, 3}, {0, 1, 0}, {50, 1, 4}, {0, 0, 4}, {0, 0, 8}};
    const uint8_t lists[12] = {2};
    EmShLsTree* tree = EmShLsTree_Create(nodes, 6, lists, 12, 4, 3, 4);
    ASSERT_NE(tree, nullptr);
    ASSERT_EQ(AM_SetEmShLsTree(am, tree), 1);
    EXPECT_EQ(AM_GetEmShLsTree(am), tree);
    const std::vector<uint8_t> high = {150, 0, 0, 0}, lowLow = {50, 20, 0, 0}, lowHigh = {50, 80, 0, 0};
    EXPECT_EQ(EmShLsTree_FindLeaf(tree, high.data()), 2);
    EXPECT_EQ(EmShLsTree_FindLeaf(tree, lowLow.data()), 5);
    EXPECT_EQ(EmShLsTree_FindLeaf(tree, lowHigh.data()), 4);
    // The leaf's list is the only candidate.
    Shortlist_SetFeatures(am->shortlist, high.data(), am);
    EXPECT_EQ(AM_GetShortListClusterIndex(am, 0), 2);
    // Learning appends the best cluster, the second only below the cap.
    EmShLsTree_FeedFeatures(am, lowHigh.data());
    int32_t count = 0;
    const uint8_t* list = EmShLsTree_GetClusterList(tree, lowHigh.data(), &count);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(list[0], 1);
    EmShLsTree_FeedFeatures(am, lowHigh.data());
    EmShLsTree_GetClusterList(tree, lowHigh.data(), &count);
    EXPECT_EQ(count, 1);

    // Links that go back or out of the tree are refused.
    const EmShLsNode back[] = {{1, 0, 1}, {100, 0, 0}, {0, 0, 0}};
    EXPECT_EQ(EmShLsTree_Create(back, 3, lists, 12, 4, 3, 4), nullptr);
    const EmShLsNode out[] = {{1, 0, 2}, {0, 0, 0}, {0, 0, 0}};
    EXPECT_EQ(EmShLsTree_Create(out, 3, lists, 12, 4, 3, 4), nullptr);
    const EmShLsNode badList[] = {{0, 1, 10}};
    EXPECT_EQ(EmShLsTree_Create(badList, 1, lists, 12, 4, 3, 4), nullptr);
}

TEST_F(ShortlistTest, ShortlistsThatCannotServeAreRefusedOrLeftOut)
{
    AcousticModelSpec spec = shortlistSpec({}, 2);
    AcousticModelRecords records = acousticModelRecords(spec);
    records.set("35.rowLength", 2).setArray("35.entries", std::vector<uint8_t>(4, 0));
    EXPECT_EQ(load(records), nullptr);
    records = acousticModelRecords(spec);
    records.set("35.centroidLength", 3).setArray("35.centroids", std::vector<uint8_t>(6, 0));
    EXPECT_EQ(load(records), nullptr);
    spec.shortlistClusters = 0;
    spec.shortlistCentroids.clear();
    AM* am = loadWith(spec, nullptr);
    ASSERT_NE(am, nullptr);
    EXPECT_EQ(am->shortlistScorer, nullptr);
}

// A tree is checked against the model it is given to: one made for more
// clusters or wider frames would list centroids the shortlist lacks or test
// features past the frame.
TEST_F(ShortlistTest, TreesMadeForAnotherModelAreRefused)
{
    const ParamBlockBuilder params = ParamBlockBuilder().word(kBrevitParamClusterTreeCandidates, 1);
    AM* am = loadWith(shortlistSpec({0, 0, 0, 0, 60, 0, 0, 0}, 2), &params);
    ASSERT_NE(am, nullptr);
    const uint8_t lists[4] = {2};
    struct Case {
        const char* name;
        std::vector<EmShLsNode> nodes;
        int32_t clusters;
        int32_t dim;
    };
    const Case cases[] = {
        {"a cluster past the shortlist's", {{0, 1, 0}}, 3, 4},
        {"a feature past the model's", {{1, 0, 1}, {100, 6, 3}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}}, 2, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EmShLsTree* tree = EmShLsTree_Create(c.nodes.data(), static_cast<int32_t>(c.nodes.size()), lists, 4, 1,
                                             c.clusters, c.dim);
        ASSERT_NE(tree, nullptr);
        if (AM_SetEmShLsTree(am, tree) == 0) {
            EmShLsTree_Delete(tree);
            EXPECT_EQ(AM_GetEmShLsTree(am), nullptr);
            continue;
        }
        ADD_FAILURE() << "tree taken";
        const std::vector<uint8_t> x = {0, 0, 0, 0};
        Shortlist_SetFeatures(am->shortlist, x.data(), am);
    }
    // One that fits is taken.
    const EmShLsNode fits[] = {{0, 1, 0}};
    const uint8_t fitting[1] = {1};
    EmShLsTree* tree = EmShLsTree_Create(fits, 1, fitting, 1, 1, 2, 4);
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(AM_SetEmShLsTree(am, tree), 1);
}

} // namespace
