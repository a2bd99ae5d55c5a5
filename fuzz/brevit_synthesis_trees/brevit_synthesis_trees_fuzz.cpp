// "btc0" arrives with the synthesis model set: take the input as its
// content beside fixed spectrum, duration and pitch models, and use what
// loads: states of every position for a few contexts, the frame means of
// every state and one past, inverse variances, the post-scale and the CRC.
#include "core/brevit/synthesis/cep_dtree.h"
#include "tests/support/fuzz_archive_image.h"
#include "tests/support/fuzz_sub_file_archive.h"
#include "tests/support/synthesis_model_writer.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void use(CepDTree* tree)
{
    std::vector<uint8_t> context(kCepDTreeContextLength, 255);
    std::vector<int16_t> cep(3 * static_cast<size_t>(tree->D));
    std::vector<double> spectrum(3 * static_cast<size_t>(tree->D)), pitchWeights(3);
    std::vector<int32_t> frame(static_cast<size_t>(tree->D), 12345);
    for (uint8_t first : {0, 1, 255}) {
        context[0] = first;
        for (int32_t s = -1; s <= 4; ++s) {
            int32_t duration = 0, voicing = 0;
            uint16_t spectrumState = 0, pitchState = 0;
            CepDTree_GetStates(tree, context.data(), s, &duration, &voicing, &spectrumState, &pitchState);
            int32_t pitch[3];
            CepDTree_GetFrameMeans(tree, spectrumState, pitchState, pitch, cep.data());
        }
    }
    CepDTree_GetInvVariances(tree, spectrum.data(), pitchWeights.data());
    CepDTree_PostScale(tree, frame.data());
    CepDTree_ComputeCRC(tree);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 1 << 16)
        return 0;
    // The models are written once; each input joins them as "btc0".
    static const std::string models = [] {
        SystemEngineContext context;
        return writtenArchiveImage(&writeFixedSynthesisModels);
    }();
    if (models.empty())
        std::abort();
    std::string image = models;
    appendArchiveEntry(image, "btc0", data, size);
    return fuzzArchiveImage(reinterpret_cast<const uint8_t*>(image.data()), image.size(), [](DVKTar* tar) {
        CepDTree* tree = CepDTree_LoadFromBinFile(tar, nullptr);
        if (tree != nullptr)
            use(tree);
        CepDTree_Delete(tree);
    });
}
