// Noise reduction on the filter bank's log energies: a running noise
// estimate, per-channel log-spectral amplitude gains from a-posteriori and
// decision-directed a-priori SNRs, a three-band speech score that sets how
// fast the noise follows the input, and valley filling between spectral
// peaks. Everything is 16-bit fixed point in the log domain (Q logShift,
// natural logs); log values are stored and compared as int16 and their sums
// and differences wrap at 16 bits.
//
// No model file carries this stage: whoever installs it allocates the state,
// sets numChannels and the parameters, calls SpecSub_CallocArrays, sets
// noiseEnd, supplies the six tables, calls SpecSub_Reset and sets the filter
// bank's hook.
#pragma once

#include <cstdint>

inline constexpr int32_t kSpecSubRingSize = 5;
inline constexpr int32_t kSpecSubBands = 3;

struct SpecSub {
    int32_t numChannels;       // M, equal to the filter bank's
    int32_t logShift;          // q
    int16_t* noise;            // noise log spectrum
    int16_t* noiseEnd;         // where the noise-only update stops
    int16_t* cleanSnr;         // clean minus noise, from SpecSub_SubtractNoise
    int16_t* prioriSnr;        // ln(1 + xi)
    int16_t* postSnr;          // ln((N + S) / N)
    int16_t* clean;            // clean log spectrum being built
    int16_t* prevPrioriSnr;    // decision-directed memory ...
    int16_t* gain;             // ... sharing its storage with the gains
    int16_t* gainEnd;
    int32_t frameCount;        // frames since SpecSub_Reset
    int16_t* prevInput;        // input of the previous steady-phase frame
    int16_t* initNoiseWeight;  // indexed by frame - 1
    void* initNoiseWeightBlock;
    int16_t* initInputWeight;
    void* initInputWeightBlock;
    int16_t* bandEnds;         // exclusive end channel of each score band
    void* bandEndsBlock;
    int16_t* bandOffsets;
    void* bandOffsetsBlock;
    int16_t* ringPosition;     // next entry of scoreRing to replace
    int16_t* scoreRing;        // the last five speech scores
    int16_t* ringEnd;
    int16_t ringMax;
    int16_t speechScore;
    int16_t noiseRateOffset;
    int16_t noiseRateMax;
    int16_t globalSnr;         // speechLevel - noiseTotal
    int16_t snrThreshold;
    int16_t prioriWeightPrev;
    int16_t prioriWeightPost;
    int16_t speechThreshold;
    int16_t levelStartOffset;
    int16_t ringThreshold;
    int16_t cleanFloor;
    int16_t fillThreshold;
    int16_t fillDecrement;
    int16_t subtractBias;
    int16_t levelRiseOld;
    int16_t levelRiseNew;
    int16_t levelFallOld;
    int16_t levelFallNew;
    int16_t scoreDenConst;
    int16_t scoreNumConst;
    int16_t scoreDenWeight;
    int16_t scoreNumWeight;
    int16_t scoreExpOffset;
    int16_t scoreOffset;
    int16_t bandScoreFloor;
    int16_t bandBias;
    int16_t updateHigh;
    int16_t updateLow;
    int16_t updateSwitch;
    int16_t updateSteps;       // K
    int16_t* updateNoiseWeight;  // K entries each
    void* updateNoiseWeightBlock;
    int16_t* updateInputWeight;
    void* updateInputWeightBlock;
    int16_t postFillThreshold;
    int16_t postFillDecrement;
    int16_t e1High;            // range of ln v that tableValues covers
    int16_t e1Low;
    int16_t noiseTotal;        // log of the summed noise
    int16_t speechLevel;       // smoothed log level of speech frames
    int16_t gainFloor;
    int32_t levelInitialised;
    int32_t adaptiveFloor;     // raise the gain floor at low globalSnr
    int32_t powerGain;         // double the log gain
    uint16_t initFrames;
    uint16_t updateDelay;
    uint16_t delayCount;
};

// Allocates the zeroed per-channel arrays (the prevPrioriSnr/gain array
// once) and the score ring for numChannels; neither the state nor the
// parameter tables, and not noiseEnd. 0 when memory runs out, with nothing
// of this call left allocated.
int32_t SpecSub_CallocArrays(SpecSub* state);
// Cleans the frame's M log energies x in place.
void SpecSub_ProcessFrame(SpecSub* state, int16_t* x);
// Start of an utterance: the noise estimate, scores and counters start over.
void SpecSub_Reset(SpecSub* state);
// Frees the arrays, the owning blocks of the six tables and the state.
void SpecSub_Destroy(SpecSub* state);

// acc := ln(e^acc + e^b).
void SpecSub_LogAdd(int16_t* acc, int16_t b);
// acc := ln(e^acc - e^b); unchanged when b is above acc.
void SpecSub_LogSub(int16_t* acc, int16_t b);
// out := x minus (noise + bias) in the log domain, no lower than cleanFloor,
// cleanSnr := out - noise; then the valleys of out are filled when fill is set.
void SpecSub_SubtractNoise(SpecSub* state, int16_t* out, const int16_t* x, const int16_t* noise,
                           int16_t bias, int32_t fill);
// Raises the valleys of y in place between its peaks, in the segments whose
// lowest z lies below threshold.
void SpecSub_FillValleys(SpecSub* state, int16_t* y, const int16_t* z, int16_t threshold,
                         int16_t decrement);

// Bucket of a log difference 0 <= d < 8192 in the log-add tables.
int32_t SpecSub_Bucket(int32_t d);
// About e^(e/1024) in Q10 (for q = 10) as a product of per-bit factors,
// saturating at 16 << q.
int32_t SpecSub_Exp(int16_t e, int32_t logShift);
// Half the exponential integral of the linear value whose log is v, in the
// stage's log scale, from tableValues.
int32_t SpecSub_HalfE1(const SpecSub* state, int16_t v);
