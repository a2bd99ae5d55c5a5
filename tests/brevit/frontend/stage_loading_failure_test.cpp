// Every stage loader of the frame pipeline, with each allocation failing in
// turn: no object and nothing left allocated.
#include "core/brevit/frontend/cepstral_warp.h"
#include "core/brevit/frontend/channel_norm.h"
#include "core/brevit/frontend/delta_filter.h"
#include "core/brevit/frontend/energy_stage.h"
#include "core/brevit/frontend/linear_transform.h"
#include "tests/brevit/frontend/frontend_test_util.h"

namespace {

class StageLoadingFailure : public FrontEndTest {};

TEST_F(StageLoadingFailure, NothingLeaks)
{
    ArchiveFixture archive;
    frontend_fixture::addDeltaFilter(archive, frontend_model::makeDeltaFilter(2, 13, 39, true, true));
    frontend_fixture::addCepstralWarp(archive, frontend_model::CepstralWarp());
    frontend_model::OutputTransforms transforms;
    transforms.first = frontend_model::makeDiagonalTransform(39);
    transforms.hasSecond = true;
    transforms.second = frontend_model::makeDiagonalTransform(13);
    frontend_fixture::addOutputTransforms(archive, transforms);
    frontend_model::ChannelNorm norm = frontend_model::makeChannelNorm(39);
    norm.normaliseVariance = 1;
    frontend_fixture::addChannelNorm(archive, norm);
    frontend_fixture::addEnergyStage(archive, frontend_model::makeEnergyStage(13, 39));
    archive.finish();
    DVKTar* tar = archive.openForRead();
    ASSERT_NE(tar, nullptr);
    expectLoadSurvivesEveryAllocationFailure(
        m_allocator, [&] { return DeltaFilter_LoadFromBinFile(tar, nullptr); }, DeltaFilter_Destroy);
    expectLoadSurvivesEveryAllocationFailure(
        m_allocator, [&] { return CepstralWarp_LoadFromBinFile(tar, nullptr); }, CepstralWarp_Destroy);
    expectLoadSurvivesEveryAllocationFailure(
        m_allocator, [&] { return ChannelNorm_LoadFromBinFile(tar, nullptr); }, ChannelNorm_Destroy);
    expectLoadSurvivesEveryAllocationFailure(
        m_allocator, [&] { return EnergyStage_LoadFromBinFile(tar, nullptr); }, EnergyStage_Destroy);
    LinearTransform* second = nullptr;
    expectLoadSurvivesEveryAllocationFailure(
        m_allocator, [&] { return LinearTransform_LoadFromBinFile(tar, nullptr, &second); },
        [&](LinearTransform* t) {
            LinearTransform_Destroy(t);
            LinearTransform_Destroy(second);
            second = nullptr;
        });
    archive.close(tar);
}

} // namespace
