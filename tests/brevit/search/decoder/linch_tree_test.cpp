// Class members reached through their class's run-time lexical tree: the
// tree-aware merge moves records along the tree's arcs, and a member's final
// arc ends as that member's word. The frame best follows the same search
// without the tree (member by member) while the spoken member is heard.
#include "tests/brevit/search/decoder/decoder_test.h"

#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/lexicon/lex_tree.h"
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/search/class_manager.h"
#include "core/brevit/search/class_networks.h"
#include "core/brevit/search/class_pair_constraint.h"
#include "core/brevit/search/constraint_manager.h"
#include "core/brevit/search/linch_search.h"
#include "core/brevit/search/result_graph.h"
#include "tests/support/linear_chain_fixture.h"

#include <algorithm>
#include <vector>

namespace {

using Words = std::vector<std::pair<int, uint32_t>>;

class LinChTreeTest : public DecoderTest {
protected:
    void TearDown() override
    {
        DVKTempMem_DeleteMemStack();
        DecoderTest::TearDown();
    }
};

// The real tree builder, not the other decoder tests' stand-in: naming one of
// its functions links it, and its definitions replace the weak ones.
__attribute__((used)) const auto kRealTreeBuilder = &LexTree_BuildFromPronRange;

constexpr uint16_t kSpoken = 1;  // its models are no other pron's

struct Node {
    uint16_t word;
    uint32_t state;
    int16_t frame;
    bool operator==(const Node&) const = default;
};

struct TreeRun {
    std::vector<int32_t> best;  // the frame best after each frame
    std::vector<Node> ends;     // result-graph nodes of the second spoken pron
    uint16_t second = 0;        // the second spoken pron, a member of "names"
    int32_t wordFrames = 0;     // frames until its last state
    int32_t trees = 0;
    int32_t treeRecordsSeen = 0;
    int32_t classId = 0;
};

Words params(bool trees, bool expanded)
{
    Words w = {{kBrevitParamBaseBeamLevel, 16000}, {kBrevitParamBeamLevel1, 16000},
               {kBrevitParamPruneOffset, 16000},   {kBrevitParamNewWordBeam, 16000},
               {kBrevitParamWordEndBeam, 16000},   {kBrevitParamWordInsertionCost, 50},
               {kBrevitParamGraphWordPenalty, 70}, {kBrevitParamDecoderOut2, 100000},
               {kBrevitParamWordEndCap, 100000},   {kBrevitParamTreeCapacity, 4}};
    if (trees) {
        w.insert(w.end(), {{kBrevitParamTreePronThreshold, 2}, {kBrevitParamAllowPauseRequests, 1},
                           {kBrevitParamMaxTrees, 1}});
    } else {
        w.insert(w.end(), {{kBrevitParamMaxTrees, 0}});
    }
    if (expanded)
        w.push_back({kBrevitParamExpandedNewWords, 1});
    return w;
}

// Two classes in a row: "first" holds the spoken pron's word, "names" every
// other active word (its tree: trees start only from a word end, never from
// silence). Frames: silence, the spoken pron, the first pron of the second
// word of "names", silence.
void runClass(bool trees, bool expanded, TreeRun* out)
{
    LinearChainFixture f(2, params(trees, expanded), true);
    ConstraintManager* constraints = ConstraintManager_Create(4);
    ClassManager* classes = ClassManager_Create(f.voc(), f.model(), constraints, 4);
    ASSERT_NE(classes, nullptr);
    ASSERT_EQ(ClassManager_AddClass(classes, "first", 2, 2, 0, 0, 0, 0), 1);
    ASSERT_EQ(ClassManager_AddClass(classes, "names", 8, 8, 0, 0, 0, 0), 1);
    LinChDecoder* d = f.decoder();
    ASSERT_NE(d, nullptr);
    const uint16_t spoken = Voc_GetActiveIdFromPronId(f.voc(), kSpoken, nullptr);
    ASSERT_EQ(ClassManager_AddClassMember(classes, "first", &spoken, 1, 0, 0), 1);
    std::vector<uint16_t> members;
    for (int32_t p = 1; p < Voc_GetNumPronIds(f.voc()); ++p) {
        const uint16_t a = Voc_GetActiveIdFromPronId(f.voc(), static_cast<uint16_t>(p), nullptr);
        if (a != kConstraintNoPron && a != spoken && std::find(members.begin(), members.end(), a) == members.end())
            members.push_back(a);
    }
    ASSERT_FALSE(members.empty());
    for (uint16_t m : members)
        ASSERT_EQ(ClassManager_AddClassMember(classes, "names", &m, 1, 0, 0), 1);
    uint16_t prons[8] = {};
    ASSERT_GE(Voc_GetPronIds(f.voc(), Voc_ActiveIdToVocId(f.voc(), members.back()), prons, 8), 1);
    out->second = prons[0];
    const auto first = static_cast<uint32_t>(ClassManager_FindClass(classes, "first"));
    const auto names = static_cast<uint32_t>(ClassManager_FindClass(classes, "names"));
    out->classId = static_cast<int32_t>(names);
    ClassManager_BuildClassTrees(classes, 0);
    ASSERT_EQ(ClassManager_GetClassTree(classes, first), nullptr);
    ASSERT_EQ(ClassManager_GetClassTree(classes, names) != nullptr, trees);
    Constraint* cp = ClassPairConstraint_Create("cp", classes, 2, 3, 0);
    ASSERT_NE(cp, nullptr);
    ASSERT_EQ(ClassPairConstraint_AddTransition(cp, 0, first, 0), 1);
    ASSERT_EQ(ClassPairConstraint_AddTransition(cp, first, names, 0), 1);
    ASSERT_EQ(ClassPairConstraint_AddTransition(cp, names, 0, 0), 1);

    ASSERT_EQ(f.uttInit(d, {cp}), 1);
    std::vector<int32_t> states(10, d->silenceState);
    for (uint16_t pron : {kSpoken, out->second}) {
        const uint16_t* models = nullptr;
        const int32_t n = LinChDecoder_PronModels(d, pron, &models);
        for (int32_t j = 0; j < n; ++j)
            for (int32_t s = 0; s < d->statesPerModel; ++s)
                for (int32_t k = 0; k < 3; ++k)
                    states.push_back(AM_GetModelStateIds(d->base.model, models[j])[s]);
    }
    out->wordFrames = static_cast<int32_t>(states.size());
    states.insert(states.end(), 20, d->silenceState);
    const std::vector<uint8_t> data = f.frames(states);
    const auto dim = static_cast<size_t>(AM_GetFeatureDim(f.model()));
    const int32_t side = 0;
    for (size_t t = 0; t < states.size(); ++t) {
        Decoder_ProcessFrame(&d->base, &data[t * dim], &side);
        ASSERT_NE(d->state, kDecoderStateFailed) << t;
        int32_t best = 0, silence = 0, end = 0;
        Decoder_GetKeyScores(&d->base, &best, &silence, &end);
        out->best.push_back(best);
        const int32_t start = LinChDecoder_ListStart(d);
        for (int32_t i = start; i + 1 < start + d->hypCount; ++i)
            if (LinChDecoder_HypAt(d, i)->pron > d->numVocEntries)
                ++out->treeRecordsSeen;
    }
    for (int32_t node = 0; node < d->resultGraph->count; ++node) {
        const auto at = static_cast<uint32_t>(node);
        if (ResultGraph_GetNodeWord(d->resultGraph, at) != out->second)
            continue;
        uint32_t low = 0, high = 0;
        ResultGraph_GetNodeActiveId(d->resultGraph, at, &low, &high);
        out->ends.push_back({out->second, ActiveId_GetState(ActiveId_FromWords(high & 0x7FFFFFFFu, low)),
                             0});
    }
    out->trees = d->numTrees;
    f.release(d);
    Decoder_Delete(&d->base, 0);
    ClassPairConstraint_Delete(cp, 0);
    ClassManager_RemoveUnreferencedClasses(classes);
    ConstraintManager_Delete(constraints);
    ClassManager_Delete(classes);
}

} // namespace

TEST_F(LinChTreeTest, AClassMemberReachedThroughItsTreeEndsAsAWord)
{
    for (bool expanded : {false, true}) {
        SCOPED_TRACE(expanded ? "expanded" : "plain");
        TreeRun tree, chains;
        runClass(true, expanded, &tree);
        runClass(false, expanded, &chains);
        if (HasFatalFailure())
            return;
        EXPECT_EQ(tree.trees, 1);
        EXPECT_GT(tree.treeRecordsSeen, 0);
        EXPECT_EQ(chains.treeRecordsSeen, 0);
        // Through the tree or member by member, the spoken member's path is
        // the same search while it is heard.
        for (int32_t t = 0; t < tree.wordFrames; ++t)
            ASSERT_EQ(tree.best[static_cast<size_t>(t)], chains.best[static_cast<size_t>(t)]) << "frame " << t;
        ASSERT_FALSE(tree.ends.empty());
        for (const Node& n : tree.ends)
            EXPECT_EQ(n.state, static_cast<uint32_t>(tree.classId));
    }
}
