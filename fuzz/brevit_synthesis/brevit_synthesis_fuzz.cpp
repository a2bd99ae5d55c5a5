// Vocoder models arrive in the synthesis model file: load the wrapper from
// any archive image and, when it loads, speak ten fixed frames at the model
// rate and at half of it.
#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_tar.h"
#include "core/brevit/synthesis/cep_sample_wrapper.h"
#include "core/brevit/synthesis/cep_to_sample_fix.h"
#include "tests/support/system_engine_context.h"

#include <cstdint>
#include <vector>

namespace {

void speak(CepSampleWrapper* wrapper)
{
    const auto* g = reinterpret_cast<const CepToSampleFix*>(wrapper->generator);
    std::vector<int32_t> c(static_cast<size_t>(g->cepstralLength > 0 ? g->cepstralLength : 1), 0);
    c[0] = 1 << 20;
    for (size_t k = 1; k < c.size(); ++k)
        c[k] = static_cast<int32_t>((k % 2 ? 1 : -1) * (3000 >> (k / 4)));
    std::vector<int16_t> out(static_cast<size_t>(g->hop));
    for (int32_t rate : {g->modelRate, g->modelRate / 2}) {
        if (CepSampleWrapper_StartUtterance(wrapper, rate, 5) != 1)
            continue;
        for (int32_t call = 0; call < 10; ++call) {
            CepSampleWrapper_GeneratePCM(wrapper, 19000 + 500 * call, c.data(), call % 4,
                                         g->hop, out.data());
            CepSampleWrapper_CopySamples(wrapper, g->hop, out.data());
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SystemEngineContext context;
    DVKTar* tar = DVKTar_OpenForMemoryMappedRead(static_cast<uint32_t>(size), data);
    if (tar == nullptr)
        return 0;
    CepSampleWrapper* wrapper = nullptr;
    DVKErr_Protect([&] { wrapper = CepSampleWrapper_LoadFromBinFile(tar, nullptr); });
    DVKTar_Close(tar);
    if (wrapper != nullptr)
        speak(wrapper);
    CepSampleWrapper_Delete(wrapper);
    return 0;
}
