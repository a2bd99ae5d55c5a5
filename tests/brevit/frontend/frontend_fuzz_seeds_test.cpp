// The seeds of the front-end fuzz target (fuzz/brevit_frontend/corpus) are
// models made by the stage writers. This test keeps the committed files current.
#include "core/brevit/frontend/fe.h"
#include "tests/brevit/frontend/frontend_test_util.h"

#include "tests/support/fuzz_seed_check.h"

#include <climits>
#include <cstring>
#include <string>
#include <vector>

namespace {

class FrontEndFuzzSeeds : public FrontEndTest {
protected:
    void checkModel(const char* name, const frontend_model::FrontEndModel& model)
    {
        ArchiveFixture archive(std::string(name) + ".dvk");
        frontend_fixture::addFrontEnd(archive, model);
        archive.finish();
        checkFuzzSeed("brevit_frontend", name, archive.bytes());
    }

    // The model with a saved channel state ("bfx0") whose count of speech
    // frames stands at its top.
    void checkSavedState(const char* name, const frontend_model::FrontEndModel& model)
    {
        ArchiveFixture modelOnly("model-only.dvk");
        frontend_fixture::addFrontEnd(modelOnly, model);
        modelOnly.finish();
        DVKTar* read = modelOnly.openForRead();
        FE* fe = FE_CreateFromBinFile(read, nullptr);
        modelOnly.close(read);
        ASSERT_NE(fe, nullptr);
        std::vector<uint8_t> snapshot(FE_GetSnapshotSize(fe));
        FE_FillInSnapshot(fe, snapshot.data());
        const int32_t top = INT32_MAX;
        std::memcpy(&snapshot[40], &top, sizeof(top));
        ASSERT_EQ(FE_RestoreFromSnapshot(fe, snapshot.data()), 1);
        ArchiveFixture archive(std::string(name) + ".dvk");
        frontend_fixture::addFrontEnd(archive, model);
        EXPECT_EQ(FE_WritePSAFile(fe, archive.tar(), nullptr), 1);
        FE_Destroy(fe);
        archive.finish();
        checkFuzzSeed("brevit_frontend", name, archive.bytes());
    }
};

frontend_model::FrontEndModel stagesModel()
{
    frontend_model::FrontEndModel stages;
    stages.config.hasEnergyStage = 1;
    stages.config.hasCepstralWarp = 1;
    stages.config.cnLag = 3;
    stages.channelNorm.normaliseVariance = 1;
    stages.channelNorm.adaptOnline = 1;
    stages.delta = frontend_model::makeDeltaFilter(2, 13, 39, true, false);
    stages.output.hasSecond = true;
    stages.output.second = frontend_model::makeDiagonalTransform(39, 32);
    return stages;
}

TEST_F(FrontEndFuzzSeeds, CommittedSeedsAreWhatTheWritersMake)
{
    using frontend_model::FrontEndModel;
    using frontend_model::SampleSettings;
    using frontend_model::SampleStageModel;
    checkModel("model", FrontEndModel());
    checkSavedState("saved-state", stagesModel());

    checkModel("stages", stagesModel());

    FrontEndModel folded;
    SampleSettings settings;
    settings.fftSize = 128;
    settings.foldWindow = 1;
    settings.numChannels = 12;
    folded.sample = SampleStageModel::make(settings);
    folded.config.flushDeltaAtEnd = 0;
    checkModel("folded", folded);

    FrontEndModel raw;
    SampleSettings rawSettings;
    rawSettings.rawSamples = 1;
    rawSettings.numChannels = 8;
    raw.sample = SampleStageModel::make(rawSettings);
    raw.sample.bank.blockScaled = 0;
    raw.sample.bank.logQuadratic = 1;
    checkModel("raw", raw);
}

} // namespace
