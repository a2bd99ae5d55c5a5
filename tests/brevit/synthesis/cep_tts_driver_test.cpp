// The cepstral synthesiser's duration factor and what it reads of the
// waveform generator.
#include "core/brevit/synthesis/cep_sample_wrapper.h"
#include "core/brevit/synthesis/cep_tts.h"
#include "tests/brevit/synthesis/cep_test_model.h"

#include <gtest/gtest.h>

namespace {

TEST(CepTTSRateFactor, FollowsSpeedAndScale)
{
    struct Row {
        int32_t speedScale;
        int32_t speed;
        int32_t factor;
    };
    const Row rows[] = {
        {100, 100, 100}, {100, 3, 3333}, {100, 200, 50}, {100, 150, 67},
        {50, 1, 10000},  // the scaled speed truncates to 0
        {50, 200, 100},  {200, 100, 50},
    };
    for (const Row& r : rows)
        EXPECT_EQ(CepTTS_RateFactor(r.speedScale, r.speed), r.factor) << r.speedScale << " " << r.speed;
}

using CepTTSGenerator = CepModelTest;

TEST_F(CepTTSGenerator, CepstralLengthIsTheGeneratorsOwn)
{
    for (int32_t length : {13, 25}) {
        CepModelSpec spec;
        spec.cepLength = length;
        CepSampleWrapper* wrapper = load(spec);
        ASSERT_NE(wrapper, nullptr);
        EXPECT_EQ(CepSampleWrapper_GetCepstralLength(wrapper), length);
    }
    EXPECT_EQ(CepSampleWrapper_GetCepstralLength(nullptr), 0);
}

}  // namespace
