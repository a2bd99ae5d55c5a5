#include "core/prompt/dvk_prompt.h"

#include "tests/core/prompt/fakes/fake_audio.h"
#include "tests/sdk/common/fake_oem.h"
#include "tests/support/suite_memory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

class Earcon : public SuiteMemoryTest {
protected:
    void SetUp() override
    {
        SuiteMemoryTest::SetUp();
        resetFakeAudio();
        resetFakeOemSettings();
    }
    std::vector<int16_t> samples(int32_t id, int32_t volume, int32_t pcmType = 0)
    {
        fakeOemSettings().earconVolume = volume;
        fakeAudio().pcmPlaybackType = pcmType;
        dvk_prompt_Earcon* earcon = dvk_prompt_createEarcon(id);
        EXPECT_NE(earcon, nullptr);
        if (earcon == nullptr)
            return {};
        EXPECT_EQ(dvk_prompt_getEarconPcmType(earcon), pcmType);
        const int16_t* data = dvk_prompt_getEarconData(earcon);
        std::vector<int16_t> out(data, data + dvk_prompt_getEarconDataLength(earcon));
        dvk_prompt_destroyEarcon(&earcon);
        return out;
    }
};

TEST_F(Earcon, ToneOfEarconOneAtEveryVolume)
{
    const struct {
        int32_t volume;
        int16_t peak, trough;
    } cases[] = {{0, 8192, -8192}, {-10, 2048, -2048}, {2, 10816, -10816}, {10, 32767, -32768}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.volume);
        const std::vector<int16_t> s = samples(1, c.volume);
        ASSERT_EQ(s.size(), 1280u);
        EXPECT_EQ(*std::max_element(s.begin(), s.end()), c.peak);
        EXPECT_EQ(*std::min_element(s.begin(), s.end()), c.trough);
    }
    // 1000 Hz at 8 kHz: eight samples a period, gain 338 truncated toward zero.
    const std::vector<int16_t> s = samples(1, 2);
    EXPECT_EQ(std::vector<int16_t>(s.begin(), s.begin() + 16),
              (std::vector<int16_t>{0, 7647, 10816, 7647, 0, -7647, -10816, -7647, 0, 7647, 10816, 7647, 0, -7647,
                                    -10816, -7647}));
}

TEST_F(Earcon, EveryEarconAgainstADoubleReference)
{
    // Frequencies and frame counts of the seven earcons; each tone starts at
    // phase 0. The table sine is truncated, the gain division too: at most
    // one sample unit of gain 256 apart from the exact tone, plus rounding.
    const std::vector<std::vector<std::pair<int, int>>> tones = {
        {{541, 3}, {676, 3}, {1063, 3}}, {{1000, 8}}, {{676, 3}, {541, 3}, {676, 3}}, {{721, 3}, {900, 3}, {721, 3}},
        {{541, 5}, {0, 1}, {541, 5}},   {{541, 5}, {0, 1}, {541, 5}}, {{541, 3}, {676, 3}, {721, 3}}};
    for (int32_t pcmType : {0, 1}) {
        const int rate = pcmType == 0 ? 8000 : 16000;
        for (int32_t id = 0; id < 7; ++id) {
            SCOPED_TRACE(id);
            const std::vector<int16_t> s = samples(id, 0, pcmType);
            size_t at = 0;
            for (const auto& [hz, frames] : tones[static_cast<size_t>(id)]) {
                const uint32_t step = static_cast<uint32_t>(hz) * 65536u / static_cast<uint32_t>(rate);
                for (int i = 0; i < frames * rate / 50; ++i, ++at) {
                    ASSERT_LT(at, s.size());
                    const double phase = static_cast<double>((step * static_cast<uint32_t>(i)) >> 8 & 255);
                    const double exact = 8192.0 * std::sin(2 * M_PI * phase / 256.0);
                    ASSERT_LE(std::fabs(s[at] - exact), 1.0) << at;
                }
            }
            EXPECT_EQ(at, s.size());
        }
    }
}

TEST_F(Earcon, LengthsFollowThePlaybackRateAndSilenceIsZero)
{
    EXPECT_EQ(samples(1, 0, 1).size(), 2560u);
    const std::vector<int16_t> four = samples(4, 2);
    ASSERT_EQ(four.size(), 1760u);
    EXPECT_TRUE(std::all_of(four.begin() + 800, four.begin() + 960, [](int16_t v) { return v == 0; }));
    EXPECT_NE(four[961], 0);
    fakeAudio().pcmPlaybackType = 2;
    EXPECT_EQ(dvk_prompt_createEarcon(1), nullptr);
}

TEST_F(Earcon, EveryAllocationFailingInTurnLeaksNothing)
{
    for (long n = 0; n < 2; ++n) {
        dvk_mem_failAfter(n);
        EXPECT_EQ(dvk_prompt_createEarcon(0), nullptr);
    }
    dvk_mem_failAfter(-1);
}

TEST(EarconDeath, IdsOutsideTheTableAreProgrammingErrors)
{
    EXPECT_DEATH(dvk_prompt_createEarcon(7), "earcon");
    EXPECT_DEATH(dvk_prompt_createEarcon(-1), "earcon");
}

} // namespace
