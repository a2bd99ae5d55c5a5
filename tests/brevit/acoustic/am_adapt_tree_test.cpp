#include "core/brevit/acoustic/am_adapt.h"

#include "core/brevit/acoustic/decision_tree.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/brevit/acoustic/adaptation_fixture.h"
#include "tests/support/param_block_builder.h"

namespace {

using AdaptTreeTest = AcousticTest;

// Tree A: phone 1's first position splits into states 1 and 2, its second
// is the single leaf 3. Fifteen frames 8 above each component of states 1
// and 3; node and leaf weights of 20 frames, a prior of 8.
TEST_F(AdaptTreeTest, SmoothingPassesDeviationsToRelatives)
{
    const struct {
        const char* name;
        bool smoothing;
        int noHierarchy;
        int32_t moves[4];   // states 0..3
    } cases[] = {
        {"no smoothing", false, 0, {0, 5, 0, 5}},
        {"smoothing", true, 0, {0, 7, 6, 7}},
        {"leaves only", true, 1, {0, 7, 0, 7}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedParamBlock params(ParamBlockBuilder()
                                    .word(kBrevitParamAdaptCountWeight, 8)
                                    .word(kBrevitParamAdaptPriorWeight, 8)
                                    .word(kBrevitParamNodeWeight, 20)
                                    .word(kBrevitParamLeafWeight, 20)
                                    .word(kBrevitParamNoSlotMerge, static_cast<uint32_t>(c.noHierarchy))
                                    .real(kBrevitParamAdaptSilenceShare, 1.0));
        AM* am = load(adaptableSpec(11));
        ASSERT_NE(am, nullptr);
        const std::vector<Bytes> before = allMeans(am);
        std::vector<StateFrame> frames;
        for (int32_t s : {1, 3})
            for (int32_t k = 0; k < 2; ++k) {
                Bytes f(AM_GetComponentMean(am, s, k), AM_GetComponentMean(am, s, k) + 12);
                for (auto& b : f)
                    b = static_cast<uint8_t>(b + 8);
                for (int32_t i = 0; i < 15; ++i)
                    frames.push_back({s, f});
            }
        ASSERT_EQ(AM_InitAdaptation(am, 1, c.smoothing), 1);
        Scorer scorer(am);
        ASSERT_TRUE(scorer.accumulate(frames));
        ASSERT_EQ(AM_FinishAdaptation(am), 1);
        for (int32_t s = 0; s < 4; ++s)
            for (int32_t k = 0; k < 2; ++k) {
                const uint8_t* now = AM_GetComponentMean(am, s, k);
                const Bytes& old = before[static_cast<size_t>(2 * s + k)];
                for (int32_t d = 0; d < 12; ++d)
                    EXPECT_EQ(now[d] - old[static_cast<size_t>(d)], c.moves[s]) << "state " << s << " component " << k;
            }
        AM_FreeAdaptationBuffers(am);
    }
}

// The smoothing of the tree in doubles, from the statistics as gathered:
// sums from the tied states up to each root, the root blended with the
// phone's or every phone's roots, and each node's average deviation passed
// down. Pseudo-frame counts are whole numbers as in the model; only the
// deviations are real.
struct RefSmoothing {
    struct Tally {
        int64_t count = 0;
        std::vector<double> sums = std::vector<double>(12, 0.0);
        void add(int64_t c, const std::vector<double>& s, double scale)
        {
            count += c;
            for (size_t d = 0; d < sums.size(); ++d)
                sums[d] += s[d] * scale;
        }
    };
    struct Component {
        int64_t count = 0;
        std::vector<double> sums = std::vector<double>(12, 0.0);
    };

    const DecisionTree* tree;
    std::vector<std::vector<Component>> states;   // empty: no accumulator
    int64_t nodeWeight, leafWeight, globalWeight;
    bool noHierarchy, byCount, capped, replace;
    Tally global;

    static RefSmoothing from(AM* am)
    {
        RefSmoothing r{};
        r.tree = am->tree;
        r.states.resize(static_cast<size_t>(am->numStates));
        for (int32_t s = 0; s < am->numStates; ++s) {
            const AMFStateAccumulator* st = am->amf->states[s];
            if (st == nullptr)
                continue;
            for (uint32_t c = 0; c < st->componentCount; ++c) {
                Component k;
                k.count = st->counts[c];
                if (st->sums[c] != nullptr)
                    k.sums.assign(st->sums[c], st->sums[c] + 12);
                r.states[static_cast<size_t>(s)].push_back(std::move(k));
            }
        }
        const auto frames = [&](int w) { return int64_t{am->adaptationValue} * BrevitParam_Word(w); };
        r.nodeWeight = frames(kBrevitParamNodeWeight);
        r.leafWeight = frames(kBrevitParamLeafWeight);
        r.globalWeight = frames(kBrevitParamGlobalWeight);
        r.noHierarchy = BrevitParam_Word(kBrevitParamNoSlotMerge) != 0;
        r.byCount = BrevitParam_Word(kBrevitParamTreeNodeWeightByCount) != 0;
        r.capped = BrevitParam_Word(kBrevitParamTreeNodeWeightCap) != 0;
        r.replace = BrevitParam_Word(kBrevitParamTreeReplace) != 0;
        return r;
    }

    // A child reference: negative an internal node, else a tied state.
    struct Node {
        int32_t internal;   // -1: the leaf of state
        int32_t state;
        Tally tally;
        std::vector<Node> children;
    };

    Node layout(uint16_t phone, int32_t position, int32_t ref)
    {
        Node node;
        if (ref >= 0) {
            node.internal = -1;
            node.state = ref;
            for (const Component& k : states[static_cast<size_t>(ref)])
                if (k.count > 0)
                    node.tally.add(k.count, k.sums, 1.0);
            return node;
        }
        return internalNode(phone, position, -ref);
    }

    Node internalNode(uint16_t phone, int32_t position, int32_t index)
    {
        Node node;
        node.internal = index;
        for (const int16_t child : {DecisionTree_GetNoChild(tree, phone, position, index),
                                    DecisionTree_GetYesChild(tree, phone, position, index)}) {
            node.children.push_back(layout(phone, position, child));
            if (!noHierarchy)
                node.tally.add(node.children.back().tally.count, node.children.back().tally.sums, 1.0);
        }
        return node;
    }

    // The root, node 0, cannot be told from state 0 as a reference.
    Node root(uint16_t phone, int32_t position)
    {
        if (DecisionTree_GetNumNodes(tree, phone, position) == 0)
            return layout(phone, position, DecisionTree_GetLeafBase(tree, phone, position));
        return internalNode(phone, position, 0);
    }

    void down(Node& node)
    {
        const int64_t stored = node.tally.count;
        const int64_t k = stored != 0 ? stored : 1;
        if (node.internal < 0) {
            auto& comps = states[static_cast<size_t>(node.state)];
            if (comps.empty())
                comps.resize(2);
            const int64_t w = std::min(leafWeight, k);
            for (Component& c : comps) {
                c.count += w;
                for (size_t d = 0; d < 12; ++d)
                    c.sums[d] += node.tally.sums[d] * static_cast<double>(w) / static_cast<double>(k);
            }
            return;
        }
        for (Node& child : node.children) {
            if (!noHierarchy) {
                int64_t w = nodeWeight;
                if (byCount)
                    w = stored * w / (w + k);
                else if (capped)
                    w = std::min(w, k);
                if (replace)
                    child.tally = Tally{};
                child.tally.add(w, node.tally.sums, static_cast<double>(w) / static_cast<double>(k));
            }
            down(child);
        }
    }

    void gather(uint16_t phone, int32_t position)
    {
        const Node r = root(phone, position);
        global.add(r.tally.count, r.tally.sums, 1.0);
    }

    void smooth(uint16_t phone, int32_t position, bool blend)
    {
        Node r = root(phone, position);
        if (r.tally.count == 0)
            r.tally.count = 1;
        if (blend && global.count != 0) {
            const int64_t v = std::min(global.count, globalWeight);
            if (replace)
                r.tally = Tally{};
            r.tally.add(v, global.sums, static_cast<double>(v) / static_cast<double>(global.count));
        }
        down(r);
    }

    void run(bool perPhone, bool allPhones, int32_t positions)
    {
        const int32_t phones = DecisionTree_GetNumPhones(tree);
        for (int32_t p = 1; p < phones; ++p) {
            const auto phone = static_cast<uint16_t>(p);
            for (int32_t q = 0; q < positions; ++q) {
                if (perPhone || allPhones)
                    gather(phone, q);
                else
                    smooth(phone, q, false);
            }
            if (perPhone && !allPhones) {
                for (int32_t q = 0; q < positions; ++q)
                    smooth(phone, q, true);
                global = Tally{};
            }
        }
        for (int32_t p = 1; allPhones && p < phones; ++p)
            for (int32_t q = 0; q < positions; ++q)
                smooth(static_cast<uint16_t>(p), q, true);
    }
};

// Every way of weighting and blending against the reference: node weights
// as they stand, scaled by the node's count (121) or capped by it (17), and
// the roots blended with their phone's (139) or every phone's (129)
// statistics, adding or replacing (134). Counts agree exactly, sums within
// the rounding of each pass.
TEST_F(AdaptTreeTest, SmoothingMatchesADoubleReference)
{
    const struct {
        const char* name;
        std::vector<std::pair<int, uint32_t>> words;
    } cases[] = {
        {"node weight", {}},
        {"weight by count", {{kBrevitParamTreeNodeWeightByCount, 1}}},
        {"weight capped by count", {{kBrevitParamTreeNodeWeightCap, 1}}},
        {"both: by count wins", {{kBrevitParamTreeNodeWeightByCount, 1}, {kBrevitParamTreeNodeWeightCap, 1}}},
        {"phone blend", {{kBrevitParamTreePhoneBlend, 1}}},
        {"global blend", {{kBrevitParamTreeGlobalBlend, 1}}},
        {"global blend over phone blend", {{kBrevitParamTreeGlobalBlend, 1}, {kBrevitParamTreePhoneBlend, 1}}},
        {"phone blend replacing", {{kBrevitParamTreePhoneBlend, 1}, {kBrevitParamTreeReplace, 1}}},
        {"global blend by count", {{kBrevitParamTreeGlobalBlend, 1}, {kBrevitParamTreeNodeWeightByCount, 1}}},
    };
    // Deviations per state (0: no frames); three frames on each component.
    const int32_t deviation[8] = {0, 6, 0, -4, 3, 5, 0, -6};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        double worst = 0.0;
        ParamBlockBuilder builder;
        builder.word(kBrevitParamAdaptCountWeight, 0)
            .word(kBrevitParamAdaptPriorWeight, 0)
            .word(kBrevitParamNodeWeight, 20)
            .word(kBrevitParamLeafWeight, 5)
            .word(kBrevitParamGlobalWeight, 7)
            .real(kBrevitParamAdaptSilenceShare, 1.0);
        for (const auto& [w, v] : c.words)
            builder.word(w, v);
        ScopedParamBlock params(builder);
        AM* am = load(adaptableSpec(23));
        ASSERT_NE(am, nullptr);
        std::vector<StateFrame> frames;
        for (int32_t s = 0; s < 8; ++s)
            for (int32_t k = 0; deviation[s] != 0 && k < 2; ++k) {
                Bytes f(AM_GetComponentMean(am, s, k), AM_GetComponentMean(am, s, k) + 12);
                for (int32_t d = 0; d < 12; ++d)
                    f[static_cast<size_t>(d)] = static_cast<uint8_t>(f[static_cast<size_t>(d)] + deviation[s] + d % 3 - 1);
                for (int32_t i = 0; i < 3; ++i)
                    frames.push_back({s, f});
            }
        ASSERT_EQ(AM_InitAdaptation(am, 1, 1), 1);
        Scorer scorer(am);
        ASSERT_TRUE(scorer.accumulate(frames));
        RefSmoothing ref = RefSmoothing::from(am);
        ref.run(BrevitParam_Word(kBrevitParamTreePhoneBlend) != 0, BrevitParam_Word(kBrevitParamTreeGlobalBlend) != 0,
                am->statesPerModel);
        ASSERT_EQ(AM_AMFSmoothAllTrees(am), 1u);
        for (int32_t s = 0; s < 8; ++s) {
            const AMFStateAccumulator* st = am->amf->states[s];
            const auto& want = ref.states[static_cast<size_t>(s)];
            ASSERT_EQ(st != nullptr, !want.empty()) << s;
            for (size_t k = 0; k < want.size(); ++k) {
                EXPECT_EQ(st->counts[k], want[k].count) << "state " << s << " component " << k;
                for (size_t d = 0; d < 12; ++d) {
                    const double got = st->sums[k] != nullptr ? st->sums[k][d] : 0.0;
                    worst = std::max(worst, std::abs(got - want[k].sums[d]));
                }
            }
        }
        AM_FreeAdaptationBuffers(am);
        // Each pass rounds to the nearest unit and the blend truncates
        // (measured at most 0.67 over these cases).
        EXPECT_LE(worst, 1.0);
    }
}

} // namespace
