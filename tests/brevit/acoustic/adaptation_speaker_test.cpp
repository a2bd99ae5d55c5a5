// Adaptation to a speaker whose states lie away from the model's: from 5 up
// to 40 aligned utterances, each count must cut the share of held-out
// frames the model puts in a wrong state by a quarter at least (so never
// leave it worse). Stands in, on a written model, for the measurement of
// the recognition error on a trained model set.
#include "core/brevit/acoustic/am_adapt.h"

#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/brevit/acoustic/adaptation_fixture.h"
#include "tests/support/param_block_builder.h"
#include "tools/support/align_frames.h"

namespace {

using AdaptationSpeaker = AcousticTest;

// Phonemes 1 2 2 between silences: the states tree A gives them.
const std::vector<uint16_t> kChain = {0, 2, 3, 6, 7, 4, 7, 0};

struct Speaker {
    std::vector<std::vector<double>> offsets;   // per state, per dimension
    double sigma;
};

// One utterance: each state of the chain held 4..9 frames, each frame the
// state's mean moved by the speaker's offset, with noise.
std::vector<StateFrame> utterance(AM* am, const Speaker& speaker, std::mt19937& random)
{
    std::vector<StateFrame> out;
    for (uint16_t s : kChain) {
        const int32_t held = std::uniform_int_distribution<int32_t>(4, 9)(random);
        const uint8_t* m = AM_GetComponentMean(am, s, 0);
        for (int32_t i = 0; i < held; ++i) {
            Bytes f(static_cast<size_t>(am->featureDim));
            for (size_t d = 0; d < f.size(); ++d) {
                const double v = m[d] + speaker.offsets[s][d] + std::normal_distribution<double>(0.0, speaker.sigma)(random);
                f[d] = static_cast<uint8_t>(std::clamp(std::round(v), 0.0, 255.0));
            }
            out.push_back({s, std::move(f)});
        }
    }
    return out;
}

// The share of frames whose lowest-cost state is not the one they came from.
double frameError(AM* am, const std::vector<StateFrame>& frames)
{
    Scorer scorer(am);
    int32_t wrong = 0;
    for (const StateFrame& f : frames) {
        scorer.frame(f.frame);
        int32_t best = 0;
        int32_t bestCost = AM_GetStateScoreUncached(am, 0);
        for (int32_t s = 1; s < am->numStates; ++s) {
            const int32_t cost = AM_GetStateScoreUncached(am, s);
            if (cost < bestCost) {
                bestCost = cost;
                best = s;
            }
        }
        wrong += best != f.state;
    }
    return static_cast<double>(wrong) / static_cast<double>(frames.size());
}

// The utterances aligned by the engine's aligner (not given their states),
// accumulated per aligned state and finished.
void adapt(AM* am, const std::vector<std::vector<StateFrame>>& utterances)
{
    ASSERT_EQ(AM_InitAdaptation(am, 1, 0), 1);
    Scorer scorer(am);
    for (const auto& u : utterances) {
        Bytes frames;
        for (const StateFrame& f : u)
            frames.insert(frames.end(), f.frame.begin(), f.frame.end());
        const FrameAlignment a = alignFrames(am, frames.data(), static_cast<int32_t>(u.size()), {1, 2, 2}, true, 30000);
        ASSERT_TRUE(a.ok);
        std::vector<StateFrame> aligned;
        size_t at = 0;
        for (size_t i = 0; i < a.stateIds.size(); ++i)
            for (uint16_t k = 0; k < a.durations[i] && at < u.size(); ++k, ++at)
                aligned.push_back({a.stateIds[i], u[at].frame});
        ASSERT_TRUE(scorer.accumulate(aligned));
    }
    ASSERT_EQ(AM_FinishAdaptation(am), 1);
    AM_FreeAdaptationBuffers(am);
}

// A speaker with every state moved by its own offset (mean 6, sigma 20 a
// dimension) and noise of sigma 16: the written model puts 14-28 % of the
// held-out frames in a wrong state. After MAP on 5, 10, 20 or 40 aligned
// utterances it puts 0-11 % there (measured on these six speakers). The
// aligner misplaces about one frame in seven at the state boundaries, so
// more utterances do not always do better than fewer; given the true states
// every run ends below 0.2 %.
TEST_F(AdaptationSpeaker, FewUtterancesCutTheFrameErrorByAQuarterAtLeast)
{
    ScopedParamBlock params(ParamBlockBuilder()
                                .word(kBrevitParamAdaptCountWeight, 8)
                                .word(kBrevitParamAdaptPriorWeight, 8)
                                .real(kBrevitParamAdaptSilenceShare, 1.0));
    for (uint32_t seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        const AcousticModelSpec spec = adaptableSpec(40 + seed, 1);
        AM* plain = load(spec);
        ASSERT_NE(plain, nullptr);
        std::mt19937 random(seed);
        Speaker speaker{std::vector<std::vector<double>>(8, std::vector<double>(12)), 16.0};
        for (auto& state : speaker.offsets)
            for (double& v : state)
                v = std::normal_distribution<double>(6.0, 20.0)(random);
        std::vector<std::vector<StateFrame>> training;
        for (int32_t i = 0; i < 40; ++i)
            training.push_back(utterance(plain, speaker, random));
        std::vector<StateFrame> heldOut;
        for (int32_t i = 0; i < 20; ++i) {
            const auto u = utterance(plain, speaker, random);
            heldOut.insert(heldOut.end(), u.begin(), u.end());
        }
        const double before = frameError(plain, heldOut);
        ASSERT_GT(before, 0.05);   // the speaker must be hard for the model
        for (const size_t n : {5u, 10u, 20u, 40u}) {
            SCOPED_TRACE(testing::Message() << n << " utterances");
            AM* am = load(spec);
            ASSERT_NE(am, nullptr);
            adapt(am, {training.begin(), training.begin() + static_cast<std::ptrdiff_t>(n)});
            const double after = frameError(am, heldOut);
            EXPECT_LE(after, before * 0.75);
        }
    }
}

} // namespace
