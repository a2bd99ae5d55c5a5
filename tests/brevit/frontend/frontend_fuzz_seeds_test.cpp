// The seeds of the front-end fuzz target (fuzz/brevit_frontend/corpus) are
// models made by the stage writers. This test keeps the committed files current.
#include "tests/brevit/frontend/frontend_test_util.h"

#include "tests/support/fuzz_seed_check.h"

#include <string>

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
};

TEST_F(FrontEndFuzzSeeds, CommittedSeedsAreWhatTheWritersMake)
{
    using frontend_model::FrontEndModel;
    using frontend_model::SampleSettings;
    using frontend_model::SampleStageModel;
    checkModel("model", FrontEndModel());

    FrontEndModel stages;
    stages.config.hasEnergyStage = 1;
    stages.config.hasCepstralWarp = 1;
    stages.config.cnLag = 3;
    stages.channelNorm.normaliseVariance = 1;
    stages.channelNorm.adaptOnline = 1;
    stages.delta = frontend_model::makeDeltaFilter(2, 13, 39, true, false);
    stages.output.hasSecond = true;
    stages.output.second = frontend_model::makeDiagonalTransform(39, 32);
    checkModel("stages", stages);

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
