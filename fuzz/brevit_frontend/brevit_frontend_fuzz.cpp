// Front-end model files arrive with the model set, and the channel state
// ("bfx0") with the user's saved state: open any bytes as an archive image,
// load the front end from it and, when it loads, restore the saved state the
// image carries, then run an utterance of samples (taken from the input's own
// bytes) through it, with a snapshot round trip and a checksum.
#include "core/brevit/frontend/fe.h"
#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_tar.h"
#include "tests/support/system_engine_context.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void runFrontEnd(DVKTar* tar, const uint8_t* data, size_t size)
{
    FE* fe = FE_CreateFromBinFile(tar, nullptr);
    if (fe == nullptr)
        return;
    FE_ReadPSAFile(fe, tar, nullptr);
    FE_StartUtterance(fe, size % 2);
    std::vector<int16_t> samples(FE_GetNumberSamplesInShift(fe));
    std::vector<uint8_t> out(FE_GetFeatureDim(fe));
    uint16_t info[2];
    size_t at = 0;
    for (int frame = 0; frame < 12; ++frame) {
        for (auto& s : samples) {
            s = static_cast<int16_t>(size > 0 ? data[at % size] * 257 - 32768 + frame : frame);
            at += 7;
        }
        FE_FeedSamples(fe, samples.data());
        while (FE_GetNextFrame(fe, out.data(), info) >= 5) {
        }
        if (frame == 6)
            FE_UpdateCepstralWarp(fe, out.data(), info[1]);
    }
    FE_SetWarpIndex(fe, 1);
    FE_EndUtterance(fe);
    while (FE_GetNextFrame(fe, out.data(), info) >= 5) {
    }
    std::vector<uint8_t> snapshot(FE_GetSnapshotSize(fe));
    FE_FillInSnapshot(fe, snapshot.data());
    FE_RestoreFromSnapshot(fe, snapshot.data());
    FE_ComputeCRC(fe, 1);
    FE_Destroy(fe);
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
            runFrontEnd(tar, data, size);
            DVKTar_Close(tar);
        }
    });
    std::free(image);
    if (context.liveBlocks() != 0)
        std::abort();  // something loaded was not given back
    return 0;
}
