#include "core/brevit/frontend/spectrum_stage.h"

#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/brevit/frontend/frontend_test_util.h"
#include "tests/support/param_block_builder.h"

#include <vector>

namespace {

class SpectrumStageTest : public FrontEndTest {};

TEST_F(SpectrumStageTest, ModesFromTheParameterBlock)
{
    struct Case {
        const char* name;
        ParamBlockBuilder params;
        int32_t mode;
        int32_t refine;
    } const cases[] = {
        {"none", ParamBlockBuilder(), 4, 0},
        {"estimate", ParamBlockBuilder().word(kBrevitParamSpectrumEstimate, 1), 1, 0},
        {"refined", ParamBlockBuilder().word(kBrevitParamSpectrumRefined, 1), 2, 0},
        {"refined wins over estimate",
         ParamBlockBuilder().word(kBrevitParamSpectrumRefined, 1).word(kBrevitParamSpectrumEstimate, 1), 2, 0},
        {"refined with refine",
         ParamBlockBuilder().word(kBrevitParamSpectrumRefined, 1).word(kBrevitParamSpectrumRefine, 1), 2, 1},
        {"power scale", ParamBlockBuilder().word(kBrevitParamCepstralScale6, 1).word(kBrevitParamSpectrumEstimate, 1), 0, 0},
        {"raw samples", ParamBlockBuilder().word(kBrevitParamCepstralScale11, 1).word(kBrevitParamCepstralScale6, 1), 3, 0},
    };
    for (const Case& c : cases) {
        ScopedParamBlock block(c.params);
        SpectrumStage* stage = SpectrumStage_Create(8);
        ASSERT_NE(stage, nullptr);
        EXPECT_EQ(stage->mode, c.mode) << c.name;
        EXPECT_EQ(stage->refine, c.refine) << c.name;
        SpectrumStage_Destroy(stage);
    }
}

TEST_F(SpectrumStageTest, ValuesPerMode)
{
    struct Case {
        int32_t mode, refine;
        int16_t re, im;
        uint32_t value;
    } const cases[] = {
        {1, 0, 100, 0, 100},
        {1, 0, 100, 100, 137},
        {1, 0, -100, 30, 102},         // lo - hi/4 = 5: 100 + 2
        {2, 0, 100, 100, 137},
        {2, 1, 100, 100, 144},
        {2, 0, 100, 0, 100},
        {2, 1, 100, 0, 100},
        {0, 0, 3, -4, 25},
        {0, 0, -32768, -32768, 0x07FFFFFF},  // past 31 bits
        {3, 0, -32768, 32767, 0x7FFF0001},   // just inside
        {4, 0, 3, -4, 5},
        {4, 0, -32768, -32768, 11585},
    };
    for (const Case& c : cases) {
        SpectrumStage stage{8, c.mode, c.refine};
        std::vector<int16_t> fft(10, 0);
        fft[2] = c.re;
        fft[3] = c.im;
        std::vector<uint32_t> spectrum(5, 0xDEADu);
        SpectrumStage_Apply(&stage, fft.data(), spectrum.data());
        EXPECT_EQ(spectrum[1], c.value) << "mode " << c.mode << " (" << c.re << ", " << c.im << ")";
        EXPECT_EQ(spectrum[0], 0u);
        // Only the power modes compute bin N/2.
        EXPECT_EQ(spectrum[4] == 0xDEADu, c.mode != 0 && c.mode != 3) << "mode " << c.mode;
    }
}

} // namespace
