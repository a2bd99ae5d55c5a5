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

    void checkModel(const char* name, const frontend_model::SampleStageModel& model)
    {
        ArchiveFixture archive(std::string(name) + ".dvk");
        frontend_fixture::addSampleStage(archive, model);
        archive.finish();
        check(name, archive.bytes());
    }
};

TEST_F(FrontEndFuzzSeeds, CommittedSeedsAreWhatTheWritersMake)
{
    using frontend_model::SampleSettings;
    using frontend_model::SampleStageModel;
    checkModel("model", SampleStageModel::make());
    SampleSettings folded;
    folded.fftSize = 128;
    folded.foldWindow = 1;
    folded.numChannels = 12;
    folded.numCepstra = 6;
    checkModel("folded", SampleStageModel::make(folded));
    SampleSettings raw;
    raw.rawSamples = 1;
    raw.numChannels = 8;
    raw.numCepstra = 1;
    SampleStageModel rawModel = SampleStageModel::make(raw);
    rawModel.bank.blockScaled = 0;
    rawModel.bank.logQuadratic = 1;
    checkModel("raw", rawModel);
}

} // namespace
