// Filter bank ("bmt0"): overlapping weighted bands of the spectrum, each
// channel's sum turned into a fixed-point natural log.
#pragma once

#include "core/brevit/runtime/dvk_tar.h"

#include <cstdint>

struct SpecSub;

struct FilterBank {
    int32_t numChannels;     // M
    int32_t value1;          // stored, not used by the computation
    int32_t value2;
    int32_t snapshotFlag;    // the three values the front-end snapshot carries
    int32_t blockScaled;
    int32_t snapshotValue1;
    int32_t snapshotValue2;
    int32_t numWeights;
    int32_t logShift;        // q, the Q format of the log output
    int32_t logQuadratic;
    int32_t blockScaled2;    // either block-scaling flag selects block scaling
    int32_t noiseReduction;  // the noise-reduction hook; no model file sets it
    SpecSub* specSub;
    int16_t* weights;        // numWeights Q15, channel after channel
    uint32_t* bounds;        // M + 2 bin indices
    // Made at load for the vector path: channel c's weights laid over whole
    // blocks of 8 bins, from bin 8 x blockFirst[c], zero outside the
    // channel; its blocks start at 8 x blockOffset[c] in blockWeights.
    int16_t* blockWeights;
    uint32_t* blockFirst;     // M
    uint32_t* blockOffset;    // M + 1
    int16_t* packedSpectrum;  // packedBins: the spectrum as int16, zero outside the bank
    int32_t* channelValues;   // M: the sums before their logs
    int32_t packedBins;
};

// Null when "bmt0" is absent or malformed (no channels, tables missing or of
// the wrong count, decreasing bounds, weight count not covering the channels'
// bins, q outside 0..13) or memory runs out.
FilterBank* FilterBank_LoadFromBinFile(DVKTar* tar, const char* prefix);
// out[c] = FixedLog of channel c's weighted sum of spectrum, at exponent e;
// with noiseReduction set, specSub then cleans out in place.
void FilterBank_Apply(FilterBank* bank, int32_t exponent, const uint32_t* spectrum, int16_t* out);
// Resets the noise-reduction stage when one is hooked.
void FilterBank_StartUtterance(FilterBank* bank);
// The three snapshot values, in the order (flag, value 1, value 2).
void FilterBank_GetSnapshotValues(const FilterBank* bank, uint32_t values[3]);
void FilterBank_SetSnapshotValues(FilterBank* bank, const uint32_t values[3]);
// Destroys a hooked noise-reduction stage with the bank.
void FilterBank_Destroy(FilterBank* bank);
