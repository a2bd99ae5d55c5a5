#include "core/brevit/frontend/frequency_warp.h"

#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/brevit/frontend/frontend_test_util.h"
#include "tests/support/param_block_builder.h"

#include <vector>

namespace {

class FrequencyWarpTest : public FrontEndTest {};

std::vector<uint32_t> ramp(int32_t n)
{
    std::vector<uint32_t> s(n / 2 + 1);
    for (size_t k = 0; k < s.size(); ++k)
        s[k] = static_cast<uint32_t>(k) * 4096;
    return s;
}

TEST_F(FrequencyWarpTest, IndexRangesPerMode)
{
    struct Case {
        const char* name;
        bool breakMode;
        int32_t rate;
        int32_t start, max;
        std::vector<int32_t> accepted, refused;
    } const cases[] = {
        {"linear", false, 8000, 0, 2, {-2, -1, 1, 2, 0}, {-3, 3, 7}},
        {"break 8 kHz", true, 8000, 7, 15, {0, 15, 7}, {-1, -2, 16}},
        {"break 11025 Hz", true, 11025, 7, 15, {0, 15}, {-1, 16}},
        {"break 16 kHz", true, 16000, 7, 0, {0}, {1, 7, -1}},
    };
    for (const Case& c : cases) {
        ScopedParamBlock block(ParamBlockBuilder().word(kBrevitParamCepstralScale11, c.breakMode));
        FrequencyWarp* warp = FrequencyWarp_Create(c.rate, 256);
        ASSERT_NE(warp, nullptr) << c.name;
        EXPECT_EQ(FrequencyWarp_GetIndex(warp), c.start) << c.name;
        EXPECT_EQ(FrequencyWarp_GetMaxIndex(warp), c.max) << c.name;
        for (int32_t index : c.accepted) {
            EXPECT_EQ(FrequencyWarp_SetIndex(warp, index), 1) << c.name << " " << index;
            EXPECT_EQ(FrequencyWarp_GetIndex(warp), index);
        }
        const int32_t kept = FrequencyWarp_GetIndex(warp);
        for (int32_t index : c.refused) {
            EXPECT_EQ(FrequencyWarp_SetIndex(warp, index), 0) << c.name << " " << index;
            EXPECT_EQ(FrequencyWarp_GetIndex(warp), kept);
        }
        FrequencyWarp_Destroy(warp);
    }
}

TEST_F(FrequencyWarpTest, IdentityIndexLeavesTheSpectrum)
{
    for (bool breakMode : {false, true}) {
        ScopedParamBlock block(ParamBlockBuilder()
                                   .word(kBrevitParamCepstralScale11, breakMode)
                                   .word(kBrevitParamLinearWarpBreakHz, 3000));
        FrequencyWarp* warp = FrequencyWarp_Create(8000, 256);
        ASSERT_NE(warp, nullptr);
        std::vector<uint32_t> s = ramp(256);
        s[5] = 0xFFFFFFFFu;
        const std::vector<uint32_t> before = s;
        FrequencyWarp_Apply(warp, s.data());
        EXPECT_EQ(s, before) << breakMode;
        FrequencyWarp_Destroy(warp);
    }
}

TEST_F(FrequencyWarpTest, LinearAxisStretchesBelowTheBreak)
{
    ScopedParamBlock block(ParamBlockBuilder().word(kBrevitParamLinearWarpBreakHz, 3000));
    FrequencyWarp* warp = FrequencyWarp_Create(8000, 256);
    ASSERT_NE(warp, nullptr);
    ASSERT_EQ(FrequencyWarp_SetIndex(warp, 2), 1);  // factor 1.10
    std::vector<uint32_t> s = ramp(256);
    FrequencyWarp_Apply(warp, s.data());
    // Break bin 96 moves to 106; below it, bin i reads position i / 1.1.
    for (uint32_t i = 0; i < 106; ++i)
        EXPECT_EQ(s[i], (i << 24) / 4506) << i;
    EXPECT_EQ(s[127], 127u * 4096);  // the top entry reads the next bin whole
    for (int i = 1; i < 128; ++i)
        EXPECT_GE(s[i], s[i - 1]) << i;
    FrequencyWarp_Destroy(warp);
}

TEST_F(FrequencyWarpTest, BreakAxisStaysInsideTheSpectrum)
{
    ScopedParamBlock block(ParamBlockBuilder().word(kBrevitParamCepstralScale11, 1));
    for (int32_t rate : {8000, 11025}) {
        FrequencyWarp* warp = FrequencyWarp_Create(rate, 256);
        ASSERT_NE(warp, nullptr);
        for (int32_t index = 0; index <= 15; ++index) {
            ASSERT_EQ(FrequencyWarp_SetIndex(warp, index), 1);
            for (int i = 0; i <= 128; ++i) {
                ASSERT_GE(warp->sourceIndex[i], 0);
                ASSERT_LE(warp->sourceIndex[i], 127) << rate << " " << index << " " << i;
                ASSERT_EQ(warp->weightA[i] + warp->weightB[i], 4096);
            }
            std::vector<uint32_t> s = ramp(256);
            FrequencyWarp_Apply(warp, s.data());
            for (int i = 1; i <= 128; ++i)
                ASSERT_GE(s[i], s[i - 1]) << rate << " " << index << " " << i;
        }
        FrequencyWarp_Destroy(warp);
    }
}

TEST_F(FrequencyWarpTest, BreakAxisAtEightKilohertz)
{
    ScopedParamBlock block(ParamBlockBuilder().word(kBrevitParamCepstralScale11, 1));
    FrequencyWarp* warp = FrequencyWarp_Create(8000, 256);
    ASSERT_NE(warp, nullptr);
    ASSERT_EQ(FrequencyWarp_SetIndex(warp, 0), 1);  // 3490 Hz moves to 3999 Hz
    std::vector<uint32_t> s = ramp(256);
    FrequencyWarp_Apply(warp, s.data());
    // Step (3999 << 12 + 1745) / 3490 = 4693 below bin 112.
    EXPECT_EQ(s[50], 50u * 4693);
    EXPECT_EQ(s[111], 111u * 4693);
    EXPECT_EQ(s[128], 128u * 4096);
    // Large bins take the coarse form.
    std::vector<uint32_t> big(129, 0x10000000u);
    FrequencyWarp_Apply(warp, big.data());
    EXPECT_EQ(big[10], 0x10000000u);
    FrequencyWarp_Destroy(warp);
}

TEST_F(FrequencyWarpTest, CreationRefusesAnAxisItCannotBuild)
{
    {
        ScopedParamBlock block(ParamBlockBuilder().word(kBrevitParamLinearWarpBreakHz, 4000));
        EXPECT_EQ(FrequencyWarp_Create(8000, 256), nullptr);  // break at the top bin
    }
    {
        ScopedParamBlock block(ParamBlockBuilder().word(kBrevitParamCepstralScale11, 1));
        EXPECT_EQ(FrequencyWarp_Create(3, 256), nullptr);  // source break 0 Hz
    }
    expectLoadSurvivesEveryAllocationFailure(
        m_allocator, [] { return FrequencyWarp_Create(8000, 256); },
        [](FrequencyWarp* w) { FrequencyWarp_Destroy(w); });
}

} // namespace
