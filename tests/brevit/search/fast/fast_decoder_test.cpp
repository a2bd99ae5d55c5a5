// The fast decoder: frames sitting on the states of one pron's path through
// a small tree make that pron the best choice; thresholds, the word-end
// table and choices as tables; set-up states; allocation failure in turn.
#include "core/brevit/search/fast_decoder.h"

#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/lexicon/lex_tree_parts.h"
#include "tests/brevit/search/decoder/decoder_test.h"
#include "tests/support/linear_chain_fixture.h"

#include <map>
#include <vector>

namespace {

using linear_chain_fixture::fastPreset;
using linear_chain_fixture::collectPaths;
using linear_chain_fixture::treeOver;

class FastDecoderTest : public DecoderTest {};

// Phonemes the fixture model has models for, sharing prefixes.
const std::vector<std::vector<uint16_t>> kProns = {{1, 2}, {1, 1}, {2, 1, 2}, {2}, {2, 2, 1}};

// Silence on the root, each state of the pron's phones twice, silence again.
std::vector<int32_t> stateSequence(AM* model, const LexArc* arcs, const std::vector<int32_t>& path, int32_t states)
{
    std::vector<int32_t> seq;
    const uint16_t* root = AM_GetModelStateIds(model, arcs[0].model & kLexArcModelMask);
    for (int i = 0; i < 3; ++i)
        seq.push_back(root[0]);
    for (int32_t a : path) {
        const uint16_t* s = AM_GetModelStateIds(model, arcs[a].model & kLexArcModelMask);
        for (int32_t k = 0; k < states; ++k)
            for (int i = 0; i < 2; ++i)
                seq.push_back(s[k]);
    }
    for (int i = 0; i < 3; ++i)
        seq.push_back(AM_GetSilenceStateId(model));
    return seq;
}

TEST_F(FastDecoderTest, FramesOfAPronMakeItTheBestChoice)
{
    for (int32_t states : {1, 2}) {
        LinearChainFixture f(states, fastPreset());
        LexTree* tree = treeOver(f.model(), kProns);
        ASSERT_NE(tree, nullptr);
        std::map<int32_t, std::vector<int32_t>> paths;
        std::vector<int32_t> scratch;
        collectPaths(LexTree_GetArcs(tree, 0), 0, scratch, paths);
        ASSERT_EQ(paths.size(), kProns.size());
        Decoder* d = FastDecoder_Create(tree, nullptr, f.model(), 10);
        ASSERT_NE(d, nullptr);
        FastDecoder_SetSearchParameters(d, 0, 20000, 0, 0, 30000);
        for (const auto& [pron, path] : paths) {
            const std::vector<uint8_t> frames =
                f.frames(stateSequence(f.model(), LexTree_GetArcs(tree, 0), path, states));
            const int32_t dim = AM_GetFeatureDim(f.model());
            ASSERT_EQ(Decoder_UttInit(d, 0, nullptr, 0, nullptr, 1, 0, 0, 0, 0), 1);
            for (size_t i = 0; i < frames.size(); i += static_cast<size_t>(dim))
                Decoder_ProcessFrame(d, frames.data() + i, nullptr);
            Decoder_UttFinish(d, nullptr);
            EXPECT_EQ(Decoder_GetState(d), kDecoderStateFinishedFast);
            int32_t scores[8] = {};
            uint32_t words[20] = {};
            const int32_t n = d->getChoicesAndScores(d, 8, scores, nullptr, 20, words, nullptr, nullptr, nullptr,
                                                     nullptr, nullptr, nullptr, nullptr, nullptr);
            ASSERT_GE(n, 1) << "pron " << pron << ", " << states << " states";
            EXPECT_EQ(words[0], static_cast<uint32_t>(pron)) << states << " states";
            for (int32_t i = 1; i < n; ++i)
                EXPECT_LE(scores[i - 1], scores[i]);
        }
        Decoder_Delete(d, 0);
    }
}

TEST_F(FastDecoderTest, WordEndTableKeepsTheBest)
{
    LinearChainFixture f(2, fastPreset());
    LexTree* tree = treeOver(f.model(), kProns);
    Decoder* d = FastDecoder_Create(tree, nullptr, f.model(), 10);
    ASSERT_NE(d, nullptr);
    FastDecoder* fd = FastDecoder_Of(d);
    fd->wordEndCap = 3;
    fd->wordEndCount = 0;
    fd->bestWordEnd = fd->frameBest = kFastEmpty;
    FastIso_InsertWordEnd(fd, 5, 100);
    FastIso_InsertWordEnd(fd, 7, 120);
    FastIso_InsertWordEnd(fd, 9, 120);
    auto table = [&] {
        std::map<int, int> m;
        for (int32_t i = 0; i < fd->wordEndCount; ++i)
            m[fd->wordEnds[i].pron] = fd->wordEnds[i].score;
        return m;
    };
    FastIso_InsertWordEnd(fd, 8, 110);
    EXPECT_EQ(table(), (std::map<int, int>{{5, 100}, {8, 110}, {9, 120}}));
    FastIso_InsertWordEnd(fd, 4, 120);
    EXPECT_EQ(table(), (std::map<int, int>{{5, 100}, {8, 110}, {4, 120}}));
    FastIso_InsertWordEnd(fd, 6, 120);
    EXPECT_EQ(table(), (std::map<int, int>{{5, 100}, {8, 110}, {4, 120}}));
    FastIso_InsertWordEnd(fd, 5, 90);
    EXPECT_EQ(table(), (std::map<int, int>{{5, 90}, {8, 110}, {4, 120}}));
    Decoder_Delete(d, 0);
}

TEST_F(FastDecoderTest, SetUpFailuresLeaveStateFour)
{
    LinearChainFixture f(2, fastPreset());
    Decoder* d = FastDecoder_Create(treeOver(f.model(), kProns), nullptr, f.model(), 10);
    ASSERT_NE(d, nullptr);
    FastDecoder_SetSearchParameters(d, 0, 20000, 0, 0, 30000);
    EXPECT_EQ(d->uttInit(d, nullptr, 0, nullptr, 0, 3, 0, 0, 0, 0), 0);
    EXPECT_EQ(Decoder_GetState(d), kDecoderStateStarting);
    FastDecoder_SetSearchParameters(d, 20000, 20000, 0, 0, 30000);
    EXPECT_EQ(Decoder_UttInit(d, 0, nullptr, 0, nullptr, 1, 0, 0, 0, 0), 0);
    EXPECT_EQ(Decoder_GetState(d), kDecoderStateStarting);
    FastDecoder_SetSearchParameters(d, 0, 20000, 0, 0, 30000);
    EXPECT_EQ(Decoder_UttInit(d, 0, nullptr, 0, nullptr, 1, 0, 0, 0, 0), 1);
    EXPECT_EQ(Decoder_GetState(d), kDecoderStateRunning);
    Decoder_Delete(d, 0);
}

TEST_F(FastDecoderTest, EachAllocationFailingInCreation)
{
    LinearChainFixture f(2, fastPreset());
    eachAllocationFailing(
        [&] {
            LexTree* tree = treeOver(f.model(), kProns);
            if (tree == nullptr)
                return false;
            Decoder* d = FastDecoder_Create(tree, nullptr, f.model(), 10);
            if (d == nullptr) {
                LexTree_Delete(tree);
                return false;
            }
            FastDecoder_SetSearchParameters(d, 0, 20000, 0, 0, 30000);
            const bool ok = Decoder_UttInit(d, 0, nullptr, 0, nullptr, 1, 0, 0, 0, 0) == 1;
            Decoder_Delete(d, 0);
            return ok;
        },
        [](bool failed, bool ok) { EXPECT_EQ(ok, !failed); });
}

TEST_F(FastDecoderTest, DecodersFedAlikeHaveEqualChecksumsAndALiveHypothesisCounts)
{
    LinearChainFixture f(2, fastPreset(), true);
    f.set(193, 1);
    Decoder* a = FastDecoder_Create(treeOver(f.model(), kProns), nullptr, f.model(), 10);
    Decoder* b = FastDecoder_Create(treeOver(f.model(), kProns), nullptr, f.model(), 10);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    for (Decoder* d : {a, b}) {
        FastDecoder_SetSearchParameters(d, 0, 20000, 0, 0, 30000);
        ASSERT_EQ(Decoder_UttInit(d, 0, nullptr, 0, nullptr, 1, 0, 0, 0, 0), 1);
    }
    const std::vector<uint8_t> frames = f.frames({0, 0, 3, 3, 4, 4, 1, 2, 0, 0});
    const int32_t dim = AM_GetFeatureDim(f.model());
    for (size_t i = 0; i < frames.size(); i += static_cast<size_t>(dim)) {
        Decoder_ProcessFrame(a, frames.data() + i, nullptr);
        Decoder_ProcessFrame(b, frames.data() + i, nullptr);
        EXPECT_EQ(Decoder_ComputeCRC(a), Decoder_ComputeCRC(b)) << "frame " << i / static_cast<size_t>(dim);
    }
    FastDecoder* fb = FastDecoder_Of(b);
    ASSERT_GT(fb->hypCount, 1);
    fb->hyps[fb->hypCount - 1].score0 = static_cast<int16_t>(fb->hyps[fb->hypCount - 1].score0 + 1);
    EXPECT_NE(Decoder_ComputeCRC(a), Decoder_ComputeCRC(b));
    // Without word 193 the hypotheses are left out.
    f.set(193, 0);
    EXPECT_EQ(Decoder_ComputeCRC(a), Decoder_ComputeCRC(b));
    Decoder_Delete(a, 0);
    Decoder_Delete(b, 0);
}

}  // namespace
