#include "core/brevit/synthesis/cep_to_sample_fix.h"

#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/synthesis/cep_excitation.h"
#include "core/brevit/synthesis/cep_fixed.h"
#include "core/brevit/synthesis/cep_idct.h"
#include "core/brevit/synthesis/cep_ifft.h"
#include "core/brevit/synthesis/cep_load.h"
#include "core/brevit/synthesis/cep_spectrum_fft.h"
#include "core/brevit/synthesis/cep_spectrum_shape.h"
#include "core/brevit/synthesis/cep_window.h"

#include <cstring>

namespace {

// Deletes a half-built generator unless released, also when a reader's
// allocation raises the engine error part-way.
class BuildGuard {
public:
    explicit BuildGuard(CepToSampleFix* generator) : m_generator(generator) {}
    ~BuildGuard()
    {
        if (m_generator != nullptr)
            CepToSampleFix_Delete(&m_generator->base);
    }
    CepToSampleFix* release()
    {
        CepToSampleFix* g = m_generator;
        m_generator = nullptr;
        return g;
    }
    BuildGuard(const BuildGuard&) = delete;
    BuildGuard& operator=(const BuildGuard&) = delete;

private:
    CepToSampleFix* m_generator;
};

// 16-bit units of the longest inverse transform (order 15).
constexpr int32_t kLargestSpectrum = 2 << 15;
constexpr int32_t kMostSubFrames = 1 << 15;

bool readConfiguration(DVKTar* tar, const char* prefix, CepToSampleFix* g)
{
    uint32_t format = 0;
    if (!BinFileReader_PeekFormatNumber(tar, "bc0", prefix, &format) || format == 0)
        return false;
    BinFileReader* reader = BinFileReader_Create(tar, "bc0", prefix);
    if (reader == nullptr)
        return false;
    int32_t valid = 0;
    int32_t* const sizes[] = {&g->modelRate, &g->hop, &g->frameLength, &g->transformSize};
    int32_t* const config[] = {&g->config[0], &g->config[1], &g->config[2], &g->config[3],
                               &g->config[4], &g->config[5], &g->config[6]};
    int32_t* const levels[] = {&g->levelSlope, &g->levelOffset, &g->subFrames,
                               &g->spectrumLength, &g->ifftOrder, &g->q, &g->levelBase,
                               &g->subFrameIndex, &g->lastPulse, &g->pulseSpacing,
                               &g->bufferIndex, &g->deemphasisMemory};
    const bool ok = BinFileReader_ReadBoolean(reader, &valid) && valid == 1 &&
                    CepLoad_ReadInts(reader, sizes, 4) && CepLoad_ReadInts(reader, config, 7) &&
                    BinFileReader_ReadBoolean(reader, &g->keptFlag) &&
                    BinFileReader_ReadReal(reader, &g->keptReal) &&
                    BinFileReader_ReadShort(reader, &g->deemphasis) &&
                    BinFileReader_ReadShort(reader, &g->secondWord) &&
                    CepLoad_ReadInts(reader, levels, 12) &&
                    BinFileReader_ReadUnsignedInt(reader, &g->noiseSeed) &&
                    BinFileReader_ReadInt(reader, &g->logGainOffset) &&
                    BinFileReader_ReadBoolean(reader, &g->halfRate) &&
                    BinFileReader_ReadInt(reader, &g->pending);
    BinFileReader_Delete(reader);
    // The frame must fit the transform and the spectrum buffer; both rates
    // must keep at least one sample per second. No transform is longer than
    // kLargestSpectrum, and the cross-fade weight has 15 fraction bits, so
    // larger counts only size allocations.
    return ok && g->modelRate >= 2 && g->modelRate <= 65535 && g->hop >= 1 &&
           g->frameLength >= 2 * int64_t{g->hop} && g->subFrames >= 1 &&
           g->subFrames <= kMostSubFrames && g->spectrumLength <= kLargestSpectrum && g->q >= 11 &&
           g->q <= 30 && g->ifftOrder >= 3 && g->ifftOrder <= 15 &&
           g->frameLength <= (2 << g->ifftOrder) && g->transformSize >= 1;
}

// The sub-objects must agree with each other and with "bc0".
bool subObjectsFit(CepToSampleFix* g)
{
    const int32_t size = g->excitation->tableSize;
    if (g->ifft->tableSize != static_cast<uint32_t>(size) || g->ifftOrder > g->ifft->maxOrder ||
        g->spectrumLength < size || g->window->length != g->frameLength ||
        g->shape->bands > g->transformSize || !CepSpecShape_FitTransform(g->shape, size))
        return false;
    if (g->specFFT != nullptr)
        return g->specFFT->specLength == g->transformSize &&
               g->specFFT->order <= g->ifft->maxOrder;
    return g->idct->specLength == g->transformSize;
}

void* allocate(int64_t count, uint32_t size)
{
    const int64_t bytes = count * size;
    if (count < 0 || bytes > kDVKMemMaxRequest)
        return nullptr;
    return DVKMem_Calloc(static_cast<uint32_t>(bytes == 0 ? size : bytes));
}

} // namespace

CepToSample* CepToSampleFix_LoadFromBinFile(DVKTar* tar, const char* prefix)
{
    auto* g = static_cast<CepToSampleFix*>(DVKMem_Calloc(sizeof(CepToSampleFix)));
    if (g == nullptr)
        return nullptr;
    g->base.ops = gCepToSampleBase;
    BuildGuard guard(g);
    if (!readConfiguration(tar, prefix, g))
        return nullptr;
    if (CepLoad_IsPowerOfTwo(g->transformSize)) {
        g->specFFT = CepSpecFFT_LoadFromBinFile(tar, prefix);
        if (g->specFFT == nullptr)
            return nullptr;
        g->cepstralLength = g->specFFT->cepLength;
    } else {
        g->idct = CepIdct_LoadFromBinFile(tar, prefix);
        if (g->idct == nullptr)
            return nullptr;
        g->cepstralLength = g->idct->cepLength;
    }
    if ((g->shape = CepSpecShape_LoadFromBinFile(tar, prefix)) == nullptr ||
        (g->excitation = CepExcitation_LoadFromBinFile(tar, prefix)) == nullptr ||
        (g->ifft = CepIFFT_LoadFromBinFile(tar, prefix)) == nullptr ||
        (g->window = CepWindow_LoadFromBinFile(tar, prefix)) == nullptr || !subObjectsFit(g) ||
        !CepToSampleFix_AllocBuffers(g))
        return nullptr;
    return &guard.release()->base;
}

int32_t CepToSampleFix_AllocBuffers(CepToSampleFix* g)
{
    g->subFrameMarks = static_cast<int32_t*>(allocate(g->subFrames, sizeof(int32_t)));
    g->frameBuffers[0] = static_cast<int16_t*>(allocate(g->frameLength, sizeof(int16_t)));
    g->frameBuffers[1] = static_cast<int16_t*>(allocate(g->frameLength, sizeof(int16_t)));
    g->tail = static_cast<int16_t*>(allocate(g->frameLength - g->hop, sizeof(int16_t)));
    g->outputHop = static_cast<int16_t*>(allocate(g->hop, sizeof(int16_t)));
    g->spectrum = static_cast<int16_t*>(allocate(g->spectrumLength, sizeof(int16_t)));
    g->logSpectrum = static_cast<int16_t*>(allocate(g->transformSize, sizeof(int16_t)));
    return g->subFrameMarks != nullptr && g->frameBuffers[0] != nullptr &&
           g->frameBuffers[1] != nullptr && g->tail != nullptr && g->outputHop != nullptr &&
           g->spectrum != nullptr && g->logSpectrum != nullptr;
}

void CepToSampleFix_Delete(CepToSample* generator)
{
    auto* g = reinterpret_cast<CepToSampleFix*>(generator);
    if (g == nullptr)
        return;
    CepIdct_Delete(g->idct);
    CepSpecFFT_Delete(g->specFFT);
    CepSpecShape_Delete(g->shape);
    CepExcitation_Delete(g->excitation);
    CepIFFT_Delete(g->ifft);
    CepWindow_Delete(g->window);
    DVKMem_Free(g->subFrameMarks);
    DVKMem_Free(g->frameBuffers[0]);
    DVKMem_Free(g->frameBuffers[1]);
    DVKMem_Free(g->tail);
    DVKMem_Free(g->outputHop);
    DVKMem_Free(g->fadeBuffer);
    DVKMem_Free(g->spectrum);
    DVKMem_Free(g->logSpectrum);
    DVKMem_Free(g);
}

int32_t CepToSampleFix_StartUtterance(CepToSample* generator, int32_t rate, int32_t level)
{
    auto* g = reinterpret_cast<CepToSampleFix*>(generator);
    int32_t half;
    if (rate == g->modelRate)
        half = 0;
    else if (rate == g->modelRate / 2)
        half = 1;
    else
        return 0;
    g->halfRate = half;
    std::memset(g->bufferPeriods, 0, sizeof(g->bufferPeriods));
    std::memset(g->bufferMarks, 0, sizeof(g->bufferMarks));
    std::memset(g->pulses, 0, sizeof(g->pulses));
    std::memset(g->subFrameMarks, 0, sizeof(int32_t) * g->subFrames);
    std::memset(g->frameBuffers[0], 0, sizeof(int16_t) * g->frameLength);
    std::memset(g->frameBuffers[1], 0, sizeof(int16_t) * g->frameLength);
    std::memset(g->tail, 0, sizeof(int16_t) * (g->frameLength - g->hop));
    std::memset(g->outputHop, 0, sizeof(int16_t) * g->hop);
    g->noiseSeed = 1;
    g->pending = 0;
    g->pulseSpacing = 80;
    g->subFrameIndex = 0;
    g->lastPulse = 0;
    g->bufferIndex = 0;
    g->deemphasisMemory = 0;
    // 3773 / 4096 turns dB with 8 fraction bits into a natural-log amplitude
    // with 11 fraction bits.
    const int64_t level64 = int64_t{g->levelOffset} + int64_t{g->levelSlope} * level;
    g->logGainOffset = static_cast<int32_t>(
        CepFixed_Sat32(g->levelBase + CepFixed_Shr(CepFixed_Sat32(level64) * 3773, 12)));
    g->started = 1;
    return 1;
}

int32_t CepToSampleFix_CopySamples(CepToSample* generator, int32_t capacity, int16_t* samples)
{
    auto* g = reinterpret_cast<CepToSampleFix*>(generator);
    if (!g->started || capacity <= 0 || g->pending <= 0)
        return 0;
    const int32_t hop = g->halfRate ? g->hop / 2 : g->hop;
    const int32_t n = capacity < g->pending ? capacity : g->pending;
    std::memcpy(samples, g->outputHop + (hop - g->pending), sizeof(int16_t) * n);
    g->pending -= n;
    return n;
}
