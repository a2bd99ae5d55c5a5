// Constant tables of the noise-reduction stage, all for log values in Q10
// (natural logs times 1024).
#pragma once

#include <cstdint>

inline constexpr int32_t kSpecSubLogTableSize = 512;
inline constexpr int32_t kSpecSubExpBits = 16;
inline constexpr int32_t kSpecSubE1TableSize = 108;

// Entry k: 1024 ln(1 + e^(-c/1024)) and 1024 ln(1 - e^(-c/1024)) at the
// centre c of bucket k of a difference (SpecSub_Bucket).
extern const int16_t lnSumExpTable[kSpecSubLogTableSize];
extern const int16_t lnDiffExpTable[kSpecSubLogTableSize];

// e^(2^i / 1024) for bit i = 0..14 of a Q10 value and e^-32 for its sign
// bit, as a Q15 mantissa in 16384..32767 and a power of two.
extern const int16_t exp_mantissa_lut[kSpecSubExpBits];
extern const int16_t exp_scale_lut[kSpecSubExpBits];

// Entry j: half the exponential integral E1 at v = 10^(j/17 - 5), in Q25,
// plus 11.
extern const int32_t tableValues[kSpecSubE1TableSize];
