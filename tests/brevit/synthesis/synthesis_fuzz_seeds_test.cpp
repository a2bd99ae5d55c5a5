// The seeds of the vocoder fuzz target (fuzz/brevit_synthesis/corpus) are
// models made by the test writer. This test rebuilds them and checks that the
// committed files are current; with MERROWIND_WRITE_FUZZ_SEEDS=1 it writes
// them instead.
#include "tests/brevit/synthesis/cep_test_model.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

// A small model: short tables keep each fuzz run quick.
CepModelSpec smallSpec()
{
    CepModelSpec s;
    s.rate = 8000;
    s.hop = 16;
    s.frame = 64;
    s.transform = 16;
    s.maxOrder = 5;
    s.ifftOrder = 5;
    s.cepLength = 9;
    s.start2 = 10;
    s.end2 = 20;
    s.start1 = 5;
    s.end1 = 12;
    return s;
}

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

using SynthesisFuzzSeeds = CepModelTest;

TEST_F(SynthesisFuzzSeeds, CommittedSeedsAreWhatTheWriterMakes)
{
    const char* source = std::getenv("MERROWIND_TEST_SOURCE_DIR");
    if (source == nullptr || *source == '\0')
        source = MERROWIND_SOURCE_DIR;
    const std::filesystem::path dir =
        std::filesystem::path(source) / "fuzz" / "brevit_synthesis" / "corpus";
    const char* write = std::getenv("MERROWIND_WRITE_FUZZ_SEEDS");
    const bool writing = write != nullptr && std::strcmp(write, "1") == 0;

    CepModelSpec idct = smallSpec();
    idct.transform = 12;
    CepModelSpec crossFade = smallSpec();
    crossFade.subFrames = 2;
    CepModel tilted = CepModel_Make(smallSpec());
    tilted.tilt = 8192;
    tilted.offsets.assign(tilted.offsets.size(), 300);
    CepModel damaged = CepModel_Make(smallSpec());
    std::swap(damaged.bitReverse[1], damaged.bitReverse[2]);

    const std::pair<const char*, CepModel> seeds[] = {
        {"fft", CepModel_Make(smallSpec())},
        {"idct", CepModel_Make(idct)},
        {"crossfade", CepModel_Make(crossFade)},
        {"tilted", tilted},
        {"bad-bit-reversal", damaged},
    };
    for (const auto& [name, model] : seeds) {
        const std::string bytes = image(model);
        if (writing) {
            std::ofstream(dir / name, std::ios::binary | std::ios::trunc)
                .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            continue;
        }
        EXPECT_EQ(readFile(dir / name), bytes)
            << (dir / name) << " is out of date: rerun with MERROWIND_WRITE_FUZZ_SEEDS=1";
        // Every seed but the damaged one loads.
        EXPECT_EQ(load(bytes) != nullptr, std::strcmp(name, "bad-bit-reversal") != 0) << name;
    }
}

} // namespace
