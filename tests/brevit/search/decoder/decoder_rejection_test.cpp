// The rejection score a decoder gathers frame by frame from a real acoustic
// model: each frame adds the lower of the filler's and silence's costs, and
// the frames the filler wins are counted for the filler-scaled margin.
#include "tests/brevit/search/decoder/decoder_test.h"

#include "core/brevit/acoustic/am_scoring.h"
#include "tests/support/acoustic_model_writer.h"
#include "tests/support/archive_fixture.h"

#include <memory>
#include <random>
#include <vector>

namespace {

constexpr int32_t kSilence = 0;
constexpr int32_t kFiller = 3;

// Five states of one component each over four features: silence 0 and
// filler 3 centred apart, so that frames drawn between them go either way.
AcousticModelSpec modelSpec(bool filler, bool noParameters = false)
{
    AcousticModelSpec s;
    s.noParameters = noParameters;
    s.states = 5;
    s.singleComponent = true;
    s.dim = 4;
    s.covType = 2;
    s.means = {40, 40, 40, 40, 90, 90, 90, 90, 120, 120, 120, 120, 160, 160, 160, 160, 220, 220, 220, 220};
    s.weights = {1, 1, 1, 1};
    s.constants = {1000};
    s.silenceState = kSilence;
    s.fillerState = filler ? kFiller : 65535;
    s.hasFiller = filler;
    s.tree = AcousticTreeSpec::none();
    return s;
}

class DecoderRejectionTest : public DecoderTest {
protected:
    void TearDown() override
    {
        AM_DeleteScoringSet(m_set);
        AM_Destroy(m_model);
        m_archive.reset();
        DecoderTest::TearDown();
    }

    AM* load(const AcousticModelSpec& spec)
    {
        AM_Destroy(m_model);
        m_archive = std::make_unique<ArchiveFixture>("rejection-model.dvk");
        writeAcousticModel(*m_archive, acousticModelRecords(spec));
        m_archive->finish();
        m_model = AM_LoadFromBinFile(m_archive->openForRead(), nullptr, 0);
        if (m_model != nullptr) {
            if (m_set == nullptr)
                m_set = AM_NewScoringSet();
            AM_GetScoringFunctions(m_model, m_set, 1, 1);
        }
        return m_model;
    }

    std::unique_ptr<ArchiveFixture> m_archive;
    AM* m_model = nullptr;
    AMScoringSet* m_set = nullptr;
};

TEST_F(DecoderRejectionTest, EachFrameAddsTheLowerNonSpeechCostAndCountsFillerWins)
{
    params(ParamBlockBuilder().word(kBrevitParamFilledListCapacity, 8));
    std::mt19937 rng(56);
    for (const bool filler : {true, false}) {
        SCOPED_TRACE(filler ? "filler model" : "no filler model");
        ASSERT_NE(load(modelSpec(filler)), nullptr);
        ScriptedDecoder script;
        Decoder* d = script.create();
        d->model = m_model;
        Decoder_SetRejection(d, 1, 0);
        d->fillerFrames = 0;   // as the utterance set-up leaves it
        int32_t total = 0, fillerWins = 0, silenceWins = 0;
        for (int32_t frame = 0; frame < 60; ++frame) {
            std::vector<uint8_t> x(4);
            for (uint8_t& v : x)
                v = static_cast<uint8_t>(30 + rng() % 150);
            const int16_t value = 0;
            AM_NewFrame(m_model, x.data(), &value, m_set, frame, 1);
            // The two costs as the kernels give them, apart from the cache.
            const int32_t silence = AM_GetStateScoreUncached(m_model, kSilence);
            const int32_t fill = filler ? AM_GetStateScoreUncached(m_model, kFiller) : 16383;
            const bool fillerWon = fill < silence;
            const int32_t expected = fillerWon ? fill : silence;
            EXPECT_EQ(Decoder_AccumulateRejectionScore(d), expected) << frame;
            total += expected;
            fillerWins += fillerWon ? 1 : 0;
            silenceWins += fillerWon ? 0 : 1;
            AM_EndFrame(m_model, 0, nullptr);
        }
        EXPECT_EQ(Decoder_GetRejectionScore(d), total);
        EXPECT_EQ(d->fillerFrames, fillerWins);
        if (filler) {
            EXPECT_GT(fillerWins, 5);
            EXPECT_GT(silenceWins, 5);
        }
        // The filler-scaled margin divides by the frames counted here.
        params(ParamBlockBuilder()
                   .word(kBrevitParamFilledListCapacity, 8)
                   .word(kBrevitParamFillerMargin, 1)
                   .word(kBrevitParamFillerMarginScale, 3));
        const int64_t raw = int64_t{5000} - 100 - total;
        EXPECT_EQ(Decoder_RejectionMargin(d, 5000, 100, 20), fillerWins != 0 ? 3 * raw / fillerWins - 20 : raw - 20);
        params(ParamBlockBuilder().word(kBrevitParamFilledListCapacity, 8));
        Decoder_Delete(d, 0);
    }
}

// A model without parameters scores nothing: every frame adds the
// not-computed cost and no filler win.
TEST_F(DecoderRejectionTest, AModelWithoutParametersAddsTheNotComputedCost)
{
    params(ParamBlockBuilder().word(kBrevitParamFilledListCapacity, 8));
    ASSERT_NE(load(modelSpec(true, true)), nullptr);
    ScriptedDecoder script;
    Decoder* d = script.create();
    d->model = m_model;
    Decoder_SetRejection(d, 1, 0);
    d->fillerFrames = 0;
    const std::vector<uint8_t> x = {90, 90, 90, 90};
    const int16_t value = 0;
    for (int32_t frame = 0; frame < 3; ++frame) {
        AM_NewFrame(m_model, x.data(), &value, m_set, frame, 1);
        EXPECT_EQ(Decoder_AccumulateRejectionScore(d), kAMNotComputed);
        AM_EndFrame(m_model, 0, nullptr);
    }
    EXPECT_EQ(Decoder_GetRejectionScore(d), 3 * kAMNotComputed);
    EXPECT_EQ(d->fillerFrames, 0);
    Decoder_Delete(d, 0);
}

} // namespace
