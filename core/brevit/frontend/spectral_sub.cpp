#include "core/brevit/frontend/spectral_sub.h"

#include "core/brevit/frontend/spectral_sub_tables.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <algorithm>

namespace {

// Differences this far apart or more add or subtract nothing.
constexpr int32_t kLogTableReach = 8192;

int16_t logAdd(int16_t a, int16_t b)
{
    SpecSub_LogAdd(&a, b);
    return a;
}

int16_t logSub(int16_t a, int16_t b)
{
    SpecSub_LogSub(&a, b);
    return a;
}

int16_t logSumOf(const int16_t* values, int32_t count)
{
    int16_t sum = values[0];
    for (int32_t i = 1; i < count; ++i)
        SpecSub_LogAdd(&sum, values[i]);
    return sum;
}

int16_t* callocChannels(int32_t count)
{
    return static_cast<int16_t*>(
        DVKMem_Calloc(static_cast<uint32_t>(count) * static_cast<uint32_t>(sizeof(int16_t))));
}

// The decaying line of one valley-filling pass, from `from` towards `to`
// (exclusive), over the values an earlier pass left.
void fillPass(int16_t* y, int32_t from, int32_t to, int32_t k, int32_t q, int16_t dec)
{
    const int32_t direction = to > from ? 1 : -1;
    int16_t e = static_cast<int16_t>(y[from] - dec);
    int16_t d = dec;
    for (int32_t i = from + direction; i != to; i += direction) {
        if (e > y[i]) {
            d = static_cast<int16_t>((k * d + (1 << (q - 1))) >> q);
            y[i] = e;
            e = static_cast<int16_t>(e - d);
        } else {
            e = static_cast<int16_t>(y[i] - dec);
            d = dec;
        }
    }
}

// Largest of the three band scores against the floor; the first channel of
// each band enters without the bias.
int16_t bandMaximum(const SpecSub* st, const int16_t* x, int16_t bias)
{
    int16_t best = st->bandScoreFloor;
    int32_t c = 0;
    for (int32_t b = 0; b < kSpecSubBands; ++b) {
        int16_t score = static_cast<int16_t>(x[c] - st->noise[c]);
        for (++c; c < st->bandEnds[b]; ++c)
            SpecSub_LogAdd(&score, static_cast<int16_t>(x[c] - st->noise[c] - bias));
        best = std::max(best, static_cast<int16_t>(score - st->bandOffsets[b]));
    }
    return best;
}

void updateSpeechScore(SpecSub* st, const int16_t* x)
{
    const int16_t bias = st->globalSnr > st->snrThreshold ? st->bandBias : 0;
    const int16_t e = static_cast<int16_t>(bandMaximum(st, x, bias) + st->scoreExpOffset);
    const int32_t y = SpecSub_Exp(e, st->logShift);
    const int16_t s = st->speechScore;
    const int32_t score =
        logAdd(static_cast<int16_t>(s + st->scoreNumWeight), st->scoreNumConst) -
        logAdd(static_cast<int16_t>(s + st->scoreDenWeight), st->scoreDenConst) + st->scoreOffset +
        y;
    st->speechScore = static_cast<int16_t>(std::min(score, 8 << st->logShift));
}

void pushScore(SpecSub* st)
{
    const int16_t replaced = *st->ringPosition;
    *st->ringPosition = st->speechScore;
    if (++st->ringPosition == st->ringEnd)
        st->ringPosition = st->scoreRing;
    if (st->speechScore >= st->ringMax)
        st->ringMax = st->speechScore;
    else if (replaced == st->ringMax)
        st->ringMax = *std::max_element(st->scoreRing, st->ringEnd);
}

// No speech in the last five frames: the noise follows the previous input at
// a rate set by the ring's maximum.
void updateNoiseOnly(SpecSub* st)
{
    int16_t beta = logAdd(0, static_cast<int16_t>(st->ringMax + st->noiseRateOffset));
    beta = std::min(static_cast<int16_t>(-beta), st->noiseRateMax);
    const int16_t alpha = logSub(0, beta);
    const int16_t* previous = st->prevInput;
    for (int16_t* n = st->noise; n < st->noiseEnd; ++n, ++previous)
        *n = logAdd(static_cast<int16_t>(*n + alpha), static_cast<int16_t>(*previous + beta));
}

// Speech present: only channels whose clean value stays near the noise move
// it, with weights scheduled by that distance.
void updateNoiseDuringSpeech(SpecSub* st, const int16_t* x)
{
    const int32_t m = st->numChannels;
    SpecSub_SubtractNoise(st, st->clean, x, st->noise, 0, 1);
    const int32_t steps = st->updateSteps;
    const int32_t range = static_cast<int16_t>(st->updateHigh - st->updateLow);
    const int32_t step = range / steps;
    const int32_t half = step / 2;
    for (int32_t i = 0; i < m; ++i) {
        const int16_t d = static_cast<int16_t>(st->clean[i] - st->noise[i]);
        if (d >= st->updateHigh)
            continue;
        const int32_t u = d - st->updateLow + half;
        int32_t idx = 0;
        if (d > st->updateLow)
            idx = u < st->updateSwitch ? (steps * u) / range : u / step;
        if (idx < steps)
            st->noise[i] = logAdd(static_cast<int16_t>(st->noise[i] + st->updateNoiseWeight[idx]),
                                  static_cast<int16_t>(x[i] + st->updateInputWeight[idx]));
    }
}

void steadyPhase(SpecSub* st, const int16_t* x)
{
    updateSpeechScore(st, x);
    pushScore(st);
    if (st->delayCount < st->updateDelay)
        ++st->delayCount;
    else if (st->ringMax <= st->ringThreshold)
        updateNoiseOnly(st);
    else
        updateNoiseDuringSpeech(st, x);
    std::copy(x, x + st->numChannels, st->prevInput);
}

void estimateNoise(SpecSub* st, const int16_t* x)
{
    const int32_t f = st->frameCount;
    const int32_t m = st->numChannels;
    if (f == 0) {
        std::copy(x, x + m, st->noise);
        st->speechScore = 0;
    } else if (f < st->initFrames) {
        const int16_t noiseWeight = st->initNoiseWeight[f - 1];
        const int16_t inputWeight = st->initInputWeight[f - 1];
        for (int32_t i = 0; i < m; ++i)
            st->noise[i] = logAdd(static_cast<int16_t>(st->noise[i] + noiseWeight),
                                  static_cast<int16_t>(x[i] + inputWeight));
        st->speechScore = 0;
    } else {
        steadyPhase(st, x);
    }
}

void trackSpeechLevel(SpecSub* st, const int16_t* x)
{
    if (st->speechScore > st->speechThreshold) {
        const int16_t e = logSumOf(x, st->numChannels);
        if (e > st->speechLevel)
            st->speechLevel = logAdd(static_cast<int16_t>(st->speechLevel + st->levelRiseOld),
                                     static_cast<int16_t>(e + st->levelRiseNew));
        else
            st->speechLevel = logAdd(static_cast<int16_t>(st->speechLevel + st->levelFallOld),
                                     static_cast<int16_t>(e + st->levelFallNew));
        st->levelInitialised = 1;
    } else if (st->frameCount < st->initFrames && !st->levelInitialised) {
        st->speechLevel = static_cast<int16_t>(st->noiseTotal + st->levelStartOffset);
    }
}

// ln(1 + S/N) of a clean value against the noise.
int16_t snrOf(int16_t noise, int16_t clean)
{
    return static_cast<int16_t>(logAdd(noise, clean) - noise);
}

void computeGains(SpecSub* st)
{
    const int32_t m = st->numChannels;
    if (st->frameCount == 1) {
        std::fill(st->gain, st->gain + m, int16_t{0});
        return;
    }
    int16_t floor = st->gainFloor;
    if (st->adaptiveFloor)
        floor = static_cast<int16_t>(
            std::max<int32_t>(floor, std::min(0, st->globalSnr - st->snrThreshold)));
    for (int32_t i = 0; i < m; ++i) {
        const int16_t p = st->prioriSnr[i];
        if (p <= 0) {
            st->gain[i] = floor;
            continue;
        }
        const int16_t w = logSub(0, static_cast<int16_t>(-p));  // ln(xi / (1 + xi))
        const int16_t v = static_cast<int16_t>(st->postSnr[i] + w);
        int32_t g = SpecSub_HalfE1(st, v) + w;
        if (st->powerGain)
            g *= 2;
        st->gain[i] = static_cast<int16_t>(std::max<int32_t>(floor, g));
    }
}

} // namespace

int32_t SpecSub_Bucket(int32_t d)
{
    if (d < 2048)
        return d >> 3;
    if (d < 4096)
        return 128 + (d >> 4);
    return 256 + (d >> 5);
}

void SpecSub_LogAdd(int16_t* acc, int16_t b)
{
    int16_t d;
    if (*acc < b) {
        d = static_cast<int16_t>(b - *acc);
        *acc = b;
    } else {
        d = static_cast<int16_t>(*acc - b);
    }
    if (d >= 0 && d < kLogTableReach)
        *acc = static_cast<int16_t>(*acc + lnSumExpTable[SpecSub_Bucket(d)]);
}

void SpecSub_LogSub(int16_t* acc, int16_t b)
{
    const int16_t d = static_cast<int16_t>(*acc - b);
    if (d >= 0 && d < kLogTableReach)
        *acc = static_cast<int16_t>(*acc + lnDiffExpTable[SpecSub_Bucket(d)]);
}

int32_t SpecSub_Exp(int16_t e, int32_t logShift)
{
    const uint16_t bits = static_cast<uint16_t>(e);
    int64_t mant = int64_t{1} << 30;
    int32_t s = 1;
    for (int32_t i = 0; i < kSpecSubExpBits; ++i) {
        if (!(bits & (1u << i)))
            continue;
        mant = exp_mantissa_lut[i] * ((mant + (1 << 14)) >> 15);
        s += exp_scale_lut[i];
        if (mant < 0x3FFFE000) {
            mant *= 2;
            --s;
        }
    }
    while (mant < (int64_t{1} << 30)) {
        mant *= 2;
        --s;
    }
    if (s > 4)
        return 16 << logShift;
    const int32_t shift = 21 - s;
    return shift >= 31 ? 0 : static_cast<int32_t>(mant >> shift);
}

int32_t SpecSub_HalfE1(const SpecSub* st, int16_t v)
{
    const int32_t q = st->logShift;
    const int32_t round = 1 << (24 - q);
    const int32_t sh = 25 - q;
    if (v < st->e1Low)
        return (tableValues[0] + round) >> sh;
    if (v > st->e1High)
        return 0;
    const int32_t step = static_cast<int16_t>(st->e1High - st->e1Low) / 107;
    const int32_t j = (v - st->e1Low) / step;
    // The table's flat end stands for everything past its last interval.
    if (j >= kSpecSubE1TableSize - 1)
        return (tableValues[kSpecSubE1TableSize - 1] + round) >> sh;
    const int32_t r = v - st->e1Low - j * step;
    const int16_t d =
        static_cast<int16_t>((tableValues[j + 1] - tableValues[j] + round) >> sh);
    return ((tableValues[j] + round) >> sh) + (d * r + (step >> 1)) / step;
}

void SpecSub_SubtractNoise(SpecSub* st, int16_t* out, const int16_t* x, const int16_t* noise,
                           int16_t bias, int32_t fill)
{
    for (int32_t i = 0; i < st->numChannels; ++i) {
        const int16_t floor = static_cast<int16_t>(noise[i] + bias);
        int16_t t = st->cleanFloor;
        if (x[i] > floor) {
            t = logSub(x[i], floor);
            t = std::max(t, st->cleanFloor);
        }
        out[i] = t;
        st->cleanSnr[i] = static_cast<int16_t>(t - noise[i]);
    }
    if (fill)
        SpecSub_FillValleys(st, out, st->cleanSnr, st->fillThreshold, st->fillDecrement);
}

void SpecSub_FillValleys(SpecSub* st, int16_t* y, const int16_t* z, int16_t threshold,
                         int16_t decrement)
{
    const int32_t m = st->numChannels;
    const int32_t q = st->logShift;
    if (m - 1 < 1)
        return;
    bool rising = y[1] > y[0];
    int32_t s = 0;
    for (;;) {
        // The segment runs from s to the next peak, or to the last channel.
        int16_t lowest = z[s];
        int32_t j = s + 1;
        while (j < m - 1) {
            const bool r = y[j + 1] > y[j];
            if (rising && !r) {
                rising = false;
                break;
            }
            rising = r;
            lowest = std::min(lowest, z[j]);
            ++j;
        }
        if (threshold > lowest) {
            // Shallower lines for segments higher in frequency.
            const int32_t k = (1 << q) - ((j + s + 1) << q) / (2 * m);
            fillPass(y, s, j, k, q, decrement);
            fillPass(y, j, s, k, q, decrement);
        }
        if (j >= m - 1)
            return;
        s = j;
    }
}

void SpecSub_ProcessFrame(SpecSub* st, int16_t* x)
{
    const int32_t m = st->numChannels;
    estimateNoise(st, x);
    ++st->frameCount;
    st->noiseTotal = logSumOf(st->noise, m);
    trackSpeechLevel(st, x);

    st->globalSnr = static_cast<int16_t>(st->speechLevel - st->noiseTotal);
    SpecSub_SubtractNoise(st, st->clean, x, st->noise, st->subtractBias, 0);
    for (int32_t i = 0; i < m; ++i) {
        st->postSnr[i] = snrOf(st->noise[i], st->clean[i]);
        st->prioriSnr[i] =
            logAdd(static_cast<int16_t>(st->postSnr[i] + st->prioriWeightPost),
                   static_cast<int16_t>(st->prevPrioriSnr[i] + st->prioriWeightPrev));
    }
    computeGains(st);
    // gain and prevPrioriSnr share storage: each gain is read before its
    // place takes the new memory.
    for (int32_t i = 0; i < m; ++i) {
        st->clean[i] = static_cast<int16_t>(st->gain[i] + x[i]);
        st->prevPrioriSnr[i] = snrOf(st->noise[i], st->clean[i]);
    }
    if (st->speechScore > st->speechThreshold) {
        SpecSub_FillValleys(st, st->clean, st->postSnr, st->postFillThreshold,
                            st->postFillDecrement);
        for (int32_t i = 0; i < m; ++i)
            st->clean[i] = std::min(st->clean[i], x[i]);
    }
    std::copy(st->clean, st->clean + m, x);
}

int32_t SpecSub_CallocArrays(SpecSub* st)
{
    const int32_t m = st->numChannels;
    int16_t** perChannel[] = {&st->noise,   &st->prevInput, &st->cleanSnr,     &st->prioriSnr,
                              &st->postSnr, &st->clean,     &st->prevPrioriSnr};
    bool ok = true;
    for (int16_t** array : perChannel)
        ok = ok && (*array = callocChannels(m)) != nullptr;
    ok = ok && (st->scoreRing = callocChannels(kSpecSubRingSize)) != nullptr;
    if (!ok) {
        for (int16_t** array : perChannel) {
            DVKMem_Free(*array);
            *array = nullptr;
        }
        return 0;
    }
    st->gain = st->prevPrioriSnr;
    st->gainEnd = st->gain + m;
    st->ringPosition = st->scoreRing;
    st->ringEnd = st->scoreRing + kSpecSubRingSize;
    return 1;
}

void SpecSub_Reset(SpecSub* st)
{
    const int32_t m = st->numChannels;
    st->frameCount = 0;
    std::fill(st->noise, st->noise + m, int16_t{0});
    std::fill(st->postSnr, st->postSnr + m, int16_t{0});
    std::fill(st->prevPrioriSnr, st->prevPrioriSnr + m, int16_t{0});
    std::fill(st->scoreRing, st->ringEnd, int16_t{0});
    st->ringPosition = st->scoreRing;
    st->ringMax = 0;
    st->speechScore = 0;
    st->globalSnr = 0;
    st->levelInitialised = 0;
    st->delayCount = 0;
}

void SpecSub_Destroy(SpecSub* st)
{
    if (st == nullptr)
        return;
    void* blocks[] = {st->noise,         st->prevInput,
                      st->scoreRing,     st->bandEndsBlock,
                      st->bandOffsetsBlock, st->cleanSnr,
                      st->prioriSnr,     st->postSnr,
                      st->clean,         st->prevPrioriSnr,
                      st->initNoiseWeightBlock, st->initInputWeightBlock,
                      st->updateNoiseWeightBlock, st->updateInputWeightBlock};
    for (void* block : blocks)
        DVKMem_Free(block);
    DVKMem_Free(st);
}
