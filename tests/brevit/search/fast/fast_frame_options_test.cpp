// The per-frame options before the search, each against a plain decode of
// the frames it should amount to: skipping every second frame, delaying
// frames through the ring (a null frame running what it holds), and reusing
// the kept frame for unchanged ones.
#include "core/brevit/search/fast_decoder.h"

#include "core/brevit/acoustic/am_scoring.h"
#include "tests/brevit/search/decoder/decoder_test.h"
#include "tests/support/linear_chain_fixture.h"

#include <random>
#include <utility>
#include <vector>

namespace {

using linear_chain_fixture::fastPreset;
using linear_chain_fixture::treeOver;

// Phonemes on distinct phone models of the fixture.
const std::vector<std::vector<uint16_t>> kProns = {{1, 2}, {1, 1}, {2, 1, 2}, {2}, {2, 3, 1}};

class FastFrameOptionsTest : public DecoderTest {};

using Choices = std::vector<std::pair<int32_t, uint32_t>>;

struct Outcome {
    Choices choices;
    int32_t frames;
    bool operator==(const Outcome&) const = default;
};

Decoder* create(LinearChainFixture& f)
{
    Decoder* d = FastDecoder_Create(treeOver(f.model(), kProns), nullptr, f.model(), 10);
    if (d != nullptr)
        FastDecoder_SetSearchParameters(d, 0, 20000, 0, 0, 30000);
    return d;
}

// Frames given by index into the frame data; -1 is a null frame.
Outcome decode(Decoder* d, const std::vector<uint8_t>& data, int32_t dim, const std::vector<int32_t>& order)
{
    EXPECT_EQ(Decoder_UttInit(d, 0, nullptr, 0, nullptr, 1, 0, 0, 0, 0), 1);
    for (int32_t i : order)
        Decoder_ProcessFrame(d, i < 0 ? nullptr : data.data() + static_cast<size_t>(i * dim), nullptr);
    Outcome run{{}, Decoder_GetCurrentFrame(d)};
    Decoder_UttFinish(d, nullptr);
    int32_t scores[8] = {};
    uint32_t words[20] = {};
    const int32_t n = d->getChoicesAndScores(d, 8, scores, nullptr, 20, words, nullptr, nullptr, nullptr, nullptr,
                                             nullptr, nullptr, nullptr, nullptr);
    for (int32_t i = 0; i < n; ++i)
        run.choices.emplace_back(scores[i], words[2 * i]);
    return run;
}

std::vector<int32_t> upTo(int32_t n)
{
    std::vector<int32_t> v;
    for (int32_t i = 0; i < n; ++i)
        v.push_back(i);
    return v;
}

struct Frames {
    std::vector<uint8_t> data;
    int32_t count;
};

Frames randomFrames(LinearChainFixture& f, uint32_t seed)
{
    std::mt19937 rng(seed);
    std::vector<int32_t> states;
    const int32_t count = 12;
    for (int32_t i = 0; i < count; ++i)
        states.push_back(std::uniform_int_distribution<int32_t>(0, AM_GetNumStates(f.model()) - 1)(rng));
    return {f.frames(states), count};
}

TEST_F(FastFrameOptionsTest, SkippingSearchesTheFirstThirdFifthFrames)
{
    LinearChainFixture f(2, fastPreset(), true);
    const int32_t dim = AM_GetFeatureDim(f.model());
    Decoder* d = create(f);
    ASSERT_NE(d, nullptr);
    for (uint32_t seed = 1; seed <= 5; ++seed) {
        const Frames fr = randomFrames(f, seed);
        std::vector<int32_t> odd;
        for (int32_t i = 0; i < fr.count; i += 2)
            odd.push_back(i);
        const Outcome plain = decode(d, fr.data, dim, odd);
        f.set(584, 1);
        EXPECT_EQ(decode(d, fr.data, dim, upTo(fr.count)), plain);
        // Counting the skipped frames moves only the frame index.
        f.set(558, 1);
        const Outcome counted = decode(d, fr.data, dim, upTo(fr.count));
        f.set(584, 0);
        f.set(558, 0);
        EXPECT_EQ(counted.frames, fr.count);
        EXPECT_EQ(counted.choices, plain.choices);
        EXPECT_FALSE(plain.choices.empty());
    }
    Decoder_Delete(d, 0);
}

TEST_F(FastFrameOptionsTest, TheDelayRingSearchesFromTheThirdFrameAndANullFrameRunsTheRest)
{
    LinearChainFixture f(2, fastPreset(), true);
    const int32_t dim = AM_GetFeatureDim(f.model());
    Decoder* plainDecoder = create(f);
    f.set(103, 3);
    f.set(878, 0x7FFF);   // no word matcher: every start fits
    Decoder* delayed = create(f);
    ASSERT_NE(plainDecoder, nullptr);
    ASSERT_NE(delayed, nullptr);
    for (uint32_t seed = 1; seed <= 5; ++seed) {
        const Frames fr = randomFrames(f, seed);
        const Outcome plain = decode(plainDecoder, fr.data, dim, upTo(fr.count));
        EXPECT_FALSE(plain.choices.empty());
        std::vector<int32_t> order = upTo(fr.count);
        order.push_back(-1);
        EXPECT_EQ(decode(delayed, fr.data, dim, order), plain);
        // Nothing is searched before the ring is full.
        ASSERT_EQ(Decoder_UttInit(delayed, 0, nullptr, 0, nullptr, 1, 0, 0, 0, 0), 1);
        Decoder_ProcessFrame(delayed, fr.data.data(), nullptr);
        Decoder_ProcessFrame(delayed, fr.data.data() + dim, nullptr);
        EXPECT_EQ(Decoder_GetCurrentFrame(delayed), 0);
        Decoder_ProcessFrame(delayed, fr.data.data() + 2 * dim, nullptr);
        EXPECT_EQ(Decoder_GetCurrentFrame(delayed), 1);
        // A flush of a short utterance runs every frame it holds, once.
        Decoder_ProcessFrame(delayed, nullptr, nullptr);
        Decoder_ProcessFrame(delayed, nullptr, nullptr);
        EXPECT_EQ(Decoder_GetCurrentFrame(delayed), 3);
    }
    Decoder_Delete(plainDecoder, 0);
    Decoder_Delete(delayed, 0);
}

TEST_F(FastFrameOptionsTest, AnUnchangedFrameIsReplacedByTheKeptOne)
{
    LinearChainFixture f(2, fastPreset(), true);
    const int32_t dim = AM_GetFeatureDim(f.model());
    Decoder* d = create(f);
    ASSERT_NE(d, nullptr);
    for (uint32_t seed = 1; seed <= 5; ++seed) {
        const Frames fr = randomFrames(f, seed);
        // Every frame the first one.
        const Outcome first = decode(d, fr.data, dim, std::vector<int32_t>(static_cast<size_t>(fr.count), 0));
        const Outcome plain = decode(d, fr.data, dim, upTo(fr.count));
        f.set(594, 1);
        f.set(550, 0x7FFFFFFF);   // no frame counts as changed
        f.set(551, 1);
        FastDecoder_SetSearchParameters(d, 0, 20000, 0, 1, 30000);
        EXPECT_EQ(decode(d, fr.data, dim, upTo(fr.count)), first);
        // Without word 551 the frames are searched as they come.
        f.set(551, 0);
        EXPECT_EQ(decode(d, fr.data, dim, upTo(fr.count)), plain);
        f.set(594, 0);
        f.set(550, 0);
        FastDecoder_SetSearchParameters(d, 0, 20000, 0, 0, 30000);
    }
    Decoder_Delete(d, 0);
}

}  // namespace
