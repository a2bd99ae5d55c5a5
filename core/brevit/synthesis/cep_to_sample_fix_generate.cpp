// One call of the fixed-point vocoder: pulses, a spectral frame every M
// calls, cross-fade and pulse alignment, window, overlap-add, de-emphasis.
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/synthesis/cep_excitation.h"
#include "core/brevit/synthesis/cep_fixed.h"
#include "core/brevit/synthesis/cep_idct.h"
#include "core/brevit/synthesis/cep_ifft.h"
#include "core/brevit/synthesis/cep_spectrum_fft.h"
#include "core/brevit/synthesis/cep_spectrum_shape.h"
#include "core/brevit/synthesis/cep_to_sample_fix.h"
#include "core/brevit/synthesis/cep_window.h"

#include <cstring>

namespace {

// Time frame of the current spectral frame into the spectrum buffer; returns
// its block exponent.
int32_t computeFrame(CepToSampleFix* g, const int32_t* cepstrum, int32_t voicing,
                     int32_t pulseCount)
{
    if (g->specFFT != nullptr)
        CepSpecFFT_Cepstrum(g->specFFT, g->ifft, g->logGainOffset, g->q, cepstrum,
                            g->logSpectrum);
    else
        CepIdct_Apply(g->idct, g->logGainOffset, g->q, cepstrum, g->logSpectrum);
    int32_t exponent = 0;
    CepSpecShape_Apply(g->shape, g->halfRate, &exponent, g->logSpectrum, g->spectrum);
    CepExcitation_Apply(g->excitation, g->halfRate, voicing, pulseCount, g->pulses,
                        &g->noiseSeed, &exponent, g->spectrum);
    CepIFFT_Apply(g->ifft, g->halfRate ? g->ifftOrder - 1 : g->ifftOrder, g->spectrum);
    return exponent - 1;
}

// output[s + i] = input[i], output[i] = input[F - s + i].
void rotateRight(const int16_t* input, int32_t frame, int32_t s, int16_t* output)
{
    std::memcpy(output + s, input, sizeof(int16_t) * (frame - s));
    std::memcpy(output, input + frame - s, sizeof(int16_t) * s);
}

int64_t distance(int64_t a, int64_t b) { return a > b ? a - b : b - a; }

// Where the faded frame's pulse should land when no mark was recorded for the
// next sub-frame: the pulse grid of either buffer, stepped towards the middle.
int32_t searchShift(const CepToSampleFix* g, int32_t index, int32_t hop, int32_t frame)
{
    const int32_t current = g->bufferIndex;
    const int32_t previous = 1 - current;
    const int64_t middle = frame / 2;
    int64_t p = 0;
    if (g->bufferMarks[previous] > 0 && g->bufferPeriods[previous] > 0) {
        const int64_t period = g->bufferPeriods[previous];
        p = g->bufferMarks[previous] - int64_t{index + 1} * hop;
        while (distance(p + period, middle) < distance(p, middle))
            p += period;
    } else if (g->bufferMarks[current] > 0 && g->bufferPeriods[current] > 0) {
        const int64_t period = g->bufferPeriods[current];
        p = g->bufferMarks[current] + int64_t{g->subFrames - 1 - index} * hop;
        while (distance(p - period, middle) < distance(p, middle))
            p -= period;
    }
    if (p <= 0)
        return 0;
    return p > frame - 1 ? frame - 1 : static_cast<int32_t>(p);
}

// Cross-fades and aligns the two stored frames into output; the result has
// block exponent 0.
void assembleSubFrame(CepToSampleFix* g, bool fresh, int32_t exponent, int32_t pulseCount,
                      int32_t hop, int32_t frame, int16_t* output)
{
    const int32_t index = g->subFrameIndex;
    const int32_t mark = pulseCount > 0 ? g->pulses[pulseCount / 2] : 0;
    g->subFrameMarks[index] = mark;
    if (fresh) {
        g->bufferIndex ^= 1;
        g->bufferPeriods[g->bufferIndex] = g->pulseSpacing;
        g->bufferMarks[g->bufferIndex] = mark;
        int16_t* buffer = g->frameBuffers[g->bufferIndex];
        for (int32_t i = 0; i < frame; ++i) {
            const int32_t from = mark + i < frame ? mark + i : mark + i - frame;
            buffer[i] = CepFixed_Sat16(CepFixed_RoundShift(g->spectrum[from], exponent));
        }
    }
    const int16_t* current = g->frameBuffers[g->bufferIndex];
    const int16_t* previous = g->frameBuffers[1 - g->bufferIndex];
    int32_t s = index + 1 < g->subFrames ? g->subFrameMarks[index + 1] : g->subFrameMarks[0];
    if (index == g->subFrames - 1) {
        rotateRight(current, frame, s, output);
        return;
    }
    if (s == 0)
        s = searchShift(g, index, hop, frame);

    int16_t* faded = g->fadeBuffer;
    uint32_t scratchMark = 0;
    bool scratch = false;
    if (g->fadeLength < g->frameLength) {
        auto* grown =
            static_cast<int16_t*>(DVKMem_Malloc(sizeof(int16_t) * g->frameLength));
        if (grown != nullptr) {
            DVKMem_Free(g->fadeBuffer);
            g->fadeBuffer = grown;
            g->fadeLength = g->frameLength;
            faded = grown;
        } else {
            scratchMark = DVKTempMem_GetMark();
            faded = static_cast<int16_t*>(DVKTempMem_Malloc(sizeof(int16_t) * frame));
            scratch = true;
        }
    }
    const int64_t w = (int64_t{index + 1} << 15) / g->subFrames;
    for (int32_t i = 0; i < frame; ++i)
        faded[i] = static_cast<int16_t>((current[i] * w + previous[i] * (32768 - w)) >> 15);
    if (s > 0) {
        rotateRight(faded, frame, s, output);
    } else if (index % 2 == 0) {
        // No pulse to align to: alternate the direction of time so that
        // repeated noise frames do not buzz.
        for (int32_t i = 0; i < frame; ++i)
            output[i] = faded[frame - 1 - i];
    } else {
        std::memcpy(output, faded, sizeof(int16_t) * frame);
    }
    if (scratch)
        DVKTempMem_ReleaseToMark(scratchMark);
}

} // namespace

int32_t CepToSampleFix_GeneratePCM(CepToSample* generator, int32_t logPitch,
                                   const int32_t* cepstrum, int32_t voicing, int32_t capacity,
                                   int16_t* samples)
{
    auto* g = reinterpret_cast<CepToSampleFix*>(generator);
    if (!g->started)
        return 0;
    const int32_t c0 = CepToSampleFix_CopySamples(generator, capacity, samples);
    const int32_t hop = g->halfRate ? g->hop / 2 : g->hop;
    const int32_t frame = g->halfRate ? g->frameLength / 2 : g->frameLength;
    const int32_t rate = g->halfRate ? g->modelRate / 2 : g->modelRate;

    const CepPulseState pulseState = {g->pulses, &g->lastPulse, &g->pulseSpacing};
    const int32_t pulseCount =
        CepToSampleFix_UpdatePulses(&pulseState, logPitch, voicing, g->q, hop, frame, rate);

    const bool fresh = g->subFrameIndex == 0;
    int32_t exponent = 0;
    if (fresh)
        exponent = computeFrame(g, cepstrum, voicing, pulseCount);

    int16_t* output = g->spectrum;
    if (g->subFrames >= 2) {
        // The spectrum buffer is free again once the new frame is stored.
        assembleSubFrame(g, fresh, exponent, pulseCount, hop, frame, output);
        exponent = 0;
    }
    CepWindow_Apply(g->window, g->halfRate, exponent, output);

    int16_t* tail = g->tail;
    int16_t* out = g->outputHop;
    for (int32_t i = 0; i < hop; ++i)
        out[i] = CepFixed_Sat16(int64_t{output[i]} + tail[i]);
    for (int32_t i = 0; i < frame - 2 * hop; ++i)
        tail[i] = CepFixed_Sat16(int64_t{output[hop + i]} + tail[hop + i]);
    std::memcpy(tail + frame - 2 * hop, output + frame - hop, sizeof(int16_t) * hop);

    int64_t y = g->deemphasisMemory;
    for (int32_t i = 0; i < hop; ++i) {
        y = CepFixed_Sat16(out[i] + ((g->deemphasis * y + 16384) >> 15));
        out[i] = static_cast<int16_t>(y);
    }
    g->deemphasisMemory = static_cast<int32_t>(y);

    const int32_t room = capacity - c0 > 0 ? capacity - c0 : 0;
    const int32_t n = room < hop ? room : hop;
    if (n > 0)
        std::memcpy(samples + c0, out, sizeof(int16_t) * n);
    g->pending = hop - n;
    g->subFrameIndex = g->subFrameIndex + 1 == g->subFrames ? 0 : g->subFrameIndex + 1;
    return c0 + n;
}
