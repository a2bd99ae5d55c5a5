// Mersenne Twister (MT19937) random numbers with the engine's own uniform,
// Gaussian and random-permutation draws. The draws are fixed bit for bit
// (stored models and tests depend on them), so nothing here uses the
// standard library's distributions.
#pragma once

#include <cstdint>

inline constexpr uint32_t kDVKRandomStateWords = 624;
// The index of a generator that was never seeded: its first draw seeds it
// with the default seed.
inline constexpr uint32_t kDVKRandomUnseeded = 625;
inline constexpr uint32_t kDVKRandomDefaultSeed = 12345;

struct DVKRandom {
    uint32_t state[kDVKRandomStateWords];
    uint32_t index;  // next state word; kDVKRandomUnseeded before any seeding
};
static_assert(sizeof(DVKRandom) == 2500);

// A new generator seeded with the default seed; raises when memory is short.
DVKRandom* DVKRandom_New(void);
void DVKRandom_Delete(DVKRandom* r);

void DVKRandom_Seed(DVKRandom* r, uint32_t seed);
void DVKRandom_SeedDefault(DVKRandom* r);

// The next 32-bit output.
uint32_t DVKRandom_Next(DVKRandom* r);
// The largest output: 0xFFFFFFFF.
uint32_t DVKRandom_GetMax(DVKRandom* r);
// Next / 4294967295.0: a double in [0, 1], both ends possible.
double DVKRandom_NextUniform(DVKRandom* r);
// A standard normal deviate by the polar method, one value per call.
double DVKRandom_NextGaussian(DVKRandom* r);
// Draws and discards n outputs (nothing for n <= 0).
void DVKRandom_Skip(DVKRandom* r, int32_t n);

// Writes a random permutation of 0..n-1 into out. Without allowFixedPoints no
// out[i] equals i, except for n = 1, which has no such arrangement and gets
// the identity. Scratch memory comes from the raising allocator.
void DVKRandom_Permutation(DVKRandom* r, int32_t n, int32_t* out, int32_t allowFixedPoints);
