#include "tools/support/align_frames.h"

#include "core/brevit/acoustic/am.h"
#include "tests/brevit/acoustic/acoustic_fixture.h"
#include "tests/support/acoustic_frames.h"

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

} // namespace
