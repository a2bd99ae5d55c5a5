// Installs the noise-reduction stage for tests and benchmarks. No model file
// carries its parameters, so they live here: defaults(M) is the set the
// tests run with (log weights are Q10 natural logs), and create() refuses any
// set the stage's arithmetic cannot take.
//
// Header-only: it calls the engine runtime, which the shared support library
// does not link. Needs an engine context while used.
#pragma once

#include "core/brevit/frontend/filter_bank.h"
#include "core/brevit/frontend/spectral_sub.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace spec_sub_installer {

struct Settings {
    int32_t numChannels = 0;
    int32_t logShift = 10;
    uint16_t initFrames = 10;
    uint16_t updateDelay = 1;
    std::vector<int16_t> initNoiseWeight;
    std::vector<int16_t> initInputWeight;
    std::vector<int16_t> bandEnds;
    std::vector<int16_t> bandOffsets;
    int16_t bandScoreFloor = -2048;
    int16_t scoreExpOffset = 0;
    int16_t scoreOffset = -1536;
    int16_t scoreNumWeight = -108;
    int16_t scoreNumConst = -4006;
    int16_t scoreDenWeight = -2358;
    int16_t scoreDenConst = -21;
    int16_t speechThreshold = 0;
    int16_t ringThreshold = -1024;
    int16_t noiseRateOffset = 8000;
    int16_t noiseRateMax = -2358;
    int16_t prioriWeightPrev = -21;
    int16_t prioriWeightPost = -4006;
    int16_t gainFloor = -2358;
    int32_t adaptiveFloor = 0;
    int32_t powerGain = 0;
    int16_t snrThreshold = 2048;
    int16_t bandBias = 512;
    int16_t levelStartOffset = 3072;
    int16_t levelRiseOld = -228;
    int16_t levelRiseNew = -1648;
    int16_t levelFallOld = -10;
    int16_t levelFallNew = -4716;
    int16_t cleanFloor = -8000;
    int16_t subtractBias = 0;
    int16_t fillThreshold = 0;
    int16_t fillDecrement = 512;
    int16_t postFillThreshold = 512;
    int16_t postFillDecrement = 1024;
    int16_t updateHigh = 2048;
    int16_t updateLow = 0;
    int16_t updateSwitch = 32767;
    int16_t updateSteps = 4;
    std::vector<int16_t> updateNoiseWeight{-53, -21, -10, -5};
    std::vector<int16_t> updateInputWeight{-3068, -4006, -4716, -5425};
    int16_t e1Low = -11789;  // ln 10^-5
    int16_t e1High = 3084;   // e1Low + 107 steps of ln 10 / 17
};

inline int16_t q10Log(double value)
{
    return static_cast<int16_t>(std::lround(1024.0 * std::log(value)));
}

// The tests' parameter set for a filter bank of m channels.
inline Settings defaults(int32_t m)
{
    Settings s;
    s.numChannels = m;
    for (int32_t f = 1; f < s.initFrames; ++f) {
        s.initNoiseWeight.push_back(q10Log(f / (f + 1.0)));
        s.initInputWeight.push_back(q10Log(1 / (f + 1.0)));
    }
    s.bandEnds = {static_cast<int16_t>(m / 3), static_cast<int16_t>(2 * m / 3),
                  static_cast<int16_t>(m)};
    int32_t start = 0;
    for (int16_t end : s.bandEnds) {
        s.bandOffsets.push_back(q10Log(end - start));
        start = end;
    }
    return s;
}

// Whether the stage can run with s behind a filter bank of bankChannels.
inline bool acceptable(const Settings& s, int32_t bankChannels)
{
    const int32_t m = s.numChannels;
    const int32_t k = s.updateSteps;
    const size_t initWeights = s.initFrames >= 1 ? s.initFrames - 1u : 0u;
    const bool bandsFit = s.bandEnds.size() == 3 && s.bandOffsets.size() == 3 &&
                          s.bandEnds[0] >= 1 && s.bandEnds[0] < s.bandEnds[1] &&
                          s.bandEnds[1] < s.bandEnds[2] && s.bandEnds[2] <= m;
    const int32_t updateRange = s.updateHigh - s.updateLow;
    const int32_t e1Range = s.e1High - s.e1Low;
    return s.logShift == 10 && m == bankChannels && m >= 3 && s.initFrames >= 1 &&
           s.initNoiseWeight.size() >= initWeights && s.initInputWeight.size() >= initWeights &&
           bandsFit && k >= 1 && s.updateNoiseWeight.size() >= static_cast<size_t>(k) &&
           s.updateInputWeight.size() >= static_cast<size_t>(k) && updateRange >= k &&
           updateRange <= 32767 && e1Range >= 107 && e1Range <= 32767;
}

// The table in a block of its own (at least one entry, so that an empty
// table still has an owner). False when memory runs out.
inline bool copyTable(const std::vector<int16_t>& values, int16_t** table, void** block)
{
    const size_t count = values.empty() ? 1 : values.size();
    *block = DVKMem_Calloc(static_cast<uint32_t>(count * sizeof(int16_t)));
    *table = static_cast<int16_t*>(*block);
    if (*block == nullptr)
        return false;
    if (!values.empty())
        std::memcpy(*block, values.data(), values.size() * sizeof(int16_t));
    return true;
}

// A reset stage for a filter bank of bankChannels, or null when s is refused
// or memory runs out (nothing left allocated then).
inline SpecSub* create(const Settings& s, int32_t bankChannels)
{
    if (!acceptable(s, bankChannels))
        return nullptr;
    auto* st = static_cast<SpecSub*>(DVKMem_Calloc(sizeof(SpecSub)));
    if (st == nullptr)
        return nullptr;
    st->numChannels = s.numChannels;
    st->logShift = s.logShift;
    st->initFrames = s.initFrames;
    st->updateDelay = s.updateDelay;
    st->bandScoreFloor = s.bandScoreFloor;
    st->scoreExpOffset = s.scoreExpOffset;
    st->scoreOffset = s.scoreOffset;
    st->scoreNumWeight = s.scoreNumWeight;
    st->scoreNumConst = s.scoreNumConst;
    st->scoreDenWeight = s.scoreDenWeight;
    st->scoreDenConst = s.scoreDenConst;
    st->speechThreshold = s.speechThreshold;
    st->ringThreshold = s.ringThreshold;
    st->noiseRateOffset = s.noiseRateOffset;
    st->noiseRateMax = s.noiseRateMax;
    st->prioriWeightPrev = s.prioriWeightPrev;
    st->prioriWeightPost = s.prioriWeightPost;
    st->gainFloor = s.gainFloor;
    st->adaptiveFloor = s.adaptiveFloor;
    st->powerGain = s.powerGain;
    st->snrThreshold = s.snrThreshold;
    st->bandBias = s.bandBias;
    st->levelStartOffset = s.levelStartOffset;
    st->levelRiseOld = s.levelRiseOld;
    st->levelRiseNew = s.levelRiseNew;
    st->levelFallOld = s.levelFallOld;
    st->levelFallNew = s.levelFallNew;
    st->cleanFloor = s.cleanFloor;
    st->subtractBias = s.subtractBias;
    st->fillThreshold = s.fillThreshold;
    st->fillDecrement = s.fillDecrement;
    st->postFillThreshold = s.postFillThreshold;
    st->postFillDecrement = s.postFillDecrement;
    st->updateHigh = s.updateHigh;
    st->updateLow = s.updateLow;
    st->updateSwitch = s.updateSwitch;
    st->updateSteps = s.updateSteps;
    st->e1Low = s.e1Low;
    st->e1High = s.e1High;
    if (!SpecSub_CallocArrays(st)) {
        SpecSub_Destroy(st);
        return nullptr;
    }
    st->noiseEnd = st->noise + st->numChannels;
    const bool tables = copyTable(s.initNoiseWeight, &st->initNoiseWeight, &st->initNoiseWeightBlock) &&
                        copyTable(s.initInputWeight, &st->initInputWeight, &st->initInputWeightBlock) &&
                        copyTable(s.bandEnds, &st->bandEnds, &st->bandEndsBlock) &&
                        copyTable(s.bandOffsets, &st->bandOffsets, &st->bandOffsetsBlock) &&
                        copyTable(s.updateNoiseWeight, &st->updateNoiseWeight,
                                  &st->updateNoiseWeightBlock) &&
                        copyTable(s.updateInputWeight, &st->updateInputWeight,
                                  &st->updateInputWeightBlock);
    if (!tables) {
        SpecSub_Destroy(st);
        return nullptr;
    }
    SpecSub_Reset(st);
    return st;
}

// Sets bank's hook to a new stage; false, with the bank left as it was, when
// s is refused or memory runs out.
inline bool install(FilterBank* bank, const Settings& s)
{
    SpecSub* st = create(s, bank->numChannels);
    if (st == nullptr)
        return false;
    bank->specSub = st;
    bank->noiseReduction = 1;
    return true;
}

} // namespace spec_sub_installer
