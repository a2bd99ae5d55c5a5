#include "core/brevit/acoustic/am_da.h"
#include "core/brevit/acoustic/am_kernels.h"
#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/acoustic/am_vq.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/brevit/acoustic/acoustic_fixture.h"
#include "tests/support/da_record_builder.h"
#include "tests/support/param_block_builder.h"

#include <functional>
#include <vector>

namespace {

// Three states over two feature bytes, scored by label.
AcousticModelSpec labelModel()
{
    AcousticModelSpec s;
    s.tree = AcousticTreeSpec::none();
    s.modelRows = {{0, 0}};
    s.states = 3;
    s.componentsPerState = 1;
    s.dim = 2;
    s.daMode = true;
    return s;
}

// Root, two inner levels and four labels:
//        0
//      1   2:L0
//    3:L1  4 (+100)
//        5:L2  6:L3
DARecordSpec threeLevels()
{
    DARecordSpec r;
    r.numLabels = 4;
    r.dimension = 2;
    r.nodes = {
        DANodeSpec::internal(1, 2),
        DANodeSpec::internal(3, 4).at({10, 10}),
        DANodeSpec::leaf(0).at({100, 100}),
        DANodeSpec::leaf(1).at({0, 50}, {2, 1}),
        DANodeSpec::internal(5, 6).at({30, 50}, {}, 100),
        DANodeSpec::leaf(2).at({40, 40}),
        DANodeSpec::leaf(3).at({40, 60}),
    };
    return r;
}

using DATest = AcousticTest;

TEST_F(DATest, SingleNodeTreeGivesItsLabel)
{
    AM* am = load(labelModel());
    ASSERT_NE(am, nullptr);
    DARecordSpec spec;
    spec.numLabels = 3;
    spec.dimension = 2;
    spec.nodes = {DANodeSpec::leaf(2).at({200, 200})};
    spec.scores = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    AM_SetDARecord(am, spec.build(am));
    ASSERT_NE(am->daRecord, nullptr);
    const std::vector<uint8_t> x = {0, 0};
    AM_PrepareFrame(am, x.data(), 0);
    AM_DAPrecomputeVQLabel(am);
    EXPECT_EQ(am->daRecord->currentLabel, 2u);
    EXPECT_EQ(AM_DAGetScore(am, 0), 3);
    EXPECT_EQ(AM_DAGetScore(am, 1), 6);
    EXPECT_EQ(AM_DAGetScore(am, 2), 9);
}

TEST_F(DATest, DescentTakesTheCloserChildAndGoesLeftOnTies)
{
    AM* am = load(labelModel());
    ASSERT_NE(am, nullptr);
    const struct {
        const char* name;
        std::vector<uint8_t> frame;
        uint32_t node2Constant;
        uint32_t label;
    } cases[] = {
        {"left, then left", {10, 10}, 0, 1},             // 0 < 16200; 1800 < 2100
        {"right at the root", {100, 90}, 0, 0},          // 100 < 14500
        {"tie at the root", {55, 55}, 0, 3},             // 4050 = 4050; 750; 250 < 450
        {"tie at the last level", {40, 50}, 0, 2},       // 200 < 3200; 100 = 100
        {"constant and weights decide", {13, 50}, 0, 1}, // 338 < 100 + 289
        // 0xFFFFFFC0 + 100 wraps in 32 bits and would look closer than 14500.
        {"distances past 32 bits", {90, 100}, 0xFFFFFFC0u, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DARecordSpec spec = threeLevels();
        spec.nodes[2].constant = c.node2Constant;
        AM_SetDARecord(am, spec.build(am));
        ASSERT_NE(am->daRecord, nullptr);
        AM_PrepareFrame(am, c.frame.data(), 0);
        AM_DAPrecomputeVQLabel(am);
        EXPECT_EQ(am->daRecord->currentLabel, c.label);
    }
}

TEST_F(DATest, KernelChoiceForLabelModels)
{
    const struct {
        const char* name;
        std::function<void(AcousticModelSpec&)> shape;
        AMStateKernel vqState;
        AMComponentKernel vqComponent;
        AMPrecomputeFunc precompute;
        int32_t useVQ;   // asked for the plain path
    } cases[] = {
        {"labels", [](AcousticModelSpec&) {}, AM_DAGetScore, nullptr, AM_DAPrecomputeVQLabel, 1},
        {"labels over codebooks", [](AcousticModelSpec& s) { s.vq = true; }, AM_DAGetScore, nullptr,
         AM_DAPrecomputeVQLabel, 1},
        // The restricted choice installs no label scorer: the plain path.
        {"labels through the restricted choice",
         [](AcousticModelSpec& s) {
             s.storage = AcousticStorage::InnerProduct;
             s.covType = 5;
             s.dim = 24;
             s.states = 4;
             s.offsets = {0, 1, 3, 4, 6};
         },
         nullptr, nullptr, nullptr, 0},
        {"codebooks without labels",
         [](AcousticModelSpec& s) {
             s.daMode = false;
             s.vq = true;
         },
         AM_VQGetScore, AM_VQGetComponentScore, AM_VQPrecomputeScoresForClusters, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AcousticModelSpec spec = labelModel();
        c.shape(spec);
        AM* am = load(spec);
        ASSERT_NE(am, nullptr);
        EXPECT_EQ(am->vqStateKernel, c.vqState);
        EXPECT_EQ(am->vqComponentKernel, c.vqComponent);
        EXPECT_EQ(am->vqPrecompute, c.precompute);
        AMScoringSet* set = AM_NewScoringSet();
        ASSERT_NE(set, nullptr);
        AM_GetScoringFunctions(am, set, 0, 0);
        EXPECT_EQ(set->useVQ, c.useVQ);
        if (c.useVQ) {
            EXPECT_EQ(set->cachedScorer, c.vqState);
            EXPECT_EQ(set->directScorer, c.vqState);
            EXPECT_EQ(set->componentScorer, nullptr);
        } else {
            EXPECT_EQ(set->cachedScorer, am->stateKernel);
            EXPECT_EQ(set->componentScorer, am->componentKernel);
        }
        AM_DeleteScoringSet(set);
    }
    // Label models count as odd-majority: two odd and two even states.
    AcousticModelSpec spec = labelModel();
    cases[2].shape(spec);
    AM* am = load(spec);
    ASSERT_NE(am, nullptr);
    EXPECT_EQ(am->stateKernel, &AM_CalculateScoreScalarCovInnerProduct24OddSimple);
}

TEST_F(DATest, FramesAreScoredThroughTheLabel)
{
    AM* am = load(labelModel());
    ASSERT_NE(am, nullptr);
    AM_SetDARecord(am, threeLevels().build(am));   // entry 100 x label + state
    AMScoringSet* set = AM_NewScoringSet();
    ASSERT_NE(set, nullptr);
    AM_GetScoringFunctions(am, set, 0, 0);
    const struct {
        std::vector<uint8_t> frame;
        int32_t label;
    } frames[] = {{{10, 10}, 1}, {{100, 90}, 0}, {{55, 55}, 3}, {{40, 50}, 2}};
    int32_t index = 0;
    for (const auto& f : frames) {
        SCOPED_TRACE(index);
        AM_NewFrame(am, f.frame.data(), nullptr, set, index++, 1);
        for (int32_t s = 0; s < am->numStates; ++s)
            EXPECT_EQ(AM_GetStateScore(am, s), 100 * f.label + s) << "state " << s;
        uint32_t crc = 0;
        AM_EndFrame(am, 0, &crc);
    }
    // States past the table and a model without a record get the ceiling.
    EXPECT_EQ(AM_DAGetScore(am, am->numStates), am->scoreCeiling);
    AM_SetDARecord(am, nullptr);
    AM_NewFrame(am, frames[0].frame.data(), nullptr, set, index, 1);
    EXPECT_EQ(AM_GetStateScore(am, 1), am->scoreCeiling);
    AM_DeleteScoringSet(set);
}

// Two one-dimension streams of two codewords (10 and 50): at (10, 10) the
// best codewords sum to 0, while each state pairs a 0 with a 1600.
AcousticModelSpec codebookModel()
{
    AcousticModelSpec s = labelModel();
    s.daMode = false;
    s.states = 2;
    s.covType = 5;
    s.vq = true;
    AcousticVQSpec& v = s.vqSpec;
    v.codebookSize = 2;
    v.elementCount = 4;
    v.dimensionBounds = {0, 1, 2};
    v.codewordBounds = {0, 2, 4};
    v.codebookOffsets = {0, 2, 4};
    v.codebook = {10, 50, 10, 50};
    v.labels = {0, 1, 1, 0};
    return s;
}

TEST_F(DATest, BestCachedScoreFromTheFramesPrecompute)
{
    const struct {
        const char* name;
        bool labels;
        int32_t wantVQ;
        uint32_t word126;
        int32_t best;       // -1: the lowest plain state cost
        bool cacheFilled;
    } cases[] = {
        {"labels, word set", true, 0, 1, 7, false},
        {"labels, word clear", true, 0, 0, 7, true},
        {"codebooks, word set", false, 1, 1, 0, false},
        {"codebooks, word clear", false, 1, 0, 1600, true},
        {"plain path, word set", false, 0, 1, -1, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamDaBestScore, c.word126));
        AM* am = load(c.labels ? labelModel() : codebookModel());
        ASSERT_NE(am, nullptr);
        if (c.labels) {
            DARecordSpec spec = threeLevels();
            spec.scores = {50, 60, 70, 80, 40, 9, 30, 20, 45, 7, 35, 90};
            AM_SetDARecord(am, spec.build(am));
        }
        AMScoringSet* set = AM_NewScoringSet();
        ASSERT_NE(set, nullptr);
        AM_GetScoringFunctions(am, set, 0, c.wantVQ);
        const std::vector<uint8_t> x = {10, 10};   // label 1
        AM_NewFrame(am, x.data(), nullptr, set, 0, 1);
        const int32_t last = am->numStates - 1;
        int32_t plain = 16384;
        for (int32_t s = 0; s < am->numStates; ++s)
            plain = std::min(plain, am->stateKernel(am, s));
        EXPECT_EQ(AM_GetBestCachedScore(am), c.best < 0 ? plain : c.best);
        EXPECT_EQ(am->cache[last] != kAMNotComputed, c.cacheFilled);
        AM_DeleteScoringSet(set);
    }
}

TEST_F(DATest, TreesADescentCouldLeaveOrLoopAreRefused)
{
    AM* am = load(labelModel());
    ASSERT_NE(am, nullptr);
    const struct {
        const char* name;
        std::function<void(DARecordSpec&)> change;
        bool accepted;
    } cases[] = {
        {"as drawn", [](DARecordSpec&) {}, true},
        {"a leaf's children are never followed", [](DARecordSpec& r) { r.nodes[2].left = 0; }, true},
        {"right child outside the tree", [](DARecordSpec& r) { r.nodes[4].right = 7; }, false},
        {"left child back to the root", [](DARecordSpec& r) { r.nodes[1].left = 0; }, false},
        {"child is the node itself", [](DARecordSpec& r) { r.nodes[4].left = 4; }, false},
        {"last node internal", [](DARecordSpec& r) { r.nodes[6] = DANodeSpec::internal(6, 6); }, false},
        {"label past the labels", [](DARecordSpec& r) { r.nodes[5].label = 4; }, false},
        {"label below -1", [](DARecordSpec& r) { r.nodes[2].label = -2; }, false},
        {"no labels", [](DARecordSpec& r) { r.numLabels = 0; }, false},
        {"no nodes", [](DARecordSpec& r) { r.nodes.clear(); }, false},
        {"dimension past the features", [](DARecordSpec& r) { r.dimension = 3; }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DARecordSpec spec = threeLevels();
        c.change(spec);
        AMDARecord* record = spec.build(am);
        EXPECT_EQ(record != nullptr, c.accepted);
        AM_DeleteDARecord(record);
    }
}

TEST_F(DATest, FailedAllocationsLeaveNothingBehind)
{
    AM* am = load(labelModel());
    ASSERT_NE(am, nullptr);
    const size_t live = m_allocator.liveBlocks();
    AMDARecord* record = nullptr;
    for (uint64_t k = 1; record == nullptr; ++k) {
        SCOPED_TRACE(k);
        ASSERT_LT(k, 20u);
        m_allocator.failAt(m_allocator.calls() + k);
        record = threeLevels().build(am);
        m_allocator.failAt(0);
        if (record == nullptr) {
            EXPECT_EQ(m_allocator.liveBlocks(), live);
        }
    }
    AM_SetDARecord(am, record);
    AM_SetDARecord(am, threeLevels().build(am));   // the first is deleted
}

} // namespace
