// A decoder comes from a model set or user storage: "bdec0/bd0" names its
// kind and option; load it over the archive's vocabulary (when it holds one)
// and a stand-in model, read its saved state (a linear-chain decoder's
// "bpc0" pron cache) from the same archive, set up an utterance, take its
// checksums and delete it.
#include "core/brevit/acoustic/am.h"
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/search/decoder.h"
#include "tests/support/fuzz_archive_image.h"
#include "tests/support/linear_chain_preset.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static BrevitGlobalParameters params =
        vocabulary_fixture::params(linear_chain_fixture::options({{kBrevitParamSavePronCache, 1}})).block();
    static AM model = [] {
        AM m{};
        m.statesPerModel = 1;
        return m;
    }();
    gpBrevitGlobalParameters = &params;
    return fuzzArchiveImage(data, size, [&](DVKTar* tar) {
        Voc* vocabulary = Voc_LoadFromBinFile(tar, nullptr);
        Decoder* decoder = Decoder_LoadFromBinFile(tar, "bdec0/", vocabulary, &model, nullptr, nullptr);
        if (decoder != nullptr) {
            // The saved pron cache and the search belong to a vocabulary.
            if (vocabulary != nullptr) {
                Decoder_ReadPSAFile(decoder, tar, "bdec0/");
                if (decoder->uttInit != nullptr)
                    Decoder_UttInit(decoder, 0, nullptr, 0, nullptr, 2, 0, 1, 0, 0);
            }
            Decoder_ComputeCRC(decoder);
            Decoder_ComputeCommonCRC(decoder);
            Decoder_Delete(decoder, 0);
        }
        Voc_Delete(vocabulary);
    });
}
