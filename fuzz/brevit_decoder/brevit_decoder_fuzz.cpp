// A decoder comes from a model set or user storage: "bdec0/bd0" names its
// kind and option; load it over a stand-in model, read its saved state from
// the same archive, take its checksum and delete it. Linear-chain kinds are
// made by a scripted decoder kind until the real one is linked.
#include "core/brevit/acoustic/am.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/search/decoder.h"
#include "core/brevit/search/linch_decoder_provisional.h"
#include "tests/support/fuzz_archive_image.h"
#include "tests/support/scripted_decoder.h"

#include <cstdint>
#include <cstring>

namespace {

ScriptedDecoder g_script;

Decoder* scriptedCreator(Voc*, AM*, int32_t, int32_t, int32_t kind9)
{
    return kind9 ? nullptr : g_script.create();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static BrevitGlobalParameters params = [] {
        BrevitGlobalParameters p;
        std::memset(&p, 0, sizeof(p));
        p.words[kBrevitParamLinearChainKinds] = 1;
        return p;
    }();
    static AM model = [] {
        AM m{};
        m.statesPerModel = 1;
        return m;
    }();
    gpBrevitGlobalParameters = &params;
    LinChDecoder_InstallCreator(scriptedCreator);
    g_script.log.clear();
    return fuzzArchiveImage(data, size, [&](DVKTar* tar) {
        Decoder* decoder = Decoder_LoadFromBinFile(tar, "bdec0/", nullptr, &model, nullptr, nullptr);
        if (decoder == nullptr)
            return;
        Decoder_ReadPSAFile(decoder, tar, "bdec0/");
        Decoder_ComputeCRC(decoder);
        Decoder_ComputeCommonCRC(decoder);
        Decoder_Delete(decoder, 0);
    });
}
