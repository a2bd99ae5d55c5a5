#include "core/brevit/synthesis/cep_to_sample.h"

#include "core/brevit/synthesis/cep_to_sample_fix.h"

const CepToSampleOps gCepToSampleBase = {
    CepToSampleFix_Delete, CepToSampleFix_StartUtterance, CepToSampleFix_GeneratePCM,
    CepToSampleFix_CopySamples, nullptr, nullptr, nullptr,
};

CepToSample* CepToSample_LoadFromBinFile(DVKTar* tar, const char* prefix)
{
    return CepToSampleFix_LoadFromBinFile(tar, prefix);
}

void CepToSample_Delete(CepToSample* generator)
{
    if (generator != nullptr && generator->ops.deleteGenerator != nullptr)
        generator->ops.deleteGenerator(generator);
}

int32_t CepToSample_StartUtterance(CepToSample* generator, int32_t rate, int32_t level)
{
    if (generator == nullptr || generator->ops.startUtterance == nullptr)
        return 0;
    return generator->ops.startUtterance(generator, rate, level);
}

int32_t CepToSample_GeneratePCM(CepToSample* generator, int32_t logPitch, const int32_t* cepstrum,
                                int32_t voicing, int32_t capacity, int16_t* samples)
{
    if (generator == nullptr || generator->ops.generatePCM == nullptr)
        return 0;
    return generator->ops.generatePCM(generator, logPitch, cepstrum, voicing, capacity, samples);
}

int32_t CepToSample_CopySamples(CepToSample* generator, int32_t capacity, int16_t* samples)
{
    if (generator == nullptr || generator->ops.copySamples == nullptr)
        return 0;
    return generator->ops.copySamples(generator, capacity, samples);
}

uint32_t CepToSample_ComputeCRC(CepToSample* generator)
{
    if (generator == nullptr || generator->ops.computeCRC == nullptr)
        return 0xFFFFFFFFu;
    return generator->ops.computeCRC(generator);
}

int32_t CepToSample_WriteBinFile(CepToSample* generator, DVKTar* tar, const char* prefix)
{
    if (generator == nullptr || generator->ops.writeBinFile == nullptr)
        return 0;
    return generator->ops.writeBinFile(generator, tar, prefix);
}
