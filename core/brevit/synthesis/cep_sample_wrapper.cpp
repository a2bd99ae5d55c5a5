#include "core/brevit/synthesis/cep_sample_wrapper.h"
#include "core/brevit/synthesis/cep_to_sample_fix.h"

#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/synthesis/cep_load.h"
#include "core/brevit/synthesis/cep_to_sample.h"

CepSampleWrapper* CepSampleWrapper_LoadFromBinFile(DVKTar* tar, const char* prefix)
{
    BinFileReader* reader = BinFileReader_Create(tar, "bcs0", prefix);
    if (reader == nullptr)
        return nullptr;
    CepSampleWrapper read = {};
    int32_t* const fields[] = {&read.kept[0], &read.kept[1], &read.kept[2]};
    const bool ok =
        CepLoad_ReadInts(reader, fields, 3) && BinFileReader_ReadBoolean(reader, &read.keptFlag);
    BinFileReader_Delete(reader);
    if (!ok)
        return nullptr;
    // The wrapper is allocated last, so a raise while the generator loads
    // leaves nothing behind.
    read.generator = CepToSample_LoadFromBinFile(tar, prefix);
    if (read.generator == nullptr)
        return nullptr;
    auto* wrapper = static_cast<CepSampleWrapper*>(DVKMem_Malloc(sizeof(CepSampleWrapper)));
    if (wrapper == nullptr) {
        CepToSample_Delete(read.generator);
        return nullptr;
    }
    *wrapper = read;
    return wrapper;
}

void CepSampleWrapper_Delete(CepSampleWrapper* wrapper)
{
    if (wrapper == nullptr)
        return;
    CepToSample_Delete(wrapper->generator);
    DVKMem_Free(wrapper);
}

int32_t CepSampleWrapper_StartUtterance(CepSampleWrapper* wrapper, int32_t rate, int32_t level)
{
    return CepToSample_StartUtterance(wrapper->generator, rate, level);
}

int32_t CepSampleWrapper_GeneratePCM(CepSampleWrapper* wrapper, int32_t logPitch,
                                     const int32_t* cepstrum, int32_t voicing, int32_t capacity,
                                     int16_t* samples)
{
    return CepToSample_GeneratePCM(wrapper->generator, logPitch, cepstrum, voicing, capacity,
                                   samples);
}

int32_t CepSampleWrapper_CopySamples(CepSampleWrapper* wrapper, int32_t capacity,
                                     int16_t* samples)
{
    return CepToSample_CopySamples(wrapper->generator, capacity, samples);
}

uint32_t CepSampleWrapper_ComputeCRC(const CepSampleWrapper*)
{
    return 0xFFFFFFFFu;
}

int32_t CepSampleWrapper_GetCepstralLength(const CepSampleWrapper* wrapper)
{
    if (wrapper == nullptr || wrapper->generator == nullptr)
        return 0;
    // The fixed-point generator is the only one a wrapper loads.
    return reinterpret_cast<const CepToSampleFix*>(wrapper->generator)->cepstralLength;
}
