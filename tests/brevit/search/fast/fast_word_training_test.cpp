// Word training as the engine runs it: a tree over five candidate phoneme
// strings of a spelled word (no vocabulary), each candidate said with its
// own tempo and noise, decoded whole; the spoken candidate comes first.
#include "core/brevit/search/fast_decoder.h"

#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/frontend/utterance.h"
#include "tests/brevit/search/decoder/decoder_test.h"
#include "tests/support/linear_chain_fixture.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

using linear_chain_fixture::fastPreset;
using linear_chain_fixture::treeOver;

class FastWordTrainingTest : public DecoderTest {};

// Candidates sharing phones; phonemes 1-4 sit on distinct phone models.
const std::vector<std::vector<uint16_t>> kCandidates = {{1, 2}, {1, 2, 3}, {2, 3, 4, 1}, {3, 1}, {4, 2, 3}};

int32_t modelOf(AM* model, uint16_t phoneme)
{
    return phoneme == 0 ? 0 : 1 + phoneme % (AM_GetNumPhoneModels(model) - 1);
}

// Silence, three frames a state scaled by the tempo, silence; every feature
// byte moved by up to 1 (the fixture's state means lie close together).
std::vector<uint8_t> say(LinearChainFixture& f, const std::vector<uint16_t>& phonemes, double tempo,
                         std::mt19937& rng)
{
    AM* model = f.model();
    const int32_t silence = AM_GetSilenceStateId(model);
    std::vector<int32_t> seq(3, silence);
    for (uint16_t c : phonemes) {
        const uint16_t* s = AM_GetModelStateIds(model, modelOf(model, c));
        for (int32_t q = 0; q < AM_GetNumStatesPerModel(model); ++q) {
            const auto n = static_cast<size_t>(std::max(1L, std::lround(3 * tempo)));
            seq.insert(seq.end(), n, s[q]);
        }
    }
    seq.insert(seq.end(), 3, silence);
    std::vector<uint8_t> frames = f.frames(seq);
    std::uniform_int_distribution<int> noise(-1, 1);
    for (uint8_t& b : frames)
        b = static_cast<uint8_t>(std::clamp(b + noise(rng), 0, 255));
    return frames;
}

TEST_F(FastWordTrainingTest, TheSpokenCandidateComesFirst)
{
    auto preset = fastPreset();
    preset.push_back({177, 20000});
    LinearChainFixture f(2, preset, true);
    AM* model = f.model();
    const int32_t dim = AM_GetFeatureDim(model);
    Decoder* d = FastDecoder_Create(treeOver(model, kCandidates), nullptr, model, 10);
    ASSERT_NE(d, nullptr);
    FastDecoder_SetSearchParameters(d, 0, static_cast<int32_t>(f.params().words[177]), 0, 0, 30000);
    std::mt19937 rng(138);
    std::uniform_real_distribution<double> tempo(0.9, 1.1);
    int32_t right = 0;
    for (uint32_t spoken = 0; spoken < kCandidates.size(); ++spoken) {
        std::vector<uint8_t> frames = say(f, kCandidates[spoken], tempo(rng), rng);
        const auto count = static_cast<int32_t>(frames.size() / static_cast<size_t>(dim));
        Utterance* utt = Utterance_CreateOnBuffer(frames.data(), nullptr, count, dim);
        ASSERT_NE(utt, nullptr);
        Utterance_Load(utt, 0, count);
        EXPECT_EQ(Decoder_DecodeUtterance(d, 0, nullptr, 0, nullptr, 1, 0, 0, 0, 0, utt), kDecoderStateFinishedFast);
        Utterance_Delete(utt);
        int32_t scores[128] = {};
        uint32_t words[128] = {};
        const int32_t n = Decoder_GetChoicesAndScores(d, nullptr, nullptr, 64, scores, nullptr, 128, words,
                                                      nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                                      nullptr);
        ASSERT_GE(n, 1);
        EXPECT_EQ(words[0], spoken);
        right += words[0] == spoken ? 1 : 0;
    }
    EXPECT_EQ(right, 5);
    Decoder_Delete(d, 0);
}

}  // namespace
