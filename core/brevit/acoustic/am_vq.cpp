#include "core/brevit/acoustic/am_vq.h"

#include "core/brevit/acoustic/am_kernel_util.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int32_t kOptimizedStreams = 6;
constexpr int32_t kOptimizedCodewords = 256;

const uint32_t* bounds(const AMArray& a)
{
    return static_cast<const uint32_t*>(a.data);
}

int32_t streams(const AM* am)
{
    return am->vq.codebookSize;
}

const uint8_t* labelsOf(const AM* am, int32_t c)
{
    return static_cast<const uint8_t*>(am->vq.labels.data) + static_cast<size_t>(c) * static_cast<uint32_t>(streams(am));
}

// The constant every component adds: the first per-component constant, none
// under scalar covariance.
int64_t vqConstant(const AM* am)
{
    return am->covType == 5 ? 0 : static_cast<int32_t>(am_kernel::rowConstant(am, 0));
}

int64_t componentSum(const AM* am, int32_t c)
{
    const uint8_t* labels = labelsOf(am, c);
    const uint32_t* first = bounds(am->vq.codewordBounds);
    int64_t sum = vqConstant(am);
    for (int32_t s = 0; s < streams(am); ++s)
        sum += am->vqScores[first[s] + labels[s]];
    return sum;
}

template <typename Weight>
void precompute(AM* am, Weight&& weight)
{
    const uint32_t* dims = bounds(am->vq.dimensionBounds);
    const uint32_t* words = bounds(am->vq.codewordBounds);
    const uint32_t* offsets = bounds(am->vq.codebookOffsets);
    const uint8_t* codebook = AM_VQCodebook(am);
    const uint8_t* x = am->featureCopy;
    for (int32_t s = 0; s < streams(am); ++s) {
        const uint32_t width = dims[s + 1] - dims[s];
        for (uint32_t k = words[s]; k < words[s + 1]; ++k) {
            const uint8_t* q = codebook + offsets[s] + (k - words[s]) * width;
            // Wide enough that the saturation sees the whole sum: each
            // weighted square alone nearly fills 32 bits.
            uint64_t score = 0;
            for (uint32_t j = 0; j < width; ++j) {
                const int32_t diff = x[dims[s] + j] - q[j];
                score += static_cast<uint64_t>(weight(dims[s] + j)) * static_cast<uint32_t>(diff * diff);
            }
            am->vqScores[k] = static_cast<uint16_t>(std::min<uint64_t>(score, 65535));
        }
    }
}

} // namespace

const uint8_t* AM_VQCodebook(const AM* am)
{
    return am->vq.adapted != nullptr ? am->vq.adapted : static_cast<const uint8_t*>(am->vq.codewords.data);
}

uint32_t AM_VQCodebookBytes(const AM* am)
{
    return am->vq.flags2[2] ? 4 * am->vq.codewords.count : am->vq.codewords.count;
}

int32_t AM_Has4ParStreams(const AM* am)
{
    if (!am->hasVQ || am->vq.dimensionBounds.data == nullptr)
        return 1;
    const uint32_t* dims = bounds(am->vq.dimensionBounds);
    for (int32_t s = 0; s < streams(am); ++s)
        if (dims[s + 1] - dims[s] != 4)
            return 0;
    return 1;
}

int32_t AM_HasOptimizedVQ(const AM* am)
{
    if (!am->hasVQ || streams(am) != kOptimizedStreams || am->covType != 5)
        return 0;
    const uint32_t* words = bounds(am->vq.codewordBounds);
    for (int32_t s = 0; s < kOptimizedStreams; ++s)
        if (words[s + 1] - words[s] != kOptimizedCodewords)
            return 0;
    return 1;
}

int32_t AM_VQTablesFit(const AM* am)
{
    if (!am->hasVQ)
        return 1;
    const int32_t n = streams(am);
    const uint32_t* dims = bounds(am->vq.dimensionBounds);
    const uint32_t* words = bounds(am->vq.codewordBounds);
    const uint32_t* offsets = bounds(am->vq.codebookOffsets);
    if (n < 0 || (n > 0 && (dims == nullptr || words == nullptr || offsets == nullptr)))
        return 0;
    const uint64_t codebookBytes = AM_VQCodebookBytes(am);
    for (int32_t s = 0; s < n; ++s) {
        if (dims[s + 1] < dims[s] || dims[s + 1] > static_cast<uint32_t>(am->featureDim) ||
            words[s + 1] < words[s] || words[s + 1] > 0x100000u)
            return 0;
        const uint64_t width = dims[s + 1] - dims[s];
        if (offsets[s] + width * (words[s + 1] - words[s]) > codebookBytes)
            return 0;
    }
    // The packed forms find stream k at codewords 256k and, with packed
    // codewords, at word 256k of the codebook and at features 4k: a model
    // they may serve must be laid out that way.
    if (AM_HasOptimizedVQ(am) && AM_Has4ParStreams(am) && (am->vq.flags2[1] || am->vq.flags2[2])) {
        for (int32_t s = 0; s <= n; ++s) {
            const auto k = static_cast<uint32_t>(s);
            if (words[s] != kOptimizedCodewords * k ||
                (am->vq.flags2[2] && (dims[s] != 4 * k || offsets[s] != 4 * kOptimizedCodewords * k)))
                return 0;
        }
    }
    // Labels name codewords of their stream.
    const auto* labels = static_cast<const uint8_t*>(am->vq.labels.data);
    for (uint32_t i = 0; n > 0 && i < am->vq.labels.count; ++i) {
        const int32_t s = static_cast<int32_t>(i % static_cast<uint32_t>(n));
        if (labels[i] >= words[s + 1] - words[s])
            return 0;
    }
    return 1;
}

int32_t AM_VQScale(const AM* am, int64_t sum)
{
    int64_t value = 0;
    const int32_t shift = am->vq.shift & 0xFF;
    if (am->covType == 5) {
        value = shift >= 32 ? 0 : (am->vq.offset + static_cast<int64_t>(am->vq.multiplier) * sum) >> shift;
    } else {
        const double scaled = 0.5 + static_cast<double>(sum) * am->vq.multiplier * std::ldexp(1.0, -shift);
        value = static_cast<int64_t>(std::clamp(std::trunc(scaled), -2147483648.0, 2147483647.0));
    }
    return static_cast<int16_t>(std::clamp<int64_t>(value, -32768, am->scoreCeiling));
}

int32_t AM_VQPrecomputeScoresForClusters(AM* am)
{
    const auto* w = static_cast<const uint16_t*>(am->invVar16.data);
    precompute(am, [&](uint32_t d) { return w != nullptr ? static_cast<uint32_t>(w[d]) : 1u; });
    return streams(am);
}

int32_t AM_VQPrecomputeScoresForClustersScalarCov(AM* am)
{
    precompute(am, [](uint32_t) { return 1u; });
    return streams(am);
}

int32_t AM_VQPrecomputeScoresForClustersInnerProduct(AM* am)
{
    const auto* words = reinterpret_cast<const uint32_t*>(AM_VQCodebook(am));
    const uint8_t* x = am->featureCopy;
    for (int32_t k = 0; k < kOptimizedStreams; ++k) {
        const uint8_t* g = x + 4 * k;
        // The stream's features with their 16-bit halves exchanged.
        const uint32_t f = (static_cast<uint32_t>(g[0]) | static_cast<uint32_t>(g[1]) << 8) << 16 |
                           (static_cast<uint32_t>(g[2]) | static_cast<uint32_t>(g[3]) << 8);
        uint32_t e = 0;
        for (int32_t j = 0; j < 4; ++j)
            e += static_cast<uint32_t>(g[j] * g[j]);
        for (int32_t j = 0; j < kOptimizedCodewords; ++j) {
            const int32_t i = k * kOptimizedCodewords + j;
            am->vqScores[i] = static_cast<uint16_t>(e + am->vqNorms[i] - am_kernel::P(f, words[i]));
        }
    }
    return kOptimizedStreams;
}

int32_t AM_Precompute4ParNorms(AM* am)
{
    const auto* words = reinterpret_cast<const uint32_t*>(AM_VQCodebook(am));
    uint16_t last = 0;
    for (int32_t i = 0; i < kOptimizedStreams * kOptimizedCodewords; ++i) {
        uint32_t sum = 0;
        for (int32_t b = 0; b < 4; ++b) {
            const uint32_t v = (words[i] >> (8 * b)) & 0xFF;
            sum += v * v;
        }
        last = am->vqNorms[i] = static_cast<uint16_t>(sum);
    }
    return last;
}

int32_t AM_VQGetScore(AM* am, int32_t state)
{
    if (state >= am->numStates)
        return am->scoreCeiling;
    const int32_t n = AM_GetNumComponents(am, state);
    const int32_t first = AM_GetFirstComponent(am, state);
    int64_t best = 0x40000000;
    for (int32_t k = 0; k < n; ++k)
        best = std::min(best, componentSum(am, first + k));
    return AM_VQScale(am, best);
}

int32_t AM_VQGetScoreOptimized(AM* am, int32_t state)
{
    if (state >= am->numStates)
        return am->scoreCeiling;
    const int32_t n = AM_GetNumComponents(am, state);
    if (n <= 0)
        return AM_VQScale(am, 0x40000000);
    // Six look-ups fit 32 bits; the constant is common to every component.
    const uint16_t* scores = am->vqScores;
    const uint8_t* labels = labelsOf(am, AM_GetFirstComponent(am, state));
    uint32_t best = 0xFFFFFFFFu;
    for (int32_t k = 0; k < n; ++k, labels += kOptimizedStreams) {
        uint32_t sum = 0;
        for (int32_t s = 0; s < kOptimizedStreams; ++s)
            sum += scores[s * kOptimizedCodewords + labels[s]];
        best = std::min(best, sum);
    }
    return AM_VQScale(am, vqConstant(am) + best);
}

int32_t AM_VQGetComponentScore(AM* am, int32_t state, int32_t component)
{
    if (state >= am->numStates)
        return am->scoreCeiling;
    return AM_VQScale(am, componentSum(am, AM_GetFirstComponent(am, state) + component));
}

int32_t AM_VQGetBestFrameScore(AM* am)
{
    const uint32_t* words = bounds(am->vq.codewordBounds);
    int64_t sum = 0;
    for (int32_t s = 0; s < streams(am); ++s) {
        int64_t best = 0x40000000;
        for (uint32_t k = words[s]; k < words[s + 1]; ++k)
            best = std::min<int64_t>(best, am->vqScores[k]);
        sum += best;
    }
    return AM_VQScale(am, sum);
}
