// Loading the vocoder: every damaged model is refused without leaving
// anything behind, and so is every load whose allocations fail in turn.
#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/synthesis/cep_sample_wrapper.h"
#include "tests/brevit/synthesis/cep_test_model.h"

#include <gtest/gtest.h>

namespace {

using VocoderLoading = CepModelTest;

CepModelSpec idctSpec()
{
    CepModelSpec spec;
    spec.transform = 40;
    return spec;
}

TEST_F(VocoderLoading, SoundModelsLoad)
{
    for (int32_t M : {1, 2}) {
        CepModelSpec spec;
        spec.subFrames = M;
        EXPECT_NE(load(spec), nullptr);
        spec = idctSpec();
        spec.subFrames = M;
        EXPECT_NE(load(spec), nullptr);
    }
}

TEST_F(VocoderLoading, DamagedModelsAreRefused)
{
    struct Group {
        CepModelSpec spec;
        std::vector<CepModelDamage> damages;
    };
    std::vector<CepModelDamage> fft = CepModel_Damages();
    for (auto& d : CepModel_FftDamages())
        fft.push_back(d);
    std::vector<CepModelDamage> idct = CepModel_Damages();
    for (auto& d : CepModel_IdctDamages())
        idct.push_back(d);
    const Group groups[] = {{CepModelSpec{}, fft}, {idctSpec(), idct}};
    for (const Group& group : groups) {
        for (const CepModelDamage& damage : group.damages) {
            CepModel model = CepModel_Make(group.spec);
            damage.apply(model);
            EXPECT_EQ(load(model), nullptr)
                << damage.name << (group.spec.transform == 40 ? " (cosine matrix)" : "");
        }
    }
}

TEST_F(VocoderLoading, EveryAllocationFailingInTurn)
{
    for (const CepModelSpec& spec : {CepModelSpec{}, idctSpec()}) {
        const std::string bytes = image(CepModel_Make(spec));
        for (uint64_t n = 1;; ++n) {
            const uint64_t base = m_allocator.calls();
            const uint64_t failures = m_allocator.failures();
            m_allocator.failAt(base + n);
            CepSampleWrapper* wrapper = nullptr;
            DVKTar* tar = DVKTar_OpenForMemoryMappedRead(static_cast<uint32_t>(bytes.size()),
                                                         bytes.data());
            // Opening the archive may be what fails.
            if (tar != nullptr) {
                DVKErr_Protect([&] { wrapper = CepSampleWrapper_LoadFromBinFile(tar, nullptr); });
                DVKTar_Close(tar);
            }
            const bool failed = m_allocator.failures() > failures;
            m_allocator.failAt(0);
            CepSampleWrapper_Delete(wrapper);
            ASSERT_EQ(m_allocator.liveBlocks(), 0u)
                << "allocation " << n << " failing:\n" << m_allocator.describeLeaks();
            if (!failed) {
                EXPECT_NE(wrapper, nullptr);
                break;
            }
            EXPECT_EQ(wrapper, nullptr) << "allocation " << n;
            ASSERT_LT(n, 200u);
        }
    }
}

} // namespace
