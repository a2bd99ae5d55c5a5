#include "tools/support/align_frames.h"

#include "core/brevit/acoustic/am.h"
#include "core/brevit/acoustic/segmenter.h"
#include "tests/brevit/acoustic/acoustic_fixture.h"
#include "tests/support/acoustic_frames.h"

#include <random>
#include <vector>

namespace {

using AlignFramesTest = AcousticTest;

// Tree A's eight states, one component each, four dimensions: a frame at a
// state's own mean costs 24. Phonemes 1 2 2 with silence align to states
// 0 2 3 6 7 4 7 0 held for the frames made for them, jittered or not.
TEST_F(AlignFramesTest, AlignsFramesMadeForTheStates)
{
    AcousticModelSpec spec;
    spec.dim = 4;
    spec.singleComponent = true;
    spec.covType = 2;
    spec.weights = {1, 1, 1, 1};
    spec.constants = {1000};
    for (int32_t s = 0; s < 8; ++s)
        for (int v : {10 + 25 * s, 10 + 25 * s, 200 - 25 * s, 200 - 25 * s})
            spec.means.push_back(static_cast<uint8_t>(v));
    AM* am = load(spec);
    ASSERT_NE(am, nullptr);
    const std::vector<uint16_t> chain = {0, 2, 3, 6, 7, 4, 7, 0};
    const std::vector<uint16_t> held = {5, 3, 4, 2, 5, 3, 4, 20};
    for (const int32_t jitter : {0, 2}) {
        SCOPED_TRACE(jitter);
        AcousticFrameOptions options;
        options.jitter = jitter;
        options.seed = 7;
        const std::vector<uint8_t> frames = acousticFrames(am, chain, held, options);
        ASSERT_EQ(frames.size(), 46u * 4);
        const FrameAlignment a = alignFrames(am, frames.data(), 46, {1, 2, 2}, true, 5000);
        ASSERT_TRUE(a.ok);
        EXPECT_EQ(a.stateIds, chain);
        EXPECT_EQ(a.durations, held);
        if (jitter == 0) {
            EXPECT_EQ(a.score, 1104);
        }
    }
    // Without phonemes there is nothing to align.
    const std::vector<uint8_t> frames = acousticFrames(am, chain, held);
    EXPECT_FALSE(alignFrames(am, frames.data(), 46, {}, true, 5000).ok);
}

// The aligner's chain for phonemes between silences.
std::vector<uint16_t> chainOf(AM* am, std::vector<uint16_t> phonemes)
{
    Segmenter* seg = Segmenter_Create(am, nullptr, 10);
    std::vector<uint16_t> chain(64), durations(65);
    std::vector<int16_t> positions(64);
    int32_t count = 0;
    const int32_t ok = Segmenter_Start(seg, 1000, 0, 200, 1, 0, 0, nullptr, static_cast<int32_t>(phonemes.size()),
                                       phonemes.data(), 64, chain.data(), positions.data(), durations.data(), &count,
                                       nullptr);
    Segmenter_Delete(seg);
    chain.resize(ok == 1 ? static_cast<size_t>(count) : 0);
    return chain;
}

// The default model (eight states of two components, 36 dimensions):
// random phoneme strings whose chain has no state twice in a row, held for
// random durations 1-6 with +-2 jitter, align to the durations they were
// made with.
TEST_F(AlignFramesTest, RecoversRandomDurationsOnTheDefaultModel)
{
    AM* am = load(AcousticModelSpec{});
    ASSERT_NE(am, nullptr);
    std::mt19937 random(91);
    int32_t checked = 0;
    for (int32_t round = 0; checked < 40; ++round) {
        ASSERT_LT(round, 2000);
        std::vector<uint16_t> phonemes(std::uniform_int_distribution<size_t>(1, 5)(random));
        for (auto& p : phonemes)
            p = static_cast<uint16_t>(std::uniform_int_distribution<int>(1, 2)(random));
        std::vector<uint16_t> chain = chainOf(am, phonemes);
        ASSERT_FALSE(chain.empty());
        if (std::adjacent_find(chain.begin(), chain.end()) != chain.end())
            continue;
        std::vector<uint16_t> held(chain.size());
        for (auto& d : held)
            d = static_cast<uint16_t>(std::uniform_int_distribution<int>(1, 6)(random));
        AcousticFrameOptions options;
        options.jitter = 2;
        options.seed = static_cast<uint32_t>(round);
        const std::vector<uint8_t> frames = acousticFrames(am, chain, held, options);
        int32_t count = 0;
        for (uint16_t d : held)
            count += d;
        const FrameAlignment a = alignFrames(am, frames.data(), count, phonemes, true, 30000);
        ASSERT_TRUE(a.ok);
        EXPECT_EQ(a.stateIds, chain);
        EXPECT_EQ(a.durations, held) << "round " << round;
        ++checked;
    }
}

} // namespace
