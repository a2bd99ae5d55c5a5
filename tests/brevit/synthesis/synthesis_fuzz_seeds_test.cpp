// The seeds of the vocoder fuzz target (fuzz/brevit_synthesis/corpus) are
// models made by the test writer. This test keeps the committed files current.
#include "tests/brevit/synthesis/cep_test_model.h"
#include "tests/support/fuzz_seed_check.h"

#include <gtest/gtest.h>

#include <cstring>
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

using SynthesisFuzzSeeds = CepModelTest;

TEST_F(SynthesisFuzzSeeds, CommittedSeedsAreWhatTheWriterMakes)
{
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
        checkFuzzSeed("brevit_synthesis", name, bytes);
        // Every seed but the damaged one loads.
        EXPECT_EQ(load(bytes) != nullptr, std::strcmp(name, "bad-bit-reversal") != 0) << name;
    }
}

} // namespace
