// The seeds of the front-end fuzz target (fuzz/brevit_frontend/corpus) are
// models made by the stage writers. This test rebuilds them and checks that
// the committed files are current; with MERROWIND_WRITE_FUZZ_SEEDS=1 it
// writes them instead.
#include "tests/brevit/frontend/frontend_test_util.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class FrontEndFuzzSeeds : public FrontEndTest {
protected:
    void check(const char* name, const std::string& bytes)
    {
        const char* source = std::getenv("MERROWIND_TEST_SOURCE_DIR");
        if (source == nullptr || *source == '\0')
            source = MERROWIND_SOURCE_DIR;
        const std::filesystem::path path =
            std::filesystem::path(source) / "fuzz" / "brevit_frontend" / "corpus" / name;
        const char* write = std::getenv("MERROWIND_WRITE_FUZZ_SEEDS");
        if (write != nullptr && std::strcmp(write, "1") == 0) {
            std::ofstream(path, std::ios::binary | std::ios::trunc)
                .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            return;
        }
        EXPECT_EQ(readFile(path), bytes)
            << path << " is out of date: rerun with MERROWIND_WRITE_FUZZ_SEEDS=1";
    }

    void checkModel(const char* name, const frontend_model::FrontEndModel& model)
    {
        ArchiveFixture archive(std::string(name) + ".dvk");
        frontend_fixture::addFrontEnd(archive, model);
        archive.finish();
        check(name, archive.bytes());
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
