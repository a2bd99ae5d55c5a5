// Tables of the isolated-word search's small rules: the pruning threshold
// from a histogram, choices within the margin and the word capacity, set-up
// and end states, the computation level and the non-acoustic score.
#include "core/brevit/search/fast_decoder.h"

#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/search/histogram.h"
#include "tests/brevit/search/decoder/decoder_test.h"
#include "tests/support/linear_chain_fixture.h"

#include <vector>

namespace {

using linear_chain_fixture::fastPreset;
using linear_chain_fixture::treeOver;

const std::vector<std::vector<uint16_t>> kProns = {{1, 2}, {1, 1}, {2, 1, 2}, {2}, {2, 3, 1}};

class FastSearchTablesTest : public DecoderTest {};

TEST_F(FastSearchTablesTest, PruningThresholdFromTheHistogram)
{
    LinearChainFixture f(2, fastPreset());
    f.set(589, 30000);
    f.set(590, 0);
    Decoder* d = FastDecoder_Create(treeOver(f.model(), kProns), nullptr, f.model(), 10);
    ASSERT_NE(d, nullptr);
    FastDecoder* fd = FastDecoder_Of(d);
    ASSERT_GT(fd->histogram->binCount, 5);
    struct Row {
        int32_t beam, cap, w581, expected;
    };
    const Row rows[] = {{20, 5, 0, 2}, {20, 5, 3, 5}, {4, 100, 0, 6}};
    for (const Row& r : rows) {
        Histogram_Clear(fd->histogram);
        fd->histogram->bins[2] = 3;
        fd->histogram->bins[3] = 4;
        fd->histogram->bins[5] = 2;
        fd->histogram->total = 10;
        fd->prevBest = 2;
        fd->bestWordEnd = kFastEmpty;
        fd->crossScore = kDecoderNoScore;
        fd->beam16 = static_cast<int16_t>(r.beam);
        fd->hypCap = r.cap;
        f.set(581, static_cast<uint32_t>(r.w581));
        EXPECT_EQ(FastIso_ComputeThreshold(fd, kFastEmpty), r.expected)
            << "beam " << r.beam << ", cap " << r.cap << ", word 581 " << r.w581;
    }
    Decoder_Delete(d, 0);
}

TEST_F(FastSearchTablesTest, ChoicesWithinTheMarginAndTheWordCapacity)
{
    LinearChainFixture f(2, fastPreset());
    Decoder* d = FastDecoder_Create(treeOver(f.model(), kProns), nullptr, f.model(), 10);
    ASSERT_NE(d, nullptr);
    FastDecoder* fd = FastDecoder_Of(d);
    struct Row {
        int32_t margin, capacity;
        std::vector<uint32_t> prons;
    };
    const Row rows[] = {
        {1, 20, {3, 7}}, {0, 20, {3, 7}}, {3, 20, {3, 7, 5}}, {100, 20, {3, 7, 5, 9}},
        {3, 4, {3}},     {3, 5, {3, 7}},  {3, 7, {3, 7, 5}},
    };
    for (const Row& r : rows) {
        f.set(208, static_cast<uint32_t>(r.margin));
        const FastWordEnd table[] = {{7, 100}, {3, 100}, {5, 102}, {9, 130}};
        std::copy(std::begin(table), std::end(table), fd->wordEnds);
        fd->wordEndCount = 4;
        fd->choicesFinal = 0;
        fd->offset = 1000;
        fd->state = kDecoderStateFinishedFast;
        int32_t scores[8] = {};
        uint32_t words[20] = {};
        uint16_t values[20] = {};
        const int32_t n = d->getChoicesAndScores(d, 8, scores, nullptr, r.capacity, words, nullptr, nullptr,
                                                 nullptr, nullptr, values, nullptr, nullptr, nullptr);
        std::vector<uint32_t> got;
        for (int32_t i = 0; i < n; ++i) {
            got.push_back(words[2 * i]);
            EXPECT_EQ(words[2 * i + 1], kDecoderEndOfChoice);
            EXPECT_EQ(values[2 * i], 0xFFFF);
        }
        EXPECT_EQ(got, r.prons) << "margin " << r.margin << ", capacity " << r.capacity;
        if (n > 0) {
            EXPECT_EQ(scores[0], 1100);
        }
    }
    Decoder_Delete(d, 0);
}

TEST_F(FastSearchTablesTest, StatesOfSetUpFramesAndEnd)
{
    LinearChainFixture f(2, fastPreset(), true);
    Decoder* d = FastDecoder_Create(treeOver(f.model(), kProns), nullptr, f.model(), 10);
    ASSERT_NE(d, nullptr);
    FastDecoder_SetSearchParameters(d, 0, 20000, 0, 0, 30000);
    const std::vector<uint8_t> frames = f.frames({0, 0, 0, 0});
    const int32_t dim = AM_GetFeatureDim(f.model());

    f.set(564, 0);
    EXPECT_EQ(Decoder_UttInit(d, 0, nullptr, 0, nullptr, 1, 0, 0, 0, 0), 0);
    EXPECT_EQ(Decoder_GetState(d), kDecoderStateStarting);
    f.set(564, 100000);

    // A word-end beam below zero: the first frame keeps nothing, the next
    // says so.
    f.set(570, static_cast<uint32_t>(-100));
    ASSERT_EQ(Decoder_UttInit(d, 0, nullptr, 0, nullptr, 1, 0, 0, 0, 0), 1);
    EXPECT_EQ(Decoder_ProcessFrame(d, frames.data(), nullptr), kDecoderStateRunning);
    EXPECT_EQ(Decoder_ProcessFrame(d, frames.data() + dim, nullptr), kDecoderStateNoHypothesis);
    EXPECT_EQ(FastDecoder_Of(d)->offset, kDecoderNoScore);
    EXPECT_EQ(Decoder_GetCurrentFrame(d), 2);
    EXPECT_EQ(Decoder_ProcessFrame(d, frames.data() + 2 * dim, nullptr), kDecoderStateNoHypothesis);
    EXPECT_EQ(Decoder_GetCurrentFrame(d), 3);
    EXPECT_EQ(Decoder_UttFinish(d, nullptr), kDecoderStateNoHypothesis);
    f.set(570, 16000);

    ASSERT_EQ(Decoder_UttInit(d, 0, nullptr, 0, nullptr, 1, 0, 0, 0, 0), 1);
    Decoder_ProcessFrame(d, frames.data(), nullptr);
    EXPECT_EQ(Decoder_UttFinish(d, nullptr), kDecoderStateFinishedFast);

    // Rejection with a threshold nothing passes.
    ASSERT_EQ(Decoder_UttInit(d, 0, nullptr, 0, nullptr, 1, 0, 0, 0, 0), 1);
    Decoder_ProcessFrame(d, frames.data(), nullptr);
    d->rejectionOn = 1;
    d->rejectionScore = 0;
    d->rejectionThreshold = -0x7FFFFFFF;
    const int32_t end = Decoder_UttFinish(d, nullptr);
    d->rejectionOn = 0;
    d->rejectionThreshold = kDecoderRejectionOff;
    if (Decoder_IsRejected(d, -0x7FFFFFFF)) {
        EXPECT_EQ(end, kDecoderStateFailed);
    }
    Decoder_Delete(d, 0);
}

TEST_F(FastSearchTablesTest, ComputationLevelIsClipped)
{
    LinearChainFixture f(2, fastPreset());
    f.set(562, 10);
    f.set(563, 3);
    f.set(568, 200);
    f.set(569, 50);
    Decoder* d = FastDecoder_Create(treeOver(f.model(), kProns), nullptr, f.model(), 10);
    ASSERT_NE(d, nullptr);
    FastDecoder* fd = FastDecoder_Of(d);
    const int32_t rows[][3] = {{5, 13, 250}, {1, 13, 250}, {0, 10, 200}, {-1, 7, 150}, {-9, 7, 150}};
    for (const auto& r : rows) {
        FastDecoder_SetComputation(d, r[0]);
        EXPECT_EQ(fd->wordPenalty, r[1]) << "level " << r[0];
        EXPECT_EQ(fd->beam, r[2]) << "level " << r[0];
    }
    Decoder_Delete(d, 0);
}

TEST_F(FastSearchTablesTest, NonAcousticScoreSumsThePenalties)
{
    LinearChainFixture f(2, fastPreset());
    f.set(599, 7);
    f.set(582, 5);
    Voc* voc = f.voc();
    // The first two words with a pron, and their first prons' lengths.
    std::vector<uint32_t> ids;
    int32_t phonemes = 0;
    std::vector<uint16_t> buffer(static_cast<size_t>(Voc_GetMaxRecogPronunciationLength(voc) + 2));
    for (VocId id = Voc_GetNextId(voc, 0xFFFFFFFF); id != 0xFFFFFFFF && ids.size() < 2;
         id = Voc_GetNextId(voc, id)) {
        const int32_t pron = Voc_GetFirstPronId(voc, id);
        if (pron < 0)
            continue;
        phonemes += Voc_GetRecogPronunciation(voc, pron, buffer.data());
        ids.push_back(id);
    }
    ASSERT_EQ(ids.size(), 2u);
    ASSERT_GT(phonemes, 0);
    Decoder* d = FastDecoder_Create(treeOver(f.model(), kProns), voc, f.model(), 10);
    ASSERT_NE(d, nullptr);
    FastDecoder_SetSearchParameters(d, 30, 20000, 0, 0, 30000);
    FastDecoder_Of(d)->mode = 1;
    const uint32_t* words = ids.data();
    // No language model: only the penalties.
    EXPECT_EQ(FastDecoder_GetNonAcousticScore(d, 0, nullptr, 2, 2, words, nullptr), 30 * 2 + 7 + 5 * phonemes);
    EXPECT_EQ(FastDecoder_GetNonAcousticScore(d, 0, nullptr, 0, 0, words, nullptr), 0);
    // A sum past 16 bits saturates.
    FastDecoder_SetSearchParameters(d, 30000, 20000, 0, 0, 30000);
    EXPECT_EQ(FastDecoder_GetNonAcousticScore(d, 0, nullptr, 2, 2, words, nullptr), 0x7FFF);
    Decoder_Delete(d, 0);
}

}  // namespace
