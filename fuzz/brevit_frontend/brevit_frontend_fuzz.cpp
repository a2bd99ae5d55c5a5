// Front-end model files arrive with the model set: open any bytes as an
// archive image, load the front end's stages from it and, when they load, run
// a few frames of samples (taken from the input's own bytes) through them.
#include "core/brevit/frontend/fe_sample_stage.h"
#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_tar.h"
#include "tests/support/system_engine_context.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void runSampleStage(DVKTar* tar, const uint8_t* data, size_t size)
{
    FEFixSampleStage* stage = FEFixSampleStage_LoadFromBinFile(tar, nullptr);
    if (stage == nullptr)
        return;
    FEFixSampleStage_StartUtterance(stage);
    std::vector<int16_t> samples(stage->samplesInShift);
    std::vector<int16_t> row(stage->numCepstra);
    uint8_t flags = 0;
    size_t at = 0;
    for (int frame = 0; frame < 6; ++frame) {
        for (auto& s : samples) {
            s = static_cast<int16_t>(size > 0 ? data[at % size] * 257 - 32768 + frame : frame);
            at += 7;
        }
        FEFixSampleStage_FeedSamples(stage, samples.data(), row.data(), &flags);
    }
    FEFixSampleStage_SetWarpIndex(stage, 1);
    FEFixSampleStage_FeedSamples(stage, samples.data(), row.data(), &flags);
    FEFixSampleStage_Destroy(stage);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 1 << 20)
        return 0;
    SystemEngineContext context;
    // An image of its own, so reads past the input show up.
    auto* image = static_cast<uint8_t*>(std::malloc(size > 0 ? size : 1));
    if (size > 0)
        std::memcpy(image, data, size);
    DVKErr_Protect([&] {
        DVKTar* tar = DVKTar_OpenForMemoryMappedRead(static_cast<uint32_t>(size), image);
        if (tar != nullptr) {
            runSampleStage(tar, data, size);
            DVKTar_Close(tar);
        }
    });
    std::free(image);
    if (context.liveBlocks() != 0)
        std::abort();  // something loaded was not given back
    return 0;
}
