#include "core/brevit/runtime/dvk_random.h"

#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <cmath>

namespace {

constexpr uint32_t kN = kDVKRandomStateWords;
constexpr uint32_t kM = 397;
constexpr uint32_t kLow31 = 0x7FFFFFFFu;

void regenerate(DVKRandom* r)
{
    for (uint32_t i = 0; i < kN; ++i) {
        const uint32_t y = (r->state[i] & 0x80000000u) | (r->state[(i + 1) % kN] & kLow31);
        r->state[i] = r->state[(i + kM) % kN] ^ (y >> 1) ^ ((y & 1u) != 0 ? 0x9908B0DFu : 0u);
    }
    r->index = 0;
}

// An index below k (k >= 1), by rejection over 31-bit draws.
uint32_t drawBelow(DVKRandom* r, uint32_t k)
{
    uint32_t x;
    if (kLow31 % k != 0) {
        const uint32_t limit = k * (kLow31 / k);
        do
            x = DVKRandom_Next(r) & kLow31;
        while (x > limit);
    } else {
        x = DVKRandom_Next(r) & kLow31;
    }
    return x % k;
}

// Scratch array of n 32-bit entries from the raising allocator; a size the
// allocator's 32-bit request cannot express raises as well.
int32_t* allocateIndices(int32_t n)
{
    const uint64_t bytes = static_cast<uint64_t>(n) * sizeof(int32_t);
    if (bytes > UINT32_MAX)
        DVKErr_Raise(__FILE__, __LINE__, "No memory for %d indices", n);
    return static_cast<int32_t*>(DVKMem_MallocOrThrow(static_cast<uint32_t>(bytes)));
}

void removeFixedPoints(DVKRandom* r, int32_t n, int32_t* out)
{
    int32_t m = 0;
    for (int32_t i = 0; i < n; ++i)
        m += out[i] == i ? 1 : 0;
    if (m == 0)
        return;
    // A single element has no arrangement without a fixed point.
    if (n == 1)
        return;
    int32_t* fixed = allocateIndices(m);
    for (int32_t i = 0, f = 0; i < n; ++i) {
        if (out[i] == i)
            fixed[f++] = i;
    }
    if (m == 1) {
        int32_t j;
        do
            j = static_cast<int32_t>((DVKRandom_Next(r) & kLow31) % static_cast<uint32_t>(n));
        while (j == fixed[0]);
        out[fixed[0]] = out[j];
        out[j] = fixed[0];
    } else if (m == 2) {
        out[fixed[0]] = fixed[1];
        out[fixed[1]] = fixed[0];
    } else if (m == 3) {
        const int32_t s = (DVKRandom_Next(r) & 1u) != 0 ? 1 : 2;
        for (int32_t t = 0; t < 3; ++t)
            out[fixed[t]] = fixed[(s + t) % 3];
    } else {
        int32_t* shuffle = nullptr;
        try {
            shuffle = allocateIndices(m);
            DVKRandom_Permutation(r, m, shuffle, 0);
        } catch (...) {
            DVKMem_Free(shuffle);
            DVKMem_Free(fixed);
            throw;
        }
        for (int32_t i = 0; i < m; ++i)
            out[fixed[i]] = fixed[shuffle[i]];
        DVKMem_Free(shuffle);
    }
    DVKMem_Free(fixed);
}

} // namespace

DVKRandom* DVKRandom_New(void)
{
    auto* r = static_cast<DVKRandom*>(DVKMem_CallocOrThrow(sizeof(DVKRandom)));
    DVKRandom_SeedDefault(r);
    return r;
}

void DVKRandom_Delete(DVKRandom* r)
{
    DVKMem_Free(r);
}

void DVKRandom_Seed(DVKRandom* r, uint32_t seed)
{
    r->state[0] = seed;
    for (uint32_t i = 1; i < kN; ++i)
        r->state[i] = 1812433253u * (r->state[i - 1] ^ (r->state[i - 1] >> 30)) + i;
    r->index = kN;
}

void DVKRandom_SeedDefault(DVKRandom* r)
{
    DVKRandom_Seed(r, kDVKRandomDefaultSeed);
}

uint32_t DVKRandom_Next(DVKRandom* r)
{
    if (r->index >= kN) {
        if (r->index == kDVKRandomUnseeded)
            DVKRandom_SeedDefault(r);
        regenerate(r);
    }
    uint32_t y = r->state[r->index++];
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680u;
    y ^= (y << 15) & 0xEFC60000u;
    y ^= y >> 18;
    return y;
}

uint32_t DVKRandom_GetMax(DVKRandom*)
{
    return 0xFFFFFFFFu;
}

double DVKRandom_NextUniform(DVKRandom* r)
{
    return DVKRandom_Next(r) / 4294967295.0;
}

double DVKRandom_NextGaussian(DVKRandom* r)
{
    double u;
    double s;
    do {
        u = 2.0 * DVKRandom_NextUniform(r) - 1.0;
        const double v = 2.0 * DVKRandom_NextUniform(r) - 1.0;
        s = u * u + v * v;
    } while (!(s > 0.0 && s < 1.0));
    return u * std::sqrt(-2.0 * std::log(s) / s);
}

void DVKRandom_Skip(DVKRandom* r, int32_t n)
{
    for (int32_t i = 0; i < n; ++i)
        DVKRandom_Next(r);
}

void DVKRandom_Permutation(DVKRandom* r, int32_t n, int32_t* out, int32_t allowFixedPoints)
{
    if (n <= 0)
        return;
    int32_t* pool = allocateIndices(n);
    for (int32_t i = 0; i < n; ++i)
        pool[i] = i;
    for (int32_t k = n; k >= 1; --k) {
        const uint32_t index = drawBelow(r, static_cast<uint32_t>(k));
        out[n - k] = pool[index];
        pool[index] = pool[k - 1];
    }
    DVKMem_Free(pool);
    if (!allowFixedPoints)
        removeFixedPoints(r, n, out);
}
