// The optimiser's records arrive inside the synthesis model file: take the
// input as them, and with what loads stream a fixed voicing pattern (runs of
// every length from 1 to 12, pass-through frames among them), flush and
// drain it, then solve the same frames as a whole utterance.
#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/synthesis/cep_optimizer.h"
#include "tests/support/fuzz_archive_image.h"
#include "tests/support/fuzz_sub_file_archive.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int32_t kFrames = 120;

void use(CepOptimizer* o)
{
    const auto D = static_cast<size_t>(o->D);
    std::vector<std::vector<int16_t>> cep(kFrames);
    std::vector<std::vector<int32_t>> pitch(kFrames), out(kFrames, std::vector<int32_t>(D));
    std::vector<int32_t> pitchOut(kFrames);
    std::vector<uint8_t> voiced(kFrames);
    std::vector<const int16_t*> cepPtr;
    std::vector<const int32_t*> pitchPtr;
    std::vector<int32_t*> outPtr, pitchOutPtr;
    int32_t run = 1, left = 1, on = 1;
    for (int32_t t = 0; t < kFrames; ++t) {
        if (--left == 0) {
            on = !on;
            run = run % 12 + 1;
            left = run;
        }
        voiced[static_cast<size_t>(t)] = static_cast<uint8_t>(on);
        for (size_t k = 0; k < 3 * D; ++k)
            cep[static_cast<size_t>(t)].push_back(static_cast<int16_t>((t * 977 + static_cast<int32_t>(k) * 131) % 20001 - 10000));
        pitch[static_cast<size_t>(t)] = {7000 + (t * 37) % 500, (t % 7) * 100 - 300, (t % 5) * 50 - 100};
        cepPtr.push_back(cep[static_cast<size_t>(t)].data());
        pitchPtr.push_back(pitch[static_cast<size_t>(t)].data());
        outPtr.push_back(out[static_cast<size_t>(t)].data());
        pitchOutPtr.push_back(&pitchOut[static_cast<size_t>(t)]);
    }
    CepOptimizer_StartUtterance(o);
    std::vector<int32_t> frame(D);
    int32_t logPitch = 0, voicing = 0, delivered = 0;
    for (int32_t t = 0; t < kFrames; ++t) {
        int32_t code = 0;
        while ((code = CepOptimizer_AddFrame(o, cep[static_cast<size_t>(t)].data(), pitch[static_cast<size_t>(t)].data(),
                                             voiced[static_cast<size_t>(t)] * 100, t % 17 == 3)) == kCepOptFull) {
            // A full ring with nothing to hand out would never take the frame.
            if (CepOptimizer_NextFrame(o, frame.data(), &logPitch, &voicing) != kCepOptReady)
                std::abort();
            ++delivered;
        }
        if (code == kCepOptFailure)
            break;
        while (CepOptimizer_NextFrame(o, frame.data(), &logPitch, &voicing) == kCepOptReady)
            ++delivered;
    }
    if (CepOptimizer_Flush(o) != kCepOptFailure) {
        while (CepOptimizer_NextFrame(o, frame.data(), &logPitch, &voicing) == kCepOptReady)
            ++delivered;
        // Every frame comes out once, and the stream then ends.
        if (delivered != kFrames || CepOptimizer_NextFrame(o, frame.data(), &logPitch, &voicing) != kCepOptEnded)
            std::abort();
    }
    CepOptimizer_ComputeCRC(o, 1);
    CepOptimizer_StopUtterance(o);
    CepOptimizer_Optimize(o, kFrames, 3, cepPtr.data(), outPtr.data(), voiced.data(), pitchPtr.data(),
                          pitchOutPtr.data());
    CepOptimizer_ComputeCRC(o, 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 1 << 16)
        return 0;
    std::string image;
    appendArchiveEntry(image, "bopt", data, size);
    // Streaming with either right-hand-side ring, 64 output frames.
    static BrevitGlobalParameters params = [] {
        BrevitGlobalParameters p{};
        p.words[kBrevitParamSmootherRings] = 1;
        p.words[kBrevitParamRhsRingDoubles] = 1;
        p.words[kBrevitParamRhsRingIntegers] = 1;
        p.words[kBrevitParamOutputRingSlots] = 64;
        p.words[kBrevitParamOverlapBlocks] = 1;
        return p;
    }();
    gpBrevitGlobalParameters = &params;
    fuzzArchiveImage(reinterpret_cast<const uint8_t*>(image.data()), image.size(), [](DVKTar* tar) {
        BinFileReader* reader = BinFileReader_Create(tar, "bopt", nullptr);
        CepOptimizer* o = reader != nullptr ? CepOptimizer_LoadFromBinFile(reader) : nullptr;
        BinFileReader_Delete(reader);
        if (o != nullptr)
            use(o);
        CepOptimizer_Delete(o);
    });
    gpBrevitGlobalParameters = nullptr;
    return 0;
}
