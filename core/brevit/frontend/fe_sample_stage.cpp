#include "core/brevit/frontend/fe_sample_stage.h"

#include "core/brevit/frontend/fe_fixed_math.h"
#include "core/brevit/frontend/fe_reader.h"
#include "core/brevit/frontend/fe_simd.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

bool readSettings(DVKTar* tar, const char* prefix, FEFixSampleStage* stage)
{
    BinFileReader* reader = FEReader_Open(tar, "bsc0", prefix);
    if (reader == nullptr)
        return false;
    const bool ok = BinFileReader_ReadInt(reader, &stage->sampleRate) &&
                    BinFileReader_ReadInt(reader, &stage->samplesInShift) &&
                    BinFileReader_ReadInt(reader, &stage->samplesInWindow) &&
                    BinFileReader_ReadInt(reader, &stage->bufferLength) &&
                    BinFileReader_ReadInt(reader, &stage->fftSize) &&
                    BinFileReader_ReadBoolean(reader, &stage->foldWindow) &&
                    BinFileReader_ReadInt(reader, &stage->filterBankValue1) &&
                    BinFileReader_ReadInt(reader, &stage->filterBankValue2) &&
                    BinFileReader_ReadInt(reader, &stage->numChannels) &&
                    BinFileReader_ReadInt(reader, &stage->numCepstra) &&
                    BinFileReader_ReadBoolean(reader, &stage->rawSamples) &&
                    BinFileReader_ReadBoolean(reader, &stage->powerScale);
    BinFileReader_Delete(reader);
    return ok;
}

bool settingsValid(const FEFixSampleStage* s)
{
    return s->sampleRate >= 1 && s->samplesInWindow >= 2 && s->samplesInWindow < (1 << 16) &&
           s->bufferLength >= s->samplesInWindow && s->bufferLength <= (1 << 20) &&
           s->samplesInShift >= 1 && s->samplesInShift <= s->bufferLength &&
           s->fftSize >= 8 && s->fftSize <= (1 << 16) && s->numChannels >= 1 &&
           s->numChannels <= 4096 && s->numCepstra >= 1 && s->numCepstra <= 4096;
}

// The stages must agree with "bsc0" and with each other on every size they
// index by.
bool stagesAgree(const FEFixSampleStage* s)
{
    const FrameWindow* w = s->window;
    return w->windowLength == s->samplesInWindow && w->outputLength == s->fftSize &&
           w->fold == s->foldWindow && s->fft->size == s->fftSize &&
           s->filterBank->numChannels == s->numChannels &&
           s->filterBank->bounds[s->numChannels + 1] <= static_cast<uint32_t>(s->fftSize / 2 + 1) &&
           s->dct->numInputs == s->numChannels && s->dct->numCepstra == s->numCepstra;
}

template <typename T>
T* allocate(int32_t count)
{
    return static_cast<T*>(DVKMem_Calloc(static_cast<uint32_t>(count) * sizeof(T)));
}

// The copy of the previous cepstra into the ring row.
void repeatCepstra(const FEFixSampleStage* stage, int16_t* ringRow)
{
    std::memcpy(ringRow, stage->cepstra, stage->numCepstra * sizeof(int16_t));
}

int32_t finishFrame(FEFixSampleStage* stage, int16_t* ringRow, uint8_t* flags)
{
    std::memcpy(ringRow, stage->cepstra, stage->numCepstra * sizeof(int16_t));
    const int32_t bits = LevelTracker_Process(stage->tracker, stage->cepstra[0]);
    *flags = static_cast<uint8_t>(bits);
    stage->frameCount += 1;
    return (bits & 2) ? kFEStatusSpeech : kFEStatusNoSpeech;
}

// One sample of the energy sum: the sum is quartered (and later terms
// shifted down two more bits) whenever it passes 2^30.
inline void energyStep(int32_t x, uint32_t& acc, int32_t& shift)
{
    acc += static_cast<uint32_t>(x * x) >> shift;
    if (acc > 0x3FFFFFFFu) {
        acc >>= 2;
        shift += 2;
    }
}

// RMS of the window, by the stage's own integer rules.
uint16_t frameEnergy(const int16_t* v, int32_t count)
{
    uint32_t acc = 0;
    int32_t shift = 0;
    int32_t i = 0;
#if defined(__SSE2__)
    // Eight terms at a time while their sum keeps the total at or below
    // 2^30: no quartering can happen inside such a block (the terms are not
    // negative). A block that would cross it goes term by term.
    if (FESimd_Level() >= kFESimdSSE2) {
        for (; i + 8 <= count; i += 8) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(v + i));
            const __m128i lo = _mm_mullo_epi16(x, x);
            const __m128i hi = _mm_mulhi_epi16(x, x);
            const __m128i by = _mm_cvtsi32_si128(shift);
            // Each square is at most 2^30, so two of them fit 32 unsigned bits.
            const __m128i pairs = _mm_add_epi32(_mm_srl_epi32(_mm_unpacklo_epi16(lo, hi), by),
                                                _mm_srl_epi32(_mm_unpackhi_epi16(lo, hi), by));
            const __m128i zero = _mm_setzero_si128();
            const __m128i wide = _mm_add_epi64(_mm_unpacklo_epi32(pairs, zero),
                                               _mm_unpackhi_epi32(pairs, zero));
            alignas(16) uint64_t halves[2];
            _mm_store_si128(reinterpret_cast<__m128i*>(halves), wide);
            const uint64_t sum = halves[0] + halves[1];
            if (acc + sum <= 0x3FFFFFFFu) {
                acc += static_cast<uint32_t>(sum);
            } else {
                for (int32_t j = i; j < i + 8; ++j)
                    energyStep(v[j], acc, shift);
            }
        }
    }
#endif
    for (; i < count; ++i)
        energyStep(v[i], acc, shift);
    const uint32_t mean = acc / static_cast<uint16_t>(count);
    const uint64_t scaled = uint64_t{mean} << shift;
    return static_cast<uint16_t>(FixedSqrt(scaled > 0xFFFFFFFFu ? 0xFFFFFFFFu
                                                                 : static_cast<uint32_t>(scaled)));
}

// The first difference of x into out, clipped to +-16383, from previous;
// true when 32 zero differences in a row occur.
bool firstDifference(const int16_t* x, int32_t count, int32_t previous, int16_t* out)
{
    int32_t run = 0;
    bool silent = false;
    int32_t i = 0;
#if defined(__SSE2__)
    if (FESimd_Level() >= kFESimdSSE2) {
        const __m128i top = _mm_set1_epi16(16383);
        const __m128i bottom = _mm_set1_epi16(-16383);
        for (; i + 8 <= count; i += 8) {
            const __m128i now = _mm_loadu_si128(reinterpret_cast<const __m128i*>(x + i));
            const __m128i before = _mm_or_si128(
                _mm_slli_si128(now, 2), _mm_cvtsi32_si128(static_cast<uint16_t>(previous)));
            // Saturation only touches differences the clip would cut anyway.
            const __m128i d = _mm_max_epi16(_mm_min_epi16(_mm_subs_epi16(now, before), top), bottom);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), d);
            // Two mask bits a sample: set where the difference is zero.
            const uint32_t nonzero =
                ~static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi16(now, before))) & 0xFFFFu;
            if (nonzero == 0) {
                run += 8;
            } else {
                run += __builtin_ctz(nonzero) / 2;
                silent = silent || run >= kFEDigitalSilenceRun;
                // Runs inside a block are too short to count; the top one goes on.
                run = (__builtin_clz(nonzero) - 16) / 2;
            }
            silent = silent || run >= kFEDigitalSilenceRun;
            previous = x[i + 7];
        }
    }
#endif
    for (; i < count; ++i) {
        const int32_t d = x[i] - previous;
        previous = x[i];
        out[i] = static_cast<int16_t>(d < -16383 ? -16383 : (d > 16383 ? 16383 : d));
        run = d == 0 ? run + 1 : 0;
        if (run >= kFEDigitalSilenceRun)
            silent = true;
    }
    return silent;
}

} // namespace

FEFixSampleStage* FEFixSampleStage_LoadFromBinFile(DVKTar* tar, const char* prefix)
{
    auto* stage = static_cast<FEFixSampleStage*>(DVKMem_Calloc(sizeof(FEFixSampleStage)));
    if (stage == nullptr)
        return nullptr;
    bool ok = readSettings(tar, prefix, stage) && settingsValid(stage);
    if (ok) {
        stage->samples = allocate<int16_t>(stage->bufferLength);
        stage->fftBuffer = allocate<int16_t>(stage->fftSize + 2);
        stage->spectrum = allocate<uint32_t>(stage->fftSize / 2 + 1);
        stage->filterOutputs = allocate<int16_t>(stage->numChannels);
        stage->cepstra = allocate<int16_t>(stage->numCepstra);
        ok = stage->samples != nullptr && stage->fftBuffer != nullptr &&
             stage->spectrum != nullptr && stage->filterOutputs != nullptr &&
             stage->cepstra != nullptr;
    }
    ok = ok && (stage->window = FrameWindow_LoadFromBinFile(tar, prefix)) != nullptr;
    ok = ok && (stage->fft = FixedFFT_LoadFromBinFile(tar, prefix)) != nullptr;
    ok = ok && (stage->filterBank = FilterBank_LoadFromBinFile(tar, prefix)) != nullptr;
    ok = ok && (stage->dct = CepstrumDCT_LoadFromBinFile(tar, prefix)) != nullptr;
    ok = ok && stagesAgree(stage);
    ok = ok && (stage->spectrumStage = SpectrumStage_Create(stage->fftSize)) != nullptr;
    ok = ok && (stage->warp = FrequencyWarp_Create(stage->sampleRate, stage->fftSize)) != nullptr;
    ok = ok && (stage->tracker = LevelTracker_Create(stage->sampleRate, stage->samplesInShift)) !=
                   nullptr;
    if (!ok) {
        FEFixSampleStage_Destroy(stage);
        return nullptr;
    }
    stage->lastStatus = kFEStatusNoFrame;
    return stage;
}

void FEFixSampleStage_Destroy(FEFixSampleStage* stage)
{
    if (stage == nullptr)
        return;
    LevelTracker_Destroy(stage->tracker);
    CepstrumDCT_Destroy(stage->dct);
    FilterBank_Destroy(stage->filterBank);
    FrequencyWarp_Destroy(stage->warp);
    SpectrumStage_Destroy(stage->spectrumStage);
    FixedFFT_Destroy(stage->fft);
    FrameWindow_Destroy(stage->window);
    DVKMem_Free(stage->samples);
    DVKMem_Free(stage->fftBuffer);
    DVKMem_Free(stage->spectrum);
    DVKMem_Free(stage->filterOutputs);
    DVKMem_Free(stage->cepstra);
    DVKMem_Free(stage);
}

int32_t FEFixSampleStage_FeedSamples(FEFixSampleStage* stage, const int16_t* x, int16_t* ringRow,
                                     uint8_t* flags)
{
    const int32_t shift = stage->samplesInShift;
    const int32_t keep = stage->bufferLength - shift;
    int16_t* newest = stage->samples + keep;
    *flags = 0;
    std::memmove(stage->samples, stage->samples + shift, keep * sizeof(int16_t));

    if (stage->rawSamples) {
        std::memcpy(newest, x, shift * sizeof(int16_t));
        if (stage->frameCount == 0)
            std::memcpy(stage->samples, x, shift * sizeof(int16_t));
    } else {
        const bool silent = firstDifference(x, shift, stage->lastSample, newest);
        stage->lastSample = x[shift - 1];
        if (silent) {
            repeatCepstra(stage, ringRow);
            return stage->lastStatus;
        }
        if ((stage->frameCount + 1) * shift < stage->samplesInWindow) {
            stage->frameCount += 1;
            return stage->lastStatus;
        }
    }

    stage->energy = frameEnergy(stage->samples, stage->samplesInWindow);
    const int32_t k = FrameWindow_Apply(stage->window, stage->samples, stage->fftBuffer);
    const int32_t s = FixedFFT_Apply(stage->fft, stage->fftBuffer);
    SpectrumStage_Apply(stage->spectrumStage, stage->fftBuffer, stage->spectrum);
    FrequencyWarp_Apply(stage->warp, stage->spectrum);
    int32_t exponent = k - s;
    if (stage->rawSamples)
        exponent = s + 1 + 2 * (k - s);
    else if (stage->powerScale)
        exponent = 2 * (k - s);
    FilterBank_Apply(stage->filterBank, exponent, stage->spectrum, stage->filterOutputs);
    CepstrumDCT_Apply(stage->dct, stage->filterOutputs, stage->cepstra);
    stage->lastStatus = finishFrame(stage, ringRow, flags);
    return stage->lastStatus;
}

int32_t FEFixSampleStage_FeedCepstra(FEFixSampleStage* stage, const int16_t* cepstra,
                                     int32_t energy, int16_t* ringRow, uint8_t* flags)
{
    stage->energy = static_cast<uint16_t>(energy < 0 ? 0 : (energy > 65535 ? 65535 : energy));
    std::memcpy(stage->cepstra, cepstra, stage->numCepstra * sizeof(int16_t));
    return finishFrame(stage, ringRow, flags);
}

void FEFixSampleStage_StartUtterance(FEFixSampleStage* stage)
{
    std::memset(stage->samples, 0, stage->bufferLength * sizeof(int16_t));
    stage->frameCount = 0;
    stage->lastStatus = kFEStatusNoFrame;
    stage->lastSample = 0;
    FilterBank_StartUtterance(stage->filterBank);
    LevelTracker_StartUtterance(stage->tracker);
}

void FEFixSampleStage_EndUtterance(FEFixSampleStage*) {}

void FEFixSampleStage_Reset(FEFixSampleStage* stage) { LevelTracker_SetDefaults(stage->tracker); }

uint16_t FEFixSampleStage_GetEnergy(const FEFixSampleStage* stage) { return stage->energy; }

int32_t FEFixSampleStage_GetNumChannels(const FEFixSampleStage* stage)
{
    return stage->numChannels;
}

int32_t FEFixSampleStage_GetTrackerHistoryLength(const FEFixSampleStage* stage)
{
    return stage->tracker->L;
}

void FEFixSampleStage_GetFloorPeak(const FEFixSampleStage* stage, uint16_t out[2])
{
    LevelTracker_GetFloorPeak(stage->tracker, out);
}

void FEFixSampleStage_SetFloorPeak(FEFixSampleStage* stage, const uint16_t in[2])
{
    LevelTracker_SetFloorPeak(stage->tracker, in);
}

void FEFixSampleStage_GetFilterBankValues(const FEFixSampleStage* stage, uint32_t values[3])
{
    FilterBank_GetSnapshotValues(stage->filterBank, values);
}

void FEFixSampleStage_SetFilterBankValues(FEFixSampleStage* stage, const uint32_t values[3])
{
    FilterBank_SetSnapshotValues(stage->filterBank, values);
}

int32_t FEFixSampleStage_GetWarpIndex(const FEFixSampleStage* stage)
{
    return FrequencyWarp_GetIndex(stage->warp);
}

int32_t FEFixSampleStage_SetWarpIndex(FEFixSampleStage* stage, int32_t index)
{
    return FrequencyWarp_SetIndex(stage->warp, index);
}

int32_t FEFixSampleStage_GetMaxWarpIndex(const FEFixSampleStage* stage)
{
    return FrequencyWarp_GetMaxIndex(stage->warp);
}

int32_t FEFixSampleStage_RunTracker(FEFixSampleStage* stage, int16_t c0)
{
    return LevelTracker_Process(stage->tracker, c0);
}
