#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/synthesis/cep_sample_wrapper.h"
#include "core/brevit/synthesis/cep_to_sample_fix.h"
#include "core/brevit/synthesis/cep_window.h"
#include "tests/brevit/synthesis/cep_test_model.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using VocoderGenerator = CepModelTest;

std::vector<int32_t> voicedCepstrum()
{
    std::vector<int32_t> c(25, 0);
    c[0] = 64 * 4096 * 2;
    c[1] = 4096;
    c[2] = -2048;
    c[5] = 700;
    return c;
}

// Runs calls frames through the generator with the given capacity per call,
// draining nothing; returns all samples returned.
std::vector<int16_t> run(CepSampleWrapper* w, int calls, int32_t voicing, int32_t rate = 16000)
{
    EXPECT_EQ(CepSampleWrapper_StartUtterance(w, rate, 0), 1);
    const std::vector<int32_t> c = voicedCepstrum();
    std::vector<int16_t> out;
    int16_t hop[80];
    for (int i = 0; i < calls; ++i) {
        const int32_t n = CepSampleWrapper_GeneratePCM(w, 19500, c.data(), voicing, 80, hop);
        out.insert(out.end(), hop, hop + n);
    }
    return out;
}

TEST_F(VocoderGenerator, LoadsWithEitherCepstralTransform)
{
    CepModelSpec spec;
    CepSampleWrapper* fft = load(spec);
    ASSERT_NE(fft, nullptr);
    EXPECT_NE(fix(fft)->specFFT, nullptr);
    EXPECT_EQ(fix(fft)->idct, nullptr);
    EXPECT_EQ(fix(fft)->cepstralLength, 25);
    spec.transform = 40;
    spec.cepLength = 20;
    CepSampleWrapper* idct = load(spec);
    ASSERT_NE(idct, nullptr);
    EXPECT_EQ(fix(idct)->specFFT, nullptr);
    EXPECT_NE(fix(idct)->idct, nullptr);
    EXPECT_EQ(fix(idct)->cepstralLength, 20);
    EXPECT_EQ(fft->kept[0], 1);
    EXPECT_EQ(fft->keptFlag, 1);
    EXPECT_EQ(CepSampleWrapper_ComputeCRC(fft), 0xFFFFFFFFu);
    EXPECT_FALSE(run(idct, 10, 2).empty());
}

TEST_F(VocoderGenerator, StartChoosesTheRate)
{
    CepSampleWrapper* w = load(CepModelSpec{});
    ASSERT_NE(w, nullptr);
    int16_t out[80];
    const std::vector<int32_t> c = voicedCepstrum();
    // Nothing before the first start.
    EXPECT_EQ(CepSampleWrapper_GeneratePCM(w, 19000, c.data(), 1, 80, out), 0);
    EXPECT_EQ(CepSampleWrapper_CopySamples(w, 80, out), 0);

    struct Case {
        int32_t rate;
        int32_t result;
        int32_t half;
    };
    const Case cases[] = {{16000, 1, 0}, {8000, 1, 1}, {8001, 0, 1}, {0, 0, 1}, {32000, 0, 1}};
    for (const Case& c : cases) {
        CepToSampleFix before;
        std::memcpy(&before, fix(w), sizeof(before));
        EXPECT_EQ(CepSampleWrapper_StartUtterance(w, c.rate, 0), c.result) << c.rate;
        EXPECT_EQ(fix(w)->halfRate, c.half) << c.rate;
        if (c.result == 0) {
            EXPECT_EQ(std::memcmp(&before, fix(w), sizeof(before)), 0) << c.rate;
        }
    }
}

TEST_F(VocoderGenerator, LevelSetsTheLogGain)
{
    CepSampleWrapper* w = load(CepModelSpec{});
    ASSERT_NE(w, nullptr);
    const std::pair<int32_t, int32_t> cases[] = {{0, 12000}, {10, 14358}, {-10, 9641}};
    for (const auto& [level, gain] : cases) {
        ASSERT_EQ(CepSampleWrapper_StartUtterance(w, 16000, level), 1);
        EXPECT_EQ(fix(w)->logGainOffset, gain) << level;
    }
}

TEST_F(VocoderGenerator, PendingSamplesComeBackInOrder)
{
    CepSampleWrapper* a = load(CepModelSpec{});
    CepSampleWrapper* b = load(CepModelSpec{});
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    const std::vector<int16_t> want = run(a, 8, 2);
    ASSERT_EQ(want.size(), 640u);

    ASSERT_EQ(CepSampleWrapper_StartUtterance(b, 16000, 0), 1);
    const std::vector<int32_t> c = voicedCepstrum();
    std::vector<int16_t> got;
    int16_t buffer[200];
    for (int i = 0; i < 8; ++i) {
        // Capacity 0 keeps the whole hop pending; it drains in two pieces.
        EXPECT_EQ(CepSampleWrapper_GeneratePCM(b, 19500, c.data(), 2, 0, buffer), 0);
        EXPECT_EQ(fix(b)->pending, 80);
        EXPECT_EQ(CepSampleWrapper_CopySamples(b, 30, buffer), 30);
        got.insert(got.end(), buffer, buffer + 30);
        EXPECT_EQ(CepSampleWrapper_CopySamples(b, 60, buffer), 50);
        got.insert(got.end(), buffer, buffer + 50);
        EXPECT_EQ(CepSampleWrapper_CopySamples(b, 60, buffer), 0);
    }
    EXPECT_EQ(got, want);

    // Pending samples lead the next call's output.
    ASSERT_EQ(CepSampleWrapper_StartUtterance(b, 16000, 0), 1);
    got.clear();
    EXPECT_EQ(CepSampleWrapper_GeneratePCM(b, 19500, c.data(), 2, 30, buffer), 30);
    got.insert(got.end(), buffer, buffer + 30);
    for (int i = 1; i < 8; ++i) {
        const int32_t n = CepSampleWrapper_GeneratePCM(b, 19500, c.data(), 2, 200, buffer);
        EXPECT_EQ(n, i == 1 ? 130 : 80);
        got.insert(got.end(), buffer, buffer + n);
    }
    EXPECT_EQ(CepSampleWrapper_CopySamples(b, 200, buffer), 0);
    EXPECT_EQ(got, want);
}

TEST_F(VocoderGenerator, HalfRateHopsAreHalved)
{
    CepModelSpec spec;
    spec.subFrames = 2;
    CepSampleWrapper* w = load(spec);
    ASSERT_NE(w, nullptr);
    ASSERT_EQ(CepSampleWrapper_StartUtterance(w, 8000, 0), 1);
    const std::vector<int32_t> c = voicedCepstrum();
    int16_t out[80];
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(CepSampleWrapper_GeneratePCM(w, 19500, c.data(), i % 3, 80, out), 40);
}

// The output frame of each call stays in the spectrum buffer after windowing.
TEST_F(VocoderGenerator, UnvoicedSubFramesAlternateTimeDirection)
{
    CepModelSpec spec;
    spec.subFrames = 2;
    CepSampleWrapper* w = load(spec);
    ASSERT_NE(w, nullptr);
    CepToSampleFix* g = fix(w);
    ASSERT_EQ(CepSampleWrapper_StartUtterance(w, 16000, 0), 1);
    const std::vector<int32_t> c = voicedCepstrum();
    int16_t out[80];
    for (int call = 0; call < 6; ++call) {
        std::vector<int16_t> previous(g->frameBuffers[1 - g->bufferIndex],
                                      g->frameBuffers[1 - g->bufferIndex] + 512);
        CepSampleWrapper_GeneratePCM(w, 19500, c.data(), 0, 80, out);
        const int16_t* current = g->frameBuffers[g->bufferIndex];
        std::vector<int16_t> want(512);
        if (call % 2 == 0) {
            // The new frame went into the other buffer: the one before is the
            // previous frame now.
            previous.assign(g->frameBuffers[1 - g->bufferIndex],
                            g->frameBuffers[1 - g->bufferIndex] + 512);
            for (int i = 0; i < 512; ++i)
                want[511 - i] = static_cast<int16_t>((current[i] * 16384 + previous[i] * 16384) >> 15);
        } else {
            want.assign(current, current + 512);
        }
        CepWindow_Apply(g->window, 0, 0, want.data());
        ASSERT_EQ(std::vector<int16_t>(g->spectrum, g->spectrum + 512), want) << "call " << call;
    }
}

TEST_F(VocoderGenerator, ExtremeCepstrumIsSilentAndInRange)
{
    CepModelSpec spec;
    spec.levelBase = 0;
    CepSampleWrapper* w = load(spec);
    ASSERT_NE(w, nullptr);
    std::vector<int32_t> c(25, 0);
    c[0] = -1048576;
    for (int32_t rate : {16000, 8000}) {
        ASSERT_EQ(CepSampleWrapper_StartUtterance(w, rate, 0), 1);
        int16_t out[80];
        for (int i = 0; i < 10; ++i) {
            const int32_t n = CepSampleWrapper_GeneratePCM(w, 18863, c.data(), i % 3, 80, out);
            for (int32_t k = 0; k < n; ++k)
                ASSERT_EQ(out[k], 0) << rate << " call " << i;
        }
    }
}

TEST_F(VocoderGenerator, NoAllocationPerCallAfterTheFirst)
{
    for (int32_t M : {1, 2, 3}) {
        CepModelSpec spec;
        spec.subFrames = M;
        CepSampleWrapper* w = load(spec);
        ASSERT_NE(w, nullptr);
        run(w, 3, 2);
        const uint64_t calls = m_allocator.calls();
        run(w, 20, 1);
        run(w, 20, 0, 8000);
        EXPECT_EQ(m_allocator.calls(), calls) << "M " << M;
    }
}

TEST_F(VocoderGenerator, CrossFadeFallsBackToScratchMemory)
{
    CepModelSpec spec;
    spec.subFrames = 2;
    CepSampleWrapper* a = load(spec);
    CepSampleWrapper* b = load(spec);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    const std::vector<int16_t> want = run(a, 12, 2);
    // Every engine allocation from here on fails: the fade buffer cannot grow.
    ASSERT_EQ(DVKTempMem_CreateMemStack(8192, 8192), 1);
    m_allocator.failNext(true);
    EXPECT_EQ(run(b, 12, 2), want);
    m_allocator.failAt(0);
    EXPECT_EQ(fix(b)->fadeBuffer, nullptr);
    EXPECT_EQ(DVKTempMem_GetMark(), 0u);
    DVKTempMem_DeleteMemStack();
}

TEST_F(VocoderGenerator, EmptySlotsAnswerTheirDefaults)
{
    CepSampleWrapper* w = load(CepModelSpec{});
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(CepToSample_ComputeCRC(w->generator), 0xFFFFFFFFu);
    EXPECT_EQ(CepToSample_WriteBinFile(w->generator, nullptr, nullptr), 0);
    EXPECT_EQ(CepToSample_StartUtterance(nullptr, 16000, 0), 0);
    EXPECT_EQ(CepToSample_CopySamples(nullptr, 10, nullptr), 0);
    CepToSample_Delete(nullptr);
    CepSampleWrapper_Delete(nullptr);
    EXPECT_EQ(std::memcmp(&w->generator->ops.deleteGenerator, &gCepToSampleBase.deleteGenerator,
                          sizeof(void*)),
              0);
}

} // namespace
